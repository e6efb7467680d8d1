#include "update/ProgramTree.h"

#include <filesystem>

#include "common/Utils.h"
#include "platform/FsPath.h"
#include "update/UpdateNames.h"

namespace zent {

bool IsInsideTree(const std::string& path, const std::string& root) {
  namespace fs = std::filesystem;
  std::error_code ec1, ec2;
  const fs::path p = fs::weakly_canonical(fs::absolute(platform::FsPath(path)), ec1);
  const fs::path r = fs::weakly_canonical(fs::absolute(platform::FsPath(root)), ec2);
  // Unknown counts as inside: refusing a save is the safe answer.
  if (ec1 || ec2) return true;
  auto pi = p.begin();
  for (auto ri = r.begin(); ri != r.end(); ++ri, ++pi) {
    if (ri->empty()) continue;  // the empty last element of a root ending in "/"
    if (pi == p.end() || *pi != *ri) return false;
  }
  return true;
}

bool IsInsideProgramTree(const std::string& path) { return IsInsideTree(path, InstallBaseOf(GetAppFileName())); }

}  // namespace zent
