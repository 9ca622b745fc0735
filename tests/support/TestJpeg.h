#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quorvale::testing {

using Rgb = std::array<std::uint8_t, 3>;
using PixelFunction = std::function<Rgb(int x, int y)>;

// One scan of a progressive file, as libjpeg's jpeg_scan_info has it: the
// components it codes (by index), its band of coefficients (ss to se) and
// the bit positions of successive approximation (ah, al).
struct JpegScan {
  std::vector<int> components;
  int ss = 0;
  int se = 0;
  int ah = 0;
  int al = 0;
};

struct TestJpegOptions {
  int quality = 95;
  bool grayscale = false;  // 1 component (the red value is the gray)
  bool progressive = false;
  bool cmyk = false;                 // 4 components: C = R, M = G, Y = B, K = 255
  bool exif = false;                 // an APP1 Exif block with orientation 6
  std::vector<std::uint8_t> app1{};  // the payload of an APP1 segment (an Exif block), if any
  std::vector<std::uint8_t> icc{};   // an ICC profile, in APP2 chunks, if any
  bool arithmetic = false;           // arithmetic coding instead of Huffman
  int restartRows = 0;               // a restart marker every this many MCU rows
  std::vector<JpegScan> scans{};     // a scan script of one's own, if any
  int lumaH = 0, lumaV = 0;          // the first component's sampling factors (0: libjpeg's)
};

// A JPEG file's bytes, made by libjpeg itself (not by the code under test).
std::string MakeJpeg(int width, int height, const PixelFunction& pixel,
                     const TestJpegOptions& options = {});

// A 4-component JPEG (CMYK, with libjpeg's Adobe marker, so the values decode
// as written) whose pixel (x, y) is `pixel(x, y)` as C, M, Y, K.
using Cmyk = std::array<std::uint8_t, 4>;
std::string MakeCmykJpeg(int width, int height, const std::function<Cmyk(int x, int y)>& pixel,
                         int quality = 95);

// `jpeg` (a complete file) with its last scan, from its SOS marker to the EOI,
// repeated so that it has `extraCopies` more: a progressive file made to
// cost many passes over the whole picture while staying small.
std::string RepeatLastScan(const std::string& jpeg, int extraCopies);

// A pixel that says where it came from: red = x mod 256, green = y mod 256,
// blue = (x / 256 + 16 * (y / 256)) mod 256.
Rgb CoordinatePixel(int x, int y);

// A camera-like picture: smooth gradients with some texture, neither flat
// nor noise.
Rgb PhotoPixel(int x, int y);

}  // namespace quorvale::testing
