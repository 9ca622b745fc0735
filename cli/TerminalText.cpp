#include "cli/TerminalText.h"

#include <cstdio>

#include "platform/Utf8.h"

namespace quorvale::cli {

std::string EscapeControls(std::string_view text, bool utf8) {
  std::string shown;
  shown.reserve(text.size());
  const auto hex = [&](unsigned char byte) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\x%02x", byte);
    shown += escape;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '\n') {
      shown += "\\n";
    } else if (byte == '\t') {
      shown += "\\t";
    } else if (byte == '\r') {
      shown += "\\r";
    } else if (byte < 0x20 || byte == 0x7F) {
      hex(byte);
    } else if (utf8 && byte == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      hex(byte);
      hex(static_cast<unsigned char>(text[++i]));
    } else {
      shown += text[i];
    }
  }
  return shown;
}

namespace {

bool IsWide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
         (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
         (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
         (c >= 0x20000 && c <= 0x3FFFD);
}

}  // namespace

int DisplayWidth(std::string_view text) {
  int width = 0;
  for (std::size_t i = 0; i < text.size();) {
    const Utf8Char c = DecodeUtf8At(text, i);
    if (c.length == 0) {  // a stray byte: one column, as a replacement character
      width += 1;
      i += 1;
      continue;
    }
    width += IsWide(c.code) ? 2 : 1;
    i += c.length;
  }
  return width;
}

std::string ProgressSuffix(std::chrono::milliseconds elapsed, ProgressCount count, int room) {
  const RunTimes times = TimesOf(elapsed, count);
  const std::string spent = "  " + ClockText(times.elapsedSeconds) + " elapsed";
  if (!times.leftSeconds) return static_cast<int>(spent.size()) <= room ? spent : std::string();
  const std::string left = "  " + ClockText(*times.leftSeconds) + " left";
  const std::string rate = "  " + RateText(*times.perSecond) + " photos/s";
  for (const std::string& suffix : {spent + rate + left, spent + left, left}) {
    if (static_cast<int>(suffix.size()) <= room) return suffix;
  }
  return std::string();
}

}  // namespace quorvale::cli
