#include "codec/JpegMetadata.h"

#include <cstring>
#include <map>

#include "codec/Exif.h"

namespace quorvale {
namespace {

constexpr std::uint8_t MarkerSoi = 0xD8;
constexpr std::uint8_t MarkerEoi = 0xD9;
constexpr std::uint8_t MarkerSos = 0xDA;
constexpr std::uint8_t MarkerApp1 = 0xE1;
constexpr std::uint8_t MarkerApp2 = 0xE2;
constexpr std::uint8_t MarkerTem = 0x01;

constexpr char IccSignature[] = "ICC_PROFILE";  // its terminating zero is part of it
constexpr std::size_t IccSignatureBytes = sizeof IccSignature;
constexpr std::size_t IccChunkHeaderBytes = IccSignatureBytes + 2;

// Markers that stand alone, with no length after them.
bool IsStandalone(std::uint8_t marker) {
  return marker == MarkerTem || (marker >= 0xD0 && marker <= 0xD7);
}

// The ICC chunks met so far, by sequence number (1-based).
class IccChunks {
 public:
  void Add(std::span<const std::uint8_t> payload) {
    const std::uint8_t sequence = payload[IccSignatureBytes];
    const std::uint8_t count = payload[IccSignatureBytes + 1];
    if (sequence == 0 || sequence > count || (count_ != 0 && count != count_) ||
        chunks_.contains(sequence)) {
      broken_ = true;
      return;
    }
    count_ = count;
    chunks_[sequence] = payload.subspan(IccChunkHeaderBytes);
  }

  std::vector<std::uint8_t> Profile() const {
    std::vector<std::uint8_t> profile;
    if (broken_ || count_ == 0 || chunks_.size() != count_) return profile;
    for (const auto& [sequence, chunk] : chunks_)
      profile.insert(profile.end(), chunk.begin(), chunk.end());
    return profile;
  }

 private:
  std::map<std::uint8_t, std::span<const std::uint8_t>> chunks_;
  std::uint8_t count_ = 0;
  bool broken_ = false;
};

bool StartsWith(std::span<const std::uint8_t> bytes, const void* prefix, std::size_t length) {
  return bytes.size() >= length && std::memcmp(bytes.data(), prefix, length) == 0;
}

}  // namespace

std::string IccColourSpace(std::span<const std::uint8_t> profile) {
  constexpr std::size_t HeaderBytes = 128;
  constexpr std::size_t SpaceAt = 16;
  if (profile.size() < HeaderBytes) return std::string();
  return std::string(profile.begin() + SpaceAt, profile.begin() + SpaceAt + 4);
}

JpegMetadata ReadJpegMetadata(std::span<const std::uint8_t> head) {
  JpegMetadata metadata;
  IccChunks icc;
  if (head.size() < 2 || head[0] != 0xFF || head[1] != MarkerSoi) return metadata;
  std::size_t at = 2;
  while (true) {
    // A marker is 0xFF and a code; any number of 0xFF fill bytes may precede it.
    if (at >= head.size() || head[at] != 0xFF) break;
    while (at < head.size() && head[at] == 0xFF) ++at;
    if (at >= head.size()) break;
    const std::uint8_t marker = head[at++];
    if (marker == 0x00 || marker == MarkerSoi) break;
    if (marker == MarkerSos || marker == MarkerEoi) {
      metadata.complete = true;
      break;
    }
    if (IsStandalone(marker)) continue;
    if (head.size() - at < 2) break;
    const std::size_t length = head[at] << 8 | head[at + 1];
    if (length < 2 || head.size() - at < length) break;
    const std::span<const std::uint8_t> payload = head.subspan(at + 2, length - 2);
    at += length;
    if (marker == MarkerApp1 && metadata.exif.empty() && IsExifBlock(payload)) {
      metadata.exif.assign(payload.begin(), payload.end());
    } else if (marker == MarkerApp2 && payload.size() >= IccChunkHeaderBytes &&
               StartsWith(payload, IccSignature, IccSignatureBytes)) {
      icc.Add(payload);
    }
  }
  metadata.orientation = ExifOrientation(metadata.exif);
  if (metadata.complete) metadata.icc = icc.Profile();
  return metadata;
}

}  // namespace quorvale
