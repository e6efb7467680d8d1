#include "browser/rules/DownloadNames.h"
#include "platform/FsPath.h"

namespace zent {

std::string SafeDownloadName(const std::string& suggested) {
  std::string name = suggested;
  if (const size_t cut = name.find_last_of("/\\"); cut != std::string::npos) name.erase(0, cut + 1);
  std::string clean;
  for (unsigned char c : name) {
    if (c >= 0x20 && c != 0x7F) clean += static_cast<char>(c);
  }
  // Surrounding blanks make names that look alike but are not; dots alone mean folders.
  const size_t first = clean.find_first_not_of(' ');
  const size_t last = clean.find_last_not_of(' ');
  clean = first == std::string::npos ? std::string() : clean.substr(first, last - first + 1);
  if (clean.empty() || clean.find_first_not_of('.') == std::string::npos) return "download";
  return clean;
}

std::string FileExtension(const std::string& fileName) {
  const size_t start = fileName.find_last_of("/\\");
  const size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || (start != std::string::npos && dot < start)) return {};
  return fileName.substr(dot);
}

std::string SaveDialogFilter(const std::string& ext) {
  const std::string mask = "*" + ext;
  return mask + " (" + mask + ")";
}

std::string FolderOf(const std::string& path) {
  return platform::FolderOf(path);
}

std::optional<DownloadTarget> ChosenDownloadTarget(const std::string& chosenPath, const std::string& ext) {
  const size_t cut = platform::LastSeparatorOf(chosenPath);
  if (cut == std::string::npos) return std::nullopt;
  DownloadTarget target;
  target.folder = chosenPath.substr(0, cut + 1);
  target.fileName = chosenPath.substr(cut + 1);
  if (target.fileName.empty() || target.fileName == "." || target.fileName == "..") return std::nullopt;
  if (FileExtension(target.fileName).empty()) target.fileName += ext;
  return target;
}

}  // namespace zent
