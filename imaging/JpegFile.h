#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/Cancel.h"
#include "imaging/SizeTable.h"
#include "platform/PathSyntax.h"

namespace quorvale {

struct DecodeResult {
  int code = 0;            // 0, or -2 when the photo could not be had
  bool cancelled = false;  // -2 because the cancel check answered true
  bool declined = false;   // -2 because the admission answered false
  std::string reason;      // libjpeg's message or the system's, with -2
  int warnings = 0;        // corrupt or missing data passed over (grey rows)
  std::string warning;     // the first of them, as libjpeg words it
  // -2 because memory for the decode could not be had
  bool outOfMemory = false;
};

// Decodes the JPEG file at `path` (of any length) into `bitmap` at full
// size, 24 bits: float inverse DCT, fancy upsampling, block smoothing, one
// pass. Grayscale files go through the one-pass 236-level Floyd-Steinberg
// quantizer and are expanded to equal R, G, B; 4-component files are
// converted as R = C * K / 255 (likewise G from M, B from Y). Warnings about
// the picture's data (it ended early, or was corrupt) do not fail the
// decode; they are counted. Markers (Exif, ICC, comments) are skipped
// unread. The file is read in pieces, header first: -2 before any pixel
// memory is reserved when no header starts within its first megabyte, the
// header claims more pixels than the file could hold (1024 per byte after
// the header; arithmetic-coded files, which code flat pictures in a few
// bytes, up to 64 megapixels whatever their size), more than a gigapixel,
// or more memory (bitmap and, for a file of several scans,
// libjpeg's coefficient buffer) than half the physical memory. -2 too when
// the file cannot be read or decoded, its scans ask for more than eight
// passes' worth of work over the picture, its memory cannot be had (then
// with `outOfMemory`), or `cancel` answered true (asked as the file is read
// and decoded, from the calling thread); the bitmap's content is then
// unspecified. The end marker and anything after the last row's data are
// not read.
DecodeResult DecodeJpegFile(const std::string& path, Bitmap& bitmap,
                            const CancelCheck& cancel = {});

// DecodeJpegFile for a file's bytes held in memory.
DecodeResult DecodeJpegMemory(std::span<const std::uint8_t> bytes, Bitmap& bitmap,
                              const CancelCheck& cancel = {});

// Asked once a header has been judged plausible, before any pixel memory is
// had, with the bytes the decode holds: the bitmap's memory (the decoded
// pixels, rows padded as a Bitmap's, or the capacity the bitmap already has
// when that is larger) and, for a file of several scans, libjpeg's
// coefficient buffer. False declines the decode, which then reads no
// further.
using DecodeAdmission = std::function<bool(std::uint64_t bytes)>;

// Sets `bitmap` to 1 x 1 and decodes `path` into it, when `admit` (if given)
// lets it; after a failure the bitmap is at least 1 x 1 again.
DecodeResult LoadJpegFile(const std::string& path, Bitmap& bitmap, const CancelCheck& cancel = {},
                          const DecodeAdmission& admit = nullptr);

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
  // An Exif block (imaging/Exif.h) for an APP1 segment right after the JFIF
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

// The folder part of `path`: up to its last single-byte separator (or drive
// colon), that separator dropped unless it follows a separator or a colon,
// or is the root. D:\out\sub\a.jpg gives D:\out\sub, D:\a.jpg gives D:\,
// /out/a.jpg gives /out and /a.jpg gives /.
std::string FolderOfPath(const std::string& path, const PathSyntax& syntax);

struct SaveResult {
  //  0 saved
  // -1 the path holds at most 2 bytes
  // -2 the folder part cannot be created (`folder`)
  // -4 the photo cannot be encoded, or the file cannot be written
  int code = 0;
  int error = 0;       // errno of the call that failed; 0 for an encoder error
  std::string folder;  // the folder part of the path
};

// Encodes `bitmap` at `quality` and saves it to the full path `path`. The
// folder part is created with every missing level once the photo is
// encoded. The file is written to an unnamed file in the target's folder and
// given its name only when complete (see WriteFileReplacing), so neither a
// failure nor a kill leaves a partial or temporary file, and an existing
// one is never harmed. A target that is a folder, or a file nobody may
// write, is refused (-4, EISDIR or EACCES). Never changes the current
// folder. `extras` are written as EncodeJpeg writes them.
SaveResult SaveJpegFile(const Bitmap& bitmap, const std::string& path, int quality,
                        const JpegExtras& extras = {});

}  // namespace quorvale
