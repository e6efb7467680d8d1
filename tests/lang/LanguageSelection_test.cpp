// Language discovery, the default choice, per-thread choices and "LanguageEx.ini" overrides,
// over language folders built in a temporary directory.
#include "lang/LanguageSelection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "lang/Translate.h"

namespace zent {
namespace {

namespace fs = std::filesystem;

TEST(DefaultLanguage, CodesAreTriedInOrderAsSeparateParts) {
  const struct {
    std::vector<std::string> ids;  // in display-name order
    size_t expected;
  } cases[] = {
      {{"EN_US", "ZH_CN"}, 1},      // CN before US
      {{"EN_US", "JA_JP"}, 0},
      {{"JA_JP"}, 0},
      {{"JA_JP", "FR_FR"}, 0},      // none preferred: the first
      {{"JA_JP", "CN_ZH"}, 1},      // CN at the start
      {{"JA_JP", "CN"}, 1},
      {{"JA_JP", "ZHCN"}, 0},       // no separate part
      {{"JA_JP", "XCN_Q", "EN"}, 2},  // CN inside another part does not count
      {{"FR_ZH", "ZH_TW"}, 0},      // ZH: the first in order
      {{"EN_GB", "DE_US"}, 1},      // US before EN
      {{"JA_JP", "中文CN"}, 1},     // a non-letter before the code separates it
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.ids));
    EXPECT_EQ(DefaultLanguageIndex(c.ids), c.expected);
  }
}

TEST(FilePattern, StarQuestionAndCase) {
  EXPECT_TRUE(MatchesFilePattern("Lumo7Browser_EN_US.lang", "Lumo7Browser*.lang"));
  EXPECT_TRUE(MatchesFilePattern("lumo7browser.LANG", "Lumo7Browser*.lang"));
  EXPECT_FALSE(MatchesFilePattern("Other_EN_US.lang", "Lumo7Browser*.lang"));
  EXPECT_FALSE(MatchesFilePattern("Lumo7Browser_EN.lang.bak", "Lumo7Browser*.lang"));
  EXPECT_TRUE(MatchesFilePattern("a.lang.lang", "*.lang"));
  EXPECT_TRUE(MatchesFilePattern("ab", "a?"));
  EXPECT_FALSE(MatchesFilePattern("a", "a?"));
}

class LanguageFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(ZENT_TEST_TMP_DIR) / "languages" /
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void AddLanguage(const std::string& file, const std::string& id, const std::string& name,
                   const std::map<std::string, std::string>& texts) {
    TSRPackage p;
    p.SetType({id, name});
    for (const auto& [k, v] : texts) p.SetScript(k, v);
    p.Save((dir_ / file).string());
  }
  void WriteFile(const std::string& file, const std::string& text) {
    std::ofstream(dir_ / file, std::ios::binary) << text;
  }
  void Discover() { languages_.SetLanguageResPath(dir_.string() + "/", "App*.lang"); }

  fs::path dir_;
  LanguageSelection languages_;
};

TEST_F(LanguageFolder, DefaultPrefersChineseAndLoadsIt) {
  AddLanguage("App_en.lang", "en_us", "English", {{"提示", "Notice"}});
  AddLanguage("App_zh.lang", "ZH_CN", "中文", {{"提示", "提示!"}});
  AddLanguage("Other_ja.lang", "JA_JP", "Japanese", {});  // not our program's file
  Discover();
  ASSERT_EQ(languages_.Languages().size(), 2u);
  EXPECT_EQ(languages_.Languages()[0].Language.ID, "EN_US");  // sorted by name, ids upper-cased
  EXPECT_EQ(languages_.DefaultLanguageID(), "ZH_CN");
  EXPECT_EQ(languages_.Translate("提示", "提示"), "提示!");
  EXPECT_EQ(languages_.Translate("不在表中", "不在表中"), "不在表中");
  EXPECT_EQ(languages_.Translate("MPC调用失败", "调用失败,命令参数如下"), "调用失败,命令参数如下");
  EXPECT_EQ(languages_.GetLanguageResource("JA_JP"), nullptr);
}

TEST_F(LanguageFolder, SameIdentifierInAnotherCaseCountsOnce) {
  AddLanguage("App_1.lang", "zh_cn", "first", {{"a", "from first"}});
  AddLanguage("App_2.lang", "ZH_CN", "second", {{"a", "from second"}});
  Discover();
  ASSERT_EQ(languages_.Languages().size(), 1u);
  EXPECT_EQ(languages_.Languages()[0].Language.Name, "first");
  EXPECT_EQ(languages_.Translate("a", "a"), "from first");
}

TEST_F(LanguageFolder, DamagedAndForeignFilesAreSkipped) {
  AddLanguage("App_en.lang", "EN_US", "English", {{"是", "Yes"}});
  WriteFile("App_bad.lang", std::string("\x01\x00\x00\x00\xFF\xFF\xFF\x7F", 8));  // length past the end
  WriteFile("App_v2.lang", std::string("\x02\x00\x00\x00", 4));
  fs::create_directories(dir_ / "App_dir.lang");
  Discover();
  ASSERT_EQ(languages_.Languages().size(), 1u);
  EXPECT_EQ(languages_.Translate("是", "是"), "Yes");
}

TEST_F(LanguageFolder, DamagedEntriesOfTheChosenLanguageAllFallBack) {
  // A header that reads, then an entry cut short: the file is skipped as a whole when loaded.
  TSRPackage p;
  p.SetType({"EN_US", "English"});
  p.SetScript("是", "Yes");
  std::ostringstream bytes;
  p.Save(bytes);
  WriteFile("App_en.lang", bytes.str() + std::string("\x40\x00\x00\x00", 4));
  Discover();
  ASSERT_EQ(languages_.DefaultLanguageID(), "EN_US");
  EXPECT_FALSE(languages_.CurrentLanguageResource()->Loaded());
  EXPECT_EQ(languages_.Translate("是", "是"), "是");
}

TEST_F(LanguageFolder, NoFolderOrNoFilesTranslatesNothing) {
  languages_.SetLanguageResPath((dir_ / "absent").string() + "/", "App*.lang");
  EXPECT_EQ(languages_.CurrentLanguageResource(), nullptr);
  EXPECT_EQ(languages_.Translate("提示", "提示"), "提示");
  Discover();
  EXPECT_EQ(languages_.Translate("提示", "提示"), "提示");
}

TEST_F(LanguageFolder, OverrideIsAppliedOnFirstUseThenServedByTheResource) {
  AddLanguage("App_zh.lang", "ZH_CN", "中文", {{"提示", "提示(文件)"}});
  AddLanguage("App_en.lang", "EN_US", "English", {{"提示", "Notice"}});
  WriteFile("LanguageEx.ini",
            "\xEF\xBB\xBF[zh_cn]\r\n提示=注意\r\nAbc=Override Abc\r\n空=\r\n[EN_US]\r\n确定=OK!\r\n");
  Discover();
  EXPECT_EQ(languages_.Translate("提示", "提示"), "注意");
  EXPECT_EQ(languages_.Translate("提示", "提示"), "注意");  // now from the resource
  EXPECT_EQ(languages_.GetLanguageResource("ZH_CN")->Get("提示", "-"), "注意");
  EXPECT_EQ(languages_.Translate("ABC", "x"), "Override Abc");  // keys match without case
  EXPECT_EQ(languages_.Translate("空", "空"), "空");              // an empty override is none

  // A thread using another language gets that language's text.
  std::string other, otherOk;
  std::thread([&] {
    languages_.SetThreadLanguage("en_us");
    other = languages_.Translate("提示", "提示");
    otherOk = languages_.Translate("确定", "确定");
  }).join();
  EXPECT_EQ(other, "Notice");
  EXPECT_EQ(otherOk, "OK!");
}

TEST_F(LanguageFolder, ThreadChoicesAreIndependent) {
  AddLanguage("App_zh.lang", "ZH_CN", "中文", {});
  AddLanguage("App_en.lang", "EN_US", "English", {{"取消", "Cancel"}});
  Discover();

  std::string inThread, afterReset, unknownChoice;
  std::thread([&] {
    languages_.SetThreadLanguage("EN_US");
    inThread = languages_.Translate("取消", "取消");
    languages_.SetThreadLanguage("FR_FR");  // no such language: the choice stays
    unknownChoice = languages_.Translate("取消", "取消");
    languages_.SetThreadLanguage("");
    afterReset = languages_.Translate("取消", "取消");
  }).join();
  EXPECT_EQ(inThread, "Cancel");
  EXPECT_EQ(unknownChoice, "Cancel");
  EXPECT_EQ(afterReset, "取消");
  EXPECT_EQ(languages_.Translate("取消", "取消"), "取消");  // this thread chose nothing

  // Many threads translating while others choose: each sees its own choice (run under TSan).
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&, i] {
      if (i % 2) languages_.SetThreadLanguage("EN_US");
      for (int n = 0; n < 200; ++n)
        if (languages_.Translate("取消", "取消") != (i % 2 ? "Cancel" : "取消")) ++wrong;
      languages_.SetThreadLanguage("");  // a later thread may be given this thread's id
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong, 0);
}

TEST_F(LanguageFolder, ProcessStartReadsLangConfigForTheMainThread) {
  fs::create_directories(dir_ / "Lang");
  const auto add = [&](const std::string& file, const std::string& id, const std::string& text) {
    TSRPackage p;
    p.SetType({id, id});
    p.SetScript("确定", text);
    p.Save((dir_ / "Lang" / file).string());
  };
  add("Prog_zh.lang", "ZH_CN", "确定");
  add("Prog_en.lang", "EN_US", "OK");
  const std::string exe = (dir_ / "Prog").string();

  // Without "Lang.config": the default, Chinese.
  InitLanguages(exe);
  EXPECT_EQ(Translate("确定"), "确定");
  FinalizeLanguages();

  std::ofstream(dir_ / "Lang" / "Lang.config") << "[Lang]\nid=en_us\n";
  InitLanguages(exe);
  EXPECT_EQ(Translate("确定"), "OK");
  EXPECT_EQ(Translate("缺少", "缺少的文字"), "缺少的文字");
  FinalizeLanguages();
  EXPECT_EQ(Translate("确定"), "确定");

  // A language without a file leaves the main thread on the default.
  std::ofstream(dir_ / "Lang" / "Lang.config") << "[Lang]\nid=JA_JP\n";
  InitLanguages(exe);
  EXPECT_EQ(Translate("确定"), "确定");
  FinalizeLanguages();
}

}  // namespace
}  // namespace zent
