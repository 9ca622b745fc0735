#include "codec/JpegInput.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include <jerror.h>

namespace quorvale {
namespace {

constexpr std::size_t PieceBytes = 64 * 1024;

const JOCTET FakeEoi[] = {0xFF, JPEG_EOI};

std::uint64_t BlocksOf(const jpeg_component_info& component) {
  return std::uint64_t{component.width_in_blocks} * component.height_in_blocks;
}

// The 8 x 8 blocks of all the picture's components.
std::uint64_t BlocksOfPicture(const jpeg_decompress_struct& info) {
  std::uint64_t blocks = 0;
  for (int c = 0; c < info.num_components; ++c) blocks += BlocksOf(info.comp_info[c]);
  return blocks;
}

}  // namespace

FileSource::FileSource(int fd, std::size_t headerLimit, std::size_t metadataLimit)
    : fd_(fd), headerLimit_(headerLimit), metadataLimit_(metadataLimit), buffer_(PieceBytes) {
  pub_.init_source = Init;
  pub_.fill_input_buffer = Fill;
  pub_.skip_input_data = Skip;
  pub_.resync_to_restart = jpeg_resync_to_restart;
  pub_.term_source = Term;
}

void FileSource::Attach(j_decompress_ptr info) {
  info->src = &pub_;
}

FileSource& FileSource::Of(j_decompress_ptr info) {
  return *reinterpret_cast<FileSource*>(info->src);
}

void FileSource::Init(j_decompress_ptr) {}
void FileSource::Term(j_decompress_ptr) {}

boolean FileSource::Fill(j_decompress_ptr info) {
  FileSource& source = Of(info);
  ssize_t n;
  do {
    n = ::read(source.fd_, source.buffer_.data(), source.buffer_.size());
  } while (n < 0 && errno == EINTR);
  if (n < 0) ERREXIT(info, JERR_FILE_READ);
  if (n == 0) {
    if (!source.anyRead_) ERREXIT(info, JERR_INPUT_EMPTY);
    source.atEnd_ = true;
    // The library asks again after an EOI it was handed; the warning is
    // given once per request, as libjpeg's own sources do.
    WARNMS(info, JWRN_JPEG_EOF);
    source.pub_.next_input_byte = FakeEoi;
    source.pub_.bytes_in_buffer = sizeof FakeEoi;
    return TRUE;
  }
  source.anyRead_ = true;
  if (source.headerLimit_ != 0) {
    // Skipped segments read through are charged to their own budget.
    source.headerRead_ += static_cast<std::size_t>(n);
    if (source.headerRead_ > source.headerLimit_ + source.metadataSkipped_) {
      source.headerTooLong_ = true;
      ERREXIT(info, JERR_NO_SOI);
    }
    source.head_.insert(source.head_.end(), source.buffer_.data(), source.buffer_.data() + n);
  }
  source.pub_.next_input_byte = source.buffer_.data();
  source.pub_.bytes_in_buffer = static_cast<std::size_t>(n);
  // libjpeg reports progress by rows and scans only; a long stretch of junk
  // between markers is read without either, so the monitor (and through it
  // a cancel) is asked for every piece too.
  if (info->progress != nullptr)
    (*info->progress->progress_monitor)(reinterpret_cast<j_common_ptr>(info));
  return TRUE;
}

void FileSource::Skip(j_decompress_ptr info, long count) {
  if (count <= 0) return;
  FileSource& source = Of(info);
  const auto wanted = static_cast<std::size_t>(count);
  // Before the header is complete, libjpeg skips only APPn and COM
  // segments. They are charged to their own budget, and read through rather
  // than passed over, as the head keeps them.
  if (source.headerLimit_ != 0) {
    source.metadataSkipped_ += wanted;
    if (source.metadataSkipped_ > source.metadataLimit_) {
      source.headerTooLong_ = true;
      ERREXIT(info, JERR_NO_SOI);
    }
    std::size_t left = wanted;
    while (left > source.pub_.bytes_in_buffer) {
      left -= source.pub_.bytes_in_buffer;
      source.pub_.bytes_in_buffer = 0;
      Fill(info);
      // The rest lies past the end: the EOI put in its place follows.
      if (source.atEnd_) return;
    }
    source.pub_.next_input_byte += left;
    source.pub_.bytes_in_buffer -= left;
    return;
  }
  if (wanted <= source.pub_.bytes_in_buffer) {
    source.pub_.next_input_byte += wanted;
    source.pub_.bytes_in_buffer -= wanted;
    return;
  }
  // Past the end of the file the next read finds nothing: the EOF path.
  const off_t beyond = static_cast<off_t>(wanted - source.pub_.bytes_in_buffer);
  source.pub_.bytes_in_buffer = 0;
  if (::lseek(source.fd_, beyond, SEEK_CUR) < 0) ERREXIT(info, JERR_FILE_READ);
}

std::uint64_t FileSource::Consumed() const {
  const off_t position = ::lseek(fd_, 0, SEEK_CUR);
  if (position < 0) return 0;
  const auto at = static_cast<std::uint64_t>(position);
  return at > pub_.bytes_in_buffer ? at - pub_.bytes_in_buffer : 0;
}

WarningKind KindOfWarning(int messageCode) {
  switch (messageCode) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
      return WarningKind::EndedEarly;
    case JWRN_ARITH_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
      return WarningKind::Corrupt;
    default:
      return WarningKind::None;
  }
}

ScanBudget::ScanBudget(const jpeg_decompress_struct& info) {
  budget_ = std::max(BlocksOfPicture(info) * (DCTSIZE2 + BlockShare) * MaxPassesPerFile,
                     SmallPictureBudget);
}

bool ScanBudget::Charge(const jpeg_decompress_struct& info) {
  if (info.input_scan_number != chargedScan_ && info.comps_in_scan > 0) {
    chargedScan_ = info.input_scan_number;
    // A sequential scan codes every coefficient: Ss and Se are not its own.
    const int first = info.progressive_mode ? info.Ss : 0;
    const int last = info.progressive_mode ? info.Se : DCTSIZE2 - 1;
    const std::uint64_t perBlock = static_cast<std::uint64_t>(last - first + 1) + BlockShare;
    for (int i = 0; i < info.comps_in_scan; ++i) {
      spent_ += BlocksOf(*info.cur_comp_info[i]) * perBlock;
    }
  }
  return spent_ <= budget_;
}

std::uint64_t CoefficientBufferBytes(const jpeg_decompress_struct& info) {
  if (!jpeg_has_multiple_scans(const_cast<j_decompress_ptr>(&info))) return 0;
  return BlocksOfPicture(info) * DCTSIZE2 * sizeof(JCOEF);
}

}  // namespace quorvale
