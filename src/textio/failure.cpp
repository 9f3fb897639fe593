#include "textio/failure.h"

#include <atomic>
#include <cstring>

#include "platform/platform.h"
#include "textio/text_file.h"

namespace zandovir {
namespace {

FailureInterceptor gInterceptor = nullptr;
// 0: running; 1: a report is being shown or the exit sequence is under way.
std::atomic<int> gEnding{0};

// Appends text to out[*length..capacity-1), keeping room for the terminator.
void append(char* out, std::size_t capacity, std::size_t* length, const char* text) {
  while (*text != '\0' && *length + 1 < capacity) out[(*length)++] = *text++;
  out[*length] = '\0';
}

const char* heading(StatementKind kind) {
  switch (kind) {
    case StatementKind::open: return ": OPEN(";
    case StatementKind::close: return ": CLOSE(";
    case StatementKind::read: return ": READ(";
    case StatementKind::write: return ": WRITE(";
    case StatementKind::math: return ": MATH\r\n- ";
    case StatementKind::none: return "\r\n- ";
  }
  return "\r\n- ";
}

bool isFileFamily(StatementKind kind) {
  return kind == StatementKind::open || kind == StatementKind::close ||
         kind == StatementKind::read || kind == StatementKind::write;
}

}  // namespace

std::size_t composeFailureText(const FailureReport& report, char* out, std::size_t capacity) {
  if (capacity == 0) return 0;
  std::size_t length = 0;
  out[0] = '\0';
  char code[6] = {report.letter, '0', '0', '0', '0', '\0'};
  int number = report.number;
  for (int i = 4; i >= 1; --i) {
    code[i] = static_cast<char>('0' + number % 10);
    number /= 10;
  }
  append(out, capacity, &length, code);
  append(out, capacity, &length, heading(report.kind));
  if (isFileFamily(report.kind)) append(out, capacity, &length, ") - ");
  append(out, capacity, &length, report.message != nullptr ? report.message : "");
  return length;
}

void setFailureInterceptor(FailureInterceptor interceptor) { gInterceptor = interceptor; }

void reportFailure(char letter, int number, StatementKind kind, const char* message) {
  // Nothing after the failure may trap again, whatever state the run was in.
  platform::suspendTraps(true);
  const FailureReport report{letter, number, kind, message};
  if (gInterceptor != nullptr) {
    gInterceptor(report);
  }
  static char text[2048];
  composeFailureText(report, text, sizeof text);
  const bool alreadyEnding = gEnding.exchange(1) != 0;
  platform::showFailureBox("run-time error ", text);
  if (alreadyEnding) {
    // A failure while the run is already ending: the ending in progress goes on.
    platform::terminateProcess(1);
  }
  platform::exitPrompt(platform::programName(), "Program Terminated with exit code 1\nExit Window?");
  closeAllTextFilesAtExit();
  platform::terminateProcess(1);
}

namespace {

void onArithmeticTrap(int number) {
  const char* message = "floating-point error: invalid";
  switch (number) {
    case 6101: message = "floating-point error: invalid"; break;
    case 6103: message = "floating-point error: divide by zero"; break;
    case 6104: message = "floating-point error: overflow"; break;
    case 6108: message = "floating-point error: square root"; break;
    case 6110: message = "floating-point error: stack overflow"; break;
    case 6111: message = "floating-point error: stack underflow"; break;
    default: break;
  }
  reportFailure('M', number, StatementKind::math, message);
}

}  // namespace

void setUpRunArithmetic() { platform::setUpArithmetic(onArithmeticTrap); }

double runPow(double value, double exponent) {
  int error = 0;
  const double result = platform::guardedPow(value, exponent, &error);
  if (error != 0) {
    const char* message = "**: DOMAIN error";
    switch (error) {
      case 6201: message = "**: DOMAIN error"; break;
      case 6202: message = "**: SING error"; break;
      case 6203: message = "**: OVERFLOW error"; break;
      case 6204: message = "**: UNDERFLOW error"; break;
      case 6205: message = "**: TLOSS error"; break;
      case 6206: message = "**: PLOSS error"; break;
      default: break;
    }
    reportFailure('M', error, StatementKind::math, message);
  }
  return result;
}

}  // namespace zandovir
