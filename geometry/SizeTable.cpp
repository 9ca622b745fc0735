#include "geometry/SizeTable.h"

#include <algorithm>
#include <array>

namespace quorvale {
namespace {

// The print pairs are stored at 400 dpi as the form shows them, not derived
// from the millimetres in the captions. The fixed pairs follow their
// captions, and each label is the pair's own aspect.
constexpr std::array<SizePreset, 18> Presets{{
    {1, 1, 1, "1.42", SizeKind::Print, 2000, 1401, "L"},
    {2, 2, 2, "1.49", SizeKind::Print, 2394, 1606, "hagaki"},
    {3, 3, 3, "1.39", SizeKind::Print, 2803, 2000, "2L"},
    {5, 4, 5, "1.309", SizeKind::Print, 3402, 2598, "yatsugiri"},
    {6, 5, 6, "1.25", SizeKind::Print, 4000, 3196, "mutsugiri"},
    {7, 6, 7, "1.50", SizeKind::Print, 4803, 3196, "w-mutsugiri"},
    {8, 7, 8, "1.414", SizeKind::Print, 4677, 3307, "A4"},
    {9, 8, 9, "1.20", SizeKind::Print, 4803, 4000, "yotsugiri"},
    {10, 9, 10, "1.448", SizeKind::Print, 5795, 4000, "w-yotsugiri"},
    {4, 10, 4, "1.50", SizeKind::Fixed, 1536, 1024, "4base"},
    {15, 11, 11, "1.50", SizeKind::Fixed, 3072, 2048, "16base"},
    {17, 14, 12, "1.33", SizeKind::Fixed, 800, 600, "svga"},
    {18, 15, 13, "1.33", SizeKind::Fixed, 1024, 768, "xga"},
    {19, 16, 14, "1.25", SizeKind::Fixed, 1280, 1024, "sxga"},
    {20, 12, 15, "1.33", SizeKind::Fixed, 320, 240, "qvga"},
    {21, 17, 16, "1.33", SizeKind::Fixed, 1600, 1200, "sxga-1600"},
    {22, 18, 17, "1.33", SizeKind::Fixed, 2048, 1536, "sxga-2048"},
    {23, 13, 18, "1.33", SizeKind::Fixed, 640, 480, "vga"},
}};

constexpr std::array<PrintResolution, 5> Resolutions{{
    {11, "150 dpi", 150},
    {12, "300 dpi", 300},
    {13, "400 dpi", 400},
    {14, "200 dpi", 200},
    {16, "320 dpi", 320},
}};

bool IsSelected(const RadioSelection& selected, int button) {
  return button >= 0 && static_cast<std::size_t>(button) < selected.size() && selected[button];
}

}  // namespace

std::span<const SizePreset> SizeTable() {
  return Presets;
}

std::span<const PrintResolution> PrintResolutions() {
  return Resolutions;
}

LongShort ResolveTargetSize(const RadioSelection& selected) {
  std::int32_t dpi = 400;
  for (const PrintResolution& resolution : Resolutions) {
    if (IsSelected(selected, resolution.button)) dpi = resolution.dpi;
  }
  // The first row is the default print size; a selected fixed size wins
  // over every print size.
  const SizePreset* chosen = &Presets[0];
  for (const SizePreset& preset : Presets) {
    if (preset.kind == SizeKind::Print && IsSelected(selected, preset.button)) chosen = &preset;
  }
  for (const SizePreset& preset : Presets) {
    if (preset.kind == SizeKind::Fixed && IsSelected(selected, preset.button)) chosen = &preset;
  }
  return TargetSize(*chosen, dpi);
}

LongShort TargetSize(const SizePreset& size, std::int32_t dpi) {
  if (size.kind == SizeKind::Fixed) return {size.L, size.S};
  return {size.L * dpi / 400, size.S * dpi / 400};
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

PixelRect ComputeFitRect(std::int32_t w, std::int32_t h, LongShort target) {
  const ReductionBox box = ComputeReductionBox(w, h, target);
  const std::int64_t W = w, H = h, BW = box.width, BH = box.height;
  PixelSize fitted{w, h};
  if (w > box.width || h > box.height) {
    // W / H against BW / BH decides which side meets the box.
    if (W * BH >= H * BW) {
      fitted = {box.width, static_cast<std::int32_t>(std::max<std::int64_t>(1, H * BW / W))};
    } else {
      fitted = {static_cast<std::int32_t>(std::max<std::int64_t>(1, W * BH / H)), box.height};
    }
  }
  return {(box.width - fitted.width) / 2, (box.height - fitted.height) / 2, fitted.width,
          fitted.height};
}

}  // namespace quorvale
