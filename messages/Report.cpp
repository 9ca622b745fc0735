#include "messages/Report.h"

#include <algorithm>

#include "geometry/TrimPosition.h"
#include "messages/Messages.h"
#include "messages/Translate.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/Utf8.h"

namespace quorvale {
namespace {

// Cards keep a fixed width so that the grid needs no measuring; the crop's
// box shadow darkens what the trim cuts away, clipped by the picture.
// content-visibility lets the browser skip laying out cards off screen.
constexpr char Style[] = R"(<style>
:root{color-scheme:light}
body{margin:0;font:13px/1.4 "IPAPGothic","IPAGothic","Noto Sans CJK JP",sans-serif;background:#f3f3f1;color:#222;display:flex;flex-direction:column}
header{order:-2;padding:10px 16px;background:#2f3437;color:#fff}
h1{margin:0;font-size:16px;font-weight:600}
.settings{margin:4px 0 0;font-size:12px;color:#d8dcde}
.summary{order:-1;margin:0;padding:8px 16px;background:#fff;border-bottom:1px solid #ccc;font-weight:600;white-space:pre-wrap}
main{display:flex;flex-wrap:wrap;gap:12px;padding:12px}
.card{box-sizing:border-box;width:218px;padding:8px;background:#fff;border:1px solid #ccc;border-top:4px solid var(--c);content-visibility:auto;contain-intrinsic-size:218px 340px}
.frame{height:200px;margin-bottom:6px;display:flex;align-items:center;justify-content:center}
.pic{position:relative;overflow:hidden;background:#ddd}
.pic img{display:block}
.crop{position:absolute;box-sizing:border-box;border:2px solid #ffd21f;box-shadow:0 0 0 400px rgba(0,0,0,.5)}
.pic.canvas{background:#fff;outline:1px solid #bbb}
.canvas img{position:absolute}
.none{width:200px;height:150px;display:flex;align-items:center;justify-content:center;color:#888}
.card p{margin:2px 0}
.outcome{font-weight:600;color:var(--c)}
.path{font-size:12px;overflow-wrap:anywhere}
.to{color:#555}
.sizes{font-size:12px;color:#333}
.log{margin:4px 0 0;font:inherit;font-size:12px;white-space:pre-wrap;overflow-wrap:anywhere;color:#555}
.raw{color:#a00;background:#fde8e8}
.saved{--c:#2b8a3e}.planned{--c:#1f6fb2}.skipped{--c:#8a8a8a}.failed{--c:#c0392b}.stopped{--c:#d9822b}
</style>
)";

const char* ClassOf(ReportOutcome outcome) {
  switch (outcome) {
    case ReportOutcome::Saved:
      return "saved";
    case ReportOutcome::Planned:
      return "planned";
    case ReportOutcome::Skipped:
      return "skipped";
    case ReportOutcome::Failed:
      return "failed";
    case ReportOutcome::Stopped:
      return "stopped";
  }
  return "failed";
}

std::string Hex(const char* format, unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Percent(int part, int whole) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f%%", whole > 0 ? 100.0 * part / whole : 0.0);
  return text;
}

std::string Size(int width, int height) {
  return std::to_string(width) + " × " + std::to_string(height);
}

// The photo placed on its canvas as the border left it, the canvas drawn at
// most as large as a thumbnail.
std::string OnCanvas(const ReportEntry& entry, const std::string& image) {
  const ReportRect& fitted = *entry.fitted;
  const int longer = std::max(entry.outputWidth, entry.outputHeight);
  const int scale = std::min(longer, 200);
  const int width = std::max(1, entry.outputWidth * scale / longer);
  const int height = std::max(1, entry.outputHeight * scale / longer);
  return "<div class=\"frame\"><div class=\"pic canvas\" style=\"width:" + std::to_string(width) +
         "px;height:" + std::to_string(height) +
         "px\"><img style=\"left:" + Percent(fitted.left, entry.outputWidth) +
         ";top:" + Percent(fitted.top, entry.outputHeight) +
         ";width:" + Percent(fitted.width, entry.outputWidth) +
         ";height:" + Percent(fitted.height, entry.outputHeight) + "\"" + image + "></div></div>\n";
}

std::string Picture(const ReportEntry& entry) {
  if (entry.thumbnail.empty() || entry.thumbnailWidth <= 0 || entry.thumbnailHeight <= 0) {
    return "<div class=\"frame\"><div class=\"pic none\">" + EscapeHtml(Translate("no picture")) +
           "</div></div>\n";
  }
  const std::string image =
      " alt=\"\" decoding=\"async\" loading=\"lazy\" src=\"data:image/jpeg;base64," +
      Base64(entry.thumbnail) + "\"";
  if (entry.fitted && entry.outputWidth > 0 && entry.outputHeight > 0) {
    return OnCanvas(entry, image);
  }
  const std::string width = std::to_string(entry.thumbnailWidth);
  const std::string height = std::to_string(entry.thumbnailHeight);
  std::string html = "<div class=\"frame\"><div class=\"pic\" style=\"width:" + width +
                     "px;height:" + height + "px\"><img width=\"" + width + "\" height=\"" +
                     height + "\"" + image + ">";
  if (entry.crop && entry.sourceWidth > 0 && entry.sourceHeight > 0) {
    const ReportRect& crop = *entry.crop;
    html += "<div class=\"crop\" style=\"left:" + Percent(crop.left, entry.sourceWidth) +
            ";top:" + Percent(crop.top, entry.sourceHeight) +
            ";width:" + Percent(crop.width, entry.sourceWidth) +
            ";height:" + Percent(crop.height, entry.sourceHeight) + "\"></div>";
  }
  return html + "</div></div>\n";
}

std::string Sizes(const ReportEntry& entry) {
  if (entry.sourceWidth <= 0 || entry.sourceHeight <= 0) return std::string();
  std::string text = Size(entry.sourceWidth, entry.sourceHeight);
  if (entry.crop) {
    char position[32];
    std::snprintf(position, sizeof position, "%.3g", entry.position);
    // TRANSLATORS: the crop's size ("1000 × 800"), its top left corner and
    // its position along the free axis (0 left or top, 0.5 centred, 1 right or bottom).
    text += " → " + Format(Translate("crop %s at %d, %d (position %s)"),
                           Size(entry.crop->width, entry.crop->height).c_str(), entry.crop->left,
                           entry.crop->top, position);
  }
  if (entry.fitted) {
    text += " → " + Format(Translate("fitted %s at %d, %d with a border"),
                           Size(entry.fitted->width, entry.fitted->height).c_str(),
                           entry.fitted->left, entry.fitted->top);
  }
  if (entry.outputWidth > 0 && entry.outputHeight > 0) {
    text += " → " + Size(entry.outputWidth, entry.outputHeight);
  }
  if (!entry.dateStamp.empty()) {
    // TRANSLATORS: the date stamped on the print ("'24 8 5").
    text += " → " + Format(Translate("dated %s"), EscapeHtml(entry.dateStamp).c_str());
  }
  return "<p class=\"sizes\">" + text + "</p>\n";
}

const char* CardWord(PhotoOutcome outcome, bool dryRun) {
  switch (outcome) {
    case PhotoOutcome::Saved:
      return dryRun ? Translate("to be saved") : Translate("saved");
    case PhotoOutcome::SkippedSmall:
      return Translate("skipped: small");
    case PhotoOutcome::SkippedExisting:
      return Translate("skipped: output exists");
    case PhotoOutcome::Missing:
      return Translate("error: missing");
    case PhotoOutcome::Unreadable:
      return Translate("error: unreadable");
    case PhotoOutcome::TrimFailed:
      return Translate("error: trim failed");
    case PhotoOutcome::BadName:
      return Translate("error: bad name");
    case PhotoOutcome::NameTooLong:
      return Translate("error: name too long");
    case PhotoOutcome::InInputTree:
      return Translate("error: output inside the input folder");
    case PhotoOutcome::SaveFailed:
      return Translate("error: not saved");
    case PhotoOutcome::Stopped:
      return Translate("stopped");
  }
  return Translate("error");
}

// One line of what made the page: the size and its pixels, then how the
// photos were treated, then the options.
std::string SettingsLine(const ReportSettings& settings) {
  std::string text = settings.size + ": " + Size(settings.longSide, settings.shortSide) + " px";
  // TRANSLATORS: follows the target's pixels: "L (…): 2000 × 1401 px at 400 dpi".
  if (settings.dpi > 0) text += Format(Translate(" at %d dpi"), settings.dpi);
  std::vector<std::string> parts;
  if (settings.trim) parts.emplace_back(Translate("trimmed to the aspect"));
  if (settings.reduce) {
    parts.emplace_back(settings.highQuality ? Translate("reduced (high quality)")
                                            : Translate("reduced"));
  }
  parts.push_back(Format(Translate("JPEG quality %d"), settings.quality));
  for (const std::string& option : settings.options) parts.push_back(option);
  for (const std::string& part : parts) text += " · " + part;
  return text;
}

ReportOutcome OutcomeKind(PhotoOutcome outcome, bool dryRun) {
  switch (outcome) {
    case PhotoOutcome::Saved:
      return dryRun ? ReportOutcome::Planned : ReportOutcome::Saved;
    case PhotoOutcome::SkippedSmall:
    case PhotoOutcome::SkippedExisting:
      return ReportOutcome::Skipped;
    case PhotoOutcome::Stopped:
      return ReportOutcome::Stopped;
    default:
      return ReportOutcome::Failed;
  }
}

}  // namespace

std::string ReportSizeName(const SizePreset& size) {
  std::string caption;
  for (std::string_view rest = SizeCaption(size); !rest.empty();) {
    const bool wide = rest.starts_with("\u3000");
    if (wide || rest.front() == ' ') {
      if (!caption.empty() && caption.back() != ' ') caption += ' ';
      rest.remove_prefix(wide ? 3 : 1);
    } else {
      caption += rest.front();
      rest.remove_prefix(1);
    }
  }
  return std::string(size.id) + " (" + caption + ")";
}

ReportEntry ReportEntryFor(const PhotoReport& report, bool dryRun) {
  ReportEntry entry;
  entry.inputPath = report.input;
  entry.outputPath = report.output;
  entry.outcome = OutcomeKind(report.outcome, dryRun);
  entry.outcomeWord = CardWord(report.outcome, dryRun);
  std::vector<std::string> lines = PhotoLogLines(report);
  for (std::string& warning : WarningTexts(report.warnings, Wording::Locale)) {
    lines.push_back(std::move(warning));
  }
  for (const std::string& line : lines) entry.log += (entry.log.empty() ? "" : "\n") + line;
  entry.sourceWidth = report.decoded.width;
  entry.sourceHeight = report.decoded.height;
  // The crop's place follows from the two sizes and its position as the
  // trim placed it.
  const PixelSize& crop = report.crop;
  if (crop.width > 0 && crop.height > 0 && crop.width <= report.decoded.width &&
      crop.height <= report.decoded.height && !(crop == report.decoded)) {
    entry.crop = ReportRect{TrimOffset(report.decoded.width - crop.width, report.position),
                            TrimOffset(report.decoded.height - crop.height, report.position),
                            crop.width, crop.height};
    entry.position = report.position;
  }
  const PixelRect& fitted = report.fitted;
  if (fitted.width > 0 && fitted.height > 0) {
    entry.fitted = ReportRect{fitted.left, fitted.top, fitted.width, fitted.height};
  }
  entry.outputWidth = report.saved.width;
  entry.outputHeight = report.saved.height;
  entry.dateStamp = report.dateStamp;
  entry.thumbnail = report.thumbnail;
  entry.thumbnailWidth = report.thumbnailSize.width;
  entry.thumbnailHeight = report.thumbnailSize.height;
  return entry;
}

std::string EscapeHtml(std::string_view bytes) {
  std::string html;
  std::string raw;
  const auto flushRaw = [&] {
    if (raw.empty()) return;
    html += "<span class=\"raw\">" + raw + "</span>";
    raw.clear();
  };
  for (std::size_t i = 0; i < bytes.size();) {
    const unsigned char byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x80) {
      ++i;
      if ((byte < 0x20 && byte != '\t' && byte != '\n') || byte == 0x7F) {
        raw += Hex("\\x%02X", byte);
        continue;
      }
      flushRaw();
      switch (byte) {
        case '&':
          html += "&amp;";
          break;
        case '<':
          html += "&lt;";
          break;
        case '>':
          html += "&gt;";
          break;
        case '"':
          html += "&quot;";
          break;
        case '\'':
          html += "&#39;";
          break;
        default:
          html += static_cast<char>(byte);
      }
      continue;
    }
    const std::size_t length = DecodeUtf8At(bytes, i).length;
    if (length == 0) {
      raw += Hex("\\x%02X", byte);
      ++i;
      continue;
    }
    // C1 controls (U+0080..U+009F, lead byte 0xC2) are valid UTF-8 but no text.
    if (length == 2 && byte == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) < 0xA0) {
      raw += Hex("\\u{%04X}", static_cast<unsigned char>(bytes[i + 1]));
      i += 2;
      continue;
    }
    flushRaw();
    html.append(bytes.substr(i, length));
    i += length;
  }
  flushRaw();
  return html;
}

std::string Base64(std::span<const std::uint8_t> bytes) {
  static constexpr char Alphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
    text += Alphabet[v >> 18];
    text += Alphabet[(v >> 12) & 63];
    text += Alphabet[(v >> 6) & 63];
    text += Alphabet[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    const std::uint32_t v = bytes[i] << 16 | (rest == 2 ? bytes[i + 1] << 8 : 0);
    text += Alphabet[v >> 18];
    text += Alphabet[(v >> 12) & 63];
    text += rest == 2 ? Alphabet[(v >> 6) & 63] : '=';
    text += '=';
  }
  return text;
}

std::string ReportHead(std::string_view title, const ReportSettings& settings) {
  return "<!DOCTYPE html>\n<html lang=\"" + EscapeHtml(TranslatedLanguage()) +
         "\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width\">\n<title>" +
         EscapeHtml(title) + "</title>\n" + Style + "</head>\n<body>\n<header><h1>" +
         EscapeHtml(title) + "</h1>\n<p class=\"settings\">" + EscapeHtml(SettingsLine(settings)) +
         "</p></header>\n<main>\n";
}

std::string ReportCard(const ReportEntry& entry, int number) {
  const char* kind = ClassOf(entry.outcome);
  std::string html = "<article class=\"card " + std::string(kind) + "\">\n" + Picture(entry);
  html += "<p class=\"outcome\">" + std::to_string(number) + ". " + EscapeHtml(entry.outcomeWord) +
          "</p>\n<p class=\"path\">" + EscapeHtml(entry.inputPath) + "</p>\n";
  if (!entry.outputPath.empty()) {
    html += "<p class=\"path to\">→\u00a0" + EscapeHtml(entry.outputPath) + "</p>\n";
  }
  html += Sizes(entry);
  if (!entry.log.empty()) html += "<pre class=\"log\">" + EscapeHtml(entry.log) + "</pre>\n";
  return html + "</article>\n";
}

std::string ReportTail(std::string_view summary) {
  return "</main>\n<p class=\"summary\" lang=\"ja\">" + EscapeHtml(summary) +
         "</p>\n</body>\n</html>\n";
}

namespace {

// `path` with every link in its folders resolved (the last name as it is);
// the folders as given when they cannot be resolved (they do not exist).
std::string ResolvedPath(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
  char* resolved = ::realpath(folder.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string result = resolved;
  std::free(resolved);
  if (result.back() != '/') result += '/';
  return result + path.substr(slash + 1);
}

// `path` resolved, and `folder` itself resolved when it exists: true when
// the one is the other or inside it.
bool IsInTree(const std::string& path, const std::string& folder) {
  std::string tree = folder;
  while (tree.size() > 1 && tree.back() == '/') tree.pop_back();
  if (char* resolved = ::realpath(tree.c_str(), nullptr)) {
    tree = resolved;
    std::free(resolved);
  } else {
    tree = ResolvedPath(tree);
  }
  if (tree == "/") return true;
  return path == tree || path.starts_with(tree + "/");
}

}  // namespace

ReportPlace CheckReportPlace(const std::string& path, const std::string& inputFolder,
                             const std::string& outputFolder) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return ReportPlace::NotAFile;
  const std::string resolved = ResolvedPath(path);
  // A folder not chosen yet holds nothing.
  if (!inputFolder.empty() && IsInTree(resolved, inputFolder)) return ReportPlace::InInput;
  if (!outputFolder.empty() && IsInTree(resolved, outputFolder)) return ReportPlace::InOutput;
  return ReportPlace::Safe;
}

bool ReportWriter::Open(const std::string& path, std::string_view title,
                        const ReportSettings& settings) {
  file_.reset();
  SafeFile file = SafeFile::Create(path, IfExists::Replace);
  if (file.Error() != 0) {
    errno = file.Error();
    return false;
  }
  file_ = std::move(file);
  count_ = 0;
  file_->Append(ReportHead(title, settings));
  return true;
}

void ReportWriter::Add(const ReportEntry& entry) {
  if (file_) file_->Append(ReportCard(entry, ++count_));
}

bool ReportWriter::Finish(std::string_view summary) {
  if (!file_) return false;
  file_->Append(ReportTail(summary));
  const int error = file_->Commit();
  file_.reset();
  errno = error;
  return error == 0;
}

}  // namespace quorvale
