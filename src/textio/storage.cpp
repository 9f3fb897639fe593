#include "textio/storage.h"

#include <cstdio>
#include <new>

#include "platform/platform.h"
#include "textio/failure.h"

namespace zandovir {
namespace {

[[noreturn]] void failStorage(std::uint64_t bytes) {
  static char message[160];
  std::snprintf(message, sizeof message, "insufficient memory: %llu bytes of arrays cannot be obtained",
                static_cast<unsigned long long>(bytes));
  reportFailure('F', 6772, StatementKind::none, message);
}

}  // namespace

void requireStorage(std::uint64_t bytes) {
  if (bytes > platform::usableMemoryBytes()) failStorage(bytes);
}

double* obtainArray(std::size_t count) {
  if (count > SIZE_MAX / sizeof(double)) failStorage(UINT64_MAX);
  double* array = static_cast<double*>(::operator new(count * sizeof(double), std::nothrow));
  if (array == nullptr) failStorage(static_cast<std::uint64_t>(count) * sizeof(double));
  if (count * sizeof(double) >= (std::size_t{8} << 20)) platform::adviseLargeBlock(array, count * sizeof(double));
  return array;
}

void releaseArray(double* array) { ::operator delete(array); }

}  // namespace zandovir
