// The entry into the Windows window shell; no OS types here, so that an entry
// file outside the platform layer can use it.
#pragma once

namespace zandovir::platform {

// Opens the frame window (menu bar, status line, the empty child "Graphic1"), runs
// `program` on a worker thread at below-normal priority while this thread keeps
// the windows alive, and ends the process once the windows are gone: with the
// program's exit code after a normal return. Call once, from the process's first
// thread; never returns.
[[noreturn]] void runInShell(int (*program)());

}  // namespace zandovir::platform
