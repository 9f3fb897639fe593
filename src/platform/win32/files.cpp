// Files on Windows: CreateFileA handles that share reading and writing with other
// programs, so the user may keep a file open in an editor while the run uses it.
#include <windows.h>

#include "platform/platform.h"

namespace zandovir::platform {
namespace {

// The system's error codes reduced to what the failure reports tell apart; a write
// or a cut that the system refuses for a reason of access is `writeRefused`.
SysError fromError(DWORD error, bool writing) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_INVALID_HANDLE:
      return writing ? SysError::writeRefused : SysError::accessDenied;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return SysError::exists;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return SysError::notFound;
    case ERROR_TOO_MANY_OPEN_FILES:
      return SysError::tooManyFiles;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return SysError::diskFull;
    default:
      return SysError::other;
  }
}

HANDLE handleOf(NativeFile file) { return reinterpret_cast<HANDLE>(file.value); }

constexpr DWORD kShared = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Without backup semantics CreateFileA already refuses a directory; the check of
// the attributes keeps that true on file systems that behave otherwise.
SysError refuseDirectory(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION information;
  if (GetFileInformationByHandle(handle, &information) &&
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(handle);
    return SysError::accessDenied;
  }
  return SysError::none;
}

SysError openExisting(const char* name, OpenAccess access, NativeFile* out) {
  DWORD desired = GENERIC_READ | GENERIC_WRITE;
  if (access == OpenAccess::readOnly) desired = GENERIC_READ;
  if (access == OpenAccess::writeOnly) desired = GENERIC_WRITE;
  const HANDLE handle =
      CreateFileA(name, desired, kShared, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return fromError(GetLastError(), false);
  if (SysError error = refuseDirectory(handle); error != SysError::none) return error;
  out->value = reinterpret_cast<std::intptr_t>(handle);
  return SysError::none;
}

SysError createNew(const char* name, NativeFile* out) {
  const HANDLE handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, kShared, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return fromError(GetLastError(), false);
  out->value = reinterpret_cast<std::intptr_t>(handle);
  return SysError::none;
}

bool exists(const char* name) {
  if (GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES) return true;
  // An entry the system will not describe still exists; the open then says why.
  const DWORD error = GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
         error != ERROR_INVALID_NAME && error != ERROR_BAD_PATHNAME &&
         error != ERROR_INVALID_DRIVE && error != ERROR_BAD_NETPATH;
}

SysError readBytes(NativeFile file, void* buffer, std::size_t size, std::size_t* got) {
  DWORD count = 0;
  const DWORD asked = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  if (!ReadFile(handleOf(file), buffer, asked, &count, nullptr)) {
    const DWORD error = GetLastError();
    *got = 0;
    if (error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE) return SysError::none;
    return fromError(error, false);
  }
  *got = count;
  return SysError::none;
}

SysError writeBytes(NativeFile file, const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD asked = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD count = 0;
    if (!WriteFile(handleOf(file), bytes, asked, &count, nullptr)) {
      return fromError(GetLastError(), true);
    }
    if (count == 0) return SysError::diskFull;
    bytes += count;
    size -= count;
  }
  return SysError::none;
}

SysError seekTo(NativeFile file, std::uint64_t offset) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(handleOf(file), position, nullptr, FILE_BEGIN)) {
    return fromError(GetLastError(), false);
  }
  return SysError::none;
}

// SetEndOfFile cuts at the file pointer; the caller's offset is put back afterwards.
SysError setLength(NativeFile file, std::uint64_t length) {
  const HANDLE handle = handleOf(file);
  LARGE_INTEGER zero;
  zero.QuadPart = 0;
  LARGE_INTEGER current;
  if (!SetFilePointerEx(handle, zero, &current, FILE_CURRENT)) return fromError(GetLastError(), true);
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(length);
  if (!SetFilePointerEx(handle, end, nullptr, FILE_BEGIN)) return fromError(GetLastError(), true);
  const BOOL cut = SetEndOfFile(handle);
  const DWORD error = cut ? ERROR_SUCCESS : GetLastError();
  SetFilePointerEx(handle, current, nullptr, FILE_BEGIN);
  if (!cut) return fromError(error, true);
  return SysError::none;
}

SysError identify(NativeFile file, FileIdentity* out) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(handleOf(file), &information)) {
    return fromError(GetLastError(), false);
  }
  out->volume = information.dwVolumeSerialNumber;
  out->index = (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) |
               information.nFileIndexLow;
  return SysError::none;
}

SysError closeFile(NativeFile file) {
  if (!CloseHandle(handleOf(file))) return fromError(GetLastError(), true);
  return SysError::none;
}

}  // namespace

FileOps& fileOps() {
  static FileOps ops{openExisting, createNew, exists,   readBytes, writeBytes,
                     seekTo,       setLength, identify, closeFile};
  return ops;
}

}  // namespace zandovir::platform
