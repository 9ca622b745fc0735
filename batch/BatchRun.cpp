#include "batch/BatchRun.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <thread>

#include "batch/BitmapPool.h"
#include "batch/DecodeAhead.h"
#include "batch/OutputTree.h"
#include "batch/PhotoSteps.h"
#include "batch/SavePhoto.h"
#include "batch/ShopNames.h"
#include "codec/Colour.h"
#include "codec/JpegFile.h"
#include "codec/PhotoReader.h"
#include "codec/Thumbnail.h"
#include "folders/FolderScan.h"
#include "folders/PathRules.h"
#include "pixels/Reduction.h"
#include "platform/FileSystem.h"
#include "platform/SafeFile.h"

namespace quorvale {
namespace {

enum class Next { NextFile, Stop };

// The bytes of a listed photo's path after its input folder, the key of
// its crop position.
std::string RelativePath(const std::string& path, const std::string& inputFolder) {
  const std::string folder = WithSeparator(inputFolder);
  return path.starts_with(folder) ? path.substr(folder.size()) : path;
}

// The crop positions given for photos the scan did not list: the first
// MaxNamedUnknownCrops of them, and their count.
void FindUnknownCrops(const CropPositions& crops, const PathList& list,
                      const std::string& inputFolder, LeftOut& leftOut) {
  if (crops.byPath.empty()) return;
  std::vector<std::string> listed;
  listed.reserve(list.size());
  for (const std::string& path : list) listed.push_back(CropKey(RelativePath(path, inputFolder)));
  std::sort(listed.begin(), listed.end());
  for (const auto& [key, position] : crops.byPath) {
    if (std::binary_search(listed.begin(), listed.end(), key)) continue;
    if (leftOut.unknownCrops.size() < MaxNamedUnknownCrops) leftOut.unknownCrops.push_back(key);
    ++leftOut.unknownCropCount;
  }
}

// Photos decoded at once: one per core unless told, and never more than the
// cores, where one more only holds one more decoded photo.
int Jobs(int jobs) {
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  return jobs > 0 ? std::min(jobs, cores) : cores;
}

// How a step of a photo ended: none when the photo goes on to its next
// step; otherwise the photo is done with, and the run goes on to the next
// one or stops.
using Ended = std::optional<Next>;

// What was found of a photo's output on the way to its decode ahead: its
// path, mapped once, and whether a complete file is there already.
struct OutputLook {
  std::optional<std::string> output;  // none: no path, or one too long to be written
  bool existing = false;
  std::optional<bool> inInputTree;  // when looked at already
};

// One press of Run from the start of processing to the end of the loop.
class Run {
 public:
  Run(const RunOptions& options, RunListener& listener, const PathList& list,
      const OutputPaths& outputs, std::stop_token stop)
      : options_(options),
        listener_(listener),
        list_(list),
        outputs_(outputs),
        stop_(std::move(stop)) {}

  // Every photo in turn; the work ahead is abandoned and joined before
  // this returns.
  void ProcessAll() {
    const int jobs = Jobs(options_.jobs);
    // Decoded ahead with the options as they stood at the press of Run.
    const DecodeAhead::Decoder decode = [this](const std::string& p, Bitmap& bitmap,
                                               const CancelCheck& cancel,
                                               const DecodeAdmission& admit) {
      return DecodePhoto(p, options_.photo, bitmap, cancel, admit);
    };
    DecodeAhead ahead(
        list_, jobs, pool_, cancel_, [this](std::size_t i) { return WorthDecodingAhead(i); },
        DecodeAhead::StartThread, decode);
    if (ahead.Workers() < jobs - 1) listener_.DecodeThreadsShort(ahead.Workers(), jobs - 1);
    for (std::size_t i = 0; i < list_.size(); ++i) {
      // A reduced photo's memory serves the next reduction; a whole one's
      // goes to the next decode.
      if (releasedPhoto_) scratch_.Reduced = std::move(photo_);
      releasedPhoto_ = false;
      ahead.Turn(i, photo_);
      if (ProcessGuarded(i, ahead) == Next::Stop) break;
    }
  }

  // A Yes, or a cancel at any time up to now.
  bool Stopped() const { return answeredYes_ || stop_.stop_requested(); }

  RunCounts counts;
  PassedOver passedOver;              // the photos' counts alone
  std::vector<ShopNameRow> shopRows;  // the outputs there, with shop names

 private:
  // A failure the steps do not report by a result (out of memory, or any
  // other exception from below) ends the run the way a Cancel would, so the
  // summary is still shown and the front end gets back to idle.
  Next ProcessGuarded(std::size_t i, DecodeAhead& ahead) {
    report_ = PhotoReport{};
    report_.index = i;
    report_.input = list_[i];
    Next next;
    try {
      next = ProcessFile(i, ahead);
    } catch (const std::bad_alloc&) {
      next = Failed(Notice::OutOfMemory, StopCause::OutOfMemory, {});
    } catch (const std::exception& error) {
      next = Failed(Notice::Unexpected, StopCause::Unexpected, error.what());
    }
    if (options_.print.shopNames && !options_.print.dryRun && !report_.output.empty() &&
        (report_.outcome == PhotoOutcome::Saved ||
         report_.outcome == PhotoOutcome::SkippedExisting)) {
      shopRows.push_back({report_.output.substr(WithSeparator(options_.outputFolder).size()),
                          RelativePath(list_[i], options_.inputFolder)});
    }
    listener_.PhotoFinished(report_);
    return next;
  }

  // The photo's steps, each of which may end it.
  Next ProcessFile(std::size_t i, DecodeAhead& ahead) {
    listener_.PhotoStarted(i, list_[i]);
    FileStamp stamp;
    OutputLook look;
    if (const Ended ended = BeforeDecode(i, look, stamp)) return *ended;
    LoadedPhoto loaded;
    PhotoOptions options;
    if (const Ended ended = Decode(i, ahead, stamp, loaded, options)) return *ended;
    CountLeftAsIs(loaded.header);
    if (const Ended ended = Prepare(loaded.decoded, options, ahead)) return *ended;
    Stamp(loaded.header);
    if (const Ended ended = Output(i, look)) return *ended;
    if (const Ended ended = Save(loaded.header, options, *look.output)) return *ended;
    return Saved(i);
  }

  // A cancel, a photo gone, or one whose output is there already and is
  // skipped; `stamp` receives the photo file's as it is now, and `look`
  // what is known of its output.
  Ended BeforeDecode(std::size_t i, OutputLook& look, FileStamp& stamp) {
    const std::string& p = list_[i];
    if (stop_.stop_requested()) return CancelledAtTop();
    struct stat st {};
    if (!StatPath(p, st) || S_ISDIR(st.st_mode)) {
      return Problem(Question::MissingFile, p, PhotoOutcome::Missing);
    }
    stamp = StampOf(st);
    look = LookedAhead(i);
    if (look.existing) return SkipExisting(*look.output);
    return std::nullopt;
  }

  // The photo decoded (ahead, or now) for the options it is asked with now,
  // turned upright as asked, with its thumbnail.
  Ended Decode(std::size_t i, DecodeAhead& ahead, const FileStamp& stamp, LoadedPhoto& loaded,
               PhotoOptions& options) {
    const std::string& p = list_[i];
    loaded = ahead.Take(i, photo_, stamp);
    if (const Ended failed = DecodeFailed(loaded.decoded, p)) return failed;
    OrientPhoto(loaded.header, photo_, options_.print);
    // A photo decoded as its crop alone still tells the whole one's size.
    const DecodeResult& decoded = loaded.decoded;
    report_.decoded = decoded.region ? decoded.picture : PixelSize{photo_.Width(), photo_.Height()};
    if (options_.print.thumbnails) AttachThumbnail();

    options = listener_.OptionsForPhoto();
    report_.position = options_.crops.For(RelativePath(p, options_.inputFolder));
    // Options changed since the press of Run may keep another part of the
    // photo, or all of it, or reduce it otherwise: it is decoded again for
    // them, the one time a photo's file is opened twice. (A region is only
    // taken of an upright photo with no thumbnail, so nothing else changes.)
    if (decoded.region &&
        (RegionWanted(decoded.picture, options, report_.position) != decoded.region ||
         (ReducedInDecode(decoded, options_.photo) && !SameReduction(options, options_.photo)))) {
      loaded = ahead.DecodeAgain(i, photo_,
                                 [&](const std::string& path, Bitmap& bitmap,
                                     const CancelCheck& cancel, const DecodeAdmission& admit) {
                                   return DecodePhoto(path, options, bitmap, cancel, admit);
                                 });
      if (const Ended failed = DecodeFailed(loaded.decoded, p)) return failed;
    }
    return std::nullopt;
  }

  // The photo trimmed and reduced, unless it is skipped, refused or cancelled.
  Ended Prepare(const DecodeResult& decoded, const PhotoOptions& options, DecodeAhead& ahead) {
    const PreparedPhoto prepared = PrepareLoaded(
        decoded, photo_, scratch_, options, options_.target, report_.position, cancel_, MaxSide());
    // The decoded photo's memory goes to the next decode while this photo is
    // finished and saved.
    if (prepared.reduced) ahead.Release(scratch_.Reduced);
    report_.crop = prepared.crop;
    report_.fitted = prepared.fitted;
    switch (prepared.kind) {
      case PreparedPhoto::SkippedSmall:
        report_.outcome = PhotoOutcome::SkippedSmall;
        ++counts.skipped;
        return Next::NextFile;
      case PreparedPhoto::TrimFailed:
        return Problem(Question::TrimFailed, list_[report_.index], PhotoOutcome::TrimFailed);
      case PreparedPhoto::Cancelled:
        // No question, no count: the cancel is the stop.
        return Stopped(StopCause::InReduction);
      case PreparedPhoto::Ready:
        break;
    }
    releasedPhoto_ = prepared.reduced;
    report_.notReduced = prepared.tooSmall;
    report_.warnings.declined = prepared.declined;
    return std::nullopt;
  }

  // The date taken drawn on the photo as it will be saved, when asked.
  void Stamp(const PhotoHeader& header) {
    if (options_.print.dateStamp <= 0) return;
    const StampDay day = DayForStamp(header);
    report_.dateSource = day.source;
    if (!day.date) return;
    const PixelRect picture = report_.fitted.width > 0
                                  ? report_.fitted
                                  : PixelRect{0, 0, photo_.Width(), photo_.Height()};
    // An output that keeps the photo's orientation is shown turned by it.
    const PrintOptions& print = options_.print;
    const int shownTurned = print.keepMetadata && !print.autoOrient ? header.orientation : 1;
    report_.dateStamp = StampPhoto(photo_, picture, print, options_.target, *day.date, shownTurned);
  }

  // The output path, mapped unless that was done on the way to the decode
  // ahead; `look.output` holds it when the photo goes on.
  Ended Output(std::size_t i, OutputLook& look) {
    if (!look.output) look.output = OutputOf(i);
    if (!look.output) return Problem(Question::BadName, list_[i], PhotoOutcome::BadName);
    if (!outputs_.shared.empty()) report_.warnings.sharedName = outputs_.shared[i];
    report_.output = *look.output;
    // A cut path would write the photo somewhere the operator never asked
    // for, possibly over another file, so an overlong path is refused.
    if (look.output->size() > MaxOutputPathLength) {
      report_.outcome = PhotoOutcome::NameTooLong;
      ++counts.errors;
      return Next::NextFile;
    }
    // Nothing in the input tree is written, whatever becomes of existing
    // outputs.
    const bool inside = look.inInputTree ? *look.inInputTree
                                         : OutputInInputTree(*look.output, options_.inputFolder,
                                                             options_.outputFolder);
    if (inside) {
      report_.outcome = PhotoOutcome::InInputTree;
      ++counts.errors;
      return Next::NextFile;
    }
    return std::nullopt;
  }

  // The photo encoded and written to `output`, with what its header gives
  // the output when asked for.
  Ended Save(const PhotoHeader& header, const PhotoOptions& options, const std::string& output) {
    const PrintOptions& print = options_.print;
    // Skipping existing outputs, one still here was cut short: it is made
    // again without a question, unless it has been completed since.
    const bool exists = FileExists(output);
    if (!print.skipExisting && exists && AskedToStopForSameName(output)) return Answered();
    const bool replace = exists && !(print.skipExisting && EndsWithEndOfImage(output));
    if (print.dryRun) return std::nullopt;

    MarkOutputTreeOnce();
    const bool madeSrgb = MakeSrgb(header);
    const PixelSize size{photo_.Width(), photo_.Height()};
    bool malformed = false;
    const std::vector<std::uint8_t> exif = OutputExif(header, print, size, malformed);
    report_.warnings.exifMalformed = malformed;
    const std::span<const std::uint8_t> icc =
        madeSrgb && print.keepMetadata ? std::span<const std::uint8_t>(CompactSrgbProfile())
                                       : OutputIcc(header, print, report_.warnings.iccDropped);
    const JpegExtras extras{print.dpi, exif, icc};
    const std::optional<std::vector<std::uint8_t>> bytes =
        EncodeJpeg(photo_, options.quality, extras);
    SaveResult saved = SaveJpegBytes(bytes, output, replace);
    // Another writer took the name since it was looked at.
    if (saved.status == SaveStatus::Exists && print.skipExisting) return SkipExisting(output);
    if (saved.status == SaveStatus::Exists) {
      if (AskedToStopForSameName(output)) return Answered();
      saved = SaveJpegBytes(bytes, output, true);
    }
    if (saved.status != SaveStatus::Saved) {
      report_.saveError = saved.error;
      listener_.Notify({Notice::SaveFailed, output, saved, {}});
      return Problem(Question::SaveFailed, output, PhotoOutcome::SaveFailed);
    }
    if (print.keepTimes && !SetModificationTime(output, header.file)) {
      report_.warnings.timeNotKept = errno;
    }
    return std::nullopt;
  }

  // The photo as it will be saved, its colours made sRGB when asked and
  // its profile calls for it: true when they were.
  bool MakeSrgb(const PhotoHeader& header) {
    if (!options_.print.colourSrgb) return false;
    const SrgbConversion conversion = SrgbConversion::For(header.icc);
    if (conversion.Which() == SrgbConversion::Kind::Unreadable) {
      report_.warnings.profileUnreadable = true;
    }
    if (conversion.Which() != SrgbConversion::Kind::Converts) return false;
    conversion.Convert(photo_);
    return true;
  }

  // What the header shows that the options leave as it is.
  void CountLeftAsIs(const PhotoHeader& header) {
    const PrintOptions& print = options_.print;
    if (!print.autoOrient && header.orientation != 1) ++passedOver.orientations;
    if (!print.colourSrgb && !header.icc.empty() &&
        SrgbConversion::KindOf(header.icc) == SrgbConversion::Kind::Converts) {
      ++passedOver.profiles;
    }
  }

  Next Saved(std::size_t i) {
    ++counts.saved;
    report_.saved = {photo_.Width(), photo_.Height()};
    const auto count = static_cast<std::int64_t>(list_.size());
    const int percent = static_cast<int>((static_cast<std::int64_t>(i) * 100 + 100) / count);
    listener_.Progress(
        {percent, static_cast<int>(i + 1), static_cast<int>(count), counts.errors, counts.skipped});
    return Next::NextFile;
  }

  // A photo that did not decode is a problem of its own; one that did has
  // its damage noted. A photo decoded as its crop alone says nothing of
  // damage outside it: what it reports is whether the saved pixels came from
  // damaged data.
  Ended DecodeFailed(const DecodeResult& decoded, const std::string& p) {
    switch (decoded.status) {
      case DecodeStatus::Decoded:
        break;
      case DecodeStatus::Cancelled:
        return CancelledAtTop();
      case DecodeStatus::OutOfMemory:
        throw std::bad_alloc();
      case DecodeStatus::Failed:
      case DecodeStatus::Declined:
        return Problem(Question::Unreadable, p, PhotoOutcome::Unreadable);
    }
    report_.warnings.damage = decoded.warnings;
    report_.warnings.firstDamage = decoded.warning;
    return std::nullopt;
  }

  int MaxSide() const { return options_.print.largePhotos ? MaxJpegSide : MaxPhotoSide; }

  std::optional<PixelRect> RegionWanted(PixelSize picture, const PhotoOptions& options,
                                        double position) const {
    return TrimRegion(picture, options, options_.target, position, MaxSide());
  }

  // The part of photo `p` to decode for `options`, decided from its header
  // before the decode: the crop its trim keeps, or (none) the whole photo
  // where a thumbnail is made of it or it is to be turned upright. Asked by
  // the workers too, so it reads nothing that changes.
  std::optional<PixelRect> RegionOf(const std::string& p, const PhotoHeader& header,
                                    const PhotoOptions& options) const {
    const PrintOptions& print = options_.print;
    if (print.thumbnails || options.fit != Fit::Trim || !options.trim) return std::nullopt;
    if (print.autoOrient && header.orientation != 1) return std::nullopt;
    return RegionWanted(header.size, options,
                        options_.crops.For(RelativePath(p, options_.inputFolder)));
  }

  // Photo `p` opened once: its header read, then decoded for `options`.
  LoadedPhoto DecodePhoto(const std::string& p, const PhotoOptions& options, Bitmap& bitmap,
                          const CancelCheck& cancel, const DecodeAdmission& admit) const {
    return OpenAndDecode(
        p, bitmap, cancel,
        [&](PhotoReader& reader) {
          return LoadPhoto(reader, bitmap, options, options_.target,
                           RegionOf(p, reader.Header(), options), MaxSide(), cancel, admit);
        },
        options_.allPhotos ? PhotoKinds::All : PhotoKinds::Jpeg);
  }

  bool ReducedInDecode(const DecodeResult& decoded, const PhotoOptions& options) const {
    return quorvale::ReducedInDecode(decoded, options, options_.target);
  }

  static bool SameReduction(const PhotoOptions& a, const PhotoOptions& b) {
    return a.reduce == b.reduce && a.highQuality == b.highQuality;
  }

  // With existing outputs skipped, a photo whose output is there is passed
  // over before it is decoded, so a run done again finishes the rest fast.
  // What is found is kept for the photo's turn. Asked by the workers.
  bool WorthDecodingAhead(std::size_t i) {
    if (!options_.print.skipExisting) return true;
    OutputLook look = LookAtOutput(i);
    const bool worth = !look.existing;
    const std::lock_guard lock(lookedMutex_);
    looked_[i] = std::move(look);
    return worth;
  }

  // Photo `i`'s output path: given with the run, or (none given, as every
  // photo keeps its own name) mapped now, so that a run of a great many
  // photos holds no second list of paths.
  std::optional<std::string> OutputOf(std::size_t i) const {
    if (outputs_.paths.empty()) {
      return MapOutputPath(list_[i], options_.inputFolder, options_.outputFolder);
    }
    return outputs_.paths[i];
  }

  // The output of photo `i`: its path, unless it has none or one too long
  // to be written, and whether a complete file is there (never one in the
  // input tree, which is refused at the photo's turn). Reads nothing that
  // changes.
  OutputLook LookAtOutput(std::size_t i) const {
    OutputLook look;
    look.output = OutputOf(i);
    if (!look.output || look.output->size() > MaxOutputPathLength) return look;
    look.inInputTree = OutputInInputTree(*look.output, options_.inputFolder, options_.outputFolder);
    if (*look.inInputTree) return look;
    // An output cut short (a power cut while it was written) is not done.
    look.existing = FileExists(*look.output) && EndsWithEndOfImage(*look.output);
    return look;
  }

  // What the way to the decode ahead found of photo `i`'s output, or (with
  // existing outputs skipped) what is found now.
  OutputLook LookedAhead(std::size_t i) {
    {
      const std::lock_guard lock(lookedMutex_);
      const auto found = looked_.find(i);
      if (found != looked_.end()) {
        OutputLook look = std::move(found->second);
        looked_.erase(found);
        return look;
      }
    }
    return options_.print.skipExisting ? LookAtOutput(i) : OutputLook{};
  }

  Next SkipExisting(const std::string& output) {
    report_.output = output;
    report_.outcome = PhotoOutcome::SkippedExisting;
    ++counts.skipped;
    return Next::NextFile;
  }

  // Before the first photo is saved; a folder that cannot take the mark
  // will not take the photo either, whose save says why.
  void MarkOutputTreeOnce() {
    if (marked_) return;
    marked_ = true;
    MarkOutputTree(options_.outputFolder);
  }

  // The same-name question, asked once per run: true when answered Yes.
  bool AskedToStopForSameName(const std::string& output) {
    if (sameNameAsked_) return false;
    if (listener_.Ask({Question::SameName, output})) return true;
    sameNameAsked_ = true;
    return false;
  }

  void AttachThumbnail() {
    std::optional<ThumbnailJpeg> thumbnail = MakeThumbnailJpeg(photo_);
    if (!thumbnail) return;
    report_.thumbnail = std::move(thumbnail->bytes);
    report_.thumbnailSize = {thumbnail->width, thumbnail->height};
  }

  Next Stopped(StopCause cause) {
    report_.outcome = PhotoOutcome::Stopped;
    report_.stop = cause;
    return Next::Stop;
  }

  Next CancelledAtTop() {
    listener_.Notify({Notice::Cancelled, report_.input, {}, {}});
    return Stopped(StopCause::Cancelled);
  }

  // Every Yes stops the run; the photo in hand is in no count.
  Next Answered() {
    answeredYes_ = true;
    return Stopped(StopCause::Answered);
  }

  Next Failed(Notice notice, StopCause cause, std::string detail) {
    listener_.Notify({notice, report_.input, {}, std::move(detail)});
    answeredYes_ = true;
    return Stopped(cause);
  }

  // A stop question: Yes stops the run, No counts an error and goes on.
  Next Problem(Question kind, const std::string& path, PhotoOutcome outcome) {
    if (listener_.Ask({kind, path})) return Answered();
    report_.outcome = outcome;
    ++counts.errors;
    return Next::NextFile;
  }

  const RunOptions options_;  // a copy: nothing can change it under the run
  RunListener& listener_;
  const PathList& list_;
  const OutputPaths& outputs_;  // by photo, as list_; none when each keeps its name
  const std::stop_token stop_;
  // What the decodes and the high-quality reduction ask, from any thread.
  const CancelCheck cancel_ = [this] { return stop_.stop_requested(); };
  BitmapPool pool_{DecodeMemoryBudget()};  // the decoded photos' memory
  Bitmap photo_{10, 10};
  ReductionScratch scratch_;
  bool releasedPhoto_ = false;  // photo_ is a reduced photo, its decoded memory given back
  PhotoReport report_;
  bool sameNameAsked_ = false;
  bool marked_ = false;       // the output tree's mark is made
  bool answeredYes_ = false;  // or the run stopped for a failure
  std::mutex lookedMutex_;
  std::map<std::size_t, OutputLook> looked_;  // by photo, for photos ahead of their turn
};

// The map of shop names beside the outputs, one per shard so that the parts
// of one folder do not replace each other's; a failure is told as a save's.
void WriteShopNames(const RunOptions& options, const std::vector<ShopNameRow>& rows,
                    RunListener& listener) {
  const std::string text = ShopNamesCsv(rows);
  std::string name = ShopNamesFile;
  if (options.shard.count > 1) {
    name.insert(name.size() - 4, "-" + std::to_string(options.shard.index) + "-of-" +
                                     std::to_string(options.shard.count));
  }
  const std::string& outputFolder = options.outputFolder;
  const std::string path = WithSeparator(outputFolder) + name;
  const int error = WriteSafeFile(
      path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
      IfExists::Replace);
  if (error == 0) return;
  SaveResult failed;
  failed.status = SaveStatus::WriteFailed;
  failed.error = error;
  failed.folder = outputFolder;
  listener.Notify({Notice::SaveFailed, path, failed, {}});
}

// The first check of a run that fails.
std::optional<Notice> FailedCheck(const RunOptions& options) {
  if (options.inputFolder.empty()) return Notice::NoInputFolder;
  if (options.outputFolder.empty()) return Notice::NoOutputFolder;
  if (!options.photo.trim && !options.photo.reduce && options.photo.fit == Fit::Trim) {
    return Notice::NothingToDo;
  }
  // Saving into the folder the photos are read from would replace the
  // originals, however the two texts spell it.
  const std::optional<FolderId> input = IdentifyFolder(options.inputFolder);
  if (input && input == IdentifyFolder(options.outputFolder)) return Notice::SameFolder;
  return std::nullopt;
}

}  // namespace

std::optional<std::string> MapOutputPath(const std::string& inputPath,
                                         const std::string& inputFolder,
                                         const std::string& outputFolder) {
  if (inputFolder.size() > inputPath.size()) return std::nullopt;
  std::string output = WithSeparator(outputFolder);
  output.append(inputPath, inputFolder.size(), std::string::npos);
  return output;
}

OutputPaths MapOutputPaths(const std::vector<std::string>& list, const std::string& inputFolder,
                           const std::string& outputFolder, bool jpgNames) {
  OutputPaths outputs;
  outputs.paths.reserve(list.size());
  outputs.shared.assign(list.size(), std::string());
  for (const std::string& path : list) {
    std::optional<std::string> output = MapOutputPath(path, inputFolder, outputFolder);
    if (output && jpgNames && !HasJpgName(*output)) {
      const std::size_t dot = output->rfind('.');
      const std::size_t slash = output->rfind('/');
      if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        output->resize(dot);
      }
      *output += ".jpg";
    }
    outputs.paths.push_back(std::move(output));
  }
  if (!jpgNames) return outputs;
  // How many photos want each name; a ".jpg" photo keeps its own, as does
  // a photo that alone wants its name.
  std::map<std::string, int> wanted;
  for (const std::optional<std::string>& output : outputs.paths) {
    if (output) ++wanted[*output];
  }
  std::set<std::string> taken;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::optional<std::string>& output = outputs.paths[i];
    if (output && (HasJpgName(list[i]) || wanted[*output] < 2)) taken.insert(*output);
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    std::optional<std::string>& output = outputs.paths[i];
    if (!output || HasJpgName(list[i]) || wanted[*output] < 2) continue;
    std::string renamed = *MapOutputPath(list[i], inputFolder, outputFolder) + ".jpg";
    while (taken.contains(renamed) || wanted.contains(renamed)) renamed += ".jpg";
    taken.insert(renamed);
    outputs.shared[i] = std::move(*output);
    output = std::move(renamed);
  }
  return outputs;
}

RunOutcome RunBatch(const RunOptions& options, RunListener& listener, std::stop_token stop) {
  RunOutcome outcome;
  if (const std::optional<Notice> failed = FailedCheck(options)) {
    listener.Notify({*failed, {}, {}, {}});
    return outcome;
  }

  // An output folder inside the input tree holds earlier results: they are
  // neither listed nor counted.
  PathList list;
  ScanCounts counts;
  CollectFilesRecursive(options.inputFolder,
                        ScanRules{.subfolders = options.subfolders,
                                  .excluded = IdentifyFolder(options.outputFolder),
                                  .allJpegNames = options.allJpegNames,
                                  .allPhotos = options.allPhotos},
                        list, counts, &outcome.leftOut.unlisted, &outcome.leftOut.earlierOutputs);
  outcome.passedOver.otherJpegNames = counts.OtherJpegNameCount;
  outcome.passedOver.heifNames = counts.HeifNameCount;
  outcome.passedOver.pngNames = counts.PngNameCount;
  listener.ScanFinished(outcome.passedOver);
  if (counts.JpegCount <= 0) {
    listener.Notify({Notice::NoJpegFiles, {}, {}, {}});
    return outcome;
  }

  // A crop file may serve every shard, so its paths are checked against the
  // whole scan. A shard that takes none of the photos finishes at once.
  FindUnknownCrops(options.crops, list, options.inputFolder, outcome.leftOut);
  if (options.crops.strict && outcome.leftOut.unknownCropCount > 0) {
    listener.Notify({Notice::UnknownCrops, {}, {}, {}});
    return outcome;
  }
  // Names are given over the whole scan, so that every shard gives a photo
  // the same one; shop names put every output in the output folder itself.
  const bool renamed = options.allPhotos || options.print.shopNames;
  OutputPaths all;
  if (renamed) {
    all = MapOutputPaths(list, options.inputFolder, options.outputFolder, options.allPhotos);
  }
  if (options.print.shopNames) {
    std::vector<std::string> relative;
    for (const std::string& path : list)
      relative.push_back(RelativePath(path, options.inputFolder));
    const std::vector<std::string> names = ShopNames(relative);
    for (std::size_t i = 0; i < list.size(); ++i) {
      all.paths[i] = WithSeparator(options.outputFolder) + names[i];
      all.shared[i].clear();
    }
  }
  PathList taken;
  OutputPaths outputs;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (!options.shard.Takes(RelativePath(list[i], options.inputFolder))) continue;
    taken.push_back(std::move(list[i]));
    if (!renamed) continue;
    outputs.paths.push_back(std::move(all.paths[i]));
    outputs.shared.push_back(std::move(all.shared[i]));
  }
  outcome.started = true;
  listener.RunStarted(static_cast<int>(taken.size()));
  if (!outcome.leftOut.Empty()) listener.LeftOutOfRun(outcome.leftOut);
  Run run(options, listener, taken, outputs, std::move(stop));
  run.ProcessAll();
  if (!run.shopRows.empty()) WriteShopNames(options, run.shopRows, listener);
  outcome.stopped = run.Stopped();
  outcome.counts = run.counts;
  outcome.passedOver.orientations = run.passedOver.orientations;
  outcome.passedOver.profiles = run.passedOver.profiles;
  listener.RunFinished(outcome.stopped, outcome.counts);
  return outcome;
}

}  // namespace quorvale
