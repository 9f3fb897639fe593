// The one seam between ZANDOVIR and the operating system. Everything the run
// takes from the platform goes through the tables below; the posix/ and win32/
// folders fill them in, and tests may swap single entries for failing stubs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zandovir::platform {

// Why a system call failed, reduced to the distinctions the failure reports make.
enum class SysError {
  none,
  accessDenied,   // permissions, read-only medium, a directory, a lock or share conflict
  notFound,       // the file or a folder on its path does not exist
  tooManyFiles,   // the process or the system has no handle left
  exists,         // exclusive creation met an existing name
  diskFull,       // no space (or quota) left for the bytes
  writeRefused,   // the system refused the write for a reason of access
  other,          // anything else; still a failure
};

// A short human text for a SysError, for the failure messages.
const char* describe(SysError error);

// An open file of the platform; value is an fd or a HANDLE.
struct NativeFile {
  std::intptr_t value = -1;
};

enum class OpenAccess { readWrite, readOnly, writeOnly };

// Identity of a file on disk (device and inode, or volume and file index).
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileIdentity&) const = default;
};

struct FileOps {
  // Opens an existing file without cutting it, sharing reading and writing.
  SysError (*openExisting)(const char* name, OpenAccess access, NativeFile* out);
  // Creates a new empty file for reading and writing; an existing name is `exists`.
  SysError (*createNew)(const char* name, NativeFile* out);
  // True when the name exists in the file system (any kind of entry).
  bool (*exists)(const char* name);
  // Reads up to `size` bytes at the current offset; *got = 0 at the end.
  SysError (*read)(NativeFile file, void* buffer, std::size_t size, std::size_t* got);
  // Writes all `size` bytes at the current offset or fails.
  SysError (*write)(NativeFile file, const void* data, std::size_t size);
  // Moves the offset to an absolute position.
  SysError (*seek)(NativeFile file, std::uint64_t offset);
  // Sets the length of the file (cuts or extends).
  SysError (*setLength)(NativeFile file, std::uint64_t length);
  // The identity of an open file.
  SysError (*identify)(NativeFile file, FileIdentity* out);
  // Releases the handle.
  SysError (*close)(NativeFile file);
};

// The process's file table; tests may replace entries and must restore them.
FileOps& fileOps();

// One reading of the local calendar date and wall-clock time.
struct ClockReading {
  std::int32_t year, month, day, hour, minute, second;
};

struct ClockOps {
  // Fills *out and returns true, or returns false when no clock is available.
  bool (*readLocal)(ClockReading* out);
};
ClockOps& clockOps();

// The system command interpreter: runs one zero-terminated command line and
// waits until the interpreter ends. Returns its exit code, -1 when it could not start.
int runInterpreter(const char* commandLine);

// The text-window shell: caption, status line, boxes and exit modes.
enum class ExitMode : int { askBeforeClosing = 1, closeWithoutAsking = 2, stayOpen = 3 };

// Sets the caption of the frame window; false when there is none to set.
bool setCaption(const char* text);
// Shows the status line text.
void setStatus(const char* text);
// Shows a failure box (stop icon, OK) and waits for the user where one can answer.
void showFailureBox(const char* caption, const char* text);
// The exit prompt after a failure: caption, text, Yes/No with No the default.
// Returns when the window may close (after Yes, or after the user closed it on No).
void exitPrompt(const char* caption, const char* text);
// Asks for an exit mode; any value other than 1, 2 or 3 is refused (returns false).
bool requestExitMode(int mode);
ExitMode currentExitMode();
// The base name of the program file, without folder and extension.
const char* programName();
// Ends the process at once with the given code; buffers are the caller's business.
[[noreturn]] void terminateProcess(int code);

// Memory the process can really use, in bytes (limits, control group, physical
// memory, whichever is least); UINT64_MAX when nothing limits it.
std::uint64_t usableMemoryBytes();

// Hints that a large block will be filled soon, so that the system may map it with
// large pages (fewer faults); nothing happens where the system has no such hint.
void adviseLargeBlock(void* block, std::size_t bytes);

// Arithmetic: double precision, to nearest; invalid, divide-by-zero and overflow trap.
// `onTrap` is called with 6101, 6103, 6104 (6108, 6110, 6111 where the processor has
// them) at the faulting operation and must not return.
using TrapHandler = void (*)(int number);
void setUpArithmetic(TrapHandler onTrap);
// Turns the three traps off (true) or back on (false); pending flags are cleared.
void suspendTraps(bool suspend);
// pow(x, y) with the traps off; *error receives 0 or 6201..6206.
double guardedPow(double x, double y, int* error);

}  // namespace zandovir::platform
