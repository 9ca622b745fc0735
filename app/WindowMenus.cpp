#include "app/WindowMenus.h"

#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QtGlobal>
#include <cstdio>
#include <tuple>

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
  fitTrim_ = Item(menu, "fitTrimAction", "フチなし（トリミング）(&N)", true);
  fitBorder_ = Item(menu, "fitBorderAction", "フチあり（余白付き）(&B)", true);
  auto* fits = new QActionGroup(&menu);
  fits->addAction(fitTrim_);
  fits->addAction(fitBorder_);
  QMenu* margin = menu.addMenu(QStringLiteral("フチの幅(&G)"));
  margin->setObjectName("marginMenu");
  auto* amounts = new QActionGroup(margin);
  for (const auto& [amount, text] : {std::pair{0, "なし(&0)"},
                                     {2, "2 mm（ピクセル寸法は 2 px）(&2)"},
                                     {3, "3 mm（ピクセル寸法は 3 px）(&3)"},
                                     {5, "5 mm（ピクセル寸法は 5 px）(&5)"},
                                     {10, "10 mm（ピクセル寸法は 10 px）(&1)"}}) {
    QAction* action =
        Item(*margin, ("margin" + std::to_string(amount) + "Action").c_str(), text, true);
    amounts->addAction(action);
    margins_.emplace_back(action, amount);
  }
  menu.addSeparator();
  phone_ = Item(menu, "phoneAction", "スマートフォンの写真(&S)", true);
  autoOrient_ = Item(menu, "autoOrientAction", "Exifの向きで写真を正立させる(&E)", true);
  colourSrgb_ = Item(menu, "colourSrgbAction", "色をsRGBに変換(&C)", true);
  keepMetadata_ = Item(menu, "keepMetadataAction", "ExifとICCプロファイルを残す(&M)", true);
  writeDpi_ = Item(menu, "writeDpiAction", "印刷解像度(dpi)をファイルに書き込む(&D)", true);
  keepTimes_ = Item(menu, "keepTimesAction", "元の写真の更新日時を残す(&T)", true);
  QMenu* existing = menu.addMenu(QStringLiteral("同名の出力ファイル(&F)"));
  existing->setObjectName("existingMenu");
  auto* group = new QActionGroup(existing);
  existingAsk_ = Item(*existing, "existingAskAction", "確認する(&A)", true);
  existingOverwrite_ = Item(*existing, "existingOverwriteAction", "上書きする(&O)", true);
  existingSkip_ = Item(*existing, "existingSkipAction", "スキップする(&S)", true);
  for (QAction* action : {existingAsk_, existingOverwrite_, existingSkip_})
    group->addAction(action);
  largePhotos_ = Item(menu, "largePhotosAction", "6200ピクセルを超える写真も処理する(&L)", true);
  allJpegNames_ =
      Item(menu, "allJpegNamesAction", "名前が .jpeg .jpe .jfif で終わる写真も処理する(&J)", true);
  allPhotos_ = Item(menu, "allPhotosAction", "すべての写真の種類(HEIC・PNG)(&K)", true);
  dateStamp_ = Item(menu, "dateStampAction", "日付を入れる(&Y)", true);
  QMenu* dateFormat = menu.addMenu(QStringLiteral("日付の形式(&A)"));
  dateFormat->setObjectName("dateFormatMenu");
  auto* formats = new QActionGroup(dateFormat);
  for (const auto& [format, name, text] :
       {std::tuple{DateFormat::Kiosk, "dateKioskAction", "'24 8 5(&1)"},
        {DateFormat::Dotted, "dateDottedAction", "2024.08.05(&2)"},
        {DateFormat::Japanese, "dateJapaneseAction", "2024年8月5日(&3)"}}) {
    QAction* action = Item(*dateFormat, name, text, true);
    formats->addAction(action);
    dateFormats_.emplace_back(action, format);
  }
  shopNames_ = Item(menu, "shopNamesAction", "店頭プリント用のファイル名にする(&U)", true);
  menu.addSeparator();
  writeReport_ = Item(menu, "writeReportAction", "トリミングレポートを作成する(&R)...", true);
  openReport_ = Item(menu, "openReportAction", "終了後にレポートをブラウザで開く(&W)", true);
  menu.addSeparator();
  reopenLast_ = Item(menu, "reopenLastAction", "前回の設定で開く(&P)", true);
  QAction* reset = Item(menu, "resetSettingsAction", "設定を初期状態に戻す(&I)", false);

  QMenu* view = bar.addMenu(QStringLiteral("表示(&V)"));
  view->setObjectName("viewMenu");
  preview_ = Item(*view, "previewAction", "確認(&C)...", false);
  preview_->setEnabled(false);
  connect(preview_, &QAction::triggered, this, [this] { emit PreviewRequested(); });

  QMenu* help = bar.addMenu(QStringLiteral("ヘルプ(&H)"));
  help->setObjectName("helpMenu");
  QAction* about = Item(*help, "aboutAction", "バージョン情報(&A)", false);

  for (const auto& [action, format] : dateFormats_) {
    connect(action, &QAction::triggered, this, [this] {
      Take();
      emit Changed();
    });
  }
  for (const auto& [action, amount] : margins_) {
    connect(action, &QAction::triggered, this, [this] {
      Take();
      emit Changed();
    });
  }
  for (QAction* action :
       {fitTrim_, fitBorder_, autoOrient_, keepMetadata_, writeDpi_, keepTimes_, existingAsk_,
        existingOverwrite_, existingSkip_, largePhotos_, allJpegNames_, allPhotos_, colourSrgb_,
        dateStamp_, shopNames_, openReport_, reopenLast_}) {
    connect(action, &QAction::triggered, this, [this] {
      Take();
      emit Changed();
    });
  }
  connect(phone_, &QAction::triggered, this, [this](bool on) {
    for (QAction* action : {autoOrient_, colourSrgb_, allPhotos_}) action->setChecked(on);
    Take();
    emit Changed();
  });
  connect(writeReport_, &QAction::triggered, this, [this](bool on) { ChooseReport(on); });
  connect(reset, &QAction::triggered, this, [this] {
    if (dialogs_.YesNo(caption_, ResetQuestion, true)) emit ResetRequested();
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
  for (const auto& [action, amount] : margins_) action->setChecked(print.margin == amount);
  autoOrient_->setChecked(print.autoOrient);
  keepMetadata_->setChecked(print.keepMetadata);
  writeDpi_->setChecked(print.writeDpi);
  keepTimes_->setChecked(print.keepTimes);
  existingAsk_->setChecked(print.existing == ExistingOutput::Ask);
  existingOverwrite_->setChecked(print.existing == ExistingOutput::Overwrite);
  existingSkip_->setChecked(print.existing == ExistingOutput::Skip);
  largePhotos_->setChecked(print.largePhotos);
  allJpegNames_->setChecked(print.allJpegNames);
  allPhotos_->setChecked(print.allPhotos);
  colourSrgb_->setChecked(print.colourSrgb);
  phone_->setChecked(print.autoOrient && print.colourSrgb && print.allPhotos);
  dateStamp_->setChecked(print.dateStamp);
  for (const auto& [action, format] : dateFormats_) action->setChecked(print.dateFormat == format);
  shopNames_->setChecked(print.shopNames);
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
  for (const auto& [action, amount] : margins_) {
    if (action->isChecked()) print_.margin = amount;
  }
  print_.autoOrient = autoOrient_->isChecked();
  print_.keepMetadata = keepMetadata_->isChecked();
  print_.writeDpi = writeDpi_->isChecked();
  print_.keepTimes = keepTimes_->isChecked();
  print_.existing = existingSkip_->isChecked()        ? ExistingOutput::Skip
                    : existingOverwrite_->isChecked() ? ExistingOutput::Overwrite
                                                      : ExistingOutput::Ask;
  print_.largePhotos = largePhotos_->isChecked();
  print_.allJpegNames = allJpegNames_->isChecked();
  print_.allPhotos = allPhotos_->isChecked();
  print_.colourSrgb = colourSrgb_->isChecked();
  phone_->setChecked(print_.autoOrient && print_.colourSrgb && print_.allPhotos);
  print_.dateStamp = dateStamp_->isChecked();
  for (const auto& [action, format] : dateFormats_) {
    if (action->isChecked()) print_.dateFormat = format;
  }
  print_.shopNames = shopNames_->isChecked();
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
