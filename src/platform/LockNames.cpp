#include "platform/LockNames.h"

namespace zent::platform {

bool IsGlobalLockName(std::string_view name) { return name.starts_with(kGlobalLockPrefix); }

std::string_view BareLockName(std::string_view name) {
  if (name.starts_with(kGlobalLockPrefix)) name.remove_prefix(kGlobalLockPrefix.size());
  else if (name.starts_with(kLocalLockPrefix)) name.remove_prefix(kLocalLockPrefix.size());
  return name;
}

std::string EncodeFileName(std::string_view name, Capitals capitals) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
                       (c >= 'A' && c <= 'Z' && capitals == Capitals::Kept) || (c == '.' && i > 0);
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace zent::platform
