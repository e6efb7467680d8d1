#include "update/UpdateNames.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "common/Encoding.h"
#include "common/FileLog.h"
#include "common/Utils.h"
#include "platform/FsPath.h"

namespace zent {
namespace {

struct CodeFree {
  void operator()(pcre2_code* c) const { pcre2_code_free(c); }
};

// The look-behind expression, compiled once.
const pcre2_code* DoubleSlashPattern() {
  static const std::unique_ptr<pcre2_code, CodeFree> code([] {
    int error = 0;
    PCRE2_SIZE offset = 0;
    constexpr char kPattern[] = "(?<!:)//";
    return pcre2_compile(reinterpret_cast<PCRE2_SPTR>(kPattern), PCRE2_ZERO_TERMINATED, 0,
                         &error, &offset, nullptr);
  }());
  return code.get();
}

bool IsValidUtf8(std::string_view s) {
  return Utf16ToUtf8(Utf8ToUtf16(s)) == s;
}

}  // namespace

std::string InstallBaseOf(std::string_view programPath) {
  const size_t cut = platform::LastSeparatorOf(programPath);
  const std::string_view folder = cut == std::string_view::npos ? std::string_view() : programPath.substr(0, cut + 1);
  // Each component is kept with the separator that follows it, so the base keeps the system's
  // own separators (a Windows path its backslashes, which the hand-off script searches for).
  // Empty components at the start are a root or a network path's "\\"; later ones are dropped.
  std::string base;
  bool named = false;
  size_t pos = 0;
  while (pos < folder.size()) {
    size_t next = pos;
    while (!platform::IsPathSeparator(folder[next])) ++next;  // the folder ends with one
    const std::string_view part = folder.substr(pos, next - pos);
    const bool skip = part.empty() ? named : (EqualsNoCase(part, "bin") || EqualsNoCase(part, "DeviceMgr"));
    if (!skip) base.append(folder.substr(pos, next + 1 - pos));
    named = named || !part.empty();
    pos = next + 1;
  }
  return base.empty() ? std::string("/") : base;
}

std::string MainPackageFolder() { return InstallBaseOf(GetAppFileName()) + kMainPackageFolder; }
std::string FallbackPackageFolder() { return InstallBaseOf(GetAppFileName()) + kFallbackPackageFolder; }

std::string FindPackage(const std::string& folder, std::string_view prefix) {
  std::error_code ec;
  std::filesystem::directory_iterator it(platform::FsPath(folder), ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string name = platform::Utf8Of(it->path().filename());
    if (name.size() < 4 || !EqualsNoCase(std::string_view(name).substr(name.size() - 4), ".exe")) continue;
    if (!name.starts_with(prefix)) continue;
    std::error_code typeEc;
    if (!it->is_regular_file(typeEc)) continue;
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path += '/';
    return path + name;
  }
  return {};
}

std::string CleanUrl(std::string_view url) {
  const pcre2_code* code = DoubleSlashPattern();
  if (!code) return std::string(url);
  std::vector<char> out(url.size() + 1);
  PCRE2_SIZE outLen = out.size();
  const int rc = pcre2_substitute(code, reinterpret_cast<PCRE2_SPTR>(url.data()), url.size(), 0,
                                  PCRE2_SUBSTITUTE_GLOBAL, nullptr, nullptr,
                                  reinterpret_cast<PCRE2_SPTR>("/"), 1,
                                  reinterpret_cast<PCRE2_UCHAR*>(out.data()), &outLen);
  // Replacing never lengthens the text, so the buffer always suffices.
  if (rc < 0) return std::string(url);
  return std::string(out.data(), outLen);
}

std::string GetVer(std::string_view version) {
  size_t pos = std::string_view::npos;
  int dots = 0;
  for (size_t i = 0; i < version.size(); ++i) {
    if (version[i] == '.' && ++dots == 3) {
      pos = i;
      break;
    }
  }
  if (pos == std::string_view::npos) {
    AppLog().Log(0, "GetVer: " + std::string(version));
    return std::string(version);
  }
  return std::string(version.substr(0, pos));
}

std::string DownloadExtension(std::string_view downloadUrl) {
  const size_t dot = downloadUrl.rfind('.');
  // "\.[^\.]+?$": at least one character after the last dot.
  if (dot == std::string_view::npos || dot + 1 == downloadUrl.size()) return ".exe";
  return std::string(downloadUrl.substr(dot));
}

bool IsSafePackageNamePart(std::string_view name) {
  if (name.empty() || name.size() > 200 || name.find("..") != std::string_view::npos) return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return false;
  }
  // "%" too: the Windows hand-off script names the package, and its interpreter expands %…%
  // even inside quotes.
  if (name.find_first_of("/\\\"*:<>?`|%") != std::string_view::npos) return false;
  return IsValidUtf8(name);
}

}  // namespace zent
