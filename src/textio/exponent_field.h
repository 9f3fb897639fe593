// The exponent field Ew.d of the record writer: a double as its decimal digits,
// rounded in two steps (18 exact digits to 17, then to the field's digits).
// Everything is integer work on the bits of the double, so no floating-point
// exception can be raised here while the run has invalid, divide-by-zero and
// overflow trapped.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zandovir {

// Writes x as the exponent field Ew.d under scale factor k into out[0..w) and
// returns w. Precondition: w >= 1, d >= 0, out has room for w bytes.
std::size_t formatExponentField(double x, int w, int d, int k, char* out);

// Writes x as the field "1P,E24.15": exactly 24 bytes into out, the same bytes
// as formatExponentField(x, 24, 15, 1, out). Precondition: out has room for 24 bytes.
void formatE24_15(double x, char* out);

// --- Internals shared with the tests ----------------------------------------

// |x| = 0.D1D2...D18... x 10^decimalExponent, digits = D1..D18 (truncated),
// so 10^17 <= digits < 10^18.
struct TruncatedDigits {
  std::uint64_t digits;
  int decimalExponent;
};

// The first 18 significant digits of |x|'s exact value by the fast table route.
// Precondition: x finite and nonzero.
TruncatedDigits truncatedDigits18(double x);

// The same by plain big-integer arithmetic; the fast route falls back to it when
// the table's error leaves the integer part undecided. Precondition: x finite, nonzero.
TruncatedDigits truncatedDigits18Exact(double x);

// 10^s ~ (high:low) x 2^binaryExponent with high's top bit set, truncated:
// (high:low) x 2^binaryExponent <= 10^s < ((high:low) + 1) x 2^binaryExponent.
struct PowerOfTenApprox {
  std::uint64_t high;
  std::uint64_t low;
  int binaryExponent;
};

inline constexpr int kPowerOfTenMinScale = -292;
inline constexpr int kPowerOfTenMaxScale = 342;

// Precondition: kPowerOfTenMinScale <= s <= kPowerOfTenMaxScale.
PowerOfTenApprox powerOfTenApprox(int s);

}  // namespace zandovir
