// Our own executable carries the project's version in its ELF note (read through /proc):
// the Linux build's version stamp. The Windows test programs carry no version resource.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/FileVersion.h"
#include "common/Utils.h"
#include "../StaleFileInfo.h"

namespace zent {
namespace {

TEST(FileVersionElf, OwnExecutableCarriesTheProjectVersion) {
  TFileInfo info = StaleFileInfo();
  ASSERT_TRUE(GetFileInfo("/proc/self/exe", info, {"ProductVersion", "Missing"}));
  EXPECT_EQ(info.Version, "7.0.0.1");
  EXPECT_EQ(info.ProductVersion, "7.0.0.1");
  EXPECT_EQ(info.CommpanyName, "ZENT");
  EXPECT_EQ(info.ProductName, "Lumo7Browser");
  EXPECT_EQ(info.FileDescription, "Lumo7 kiosk browser for restaurant terminals");
  EXPECT_EQ(info.LegalCopyright, "Copyright (C) 2026 ZENT");
  EXPECT_EQ(info.InternalName, "Lumo7Browser");
  EXPECT_EQ(info.OriginalFileName, "Lumo7Browser");
  EXPECT_EQ(info.CustomFieldValue, (CustomFieldValue{"7.0.0.1", ""}));
  EXPECT_EQ(info.VsFixedFileInfo.dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(info.VsFixedFileInfo.dwFileVersionMS, 7u << 16);
  EXPECT_EQ(info.VsFixedFileInfo.dwFileVersionLS, 1u);

  EXPECT_EQ(GetAppVersion(), "7.0.0.1");
  EXPECT_EQ(GetAppFileInfo().ProductName, "Lumo7Browser");
  EXPECT_EQ(GetAppFileName(), std::filesystem::read_symlink("/proc/self/exe").string());
}

}  // namespace
}  // namespace zent
