#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codec/JpegFile.h"
#include "geometry/SizeTable.h"
#include "pixels/Cancel.h"
#include "pixels/RowSink.h"

namespace quorvale {

// What one opening of a photo file tells before any pixel is decoded: read
// once, and taken from here by everything that needs it (the region to
// decode, the orientation, the metadata kept, the skip of existing outputs).
struct PhotoHeader {
  PixelSize size{0, 0};  // as stored, before any orientation is applied
  int components = 3;    // 1 grey, 3 colour, 4 CMYK (as the file codes it)
  int orientation = 1;   // 1..8 as Exif numbers them; 1 when none is declared
  std::vector<std::uint8_t> exif;  // "Exif\0\0" and its TIFF structure; empty for none
  std::vector<std::uint8_t> icc;   // the ICC profile; empty for none
  // The file as it was opened: for decode ahead and kept file times.
  std::uint64_t fileBytes = 0;
  std::int64_t modifiedSeconds = 0;
  std::int64_t modifiedNanoseconds = 0;
};

// One photo file, open: its header read, its pixels not yet. Formats
// implement it; the run holds one per photo and reads the file through it
// alone.
class PhotoReader {
 public:
  virtual ~PhotoReader() = default;

  virtual const PhotoHeader& Header() const = 0;

  // Decodes `region` of the picture (the whole picture when none) into
  // `sink`, as DecodeJpegFile describes for JPEG: every byte of a region as
  // the whole decode would give it. `admit` is asked with what the decode
  // will hold before any pixel memory is had. Once per reader.
  virtual DecodeResult Decode(RowSink& sink, const std::optional<PixelRect>& region,
                              const CancelCheck& cancel = {},
                              const DecodeAdmission& admit = nullptr) = 0;
};

struct OpenedPhoto {
  std::unique_ptr<PhotoReader> reader;  // none when the file could not be opened or read
  DecodeResult failure;                 // why, when there is no reader
};

// Opens the photo file at `path` and reads its header, choosing the reader
// by the file's first bytes.
OpenedPhoto OpenPhotoFile(const std::string& path);

}  // namespace quorvale
