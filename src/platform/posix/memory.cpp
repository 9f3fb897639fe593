// How much memory the process can really use. Linux overcommits: an allocation
// that succeeds is no promise, so the run asks before it creates its arrays.
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace zandovir::platform {
namespace {

constexpr std::uint64_t kUnlimited = UINT64_MAX;

std::uint64_t minimum(std::uint64_t a, std::uint64_t b) { return a < b ? a : b; }

std::uint64_t subtract(std::uint64_t a, std::uint64_t b) { return a > b ? a - b : 0; }

// Reads one unsigned number from a file holding it on its first line; false for
// "max" or anything unreadable.
bool readNumberFile(const char* path, std::uint64_t* value) {
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) return false;
  unsigned long long number = 0;
  const bool ok = std::fscanf(file, "%llu", &number) == 1;
  std::fclose(file);
  if (ok) *value = number;
  return ok;
}

// The value in kB of a "Key:   123 kB" line of a /proc file, in bytes.
bool readProcField(const char* path, const char* key, std::uint64_t* value) {
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) return false;
  char line[256];
  bool found = false;
  const std::size_t keyLength = std::strlen(key);
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (std::strncmp(line, key, keyLength) == 0) {
      unsigned long long kilobytes = 0;
      if (std::sscanf(line + keyLength, "%llu", &kilobytes) == 1) {
        *value = kilobytes * 1024ull;
        found = true;
      }
      break;
    }
  }
  std::fclose(file);
  return found;
}

// The control group of this process on the unified hierarchy, as "/sys/fs/cgroup/...".
bool cgroupFolder(char* out, std::size_t capacity) {
  std::FILE* file = std::fopen("/proc/self/cgroup", "r");
  if (file == nullptr) return false;
  char line[1024];
  bool found = false;
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (std::strncmp(line, "0::", 3) == 0) {
      char* path = line + 3;
      path[std::strcspn(path, "\n")] = '\0';
      const int written = std::snprintf(out, capacity, "/sys/fs/cgroup%.800s", path);
      found = written > 0 && static_cast<std::size_t>(written) < capacity;
      break;
    }
  }
  std::fclose(file);
  return found;
}

}  // namespace

void adviseLargeBlock(void* block, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kLargePage = 2u << 20;
  const std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(block) + kLargePage - 1) & ~(kLargePage - 1);
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(kLargePage - 1);
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
  static_cast<void>(block);
  static_cast<void>(bytes);
#endif
}

std::uint64_t usableMemoryBytes() {
  std::uint64_t usable = kUnlimited;
  std::uint64_t virtualSize = 0;
  std::uint64_t dataSize = 0;
  readProcField("/proc/self/status", "VmSize:", &virtualSize);
  readProcField("/proc/self/status", "VmData:", &dataSize);
  struct rlimit limit {};
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    usable = minimum(usable, subtract(limit.rlim_cur, virtualSize));
  }
  if (getrlimit(RLIMIT_DATA, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    usable = minimum(usable, subtract(limit.rlim_cur, dataSize));
  }
  char folder[900];
  if (cgroupFolder(folder, sizeof folder)) {
    // Walk up the hierarchy: a limit anywhere above applies too.
    for (;;) {
      char path[1100];
      std::uint64_t maximum = 0;
      std::uint64_t current = 0;
      std::snprintf(path, sizeof path, "%s/memory.max", folder);
      if (readNumberFile(path, &maximum)) {
        std::snprintf(path, sizeof path, "%s/memory.current", folder);
        if (!readNumberFile(path, &current)) current = 0;
        usable = minimum(usable, subtract(maximum, current));
      }
      char* slash = std::strrchr(folder, '/');
      if (slash == nullptr || std::strcmp(folder, "/sys/fs/cgroup") == 0) break;
      *slash = '\0';
    }
  }
  std::uint64_t available = 0;
  if (readProcField("/proc/meminfo", "MemAvailable:", &available)) {
    std::uint64_t swapFree = 0;
    readProcField("/proc/meminfo", "SwapFree:", &swapFree);
    usable = minimum(usable, available + swapFree);
  } else {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) {
      usable = minimum(usable, static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize));
    }
  }
  return usable;
}

}  // namespace zandovir::platform
