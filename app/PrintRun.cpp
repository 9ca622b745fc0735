#include "app/PrintRun.h"

#include <QByteArray>
#include <cerrno>
#include <cstring>

namespace quorvale {
namespace {

// A file URL of path bytes, each byte outside the unreserved set escaped,
// so a name that is not valid UTF-8 reaches the browser unchanged.
std::string FileUrl(const std::string& path) {
  return "file://" + QByteArray::fromStdString(path).toPercentEncoding("/").toStdString();
}

std::string ReportError(const std::string& path, int error) {
  std::string text = "トリミングレポートを書き込めません。\n" + path;
  if (error != 0) text += "\n" + std::string(std::strerror(error));
  return text;
}

}  // namespace

// The size and the resolution selected, as ResolveTargetSize takes them:
// L and 400 dpi unless told, the later in test order winning.
std::pair<const SizePreset*, int> SelectedSize(const RadioSelection& selected) {
  const SizePreset* chosen = &SizeTable().front();
  for (const SizePreset& size : SizeTable()) {
    if (selected[size.button]) chosen = &size;
  }
  int dpi = 400;
  for (const PrintResolution& resolution : PrintResolutions()) {
    if (selected[resolution.button]) dpi = resolution.dpi;
  }
  return {chosen, dpi};
}

PrintOptions PrintOptionsFor(const PrintSettings& settings, const RadioSelection& selected) {
  const auto [size, dpi] = SelectedSize(selected);
  const bool printSize = size->kind == SizeKind::Print;
  PrintOptions print;
  print.autoOrient = settings.autoOrient;
  print.keepMetadata = settings.keepMetadata;
  print.dpi = settings.writeDpi && printSize ? dpi : 0;
  print.keepTimes = settings.keepTimes;
  print.skipExisting = settings.existing == ExistingOutput::Skip;
  print.largePhotos = settings.largePhotos;
  print.thumbnails = settings.writeReport && !settings.reportPath.empty();
  return print;
}

PrintRun::PrintRun(const PrintSettings& settings, const RadioSelection& selected)
    : settings_(settings), selected_(selected), options_(PrintOptionsFor(settings, selected)) {}

std::string PrintRun::OpenReport(const RunOptions& run) {
  if (!options_.thumbnails) return std::string();
  const std::string& path = settings_.reportPath;
  switch (CheckReportPlace(path, run.inputFolder, run.outputFolder)) {
    case ReportPlace::Safe:
      break;
    case ReportPlace::NotAFile:
      return "トリミングレポートの保存先がファイルではありません。\n" + path;
    case ReportPlace::InInput:
      return "トリミングレポートは入力フォルダの中に作成できません。\n" + path;
    case ReportPlace::InOutput:
      return "トリミングレポートは出力フォルダの中に作成できません。\n" + path;
  }
  const std::string title = "Quorvale: " + run.inputFolder + " → " + run.outputFolder;
  errno = 0;
  const auto [size, dpi] = SelectedSize(selected_);
  ReportSettings heading;
  heading.size = ReportSizeName(*size);
  const LongShort target = TargetSize(*size, dpi);
  heading.longSide = target.L;
  heading.shortSide = target.S;
  heading.dpi = size->kind == SizeKind::Print ? dpi : 0;
  heading.trim = run.photo.trim;
  heading.reduce = run.photo.reduce;
  heading.highQuality = run.photo.highQuality;
  heading.quality = run.photo.quality;
  const std::pair<bool, const char*> given[] = {
      {!run.subfolders, "--no-subfolders"},
      {!run.photo.skipSmall, "--keep-small"},
      {run.photo.fit == Fit::Border, "--fit border"},
      {!run.crops.byPath.empty(), "--crops"},
      {options_.autoOrient, "--auto-orient"},
      {options_.keepMetadata, "--keep-metadata"},
      {options_.dpi > 0, "--write-dpi"},
      {options_.keepTimes, "--keep-times"},
      {options_.largePhotos, "--large-photos"},
      {options_.skipExisting, "--existing skip"},
      {settings_.existing == ExistingOutput::Overwrite, "--overwrite"},
  };
  for (const auto& [on, name] : given) {
    if (on) heading.options.emplace_back(name);
  }
  if (report_.Open(settings_.reportPath, title, heading)) return std::string();
  return ReportError(settings_.reportPath, errno);
}

std::optional<bool> PrintRun::Answer(const RunQuestion& question) const {
  if (question.kind == Question::SameName && settings_.existing == ExistingOutput::Overwrite) {
    return false;
  }
  return std::nullopt;
}

void PrintRun::PhotoFinished(const PhotoReport& report) {
  if (report_.IsOpen()) report_.Add(ReportEntryFor(report, false));
}

PrintRun::End PrintRun::Finish(const std::string& summary) {
  End end;
  if (!report_.IsOpen()) return end;
  errno = 0;
  if (!report_.Finish(summary)) {
    end.error = ReportError(settings_.reportPath, errno);
  } else if (settings_.openReport) {
    end.url = FileUrl(settings_.reportPath);
  }
  return end;
}

}  // namespace quorvale
