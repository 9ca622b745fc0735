#include "pixels/HighQuality.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <type_traits>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "pixels/HighQualityWeights.h"

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

// Whether the processor has 32-byte integer vectors and they may be used.
bool WideVectors() {
#if defined(__x86_64__) || defined(__i386__)
  return !PortableCodeOnly() && __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

// Inner loops run over blocks of this many elements: a fixed trip count is
// what lets the compiler vectorise them at -O2.
constexpr std::size_t Block = 16;

struct Sizes {
  Sizes(int sw, int sh, int tw, int th)
      : sourceWidth(sw),
        sourceHeight(sh),
        targetWidth(tw),
        targetHeight(th),
        hundredths(std::int64_t{sw} * 100),
        side(hundredths / tw) {}

  // The source rows that output row y covers.
  Footprint Rows(int y) const {
    return ComputeFootprint(hundredths, targetWidth, y, sourceHeight - 1);
  }

  int sourceWidth, sourceHeight, targetWidth, targetHeight;
  std::int64_t hundredths;  // K = SW * 100
  std::int64_t side;        // f = K / TW
};

// The source rows of a footprint, row `first + i` at [i].
using FootprintRows = std::array<const std::uint8_t*, MaxFootprintCells>;

// Each output column's weights, padded with zeros to the widest footprint
// and shifted left where needed so that every tap stays inside the row;
// stored `taps` per column, or in lanes for the vector weighing: per block
// of eight columns, per pair of columns x and x + 4 in it, per tap, each
// column's weight three times and a 0. The columns that fill the last
// block read source column 0 and weigh nothing.
struct ColumnTaps {
  static constexpr int Block = 8;

  ColumnTaps(const Sizes& size, bool inLanes) {
    const int width = size.targetWidth;
    for (int x = 0; x < width; ++x) taps = std::max(taps, Of(size, x).count);
    const std::size_t padded = (static_cast<std::size_t>(width) + Block - 1) / Block * Block;
    start.assign(inLanes ? padded : static_cast<std::size_t>(width), 0);
    weights.assign(start.size() * taps * (inLanes ? 4 : 1), 0);
    for (int x = 0; x < width; ++x) {
      const Footprint footprint = Of(size, x);
      start[x] = std::min(footprint.first, size.sourceWidth - taps);
      const auto column = static_cast<std::size_t>(x);
      const std::size_t pair = column / Block * 4 + column % 4;
      std::uint32_t* tap = inLanes ? &weights[pair * taps * Block + column % Block / 4 * 4]
                                   : &weights[column * taps];
      const std::size_t stride = inLanes ? Block : 1;
      tap += (footprint.first - start[x]) * stride;
      for (int i = 0; i < footprint.count; ++i, tap += stride) {
        std::fill_n(tap, inLanes ? 3 : 1, static_cast<std::uint32_t>(footprint.weights[i]));
      }
    }
  }

  static Footprint Of(const Sizes& size, int x) {
    return ComputeFootprint(size.hundredths, size.targetWidth, x, size.sourceWidth - 1);
  }

  int taps = 0;
  std::vector<int> start;              // first source column of each output column
  std::vector<std::uint32_t> weights;  // `taps` per output column, four times that in lanes
};

// Up to four source rows of a footprint with their row weights (0 for a
// missing one). A pair's weighted sum of a byte fits 16 bits unless an
// overhanging last row weighs much more than 100.
struct RowGroup {
  const std::uint8_t* rows[4];
  std::uint32_t weights[4];
  bool narrow() const {
    const auto fits = [](std::uint32_t a, std::uint32_t b) {
      return (a + b) * 255 <= std::numeric_limits<std::uint16_t>::max();
    };
    return fits(weights[0], weights[1]) && fits(weights[2], weights[3]);
  }
};

// out[c] (+)= the weighted sum of byte c of the group's rows, the first
// `Rows` of them (2 or 4; the others weigh 0). Pair is the type of each
// pair's sum: 16 bits halve the vector work.
template <typename Pair, bool First, int Rows>
void AddRows(const std::uint8_t* __restrict a, const std::uint8_t* __restrict b,
             const std::uint8_t* __restrict c, const std::uint8_t* __restrict d,
             const std::uint32_t* __restrict w, std::size_t bytes, std::uint32_t* __restrict out) {
  const auto wa = static_cast<Pair>(w[0]), wb = static_cast<Pair>(w[1]);
  const auto wc = static_cast<Pair>(w[2]), wd = static_cast<Pair>(w[3]);
  std::size_t done = 0;
  for (; done + Block <= bytes; done += Block, a += Block, b += Block, c += Block, d += Block) {
    // The source rows come from memory (another thread decoded them), and
    // the processor's own prefetching starts afresh on each 4 KiB page; so
    // the bytes a page ahead are asked for, a cache line at a time.
    if (done % 64 == 0) {
      __builtin_prefetch(a + 4096);
      __builtin_prefetch(b + 4096);
      if constexpr (Rows == 4) {
        __builtin_prefetch(c + 4096);
        __builtin_prefetch(d + 4096);
      }
    }
    for (std::size_t i = 0; i < Block; ++i) {
      std::uint32_t sum = static_cast<Pair>(wa * a[i] + wb * b[i]);
      if constexpr (Rows == 4) sum += static_cast<Pair>(wc * c[i] + wd * d[i]);
      out[done + i] = First ? sum : out[done + i] + sum;
    }
  }
  for (std::size_t i = 0; done + i < bytes; ++i) {
    std::uint32_t sum = static_cast<Pair>(wa * a[i] + wb * b[i]);
    if constexpr (Rows == 4) sum += static_cast<Pair>(wc * c[i] + wd * d[i]);
    out[done + i] = First ? sum : out[done + i] + sum;
  }
}

// The row sums of one output row: every byte of the source rows its
// footprint covers, weighted by the row weights (at most 255 * f each).
void SumRows(const Footprint& rows, const FootprintRows& pixels, std::size_t bytes,
             std::uint32_t* out) {
  for (int i = 0; i < rows.count; i += 4) {
    RowGroup group;
    for (int k = 0; k < 4; ++k) {
      const bool present = i + k < rows.count;
      group.rows[k] = pixels[present ? i + k : i];
      group.weights[k] = present ? static_cast<std::uint32_t>(rows.weights[i + k]) : 0;
    }
    const auto add = [&](auto kernel) {
      kernel(group.rows[0], group.rows[1], group.rows[2], group.rows[3], group.weights, bytes, out);
    };
    // A group of one or two rows (a footprint of two, as a halving has, or
    // the last of an odd count) skips the two that weigh nothing.
    if (rows.count - i <= 2) {
      if (group.narrow()) {
        i == 0 ? add(AddRows<std::uint16_t, true, 2>) : add(AddRows<std::uint16_t, false, 2>);
      } else {
        i == 0 ? add(AddRows<std::uint32_t, true, 2>) : add(AddRows<std::uint32_t, false, 2>);
      }
    } else if (group.narrow()) {
      i == 0 ? add(AddRows<std::uint16_t, true, 4>) : add(AddRows<std::uint16_t, false, 4>);
    } else {
      i == 0 ? add(AddRows<std::uint32_t, true, 4>) : add(AddRows<std::uint32_t, false, 4>);
    }
  }
}

// Exact truncating division by D = f * f (at least 100^2, at most 2901^2)
// for numerators below 2^31, by the high half of one multiply: with
// m = floor((2^64 - 1) / D) + 1, m * D = 2^64 + e for some e below D, so
// n * m / 2^64 exceeds n / D by n * e / (D * 2^64), less than 2^-33, while
// n / D lies at least 1 / D below the next integer.
class NarrowDivider {
 public:
  explicit NarrowDivider(std::uint64_t divisor)
      : multiplier_(std::numeric_limits<std::uint64_t>::max() / divisor + 1) {}

  std::uint32_t operator()(std::uint32_t n) const {
    return static_cast<std::uint32_t>((static_cast<unsigned __int128>(n) * multiplier_) >> 64);
  }

 private:
  std::uint64_t multiplier_;
};

// Exact truncating division for any 64-bit numerator: the multiply-high by
// floor((2^64 - 1) / D) is at most one short of the quotient, and one
// comparison mends that.
class WideDivider {
 public:
  explicit WideDivider(std::uint64_t divisor)
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

// One resampled row split into its components, with room past the end so
// that whole blocks can be computed beyond the row's interior.
struct ComponentRow {
  explicit ComponentRow(int width)
      : red(Padded(width)), green(Padded(width)), blue(Padded(width)) {}

  static std::size_t Padded(int width) {
    return (static_cast<std::size_t>(width) + 2 * Block) / Block * Block;
  }

  std::uint32_t Packed(int x) const {
    return static_cast<std::uint32_t>(red[x] << 16 | green[x] << 8 | blue[x]);
  }

  std::vector<std::uint16_t> red, green, blue;
};

// Weighs the row sums by each output pixel's column weights and divides by
// D into `out`, quotients above 255 made 255 (the weights of a footprint add
// up to at most f in each direction, so none exceeds 255 in practice). In
// the narrow case (every sum below 2^31) blue and green travel together in
// one 64-bit word, no carry crossing between the halves.
template <int Taps, bool Narrow>
void WeighColumns(const ColumnTaps& columns, const std::uint32_t* rowSums, int targetWidth,
                  std::uint64_t divisor, ComponentRow& out) {
  const int taps = Taps > 0 ? Taps : columns.taps;
  const std::uint32_t* weights = columns.weights.data();
  const WideDivider divide(divisor);
  const NarrowDivider narrow(divisor);
  constexpr bool paired = Narrow && std::endian::native == std::endian::little;
  for (int x = 0; x < targetWidth; ++x, weights += taps) {
    const std::uint32_t* cell = rowSums + 3 * static_cast<std::ptrdiff_t>(columns.start[x]);
    if constexpr (paired) {
      std::uint64_t blueGreen = 0;
      std::uint32_t red = 0;
#pragma GCC unroll 8
      for (int i = 0; i < taps; ++i) {
        std::uint64_t pair;
        std::memcpy(&pair, cell + 3 * i, sizeof pair);
        blueGreen += weights[i] * pair;
        red += weights[i] * cell[3 * i + 2];
      }
      const auto quotient = [&narrow](std::uint32_t n) {
        return static_cast<std::uint16_t>(std::min<std::uint32_t>(narrow(n), 255));
      };
      out.blue[x] = quotient(static_cast<std::uint32_t>(blueGreen));
      out.green[x] = quotient(static_cast<std::uint32_t>(blueGreen >> 32));
      out.red[x] = quotient(red);
    } else {
      std::uint64_t blue = 0, green = 0, red = 0;
      for (int i = 0; i < taps; ++i) {
        blue += std::uint64_t{weights[i]} * cell[3 * i];
        green += std::uint64_t{weights[i]} * cell[3 * i + 1];
        red += std::uint64_t{weights[i]} * cell[3 * i + 2];
      }
      out.blue[x] = static_cast<std::uint16_t>(std::min<std::uint64_t>(divide(blue), 255));
      out.green[x] = static_cast<std::uint16_t>(std::min<std::uint64_t>(divide(green), 255));
      out.red[x] = static_cast<std::uint16_t>(std::min<std::uint64_t>(divide(red), 255));
    }
  }
}

template <bool Narrow>
void WeighColumns(const ColumnTaps& columns, const std::uint32_t* rowSums, int targetWidth,
                  std::uint64_t divisor, ComponentRow& out) {
  switch (columns.taps) {
    case 2:
      return WeighColumns<2, Narrow>(columns, rowSums, targetWidth, divisor, out);
    case 3:
      return WeighColumns<3, Narrow>(columns, rowSums, targetWidth, divisor, out);
    case 4:
      return WeighColumns<4, Narrow>(columns, rowSums, targetWidth, divisor, out);
    case 5:
      return WeighColumns<5, Narrow>(columns, rowSums, targetWidth, divisor, out);
    default:
      return WeighColumns<0, Narrow>(columns, rowSums, targetWidth, divisor, out);
  }
}

#if defined(__x86_64__) || defined(__i386__)
// Exact truncating division of 32-bit lanes below 2^31 by D (2 to 2^32):
// with 2^(l - 1) < D <= 2^l, k = 31 + l and m = floor(2^k / D) + 1,
// m * D = 2^k + e for some e in 1 .. D, so n * m / 2^k exceeds n / D by
// n * e / (D * 2^k), less than 2^31 / 2^k = 2^-l <= 1 / D, while n / D lies
// at least 1 / D below the next integer. m is below 2^32 (it would take
// 2^k / D >= 2^32 - 1, that is D <= 2^(l - 1) * 2^32 / (2^32 - 1), which
// leaves no integer above 2^(l - 1)), so n * m is exact in the 64 bits of
// _mm256_mul_epu32.
struct LaneDivider {
  explicit LaneDivider(std::uint64_t divisor) {
    const int l = std::bit_width(divisor - 1);
    shift = 31 + l;
    multiplier = static_cast<std::uint32_t>((std::uint64_t{1} << shift) / divisor + 1);
  }

  // The lanes' quotients, given the multiplier in every lane and k - 32 as
  // the shift: each product is shifted so that its quotient lands in the
  // product's upper lane, and the even lanes' quotients are moved down.
  [[gnu::always_inline, gnu::target("avx2")]] static __m256i Divide(__m256i n, __m256i multiplier,
                                                                    __m128i shift) {
    const __m256i even = _mm256_srl_epi64(_mm256_mul_epu32(n, multiplier), shift);
    const __m256i odd =
        _mm256_srl_epi64(_mm256_mul_epu32(_mm256_shuffle_epi32(n, 0xF5), multiplier), shift);
    return _mm256_blend_epi32(_mm256_shuffle_epi32(even, 0xF5), odd, 0xAA);
  }

  std::uint32_t multiplier;
  int shift;  // k
};

// Eight quotients, those above 255 made 255, as 16-bit components.
[[gnu::always_inline, gnu::target("avx2")]] inline void StoreQuotients(__m256i quotients,
                                                                       __m256i most,
                                                                       std::uint16_t* to) {
  quotients = _mm256_min_epu32(quotients, most);
  const __m128i packed =
      _mm_packus_epi32(_mm256_castsi256_si128(quotients), _mm256_extracti128_si256(quotients, 1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to), packed);
}

// WeighColumns in the narrow case, eight output columns at a time: x and
// x + 4 share a vector, each in its own half, whose lanes hold a source
// column's blue, green, red sums and the next column's blue, which weighs
// nothing. Four such vectors transpose into a blue, a green and a red one.
// Every product and partial sum is at most the whole sum, below 2^31, so the
// low halves of the 32-bit products are exact. The row sums must have one
// element past the last column.
template <int Taps>
[[gnu::always_inline, gnu::target("avx2")]] inline void WeighColumnsWide(
    const ColumnTaps& columns, const std::uint32_t* rowSums, int targetWidth,
    const LaneDivider& divider, ComponentRow& out) {
  const int taps = Taps > 0 ? Taps : columns.taps;
  const int* start = columns.start.data();
  const std::uint32_t* weights = columns.weights.data();
  const __m256i most = _mm256_set1_epi32(255);
  const __m256i multiplier = _mm256_set1_epi32(static_cast<int>(divider.multiplier));
  const __m128i shift = _mm_cvtsi32_si128(divider.shift - 32);
  for (int x = 0; x < targetWidth; x += ColumnTaps::Block, start += ColumnTaps::Block) {
    __m256i pairs[4];
#pragma GCC unroll 4
    for (int p = 0; p < 4; ++p) {
      const std::uint32_t* low = rowSums + 3 * static_cast<std::ptrdiff_t>(start[p]);
      const std::uint32_t* high = rowSums + 3 * static_cast<std::ptrdiff_t>(start[p + 4]);
      __m256i sum = _mm256_setzero_si256();
#pragma GCC unroll 8
      for (int i = 0; i < taps; ++i, weights += ColumnTaps::Block) {
        const __m256i weight = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights));
        const __m256i sums = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(high + 3 * i),
                                                 reinterpret_cast<const __m128i*>(low + 3 * i));
        sum = _mm256_add_epi32(sum, _mm256_mullo_epi32(sums, weight));
      }
      pairs[p] = sum;
    }
    const __m256i blueGreen01 = _mm256_unpacklo_epi32(pairs[0], pairs[1]);
    const __m256i blueGreen23 = _mm256_unpacklo_epi32(pairs[2], pairs[3]);
    const __m256i red01 = _mm256_unpackhi_epi32(pairs[0], pairs[1]);
    const __m256i red23 = _mm256_unpackhi_epi32(pairs[2], pairs[3]);
    StoreQuotients(
        LaneDivider::Divide(_mm256_unpacklo_epi64(blueGreen01, blueGreen23), multiplier, shift),
        most, &out.blue[x]);
    StoreQuotients(
        LaneDivider::Divide(_mm256_unpackhi_epi64(blueGreen01, blueGreen23), multiplier, shift),
        most, &out.green[x]);
    StoreQuotients(LaneDivider::Divide(_mm256_unpacklo_epi64(red01, red23), multiplier, shift),
                   most, &out.red[x]);
  }
}

__attribute__((target("avx2"))) void WeighColumnsWide(const ColumnTaps& columns,
                                                      const std::uint32_t* rowSums, int targetWidth,
                                                      std::uint64_t divisor, ComponentRow& out) {
  const LaneDivider divide(divisor);
  switch (columns.taps) {
    case 2:
      return WeighColumnsWide<2>(columns, rowSums, targetWidth, divide, out);
    case 3:
      return WeighColumnsWide<3>(columns, rowSums, targetWidth, divide, out);
    case 4:
      return WeighColumnsWide<4>(columns, rowSums, targetWidth, divide, out);
    case 5:
      return WeighColumnsWide<5>(columns, rowSums, targetWidth, divide, out);
    default:
      return WeighColumnsWide<0>(columns, rowSums, targetWidth, divide, out);
  }
}
#endif

// The sharpening works on N pixels at a time in the compiler's generic
// vectors: the brightness arithmetic fits 16-bit lanes, the scaling needs
// single precision. Eight lanes suit any processor; sixteen pay where the
// processor has 32-byte vectors, and cost dearly where it has not.
// Their functions are always inlined, so no 32-byte vector ever crosses a
// call between code built for different processors. The compiler warns of
// such calls only at the end of the file, so the warning is off from here.
#pragma GCC diagnostic ignored "-Wpsabi"

template <int N>
struct LaneTypes;  // the vectors of N 16-bit lanes, and of half as many 32-bit ones

template <>
struct LaneTypes<8> {
  using U16 = std::uint16_t __attribute__((vector_size(16)));
  using I16 = std::int16_t __attribute__((vector_size(16)));
  using I32 = std::int32_t __attribute__((vector_size(16)));
  using F32 = float __attribute__((vector_size(16)));
};

template <>
struct LaneTypes<16> {
  using U16 = std::uint16_t __attribute__((vector_size(32)));
  using I16 = std::int16_t __attribute__((vector_size(32)));
  using I32 = std::int32_t __attribute__((vector_size(32)));
  using F32 = float __attribute__((vector_size(32)));
};

template <int N>
struct Lanes : LaneTypes<N> {
  using typename LaneTypes<N>::U16;
  using typename LaneTypes<N>::I16;
  using typename LaneTypes<N>::I32;
  using typename LaneTypes<N>::F32;

  [[gnu::always_inline]] static U16 Load(const std::uint16_t* from) {
    U16 lanes;
    std::memcpy(&lanes, from, sizeof lanes);
    return lanes;
  }

  // The kernel 1 2 1 / 2 0 2 / 1 2 1 over one component; at most 12 * 255.
  [[gnu::always_inline]] static U16 KernelSum(const std::uint16_t* above,
                                              const std::uint16_t* centre,
                                              const std::uint16_t* below, std::size_t x) {
    return Load(above + x - 1) + 2 * Load(above + x) + Load(above + x + 1) +
           2 * (Load(centre + x - 1) + Load(centre + x + 1)) + Load(below + x - 1) +
           2 * Load(below + x) + Load(below + x + 1);
  }

  // (77 R + 151 G + 28 B) / 255; the sum is at most 65280, so 16 bits hold it.
  [[gnu::always_inline]] static U16 Brightness(const U16& red, const U16& green, const U16& blue) {
    return (77 * red + 151 * green + 28 * blue) / 255;
  }

  // Lanes H * N / 2 onwards, sign-extended and made floats. Each lane is
  // doubled and the pair, read as one 32-bit lane (a cast between vectors
  // keeps the bits), shifted down: the same in either byte order.
  template <int H>
  [[gnu::always_inline]] static F32 Half(const I16& lanes) {
    constexpr int L = H * N / 2;
    I16 doubled;
    if constexpr (N == 8) {
      doubled =
          __builtin_shufflevector(lanes, lanes, L, L, L + 1, L + 1, L + 2, L + 2, L + 3, L + 3);
    } else {
      doubled =
          __builtin_shufflevector(lanes, lanes, L, L, L + 1, L + 1, L + 2, L + 2, L + 3, L + 3,
                                  L + 4, L + 4, L + 5, L + 5, L + 6, L + 6, L + 7, L + 7);
    }
    return __builtin_convertvector(I32(doubled) >> 16, F32);
  }

  // component * T / Yc, truncating, at most 255, for a T of at least 0. In
  // single precision the product (below 2^17) is exact, and (n + 0.5) / Yc,
  // formed as (n + 0.5) * (1 / Yc), lies at least 0.5 / 256 from any integer
  // and is computed within 5e-5 (the quotient is below 384), so truncating
  // it gives the exact quotient n / Yc.
  template <int H>
  [[gnu::always_inline]] static I32 Scale(const U16& component, const F32& target,
                                          const F32& inverse) {
    F32 quotient = (Half<H>(I16(component)) * target + 0.5f) * inverse;
    quotient = quotient < 255.0f ? quotient : 255.0f;
    return __builtin_convertvector(quotient, I32);
  }

  // Sharpens pixels x .. x + N - 1 of a row into R * 65536 + G * 256 + B
  // each.
  [[gnu::always_inline]] static void Sharpen(const ComponentRow& above, const ComponentRow& centre,
                                             const ComponentRow& below, std::size_t x,
                                             std::uint32_t* out) {
    const U16 r0 = Load(&centre.red[x]);
    const U16 g0 = Load(&centre.green[x]);
    const U16 b0 = Load(&centre.blue[x]);
    const I16 yc = I16(Brightness(r0, g0, b0));
    const U16 neighbourhood =
        Brightness(KernelSum(above.red.data(), centre.red.data(), below.red.data(), x) / 12,
                   KernelSum(above.green.data(), centre.green.data(), below.green.data(), x) / 12,
                   KernelSum(above.blue.data(), centre.blue.data(), below.blue.data(), x) / 12);
    const I16 yn = I16(neighbourhood);
    I16 target = yc - (yn - yc) / 2;
    // A target of 0 or less makes every product R0 * T at most 0, which
    // clamps to 0; so does a black centre (Yc = 0), whose target is -Yn / 2.
    // Both come out as 0 through a target of 0, the divisor 1 keeping the
    // lane defined.
    target = target > 0 ? target : 0;
    const I16 divisor = yc > 1 ? yc : 1;
    const F32 target0 = Half<0>(target), target1 = Half<1>(target);
    const F32 inverse0 = 1.0f / Half<0>(divisor), inverse1 = 1.0f / Half<1>(divisor);
    const I32 low = Scale<0>(r0, target0, inverse0) << 16 | Scale<0>(g0, target0, inverse0) << 8 |
                    Scale<0>(b0, target0, inverse0);
    const I32 high = Scale<1>(r0, target1, inverse1) << 16 | Scale<1>(g0, target1, inverse1) << 8 |
                     Scale<1>(b0, target1, inverse1);
    std::memcpy(out, &low, sizeof low);
    std::memcpy(out + N / 2, &high, sizeof high);
  }
};

// A packed pixel as blue, green, red bytes.
inline void StorePixel(std::uint32_t packed, std::uint8_t* out) {
  out[0] = static_cast<std::uint8_t>(packed);
  out[1] = static_cast<std::uint8_t>(packed >> 8);
  out[2] = static_cast<std::uint8_t>(packed >> 16);
}

// The same as one four-byte store where the byte order allows, which
// overwrites the first byte of the next pixel: that one must be stored after.
inline void StoreSpilling(std::uint32_t packed, std::uint8_t* out) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, &packed, sizeof packed);
  } else {
    StorePixel(packed, out);
  }
}

// One row of components as blue, green, red bytes, unchanged.
void StoreRow(const ComponentRow& row, int width, std::uint8_t* out) {
  for (int x = 0; x + 1 < width; ++x) StoreSpilling(row.Packed(x), out + 3 * x);
  StorePixel(row.Packed(width - 1), out + 3 * (width - 1));
}

// One sharpened row as blue, green, red bytes, the border columns unchanged.
// Columns 1 .. width - 2 go N at a time from their packed values, each
// store spilling into the next column; the last column is stored after them.
template <int N>
[[gnu::always_inline]] inline void SharpenRow(const ComponentRow& above, const ComponentRow& centre,
                                              const ComponentRow& below, int width,
                                              std::uint8_t* out) {
  const int last = width - 1;
  std::uint32_t packed[N];
  int x = 1;
  for (; x + N <= last; x += N) {
    Lanes<N>::Sharpen(above, centre, below, static_cast<std::size_t>(x), packed);
    for (int i = 0; i < N; ++i) StoreSpilling(packed[i], out + 3 * (x + i));
  }
  // The rest of a step: the padding takes the lanes past the row.
  if (x < last) {
    Lanes<N>::Sharpen(above, centre, below, static_cast<std::size_t>(x), packed);
    for (int i = 0; x + i < last; ++i) StoreSpilling(packed[i], out + 3 * (x + i));
  }
  StorePixel(centre.Packed(0), out);
  StorePixel(centre.Packed(last), out + 3 * last);
}

using SharpenRowFunction = void (*)(const ComponentRow&, const ComponentRow&, const ComponentRow&,
                                    int, std::uint8_t*);

void SharpenRowNarrow(const ComponentRow& above, const ComponentRow& centre,
                      const ComponentRow& below, int width, std::uint8_t* out) {
  SharpenRow<8>(above, centre, below, width, out);
}

#if defined(__x86_64__) || defined(__i386__)
// No "fma" beside it: a fused multiply-add in Scale would round differently.
__attribute__((target("avx2"))) void SharpenRowWide(const ComponentRow& above,
                                                    const ComponentRow& centre,
                                                    const ComponentRow& below, int width,
                                                    std::uint8_t* out) {
  SharpenRow<16>(above, centre, below, width, out);
}
#endif

// The widest sharpening the processor runs well.
SharpenRowFunction PickSharpenRow() {
#if defined(__x86_64__) || defined(__i386__)
  if (WideVectors()) return SharpenRowWide;
#endif
  return SharpenRowNarrow;
}

using WeighColumnsFunction = void (*)(const ColumnTaps&, const std::uint32_t*, int, std::uint64_t,
                                      ComponentRow&);

// The fastest weighing of the row sums, and whether it reads the weights in
// lanes: with vectors where the sums fit 32 bits and the processor has them.
struct ColumnWeighing {
  WeighColumnsFunction function;
  bool inLanes;
};

ColumnWeighing PickWeighColumns(bool narrow) {
  if (!narrow) return {WeighColumns<false>, false};
#if defined(__x86_64__) || defined(__i386__)
  if (WideVectors()) return {WeighColumnsWide, true};
#endif
  return {WeighColumns<true>, false};
}

// Sharpens the resampled rows into `bitmap` as they are made, while they
// are still in cache: row y - 1 once row y is there. The neighbourhoods are
// read from the resampled rows only, so the result does not depend on the
// order.
class Sharpener {
 public:
  Sharpener(Bitmap& bitmap, int width, int height)
      : bitmap_(bitmap),
        width_(width),
        height_(height),
        rows_{ComponentRow(width), ComponentRow(width), ComponentRow(width)},
        sharpenRow_(PickSharpenRow()) {}

  // Where row y is to be resampled; it keeps rows y - 1 and y - 2.
  ComponentRow& Row(int y) { return rows_[y % 3]; }

  // Row y has been resampled.
  void Resampled(int y) {
    if (y >= 2) sharpenRow_(Row(y - 2), Row(y - 1), Row(y), width_, bitmap_.Row(y - 1));
    // The first and last rows keep their resampled pixels.
    if (y == 0 || y + 1 == height_) StoreRow(Row(y), width_, bitmap_.Row(y));
  }

 private:
  Bitmap& bitmap_;
  int width_, height_;
  ComponentRow rows_[3];  // row r in rows_[r % 3]
  SharpenRowFunction sharpenRow_;
};

// Area averaging, each row sharpened into `result` as soon as the row below
// it is there. A source pixel weighs its column weight times its row weight,
// so each output row first sums its source rows with the row weights
// (contiguous, vectorised) and each output pixel then weighs a few of those
// sums with its column weights: the same integers, exactly. The sums stay
// below 255 * f * f, under 2^31 whenever f is at most 2901, which every box
// of the size table gives; beyond, they are 64-bit. Whoever holds the source
// rows feeds them, so a whole bitmap and a decoder's rows share every step.
class Resampler {
 public:
  Resampler(const Sizes& size, Bitmap& result)
      : weighing_(PickWeighColumns(255 * size.side * size.side <=
                                   std::numeric_limits<std::int32_t>::max())),
        columns_(size, weighing_.inLanes),
        rowSums_(static_cast<std::size_t>(size.sourceWidth) * 3 + 1),
        divisor_(static_cast<std::uint64_t>(size.side * size.side)),
        width_(size.targetWidth),
        sharpener_(result, size.targetWidth, size.targetHeight) {}

  // Output row y, whose footprint `rows` has its source rows in `pixels`.
  void Row(int y, const Footprint& rows, const FootprintRows& pixels) {
    SumRows(rows, pixels, rowSums_.size() - 1, rowSums_.data());
    weighing_.function(columns_, rowSums_.data(), width_, divisor_, sharpener_.Row(y));
    sharpener_.Resampled(y);
  }

 private:
  ColumnWeighing weighing_;
  ColumnTaps columns_;
  std::vector<std::uint32_t> rowSums_;  // one more than the source bytes, for the vector weighing
  std::uint64_t divisor_;
  int width_;
  Sharpener sharpener_;
};

// The source rows live in a ring, row y in slot y % slots. A footprint
// spans f or f + 1 hundredths, so at most f / 100 + 2 rows. When row y is
// asked for and row d is the last one done, y is at most d + RowSinkBatch;
// the next output row ends at row d + 1 or later, so it starts at row
// d - f / 100 or later. With RowSinkBatch + f / 100 + 1 slots, the row that
// y's slot held, y - slots, comes before that: no output row to come reads it.
int RingSlots(const Sizes& size) {
  return RowSinkBatch + static_cast<int>(size.side / 100) + 1;
}

}  // namespace

std::optional<HighQualityDecline> HighQualityRefusal(int sourceWidth, int sourceHeight, int width,
                                                     int height, int maxSource) {
  const std::int64_t sw = sourceWidth, sh = sourceHeight, tw = width, th = height;
  // A zero side cannot come from the reduction step; the ratio test skips it
  // rather than divide by zero, and a later test refuses it.
  if (sh > 0 && th > 0 && std::abs(sw * 100 / sh - tw * 100 / th) >= 4) {
    return HighQualityDecline{HighQualityDecline::Ratio, width, height};
  }
  if (sw == tw && sh == th) return HighQualityDecline{HighQualityDecline::SameSize, width, height};
  if (sw > maxSource || sh > maxSource) {
    return HighQualityDecline{HighQualityDecline::SourceTooLarge, sourceWidth, sourceHeight,
                              maxSource};
  }
  if (tw > MaxPhotoSide || th > MaxPhotoSide) {
    return HighQualityDecline{HighQualityDecline::TargetTooLarge, width, height, MaxPhotoSide};
  }
  if (tw * 100 < sw || th * 100 < sh) return HighQualityDecline{HighQualityDecline::TooFar};
  if (sw <= tw || sh <= th) return HighQualityDecline{HighQualityDecline::NotReduction};
  return std::nullopt;
}

HighQualityResult ShrinkHighQuality(const Bitmap& source, Bitmap& result, int width, int height,
                                    const CancelCheck& cancel, int maxSource) {
  if (const auto refusal =
          HighQualityRefusal(source.Width(), source.Height(), width, height, maxSource)) {
    return {HighQualityResult::Declined, *refusal};
  }
  // Every pixel of the result is stored, so it need not be cleared.
  result.Allocate(width, height);
  const Sizes size(source.Width(), source.Height(), width, height);
  Resampler resampler(size, result);
  FootprintRows pixels;
  for (int y = 0; y < height; ++y) {
    // The check only reads a flag, so once per row is cheap and still
    // answers a cancel within a few milliseconds.
    if (cancel && cancel()) return {HighQualityResult::Cancelled};
    const Footprint rows = size.Rows(y);
    for (int i = 0; i < rows.count; ++i) pixels[i] = source.Row(rows.first + i);
    resampler.Row(y, rows, pixels);
  }
  return {HighQualityResult::Reduced};
}

class HighQualityRowSink::Rows {
 public:
  Rows(Bitmap& result, const Sizes& size, std::size_t rowBytes)
      : size_(size),
        slots_(RingSlots(size)),
        ring_(slots_, rowBytes),
        done_(static_cast<std::size_t>(slots_)),
        resampler_(size, result),
        pending_(size.Rows(0)) {}

  std::uint8_t* For(int y) { return ring_.Slot(y); }

  // Makes every output row whose last source row is now in.
  void Done(int y, const std::uint8_t* pixels) {
    done_[y % slots_] = pixels;
    while (next_ < size_.targetHeight && pending_.first + pending_.count - 1 <= y) {
      FootprintRows rows;
      for (int i = 0; i < pending_.count; ++i) rows[i] = done_[(pending_.first + i) % slots_];
      resampler_.Row(next_, pending_, rows);
      if (++next_ < size_.targetHeight) pending_ = size_.Rows(next_);
    }
  }

  bool Complete() const { return next_ == size_.targetHeight; }

 private:
  Sizes size_;
  int slots_;
  RowRing ring_;
  std::vector<const std::uint8_t*> done_;  // where each slot's row starts
  Resampler resampler_;
  Footprint pending_;  // the rows of output row next_
  int next_ = 0;
};

HighQualityRowSink::HighQualityRowSink(Bitmap& result, int width, int height)
    : result_(result), width_(width), height_(height) {}

HighQualityRowSink::~HighQualityRowSink() = default;

void HighQualityRowSink::Start(int width, int height, std::size_t rowBytes) {
  if (HighQualityRefusal(width, height, width_, height_, std::numeric_limits<int>::max()) ||
      rowBytes < static_cast<std::size_t>(width) * 3) {
    throw std::invalid_argument("HighQualityRowSink: a picture it cannot reduce");
  }
  result_.Allocate(width_, height_);
  rows_ = std::make_unique<Rows>(result_, Sizes(width, height, width_, height_), rowBytes);
}

std::uint8_t* HighQualityRowSink::RowFor(int y) {
  return rows_->For(y);
}

void HighQualityRowSink::RowDone(int y, const std::uint8_t* pixels) {
  rows_->Done(y, pixels);
}

std::uint64_t HighQualityRowSink::Charge(int width, int height, std::size_t rowBytes) const {
  const Sizes size(width, height, std::max(width_, 1), height_);
  const std::uint64_t result = static_cast<std::uint64_t>(RowBytes(width_)) * height_;
  // The ring, the row sums and column weights (about 32 bytes a source
  // column and 32 a column, the weights in lanes), and the resampled and
  // sharpened rows (about 40 bytes a column).
  return std::max(result, std::uint64_t{result_.Capacity()}) +
         RowRing::Bytes(RingSlots(size), rowBytes) +
         std::uint64_t{32} * static_cast<std::uint64_t>(width) +
         std::uint64_t{72} * static_cast<std::uint64_t>(width_);
}

void HighQualityRowSink::Finish() {
  if (!rows_->Complete()) throw std::logic_error("HighQualityRowSink: rows missing at Finish");
  rows_.reset();
}

}  // namespace quorvale
