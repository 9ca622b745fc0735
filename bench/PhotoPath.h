#pragma once

#include <cstddef>
#include <string>

#include "imaging/RunState.h"
#include "imaging/SizeTable.h"
#include "platform/Window.h"

namespace quorvale::bench {

// How the per-photo path reduces: not at all, plain (CheckBox2) or high
// quality (CheckBox2 and CheckBox3).
enum class Reduction { None, Plain, HighQuality };

// L at 400 dpi, the default size of a run.
inline constexpr LongShort SizeL{2000, 1401};

// A window with no one in front of it: the check boxes of a run that trims
// and reduces as `reduction` says, quality 90, every question answered No,
// nothing shown and nothing pumped.
class SilentWindow : public Window {
 public:
  explicit SilentWindow(Reduction reduction) : reduction_(reduction) {}

  void ShowMessage(const std::string&) override {}
  bool AskYesNo(const std::string&) override { return false; }
  void ProcessMessages() override {}
  bool IsChecked(CheckBox box) override;
  RadioSelection SelectedRadioButtons() override { return RadioSelection().set(1).set(13); }
  int Quality() override { return 90; }
  std::string InputFolderText() override { return {}; }
  std::string OutputFolderText() override { return {}; }
  void AppendLog(const std::string&) override {}
  void ClearLog() override {}
  void SetStatusText(const std::string&) override {}
  void SetProgress(int) override {}
  void SetRunning(bool) override {}

 private:
  Reduction reduction_;
};

struct PathResult {
  bool ok = false;          // every step succeeded
  PixelSize decoded{0, 0};  // the photo as decoded
  PixelSize saved{0, 0};    // the photo as encoded
  std::size_t encodedBytes = 0;
};

// One photo's way through a run, as the run takes it: LoadJpegFile, the
// centre trim to `size`, the reduction box and ReducePhoto (unless
// `reduction` is None), then the encode at the window's quality, into memory
// instead of a file.
PathResult RunPhotoPath(RunState& state, Window& window, const std::string& photo,
                        Reduction reduction, LongShort size = SizeL);

}  // namespace quorvale::bench
