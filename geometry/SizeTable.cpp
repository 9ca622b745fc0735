#include "geometry/SizeTable.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace quorvale {
namespace {

// The print pairs are stored at 400 dpi as the window shows them, not
// derived from the millimetres in the captions. The fixed pairs follow
// their captions. The rows after the window's list are print sizes too,
// their 400-dpi pairs mm x 4000 / 254 truncated (89 mm gives L's 1401, so
// DSC and L share their short side at every dpi), scaled like the others.
constexpr std::array<SizePreset, 20> Presets{{
    {1, SizeKind::Print, 2000, 1401, "L"},
    {2, SizeKind::Print, 2394, 1606, "hagaki"},
    {3, SizeKind::Print, 2803, 2000, "2L"},
    {4, SizeKind::Print, 3402, 2598, "yatsugiri"},
    {5, SizeKind::Print, 4000, 3196, "mutsugiri"},
    {6, SizeKind::Print, 4803, 3196, "w-mutsugiri"},
    {7, SizeKind::Print, 4677, 3307, "A4"},
    {8, SizeKind::Print, 4803, 4000, "yotsugiri"},
    {9, SizeKind::Print, 5795, 4000, "w-yotsugiri"},
    {10, SizeKind::Fixed, 1536, 1024, "4base"},
    {11, SizeKind::Fixed, 3072, 2048, "16base"},
    {14, SizeKind::Fixed, 800, 600, "svga"},
    {15, SizeKind::Fixed, 1024, 768, "xga"},
    {16, SizeKind::Fixed, 1280, 1024, "sxga"},
    {12, SizeKind::Fixed, 320, 240, "qvga"},
    {17, SizeKind::Fixed, 1600, 1200, "sxga-1600"},
    {18, SizeKind::Fixed, 2048, 1536, "sxga-2048"},
    {13, SizeKind::Fixed, 640, 480, "vga"},
    {19, SizeKind::Print, 119 * 4000 / 254, 89 * 4000 / 254, "dsc"},
    {20, SizeKind::Print, 148 * 4000 / 254, 100 * 4000 / 254, "postcard"},
}};

constexpr std::array<std::int32_t, 5> Resolutions{150, 300, 400, 200, 320};

}  // namespace

std::span<const SizePreset> SizeTable() {
  return Presets;
}

std::span<const std::int32_t> PrintResolutions() {
  return Resolutions;
}

const SizePreset& SizeChoice::Preset() const {
  return Presets[preset < Presets.size() ? preset : 0];
}

SizeChoice ChooseSize(const char* id, std::int32_t dpi) {
  for (std::size_t row = 0; row < Presets.size(); ++row) {
    if (std::string_view(Presets[row].id) == id) return {row, dpi};
  }
  return {0, dpi};
}

LongShort TargetSize(const SizeChoice& choice) {
  const SizePreset& size = choice.Preset();
  if (size.kind == SizeKind::Fixed) return {size.L, size.S};
  return {size.L * choice.dpi / 400, size.S * choice.dpi / 400};
}

PixelSize ComputeTrimSize(std::int32_t w, std::int32_t h, LongShort target) {
  // Photo sides stay below 65536 and L, S below 6000, so these products fit
  // 32 bits; 64 bits only keep an absurd size from overflowing.
  const std::int64_t W = w, H = h, L = target.L, S = target.S;
  if (w > h) {
    if (W * S > H * L) return {static_cast<std::int32_t>(H * L / S), h};
    return {w, static_cast<std::int32_t>(W * S / L)};
  }
  if (W * L > H * S) return {static_cast<std::int32_t>(H * S / L), h};
  return {w, static_cast<std::int32_t>(W * L / S)};
}

ReductionBox ComputeReductionBox(std::int32_t w, std::int32_t h, LongShort target) {
  const PixelSize box = w > h ? PixelSize{target.L, target.S} : PixelSize{target.S, target.L};
  return {box.width, box.height, w >= box.width && h >= box.height};
}

PixelRect ComputeFitRect(std::int32_t w, std::int32_t h, LongShort target, std::int32_t margin) {
  const ReductionBox box = ComputeReductionBox(w, h, target);
  const std::int64_t frame = std::max<std::int64_t>(0, margin);
  const std::int64_t W = w, H = h;
  const std::int64_t BW = std::max<std::int64_t>(1, box.width - 2 * frame);
  const std::int64_t BH = std::max<std::int64_t>(1, box.height - 2 * frame);
  PixelSize fitted{w, h};
  if (w > BW || h > BH) {
    // W / H against BW / BH decides which side meets the inner box.
    if (W * BH >= H * BW) {
      fitted = {static_cast<std::int32_t>(BW),
                static_cast<std::int32_t>(std::max<std::int64_t>(1, H * BW / W))};
    } else {
      fitted = {static_cast<std::int32_t>(std::max<std::int64_t>(1, W * BH / H)),
                static_cast<std::int32_t>(BH)};
    }
  }
  return {(box.width - fitted.width) / 2, (box.height - fitted.height) / 2, fitted.width,
          fitted.height};
}

std::int32_t FrameMargin(const SizeChoice& size, std::int32_t amount) {
  if (amount <= 0) return 0;
  if (size.Preset().kind == SizeKind::Fixed) return amount;
  return static_cast<std::int32_t>((std::int64_t{amount} * size.dpi * 10 + 253) / 254);
}

}  // namespace quorvale
