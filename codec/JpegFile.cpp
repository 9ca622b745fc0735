#include "codec/JpegFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdlib>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

#include "codec/Exif.h"
#include "codec/JpegErrors.h"

namespace quorvale {
namespace {

// An ICC profile travels in at most 255 APP2 chunks of 65519 bytes each.
constexpr std::size_t MaxIccProfileBytes = std::size_t{255} * 65519;

// Rows handed to libjpeg per call.
constexpr int RowBatch = 16;

// A destination that grows a malloc'd buffer. Growth happens inside libjpeg,
// so it must not throw: running out of memory is reported as a libjpeg error.
struct MemoryDestination {
  jpeg_destination_mgr pub;
  unsigned char* data;
  std::size_t capacity;
  std::size_t size;
};

constexpr std::size_t InitialDestinationBytes = 64 * 1024;

MemoryDestination& DestinationOf(j_compress_ptr info) {
  return *reinterpret_cast<MemoryDestination*>(info->dest);
}

void InitDestination(j_compress_ptr info) {
  MemoryDestination& destination = DestinationOf(info);
  if (destination.data == nullptr) {
    destination.data = static_cast<unsigned char*>(std::malloc(InitialDestinationBytes));
    if (destination.data == nullptr) ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
    destination.capacity = InitialDestinationBytes;
  }
  destination.pub.next_output_byte = destination.data;
  destination.pub.free_in_buffer = destination.capacity;
}

boolean EmptyDestination(j_compress_ptr info) {
  MemoryDestination& destination = DestinationOf(info);
  const std::size_t grown = destination.capacity * 2;
  auto* data = static_cast<unsigned char*>(std::realloc(destination.data, grown));
  if (data == nullptr) ERREXIT1(info, JERR_OUT_OF_MEMORY, 1);
  destination.pub.next_output_byte = data + destination.capacity;
  destination.pub.free_in_buffer = grown - destination.capacity;
  destination.data = data;
  destination.capacity = grown;
  return TRUE;
}

void TermDestination(j_compress_ptr info) {
  MemoryDestination& destination = DestinationOf(info);
  destination.size = destination.capacity - destination.pub.free_in_buffer;
}

// Owns a compress struct and the buffer its destination fills; like the
// Decompressor, safe to destroy at any stage and never moved.
class Compressor {
 public:
  Compressor() {
    InitErrorManager(error_);
    info_.err = &error_.pub;
    destination_.pub.init_destination = InitDestination;
    destination_.pub.empty_output_buffer = EmptyDestination;
    destination_.pub.term_destination = TermDestination;
  }
  ~Compressor() {
    jpeg_destroy_compress(&info_);
    std::free(destination_.data);
  }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;

  jpeg_compress_struct& Info() { return info_; }
  std::jmp_buf& Jump() { return error_.jump; }
  jpeg_destination_mgr* Destination() { return &destination_.pub; }
  const unsigned char* Data() const { return destination_.data; }
  std::size_t Size() const { return destination_.size; }

 private:
  ErrorManager error_{};
  MemoryDestination destination_{};
  jpeg_compress_struct info_{};
};

bool RunEncoder(Compressor& encoder, const Bitmap& bitmap, int quality, const JpegExtras& extras) {
  jpeg_compress_struct& info = encoder.Info();
  if (setjmp(encoder.Jump()) != 0) return false;

  jpeg_create_compress(&info);
  info.dest = encoder.Destination();
  info.image_width = static_cast<JDIMENSION>(bitmap.Width());
  info.image_height = static_cast<JDIMENSION>(bitmap.Height());
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  info.dct_method = JDCT_FLOAT;
  jpeg_set_quality(&info, quality, TRUE);
  if (extras.dpi > 0) {
    info.density_unit = 1;
    info.X_density = info.Y_density = static_cast<UINT16>(std::min(extras.dpi, 65535));
  }
  jpeg_start_compress(&info, TRUE);
  if (!extras.exif.empty() && extras.exif.size() <= MaxExifBlockBytes) {
    jpeg_write_marker(&info, JPEG_APP0 + 1, extras.exif.data(),
                      static_cast<unsigned>(extras.exif.size()));
  }
  if (!extras.icc.empty() && extras.icc.size() <= MaxIccProfileBytes) {
    jpeg_write_icc_profile(&info, extras.icc.data(), static_cast<unsigned>(extras.icc.size()));
  }

  JSAMPROW rows[RowBatch];
  const int height = bitmap.Height();
  while (info.next_scanline < info.image_height) {
    const int first = static_cast<int>(info.next_scanline);
    const int count = std::min(RowBatch, height - first);
    // libjpeg takes non-const rows but only reads them.
    for (int i = 0; i < count; ++i) rows[i] = const_cast<JSAMPLE*>(bitmap.Row(first + i));
    if (jpeg_write_scanlines(&info, rows, static_cast<JDIMENSION>(count)) == 0) return false;
  }
  jpeg_finish_compress(&info);
  return true;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> EncodeJpeg(const Bitmap& bitmap, int quality,
                                                    const JpegExtras& extras) {
  try {
    Compressor encoder;
    if (!RunEncoder(encoder, bitmap, std::clamp(quality, 1, 100), extras)) return std::nullopt;
    return std::vector<std::uint8_t>(encoder.Data(), encoder.Data() + encoder.Size());
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace quorvale
