#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "geometry/SizeTable.h"
#include "geometry/TrimPosition.h"
#include "pixels/Bitmap.h"
#include "pixels/Cancel.h"
#include "pixels/RowSink.h"
#include "platform/OutputFile.h"

namespace quorvale {

enum class DecodeStatus {
  Decoded,
  Failed,       // the file cannot be read or decoded, or its header is refused
  Cancelled,    // the cancel check answered true
  Declined,     // the admission answered false
  OutOfMemory,  // the pixel memory (or the decoder's) could not be had
};

struct DecodeResult {
  DecodeStatus status = DecodeStatus::Decoded;
  std::string reason;   // libjpeg's message or the system's, when not decoded
  int warnings = 0;     // corrupt or missing data passed over (grey rows)
  std::string warning;  // the first of them, as libjpeg words it
  // The picture's size as its header declares it, once the header is read
  // and accepted (0 x 0 before), and the rectangle of it the bitmap holds when a region
  // was asked and answered (none for the whole picture).
  PixelSize picture{0, 0};
  std::optional<PixelRect> region{};
  bool Ok() const { return status == DecodeStatus::Decoded; }
};

// Decodes the JPEG file at `path` (of any length) into `bitmap` at full
// size, 24 bits: float inverse DCT, fancy upsampling, block smoothing, one
// pass. Grayscale files go through the one-pass 236-level Floyd-Steinberg
// quantizer and are expanded to equal R, G, B; 4-component files are
// converted as R = C * K / 255 (likewise G from M, B from Y). Warnings about
// the picture's data (it ended early, or was corrupt) do not fail the
// decode; they are counted. Markers (Exif, ICC, comments) are skipped
// unread. The file is read in pieces, header first: Failed before any pixel
// memory is reserved when no header starts within its first megabyte, the
// header claims more pixels than the file could hold (1024 per byte after
// the header; arithmetic-coded files, which code flat pictures in a few
// bytes, up to 64 megapixels whatever their size), more than a gigapixel,
// or more memory (bitmap and, for a file of several scans,
// libjpeg's coefficient buffer) than half the physical memory. Failed too
// when the file cannot be read or decoded or its scans ask for more than
// eight passes' worth of work over the picture; OutOfMemory when its pixel
// memory or the decoder's cannot be had; Cancelled when `cancel` answered
// true (asked as the file is read and decoded, from the calling thread). The
// bitmap's content is then unspecified. The end marker
// and anything after the last row's data are not read.
//
// With a `region` that answers a rectangle, the bitmap holds that rectangle
// of the picture alone, every byte as the whole decode would have it. Only
// as much of the picture is decoded as that needs: nothing below its last
// row, and for colour pictures the rows above it are skipped and the
// columns beside it left out, but for a margin of one block row and column
// (two for progressive files) whose neighbours the upsampling and the block
// smoothing read. Grey pictures, whose error diffusion carries every pixel
// into those after it, are decoded from the top and full width down to the
// region's last row; arithmetic-coded ones from the top. Warnings then
// concern only what was read. A rectangle that does not lie inside the
// picture fails the decode (Failed).
using DecodeRegion = std::function<std::optional<PixelRect>(int width, int height)>;

DecodeResult DecodeJpegFile(const std::string& path, Bitmap& bitmap, const CancelCheck& cancel = {},
                            const DecodeRegion& region = nullptr);

// DecodeJpegFile for a file's bytes held in memory.
DecodeResult DecodeJpegMemory(std::span<const std::uint8_t> bytes, Bitmap& bitmap,
                              const CancelCheck& cancel = {}, const DecodeRegion& region = nullptr);

// DecodeJpegFile for a preview: at the largest of libjpeg's reductions 1/2,
// 1/4 and 1/8 that keeps the longer side at least `longSide` pixels (at full
// size when none does), with the fast integer inverse DCT, no fancy
// upsampling and no block smoothing, so the pixels are not those of a full
// decode. The same refusals, checked on the picture's own size, which
// `picture` receives once the header is read (0 x 0 before).
DecodeResult DecodeJpegReduced(const std::string& path, Bitmap& bitmap, int longSide,
                               PixelSize& picture, const CancelCheck& cancel = {});

// Asked once a header has been judged plausible, before any pixel memory is
// had, with the bytes the decode holds: the bitmap's memory (the decoded
// pixels, rows padded as a Bitmap's; for a region, its rows as wide as the
// decoder fills them, margin columns included; or the capacity the bitmap
// already has when that is larger) or what a sink charges, and, for a file
// of several scans, libjpeg's coefficient buffer.
// False declines the decode, which then reads no further.
using DecodeAdmission = std::function<bool(std::uint64_t bytes)>;

// LoadJpegFile, the rows handed to `sink` as they are decoded rather than
// held in a bitmap: the picture (or its `region`) comes to the sink whole
// (rows it does not want may be passed over), every byte as in the bitmap,
// or the decode fails. `admit` is asked with
// what the sink charges for the picture.
DecodeResult StreamJpegFile(const std::string& path, RowSink& sink, const CancelCheck& cancel = {},
                            const DecodeAdmission& admit = nullptr,
                            const DecodeRegion& region = nullptr);

// StreamJpegFile for a file's bytes held in memory.
DecodeResult StreamJpegMemory(std::span<const std::uint8_t> bytes, RowSink& sink,
                              const CancelCheck& cancel = {}, const DecodeRegion& region = nullptr);

// Sets `bitmap` to 1 x 1 and decodes `path` (or its `region`) into it, when
// `admit` (if given) lets it; after a failure the bitmap is at least 1 x 1
// again.
DecodeResult LoadJpegFile(const std::string& path, Bitmap& bitmap, const CancelCheck& cancel = {},
                          const DecodeAdmission& admit = nullptr,
                          const DecodeRegion& region = nullptr);

// LoadJpegFile through `sink`, which fills `bitmap` (a ReducingSink of it).
DecodeResult LoadJpegFile(const std::string& path, Bitmap& bitmap, RowSink& sink,
                          const CancelCheck& cancel = {}, const DecodeAdmission& admit = nullptr,
                          const DecodeRegion& region = nullptr);

// The largest side a JPEG can declare: also the limit of a run for large
// photos.
inline constexpr int MaxJpegSide = 65535;

// The most decoded pixel memory a photo may take: half the physical memory.
std::uint64_t DecodeMemoryBudget();

// What an encode may add to the plain file below; with none given the bytes
// are those of the plain encode.
struct JpegExtras {
  // Above 0: the JFIF density in dots per inch (unit 1, X = Y = dpi, at most
  // 65535); otherwise 1:1 with no unit.
  int dpi = 0;
  // An Exif block (codec/Exif.h) for an APP1 segment right after the JFIF
  // one; left out when longer than one segment can carry.
  std::span<const std::uint8_t> exif{};
  // An ICC profile, written in as many APP2 "ICC_PROFILE" chunks as it needs
  // (left out above the 255 chunks a file can number).
  std::span<const std::uint8_t> icc{};
};

// Encodes `bitmap` as a baseline JFIF 1.01 JPEG (density unit 0, 1:1, no
// other marker unless `extras` add them): float forward DCT, 4:2:0, standard
// Huffman tables, quality limited to 1..100 with force-baseline. nullopt on
// an encoder error.
std::optional<std::vector<std::uint8_t>> EncodeJpeg(const Bitmap& bitmap, int quality,
                                                    const JpegExtras& extras = {});

// The folder part of `path`: up to its last '/', that '/' dropped unless it
// follows another or is the root; empty when there is none. /out/a.jpg gives
// /out, /a.jpg gives / and /out//a.jpg gives /out//. No byte of a multibyte
// character is a '/' (0x2F), so the last one is found from the end.
std::string FolderOfPath(const std::string& path);

enum class SaveStatus {
  Saved,
  NoPath,            // the path holds at most 2 bytes
  FolderNotCreated,  // the folder part (`folder`) cannot be created
  Exists,            // a file of that name exists and replacing was not asked
                     // (EEXIST); it is untouched
  WriteFailed,       // the photo cannot be encoded, or the file cannot be written
};

struct SaveResult {
  SaveStatus status = SaveStatus::Saved;
  int error = 0;       // errno of the call that failed; 0 for an encoder error
  std::string folder;  // the folder part of the path
};

// Encodes `bitmap` at `quality` and saves it to the full path `path`. The
// folder part is created with every missing level once the photo is
// encoded. The file is written to an unnamed file in the target's folder,
// flushed to the disk and given its name only when complete (see
// WriteFileReplacing), so neither a failure, a kill nor a power cut leaves a
// partial or temporary file, and an existing one is never harmed. An
// existing file, even one made by another writer after the caller looked,
// is replaced only with `replace` (else Exists). A target that is a folder,
// or a file nobody may write, is refused (WriteFailed, EISDIR or EACCES).
// Never changes the current folder. `extras` are written as EncodeJpeg
// writes them.
SaveResult SaveJpegFile(const Bitmap& bitmap, const std::string& path, int quality,
                        const JpegExtras& extras = {}, bool replace = true);

// SaveJpegFile of a photo encoded already: `bytes`, or nullopt for an
// encode that failed (WriteFailed).
SaveResult SaveJpegBytes(const std::optional<std::vector<std::uint8_t>>& bytes,
                         const std::string& path, bool replace = true);

// True when the file at `path` ends with the end-of-image marker (FF D9),
// as every complete JPEG does: one cut short by a power cut does not.
bool EndsWithEndOfImage(const std::string& path);

}  // namespace quorvale
