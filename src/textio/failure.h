// Run-time failure reports: every failure of the run ends here.
#pragma once

#include <cstddef>

namespace zandovir {

enum class StatementKind { open, close, read, write, math, none };

struct FailureReport {
  char letter;          // 'M' for arithmetic faults, 'F' for everything else
  int number;           // four digits, e.g. 6501
  StatementKind kind;
  const char* message;  // one line, names the failure plainly
};

// Composes the text of the box into out (zero-terminated, cut to capacity) and
// returns its length. Lines are separated by CR LF.
std::size_t composeFailureText(const FailureReport& report, char* out, std::size_t capacity);

// Shows the report, runs the exit sequence (prompt, open files closed with their
// buffers written) and ends the process with exit code 1. Never returns.
// Safe to call from the arithmetic trap handler: it allocates nothing.
[[noreturn]] void reportFailure(char letter, int number, StatementKind kind, const char* message);

// Tests only: an interceptor sees the report instead of the exit sequence and
// must not return (it throws or jumps). nullptr restores the real behaviour.
using FailureInterceptor = void (*)(const FailureReport& report);
void setFailureInterceptor(FailureInterceptor interceptor);

// Prepares the floating-point environment of the run and routes its traps to the
// MATH reports. Called once before the computation starts.
void setUpRunArithmetic();

// pow(value, exponent) as the run takes squares: traps off while it runs, its own
// errors reported as M6201..M6206.
double runPow(double value, double exponent);

}  // namespace zandovir
