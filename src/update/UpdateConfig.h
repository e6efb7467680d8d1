// Where the update checks send their requests: the server host and the web application's
// address from the configuration file, read anew at every check.
#pragma once

#include <cstdint>
#include <string>

namespace zent {

// The configuration file's path; throws when the application-data folder is unknown.
std::string UpdateConfigFileName();

// "http://<Host>:<port>" from [LumoServer]. Throws "文件不存在[<path>]" when the file is
// missing and "BaseUrl=[]" when Host is empty.
std::string MainBaseUrl(const std::string& configFile, uint16_t port);

// "http://<Host>:<Port>/<Url>" from [LumoServer] when all three are set, else empty (also when
// the file is missing).
std::string FallbackBaseUrl(const std::string& configFile);

}  // namespace zent
