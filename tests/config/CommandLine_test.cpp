// The command line's options with their exact matching rules.
#include "config/CommandLine.h"

#include <gtest/gtest.h>

namespace zent {
namespace {

using Args = std::vector<std::string>;
using Opt = std::optional<std::string>;

struct OptionCase {
  const char* name;
  Args args;
  Opt subUrl;
  Opt ip;
  Opt url;
  bool forDebug;
  bool subScreenArg;
};

void PrintTo(const OptionCase& c, std::ostream* os) { *os << c.name; }

class CommandLineOptions : public ::testing::TestWithParam<OptionCase> {};

TEST_P(CommandLineOptions, MatchAsDocumented) {
  const OptionCase& c = GetParam();
  const CommandLine cl(c.args);
  EXPECT_EQ(cl.SubUrl(), c.subUrl);
  EXPECT_EQ(cl.Ip(), c.ip);
  EXPECT_EQ(cl.Url(), c.url);
  EXPECT_EQ(cl.ForDebug(), c.forDebug);
  EXPECT_EQ(cl.IsSubScreenArg(), c.subScreenArg);
  EXPECT_EQ(cl.InstanceName(), c.subUrl ? kSubScreenInstanceName : kMainInstanceName);
}

const char* const kExe = "/opt/lumo7/Lumo7Browser";

INSTANTIATE_TEST_SUITE_P(
    Options, CommandLineOptions,
    ::testing::Values(
        OptionCase{"Nothing", {kExe}, {}, {}, {}, false, false},
        OptionCase{"Empty", {}, {}, {}, {}, false, false},
        OptionCase{"SubUrl", {kExe, "-suburl", "/sub/page"}, "/sub/page", {}, {}, false, true},
        OptionCase{"SubUrlCapitals", {kExe, "-SUBURL", "/p"}, "/p", {}, {}, false, true},
        OptionCase{"SubUrlLastGivesEmpty", {kExe, "-suburl"}, "", {}, {}, false, true},
        OptionCase{"SubUrlFirstMatchWins", {kExe, "-suburl", "/a", "-SubUrl", "/b"}, "/a", {}, {},
                   false, true},
        // The exact test ignores the program path and look-alikes; the loose one does not.
        OptionCase{"SubUrlInProgramPath", {"/opt/x-suburl/Lumo7Browser"}, {}, {}, {}, false, true},
        OptionCase{"SubUrlAsProgramPath", {"-suburl", "/p"}, {}, {}, {}, false, true},
        OptionCase{"SubUrlPrefixOnly", {kExe, "--suburl=/p"}, {}, {}, {}, false, true},
        OptionCase{"Ip", {kExe, "-ip", "10.0.0.5"}, {}, "10.0.0.5", {}, false, false},
        OptionCase{"IpLastGivesEmpty", {kExe, "-IP"}, {}, "", {}, false, false},
        OptionCase{"LaterIpOverrides", {kExe, "-ip", "a", "-ip", "b"}, {}, "b", {}, false, false},
        OptionCase{"IpValueIsUrlOption", {kExe, "-ip", "-url", "http://h/x"}, {}, "-url", "http://h/x",
                   false, false},
        OptionCase{"UrlValueIsIpOption", {kExe, "-url", "-ip"}, {}, "", "-ip", false, false},
        OptionCase{"UrlCapitals", {kExe, "-URL", "http://h:8080/p"}, {}, {}, "http://h:8080/p", false,
                   false},
        OptionCase{"ForDebug", {kExe, "-fordebug"}, {}, {}, {}, true, false},
        OptionCase{"ForDebugCapitals", {kExe, "-ForDebug"}, {}, {}, {}, true, false},
        OptionCase{"ForDebugInProgramPathOnly", {"-fordebug"}, {}, {}, {}, false, false},
        OptionCase{"ForDebugMustBeExact", {kExe, "-fordebug2", "fordebug"}, {}, {}, {}, false, false},
        OptionCase{"Everything",
                   {kExe, "-fordebug", "-suburl", "/s", "-ip", "h", "-url", "http://u/"},
                   "/s", "h", "http://u/", true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLine, BuildsFromArgv) {
  const char* argv[] = {kExe, "-ip", "10.1.2.3"};
  const CommandLine cl(3, argv);
  EXPECT_EQ(cl.Args(), (Args{kExe, "-ip", "10.1.2.3"}));
  EXPECT_EQ(cl.Ip(), "10.1.2.3");
}

TEST(CommandLine, EngineSubProcessCarriesATypeSwitch) {
  const struct {
    Args args;
    bool sub;
  } cases[] = {
      {{kExe}, false},
      {{kExe, "--type=renderer", "--lang=zh-CN"}, true},
      {{kExe, "--lang=zh-CN", "--type=gpu-process"}, true},
      {{kExe, "-type=utility"}, true},
      {{kExe, "--TYPE=renderer"}, true},
      {{kExe, "--type="}, false},             // an empty type is the main process
      {{kExe, "--type"}, false},
      {{kExe, "--typed=renderer"}, false},
      {{kExe, "type=renderer"}, false},       // not a switch
      {{kExe, "--", "--type=renderer"}, false},  // after "--" nothing is a switch
      {{"--type=renderer"}, false},           // the program path is no switch
      {{kExe, "-suburl", "--type=renderer"}, true},
  };
  for (const auto& c : cases) {
    std::string joined;
    for (const auto& a : c.args) joined += a + " ";
    EXPECT_EQ(CommandLine(c.args).IsEngineSubProcess(), c.sub) << joined;
  }
}

}  // namespace
}  // namespace zent
