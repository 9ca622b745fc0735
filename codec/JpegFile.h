#pragma once

// The JPEG writer: encoding a bitmap, and saving it safely.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pixels/Bitmap.h"

namespace quorvale {

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
