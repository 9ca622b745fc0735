// Feeds arbitrary bytes to the metadata path: the walk over a JPEG head's
// segments (Exif, ICC chunks, orientation), then the Exif rewrite. An input
// that opens with SOI is taken as a JPEG head and its Exif block is
// rewritten; any other input is taken as the TIFF structure of an Exif block.
// Invariants: the orientation is 1..8; a rewrite fits one segment, reads
// again, keeps or resets the orientation as asked, and rewriting it with the
// same changes gives it back byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "codec/Exif.h"
#include "codec/JpegMetadata.h"

namespace {

using quorvale::ExifRewrite;

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckRewrite(std::span<const std::uint8_t> block, const ExifRewrite& rewrite) {
  const std::optional<std::vector<std::uint8_t>> once = quorvale::RewriteExif(block, rewrite);
  if (!once) return;
  Check(once->size() <= quorvale::MaxExifBlockBytes);
  Check(quorvale::ExifOrientation(*once) ==
        (rewrite.resetOrientation ? 1 : quorvale::ExifOrientation(block)));
  const std::optional<std::vector<std::uint8_t>> twice = quorvale::RewriteExif(*once, rewrite);
  Check(twice && *twice == *once);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  std::vector<std::uint8_t> block;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8) {
    const quorvale::JpegMetadata metadata = quorvale::ReadJpegMetadata(input);
    Check(metadata.orientation >= 1 && metadata.orientation <= 8);
    Check(metadata.complete || metadata.icc.empty());
    Check(metadata.exif.empty() || quorvale::IsExifBlock(metadata.exif));
    block = metadata.exif;
  } else {
    block = {'E', 'x', 'i', 'f', 0, 0};
    block.insert(block.end(), input.begin(), input.end());
  }
  const int orientation = quorvale::ExifOrientation(block);
  Check(orientation >= 1 && orientation <= 8);
  if (const std::optional<quorvale::CalendarDate> taken = quorvale::ExifDateTaken(block)) {
    Check(taken->month >= 1 && taken->month <= 12 && taken->day >= 1 && taken->day <= 31);
  }
  CheckRewrite(block, {true, 4000, 3000, 300});
  CheckRewrite(block, {false, 70000, 9, 0});
  return 0;
}
