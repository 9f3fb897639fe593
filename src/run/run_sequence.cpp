#include "run/run_sequence.h"

namespace zandovir {

int runProgram() {
  return 0;
}

}  // namespace zandovir
