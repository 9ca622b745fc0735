#include "batch/PhotoSteps.h"

#include <algorithm>
#include <ctime>

#include "codec/Exif.h"
#include "codec/JpegMetadata.h"
#include "geometry/TrimPosition.h"
#include "pixels/Orientation.h"
#include "pixels/TrimCenter.h"

namespace quorvale {

bool IsSmallPhoto(int w, int h) {
  return (w <= 320 && h <= 240) || (w <= 240 && h <= 320);
}

namespace {

// The whole photo, reduced as asked to its place inside the frame, on a
// white canvas of the box.
PreparedPhoto FitWithBorder(Bitmap& photo, ReductionScratch& scratch, const PhotoOptions& options,
                            LongShort target, const CancelCheck& cancel, int maxSide) {
  PreparedPhoto prepared;
  prepared.crop = {photo.Width(), photo.Height()};
  const PixelRect fitted = ComputeFitRect(photo.Width(), photo.Height(), target, options.margin);
  const bool reducing = fitted.width < photo.Width() || fitted.height < photo.Height();
  if (reducing) {
    const ReduceResult reduced = ReducePhoto(photo, scratch, fitted.width, fitted.height,
                                             options.highQuality, cancel, maxSide);
    prepared.declined = reduced.declined;
    if (reduced.kind == ReduceResult::Cancelled) {
      prepared.kind = PreparedPhoto::Cancelled;
      return prepared;
    }
  }
  const ReductionBox box = ComputeReductionBox(prepared.crop.width, prepared.crop.height, target);
  prepared.tooSmall = !box.reducible && !reducing;
  Bitmap canvas(box.width, box.height);
  canvas.CopyRect(photo, 0, 0, fitted.width, fitted.height, fitted.left, fitted.top);
  // The decoded memory goes where a reduction would have left it, so the
  // run hands it on the same way.
  if (!reducing) scratch.Reduced = std::move(photo);
  photo = std::move(canvas);
  prepared.reduced = true;
  prepared.fitted = fitted;
  return prepared;
}

}  // namespace

std::optional<PixelRect> TrimRegion(PixelSize picture, const PhotoOptions& options,
                                    LongShort target, double position, int maxSide) {
  if (options.fit != Fit::Trim || !options.trim) return std::nullopt;
  if (options.skipSmall && IsSmallPhoto(picture.width, picture.height)) return std::nullopt;
  const PixelRect rect = ComputeTrimRect(picture.width, picture.height, target, position);
  if (rect.width < 1 || rect.height < 1 || rect.width > maxSide || rect.height > maxSide) {
    return std::nullopt;
  }
  if (rect.width == picture.width && rect.height == picture.height) return std::nullopt;
  return rect;
}

PreparedPhoto PreparePhoto(Bitmap& photo, ReductionScratch& scratch, const PhotoOptions& options,
                           LongShort target, double position, const CancelCheck& cancel,
                           int maxSide, bool trimmed) {
  PreparedPhoto prepared;
  prepared.crop = {photo.Width(), photo.Height()};
  const bool border = options.fit == Fit::Border;
  if ((options.trim || border) && !trimmed) {
    if (options.skipSmall && IsSmallPhoto(photo.Width(), photo.Height())) {
      prepared.kind = PreparedPhoto::SkippedSmall;
      return prepared;
    }
  }
  if (border) return FitWithBorder(photo, scratch, options, target, cancel, maxSide);
  if (options.trim && !trimmed) {
    prepared.crop = ComputeTrimSize(photo.Width(), photo.Height(), target);
    if (TrimAt(photo, prepared.crop.width, prepared.crop.height, position, maxSide) !=
        TrimStatus::Trimmed) {
      prepared.kind = PreparedPhoto::TrimFailed;
      return prepared;
    }
  }
  if (options.reduce) {
    const ReductionBox box = ComputeReductionBox(photo.Width(), photo.Height(), target);
    ReduceResult reduced =
        ReducePhoto(photo, scratch, box.width, box.height, options.highQuality, cancel, maxSide);
    prepared.tooSmall = reduced.kind == ReduceResult::TooSmall;
    prepared.reduced = reduced.kind == ReduceResult::Reduced;
    prepared.declined = reduced.declined;
    if (reduced.kind == ReduceResult::Cancelled) prepared.kind = PreparedPhoto::Cancelled;
  }
  return prepared;
}

std::optional<PixelSize> StreamedBox(PixelSize crop, LongShort target) {
  const ReductionBox box = ComputeReductionBox(crop.width, crop.height, target);
  if (!box.reducible) return std::nullopt;
  return PixelSize{box.width, box.height};
}

DecodeResult LoadPhoto(PhotoReader& reader, Bitmap& photo, const PhotoOptions& options,
                       LongShort target, const std::optional<PixelRect>& region, int maxSide,
                       const CancelCheck& cancel, const DecodeAdmission& admit) {
  // A photo given whole (no crop of it is wanted) is left whole.
  if (!region || !options.reduce) return DecodeToBitmap(reader, photo, region, cancel, admit);
  ReducingSink sink(photo, StreamedBox({region->width, region->height}, target),
                    options.highQuality, maxSide);
  return DecodeToBitmap(reader, photo, sink, region, cancel, admit);
}

bool ReducedInDecode(const DecodeResult& decoded, const PhotoOptions& options, LongShort target) {
  return decoded.Ok() && decoded.region && options.reduce &&
         StreamedBox({decoded.region->width, decoded.region->height}, target);
}

PreparedPhoto PrepareLoaded(const DecodeResult& decoded, Bitmap& photo, ReductionScratch& scratch,
                            const PhotoOptions& options, LongShort target, double position,
                            const CancelCheck& cancel, int maxSide) {
  if (!ReducedInDecode(decoded, options, target)) {
    return PreparePhoto(photo, scratch, options, target, position, cancel, maxSide,
                        decoded.region.has_value());
  }
  PreparedPhoto prepared;
  prepared.crop = {decoded.region->width, decoded.region->height};
  if (options.highQuality) {
    const std::optional<PixelSize> box = StreamedBox(prepared.crop, target);
    prepared.declined = HighQualityRefusal(prepared.crop.width, prepared.crop.height, box->width,
                                           box->height, maxSide);
  }
  return prepared;
}

void OrientPhoto(const PhotoHeader& header, Bitmap& photo, const PrintOptions& print) {
  if (print.autoOrient) ApplyOrientation(photo, header.orientation);
}

std::span<const std::uint8_t> OutputIcc(const PhotoHeader& header, const PrintOptions& print,
                                        std::string& dropped) {
  dropped.clear();
  if (!print.keepMetadata || header.icc.empty()) return {};
  const std::string space = IccColourSpace(header.icc);
  if (space == "RGB ") return header.icc;
  // A CMYK or grey profile over 3-component data makes colour-managed
  // viewers and printers reject the file or misread its colours.
  dropped = space.empty() ? "unreadable" : space.substr(0, space.find_last_not_of(' ') + 1);
  return {};
}

std::vector<std::uint8_t> OutputExif(const PhotoHeader& header, const PrintOptions& print,
                                     PixelSize size, bool& malformed) {
  malformed = false;
  if (!print.keepMetadata || header.exif.empty()) return {};
  // Turned pixels are upright, so the orientation they carry becomes 1.
  std::optional<std::vector<std::uint8_t>> exif =
      RewriteExif(header.exif, {print.autoOrient, static_cast<std::uint32_t>(size.width),
                                static_cast<std::uint32_t>(size.height),
                                static_cast<std::uint32_t>(std::max(print.dpi, 0))});
  malformed = !exif;
  return exif ? std::move(*exif) : std::vector<std::uint8_t>{};
}

StampDay DayForStamp(const PhotoHeader& header) {
  if (const std::optional<CalendarDate> taken = ExifDateTaken(header.exif)) {
    return {taken, DateSource::Exif};
  }
  if (header.file == FileStamp{}) return {};
  const std::time_t seconds = static_cast<std::time_t>(header.file.modifiedSeconds);
  std::tm local{};
  if (localtime_r(&seconds, &local) == nullptr) return {};
  return {CalendarDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday},
          DateSource::FileTime};
}

namespace {

// Where the stored pixel at (x, y) of a width x height bitmap stands once
// ApplyOrientation(orientation) has turned it.
std::pair<std::int32_t, std::int32_t> Shown(std::int32_t x, std::int32_t y, std::int32_t width,
                                            std::int32_t height, int orientation) {
  switch (orientation) {
    case 2:
      return {width - 1 - x, y};
    case 3:
      return {width - 1 - x, height - 1 - y};
    case 4:
      return {x, height - 1 - y};
    case 5:
      return {y, x};
    case 6:
      return {height - 1 - y, x};
    case 7:
      return {height - 1 - y, width - 1 - x};
    case 8:
      return {y, width - 1 - x};
    default:
      return {x, y};
  }
}

PixelRect ShownRect(const PixelRect& r, PixelSize canvas, int orientation) {
  const auto [ax, ay] = Shown(r.left, r.top, canvas.width, canvas.height, orientation);
  const auto [bx, by] =
      Shown(r.left + r.width - 1, r.top + r.height - 1, canvas.width, canvas.height, orientation);
  return {std::min(ax, bx), std::min(ay, by), std::abs(bx - ax) + 1, std::abs(by - ay) + 1};
}

}  // namespace

std::string StampPhoto(Bitmap& photo, const PixelRect& picture, const PrintOptions& print,
                       LongShort target, const CalendarDate& date, int shownTurned) {
  // A photo whose output keeps an orientation to be shown by is stamped as
  // it will be shown: turned upright for the stamp, and back.
  const bool turned = shownTurned >= 2 && shownTurned <= 8;
  const PixelSize stored{photo.Width(), photo.Height()};
  if (turned) ApplyOrientation(photo, shownTurned);
  const PixelSize canvas{photo.Width(), photo.Height()};
  const std::int32_t height =
      DateStampHeight(print.dateStamp, target.S, std::min(canvas.width, canvas.height));
  const std::string text = DateStampText(date, print.dateFormat);
  const PixelRect shown = turned ? ShownRect(picture, stored, shownTurned) : picture;
  DrawDateStamp(photo, text, DateStampPlace(canvas, shown, DateStampWidth(text, height), height));
  // Turning by 6 is undone by 8 and the other way round; the rest undo themselves.
  if (turned) ApplyOrientation(photo, shownTurned == 6 ? 8 : shownTurned == 8 ? 6 : shownTurned);
  return text;
}

}  // namespace quorvale
