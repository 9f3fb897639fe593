// Any 64-bit pattern as a double in the exponent field, against the slow exact
// reference: the field of the result tables (1P,E24.15) and, from three more
// bytes, a field of another width, digit count and scale factor. No trap may
// escape: the field is integer work on the bits.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "exponent_field_oracle.h"
#include "fuzz_support.h"
#include "textio/exponent_field.h"

namespace {

[[noreturn]] void mismatch(std::uint64_t bits, int w, int d, int k, const std::string& expected, const std::string& got) {
  std::fprintf(stderr, "bits 0x%016llx E%d.%d scale %d\n  expected \"%s\"\n  got      \"%s\"\n",
               static_cast<unsigned long long>(bits), w, d, k, expected.c_str(), got.c_str());
  zandovir::fuzz::broken("the exponent field differs from the exact reference");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zandovir::fuzz::setUpFuzzing();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zandovir;
  if (size < 8) return 0;
  std::uint64_t bits = 0;
  std::memcpy(&bits, data, 8);
  const double x = std::bit_cast<double>(bits);

  {
    const std::unique_ptr<char[]> field(new char[24]);
    {
      const fuzz::TrapsOn traps;
      formatE24_15(x, field.get());
    }
    const std::string got(field.get(), 24);
    const std::string expected = oracle::exponentField(x, 24, 15, 1);
    if (got != expected) mismatch(bits, 24, 15, 1, expected, got);
  }

  if (size >= 11) {
    const int w = 1 + data[8] % 48;
    const int d = data[9] % 24;
    const int k = static_cast<int>(data[10] % 9) - 4;
    const std::unique_ptr<char[]> field(new char[static_cast<std::size_t>(w)]);
    std::size_t length = 0;
    {
      const fuzz::TrapsOn traps;
      length = formatExponentField(x, w, d, k, field.get());
    }
    fuzz::require(length == static_cast<std::size_t>(w), "the field is w bytes");
    const std::string got(field.get(), length);
    const std::string expected = oracle::exponentField(x, w, d, k);
    if (got != expected) mismatch(bits, w, d, k, expected, got);
  }
  return 0;
}
