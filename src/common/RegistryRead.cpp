// ReadRegString: one string value, the key opened read-only and never created.
#include "common/Utils.h"

namespace zent {

bool ReadRegString(platform::RegRoot root, const std::string& keyPath, const std::string& name,
                   std::string& value) {
  platform::RegistryKey key;
  if (platform::RegistryKey::Open(root, keyPath, /*write=*/false, key)) return false;
  std::string read;
  if (key.ReadString(name, read)) return false;  // missing value or unreadable hive
  value = std::move(read);
  return true;
}

}  // namespace zent
