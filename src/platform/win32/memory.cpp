// How much memory the process can use on Windows: what is left to commit (physical
// memory plus page file) and what is left of the address space, whichever is less.
#include <windows.h>

#include "platform/platform.h"

namespace zandovir::platform {

std::uint64_t usableMemoryBytes() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return UINT64_MAX;
  const std::uint64_t commit = status.ullAvailPageFile;
  const std::uint64_t addressSpace = status.ullAvailVirtual;
  return commit < addressSpace ? commit : addressSpace;
}

}  // namespace zandovir::platform

namespace zandovir::platform {

// Windows gives large pages only to blocks allocated for them by a process that
// holds the lock-pages privilege; a block already allocated cannot be hinted.
void adviseLargeBlock(void*, std::size_t) {}

}  // namespace zandovir::platform
