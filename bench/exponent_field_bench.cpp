// The "1P,E24.15" field against the C library's "%24.15E" and std::to_chars
// (scientific, 17 digits) on the same mixed set of magnitudes.
#include <benchmark/benchmark.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "textio/exponent_field.h"

namespace {

constexpr std::size_t kValueCount = 4096;

// A third each: values of everyday size (1e-6 .. 1e6), every binary exponent
// (subnormals included), and short decimals such as 0.25 or 1e22 whose exact
// expansion ends early. Signs are mixed.
std::vector<double> mixedValues() {
  std::mt19937_64 random(0x5eedbe9c);
  std::vector<double> values;
  values.reserve(kValueCount);
  for (std::size_t i = 0; values.size() < kValueCount; ++i) {
    const std::uint64_t sign = (random() & 1) << 63;
    const std::uint64_t fraction = random() >> 12;
    std::uint64_t biased = 0;
    switch (i % 3) {
      case 0: biased = 1023 - 20 + random() % 41; break;
      case 1: biased = random() % 2047; break;
      default: {
        const double shortOnes[] = {0.25, 1.0, 2.5, 100.0, 1e22, 0.125, 3.0, 1e-3, 123456.789, 7.0};
        values.push_back(shortOnes[random() % 10]);
        continue;
      }
    }
    const double x = std::bit_cast<double>(sign | (biased << 52) | fraction);
    if (x != 0.0) values.push_back(x);
  }
  return values;
}

const std::vector<double>& values() {
  static const std::vector<double> kValues = mixedValues();
  return kValues;
}

void setRate(benchmark::State& state) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kValueCount));
  // Seconds per value, shown with its SI prefix ("25.1n" = 25.1 ns).
  state.counters["per_value"] = benchmark::Counter(static_cast<double>(kValueCount),
                                                   benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

void formatE24_15All(benchmark::State& state) {
  char out[24 * 16];
  for (auto _ : state) {
    std::size_t slot = 0;
    for (double x : values()) {
      zandovir::formatE24_15(x, out + 24 * (slot++ % 16));
    }
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  setRate(state);
}

void formatExponentFieldAll(benchmark::State& state) {
  char out[24 * 16];
  for (auto _ : state) {
    std::size_t slot = 0;
    for (double x : values()) {
      zandovir::formatExponentField(x, 24, 15, 1, out + 24 * (slot++ % 16));
    }
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  setRate(state);
}

void snprintfAll(benchmark::State& state) {
  char out[32 * 16];
  for (auto _ : state) {
    std::size_t slot = 0;
    for (double x : values()) {
      std::snprintf(out + 32 * (slot++ % 16), 32, "%24.15E", x);
    }
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  setRate(state);
}

void toCharsScientific17All(benchmark::State& state) {
  char out[32 * 16];
  for (auto _ : state) {
    std::size_t slot = 0;
    for (double x : values()) {
      char* first = out + 32 * (slot++ % 16);
      std::to_chars(first, first + 32, x, std::chars_format::scientific, 17);
    }
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  setRate(state);
}

}  // namespace

// Median over repetitions is the figure to quote; the minimum shows the cost
// without interference from other work on the machine.
double minimum(const std::vector<double>& v) {
  double least = v.empty() ? 0.0 : v.front();
  for (double x : v) least = x < least ? x : least;
  return least;
}

#define ZANDOVIR_FIELD_BENCHMARK(name) \
  BENCHMARK(name)->Repetitions(15)->ReportAggregatesOnly(true)->ComputeStatistics("min", minimum)

ZANDOVIR_FIELD_BENCHMARK(formatE24_15All);
ZANDOVIR_FIELD_BENCHMARK(formatExponentFieldAll);
ZANDOVIR_FIELD_BENCHMARK(snprintfAll);
ZANDOVIR_FIELD_BENCHMARK(toCharsScientific17All);

BENCHMARK_MAIN();
