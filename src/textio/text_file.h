// Text files: opening by bare name, buffered byte reading with the record rules,
// and the writing side (cut at the first write, CR LF record ends, buffered output).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"

namespace zandovir {

enum class FileMode { closed, reading, writing };

// Outcome of the status-returning layer; the run-level operations turn every
// non-ok status into a failure report.
enum class IoStatus { ok, end, error };

struct TextFile {
  // Larger than a 1024-byte block for speed; the bytes on disk and the cut
  // positions do not depend on the size.
  static constexpr std::size_t kBufferSize = 64 * 1024;

  char name[256] = {};
  platform::NativeFile handle;
  platform::FileIdentity identity;
  FileMode mode = FileMode::closed;
  std::uint64_t bufferStart = 0;    // file offset of buffer[0]
  std::size_t bufferCount = 0;      // valid bytes (reading) or pending bytes (writing)
  std::size_t readIndex = 0;        // next byte to hand out (reading)
  bool atEnd = false;               // a read returned no bytes
  bool dirty = false;               // buffer holds bytes not yet on disk
  bool lastWasLineFeed = true;      // the last byte handed out was an LF (or none yet)
  bool supplyLineEnd = false;       // the reader's LF after a last record without one was handed out
  platform::SysError lastError = platform::SysError::none;
  unsigned char buffer[kBufferSize];
};

// --- Status layer: never reports, never throws -------------------------------

// Opens `name` as the run does (existing: read-write, read-only, write-only; missing:
// created empty in writing mode). Precondition: file is closed.
platform::SysError tryOpenTextFile(TextFile& file, const char* name, bool* alreadyOpen);
// Hands out the next byte into *byte; `end` when the data are exhausted.
// A last record without LF is followed by one LF that exists only for the reader.
IoStatus tryNextByte(TextFile& file, unsigned char* byte);
// Gives back the byte handed out last (at most one in a row).
void ungetByte(TextFile& file);
// Consumes bytes up to and including the next LF.
IoStatus trySkipRecord(TextFile& file);
// Writes out what the buffer holds for writing.
platform::SysError tryFlush(TextFile& file);
// The logical position: just after the last byte consumed or written.
std::uint64_t logicalPosition(const TextFile& file);

// --- Run layer: every failure ends the run through reportFailure -------------

void openTextFile(TextFile& file, const char* name);
unsigned char nextByte(TextFile& file);
void skipRecord(TextFile& file);
void closeTextFile(TextFile& file);

// Slow path of putBytes: switch to writing, or flush a full buffer.
void putBytesSlow(TextFile& file, const char* bytes, std::size_t count);

// Appends bytes; the first call after opening an existing file or after reads
// cuts the file at the logical position.
inline void putBytes(TextFile& file, const char* bytes, std::size_t count) {
  if (file.mode == FileMode::writing && count <= TextFile::kBufferSize - file.bufferCount) {
    std::memcpy(file.buffer + file.bufferCount, bytes, count);
    file.bufferCount += count;
    file.dirty = true;
    return;
  }
  putBytesSlow(file, bytes, count);
}

// Appends the record end CR LF.
inline void endRecord(TextFile& file) { putBytes(file, "\r\n", 2); }

// Closes every file still open, writing out its buffer; a failure on the way shows
// its box and the closing goes on. Used by the exit sequence of a failure.
void closeAllTextFilesAtExit();

// Builds the message of a file failure into out: what happened, the file and the
// system's reason.
void fileFailureMessage(char* out, std::size_t capacity, const char* what, const char* name,
                        platform::SysError error);

}  // namespace zandovir
