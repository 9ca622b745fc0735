#include "app/WindowMenus.h"

#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QtGlobal>
#include <cstdio>

#include <jpeglib.h>

namespace quorvale {
namespace {

constexpr const char* ReportDialogCaption = "トリミングレポートの保存先";
constexpr const char* ResetQuestion = "すべての設定を初期状態に戻しますか？";

std::string LibjpegVersion() {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d.%d", LIBJPEG_TURBO_VERSION_NUMBER / 1000000,
                LIBJPEG_TURBO_VERSION_NUMBER / 1000 % 1000, LIBJPEG_TURBO_VERSION_NUMBER % 1000);
  return text;
}

}  // namespace

std::string VersionText() {
  // Qt's version is the one running, which may be newer than the build's.
  return std::string("Quorvale ") + QUORVALE_VERSION + "\n\nlibjpeg-turbo " + LibjpegVersion() +
         "\nQt " + qVersion();
}

WindowMenus::WindowMenus(QMenuBar& bar, Dialogs& dialogs, std::string caption)
    : QObject(&bar), dialogs_(dialogs), caption_(std::move(caption)) {
  options_ = bar.addMenu(QStringLiteral("オプション(&O)"));
  options_->setObjectName("optionsMenu");
  QMenu& menu = *options_;
  fitTrim_ = Item(menu, "fitTrimAction", "フチなし（トリミング）", true);
  fitBorder_ = Item(menu, "fitBorderAction", "フチあり（余白付き）", true);
  auto* fits = new QActionGroup(&menu);
  fits->addAction(fitTrim_);
  fits->addAction(fitBorder_);
  menu.addSeparator();
  autoOrient_ = Item(menu, "autoOrientAction", "Exifの向きで写真を正立させる", true);
  keepMetadata_ = Item(menu, "keepMetadataAction", "ExifとICCプロファイルを残す", true);
  writeDpi_ = Item(menu, "writeDpiAction", "印刷解像度(dpi)をファイルに書き込む", true);
  keepTimes_ = Item(menu, "keepTimesAction", "元の写真の更新日時を残す", true);
  QMenu* existing = menu.addMenu(QStringLiteral("同名の出力ファイル"));
  existing->setObjectName("existingMenu");
  auto* group = new QActionGroup(existing);
  existingAsk_ = Item(*existing, "existingAskAction", "確認する", true);
  existingOverwrite_ = Item(*existing, "existingOverwriteAction", "上書きする", true);
  existingSkip_ = Item(*existing, "existingSkipAction", "スキップする", true);
  for (QAction* action : {existingAsk_, existingOverwrite_, existingSkip_})
    group->addAction(action);
  largePhotos_ = Item(menu, "largePhotosAction", "6200ピクセルを超える写真も処理する", true);
  menu.addSeparator();
  writeReport_ = Item(menu, "writeReportAction", "トリミングレポートを作成する...", true);
  openReport_ = Item(menu, "openReportAction", "終了後にレポートをブラウザで開く", true);
  menu.addSeparator();
  reopenLast_ = Item(menu, "reopenLastAction", "前回の設定で開く", true);
  QAction* reset = Item(menu, "resetSettingsAction", "設定を初期状態に戻す", false);

  QMenu* view = bar.addMenu(QStringLiteral("表示(&V)"));
  view->setObjectName("viewMenu");
  preview_ = Item(*view, "previewAction", "確認...", false);
  preview_->setEnabled(false);
  connect(preview_, &QAction::triggered, this, [this] { emit PreviewRequested(); });

  QMenu* help = bar.addMenu(QStringLiteral("ヘルプ(&H)"));
  help->setObjectName("helpMenu");
  QAction* about = Item(*help, "aboutAction", "バージョン情報", false);

  for (QAction* action :
       {fitTrim_, fitBorder_, autoOrient_, keepMetadata_, writeDpi_, keepTimes_, existingAsk_,
        existingOverwrite_, existingSkip_, largePhotos_, openReport_, reopenLast_}) {
    connect(action, &QAction::triggered, this, [this] {
      Take();
      emit Changed();
    });
  }
  connect(writeReport_, &QAction::triggered, this, [this](bool on) { ChooseReport(on); });
  connect(reset, &QAction::triggered, this, [this] {
    if (dialogs_.YesNo(caption_, ResetQuestion)) emit ResetRequested();
  });
  connect(about, &QAction::triggered, this, [this] { ShowAbout(); });
  Show(print_, false);
}

QAction* WindowMenus::Item(QMenu& menu, const char* name, const char* text, bool checkable) {
  QAction* action = menu.addAction(QString::fromUtf8(text));
  action->setObjectName(name);
  action->setCheckable(checkable);
  return action;
}

void WindowMenus::Show(const PrintSettings& print, bool reopenLast) {
  print_ = print;
  fitTrim_->setChecked(print.fit == Fit::Trim);
  fitBorder_->setChecked(print.fit == Fit::Border);
  autoOrient_->setChecked(print.autoOrient);
  keepMetadata_->setChecked(print.keepMetadata);
  writeDpi_->setChecked(print.writeDpi);
  keepTimes_->setChecked(print.keepTimes);
  existingAsk_->setChecked(print.existing == ExistingOutput::Ask);
  existingOverwrite_->setChecked(print.existing == ExistingOutput::Overwrite);
  existingSkip_->setChecked(print.existing == ExistingOutput::Skip);
  largePhotos_->setChecked(print.largePhotos);
  writeReport_->setChecked(print.writeReport);
  openReport_->setChecked(print.openReport);
  openReport_->setEnabled(print.writeReport);
  reopenLast_->setChecked(reopenLast);
}

bool WindowMenus::ReopenLast() const {
  return reopenLast_->isChecked();
}

void WindowMenus::SetRunning(bool running) {
  options_->setEnabled(!running);
}

void WindowMenus::EnablePreview(bool enabled) {
  preview_->setEnabled(enabled);
}

void WindowMenus::Take() {
  print_.fit = fitBorder_->isChecked() ? Fit::Border : Fit::Trim;
  print_.autoOrient = autoOrient_->isChecked();
  print_.keepMetadata = keepMetadata_->isChecked();
  print_.writeDpi = writeDpi_->isChecked();
  print_.keepTimes = keepTimes_->isChecked();
  print_.existing = existingSkip_->isChecked()        ? ExistingOutput::Skip
                    : existingOverwrite_->isChecked() ? ExistingOutput::Overwrite
                                                      : ExistingOutput::Ask;
  print_.largePhotos = largePhotos_->isChecked();
  print_.openReport = openReport_->isChecked();
}

void WindowMenus::ChooseReport(bool on) {
  if (on) {
    const std::string path = dialogs_.SaveFilePath(ReportDialogCaption, print_.reportPath);
    if (path.empty()) {
      writeReport_->setChecked(false);
      return;
    }
    print_.reportPath = path;
  }
  print_.writeReport = on;
  openReport_->setEnabled(on);
  emit Changed();
}

void WindowMenus::ShowAbout() {
  dialogs_.Message("バージョン情報", VersionText());
}

}  // namespace quorvale
