#include "support/TestPng.h"

#include <png.h>
#include <zlib.h>

#include <map>
#include <stdexcept>

namespace quorvale::testing {
namespace {

void Append(png_structp png, png_bytep data, std::size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}
void Flush(png_structp) {}

void PutBig32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

// Drives libpng under its setjmp, with nothing of its own to destroy.
bool Write(std::string& out, int width, int height, int colourType,
           const std::vector<png_color>& colours, const TestPngOptions& options, png_bytep* rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &out, Append, Flush);
  png_set_IHDR(png, info, width, height, options.bitDepth, colourType,
               options.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!colours.empty()) png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
  if (!options.icc.empty()) {
    png_set_iCCP(png, info, "profile", PNG_COMPRESSION_TYPE_BASE, options.icc.data(),
                 static_cast<png_uint_32>(options.icc.size()));
  }
  if (!options.exif.empty()) {
    png_set_eXIf_1(png, info, static_cast<png_uint_32>(options.exif.size()),
                   const_cast<png_bytep>(options.exif.data()));
  }
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

std::string MakePng(const Bitmap& bitmap, const TestPngOptions& options) {
  using Kind = TestPngOptions::Kind;
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  const int colourType = options.kind == Kind::Rgb        ? PNG_COLOR_TYPE_RGB
                         : options.kind == Kind::Grey     ? PNG_COLOR_TYPE_GRAY
                         : options.kind == Kind::Palette  ? PNG_COLOR_TYPE_PALETTE
                         : options.kind == Kind::RgbAlpha ? PNG_COLOR_TYPE_RGB_ALPHA
                                                          : PNG_COLOR_TYPE_GRAY_ALPHA;
  const int sampleBytes = options.bitDepth == 16 ? 2 : 1;

  std::map<std::uint32_t, int> palette;
  std::vector<std::vector<png_byte>> rows(height);
  for (int y = 0; y < height; ++y) {
    std::vector<png_byte>& row = rows[y];
    const std::uint8_t* source = bitmap.Row(y);
    for (int x = 0; x < width; ++x) {
      const std::uint8_t b = source[3 * x], g = source[3 * x + 1], r = source[3 * x + 2];
      const std::uint8_t a = options.alpha ? options.alpha(x, y) : 255;
      std::vector<std::uint8_t> values;
      switch (options.kind) {
        case Kind::Rgb:
          values = {r, g, b};
          break;
        case Kind::Grey:
          values = {r};
          break;
        case Kind::RgbAlpha:
          values = {r, g, b, a};
          break;
        case Kind::GreyAlpha:
          values = {r, a};
          break;
        case Kind::Palette: {
          const std::uint32_t colour = std::uint32_t{r} << 16 | g << 8 | b;
          const auto [at, added] = palette.emplace(colour, static_cast<int>(palette.size()));
          if (palette.size() > 256) throw std::invalid_argument("more than 256 colours");
          values = {static_cast<std::uint8_t>(at->second)};
          break;
        }
      }
      for (const std::uint8_t v : values) {
        if (sampleBytes == 2) row.push_back(v);  // v * 257: the same byte twice
        row.push_back(v);
      }
    }
  }

  std::vector<png_color> colours(palette.size());
  for (const auto& [colour, index] : palette) {
    colours[index] = {static_cast<png_byte>(colour >> 16), static_cast<png_byte>(colour >> 8),
                      static_cast<png_byte>(colour)};
  }
  std::vector<png_bytep> pointers(height);
  for (int y = 0; y < height; ++y) pointers[y] = rows[y].data();
  std::string out;
  if (!Write(out, width, height, colourType, colours, options, pointers.data())) {
    throw std::runtime_error("libpng could not write the test picture");
  }
  return out;
}

std::string MakePngClaiming(int width, int height) {
  std::string png = MakePng(Bitmap(1, 1));
  // IHDR's data follows the 8-byte signature and the chunk's length and
  // type; its CRC covers the type and the data.
  std::string ihdr = png.substr(12, 17);
  std::string sizes;
  PutBig32(sizes, static_cast<std::uint32_t>(width));
  PutBig32(sizes, static_cast<std::uint32_t>(height));
  ihdr.replace(4, 8, sizes);
  std::string crc;
  PutBig32(crc, static_cast<std::uint32_t>(
                    crc32(0, reinterpret_cast<const Bytef*>(ihdr.data()), ihdr.size())));
  return png.substr(0, 12) + ihdr + crc + png.substr(33);
}

}  // namespace quorvale::testing
