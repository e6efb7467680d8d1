#include "update/PackageDigest.h"

#include <gtest/gtest.h>

#include "UpdateTestSupport.h"

namespace zent {
namespace {

using namespace zent::testing;

constexpr char kMd5OfPackage[] = "7ac66c0f148de9519b8bd264312c4d64";  // MD5 of "abcdefg"

TEST(PackageDigest, StreamedDigestsAreTheStandardOnes) {
  TDigest md5(TDigest::Kind::Md5);
  md5.Update("abc", 3);
  md5.Update("defg", 4);
  EXPECT_EQ(md5.Hex(), kMd5OfPackage);
  const std::string folder = FreshFolder("digest");
  WriteFile(folder + "f", "abc");
  EXPECT_EQ(FileSha256(folder + "f"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(FileSha256(folder + "missing"), "");
}

struct Md5Case {
  const char* announced;
  bool refused;
};

TEST(PackageDigest, AnnouncedMd5IsCheckedOnlyWhenItIsOne) {
  const Md5Case cases[] = {
      {"7ac66c0f148de9519b8bd264312c4d64", false},
      {"7AC66C0F148DE9519B8BD264312C4D64", false},   // any case
      {"7Ac66C0f148dE9519b8bD264312c4D64", false},
      {"7ac66c0f148de9519b8bd264312c4d65", true},    // one digit off
      {"00000000000000000000000000000000", true},
      {"7ac66c0f148de9519b8bd264312c4d6", false},    // 31 digits: only a name
      {"7ac66c0f148de9519b8bd264312c4d640", false},  // 33 digits: only a name
      {"7ac66c0f148de9519b8bd264312c4d6g", false},   // not hexadecimal
      {"release-7.1", false},
      {"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.announced);
    const auto refusal = Md5Refusal(c.announced, kMd5OfPackage);
    EXPECT_EQ(refusal.has_value(), c.refused);
    if (refusal) {
      EXPECT_EQ(refusal->rfind("升级包校验失败", 0), 0u) << *refusal;
      EXPECT_NE(refusal->find(kMd5OfPackage), std::string::npos) << *refusal;
    }
  }
}

}  // namespace
}  // namespace zent
