#pragma once

#include <QString>
#include <QWidget>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "app/Dialogs.h"
#include "app/WindowSettings.h"
#include "folders/FolderScan.h"
#include "geometry/SizeTable.h"
#include "messages/RunChoices.h"

class QAbstractButton;
class QAction;
class QLabel;
class QMenu;
class QSettings;

namespace Ui {
class MainWindow;
}

namespace quorvale {

class PreviewWindow;
class PrintRun;
class WindowMenus;

// The object names of the size and resolution buttons in the stored layout,
// made from the size table: "size" and the size's id with its first letter
// and each letter after a hyphen capitalised and the hyphens dropped, then
// "Button" ("sizeSxga1600Button"); "dpi150Button".
QString SizeButtonName(const SizePreset& size);
QString ResolutionButtonName(int dpi);

// The main window: a fixed 473 x 589 dialog-style window built from the
// stored layout (MainWindow.ui); on a screen too small for it (at its scale)
// the client area scrolls in a window that fits. A line beside the size list
// says when フチあり is on. Handlers read the controls, call the core
// and show what comes back; ReductionToggled and SizeChosen keep the options
// consistent. Every box goes through `dialogs`, which must outlive the
// window.
//
// Run starts the batch on a thread of its own and the window stays live:
// the run's events come back to the GUI thread, which fills the log, the
// status line and the progress bar, and shows the run's boxes while the run
// waits for the answer. While a run is on, the folder buttons, the subfolder
// button, drops and the size buttons are off: the folders and the size are
// fixed at the press of Run. Cancel, and a close of the window, request a
// stop of the run; a close is carried out once the run has ended.
//
// A menu bar (WindowMenus) sits above the stored client area, which keeps
// its size, places and tab order; the window is taller by the bar. The
// print options of the menu are fixed at the press of Run. The settings
// (WindowSettings) are read at start, where the controls take their last
// state only when 前回の設定で開く is on, and written when the menu changes,
// at Run and at a close.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(Dialogs& dialogs);
  // A run still going is stopped, its questions answered Yes unseen, and
  // waited for.
  ~MainWindow() override;

  // The window's caption and that of every box.
  const std::string& CaptionText() const { return captionText_; }
  // The counts of the last scan of the input folder.
  const ScanCounts& LastScan() const { return lastScan_; }
  // A stop has been requested of the current (or the last) run.
  bool CancelRequested() const { return stop_.stop_requested(); }
  // From the press of Run until its thread has ended and RunEnded is sent.
  bool RunActive() const { return runActive_; }
  QString StatusText() const;

  // Option rules: the reduction check and the size buttons.
  void ReductionToggled();
  void SizeChosen();

  // Folders: browse for the input and the output folder, create an output
  // subfolder, and a drop of `items` (local paths) on the window.
  void BrowseInputFolder();
  void BrowseOutputFolder();
  void CreateSubfolder();
  void DropFolders(const std::vector<std::string>& items);

  // Run and Cancel. StartRun returns at once; a press while a run is active
  // is ignored.
  void StartRun();
  void CancelRun();

  // The controls as a press of Run would take them.
  SizeChoice ChosenSize() const;
  int Quality() const;
  const std::string& InputFolderText() const { return inputFolder_; }
  const std::string& OutputFolderText() const { return outputFolder_; }
  RunChoices ChoicesForRun() const;
  RunOptions OptionsForRun() const;
  PhotoOptions PhotoOptionsNow() const;

  // The controls as they stand, and set as `controls` say: a folder that is
  // no longer there is left empty, an input folder is listed as a browse
  // lists it.
  WindowControls Controls() const;
  void ShowControls(const WindowControls& controls);

  // The 確認 window on the photos of the input folder as it lists them,
  // for the size and the fit chosen; window-modal, open until closed. Its
  // crop positions are the run's from then on, until another input folder
  // is chosen. Nothing without an input folder.
  void OpenPreview();
  const std::map<std::string, double>& CropPositionsByPath() const { return crops_; }

  // The first showing shows the splash modally, then centres the window,
  // fitted to the screen's free area by FitScreen.
  void setVisible(bool visible) override;
  // When the window is larger than `room`, the client area scrolls inside
  // a window that fits it.
  void FitScreen(const QSize& room);

 signals:
  // The run of the last press of Run has ended: its boxes were answered, an
  // error that escaped it was reported and the window is idle again.
  void RunEnded();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  class Relay;

  // Where a folder dialog opens: the field's own folder, else the other
  // field's, else the folder chosen last (or the last session's input or
  // output folder); home when there is none.
  std::string BrowseStart(const std::string& own, const std::string& other) const;
  std::optional<std::string> BrowseFor(const char* title, const std::string& start);
  void SetInputFolder(const std::string& bytes);
  void SetOutputFolder(const std::string& bytes);
  void SetGlyphs();
  void ConnectHandlers();
  bool AnyFixedSizeSelected() const;
  // A size beyond the list, from その他のサイズ: the list's buttons show
  // none checked and the status line names it; std::nullopt goes back to
  // the list, whose button is then chosen.
  void ChooseOtherSize(std::optional<std::size_t> row);
  void EnableResolutionButtons(bool enabled);
  void ShowMessage(const std::string& text);
  // The input folder as a browse lists it, with the scan options as they
  // stand.
  FolderListing ListInput() const;
  void ShowListing(const FolderListing& listing);
  // The frame of フチあり in pixels as the controls stand (0 for フチなし);
  // the line that tells フチあり is on.
  int FrameNow() const;
  void ShowFit();
  void AppendLog(const QString& line);
  void SetStatus(const QString& text);

  // The run's events as the GUI thread shows them.
  void EnterRun();
  void FinishRun(const std::string& summary);
  void RunThreadEnded(std::exception_ptr error);
  // Running: Run off, Cancel on, progress shown, folder choice and size
  // buttons off. Idle: the reverse, the subfolder button as it was.
  void SetRunning(bool running);

  void SaveSettings();
  void ResetSettings();

  std::unique_ptr<Ui::MainWindow> ui_;
  Dialogs& dialogs_;
  QWidget* client_ = nullptr;  // the stored layout, below the menu bar
  WindowMenus* menus_ = nullptr;
  std::unique_ptr<QSettings> settings_;
  WindowSettings initial_;  // as at a first start
  // The print options of the current (or the last) run.
  std::shared_ptr<PrintRun> printRun_;
  std::string captionText_;
  ScanCounts lastScan_;
  // The folder edits show their paths decoded; these are the bytes.
  std::string inputFolder_;
  std::string outputFolder_;
  std::string lastBrowsed_;
  std::vector<QAbstractButton*> sizeButtons_;  // by row of the size table, the listed ones
  QMenu* otherSizes_ = nullptr;                // その他のサイズ
  std::vector<QAction*> otherSizeItems_;       // by row, after the listed ones
  std::optional<std::size_t> otherSize_;       // the row chosen from その他のサイズ
  QAbstractButton* listedBefore_ = nullptr;    // the list's choice before it
  std::vector<QAbstractButton*> dpiButtons_;   // by print resolution
  QSize fullSize_;                             // the menu bar and the whole client area
  bool splashShown_ = false;
  bool running_ = false;
  bool subfolderButtonWasEnabled_ = false;
  bool runActive_ = false;
  int runFrame_ = 0;  // FrameNow() at the press of Run
  QLabel* fitIndicator_ = nullptr;
  bool closePending_ = false;
  std::stop_source stop_;  // a fresh one for each run
  std::unique_ptr<Relay> relay_;
  std::map<std::string, double> crops_;  // by the photo's path under the input folder
  std::thread runThread_;
};

}  // namespace quorvale
