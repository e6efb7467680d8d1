// The update thread against HTTP servers on loopback (run inside the test namespace): the
// update service, the web application's fallback, and what they may answer.
#include "update/UpdateThread.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>

#include "UpdateTestSupport.h"
#include "common/FileLog.h"
#include "support/StalledPort.h"
#include "update/HandOffRecord.h"
#include "update/PackageDigest.h"

namespace zent {
namespace {

using namespace zent::testing;
using namespace std::chrono_literals;

constexpr char kJson[] = "application/json";

// The content of one download: a cut connection announces more than it sends.
void Serve(httplib::Response& res, const std::string& body) { res.set_content(body, "application/octet-stream"); }

void ServeCut(httplib::Response& res, size_t announced, std::string sent) {
  res.set_content_provider(announced, "application/octet-stream",
                           [sent](size_t offset, size_t, httplib::DataSink& sink) {
                             if (offset >= sent.size()) return false;  // ends the connection early
                             sink.write(sent.data() + offset, sent.size() - offset);
                             return true;
                           });
}

class UpdateThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    InitFileLog(root_ + "Logs/");
    settings_.appVersion = "7.0.0.1";
    settings_.installBase = root_ + "base/";
    settings_.configFile = root_ + "Lumo7BrowserCfg.ini";
    settings_.mainPort = static_cast<uint16_t>(main_.Port());
    settings_.keys = TrustedTestKey().Trusted();
    fallbackPackage_ = SignedBytes("fallback package", root_);
    (*web_).Post("/lumo7/canyin/sys/autoupdate/checkbrowserupdatev2",
                 [this](const httplib::Request& req, httplib::Response& res) {
                   ++fallbackChecks_;
                   fallbackBody_ = req.body;
                   res.status = fallbackStatus_;
                   res.set_content(fallbackAnswer_, kJson);
                 });
    (*web_).Get("/lumo7/canyin/index/browser/browserv2", [this](const httplib::Request& req, httplib::Response& res) {
      requestedFile_ = req.get_param_value("filename");
      Serve(res, fallbackPackage_);
    });
  }

  void WriteConfig(bool withHost = true) {
    WriteFile(settings_.configFile, std::string("[LumoServer]\n") + (withHost ? "Host=127.0.0.1\n" : "") +
                                        "Port=" + std::to_string(web_.Port()) + "\nUrl=lumo7/\n");
  }

  void MainAnswers(const std::string& answer, int status = 200) {
    (*main_).Post("/autoupdate/checkupdate", [this, answer, status](const httplib::Request& req, httplib::Response& res) {
      ++mainChecks_;
      mainBody_ = req.body;
      res.status = status;
      res.set_content(answer, kJson);
    });
  }

  // Runs one check to its end.
  void RunCheck() {
    TUpdateThread thread(settings_);
    ASSERT_TRUE(thread.WaitFinished(30s));
  }

  // The check's own log (in this test's folder) and what the application log received.
  std::string Logs() { return AllLogs(root_ + "Logs/") + appLog_.New(); }
  std::string MainFolder() { return settings_.installBase + "Temp/ExeBuf/"; }
  std::string FallbackFolder() { return settings_.installBase + "Temp/ExeBuf_O/"; }

  std::string root_;
  AppLogTail appLog_;
  TUpdateSettings settings_;
  LocalServer main_, web_;
  std::atomic<int> mainChecks_{0}, fallbackChecks_{0};
  std::string mainBody_, fallbackBody_, requestedFile_, fallbackPackage_;
  int fallbackStatus_ = 200;
  std::string fallbackAnswer_ = R"({"doesNeedUpdate":false})";
};

TEST_F(UpdateThreadTest, NoConfigurationFileSendsNothing) {
  MainAnswers(R"({"success":true})");
  RunCheck();
  EXPECT_NE(Logs().find("获取检查升级服务器失败: 文件不存在[" + settings_.configFile + "]"), std::string::npos);
  EXPECT_EQ(mainChecks_, 0);
  EXPECT_EQ(fallbackChecks_, 0);
}

TEST_F(UpdateThreadTest, NoHostSendsNothing) {
  WriteConfig(false);
  RunCheck();
  EXPECT_NE(Logs().find("获取检查升级服务器失败: BaseUrl=[]"), std::string::npos);
  EXPECT_EQ(fallbackChecks_, 0);
}

TEST_F(UpdateThreadTest, MainPackageIsStoredUnderItsMd5AndReplacesTheOldOne) {
  WriteConfig();
  MainAnswers(R"({"success":true,"DownloadUrl":"/files/setup.exe","md5":"0123abcd"})");
  const std::string package = SignedBytes("new package", root_);
  (*main_).Get("/files/setup.exe", [package](const httplib::Request&, httplib::Response& res) { Serve(res, package); });
  WriteFile(MainFolder() + "DO2_U_old.exe", "old package");
  RunCheck();
  EXPECT_EQ(FilesIn(MainFolder()), std::vector<std::string>{"DO2_U_0123abcd.exe"});
  EXPECT_EQ(ReadFile(MainFolder() + "DO2_U_0123abcd.exe"), package);
  EXPECT_EQ(mainBody_, "\xEF\xBB\xBF{\n  \"type\": \"BrowserV2\",\n  \"version\": \"7.0.0.1\"\n}");
  const std::string logs = Logs();
  EXPECT_NE(logs.find("CurrVersion: 7.0.0.1"), std::string::npos);
  EXPECT_NE(logs.find("CheckUpdateURL: http://127.0.0.1:" + std::to_string(main_.Port()) + "/autoupdate/checkupdate"),
            std::string::npos);
  EXPECT_NE(logs.find("DownloadUpdate: /files/setup.exe"), std::string::npos);
  EXPECT_EQ(fallbackChecks_, 0);
}

struct MainFailure {
  const char* name;
  const char* answer;
  const char* logged;
};

void PrintTo(const MainFailure& c, std::ostream* os) { *os << c.name; }

class MainFailures : public UpdateThreadTest, public ::testing::WithParamInterface<MainFailure> {};

// Each failure keeps the old package, writes nothing else and asks no fallback.
TEST_P(MainFailures, AreLoggedAndEndTheCheck) {
  const MainFailure& c = GetParam();
  WriteConfig();
  MainAnswers(c.answer);
  (*main_).Get("/files/missing.exe", [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
  (*main_).Get("/files/cut.exe", [](const httplib::Request&, httplib::Response& res) {
    ServeCut(res, 1 << 20, std::string(1000, 'x'));
  });
  (*main_).Get("/files/big.exe", [](const httplib::Request&, httplib::Response& res) { Serve(res, std::string(5000, 'b')); });
  WriteFile(MainFolder() + "DO2_U_old.exe", "old package");
  settings_.maxPackageBytes = 4096;
  RunCheck();
  EXPECT_EQ(FilesIn(MainFolder()), std::vector<std::string>{"DO2_U_old.exe"});
  EXPECT_NE(Logs().find(c.logged), std::string::npos) << Logs();
  EXPECT_EQ(fallbackChecks_, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MainFailures,
    ::testing::Values(
        MainFailure{"SuccessFalse", R"({"success":false,"msg":"服务器维护"})", "执行异常:升级查询失败: 服务器维护"},
        MainFailure{"SuccessMissing", R"({})", "执行异常:升级查询失败: ??"},
        MainFailure{"NotJson", "<html>oops</html>", "执行异常:升级查询失败: 应答不是有效的JSON"},
        MainFailure{"NoUpdate", R"({"success":true,"DownloadUrl":""})", "{\"success\":true,\"DownloadUrl\":\"\"}"},
        MainFailure{"Md5Missing", R"({"success":true,"DownloadUrl":"/files/setup.exe"})", "执行异常:MD5为空"},
        MainFailure{"Md5WithPath", R"({"success":true,"DownloadUrl":"/files/setup.exe","md5":"../../x"})",
                    "执行异常:下载升级包失败: 升级包名称无效[../../x.exe]"},
        MainFailure{"ExtensionWithPath", R"({"success":true,"DownloadUrl":"/files.d/x","md5":"a"})",
                    "执行异常:下载升级包失败: 升级包名称无效[a.d/x]"},
        MainFailure{"Download404", R"({"success":true,"DownloadUrl":"/files/missing.exe","md5":"a"})",
                    "执行异常:下载升级包失败: Not Found"},
        MainFailure{"DownloadCut", R"({"success":true,"DownloadUrl":"/files/cut.exe","md5":"a"})",
                    "执行异常:下载升级包失败: "},
        MainFailure{"DownloadTooLarge", R"({"success":true,"DownloadUrl":"/files/big.exe","md5":"a"})",
                    "执行异常:下载升级包失败: 升级包超过4096字节"}));

TEST_F(UpdateThreadTest, ZipPackageIsStoredWithItsExtension) {
  WriteConfig();
  MainAnswers(R"({"success":true,"DownloadUrl":"/files/setup.zip","md5":"m"})");
  const std::string package = SignedBytes("zip", root_);
  (*main_).Get("/files/setup.zip", [package](const httplib::Request&, httplib::Response& res) { Serve(res, package); });
  RunCheck();
  EXPECT_EQ(FilesIn(MainFolder()), std::vector<std::string>{"DO2_U_m.zip"});
}

// Downloads that are not what the service promised or not signed by a key we trust: checked
// before they get a package name, so they are gone without a trace and the old package stays.
struct RefusedCase {
  const char* name;
  const char* md5;  // "=": the MD5 of the served bytes in capitals
  enum { Unsigned, Foreign, Flipped, Signed } bytes;
  const char* logged;  // empty: accepted
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class RefusedDownloads : public UpdateThreadTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedDownloads, NeverGetAPackageName) {
  const RefusedCase& c = GetParam();
  WriteConfig();
  std::string package;
  switch (c.bytes) {
    case RefusedCase::Unsigned: package = "#!/bin/sh\ntouch ran\n"; break;
    case RefusedCase::Foreign: package = SignedBytes("#!/bin/sh\n", root_, ForeignTestKey()); break;
    case RefusedCase::Flipped: package = SignedBytes("#!/bin/sh\n", root_); package[3] ^= 1; break;
    case RefusedCase::Signed: package = SignedBytes("#!/bin/sh\n", root_); break;
  }
  std::string md5 = c.md5;
  if (md5 == "=") {
    TDigest digest(TDigest::Kind::Md5);
    digest.Update(package.data(), package.size());
    md5 = digest.Hex();
    std::transform(md5.begin(), md5.end(), md5.begin(), ::toupper);
  }
  MainAnswers(nlohmann::json{{"success", true}, {"DownloadUrl", "/files/setup.exe"}, {"md5", md5}}.dump());
  (*main_).Get("/files/setup.exe", [package](const httplib::Request&, httplib::Response& res) { Serve(res, package); });
  WriteFile(MainFolder() + "DO2_U_old.exe", "old package");
  RunCheck();
  if (std::string(c.logged).empty()) {  // accepted, under the name the service gave
    EXPECT_EQ(FilesIn(MainFolder()), std::vector<std::string>{"DO2_U_" + md5 + ".exe"});
    return;
  }
  EXPECT_EQ(FilesIn(MainFolder()), std::vector<std::string>{"DO2_U_old.exe"});
  EXPECT_NE(Logs().find(std::string("执行异常:下载升级包失败: ") + c.logged), std::string::npos) << Logs();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedDownloads,
    ::testing::Values(
        RefusedCase{"Unsigned", "m", RefusedCase::Unsigned, "升级包签名无效: "},
        RefusedCase{"UnsignedWithMatchingMd5", "=", RefusedCase::Unsigned, "升级包签名无效: "},
        RefusedCase{"ForeignKey", "m", RefusedCase::Foreign, "升级包签名无效: "},
        RefusedCase{"FlippedByte", "m", RefusedCase::Flipped, "升级包签名无效: "},
        RefusedCase{"WrongMd5", "0123456789abcdef0123456789abcdef", RefusedCase::Signed, "升级包校验失败: MD5为"},
        RefusedCase{"MatchingMd5InCapitals", "=", RefusedCase::Signed, ""}));

TEST_F(UpdateThreadTest, UnsignedFallbackDownloadIsNotKept) {
  WriteConfig();
  MainAnswers("", 404);
  fallbackAnswer_ = R"({"doesNeedUpdate":true,"fileName":"s.exe"})";
  fallbackPackage_ = "<html>an error page</html>";
  RunCheck();
  EXPECT_EQ(requestedFile_, "s.exe");
  EXPECT_TRUE(FilesIn(FallbackFolder()).empty());
  EXPECT_NE(Logs().find("自动升级下载升级包异常：升级包签名无效: "), std::string::npos) << Logs();
}

// A package that failed to install is not fetched again, from either service.
TEST_F(UpdateThreadTest, FailedPackagesAreNotDownloadedAgain) {
  WriteConfig();
  std::atomic<int> downloads{0};
  MainAnswers(R"({"success":true,"DownloadUrl":"/files/setup.exe","md5":"bad"})");
  (*main_).Get("/files/setup.exe", [&downloads](const httplib::Request&, httplib::Response& res) {
    ++downloads;
    Serve(res, "x");
  });
  fs::create_directories(MainFolder());
  TFailedPackages(MainFolder()).Add({"", "DO2_U_bad.exe"});
  RunCheck();
  EXPECT_EQ(downloads, 0);
  EXPECT_NE(Logs().find("升级包曾安装失败，不再下载: DO2_U_bad.exe"), std::string::npos);
}

TEST_F(UpdateThreadTest, FailedFallbackPackagesAreNotDownloadedAgain) {
  WriteConfig();
  MainAnswers("", 404);
  fallbackAnswer_ = R"({"doesNeedUpdate":true,"fileName":"s.exe"})";
  fs::create_directories(FallbackFolder());
  TFailedPackages(FallbackFolder()).Add({"", "LumoBrowserUpdate_s.exe"});
  RunCheck();
  EXPECT_TRUE(requestedFile_.empty());
  EXPECT_NE(Logs().find("升级包曾安装失败，不再下载: LumoBrowserUpdate_s.exe"), std::string::npos);
}

TEST_F(UpdateThreadTest, MainStatusOtherThan200AsksTheFallback) {
  WriteConfig();
  MainAnswers("busy", 500);
  fallbackAnswer_ = R"({"doesNeedUpdate":true,"fileName":"Lumo7Browser-setup.exe"})";
  WriteFile(FallbackFolder() + "LumoBrowserUpdate_old.exe", "old");
  RunCheck();
  EXPECT_EQ(mainChecks_, 1);
  EXPECT_EQ(fallbackChecks_, 1);
  EXPECT_EQ(fallbackBody_.rfind(R"({"curVer":"7.0.0","systemVer":")", 0), 0u) << fallbackBody_;
  EXPECT_EQ(requestedFile_, "Lumo7Browser-setup.exe");
  EXPECT_EQ(FilesIn(FallbackFolder()), std::vector<std::string>{"LumoBrowserUpdate_Lumo7Browser-setup.exe"});
  EXPECT_EQ(ReadFile(FallbackFolder() + "LumoBrowserUpdate_Lumo7Browser-setup.exe"), fallbackPackage_);
  const std::string logs = Logs();
  for (const char* text : {"GetBaseUrl: http://127.0.0.1:", "GetUpdate: http://127.0.0.1:", "GetUpdate.Params: {",
                           "GetUpdate.Response: {", "TUpdateApp 7.0.0 --> Lumo7Browser-setup.exe",
                           "DownloadApp->Url: http://127.0.0.1:", "DownloadApp: " })
    EXPECT_NE(logs.find(text), std::string::npos) << text;
}

TEST_F(UpdateThreadTest, RefusedMainServiceAsksTheFallback) {
  WriteConfig();
  main_->stop();  // nothing listens on the service's port any more
  std::this_thread::sleep_for(50ms);
  RunCheck();
  EXPECT_EQ(fallbackChecks_, 1);
}

TEST_F(UpdateThreadTest, CheckAnswerLaterThanItsTimeOutAsksTheFallback) {
  WriteConfig();
  auto release = std::make_shared<std::atomic<bool>>(false);
  (*main_).Post("/autoupdate/checkupdate", [release](const httplib::Request&, httplib::Response& res) {
    // Longer than the 5 s the check waits for its answer; let go once the test is done.
    for (int i = 0; i < 700 && !*release; ++i) std::this_thread::sleep_for(10ms);
    res.set_content(R"({"success":true})", kJson);
  });
  RunCheck();
  *release = true;
  // The late answer would have said "no update"; only a check that gave up asks the fallback.
  EXPECT_EQ(fallbackChecks_, 1);
}

TEST_F(UpdateThreadTest, HostileFallbackNamesWriteNothing) {
  WriteConfig();
  MainAnswers("", 404);
  for (const char* name : {"../../x.exe", "a/b.exe", "..", "a\\b.exe", "x\n.exe"}) {
    SCOPED_TRACE(name);
    fallbackAnswer_ = nlohmann::json{{"doesNeedUpdate", true}, {"fileName", name}}.dump();
    RunCheck();
    EXPECT_TRUE(requestedFile_.empty());
    EXPECT_TRUE(FilesIn(settings_.installBase).empty());
    EXPECT_FALSE(fs::exists(settings_.installBase + "Temp/x.exe"));
    EXPECT_FALSE(fs::exists(settings_.installBase + "x.exe"));
    EXPECT_NE(Logs().find("升级包名称无效"), std::string::npos);
  }
}

TEST_F(UpdateThreadTest, FallbackErrorAnswersAreLoggedAndIgnored) {
  WriteConfig();
  MainAnswers("", 404);
  fallbackStatus_ = 500;
  fallbackAnswer_ = R"({"doesNeedUpdate":true,"fileName":"s.exe"})";
  RunCheck();
  EXPECT_TRUE(requestedFile_.empty());
  EXPECT_NE(Logs().find("GetUpdate.Response: {\"doesNeedUpdate\":true"), std::string::npos);
  fallbackStatus_ = 200;
  fallbackAnswer_ = R"({"doesNeedUpdate":true,"fileName":["s.exe"]})";
  RunCheck();
  EXPECT_NE(Logs().find("TUpdateApp.Execute"), std::string::npos);
  EXPECT_FALSE(fs::exists(FallbackFolder()));
}

TEST_F(UpdateThreadTest, StopEndsAStalledDownloadAtOnceAndLeavesNoPartialFile) {
  WriteConfig();
  MainAnswers(R"({"success":true,"DownloadUrl":"/files/stall.exe","md5":"s"})");
  // Shared with the server's thread, which may outlive this test body.
  auto serving = std::make_shared<std::atomic<bool>>(false);
  auto release = std::make_shared<std::atomic<bool>>(false);
  (*main_).Get("/files/stall.exe", [serving, release](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(1 << 20, "application/octet-stream",
                             [serving, release](size_t offset, size_t, httplib::DataSink& sink) {
                               if (offset == 0) {
                                 sink.write("partial", 7);
                                 *serving = true;
                                 return true;
                               }
                               while (!*release) std::this_thread::sleep_for(10ms);  // stalls
                               return false;
                             });
  });
  auto thread = std::make_unique<TUpdateThread>(settings_);
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (!*serving && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
  *release = !*serving;  // nothing to wait for when the download never began
  ASSERT_TRUE(*serving);
  const auto t0 = std::chrono::steady_clock::now();
  thread.reset();
  // Far below the download's ten-minute receive time-out: the stop shut the socket.
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 10s);
  *release = true;
  EXPECT_TRUE(FilesIn(MainFolder()).empty());
}

// The program closing while the check still waits for its connection to be accepted (a
// server behind a firewall that drops packets) ends it at once, not at its connect time-out.
TEST_F(UpdateThreadTest, StopEndsACheckStillConnectingAtOnce) {
  WriteConfig();
  StalledPort stalled;
  ASSERT_NE(stalled.port, 0);
  settings_.mainPort = stalled.port;
  auto thread = std::make_unique<TUpdateThread>(settings_);
  EXPECT_FALSE(thread->WaitFinished(300ms)) << "the stalled port answered";
  const auto t0 = std::chrono::steady_clock::now();
  thread.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
  EXPECT_EQ(fallbackChecks_, 0);
}

}  // namespace
}  // namespace zent
