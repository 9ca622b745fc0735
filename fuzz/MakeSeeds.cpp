// Writes the fuzzers' seed corpus: small JPEG files of every kind the
// decoder meets (baseline, progressive, grey, CMYK, restart markers,
// arithmetic coding, Exif, tiny and cut-short ones), the same behind the
// rectangles of the region fuzzer, path texts, for the metadata fuzzer
// JPEG files with Exif and ICC chunks and Exif TIFF structures, crafted ones
// among them, and PNG and HEIC files of every kind their readers meet behind
// the region fuzzer's rectangles.
// Usage: make_seeds FOLDER; makes FOLDER/jpeg, FOLDER/region,
// FOLDER/path_rules, FOLDER/metadata, FOLDER/png and FOLDER/heif.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "support/ExifBlock.h"
#include "support/PhotoBitmap.h"
#include "support/TestHeif.h"
#include "support/TestJpeg.h"
#include "support/TestPng.h"

namespace {

namespace fs = std::filesystem;
using quorvale::testing::MakeJpeg;
using quorvale::testing::PhotoPixel;
using quorvale::testing::TestJpegOptions;

bool WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

struct JpegSeed {
  const char* name;
  int width;
  int height;
  TestJpegOptions options;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  fs::create_directories(root / "jpeg");
  fs::create_directories(root / "region");
  fs::create_directories(root / "path_rules");
  fs::create_directories(root / "metadata");
  fs::create_directories(root / "png");
  fs::create_directories(root / "heif");

  const JpegSeed jpegs[] = {
      {"baseline", 48, 32, {.quality = 80}},
      {"progressive", 40, 24, {.quality = 80, .progressive = true}},
      {"grey", 33, 17, {.quality = 80, .grayscale = true}},
      {"grey-progressive", 16, 16, {.quality = 70, .grayscale = true, .progressive = true}},
      {"cmyk", 24, 16, {.quality = 80, .cmyk = true}},
      {"restart", 48, 48, {.quality = 80, .restartRows = 1}},
      {"arithmetic", 32, 24, {.quality = 80, .arithmetic = true}},
      {"arithmetic-progressive", 24, 24, {.quality = 80, .progressive = true, .arithmetic = true}},
      {"exif", 16, 8, {.quality = 60, .exif = true}},
      {"one-pixel", 1, 1, {.quality = 90}},
      {"one-row", 9, 1, {.quality = 90, .grayscale = true}},
      {"one-column", 1, 17, {.quality = 90, .progressive = true}},
      {"large", 200, 136, {.quality = 50, .restartRows = 2}},
      {"large-progressive-444",
       160,
       120,
       {.quality = 50, .progressive = true, .lumaH = 1, .lumaV = 1}},
  };
  // Left, top, width and height as 16-bit fractions: the whole picture, its
  // middle, a strip at the bottom right and one at the left.
  const std::pair<const char*, std::string> rects[] = {
      {"whole", std::string("\x00\x00\x00\x00\xff\xff\xff\xff", 8)},
      {"middle", std::string("\x40\x00\x40\x00\x80\x00\x80\x00", 8)},
      {"bottom-right", std::string("\xc0\x00\xe0\x00\xff\xff\xff\xff", 8)},
      {"left", std::string("\x00\x00\x00\x00\x20\x00\xff\xff", 8)},
  };
  bool ok = true;
  for (const JpegSeed& seed : jpegs) {
    const std::string bytes = MakeJpeg(seed.width, seed.height, PhotoPixel, seed.options);
    ok &= WriteFile(root / "jpeg" / (std::string(seed.name) + ".jpg"), bytes);
    for (const auto& [name, rect] : rects) {
      ok &= WriteFile(root / "region" / (std::string(seed.name) + "-" + name), rect + bytes);
    }
    if (std::string(seed.name) == "baseline" || std::string(seed.name) == "progressive") {
      ok &= WriteFile(root / "jpeg" / (std::string(seed.name) + "-cut.jpg"),
                      bytes.substr(0, bytes.size() / 2));
    }
  }

  using quorvale::testing::MakeHeic;
  using quorvale::testing::MakePng;
  using PngKind = quorvale::testing::TestPngOptions::Kind;
  const quorvale::Bitmap photo = quorvale::testing::PhotoBitmap(40, 24, 5, 5);
  // 256 colours at most, for the palette.
  const quorvale::Bitmap few = quorvale::testing::PhotoBitmap(16, 16, 1, 1);
  const auto opacity = [](int x, int y) { return static_cast<std::uint8_t>((x + y) * 9); };
  const std::string cut = MakePng(photo);
  const std::pair<const char*, std::string> pngs[] = {
      {"rgb", MakePng(photo)},
      {"rgb16-interlaced", MakePng(photo, {.bitDepth = 16, .interlaced = true})},
      {"grey", MakePng(photo, {.kind = PngKind::Grey})},
      {"palette", MakePng(few, {.kind = PngKind::Palette})},
      {"alpha", MakePng(photo, {.kind = PngKind::RgbAlpha, .alpha = opacity})},
      {"grey-alpha-interlaced",
       MakePng(photo, {.kind = PngKind::GreyAlpha, .interlaced = true, .alpha = opacity})},
      {"cut", cut.substr(0, cut.size() / 2)},
  };
  const std::pair<const char*, std::string> heifs[] = {
      {"photo", MakeHeic(photo, {.quality = 50})},
      {"turned", MakeHeic(photo, {.quality = 50, .orientation = 6})},
      {"alpha", MakeHeic(photo, {.quality = 50, .alpha = opacity})},
      {"display-p3", MakeHeic(photo, {.quality = 50, .primaries = 12})},
  };
  for (const auto& [name, bytes] : pngs) {
    for (const auto& [place, rect] : rects) {
      ok &= WriteFile(root / "png" / (std::string(name) + "-" + place), rect + bytes);
    }
  }
  for (const auto& [name, bytes] : heifs) {
    for (const auto& [place, rect] : rects) {
      ok &= WriteFile(root / "heif" / (std::string(name) + "-" + place), rect + bytes);
    }
  }

  const std::vector<std::pair<const char*, std::string>> paths = {
      {"folder", "/home/user/photos/"},       {"photo", "/out//sub/a.jpg"},
      {"shift-jis", "/photos/\x95\x5c/\x95"}, {"forbidden", "<name>?*;=\"':"},
      {"long", std::string(2047, 'a') + "/"},
  };
  for (const auto& [name, text] : paths) ok &= WriteFile(root / "path_rules" / name, text);

  using quorvale::testing::CameraExif;
  using quorvale::testing::IccProfile;
  using quorvale::testing::OverlappingExif;
  using quorvale::testing::Overlaps;
  const auto tiff = [](const std::vector<std::uint8_t>& block) {
    return std::string(block.begin() + 6, block.end());  // without "Exif\0\0"
  };
  const fs::path metadata = root / "metadata";
  ok &= WriteFile(metadata / "camera.tiff", tiff(CameraExif(6, 4032, 3024)));
  for (const bool little : {false, true}) {
    int i = 0;
    for (const auto overlap : Overlaps) {
      ok &= WriteFile(metadata / ("overlap-" + std::to_string(i++) + (little ? "-ii" : "-mm")),
                      tiff(OverlappingExif(overlap, little)));
    }
  }
  const std::vector<std::uint8_t> profile = IccProfile();
  ok &= WriteFile(
      metadata / "exif-icc.jpg",
      MakeJpeg(8, 8, PhotoPixel,
               {.quality = 50, .app1 = OverlappingExif(Overlaps[0], true), .icc = profile}));
  return ok ? 0 : 1;
}
