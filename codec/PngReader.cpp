#include "codec/PngReader.h"

#include <png.h>
#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "codec/DecodeLimits.h"
#include "codec/Exif.h"
#include "codec/PhotoBytes.h"

namespace quorvale {
namespace {

// libpng refuses a larger side while reading the IHDR chunk, before
// anything is allocated.
constexpr png_uint_32 MaxPngSide = MaxJpegSide;

// Deflate codes at best 258 bytes in a length/distance pair of at least
// two bits, which with the block overhead comes to 1032:1. No file of
// `size` bytes, however flat its picture, inflates to more rows than that.
constexpr std::uint64_t MaxInflateRatio = 1032;

// Ancillary chunks held (text, suggested palettes) and the largest one
// allocated: a profile as large as a JPEG can carry (255 APP2 chunks) fits.
constexpr png_uint_32 MaxCachedChunks = 128;
constexpr png_alloc_size_t MaxChunkBytes = png_alloc_size_t{1} << 24;

// libpng's own memory for a decode beside our rows: its two rows of the
// file's bytes and zlib's window and state.
constexpr std::uint64_t InflateStateBytes = 64 * 1024;

constexpr int CancelEvery = 16;

// What the callbacks of libpng share with the code that drives it. libpng
// reports a fatal error by calling OnError, which must not return: it jumps
// back to the setjmp of the function that called into libpng. Nothing here
// has a destructor.
struct PngState {
  const PhotoBytes* bytes;
  std::uint64_t position;
  std::jmp_buf jump;
  char message[160];
};

PngState& StateOf(png_structp png) {
  return *static_cast<PngState*>(png_get_error_ptr(png));
}

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
  PngState& state = StateOf(png);
  std::snprintf(state.message, sizeof state.message, "%s", message);
  std::longjmp(state.jump, 1);
}

// Warnings (a known-incorrect sRGB profile, an ancillary chunk's bad CRC)
// leave the picture as it is and are not shown.
void OnWarning(png_structp, png_const_charp) {}

void ReadData(png_structp png, png_bytep data, std::size_t length) {
  PngState& state = *static_cast<PngState*>(png_get_io_ptr(png));
  const std::int64_t got = state.bytes->ReadAt(state.position, data, length);
  if (got < 0) png_error(png, std::strerror(errno));
  if (static_cast<std::size_t>(got) < length) png_error(png, "the file ends early");
  state.position += length;
}

int ReadInfo(png_structp png, png_infop info, PngState& state) {
  if (setjmp(state.jump) != 0) return -1;
  png_set_read_fn(png, &state, ReadData);
  png_set_user_limits(png, MaxPngSide, MaxPngSide);
  png_set_chunk_cache_max(png, MaxCachedChunks);
  png_set_chunk_malloc_max(png, MaxChunkBytes);
  png_set_benign_errors(png, 1);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_read_info(png, info);
  return 0;
}

// Asks libpng for 8-bit blue, green, red rows, with alpha where the file
// has any; `channels` receives 3 or 4 and `passes` the interlace passes.
int Configure(png_structp png, png_infop info, PngState& state, int& channels, int& passes) {
  if (setjmp(state.jump) != 0) return -1;
  const int colourType = png_get_color_type(png, info);
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if ((colourType & PNG_COLOR_MASK_COLOR) == 0) {
    if (png_get_bit_depth(png, info) < 8) png_set_expand_gray_1_2_4_to_8(png);
    png_set_gray_to_rgb(png);
  }
  if (png_get_valid(png, info, PNG_INFO_tRNS) != 0) png_set_tRNS_to_alpha(png);
  if (png_get_bit_depth(png, info) == 16) png_set_scale_16(png);
  png_set_bgr(png);
  passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  channels = png_get_channels(png, info);
  return 0;
}

// Where the rows go: the picture's rectangle, a row of the file's width
// for rows read and not kept, and, for an interlaced file, the rectangle's
// rows in full width, which every pass adds to.
struct RowPlan {
  PixelRect picture;
  int width;
  int height;
  int channels;
  int passes;
  std::uint8_t* scratch;
  std::uint8_t* held;
  std::size_t heldStride;
  bool cancelled;
};

// Drives libpng under its setjmp; nothing here has a destructor. The sink
// may throw std::bad_alloc, which unwinds normally.
int ReadRows(png_structp png, PngState& state, RowPlan& plan, RowSink& sink,
             const CancelCheck& cancel) {
  if (setjmp(state.jump) != 0) return -1;
  const PixelRect& picture = plan.picture;
  const std::ptrdiff_t left = static_cast<std::ptrdiff_t>(picture.left) * plan.channels;
  const int bottom = picture.top + picture.height;
  const bool direct = plan.channels == 3 && picture.left == 0 && picture.width == plan.width;
  if (plan.passes > 1) {
    for (int pass = 0; pass < plan.passes; ++pass) {
      for (int y = 0; y < plan.height; ++y) {
        if (y % CancelEvery == 0 && cancel && cancel()) {
          plan.cancelled = true;
          return -1;
        }
        const bool kept = y >= picture.top && y < bottom;
        png_read_row(png,
                     kept ? plan.held + plan.heldStride * static_cast<std::size_t>(y - picture.top)
                          : plan.scratch,
                     nullptr);
      }
    }
    for (int y = 0; y < picture.height; ++y) {
      if (!sink.Wants(y)) continue;
      std::uint8_t* target = sink.RowFor(y);
      RowToBgr(plan.held + plan.heldStride * static_cast<std::size_t>(y) + left, plan.channels,
               false, picture.width, target);
      sink.RowDone(y, target);
    }
    return 0;
  }
  for (int y = 0; y < bottom; ++y) {
    if (y % CancelEvery == 0 && cancel && cancel()) {
      plan.cancelled = true;
      return -1;
    }
    const int row = y - picture.top;
    if (row < 0 || !sink.Wants(row)) {
      png_read_row(png, plan.scratch, nullptr);
      continue;
    }
    std::uint8_t* target = sink.RowFor(row);
    if (direct) {
      png_read_row(png, target, nullptr);
    } else {
      png_read_row(png, plan.scratch, nullptr);
      RowToBgr(plan.scratch + left, plan.channels, false, picture.width, target);
    }
    sink.RowDone(row, target);
  }
  // Every row needed is in; what follows (rows below, the end chunks) is
  // not read.
  return 0;
}

DecodeStatus StatusOf(const char* message) {
  // libpng's words when its malloc fails.
  return strncasecmp(message, "out of memory", 13) == 0 ? DecodeStatus::OutOfMemory
                                                        : DecodeStatus::Failed;
}

class PngReader final : public PhotoReader {
 public:
  explicit PngReader(PhotoBytes bytes) : bytes_(std::move(bytes)) {
    state_.bytes = &bytes_;
    state_.position = 0;
    state_.message[0] = '\0';
  }
  ~PngReader() override {
    if (png_ != nullptr)
      png_destroy_read_struct(&png_, info_ != nullptr ? &info_ : nullptr, nullptr);
  }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;

  const PhotoHeader& Header() const override { return header_; }

  // Reads every chunk before the picture data; the reason of a refusal.
  DecodeResult ReadHeader();

  DecodeResult Decode(RowSink& sink, const std::optional<PixelRect>& region,
                      const CancelCheck& cancel, const DecodeAdmission& admit) override;

 private:
  DecodeResult DecodeRows(RowSink& sink, const PixelRect& picture, const CancelCheck& cancel,
                          const DecodeAdmission& admit);

  PhotoBytes bytes_;
  PngState state_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  PhotoHeader header_;
  bool used_ = false;
};

DecodeResult PngReader::ReadHeader() {
  std::uint8_t signature[8] = {};
  if (bytes_.ReadAt(0, signature, sizeof signature) != sizeof signature ||
      !IsPngSignature(signature)) {
    return Failure(DecodeStatus::Failed, "not a PNG file");
  }
  png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state_, OnError, OnWarning);
  if (png_ != nullptr) info_ = png_create_info_struct(png_);
  if (png_ == nullptr || info_ == nullptr) {
    return Failure(DecodeStatus::OutOfMemory, std::strerror(ENOMEM));
  }
  if (ReadInfo(png_, info_, state_) != 0) return Failure(StatusOf(state_.message), state_.message);

  const png_uint_32 width = png_get_image_width(png_, info_);
  const png_uint_32 height = png_get_image_height(png_, info_);
  const std::uint64_t pixels = std::uint64_t{width} * height;
  const std::uint64_t inflated = std::uint64_t{height} * (png_get_rowbytes(png_, info_) + 1);
  if (pixels > MaxPhotoPixels || pixels * 3 > DecodeMemoryBudget()) {
    return Failure(DecodeStatus::Failed, "the picture is larger than the decoder allows");
  }
  if (inflated > bytes_.Size() * MaxInflateRatio) {
    return Failure(DecodeStatus::Failed, "the picture is larger than its file could hold");
  }
  header_.size = {static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
  header_.components = (png_get_color_type(png_, info_) & PNG_COLOR_MASK_COLOR) != 0 ? 3 : 1;

  png_bytep exif = nullptr;
  png_uint_32 exifBytes = 0;
  if (png_get_eXIf_1(png_, info_, &exifBytes, &exif) != 0 && exif != nullptr) {
    static constexpr std::uint8_t Prefix[] = {'E', 'x', 'i', 'f', 0, 0};
    header_.exif.assign(std::begin(Prefix), std::end(Prefix));
    header_.exif.insert(header_.exif.end(), exif, exif + exifBytes);
    header_.orientation = ExifOrientation(header_.exif);
  }
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 profileBytes = 0;
  if (png_get_iCCP(png_, info_, &name, &compression, &profile, &profileBytes) != 0 &&
      profile != nullptr) {
    header_.icc.assign(profile, profile + profileBytes);
  }
  header_.file = bytes_.Stamp();
  return {};
}

DecodeResult PngReader::Decode(RowSink& sink, const std::optional<PixelRect>& region,
                               const CancelCheck& cancel, const DecodeAdmission& admit) {
  return DecodeOnce(used_, header_.size, region, [&](const PixelRect& picture) {
    return DecodeRows(sink, picture, cancel, admit);
  });
}

DecodeResult PngReader::DecodeRows(RowSink& sink, const PixelRect& picture,
                                   const CancelCheck& cancel, const DecodeAdmission& admit) {
  RowPlan plan{picture, header_.size.width, header_.size.height, 3, 1, nullptr, nullptr, 0, false};
  if (Configure(png_, info_, state_, plan.channels, plan.passes) != 0) {
    return Failure(StatusOf(state_.message), state_.message);
  }
  const std::size_t fullRow = static_cast<std::size_t>(plan.width) * plan.channels;
  const std::size_t heldBytes = plan.passes > 1 ? fullRow * picture.height : 0;
  const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 3;
  const std::uint64_t charge = sink.Charge(picture.width, picture.height, rowBytes) + fullRow +
                               heldBytes + 2 * png_get_rowbytes(png_, info_) + InflateStateBytes;
  if (admit && !admit(charge)) return Failure(DecodeStatus::Declined, "not admitted");

  const auto scratch = std::make_unique_for_overwrite<std::uint8_t[]>(fullRow);
  const auto held = std::make_unique_for_overwrite<std::uint8_t[]>(heldBytes);
  plan.scratch = scratch.get();
  plan.held = held.get();
  plan.heldStride = fullRow;
  sink.Start(picture.width, picture.height, rowBytes);
  if (ReadRows(png_, state_, plan, sink, cancel) != 0) {
    if (plan.cancelled) return Failure(DecodeStatus::Cancelled, "cancelled");
    return Failure(StatusOf(state_.message), state_.message);
  }
  sink.Finish();
  return {};
}

OpenedPhoto Open(PhotoBytes bytes) {
  OpenedPhoto opened;
  auto reader = std::make_unique<PngReader>(std::move(bytes));
  opened.failure = reader->ReadHeader();
  if (opened.failure.Ok()) opened.reader = std::move(reader);
  return opened;
}

}  // namespace

bool IsPngSignature(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 8 && png_sig_cmp(bytes.data(), 0, 8) == 0;
}


OpenedPhoto OpenPngBytes(PhotoBytes bytes) {
  try {
    return Open(std::move(bytes));
  } catch (const std::bad_alloc&) {
    OpenedPhoto opened;
    opened.failure = Failure(DecodeStatus::OutOfMemory, std::strerror(ENOMEM));
    return opened;
  }
}

OpenedPhoto OpenPngMemory(std::span<const std::uint8_t> bytes) {
  try {
    return Open(PhotoBytes::InMemory(bytes));
  } catch (const std::bad_alloc&) {
    OpenedPhoto opened;
    opened.failure = Failure(DecodeStatus::OutOfMemory, std::strerror(ENOMEM));
    return opened;
  }
}

}  // namespace quorvale
