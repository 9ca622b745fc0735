#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quorvale::bench {

// The size of the benchmark photo: a 24-megapixel camera frame.
inline constexpr int PhotoWidth = 6000;
inline constexpr int PhotoHeight = 4000;

// A camera-like picture: gradients, soft discs, a few hard edges and a fine
// grain, neither flat colour (which would code too cheaply) nor noise (which
// would code too dearly). `seed` shifts the pattern so that a folder of
// photos does not hold identical frames. Blue, green, red.
std::array<std::uint8_t, 3> PhotoPixel(int x, int y, unsigned seed);

// A baseline 4:2:0 JPEG of PhotoPixel, coded by libjpeg directly (not by the
// code under measurement) at `quality`, as a camera writes it.
std::string MakePhotoJpeg(int width, int height, unsigned seed, int quality = 92);

// Writes `bytes` to `path`; false on any failure.
bool WriteBytes(const std::string& path, const std::string& bytes);

}  // namespace quorvale::bench
