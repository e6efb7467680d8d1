#include "platform/FsPath.h"

namespace zent::platform {

std::filesystem::path FsPath(std::string_view utf8) {
  return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string u8 = path.u8string();
  return std::string(reinterpret_cast<const char*>(u8.data()), u8.size());
}

std::string GenericUtf8Of(const std::filesystem::path& path) {
  const std::u8string u8 = path.generic_u8string();
  return std::string(reinterpret_cast<const char*>(u8.data()), u8.size());
}

namespace {
constexpr std::string_view kSeparators =
    std::filesystem::path::preferred_separator == '/' ? std::string_view("/") : std::string_view("/\\");
}  // namespace

bool IsPathSeparator(char c) { return kSeparators.find(c) != std::string_view::npos; }

size_t LastSeparatorOf(std::string_view path) { return path.find_last_of(kSeparators); }

std::string FolderOf(std::string_view path) {
  const size_t cut = LastSeparatorOf(path);
  return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut + 1));
}

std::string LeafOf(std::string_view path) {
  const size_t cut = LastSeparatorOf(path);
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

}  // namespace zent::platform
