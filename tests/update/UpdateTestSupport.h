// Shared pieces of the update tests: a fresh folder per test, the text of every log written
// below a root, and an HTTP server on a free loopback port that is ready before use.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "common/FileLog.h"
#include "support/HttpTestServer.h"

namespace zent::testing {

namespace fs = std::filesystem;

inline std::string FreshFolder(const std::string& name) {
  const fs::path p = fs::path(ZENT_TEST_TMP_DIR) / "update" / (name + "." + std::to_string(::getpid()));
  fs::remove_all(p);
  fs::create_directories(p);
  return p.string() + "/";
}

inline std::string ReadFile(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

inline void WriteFile(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

// Every log file's text below `root`, concatenated.
inline std::string AllLogs(const std::string& root) {
  std::string all;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file()) all += ReadFile(it->path());
  }
  return all;
}

// What the application log received since construction. The application log keeps the
// folder it was first created in for the whole test program, so tests read its new part.
class AppLogTail {
 public:
  AppLogTail() : start_(Read().size()) {}
  std::string New() const {
    const std::string all = Read();
    return all.size() >= start_ ? all.substr(start_) : all;
  }

 private:
  static std::string Read() { return AllLogs(AppLog().GetLogPath()); }
  size_t start_;
};

inline std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// An httplib server on 127.0.0.1 with a port of its own, ready once constructed, serving until
// destroyed. Routes may be added while it serves.
class LocalServer {
 public:
  LocalServer() { server_.Start(); }
  httplib::Server& operator*() { return server_.server(); }
  httplib::Server* operator->() { return &server_.server(); }
  int Port() const { return server_.Port(); }

 private:
  HttpTestServer server_;
};

}  // namespace zent::testing
