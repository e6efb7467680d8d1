#include "TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/AnsiCodePage.h"
#include "platform/FsPath.h"
#include "platform/NamedLock.h"
#include "platform/Paths.h"

namespace zent::platform::testing {
namespace {

constexpr const char* kChildVar = "ZENT_TEST_CHILD";

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

// Child actions. Each ends the process with an exit code the tests check.
[[noreturn]] void RunChild(const std::string& action, const std::vector<std::string>& a) {
  auto arg = [&](size_t i) -> const std::string& {
    if (i >= a.size()) std::_Exit(99);
    return a[i];
  };
  if (action == "exit") std::_Exit(std::atoi(arg(0).c_str()));
  if (action == "sleep") system::ParkUntilKilled();
  if (action == "args") {
    std::string joined;
    for (size_t i = 1; i < a.size(); ++i) joined += a[i] + "\n";
    std::_Exit(WriteFile(arg(0), joined) ? 0 : 1);
  }
  if (action == "cwd") {
    std::error_code ec;
    const auto cwd = std::filesystem::current_path(ec);
    std::_Exit(!ec && WriteFile(arg(0), Utf8Of(cwd)) ? 0 : 1);
  }
  if (action == "hold" || action == "lock") {
    NamedLock lock(arg(0));
    const std::error_code ec = action == "hold" ? lock.Hold() : lock.Lock(kInfinite);
    if (ec) std::_Exit(2);
    system::SignalReady(arg(1));
    system::ParkUntilKilled();
  }
  if (action == "ansiatexit") {
    // A static object's destructor converts after the main thread's thread-locals are gone,
    // as the log's end banner does; it writes both directions' results to the file.
    struct LateConversion {
      std::string path;
      ~LateConversion() {
        WriteFile(path, Utf8ToAnsi("\xE4\xB8\xAD" "x") + "|" + AnsiToUtf8("\xD6\xD0"));
      }
    };
    static LateConversion late{arg(0)};
    if (Utf8ToAnsi("a") != "a" || AnsiToUtf8("a") != "a") std::_Exit(70);  // the thread's pair exists
    std::exit(0);
  }
  system::RunChild(action, a);
}

// Runs before main: a child copy never reaches the test runner.
[[maybe_unused]] const bool kChildDispatched = [] {
  const auto action = EnvironmentValue(kChildVar);
  if (!action || action->empty()) return false;
  const std::string name = *action;
  system::SetEnv(kChildVar, nullptr);
  RunChild(name, system::OwnArguments());
}();

}  // namespace

TempDir::TempDir() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "global";
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  path_ = std::string(ZENT_TEST_TMP_DIR) + "/" + name + "." + std::to_string(CurrentProcessId());
  std::filesystem::remove_all(FsPath(path_));
  std::filesystem::create_directories(FsPath(path_));
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(FsPath(path_), ec);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  if (auto old = EnvironmentValue(name)) {
    had_ = true;
    old_ = *old;
  }
  system::SetEnv(name_, value);
}

ScopedEnv::~ScopedEnv() { system::SetEnv(name_, had_ ? old_.c_str() : nullptr); }

Child::Child(const std::string& action, const std::vector<std::string>& args,
             const SpawnOptions& options) {
  ScopedEnv env(kChildVar, action.c_str());
  const std::error_code ec = SpawnProcess(ExecutablePath(), args, options, pid_);
  if (ec) {
    ADD_FAILURE() << "cannot start the child: " << ec.message();
    pid_ = 0;
  }
}

Child::~Child() { Kill(); }

std::optional<int> Child::Wait(uint32_t timeoutMs) {
  if (!pid_) return std::nullopt;
  auto code = WaitProcess(pid_, timeoutMs);
  if (code) pid_ = 0;
  return code;
}

void Child::Kill() {
  if (!pid_) return;
  TerminateProcess(pid_);
  WaitProcess(pid_, kGuardMs);
  pid_ = 0;
}

}  // namespace zent::platform::testing
