// What the file system says about one path without following a link at its end: whether it
// is a regular file, a folder or a link, its owner, its permission bits and its size. Trust
// decisions (key files, root's work folder, the installer's target) are made from these.
// Contract: nothing throws; failures are error codes with the system's error number (a
// missing path is no_such_file_or_directory).
#pragma once

#include <cstdint>
#include <string>
#include <system_error>

namespace zent::platform {

// Windows has neither user ids nor mode bits: the owner is 0 for the administrators or the
// system, our EffectiveUserId for our own user, 0xFFFFFFFE for anyone else; the mode says only
// whether the read-only attribute is set (0644/0755, less the write bits).
struct PathStatus {
  bool regularFile = false;
  bool folder = false;
  bool link = false;     // the path itself is a symbolic link (not followed)
  uint32_t owner = 0;    // user id of the owner
  uint32_t mode = 0;     // permission bits, 07777
  uint64_t size = 0;
};

// The status of `path` itself (Linux: lstat).
std::error_code GetPathStatus(const std::string& path, PathStatus& status);

// Permission bits that let the owner's group or everyone else write.
inline constexpr uint32_t kGroupWrite = 0020;
inline constexpr uint32_t kOthersWrite = 0002;

}  // namespace zent::platform
