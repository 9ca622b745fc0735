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

RunChoices WindowRunChoices(const WindowControls& controls, const PrintSettings& print,
                            const std::map<std::string, double>& crops) {
  RunChoices choices;
  choices.inputFolder = controls.inputFolder;
  choices.outputFolder = controls.outputFolder;
  choices.size = ChooseSize(controls.size.c_str(), controls.dpi);
  choices.subfolders = !controls.noSubfolders;
  choices.allJpegNames = print.allJpegNames;
  choices.allPhotos = print.allPhotos;
  choices.colourSrgb = print.colourSrgb;
  choices.margin = print.margin;
  choices.photo = {controls.trim,        controls.skipSmall, controls.reduce,
                   controls.highQuality, controls.quality,   print.fit};
  choices.autoOrient = print.autoOrient;
  choices.keepMetadata = print.keepMetadata;
  choices.writeDpi = print.writeDpi;
  choices.keepTimes = print.keepTimes;
  choices.largePhotos = print.largePhotos;
  choices.dateStamp = print.dateStamp;
  choices.dateFormat = print.dateFormat;
  choices.shopNames = print.shopNames;
  choices.existing = print.existing;
  if (print.writeReport) choices.reportPath = print.reportPath;
  choices.crops.byPath = crops;
  return choices;
}

PrintRun::PrintRun(const PrintSettings& settings, const RunPlan& plan)
    : settings_(settings), plan_(plan) {}

std::string PrintRun::OpenReport() {
  if (!plan_.options.print.thumbnails) return std::string();
  const std::string& path = settings_.reportPath;
  switch (CheckReportPlace(path, plan_.options.inputFolder, plan_.options.outputFolder)) {
    case ReportPlace::Safe:
      break;
    case ReportPlace::NotAFile:
      return "トリミングレポートの保存先がファイルではありません。\n" + path;
    case ReportPlace::InInput:
      return "トリミングレポートは入力フォルダの中に作成できません。\n" + path;
    case ReportPlace::InOutput:
      return "トリミングレポートは出力フォルダの中に作成できません。\n" + path;
  }
  errno = 0;
  if (report_.Open(path, plan_.reportTitle, plan_.report)) return std::string();
  return ReportError(path, errno);
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
