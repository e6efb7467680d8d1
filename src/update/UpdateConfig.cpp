#include "update/UpdateConfig.h"

#include <filesystem>

#include "config/Config.h"
#include "common/Errors.h"
#include "common/Format.h"
#include "common/ProfileFile.h"
#include "platform/FsPath.h"

namespace zent {
namespace {

constexpr char kServerSection[] = "LumoServer";

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(platform::FsPath(path), ec);
}

}  // namespace

std::string UpdateConfigFileName() { return GetConfigFileName(); }

std::string MainBaseUrl(const std::string& configFile, uint16_t port) {
  if (!FileExists(configFile)) throw Exception(Format("文件不存在[%s]", configFile.c_str()));
  const std::string host = ProfileFile(configFile).ReadString(kServerSection, "Host", "");
  if (host.empty()) throw Exception("BaseUrl=[]");
  return Format("http://%s:%u", host.c_str(), static_cast<unsigned>(port));
}

std::string FallbackBaseUrl(const std::string& configFile) {
  if (!FileExists(configFile)) return {};
  const ProfileFile file(configFile);
  const std::string host = file.ReadString(kServerSection, "Host", "");
  const std::string port = file.ReadString(kServerSection, "Port", "");
  const std::string url = file.ReadString(kServerSection, "Url", "");
  if (host.empty() || port.empty() || url.empty()) return {};
  return Format("http://%s:%s/%s", host.c_str(), port.c_str(), url.c_str());
}

}  // namespace zent
