// Writes camera-like benchmark photos.
//
//   make_photo OUT.jpg [SEED [WIDTH HEIGHT [QUALITY]]]
//
// Defaults: seed 1, 6000 x 4000, quality 92.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/BenchPhoto.h"

int main(int argc, char** argv) {
  using namespace quorvale::bench;
  if (argc < 2 || argc == 4 || argc > 6) {
    std::fprintf(stderr, "usage: make_photo OUT.jpg [SEED [WIDTH HEIGHT [QUALITY]]]\n");
    return 2;
  }
  const unsigned seed = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 1;
  const int width = argc > 4 ? std::atoi(argv[3]) : PhotoWidth;
  const int height = argc > 4 ? std::atoi(argv[4]) : PhotoHeight;
  const int quality = argc > 5 ? std::atoi(argv[5]) : 92;
  if (width < 1 || height < 1 || width > 65500 || height > 65500 || quality < 1 || quality > 100) {
    std::fprintf(stderr, "make_photo: bad size or quality\n");
    return 2;
  }
  if (!WriteBytes(argv[1], MakePhotoJpeg(width, height, seed, quality))) {
    std::fprintf(stderr, "make_photo: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
