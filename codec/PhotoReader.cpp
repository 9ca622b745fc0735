#include "codec/PhotoReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "codec/HeifReader.h"
#include "codec/JpegReader.h"
#include "codec/PhotoBytes.h"
#include "codec/PngReader.h"
#include "platform/FileDescriptor.h"

namespace quorvale {
namespace {

OpenedPhoto Refused(std::string reason) {
  OpenedPhoto opened;
  opened.failure.status = DecodeStatus::Failed;
  opened.failure.reason = std::move(reason);
  return opened;
}

// The kind of the file's first bytes, read at offset 0 without moving the
// file's position (the JPEG reader reads from there).
enum class Signature { Jpeg, Png, Heif };

Signature SignatureOf(const FileDescriptor& file) {
  std::uint8_t head[64];
  ssize_t got;
  do {
    got = ::pread(file.Get(), head, sizeof head, 0);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) return Signature::Jpeg;
  const std::span<const std::uint8_t> bytes(head, static_cast<std::size_t>(got));
  if (IsPngSignature(bytes)) return Signature::Png;
  if (IsHeifSignature(bytes)) return Signature::Heif;
  return Signature::Jpeg;
}

}  // namespace

DecodeResult PhotoReader::DecodePreview(Bitmap& bitmap, int /*longSide*/,
                                        const CancelCheck& cancel) {
  return DecodeToBitmap(*this, bitmap, std::nullopt, cancel);
}

OpenedPhoto OpenPhotoFile(const std::string& path, const CancelCheck& cancel, PhotoKinds kinds) {
  // O_NONBLOCK keeps a FIFO given as a photo from blocking the open.
  FileDescriptor file(OpenLongPath(path, O_RDONLY | O_NONBLOCK));
  struct stat st {};
  if (!file || ::fstat(file.Get(), &st) != 0) return Refused(std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return Refused(std::strerror(S_ISDIR(st.st_mode) ? EISDIR : EINVAL));
  if (st.st_size == 0) return Refused("the file is empty");
  const FileStamp stamp = StampOf(st);
  const Signature kind = kinds == PhotoKinds::All ? SignatureOf(file) : Signature::Jpeg;
  OpenedPhoto opened;
  switch (kind) {
    case Signature::Png:
      opened = OpenPngBytes(PhotoBytes::FromFile(std::move(file), stamp));
      break;
    case Signature::Heif:
      opened = OpenHeifBytes(PhotoBytes::FromFile(std::move(file), stamp));
      break;
    case Signature::Jpeg:
      opened = OpenJpegFile(std::move(file), stamp, cancel);
      break;
  }
  opened.file = stamp;
  return opened;
}

DecodeResult DecodeToBitmap(PhotoReader& reader, Bitmap& bitmap, RowSink& sink,
                            const std::optional<PixelRect>& region, const CancelCheck& cancel,
                            const DecodeAdmission& admit) {
  bitmap.SetSize(1, 1);
  const DecodeResult result = reader.Decode(sink, region, cancel, admit);
  // A failed allocation can leave the bitmap without memory behind its size.
  if (result.status == DecodeStatus::OutOfMemory) bitmap.Release();
  if (!result.Ok() && (bitmap.Width() < 1 || bitmap.Height() < 1)) bitmap.SetSize(1, 1);
  return result;
}

DecodeResult DecodeToBitmap(PhotoReader& reader, Bitmap& bitmap,
                            const std::optional<PixelRect>& region, const CancelCheck& cancel,
                            const DecodeAdmission& admit) {
  BitmapSink sink(bitmap);
  return DecodeToBitmap(reader, bitmap, sink, region, cancel, admit);
}

DecodeResult LoadPhotoFile(const std::string& path, Bitmap& bitmap, const CancelCheck& cancel) {
  OpenedPhoto opened = OpenPhotoFile(path, cancel);
  if (!opened.reader) return opened.failure;
  return DecodeToBitmap(*opened.reader, bitmap, std::nullopt, cancel);
}

}  // namespace quorvale
