#include "imaging/HighQuality.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#include "imaging/HighQualityWeights.h"
#include "imaging/Plane.h"

namespace quorvale {

Footprint ComputeFootprint(std::int64_t hundredths, int target, int index, int lastCell) {
  const std::int64_t x0 = index * hundredths / target;
  const std::int64_t x1 = (index + 1) * hundredths / target - 1;
  const int first = static_cast<int>(std::min<std::int64_t>(x0 / 100, lastCell));
  const int last = static_cast<int>(std::min<std::int64_t>(x1 / 100, lastCell));
  Footprint footprint;
  footprint.first = first;
  footprint.count = last - first + 1;
  if (first == last) {
    footprint.weights[0] = static_cast<int>(x1 - x0);
    return footprint;
  }
  footprint.weights[0] = static_cast<int>((first + 1) * std::int64_t{100} - x0);
  for (int i = 1; i < last - first; ++i) footprint.weights[i] = 100;
  footprint.weights[last - first] = static_cast<int>(x1 - last * std::int64_t{100});
  return footprint;
}

namespace {

using Clock = std::chrono::steady_clock;

// Pumps at the first output pixel of a pass, then whenever about 10 ms have
// passed; the clock is read only every few hundred pixels, since a pump per
// pixel would cost more than the pixel.
class MessagePump {
 public:
  explicit MessagePump(Window& window) : window_(window) {}

  void StartPass() {
    countdown_ = 1;
    forced_ = true;
  }

  void Tick() {
    if (--countdown_ != 0) return;
    countdown_ = ClockCheckInterval;
    if (forced_ || Clock::now() - last_ >= PumpInterval) {
      window_.ProcessMessages();
      last_ = Clock::now();
      forced_ = false;
    }
  }

 private:
  static constexpr int ClockCheckInterval = 256;
  static constexpr Clock::duration PumpInterval = std::chrono::milliseconds(10);

  Window& window_;
  Clock::time_point last_{};
  int countdown_ = 1;
  bool forced_ = true;
};

// Inner loops run over blocks of this many elements: a fixed trip count is
// what lets the compiler vectorise them at -O2.
constexpr std::size_t Block = 16;

struct Sizes {
  int sourceWidth, sourceHeight, targetWidth, targetHeight;
  std::int64_t hundredths;  // K = SW * 100
  std::int64_t side;        // f = K / TW
};

// Each output column's weights, padded with zeros to the widest footprint
// and shifted left where needed so that every tap stays inside the row.
struct ColumnTaps {
  explicit ColumnTaps(const Sizes& size) : start(static_cast<std::size_t>(size.targetWidth)) {
    for (int x = 0; x < size.targetWidth; ++x) taps = std::max(taps, Of(size, x).count);
    weights.assign(start.size() * taps, 0);
    for (int x = 0; x < size.targetWidth; ++x) {
      const Footprint footprint = Of(size, x);
      start[x] = std::min(footprint.first, size.sourceWidth - taps);
      std::uint32_t* row = &weights[static_cast<std::size_t>(x) * taps];
      for (int i = 0; i < footprint.count; ++i) {
        row[footprint.first - start[x] + i] = static_cast<std::uint32_t>(footprint.weights[i]);
      }
    }
  }

  static Footprint Of(const Sizes& size, int x) {
    return ComputeFootprint(size.hundredths, size.targetWidth, x, size.sourceWidth - 1);
  }

  int taps = 0;
  std::vector<int> start;              // first source column of each output column
  std::vector<std::uint32_t> weights;  // `taps` per output column
};

// out[c] (+)= wa * a[c] + wb * b[c] over the bytes of two source rows. A
// 16-bit Pair halves the vector work; it holds when (wa + wb) * 255 fits.
template <typename Pair, bool First>
void AddRowPair(const std::uint8_t* __restrict a, std::uint32_t wa,
                const std::uint8_t* __restrict b, std::uint32_t wb, std::size_t bytes,
                std::uint32_t* __restrict out) {
  std::size_t c = 0;
  for (; c + Block <= bytes; c += Block, a += Block, b += Block, out += Block) {
    for (std::size_t i = 0; i < Block; ++i) {
      const auto pair = static_cast<Pair>(wa * a[i] + wb * b[i]);
      out[i] = First ? pair : out[i] + pair;
    }
  }
  for (std::size_t i = 0; c + i < bytes; ++i) {
    const auto pair = static_cast<Pair>(wa * a[i] + wb * b[i]);
    out[i] = First ? pair : out[i] + pair;
  }
}

template <typename Pair>
void AddRowPair(bool first, const std::uint8_t* a, std::uint32_t wa, const std::uint8_t* b,
                std::uint32_t wb, std::size_t bytes, std::uint32_t* out) {
  if (first) return AddRowPair<Pair, true>(a, wa, b, wb, bytes, out);
  AddRowPair<Pair, false>(a, wa, b, wb, bytes, out);
}

// The row sums of one output row: every byte of the source rows its
// footprint covers, weighted by the row weights (at most 255 * f each).
// Rows go in pairs, so that products and pair sums are formed in 16 bits.
void SumRows(const Bitmap& bitmap, const Footprint& rows, std::size_t bytes, std::uint32_t* out) {
  for (int i = 0; i < rows.count; i += 2) {
    const bool single = i + 1 == rows.count;
    const std::uint8_t* a = bitmap.Row(rows.first + i);
    const std::uint8_t* b = single ? a : bitmap.Row(rows.first + i + 1);
    const auto wa = static_cast<std::uint32_t>(rows.weights[i]);
    const auto wb = single ? 0u : static_cast<std::uint32_t>(rows.weights[i + 1]);
    // Only an overhanging last row can weigh more than 100.
    if ((wa + wb) * 255 <= std::numeric_limits<std::uint16_t>::max()) {
      AddRowPair<std::uint16_t>(i == 0, a, wa, b, wb, bytes, out);
    } else {
      AddRowPair<std::uint32_t>(i == 0, a, wa, b, wb, bytes, out);
    }
  }
}

// Exact truncating division by a divisor fixed for the whole call: the
// multiply-high by floor((2^64 - 1) / d) is at most one short of the true
// quotient, and one comparison mends that.
class Divider {
 public:
  explicit Divider(std::uint64_t divisor)
      : divisor_(divisor), inverse_(std::numeric_limits<std::uint64_t>::max() / divisor) {}

  std::uint64_t operator()(std::uint64_t n) const {
    std::uint64_t q =
        static_cast<std::uint64_t>((static_cast<unsigned __int128>(n) * inverse_) >> 64);
    q += (q + 1) * divisor_ <= n;
    return q;
  }

 private:
  std::uint64_t divisor_;
  std::uint64_t inverse_;
};

// Component sums of one output row before the division by D = f * f, and
// the packed quotients.
template <typename Sum>
struct RowSums {
  explicit RowSums(int width)
      : blue(Padded(width)), green(Padded(width)), red(Padded(width)), cells(Padded(width)) {}
  static std::size_t Padded(int width) {
    return (static_cast<std::size_t>(width) + Block - 1) / Block * Block;
  }

  std::vector<Sum> blue, green, red;
  std::vector<std::uint32_t> cells;
};

// Weighs the row sums by each output pixel's column weights, testing for a
// cancel before each pixel; false when one was seen. With 32-bit sums, blue
// and green travel together in one 64-bit word: each half stays below 2^31,
// so no carry crosses between them.
template <int Taps, typename Sum>
bool WeighColumns(RunState& state, MessagePump& pump, const ColumnTaps& columns,
                  const std::uint32_t* rowSums, int targetWidth, RowSums<Sum>& sums) {
  constexpr bool paired =
      std::is_same_v<Sum, std::uint32_t> && std::endian::native == std::endian::little;
  const int taps = Taps > 0 ? Taps : columns.taps;
  const std::uint32_t* weights = columns.weights.data();
  for (int x = 0; x < targetWidth; ++x, weights += taps) {
    pump.Tick();
    if (state.CancelRequested) return false;
    const std::uint32_t* cell = rowSums + 3 * static_cast<std::ptrdiff_t>(columns.start[x]);
    if constexpr (paired) {
      std::uint64_t blueGreen = 0;
      std::uint32_t red = 0;
      for (int i = 0; i < taps; ++i, cell += 3) {
        std::uint64_t pair;
        std::memcpy(&pair, cell, sizeof pair);
        blueGreen += weights[i] * pair;
        red += weights[i] * cell[2];
      }
      sums.blue[x] = static_cast<std::uint32_t>(blueGreen);
      sums.green[x] = static_cast<std::uint32_t>(blueGreen >> 32);
      sums.red[x] = red;
    } else {
      Sum blue = 0, green = 0, red = 0;
      for (int i = 0; i < taps; ++i, cell += 3) {
        blue += static_cast<Sum>(weights[i]) * cell[0];
        green += static_cast<Sum>(weights[i]) * cell[1];
        red += static_cast<Sum>(weights[i]) * cell[2];
      }
      sums.blue[x] = blue;
      sums.green[x] = green;
      sums.red[x] = red;
    }
  }
  return true;
}

template <typename Sum>
bool WeighColumns(RunState& state, MessagePump& pump, const ColumnTaps& columns,
                  const std::uint32_t* rowSums, int targetWidth, RowSums<Sum>& sums) {
  switch (columns.taps) {
    case 2:
      return WeighColumns<2>(state, pump, columns, rowSums, targetWidth, sums);
    case 3:
      return WeighColumns<3>(state, pump, columns, rowSums, targetWidth, sums);
    case 4:
      return WeighColumns<4>(state, pump, columns, rowSums, targetWidth, sums);
    case 5:
      return WeighColumns<5>(state, pump, columns, rowSums, targetWidth, sums);
    default:
      return WeighColumns<0>(state, pump, columns, rowSums, targetWidth, sums);
  }
}

// Divides by D and packs, for sums below 2^31: (n + 0.5) / D in double
// precision lies at least 0.5 / D (above 5e-8 here) from any integer and
// is computed within 1e-13, so its truncation is the exact quotient n / D.
void DivideBlock(const std::uint32_t* __restrict red, const std::uint32_t* __restrict green,
                 const std::uint32_t* __restrict blue, double inverse,
                 std::uint32_t* __restrict cells) {
  const auto quotient = [inverse](std::uint32_t n) {
    const double exact = (static_cast<std::int32_t>(n) + 0.5) * inverse;
    return static_cast<std::uint32_t>(std::min(static_cast<std::int32_t>(exact), 255));
  };
  for (std::size_t i = 0; i < Block; ++i) {
    cells[i] = quotient(red[i]) << 16 | quotient(green[i]) << 8 | quotient(blue[i]);
  }
}

void DivideRow(RowSums<std::uint32_t>& sums, std::int64_t divisor) {
  const double inverse = 1.0 / static_cast<double>(divisor);
  for (std::size_t x = 0; x < sums.cells.size(); x += Block) {
    DivideBlock(&sums.red[x], &sums.green[x], &sums.blue[x], inverse, &sums.cells[x]);
  }
}

void DivideRow(RowSums<std::uint64_t>& sums, std::int64_t divisor) {
  const Divider divide(static_cast<std::uint64_t>(divisor));
  const auto quotient = [&divide](std::uint64_t n) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(divide(n), 255));
  };
  for (std::size_t x = 0; x < sums.cells.size(); ++x) {
    sums.cells[x] =
        quotient(sums.red[x]) << 16 | quotient(sums.green[x]) << 8 | quotient(sums.blue[x]);
  }
}

// Area averaging into ResultPlane. A source pixel weighs its column weight
// times its row weight, so each output row first sums its source rows with
// the row weights (contiguous, vectorised) and each output pixel then weighs
// a few of those sums with its column weights: the same integers, exactly.
// The sums stay below 255 * f * f, so 32 bits hold them whenever f is at
// most 2901, which every box of the size table gives.
template <typename Sum>
int Resample(RunState& state, MessagePump& pump, const Bitmap& bitmap, const Sizes& size) {
  const ColumnTaps columns(size);
  const std::size_t bytes = static_cast<std::size_t>(size.sourceWidth) * 3;
  std::vector<std::uint32_t> rowSums(bytes);
  RowSums<Sum> sums(size.targetWidth);

  pump.StartPass();
  for (int y = 0; y < size.targetHeight; ++y) {
    SumRows(bitmap, ComputeFootprint(size.hundredths, size.targetWidth, y, size.sourceHeight - 1),
            bytes, rowSums.data());
    if (!WeighColumns(state, pump, columns, rowSums.data(), size.targetWidth, sums)) return -2;
    DivideRow(sums, size.side * size.side);
    std::copy_n(sums.cells.data(), size.targetWidth, state.ResultPlane.Row(y));
  }
  return 0;
}

// One row of ResultPlane split into its components, with room past the end
// so that whole blocks can be computed beyond the row's interior.
struct ComponentRow {
  explicit ComponentRow(int width)
      : red(Padded(width)), green(Padded(width)), blue(Padded(width)) {}

  static std::size_t Padded(int width) {
    return (static_cast<std::size_t>(width) + 2 * Block) / Block * Block;
  }

  void Load(const std::uint32_t* cells, int width) {
    for (std::size_t x = 0; x < static_cast<std::size_t>(width); x += Block) {
      std::uint32_t block[Block] = {};
      std::copy_n(cells + x, std::min<std::size_t>(Block, width - x), block);
      Unpack(block, &red[x], &green[x], &blue[x]);
    }
  }

  static void Unpack(const std::uint32_t* __restrict cells, std::uint16_t* __restrict red,
                     std::uint16_t* __restrict green, std::uint16_t* __restrict blue) {
    for (std::size_t i = 0; i < Block; ++i) {
      red[i] = static_cast<std::uint16_t>(cells[i] >> 16 & 0xFF);
      green[i] = static_cast<std::uint16_t>(cells[i] >> 8 & 0xFF);
      blue[i] = static_cast<std::uint16_t>(cells[i] & 0xFF);
    }
  }

  std::vector<std::uint16_t> red, green, blue;
};

// The kernel 1 2 1 / 2 0 2 / 1 2 1 over one component, before the division
// by 12; at most 12 * 255.
inline std::uint16_t KernelSum(const std::uint16_t* above, const std::uint16_t* centre,
                               const std::uint16_t* below, std::size_t x) {
  return static_cast<std::uint16_t>(above[x - 1] + 2 * above[x] + above[x + 1] +
                                    2 * (centre[x - 1] + centre[x + 1]) + below[x - 1] +
                                    2 * below[x] + below[x + 1]);
}

// (77 R + 151 G + 28 B) / 255; the sum is at most 65280, so 16 bits hold it.
inline std::uint16_t Brightness(std::uint16_t red, std::uint16_t green, std::uint16_t blue) {
  return static_cast<std::uint16_t>(static_cast<std::uint16_t>(77 * red + 151 * green + 28 * blue) /
                                    255);
}

// What every component of one block of pixels x0 .. x0 + Block - 1 is
// scaled by: the target brightness T = Yc - (Yn - Yc) / 2 and 1 / Yc.
void BlockTargets(const ComponentRow& above, const ComponentRow& centre, const ComponentRow& below,
                  std::size_t x0, float* __restrict target, float* __restrict inverse) {
  std::uint16_t yc[Block], yn[Block];
  const std::uint16_t* __restrict cr = centre.red.data();
  const std::uint16_t* __restrict cg = centre.green.data();
  const std::uint16_t* __restrict cb = centre.blue.data();
  const std::uint16_t* __restrict ar = above.red.data();
  const std::uint16_t* __restrict ag = above.green.data();
  const std::uint16_t* __restrict ab = above.blue.data();
  const std::uint16_t* __restrict br = below.red.data();
  const std::uint16_t* __restrict bg = below.green.data();
  const std::uint16_t* __restrict bb = below.blue.data();
  for (std::size_t i = 0; i < Block; ++i) {
    const std::size_t x = x0 + i;
    yc[i] = Brightness(cr[x], cg[x], cb[x]);
    yn[i] = Brightness(static_cast<std::uint16_t>(KernelSum(ar, cr, br, x) / 12),
                       static_cast<std::uint16_t>(KernelSum(ag, cg, bg, x) / 12),
                       static_cast<std::uint16_t>(KernelSum(ab, cb, bb, x) / 12));
  }
  for (std::size_t i = 0; i < Block; ++i) {
    const std::int32_t c = yc[i], n = yn[i];
    target[i] = static_cast<float>(c - (n - c) / 2);
    // A black centre stays black: its inverse 0 makes every component 0.
    inverse[i] = (c > 0 ? 1.0f : 0.0f) / static_cast<float>(c > 0 ? c : 1);
  }
}

// component * T / Yc for one block of one component, truncating toward zero
// and clamped to 0..255, in single precision: the product (below 2^17) is
// exact, and (n + 0.5) * (1 / Yc) lies at least 0.5 / 256 from any integer
// and is computed within 5e-5 (the quotient is below 384), so truncating it
// gives the exact quotient n / Yc when n >= 0; a negative n gives a value
// below 0, which clamps to 0 as the quotient would.
void BlockScale(const std::uint16_t* __restrict component, const float* __restrict target,
                const float* __restrict inverse, std::uint8_t* __restrict out) {
  for (std::size_t i = 0; i < Block; ++i) {
    const float quotient = (static_cast<float>(component[i]) * target[i] + 0.5f) * inverse[i];
    out[i] = static_cast<std::uint8_t>(std::clamp(quotient, 0.0f, 255.0f));
  }
}

// Sharpened components of one row of ResultPlane, border columns unchanged.
struct SharpenedRow {
  explicit SharpenedRow(int width)
      : red(ComponentRow::Padded(width)),
        green(ComponentRow::Padded(width)),
        blue(ComponentRow::Padded(width)) {}

  // A border row passes through unchanged.
  void Copy(const ComponentRow& row, int width) {
    for (int x = 0; x < width; ++x) Set(x, row, x);
  }

  void Sharpen(const ComponentRow& above, const ComponentRow& centre, const ComponentRow& below,
               int width) {
    // Whole blocks from column 1 on; the padding takes the overrun.
    for (std::size_t x = 1; x + 1 < static_cast<std::size_t>(width); x += Block) {
      float target[Block], inverse[Block];
      BlockTargets(above, centre, below, x, target, inverse);
      BlockScale(&centre.red[x], target, inverse, &red[x]);
      BlockScale(&centre.green[x], target, inverse, &green[x]);
      BlockScale(&centre.blue[x], target, inverse, &blue[x]);
    }
    Set(0, centre, 0);
    Set(width - 1, centre, width - 1);
  }

  void Set(int x, const ComponentRow& row, int from) {
    red[x] = static_cast<std::uint8_t>(row.red[from]);
    green[x] = static_cast<std::uint8_t>(row.green[from]);
    blue[x] = static_cast<std::uint8_t>(row.blue[from]);
  }

  std::vector<std::uint8_t> red, green, blue;
};

// Sharpens ResultPlane into the top-left corner of `bitmap`. Neighbourhoods
// are read from ResultPlane only, so the result does not depend on the order.
int Sharpen(RunState& state, MessagePump& pump, Bitmap& bitmap, int width, int height) {
  ComponentRow rows[3] = {ComponentRow(width), ComponentRow(width), ComponentRow(width)};
  ComponentRow* above = &rows[0];
  ComponentRow* centre = &rows[1];
  ComponentRow* below = &rows[2];
  SharpenedRow sharpened(width);
  centre->Load(state.ResultPlane.Row(0), width);

  pump.StartPass();
  for (int y = 0; y < height; ++y) {
    if (y + 1 < height) below->Load(state.ResultPlane.Row(y + 1), width);
    if (y > 0 && y + 1 < height) {
      sharpened.Sharpen(*above, *centre, *below, width);
    } else {
      sharpened.Copy(*centre, width);
    }
    // Every pixel of the row is tested before the row is written, so a
    // cancel leaves whole result rows above the current one and the source
    // from there on.
    for (int x = 0; x < width; ++x) {
      pump.Tick();
      if (state.CancelRequested) return -2;
    }
    std::uint8_t* out = bitmap.Row(y);
    for (int x = 0; x < width; ++x, out += 3) {
      out[0] = sharpened.blue[x];
      out[1] = sharpened.green[x];
      out[2] = sharpened.red[x];
    }
    std::swap(above, centre);
    std::swap(centre, below);
  }
  return 0;
}

// Leaves the reason in MessageText, cut to the size of the window's buffer.
__attribute__((format(printf, 2, 3))) int Decline(RunState& state, const char* format, ...) {
  char text[2048];
  va_list values;
  va_start(values, format);
  std::vsnprintf(text, sizeof text, format, values);
  va_end(values);
  state.MessageText = text;
  return -1;
}

}  // namespace

int ShrinkHighQuality(RunState& state, Window& window, Bitmap& bitmap, int width, int height) {
  state.MessageText.clear();
  const std::int64_t sw = bitmap.Width(), sh = bitmap.Height(), tw = width, th = height;

  // A zero side cannot come from the reduction step; the ratio test skips it
  // rather than divide by zero, and a later test refuses it.
  if (sh > 0 && th > 0 && std::abs(sw * 100 / sh - tw * 100 / th) >= 4) {
    return Decline(state, "比率が違うので高画質圧縮を中断しました。(幅 %d  高さ%d)", width, height);
  }
  if (sw == tw && sh == th) {
    return Decline(state, "画像サイズが同じなので高画質圧縮を中断しました。(幅 %d  高さ%d)", width,
                   height);
  }
  if (sw > MaxPlaneSide || sh > MaxPlaneSide) {
    return Decline(state,
                   "元画像が大きすぎるので高画質圧縮を中断しました。(幅 %d  高さ%d)\n"
                   "最大サイズは幅　%dpx　高さ%dpxです。",
                   bitmap.Width(), bitmap.Height(), MaxPlaneSide, MaxPlaneSide);
  }
  if (tw > MaxPlaneSide || th > MaxPlaneSide) {
    return Decline(state,
                   "縮小後画像が大きすぎるので高画質圧縮を中断しました。(幅 %d  高さ%d)\n"
                   "最大サイズは幅　%dpx　高さ%dpxです。",
                   width, height, MaxPlaneSide, MaxPlaneSide);
  }
  if (tw * 100 < sw || th * 100 < sh) {
    return Decline(state, "縮小率が大きすぎるので高画質圧縮を中断しました。最大1/100です。");
  }
  if (sw <= tw || sh <= th) return Decline(state, "拡大なので高画質圧縮を中断しました。");

  const Sizes size{bitmap.Width(), bitmap.Height(), width, height, sw * 100, sw * 100 / tw};
  MessagePump pump(window);
  const bool narrow = 255 * size.side * size.side <= std::numeric_limits<std::int32_t>::max();
  const int resampled = narrow ? Resample<std::uint32_t>(state, pump, bitmap, size)
                               : Resample<std::uint64_t>(state, pump, bitmap, size);
  if (resampled != 0) return resampled;
  if (Sharpen(state, pump, bitmap, width, height) != 0) return -2;
  bitmap.SetWidth(width);
  bitmap.SetHeight(height);
  return 0;
}

}  // namespace quorvale
