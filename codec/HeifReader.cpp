#include "codec/HeifReader.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <vector>

#include "codec/Colour.h"
#include "codec/DecodeLimits.h"
#include "codec/Exif.h"
#include "codec/PhotoBytes.h"

namespace quorvale {
namespace {

// Bounds on what libheif is given to parse; a photo's metadata comes to a
// few kilobytes (a 48 MP phone photo has about 200 tiles and a dozen other
// items), a large ICC profile to a few megabytes.
constexpr std::uint64_t MaxMetaBytes = std::uint64_t{32} << 20;
constexpr std::size_t MaxItems = 4096;
constexpr int MaxDerivationDepth = 3;
constexpr int MaxTopLevelBoxes = 64;
// libheif refuses a side at or above its limit.
constexpr int HeifSideLimit = MaxJpegSide + 1;
// A photo's Exif comes to some kilobytes; a larger block is not read.
constexpr std::size_t MaxExifBytes = std::size_t{1} << 20;
constexpr int CancelEvery = 16;

constexpr std::uint32_t FourCc(const char (&text)[5]) {
  return std::uint32_t{static_cast<std::uint8_t>(text[0])} << 24 |
         std::uint32_t{static_cast<std::uint8_t>(text[1])} << 16 |
         std::uint32_t{static_cast<std::uint8_t>(text[2])} << 8 |
         std::uint32_t{static_cast<std::uint8_t>(text[3])};
}

std::uint32_t Big32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
std::uint64_t Big64(const std::uint8_t* p) {
  return std::uint64_t{Big32(p)} << 32 | Big32(p + 4);
}

// One box inside a buffer: its type and payload.
struct Box {
  std::uint32_t type;
  std::span<const std::uint8_t> payload;
};

// The boxes that fill `bytes`, in order; nullopt when one runs past the end.
std::optional<std::vector<Box>> Boxes(std::span<const std::uint8_t> bytes) {
  std::vector<Box> boxes;
  while (!bytes.empty()) {
    if (bytes.size() < 8) return std::nullopt;
    std::uint64_t size = Big32(bytes.data());
    std::size_t header = 8;
    if (size == 1) {
      if (bytes.size() < 16) return std::nullopt;
      size = Big64(bytes.data() + 8);
      header = 16;
    } else if (size == 0) {
      size = bytes.size();
    }
    if (size < header || size > bytes.size()) return std::nullopt;
    boxes.push_back({Big32(bytes.data() + 4), bytes.subspan(header, size - header)});
    bytes = bytes.subspan(size);
  }
  return boxes;
}

// A byte reader over a box's payload that stops at its end.
struct Cursor {
  std::span<const std::uint8_t> bytes;
  bool ok = true;
  std::uint32_t Read(int width) {
    if (!ok || bytes.size() < static_cast<std::size_t>(width)) {
      ok = false;
      return 0;
    }
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i) value = value << 8 | bytes[i];
    bytes = bytes.subspan(width);
    return value;
  }
};

bool IsDerived(std::uint32_t type) {
  return type == FourCc("grid") || type == FourCc("iovl") || type == FourCc("iden");
}

// What the walk of the item graph found: -1 for a circle.
int DerivationDepth(std::uint32_t item,
                    const std::map<std::uint32_t, std::vector<std::uint32_t>>& inputs,
                    std::map<std::uint32_t, int>& depths) {
  const auto known = depths.find(item);
  if (known != depths.end()) return known->second;  // 0 while on the walk: a circle
  depths[item] = 0;
  int depth = 1;
  const auto found = inputs.find(item);
  if (found != inputs.end()) {
    for (const std::uint32_t input : found->second) {
      const int below = DerivationDepth(input, inputs, depths);
      if (below <= 0) return depths[item] = -1;
      depth = std::max(depth, below + 1);
      if (depth > MaxDerivationDepth) return depths[item] = depth;
    }
  }
  return depths[item] = depth;
}

// Where an item's data lies: in the file, or in the metadata's idat box.
struct ItemPlace {
  bool inIdat = false;
  std::uint64_t offset = 0;
  std::uint64_t length = 0;  // 0: to the end
};

// The first extent of each item in the iloc box; nullopt when malformed.
std::optional<std::map<std::uint32_t, ItemPlace>> ItemPlaces(std::span<const std::uint8_t> iloc) {
  Cursor cursor{iloc};
  const std::uint32_t version = cursor.Read(1);
  cursor.Read(3);
  const std::uint32_t sizes = cursor.Read(2);
  const int offsetSize = static_cast<int>(sizes >> 12);
  const int lengthSize = static_cast<int>(sizes >> 8 & 15);
  const int baseSize = static_cast<int>(sizes >> 4 & 15);
  const int indexSize = version >= 1 ? static_cast<int>(sizes & 15) : 0;
  const std::uint32_t count = cursor.Read(version < 2 ? 2 : 4);
  const auto sized = [](int size) { return size == 0 || size == 4 || size == 8; };
  if (!cursor.ok || !sized(offsetSize) || !sized(lengthSize) || !sized(baseSize) ||
      !sized(indexSize) || count > MaxItems) {
    return std::nullopt;
  }
  const auto read = [&](int size) {
    return size == 8 ? std::uint64_t{cursor.Read(4)} << 32 | cursor.Read(4) : cursor.Read(size);
  };
  std::map<std::uint32_t, ItemPlace> places;
  for (std::uint32_t i = 0; i < count && cursor.ok; ++i) {
    const std::uint32_t id = cursor.Read(version < 2 ? 2 : 4);
    const std::uint32_t method = version >= 1 ? cursor.Read(2) & 15 : 0;
    cursor.Read(2);
    const std::uint64_t base = read(baseSize);
    const std::uint32_t extents = cursor.Read(2);
    for (std::uint32_t e = 0; e < extents && cursor.ok; ++e) {
      read(indexSize);
      const std::uint64_t offset = read(offsetSize);
      const std::uint64_t length = read(lengthSize);
      if (e == 0) places[id] = {method == 1, base + offset, length};
    }
  }
  if (!cursor.ok) return std::nullopt;
  return places;
}

// The canvas a grid or an overlay declares in its data, which libheif
// allocates whole: width x height, or nullopt when the data is not there.
std::optional<std::pair<std::uint32_t, std::uint32_t>> CanvasOf(
    std::uint32_t type, std::span<const std::uint8_t> data) {
  Cursor cursor{data};
  cursor.Read(1);
  const int fieldBytes = (cursor.Read(1) & 1) != 0 ? 4 : 2;
  if (type == FourCc("grid")) {
    cursor.Read(2);  // rows and columns, less one
  } else {
    for (int i = 0; i < 4; ++i) cursor.Read(2);  // the canvas fill values
  }
  const std::uint32_t width = cursor.Read(fieldBytes);
  const std::uint32_t height = cursor.Read(fieldBytes);
  if (!cursor.ok) return std::nullopt;
  return std::pair(width, height);
}

std::string CheckCanvases(const std::map<std::uint32_t, std::uint32_t>& items,
                          std::span<const std::uint8_t> iloc, std::span<const std::uint8_t> idat,
                          const PhotoBytes& bytes, std::uint64_t& canvasPixels) {
  std::optional<std::map<std::uint32_t, ItemPlace>> places;
  for (const auto& [id, type] : items) {
    if (type != FourCc("grid") && type != FourCc("iovl")) continue;
    if (!places) places = ItemPlaces(iloc);
    if (!places) return "the file's item locations are malformed";
    const auto place = places->find(id);
    if (place == places->end()) continue;  // libheif refuses an item without data
    std::uint8_t data[24] = {};
    std::size_t got = 0;
    const ItemPlace& p = place->second;
    const std::size_t wanted = static_cast<std::size_t>(
        p.length == 0 ? sizeof data : std::min<std::uint64_t>(p.length, sizeof data));
    if (p.inIdat) {
      if (p.offset < idat.size()) {
        got = std::min<std::size_t>(wanted, idat.size() - static_cast<std::size_t>(p.offset));
        std::memcpy(data, idat.data() + p.offset, got);
      }
    } else {
      const std::int64_t read = bytes.ReadAt(p.offset, data, wanted);
      got = read > 0 ? static_cast<std::size_t>(read) : 0;
    }
    const auto canvas = CanvasOf(type, std::span<const std::uint8_t>(data, got));
    if (!canvas) continue;  // libheif refuses such data
    const auto [width, height] = *canvas;
    const std::uint64_t pixels = std::uint64_t{width} * height;
    if (width > MaxJpegSide || height > MaxJpegSide || pixels > MaxPhotoPixels) {
      return "the picture is larger than the decoder allows";
    }
    canvasPixels = std::max(canvasPixels, pixels);
  }
  return {};
}

// Reads the bits of an HEVC parameter set, its emulation prevention bytes
// (00 00 03) taken out.
class BitReader {
 public:
  explicit BitReader(std::span<const std::uint8_t> nal) {
    int zeros = 0;
    for (const std::uint8_t byte : nal) {
      if (zeros >= 2 && byte == 3) {
        zeros = 0;
        continue;
      }
      zeros = byte == 0 ? zeros + 1 : 0;
      bytes_.push_back(byte);
    }
  }
  bool ok() const { return ok_; }
  std::uint32_t Bits(int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
      if (position_ >= bytes_.size() * 8) {
        ok_ = false;
        return 0;
      }
      value = value << 1 | (bytes_[position_ / 8] >> (7 - position_ % 8) & 1);
      ++position_;
    }
    return value;
  }
  std::uint64_t Golomb() {
    int zeros = 0;
    while (ok_ && Bits(1) == 0) {
      if (++zeros > 32) ok_ = false;
    }
    return ok_ ? (std::uint64_t{1} << zeros) - 1 + Bits(zeros) : 0;
  }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
  bool ok_ = true;
};

// The picture size a sequence parameter set declares, which the HEVC
// decoder allocates whatever the item's ispe says; nullopt when it cannot
// be read (the decoder then refuses it).
std::optional<std::uint64_t> SequencePixels(std::span<const std::uint8_t> nal,
                                            std::uint64_t& widest) {
  BitReader bits(nal);
  bits.Bits(16 + 4);  // the NAL unit header, the video parameter set's id
  const int subLayers = static_cast<int>(bits.Bits(3));
  bits.Bits(1 + 88 + 8);  // the general profile, tier and level
  bool profile[8] = {};
  bool level[8] = {};
  for (int i = 0; i < subLayers; ++i) {
    profile[i] = bits.Bits(1) != 0;
    level[i] = bits.Bits(1) != 0;
  }
  if (subLayers > 0) bits.Bits(2 * (8 - subLayers));
  for (int i = 0; i < subLayers; ++i) bits.Bits((profile[i] ? 88 : 0) + (level[i] ? 8 : 0));
  bits.Golomb();
  if (bits.Golomb() == 3) bits.Bits(1);  // 4:4:4 with its planes apart
  const std::uint64_t width = bits.Golomb();
  const std::uint64_t height = bits.Golomb();
  if (!bits.ok()) return std::nullopt;
  widest = std::max(width, height);
  return width * height;
}

// The refusal of HEVC configurations (hvcC) whose parameter sets declare a
// picture larger than a photo may be; `codedPixels` is the largest.
std::string CheckCodedSizes(const std::vector<Box>& children, std::uint64_t& codedPixels) {
  for (const Box& box : children) {
    if (box.type != FourCc("iprp")) continue;
    const auto properties = Boxes(box.payload);
    for (const Box& container : properties.value_or(std::vector<Box>{})) {
      if (container.type != FourCc("ipco")) continue;
      for (const Box& property : Boxes(container.payload).value_or(std::vector<Box>{})) {
        if (property.type != FourCc("hvcC") || property.payload.size() < 23) continue;
        Cursor cursor{property.payload.subspan(22)};
        const std::uint32_t arrays = cursor.Read(1);
        for (std::uint32_t a = 0; a < arrays && cursor.ok; ++a) {
          const std::uint32_t type = cursor.Read(1) & 63;
          const std::uint32_t units = cursor.Read(2);
          for (std::uint32_t u = 0; u < units && cursor.ok; ++u) {
            const std::uint32_t length = cursor.Read(2);
            if (!cursor.ok || cursor.bytes.size() < length) break;
            const auto nal = cursor.bytes.first(length);
            cursor.bytes = cursor.bytes.subspan(length);
            constexpr std::uint32_t SequenceParameterSet = 33;
            if (type != SequenceParameterSet) continue;
            std::uint64_t widest = 0;
            const std::optional<std::uint64_t> pixels = SequencePixels(nal, widest);
            if (!pixels) continue;
            if (widest > MaxJpegSide || *pixels > MaxPhotoPixels) {
              return "the picture is larger than the decoder allows";
            }
            codedPixels = std::max(codedPixels, *pixels);
          }
        }
      }
    }
  }
  return {};
}

// The refusal of a metadata box whose items or references are more than a
// photo needs, or whose grids, overlays or coded pictures declare a canvas
// larger than a photo may be; empty when it is plausible, with
// `canvasPixels` the largest such canvas. What libheif then parses is bounded by what this walk
// admits.
std::string CheckItems(std::span<const std::uint8_t> meta, const PhotoBytes& bytes,
                       std::uint64_t& canvasPixels) {
  if (meta.size() < 4) return "the file's metadata box is malformed";
  const auto children = Boxes(meta.subspan(4));
  if (!children) return "the file's metadata box is malformed";
  std::map<std::uint32_t, std::uint32_t> items;  // id to type (0 when unknown)
  std::span<const std::uint8_t> iref;
  std::span<const std::uint8_t> iloc;
  std::span<const std::uint8_t> idat;
  for (const Box& box : *children) {
    if (box.type == FourCc("iref")) iref = box.payload;
    if (box.type == FourCc("iloc")) iloc = box.payload;
    if (box.type == FourCc("idat")) idat = box.payload;
    if (box.type != FourCc("iinf")) continue;
    Cursor cursor{box.payload};
    const std::uint32_t version = cursor.Read(1);
    cursor.Read(3);
    const std::uint32_t declared = cursor.Read(version == 0 ? 2 : 4);
    if (!cursor.ok) return "the file's item list is malformed";
    if (declared > MaxItems) return "the file declares more items than a photo has";
    const auto entries = Boxes(cursor.bytes);
    if (!entries || entries->size() > MaxItems) return "the file's item list is malformed";
    for (const Box& entry : *entries) {
      if (entry.type != FourCc("infe")) continue;
      Cursor info{entry.payload};
      const std::uint32_t entryVersion = info.Read(1);
      info.Read(3);
      const std::uint32_t id = info.Read(entryVersion >= 3 ? 4 : 2);
      info.Read(2);
      const std::uint32_t type = entryVersion >= 2 ? info.Read(4) : 0;
      if (!info.ok) return "the file's item list is malformed";
      items[id] = type;
    }
  }
  std::string refusal = CheckCanvases(items, iloc, idat, bytes, canvasPixels);
  if (refusal.empty()) refusal = CheckCodedSizes(*children, canvasPixels);
  if (!refusal.empty() || iref.empty()) return refusal;
  Cursor cursor{iref};
  const int idBytes = cursor.Read(1) == 0 ? 2 : 4;
  cursor.Read(3);
  const auto references = Boxes(cursor.bytes);
  if (!cursor.ok || !references) return "the file's item references are malformed";
  std::set<std::pair<std::uint32_t, std::uint32_t>> lists;  // (type, from)
  std::map<std::uint32_t, std::vector<std::uint32_t>> inputs;
  const std::size_t allowed = 2 * items.size() + 64;
  std::size_t total = 0;
  for (const Box& reference : *references) {
    Cursor list{reference.payload};
    const std::uint32_t from = list.Read(idBytes);
    const std::uint32_t count = list.Read(2);
    if (!list.ok || list.bytes.size() < std::size_t{count} * idBytes) {
      return "the file's item references are malformed";
    }
    total += count;
    if (total > allowed) return "the file has more item references than a photo needs";
    if (!items.contains(from) || !lists.insert({reference.type, from}).second) {
      return "the file's item references are malformed";
    }
    std::set<std::uint32_t> named;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t to = list.Read(idBytes);
      if (!items.contains(to) || to == from || !named.insert(to).second) {
        return "the file's item references name an item twice, itself or one not declared";
      }
      if (reference.type == FourCc("dimg") && IsDerived(items[from])) inputs[from].push_back(to);
    }
  }
  std::map<std::uint32_t, int> depths;
  for (const auto& [item, unused] : inputs) {
    const int depth = DerivationDepth(item, inputs, depths);
    if (depth < 0 || depth > MaxDerivationDepth) {
      return "the file's derived pictures are built on one another too deep or in a circle";
    }
  }
  return {};
}

// Walks the top-level boxes to the metadata box and checks it.
std::string CheckBoxes(const PhotoBytes& bytes, std::uint64_t& canvasPixels) {
  std::uint64_t offset = 0;
  for (int i = 0; i < MaxTopLevelBoxes && offset < bytes.Size(); ++i) {
    std::uint8_t header[16];
    const std::int64_t got = bytes.ReadAt(offset, header, sizeof header);
    if (got < 8) return got < 0 ? std::strerror(errno) : "the file ends early";
    const std::uint32_t type = Big32(header + 4);
    if (i == 0 && type != FourCc("ftyp")) return "not a HEIF file";
    std::uint64_t size = Big32(header);
    std::uint64_t headerBytes = 8;
    if (size == 1) {
      if (got < 16) return "the file ends early";
      size = Big64(header + 8);
      headerBytes = 16;
    } else if (size == 0) {
      size = bytes.Size() - offset;
    }
    if (size < headerBytes || size > bytes.Size() - offset) return "the file ends early";
    if (type == FourCc("meta")) {
      if (size - headerBytes > MaxMetaBytes) return "the file's metadata box is too large";
      std::vector<std::uint8_t> meta(size - headerBytes);
      if (bytes.ReadAt(offset + headerBytes, meta.data(), meta.size()) !=
          static_cast<std::int64_t>(meta.size())) {
        return "the file ends early";
      }
      return CheckItems(meta, bytes, canvasPixels);
    }
    offset += size;
  }
  return "the file has no metadata box";
}

// libheif reads the file through these, from the bytes opened once.
struct ReaderState {
  const PhotoBytes* bytes;
  std::uint64_t position;
};

std::int64_t Position(void* user) {
  return static_cast<std::int64_t>(static_cast<ReaderState*>(user)->position);
}

int Read(void* data, std::size_t size, void* user) {
  auto& state = *static_cast<ReaderState*>(user);
  if (state.bytes->ReadAt(state.position, data, size) != static_cast<std::int64_t>(size)) return 1;
  state.position += size;
  return 0;
}

int Seek(std::int64_t position, void* user) {
  auto& state = *static_cast<ReaderState*>(user);
  if (position < 0 || static_cast<std::uint64_t>(position) > state.bytes->Size()) return 1;
  state.position = static_cast<std::uint64_t>(position);
  return 0;
}

heif_reader_grow_status WaitForSize(std::int64_t target, void* user) {
  const auto& state = *static_cast<ReaderState*>(user);
  return target >= 0 && static_cast<std::uint64_t>(target) <= state.bytes->Size()
             ? heif_reader_grow_status_size_reached
             : heif_reader_grow_status_size_beyond_eof;
}

const heif_reader FileReader{1, Position, Read, Seek, WaitForSize};

struct ContextFreer {
  void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleReleaser {
  void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageReleaser {
  void operator()(heif_image* image) const { heif_image_release(image); }
};
struct OptionsFreer {
  void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};
struct NclxFreer {
  void operator()(heif_color_profile_nclx* nclx) const { heif_nclx_color_profile_free(nclx); }
};

DecodeStatus StatusOf(const heif_error& error) {
  return error.code == heif_error_Memory_allocation_error ? DecodeStatus::OutOfMemory
                                                          : DecodeStatus::Failed;
}

void InitialiseLibheif() {
  static std::once_flag once;
  std::call_once(once, [] { heif_init(nullptr); });
}

// The Exif block in a HEIF item: a 4-byte offset to the TIFF header, then
// whatever precedes it (often "Exif\0\0"), then the TIFF structure.
std::vector<std::uint8_t> ExifOf(heif_image_handle* handle) {
  heif_item_id id = 0;
  if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1) return {};
  const std::size_t size = heif_image_handle_get_metadata_size(handle, id);
  if (size < 4 || size > MaxExifBytes) return {};
  std::vector<std::uint8_t> item(size);
  if (heif_image_handle_get_metadata(handle, id, item.data()).code != heif_error_Ok) return {};
  std::uint64_t start = 4 + std::uint64_t{Big32(item.data())};
  static constexpr std::uint8_t Prefix[] = {'E', 'x', 'i', 'f', 0, 0};
  if (start + sizeof Prefix <= size &&
      std::equal(std::begin(Prefix), std::end(Prefix),
                 item.begin() + static_cast<std::ptrdiff_t>(start))) {
    start += sizeof Prefix;
  }
  if (start >= size) return {};
  std::vector<std::uint8_t> block(std::begin(Prefix), std::end(Prefix));
  block.insert(block.end(), item.begin() + static_cast<std::ptrdiff_t>(start), item.end());
  return block;
}

// The profile of the primary image: its own ICC, or one for its nclx
// description; empty for sRGB or none.
std::vector<std::uint8_t> ProfileOf(heif_image_handle* handle) {
  const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
  if (type == heif_color_profile_type_rICC || type == heif_color_profile_type_prof) {
    std::vector<std::uint8_t> icc(heif_image_handle_get_raw_color_profile_size(handle));
    if (!icc.empty() &&
        heif_image_handle_get_raw_color_profile(handle, icc.data()).code == heif_error_Ok) {
      return icc;
    }
    return {};
  }
  heif_color_profile_nclx* raw = nullptr;
  const heif_error error = heif_image_handle_get_nclx_color_profile(handle, &raw);
  // libheif may hand out a description it found invalid along with its error.
  const std::unique_ptr<heif_color_profile_nclx, NclxFreer> nclx(raw);
  if (error.code != heif_error_Ok || !nclx) return {};
  const bool srgbPrimaries = nclx->color_primaries == heif_color_primaries_ITU_R_BT_709_5 ||
                             nclx->color_primaries == heif_color_primaries_unspecified;
  const bool srgbTransfer =
      nclx->transfer_characteristics == heif_transfer_characteristic_IEC_61966_2_1 ||
      nclx->transfer_characteristics == heif_transfer_characteristic_unspecified;
  if (srgbPrimaries && srgbTransfer) return {};
  const int transfer = nclx->transfer_characteristics == heif_transfer_characteristic_unspecified
                           ? 13
                           : static_cast<int>(nclx->transfer_characteristics);
  const ColourDescription description{{nclx->color_primary_red_x, nclx->color_primary_red_y},
                                      {nclx->color_primary_green_x, nclx->color_primary_green_y},
                                      {nclx->color_primary_blue_x, nclx->color_primary_blue_y},
                                      {nclx->color_primary_white_x, nclx->color_primary_white_y},
                                      transfer};
  return ProfileFor(description).value_or(std::vector<std::uint8_t>{});
}

class HeifReader final : public PhotoReader {
 public:
  HeifReader(PhotoBytes bytes, int tileThreads)
      : bytes_(std::move(bytes)), state_{&bytes_, 0}, tileThreads_(tileThreads) {}

  const PhotoHeader& Header() const override { return header_; }

  DecodeResult ReadHeader();

  DecodeResult Decode(RowSink& sink, const std::optional<PixelRect>& region,
                      const CancelCheck& cancel, const DecodeAdmission& admit) override;

 private:
  DecodeResult DecodeRows(RowSink& sink, const PixelRect& picture, const CancelCheck& cancel,
                          const DecodeAdmission& admit);

  PhotoBytes bytes_;
  ReaderState state_;
  int tileThreads_;
  std::unique_ptr<heif_context, ContextFreer> context_;
  std::unique_ptr<heif_image_handle, HandleReleaser> handle_;
  PhotoHeader header_;
  bool alpha_ = false;
  std::uint64_t libraryBytes_ = 0;  // libheif's own buffers for the decode
  bool used_ = false;
};

DecodeResult HeifReader::ReadHeader() {
  std::uint64_t canvasPixels = 0;
  std::string refusal = CheckBoxes(bytes_, canvasPixels);
  if (!refusal.empty()) return Failure(DecodeStatus::Failed, std::move(refusal));
  InitialiseLibheif();
  context_.reset(heif_context_alloc());
  if (!context_) return Failure(DecodeStatus::OutOfMemory, std::strerror(ENOMEM));
  heif_context_set_maximum_image_size_limit(context_.get(), HeifSideLimit);
  heif_context_set_max_decoding_threads(context_.get(), std::max(tileThreads_, 0));
  heif_error error = heif_context_read_from_reader(context_.get(), &FileReader, &state_, nullptr);
  if (error.code != heif_error_Ok) return Failure(StatusOf(error), error.message);
  heif_image_handle* handle = nullptr;
  error = heif_context_get_primary_image_handle(context_.get(), &handle);
  if (error.code != heif_error_Ok) return Failure(StatusOf(error), error.message);
  handle_.reset(handle);

  const int width = heif_image_handle_get_width(handle);
  const int height = heif_image_handle_get_height(handle);
  if (width < 1 || height < 1) return Failure(DecodeStatus::Failed, "the picture has no pixels");
  // The decode works at the coded size, before a rotation or a crop, on
  // the canvas of a grid or overlay (which its alpha may share).
  const std::uint64_t codedPixels = std::max<std::uint64_t>(
      {std::uint64_t(std::max(heif_image_handle_get_ispe_width(handle), 0)) *
           std::uint64_t(std::max(heif_image_handle_get_ispe_height(handle), 0)),
       std::uint64_t(width) * std::uint64_t(height), canvasPixels});
  alpha_ = heif_image_handle_has_alpha_channel(handle) != 0;
  const std::uint64_t sampleBytes = heif_image_handle_get_luma_bits_per_pixel(handle) > 8 ? 2 : 1;
  libraryBytes_ = codedPixels * ((alpha_ ? 4 : 3) * sampleBytes + 2 * (alpha_ ? 4 : 3));
  if (width > MaxJpegSide || height > MaxJpegSide || codedPixels > MaxPhotoPixels ||
      libraryBytes_ > DecodeMemoryBudget()) {
    return Failure(DecodeStatus::Failed, "the picture is larger than the decoder allows");
  }
  header_.size = {width, height};
  header_.components = 3;
  header_.orientation = 1;
  header_.exif = ExifOf(handle);
  if (!header_.exif.empty() && ExifOrientation(header_.exif) != 1) {
    ExifRewrite upright;
    upright.resetOrientation = true;
    upright.width = static_cast<std::uint32_t>(width);
    upright.height = static_cast<std::uint32_t>(height);
    header_.exif = RewriteExif(header_.exif, upright).value_or(std::vector<std::uint8_t>{});
  }
  header_.icc = ProfileOf(handle);
  header_.file = bytes_.Stamp();
  return {};
}

DecodeResult HeifReader::Decode(RowSink& sink, const std::optional<PixelRect>& region,
                                const CancelCheck& cancel, const DecodeAdmission& admit) {
  return DecodeOnce(used_, header_.size, region, [&](const PixelRect& picture) {
    return DecodeRows(sink, picture, cancel, admit);
  });
}

DecodeResult HeifReader::DecodeRows(RowSink& sink, const PixelRect& picture,
                                    const CancelCheck& cancel, const DecodeAdmission& admit) {
  const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 3;
  if (admit && !admit(sink.Charge(picture.width, picture.height, rowBytes) + libraryBytes_)) {
    return Failure(DecodeStatus::Declined, "not admitted");
  }
  if (cancel && cancel()) return Failure(DecodeStatus::Cancelled, "cancelled");
  const std::unique_ptr<heif_decoding_options, OptionsFreer> options(heif_decoding_options_alloc());
  if (!options) return Failure(DecodeStatus::OutOfMemory, std::strerror(ENOMEM));
  if (options->version >= 2) options->convert_hdr_to_8bit = 1;
  heif_image* decoded = nullptr;
  const heif_error error = heif_decode_image(
      handle_.get(), &decoded, heif_colorspace_RGB,
      alpha_ ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
  const std::unique_ptr<heif_image, ImageReleaser> image(decoded);
  if (error.code != heif_error_Ok) return Failure(StatusOf(error), error.message);
  if (cancel && cancel()) return Failure(DecodeStatus::Cancelled, "cancelled");
  int stride = 0;
  const std::uint8_t* plane =
      heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  if (plane == nullptr ||
      heif_image_get_width(image.get(), heif_channel_interleaved) != header_.size.width ||
      heif_image_get_height(image.get(), heif_channel_interleaved) != header_.size.height ||
      heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) != 8) {
    return Failure(DecodeStatus::Failed, "the decoded picture differs from its description");
  }
  const int channels = alpha_ ? 4 : 3;
  sink.Start(picture.width, picture.height, rowBytes);
  for (int y = 0; y < picture.height; ++y) {
    if (y % CancelEvery == 0 && y > 0 && cancel && cancel()) {
      return Failure(DecodeStatus::Cancelled, "cancelled");
    }
    if (!sink.Wants(y)) continue;
    std::uint8_t* target = sink.RowFor(y);
    RowToBgr(plane + static_cast<std::ptrdiff_t>(stride) * (picture.top + y) +
                 static_cast<std::ptrdiff_t>(picture.left) * channels,
             channels, true, picture.width, target);
    sink.RowDone(y, target);
  }
  sink.Finish();
  return {};
}

OpenedPhoto Open(PhotoBytes bytes, int tileThreads) {
  OpenedPhoto opened;
  try {
    auto reader = std::make_unique<HeifReader>(std::move(bytes), tileThreads);
    opened.failure = reader->ReadHeader();
    if (opened.failure.Ok()) opened.reader = std::move(reader);
  } catch (const std::bad_alloc&) {
    opened.failure = Failure(DecodeStatus::OutOfMemory, std::strerror(ENOMEM));
  }
  return opened;
}

}  // namespace

bool IsHeifSignature(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 12 || Big32(bytes.data() + 4) != FourCc("ftyp")) return false;
  static constexpr std::uint32_t Brands[] = {
      FourCc("heic"), FourCc("heix"), FourCc("heim"), FourCc("heis"), FourCc("hevc"),
      FourCc("hevx"), FourCc("mif1"), FourCc("msf1"), FourCc("avif"), FourCc("avis")};
  const std::size_t end =
      std::min<std::size_t>(bytes.size(), Big32(bytes.data())) & ~std::size_t{3};
  for (std::size_t at = 8; at + 4 <= end; at += at == 8 ? 8 : 4) {
    if (std::find(std::begin(Brands), std::end(Brands), Big32(bytes.data() + at)) !=
        std::end(Brands)) {
      return true;
    }
  }
  return false;
}


OpenedPhoto OpenHeifBytes(PhotoBytes bytes, int tileThreads) {
  return Open(std::move(bytes), tileThreads);
}

OpenedPhoto OpenHeifMemory(std::span<const std::uint8_t> bytes, int tileThreads) {
  return Open(PhotoBytes::InMemory(bytes), tileThreads);
}

}  // namespace quorvale
