#include "platform/platform.h"

namespace zandovir::platform {

const char* describe(SysError error) {
  switch (error) {
    case SysError::none: return "no error";
    case SysError::accessDenied: return "access refused";
    case SysError::notFound: return "file or folder not found";
    case SysError::tooManyFiles: return "too many open files";
    case SysError::exists: return "the file appeared before it could be created";
    case SysError::diskFull: return "the disk is full";
    case SysError::writeRefused: return "the system refused the write";
    case SysError::other: return "input/output error";
  }
  return "input/output error";
}

}  // namespace zandovir::platform
