// Translated texts come from language files anyone who ships a language can write, so they
// are filled with FillText and never used as printf formats: a "%s" or "%n" in a translation
// must not read or write the stack. This test reads the sources and fails when a formatter's
// format argument is a translation.
//
// What it catches (a regex-level check, so plain code shapes only): a printf-style call
// (Format, FormatV, LogFmt, the printf family, QString::asprintf, syslog) whose format
// argument is a call of Translate, Tr or QT (also wrapped in ToQt), or a variable that the
// same file assigns from such a call (also with .c_str(), .data() or .toUtf8()...). It does
// not follow a translation through a function's parameter or another file.
#include <gtest/gtest.h>

#include "SourceTree.h"

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace zent {
namespace {

namespace fs = std::filesystem;

using testing::kSourceDir;
using testing::ReadText;

// The calls in `source` that use a translation as their format, as written.
std::vector<std::string> TranslatedFormats(const std::string& source) {
  // Variables the file assigns from a translation: "name = Translate(" (declarations too).
  std::set<std::string> variables;
  const std::regex assigned(R"re(\b([A-Za-z_]\w*)\s*(?:=|\{|\()\s*(?:ToQt\(\s*)?(?:Translate|Tr|QT)\s*\()re");
  for (std::sregex_iterator it(source.begin(), source.end(), assigned), end; it != end; ++it)
    variables.insert((*it)[1]);
  std::string translated = R"((?:ToQt\(\s*)?(?:\b(?:Translate|Tr|QT)\s*\()";
  for (const std::string& v : variables) translated += "|\\b" + v + R"(\b(?!\s*\())";
  translated += ")";

  // One argument before the format: anything up to a comma, with one level of parentheses.
  const std::string arg = R"((?:[^,;()]|\([^()]*\))+,\s*)";
  const std::string formatters[] = {
      R"(\b(?:Format|FormatV|printf|vprintf|asprintf|wprintf)\s*\(\s*)",
      R"(\b(?:LogFmt|sprintf|fprintf|vsprintf|vfprintf|dprintf|syslog)\s*\(\s*)" + arg,
      R"(\b(?:snprintf|vsnprintf)\s*\(\s*)" + arg + arg,
  };
  std::vector<std::string> found;
  for (const std::string& formatter : formatters) {
    const std::regex call(formatter + translated);
    for (std::sregex_iterator it(source.begin(), source.end(), call), end; it != end; ++it)
      found.push_back(it->str());
  }
  return found;
}

TEST(TranslatedFormat, TheCheckTellsFormatsFromArguments) {
  const struct {
    const char* source;
    bool caught;
  } cases[] = {
      {R"(throw Exception(Format(Translate("启动程序[%s]失败").c_str(), exe.c_str()));)", true},
      {"Format(\n    Translate(\"x%s\").c_str(), a)", true},
      {R"(AppLog().LogFmt(2, Translate("失败[%s]").c_str(), e.what());)", true},
      {R"(std::snprintf(buf, sizeof(buf), Translate("a%d").c_str(), 1);)", true},
      {R"(QString::asprintf(Tr("a%s").toUtf8().constData(), x);)", true},
      {R"(const std::string pattern = Translate("a%s"); Log(Format(pattern.c_str(), v));)", true},
      {"std::string pattern = Translate(\"a%s\");\n...\nFormat(pattern.c_str(), v);", true},
      {R"(QString text = Tr("a"); text = QString::asprintf(text.toUtf8().data(), 1);)", true},
      // Allowed: a translation as a value, filled texts, Qt's own placeholders.
      {R"(Format("%s: %d", Translate("失败").c_str(), n))", false},
      {R"(FillText(Translate("版本: [%s]"), GetAppVersion()))", false},
      {R"(FillTexts(Translate("a%s%s"), {x, Format("ShellExecute.Return: %d", r)}))", false},
      {R"(AppLog().LogFmt(2, "%s", Translate("x").c_str());)", false},
      {R"(std::string pattern = Translate("a"); Format("%s", pattern.c_str());)", false},
      {R"(TranslateFormat(x); MyFormat(Translate("a")))", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    EXPECT_EQ(!TranslatedFormats(c.source).empty(), c.caught);
  }
}

TEST(TranslatedFormat, NoSourceUsesATranslationAsAFormat) {
  size_t files = 0;
  for (const char* folder : {"src", "tools"}) {
    for (const auto& entry : fs::recursive_directory_iterator(kSourceDir / folder)) {
      const auto ext = entry.path().extension();
      if (ext != ".cpp" && ext != ".h") continue;
      ++files;
      for (const std::string& call : TranslatedFormats(ReadText(entry.path())))
        ADD_FAILURE() << entry.path().string() << ": a translation used as a format: " << call;
    }
  }
  EXPECT_GT(files, 50u) << "the sources were not found under " << kSourceDir;
}

}  // namespace
}  // namespace zent
