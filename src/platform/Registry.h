// The registry: keys with string and 32-bit values, kept in text hives in the ".reg"
// export format ("Windows Registry Editor Version 5.00").
//   HKEY_CURRENT_USER  -> $XDG_CONFIG_HOME/zent/registry/user.reg (else $HOME/.config/...)
//   HKEY_LOCAL_MACHINE -> <first folder of $XDG_CONFIG_DIRS, default /etc/xdg>/zent/registry/system.reg
// Windows: the real registry, always in its 64-bit view (no WOW6432Node redirection), and
// HivePath names the root. Key paths use "\" and compare without case. Every call reads the hive anew; every write
// replaces the hive atomically under a lock, so concurrent writers never lose each other's
// values and a crash never leaves half a file. A damaged hive reads as far as it parses.
// Contract: nothing throws; failures are error codes with the system's meaning
// (no_such_file_or_directory for a missing key or value, permission_denied for
// "access denied" and for writing through a key opened read-only, invalid_argument for
// a value of another type, a name no hive line can hold or a hive that is not a file, bad_file_descriptor for a
// key that is not open).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>

namespace zent::platform {

enum class RegRoot { CurrentUser, LocalMachine };

class RegistryKey {
 public:
  // Opens an existing key. `write` asks for write access: permission_denied when the
  // hive's folder or file may not be written.
  static std::error_code Open(RegRoot root, const std::string& path, bool write, RegistryKey& key);
  // Opens the key, creating it (and its parents) when missing; implies write access.
  static std::error_code Create(RegRoot root, const std::string& path, RegistryKey& key);

  std::error_code ReadString(const std::string& name, std::string& value) const;
  std::error_code ReadDword(const std::string& name, uint32_t& value) const;
  std::error_code WriteString(const std::string& name, const std::string& value);
  std::error_code WriteDword(const std::string& name, uint32_t value);

  // Hive file behind a root (for tests and diagnostics).
  static std::string HivePath(RegRoot root);

  bool IsOpen() const { return open_; }

 private:
  RegRoot root_ = RegRoot::CurrentUser;
  std::string path_;
  bool writable_ = false;
  bool open_ = false;
};

}  // namespace zent::platform
