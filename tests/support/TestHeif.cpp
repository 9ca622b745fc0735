#include "support/TestHeif.h"

#include <libheif/heif.h>

#include <stdexcept>

namespace quorvale::testing {
namespace {

void Check(const heif_error& error) {
  if (error.code != heif_error_Ok) throw std::runtime_error(error.message);
}

heif_error Append(heif_context*, const void* data, std::size_t size, void* user) {
  static_cast<std::string*>(user)->append(static_cast<const char*>(data), size);
  return {heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

std::string Big(std::uint64_t value, int bytes) {
  std::string out;
  // Bytes above the value's eight are zeros.
  for (int i = bytes - 1; i >= 0; --i) {
    out.push_back(static_cast<char>(i < 8 ? value >> (8 * i) : 0));
  }
  return out;
}

std::string BoxOf(const char* type, const std::string& payload) {
  return Big(8 + payload.size(), 4) + type + payload;
}

std::string FullBoxOf(const char* type, int version, const std::string& payload) {
  return BoxOf(type, Big(version, 1) + Big(0, 3) + payload);
}

}  // namespace

std::string MakeHeic(const Bitmap& bitmap, const TestHeifOptions& options) {
  heif_init(nullptr);
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  const bool alpha = static_cast<bool>(options.alpha);
  heif_image* image = nullptr;
  Check(heif_image_create(width, height, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                          &image));
  Check(heif_image_add_plane(image, heif_channel_interleaved, width, height, 8));
  int stride = 0;
  std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
  const int channels = alpha ? 4 : 3;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* source = bitmap.Row(y) + 3 * x;
      std::uint8_t* target = plane + y * stride + x * channels;
      target[0] = source[2];
      target[1] = source[1];
      target[2] = source[0];
      if (alpha) target[3] = options.alpha(x, y);
    }
  }
  if (!options.icc.empty()) {
    Check(heif_image_set_raw_color_profile(image, "prof", options.icc.data(), options.icc.size()));
  }
  heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
  heif_nclx_color_profile_set_color_primaries(nclx, static_cast<std::uint16_t>(options.primaries));
  heif_nclx_color_profile_set_transfer_characteristics(
      nclx, static_cast<std::uint16_t>(options.transfer));
  nclx->full_range_flag = 1;
  if (options.icc.empty()) Check(heif_image_set_nclx_color_profile(image, nclx));

  heif_context* context = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  Check(heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder));
  heif_encoder_set_lossy_quality(encoder, options.quality);
  heif_encoding_options* encoding = heif_encoding_options_alloc();
  encoding->output_nclx_profile = options.icc.empty() ? nclx : nullptr;
  // Otherwise libheif leaves the nclx description out, for macOS's sake.
  encoding->macOS_compatibility_workaround_no_nclx_profile = 0;
  encoding->image_orientation = static_cast<heif_orientation>(options.orientation);
  heif_image_handle* handle = nullptr;
  Check(heif_context_encode_image(context, image, encoder, encoding, &handle));
  if (!options.exif.empty()) {
    Check(heif_context_add_exif_metadata(context, handle, options.exif.data(),
                                         static_cast<int>(options.exif.size())));
  }
  std::string out;
  heif_writer writer{1, Append};
  Check(heif_context_write(context, &writer, &out));
  heif_image_handle_release(handle);
  heif_encoding_options_free(encoding);
  heif_encoder_release(encoder);
  heif_nclx_color_profile_free(nclx);
  heif_image_release(image);
  heif_context_free(context);
  return out;
}

std::string MakeHeifWithReferences(int references, std::uint32_t canvasWidth,
                                   std::uint32_t canvasHeight) {
  std::string tiles;
  for (int i = 0; i < references; ++i) tiles += Big(2, 2);
  // The grid's data in the idat box: one row, one column, 32-bit sides.
  const std::string grid =
      Big(0, 1) + Big(1, 1) + Big(0, 2) + Big(canvasWidth, 4) + Big(canvasHeight, 4);
  const std::string iloc = Big(0x4400, 2) + Big(1, 2) + Big(1, 2) + Big(1, 2) + Big(0, 2) +
                           Big(1, 2) + Big(0, 4) + Big(grid.size(), 4);
  const std::string meta = FullBoxOf(
      "meta", 0,
      FullBoxOf("hdlr", 0, Big(0, 4) + "pict" + Big(0, 12) + std::string(1, '\0')) +
          FullBoxOf("pitm", 0, Big(1, 2)) + BoxOf("idat", grid) + FullBoxOf("iloc", 1, iloc) +
          FullBoxOf("iinf", 0,
                    Big(2, 2) + FullBoxOf("infe", 2, Big(1, 2) + Big(0, 2) + "grid" + '\0') +
                        FullBoxOf("infe", 2, Big(2, 2) + Big(0, 2) + "hvc1" + '\0')) +
          FullBoxOf("iref", 0, BoxOf("dimg", Big(1, 2) + Big(references, 2) + tiles)));
  return BoxOf("ftyp", std::string("heic") + Big(0, 4) + "mif1heic") + meta;
}

}  // namespace quorvale::testing
