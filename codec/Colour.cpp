#include "codec/Colour.h"

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace quorvale {
namespace {

struct ProfileCloser {
  void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

struct CurveFreer {
  void operator()(cmsToneCurve* curve) const { cmsFreeToneCurve(curve); }
};
using Curve = std::unique_ptr<cmsToneCurve, CurveFreer>;

std::vector<std::uint8_t> Saved(cmsHPROFILE profile) {
  cmsUInt32Number bytes = 0;
  if (profile == nullptr || !cmsSaveProfileToMem(profile, nullptr, &bytes)) return {};
  std::vector<std::uint8_t> saved(bytes);
  if (!cmsSaveProfileToMem(profile, saved.data(), &bytes)) return {};
  saved.resize(bytes);
  return saved;
}

// How an sRGB profile's colorants and tone curves read, against which a
// photo's profile is compared: plain numbers, read once.
constexpr int CurvePoints = 33;
constexpr double SrgbTolerance = 0.002;

struct MatrixShaper {
  std::array<cmsCIEXYZ, 3> colorants;
  std::array<std::array<float, CurvePoints>, 3> curves;
};

const cmsTagSignature ColorantTags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                         cmsSigBlueColorantTag};
const cmsTagSignature CurveTags[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};

std::optional<MatrixShaper> ReadMatrixShaper(cmsHPROFILE profile) {
  if (cmsGetColorSpace(profile) != cmsSigRgbData) return std::nullopt;
  MatrixShaper shaper{};
  for (int c = 0; c < 3; ++c) {
    const auto* colorant = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, ColorantTags[c]));
    const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, CurveTags[c]));
    if (colorant == nullptr || curve == nullptr) return std::nullopt;
    shaper.colorants[c] = *colorant;
    for (int i = 0; i < CurvePoints; ++i) {
      shaper.curves[c][i] = cmsEvalToneCurveFloat(curve, static_cast<float>(i) / (CurvePoints - 1));
    }
  }
  return shaper;
}

const MatrixShaper& SrgbShaper() {
  static const MatrixShaper shaper = [] {
    const Profile srgb(cmsCreate_sRGBProfile());
    return ReadMatrixShaper(srgb.get()).value_or(MatrixShaper{});
  }();
  return shaper;
}

bool Near(double a, double b) {
  return std::fabs(a - b) <= SrgbTolerance;
}

bool IsSrgb(cmsHPROFILE profile) {
  const std::optional<MatrixShaper> shaper = ReadMatrixShaper(profile);
  if (!shaper) return false;
  const MatrixShaper& srgb = SrgbShaper();
  for (int c = 0; c < 3; ++c) {
    const cmsCIEXYZ& a = shaper->colorants[c];
    const cmsCIEXYZ& b = srgb.colorants[c];
    if (!Near(a.X, b.X) || !Near(a.Y, b.Y) || !Near(a.Z, b.Z)) return false;
    for (int i = 0; i < CurvePoints; ++i) {
      if (!Near(shaper->curves[c][i], srgb.curves[c][i])) return false;
    }
  }
  return true;
}

// The decoding curve of a transfer code, as lcms2's parametric curves
// write it: type 4 is Y = (aX + b)^g for X >= d, else cX.
Curve CurveFor(int transfer) {
  switch (transfer) {
    case 13: {
      const cmsFloat64Number srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
      return Curve(cmsBuildParametricToneCurve(nullptr, 4, srgb));
    }
    case 1:
    case 6:
    case 14:
    case 15: {
      const cmsFloat64Number bt709[5] = {1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081};
      return Curve(cmsBuildParametricToneCurve(nullptr, 4, bt709));
    }
    case 4:
      return Curve(cmsBuildGamma(nullptr, 2.2));
    case 5:
      return Curve(cmsBuildGamma(nullptr, 2.8));
    case 8:
      return Curve(cmsBuildGamma(nullptr, 1.0));
    default:
      return nullptr;
  }
}

struct TransformDeleter {
  void operator()(void* transform) const { cmsDeleteTransform(transform); }
};

// 8-bit sRGB values of linear light in steps of 1/EncodeSteps, rounded:
// fine enough near black, where the curve is steepest, to stay within a
// twentieth of a level of the exact value.
constexpr int EncodeSteps = 65535;

const std::vector<std::uint8_t>& SrgbEncoding() {
  static const std::vector<std::uint8_t> table = [] {
    std::vector<std::uint8_t> encoded(EncodeSteps + 1);
    for (int i = 0; i <= EncodeSteps; ++i) {
      const double v = static_cast<double>(i) / EncodeSteps;
      const double e = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
      encoded[i] = static_cast<std::uint8_t>(std::lround(std::clamp(e, 0.0, 1.0) * 255));
    }
    return encoded;
  }();
  return table;
}

// The columns of `m` are the colorants' XYZ.
using Matrix = std::array<std::array<double, 3>, 3>;

Matrix ColorantMatrix(const std::array<cmsCIEXYZ, 3>& colorants) {
  Matrix m{};
  for (int c = 0; c < 3; ++c) {
    m[0][c] = colorants[c].X;
    m[1][c] = colorants[c].Y;
    m[2][c] = colorants[c].Z;
  }
  return m;
}

std::optional<Matrix> Inverse(const Matrix& m) {
  const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                     m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  if (std::fabs(det) < 1e-9) return std::nullopt;
  Matrix inverse{};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      // The cofactor of (c, r), over the determinant.
      const int r0 = (c + 1) % 3, r1 = (c + 2) % 3, c0 = (r + 1) % 3, c1 = (r + 2) % 3;
      inverse[r][c] = (m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0]) / det;
    }
  }
  return inverse;
}

}  // namespace

// A matrix-shaper profile's conversion done by hand: each value to linear
// light through its channel's curve, one matrix to sRGB's linear light,
// clipped, and sRGB's curve. This is what lcms2 computes for such a
// profile (black point compensation changes nothing where black is 0),
// at a fraction of the cost of its general 8-bit path.
struct SrgbConversion::Shaper {
  std::array<std::array<float, 256>, 3> linear;  // red, green, blue
  std::array<std::array<float, 3>, 3> matrix;    // linear sRGB red, green, blue from the above

  static std::optional<Shaper> For(cmsHPROFILE profile) {
    if (!cmsIsMatrixShaper(profile)) return std::nullopt;
    Shaper shaper{};
    std::array<cmsCIEXYZ, 3> colorants{};
    for (int c = 0; c < 3; ++c) {
      const auto* colorant = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, ColorantTags[c]));
      const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, CurveTags[c]));
      if (colorant == nullptr || curve == nullptr) return std::nullopt;
      colorants[c] = *colorant;
      for (int v = 0; v < 256; ++v) {
        shaper.linear[c][v] = cmsEvalToneCurveFloat(curve, static_cast<float>(v) / 255);
      }
      // A black above 0 is moved by black point compensation: left to lcms2.
      if (shaper.linear[c][0] > 1e-6F) return std::nullopt;
    }
    const std::optional<Matrix> toSrgb = Inverse(ColorantMatrix(SrgbShaper().colorants));
    if (!toSrgb) return std::nullopt;
    const Matrix from = ColorantMatrix(colorants);
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) {
        double sum = 0;
        for (int k = 0; k < 3; ++k) sum += (*toSrgb)[r][k] * from[k][c];
        shaper.matrix[r][c] = static_cast<float>(sum);
      }
    }
    return shaper;
  }

  void ConvertRow(std::uint8_t* row, int width) const {
    const std::uint8_t* encode = SrgbEncoding().data();
    const auto index = [](float v) {
      return static_cast<int>(std::clamp(v, 0.0F, 1.0F) * EncodeSteps + 0.5F);
    };
    for (int x = 0; x < width; ++x, row += 3) {
      const float r = linear[0][row[2]], g = linear[1][row[1]], b = linear[2][row[0]];
      const auto& m = matrix;
      row[2] = encode[index(m[0][0] * r + m[0][1] * g + m[0][2] * b)];
      row[1] = encode[index(m[1][0] * r + m[1][1] * g + m[1][2] * b)];
      row[0] = encode[index(m[2][0] * r + m[2][1] * g + m[2][2] * b)];
    }
  }
};

const std::vector<std::uint8_t>& CompactSrgbProfile() {
  static const std::vector<std::uint8_t> profile = [] {
    const Profile srgb(cmsCreate_sRGBProfile());
    return Saved(srgb.get());
  }();
  return profile;
}

std::optional<std::vector<std::uint8_t>> ProfileFor(const ColourDescription& description) {
  const Curve curve = CurveFor(description.transfer);
  if (!curve) return std::nullopt;
  const cmsCIExyY white{description.white[0], description.white[1], 1.0};
  const cmsCIExyYTRIPLE primaries{{description.red[0], description.red[1], 1.0},
                                  {description.green[0], description.green[1], 1.0},
                                  {description.blue[0], description.blue[1], 1.0}};
  cmsToneCurve* curves[3] = {curve.get(), curve.get(), curve.get()};
  const Profile profile(cmsCreateRGBProfile(&white, &primaries, curves));
  std::vector<std::uint8_t> saved = Saved(profile.get());
  if (saved.empty()) return std::nullopt;
  return saved;
}

SrgbConversion::Kind SrgbConversion::KindOf(std::span<const std::uint8_t> icc) {
  if (icc.empty()) return Kind::None;
  const Profile profile(
      cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())));
  if (!profile) return Kind::Unreadable;
  if (cmsGetColorSpace(profile.get()) != cmsSigRgbData || IsSrgb(profile.get())) return Kind::None;
  return Kind::Converts;
}

SrgbConversion SrgbConversion::For(std::span<const std::uint8_t> icc) {
  SrgbConversion conversion;
  if (icc.empty()) return conversion;
  const Profile profile(
      cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())));
  if (!profile) {
    conversion.kind_ = Kind::Unreadable;
    return conversion;
  }
  if (cmsGetColorSpace(profile.get()) != cmsSigRgbData || IsSrgb(profile.get())) {
    return conversion;
  }
  if (std::optional<Shaper> shaper = Shaper::For(profile.get())) {
    conversion.shaper_ = std::make_shared<const Shaper>(*shaper);
    conversion.kind_ = Kind::Converts;
    return conversion;
  }
  const Profile srgb(cmsCreate_sRGBProfile());
  // No cache: the transform is then used from several threads at once.
  cmsHTRANSFORM transform = cmsCreateTransform(profile.get(), TYPE_BGR_8, srgb.get(), TYPE_BGR_8,
                                               INTENT_RELATIVE_COLORIMETRIC,
                                               cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOCACHE);
  if (transform == nullptr) {
    conversion.kind_ = Kind::Unreadable;
    return conversion;
  }
  conversion.transform_ = std::shared_ptr<void>(transform, TransformDeleter());
  conversion.kind_ = Kind::Converts;
  return conversion;
}

void SrgbConversion::ConvertRow(std::uint8_t* row, int width) const {
  if (kind_ != Kind::Converts || width <= 0) return;
  if (shaper_) return shaper_->ConvertRow(row, width);
  cmsDoTransform(transform_.get(), row, row, static_cast<cmsUInt32Number>(width));
}

void SrgbConversion::Convert(Bitmap& bitmap) const {
  for (int y = 0; y < bitmap.Height(); ++y) ConvertRow(bitmap.Row(y), bitmap.Width());
}

}  // namespace quorvale
