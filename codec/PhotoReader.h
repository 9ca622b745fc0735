#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "geometry/SizeTable.h"
#include "pixels/Bitmap.h"
#include "pixels/Cancel.h"
#include "pixels/RowSink.h"
#include "platform/FileSystem.h"

namespace quorvale {

enum class DecodeStatus {
  Decoded,
  Failed,       // the file cannot be read or decoded, or its header is refused
  Cancelled,    // the cancel check answered true
  Declined,     // the admission answered false
  OutOfMemory,  // the pixel memory (or the decoder's) could not be had
};

struct DecodeResult {
  DecodeStatus status = DecodeStatus::Decoded;
  std::string reason;   // the decoder's message or the system's, when not decoded
  int warnings = 0;     // corrupt or missing data passed over (grey rows)
  std::string warning;  // the first of them, as the decoder words it
  // The picture's size as its header declares it, once the header is read
  // and accepted (0 x 0 before), and the rectangle of it the sink was given
  // when a region was asked for (none for the whole picture).
  PixelSize picture{0, 0};
  std::optional<PixelRect> region{};
  bool Ok() const { return status == DecodeStatus::Decoded; }
};

// Asked once a header has been judged plausible, before any pixel memory is
// had, with the bytes the decode holds: what the sink charges for the
// picture (for a bitmap, its rows padded as a Bitmap's, or the capacity it
// has when larger) and what the decoder keeps beside it (for a JPEG of
// several scans, libjpeg's coefficient buffer). False declines the decode,
// which then reads no further.
using DecodeAdmission = std::function<bool(std::uint64_t bytes)>;

// What one opening of a photo file tells before any pixel is decoded: read
// once, and taken from here by everything that needs it (the region to
// decode, the orientation, the metadata kept, the file's times, whether it
// changed since).
struct PhotoHeader {
  PixelSize size{0, 0};            // as stored, before any orientation is applied
  int components = 3;              // 1 grey, 3 colour, 4 CMYK (as the file codes it)
  int orientation = 1;             // 1..8 as Exif numbers them; 1 when none is declared
  std::vector<std::uint8_t> exif;  // "Exif\0\0" and its TIFF structure; empty for none
  std::vector<std::uint8_t> icc;   // the ICC profile; empty for none
  FileStamp file;                  // the file as it was opened; zero for bytes in memory
};

// One photo, open: its header read, its pixels not yet. A format implements
// it; the run holds one per photo and reads the file through it alone, on
// the descriptor the opening made.
class PhotoReader {
 public:
  virtual ~PhotoReader() = default;

  virtual const PhotoHeader& Header() const = 0;

  // Decodes `region` of the picture (the whole picture when none) into
  // `sink`: every byte of a region as the whole decode gives it, only as
  // much of the picture read as that needs. A region that does not lie
  // inside the picture fails the decode. `admit` is asked with what the
  // decode will hold before any pixel memory is had; `cancel` as the file
  // is read and decoded, from the calling thread. Once per reader.
  virtual DecodeResult Decode(RowSink& sink, const std::optional<PixelRect>& region,
                              const CancelCheck& cancel = {},
                              const DecodeAdmission& admit = nullptr) = 0;

  // A fast decode for a preview into `bitmap`: at least `longSide` pixels
  // on the longer side where the format can decode smaller for less work,
  // its pixels not necessarily those of Decode. The whole picture by
  // default. Once per reader, instead of Decode.
  virtual DecodeResult DecodePreview(Bitmap& bitmap, int longSide, const CancelCheck& cancel = {});
};

struct OpenedPhoto {
  std::unique_ptr<PhotoReader> reader;  // none when the file could not be opened or read
  DecodeResult failure;                 // why, when there is no reader
  FileStamp file;  // the file as it was opened (its header's), when it was; zero otherwise
};

// The readers a run may use.
enum class PhotoKinds {
  Jpeg,  // every file is read as a JPEG
  All,   // JPEG, PNG and HEIF (HEIC, AVIF), chosen by the file's first bytes
};

// Opens the photo file at `path` (a regular, non-empty file; any length of
// path) and reads its header, choosing the reader among `kinds` by the
// file's first bytes: JPEG for any file no other reader claims, so a file
// of another kind fails as a JPEG that cannot be read when `kinds` is Jpeg.
// `cancel` is asked as the header is read.
OpenedPhoto OpenPhotoFile(const std::string& path, const CancelCheck& cancel = {},
                          PhotoKinds kinds = PhotoKinds::Jpeg);

// Sets `bitmap` to 1 x 1 and decodes the picture `reader` holds (or its
// `region`) into it. After a failure the bitmap is at least 1 x 1 again,
// its memory let go when it ran out.
DecodeResult DecodeToBitmap(PhotoReader& reader, Bitmap& bitmap,
                            const std::optional<PixelRect>& region = std::nullopt,
                            const CancelCheck& cancel = {}, const DecodeAdmission& admit = nullptr);

// DecodeToBitmap through `sink`, which fills `bitmap` (a ReducingSink of it).
DecodeResult DecodeToBitmap(PhotoReader& reader, Bitmap& bitmap, RowSink& sink,
                            const std::optional<PixelRect>& region, const CancelCheck& cancel,
                            const DecodeAdmission& admit);

// OpenPhotoFile and DecodeToBitmap of the whole picture, for a caller that
// needs nothing else of the file. A file that cannot be opened, or whose
// header is refused, leaves the bitmap as it was.
DecodeResult LoadPhotoFile(const std::string& path, Bitmap& bitmap, const CancelCheck& cancel = {});

// The largest side a photo may declare: also the limit of a run for large
// photos.
inline constexpr int MaxJpegSide = 65535;

// The most decoded pixel memory a photo may take: half the physical memory.
std::uint64_t DecodeMemoryBudget();

}  // namespace quorvale
