#include "codec/JpegFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

#include "codec/Exif.h"
#include "codec/JpegInput.h"
#include "codec/JpegMetadata.h"
#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"
#include "platform/OutputFile.h"

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

// An ICC profile travels in at most 255 APP2 chunks of 65519 bytes each.
constexpr std::size_t MaxIccProfileBytes = std::size_t{255} * 65519;

// Rows handed to libjpeg per call; it returns fewer when it has fewer ready.
constexpr int RowBatch = 16;

constexpr int GrayLevels = 236;

// libjpeg reports a fatal error by calling error_exit, which must not return:
// it jumps back to the setjmp of the one function that drives the library.
// Its message is kept for the caller before the jump.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  int warnings;
  char firstWarning[JMSG_LENGTH_MAX];
  bool outOfMemory;  // libjpeg could not have the memory it asked for
};

ErrorManager& ErrorsOf(j_common_ptr info) {
  return *reinterpret_cast<ErrorManager*>(info->err);
}

void ErrorExit(j_common_ptr info) {
  ErrorManager& errors = ErrorsOf(info);
  (*info->err->format_message)(info, errors.message);
  errors.outOfMemory = info->err->msg_code == JERR_OUT_OF_MEMORY;
  std::longjmp(errors.jump, 1);
}

// Warnings (premature end of data, corrupt bytes) are not failures and the
// library must not print them; those about the picture's data are counted,
// and the first one kept, so that a damaged photo can be named. Warnings
// about markers (a JFIF revision, an ICC profile) and trace messages
// (level > 0) are dropped.
void CountWarning(j_common_ptr info, int level) {
  if (level != -1 || KindOfWarning(info->err->msg_code) == WarningKind::None) return;
  ErrorManager& errors = ErrorsOf(info);
  if (errors.warnings++ == 0) (*info->err->format_message)(info, errors.firstWarning);
}
void IgnoreOutput(j_common_ptr) {}

// A progressive file may hold any number of scans, each one a pass over the
// whole picture; a hostile file with thousands of tiny scans would take
// minutes to decode. Real encoders write about ten; the limit is generous.
constexpr int MaxProgressiveScans = 500;

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

void InitErrorManager(ErrorManager& error) {
  jpeg_std_error(&error.pub);
  error.pub.error_exit = ErrorExit;
  error.pub.emit_message = CountWarning;
  error.pub.output_message = IgnoreOutput;
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

// Where the decoder's bytes come from: a file read in pieces, or bytes in
// memory. `size` is the file's whole length either way.
struct Input {
  FileSource* file = nullptr;
  std::span<const std::uint8_t> memory;
  std::uint64_t size = 0;
  // Above 0: a reduced decode for a preview, at least this long on the
  // longer side; the picture's own size is given back in `picture`.
  int reducedLongSide = 0;
  PixelSize* picture = nullptr;
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

bool ConfigureDecoder(jpeg_decompress_struct& info, const Input& input) {
  info.scale_num = 1;
  info.scale_denom = 1;
  info.dct_method = JDCT_FLOAT;
  info.do_fancy_upsampling = TRUE;
  info.do_block_smoothing = TRUE;
  if (input.reducedLongSide > 0) {
    // At 1/8 libjpeg takes each block's DC alone: most of the work left is
    // the entropy decoding, which no setting shortens.
    info.scale_denom = ReducedScale(info, input.reducedLongSide);
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
      return true;
    case JCS_YCbCr:
    case JCS_RGB:
      info.out_color_space = JCS_EXT_BGR;
      return true;
    case JCS_CMYK:
    case JCS_YCCK:
      info.out_color_space = JCS_CMYK;
      return true;
    default:
      return false;
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

// Drives the decoder under its setjmp. Nothing here has a destructor, so the
// longjmp from libjpeg skips no cleanup; the Decompressor outside owns it.
// The sink may throw std::bad_alloc, which unwinds normally.
// A refusal of ours that libjpeg has no message for leaves `refusal` set.
// The budget lives in the caller's frame, as the longjmp skips this one's.
int RunDecoder(Decompressor& decoder, Progress& progress, const Input& input, ScanBudget& budget,
               const DecodeAdmission& admit, const DecodeRegion& region, RowSink& sink,
               const char*& refusal, bool& declined) {
  jpeg_decompress_struct& info = decoder.Info();
  if (setjmp(decoder.Jump()) != 0) return -2;

  jpeg_create_decompress(&info);
  progress.pub.progress_monitor = MonitorProgress;
  info.progress = &progress.pub;
  if (input.file != nullptr) {
    input.file->Attach(&info);
  } else {
    jpeg_mem_src(&info, input.memory.data(), static_cast<unsigned long>(input.memory.size()));
  }
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    refusal = "no picture in the file";
    return -2;
  }
  const std::uint64_t headerBytes =
      input.file != nullptr ? input.file->Consumed() : input.size - info.src->bytes_in_buffer;
  if (input.file != nullptr) input.file->HeaderDone();
  refusal = ImplausibleHeader(info, input.size > headerBytes ? input.size - headerBytes : 0);
  if (refusal != nullptr) return -2;
  if (input.picture != nullptr) {
    *input.picture = {static_cast<std::int32_t>(info.image_width),
                      static_cast<std::int32_t>(info.image_height)};
  }
  if (!ConfigureDecoder(info, input)) {
    refusal = "unsupported colour space";
    return -2;
  }
  budget = ScanBudget(info);
  progress.budget = &budget;
  jpeg_calc_output_dimensions(&info);

  const int fullWidth = static_cast<int>(info.output_width);
  const int fullHeight = static_cast<int>(info.output_height);
  const std::optional<PixelRect> wanted =
      region ? region(fullWidth, fullHeight) : std::optional<PixelRect>();
  if (wanted && !InsidePicture(*wanted, fullWidth, fullHeight)) {
    refusal = "the region asked for lies outside the picture";
    return -2;
  }
  const PixelRect picture = wanted.value_or(PixelRect{0, 0, fullWidth, fullHeight});
  const DecodeWindow window =
      wanted ? PlanWindow(info, *wanted) : DecodeWindow{0, 0, fullWidth, fullHeight};
  const int width = window.width;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  if (admit &&
      !admit(sink.Charge(picture.width, picture.height, rowBytes) + CoefficientBufferBytes(info))) {
    declined = true;
    refusal = "not admitted";
    return -2;
  }
  sink.Start(picture.width, picture.height, rowBytes);
  jpeg_start_decompress(&info);
  if (width < fullWidth) {
    auto left = static_cast<JDIMENSION>(window.left);
    auto cropped = static_cast<JDIMENSION>(width);
    jpeg_crop_scanline(&info, &left, &cropped);
    if (left != static_cast<JDIMENSION>(window.left) || cropped != info.output_width ||
        cropped != static_cast<JDIMENSION>(width)) {
      refusal = "the decoder cannot crop the picture's columns";
      return -2;
    }
  }
  if (window.top > 0) jpeg_skip_scanlines(&info, static_cast<JDIMENSION>(window.top));

  const bool gray = info.out_color_space == JCS_GRAYSCALE;
  const bool cmyk = info.out_color_space == JCS_CMYK;
  if (gray && (info.colormap == nullptr || info.actual_number_of_colors < 1)) {
    refusal = "no grey palette";
    return -2;
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
    int count = first < 0 ? std::min(RowBatch, -first) : std::min(RowBatch, picture.height - first);
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
    if (done <= 0) {
      refusal = "no rows decoded";
      return -2;
    }
    if (first < 0) continue;
    for (int i = 0; i < done; ++i) {
      std::uint8_t* target = targets[(first + i) % RowBatch];
      if (gray) ExpandGrayRow(target, width, info.colormap[0]);
      if (cmyk) CmykRowToBgr(cmykRows[i], width, target);
      sink.RowDone(first + i, target + left);
    }
  }
  // Every row needed is in. Whatever follows in the file (the rows below, up
  // to the end marker, or junk in its place) is not read.
  jpeg_abort_decompress(&info);
  sink.Finish();
  return 0;
}

// Decodes `input` and words the outcome.
DecodeResult Decode(const Input& input, RowSink& sink, const CancelCheck& cancel,
                    const DecodeAdmission& admit, const DecodeRegion& region) {
  DecodeResult result;
  // Asked once the header is read, so the result says what the file declared.
  const DecodeRegion recording = [&](int width, int height) {
    result.picture = {width, height};
    result.region = region ? region(width, height) : std::nullopt;
    return result.region;
  };
  try {
    Decompressor decoder;
    Progress progress{{}, &cancel, false, nullptr, false};
    ScanBudget budget;
    const char* refusal = nullptr;
    bool declined = false;
    const int code =
        RunDecoder(decoder, progress, input, budget, admit, recording, sink, refusal, declined);
    const ErrorManager& errors = decoder.Errors();
    if (code != 0) {
      result.status = DecodeStatus::Failed;
      if (progress.cancelled) {
        result.status = DecodeStatus::Cancelled;
        result.reason = "cancelled";
      } else if (declined) {
        result.status = DecodeStatus::Declined;
        result.reason = refusal;
      } else if (progress.overBudget) {
        result.reason = "the scans ask for more decoding work than the picture needs";
      } else if (input.file != nullptr && input.file->HeaderTooLong()) {
        result.reason = "no JPEG header at the start of the file";
      } else {
        if (errors.outOfMemory) result.status = DecodeStatus::OutOfMemory;
        result.reason = refusal != nullptr ? refusal : errors.message;
      }
    }
    result.warnings = errors.warnings;
    if (errors.warnings > 0) result.warning = errors.firstWarning;
  } catch (const std::bad_alloc&) {
    result.status = DecodeStatus::OutOfMemory;
    result.reason = std::strerror(ENOMEM);
  }
  return result;
}

DecodeResult Refused(std::string reason) {
  DecodeResult result;
  result.status = DecodeStatus::Failed;
  result.reason = std::move(reason);
  return result;
}

// The photo file at `path`, open for reading, with its size; a failure sets
// `reason`. O_NONBLOCK keeps a FIFO given as a photo from blocking the open.
FileDescriptor OpenPhoto(const std::string& path, std::uint64_t& size, std::string& reason) {
  FileDescriptor file(OpenLongPath(path, O_RDONLY | O_NONBLOCK));
  struct stat st {};
  if (!file || ::fstat(file.Get(), &st) != 0) {
    reason = std::strerror(errno);
    return FileDescriptor();
  }
  if (!S_ISREG(st.st_mode)) {
    reason = std::strerror(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    return FileDescriptor();
  }
  if (st.st_size == 0) {
    reason = "the file is empty";
    return FileDescriptor();
  }
  size = static_cast<std::uint64_t>(st.st_size);
  return file;
}

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

// StreamJpegFile, with the input's other settings.
DecodeResult DecodeFile(const std::string& path, RowSink& sink, const CancelCheck& cancel,
                        const DecodeAdmission& admit, const DecodeRegion& region,
                        Input input = {}) {
  std::string reason;
  const FileDescriptor file = OpenPhoto(path, input.size, reason);
  if (!file) return Refused(reason);
  // A large file that is not a photo is refused after a megabyte, not read
  // whole; the marker segments passed over (Exif, ICC and other application
  // data) have their own budget, as a valid ICC profile alone may be 16 MB.
  FileSource source(file.Get(), MaxHeaderOtherBytes, MaxMetadataSegmentBytes);
  input.file = &source;
  return Decode(input, sink, cancel, admit, region);
}

// The result of a decode into `bitmap`, whose memory is let go when it ran
// out: a failed Allocate can leave the bitmap without memory behind its size.
DecodeResult LettingGoOnFailure(Bitmap& bitmap, DecodeResult result) {
  if (result.status == DecodeStatus::OutOfMemory) bitmap.Release();
  return result;
}

}  // namespace

DecodeResult StreamJpegFile(const std::string& path, RowSink& sink, const CancelCheck& cancel,
                            const DecodeAdmission& admit, const DecodeRegion& region) {
  return DecodeFile(path, sink, cancel, admit, region);
}

DecodeResult StreamJpegMemory(std::span<const std::uint8_t> bytes, RowSink& sink,
                              const CancelCheck& cancel, const DecodeRegion& region) {
  if (bytes.empty()) return Refused("the file is empty");
  return Decode(Input{nullptr, bytes, bytes.size()}, sink, cancel, nullptr, region);
}

DecodeResult DecodeJpegFile(const std::string& path, Bitmap& bitmap, const CancelCheck& cancel,
                            const DecodeRegion& region) {
  BitmapSink sink(bitmap);
  return LettingGoOnFailure(bitmap, DecodeFile(path, sink, cancel, nullptr, region));
}

DecodeResult DecodeJpegMemory(std::span<const std::uint8_t> bytes, Bitmap& bitmap,
                              const CancelCheck& cancel, const DecodeRegion& region) {
  BitmapSink sink(bitmap);
  return LettingGoOnFailure(bitmap, StreamJpegMemory(bytes, sink, cancel, region));
}

DecodeResult DecodeJpegReduced(const std::string& path, Bitmap& bitmap, int longSide,
                               PixelSize& picture, const CancelCheck& cancel) {
  picture = {0, 0};
  Input input;
  input.reducedLongSide = std::max(longSide, 1);
  input.picture = &picture;
  BitmapSink sink(bitmap);
  return LettingGoOnFailure(bitmap, DecodeFile(path, sink, cancel, nullptr, nullptr, input));
}

std::uint64_t DecodeMemoryBudget() {
  return MaxBitmapBytes();
}

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

std::string FolderOfPath(const std::string& path) {
  const std::size_t last = path.rfind('/');
  if (last == std::string::npos) return std::string();
  const bool keep = last == 0 || path[last - 1] == '/';
  return path.substr(0, keep ? last + 1 : last);
}

DecodeResult LoadJpegFile(const std::string& path, Bitmap& bitmap, const CancelCheck& cancel,
                          const DecodeAdmission& admit, const DecodeRegion& region) {
  BitmapSink sink(bitmap);
  return LoadJpegFile(path, bitmap, sink, cancel, admit, region);
}

DecodeResult LoadJpegFile(const std::string& path, Bitmap& bitmap, RowSink& sink,
                          const CancelCheck& cancel, const DecodeAdmission& admit,
                          const DecodeRegion& region) {
  bitmap.SetSize(1, 1);
  DecodeResult result = LettingGoOnFailure(bitmap, DecodeFile(path, sink, cancel, admit, region));
  if (!result.Ok() && (bitmap.Width() < 1 || bitmap.Height() < 1)) bitmap.SetSize(1, 1);
  return result;
}

SaveResult SaveJpegFile(const Bitmap& bitmap, const std::string& path, int quality,
                        const JpegExtras& extras, bool replace) {
  // A path that cannot be a file's is not worth an encode.
  if (path.size() <= 2 || path.back() == '/') return SaveJpegBytes(std::nullopt, path, replace);
  return SaveJpegBytes(EncodeJpeg(bitmap, quality, extras), path, replace);
}

SaveResult SaveJpegBytes(const std::optional<std::vector<std::uint8_t>>& bytes,
                         const std::string& path, bool replace) {
  SaveResult result;
  if (path.size() <= 2) {
    result.status = SaveStatus::NoPath;
    return result;
  }
  result.folder = FolderOfPath(path);
  if (!bytes || path.back() == '/') {
    result.status = SaveStatus::WriteFailed;
    if (path.back() == '/') result.error = EISDIR;
    return result;
  }
  // A path without a folder part names a file in the current folder. The
  // folder is made only when it cannot be opened as it is.
  const std::string where = result.folder.empty() ? "." : result.folder;
  FileDescriptor folder(OpenLongPath(where, O_RDONLY | O_DIRECTORY));
  if (!folder) {
    if (!CreateFolders(result.folder)) {
      result.status = SaveStatus::FolderNotCreated;
      result.error = errno;
      return result;
    }
    folder = FileDescriptor(OpenLongPath(where, O_RDONLY | O_DIRECTORY));
  }
  if (!folder) {
    result.status = SaveStatus::WriteFailed;
    result.error = errno;
    return result;
  }
  const std::string name = path.substr(path.rfind('/') + 1);
  result.error =
      WriteFileReplacing(folder.Get(), name, *bytes, TemporaryFileKind::Unnamed, replace);
  if (result.error != 0) {
    result.status =
        result.error == EEXIST && !replace ? SaveStatus::Exists : SaveStatus::WriteFailed;
  }
  return result;
}

bool EndsWithEndOfImage(const std::string& path) {
  const FileDescriptor file(OpenLongPath(path, O_RDONLY | O_NONBLOCK));
  struct stat st {};
  if (!file || ::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 2) {
    return false;
  }
  std::uint8_t end[2] = {};
  return ::pread(file.Get(), end, sizeof end, st.st_size - 2) == 2 && end[0] == 0xFF &&
         end[1] == JPEG_EOI;
}

}  // namespace quorvale
