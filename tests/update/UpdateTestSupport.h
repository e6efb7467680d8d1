// Shared pieces of the update tests: a fresh folder per test, the text of every log written
// below a root, an HTTP server on a free loopback port that is ready before use, and signing
// keys of the tests' own (a trusted one and a foreign one).
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
#include "platform/FsPath.h"
#include "support/HttpTestServer.h"
#include "update/PackageSignature.h"

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
  for (fs::directory_iterator it(platform::FsPath(folder), ec), end; !ec && it != end; it.increment(ec))
    names.push_back(platform::Utf8Of(it->path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

// A key pair made once per test program.
struct TestKeyPair {
  UpdatePublicKey pub{};
  UpdateSecretKey secret{};
  TestKeyPair() { MakeKeyPair(pub, secret); }
  std::vector<TrustedKey> Trusted() const { return {{pub, "test key"}}; }
};
inline const TestKeyPair& TrustedTestKey() {
  static const TestKeyPair pair;
  return pair;
}
inline const TestKeyPair& ForeignTestKey() {
  static const TestKeyPair pair;
  return pair;
}

// Signs the file at `path` in place with `keys`' secret.
inline void SignFile(const fs::path& path, const TestKeyPair& keys = TrustedTestKey()) {
  SignPackage(platform::Utf8Of(path), keys.secret);
}

// `bytes` with a signature block appended, made in a scratch file of `folder`.
inline std::string SignedBytes(const std::string& bytes, const std::string& folder,
                               const TestKeyPair& keys = TrustedTestKey()) {
  const fs::path scratch = fs::path(folder) / "signing.tmp";
  WriteFile(scratch, bytes);
  SignFile(scratch, keys);
  std::string out = ReadFile(scratch);
  fs::remove(scratch);
  return out;
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
