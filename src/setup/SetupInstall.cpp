#include "setup/SetupInstall.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "common/Encoding.h"
#include "common/PrivatePath.h"
#include "common/Utils.h"
#include "install/InstallRegistration.h"
#include "platform/Console.h"
#include "platform/FsPath.h"
#include "platform/InstallFiles.h"
#include "platform/Process.h"
#include "setup/SetupArchive.h"
#include "platform/ErrorText.h"

namespace zent::setup {
namespace {

namespace fs = std::filesystem;

constexpr char kStagingPrefix[] = ".Lumo7Setup.";

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

// Leftovers of an installer that was interrupted before it finished.
void RemoveOldStaging(const std::string& target) {
  std::error_code ec;
  for (fs::directory_iterator it(platform::FsPath(target), ec), end; !ec && it != end; it.increment(ec)) {
    if (platform::Utf8Of(it->path().filename()).starts_with(kStagingPrefix)) {
      std::error_code ignored;
      fs::remove_all(it->path(), ignored);
    }
  }
}

void Check(const std::error_code& ec, const std::string& what) {
  if (ec) throw std::runtime_error(what + ": " + platform::ErrorText(ec));
}

}  // namespace

SetupOptions ParseSetupOptions(const std::vector<std::string>& args) {
  SetupOptions o;
  for (const auto& a : args) {
    const std::string upper = AsciiUpper(a);
    if (upper == "/SILENT" || upper == "/VERYSILENT")
      o.silent = true;
    else if (upper == "/NOCANCEL")
      o.noCancel = true;
    else if (upper.starts_with("/DIR="))
      o.dir = a.substr(5);
  }
  return o;
}

std::string RecordedInstallFolder() {
  const std::string folder = GetInstallLocation();
  std::error_code ec;
  // A link is not followed: the entry must name the folder itself.
  if (folder.empty() || !fs::is_directory(fs::symlink_status(platform::FsPath(folder), ec))) return {};
  return folder;
}

bool IsSystemInstall(const SetupOptions& options, uint32_t effectiveUser) {
  return effectiveUser == 0 && !options.dir.empty();
}

std::string ChooseTargetFolder(const SetupOptions& options, const std::string& recorded, bool systemInstall) {
  if (!recorded.empty() && !systemInstall) return recorded;
  return options.dir;
}

std::string WhySystemTargetRefused(const std::string& target, uint32_t owner) {
  return WhyFolderNotPrivate(target, owner, /*mayBeMissing=*/true);
}

int InstallPayload(const std::string& self, const std::string& targetIn, std::string& error) {
  std::ifstream file(platform::FsPath(self), std::ios::binary);
  std::error_code ec;
  const uint64_t size = file ? fs::file_size(platform::FsPath(self), ec) : 0;
  Trailer trailer;
  if (!file || ec || !ReadTrailer(file, InstallerDataSize(file, size), trailer) || !VerifyPayload(file, trailer)) {
    error = "安装数据已损坏: " + self;
    return kSetupDamaged;
  }
  const std::string target = WithSlash(targetIn);
  fs::create_directories(platform::FsPath(target), ec);
  if (ec || !fs::is_directory(platform::FsPath(target), ec)) {
    error = "无法创建安装目录 " + target;
    return kSetupNotBegun;
  }
  RemoveOldStaging(target);
  const std::string staging = target + kStagingPrefix + std::to_string(platform::CurrentProcessId()) + "/";
  std::vector<PayloadEntry> entries;
  try {
    // 1. Everything into the hidden folder, on disk before anything installed is touched.
    // Made here and now: a folder already under that name (or a link) is not ours.
    if (!fs::create_directory(platform::FsPath(staging), ec) && !ec) ec = std::make_error_code(std::errc::file_exists);
    Check(ec, staging);
    ReadPayload(
        file, trailer,
        [&](const PayloadEntry& e) {
          fs::create_directories(platform::FsPath(staging + e.name), ec);
          Check(ec, e.name);
          entries.push_back(e);
        },
        [&](const PayloadEntry& e, const FileReader& read) {
          const std::string path = staging + e.name;
          fs::create_directories(platform::FsPath(path).parent_path(), ec);
          {
            std::ofstream out(platform::FsPath(path), std::ios::binary | std::ios::trunc);
            std::string_view piece;
            while (out && read(piece)) out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
            out.close();
            if (!out) throw std::runtime_error("写入失败 " + path);
          }
          fs::permissions(platform::FsPath(path), fs::perms(e.mode & 0755), ec);
          Check(ec, path);
          Check(platform::FlushToDisk(path), path);
          entries.push_back(e);
        });
  } catch (const std::exception& e) {
    fs::remove_all(platform::FsPath(staging), ec);
    error = e.what();
    return kSetupFailed;  // the installed program is untouched
  }

  // 2. One rename per file over the installed one (the main program comes last).
  try {
    for (const auto& e : entries) {
      const std::string dest = target + e.name;
      if (e.folder) {
        fs::create_directories(platform::FsPath(dest), ec);
        Check(ec, dest);
      } else {
        fs::rename(platform::FsPath(staging + e.name), platform::FsPath(dest), ec);
        Check(ec, dest);
      }
      Check(platform::ShareWithFolderGroup(dest, target), dest);
    }
    Check(platform::FlushToDisk(target), target);
  } catch (const std::exception& e) {
    fs::remove_all(platform::FsPath(staging), ec);
    error = e.what();
    return kSetupFailed;
  }
  fs::remove_all(platform::FsPath(staging), ec);
  return kSetupOk;
}

int RunSetup(const std::string& self, const std::vector<std::string>& args) {
  const SetupOptions options = ParseSetupOptions(args);
  const bool systemInstall = IsSystemInstall(options, platform::EffectiveUserId());
  const std::string target =
      ChooseTargetFolder(options, systemInstall ? std::string() : RecordedInstallFolder(), systemInstall);
  if (target.empty()) {
    std::fprintf(stderr, "找不到安装目录：没有已安装的程序，也没有 /DIR= 指定的目录。\n");
    return kSetupNotBegun;
  }
  if (systemInstall) {
    if (const std::string why = WhySystemTargetRefused(target, 0); !why.empty()) {
      std::fprintf(stderr, "拒绝以 root 身份安装到他人可修改的目录：%s\n", why.c_str());
      return kSetupNotBegun;
    }
  }
  if (!options.silent) {
    if (!platform::StandardInputIsTerminal()) {
      std::fprintf(stderr, "安装到 %s 需要确认；无人值守时请使用 /SILENT。\n", target.c_str());
      return kSetupNotBegun;
    }
    std::fprintf(stderr, "安装到 %s ? [y/N] ", target.c_str());
    std::string answer;
    std::getline(std::cin, answer);
    if (answer != "y" && answer != "Y") return kSetupNotBegun;
  }
  std::string error;
  const int code = InstallPayload(self, target, error);
  if (code != kSetupOk) std::fprintf(stderr, "安装失败：%s\n", error.c_str());
  return code;
}

}  // namespace zent::setup
