#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "batch/RunEvents.h"
#include "batch/RunOptions.h"
#include "codec/PhotoReader.h"
#include "geometry/SizeTable.h"
#include "pixels/Bitmap.h"
#include "pixels/Cancel.h"
#include "pixels/Reduction.h"

namespace quorvale {

// At most 320 x 240 in either orientation: what a trimming run skips.
bool IsSmallPhoto(int w, int h);

// The pixel work of one decoded photo, as a run does it between the decode
// and the save.
struct PreparedPhoto {
  enum Kind {
    Ready,         // trimmed (or fitted) and reduced as asked; to be saved
    SkippedSmall,  // at most 320 x 240 in a trimming or bordering run that skips them
    TrimFailed,    // the trim refused the photo; it is untouched
    Cancelled,     // the high-quality reduction saw a cancel; not to be saved
  };
  Kind kind = Ready;
  PixelSize crop{0, 0};   // the crop, or the whole photo when not trimmed
  bool tooSmall = false;  // reducing, but smaller than the box: left as it is
  // The photo is a new bitmap (reduced, or on a border's canvas), and the
  // memory it was decoded into is in the scratch's `Reduced`.
  bool reduced = false;
  // With a border: where the picture lies on the canvas; 0 x 0 otherwise.
  PixelRect fitted{0, 0, 0, 0};
  // Why the high-quality reduction declined, when the plain one ran instead.
  std::optional<HighQualityDecline> declined{};
};

// The rectangle of a photo of `picture` that PreparePhoto with `options`
// keeps when it trims, with its crop at `position`: what a decode needs to
// give alone. None when it needs the whole photo: no trim (or a border), a
// photo the skip rule skips, a trim that fails (a crop side above
// `maxSide`), or a crop of the whole photo.
std::optional<PixelRect> TrimRegion(PixelSize picture, const PhotoOptions& options,
                                    LongShort target, double position, int maxSide = MaxPhotoSide);

// With Fit::Trim: trims `photo` to the aspect of `target` when
// `options.trim` (after the skip rule when `options.skipSmall`), its crop
// at `position` along the axis the trim shortens (TrimAt), then reduces it
// to the box of `target` when `options.reduce`, trying the high-quality
// reduction first when `options.highQuality`.
// With Fit::Border: after the skip rule, reduces the whole photo as asked
// to ComputeFitRect (inside a frame of options.margin) and puts it there on
// a white canvas of the box.
// `cancel` is asked inside the high-quality reduction. A crop, and a photo
// the high-quality reduction takes, is at most `maxSide` on either side.
// A `trimmed` photo is that crop already (decoded as its TrimRegion alone):
// it is neither judged by the skip rule nor trimmed again, since the trim
// of a crop can cut one more row or column.
PreparedPhoto PreparePhoto(Bitmap& photo, ReductionScratch& scratch, const PhotoOptions& options,
                           LongShort target, double position, const CancelCheck& cancel,
                           int maxSide = MaxPhotoSide, bool trimmed = false);

// The box a crop of `crop` is reduced to as its rows are decoded: none when
// it is smaller than the box (and left whole).
std::optional<PixelSize> StreamedBox(PixelSize crop, LongShort target);

// A photo as one opening of its file gave it: what its header said, and
// how its decode went.
struct LoadedPhoto {
  DecodeResult decoded;
  PhotoHeader header;  // only the file's stamp, if even that, when it could not be opened
};

// The photo at `path` opened once (by a reader of `kinds`) and decoded by
// `decode(reader)`: a file that cannot be opened leaves `bitmap` 1 x 1 and
// its failure as the decode's.
template <typename Decode>
LoadedPhoto OpenAndDecode(const std::string& path, Bitmap& bitmap, const CancelCheck& cancel,
                          Decode decode, PhotoKinds kinds = PhotoKinds::Jpeg) {
  LoadedPhoto loaded;
  OpenedPhoto opened = OpenPhotoFile(path, cancel, kinds);
  loaded.header.file = opened.file;
  if (!opened.reader) {
    bitmap.SetSize(1, 1);
    loaded.decoded = std::move(opened.failure);
    return loaded;
  }
  loaded.decoded = decode(*opened.reader);
  loaded.header = opened.reader->Header();
  return loaded;
}

// DecodeToBitmap of the photo `reader` holds into `photo`: the crop `region`
// (none: the whole photo). With `options.reduce` a crop at least as large
// as its box is reduced to it as its rows come from the decoder, never held
// whole (ReducedInDecode), high quality first when asked with the sides of
// at most `maxSide` it takes.
DecodeResult LoadPhoto(PhotoReader& reader, Bitmap& photo, const PhotoOptions& options,
                       LongShort target, const std::optional<PixelRect>& region, int maxSide,
                       const CancelCheck& cancel = {}, const DecodeAdmission& admit = nullptr);

// Whether LoadPhoto with `options` gave `decoded` reduced already.
bool ReducedInDecode(const DecodeResult& decoded, const PhotoOptions& options, LongShort target);

// PreparePhoto of a photo LoadPhoto with `options` gave as `decoded`: for a
// crop it reduced, what PreparePhoto would have made of it (the photo is the
// decode's own memory then, not a new bitmap: `reduced` is false); otherwise
// PreparePhoto itself.
PreparedPhoto PrepareLoaded(const DecodeResult& decoded, Bitmap& photo, ReductionScratch& scratch,
                            const PhotoOptions& options, LongShort target, double position,
                            const CancelCheck& cancel, int maxSide);

// `photo`, just decoded, turned as its header's orientation says when
// `print.autoOrient`. Throws std::bad_alloc.
void OrientPhoto(const PhotoHeader& header, Bitmap& photo, const PrintOptions& print);

// The Exif block an output of `size` carries when `print.keepMetadata`: the
// photo's, rewritten for the output (codec/Exif.h). Empty when metadata is
// not kept or the photo had none; empty with `malformed` set when the
// photo's block could not be read.
// The ICC profile an output carries when `print.keepMetadata`: the photo's
// when it describes RGB data, as every output holds; otherwise none, and
// `dropped` names the profile's colour space ("CMYK", "GRAY", or
// "unreadable" for one too short for its header).
std::span<const std::uint8_t> OutputIcc(const PhotoHeader& header, const PrintOptions& print,
                                        std::string& dropped);

// The day a photo's date stamp shows: DateTimeOriginal of its Exif, else
// the local day of its file's modification time (none for a photo that
// came from no file).
struct StampDay {
  std::optional<CalendarDate> date;
  DateSource source = DateSource::None;
};
StampDay DayForStamp(const PhotoHeader& header);

// `date` stamped on `photo` as `print` asks, in the lower right of
// `picture` (the photo's place on its canvas with a border; else the
// whole photo) or below it in the frame when there is room: DateStampPlace
// with DateStampHeight of print.dateStamp for `target`. All of this as the
// photo is shown once turned by the Exif orientation `shownTurned` (1: as
// stored), which its output keeps. The text stamped.
std::string StampPhoto(Bitmap& photo, const PixelRect& picture, const PrintOptions& print,
                       LongShort target, const CalendarDate& date, int shownTurned = 1);

std::vector<std::uint8_t> OutputExif(const PhotoHeader& header, const PrintOptions& print,
                                     PixelSize size, bool& malformed);

}  // namespace quorvale
