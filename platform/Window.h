#pragma once

#include <bitset>
#include <string>

namespace quorvale {

// The check boxes of the main window that the core reads.
enum class CheckBox {
  CheckBox1,  // trim to the target aspect
  CheckBox2,  // reduce to the target box
  CheckBox3,  // use the high-quality reduction
  CheckBox4,  // do not search subfolders
  CheckBox5,  // skip photos of at most 320 x 240
};

// The selected radio buttons of the main window: bit N is set when
// RadioButtonN is selected (N = 1..23; bit 0 is unused).
using RadioSelection = std::bitset<24>;

// What the core reads and changes of the main window. The window implements
// it with its widgets, quorvale-batch with its command line, the tests with a
// scripted fake. Texts are UTF-8 message texts or path bytes, unchanged.
class Window {
 public:
  virtual ~Window() = default;

  // Modal box with one OK button; the caption is CaptionText, no icon.
  virtual void ShowMessage(const std::string& text) = 0;
  // Modal Yes/No box, Yes the default button. True when Yes was chosen.
  virtual bool AskYesNo(const std::string& text) = 0;
  // Handles all pending window events (a click on Cancel arrives here).
  virtual void ProcessMessages() = 0;

  virtual bool IsChecked(CheckBox box) = 0;
  virtual RadioSelection SelectedRadioButtons() = 0;
  // TrackBar1: the JPEG quality, 0..100.
  virtual int Quality() = 0;
  // Edit1 and Edit2, as path bytes.
  virtual std::string InputFolderText() = 0;
  virtual std::string OutputFolderText() = 0;

  // Memo1: the file list after a scan, the log during a run.
  virtual void AppendLog(const std::string& line) = 0;
  virtual void ClearLog() = 0;
  // StatusBar1: replaces the whole text and repaints at once.
  virtual void SetStatusText(const std::string& text) = 0;
  // ProgressBar1 position, 0..100.
  virtual void SetProgress(int percent) = 0;
  // Running: Run disabled, Cancel enabled, progress bar shown. Idle: the reverse.
  virtual void SetRunning(bool running) = 0;
};

}  // namespace quorvale
