// Names that the platform layer's implementations turn into files: a lock name's namespace
// ("Global\" for the machine, "Local\" or none for the session) and any name made safe as one
// file name. For the implementation files only; the layer's users see NamedLock.h.
#pragma once

#include <string>
#include <string_view>

namespace zent::platform {

inline constexpr std::string_view kGlobalLockPrefix = "Global\\";
inline constexpr std::string_view kLocalLockPrefix = "Local\\";

// The name is machine-wide ("Global\…").
bool IsGlobalLockName(std::string_view name);
// The name without its namespace prefix.
std::string_view BareLockName(std::string_view name);

// Capital letters stay as they are (file names that tell case apart) or are encoded too (file
// names that ignore case, where "A" and "a" would otherwise share a file).
enum class Capitals { Kept, Encoded };

// Every byte outside [a-z0-9._-] (and [A-Z] when capitals are kept), and a leading ".", is
// percent-encoded, so two names never share a file and no name can climb out of its folder or
// hide.
std::string EncodeFileName(std::string_view name, Capitals capitals = Capitals::Kept);

}  // namespace zent::platform
