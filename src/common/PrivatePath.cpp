#include "common/PrivatePath.h"

#include <filesystem>

#include "platform/FsPath.h"
#include "platform/ErrorText.h"

namespace zent {

std::string WhyNotPrivate(const platform::PathStatus& status, uint32_t owner) {
  if (status.owner != owner)
    return "owned by uid " + std::to_string(status.owner) + ", not " + std::to_string(owner);
  if (status.mode & (platform::kGroupWrite | platform::kOthersWrite)) return "writable by group or others";
  return {};
}

std::string WhyFolderNotPrivate(const std::string& folder, uint32_t owner, bool mayBeMissing) {
  namespace fs = std::filesystem;
  std::string text = platform::Utf8Of(platform::FsPath(folder).lexically_normal());
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  if (text.empty() || text.front() != '/') return folder + ": not an absolute path";
  // From the folder itself up to "/": whoever may rename any of them may swap what lies below.
  for (fs::path p = platform::FsPath(text);; p = p.parent_path()) {
    const std::string name = platform::Utf8Of(p);
    platform::PathStatus st;
    if (auto ec = platform::GetPathStatus(name, st)) {
      if (!(mayBeMissing && name == text && ec == std::errc::no_such_file_or_directory))
        return name + ": " + platform::ErrorText(ec);
    } else if (st.link) {
      return name + ": a link, not a folder";
    } else if (!st.folder) {
      return name + ": not a folder";
    } else if (std::string why = WhyNotPrivate(st, st.owner == 0 ? 0 : owner); !why.empty()) {
      return name + ": " + why;
    }
    if (p == p.parent_path()) break;
  }
  return {};
}

}  // namespace zent
