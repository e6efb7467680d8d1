// A regular file opened once for reading: its size is taken from the open descriptor and
// every read goes through that descriptor, so the bytes read are the bytes measured even when
// the name is replaced meanwhile. Used where a file decides something (a signature check).
// Contract: nothing throws; failures are error codes with the system's error number. A path
// that is not a regular file (a folder, a FIFO, a device) fails with invalid_argument; with
// `followLink` false, a link fails with too_many_symbolic_link_levels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

namespace zent::platform {

class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // Opening never blocks (a FIFO planted under the name is refused, not waited on).
  std::error_code Open(const std::string& path, bool followLink = true);
  void Close() noexcept;
  bool IsOpen() const noexcept { return fd_ >= 0; }

  // The size when it was opened.
  uint64_t Size() const noexcept { return size_; }
  // Reads up to `size` bytes at `offset`; `got` is less than `size` only at the file's end.
  std::error_code ReadAt(uint64_t offset, void* data, size_t size, size_t& got) const;
  // Copies the file from its start into a new file in `folder` that nobody else can open
  // (created exclusively, mode 0700, owned by us), stopping with file_too_large as soon as it
  // holds more than `maxSize` bytes (the file may grow while it is copied). On success
  // `copyPath` names the copy, which is on disk; on failure nothing is left.
  std::error_code CopyToPrivateFile(const std::string& folder, uint64_t maxSize,
                                    std::string& copyPath) const;

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
};

}  // namespace zent::platform
