#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "batch/RunEvents.h"
#include "platform/SafeFile.h"

namespace quorvale {

// How a photo of a run ended, for the colour of its card in the report.
enum class ReportOutcome { Saved, Planned, Skipped, Failed, Stopped };

// A rectangle in a photo's pixels.
struct ReportRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// One photo of the report, in the order of the run's log.
struct ReportEntry {
  std::string inputPath;   // the file system's bytes
  std::string outputPath;  // empty when the photo got none
  ReportOutcome outcome = ReportOutcome::Saved;
  std::string outcomeWord;  // shown as it stands ("saved", "skipped", ...)
  std::string log;          // the photo's log lines after its path, '\n' between them
  int sourceWidth = 0;      // the photo as decoded (and turned upright); 0 when not decoded
  int sourceHeight = 0;
  std::optional<ReportRect> crop;  // the trim, in the photo's pixels
  double position = 0.5;           // the crop's position along the axis the trim shortens
  // With a border: the whole photo's place on the canvas, which is the
  // output's size.
  std::optional<ReportRect> fitted;
  int outputWidth = 0;  // the picture written (or that would be); 0 when none
  int outputHeight = 0;
  std::string dateStamp;                // the date stamped on it; empty for none
  std::vector<std::uint8_t> thumbnail;  // a small JPEG of the whole photo; empty when none
  int thumbnailWidth = 0;
  int thumbnailHeight = 0;
};

// What made a report page, shown under its title: the size and how the
// photos were treated, as the run was asked for it.
struct ReportSettings {
  std::string size;  // the size's ID and caption ("L  L判 (89x127mm)")
  int longSide = 0;  // the target size in pixels
  int shortSide = 0;
  int dpi = 0;  // 0 for a fixed pixel size, which has no resolution
  bool trim = true;
  bool reduce = false;
  bool highQuality = false;
  int quality = 90;                  // of the JPEGs written
  std::vector<std::string> options;  // the other options given, as spelled ("--auto-orient")
};

// A size as the report's heading names it: its ID and its caption, the
// caption's runs of blanks (which line up the window's buttons) one space.
std::string ReportSizeName(const SizePreset& size);

// The card of a photo a run reported: its outcome in a word, the log lines
// and warnings, the crop at its position drawn when the trim cut something,
// or the photo on its canvas when it was fitted with a border. With
// `dryRun` a photo that would have been saved is a planned one.
ReportEntry ReportEntryFor(const PhotoReport& report, bool dryRun);

// The text of `bytes` for an HTML page in UTF-8: valid UTF-8 passes, with
// & < > " ' as character references; each byte that is not part of valid
// UTF-8, and each control character other than tab and line feed, is shown
// as \xNN (\u{NNNN} for a control beyond ASCII) inside <span class="raw">,
// so any path gives valid, readable text.
std::string EscapeHtml(std::string_view bytes);

// Standard base64 (RFC 4648) with padding.
std::string Base64(std::span<const std::uint8_t> bytes);

// The pieces of the page, for the writer below: the head (title, style,
// settings), one card per photo (numbered from 1) and the tail with the
// summary. The page's words are Translate's, and its lang attribute says
// their language; the summary, a stored Japanese text, is marked as such.
std::string ReportHead(std::string_view title, const ReportSettings& settings);
std::string ReportCard(const ReportEntry& entry, int number);
std::string ReportTail(std::string_view summary);

// Where a report page would be written, for a run between two folders
// (absolute paths): a path that is, or resolves to through links in its
// folders, the input folder's tree (an input photo above all) or the output
// folder's, or that names anything but a regular file (a folder, a device,
// a link), would endanger the photos. An empty folder is none.
enum class ReportPlace { Safe, NotAFile, InInput, InOutput };
ReportPlace CheckReportPlace(const std::string& path, const std::string& inputFolder,
                             const std::string& outputFolder);

// Writes a report page as the run goes, one card per photo, so that no
// thumbnail is kept after it is written, into a file that takes the page's
// name only when the page is complete (platform/SafeFile.h): a run killed
// meanwhile leaves the path as it was. The page is self-contained: its
// style is inline, the thumbnails are data: URIs, and it has no script and
// loads nothing. A photo's card costs a thumbnail of at most a few kilobytes
// and is laid out only when scrolled into view, so a page of thousands of
// photos opens quickly.
class ReportWriter {
 public:
  // Starts the page for `path`, replacing any page there once complete, with
  // the head written. False, with errno set, when it cannot be started.
  bool Open(const std::string& path, std::string_view title, const ReportSettings& settings);
  bool IsOpen() const { return file_.has_value(); }
  void Add(const ReportEntry& entry);
  // Writes the summary, flushes the page to the disk and gives it its path,
  // so that the path holds either what it held before or the whole page.
  // False, with errno set, when any write failed; the path is then left as
  // it was.
  bool Finish(std::string_view summary);

 private:
  std::optional<SafeFile> file_;
  int count_ = 0;
};

}  // namespace quorvale
