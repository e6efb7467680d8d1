// A file that is written piece by piece and appears under its name only once complete: the
// bytes go to an unnamed (or hidden, locked) file in the destination folder and Commit gives
// it its name with one atomic rename. A crash, a kill or a failed write never leaves a file
// under the final name, and a hidden leftover is recognised as stale by its released lock.
// Contract: nothing throws (except std::bad_alloc); failures are error codes with the
// system's error number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

namespace zent::platform {

class PartialFile {
 public:
  PartialFile() = default;
  // Discards the bytes unless Commit succeeded.
  ~PartialFile();
  PartialFile(const PartialFile&) = delete;
  PartialFile& operator=(const PartialFile&) = delete;

  // Starts an empty file in `folder` (which must exist), with `mode` (less the umask).
  std::error_code Create(const std::string& folder, unsigned mode = 0644);
  std::error_code Write(const char* data, size_t size);
  uint64_t Size() const { return size_; }
  // A path through which this process can read the bytes written so far, so they can be
  // checked before they get a name; empty when no file is open. Valid only in this process
  // and only until Commit or Discard.
  std::string ReadablePath() const;
  // Puts the bytes on disk and names the file `path` (in the same folder), replacing a file
  // of that name atomically. The object is closed afterwards, whatever the result.
  std::error_code Commit(const std::string& path);
  // Drops the bytes written so far.
  void Discard() noexcept;

 private:
  int fd_ = -1;
  std::string folder_;
  std::string hiddenName_;  // set when the system offers no unnamed files
  uint64_t size_ = 0;
};

// Removes the hidden leftovers of partial files in `folder` whose writer is gone (a killed
// process); files of a writer still running are left alone. Returns how many were removed.
int RemoveStalePartialFiles(const std::string& folder);

// Whether `name` (a file name, no folder) is a partial file's hidden name.
bool IsPartialFileName(const std::string& name);

}  // namespace zent::platform
