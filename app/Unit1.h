#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/Dialogs.h"
#include "batch/RunPort.h"
#include "folders/FolderScan.h"

class QRadioButton;

namespace Ui {
class TForm1;
}

namespace quorvale {

// The main window: a fixed 473 x 589 dialog-style window built from the
// stored layout (Unit1.ui), and the port the batch run talks to. Handlers
// read the controls, call the core and show what comes back; CheckBox2Click
// and RadioButton1Click keep the options consistent. While a run is on, the
// folder buttons, the subfolder button and drops are off: the folders are
// fixed at the press of Run.
// Every box goes through `dialogs`, which must outlive the window.
class TForm1 : public QWidget, public RunPort {
  Q_OBJECT

 public:
  explicit TForm1(Dialogs& dialogs);
  ~TForm1() override;

  // CaptionText: the window's caption and that of every box.
  const std::string& CaptionText() const { return captionText_; }
  // The counts of the last scan of the input folder.
  const ScanCounts& LastScan() const { return lastScan_; }
  // Set by Cancel, forgotten when a run starts.
  bool CancelRequested() const { return cancelRequested_; }
  // The folder of the program file, ending in '/', as FormCreate found it.
  const std::string& ProgramFolderText() const { return programFolder_; }
  // True from the press of Run until its handler returns.
  bool RunActive() const { return runActive_; }
  QString StatusText() const;

  // Lifecycle. FormCreate runs in the constructor; FormShow when the window
  // is first about to become visible (it shows the splash modally, then the
  // window is centred); FormDestroy in the destructor.
  void FormCreate();
  void FormShow();
  void FormDestroy();

  // Option rules.
  void CheckBox2Click();
  void RadioButton1Click();

  // Folders: browse for the input and the output folder, create an output
  // subfolder, and a drop of `items` (local paths) on the window.
  void BitBtn8Click();
  void BitBtn1Click();
  void BitBtn4Click();
  void WMDropFiles(const std::vector<std::string>& items);

  // Run and Cancel.
  void BitBtn2Click();
  void BitBtn3Click();

  // The controls as a press of Run would take them.
  RadioSelection SelectedRadioButtons() const;
  int Quality() const;
  const std::string& InputFolderText() const { return edit1Bytes_; }
  const std::string& OutputFolderText() const { return edit2Bytes_; }
  RunOptions OptionsForRun() const;
  PhotoOptions PhotoOptionsNow() const;

  // RunPort.
  PhotoOptions OptionsForPhoto() override;
  void Notify(Notice kind, const std::string& text) override;
  bool Ask(Question kind, const std::string& text) override;
  bool PollCancel() override;
  void AppendLog(const std::string& line) override;
  void ClearLog() override;
  void SetStatusText(const std::string& text) override;
  void SetProgress(int percent, int done, int total) override;
  void SetRunning(bool running) override;

  void setVisible(bool visible) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void SetEdit1(const std::string& bytes);
  void SetEdit2(const std::string& bytes);
  void SetGlyphs();
  void ConnectHandlers();
  void EndRun();
  bool AnyFixedSizeSelected() const;
  void EnableResolutionButtons(bool enabled);
  void ShowMessage(const std::string& text);
  void ShowListing(const FolderListing& listing);

  std::unique_ptr<Ui::TForm1> ui_;
  Dialogs& dialogs_;
  std::string captionText_;
  ScanCounts lastScan_;
  std::string programFolder_;
  // Edit1 and Edit2 show their paths decoded; these are the bytes.
  std::string edit1Bytes_;
  std::string edit2Bytes_;
  std::array<QRadioButton*, 24> radio_{};  // RadioButtonN at N; 0 unused
  bool formShown_ = false;
  bool runActive_ = false;
  bool cancelRequested_ = false;
  bool running_ = false;
  bool subfolderButtonWasEnabled_ = false;
  bool closePending_ = false;
};

// The main window, from its construction to its destruction.
extern TForm1* Form1;

}  // namespace quorvale
