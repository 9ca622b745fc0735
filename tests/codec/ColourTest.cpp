#include <gtest/gtest.h>

#include <lcms2.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "codec/Colour.h"

namespace quorvale {
namespace {

using Kind = SrgbConversion::Kind;

std::vector<std::uint8_t> Saved(cmsHPROFILE profile) {
  cmsUInt32Number bytes = 0;
  cmsSaveProfileToMem(profile, nullptr, &bytes);
  std::vector<std::uint8_t> saved(bytes);
  cmsSaveProfileToMem(profile, saved.data(), &bytes);
  cmsCloseProfile(profile);
  return saved;
}

const cmsCIExyY D65{0.3127, 0.3290, 1.0};

std::vector<std::uint8_t> RgbProfile(const cmsCIExyYTRIPLE& primaries, cmsToneCurve* curve) {
  cmsToneCurve* curves[3] = {curve, curve, curve};
  std::vector<std::uint8_t> saved = Saved(cmsCreateRGBProfile(&D65, &primaries, curves));
  cmsFreeToneCurve(curve);
  return saved;
}

std::vector<std::uint8_t> AdobeRgb() {
  return RgbProfile({{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}},
                    cmsBuildGamma(nullptr, 563.0 / 256));
}

cmsToneCurve* SrgbCurve() {
  const double parameters[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
  return cmsBuildParametricToneCurve(nullptr, 4, parameters);
}

std::vector<std::uint8_t> DisplayP3() {
  return RgbProfile({{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}, SrgbCurve());
}

// sRGB as other makers write it: a table of 1024 values for its curve.
std::vector<std::uint8_t> TabulatedSrgb() {
  cmsToneCurve* parametric = SrgbCurve();
  std::vector<cmsUInt16Number> table(1024);
  for (int i = 0; i < 1024; ++i) {
    table[i] = static_cast<cmsUInt16Number>(
        std::lround(cmsEvalToneCurveFloat(parametric, i / 1023.0f) * 65535));
  }
  cmsFreeToneCurve(parametric);
  return RgbProfile({{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}},
                    cmsBuildTabulatedToneCurve16(nullptr, 1024, table.data()));
}

// Pixels spread over the cube, blue, green, red.
std::vector<std::uint8_t> Pixels() {
  std::vector<std::uint8_t> pixels;
  for (int b = 0; b < 256; b += 51) {
    for (int g = 0; g < 256; g += 17) {
      for (int r = 0; r < 256; r += 15)
        pixels.insert(pixels.end(), {std::uint8_t(b), std::uint8_t(g), std::uint8_t(r)});
    }
  }
  return pixels;
}

// lcms2's conversion of the same pixels in floating point, rounded.
std::vector<std::uint8_t> Reference(const std::vector<std::uint8_t>& icc,
                                    const std::vector<std::uint8_t>& pixels) {
  cmsHPROFILE from = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  cmsHTRANSFORM transform =
      cmsCreateTransform(from, TYPE_BGR_DBL, srgb, TYPE_BGR_DBL, INTENT_RELATIVE_COLORIMETRIC,
                         cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOOPTIMIZE);
  std::vector<double> values(pixels.begin(), pixels.end());
  for (double& v : values) v /= 255;
  cmsDoTransform(transform, values.data(), values.data(),
                 static_cast<cmsUInt32Number>(pixels.size() / 3));
  cmsDeleteTransform(transform);
  cmsCloseProfile(srgb);
  cmsCloseProfile(from);
  std::vector<std::uint8_t> converted;
  for (const double v : values) {
    converted.push_back(static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)));
  }
  return converted;
}

struct ColourCase {
  const char* name;
  std::function<std::vector<std::uint8_t>()> profile;
  Kind kind;
};

const ColourCase Cases[] = {
    {"None", [] { return std::vector<std::uint8_t>(); }, Kind::None},
    {"CompactSrgb", [] { return CompactSrgbProfile(); }, Kind::None},
    {"TabulatedSrgb", TabulatedSrgb, Kind::None},
    {"Grey",
     [] {
       cmsToneCurve* c = cmsBuildGamma(nullptr, 2.2);
       auto p = Saved(cmsCreateGrayProfile(cmsD50_xyY(), c));
       cmsFreeToneCurve(c);
       return p;
     },
     Kind::None},
    {"AdobeRgb", AdobeRgb, Kind::Converts},
    {"DisplayP3", DisplayP3, Kind::Converts},
    {"DisplayP3FromNclx",
     [] {
       return ProfileFor({{0.680, 0.320}, {0.265, 0.690}, {0.150, 0.060}, {0.3127, 0.3290}, 13})
           .value();
     },
     Kind::Converts},
    {"Unreadable",
     [] {
       std::vector<std::uint8_t> p = AdobeRgb();
       p.resize(p.size() / 2);
       return p;
     },
     Kind::Unreadable},
};

class ColourTest : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ColourTest, ConvertsToSrgbOrLeavesBytes) {
  const ColourCase& c = GetParam();
  const std::vector<std::uint8_t> icc = c.profile();
  const SrgbConversion conversion = SrgbConversion::For(icc);
  ASSERT_EQ(conversion.Which(), c.kind);
  const std::vector<std::uint8_t> pixels = Pixels();
  std::vector<std::uint8_t> converted = pixels;
  conversion.ConvertRow(converted.data(), static_cast<int>(pixels.size() / 3));
  if (c.kind != Kind::Converts) {
    EXPECT_EQ(converted, pixels);
    return;
  }
  // DisplayP3FromNclx is held to the profile built here for Display P3.
  const std::vector<std::uint8_t> expected =
      Reference(std::string(c.name) == "DisplayP3FromNclx" ? DisplayP3() : icc, pixels);
  int changed = 0;
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    ASSERT_LE(std::abs(converted[i] - expected[i]), 1) << "value " << i;
    changed += converted[i] != pixels[i];
  }
  EXPECT_GT(changed, static_cast<int>(pixels.size() / 4));
}

INSTANTIATE_TEST_SUITE_P(Profiles, ColourTest, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileFor, RefusesTransfersNoProfileDescribes) {
  EXPECT_FALSE(ProfileFor({{0.708, 0.292}, {0.170, 0.797}, {0.131, 0.046}, {0.3127, 0.3290}, 16}));
}

}  // namespace
}  // namespace quorvale
