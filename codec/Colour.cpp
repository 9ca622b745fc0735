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

}  // namespace

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
  cmsDoTransform(transform_.get(), row, row, static_cast<cmsUInt32Number>(width));
}

void SrgbConversion::Convert(Bitmap& bitmap) const {
  for (int y = 0; y < bitmap.Height(); ++y) ConvertRow(bitmap.Row(y), bitmap.Width());
}

}  // namespace quorvale
