#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "pixels/Bitmap.h"

namespace quorvale::testing {

struct TestPngOptions {
  enum class Kind { Rgb, Grey, Palette, RgbAlpha, GreyAlpha };
  Kind kind = Kind::Rgb;
  int bitDepth = 8;  // 16: each value v written as v * 257
  bool interlaced = false;
  std::vector<std::uint8_t> exif{};  // an eXIf chunk's TIFF structure, if any
  std::vector<std::uint8_t> icc{};   // an iCCP chunk's profile, if any
  // The opacity of pixel (x, y) for the kinds with alpha; opaque when none.
  std::function<std::uint8_t(int x, int y)> alpha{};
};

// A PNG file's bytes, made by libpng itself (not by the code under test),
// of `bitmap`'s pixels: grey kinds take the red value, and a palette is made
// of the bitmap's colours (at most 256 of them).
std::string MakePng(const Bitmap& bitmap, const TestPngOptions& options = {});

// A PNG that declares width x height (RGB, 8-bit) over the data of a 1 x 1
// picture: a bomb, whose chunks are otherwise well formed.
std::string MakePngClaiming(int width, int height);

}  // namespace quorvale::testing
