// Whether only one user (in practice root) can change a file or a folder: the rule behind
// every file the privileged parts trust (update keys, root's work folder, the folder a
// root-run installer writes into). A path someone else could write, replace or rename is not
// private: not owned by that user, writable by group or others, a link, or inside a folder
// that is not private itself.
#pragma once

#include <cstdint>
#include <string>

#include "platform/FileStatus.h"

namespace zent {

// Empty when `status` is owned by `owner` and neither group nor others may write it, else the
// reason ("owned by uid 1000, not 0").
std::string WhyNotPrivate(const platform::PathStatus& status, uint32_t owner);

// Empty when `folder` and every folder above it is a real folder (no link) owned by `owner`
// or root that neither group nor others may write, else the reason naming the first folder
// that fails. A missing `folder` counts from its first existing parent when `mayBeMissing`.
std::string WhyFolderNotPrivate(const std::string& folder, uint32_t owner, bool mayBeMissing = false);

}  // namespace zent
