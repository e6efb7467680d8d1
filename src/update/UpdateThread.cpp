#include "update/UpdateThread.h"

#include <atomic>
#include <filesystem>
#include <memory>

#include "common/Encoding.h"
#include "common/Errors.h"
#include "common/FileLog.h"
#include "common/Format.h"
#include "common/Utils.h"
#include "platform/FsPath.h"
#include "platform/OsVersion.h"
#include "platform/PartialFile.h"
#include "update/HandOffRecord.h"
#include "update/HttpOpen.h"
#include "update/PackageDigest.h"
#include "update/TrustedKeys.h"
#include "update/UpdateAnswers.h"
#include "update/UpdateConfig.h"
#include "update/UpdateNames.h"
#include "platform/ErrorText.h"

namespace zent {
namespace {

constexpr THttpTimeouts kCheckTimeouts{5000, 3000, 5000};
const std::map<std::string, std::string> kJsonHeaders{{"Content-Type", "application/json"}};

std::string What(const std::exception& e) { return e.what(); }

void CreateFolder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(platform::FsPath(folder), ec);
  if (ec) throw Exception(Format("创建目录失败[%s]: %s", folder.c_str(), platform::ErrorText(ec).c_str()));
}

// Streams `url` into `file`, a new partial file in `folder`, and through `digest`. With
// `require200` any other status fails with its status text and nothing of its body is kept.
void DownloadTo(platform::PartialFile& file, TDigest& digest, const std::string& url, const std::string& folder,
                bool require200, const TUpdateSettings& settings, std::stop_token stop) {
  CreateFolder(folder);
  platform::RemoveStalePartialFiles(folder);
  if (auto ec = file.Create(folder))
    throw Exception(Format("创建临时文件失败[%s]: %s", folder.c_str(), platform::ErrorText(ec).c_str()));
  THttpRequest req;
  req.url = url;
  req.timeouts = {5000, 3000, settings.downloadResponseMs};
  req.stop = std::move(stop);
  if (require200) req.statusCheck = [](const THttpResponse& r) { return r.status == 200; };
  std::error_code writeError;
  bool tooLarge = false;
  THttpResponse resp;
  try {
    HttpOpen(req, resp, [&](const char* data, size_t size) {
      if (file.Size() + size > settings.maxPackageBytes) {
        tooLarge = true;
        return false;
      }
      writeError = file.Write(data, size);
      digest.Update(data, size);
      return !writeError;
    });
  } catch (const EHttpError&) {
    if (tooLarge)
      throw Exception(Format("升级包超过%llu字节", static_cast<unsigned long long>(settings.maxPackageBytes)));
    if (writeError) throw Exception("写入升级包失败: " + platform::ErrorText(writeError));
    throw;
  }
  if (require200 && resp.status != 200)
    throw Exception(resp.reason.empty() ? std::to_string(resp.status) : resp.reason);
}

// Throws with the reason when the downloaded bytes carry no valid signature of a trusted key.
void VerifyDownload(const platform::PartialFile& file, const std::vector<TrustedKey>& keys) {
  const SignatureCheck check = VerifyPackageSignature(file.ReadablePath(), keys);
  if (!check.valid) throw Exception("升级包签名无效: " + check.reason);
}

// Removes the package a previous run left, once the new one is complete.
std::error_code RemoveOldPackage(const std::string& folder, const char* prefix) {
  std::error_code ec;
  const std::string old = FindPackage(folder, prefix);
  if (!old.empty()) std::filesystem::remove(platform::FsPath(old), ec);
  return ec;
}

class Checks {
 public:
  Checks(const TUpdateSettings& settings, const std::vector<TrustedKey>& keys, TFileLog& log,
         std::stop_token stop)
      : settings_(settings), keys_(keys), log_(log), stop_(std::move(stop)) {}

  // false: the update service was not reached or did not answer 200.
  bool Main(const std::string& base) {
    log_.Log(0, "CurrVersion: " + settings_.appVersion);
    const std::string url = CleanUrl(base + "/autoupdate/checkupdate");
    log_.Log(0, "CheckUpdateURL: " + url);
    const std::string body = MainCheckRequestBody(settings_.appVersion);
    THttpRequest req{url, kJsonHeaders, &body, kCheckTimeouts, {}, {}, stop_};
    THttpResponse resp;
    std::string text;
    try {
      HttpOpen(req, resp, text, settings_.maxAnswerBytes);
    } catch (const std::exception& e) {
      log_.Log(0, "CheckUpdate: " + What(e));
      return stop_.stop_requested();
    }
    if (resp.status != 200) {
      log_.LogFmt(0, "CheckUpdate: %d %s", resp.status, resp.reason.c_str());
      return false;
    }
    try {
      log_.Log(0, text);
      TMainCheckAnswer answer;
      try {
        answer = ParseMainCheckAnswer(text);
      } catch (const std::exception& e) {
        throw Exception("升级查询失败: " + What(e));
      }
      if (answer.DownloadUrl.empty()) return true;
      if (answer.md5.empty()) throw Exception("MD5为空");
      if (stop_.stop_requested()) return true;
      DownloadMainPackage(base, answer);
    } catch (const std::exception& e) {
      log_.Log(2, "执行异常:" + What(e));
    }
    return true;
  }

  void Fallback() {
    std::string base;
    try {
      const std::string configFile =
          settings_.configFile.empty() ? UpdateConfigFileName() : settings_.configFile;
      base = FallbackBaseUrl(configFile);
      AppLog().Log(0, "GetBaseUrl: " + base);
    } catch (const std::exception& e) {
      AppLog().Log("GetBaseUrl", e);
    }
    if (Trim(base).empty()) return;
    try {
      FallbackCheck(base);
    } catch (const std::exception& e) {
      AppLog().Log("TUpdateApp.Execute", e);
    }
  }

 private:
  void DownloadMainPackage(const std::string& base, const TMainCheckAnswer& answer) {
    const std::string extension = DownloadExtension(answer.DownloadUrl);
    const std::string folder = settings_.installBase + kMainPackageFolder;
    try {
      // Server-given names never leave the package folder.
      if (!IsSafePackageNamePart(answer.md5) || !IsSafePackageNamePart(extension))
        throw Exception(Format("升级包名称无效[%s%s]", answer.md5.c_str(), extension.c_str()));
      const std::string name = kMainPackagePrefix + answer.md5 + extension;
      if (TFailedPackages(folder).Contains(name)) {
        log_.Log(1, "升级包曾安装失败，不再下载: " + name);
        return;
      }
      log_.Log(0, "DownloadUpdate: " + answer.DownloadUrl);
      platform::PartialFile file;
      TDigest md5(TDigest::Kind::Md5);
      DownloadTo(file, md5, CleanUrl(base + answer.DownloadUrl), folder, true, settings_, stop_);
      if (stop_.stop_requested()) return;
      // A refused download is discarded with `file`: it never gets a package name.
      if (auto refusal = Md5Refusal(answer.md5, md5.Hex())) throw Exception(*refusal);
      VerifyDownload(file, keys_);
      if (auto ec = RemoveOldPackage(folder, kMainPackagePrefix))
        log_.Log(2, "自动升级清除升级包异常：" + platform::ErrorText(ec));
      const std::string path = folder + name;
      if (auto ec = file.Commit(path))
        throw Exception(Format("保存升级包失败[%s]: %s", path.c_str(), platform::ErrorText(ec).c_str()));
      log_.Log(0, "DownloadUpdate.Saved: " + path);
    } catch (const std::exception& e) {
      throw Exception("下载升级包失败: " + What(e));
    }
  }

  void FallbackCheck(const std::string& base) {
    const std::string curVer = GetVer(settings_.appVersion);
    const std::string url = CleanUrl(base + "/canyin/sys/autoupdate/checkbrowserupdatev2");
    const std::string body = FallbackRequestBody(curVer, platform::OsMajorMinorVersion());
    AppLog().Log(0, "GetUpdate: " + url);
    AppLog().Log(0, "GetUpdate.Params: " + body);
    THttpRequest req{url, kJsonHeaders, &body, kCheckTimeouts, {}, {}, stop_};
    THttpResponse resp;
    std::string text;
    HttpOpen(req, resp, text, settings_.maxAnswerBytes);
    AppLog().Log(0, "GetUpdate.Response: " + text);
    if (resp.status != 200) return;
    const std::string fileName = ParseFallbackAnswer(text);
    if (fileName.empty()) return;
    // Server-given names never leave the package folder.
    if (!IsSafePackageNamePart(fileName))
      throw Exception(Format("升级包名称无效[%s]", fileName.c_str()));
    AppLog().Log(0, Format("TUpdateApp %s --> %s", curVer.c_str(), fileName.c_str()));
    const std::string folder = settings_.installBase + kFallbackPackageFolder;
    const std::string name = kFallbackPackagePrefix + fileName;
    if (TFailedPackages(folder).Contains(name)) {
      AppLog().Log(1, "升级包曾安装失败，不再下载: " + name);
      return;
    }
    const std::string downloadUrl =
        CleanUrl(base + "/canyin/index/browser/browserv2" + "?filename=" + fileName);
    AppLog().Log(0, "DownloadApp->Url: " + downloadUrl);

    platform::PartialFile file;
    TDigest digest(TDigest::Kind::Md5);  // the fallback announces no digest
    try {
      // The status is not checked: whatever arrives and carries a valid signature is kept,
      // and the hand-off at start deletes what is no newer program.
      DownloadTo(file, digest, downloadUrl, folder, false, settings_, stop_);
      if (stop_.stop_requested()) return;
      VerifyDownload(file, keys_);
    } catch (const std::exception& e) {
      throw Exception("自动升级下载升级包异常：" + What(e));
    }
    if (stop_.stop_requested()) return;
    if (auto ec = RemoveOldPackage(folder, kFallbackPackagePrefix))
      throw Exception("自动升级清除升级包异常：" + platform::ErrorText(ec));
    const std::string path = folder + name;
    if (auto ec = file.Commit(path)) throw Exception("自动升级保存升级包异常：" + platform::ErrorText(ec));
    AppLog().Log(0, "DownloadApp: " + path);
  }

  const TUpdateSettings& settings_;
  const std::vector<TrustedKey>& keys_;
  TFileLog& log_;
  std::stop_token stop_;
};

}  // namespace

TUpdateSettings DefaultUpdateSettings() {
  TUpdateSettings s;
  s.appVersion = GetAppVersion();
  s.installBase = InstallBaseOf(GetAppFileName());
  return s;
}

TUpdateThread::TUpdateThread(TUpdateSettings settings)
    : settings_(std::move(settings)), thread_([this](std::stop_token st) { Execute(st); }) {}

TUpdateThread::~TUpdateThread() {
  thread_.request_stop();
  if (thread_.joinable()) thread_.join();
}

bool TUpdateThread::WaitFinished(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return finished_.wait_for(lock, timeout, [this] { return done_; });
}

void TUpdateThread::Execute(std::stop_token stop) {
  std::unique_ptr<TFileLog> ownLog;
  try {
    ownLog = std::make_unique<TFileLog>("UpdateCheck", "", "", TFileLogOptions{floNoIndex}, flsDay, flsDay);
  } catch (const std::exception& e) {
    AppLog().Log("UpdateCheck", e);  // the check still runs, logging to the application log
  }
  TFileLog& log = ownLog ? *ownLog : AppLog();
  try {
    std::string base;
    try {
      const std::string configFile =
          settings_.configFile.empty() ? UpdateConfigFileName() : settings_.configFile;
      base = MainBaseUrl(configFile, settings_.mainPort);
    } catch (const std::exception& e) {
      log.Log(2, "获取检查升级服务器失败: " + What(e));
      base.clear();
    }
    if (!base.empty() && !stop.stop_requested()) {
      const std::vector<TrustedKey> keys =
          settings_.keys ? *settings_.keys
                         : LoadTrustedKeys(kUpdateKeyFolder, [&log](const std::string& line) { log.Log(1, line); });
      Checks checks(settings_, keys, log, stop);
      if (!checks.Main(base) && !stop.stop_requested()) checks.Fallback();
    }
  } catch (const std::exception& e) {
    log.Log("TUpdateThread", e);  // nothing may escape the thread
  }
  ownLog.reset();
  {
    std::lock_guard lock(mutex_);
    done_ = true;
  }
  finished_.notify_all();
}

// ---- module ----

namespace {

struct UpdateModule {
  std::mutex mutex;
  std::atomic<bool> started{false};
  std::unique_ptr<TUpdateThread> thread;
  ~UpdateModule() { thread.reset(); }
};

UpdateModule& Module() {
  static UpdateModule module;
  return module;
}

}  // namespace

void StartUpdateCheck() {
  if (Module().started.exchange(true)) return;
  auto thread = std::make_unique<TUpdateThread>(DefaultUpdateSettings());
  std::lock_guard lock(Module().mutex);
  Module().thread = std::move(thread);
}

void FinalizeUpdateCheck() {
  std::unique_ptr<TUpdateThread> thread;
  {
    std::lock_guard lock(Module().mutex);
    thread = std::move(Module().thread);
  }
  // `thread` goes here: stopped and joined outside the module lock.
}

}  // namespace zent
