#include "codec/Exif.h"

#include <algorithm>
#include <utility>

namespace quorvale {
namespace {

constexpr std::uint8_t ExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
constexpr std::size_t ExifHeaderBytes = sizeof ExifHeader;
constexpr std::size_t TiffHeaderBytes = 8;
constexpr std::size_t EntryBytes = 12;
constexpr std::size_t InlineBytes = 4;

constexpr std::uint16_t TagOrientation = 0x0112;
constexpr std::uint16_t TagXResolution = 0x011A;
constexpr std::uint16_t TagYResolution = 0x011B;
constexpr std::uint16_t TagResolutionUnit = 0x0128;
constexpr std::uint16_t TagExifIfd = 0x8769;
constexpr std::uint16_t TagGpsIfd = 0x8825;
constexpr std::uint16_t TagPixelXDimension = 0xA002;
constexpr std::uint16_t TagPixelYDimension = 0xA003;
constexpr std::uint16_t TagInteropIfd = 0xA005;
constexpr std::uint16_t TagDateTimeOriginal = 0x9003;

constexpr std::uint16_t TypeAscii = 2;
constexpr std::uint16_t TypeShort = 3;
constexpr std::uint16_t TypeLong = 4;
constexpr std::uint16_t TypeRational = 5;
constexpr std::uint16_t TypeIfd = 13;

constexpr std::uint16_t UnitInches = 2;

// The most bytes the written TIFF structure may take.
constexpr std::uint64_t MaxTiffBytes = MaxExifBlockBytes - ExifHeaderBytes;

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

// Tags whose values locate parts of the old layout (sub-IFDs, strips, tiles,
// the thumbnail) or give the sizes of such parts. They would be wrong in a
// fresh layout, so they are never copied; the sub-IFDs that are kept get
// new pointers when written.
bool IsLayoutTag(std::uint16_t tag) {
  switch (tag) {
    case 0x0111:  // StripOffsets
    case 0x0117:  // StripByteCounts
    case 0x0144:  // TileOffsets
    case 0x0145:  // TileByteCounts
    case 0x014A:  // SubIFDs
    case 0x0201:  // JPEGInterchangeFormat
    case 0x0202:  // JPEGInterchangeFormatLength
    case TagExifIfd:
    case TagGpsIfd:
    case TagInteropIfd:
      return true;
    default:
      return false;
  }
}

std::uint16_t Decode16(const std::uint8_t* p, bool little) {
  return little ? static_cast<std::uint16_t>(p[0] | p[1] << 8)
                : static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

std::uint32_t Decode32(const std::uint8_t* p, bool little) {
  const std::uint32_t a = Decode16(p, little);
  const std::uint32_t b = Decode16(p + 2, little);
  return little ? (b << 16 | a) : (a << 16 | b);
}

void Encode16(std::uint8_t* p, std::uint16_t value, bool little) {
  p[little ? 0 : 1] = static_cast<std::uint8_t>(value);
  p[little ? 1 : 0] = static_cast<std::uint8_t>(value >> 8);
}

void Encode32(std::uint8_t* p, std::uint32_t value, bool little) {
  Encode16(p + (little ? 0 : 2), static_cast<std::uint16_t>(value), little);
  Encode16(p + (little ? 2 : 0), static_cast<std::uint16_t>(value >> 16), little);
}

// One entry with its value bytes copied out, in the block's byte order.
struct Field {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  std::vector<std::uint8_t> value;
};

// Fields ordered by tag, each tag once.
using Directory = std::vector<Field>;

struct Range {
  std::uint64_t begin;
  std::uint64_t end;
};

// The TIFF structure of an Exif block, read with every access checked.
class Tiff {
 public:
  static std::optional<Tiff> Open(std::span<const std::uint8_t> block) {
    if (!IsExifBlock(block)) return std::nullopt;
    Tiff tiff;
    tiff.bytes_ = block.subspan(ExifHeaderBytes);
    if (tiff.bytes_.size() < TiffHeaderBytes) return std::nullopt;
    if (tiff.bytes_[0] == 'I' && tiff.bytes_[1] == 'I') {
      tiff.little_ = true;
    } else if (tiff.bytes_[0] != 'M' || tiff.bytes_[1] != 'M') {
      return std::nullopt;
    }
    if (tiff.Get16(2) != 42) return std::nullopt;
    return tiff;
  }

  bool Little() const { return little_; }
  bool Has(std::uint64_t offset, std::uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  std::uint16_t Get16(std::size_t at) const { return Decode16(bytes_.data() + at, little_); }
  std::uint32_t Get32(std::size_t at) const { return Decode32(bytes_.data() + at, little_); }
  std::span<const std::uint8_t> Bytes(std::size_t at, std::size_t length) const {
    return bytes_.subspan(at, length);
  }

 private:
  std::span<const std::uint8_t> bytes_;
  bool little_ = false;
};

// The entry table of the IFD at `offset` (count, entries and, when the block
// holds it, the 4-byte link), or nullopt when it starts inside the TIFF
// header or its entries run past the structure.
std::optional<Range> IfdTable(const Tiff& tiff, std::uint64_t offset) {
  if (offset < TiffHeaderBytes || !tiff.Has(offset, 2)) return std::nullopt;
  const std::uint64_t entriesEnd = offset + 2 + tiff.Get16(offset) * EntryBytes;
  if (!tiff.Has(offset, entriesEnd - offset)) return std::nullopt;
  return Range{offset, tiff.Has(entriesEnd, 4) ? entriesEnd + 4 : entriesEnd};
}

// Reads the IFDs of a block into directories, refusing what cannot be read
// safely. Values may lie anywhere inside the structure, even over an entry
// table, as they are only copied; entry tables must not overlap.
class ModelReader {
 public:
  explicit ModelReader(const Tiff& tiff) : tiff_(tiff) {}

  std::optional<Directory> Read(std::uint64_t offset) {
    const std::optional<Range> table = IfdTable(tiff_, offset);
    if (!table) return std::nullopt;
    for (const Range& other : tables_) {
      if (table->begin < other.end && other.begin < table->end) return std::nullopt;
    }
    tables_.push_back(*table);
    const std::size_t count = tiff_.Get16(offset);
    if (!Charge(2 + count * EntryBytes + 4)) return std::nullopt;
    Directory directory;
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t at = offset + 2 + i * EntryBytes;
      Field field{tiff_.Get16(at), tiff_.Get16(at + 2), tiff_.Get32(at + 4), {}};
      const std::uint64_t bytes = TypeBytes(field.type) * field.count;
      // Kept empty until duplicates are gone, so that it still hides a
      // later entry of its tag as it does from readers.
      if (bytes == 0) {
        directory.push_back(std::move(field));
        continue;
      }
      std::uint64_t valueAt = at + 8;
      if (bytes > InlineBytes) {
        valueAt = tiff_.Get32(at + 8);
        if (!tiff_.Has(valueAt, bytes) || !Charge(bytes + bytes % 2)) return std::nullopt;
      }
      const std::span<const std::uint8_t> value = tiff_.Bytes(valueAt, bytes);
      field.value.assign(value.begin(), value.end());
      directory.push_back(std::move(field));
    }
    // The first of two entries for one tag is the one readers take.
    std::stable_sort(directory.begin(), directory.end(),
                     [](const Field& a, const Field& b) { return a.tag < b.tag; });
    directory.erase(std::unique(directory.begin(), directory.end(),
                                [](const Field& a, const Field& b) { return a.tag == b.tag; }),
                    directory.end());
    std::erase_if(directory, [](const Field& field) { return field.value.empty(); });
    return directory;
  }

 private:
  // Counts bytes the model will take when written; false once that cannot
  // fit a segment, which also bounds the work on any block.
  bool Charge(std::uint64_t bytes) {
    charged_ += bytes;
    return charged_ <= MaxTiffBytes;
  }

  const Tiff& tiff_;
  std::vector<Range> tables_{{0, TiffHeaderBytes}};
  std::uint64_t charged_ = TiffHeaderBytes;
};

Field* Find(Directory& directory, std::uint16_t tag) {
  const auto it = std::lower_bound(directory.begin(), directory.end(), tag,
                                   [](const Field& f, std::uint16_t t) { return f.tag < t; });
  return it != directory.end() && it->tag == tag ? &*it : nullptr;
}

void Set(Directory& directory, Field field) {
  if (Field* existing = Find(directory, field.tag)) {
    *existing = std::move(field);
    return;
  }
  const auto it = std::lower_bound(directory.begin(), directory.end(), field.tag,
                                   [](const Field& f, std::uint16_t t) { return f.tag < t; });
  directory.insert(it, std::move(field));
}

// The offset a pointer entry holds: 0 when the tag is absent or points
// nowhere, nullopt unless it is one LONG (or IFD) value.
std::optional<std::uint32_t> Pointer(const Tiff& tiff, Directory& directory, std::uint16_t tag) {
  const Field* field = Find(directory, tag);
  if (field == nullptr) return 0;
  if (field->count != 1 || (field->type != TypeLong && field->type != TypeIfd)) {
    return std::nullopt;
  }
  return Decode32(field->value.data(), tiff.Little());
}

void DropLayoutTags(Directory& directory) {
  std::erase_if(directory, [](const Field& field) { return IsLayoutTag(field.tag); });
}

struct Model {
  bool little = false;
  Directory ifd0;
  Directory exif;
  Directory interop;
  Directory gps;
};

// The sub-IFD behind `tag` of `parent`: empty when there is none; false
// when it cannot be read.
bool ReadSubIfd(const Tiff& tiff, ModelReader& reader, Directory& parent, std::uint16_t tag,
                Directory& into) {
  const std::optional<std::uint32_t> offset = Pointer(tiff, parent, tag);
  if (!offset) return false;
  if (*offset == 0) return true;
  std::optional<Directory> directory = reader.Read(*offset);
  if (!directory) return false;
  into = std::move(*directory);
  return true;
}

std::optional<Model> ReadModel(std::span<const std::uint8_t> block) {
  const std::optional<Tiff> tiff = Tiff::Open(block);
  if (!tiff) return std::nullopt;
  ModelReader reader(*tiff);
  Model model;
  model.little = tiff->Little();
  std::optional<Directory> ifd0 = reader.Read(tiff->Get32(4));
  if (!ifd0) return std::nullopt;
  model.ifd0 = std::move(*ifd0);
  if (!ReadSubIfd(*tiff, reader, model.ifd0, TagExifIfd, model.exif) ||
      !ReadSubIfd(*tiff, reader, model.ifd0, TagGpsIfd, model.gps) ||
      !ReadSubIfd(*tiff, reader, model.exif, TagInteropIfd, model.interop)) {
    return std::nullopt;
  }
  for (Directory* directory : {&model.ifd0, &model.exif, &model.interop, &model.gps}) {
    DropLayoutTags(*directory);
  }
  return model;
}

Field ShortOrLong(std::uint16_t tag, std::uint32_t value, bool preferShort, bool little) {
  if (preferShort && value <= 0xFFFF) {
    Field field{tag, TypeShort, 1, std::vector<std::uint8_t>(2)};
    Encode16(field.value.data(), static_cast<std::uint16_t>(value), little);
    return field;
  }
  Field field{tag, TypeLong, 1, std::vector<std::uint8_t>(4)};
  Encode32(field.value.data(), value, little);
  return field;
}

Field Rational(std::uint16_t tag, std::uint32_t numerator, bool little) {
  Field field{tag, TypeRational, 1, std::vector<std::uint8_t>(8)};
  Encode32(field.value.data(), numerator, little);
  Encode32(field.value.data() + 4, 1, little);
  return field;
}

void Apply(Model& model, const ExifRewrite& rewrite) {
  const bool little = model.little;
  if (rewrite.resetOrientation && Find(model.ifd0, TagOrientation) != nullptr) {
    Set(model.ifd0, ShortOrLong(TagOrientation, 1, true, little));
  }
  const std::pair<std::uint16_t, std::uint32_t> dimensions[] = {
      {TagPixelXDimension, rewrite.width}, {TagPixelYDimension, rewrite.height}};
  for (const auto& [tag, value] : dimensions) {
    const Field* old = Find(model.exif, tag);
    Set(model.exif, ShortOrLong(tag, value, old == nullptr || old->type == TypeShort, little));
  }
  if (rewrite.dpi > 0) {
    Set(model.ifd0, Rational(TagXResolution, rewrite.dpi, little));
    Set(model.ifd0, Rational(TagYResolution, rewrite.dpi, little));
    Set(model.ifd0, ShortOrLong(TagResolutionUnit, UnitInches, true, little));
  }
}

std::uint64_t Even(std::uint64_t bytes) {
  return bytes + bytes % 2;
}

// Bytes an IFD takes when written: its table, link and out-of-entry values.
std::uint64_t WrittenBytes(const Directory& directory) {
  std::uint64_t bytes = 2 + directory.size() * EntryBytes + 4;
  for (const Field& field : directory) {
    if (field.value.size() > InlineBytes) bytes += Even(field.value.size());
  }
  return bytes;
}

// Writes `directory` at `offset` of `out` (which holds room for it), its
// values right after its table; the link to a next IFD is 0.
void WriteIfd(std::vector<std::uint8_t>& out, std::size_t offset, const Directory& directory,
              bool little) {
  std::uint8_t* const base = out.data();
  Encode16(base + offset, static_cast<std::uint16_t>(directory.size()), little);
  std::size_t valueAt = offset + 2 + directory.size() * EntryBytes + 4;
  for (std::size_t i = 0; i < directory.size(); ++i) {
    const Field& field = directory[i];
    std::uint8_t* const entry = base + offset + 2 + i * EntryBytes;
    Encode16(entry, field.tag, little);
    Encode16(entry + 2, field.type, little);
    Encode32(entry + 4, field.count, little);
    if (field.value.size() <= InlineBytes) {
      std::copy(field.value.begin(), field.value.end(), entry + 8);
      continue;
    }
    Encode32(entry + 8, static_cast<std::uint32_t>(valueAt), little);
    std::copy(field.value.begin(), field.value.end(), base + valueAt);
    valueAt += Even(field.value.size());
  }
}

// The TIFF structure of `model`: header, IFD0, then the Exif,
// interoperability and GPS IFDs that hold anything, each followed by its
// values. nullopt when it does not fit a segment.
std::optional<std::vector<std::uint8_t>> WriteModel(Model model) {
  const bool little = model.little;
  if (model.exif.empty()) model.interop.clear();
  // The pointers take part in the sizes before their values are known.
  if (!model.exif.empty()) Set(model.ifd0, ShortOrLong(TagExifIfd, 0, false, little));
  if (!model.gps.empty()) Set(model.ifd0, ShortOrLong(TagGpsIfd, 0, false, little));
  if (!model.interop.empty()) Set(model.exif, ShortOrLong(TagInteropIfd, 0, false, little));

  const std::uint64_t ifd0At = TiffHeaderBytes;
  const std::uint64_t exifAt = ifd0At + WrittenBytes(model.ifd0);
  const std::uint64_t interopAt = exifAt + (model.exif.empty() ? 0 : WrittenBytes(model.exif));
  const std::uint64_t gpsAt = interopAt + (model.interop.empty() ? 0 : WrittenBytes(model.interop));
  const std::uint64_t end = gpsAt + (model.gps.empty() ? 0 : WrittenBytes(model.gps));
  if (end > MaxTiffBytes) return std::nullopt;

  if (!model.exif.empty()) {
    Set(model.ifd0, ShortOrLong(TagExifIfd, static_cast<std::uint32_t>(exifAt), false, little));
  }
  if (!model.gps.empty()) {
    Set(model.ifd0, ShortOrLong(TagGpsIfd, static_cast<std::uint32_t>(gpsAt), false, little));
  }
  if (!model.interop.empty()) {
    Set(model.exif,
        ShortOrLong(TagInteropIfd, static_cast<std::uint32_t>(interopAt), false, little));
  }

  std::vector<std::uint8_t> out(end, 0);
  out[0] = out[1] = little ? 'I' : 'M';
  Encode16(out.data() + 2, 42, little);
  Encode32(out.data() + 4, static_cast<std::uint32_t>(ifd0At), little);
  WriteIfd(out, ifd0At, model.ifd0, little);
  if (!model.exif.empty()) WriteIfd(out, exifAt, model.exif, little);
  if (!model.interop.empty()) WriteIfd(out, interopAt, model.interop, little);
  if (!model.gps.empty()) WriteIfd(out, gpsAt, model.gps, little);
  return out;
}

}  // namespace

bool IsExifBlock(std::span<const std::uint8_t> block) {
  return block.size() >= ExifHeaderBytes &&
         std::equal(std::begin(ExifHeader), std::end(ExifHeader), block.begin());
}

int ExifOrientation(std::span<const std::uint8_t> block) {
  // Only IFD0's table need be sound: a photo is turned upright even when the
  // rest of its Exif cannot be kept.
  const std::optional<Tiff> tiff = Tiff::Open(block);
  if (!tiff) return 1;
  const std::uint32_t ifd0 = tiff->Get32(4);
  if (!IfdTable(*tiff, ifd0)) return 1;
  for (std::size_t i = 0, count = tiff->Get16(ifd0); i < count; ++i) {
    const std::size_t at = ifd0 + 2 + i * EntryBytes;
    if (tiff->Get16(at) != TagOrientation) continue;
    const std::uint16_t type = tiff->Get16(at + 2);
    std::uint32_t value = 0;
    if (tiff->Get32(at + 4) == 1 && type == TypeShort) value = tiff->Get16(at + 8);
    if (tiff->Get32(at + 4) == 1 && type == TypeLong) value = tiff->Get32(at + 8);
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

std::optional<CalendarDate> ExifDateTaken(std::span<const std::uint8_t> block) {
  const std::optional<Tiff> tiff = Tiff::Open(block);
  if (!tiff) return std::nullopt;
  ModelReader reader(*tiff);
  std::optional<Directory> ifd0 = reader.Read(tiff->Get32(4));
  Directory exif;
  if (!ifd0 || !ReadSubIfd(*tiff, reader, *ifd0, TagExifIfd, exif)) return std::nullopt;
  const Field* field = Find(exif, TagDateTimeOriginal);
  if (field == nullptr || field->type != TypeAscii || field->value.size() < 10) return std::nullopt;
  const auto number = [&](std::size_t at, std::size_t digits) -> int {
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
      const std::uint8_t c = field->value[i];
      if (c < '0' || c > '9') return -1;
      value = value * 10 + (c - '0');
    }
    return value;
  };
  if (field->value[4] != ':' || field->value[7] != ':') return std::nullopt;
  const CalendarDate date{number(0, 4), number(5, 2), number(8, 2)};
  if (date.year < 1 || date.month < 1 || date.month > 12 || date.day < 1) return std::nullopt;
  const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
  constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (date.day > Days[date.month - 1] + (date.month == 2 && leap)) return std::nullopt;
  return date;
}

std::optional<std::vector<std::uint8_t>> RewriteExif(std::span<const std::uint8_t> block,
                                                     const ExifRewrite& rewrite) {
  std::optional<Model> model = ReadModel(block);
  if (!model) return std::nullopt;
  Apply(*model, rewrite);
  const std::optional<std::vector<std::uint8_t>> tiff = WriteModel(std::move(*model));
  if (!tiff) return std::nullopt;
  std::vector<std::uint8_t> result(std::begin(ExifHeader), std::end(ExifHeader));
  result.insert(result.end(), tiff->begin(), tiff->end());
  return result;
}

}  // namespace quorvale
