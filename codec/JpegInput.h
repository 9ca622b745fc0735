#pragma once

// The decoder's input side, kept apart from the codec's driver: where the
// bytes come from and how much work a file may ask for. Internal to the codec.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace quorvale {

// A libjpeg source that reads an open regular file in 64 KiB pieces, so a
// file is never held whole and a header is looked at before the rest is
// read. Until the header is read, every byte read is kept (the head, whose
// marker segments give the metadata), marker segments libjpeg skips (Exif,
// ICC …) included; at most `headerLimit` bytes other than skipped segments
// are read, and at most `metadataLimit` bytes of segments are skipped: a
// large file that is not a photo is refused after that much, one carrying a
// large ICC profile is not. The end of the file is met as libjpeg's own
// sources meet it: a warning, then an EOI marker. The progress monitor, if
// any, is called after every piece read.
class FileSource {
 public:
  FileSource(int fd, std::size_t headerLimit, std::size_t metadataLimit);
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  // Makes this the source of `info`; `info` must not outlive it.
  void Attach(j_decompress_ptr info);
  // The header has been read: from now on there is no limit, and nothing
  // more is kept.
  void HeaderDone() { headerLimit_ = 0; }
  // The bytes read up to HeaderDone, from the file's first: at least its
  // head up to the first scan. Once.
  std::vector<JOCTET> TakeHead() { return std::move(head_); }

  // Bytes taken from the file so far (read or skipped, not yet handed to
  // libjpeg excluded): after jpeg_read_header, the header's length.
  std::uint64_t Consumed() const;
  bool HeaderTooLong() const { return headerTooLong_; }

 private:
  static void Init(j_decompress_ptr info);
  static boolean Fill(j_decompress_ptr info);
  static void Skip(j_decompress_ptr info, long count);
  static void Term(j_decompress_ptr info);
  static FileSource& Of(j_decompress_ptr info);

  jpeg_source_mgr pub_{};  // first, so libjpeg's pointer is this object's
  int fd_;
  std::size_t headerLimit_;
  std::size_t metadataLimit_;
  std::size_t headerRead_ = 0;
  std::size_t metadataSkipped_ = 0;
  bool anyRead_ = false;
  bool atEnd_ = false;
  bool headerTooLong_ = false;
  std::vector<JOCTET> buffer_;
  std::vector<JOCTET> head_;
};

// What a warning of libjpeg says about the file.
enum class WarningKind {
  None,        // nothing about the picture's data (a JFIF revision, an ICC marker …)
  EndedEarly,  // the data stopped before the picture was complete
  Corrupt,     // bytes that cannot be what they claim; the library resynchronised
};
WarningKind KindOfWarning(int messageCode);

// The decoding work a file may ask for, in coefficient visits: each scan
// costs, for every block of every component in it, one unit per coefficient
// of its spectral band plus a fixed share for the block itself. A file may
// spend MaxPassesPerFile times a full sequential pass over all its blocks:
// real encoders spend one (sequential) to about four (progressive with
// successive approximation). A few megabytes of repeated scans could
// otherwise ask for minutes of decoding. A small picture may spend at least
// SmallPictureBudget, some milliseconds of work, on any scan layout the
// format allows (down to one coefficient and one bit per scan).
class ScanBudget {
 public:
  static constexpr std::uint64_t BlockShare = 8;
  static constexpr std::uint64_t MaxPassesPerFile = 8;
  static constexpr std::uint64_t SmallPictureBudget = std::uint64_t{1} << 24;

  ScanBudget() = default;
  // Call after jpeg_read_header: sizes the budget from the components.
  explicit ScanBudget(const jpeg_decompress_struct& info);
  // Call whenever libjpeg reports progress: charges a scan the first time
  // it is seen. False once the scans so far cost more than the budget.
  bool Charge(const jpeg_decompress_struct& info);

 private:
  std::uint64_t budget_ = 0;
  std::uint64_t spent_ = 0;
  int chargedScan_ = 0;
};

// Bytes libjpeg keeps for a whole-image coefficient buffer (progressive and
// other multi-scan files): 64 two-byte coefficients per block of every
// component. 0 for a single-scan file, which is decoded row by row.
std::uint64_t CoefficientBufferBytes(const jpeg_decompress_struct& info);

}  // namespace quorvale
