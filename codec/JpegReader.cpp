#include "codec/JpegReader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "codec/JpegErrors.h"
#include "codec/JpegInput.h"
#include "codec/JpegMetadata.h"

namespace quorvale {
namespace {

// Huffman coding spends at least one bit on every 8 x 8 block of every
// component (its DC difference), which caps any Huffman-coded file at 1024
// pixels per byte of coded data (reached only by the most lopsided sampling
// layout). Flat pictures, the densest real ones, come to 64 (baseline
// colour) to about 250 (progressive grey). So no complete file claims more,
// a file cut short still decodes while it keeps a byte per 1024 pixels (well
// under 1% of a camera photo), and a header claiming gigapixels from a few
// kilobytes is refused before the library or the bitmap reserves memory.
constexpr std::uint64_t MaxPixelsPerHuffmanByte = 1024;

// Arithmetic coding has no such floor: its coder drops trailing zero bytes
// and the decoder reads zeros past the data, so a flat picture of any size
// comes to a dozen coded bytes (a flat 6000 x 4000 colour file is about 200
// bytes in all), and any header with a few bytes after it is a valid flat
// picture. A file denser than Huffman coding can be is therefore taken as
// such a picture only up to 64 megapixels, beyond any camera's frame: a few
// hundred bytes cannot claim a gigapixel's memory and decoding time.
// Arithmetic files of real photos are far below the Huffman floor and are
// judged by it.
constexpr std::uint64_t MaxDenseArithmeticPixels = std::uint64_t{1} << 26;

// The system promises memory it may not have: a bitmap larger than the
// machine can hold would be killed while the decoder fills it, not refused.
// So a photo is refused when its pixels need more than half the physical
// memory, and above a gigapixel on any machine (no camera comes near it).
constexpr std::uint64_t MaxPixels = std::uint64_t{1} << 30;

std::uint64_t MaxBitmapBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageBytes = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageBytes <= 0) return MaxPixels * 3;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageBytes) / 2;
}

// Rows handed to libjpeg per call; it returns fewer when it has fewer ready.
constexpr int RowBatch = 16;

constexpr int GrayLevels = 236;

// A progressive file may hold any number of scans, each one a pass over the
// whole picture; a hostile file with thousands of tiny scans would take
// minutes to decode. Real encoders write about ten; the limit is generous.
constexpr int MaxProgressiveScans = 500;

const CancelCheck NoCancel;

// The decoder's progress monitor, called as rows and scans are worked
// through and as the file is read: it charges each scan to the budget and
// asks whether to give up.
struct Progress {
  jpeg_progress_mgr pub;
  const CancelCheck* cancel;
  bool cancelled;
  ScanBudget* budget;  // from the header on
  bool overBudget;
};

void MonitorProgress(j_common_ptr common) {
  const auto* info = reinterpret_cast<j_decompress_ptr>(common);
  if (info->progressive_mode && info->input_scan_number > MaxProgressiveScans) {
    ERREXIT(common, JERR_BAD_SCAN_SCRIPT);
  }
  auto* progress = reinterpret_cast<Progress*>(common->progress);
  if (progress->budget != nullptr && !progress->budget->Charge(*info)) {
    progress->overBudget = true;
    ERREXIT(common, JERR_BAD_SCAN_SCRIPT);
  }
  if (*progress->cancel && (*progress->cancel)()) {
    progress->cancelled = true;
    ERREXIT(common, JERR_UNKNOWN_MARKER);
  }
}

// Owns a decompress struct. The struct starts zeroed, which jpeg_destroy
// accepts, so the destructor is safe whether or not jpeg_create_decompress
// ran (it is called under the setjmp, since it can fail). Not movable either:
// libjpeg keeps pointers into it.
class Decompressor {
 public:
  Decompressor() {
    InitErrorManager(error_);
    info_.err = &error_.pub;
  }
  ~Decompressor() { jpeg_destroy_decompress(&info_); }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;

  jpeg_decompress_struct& Info() { return info_; }
  std::jmp_buf& Jump() { return error_.jump; }
  const ErrorManager& Errors() const { return error_; }

 private:
  ErrorManager error_{};
  jpeg_decompress_struct info_{};
};

// The largest of libjpeg's reductions 1/2, 1/4, 1/8 that keeps the longer
// side at least `longSide`; 1 when none does.
unsigned ReducedScale(const jpeg_decompress_struct& info, int longSide) {
  const JDIMENSION side = std::max(info.image_width, info.image_height);
  unsigned denom = 8;
  while (denom > 1 && (side + denom - 1) / denom < static_cast<JDIMENSION>(longSide)) denom /= 2;
  return denom;
}

// Why the header cannot be taken at its word, or nullptr. `codedBytes` is
// what follows the header in the file. The memory counted is the bitmap's
// and, for a file of several scans, libjpeg's whole-image coefficient
// buffer beside it.
const char* ImplausibleHeader(const jpeg_decompress_struct& info, std::uint64_t codedBytes) {
  const std::uint64_t width = info.image_width;
  const std::uint64_t height = info.image_height;
  if (width == 0 || height == 0 || width > MaxJpegSide || height > MaxJpegSide) {
    return "the picture's sides are out of range";
  }
  const std::uint64_t pixels = width * height;
  if (codedBytes == 0 || (pixels > codedBytes * MaxPixelsPerHuffmanByte &&
                          (!info.arith_code || pixels > MaxDenseArithmeticPixels))) {
    return "the header claims more pixels than the file holds";
  }
  if (pixels > MaxPixels || pixels * 3 + CoefficientBufferBytes(info) > MaxBitmapBytes()) {
    return "the picture is larger than the memory can hold";
  }
  return nullptr;
}

bool SupportedColourSpace(J_COLOR_SPACE space) {
  switch (space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
    case JCS_CMYK:
    case JCS_YCCK:
      return true;
    default:
      return false;
  }
}

// The decoder's settings for a full decode, or with a `previewSide` above
// 0, for a preview at least that long on the longer side. The colour space
// is one SupportedColourSpace accepts.
void ConfigureOutput(jpeg_decompress_struct& info, int previewSide) {
  info.scale_num = 1;
  info.scale_denom = 1;
  info.dct_method = JDCT_FLOAT;
  info.do_fancy_upsampling = TRUE;
  info.do_block_smoothing = TRUE;
  if (previewSide > 0) {
    // At 1/8 libjpeg takes each block's DC alone: most of the work left is
    // the entropy decoding, which no setting shortens.
    info.scale_denom = ReducedScale(info, previewSide);
    info.dct_method = JDCT_IFAST;
    info.do_fancy_upsampling = FALSE;
    info.do_block_smoothing = FALSE;
  }
  info.buffered_image = FALSE;
  switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
      info.out_color_space = JCS_GRAYSCALE;
      info.quantize_colors = TRUE;
      info.desired_number_of_colors = GrayLevels;
      info.two_pass_quantize = FALSE;
      info.dither_mode = JDITHER_FS;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      info.out_color_space = JCS_CMYK;
      break;
    default:
      info.out_color_space = JCS_EXT_BGR;
      break;
  }
}

// Palette indices were decoded into the first bytes of the row; walking from
// the right end never overwrites an index before it is read.
void ExpandGrayRow(std::uint8_t* row, int width, const JSAMPLE* levels) {
  for (int x = width - 1; x >= 0; --x) {
    const std::uint8_t gray = levels[row[x]];
    row[3 * x] = gray;
    row[3 * x + 1] = gray;
    row[3 * x + 2] = gray;
  }
}

void CmykRowToBgr(const JSAMPLE* cmyk, int width, std::uint8_t* row) {
  for (int x = 0; x < width; ++x, cmyk += 4, row += 3) {
    const unsigned k = cmyk[3];
    row[0] = static_cast<std::uint8_t>(cmyk[2] * k / 255);
    row[1] = static_cast<std::uint8_t>(cmyk[1] * k / 255);
    row[2] = static_cast<std::uint8_t>(cmyk[0] * k / 255);
  }
}

// The part of the picture the decoder works through to give a region: the
// columns [left, left + width) and the rows [top, bottom).
struct DecodeWindow {
  int left = 0;
  int top = 0;
  int width = 0;
  int bottom = 0;
};

int RoundDown(int value, int step) {
  return value / step * step;
}

// The window that gives every pixel of `region` as the whole decode does.
// Fancy upsampling takes each chroma sample's neighbours in both directions,
// and the decoder treats the first rows after a skip and the edges of a
// crop as edges of the picture, so a margin of one iMCU (the unit a skip
// and a crop work in) is kept on every side. Block smoothing, which fills
// in the missing coefficients of a progressive file cut short, estimates
// them from the DC values of blocks up to two away, and at a crop's edge
// takes the edge block's for those beyond it: the first two blocks of a
// crop come out unlike the whole decode's, and the upsampling reads one
// more. A chroma component of half width has one block per iMCU column, so
// progressive files keep three.
DecodeWindow PlanWindow(const jpeg_decompress_struct& info, const PixelRect& region) {
  const int width = static_cast<int>(info.output_width);
  DecodeWindow window{0, 0, width, region.top + region.height};
  // The error diffusion of the grey quantizer runs along each row, in turn
  // rightwards and leftwards, and down: every pixel depends on all those
  // decoded before it.
  if (info.quantize_colors) return window;
  const int margin = info.progressive_mode ? 3 : 1;
  const int columns = info.min_DCT_scaled_size * info.max_h_samp_factor;
  const int rows = info.min_DCT_scaled_size * info.max_v_samp_factor;
  window.left = std::max(0, RoundDown(region.left, columns) - margin * columns);
  const int right = RoundDown(region.left + region.width + columns - 1, columns) + margin * columns;
  window.width = std::min(width, right) - window.left;
  // Skipping rows of a single-scan file entropy-decodes them into no blocks,
  // which the arithmetic decoder does not allow for.
  if (!info.arith_code) window.top = std::max(0, RoundDown(region.top, rows) - margin * rows);
  return window;
}

bool InsidePicture(const PixelRect& region, int width, int height) {
  return region.width >= 1 && region.height >= 1 && region.left >= 0 && region.top >= 0 &&
         region.left <= width - region.width && region.top <= height - region.height;
}

// How a step that drives libjpeg ended. Trivially destructible, as libjpeg's
// errors jump back over the frames that hold it.
enum class Ending {
  Went,      // on to the next step
  Refused,   // a check of ours failed: `refusal` says which
  Declined,  // the admission said no
  Jumped,    // libjpeg gave up: its error manager and the progress say why
};

struct StepEnd {
  Ending ending = Ending::Went;
  const char* refusal = nullptr;
};

constexpr StepEnd Went{};

constexpr StepEnd Refuse(const char* why) {
  return {Ending::Refused, why};
}

class JpegReader final : public PhotoReader {
 public:
  // Reads from `file`, or from `memory` when `file` is not open; `stamp`
  // gives the file's length either way.
  JpegReader(FileDescriptor file, std::span<const std::uint8_t> memory, const FileStamp& stamp)
      : file_(std::move(file)), memory_(memory) {
    header_.file = stamp;
    // A large file that is not a photo is refused after a megabyte, not
    // read whole; the marker segments before the first scan (Exif, ICC and
    // other application data) have their own budget, as a valid ICC
    // profile alone may be 16 MB.
    if (file_) {
      source_ =
          std::make_unique<FileSource>(file_.Get(), MaxHeaderOtherBytes, MaxMetadataSegmentBytes);
    }
  }

  // Reads the header and the metadata before the first scan.
  DecodeResult Open(const CancelCheck& cancel) {
    DecodeResult result = Run(cancel, [this] { return ReadHeader(); });
    if (!result.Ok()) return result;
    const jpeg_decompress_struct& info = decoder_.Info();
    header_.size = {static_cast<std::int32_t>(info.image_width),
                    static_cast<std::int32_t>(info.image_height)};
    header_.components = info.num_components;
    const std::vector<std::uint8_t> head =
        source_ ? source_->TakeHead() : std::vector<std::uint8_t>();
    JpegMetadata metadata =
        ReadJpegMetadata(source_ ? std::span<const std::uint8_t>(head) : memory_);
    header_.orientation = metadata.orientation;
    header_.exif = std::move(metadata.exif);
    header_.icc = std::move(metadata.icc);
    return result;
  }

  const PhotoHeader& Header() const override { return header_; }

  DecodeResult Decode(RowSink& sink, const std::optional<PixelRect>& region,
                      const CancelCheck& cancel, const DecodeAdmission& admit) override {
    DecodeResult result = Run(cancel, [&] { return DecodeRows(sink, region, admit, 0); });
    result.picture = header_.size;
    result.region = region;
    return result;
  }

  DecodeResult DecodePreview(Bitmap& bitmap, int longSide, const CancelCheck& cancel) override {
    BitmapSink sink(bitmap);
    DecodeResult result =
        Run(cancel, [&] { return DecodeRows(sink, std::nullopt, nullptr, std::max(longSide, 1)); });
    result.picture = header_.size;
    if (result.status == DecodeStatus::OutOfMemory) bitmap.Release();
    return result;
  }

 private:
  // `step` under libjpeg's setjmp: nothing on the way down to libjpeg may
  // own anything, as an error jumps back here over it. std::bad_alloc from
  // a sink unwinds normally.
  template <typename Step>
  StepEnd Guarded(Step step) {
    if (setjmp(decoder_.Jump()) != 0) return StepEnd{Ending::Jumped};
    return step();
  }

  // `step`, with `cancel` asked meanwhile, worded as a decode's result.
  template <typename Step>
  DecodeResult Run(const CancelCheck& cancel, Step step) {
    progress_.cancel = &cancel;
    DecodeResult result;
    try {
      result = Worded(Guarded(step));
    } catch (const std::bad_alloc&) {
      result = DecodeResult{};
      result.status = DecodeStatus::OutOfMemory;
      result.reason = std::strerror(ENOMEM);
    }
    progress_.cancel = &NoCancel;
    return result;
  }

  DecodeResult Worded(StepEnd end) const {
    DecodeResult result;
    const ErrorManager& errors = decoder_.Errors();
    if (end.ending != Ending::Went) {
      result.status = DecodeStatus::Failed;
      if (progress_.cancelled) {
        result.status = DecodeStatus::Cancelled;
        result.reason = "cancelled";
      } else if (end.ending == Ending::Declined) {
        result.status = DecodeStatus::Declined;
        result.reason = end.refusal;
      } else if (progress_.overBudget) {
        result.reason = "the scans ask for more decoding work than the picture needs";
      } else if (source_ && source_->HeaderTooLong()) {
        result.reason = "no JPEG header at the start of the file";
      } else {
        if (errors.outOfMemory) result.status = DecodeStatus::OutOfMemory;
        result.reason = end.refusal != nullptr ? end.refusal : errors.message;
      }
    }
    result.warnings = errors.warnings;
    if (errors.warnings > 0) result.warning = errors.firstWarning;
    return result;
  }

  StepEnd ReadHeader() {
    jpeg_decompress_struct& info = decoder_.Info();
    jpeg_create_decompress(&info);
    progress_.pub.progress_monitor = MonitorProgress;
    info.progress = &progress_.pub;
    if (source_) {
      source_->Attach(&info);
    } else {
      jpeg_mem_src(&info, memory_.data(), static_cast<unsigned long>(memory_.size()));
    }
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return Refuse("no picture in the file");
    const std::uint64_t size = header_.file.bytes;
    const std::uint64_t headerBytes =
        source_ ? source_->Consumed() : size - info.src->bytes_in_buffer;
    if (source_) source_->HeaderDone();
    if (const char* why = ImplausibleHeader(info, size > headerBytes ? size - headerBytes : 0)) {
      return Refuse(why);
    }
    if (!SupportedColourSpace(info.jpeg_color_space)) return Refuse("unsupported colour space");
    budget_ = ScanBudget(info);
    progress_.budget = &budget_;
    return Went;
  }

  // Decides what is decoded before anything is: the output's size, the
  // window a region needs, whether the admission lets the decode hold its
  // memory; then starts the sink and the decoder and reads the rows.
  StepEnd DecodeRows(RowSink& sink, const std::optional<PixelRect>& region,
                     const DecodeAdmission& admit, int previewSide) {
    if (decoded_) return Refuse("the photo was decoded already");
    decoded_ = true;
    jpeg_decompress_struct& info = decoder_.Info();
    ConfigureOutput(info, previewSide);
    jpeg_calc_output_dimensions(&info);
    const int fullWidth = static_cast<int>(info.output_width);
    const int fullHeight = static_cast<int>(info.output_height);
    if (region && !InsidePicture(*region, fullWidth, fullHeight)) {
      return Refuse("the region asked for lies outside the picture");
    }
    const PixelRect picture = region.value_or(PixelRect{0, 0, fullWidth, fullHeight});
    const DecodeWindow window =
        region ? PlanWindow(info, *region) : DecodeWindow{0, 0, fullWidth, fullHeight};
    const std::size_t rowBytes = static_cast<std::size_t>(window.width) * 3;
    if (admit && !admit(sink.Charge(picture.width, picture.height, rowBytes) +
                        CoefficientBufferBytes(info))) {
      return {Ending::Declined, "not admitted"};
    }
    sink.Start(picture.width, picture.height, rowBytes);
    const StepEnd started = StartWindow(window);
    if (started.ending != Ending::Went) return started;
    return ReadRows(sink, window, picture);
  }

  // Starts the decoder on the window's columns, at its first row.
  StepEnd StartWindow(const DecodeWindow& window) {
    jpeg_decompress_struct& info = decoder_.Info();
    const auto fullWidth = info.output_width;
    jpeg_start_decompress(&info);
    if (static_cast<JDIMENSION>(window.width) < fullWidth) {
      auto left = static_cast<JDIMENSION>(window.left);
      auto cropped = static_cast<JDIMENSION>(window.width);
      jpeg_crop_scanline(&info, &left, &cropped);
      if (left != static_cast<JDIMENSION>(window.left) || cropped != info.output_width ||
          cropped != static_cast<JDIMENSION>(window.width)) {
        return Refuse("the decoder cannot crop the picture's columns");
      }
    }
    if (window.top > 0) jpeg_skip_scanlines(&info, static_cast<JDIMENSION>(window.top));
    return Went;
  }

  // Hands the rows of `picture` to the sink as the decoder gives them.
  StepEnd ReadRows(RowSink& sink, const DecodeWindow& window, const PixelRect& picture) {
    jpeg_decompress_struct& info = decoder_.Info();
    const int width = window.width;
    const std::size_t rowBytes = static_cast<std::size_t>(window.width) * 3;
    const bool gray = info.out_color_space == JCS_GRAYSCALE;
    const bool cmyk = info.out_color_space == JCS_CMYK;
    if (gray && (info.colormap == nullptr || info.actual_number_of_colors < 1)) {
      return Refuse("no grey palette");
    }
    const j_common_ptr common = reinterpret_cast<j_common_ptr>(&info);
    JSAMPARRAY cmykRows =
        cmyk ? (*info.mem->alloc_sarray)(common, JPOOL_IMAGE, info.output_width * 4, RowBatch)
             : nullptr;
    // Rows of the window above the picture (the upsampling's margin, or a
    // grey picture's rows before it) are decoded into these and dropped.
    JSAMPARRAY marginRows =
        picture.top > window.top
            ? (*info.mem->alloc_sarray)(common, JPOOL_IMAGE, static_cast<JDIMENSION>(rowBytes),
                                        RowBatch)
            : nullptr;
    const std::ptrdiff_t left = static_cast<std::ptrdiff_t>(picture.left - window.left) * 3;

    // A row of the picture the sink has no use for is passed over: libjpeg
    // still decodes and upsamples it, as the rows around need it, but leaves
    // out its colour conversion. Only a row inside an iMCU row is passed over
    // so (at the first row of one, jpeg_skip_scanlines would skip whole iMCU
    // rows by other means), and none where colours are quantized, as the
    // error diffusion carries from each row to the next.
    const int imcuRows = info.min_DCT_scaled_size * info.max_v_samp_factor;
    const auto passed = [&](int y) {
      return !info.quantize_colors && (picture.top + y) % imcuRows != 0 && !sink.Wants(y);
    };

    // The sink's memory for row y is targets[y % RowBatch], asked for once:
    // libjpeg may give fewer rows than asked, and the rest are asked again.
    JSAMPROW rows[RowBatch];
    std::uint8_t* targets[RowBatch];
    int asked = 0;
    while (static_cast<int>(info.output_scanline) < window.bottom) {
      const int first = static_cast<int>(info.output_scanline) - picture.top;
      if (first >= 0 && passed(first)) {
        jpeg_skip_scanlines(&info, 1);
        asked = first + 1;
        continue;
      }
      int count =
          first < 0 ? std::min(RowBatch, -first) : std::min(RowBatch, picture.height - first);
      for (int i = 1; first >= 0 && i < count; ++i) {
        if (passed(first + i)) count = i;
      }
      for (int i = 0; i < count; ++i) {
        const int y = first + i;
        if (y >= 0 && y == asked) targets[asked++ % RowBatch] = sink.RowFor(y);
        rows[i] = cmyk ? cmykRows[i] : y < 0 ? marginRows[i] : targets[y % RowBatch];
      }
      const int done =
          static_cast<int>(jpeg_read_scanlines(&info, rows, static_cast<JDIMENSION>(count)));
      if (done <= 0) return Refuse("no rows decoded");
      if (first < 0) continue;
      for (int i = 0; i < done; ++i) {
        std::uint8_t* target = targets[(first + i) % RowBatch];
        if (gray) ExpandGrayRow(target, width, info.colormap[0]);
        if (cmyk) CmykRowToBgr(cmykRows[i], width, target);
        sink.RowDone(first + i, target + left);
      }
    }
    // Every row needed is in. Whatever follows in the file (the rows below,
    // up to the end marker, or junk in its place) is not read.
    jpeg_abort_decompress(&info);
    sink.Finish();
    return Went;
  }

  FileDescriptor file_;
  std::span<const std::uint8_t> memory_;
  std::unique_ptr<FileSource> source_;
  Decompressor decoder_;
  Progress progress_{{}, &NoCancel, false, nullptr, false};
  ScanBudget budget_;
  PhotoHeader header_;
  bool decoded_ = false;
};

OpenedPhoto Opened(std::unique_ptr<JpegReader> reader, const CancelCheck& cancel) {
  OpenedPhoto opened;
  opened.failure = reader->Open(cancel);
  if (opened.failure.Ok()) opened.reader = std::move(reader);
  return opened;
}

OpenedPhoto OutOfMemory() {
  OpenedPhoto opened;
  opened.failure.status = DecodeStatus::OutOfMemory;
  opened.failure.reason = std::strerror(ENOMEM);
  return opened;
}

}  // namespace

OpenedPhoto OpenJpegFile(FileDescriptor file, const FileStamp& stamp, const CancelCheck& cancel) {
  try {
    return Opened(
        std::make_unique<JpegReader>(std::move(file), std::span<const std::uint8_t>(), stamp),
        cancel);
  } catch (const std::bad_alloc&) {
    return OutOfMemory();
  }
}

OpenedPhoto OpenJpegMemory(std::span<const std::uint8_t> bytes, const CancelCheck& cancel) {
  if (bytes.empty()) {
    OpenedPhoto opened;
    opened.failure.status = DecodeStatus::Failed;
    opened.failure.reason = "the file is empty";
    return opened;
  }
  FileStamp stamp;
  stamp.bytes = bytes.size();
  try {
    return Opened(std::make_unique<JpegReader>(FileDescriptor(), bytes, stamp), cancel);
  } catch (const std::bad_alloc&) {
    return OutOfMemory();
  }
}

DecodeResult DecodeJpegMemory(std::span<const std::uint8_t> bytes, RowSink& sink,
                              const CancelCheck& cancel, const std::optional<PixelRect>& region) {
  const OpenedPhoto opened = OpenJpegMemory(bytes, cancel);
  if (!opened.reader) return opened.failure;
  return opened.reader->Decode(sink, region, cancel);
}

DecodeResult DecodeJpegMemory(std::span<const std::uint8_t> bytes, Bitmap& bitmap,
                              const CancelCheck& cancel, const std::optional<PixelRect>& region) {
  const OpenedPhoto opened = OpenJpegMemory(bytes, cancel);
  if (!opened.reader) return opened.failure;
  return DecodeToBitmap(*opened.reader, bitmap, region, cancel);
}

std::uint64_t DecodeMemoryBudget() {
  return MaxBitmapBytes();
}

}  // namespace quorvale
