#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "pixels/Bitmap.h"

namespace quorvale {

// lcms2's sRGB profile (IEC 61966-2.1: its primaries, D65 white and
// parametric tone curve), saved compact: the profile of a photo made sRGB
// that keeps its metadata. A few hundred bytes.
const std::vector<std::uint8_t>& CompactSrgbProfile();

// A photo's colours as primaries and a transfer code (an nclx colour
// description of ISO/IEC 23091-2, as HEIF carries it): the CIE xy
// chromaticities of red, green, blue and the white.
struct ColourDescription {
  double red[2];
  double green[2];
  double blue[2];
  double white[2];
  int transfer;  // 1, 6, 14, 15: BT.709's curve; 4: gamma 2.2; 5: gamma 2.8;
                 // 8: linear; 13: sRGB's curve
};

// An ICC profile (matrix and tone curves) for `description`; nullopt for a
// transfer outside those listed (PQ, HLG …), which no such profile describes.
std::optional<std::vector<std::uint8_t>> ProfileFor(const ColourDescription& description);

// Converts 8-bit blue, green, red pixels tagged with an ICC profile to sRGB:
// relative colorimetric with black point compensation, as lcms2 computes
// it (by hand for a profile of curves and a matrix).
class SrgbConversion {
 public:
  enum class Kind {
    None,        // no profile, an sRGB one, or one of another colour space
                 // (grey, CMYK): the values stay as they are, byte for byte
    Converts,    // an RGB profile other than sRGB
    Unreadable,  // lcms2 cannot read the profile or build the conversion:
                 // the values stay as they are, and the photo is worth a warning
  };

  // The conversion for a photo that carries `icc` (empty for none). A
  // profile whose colorants and tone curves are sRGB's (within 0.002, as
  // other makers' copies of IEC 61966-2.1 differ from lcms2's by rounding)
  // counts as sRGB.
  static SrgbConversion For(std::span<const std::uint8_t> icc);

  // What For(icc).Which() answers, without building the conversion: only
  // the profile is read (a profile lcms2 reads but cannot convert from
  // counts as Converts here).
  static Kind KindOf(std::span<const std::uint8_t> icc);

  Kind Which() const { return kind_; }

  // Converts `width` pixels at `row` in place; nothing unless Converts.
  // Safe from several threads at once.
  void ConvertRow(std::uint8_t* row, int width) const;
  void Convert(Bitmap& bitmap) const;

 private:
  struct Shaper;
  Kind kind_ = Kind::None;
  std::shared_ptr<const Shaper> shaper_;  // a matrix-shaper profile's, or
  std::shared_ptr<void> transform_;       // lcms2's for any other
};

}  // namespace quorvale
