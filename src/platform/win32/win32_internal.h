// Helpers shared by the Windows files of the platform layer; no OS types here.
#pragma once

namespace zandovir::platform::win32 {

// Masks every floating-point exception of the calling thread and returns the
// control state to give back to `restoreFloatingPoint`. System calls made while the
// run's traps are armed go between the two, so that no arithmetic inside the system
// (window messages, process start) can trap on the run's account.
unsigned holdFloatingPoint();
// Clears the pending flags and restores the state saved by `holdFloatingPoint`.
void restoreFloatingPoint(unsigned saved);

}  // namespace zandovir::platform::win32
