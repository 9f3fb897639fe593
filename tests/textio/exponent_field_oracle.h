// A slow reference for the exponent field, written straight from its rules: the
// exact decimal expansion of the double by big-integer arithmetic in base 10^9,
// then the two roundings done on the digit string.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

namespace zandovir::oracle {

// |x| = 0.digits x 10^p exactly; digits has no leading zero and is the whole
// expansion (a double's expansion always ends).
struct ExactDecimal {
  std::string digits;
  int p;
};

constexpr std::uint32_t kBase = 1000000000u;

// v (base 10^9, least significant limb first) times factor; factor < 2^31.
inline void multiplyInBase(std::vector<std::uint32_t>& v, std::uint32_t factor) {
  std::uint64_t carry = 0;
  for (auto& limb : v) {
    const std::uint64_t t = std::uint64_t{limb} * factor + carry;
    limb = static_cast<std::uint32_t>(t % kBase);
    carry = t / kBase;
  }
  while (carry != 0) {
    v.push_back(static_cast<std::uint32_t>(carry % kBase));
    carry /= kBase;
  }
}

// Precondition: x finite and nonzero.
inline ExactDecimal exactDecimal(double x) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  // |x| = m x 2^q with the raw significand, no normalising.
  const std::uint64_t m = biased == 0 ? fraction : (fraction | (std::uint64_t{1} << 52));
  const int q = biased == 0 ? -1074 : biased - 1075;
  std::vector<std::uint32_t> n;
  for (std::uint64_t rest = m; rest != 0; rest /= kBase) n.push_back(static_cast<std::uint32_t>(rest % kBase));
  if (q >= 0) {
    // An integer: m x 2^q.
    int left = q;
    for (; left >= 29; left -= 29) multiplyInBase(n, std::uint32_t{1} << 29);
    if (left > 0) multiplyInBase(n, std::uint32_t{1} << left);
  } else {
    // m / 2^-q = m x 5^-q / 10^-q.
    int left = -q;
    for (; left >= 13; left -= 13) multiplyInBase(n, 1220703125u);
    std::uint32_t tail = 1;
    for (; left > 0; --left) tail *= 5;
    multiplyInBase(n, tail);
  }
  std::string digits = std::to_string(n.back());
  for (std::size_t i = n.size() - 1; i-- > 0;) {
    const std::string part = std::to_string(n[i]);
    digits += std::string(9 - part.size(), '0') + part;
  }
  const int p = static_cast<int>(digits.size()) + (q < 0 ? q : 0);
  return {digits, p};
}

// Adds one to the last digit with carry. A carry out of the first digit leaves the
// single digit "1" and returns true.
inline bool incrementDigits(std::string& s) {
  for (std::size_t i = s.size(); i-- > 0;) {
    if (s[i] != '9') {
      ++s[i];
      return false;
    }
    s[i] = '0';
  }
  s = "1";
  return true;
}

// The field Ew.d with scale factor k, built by string operations from the rules.
inline std::string exponentField(double x, int w, int d, int k) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  const std::size_t width = static_cast<std::size_t>(w);
  if (((bits >> 52) & 0x7FF) == 0x7FF) {
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    std::string text = fraction == 0                  ? "1#INF"
                       : bits == 0xFFF8000000000000u  ? "1#IND"
                       : (fraction >> 51) != 0        ? "1#QNAN"
                                                      : "1#SNAN";
    if (text.size() > width) text.resize(width);
    return text + std::string(width - text.size(), '.');
  }
  const long long places = d;
  const long long scale = k;
  const long long digitCount = scale > 0 ? places + 1 : places + scale;
  if (digitCount < 1 || scale > places + 1) return std::string(width, '*');

  const bool isZero = (bits << 1) == 0;
  const bool negative = !isZero && (bits >> 63) != 0;
  std::string digits = "0";
  long long exponent = 0;
  if (!isZero) {
    const ExactDecimal exact = exactDecimal(x);
    long long p = exact.p;
    std::string first18 = exact.digits.substr(0, 18);
    first18.resize(18, '0');
    digits = first18.substr(0, 17);
    if (first18[17] >= '5' && incrementDigits(digits)) ++p;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    const std::size_t wanted = static_cast<std::size_t>(digitCount < 16 ? digitCount : 16);
    if (digits.size() > wanted) {
      const char dropped = digits[wanted];
      digits.resize(wanted);
      if (dropped >= '5' && incrementDigits(digits)) ++p;
    }
    exponent = p - scale;
  }
  if (exponent < -999 || exponent > 999) return std::string(width, '*');
  if (digits.size() < static_cast<std::size_t>(digitCount)) digits.resize(static_cast<std::size_t>(digitCount), '0');

  std::string text = negative ? "-" : "";
  if (scale > 0) {
    text += digits.substr(0, static_cast<std::size_t>(scale)) + "." + digits.substr(static_cast<std::size_t>(scale));
  } else {
    text += "." + std::string(static_cast<std::size_t>(-scale), '0') + digits;
  }
  const long long magnitude = exponent < 0 ? -exponent : exponent;
  const std::string sign = exponent < 0 ? "-" : "+";
  const std::string number = std::to_string(magnitude);
  if (magnitude <= 99) {
    text += "E" + sign + std::string(2 - number.size(), '0') + number;
  } else {
    text += sign + number;
  }
  if (text.size() > width) return std::string(width, '*');
  return std::string(width - text.size(), ' ') + text;
}

}  // namespace zandovir::oracle
