#include "bench/BenchPhoto.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "support/TestJpeg.h"

namespace quorvale::bench {

namespace {

unsigned Hash(unsigned x, unsigned y, unsigned seed) {
  unsigned h = x * 73856093u ^ y * 19349663u ^ seed * 83492791u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  return h ^ (h >> 15);
}

// Value noise on a 5-pixel lattice, bilinear between the lattice points:
// the mid-frequency detail of foliage or fabric, -24..24.
int Texture(int x, int y, unsigned seed) {
  constexpr int cell = 5;
  const unsigned cx = static_cast<unsigned>(x / cell);
  const unsigned cy = static_cast<unsigned>(y / cell);
  const int fx = x % cell;
  const int fy = y % cell;
  const auto at = [&](unsigned i, unsigned j) {
    return static_cast<int>(Hash(i, j, seed) % 49) - 24;
  };
  const int top = at(cx, cy) * (cell - fx) + at(cx + 1, cy) * fx;
  const int bottom = at(cx, cy + 1) * (cell - fx) + at(cx + 1, cy + 1) * fx;
  return (top * (cell - fy) + bottom * fy) / (cell * cell);
}

}  // namespace

std::array<std::uint8_t, 3> PhotoPixel(int x, int y, unsigned seed) {
  x += static_cast<int>(seed * 137u % 700u);
  y += static_cast<int>(seed * 59u % 500u);
  const unsigned hash =
      (static_cast<unsigned>(x) * 73856093u) ^ (static_cast<unsigned>(y) * 19349663u) ^ seed;
  const int grain = static_cast<int>(hash % 13) - 6;
  const int chroma = static_cast<int>((hash >> 8) % 5) - 2;
  const int cx = (x % 700) - 350;
  const int cy = (y % 500) - 250;
  const int disc = (cx * cx + cy * cy) < 150 * 150 ? 40 : 0;
  const int region = (x / 900 + y / 650) % 3;
  const int edge = region == 0 ? -35 : 0;
  const int detail = region != 0 ? Texture(x, y, seed) : 0;
  const auto clamp = [](int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
  const int red = 60 + (x / 40) % 120 + disc + edge + detail + grain;
  const int green = 80 + (y / 30) % 100 + edge + detail + grain + chroma;
  const int blue = 140 - ((x + y) / 60) % 90 + disc / 2 + detail / 2 + grain - chroma;
  return {clamp(blue), clamp(green), clamp(red)};
}

std::string MakePhotoJpeg(int width, int height, unsigned seed, int quality) {
  return testing::MakeJpeg(width, height,
                           [seed](int x, int y) {
                             const auto bgr = PhotoPixel(x, y, seed);
                             return testing::Rgb{bgr[2], bgr[1], bgr[0]};
                           },
                           {.quality = quality});
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                             &std::fclose);
  if (!file) return false;
  return std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size() &&
         std::fflush(file.get()) == 0;
}

}  // namespace quorvale::bench
