// An in-memory file table for the fuzz targets: the platform's FileOps pointed at
// byte strings, with reads that may hand out fewer bytes than asked for, as a
// real system may.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace zandovir::fuzz {

struct MemoryDisk {
  std::map<std::string, std::string> files;
  std::size_t chunk = 0;  // most bytes one read hands out; 0: as many as asked
  struct Handle {
    std::string name;
    std::uint64_t offset = 0;
    bool open = false;
  };
  std::vector<Handle> handles;
};

inline MemoryDisk& disk() {
  static MemoryDisk instance;
  return instance;
}

namespace detail {

using platform::NativeFile;
using platform::SysError;

inline MemoryDisk::Handle* handleOf(NativeFile file) {
  MemoryDisk& d = disk();
  if (file.value < 0 || static_cast<std::size_t>(file.value) >= d.handles.size()) return nullptr;
  MemoryDisk::Handle& handle = d.handles[static_cast<std::size_t>(file.value)];
  return handle.open ? &handle : nullptr;
}

inline NativeFile newHandle(const char* name) {
  disk().handles.push_back(MemoryDisk::Handle{name, 0, true});
  return NativeFile{static_cast<std::intptr_t>(disk().handles.size() - 1)};
}

inline SysError openExisting(const char* name, platform::OpenAccess, NativeFile* out) {
  if (disk().files.count(name) == 0) return SysError::notFound;
  *out = newHandle(name);
  return SysError::none;
}

inline SysError createNew(const char* name, NativeFile* out) {
  if (disk().files.count(name) != 0) return SysError::exists;
  disk().files[name] = "";
  *out = newHandle(name);
  return SysError::none;
}

inline bool exists(const char* name) { return disk().files.count(name) != 0; }

inline SysError read(NativeFile file, void* buffer, std::size_t size, std::size_t* got) {
  *got = 0;
  MemoryDisk::Handle* handle = handleOf(file);
  if (handle == nullptr) return SysError::accessDenied;
  const std::string& bytes = disk().files[handle->name];
  std::size_t count = handle->offset < bytes.size() ? bytes.size() - static_cast<std::size_t>(handle->offset) : 0;
  if (count > size) count = size;
  if (disk().chunk != 0 && count > disk().chunk) count = disk().chunk;
  if (count > 0) std::memcpy(buffer, bytes.data() + handle->offset, count);
  handle->offset += count;
  *got = count;
  return SysError::none;
}

inline SysError write(NativeFile file, const void* data, std::size_t size) {
  MemoryDisk::Handle* handle = handleOf(file);
  if (handle == nullptr) return SysError::writeRefused;
  std::string& bytes = disk().files[handle->name];
  const std::size_t end = static_cast<std::size_t>(handle->offset) + size;
  if (bytes.size() < end) bytes.resize(end);
  if (size > 0) std::memcpy(bytes.data() + handle->offset, data, size);
  handle->offset = end;
  return SysError::none;
}

inline SysError seek(NativeFile file, std::uint64_t offset) {
  MemoryDisk::Handle* handle = handleOf(file);
  if (handle == nullptr) return SysError::accessDenied;
  handle->offset = offset;
  return SysError::none;
}

inline SysError setLength(NativeFile file, std::uint64_t length) {
  MemoryDisk::Handle* handle = handleOf(file);
  if (handle == nullptr) return SysError::writeRefused;
  disk().files[handle->name].resize(static_cast<std::size_t>(length));
  return SysError::none;
}

inline SysError identify(NativeFile file, platform::FileIdentity* out) {
  MemoryDisk::Handle* handle = handleOf(file);
  if (handle == nullptr) return SysError::accessDenied;
  out->volume = 1;
  out->index = std::hash<std::string>{}(handle->name) | 1u;
  return SysError::none;
}

inline SysError close(NativeFile file) {
  MemoryDisk::Handle* handle = handleOf(file);
  if (handle == nullptr) return SysError::accessDenied;
  handle->open = false;
  return SysError::none;
}

}  // namespace detail

// Points the process's file table at the memory disk, emptied, for the rest of the run.
inline void useMemoryDisk() {
  platform::fileOps() = platform::FileOps{detail::openExisting, detail::createNew, detail::exists,
                                          detail::read,         detail::write,     detail::seek,
                                          detail::setLength,    detail::identify,  detail::close};
  disk() = MemoryDisk{};
}

// Starts an input afresh: no files, no handles, whole reads.
inline void resetMemoryDisk() { disk() = MemoryDisk{}; }

}  // namespace zandovir::fuzz
