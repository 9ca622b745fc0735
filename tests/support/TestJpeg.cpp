#include "support/TestJpeg.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>

#include "support/ExifBlock.h"

namespace quorvale::testing {

namespace {

// Codes `height` rows of `components` bytes per pixel, each filled by
// fill(y, row), with libjpeg's defaults and the given options.
std::string Encode(int width, int height, int components, J_COLOR_SPACE space,
                   const TestJpegOptions& options,
                   const std::function<void(int y, unsigned char* row)>& fill) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);

  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = components;
  cinfo.in_color_space = space;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, options.quality, TRUE);
  if (options.progressive) jpeg_simple_progression(&cinfo);
  cinfo.arith_code = options.arithmetic ? TRUE : FALSE;
  cinfo.restart_in_rows = options.restartRows;
  if (options.lumaH > 0) cinfo.comp_info[0].h_samp_factor = options.lumaH;
  if (options.lumaV > 0) cinfo.comp_info[0].v_samp_factor = options.lumaV;
  std::vector<jpeg_scan_info> script;
  for (const JpegScan& scan : options.scans) {
    jpeg_scan_info info{};
    info.comps_in_scan =
        static_cast<int>(std::min<std::size_t>(scan.components.size(), MAX_COMPS_IN_SCAN));
    std::copy_n(scan.components.begin(), info.comps_in_scan, info.component_index);
    info.Ss = scan.ss;
    info.Se = scan.se;
    info.Ah = scan.ah;
    info.Al = scan.al;
    script.push_back(info);
  }
  if (!script.empty()) {
    cinfo.scan_info = script.data();
    cinfo.num_scans = static_cast<int>(script.size());
  }
  jpeg_start_compress(&cinfo, TRUE);

  if (options.exif) {
    const std::vector<std::uint8_t> exif = ExifWithOrientation(6);
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
  }
  if (!options.app1.empty()) {
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, options.app1.data(),
                      static_cast<unsigned>(options.app1.size()));
  }
  if (!options.icc.empty()) {
    jpeg_write_icc_profile(&cinfo, options.icc.data(), static_cast<unsigned>(options.icc.size()));
  }

  std::vector<unsigned char> row(static_cast<std::size_t>(width) * components);
  while (cinfo.next_scanline < cinfo.image_height) {
    fill(static_cast<int>(cinfo.next_scanline), row.data());
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string bytes(reinterpret_cast<const char*>(buffer), size);
  std::free(buffer);
  return bytes;
}

}  // namespace

std::string MakeJpeg(int width, int height, const PixelFunction& pixel,
                     const TestJpegOptions& options) {
  const int components = options.grayscale ? 1 : options.cmyk ? 4 : 3;
  const J_COLOR_SPACE space = options.grayscale ? JCS_GRAYSCALE : options.cmyk ? JCS_CMYK : JCS_RGB;
  return Encode(width, height, components, space, options, [&](int y, unsigned char* row) {
    for (int x = 0; x < width; ++x) {
      const Rgb p = pixel(x, y);
      unsigned char* out = row + static_cast<std::size_t>(x) * components;
      out[0] = p[0];
      if (components == 1) continue;
      out[1] = p[1];
      out[2] = p[2];
      if (components == 4) out[3] = 255;
    }
  });
}

std::string MakeCmykJpeg(int width, int height, const std::function<Cmyk(int x, int y)>& pixel,
                         int quality) {
  return Encode(width, height, 4, JCS_CMYK, {.quality = quality}, [&](int y, unsigned char* row) {
    for (int x = 0; x < width; ++x) {
      const Cmyk p = pixel(x, y);
      std::copy(p.begin(), p.end(), row + 4 * x);
    }
  });
}

std::string RepeatLastScan(const std::string& jpeg, int extraCopies) {
  // In entropy-coded data a 0xFF byte is always followed by 0x00 or a restart
  // marker, so the last FF DA is the last scan's header.
  const std::size_t scan = jpeg.rfind("\xFF\xDA");
  if (scan == std::string::npos || !jpeg.ends_with("\xFF\xD9")) {
    throw std::invalid_argument("not a complete JPEG file");
  }
  const std::string last = jpeg.substr(scan, jpeg.size() - 2 - scan);
  std::string result = jpeg.substr(0, jpeg.size() - 2);
  for (int i = 0; i < extraCopies; ++i) result += last;
  return result + "\xFF\xD9";
}

Rgb CoordinatePixel(int x, int y) {
  return {static_cast<std::uint8_t>(x % 256), static_cast<std::uint8_t>(y % 256),
          static_cast<std::uint8_t>((x / 256 + 16 * (y / 256)) % 256)};
}

Rgb PhotoPixel(int x, int y) {
  // Gradients, a few soft discs and a fine deterministic texture.
  const unsigned hash =
      (static_cast<unsigned>(x) * 73856093u) ^ (static_cast<unsigned>(y) * 19349663u);
  const int grain = static_cast<int>(hash % 13) - 6;
  const int cx = (x % 700) - 350;
  const int cy = (y % 500) - 250;
  const int disc = (cx * cx + cy * cy) < 150 * 150 ? 40 : 0;
  const auto clamp = [](int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
  return {clamp(60 + (x / 40) % 120 + disc + grain), clamp(80 + (y / 30) % 100 + grain),
          clamp(140 - ((x + y) / 60) % 90 + disc / 2 + grain)};
}

}  // namespace quorvale::testing
