#pragma once

#include <QString>
#include <memory>
#include <string>

#include "messages/RunChoices.h"

class QSettings;

namespace quorvale {

// The print options of the window, as its オプション menu holds them.
struct PrintSettings {
  bool autoOrient = false;
  bool keepMetadata = false;
  bool writeDpi = false;
  bool keepTimes = false;
  ExistingOutput existing = ExistingOutput::Ask;
  bool largePhotos = false;
  bool writeReport = false;
  std::string reportPath;     // path bytes; kept when the report is turned off
  bool openReport = false;    // open the page in the browser when the run has ended
  Fit fit = Fit::Trim;        // フチなし or フチあり
  bool allJpegNames = false;  // take ".jpeg", ".jpe" and ".jfif" files too
  // The frame of フチあり: millimetres at a print size, pixels at a pixel size.
  int margin = DefaultFrameAmount;
  bool allPhotos = false;   // take HEIC, HEIF, PNG and every JPEG name
  bool colourSrgb = false;  // make the colours of a non-sRGB photo sRGB
  bool dateStamp = false;   // 日付を入れる
  DateFormat dateFormat = DateFormat::Kiosk;
  bool shopNames = false;  // 店頭プリント用のファイル名にする
  friend bool operator==(const PrintSettings&, const PrintSettings&) = default;
};

// The window's own controls. The defaults are the stored layout's.
struct WindowControls {
  std::string inputFolder;  // path bytes
  std::string outputFolder;
  std::string size = "L";  // the id of a row of the size table
  int dpi = 400;           // one of the print resolutions
  bool trim = true;
  bool reduce = false;
  bool highQuality = false;
  int quality = 90;  // 0..100
  bool noSubfolders = false;
  bool skipSmall = true;
  friend bool operator==(const WindowControls&, const WindowControls&) = default;
};

// Everything the window remembers across starts. The controls are kept as
// last left whatever the switch says; the window opens with them only when
// it is on.
struct WindowSettings {
  PrintSettings print;
  bool reopenLast = false;  // 前回の設定で開く
  WindowControls last;
  friend bool operator==(const WindowSettings&, const WindowSettings&) = default;
};

// The settings file's layout; a file that says it has a later one was
// written by a newer Quorvale.
inline constexpr int WindowSettingsFormat = 1;

// The settings in the desktop's usual place: ~/.config/Tessaly/Quorvale.conf
// (as QSettings' user scope puts it, so tests move it with QSettings::setPath).
// None when something other than a regular file (a FIFO, a folder) has that
// name: it is left alone, and the window starts with its initial values.
std::unique_ptr<QSettings> OpenWindowSettings();

// The values of `settings`, each checked on its own: a value that is
// missing, not of its kind or out of range is `initial`'s; a line Qt cannot
// parse costs only itself. A file that cannot be read, or one of a newer
// format, gives `initial` whole. Never throws.
WindowSettings LoadWindowSettings(QSettings& settings, const WindowSettings& initial = {});

// Writes `values` and a format number; the file's other keys and groups
// stay. A file of a newer format is left as it is, for the version that
// wrote it. False when nothing was written.
bool SaveWindowSettings(QSettings& settings, const WindowSettings& values);

}  // namespace quorvale
