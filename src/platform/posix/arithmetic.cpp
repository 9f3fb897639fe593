// Floating-point set-up on POSIX: traps through feenableexcept and SIGFPE.
#include <fenv.h>
#include <signal.h>

#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#define ZANDOVIR_HAVE_MXCSR 1
#endif

#include "platform/platform.h"

namespace zandovir::platform {
namespace {

constexpr int kTrapped = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;
TrapHandler gOnTrap = nullptr;

void onSignal(int, siginfo_t* info, void*) {
  // The handler starts with the default, masked environment; keep it so.
  fedisableexcept(FE_ALL_EXCEPT);
  feclearexcept(FE_ALL_EXCEPT);
  int number = 6101;
  switch (info->si_code) {
    case FPE_FLTDIV: number = 6103; break;
    case FPE_FLTOVF: number = 6104; break;
    case FPE_FLTINV: number = 6101; break;
    case FPE_INTDIV: number = 6103; break;
    default: number = 6101; break;
  }
  if (gOnTrap != nullptr) gOnTrap(number);
  _exit(1);
}

}  // namespace

void setUpArithmetic(TrapHandler onTrap) {
  gOnTrap = onTrap;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = onSignal;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(SIGFPE, &action, nullptr);
  // Doubles on x86-64 already use 53-bit SSE arithmetic; rounding is to nearest.
  fesetround(FE_TONEAREST);
  feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(kTrapped);
}

void suspendTraps(bool suspend) {
  feclearexcept(FE_ALL_EXCEPT);
  if (suspend) {
    fedisableexcept(FE_ALL_EXCEPT);
  } else if (gOnTrap != nullptr) {
    feenableexcept(kTrapped);
  }
}

double guardedPow(double x, double y, int* error) {
#ifdef ZANDOVIR_HAVE_MXCSR
  // The control register is saved and restored directly: far cheaper than the
  // full floating-point environment, and pow runs once or twice per node.
  const unsigned int saved = _mm_getcsr();
  _mm_setcsr((saved | 0x1F80u) & ~0x3Fu);
  const double result = std::pow(x, y);
  const unsigned int flags = _mm_getcsr() & 0x3Fu;
  _mm_setcsr(saved & ~0x3Fu);
  if (flags & 0x01u) {
    *error = 6201;
  } else if (flags & 0x04u) {
    *error = 6202;
  } else if (flags & 0x08u) {
    *error = 6203;
  } else if (flags & 0x10u) {
    *error = 6204;
  } else {
    *error = 0;
  }
  return result;
#else
  fenv_t saved;
  feholdexcept(&saved);
  const double result = std::pow(x, y);
  if (fetestexcept(FE_INVALID)) {
    *error = 6201;
  } else if (fetestexcept(FE_DIVBYZERO)) {
    *error = 6202;
  } else if (fetestexcept(FE_OVERFLOW)) {
    *error = 6203;
  } else if (fetestexcept(FE_UNDERFLOW)) {
    *error = 6204;
  } else {
    *error = 0;
  }
  feclearexcept(FE_ALL_EXCEPT);
  fesetenv(&saved);
  feclearexcept(FE_ALL_EXCEPT);
  return result;
#endif
}

}  // namespace zandovir::platform
