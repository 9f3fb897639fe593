// Entry of the terminal program: the run takes no arguments and works in the
// current folder.
#include "run/run_sequence.h"

int main() {
  return zandovir::runProgram();
}
