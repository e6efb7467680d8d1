// Whole-file reads and crash-safe whole-file replacement, for small settings files that are
// read anew at every use and rewritten as a whole.
// Contract: nothing throws (except std::bad_alloc); failures are error codes carrying the
// system's error number.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

namespace zent::platform {

// Reads the whole regular file at `path` into `bytes`. Never blocks on a FIFO or device
// (those are refused with invalid_argument); a file larger than `maxBytes` is refused with
// file_too_large. A missing file is no_such_file_or_directory. The file is opened read-only.
std::error_code ReadWholeFile(const std::string& path, size_t maxBytes, std::string& bytes);

// Replaces the file at `path` with `bytes`: writes a temporary file in the same folder,
// flushes it to disk and renames it over `path`, so readers and a crash see either the old
// or the new content, never half a file. An existing file keeps its permission bits; a
// symbolic link keeps pointing at the replaced file; a new file gets `newFilePermissions`
// (POSIX mode bits, less the umask). The folder must exist.
std::error_code ReplaceFile(const std::string& path, std::string_view bytes,
                            unsigned newFilePermissions = 0666);

// Creates the file at `path` with `bytes` and exactly `permissions` (POSIX mode bits), flushed
// to disk. An existing file, or a link in its place, is file_exists and stays untouched; a
// failed write removes the new file again.
std::error_code WriteNewFile(const std::string& path, std::string_view bytes, unsigned permissions);

// An exclusive lock between cooperating processes and threads on one folder, held from a
// successful Acquire until destruction, so a read-modify-write of a file in that folder
// cannot lose another writer's change.
class FolderLock {
 public:
  FolderLock() = default;
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Waits until the folder's lock is ours.
  std::error_code Acquire(const std::string& folder);

 private:
  int fd_ = -1;
};

}  // namespace zent::platform
