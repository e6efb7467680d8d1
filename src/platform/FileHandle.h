// An open file written in whole records, for logs: every Write is one write call at the
// end of the file, nothing is buffered in the process, so each record reaches the
// operating system at once and records of several processes never overlap.
// Contract: nothing throws; failures come back as std::error_code with the system's error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/Handle.h"

namespace zent::platform {

class FileHandle {
 public:
  FileHandle() = default;
  ~FileHandle();
  FileHandle(FileHandle&& other) noexcept;
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // Opens (creating when missing, mode 0644 before the umask) for writing; every write goes
  // to the end, even when another process appends too. Only regular files are accepted.
  // Linux has no share modes: others may still write to the file.
  std::error_code Open(const std::string& path);
  void Close() noexcept;
  bool IsOpen() const noexcept { return handle_ != kNoHandle; }
  const std::string& Path() const noexcept { return path_; }

  // The file's current length.
  std::error_code Size(uint64_t& size) const;
  // Writes all of `data` with one write call (repeated only for what a short write left).
  // Several threads may write at once: each call is one append, so records stay whole on a
  // local file system (only a short write, e.g. a full disk, can split one).
  std::error_code Write(std::string_view data) const;
  // Asks the system to put the file's data on disk.
  std::error_code Flush();

 private:
  NativeHandle handle_ = kNoHandle;
  std::string path_;
};

}  // namespace zent::platform
