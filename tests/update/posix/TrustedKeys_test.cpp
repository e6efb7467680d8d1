#include "update/TrustedKeys.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "update/SignatureTestSupport.h"

namespace zent {
namespace {

using namespace zent::testing;
namespace fs = std::filesystem;

// The key folder's rules, run as whoever runs the tests: the owner they demand is a
// parameter, so "owned by someone else" is the same folder checked for another uid.
class KeyFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "update-keys/";
    fs::create_directory(folder_);
    fs::permissions(folder_, fs::perms(0755));
    me_ = ::geteuid();
  }
  std::string AddKey(const std::string& name, const std::string& text, unsigned mode = 0644) {
    WriteFile(folder_ + name, text);
    fs::permissions(folder_ + name, fs::perms(mode));
    return folder_ + name;
  }
  std::vector<TrustedKey> Load(uint32_t owner) {
    log_.clear();
    return LoadTrustedKeysOwnedBy(folder_, owner, [&](const std::string& line) { log_ += line + "\n"; });
  }
  std::vector<std::string> Origins(uint32_t owner) {
    std::vector<std::string> origins;
    for (const auto& k : Load(owner)) origins.push_back(k.origin);
    return origins;
  }

  std::string folder_, log_;
  uint32_t me_ = 0;
  KeyPair a_, b_;
};

TEST_F(KeyFolder, TheBuiltInKeyComesFirstThenEveryAcceptableKeyFile) {
  const std::string vendor = AddKey("vendor.pub", FormatPublicKey(a_.pub));
  const std::string second = AddKey("z-second.pub", FormatPublicKey(b_.pub), 0444);
  AddKey("README", "not a key");  // only *.pub files are keys
  const auto keys = Load(me_);
  ASSERT_EQ(keys.size(), 3u) << log_;
  EXPECT_EQ(keys[0].origin, "built-in");
  EXPECT_EQ(keys[0].key, BuiltInUpdateKey());
  EXPECT_EQ(keys[1].origin, vendor);
  EXPECT_EQ(keys[1].key, a_.pub);
  EXPECT_EQ(keys[2].origin, second);
  EXPECT_EQ(log_, "");
}

TEST_F(KeyFolder, AKeyFileOthersCouldChangeOrThatHoldsNoKeyIsIgnoredAndLogged) {
  AddKey("good.pub", FormatPublicKey(a_.pub));
  const std::vector<std::pair<std::string, std::string>> bad = {
      {AddKey("group-writable.pub", FormatPublicKey(b_.pub), 0664), "writable by group or others"},
      {AddKey("world-writable.pub", FormatPublicKey(b_.pub), 0646), "writable by group or others"},
      {AddKey("large.pub", FormatPublicKey(b_.pub) + std::string(5000, '#')), "larger than 4096 bytes"},
      {AddKey("two.pub", FormatPublicKey(a_.pub) + FormatPublicKey(b_.pub)), "144 hexadecimal digits, not 64"},
      {AddKey("secret.pub", FormatSecretKey(b_.secret), 0600), "holds a secret key"},
      {AddKey("empty.pub", ""), "empty"},
  };
  fs::create_symlink(folder_ + "good.pub", folder_ + "link.pub");
  fs::create_directory(folder_ + "folder.pub");
  EXPECT_EQ(Origins(me_), (std::vector<std::string>{"built-in", folder_ + "good.pub"}));
  for (const auto& [path, why] : bad) EXPECT_NE(log_.find(path + " ignored: " + why), std::string::npos) << log_;
  EXPECT_NE(log_.find(folder_ + "link.pub ignored: a link, not a file"), std::string::npos) << log_;
  EXPECT_NE(log_.find(folder_ + "folder.pub ignored: not a regular file"), std::string::npos) << log_;
  EXPECT_EQ(log_.find("README"), std::string::npos) << log_;
}

TEST_F(KeyFolder, AFolderOthersCouldChangeIsIgnoredWhole) {
  AddKey("good.pub", FormatPublicKey(a_.pub));
  // Everything owned by someone else than demanded: the folder is refused before its files.
  EXPECT_EQ(Origins(me_ + 1), std::vector<std::string>{"built-in"});
  EXPECT_NE(log_.find("owned by uid " + std::to_string(me_) + ", not " + std::to_string(me_ + 1)), std::string::npos)
      << log_;
  EXPECT_EQ(log_.find("good.pub"), std::string::npos) << log_;

  for (unsigned mode : {0775u, 0757u, 01777u}) {
    fs::permissions(folder_, fs::perms(mode));
    EXPECT_EQ(Origins(me_), std::vector<std::string>{"built-in"}) << std::oct << mode;
    EXPECT_NE(log_.find("writable by group or others"), std::string::npos) << log_;
  }
  fs::permissions(folder_, fs::perms(0755));

  // A link in the folder's place, even to a good folder.
  const std::string link = folder_.substr(0, folder_.size() - 1) + "-link";
  fs::create_directory_symlink(folder_, link);
  log_.clear();
  const auto keys = LoadTrustedKeysOwnedBy(link + "/", me_, [&](const std::string& l) { log_ += l; });
  EXPECT_EQ(keys.size(), 1u);
  EXPECT_NE(log_.find("a link, not a folder"), std::string::npos) << log_;
}

TEST_F(KeyFolder, AMissingFolderAddsNothingAndSaysNothing) {
  fs::remove_all(folder_);
  EXPECT_EQ(Origins(me_), std::vector<std::string>{"built-in"});
  EXPECT_EQ(log_, "");
}

}  // namespace
}  // namespace zent
