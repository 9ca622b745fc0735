#pragma once

#include <array>
#include <cstdint>

namespace quorvale {

// The most source columns (or rows) that one output column (or row) of the
// high-quality reduction covers: at a reduction of 1/100 a footprint spans
// at most 10001 hundredths of a source pixel.
inline constexpr int MaxFootprintCells = 101;

// The source cells that one output column (or row) of the high-quality
// reduction covers, with their weights in hundredths of a source pixel.
struct Footprint {
  int first = 0;  // index of the first source cell covered
  int count = 0;  // cells covered, 1..MaxFootprintCells
  std::array<int, MaxFootprintCells> weights{};
};

// The footprint of output cell `index` when a source of `hundredths`
// (SW * 100, for rows as well as for columns) is reduced to `target` cells
// (TW, for rows as well as for columns). It covers the hundredths
// X0 = index * hundredths / target to X1 = (index + 1) * hundredths / target - 1,
// truncating, 64-bit. Cell indices above `lastCell` become `lastCell`, so an
// overhang is credited to the last cell. A single cell weighs X1 - X0;
// otherwise the first weighs (first + 1) * 100 - X0, inner cells 100 and the
// last X1 - last * 100, so the weights add up to X1 - X0, one hundredth less
// than the span. Requires 0 <= index < target and
// target <= hundredths <= target * 10000.
Footprint ComputeFootprint(std::int64_t hundredths, int target, int index, int lastCell);

}  // namespace quorvale
