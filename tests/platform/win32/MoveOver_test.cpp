// A finished file replaces its final name even while another program briefly holds the old
// one open without delete sharing (a scanner, an indexer); a hold that lasts is reported as
// it is, leaving the old file and no temporary behind.
#include <windows.h>
// <windows.h> names its own ReplaceFileW so; ours is the one declared in AtomicFile.h.
#undef ReplaceFile

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "../TestSupport.h"
#include "platform/AtomicFile.h"
#include "platform/FsPath.h"
#include "platform/PartialFile.h"
#include "platform/win32/MoveOver.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace zent::platform {
namespace {

using namespace std::chrono_literals;

std::string ReadAll(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

size_t EntriesIn(const std::string& folder) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(FsPath(folder))) ++n;
  return n;
}

// The old file opened the way an ordinary reader opens it: reading shared, deletion not.
win32::UniqueHandle HoldOpen(const std::string& path) {
  return win32::UniqueHandle(::CreateFileW(win32::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Each way a finished file takes its final name.
using Replace = std::error_code (*)(const std::string& path, const std::string& bytes);
std::error_code ByAtomicFile(const std::string& path, const std::string& bytes) {
  return ReplaceFile(path, bytes, 0644);
}
std::error_code ByPartialFile(const std::string& path, const std::string& bytes) {
  PartialFile file;
  if (auto ec = file.Create(FolderOf(path))) return ec;
  if (auto ec = file.Write(bytes.data(), bytes.size())) return ec;
  return file.Commit(path);
}

TEST(MoveOver, AShortHoldIsWaitedOutALongOneIsReported) {
  for (const Replace replace : {ByAtomicFile, ByPartialFile}) {
    testing::TempDir dir;
    const std::string path = dir / "Zent.ini";
    std::ofstream(FsPath(path), std::ios::binary) << "old";

    {
      win32::UniqueHandle holder = HoldOpen(path);
      ASSERT_TRUE(holder);
      std::jthread release([&holder] {
        std::this_thread::sleep_for(200ms);
        holder.reset();
      });
      EXPECT_FALSE(replace(path, "new"));
    }
    EXPECT_EQ(ReadAll(path), "new");

    win32::UniqueHandle holder = HoldOpen(path);
    ASSERT_TRUE(holder);
    const auto start = std::chrono::steady_clock::now();
    const std::error_code ec = replace(path, "newer");
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(ec == std::error_code(ERROR_SHARING_VIOLATION, std::system_category()) ||
                ec == std::error_code(ERROR_ACCESS_DENIED, std::system_category()))
        << ec.message();
    EXPECT_LT(waited, 10s);  // bounded: a hold that lasts never keeps the writer for good
    holder.reset();
    EXPECT_EQ(ReadAll(path), "new");
    EXPECT_EQ(EntriesIn(dir.path()), 1u);
  }
}

TEST(MoveOver, OtherFailuresAreReportedAtOnce) {
  testing::TempDir dir;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(win32::MoveOver(win32::Wide(dir / "missing"), win32::Wide(dir / "target")),
            std::error_code(ERROR_FILE_NOT_FOUND, std::system_category()));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(win32::kMoveOverPatienceMs));
}

}  // namespace
}  // namespace zent::platform
