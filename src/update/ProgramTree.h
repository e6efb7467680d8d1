// Whether a path lies in the program's installation tree, where the update packages and the
// program itself live: nothing a page offers may be saved there, or a download could become
// the next start's "update".
#pragma once

#include <string>

namespace zent {

// Whether `path` is `root` or lies below it, comparing canonical forms: links resolved, "."
// and ".." gone (a part that does not exist yet is taken as written).
bool IsInsideTree(const std::string& path, const std::string& root);

// `path` inside the running program's installation base.
bool IsInsideProgramTree(const std::string& path);

}  // namespace zent
