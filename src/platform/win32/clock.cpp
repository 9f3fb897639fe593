// The local clock on Windows: one GetLocalTime reading.
#include <windows.h>

#include "platform/platform.h"

namespace zandovir::platform {
namespace {

bool readLocal(ClockReading* out) {
  SYSTEMTIME local;
  GetLocalTime(&local);
  *out = ClockReading{local.wYear, local.wMonth,  local.wDay,
                      local.wHour, local.wMinute, local.wSecond};
  return true;
}

}  // namespace

ClockOps& clockOps() {
  static ClockOps ops{readLocal};
  return ops;
}

}  // namespace zandovir::platform
