// The one allocation routine of the run's arrays.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zandovir {

// Ends the run with F6772 unless `bytes` more can really be had by the process.
void requireStorage(std::uint64_t bytes);
// Obtains `count` doubles (uninitialised); failure ends the run with F6772.
// Precondition: count >= 1.
double* obtainArray(std::size_t count);
// Releases an array of obtainArray; nullptr is ignored.
void releaseArray(double* array);

}  // namespace zandovir
