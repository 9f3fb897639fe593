#include "textio/exponent_field.h"

#include <array>
#include <bit>
#include <cstring>

namespace zandovir {
namespace {

// Why the fast route is exact
// ---------------------------
// A finite nonzero |x| is m x 2^q with 2^52 <= m < 2^53 (subnormals normalised).
// With p chosen so that 10^(p-1) <= |x| < 2 x 10^p and s = 18 - p, the truncated
// digits are floor(V) with V = m x 2^q x 10^s, 10^17 <= V < 2 x 10^18 (a V of 19
// digits loses its last digit: floor(floor(V) / 10) = floor(V / 10)).
//
// The table holds 10^s as P x 2^E with 2^127 <= P < 2^128 and
// P x 2^E <= 10^s < (P + 1) x 2^E, i.e. rounded down. Let sh = -(q + E). Then
//     V x 2^sh = m x 10^s x 2^-E  lies in  [m P, m P + m).
// m P is computed exactly (192 bits), so D = floor(m P / 2^sh) <= floor(V), and
// floor(V) > D needs a multiple of 2^sh inside (m P, m P + m): only possible when
// the fraction bits f = m P mod 2^sh satisfy f + m > 2^sh. Outside that window D
// is exact. Since m P is in [2^179, 2^181) and V in [2^56, 2^61), sh lies in
// [119, 124], so the window means: the sh - 64 fraction bits in the middle word
// all ones and the low word w0 with w0 + m > 2^64; as a share of the fraction
// that is below m / 2^sh < 2^-66.
//
// For 0 <= s <= 55, 5^s has at most 128 bits and P x 2^E = 10^s exactly: no window.
// For s > 55, |x| < 10^-37 and V = m x 5^s x 2^(q+s) is never an integer (it would
// be at least 5^55 > 10^18). For s < 0, V is an integer exactly when 10^-s divides
// m x 2^q, which needs 5^-s | m (so -s <= 22) and enough factors of two; then
// floor(V) = D + 1 inside the window; there, a V that is not an integer is at
// least 5^-22 > 2^-52 away from every integer, so it is never misjudged, and it
// goes the exact route anyway. For s < -22 and s > 55 a search over all binades
// (best approximations of P / 2^sh, in the tests) finds 2^sh - f above 2^57 for
// every m < 2^53: no double reaches the window there. The exact big-integer route
// is kept behind the window all the same, so that correctness never rests on it.

using Uint128 = unsigned __int128;

constexpr int kTableSize = kPowerOfTenMaxScale - kPowerOfTenMinScale + 1;
constexpr int kExactTableMaxScale = 55;  // 5^55 < 2^128 <= 5^56

// --- The table, built by the compiler from exact big integers -----------------

constexpr int kTableLimbs = 28;  // 896 bits: holds 5^343 (797 bits) and 2^832
constexpr int kReciprocalBits = 832;  // floor(2^832 / 5^292) still has 154 bits
using TableBig = std::array<std::uint32_t, kTableLimbs>;

constexpr int bitLength(const TableBig& v) {
  for (int i = kTableLimbs - 1; i >= 0; --i) {
    if (v[static_cast<std::size_t>(i)] != 0) return i * 32 + std::bit_width(v[static_cast<std::size_t>(i)]);
  }
  return 0;
}

constexpr std::uint64_t bitOf(const TableBig& v, int index) {
  if (index < 0) return 0;
  return (v[static_cast<std::size_t>(index / 32)] >> (index % 32)) & 1u;
}

// The 128 bits from the top bit down: floor(v / 2^(bits - 128)), or v shifted up.
constexpr PowerOfTenApprox top128(const TableBig& v, int bits, int binaryExponent) {
  PowerOfTenApprox entry{0, 0, binaryExponent};
  for (int i = 0; i < 64; ++i) entry.high = (entry.high << 1) | bitOf(v, bits - 1 - i);
  for (int i = 64; i < 128; ++i) entry.low = (entry.low << 1) | bitOf(v, bits - 1 - i);
  return entry;
}

constexpr void multiplySmall(TableBig& v, std::uint32_t factor) {
  std::uint64_t carry = 0;
  for (auto& limb : v) {
    const std::uint64_t t = std::uint64_t{limb} * factor + carry;
    limb = static_cast<std::uint32_t>(t);
    carry = t >> 32;
  }
}

// v = floor(v / divisor); repeated floors compose: floor(floor(a / b) / c) = floor(a / (b c)).
constexpr void divideSmall(TableBig& v, std::uint32_t divisor) {
  std::uint64_t remainder = 0;
  for (int i = kTableLimbs - 1; i >= 0; --i) {
    const std::uint64_t current = (remainder << 32) | v[static_cast<std::size_t>(i)];
    v[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(current / divisor);
    remainder = current % divisor;
  }
}

constexpr std::array<PowerOfTenApprox, kTableSize> buildPowerOfTenTable() {
  std::array<PowerOfTenApprox, kTableSize> table{};
  // 10^s = 5^s x 2^s: the top bits of 5^s, cut below.
  TableBig five{};
  five[0] = 1;
  for (int s = 0; s <= kPowerOfTenMaxScale; ++s) {
    const int bits = bitLength(five);
    table[static_cast<std::size_t>(s - kPowerOfTenMinScale)] = top128(five, bits, s + bits - 128);
    multiplySmall(five, 5);
  }
  // 10^-u = 2^-u / 5^u: the top bits of floor(2^K / 5^u), cut below; the floor of a
  // floor is still below the true quotient, so the entry stays rounded down.
  TableBig reciprocal{};
  reciprocal[kReciprocalBits / 32] = std::uint32_t{1} << (kReciprocalBits % 32);
  for (int u = 1; u <= -kPowerOfTenMinScale; ++u) {
    divideSmall(reciprocal, 5);
    const int bits = bitLength(reciprocal);
    table[static_cast<std::size_t>(-u - kPowerOfTenMinScale)] =
        top128(reciprocal, bits, bits - 128 - kReciprocalBits - u);
  }
  return table;
}

constexpr std::array<PowerOfTenApprox, kTableSize> kPowersOfTen = buildPowerOfTenTable();

constexpr std::array<std::uint64_t, 20> kPow10 = [] {
  std::array<std::uint64_t, 20> powers{};
  std::uint64_t value = 1;
  for (auto& power : powers) {
    power = value;
    value *= 10;
  }
  return powers;
}();

constexpr std::array<std::uint64_t, 23> kPow5 = [] {
  std::array<std::uint64_t, 23> powers{};
  std::uint64_t value = 1;
  for (auto& power : powers) {
    power = value;
    value *= 5;
  }
  return powers;
}();

constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// --- The exact route ---------------------------------------------------------

// Big enough for m x 5^341 (845 bits) and for m x 2^q below 2^1024.
constexpr int kExactLimbs = 40;

struct ExactBig {
  std::uint32_t limb[kExactLimbs];
};

void exactMultiply(ExactBig& v, std::uint32_t factor) {
  std::uint64_t carry = 0;
  for (auto& limb : v.limb) {
    const std::uint64_t t = std::uint64_t{limb} * factor + carry;
    limb = static_cast<std::uint32_t>(t);
    carry = t >> 32;
  }
}

void exactDivide(ExactBig& v, std::uint32_t divisor) {
  std::uint64_t remainder = 0;
  for (int i = kExactLimbs - 1; i >= 0; --i) {
    const std::uint64_t current = (remainder << 32) | v.limb[i];
    v.limb[i] = static_cast<std::uint32_t>(current / divisor);
    remainder = current % divisor;
  }
}

void exactShiftLeft(ExactBig& v, int count) {
  const int limbs = count / 32;
  const int bits = count % 32;
  for (int i = kExactLimbs - 1; i >= 0; --i) {
    const int from = i - limbs;
    std::uint64_t value = 0;
    if (from >= 0) value = std::uint64_t{v.limb[from]} << bits;
    if (bits != 0 && from - 1 >= 0) value |= v.limb[from - 1] >> (32 - bits);
    v.limb[i] = static_cast<std::uint32_t>(value);
  }
}

void exactShiftRight(ExactBig& v, int count) {
  const int limbs = count / 32;
  const int bits = count % 32;
  for (int i = 0; i < kExactLimbs; ++i) {
    const int from = i + limbs;
    std::uint64_t value = 0;
    if (from < kExactLimbs) value = v.limb[from] >> bits;
    if (bits != 0 && from + 1 < kExactLimbs) value |= std::uint64_t{v.limb[from + 1]} << (32 - bits);
    v.limb[i] = static_cast<std::uint32_t>(value);
  }
}

// floor(m x 2^q x 10^s), for a product below 2^64.
std::uint64_t exactScaledFloor(std::uint64_t m, int q, int s) {
  constexpr std::uint32_t kFive13 = 1220703125u;  // 5^13, the largest power of five in 32 bits
  ExactBig v{};
  v.limb[0] = static_cast<std::uint32_t>(m);
  v.limb[1] = static_cast<std::uint32_t>(m >> 32);
  // Multiplications first, then the floors, so that no bit is lost early.
  for (int left = s; left > 0; left -= 13) {
    exactMultiply(v, left >= 13 ? kFive13 : static_cast<std::uint32_t>(kPow5[static_cast<std::size_t>(left)]));
  }
  const int twos = q + s;
  if (twos > 0) exactShiftLeft(v, twos);
  if (twos < 0) exactShiftRight(v, -twos);
  for (int left = -s; left > 0; left -= 13) {
    exactDivide(v, left >= 13 ? kFive13 : static_cast<std::uint32_t>(kPow5[static_cast<std::size_t>(left)]));
  }
  return (std::uint64_t{v.limb[1]} << 32) | v.limb[0];
}

// --- Digits ------------------------------------------------------------------

struct BinaryValue {
  std::uint64_t significand;  // 2^52 <= significand < 2^53
  int exponent;
};

// Precondition: bits of a finite nonzero double (sign ignored).
inline BinaryValue decodeFinite(std::uint64_t bits) {
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  if (biased == 0) {
    const int shift = std::countl_zero(fraction) - 11;
    return {fraction << shift, -1074 - shift};
  }
  return {fraction | (std::uint64_t{1} << 52), biased - 1075};
}

// floor(n log10 2) for -1074 <= n <= 1023, the bit positions of doubles: 78913 / 2^18
// is log10 2 to within 1.2e-7, and that error (below 1.3e-4 over this range) moves
// no n past an integer; the tests check every binade's p against exact big integers.
constexpr int floorLog10Pow2(int n) { return (n * 78913) >> 18; }

// 10^(p-1) <= 2^(b-1) <= |x| < 2^b < 2 x 10^p with b the bit length of |x|.
inline int firstDecimalExponent(int q) { return floorLog10Pow2(q + 52) + 1; }

// Whether 10^u divides m x 2^q exactly (u > 0).
inline bool tenPowerDivides(std::uint64_t m, int q, int u) {
  if (u >= static_cast<int>(kPow5.size())) return false;  // 5^23 > 2^53 > m
  return m % kPow5[static_cast<std::size_t>(u)] == 0 && q + std::countr_zero(m) >= u;
}

// A first guess of p one too low leaves 19 digits; which binades do that is
// irregular, so the correction is a select, not a branch.
inline TruncatedDigits finish(std::uint64_t digits, int p) {
  const bool tooLong = digits >= kPow10[18];
  const std::uint64_t keepShort = std::uint64_t{0} - static_cast<std::uint64_t>(tooLong);
  return {((digits / 10) & keepShort) | (digits & ~keepShort), p + static_cast<int>(tooLong)};
}

// floor(|x| x 10^(18 - p)) for the first guess p: 18 digits, or 19 when the
// guess is one too low.
inline std::uint64_t rawDigits(BinaryValue v) {
  const std::uint64_t m = v.significand;
  const int q = v.exponent;
  const int p = firstDecimalExponent(q);
  const int s = 18 - p;
  const PowerOfTenApprox& power = kPowersOfTen[static_cast<std::size_t>(s - kPowerOfTenMinScale)];
  const Uint128 lowProduct = static_cast<Uint128>(m) * power.low;
  const Uint128 highProduct = static_cast<Uint128>(m) * power.high;
  const std::uint64_t w0 = static_cast<std::uint64_t>(lowProduct);
  const Uint128 middle = static_cast<Uint128>(static_cast<std::uint64_t>(highProduct)) + (lowProduct >> 64);
  const std::uint64_t w1 = static_cast<std::uint64_t>(middle);
  const std::uint64_t w2 = static_cast<std::uint64_t>(highProduct >> 64) + static_cast<std::uint64_t>(middle >> 64);
  // sh = -(q + E) is 119..124, so the integer part starts r = sh - 64 bits into w1.
  const int r = -(q + power.binaryExponent) - 64;
  std::uint64_t digits = (w2 << (64 - r)) | (w1 >> r);
  const std::uint64_t fractionTop = (std::uint64_t{1} << r) - 1;
  // The window test first: it almost never holds, so this branch predicts well
  // whatever the mix of magnitudes.
  if ((w1 & fractionTop) == fractionTop && w0 > ~m) [[unlikely]] {
    if (s < 0 && tenPowerDivides(m, q, -s)) {
      digits += 1;
    } else if (s < 0 || s > kExactTableMaxScale) {
      digits = exactScaledFloor(m, q, s);
    }
  }
  return digits;
}

inline TruncatedDigits fastDigits(BinaryValue v) { return finish(rawDigits(v), firstDecimalExponent(v.exponent)); }

inline TruncatedDigits roundTo17(TruncatedDigits t) {
  std::uint64_t digits = (t.digits + 5) / 10;  // 0-4 drop, 5-9 carry
  int p = t.decimalExponent;
  if (digits == kPow10[17]) {
    digits = kPow10[16];
    ++p;
  }
  return {digits, p};
}

inline void write2(char* out, std::uint32_t n) { std::memcpy(out, kDigitPairs.data() + 2 * n, 2); }

inline void write4(char* out, std::uint32_t n) {
  write2(out, n / 100);
  write2(out + 2, n % 100);
}

// "E+dd" / "E-dd" for |e| <= 99, "+ddd" / "-ddd" up to 999. Precondition: |e| <= 999.
inline void writeExponent(char* out, int e) {
  const char sign = e < 0 ? '-' : '+';
  const std::uint32_t magnitude = static_cast<std::uint32_t>(e < 0 ? -e : e);
  if (magnitude <= 99) {
    out[0] = 'E';
    out[1] = sign;
    write2(out + 2, magnitude);
  } else {
    out[0] = sign;
    out[1] = static_cast<char>('0' + magnitude / 100);
    write2(out + 2, magnitude % 100);
  }
}

// The four exponent characters of every e a finite double can have under "1P":
// a copy instead of a branch on the exponent's width.
constexpr int kE24MinExponent = -324;
constexpr int kE24MaxExponent = 308;

constexpr std::array<char, 4 * (kE24MaxExponent - kE24MinExponent + 1)> kE24Exponents = [] {
  std::array<char, 4 * (kE24MaxExponent - kE24MinExponent + 1)> texts{};
  for (int e = kE24MinExponent; e <= kE24MaxExponent; ++e) {
    char* out = texts.data() + 4 * (e - kE24MinExponent);
    const char sign = e < 0 ? '-' : '+';
    const int magnitude = e < 0 ? -e : e;
    if (magnitude <= 99) {
      out[0] = 'E';
      out[1] = sign;
    } else {
      out[0] = sign;
      out[1] = static_cast<char>('0' + magnitude / 100);
    }
    out[2] = static_cast<char>('0' + magnitude / 10 % 10);
    out[3] = static_cast<char>('0' + magnitude % 10);
  }
  return texts;
}();

void formatNonFinite(std::uint64_t bits, std::size_t width, char* out) {
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const char* text = "1#INF";
  if (fraction != 0) {
    if (bits == 0xFFF8000000000000u) {
      text = "1#IND";
    } else if ((fraction >> 51) != 0) {
      text = "1#QNAN";
    } else {
      text = "1#SNAN";
    }
  }
  // A field narrower than the text keeps the text's first w characters: like
  // every other field it never takes more than its w columns.
  std::size_t length = std::strlen(text);
  if (length > width) length = width;
  std::memcpy(out, text, length);
  std::memset(out + length, '.', width - length);
}

}  // namespace

PowerOfTenApprox powerOfTenApprox(int s) { return kPowersOfTen[static_cast<std::size_t>(s - kPowerOfTenMinScale)]; }

TruncatedDigits truncatedDigits18(double x) {
  return fastDigits(decodeFinite(std::bit_cast<std::uint64_t>(x)));
}

TruncatedDigits truncatedDigits18Exact(double x) {
  const BinaryValue v = decodeFinite(std::bit_cast<std::uint64_t>(x));
  const int p = firstDecimalExponent(v.exponent);
  return finish(exactScaledFloor(v.significand, v.exponent, 18 - p), p);
}

std::size_t formatExponentField(double x, int w, int d, int k, char* out) {
  const std::size_t width = static_cast<std::size_t>(w);
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  if (((bits >> 52) & 0x7FF) == 0x7FF) {
    formatNonFinite(bits, width, out);
    return width;
  }
  // 64-bit arithmetic throughout: d and k may be anywhere in int's range.
  const long long places = d;
  const long long scale = k;
  const long long digitCount = scale > 0 ? places + 1 : places + scale;
  // A scale factor with no digit left to show (k <= -d) or more digits before the
  // point than the field has (k > d + 1) cannot be written: the field overflows.
  if (digitCount < 1 || scale > places + 1) {
    std::memset(out, '*', width);
    return width;
  }
  const bool isZero = (bits << 1) == 0;
  const bool negative = !isZero && (bits >> 63) != 0;
  char padded[16];
  const char* kept = padded;
  int keptCount = 0;  // digits beyond these are written as 0
  long long exponent = 0;
  if (!isZero) {
    const TruncatedDigits t17 = roundTo17(fastDigits(decodeFinite(bits)));
    keptCount = digitCount < 16 ? static_cast<int>(digitCount) : 16;
    const std::uint64_t divisor = kPow10[static_cast<std::size_t>(17 - keptCount)];
    // Adding half the divisor carries exactly when the first dropped digit is 5-9;
    // trailing zeros of the 17 digits never change that.
    std::uint64_t digits = (t17.digits + divisor / 2) / divisor;
    long long p = t17.decimalExponent;
    if (digits == kPow10[static_cast<std::size_t>(keptCount)]) {
      digits = kPow10[static_cast<std::size_t>(keptCount - 1)];
      ++p;
    }
    // All 16 places of the number with leading zeros, of which the last keptCount count.
    const std::uint32_t upper = static_cast<std::uint32_t>(digits / 100000000u);
    const std::uint32_t lower = static_cast<std::uint32_t>(digits % 100000000u);
    write4(padded, upper / 10000);
    write4(padded + 4, upper % 10000);
    write4(padded + 8, lower / 10000);
    write4(padded + 12, lower % 10000);
    kept = padded + (16 - keptCount);
    exponent = p - scale;
  }
  const long long textLength = (negative ? 1 : 0) + (scale > 0 ? places + 2 : places + 1) + 4;
  if (exponent < -999 || exponent > 999 || textLength > static_cast<long long>(width)) {
    std::memset(out, '*', width);
    return width;
  }
  char* at = out;
  const std::size_t blanks = width - static_cast<std::size_t>(textLength);
  std::memset(at, ' ', blanks);
  at += blanks;
  if (negative) *at++ = '-';
  auto digitAt = [&](long long i) { return i < keptCount ? kept[i] : '0'; };
  if (scale > 0) {
    for (long long i = 0; i < scale; ++i) *at++ = digitAt(i);
    *at++ = '.';
    for (long long i = scale; i < digitCount; ++i) *at++ = digitAt(i);
  } else {
    *at++ = '.';
    std::memset(at, '0', static_cast<std::size_t>(-scale));
    at += -scale;
    for (long long i = 0; i < digitCount; ++i) *at++ = digitAt(i);
  }
  writeExponent(at, static_cast<int>(exponent));
  return width;
}

void formatE24_15(double x, char* out) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  if (((bits >> 52) & 0x7FF) == 0x7FF) {
    formatNonFinite(bits, 24, out);
    return;
  }
  if ((bits << 1) == 0) {
    std::memcpy(out, "   0.000000000000000E+00", 24);
    return;
  }
  // d = 15, k = 1: N = 16 significant digits, one before the point; the text is
  // 21 characters from column 3, the sign (if any) at column 2.
  //
  // Both roundings in one division: with a = D + 5,
  //   floor((floor(a / 10) + 5) / 10) = floor((a - a mod 10 + 50) / 100) = floor((a + 50) / 100),
  // because a + 50 and a - a mod 10 + 50 differ only in the units digit, which
  // cannot carry across a multiple of 100. A 19-digit first guess (p one too low)
  // folds in the same way: floor((floor(b / 10) + 55) / 100) = floor((b + 550) / 1000).
  const BinaryValue v = decodeFinite(bits);
  const std::uint64_t raw = rawDigits(v);
  const bool tooLong = raw >= kPow10[18];
  const std::uint64_t keepShort = std::uint64_t{0} - static_cast<std::uint64_t>(tooLong);
  std::uint64_t digits = (((raw + 550) / 1000) & keepShort) | (((raw + 55) / 100) & ~keepShort);
  int p = firstDecimalExponent(v.exponent) + static_cast<int>(tooLong);
  // A carry out of the first digit (in either rounding) gives 10^16: the digit 1, p + 1.
  if (digits == kPow10[16]) {
    digits = kPow10[15];
    ++p;
  }
  out[0] = ' ';
  out[1] = ' ';
  out[2] = (bits >> 63) != 0 ? '-' : ' ';
  const std::uint32_t upper = static_cast<std::uint32_t>(digits / 100000000u);
  const std::uint32_t lower = static_cast<std::uint32_t>(digits % 100000000u);
  write4(out + 4, upper / 10000);
  write4(out + 8, upper % 10000);
  out[3] = out[4];
  out[4] = '.';
  write4(out + 12, lower / 10000);
  write4(out + 16, lower % 10000);
  std::memcpy(out + 20, kE24Exponents.data() + 4 * (p - 1 - kE24MinExponent), 4);
}

}  // namespace zandovir
