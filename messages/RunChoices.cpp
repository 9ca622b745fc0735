#include "messages/RunChoices.h"

#include <utility>

#include "messages/Messages.h"
#include "messages/Translate.h"

namespace quorvale {
namespace {

RunOptions OptionsFor(const RunChoices& choices) {
  const bool printSize = choices.size.Preset().kind == SizeKind::Print;
  RunOptions options;
  options.inputFolder = choices.inputFolder;
  options.outputFolder = choices.outputFolder;
  options.target = TargetSize(choices.size);
  options.subfolders = choices.subfolders;
  options.allJpegNames = choices.allJpegNames;
  options.allPhotos = choices.allPhotos;
  options.jobs = choices.jobs;
  options.photo = choices.photo;
  options.photo.margin = FrameFor(choices);
  PrintOptions& print = options.print;
  print.autoOrient = choices.autoOrient;
  print.keepMetadata = choices.keepMetadata;
  print.colourSrgb = choices.colourSrgb;
  print.dpi = choices.writeDpi && printSize ? choices.size.dpi : 0;
  print.keepTimes = choices.keepTimes;
  print.skipExisting = choices.existing == ExistingOutput::Skip;
  print.largePhotos = choices.largePhotos;
  print.dryRun = choices.dryRun;
  print.thumbnails = !choices.reportPath.empty();
  print.dateStamp = choices.dateStamp ? DateStampHeightAt(choices.size) : 0;
  print.dateFormat = choices.dateFormat;
  print.shopNames = choices.shopNames;
  options.crops = choices.crops;
  options.shard = choices.shard;
  return options;
}

ReportSettings HeadingFor(const RunChoices& choices) {
  const SizePreset& size = choices.size.Preset();
  const LongShort target = TargetSize(choices.size);
  ReportSettings heading;
  heading.size = ReportSizeName(size);
  heading.longSide = target.L;
  heading.shortSide = target.S;
  heading.dpi = size.kind == SizeKind::Print ? choices.size.dpi : 0;
  // A border fits the whole photo: nothing is trimmed, whatever `trim` says.
  heading.trim = choices.photo.trim && choices.photo.fit != Fit::Border;
  heading.reduce = choices.photo.reduce;
  heading.highQuality = choices.photo.highQuality;
  heading.quality = choices.photo.quality;
  std::vector<std::string>& given = heading.options;
  if (choices.photo.fit == Fit::Border) given.emplace_back("--fit border");
  if (choices.photo.fit == Fit::Border && choices.margin != DefaultFrameAmount) {
    given.push_back(Format("--margin %d", choices.margin));
  }
  if (choices.dateStamp) given.emplace_back("--date-stamp");
  if (choices.dateStamp && choices.dateFormat != DateFormat::Kiosk) {
    given.push_back(Format("--date-format %s", DateFormatName(choices.dateFormat)));
  }
  if (choices.shopNames) given.emplace_back("--shop-names");
  if (choices.crops.general != 0.5) {
    given.push_back(Format("--crop-position %g", choices.crops.general));
  }
  if (!choices.cropsFile.empty()) {
    given.push_back("--crops " + choices.cropsFile);
  } else if (!choices.crops.byPath.empty()) {
    given.emplace_back("--crops");
  }
  const std::pair<bool, const char*> flags[] = {
      {!choices.subfolders, "--no-subfolders"},
      {!choices.photo.skipSmall, "--keep-small"},
      {choices.allPhotos, "--all-photos"},
      {choices.autoOrient, "--auto-orient"},
      {choices.colourSrgb, "--colour srgb"},
      {choices.keepMetadata, "--keep-metadata"},
      {choices.writeDpi, "--write-dpi"},
      {choices.keepTimes, "--keep-times"},
      {choices.largePhotos, "--large-photos"},
      {choices.existing == ExistingOutput::Skip, "--existing skip"},
      {choices.existing == ExistingOutput::Overwrite, "--overwrite"},
      {choices.stopOnProblem, "--on-problem stop"},
      {choices.dryRun, "--dry-run"},
      {choices.crops.strict, "--strict-crops"},
  };
  for (const auto& [on, name] : flags) {
    if (on) given.emplace_back(name);
  }
  return heading;
}

}  // namespace

int FrameFor(const RunChoices& choices) {
  if (choices.photo.fit != Fit::Border) return 0;
  return FrameMargin(choices.size, choices.margin);
}

RunPlan PlanRun(const RunChoices& choices) {
  RunPlan plan;
  plan.options = OptionsFor(choices);
  plan.reportTitle = choices.dryRun
                         ? Format(Translate("Quorvale: %s → %s (dry run)"),
                                  choices.inputFolder.c_str(), choices.outputFolder.c_str())
                         : "Quorvale: " + choices.inputFolder + " → " + choices.outputFolder;
  plan.report = HeadingFor(choices);
  return plan;
}

}  // namespace quorvale
