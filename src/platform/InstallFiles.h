// File operations an installer needs beyond std::filesystem: putting a written file on disk
// before it replaces an installed one, and letting installed files join the group of a
// shared program folder.
// Contract: nothing throws; failures are error codes with the system's error number.
#pragma once

#include <string>
#include <system_error>

namespace zent::platform {

// Asks the system to put the file's (or folder's) data on disk.
std::error_code FlushToDisk(const std::string& path);

// When `folder` is group-writable, gives `path` the folder's group and group write access
// (plus group execute for folders and executables), so every member of the group can update
// the installation later. Otherwise does nothing.
std::error_code ShareWithFolderGroup(const std::string& path, const std::string& folder);

}  // namespace zent::platform
