// Entry of the Windows desktop program: the run inside the window shell. It takes
// no arguments and works in the current folder.
#include <windows.h>

#include "platform/win32/shell_entry.h"
#include "run/run_sequence.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  zandovir::platform::runInShell(zandovir::runProgram);
}
