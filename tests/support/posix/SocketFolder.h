// A fresh folder under /tmp for local sockets, removed with everything in it at the end.
// A socket's address holds at most 107 bytes, which a case folder under a deep build tree
// (a CI clone, a sanitizer build) can pass; this one's path stays short wherever the tests run.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace zent::testing {

class SocketFolder {
 public:
  SocketFolder() {
    char pattern[] = "/tmp/zent-sock.XXXXXX";
    if (::mkdtemp(pattern)) path_ = pattern;
  }
  ~SocketFolder() {
    std::error_code ignored;  // a folder already gone is fine
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  SocketFolder(const SocketFolder&) = delete;
  SocketFolder& operator=(const SocketFolder&) = delete;

  // Empty when the folder could not be made.
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace zent::testing
