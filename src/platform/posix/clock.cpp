#include <time.h>

#include "platform/platform.h"

namespace zandovir::platform {
namespace {

bool readLocal(ClockReading* out) {
  const time_t now = time(nullptr);
  if (now == static_cast<time_t>(-1)) return false;
  struct tm local {};
  if (localtime_r(&now, &local) == nullptr) return false;
  *out = ClockReading{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                      local.tm_hour,        local.tm_min,     local.tm_sec};
  return true;
}

}  // namespace

ClockOps& clockOps() {
  static ClockOps ops{readLocal};
  return ops;
}

}  // namespace zandovir::platform
