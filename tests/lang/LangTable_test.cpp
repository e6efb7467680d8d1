// The text tables languages are built from, and the shipped English table: it must parse and
// hold a translation for every text the program passes to Translate.
#include "lang/LangTable.h"

#include <gtest/gtest.h>

#include "SourceTree.h"

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace zent {
namespace {

namespace fs = std::filesystem;

using testing::kSourceDir;
using testing::ReadText;

TEST(LangTable, ParsesHeaderEntriesAndEscapes) {
  const TSRPackage p = ParseLangTable(
      "\xEF\xBB\xBF# comment\r\n!ID\ten_us\r\n!Name\tEnglish\n\n"
      "提示\tNotice\n"
      "a\\tb\\\\c\tline1\\r\\nline2\twith tab\n"
      "\\#hash\tH\n"
      "\\!bang\tB\n"
      "空\t\n");
  EXPECT_EQ(p.Type(), (TSRData{"EN_US", "English"}));
  EXPECT_EQ(p.GetScript("提示"), "Notice");
  EXPECT_EQ(p.GetScript("A\tB\\C"), "line1\r\nline2\twith tab");
  EXPECT_EQ(p.GetScript("#HASH"), "H");
  EXPECT_EQ(p.GetScript("!BANG"), "B");
  std::string empty = "x";
  EXPECT_TRUE(p.TryGetScript("空", empty));
  EXPECT_EQ(empty, "");

  // Formatting and parsing again gives the same package.
  const TSRPackage again = ParseLangTable(FormatLangTable(p));
  EXPECT_EQ(again.Type(), p.Type());
  EXPECT_EQ(again.Entries(), p.Entries());
}

TEST(LangTable, MistakesNameTheirLine) {
  const struct {
    const char* table;
    const char* line;
  } cases[] = {
      {"!ID\tEN\nno tab here\n", "第2行"},
      {"!ID\tEN\n!Other\tx\n", "第2行"},
      {"!ID\tEN\na\\q\tb\n", "第2行"},
      {"!ID\tEN\nend\tb\\\n", "第2行"},
      {"!ID\tEN\nabc\t1\n\nABC\t2\n", "第4行"},  // the same text without case
      {"!ID\tEN\n\xFF\tb\n", "第2行"},
      {"!ID\tEN\n\tvalue\n", "第2行"},
      {"!Name\tE\nk\tv\n", "!ID"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table);
    try {
      ParseLangTable(c.table);
      ADD_FAILURE() << "accepted";
    } catch (const ELangTableError& e) {
      EXPECT_NE(std::string(e.what()).find(c.line), std::string::npos) << e.what();
    }
  }
}

// The texts the sources pass to Translate (or its Qt shorthands Tr and QT), as literals or as
// named constants.
std::set<std::string> TranslatedTexts() {
  const std::regex literalCall(R"re(\b(?:Translate|Tr|QT)\(\s*"((?:[^"\\]|\\.)*)")re");
  const std::regex constantCall(R"re(\b(?:Translate|Tr|QT)\(\s*(k[A-Za-z]\w*)\s*\))re");
  const std::regex constantDef(R"re(\b(k[A-Za-z]\w*)\s*=\s*"((?:[^"\\]|\\.)*)")re");
  std::map<std::string, std::string> constants;
  std::vector<std::string> sources;
  for (const auto& entry : fs::recursive_directory_iterator(kSourceDir / "src")) {
    const auto ext = entry.path().extension();
    if (ext != ".cpp" && ext != ".h") continue;
    sources.push_back(ReadText(entry.path()));
    for (std::sregex_iterator it(sources.back().begin(), sources.back().end(), constantDef), end; it != end; ++it)
      constants[(*it)[1]] = (*it)[2];
  }
  auto unescape = [](const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] != '\\' || i + 1 == s.size()) {
        out += s[i];
        continue;
      }
      const char c = s[++i];
      out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    }
    return out;
  };
  // A constant may name another constant (kAppTitleText = kProductDisplayName).
  const std::regex aliasDef(R"re(\b(k[A-Za-z]\w*)\s*=\s*(k[A-Za-z]\w*)\s*;)re");
  for (const std::string& text : sources) {
    for (std::sregex_iterator it(text.begin(), text.end(), aliasDef), end; it != end; ++it) {
      const auto target = constants.find((*it)[2]);
      if (target != constants.end()) constants[(*it)[1]] = target->second;
    }
  }
  std::set<std::string> texts;
  for (const std::string& text : sources) {
    for (std::sregex_iterator it(text.begin(), text.end(), literalCall), end; it != end; ++it)
      texts.insert(unescape((*it)[1]));
    for (std::sregex_iterator it(text.begin(), text.end(), constantCall), end; it != end; ++it) {
      const auto c = constants.find((*it)[1]);
      if (c != constants.end()) {
        texts.insert(unescape(c->second));
      } else {
        ADD_FAILURE() << "no literal found for " << (*it)[1];
      }
    }
  }
  texts.erase("");
  return texts;
}

TEST(ShippedLanguages, EnglishCoversEveryTranslatedText) {
  const TSRPackage english = ParseLangTable(ReadText(kSourceDir / "resources/lang/EN_US.txt"));
  EXPECT_EQ(english.Type().ID, "EN_US");
  const std::set<std::string> texts = TranslatedTexts();
  EXPECT_GE(texts.size(), 15u);  // the scan itself still finds the program's texts
  for (const std::string& text : texts) {
    std::string translation;
    EXPECT_TRUE(english.TryGetScript(text, translation) && !translation.empty()) << "no English for: " << text;
    // A value is filled into the same places of the translation as of the original (a text
    // keyed apart from its fallback, such as "MPC调用失败", has no marks in its key).
    for (const char* mark : {"%s", "%d"}) {
      auto count = [&](const std::string& s) {
        size_t n = 0;
        for (size_t at = s.find(mark); at != std::string::npos; at = s.find(mark, at + 2)) ++n;
        return n;
      };
      if (count(text) > 0) {
        EXPECT_EQ(count(translation), count(text)) << text;
      }
    }
  }
}

TEST(ShippedLanguages, ChineseStaysTheDefault) {
  const TSRPackage chinese = ParseLangTable(ReadText(kSourceDir / "resources/lang/ZH_CN.txt"));
  EXPECT_EQ(chinese.Type().ID, "ZH_CN");
}

}  // namespace
}  // namespace zent
