// The program with its clock set from the command line, so that end-to-end tests
// can compare whole files: zandovir_fixed_clock YEAR MONTH DAY HOUR MINUTE SECOND,
// or "none" for a clock that is not available.
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "run/run_sequence.h"

namespace {

zandovir::platform::ClockReading gReading{};
bool gAvailable = false;

bool fixedClock(zandovir::platform::ClockReading* out) {
  *out = gReading;
  return gAvailable;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 7) {
    gReading = {std::atoi(argv[1]), std::atoi(argv[2]), std::atoi(argv[3]),
                std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6])};
    gAvailable = true;
  }
  zandovir::platform::clockOps().readLocal = fixedClock;
  return zandovir::runProgram();
}
