#include "imaging/JpegFile.h"

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

#include "imaging/Exif.h"
#include "platform/FileSystem.h"

namespace quorvale {
namespace {

constexpr unsigned MaxSide = 65535;

// Huffman coding spends at least one bit on every 8 x 8 block of every
// component (its DC difference), which caps any Huffman-coded file at 1024
// pixels per byte (reached only by the most lopsided sampling layout). Flat
// pictures, the densest real ones, come to 64 (baseline colour) to about 250
// (progressive grey). So no complete file claims more, a file cut short still
// decodes while it keeps a byte per 1024 pixels (well under 1% of a camera
// photo), and a header claiming gigapixels from a few kilobytes is refused
// before the library or the bitmap reserves memory. Only arithmetic coding
// packs flat pictures tighter, and IJG libjpeg before release 7 could not
// read that at all.
constexpr std::uint64_t MaxPixelsPerFileByte = 1024;

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
};

ErrorManager& ErrorsOf(j_common_ptr info) {
  return *reinterpret_cast<ErrorManager*>(info->err);
}

void ErrorExit(j_common_ptr info) {
  ErrorManager& errors = ErrorsOf(info);
  (*info->err->format_message)(info, errors.message);
  std::longjmp(errors.jump, 1);
}

// Warnings (premature end of data, corrupt bytes) are not failures and the
// library must not print them; they are counted, and the first one kept, so
// that a damaged photo can be named. Trace messages (level > 0) are dropped.
void CountWarning(j_common_ptr info, int level) {
  if (level != -1) return;
  ErrorManager& errors = ErrorsOf(info);
  if (errors.warnings++ == 0) (*info->err->format_message)(info, errors.firstWarning);
}
void IgnoreOutput(j_common_ptr) {}

// A progressive file may hold any number of scans, each one a pass over the
// whole picture; a hostile file with thousands of tiny scans would take
// minutes to decode. Real encoders write about ten; the limit is generous.
constexpr int MaxProgressiveScans = 500;

// The decoder's progress monitor, called as rows and scans are worked
// through: it also asks whether to give up.
struct Progress {
  jpeg_progress_mgr pub;
  const CancelCheck* cancel;
  bool cancelled;
};

void MonitorProgress(j_common_ptr common) {
  const auto* info = reinterpret_cast<j_decompress_ptr>(common);
  if (info->progressive_mode && info->input_scan_number > MaxProgressiveScans) {
    ERREXIT(common, JERR_BAD_SCAN_SCRIPT);
  }
  auto* progress = reinterpret_cast<Progress*>(common->progress);
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

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int Get() const { return fd_; }
  // Gives up ownership without closing.
  void Release() { fd_ = -1; }
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes now, for a caller that needs close's verdict.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// The whole of a regular file; nullopt, with errno set, when it cannot be
// opened or read. O_NONBLOCK keeps a FIFO given as a photo from blocking
// the open.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) {
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.Get() < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(file.Get(), &st) != 0) return std::nullopt;
  if (!S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size));
  std::size_t filled = 0;
  while (filled < bytes.size()) {
    const ssize_t n = ::read(file.Get(), bytes.data() + filled, bytes.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    filled += static_cast<std::size_t>(n);
  }
  bytes.resize(filled);
  return bytes;
}

bool PlausibleHeader(const jpeg_decompress_struct& info, std::size_t fileBytes) {
  const std::uint64_t width = info.image_width;
  const std::uint64_t height = info.image_height;
  if (width == 0 || height == 0 || width > MaxSide || height > MaxSide) return false;
  const std::uint64_t pixels = width * height;
  return pixels <= static_cast<std::uint64_t>(fileBytes) * MaxPixelsPerFileByte &&
         pixels <= MaxPixels && pixels * 3 <= MaxBitmapBytes();
}

bool ConfigureDecoder(jpeg_decompress_struct& info) {
  info.scale_num = 1;
  info.scale_denom = 1;
  info.dct_method = JDCT_FLOAT;
  info.do_fancy_upsampling = TRUE;
  info.do_block_smoothing = TRUE;
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

// Drives the decoder under its setjmp. Nothing here has a destructor, so the
// longjmp from libjpeg skips no cleanup; the Decompressor outside owns it.
// Bitmap::Allocate may throw std::bad_alloc, which unwinds normally.
// A refusal of ours that libjpeg has no message for leaves `refusal` set.
int RunDecoder(Decompressor& decoder, Progress& progress, const std::vector<std::uint8_t>& file,
               Bitmap& bitmap, const char*& refusal) {
  jpeg_decompress_struct& info = decoder.Info();
  if (setjmp(decoder.Jump()) != 0) return -2;

  jpeg_create_decompress(&info);
  progress.pub.progress_monitor = MonitorProgress;
  info.progress = &progress.pub;
  jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    refusal = "no picture in the file";
    return -2;
  }
  if (!PlausibleHeader(info, file.size())) {
    refusal = "the picture is larger than the file or the memory can hold";
    return -2;
  }
  if (!ConfigureDecoder(info)) {
    refusal = "unsupported colour space";
    return -2;
  }
  jpeg_calc_output_dimensions(&info);

  const int width = static_cast<int>(info.output_width);
  const int height = static_cast<int>(info.output_height);
  bitmap.Allocate(width, height);
  jpeg_start_decompress(&info);

  const bool gray = info.out_color_space == JCS_GRAYSCALE;
  const bool cmyk = info.out_color_space == JCS_CMYK;
  if (gray && (info.colormap == nullptr || info.actual_number_of_colors < 1)) {
    refusal = "no grey palette";
    return -2;
  }
  JSAMPARRAY cmykRows =
      cmyk ? (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                       info.output_width * 4, RowBatch)
           : nullptr;

  JSAMPROW rows[RowBatch];
  while (info.output_scanline < info.output_height) {
    const int first = static_cast<int>(info.output_scanline);
    const int count = std::min(RowBatch, height - first);
    for (int i = 0; i < count; ++i) rows[i] = cmyk ? cmykRows[i] : bitmap.Row(first + i);
    const int done =
        static_cast<int>(jpeg_read_scanlines(&info, rows, static_cast<JDIMENSION>(count)));
    if (done <= 0) {
      refusal = "no rows decoded";
      return -2;
    }
    for (int i = 0; i < done; ++i) {
      if (gray) ExpandGrayRow(bitmap.Row(first + i), width, info.colormap[0]);
      if (cmyk) CmykRowToBgr(cmykRows[i], width, bitmap.Row(first + i));
    }
  }
  jpeg_finish_decompress(&info);
  return 0;
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

// Where the last single-byte separator (or drive colon) of a path is, and
// whether the character just before it is one too.
struct LastSeparator {
  std::size_t index = std::string::npos;
  bool followsSeparator = false;
};

LastSeparator FindLastSeparator(const std::string& path, const PathSyntax& syntax) {
  LastSeparator found;
  // '/' is never the second byte of a double-byte character, so it needs no
  // walk over the lead bytes.
  if (!syntax.driveColon && static_cast<unsigned char>(syntax.separator) < 0x40) {
    const std::size_t index = path.rfind(syntax.separator);
    if (index != std::string::npos) {
      found = {index, index > 0 && path[index - 1] == syntax.separator};
    }
    return found;
  }
  ForEachSingleByte(path, syntax.leadBytes, [&](std::size_t i, unsigned char byte) {
    if (byte == static_cast<unsigned char>(syntax.separator) ||
        (syntax.driveColon && byte == ':')) {
      // Only a separator right before this one, not a two-byte character.
      const bool follows = found.index != std::string::npos && found.index + 1 == i;
      found = {i, follows};
    }
    return true;
  });
  return found;
}

// A hidden name no photo has in `folder` (which ends in a separator, or is
// empty for the current one), unique per process and call; O_EXCL settles
// any clash.
std::string TemporaryName(const std::string& folder, int attempt) {
  static unsigned serial = 0;
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  char name[80];
  std::snprintf(name, sizeof name, ".quorvale-%ld-%u-%d-%llx.tmp", static_cast<long>(::getpid()),
                ++serial, attempt, static_cast<unsigned long long>(ticks) & 0xFFFFFFFFFFull);
  return folder + name;
}

// A temporary file that is removed unless Commit renamed it into place.
// Each failing call leaves errno set.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile() {
    if (!name_.empty()) ::unlink(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Created with mode 0666 so that the umask and the folder's default ACL
  // shape it exactly as they would a plainly created file.
  bool Create(const std::string& folder) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = TemporaryName(folder, attempt);
      file_.Reset(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
      if (file_.Get() >= 0) {
        name_ = std::move(name);
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }

  bool Write(const std::vector<std::uint8_t>& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
      const ssize_t n = ::write(file_.Get(), bytes.data() + written, bytes.size() - written);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return false;
      if (n == 0) {
        errno = ENOSPC;
        return false;
      }
      written += static_cast<std::size_t>(n);
    }
    return true;
  }

  int Descriptor() const { return file_.Get(); }

  // Closes the file (a late write error shows here) and renames it over `target`.
  bool Commit(const std::string& target) {
    if (!file_.Close()) return false;
    if (::rename(name_.c_str(), target.c_str()) != 0) return false;
    name_.clear();
    return true;
  }

 private:
  std::string name_;
  FileDescriptor file_;
};

// Writes `bytes` to the file `path`, whose folder part is `folder`, through
// a temporary file in that folder, so the target is either the old file or
// the complete new one. An existing target keeps its permission bits, as
// when it is emptied and rewritten, and the new data reaches the disk before
// it replaces the old. A target that is a folder, or a file nobody may write
// (rename alone would replace it, and root ignores permission bits), is
// refused. 0, or the errno of the failure.
int WriteReplacing(const std::string& path, const std::string& folder,
                   const std::vector<std::uint8_t>& bytes) {
  struct stat st {};
  bool exists = false;
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode)) return EINVAL;
    if ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0) return EACCES;
    exists = true;
  } else if (errno != ENOENT) {
    return errno;
  }

  TemporaryFile temporary;
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + '/';
  if (!temporary.Create(prefix) || !temporary.Write(bytes)) {
    return errno;
  }
  if (exists && (::fchmod(temporary.Descriptor(), st.st_mode & 0777) != 0 ||
                 ::fsync(temporary.Descriptor()) != 0)) {
    return errno;
  }
  return temporary.Commit(path) ? 0 : errno;
}

}  // namespace

DecodeResult DecodeJpegFile(const std::string& path, Bitmap& bitmap, const CancelCheck& cancel) {
  DecodeResult result;
  try {
    const std::optional<std::vector<std::uint8_t>> file = ReadWholeFile(path);
    if (!file || file->empty()) {
      result.code = -2;
      result.reason = file ? "the file is empty" : std::strerror(errno);
      return result;
    }
    Decompressor decoder;
    Progress progress{{}, &cancel, false};
    const char* refusal = nullptr;
    result.code = RunDecoder(decoder, progress, *file, bitmap, refusal);
    const ErrorManager& errors = decoder.Errors();
    result.cancelled = progress.cancelled;
    if (result.code != 0) {
      result.reason = progress.cancelled ? "cancelled" : refusal ? refusal : errors.message;
    }
    result.warnings = errors.warnings;
    if (errors.warnings > 0) result.warning = errors.firstWarning;
  } catch (const std::bad_alloc&) {
    // A failed Allocate can leave the bitmap without memory behind its size.
    bitmap.Release();
    result.code = -2;
    result.reason = std::strerror(ENOMEM);
  }
  return result;
}

std::optional<PixelSize> ReadJpegSize(const std::string& path) {
  FileDescriptor descriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (descriptor.Get() < 0) return std::nullopt;
  std::FILE* file = ::fdopen(descriptor.Get(), "rb");
  if (file == nullptr) return std::nullopt;
  descriptor.Release();
  const auto close = [](std::FILE* f) { std::fclose(f); };
  std::unique_ptr<std::FILE, decltype(close)> owner(file, close);
  Decompressor decoder;
  jpeg_decompress_struct& info = decoder.Info();
  if (setjmp(decoder.Jump()) != 0) return std::nullopt;
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return std::nullopt;
  return PixelSize{static_cast<std::int32_t>(info.image_width),
                   static_cast<std::int32_t>(info.image_height)};
}

std::uint64_t DecodeMemoryBudget() {
  return MaxBitmapBytes();
}

std::optional<std::vector<std::uint8_t>> EncodeJpeg(const Bitmap& bitmap, int quality) {
  return EncodeJpeg(bitmap, quality, JpegExtras{});
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

std::string FolderOfPath(const std::string& path, const PathSyntax& syntax) {
  const LastSeparator last = FindLastSeparator(path, syntax);
  if (last.index == std::string::npos) return std::string();
  const bool keep =
      path[last.index] != syntax.separator || last.index == 0 || last.followsSeparator;
  return path.substr(0, keep ? last.index + 1 : last.index);
}

DecodeResult LoadJpegFile(const std::string& path, Bitmap& bitmap, const CancelCheck& cancel) {
  bitmap.SetSize(1, 1);
  DecodeResult result = DecodeJpegFile(path, bitmap, cancel);
  if (result.code != 0 && (bitmap.Width() < 1 || bitmap.Height() < 1)) bitmap.SetSize(1, 1);
  return result;
}

SaveResult SaveJpegFile(const Bitmap& bitmap, const std::string& path, int quality,
                        const JpegExtras& extras) {
  SaveResult result;
  if (path.size() <= 2) {
    result.code = -1;
    return result;
  }
  result.folder = FolderOfPath(path, PathSyntax::Native());
  const std::optional<std::vector<std::uint8_t>> bytes =
      path.back() == '/' ? std::nullopt : EncodeJpeg(bitmap, quality, extras);
  if (!bytes) {
    result.code = -4;
    if (path.back() == '/') result.error = EISDIR;
    return result;
  }
  // A path without a folder part names a file in the current folder, which
  // exists.
  if (!result.folder.empty() && !CreateFolders(result.folder)) {
    result.code = -2;
    result.error = errno;
    return result;
  }
  result.error = WriteReplacing(path, result.folder, *bytes);
  if (result.error != 0) result.code = -4;
  return result;
}

}  // namespace quorvale
