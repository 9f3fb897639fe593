// Floating-point set-up on Windows: the C runtime's control word, and a vectored
// exception handler that turns the run thread's floating-point exceptions into
// the MATH failure reports.
//
// Doubles on x86-64 are computed with SSE2, whose control and status live in
// MXCSR; _controlfp_s sets its rounding and exception masks. The x87 unit only
// serves library code there: it is set to 53-bit precision and to nearest with
// all its exceptions masked, so a library routine using it never traps. On 32-bit
// x86 the x87 unit does the arithmetic and _controlfp_s sets its precision too.
#include <windows.h>

#include <float.h>

#include <cmath>

#include "platform/platform.h"
#include "platform/win32/win32_internal.h"

namespace zandovir::platform {
namespace {

constexpr unsigned kTrappedMask = _EM_INVALID | _EM_ZERODIVIDE | _EM_OVERFLOW;
// Masks in force while the traps are armed: denormal, underflow and inexact pass.
constexpr unsigned kArmedMasks = _MCW_EM & ~kTrappedMask;

// The status bits of _statusfp and _clearfp (the C runtime's values; not every
// float.h spells them out).
constexpr unsigned kStatusInvalid = 0x10;
constexpr unsigned kStatusZeroDivide = 0x08;
constexpr unsigned kStatusOverflow = 0x04;
constexpr unsigned kStatusUnderflow = 0x02;

TrapHandler gOnTrap = nullptr;
DWORD gRunThread = 0;
PVOID gHandlerCookie = nullptr;

#if defined(__x86_64__)
// Some C runtimes give the x87 unit the same masks as SSE; it is set apart after
// every change: 0x027F is 53-bit precision, to nearest, every x87 exception masked.
void setX87ToDoublePrecision() {
  const unsigned short control = 0x027F;
  __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(control));
}
#endif

void setMasks(unsigned masks) {
  unsigned int state = 0;
  _controlfp_s(&state, masks, _MCW_EM);
#if defined(__x86_64__)
  setX87ToDoublePrecision();
#endif
}

#if defined(__x86_64__)

// True when the instruction at `address` is SQRTSD/SQRTSS/SQRTPD/SQRTPS (0F 51 after
// legacy and REX prefixes): an invalid square root has its own report number.
bool isSquareRoot(const void* address) {
  const unsigned char* code = static_cast<const unsigned char*>(address);
  int at = 0;
  while (at < 4 && (code[at] == 0x66 || code[at] == 0xF2 || code[at] == 0xF3 ||
                    (code[at] >= 0x40 && code[at] <= 0x4F))) {
    ++at;
  }
  return code[at] == 0x0F && code[at + 1] == 0x51;
}
#endif

// The report number of a floating-point exception, 0 when it is none of ours.
int trapNumber(const EXCEPTION_POINTERS* info) {
  const DWORD code = info->ExceptionRecord->ExceptionCode;
  switch (code) {
    case EXCEPTION_FLT_INVALID_OPERATION:
#if defined(__x86_64__)
      if (isSquareRoot(info->ExceptionRecord->ExceptionAddress)) return 6108;
#endif
      return 6101;
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
      return 6103;
    case EXCEPTION_FLT_OVERFLOW:
      return 6104;
    case EXCEPTION_FLT_STACK_CHECK: {
      // The x87 status word's C1 bit tells a push onto a full stack from a pop of
      // an empty one.
#if defined(__x86_64__)
      const unsigned status = info->ContextRecord->FltSave.StatusWord;
#else
      const unsigned status = info->ContextRecord->FloatSave.StatusWord;
#endif
      return (status & 0x0200u) != 0 ? 6110 : 6111;
    }
#if defined(__x86_64__)
    case STATUS_FLOAT_MULTIPLE_FAULTS:
    case STATUS_FLOAT_MULTIPLE_TRAPS: {
      // SSE reports several flags at once on some systems: read them from MXCSR.
      const unsigned flags = info->ContextRecord->MxCsr & 0x3Fu;
      if (flags & 0x01u) {
        return isSquareRoot(info->ExceptionRecord->ExceptionAddress) ? 6108 : 6101;
      }
      if (flags & 0x04u) return 6103;
      if (flags & 0x08u) return 6104;
      return 6101;
    }
#endif
    default:
      return 0;
  }
}

LONG CALLBACK onException(EXCEPTION_POINTERS* info) {
  if (gOnTrap == nullptr || GetCurrentThreadId() != gRunThread) return EXCEPTION_CONTINUE_SEARCH;
  const int number = trapNumber(info);
  if (number == 0) return EXCEPTION_CONTINUE_SEARCH;
  // The report runs right here, on the faulting thread; nothing in it may trap.
  _clearfp();
  setMasks(_MCW_EM);
  gOnTrap(number);
  return EXCEPTION_CONTINUE_SEARCH;  // not reached: the handler ends the process
}

}  // namespace

void setUpArithmetic(TrapHandler onTrap) {
  gOnTrap = onTrap;
  gRunThread = GetCurrentThreadId();
  if (gHandlerCookie == nullptr) gHandlerCookie = AddVectoredExceptionHandler(1, onException);
  _clearfp();
  unsigned int state = 0;
#if defined(__x86_64__)
  _controlfp_s(&state, _RC_NEAR | _DN_SAVE | kArmedMasks, _MCW_RC | _MCW_DN | _MCW_EM);
  setX87ToDoublePrecision();
#else
  _controlfp_s(&state, _PC_53 | _RC_NEAR | kArmedMasks, _MCW_PC | _MCW_RC | _MCW_EM);
#endif
}

void suspendTraps(bool suspend) {
  _clearfp();
  if (suspend) {
    setMasks(_MCW_EM);
  } else if (gOnTrap != nullptr) {
    setMasks(kArmedMasks);
  }
}

double guardedPow(double x, double y, int* error) {
  unsigned int saved = 0;
  _controlfp_s(&saved, 0, 0);
  setMasks(_MCW_EM);
  _clearfp();
  const double result = std::pow(x, y);
  const unsigned flags = _clearfp();
  setMasks(saved & _MCW_EM);
  if (flags & kStatusInvalid) {
    *error = 6201;
  } else if (flags & kStatusZeroDivide) {
    *error = 6202;
  } else if (flags & kStatusOverflow) {
    *error = 6203;
  } else if (flags & kStatusUnderflow) {
    *error = 6204;
  } else {
    *error = 0;
  }
  return result;
}

namespace win32 {

unsigned holdFloatingPoint() {
  unsigned int saved = 0;
  _controlfp_s(&saved, 0, 0);
  setMasks(_MCW_EM);
  return saved;
}

void restoreFloatingPoint(unsigned saved) {
  _clearfp();
  setMasks(saved & _MCW_EM);
}

}  // namespace win32

}  // namespace zandovir::platform
