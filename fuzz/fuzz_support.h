// What every fuzz target shares: the arithmetic traps of the run around the code
// under test, failure reports turned into exceptions, and a loud stop on a broken
// property.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "textio/failure.h"
#include "textio/text_file.h"

namespace zandovir::fuzz {

// A report the code under test would have shown; the run would end there.
struct Reported {
  char letter;
  int number;
  StatementKind kind;
  std::string message;
};

[[noreturn]] inline void throwReport(const FailureReport& report) {
  throw Reported{report.letter, report.number, report.kind, report.message != nullptr ? report.message : ""};
}

// A trap that reaches the handler is a fault of the code under test: stop here so
// that libFuzzer keeps the input.
[[noreturn]] inline void onTrapInFuzzing(int number) {
  std::fprintf(stderr, "floating-point trap %d escaped the code under test\n", number);
  std::abort();
}

// Once per process: the run's traps are installed but left off between inputs, so
// that the fuzzer's own arithmetic is never trapped.
inline void setUpFuzzing() {
  platform::setUpArithmetic(onTrapInFuzzing);
  platform::suspendTraps(true);
  setFailureInterceptor(throwReport);
}

// Invalid, divide-by-zero and overflow trap while the guard lives, as in the run.
struct TrapsOn {
  TrapsOn() { platform::suspendTraps(false); }
  ~TrapsOn() { platform::suspendTraps(true); }
  TrapsOn(const TrapsOn&) = delete;
  TrapsOn& operator=(const TrapsOn&) = delete;
};

[[noreturn]] inline void broken(const char* what) {
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

inline void require(bool holds, const char* what) {
  if (!holds) broken(what);
}

// After a report the failing file is still open, as the exit sequence finds it.
inline void closeLeftOpenFiles() { closeAllTextFilesAtExit(); }

}  // namespace zandovir::fuzz
