#include "codec/Exif.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace quorvale {
namespace {

constexpr std::uint8_t ExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
constexpr std::size_t ExifHeaderBytes = sizeof ExifHeader;
constexpr std::size_t TiffHeaderBytes = 8;
constexpr std::size_t EntryBytes = 12;

constexpr std::uint16_t TagOrientation = 0x0112;
constexpr std::uint16_t TagXResolution = 0x011A;
constexpr std::uint16_t TagYResolution = 0x011B;
constexpr std::uint16_t TagResolutionUnit = 0x0128;
constexpr std::uint16_t TagThumbnailOffset = 0x0201;
constexpr std::uint16_t TagThumbnailLength = 0x0202;
constexpr std::uint16_t TagExifIfd = 0x8769;
constexpr std::uint16_t TagGpsIfd = 0x8825;
constexpr std::uint16_t TagPixelXDimension = 0xA002;
constexpr std::uint16_t TagPixelYDimension = 0xA003;
constexpr std::uint16_t TagInteropIfd = 0xA005;

constexpr std::uint16_t TypeShort = 3;
constexpr std::uint16_t TypeLong = 4;
constexpr std::uint16_t TypeRational = 5;
constexpr std::uint16_t TypeIfd = 13;

constexpr std::uint16_t UnitInches = 2;

// Bytes of one value of a TIFF field type; 0 for a type TIFF does not know,
// whose entries readers skip.
std::uint64_t TypeBytes(std::uint16_t type) {
  switch (type) {
    case 1:
    case 2:
    case 6:
    case 7:
      return 1;  // BYTE, ASCII, SBYTE, UNDEFINED
    case 3:
    case 8:
      return 2;  // SHORT, SSHORT
    case 4:
    case 9:
    case 11:
    case 13:
      return 4;  // LONG, SLONG, FLOAT, IFD
    case 5:
    case 10:
    case 12:
      return 8;  // RATIONAL, SRATIONAL, DOUBLE
    default:
      return 0;
  }
}

// The TIFF structure of an Exif block, with reads and writes in its byte
// order. Every access is checked by the caller through Has().
class Tiff {
 public:
  static std::optional<Tiff> Open(std::span<const std::uint8_t> block) {
    if (!IsExifBlock(block)) return std::nullopt;
    Tiff tiff;
    tiff.bytes_.assign(block.begin() + ExifHeaderBytes, block.end());
    if (tiff.bytes_.size() < TiffHeaderBytes) return std::nullopt;
    if (tiff.bytes_[0] == 'I' && tiff.bytes_[1] == 'I') {
      tiff.little_ = true;
    } else if (tiff.bytes_[0] != 'M' || tiff.bytes_[1] != 'M') {
      return std::nullopt;
    }
    if (tiff.Get16(2) != 42) return std::nullopt;
    return tiff;
  }

  std::vector<std::uint8_t>& Bytes() { return bytes_; }
  std::size_t Size() const { return bytes_.size(); }
  bool Has(std::uint64_t offset, std::uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }

  std::uint16_t Get16(std::size_t at) const {
    const std::uint8_t* p = bytes_.data() + at;
    return little_ ? static_cast<std::uint16_t>(p[0] | p[1] << 8)
                   : static_cast<std::uint16_t>(p[0] << 8 | p[1]);
  }
  std::uint32_t Get32(std::size_t at) const {
    const std::uint32_t a = Get16(at);
    const std::uint32_t b = Get16(at + 2);
    return little_ ? (b << 16 | a) : (a << 16 | b);
  }
  void Put16(std::size_t at, std::uint16_t value) {
    std::uint8_t* p = bytes_.data() + at;
    p[little_ ? 0 : 1] = static_cast<std::uint8_t>(value);
    p[little_ ? 1 : 0] = static_cast<std::uint8_t>(value >> 8);
  }
  void Put32(std::size_t at, std::uint32_t value) {
    Put16(at + (little_ ? 0 : 2), static_cast<std::uint16_t>(value));
    Put16(at + (little_ ? 2 : 0), static_cast<std::uint16_t>(value >> 16));
  }

 private:
  std::vector<std::uint8_t> bytes_;
  bool little_ = false;
};

struct Entry {
  std::size_t at;  // offset of the entry's 12 bytes
  std::uint16_t tag;
  std::uint16_t type;
  std::uint32_t count;
};

struct Ifd {
  std::uint32_t offset = 0;
  std::vector<Entry> entries;
  std::optional<std::size_t> linkAt;  // offset of the next-IFD link, when the block holds it
};

struct Range {
  std::uint64_t begin;
  std::uint64_t end;
};

// The IFD at `offset`: its count and entries must lie inside the structure,
// past the TIFF header. A sub-IFD written as the block's last bytes
// sometimes lacks the 4-byte link, which is then left absent.
std::optional<Ifd> ReadIfd(const Tiff& tiff, std::uint32_t offset) {
  if (offset < TiffHeaderBytes || !tiff.Has(offset, 2)) return std::nullopt;
  const std::uint64_t count = tiff.Get16(offset);
  if (!tiff.Has(offset + std::uint64_t{2}, count * EntryBytes)) return std::nullopt;
  Ifd ifd;
  ifd.offset = offset;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::size_t at = offset + 2 + i * EntryBytes;
    ifd.entries.push_back({at, tiff.Get16(at), tiff.Get16(at + 2), tiff.Get32(at + 4)});
  }
  const std::uint64_t linkAt = offset + 2 + count * EntryBytes;
  if (tiff.Has(linkAt, 4)) ifd.linkAt = linkAt;
  return ifd;
}

const Entry* Find(const Ifd& ifd, std::uint16_t tag) {
  for (const Entry& entry : ifd.entries) {
    if (entry.tag == tag) return &entry;
  }
  return nullptr;
}

// The offset a pointer entry (to a sub-IFD or the thumbnail) holds; nullopt
// unless it is one LONG (or IFD) value.
std::optional<std::uint32_t> PointerValue(const Tiff& tiff, const Entry& entry) {
  if (entry.count != 1 || (entry.type != TypeLong && entry.type != TypeIfd)) return std::nullopt;
  return tiff.Get32(entry.at + 8);
}

// Adds the bytes the IFD occupies to `ranges`: its count, entries and link,
// and each value too long to sit in its entry. False when such a value runs
// past the structure.
bool CollectRanges(const Tiff& tiff, const Ifd& ifd, std::vector<Range>& ranges) {
  const std::uint64_t structureEnd =
      ifd.offset + 2 + ifd.entries.size() * EntryBytes + (ifd.linkAt ? 4 : 0);
  ranges.push_back({ifd.offset, structureEnd});
  for (const Entry& entry : ifd.entries) {
    const std::uint64_t bytes = TypeBytes(entry.type) * entry.count;
    if (bytes <= 4) continue;
    const std::uint64_t offset = tiff.Get32(entry.at + 8);
    if (!tiff.Has(offset, bytes)) return false;
    ranges.push_back({offset, offset + bytes});
  }
  return true;
}

// A readable sub-IFD behind `tag` of `parent`, with its ranges added; nullopt
// when there is no such tag. `ok` turns false when the tag is there but the
// sub-IFD or one of its values is not.
std::optional<Ifd> ReadSubIfd(const Tiff& tiff, const Ifd& parent, std::uint16_t tag,
                              std::vector<Range>& ranges, bool& ok) {
  const Entry* pointer = Find(parent, tag);
  if (pointer == nullptr) return std::nullopt;
  const std::optional<std::uint32_t> offset = PointerValue(tiff, *pointer);
  std::optional<Ifd> ifd = offset ? ReadIfd(tiff, *offset) : std::nullopt;
  if (!ifd || !CollectRanges(tiff, *ifd, ranges)) {
    ok = false;
    return std::nullopt;
  }
  return ifd;
}

std::uint64_t EndOf(const std::vector<Range>& ranges) {
  std::uint64_t end = TiffHeaderBytes;
  for (const Range& range : ranges) end = std::max(end, range.end);
  return end;
}

// Writes one value into an entry as SHORT when it fits and the entry was a
// SHORT, else as LONG; the value always sits inside the entry.
void SetSingleValue(Tiff& tiff, const Entry& entry, std::uint32_t value) {
  const bool asShort = entry.type == TypeShort && value <= 0xFFFF;
  tiff.Put16(entry.at + 2, asShort ? TypeShort : TypeLong);
  tiff.Put32(entry.at + 4, 1);
  if (asShort) {
    tiff.Put16(entry.at + 8, static_cast<std::uint16_t>(value));
    tiff.Put16(entry.at + 10, 0);
  } else {
    tiff.Put32(entry.at + 8, value);
  }
}

// A new entry of one value: a pointer (LONG), a dimension (SHORT when it
// fits, else LONG), or a RATIONAL whose 8 bytes are at offset `value`.
struct NewEntry {
  std::uint16_t tag;
  std::uint32_t value;
  bool pointer = false;
  bool rational = false;
};

// Appends `numerator`/1 at an even offset and returns that offset.
std::uint32_t AppendRational(Tiff& tiff, std::uint32_t numerator) {
  std::vector<std::uint8_t>& bytes = tiff.Bytes();
  if (bytes.size() % 2 != 0) bytes.push_back(0);
  const std::size_t offset = bytes.size();
  bytes.resize(offset + 8);
  tiff.Put32(offset, numerator);
  tiff.Put32(offset + 4, 1);
  return static_cast<std::uint32_t>(offset);
}

// Sets a RATIONAL entry of IFD0 to `value`/1: in place when it is one
// RATIONAL already (its value lies among the kept ranges), else pointed at
// new bytes at the end. Missing, it joins `missing`.
void SetResolution(Tiff& tiff, const Ifd& ifd0, std::uint16_t tag, std::uint32_t value,
                   std::vector<NewEntry>& missing) {
  const Entry* entry = Find(ifd0, tag);
  if (entry != nullptr && entry->type == TypeRational && entry->count == 1) {
    const std::uint32_t at = tiff.Get32(entry->at + 8);
    tiff.Put32(at, value);
    tiff.Put32(at + 4, 1);
    return;
  }
  const std::uint32_t at = AppendRational(tiff, value);
  if (entry == nullptr) {
    missing.push_back({tag, at, false, true});
    return;
  }
  tiff.Put16(entry->at + 2, TypeRational);
  tiff.Put32(entry->at + 4, 1);
  tiff.Put32(entry->at + 8, at);
}

// Appends, at an even offset, an IFD holding the 12 bytes of each entry of
// `old` (when given) and the new entries, ordered by tag as TIFF asks, with
// no next IFD. Values outside the entries keep their offsets. Returns the
// new IFD's offset.
std::uint32_t AppendIfd(Tiff& tiff, const Ifd* old, const std::vector<NewEntry>& added) {
  std::vector<std::array<std::uint8_t, EntryBytes>> entries;
  std::vector<std::uint16_t> tags;
  if (old != nullptr) {
    for (const Entry& entry : old->entries) {
      std::array<std::uint8_t, EntryBytes> raw;
      std::memcpy(raw.data(), tiff.Bytes().data() + entry.at, EntryBytes);
      entries.push_back(raw);
      tags.push_back(entry.tag);
    }
  }
  std::vector<std::uint8_t>& bytes = tiff.Bytes();
  if (bytes.size() % 2 != 0) bytes.push_back(0);
  const std::size_t offset = bytes.size();
  const std::size_t count = entries.size() + added.size();
  bytes.resize(offset + 2 + count * EntryBytes + 4, 0);
  tiff.Put16(offset, static_cast<std::uint16_t>(count));
  std::vector<std::size_t> order(count);
  for (std::size_t i = 0; i < count; ++i) order[i] = i;
  const auto tagOf = [&](std::size_t i) {
    return i < tags.size() ? tags[i] : added[i - tags.size()].tag;
  };
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return tagOf(a) < tagOf(b); });
  for (std::size_t slot = 0; slot < count; ++slot) {
    const std::size_t at = offset + 2 + slot * EntryBytes;
    const std::size_t i = order[slot];
    if (i < entries.size()) {
      std::memcpy(bytes.data() + at, entries[i].data(), EntryBytes);
      continue;
    }
    const NewEntry& entry = added[i - entries.size()];
    tiff.Put16(at, entry.tag);
    if (entry.rational) {
      tiff.Put16(at + 2, TypeRational);
      tiff.Put32(at + 4, 1);
      tiff.Put32(at + 8, entry.value);
      continue;
    }
    SetSingleValue(tiff, Entry{at, entry.tag, entry.pointer ? TypeLong : TypeShort, 1},
                   entry.value);
  }
  return static_cast<std::uint32_t>(offset);
}

// Unlinks IFD1 and, when `cutAllowed` and everything kept ends before IFD1,
// its values and its thumbnail begin, drops the bytes from there on.
void DropThumbnail(Tiff& tiff, const Ifd& ifd0, std::uint64_t keptEnd, bool cutAllowed) {
  if (!ifd0.linkAt) return;
  const std::uint32_t ifd1Offset = tiff.Get32(*ifd0.linkAt);
  tiff.Put32(*ifd0.linkAt, 0);
  if (ifd1Offset == 0 || !cutAllowed) return;
  const std::optional<Ifd> ifd1 = ReadIfd(tiff, ifd1Offset);
  std::vector<Range> ranges;
  if (!ifd1 || !CollectRanges(tiff, *ifd1, ranges)) return;
  const Entry* offsetEntry = Find(*ifd1, TagThumbnailOffset);
  const Entry* lengthEntry = Find(*ifd1, TagThumbnailLength);
  if (offsetEntry != nullptr && lengthEntry != nullptr) {
    const std::optional<std::uint32_t> offset = PointerValue(tiff, *offsetEntry);
    const std::optional<std::uint32_t> length = PointerValue(tiff, *lengthEntry);
    if (offset && length && tiff.Has(*offset, *length)) {
      ranges.push_back({*offset, std::uint64_t{*offset} + *length});
    }
  }
  std::uint64_t begin = std::numeric_limits<std::uint64_t>::max();
  for (const Range& range : ranges) begin = std::min(begin, range.begin);
  if (begin >= keptEnd && begin < tiff.Size()) tiff.Bytes().resize(begin);
}

}  // namespace

bool IsExifBlock(std::span<const std::uint8_t> block) {
  return block.size() >= ExifHeaderBytes &&
         std::equal(std::begin(ExifHeader), std::end(ExifHeader), block.begin());
}

int ExifOrientation(std::span<const std::uint8_t> block) {
  const std::optional<Tiff> tiff = Tiff::Open(block);
  if (!tiff) return 1;
  const std::optional<Ifd> ifd0 = ReadIfd(*tiff, tiff->Get32(4));
  if (!ifd0) return 1;
  const Entry* entry = Find(*ifd0, TagOrientation);
  if (entry == nullptr || entry->count != 1) return 1;
  std::uint32_t value = 0;
  if (entry->type == TypeShort) value = tiff->Get16(entry->at + 8);
  if (entry->type == TypeLong) value = tiff->Get32(entry->at + 8);
  return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
}

std::optional<std::vector<std::uint8_t>> RewriteExif(std::span<const std::uint8_t> block,
                                                     const ExifRewrite& rewrite) {
  std::optional<Tiff> tiff = Tiff::Open(block);
  if (!tiff) return std::nullopt;

  // What is kept must be sound: IFD0, the Exif sub-IFD and their values. A
  // broken GPS or interoperability IFD is passed on as it is, but then the
  // extent of what is kept is unknown and nothing is cut off.
  std::vector<Range> kept{{0, TiffHeaderBytes}};
  const std::optional<Ifd> ifd0 = ReadIfd(*tiff, tiff->Get32(4));
  if (!ifd0 || !CollectRanges(*tiff, *ifd0, kept)) return std::nullopt;
  bool exifOk = true;
  const std::optional<Ifd> exif = ReadSubIfd(*tiff, *ifd0, TagExifIfd, kept, exifOk);
  if (!exifOk) return std::nullopt;
  bool extentKnown = true;
  ReadSubIfd(*tiff, *ifd0, TagGpsIfd, kept, extentKnown);
  if (exif) ReadSubIfd(*tiff, *exif, TagInteropIfd, kept, extentKnown);

  if (const Entry* orientation = Find(*ifd0, TagOrientation);
      orientation != nullptr && rewrite.resetOrientation) {
    SetSingleValue(*tiff, Entry{orientation->at, TagOrientation, TypeShort, 1}, 1);
  }

  std::vector<NewEntry> missing;
  const NewEntry dimensions[] = {{TagPixelXDimension, rewrite.width},
                                 {TagPixelYDimension, rewrite.height}};
  for (const NewEntry& dimension : dimensions) {
    const Entry* entry = exif ? Find(*exif, dimension.tag) : nullptr;
    if (entry != nullptr) {
      SetSingleValue(*tiff, *entry, dimension.value);
    } else {
      missing.push_back(dimension);
    }
  }

  DropThumbnail(*tiff, *ifd0, EndOf(kept), extentKnown);

  // Entries IFD0 lacks go into one copy of it, appended after what the
  // thumbnail's cut left.
  std::vector<NewEntry> missingInIfd0;
  if (rewrite.dpi > 0) {
    SetResolution(*tiff, *ifd0, TagXResolution, rewrite.dpi, missingInIfd0);
    SetResolution(*tiff, *ifd0, TagYResolution, rewrite.dpi, missingInIfd0);
    if (const Entry* unit = Find(*ifd0, TagResolutionUnit)) {
      SetSingleValue(*tiff, Entry{unit->at, TagResolutionUnit, TypeShort, 1}, UnitInches);
    } else {
      missingInIfd0.push_back({TagResolutionUnit, UnitInches});
    }
  }
  if (!missing.empty() && exif) {
    const std::uint32_t moved = AppendIfd(*tiff, &*exif, missing);
    tiff->Put32(Find(*ifd0, TagExifIfd)->at + 8, moved);
  } else if (!missing.empty()) {
    missingInIfd0.push_back({TagExifIfd, AppendIfd(*tiff, nullptr, missing), true});
  }
  if (!missingInIfd0.empty()) tiff->Put32(4, AppendIfd(*tiff, &*ifd0, missingInIfd0));

  if (ExifHeaderBytes + tiff->Size() > MaxExifBlockBytes) return std::nullopt;
  std::vector<std::uint8_t> result(std::begin(ExifHeader), std::end(ExifHeader));
  result.insert(result.end(), tiff->Bytes().begin(), tiff->Bytes().end());
  return result;
}

}  // namespace quorvale
