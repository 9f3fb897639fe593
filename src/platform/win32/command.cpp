// The command interpreter on Windows: the program named by COMSPEC, else cmd.exe
// (command.com on the 9x family), started with "/c" and the command line and
// waited for. The child inherits the environment, the current folder and the
// inheritable handles; no creation flags, so the interpreter gets a console window
// of its own.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/platform.h"
#include "platform/win32/win32_internal.h"

namespace zandovir::platform {
namespace {

enum class StartResult { started, notFound, failed };

// Joins `program`, "/c" and the command with single blanks into a new text.
char* joinCommandLine(const char* program, const char* command) {
  const std::size_t length = std::strlen(program) + 4 + std::strlen(command) + 1;
  char* line = static_cast<char*>(::operator new(length, std::nothrow));
  if (line == nullptr) return nullptr;
  std::strcpy(line, program);
  std::strcat(line, " /c ");
  std::strcat(line, command);
  return line;
}

// Starts `path` with the argument list `name`, "/c", `command`, waits for it and
// stores its exit code.
StartResult startAndWait(const char* path, const char* name, const char* command, int* code) {
  char* line = joinCommandLine(name, command);
  if (line == nullptr) return StartResult::failed;
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  std::memset(&process, 0, sizeof process);
  const BOOL created =
      CreateProcessA(path, line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  const DWORD error = created ? ERROR_SUCCESS : GetLastError();
  ::operator delete(line);
  if (!created) {
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                         error == ERROR_ACCESS_DENIED;
    return missing ? StartResult::notFound : StartResult::failed;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 0;
  const BOOL known = GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hProcess);
  if (!known) return StartResult::failed;
  *code = static_cast<int>(exitCode);
  return StartResult::started;
}

bool isNinetyFiveFamily() {
  OSVERSIONINFOA version;
  std::memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

bool isPlainFile(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The default interpreter, looked for in the current folder and then in each
// folder of PATH, in that order.
StartResult startDefault(const char* command, int* code) {
  const char* name = isNinetyFiveFamily() ? "command.com" : "cmd.exe";
  char path[MAX_PATH + 16];
  if (isPlainFile(name)) {
    const StartResult result = startAndWait(name, name, command, code);
    if (result != StartResult::notFound) return result;
  }
  const DWORD pathLength = GetEnvironmentVariableA("PATH", nullptr, 0);
  if (pathLength == 0) return StartResult::notFound;
  char* folders = static_cast<char*>(::operator new(pathLength + 1, std::nothrow));
  if (folders == nullptr) return StartResult::failed;
  GetEnvironmentVariableA("PATH", folders, pathLength + 1);
  StartResult result = StartResult::notFound;
  for (char* folder = folders; folder != nullptr && result == StartResult::notFound;) {
    char* next = std::strchr(folder, ';');
    if (next != nullptr) *next++ = '\0';
    // A folder of PATH may stand in double quotes.
    std::size_t length = std::strlen(folder);
    if (length >= 2 && folder[0] == '"' && folder[length - 1] == '"') {
      folder[length - 1] = '\0';
      ++folder;
      length -= 2;
    }
    if (length > 0 && length + 1 + std::strlen(name) < sizeof path) {
      std::strcpy(path, folder);
      if (path[length - 1] != '\\' && path[length - 1] != '/') std::strcat(path, "\\");
      std::strcat(path, name);
      if (isPlainFile(path)) result = startAndWait(path, name, command, code);
    }
    folder = next;
  }
  ::operator delete(folders);
  return result;
}

int runWithTrapsHeld(const char* commandLine) {
  int code = -1;
  const DWORD comspecLength = GetEnvironmentVariableA("COMSPEC", nullptr, 0);
  if (comspecLength > 0) {
    char* comspec = static_cast<char*>(::operator new(comspecLength + 1, std::nothrow));
    if (comspec == nullptr) return -1;
    GetEnvironmentVariableA("COMSPEC", comspec, comspecLength + 1);
    const StartResult result = comspec[0] != '\0'
                                   ? startAndWait(comspec, comspec, commandLine, &code)
                                   : StartResult::notFound;
    ::operator delete(comspec);
    if (result == StartResult::started) return code;
    if (result == StartResult::failed) return -1;
  }
  return startDefault(commandLine, &code) == StartResult::started ? code : -1;
}

}  // namespace

int runInterpreter(const char* commandLine) {
  const unsigned saved = win32::holdFloatingPoint();
  const int code = runWithTrapsHeld(commandLine);
  win32::restoreFloatingPoint(saved);
  return code;
}

}  // namespace zandovir::platform
