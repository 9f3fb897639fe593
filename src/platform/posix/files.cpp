// Files on POSIX: plain descriptors. Shared access is the POSIX default.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"

namespace zandovir::platform {
namespace {

SysError fromErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
    case EBADF:
      return SysError::accessDenied;
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return SysError::notFound;
    case EMFILE:
    case ENFILE:
      return SysError::tooManyFiles;
    case EEXIST:
      return SysError::exists;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return SysError::diskFull;
    default:
      return SysError::other;
  }
}

int fd(NativeFile file) { return static_cast<int>(file.value); }

// A directory opens read-only on POSIX; it is no text file, so refuse it as access.
SysError refuseDirectory(int descriptor) {
  struct stat status {};
  if (fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode)) {
    close(descriptor);
    return SysError::accessDenied;
  }
  return SysError::none;
}

SysError openExisting(const char* name, OpenAccess access, NativeFile* out) {
  int flags = O_CLOEXEC | O_NOCTTY;
  switch (access) {
    case OpenAccess::readWrite: flags |= O_RDWR; break;
    case OpenAccess::readOnly: flags |= O_RDONLY; break;
    case OpenAccess::writeOnly: flags |= O_WRONLY; break;
  }
  int descriptor;
  do {
    descriptor = open(name, flags);
  } while (descriptor < 0 && errno == EINTR);
  if (descriptor < 0) return fromErrno(errno);
  if (SysError error = refuseDirectory(descriptor); error != SysError::none) return error;
  out->value = descriptor;
  return SysError::none;
}

SysError createNew(const char* name, NativeFile* out) {
  int descriptor;
  do {
    descriptor = open(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
  } while (descriptor < 0 && errno == EINTR);
  if (descriptor < 0) return fromErrno(errno);
  out->value = descriptor;
  return SysError::none;
}

bool exists(const char* name) {
  struct stat status {};
  return lstat(name, &status) == 0;
}

SysError readBytes(NativeFile file, void* buffer, std::size_t size, std::size_t* got) {
  ssize_t count;
  do {
    count = read(fd(file), buffer, size);
  } while (count < 0 && errno == EINTR);
  if (count < 0) {
    *got = 0;
    return errno == EBADF ? SysError::accessDenied : fromErrno(errno);
  }
  *got = static_cast<std::size_t>(count);
  return SysError::none;
}

SysError writeBytes(NativeFile file, const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t count = write(fd(file), bytes, size);
    if (count < 0) {
      if (errno == EINTR) continue;
      // A descriptor opened for reading only cannot take the write: refused.
      return errno == EBADF ? SysError::writeRefused : fromErrno(errno);
    }
    if (count == 0) return SysError::diskFull;
    bytes += count;
    size -= static_cast<std::size_t>(count);
  }
  return SysError::none;
}

SysError seekTo(NativeFile file, std::uint64_t offset) {
  if (lseek(fd(file), static_cast<off_t>(offset), SEEK_SET) < 0) return fromErrno(errno);
  return SysError::none;
}

SysError setLength(NativeFile file, std::uint64_t length) {
  int result;
  do {
    result = ftruncate(fd(file), static_cast<off_t>(length));
  } while (result < 0 && errno == EINTR);
  if (result < 0) {
    return (errno == EBADF || errno == EINVAL) ? SysError::writeRefused : fromErrno(errno);
  }
  return SysError::none;
}

SysError identify(NativeFile file, FileIdentity* out) {
  struct stat status {};
  if (fstat(fd(file), &status) != 0) return fromErrno(errno);
  out->volume = static_cast<std::uint64_t>(status.st_dev);
  out->index = static_cast<std::uint64_t>(status.st_ino);
  return SysError::none;
}

SysError closeFile(NativeFile file) {
  if (close(fd(file)) != 0 && errno != EINTR) return fromErrno(errno);
  return SysError::none;
}

}  // namespace

FileOps& fileOps() {
  static FileOps ops{openExisting, createNew, exists,   readBytes, writeBytes,
                     seekTo,       setLength, identify, closeFile};
  return ops;
}

}  // namespace zandovir::platform
