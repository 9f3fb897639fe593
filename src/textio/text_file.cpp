#include "textio/text_file.h"

#include <cstdio>

#include "textio/failure.h"

namespace zandovir {
namespace {

using platform::SysError;

// The run keeps at most two files open; the table leaves room for tests.
constexpr int kMaxOpenFiles = 16;
TextFile* gOpenFiles[kMaxOpenFiles] = {};

bool registerFile(TextFile* file) {
  for (TextFile*& slot : gOpenFiles) {
    if (slot == nullptr) {
      slot = file;
      return true;
    }
  }
  return false;
}

void unregisterFile(TextFile* file) {
  for (TextFile*& slot : gOpenFiles) {
    if (slot == file) slot = nullptr;
  }
}

bool identityInUse(const platform::FileIdentity& identity) {
  for (TextFile* slot : gOpenFiles) {
    if (slot != nullptr && slot->identity == identity) return true;
  }
  return false;
}

int openFailureNumber(SysError error) {
  switch (error) {
    case SysError::exists: return 6415;
    case SysError::notFound: return 6416;
    case SysError::tooManyFiles: return 6417;
    default: return 6414;
  }
}

int writeFailureNumber(SysError error) { return error == SysError::diskFull ? 6422 : 6421; }

[[noreturn]] void failFile(int number, StatementKind kind, const char* what, const char* name,
                           SysError error) {
  static char message[512];
  fileFailureMessage(message, sizeof message, what, name, error);
  reportFailure('F', number, kind, message);
}

// Switches a file that was opened existing (or has been read) to writing: the file
// is cut just after the last byte consumed, so unconsumed buffered bytes go too.
SysError switchToWriting(TextFile& file) {
  const std::uint64_t position = logicalPosition(file);
  SysError error = platform::fileOps().seek(file.handle, position);
  if (error == SysError::none) error = platform::fileOps().setLength(file.handle, position);
  if (error != SysError::none) return error;
  file.mode = FileMode::writing;
  file.bufferStart = position;
  file.bufferCount = 0;
  file.readIndex = 0;
  file.dirty = false;
  return SysError::none;
}

}  // namespace

void fileFailureMessage(char* out, std::size_t capacity, const char* what, const char* name,
                        SysError error) {
  std::snprintf(out, capacity, "%s %s: %s", what, name, platform::describe(error));
}

std::uint64_t logicalPosition(const TextFile& file) {
  return file.mode == FileMode::writing ? file.bufferStart + file.bufferCount
                                        : file.bufferStart + file.readIndex;
}

SysError tryOpenTextFile(TextFile& file, const char* name, bool* alreadyOpen) {
  *alreadyOpen = false;
  const platform::FileOps& ops = platform::fileOps();
  file = TextFile{};
  std::snprintf(file.name, sizeof file.name, "%s", name);
  SysError error = SysError::none;
  if (ops.exists(name)) {
    error = ops.openExisting(name, platform::OpenAccess::readWrite, &file.handle);
    if (error != SysError::none &&
        ops.openExisting(name, platform::OpenAccess::readOnly, &file.handle) == SysError::none) {
      error = SysError::none;
    } else if (error != SysError::none &&
               ops.openExisting(name, platform::OpenAccess::writeOnly, &file.handle) ==
                   SysError::none) {
      error = SysError::none;
    }
    if (error != SysError::none) return error;
    file.mode = FileMode::reading;
  } else {
    error = ops.createNew(name, &file.handle);
    if (error != SysError::none) return error;
    file.mode = FileMode::writing;
  }
  platform::FileIdentity identity;
  if (ops.identify(file.handle, &identity) == SysError::none) {
    if (identityInUse(identity)) {
      ops.close(file.handle);
      file.mode = FileMode::closed;
      *alreadyOpen = true;
      return SysError::accessDenied;
    }
    file.identity = identity;
  }
  if (!registerFile(&file)) {
    ops.close(file.handle);
    file.mode = FileMode::closed;
    return SysError::tooManyFiles;
  }
  return SysError::none;
}

IoStatus tryNextByte(TextFile& file, unsigned char* byte) {
  if (file.readIndex == file.bufferCount && !file.atEnd) {
    file.bufferStart += file.bufferCount;
    file.bufferCount = 0;
    file.readIndex = 0;
    std::size_t got = 0;
    const SysError error =
        platform::fileOps().read(file.handle, file.buffer, TextFile::kBufferSize, &got);
    if (error != SysError::none) {
      file.lastError = error;
      return IoStatus::error;
    }
    if (got == 0) file.atEnd = true;
    file.bufferCount = got;
  }
  if (file.readIndex < file.bufferCount) {
    *byte = file.buffer[file.readIndex++];
    file.lastWasLineFeed = *byte == '\n';
    return IoStatus::ok;
  }
  // A last record without its LF is still complete: the reader sees one LF that
  // is not in the file and never counts in positions.
  if (!file.lastWasLineFeed && !file.supplyLineEnd) {
    file.supplyLineEnd = true;
    *byte = '\n';
    return IoStatus::ok;
  }
  return IoStatus::end;
}

void ungetByte(TextFile& file) {
  if (file.supplyLineEnd && file.readIndex == file.bufferCount) {
    file.supplyLineEnd = false;  // the supplied LF is handed out again
    return;
  }
  if (file.readIndex > 0) --file.readIndex;
}

IoStatus trySkipRecord(TextFile& file) {
  unsigned char byte = 0;
  for (;;) {
    // Scan the buffer directly: records of plot scripts and remarks can be long.
    const unsigned char* start = file.buffer + file.readIndex;
    const std::size_t available = file.bufferCount - file.readIndex;
    if (available > 0) {
      const void* lineFeed = std::memchr(start, '\n', available);
      if (lineFeed != nullptr) {
        file.readIndex += static_cast<std::size_t>(static_cast<const unsigned char*>(lineFeed) - start) + 1;
        file.lastWasLineFeed = true;
        return IoStatus::ok;
      }
      file.readIndex = file.bufferCount;
      file.lastWasLineFeed = false;
    }
    const IoStatus status = tryNextByte(file, &byte);
    if (status != IoStatus::ok) return status;
    if (byte == '\n') return IoStatus::ok;
  }
}

SysError tryFlush(TextFile& file) {
  if (file.mode != FileMode::writing || file.bufferCount == 0) return SysError::none;
  const SysError error = platform::fileOps().write(file.handle, file.buffer, file.bufferCount);
  if (error != SysError::none) {
    file.lastError = error;
    return error;
  }
  file.bufferStart += file.bufferCount;
  file.bufferCount = 0;
  file.dirty = false;
  return SysError::none;
}

void openTextFile(TextFile& file, const char* name) {
  bool alreadyOpen = false;
  const SysError error = tryOpenTextFile(file, name, &alreadyOpen);
  if (alreadyOpen) {
    static char message[512];
    std::snprintf(message, sizeof message, "file %s is already open in this run", name);
    reportFailure('F', 6414, StatementKind::open, message);
  }
  if (error != SysError::none) {
    failFile(openFailureNumber(error), StatementKind::open, "cannot open file", name, error);
  }
}

namespace {

// Ends the run for a read that did not succeed: end of the data or a system error.
void failRead(TextFile& file, IoStatus status) {
  if (status == IoStatus::end) {
    static char message[512];
    std::snprintf(message, sizeof message, "end of file %s reached during a read", file.name);
    reportFailure('F', 6501, StatementKind::read, message);
  }
  if (status == IoStatus::error) {
    failFile(6500, StatementKind::read, "cannot read file", file.name, file.lastError);
  }
}

}  // namespace

unsigned char nextByte(TextFile& file) {
  unsigned char byte = 0;
  failRead(file, tryNextByte(file, &byte));
  return byte;
}

void skipRecord(TextFile& file) { failRead(file, trySkipRecord(file)); }

void putBytesSlow(TextFile& file, const char* bytes, std::size_t count) {
  if (file.mode == FileMode::reading) {
    const SysError error = switchToWriting(file);
    if (error != SysError::none) {
      file.mode = FileMode::closed;  // nothing of this file is written at exit
      failFile(writeFailureNumber(error), StatementKind::write, "cannot write file", file.name,
               error);
    }
  }
  while (count > 0) {
    if (file.bufferCount == TextFile::kBufferSize) {
      const SysError error = tryFlush(file);
      if (error != SysError::none) {
        file.bufferCount = 0;  // these bytes cannot reach the disk; do not retry at exit
        failFile(writeFailureNumber(error), StatementKind::write, "cannot write file", file.name,
                 error);
      }
    }
    std::size_t take = TextFile::kBufferSize - file.bufferCount;
    if (take > count) take = count;
    std::memcpy(file.buffer + file.bufferCount, bytes, take);
    file.bufferCount += take;
    file.dirty = true;
    bytes += take;
    count -= take;
  }
}

void closeTextFile(TextFile& file) {
  if (file.mode == FileMode::closed) return;
  const SysError flushError = tryFlush(file);
  if (flushError != SysError::none) {
    file.bufferCount = 0;
    failFile(writeFailureNumber(flushError), StatementKind::close, "cannot write file",
             file.name, flushError);
  }
  const SysError closeError = platform::fileOps().close(file.handle);
  unregisterFile(&file);
  file.mode = FileMode::closed;
  if (closeError != SysError::none) {
    failFile(writeFailureNumber(closeError), StatementKind::close, "cannot close file", file.name,
             closeError);
  }
}

void closeAllTextFilesAtExit() {
  for (TextFile*& slot : gOpenFiles) {
    TextFile* file = slot;
    if (file == nullptr) continue;
    slot = nullptr;
    const SysError error = tryFlush(*file);
    if (error != SysError::none) {
      // The exit is already under way: show the box, then go on closing.
      static char message[512];
      static char text[1024];
      fileFailureMessage(message, sizeof message, "cannot write file", file->name, error);
      const FailureReport report{'F', writeFailureNumber(error), StatementKind::close, message};
      composeFailureText(report, text, sizeof text);
      platform::showFailureBox("run-time error ", text);
    }
    platform::fileOps().close(file->handle);
    file->mode = FileMode::closed;
  }
}

}  // namespace zandovir
