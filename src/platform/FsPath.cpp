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

}  // namespace zent::platform
