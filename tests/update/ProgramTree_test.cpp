#include "update/ProgramTree.h"

#include <gtest/gtest.h>

#include "UpdateTestSupport.h"
#include "common/Utils.h"
#include "update/UpdateNames.h"

namespace zent {
namespace {

using namespace zent::testing;

TEST(ProgramTree, PathsAreComparedWithLinksResolved) {
  const std::string root = FreshFolder("tree");
  const std::string base = root + "opt/lumo7/";
  fs::create_directories(base + "bin");
  fs::create_directories(base + "Temp");
  fs::create_directories(root + "home/Downloads");
  fs::create_directories(root + "opt/lumo7-other");
  std::error_code ec;
  fs::create_directory_symlink(base + "Temp", root + "home/Downloads/link-to-temp", ec);
  // The Windows build's C++ library makes no links at all (the call is not implemented there).
  if (ec == std::errc::function_not_supported) GTEST_SKIP() << "no links can be made here: " << ec.message();
  ASSERT_FALSE(ec) << ec.message();
  fs::create_directory_symlink(root + "home", base + "bin/home-link");
  struct Case {
    std::string path;
    bool inside;
  };
  const Case cases[] = {
      {base + "Temp/ExeBuf/DO2_U_x.exe", true},       // not there yet
      {base, true},
      {root + "opt/lumo7", true},
      {base + "bin/../Temp/ExeBuf_O/x.exe", true},
      {root + "home/Downloads/link-to-temp/ExeBuf/DO2_U_x.exe", true},  // a link into the tree
      {root + "home/Downloads/report.xlsx", false},
      {root + "opt/lumo7-other/x.exe", false},        // a name that merely starts alike
      {base + "../lumo7-other/x.exe", false},
      {base + "bin/home-link/Downloads/report.xlsx", false},  // a link out of the tree
  };
  for (const auto& c : cases) EXPECT_EQ(IsInsideTree(c.path, base), c.inside) << c.path;
}

TEST(ProgramTree, TheRunningProgramsBaseIsItsTree) {
  const std::string base = InstallBaseOf(GetAppFileName());
  EXPECT_TRUE(IsInsideProgramTree(base + "Temp/ExeBuf/DO2_U_x.exe"));
  EXPECT_FALSE(IsInsideProgramTree(fs::path(base).parent_path().parent_path().string() + "/elsewhere/x"));
}

}  // namespace
}  // namespace zent
