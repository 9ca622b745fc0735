#pragma once

#include <QObject>
#include <string>
#include <utility>
#include <vector>

#include "app/Dialogs.h"
#include "app/WindowSettings.h"

class QAction;
class QMenu;
class QMenuBar;

namespace quorvale {

// The program's name, version and the versions of the libraries it runs
// on, as バージョン情報 shows them.
std::string VersionText();

// The main window's menus, filled into its menu bar: オプション with the
// print options as checkable items (what to do with an existing output as
// three exclusive ones, フチなし / フチあり as two, フチの幅 as a choice of amounts),
// 前回の設定で開く and 設定を初期状態に戻す; ヘルプ with バージョン情報. Turning the report on asks
// for its path in a save dialog and stays off when that is cancelled. The items' object names end
// in "Action" ("autoOrientAction", "existingSkipAction", ...). スマートフォンの写真 is
// the three items phone photos need, checked when all three are.
class WindowMenus : public QObject {
  Q_OBJECT

 public:
  // Boxes and the save dialog go through `dialogs`, captioned `caption`.
  WindowMenus(QMenuBar& bar, Dialogs& dialogs, std::string caption);

  // Sets the items as `print` and `reopenLast` say, without a Changed.
  void Show(const PrintSettings& print, bool reopenLast);
  const PrintSettings& Print() const { return print_; }
  bool ReopenLast() const;
  // The options are fixed at the press of Run: オプション is off until the
  // run has ended.
  void SetRunning(bool running);
  // 確認... in 表示, on when the preview has something to show.
  void EnablePreview(bool enabled);

 signals:
  // The operator changed an option or the switch.
  void Changed();
  // The operator asked for the preview (確認...).
  void PreviewRequested();
  // The operator asked for every setting to be as at a first start, and
  // said Yes when asked again.
  void ResetRequested();

 private:
  QAction* Item(QMenu& menu, const char* name, const char* text, bool checkable);
  void ChooseReport(bool on);
  void ShowAbout();
  void Take();

  Dialogs& dialogs_;
  std::string caption_;
  PrintSettings print_;
  QMenu* options_ = nullptr;
  QAction* preview_ = nullptr;
  QAction* autoOrient_ = nullptr;
  QAction* keepMetadata_ = nullptr;
  QAction* writeDpi_ = nullptr;
  QAction* keepTimes_ = nullptr;
  QAction* fitTrim_ = nullptr;
  QAction* fitBorder_ = nullptr;
  std::vector<std::pair<QAction*, int>> margins_;  // フチの幅 and its amounts
  QAction* existingAsk_ = nullptr;
  QAction* existingOverwrite_ = nullptr;
  QAction* existingSkip_ = nullptr;
  QAction* largePhotos_ = nullptr;
  QAction* allJpegNames_ = nullptr;
  QAction* allPhotos_ = nullptr;
  QAction* colourSrgb_ = nullptr;
  // On when upright photos, sRGB and every photo kind are; turning it on or
  // off turns the three so.
  QAction* phone_ = nullptr;
  QAction* dateStamp_ = nullptr;
  std::vector<std::pair<QAction*, DateFormat>> dateFormats_;  // 日付の形式
  QAction* shopNames_ = nullptr;
  QAction* writeReport_ = nullptr;
  QAction* openReport_ = nullptr;
  QAction* reopenLast_ = nullptr;
};

}  // namespace quorvale
