#include "textio/exponent_field.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "exponent_field_oracle.h"

namespace zandovir {
namespace {

double fromBits(std::uint64_t bits) { return std::bit_cast<double>(bits); }
std::uint64_t toBits(double x) { return std::bit_cast<std::uint64_t>(x); }

// "0x3ff0000000000000 (0x1p+0)": the bits, then the hexfloat, for failure messages.
std::string describe(double x) {
  char text[64];
  std::snprintf(text, sizeof text, "0x%016llx (%a)", static_cast<unsigned long long>(toBits(x)), x);
  return text;
}

std::string e24(double x) {
  char out[24];
  formatE24_15(x, out);
  return std::string(out, 24);
}

// The general writer, with guard bytes on both sides that must stay untouched.
std::string field(double x, int w, int d, int k) {
  std::vector<char> buffer(static_cast<std::size_t>(w) + 16, '#');
  const std::size_t length = formatExponentField(x, w, d, k, buffer.data() + 8);
  EXPECT_EQ(length, static_cast<std::size_t>(w));
  for (std::size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(buffer[i], '#') << "wrote before the field";
    EXPECT_EQ(buffer[buffer.size() - 1 - i], '#') << "wrote past the field";
  }
  return std::string(buffer.data() + 8, static_cast<std::size_t>(w));
}


struct E24Case {
  double x;
  const char* expected;
};

void checkE24Table(const std::vector<E24Case>& cases) {
  for (const E24Case& c : cases) {
    ASSERT_EQ(std::strlen(c.expected), 24u);
    EXPECT_EQ(e24(c.x), c.expected) << describe(c.x);
    EXPECT_EQ(field(c.x, 24, 15, 1), c.expected) << describe(c.x);
  }
}

const double kMax = std::numeric_limits<double>::max();
const double kMinNormal = std::numeric_limits<double>::min();
const double kMinSubnormal = std::numeric_limits<double>::denorm_min();
const double kInf = std::numeric_limits<double>::infinity();

// --- Fixed cases, by failure mode ----------------------------------------------

TEST(ExponentFieldE24_15, RecordWriterEdgeCases) {
  checkE24Table({
      {1.0,           "   1.000000000000000E+00"},
      {-2.5E-7,       "  -2.500000000000000E-07"},
      {0.0,           "   0.000000000000000E+00"},
      {-0.0,          "   0.000000000000000E+00"},
      {1.0E+100,      "   1.000000000000000+100"},
      {1.0E-100,      "   1.000000000000000-100"},
      {123456.789,    "   1.234567890000000E+05"},
      {1.0 / 7.0,     "   1.428571428571429E-01"},
      {kMax,          "   1.797693134862316+308"},
      {kInf,          "1#INF..................."},
  });
}

TEST(ExponentFieldE24_15, TwoStepRoundingIsNotOneRounding) {
  checkE24Table({
      // 1/7 = 0.142857142857142849...: ...2849 -> ...285 -> ...29; once: ...28.
      {0x1.2492492492492p-3,   "   1.428571428571429E-01"},
      // 5.572615054705989468...e-4: ...98946 -> ...9895 -> ...990; once: ...989.
      {0x1.242a5f87d0a7dp-11,  "   5.572615054705990E-04"},
      // 6.2683260397280344456...e-7: the 18 digits are cut, not rounded: ...03444
      // -> ...0344 -> ...034; rounding to 18 first (...03445) would give ...035.
      {0x1.5087379359e7ap-21,  "   6.268326039728034E-07"},
      // 0.1000000000000000055511...: nothing reaches the 16th digit.
      {0x1.999999999999ap-4,   "   1.000000000000000E-01"},
  });
}

TEST(ExponentFieldE24_15, RoundingCarries) {
  checkE24Table({
      // 0.99999999999999988897...: 15 nines then 889: ...89 -> ...9, the carry stops inside.
      {0x1.fffffffffffffp-1,              "   9.999999999999999E-01"},
      {-0x1.fffffffffffffp-1,             "  -9.999999999999999E-01"},
      // 1e23 is 99999999999999991611392: ...916 -> ...92 -> ...9, no carry.
      {1e23,                              "   9.999999999999999E+22"},
      // 9999999999.9999980926513671875: ...9809 -> ...81 -> ...8.
      {std::nextafter(1e10, 0.0),         "   9.999999999999998E+09"},
      // 2^-1074 = 4.94065645841246544176...e-324: ...6544 -> ...654 -> ...65.
      {kMinSubnormal,                     "   4.940656458412465-324"},
      // 2.22507385850720138309...e-308: ...0138 -> ...014 -> ...01.
      {kMinNormal,                        "   2.225073858507201-308"},
      {-kMinNormal,                       "  -2.225073858507201-308"},
      // 17 nines, then 7 (0.99999999999999999769e99): the first rounding carries out
      // of the first digit, p goes up by one.
      {0x1.7688bb5394c25p+325,            "   1.000000000000000E+98"},
      {0x1.6849b86a12b9bp-47,             "   1.000000000000000E-14"},  // 17 nines, then 8
      {-0x1.c16c5c5253575p-1014,          "  -1.000000000000000-305"},  // 17 nines, then 6
      // 16 nines, then 67 and 77: only the second rounding carries out.
      {0x1.d42aea2879f2ep+328,            "   1.000000000000000E+99"},
      {0x1.6dc186ef9f45cp+335,            "   1.000000000000000+101"},
  });
}

TEST(ExponentFieldE24_15, ExponentWidthAtTheThreeDigitBoundary) {
  checkE24Table({
      // The double below 1e100 is 9.999999999999998216...e99: no double lies close
      // enough under 10^100 to carry, so E+99 and +100 meet only here.
      {std::nextafter(1e100, 0.0),        "   9.999999999999998E+99"},
      {-std::nextafter(1e100, 0.0),       "  -9.999999999999998E+99"},
      {1e100,                             "   1.000000000000000+100"},
      // 1e-99 is 1.0000000000000000199...e-99, the double below it 9.999999999999998169...e-100.
      {1e-99,                             "   1.000000000000000E-99"},
      {std::nextafter(1e-99, 0.0),        "   9.999999999999998-100"},
      // 10^22 exactly: 18 digits ending on an integer.
      {1e22,                              "   1.000000000000000E+22"},
      {0.5,                               "   5.000000000000000E-01"},
      {9.5,                               "   9.500000000000000E+00"},
  });
  // With fewer digits the carry does cross 99 -> 100: 9.9999e99 in E11.3.
  EXPECT_EQ(field(9.9999e99, 11, 3, 1), "  1.000+100");
  EXPECT_EQ(field(9.9994e99, 11, 3, 1), "  9.999E+99");
  EXPECT_EQ(field(-9.9999e99, 11, 3, 1), " -1.000+100");
  EXPECT_EQ(field(9.9999e-100, 11, 3, 1), "  1.000E-99");
}

TEST(ExponentFieldE24_15, InfinityAndNotANumberKinds) {
  checkE24Table({
      {fromBits(0x7FF0000000000000u),  "1#INF..................."},
      {fromBits(0xFFF0000000000000u),  "1#INF..................."},
      {fromBits(0x7FF8000000000000u),  "1#QNAN.................."},
      {fromBits(0xFFF8000000000000u),  "1#IND..................."},
      {fromBits(0xFFF8000000000001u),  "1#QNAN.................."},
      {fromBits(0xFFFC000000000000u),  "1#QNAN.................."},
      {fromBits(0x7FFFFFFFFFFFFFFFu),  "1#QNAN.................."},
      {fromBits(0x7FF0000000000001u),  "1#SNAN.................."},
      {fromBits(0xFFF4000000000000u),  "1#SNAN.................."},
      {fromBits(0x7FF7FFFFFFFFFFFFu),  "1#SNAN.................."},
  });
}

// --- The general field: other w, d and k ----------------------------------------

struct FieldCase {
  double x;
  int w, d, k;
  std::string expected;
};

TEST(ExponentField, OtherWidthsDigitsAndScaleFactors) {
  const std::vector<FieldCase> cases = {
      // k = 0: ".", then d digits.
      {1.0,          12, 5,  0,  "  .10000E+01"},
      {-123.456,     10, 3,  0,  " -.123E+03"},
      {0.0,          10, 3,  0,  "  .000E+00"},
      {1e-100,       12, 4,  0,  "   .1000E-99"},
      {1e100,        12, 4,  0,  "   .1000+101"},
      // k < 0: -k zeros after the point, d + k digits.
      {0.75,         12, 5, -2,  "  .00750E+02"},
      // k > 1: k digits before the point, d - k + 1 after it.
      {1234.5,       12, 4,  2,  "  12.345E+02"},
      // d = 0: no digit after the point; 9.6 rounds to one digit with a carry.
      {9.6,           6, 0,  1,  "1.E+01"},
      // More digits than the 16 that are rounded: the rest are zeros.
      {1.0 / 3.0,    26, 19, 1,  " 3.3333333333333330000E-01"},
      // The field just fits, or does not fit and is asterisks.
      {1.0,           9, 3,  1,  "1.000E+00"},
      {1.0,           8, 3,  1,  "********"},
      {-1.0,          9, 3,  1,  "*********"},
      {-1.0,          1, 0,  1,  "*"},
      // No digit left to show, or more digits before the point than exist.
      {1.0,          12, 3, -3,  "************"},
      {1.0,          12, 3,  5,  "************"},
      // Infinity and NaN texts in other widths; a narrow field keeps the text's start.
      {kInf,          8, 3,  1,  "1#INF..."},
      {kInf,          3, 0,  1,  "1#I"},
      {fromBits(0xFFF8000000000000u), 5, 0, 0, "1#IND"},
      {fromBits(0x7FF8000000000000u), 7, 2, 0, "1#QNAN."},
  };
  for (const FieldCase& c : cases) {
    EXPECT_EQ(field(c.x, c.w, c.d, c.k), c.expected) << describe(c.x) << " E" << c.w << "." << c.d << " k=" << c.k;
  }
}

TEST(ExponentField, ExponentBeyondThreeDigitsOverflows) {
  // 2^-1074 has p = -323: e = -323 - k. k = 676 gives -999, k = 677 gives -1000.
  const std::string fits = field(kMinSubnormal, 710, 700, 676);
  EXPECT_EQ(fits.substr(fits.size() - 4), "-999");
  EXPECT_EQ(fits.substr(0, 4), "    ");
  EXPECT_EQ(fits.substr(4, 16), "4940656458412465");
  EXPECT_EQ(fits.substr(4 + 676, 1), ".");
  EXPECT_EQ(field(kMinSubnormal, 710, 700, 677), std::string(710, '*'));
  // 1e300 has p = 301: e = 301 - k; k = -698 gives 999, k = -699 gives 1000.
  const std::string high = field(1e300, 710, 700, -698);
  EXPECT_EQ(high.substr(high.size() - 4), "+999");
  EXPECT_EQ(field(1e300, 710, 700, -699), std::string(710, '*'));
  // Zero never overflows whatever k: its exponent is 0.
  EXPECT_EQ(field(0.0, 710, 700, 677).substr(706), "E+00");
}

TEST(ExponentField, AgreesWithTheOracleOnRandomLayouts) {
  const std::uint64_t seed = 0x5eed0001u;
  std::mt19937_64 random(seed);
  int failures = 0;
  for (int i = 0; i < 200000 && failures < 10; ++i) {
    const std::uint64_t bits = (random() & 0x800FFFFFFFFFFFFFu) | (std::uint64_t{random() % 2047} << 52);
    const double x = fromBits(bits);
    const int d = static_cast<int>(random() % 21);
    const int k = static_cast<int>(random() % 9) - 4;
    const int w = 1 + static_cast<int>(random() % 32);
    const std::string expected = oracle::exponentField(x, w, d, k);
    const std::string got = field(x, w, d, k);
    if (got != expected) {
      ++failures;
      ADD_FAILURE() << "seed " << seed << " case " << i << ": " << describe(x) << " E" << w << "." << d << " k=" << k
                    << "\n  got      [" << got << "]\n  expected [" << expected << "]";
    }
  }
}

// --- Against the oracle on many doubles ------------------------------------------

// Compares both writers of "1P,E24.15" with the oracle; returns false (after
// reporting) on a mismatch.
bool matchesOracle(double x, const std::string& context) {
  const std::string expected = oracle::exponentField(x, 24, 15, 1);
  const std::string fast = e24(x);
  char general[24];
  formatExponentField(x, 24, 15, 1, general);
  if (fast == expected && std::string(general, 24) == expected) return true;
  ADD_FAILURE() << context << ": " << describe(x) << "\n  formatE24_15        [" << fast
                << "]\n  formatExponentField [" << std::string(general, 24) << "]\n  expected            ["
                << expected << "]";
  return false;
}

TEST(ExponentFieldE24_15, AgreesWithTheOracleOnAMillionRandomDoubles) {
  const std::uint64_t seed = 0x5eed0002u;
  std::mt19937_64 random(seed);
  int failures = 0;
  for (int i = 0; i < 1000000 && failures < 10; ++i) {
    // Random sign and fraction; the binary exponent runs through all finite ones.
    const std::uint64_t bits = (random() & 0x800FFFFFFFFFFFFFu) | (std::uint64_t(i % 2047) << 52);
    if (!matchesOracle(fromBits(bits), "seed " + std::to_string(seed) + " case " + std::to_string(i))) ++failures;
  }
}

// Doubles a x 2^j (a odd) whose exact expansion has exactly `length` digits; for
// j < 0 the last digit is 5, a tie at that digit.
std::vector<double> shortExpansions(std::uint64_t seed, int length, int count) {
  std::mt19937_64 random(seed);
  std::vector<double> found;
  while (static_cast<int>(found.size()) < count) {
    const int bitsOfA = 1 + static_cast<int>(random() % 53);
    const std::uint64_t a = (random() >> (64 - bitsOfA)) | 1u | (std::uint64_t{1} << (bitsOfA - 1));
    for (int j = -30; j <= 64; ++j) {
      const double x = std::ldexp(static_cast<double>(a), j);
      if (static_cast<int>(oracle::exactDecimal(x).digits.size()) == length) found.push_back(random() % 2 ? x : -x);
    }
  }
  return found;
}

TEST(ExponentFieldE24_15, ExpansionsEndingAtThe17th18thAnd19thDigit) {
  const std::uint64_t seed = 0x5eed0003u;
  for (int length : {16, 17, 18, 19}) {
    int failures = 0;
    for (double x : shortExpansions(seed + static_cast<std::uint64_t>(length), length, 5000)) {
      if (failures >= 10) break;
      if (!matchesOracle(x, "seed " + std::to_string(seed) + " length " + std::to_string(length))) ++failures;
    }
  }
  checkE24Table({
      // 5.9604644775390625e-8: 17 digits, a tie at the 17th that rounds up.
      {0x1p-24,                "   5.960464477539063E-08"},
      // 2.98023223876953125e-8: 18 digits, the tie at the 18th carries into ...13.
      {0x1p-25,                "   2.980232238769531E-08"},
      // 1.490116119384765625e-8: 19 digits, the 19th is cut before any rounding.
      {0x1p-26,                "   1.490116119384766E-08"},
      // 1.0000000000000002220446...: nothing reaches the 16th digit.
      {0x1.0000000000001p+0,   "   1.000000000000000E+00"},
  });
}

TEST(ExponentFieldE24_15, DoubleRoundingPatternsAtThe17thAnd18thDigit) {
  // Random doubles whose 18 digits make the second rounding differ from rounding
  // the exact value once: 17th digit 4 and 18th 5..9, or a run of 9s at 16..17.
  const std::uint64_t seed = 0x5eed0004u;
  std::mt19937_64 random(seed);
  int tested = 0;
  int failures = 0;
  while (tested < 20000 && failures < 10) {
    const std::uint64_t bits = (random() & 0x800FFFFFFFFFFFFFu) | (std::uint64_t{1 + random() % 2046} << 52);
    const double x = fromBits(bits);
    const std::string digits = oracle::exactDecimal(x).digits + std::string(20, '0');
    const bool fourThenHigh = digits[16] == '4' && digits[17] >= '5';
    const bool ninesCarry = digits[15] == '9' && digits[16] == '9' && digits[17] >= '5';
    if (!fourThenHigh && !ninesCarry) continue;
    ++tested;
    if (!matchesOracle(x, "seed " + std::to_string(seed))) ++failures;
  }
}

// The largest double below 10^n (n between -323 and 309), by bisection on the bits
// with the oracle's exact decimal exponent.
std::uint64_t largestBelowPowerOfTen(int n) {
  std::uint64_t low = 1;                     // 2^-1074 < 10^n for every n here
  std::uint64_t high = 0x7FF0000000000000u;  // infinity, above everything
  while (high - low > 1) {
    const std::uint64_t mid = low + (high - low) / 2;
    if (oracle::exactDecimal(fromBits(mid)).p <= n) {
      low = mid;
    } else {
      high = mid;
    }
  }
  return low;
}

TEST(ExponentFieldE24_15, AroundEveryPowerOfTen) {
  // Covers the carries that move a value to the next decade and so change the
  // exponent, 99 -> 100 digits included, and the exact powers of ten.
  int failures = 0;
  for (int n = -323; n <= 309 && failures < 10; ++n) {
    const std::uint64_t below = largestBelowPowerOfTen(n);
    for (int offset = -3; offset <= 4; ++offset) {
      const std::uint64_t bits = below + static_cast<std::uint64_t>(static_cast<std::int64_t>(offset));
      if (bits == 0 || bits >= 0x7FF0000000000000u) continue;
      if (!matchesOracle(fromBits(bits), "10^" + std::to_string(n) + " offset " + std::to_string(offset))) ++failures;
      if (!matchesOracle(-fromBits(bits), "-10^" + std::to_string(n) + " offset " + std::to_string(offset))) ++failures;
    }
  }
}

TEST(ExponentFieldE24_15, PowersOfTwoAndTheirNeighbours) {
  int failures = 0;
  for (int n = -1074; n <= 1023 && failures < 10; ++n) {
    const std::uint64_t bits = toBits(std::ldexp(1.0, n));
    for (std::uint64_t neighbour : {bits - 1, bits, bits + 1}) {
      if (neighbour == 0 || neighbour >= 0x7FF0000000000000u) continue;
      if (!matchesOracle(fromBits(neighbour), "2^" + std::to_string(n))) ++failures;
    }
  }
}

TEST(ExponentFieldE24_15, SubnormalsAndTheEnds) {
  const std::uint64_t seed = 0x5eed0005u;
  std::mt19937_64 random(seed);
  int failures = 0;
  for (int i = 0; i < 50000 && failures < 10; ++i) {
    const std::uint64_t fraction = random() >> (12 + random() % 52);  // all bit lengths
    if (fraction == 0) continue;
    if (!matchesOracle(fromBits(fraction | (random() & 0x8000000000000000u)), "seed " + std::to_string(seed))) ++failures;
  }
  for (double x : {kMinSubnormal, -kMinSubnormal, 2 * kMinSubnormal, 3 * kMinSubnormal,
                   fromBits(0x000FFFFFFFFFFFFFu), kMinNormal, fromBits(0x0010000000000001u), kMax, -kMax,
                   std::nextafter(kMax, 0.0)}) {
    matchesOracle(x, "end value");
  }
}

// --- The digit route itself ---------------------------------------------------------

// Plain unsigned big integer, 32-bit limbs, least significant first.
using Big = std::vector<std::uint32_t>;

Big bigFrom(std::uint64_t v) { return {static_cast<std::uint32_t>(v), static_cast<std::uint32_t>(v >> 32)}; }

void bigMultiply(Big& v, std::uint32_t factor) {
  std::uint64_t carry = 0;
  for (auto& limb : v) {
    const std::uint64_t t = std::uint64_t{limb} * factor + carry;
    limb = static_cast<std::uint32_t>(t);
    carry = t >> 32;
  }
  if (carry != 0) v.push_back(static_cast<std::uint32_t>(carry));
}

void bigShiftLeft(Big& v, int count) {
  v.insert(v.begin(), static_cast<std::size_t>(count / 32), 0u);
  for (int i = 0; i < count % 32; ++i) bigMultiply(v, 2);
}

Big bigPowerOfTen(int n) {
  Big v = bigFrom(1);
  for (int i = 0; i < n; ++i) bigMultiply(v, 10);
  return v;
}

int bigCompare(Big a, Big b) {
  while (!a.empty() && a.back() == 0) a.pop_back();
  while (!b.empty() && b.back() == 0) b.pop_back();
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = a.size(); i-- > 0;) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

TEST(ExponentFieldDigits, PowerOfTenTableIsRoundedDownEverywhere) {
  // P x 2^E <= 10^s < (P + 1) x 2^E, checked as integers with both sides scaled
  // by 2^max(-E, 0) x 10^max(-s, 0).
  for (int s = kPowerOfTenMinScale; s <= kPowerOfTenMaxScale; ++s) {
    const PowerOfTenApprox entry = powerOfTenApprox(s);
    ASSERT_NE(entry.high >> 63, 0u) << "10^" << s;
    Big below = {static_cast<std::uint32_t>(entry.low), static_cast<std::uint32_t>(entry.low >> 32),
                 static_cast<std::uint32_t>(entry.high), static_cast<std::uint32_t>(entry.high >> 32)};
    Big above = below;  // P + 1
    std::uint64_t carry = 1;
    for (auto& limb : above) {
      const std::uint64_t t = std::uint64_t{limb} + carry;
      limb = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
    if (carry != 0) above.push_back(1);
    Big power = bigPowerOfTen(s > 0 ? s : 0);
    for (int i = 0; i < (s < 0 ? -s : 0); ++i) {
      bigMultiply(below, 10);
      bigMultiply(above, 10);
    }
    if (entry.binaryExponent > 0) {
      bigShiftLeft(below, entry.binaryExponent);
      bigShiftLeft(above, entry.binaryExponent);
    } else {
      bigShiftLeft(power, -entry.binaryExponent);
    }
    EXPECT_LE(bigCompare(below, power), 0) << "10^" << s;
    EXPECT_GT(bigCompare(above, power), 0) << "10^" << s;
    // Up to 10^55 the entry is exact, which is what lets those scales skip the window test.
    if (s >= 0 && s <= 55) {
      EXPECT_EQ(bigCompare(below, power), 0) << "10^" << s;
    }
  }
}

// Whether 10^t <= 2^n, exactly.
bool powerOfTenAtMostPowerOfTwo(int t, int n) {
  Big ten = bigPowerOfTen(t > 0 ? t : 0);
  Big two = bigPowerOfTen(t < 0 ? -t : 0);
  if (n > 0) bigShiftLeft(two, n);
  if (n < 0) bigShiftLeft(ten, -n);
  return bigCompare(ten, two) <= 0;
}

TEST(ExponentFieldDigits, EveryBinadeStaysInsideTheTableAndTheProductWindow) {
  // For each binade [2^(q+52), 2^(q+53)) of the normalised significand, the first
  // guess p - 1 = floor((q + 52) log10 2), found here by exact comparison, must
  // pick a table entry that exists, and the product m P must put the integer part
  // at bit sh = -(q + E) with 119 <= sh <= 124, as the bound of the fast route needs.
  for (int q = -1074 - 52; q <= 1023 - 52; ++q) {
    const int n = q + 52;
    int t = static_cast<int>(std::floor(n * 0.30103));
    while (powerOfTenAtMostPowerOfTwo(t + 1, n)) ++t;
    while (!powerOfTenAtMostPowerOfTwo(t, n)) --t;
    const int s = 18 - (t + 1);
    ASSERT_GE(s, kPowerOfTenMinScale) << "q = " << q;
    ASSERT_LE(s, kPowerOfTenMaxScale) << "q = " << q;
    const int sh = -(q + powerOfTenApprox(s).binaryExponent);
    EXPECT_GE(sh, 119) << "q = " << q;
    EXPECT_LE(sh, 124) << "q = " << q;
  }
}

// The first 18 digits of the exact expansion, as the oracle gives them.
TruncatedDigits oracleDigits(double x) {
  const oracle::ExactDecimal exact = oracle::exactDecimal(x);
  std::string first = exact.digits.substr(0, 18);
  first.resize(18, '0');
  return {std::stoull(first), exact.p};
}

void expectDigits(double x, const std::string& context) {
  const TruncatedDigits expected = oracleDigits(x);
  const TruncatedDigits fast = truncatedDigits18(x);
  const TruncatedDigits exact = truncatedDigits18Exact(x);
  EXPECT_TRUE(fast.digits == expected.digits && fast.decimalExponent == expected.decimalExponent)
      << context << ": " << describe(x) << " fast " << fast.digits << "e" << fast.decimalExponent << ", expected "
      << expected.digits << "e" << expected.decimalExponent;
  EXPECT_TRUE(exact.digits == expected.digits && exact.decimalExponent == expected.decimalExponent)
      << context << ": " << describe(x) << " exact " << exact.digits << "e" << exact.decimalExponent << ", expected "
      << expected.digits << "e" << expected.decimalExponent;
}

using Uint128 = unsigned __int128;

// min over 1 <= i <= limit of b - (i a mod b), a residue of 0 counting as b: how
// close any i a comes to a multiple of b from below. Walks the one-sided best
// approximations of a / b (subtractive Euclid, steps taken in batches): x keeps
// i a just above a multiple of b, y just below, and each step improves one side.
Uint128 smallestDeficit(Uint128 a, Uint128 b, Uint128 limit) {
  a %= b;
  if (a == 0) return b;
  Uint128 x = 1, above = a, y = 1, below = b - a;
  for (;;) {
    if (above < below) {
      const Uint128 most = (below - 1) / above;
      const Uint128 room = y > limit ? 0 : (limit - y) / x;
      const Uint128 k = most < room ? most : room;
      if (k == 0) return below;
      y += k * x;
      below -= k * above;
    } else if (above > below) {
      const Uint128 most = (above - 1) / below;
      const Uint128 room = x > limit ? 0 : (limit - x) / y;
      const Uint128 k = most < room ? most : room;
      if (k == 0) return below;
      x += k * y;
      above -= k * below;
    } else {
      return below;
    }
  }
}

TEST(ExponentFieldDigits, SmallestDeficitAgreesWithBruteForce) {
  const std::uint64_t seed = 0x5eed0009u;
  std::mt19937_64 random(seed);
  for (int t = 0; t < 20000; ++t) {
    const std::uint64_t b = 2 + random() % (std::uint64_t{1} << (1 + random() % 20));
    const std::uint64_t a = random() % b;
    const std::uint64_t limit = 1 + random() % 3000;
    std::uint64_t best = b;
    for (std::uint64_t i = 1; i <= limit; ++i) {
      const std::uint64_t residue = i * a % b;
      const std::uint64_t deficit = residue == 0 ? b : b - residue;
      best = deficit < best ? deficit : best;
    }
    ASSERT_EQ(static_cast<std::uint64_t>(smallestDeficit(a, b, limit)), best)
        << "seed " << seed << " a=" << a << " b=" << b << " limit=" << limit;
  }
}

TEST(ExponentFieldDigits, NoDoubleReachesTheWindowOutsideTheIntegerScales) {
  // The fast route doubts its floor only when m P mod 2^sh >= 2^sh - m, i.e. when
  // 2^sh - (m P mod 2^sh) <= m. Over every binade and every m < 2^53 that deficit
  // stays above 2^53 except for 10^-22 .. 10^-1, where the doubted values are the
  // exact integers (settled by divisibility) or go the exact route: so the exact
  // route guards the fast one but no double needs it.
  for (int q = -1074 - 52; q <= 1023 - 52; ++q) {
    const int n = q + 52;
    int t = static_cast<int>(std::floor(n * 0.30103));
    while (powerOfTenAtMostPowerOfTwo(t + 1, n)) ++t;
    while (!powerOfTenAtMostPowerOfTwo(t, n)) --t;
    const int s = 18 - (t + 1);
    if (s >= -22 && s <= 55) continue;  // integer scales, or an exact table entry
    const PowerOfTenApprox entry = powerOfTenApprox(s);
    const int sh = -(q + entry.binaryExponent);
    const Uint128 modulus = static_cast<Uint128>(1) << sh;
    const Uint128 product = (static_cast<Uint128>(entry.high) << 64) | entry.low;
    const Uint128 limit = (static_cast<Uint128>(1) << 53) - 1;
    EXPECT_GT(smallestDeficit(product & (modulus - 1), modulus, limit), limit) << "q = " << q << ", 10^" << s;
  }
}

TEST(ExponentFieldDigits, BothRoutesAtTheEdgesOfEveryBinade) {
  // Every binary exponent with the smallest, the largest and a random significand:
  // the product's bit position and the table index move with the exponent only.
  const std::uint64_t seed = 0x5eed0006u;
  std::mt19937_64 random(seed);
  for (std::uint64_t biased = 1; biased <= 2046; ++biased) {
    for (std::uint64_t fraction : {std::uint64_t{0}, (std::uint64_t{1} << 52) - 1, random() >> 12}) {
      expectDigits(fromBits((biased << 52) | fraction), "seed " + std::to_string(seed));
    }
  }
  for (int shift = 0; shift < 52; ++shift) {
    expectDigits(fromBits(std::uint64_t{1} << shift), "subnormal");
    expectDigits(fromBits((std::uint64_t{1} << (shift + 1)) - 1), "subnormal");
  }
}

TEST(ExponentFieldDigits, ExactIntegersAboveTheExactTable) {
  // 10^18 .. 10^22 and their multiples are exact doubles with V an integer while
  // the table entry for 10^s (s < 0) is inexact: the divisibility test decides.
  for (double x : {1e18, 1e19, 1e20, 1e21, 1e22, 3e22, 9e21, 123456789e15, 0x1p60, 0x1p64, 0x1p70, 5e22 * 2}) {
    expectDigits(x, "integer");
  }
  EXPECT_EQ(truncatedDigits18(1e22).digits, 100000000000000000u);
  EXPECT_EQ(truncatedDigits18(1e22).decimalExponent, 23);
  EXPECT_EQ(truncatedDigits18(3e22).digits, 300000000000000000u);
}

TEST(ExponentFieldDigits, ExactRouteOnRandomDoubles) {
  const std::uint64_t seed = 0x5eed0007u;
  std::mt19937_64 random(seed);
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t bits = (random() & 0x000FFFFFFFFFFFFFu) | (std::uint64_t(random() % 2047) << 52);
    if (bits == 0) continue;
    expectDigits(fromBits(bits), "seed " + std::to_string(seed));
    if (HasFailure()) break;
  }
}

// --- No floating-point exception ---------------------------------------------------

TEST(ExponentField, RaisesNoFloatingPointExceptionWithTrapsOn) {
  const std::uint64_t seed = 0x5eed0008u;
  std::mt19937_64 random(seed);
  std::vector<std::uint64_t> inputs = {
      0x0000000000000000u, 0x8000000000000000u, 0x0000000000000001u, 0x000FFFFFFFFFFFFFu, 0x0010000000000000u,
      0x7FEFFFFFFFFFFFFFu, 0xFFEFFFFFFFFFFFFFu, 0x7FF0000000000000u, 0xFFF0000000000000u, 0x7FF8000000000000u,
      0xFFF8000000000000u, 0x7FF0000000000001u, 0xFFF4000000000000u, 0x7FFFFFFFFFFFFFFFu, 0x3FF0000000000000u};
  for (int i = 0; i < 100000; ++i) inputs.push_back(random());
  std::vector<char> fast(inputs.size() * 24);
  std::vector<char> general(inputs.size() * 40);

  std::feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);  // a fault now ends the test binary
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    formatE24_15(fromBits(inputs[i]), &fast[i * 24]);
    formatExponentField(fromBits(inputs[i]), 40, 20, static_cast<int>(i % 5) - 2, &general[i * 40]);
  }
  fedisableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
  EXPECT_EQ(std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW), 0);

  // The outputs made under traps are the right ones.
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const double x = fromBits(inputs[i]);
    ASSERT_EQ(std::string(&fast[i * 24], 24), oracle::exponentField(x, 24, 15, 1)) << "seed " << seed << " " << describe(x);
    ASSERT_EQ(std::string(&general[i * 40], 40), oracle::exponentField(x, 40, 20, static_cast<int>(i % 5) - 2))
        << "seed " << seed << " " << describe(x);
  }
}

}  // namespace
}  // namespace zandovir
