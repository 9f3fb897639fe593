// The run from start to exit: the only flow of control of the program.
#pragma once

namespace zandovir {

// Runs the whole sequence once and returns the exit code (0). Every failure ends
// the process inside it with exit code 1.
int runProgram();

}  // namespace zandovir
