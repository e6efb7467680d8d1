// The window's decisions, without a window: load ends, renderer crashes, download names,
// request rules, activation notices, full-screen changes and the window's role.
#include <gtest/gtest.h>

#include "browser/rules/ActivationRule.h"
#include "browser/rules/DownloadNames.h"
#include "browser/rules/FullScreenState.h"
#include "browser/rules/LoadEndRules.h"
#include "browser/rules/RendererCrashPolicy.h"
#include "browser/rules/RequestRules.h"
#include "browser/rules/WindowRole.h"
#include "common/TextFill.h"

namespace zent {
namespace {

TEST(ActivationRule, OnlyFreshNoticesWithTheMarkerAct) {
  struct Case {
    uint32_t sent, marker, now;
    bool accept;
  } cases[] = {
      {1000, 2, 1000, true},       {1000, 2, 1499, true},     {1000, 2, 1500, false},
      {1000, 1, 1001, false},      {1000, 0, 1001, false},    {0xFFFFFF00u, 2, 0x50, true},  // wrapped
      {2000, 2, 1000, false},      // sent "in the future": a huge unsigned difference
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AcceptActivateNotice(c.sent, c.marker, c.now), c.accept) << c.sent << " " << c.marker << " " << c.now;
  }
}

LoadEnd Http(int status, bool blank = false) {
  if (status == 200) return {LoadEndKind::Succeeded, 0, blank};
  if (status == -3) return {LoadEndKind::Stopped, 0, blank};
  return {LoadEndKind::HttpStatus, status, blank};
}

TEST(LoadEndRules, StatusDecidesBetweenConnectedReconnectAndNothing) {
  struct Case {
    int status;
    bool continuousFind;
    bool rearm, connected;
  } cases[] = {
      {200, true, false, true},   {200, false, false, true},  {301, true, false, false},
      {399, true, false, false},  {500, true, false, false},  {-3, true, false, false},
      {404, true, true, false},   {0, true, true, false},     {501, true, true, false},
      {599, true, true, false},   {404, false, false, false}, {403, true, true, false},
  };
  for (const auto& c : cases) {
    TLoadEndRules rules;
    const auto a = rules.OnEnded(Http(c.status), c.continuousFind, false);
    EXPECT_EQ(a.rearmTimer, c.rearm) << c.status;
    EXPECT_EQ(a.connected, c.connected) << c.status;
    EXPECT_TRUE(a.runFlagScript) << c.status;
    EXPECT_FALSE(a.retryLoad);
  }
}

TEST(LoadEndRules, BlankPageAndSecondaryScreen) {
  TLoadEndRules rules;
  auto a = rules.OnEnded(Http(404, true), true, false);
  EXPECT_TRUE(a.runFlagScript);
  EXPECT_FALSE(a.rearmTimer);
  EXPECT_FALSE(a.connected);
  a = rules.OnEnded(Http(200), true, true);
  EXPECT_FALSE(a.runFlagScript) << "the secondary screen gets no flag script";
  EXPECT_TRUE(a.connected);
}

// A server that is down must be retried once, then left to the connection timer: never a
// tight loop of reloads.
TEST(LoadEndRules, FailedLoadIsRetriedOnceThenTheTimerTakesOver) {
  TLoadEndRules rules;
  const LoadEnd error{LoadEndKind::Error, 0, false};
  rules.OnStarted();
  auto a = rules.OnEnded(error, true, false);
  EXPECT_TRUE(a.retryLoad);
  EXPECT_TRUE(rules.LoadErrored());
  rules.OnStarted();  // the retry itself starts
  EXPECT_TRUE(rules.LoadErrored());
  a = rules.OnEnded(error, true, false);
  EXPECT_FALSE(a.retryLoad);
  EXPECT_TRUE(a.rearmTimer);
  EXPECT_FALSE(rules.LoadErrored());

  // The next fresh failure is retried again.
  rules.OnStarted();
  EXPECT_TRUE(rules.OnEnded(error, true, false).retryLoad);
  // A retry that succeeds still ends the errored state first; the timer brings the page back.
  rules.OnStarted();
  a = rules.OnEnded(Http(200), true, false);
  EXPECT_TRUE(a.rearmTimer);
  EXPECT_FALSE(a.connected);
}

TEST(LoadEndRules, ErrorsAfterConnectingOrOnBlankAreLeftToTheEngine) {
  TLoadEndRules rules;
  EXPECT_FALSE(rules.OnEnded({LoadEndKind::Error, 0, false}, false, false).retryLoad);
  EXPECT_FALSE(rules.OnEnded({LoadEndKind::Error, 0, true}, true, false).retryLoad);
  EXPECT_FALSE(rules.LoadErrored());
}

// The crash recovery's reload replaces a load the dead renderer broke: no retry of it, no
// failure mark, so that reload's own end counts as any load's (200 is connected).
TEST(LoadEndRules, ALoadTheCrashRecoveryReloadsIsLeftAlone) {
  for (const LoadEndKind kind : {LoadEndKind::Error, LoadEndKind::Stopped, LoadEndKind::Succeeded}) {
    TLoadEndRules rules;
    rules.OnStarted();
    LoadEnd broken{kind, 0, false};
    broken.crashRecoveryReloads = true;
    const auto a = rules.OnEnded(broken, true, false);
    EXPECT_FALSE(a.retryLoad || a.rearmTimer || a.runFlagScript || a.connected) << static_cast<int>(kind);
    EXPECT_FALSE(rules.LoadErrored());
    rules.OnStarted();  // the recovery's reload
    EXPECT_TRUE(rules.OnEnded(Http(200), true, false).connected);
  }
}

TEST(LoadEndRules, AnOrdinaryStartClearsTheFailureMark) {
  TLoadEndRules rules;
  rules.OnEnded({LoadEndKind::Error, 0, false}, true, false);
  rules.OnStarted();  // the retry
  rules.OnStarted();  // something else navigates before the retry ended
  EXPECT_FALSE(rules.LoadErrored());
}

TEST(RendererCrashPolicy, ThreeFreeReloadsThenGrowingCappedPauses) {
  using namespace std::chrono;
  TRendererCrashPolicy policy;
  auto t = TRendererCrashPolicy::Clock::time_point{} + hours(1);
  std::vector<TRendererCrashPolicy::Clock::time_point> reloads;
  // A renderer that dies the moment it is reloaded, for ten minutes.
  while (reloads.size() < 40) {
    const auto delay = policy.OnCrash(t);
    ASSERT_LE(delay, milliseconds(60000));
    t += delay;
    reloads.push_back(t);
  }
  EXPECT_EQ(reloads[0], reloads[2]) << "the first three reloads are immediate";
  for (size_t i = 3; i < reloads.size(); ++i) {
    EXPECT_GE(reloads[i] - reloads[i - 3], milliseconds(60000)) << "more than three reloads in a minute at " << i;
    EXPECT_GT(reloads[i], reloads[i - 1]) << "no immediate reload after the first three, at " << i;
  }
  // Late in the storm the pause stays at its cap.
  EXPECT_LE(reloads.back() - reloads[reloads.size() - 2], milliseconds(30000));

  // A quiet minute forgives: the next crash reloads at once.
  t += minutes(2);
  EXPECT_EQ(policy.OnCrash(t), milliseconds(0));
}

TEST(RendererCrashPolicy, APlannedReloadIsLeftOutWhenALoadStartsFirst) {
  const auto t = TRendererCrashPolicy::Clock::time_point{} + std::chrono::hours(1);
  TRendererCrashPolicy policy;
  EXPECT_FALSE(policy.ReloadPlanned());
  policy.OnLoadStarted();  // an ordinary load before any crash plans nothing
  EXPECT_FALSE(policy.TakePlannedReload());

  policy.OnCrash(t);
  EXPECT_TRUE(policy.ReloadPlanned());
  EXPECT_TRUE(policy.TakePlannedReload()) << "nothing loaded meanwhile: the recovery reloads";
  EXPECT_FALSE(policy.ReloadPlanned());

  policy.OnCrash(t);
  policy.OnLoadStarted();  // the broken load's retry, or the connection's own load
  EXPECT_FALSE(policy.ReloadPlanned()) << "that load's end is an ordinary one";
  EXPECT_FALSE(policy.TakePlannedReload());

  // The mark belongs to one plan: the next crash's reload happens again.
  policy.OnCrash(t);
  EXPECT_TRUE(policy.TakePlannedReload());
}

TEST(DownloadNames, SuggestedNamesCannotLeaveTheChosenFolder) {
  struct Case {
    const char* suggested;
    const char* name;
  } cases[] = {
      {"report.xlsx", "report.xlsx"},
      {"../../etc/passwd", "passwd"},
      {"..\\..\\windows\\evil.exe", "evil.exe"},
      {"/abs/path/", "download"},
      {"", "download"},
      {".", "download"},
      {"..", "download"},
      {"dir/..", "download"},
      {"  spaced.txt  ", "spaced.txt"},
      {"a\nb\tc\x7f.txt", "abc.txt"},
      {"报表.xlsx", "报表.xlsx"},
  };
  for (const auto& c : cases) EXPECT_EQ(SafeDownloadName(c.suggested), c.name) << c.suggested;
}

TEST(DownloadNames, FilterAndChosenNameFollowTheExtension) {
  EXPECT_EQ(FileExtension("report.xlsx"), ".xlsx");
  EXPECT_EQ(FileExtension("archive.tar.gz"), ".gz");
  EXPECT_EQ(FileExtension("README"), "");
  EXPECT_EQ(FileExtension("dir.d/file"), "");
  EXPECT_EQ(SaveDialogFilter(".xlsx"), "*.xlsx (*.xlsx)");
  EXPECT_EQ(SaveDialogFilter(""), "* (*)");

  auto t = ChosenDownloadTarget("/home/op/out/summary", ".xlsx");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->folder, "/home/op/out/");
  EXPECT_EQ(t->fileName, "summary.xlsx");
  t = ChosenDownloadTarget("/home/op/out/summary.csv", ".xlsx");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->FullPath(), "/home/op/out/summary.csv");
  EXPECT_FALSE(ChosenDownloadTarget("/home/op/out/", ".xlsx"));
  EXPECT_FALSE(ChosenDownloadTarget("nofolder", ".xlsx"));
  EXPECT_EQ(FolderOf("/home/op/out/a.xlsx"), "/home/op/out/");
}

TEST(RequestRules, HomeRedirectsAndOnlyTheServerHostGetsTheIdentifier) {
  TRequestRules rules;
  EXPECT_EQ(TRequestRules::Decide(*rules.Snapshot(), "10.0.0.5"), RequestAction::None)
      << "no server yet: nobody gets the header";
  rules.Update("10.0.0.5", "{OSID}");
  const auto snap = rules.Snapshot();
  EXPECT_EQ(TRequestRules::Decide(*snap, "10.0.0.5"), RequestAction::AddOsid);
  EXPECT_EQ(TRequestRules::Decide(*snap, "10.0.0.50"), RequestAction::None);
  EXPECT_EQ(TRequestRules::Decide(*snap, "cdn.example.org"), RequestAction::None);
  EXPECT_EQ(TRequestRules::Decide(*snap, "home"), RequestAction::RedirectHome);
  EXPECT_EQ(snap->osid, "{OSID}");
  rules.Update("10.0.0.6", "{OSID}");
  EXPECT_EQ(TRequestRules::Decide(*snap, "10.0.0.5"), RequestAction::AddOsid)
      << "a snapshot taken before a change stays whole";
}

TEST(FullScreenState, ChangesOnlyWhenTheyChangeSomething) {
  EXPECT_EQ(TFullScreenState(false, false).On(), FullScreenChange::Enter);
  EXPECT_EQ(TFullScreenState(false, true).On(), FullScreenChange::None);
  EXPECT_EQ(TFullScreenState(false, true).Off(), FullScreenChange::Leave);
  EXPECT_EQ(TFullScreenState(false, false).Off(), FullScreenChange::None);
  EXPECT_EQ(TFullScreenState(false, true).Switch(), FullScreenChange::Leave);
  EXPECT_EQ(TFullScreenState(true, true).Switch(), FullScreenChange::None);
  EXPECT_EQ(TFullScreenState(true, false).On(), FullScreenChange::None);
}

TEST(TextFill, TranslatedPatternsAreNeverFormats) {
  EXPECT_EQ(FillText("版本: [%s]", "7.0.0.1"), "版本: [7.0.0.1]");
  EXPECT_EQ(FillText("%s文件不存在！", "/a/%n%s"), "/a/%n%s文件不存在！");
  EXPECT_EQ(FillText("%n %x %s %s", "v"), "%n %x v %s");
  EXPECT_EQ(FillText("no marker", "v"), "no marker");
  EXPECT_EQ(FillText("%", "v"), "%");
}

TEST(WindowRole, TheOptionMakesTheIdentityWindowAnyMentionTheSecondaryScreen) {
  struct Case {
    std::vector<std::string> args;
    bool secondary, identityWindow;
    const char* subUrl;
  } cases[] = {
      {{}, false, false, ""},
      {{"-ip", "10.0.0.5"}, false, false, ""},
      {{"-SUBURL", "sub/page.html"}, true, true, "sub/page.html"},
      {{"-suburl"}, true, true, ""},
      {{"--suburl=x"}, true, false, ""},  // only the looser test matches
      {{"-url", "http://h/?-suburl"}, true, false, ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "Lumo7Browser");
    const WindowRole role = WindowRoleOf(CommandLine(args));
    EXPECT_EQ(role.secondary, c.secondary) << ::testing::PrintToString(c.args);
    EXPECT_EQ(role.identityWindow, c.identityWindow) << ::testing::PrintToString(c.args);
    EXPECT_EQ(role.subUrl, c.subUrl) << ::testing::PrintToString(c.args);
  }
}

}  // namespace
}  // namespace zent
