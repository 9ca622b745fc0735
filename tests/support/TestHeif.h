#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "pixels/Bitmap.h"

namespace quorvale::testing {

struct TestHeifOptions {
  int quality = 90;
  int orientation = 1;               // irot/imir boxes, as Exif numbers the turn
  std::vector<std::uint8_t> exif{};  // an Exif block ("Exif\0\0" and TIFF), if any
  std::vector<std::uint8_t> icc{};   // a profile, instead of the nclx description
  int primaries = 1;                 // the nclx description's codes
  int transfer = 13;
  std::function<std::uint8_t(int x, int y)> alpha{};  // an alpha channel, if any
};

// A HEIC file's bytes of `bitmap`, made by libheif's encoder (x265).
std::string MakeHeic(const Bitmap& bitmap, const TestHeifOptions& options = {});

// A HEIF file of boxes alone, no picture data: a grid item of a
// `canvasWidth` x `canvasHeight` canvas whose tile list names one coded item
// `references` times.
std::string MakeHeifWithReferences(int references, std::uint32_t canvasWidth = 64,
                                   std::uint32_t canvasHeight = 64);

}  // namespace quorvale::testing
