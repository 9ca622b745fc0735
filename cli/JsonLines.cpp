#include "cli/JsonLines.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <vector>

#include "messages/Messages.h"
#include "messages/Report.h"
#include "platform/Utf8.h"

namespace quorvale::cli {
namespace {

std::string SizeJson(const PixelSize& size) {
  if (size.width == 0 && size.height == 0) return "null";
  return "{\"width\":" + std::to_string(size.width) + ",\"height\":" + std::to_string(size.height) +
         "}";
}

std::string ArrayJson(const std::vector<std::string>& texts) {
  std::string json = "[";
  for (const std::string& text : texts) {
    if (json.size() > 1) json += ',';
    json += JsonString(text);
  }
  return json + "]";
}

std::span<const std::uint8_t> AsBytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A failed save's reason from the system, in English for scripts; null for
// an encode that failed.
std::string SaveReasonJson(const PhotoReport& report) {
  if (report.outcome != PhotoOutcome::SaveFailed) return {};
  if (report.saveError == 0) return ",\"reason\":null";
  return ",\"reason\":" + JsonString(strerrordesc_np(report.saveError));
}

}  // namespace

const char* OutcomeWord(PhotoOutcome outcome) {
  switch (outcome) {
    case PhotoOutcome::Saved:
      return "saved";
    case PhotoOutcome::SkippedSmall:
      return "skipped-small";
    case PhotoOutcome::SkippedExisting:
      return "skipped-existing";
    case PhotoOutcome::Missing:
      return "missing";
    case PhotoOutcome::Unreadable:
      return "unreadable";
    case PhotoOutcome::TrimFailed:
      return "trim-failed";
    case PhotoOutcome::BadName:
      return "bad-name";
    case PhotoOutcome::NameTooLong:
      return "name-too-long";
    case PhotoOutcome::InInputTree:
      return "in-input-tree";
    case PhotoOutcome::SaveFailed:
      return "save-failed";
    case PhotoOutcome::Stopped:
      return "stopped";
  }
  return "unknown";
}

bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = DecodeUtf8At(text, i).length;
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  json.reserve(text.size() + 2);
  for (std::size_t i = 0; i < text.size();) {
    const Utf8Char c = DecodeUtf8At(text, i);
    if (c.length == 0) {
      json += "\xEF\xBF\xBD";  // U+FFFD
      ++i;
      continue;
    }
    switch (c.code) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\b':
        json += "\\b";
        break;
      case '\f':
        json += "\\f";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        if (c.code < 0x20 || (c.code >= 0x7F && c.code <= 0x9F) || c.code == 0x2028 ||
            c.code == 0x2029) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c.code));
          json += escape;
        } else {
          json.append(text, i, c.length);
        }
    }
    i += c.length;
  }
  return json + "\"";
}

std::string PathFields(const char* key, const std::string& path) {
  std::string json = "\"" + std::string(key) + "\":";
  if (path.empty()) return json + "null";
  json += JsonString(path);
  if (!IsUtf8(path))
    json += ",\"" + std::string(key) + "_base64\":\"" + Base64(AsBytes(path)) + "\"";
  return json;
}

std::string PhotoJson(const PhotoReport& report) {
  return "{\"type\":\"photo\"," + PathFields("input", report.input) + "," +
         PathFields("output", report.output) + ",\"outcome\":\"" + OutcomeWord(report.outcome) +
         "\",\"log\":" + ArrayJson(PhotoLogLines(report)) +
         ",\"decoded\":" + SizeJson(report.decoded) + ",\"crop\":" + SizeJson(report.crop) +
         ",\"saved\":" + SizeJson(report.saved) +
         ",\"warnings\":" + ArrayJson(WarningTexts(report.warnings, Wording::English)) +
         SaveReasonJson(report) + "}";
}

std::string SummaryJson(const RunOutcome& outcome) {
  const PassedOver& passed = outcome.passedOver;
  return "{\"type\":\"summary\",\"saved\":" + std::to_string(outcome.counts.saved) +
         ",\"errors\":" + std::to_string(outcome.counts.errors) +
         ",\"skipped\":" + std::to_string(outcome.counts.skipped) +
         ",\"stopped\":" + (outcome.stopped ? "true" : "false") +
         ",\"unreadable_folders\":" + std::to_string(outcome.leftOut.unlisted.size()) +
         ",\"earlier_outputs\":" + std::to_string(outcome.leftOut.earlierOutputs.size()) +
         ",\"unknown_crops\":" + std::to_string(outcome.leftOut.unknownCropCount) +
         ",\"text\":" + JsonString(SummaryText(outcome.stopped, outcome.counts)) +
         ",\"passed_over\":{\"jpeg_names\":" + std::to_string(passed.otherJpegNames) +
         ",\"heif\":" + std::to_string(passed.heifNames) +
         ",\"png\":" + std::to_string(passed.pngNames) +
         ",\"orientation\":" + std::to_string(passed.orientations) +
         ",\"profile\":" + std::to_string(passed.profiles) + "}}";
}

}  // namespace quorvale::cli
