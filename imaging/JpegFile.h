#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/RunState.h"
#include "platform/PathSyntax.h"
#include "platform/Window.h"

namespace quorvale {

// Decodes the JPEG file at `path` into `bitmap` at full size, 24 bits:
// float inverse DCT, fancy upsampling, block smoothing, one pass. Grayscale
// files go through the one-pass 236-level Floyd-Steinberg quantizer and are
// expanded to equal R, G, B; 4-component files are converted as
// R = C * K / 255 (likewise G from M, B from Y). Warnings are ignored;
// markers (Exif, ICC, comments) are not read. Returns 0, or -2 when the file
// cannot be read or decoded, its header claims more pixels than the file
// could hold or its pixel memory cannot be had; the bitmap's content is then
// unspecified.
int DecodeJpegFile(const std::string& path, Bitmap& bitmap);

// Encodes `bitmap` as a baseline JFIF 1.01 JPEG (density unit 0, 1:1, no
// other marker): float forward DCT, 4:2:0, standard Huffman tables, quality
// limited to 1..100 with force-baseline. nullopt on an encoder error.
std::optional<std::vector<std::uint8_t>> EncodeJpeg(const Bitmap& bitmap, int quality);

// The folder part of `path`: up to its last single-byte separator (or drive
// colon), that separator dropped unless it follows a separator or a colon,
// or is the root. D:\out\sub\a.jpg gives D:\out\sub, D:\a.jpg gives D:\,
// /out/a.jpg gives /out and /a.jpg gives /.
std::string FolderOfPath(const std::string& path, const PathSyntax& syntax);

// Sets state.SourceBitmap to 1 x 1 and decodes `path` into it, then pumps
// messages once. 0, or -2 with no message shown.
int LoadJpegFile(RunState& state, Window& window, const std::string& path);

// Saves state.SourceBitmap to `path` at window.Quality(), making the folder
// part current and creating it when missing. The file is encoded in memory,
// written to a temporary file beside the target and renamed over it, so a
// failure never leaves a partial file and never harms an existing one.
//  -1 path of at most 2 bytes   "保存先フォルダが指定されていません。"
//  -2 folder cannot be created  "保存先フォルダを作成出来ません。\n<folder>"
//  -3 folder cannot be entered  "保存先フォルダを作成出来ません。"
//  -4 encode or write failed    "保存先フォルダを作成出来ません。"
// each after its message box.
int SaveJpegFile(RunState& state, Window& window, const std::string& path);

}  // namespace quorvale
