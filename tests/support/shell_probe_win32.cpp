// A probe of the Windows shell and arithmetic set-up for scripts/windows-test.sh:
//   zandovir_shell_probe.exe mode N   asks for exit mode N and returns 0: the shell
//                                     then closes, prompts or stays open as N says;
//   zandovir_shell_probe.exe trap K   arms the run's traps and commits fault K
//                                     (divide, invalid, overflow, sqrt, pow,
//                                     underflow); the report number goes to probe.txt
//                                     and the process ends with exit code 1;
//   zandovir_shell_probe.exe hold F S  keeps file F open, sharing nothing (S = deny)
//                                     or reading and writing (S = share), from the
//                                     moment held.flag appears until release.flag
//                                     does (two minutes at most); no windows.
// mode and trap write one line to probe.txt in the current folder.
#include <emmintrin.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>

#include <chrono>
#include <thread>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/win32/shell_entry.h"
#include "textio/failure.h"

namespace {

namespace platform = zandovir::platform;

int gMode = 0;
const char* gFault = "";

void writeProbe(const char* line) {
  std::FILE* file = std::fopen("probe.txt", "wb");
  if (file == nullptr) return;
  std::fputs(line, file);
  std::fputs("\n", file);
  std::fclose(file);
}

[[noreturn]] void recordReport(const zandovir::FailureReport& report) {
  char line[64];
  std::snprintf(line, sizeof line, "%c%04d", report.letter, report.number);
  writeProbe(line);
  platform::terminateProcess(1);
}

// The caption is left as the shell set it: the program's base name.
int modeProgram() {
  writeProbe(platform::requestExitMode(gMode) ? "accepted" : "refused");
  return 0;
}

int trapProgram() {
  zandovir::setFailureInterceptor(recordReport);
  zandovir::setUpRunArithmetic();
  volatile double zero = 0.0;
  volatile double one = 1.0;
  volatile double huge = 1.0e300;
  volatile double tiny = 1.0e-300;
  volatile double result = 0.0;
  if (std::strcmp(gFault, "divide") == 0) result = one / zero;
  if (std::strcmp(gFault, "invalid") == 0) result = zero / zero;
  if (std::strcmp(gFault, "overflow") == 0) result = huge * huge;
  // SQRTSD itself: mingw's library sqrt answers a negative with a quiet NaN.
  if (std::strcmp(gFault, "sqrt") == 0) {
    const __m128d operand = _mm_set_sd(zero - one);
    result = _mm_cvtsd_f64(_mm_sqrt_sd(operand, operand));
  }
  if (std::strcmp(gFault, "pow") == 0) result = zandovir::runPow(huge, 2.0);
  if (std::strcmp(gFault, "underflow") == 0) result = tiny * tiny;
  char line[64];
  std::snprintf(line, sizeof line, "no trap %.17g", static_cast<double>(result));
  platform::suspendTraps(true);
  writeProbe(line);
  platform::requestExitMode(2);
  return 0;
}

bool present(const char* name) {
  std::FILE* file = std::fopen(name, "rb");
  if (file != nullptr) std::fclose(file);
  return file != nullptr;
}

// Another program holding a file the run uses; the C runtime's sharing modes.
int holdFile(const char* name, bool share) {
  int handle = -1;
  if (_sopen_s(&handle, name, _O_RDWR | _O_BINARY, share ? _SH_DENYNO : _SH_DENYRW, 0) != 0) {
    return 3;
  }
  std::FILE* flag = std::fopen("held.flag", "wb");
  if (flag != nullptr) std::fclose(flag);
  for (int tick = 0; tick < 1200 && !present("release.flag"); ++tick) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  _close(handle);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "mode") == 0) {
    gMode = std::atoi(argv[2]);
    platform::runInShell(modeProgram);
  }
  if (argc == 3 && std::strcmp(argv[1], "trap") == 0) {
    gFault = argv[2];
    platform::runInShell(trapProgram);
  }
  if (argc == 4 && std::strcmp(argv[1], "hold") == 0) {
    return holdFile(argv[2], std::strcmp(argv[3], "share") == 0);
  }
  writeProbe("usage: mode N | trap KIND | hold FILE deny|share");
  return 2;
}
