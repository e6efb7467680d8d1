// POSIX: the registry roots are ".reg" text hives in the XDG configuration folders.
// Readers open the hive, read it whole and close it; they never lock or change it, which
// is safe because writers replace the file by rename. Writers serialise on an flock'ed
// lock file beside the hive, re-read under the lock, and write a synced temporary file
// that is renamed over the hive, so no writer loses another's values and a crash leaves
// either the old or the new file.
#include "platform/Registry.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/posix/UniqueFd.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

#include "platform/RegHive.h"

namespace zent::platform {
namespace {

// A hive beyond this is not read past the limit, and never rewritten (that would cut it).
constexpr size_t kMaxHiveBytes = 64u << 20;

std::error_code FromErrno(int e) {
  if (e == EACCES || e == EPERM || e == EROFS) return std::make_error_code(std::errc::permission_denied);
  return {e, std::system_category()};
}

std::string_view RootName(RegRoot root) {
  return root == RegRoot::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

// "SOFTWARE\ZENT" under a root as the hive writes it; surrounding backslashes ignored.
std::string FullKey(RegRoot root, std::string_view path) {
  while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  std::string key(RootName(root));
  if (!path.empty()) key += "\\" + std::string(path);
  return key;
}

bool IsRootKey(RegRoot root, const std::string& key) { return key == RootName(root); }

std::string Folder(const std::string& file) { return file.substr(0, file.rfind('/')); }


// A missing hive is an empty one. `complete` tells whether the whole file was read.
std::error_code ReadHive(const std::string& path, RegHive& hive, bool& complete) {
  complete = true;
  hive = RegHive{};
  // Non-blocking, so a FIFO planted in the hive's place cannot hang the reader.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) {
    if (errno == ENOENT) return {};
    return FromErrno(errno);
  }
  struct stat st{};
  if (::fstat(fd.get(), &st) != 0) return FromErrno(errno);
  if (!S_ISREG(st.st_mode)) return std::make_error_code(std::errc::invalid_argument);
  std::string bytes;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return FromErrno(errno);
    }
    if (n == 0) break;
    if (bytes.size() + static_cast<size_t>(n) > kMaxHiveBytes) {
      complete = false;
      bytes.append(buf, kMaxHiveBytes - bytes.size());
      break;
    }
    bytes.append(buf, static_cast<size_t>(n));
  }
  hive = RegHive::Parse(bytes);
  return {};
}

std::error_code MakeFolders(const std::string& folder, mode_t mode) {
  if (folder.empty()) return {};
  struct stat st{};
  if (::stat(folder.c_str(), &st) == 0) {
    return S_ISDIR(st.st_mode) ? std::error_code() : std::make_error_code(std::errc::not_a_directory);
  }
  if (errno != ENOENT) return FromErrno(errno);
  if (auto ec = MakeFolders(Folder(folder), mode)) return ec;
  if (::mkdir(folder.c_str(), mode) != 0 && errno != EEXIST) return FromErrno(errno);
  return {};
}

// Write access as a writer needs it: the hive's folder (or the first existing folder
// above it, where it would be created) must take new files.
std::error_code CheckWritable(const std::string& hivePath) {
  std::string folder = Folder(hivePath);
  for (;;) {
    struct stat st{};
    if (::stat(folder.c_str(), &st) == 0) break;
    if (errno != ENOENT || folder.empty()) return FromErrno(errno);
    folder = Folder(folder);
  }
  if (folder.empty()) folder = "/";
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return FromErrno(errno);
  return {};
}

// One locked read-change-replace cycle. `change` returns false when nothing changed.
std::error_code UpdateHive(RegRoot root, const std::function<bool(RegHive&)>& change) {
  const std::string path = RegistryKey::HivePath(root);
  if (path.empty()) return std::make_error_code(std::errc::no_such_file_or_directory);
  const bool user = root == RegRoot::CurrentUser;
  const std::string folder = Folder(path);
  if (auto ec = MakeFolders(folder, user ? 0700 : 0755)) return ec;

  // flock needs no write access, so a lock file created by another user still serves.
  UniqueFd lock(::open((path + ".lock").c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, user ? 0600 : 0644));
  if (lock.get() < 0) return FromErrno(errno);
  while (::flock(lock.get(), LOCK_EX) != 0) {
    if (errno != EINTR) return FromErrno(errno);
  }

  RegHive hive;
  bool complete = true;
  if (auto ec = ReadHive(path, hive, complete)) return ec;
  if (!complete) return std::make_error_code(std::errc::file_too_large);
  if (!change(hive)) return {};

  if (auto ec = ReplaceFile(path, hive.Serialise(), user ? 0600 : 0644)) {
    return ec.category() == std::system_category() ? FromErrno(ec.value()) : ec;
  }
  return {};
}

}  // namespace

std::string RegistryKey::HivePath(RegRoot root) {
  if (root == RegRoot::CurrentUser) {
    const auto config = RoamingAppDataFolder();
    return config ? *config + "zent/registry/user.reg" : std::string();
  }
  std::string first = "/etc/xdg";
  if (const char* dirs = std::getenv("XDG_CONFIG_DIRS"); dirs && *dirs) {
    const std::string_view all = dirs;
    const std::string_view head = all.substr(0, all.find(':'));
    // The basedir rules ignore relative entries; so does this.
    if (!head.empty() && head.front() == '/') first = std::string(head);
  }
  return first + "/zent/registry/system.reg";
}

std::error_code RegistryKey::Open(RegRoot root, const std::string& path, bool write, RegistryKey& key) {
  key = RegistryKey{};
  const std::string full = FullKey(root, path);
  if (!RegHive::IsValidKeyPath(full)) return std::make_error_code(std::errc::invalid_argument);
  const std::string hivePath = HivePath(root);
  if (hivePath.empty()) return std::make_error_code(std::errc::no_such_file_or_directory);
  if (!IsRootKey(root, full)) {
    RegHive hive;
    bool complete = true;
    if (auto ec = ReadHive(hivePath, hive, complete)) return ec;
    if (!hive.HasKey(full)) return std::make_error_code(std::errc::no_such_file_or_directory);
  }
  if (write) {
    if (auto ec = CheckWritable(hivePath)) return ec;
  }
  key.root_ = root;
  key.path_ = full;
  key.writable_ = write;
  key.open_ = true;
  return {};
}

std::error_code RegistryKey::Create(RegRoot root, const std::string& path, RegistryKey& key) {
  key = RegistryKey{};
  const std::string full = FullKey(root, path);
  if (!RegHive::IsValidKeyPath(full)) return std::make_error_code(std::errc::invalid_argument);
  if (auto ec = CheckWritable(HivePath(root))) return ec;
  const auto ec = UpdateHive(root, [&](RegHive& hive) {
    if (IsRootKey(root, full) || hive.HasKey(full)) return false;
    hive.AddKey(full);
    return true;
  });
  if (ec) return ec;
  key.root_ = root;
  key.path_ = full;
  key.writable_ = true;
  key.open_ = true;
  return {};
}

namespace {

std::error_code FindValue(RegRoot root, const std::string& key, const std::string& name, RegHive& hive,
                          const RegValue*& value) {
  bool complete = true;
  if (auto ec = ReadHive(RegistryKey::HivePath(root), hive, complete)) return ec;
  value = hive.FindValue(key, name);
  if (!value) return std::make_error_code(std::errc::no_such_file_or_directory);
  return {};
}

}  // namespace

std::error_code RegistryKey::ReadString(const std::string& name, std::string& value) const {
  if (!open_) return std::make_error_code(std::errc::bad_file_descriptor);
  RegHive hive;
  const RegValue* v = nullptr;
  if (auto ec = FindValue(root_, path_, name, hive, v)) return ec;
  if (v->type != RegValueType::String) return std::make_error_code(std::errc::invalid_argument);
  value = v->text;
  return {};
}

std::error_code RegistryKey::ReadDword(const std::string& name, uint32_t& value) const {
  if (!open_) return std::make_error_code(std::errc::bad_file_descriptor);
  RegHive hive;
  const RegValue* v = nullptr;
  if (auto ec = FindValue(root_, path_, name, hive, v)) return ec;
  if (v->type != RegValueType::Dword) return std::make_error_code(std::errc::invalid_argument);
  value = v->dword;
  return {};
}

std::error_code RegistryKey::WriteString(const std::string& name, const std::string& value) {
  if (!open_) return std::make_error_code(std::errc::bad_file_descriptor);
  if (!writable_) return std::make_error_code(std::errc::permission_denied);
  if (!RegHive::IsValidValueName(name)) return std::make_error_code(std::errc::invalid_argument);
  return UpdateHive(root_, [&](RegHive& hive) {
    hive.SetString(path_, name, value);
    return true;
  });
}

std::error_code RegistryKey::WriteDword(const std::string& name, uint32_t value) {
  if (!open_) return std::make_error_code(std::errc::bad_file_descriptor);
  if (!writable_) return std::make_error_code(std::errc::permission_denied);
  if (!RegHive::IsValidValueName(name)) return std::make_error_code(std::errc::invalid_argument);
  return UpdateHive(root_, [&](RegHive& hive) {
    hive.SetDword(path_, name, value);
    return true;
  });
}

}  // namespace zent::platform
