// The Windows program with its clock set from the command line, so that the Wine
// tests can compare whole files with the Linux build's: zandovir_fixed_clock.exe
// YEAR MONTH DAY HOUR MINUTE SECOND. The run goes through the window shell exactly
// as in the desktop program.
#include <cstdlib>

#include "platform/platform.h"
#include "platform/win32/shell_entry.h"
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
  zandovir::platform::runInShell(zandovir::runProgram);
}
