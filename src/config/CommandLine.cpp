#include "config/CommandLine.h"

#include "common/Encoding.h"

namespace zent {

CommandLine::CommandLine(int argc, const char* const* argv) {
  for (int i = 0; i < argc; ++i) args_.emplace_back(argv[i] ? argv[i] : "");
}

std::optional<std::string> CommandLine::SubUrl() const {
  for (size_t i = 1; i < args_.size(); ++i)
    if (EqualsNoCase(args_[i], "-suburl")) return i + 1 < args_.size() ? args_[i + 1] : "";
  return std::nullopt;
}

std::optional<std::string> CommandLine::LastValueOf(std::string_view option) const {
  std::optional<std::string> value;
  // Every position counts, the value of another option included, and the last one wins.
  for (size_t i = 1; i < args_.size(); ++i)
    if (EqualsNoCase(args_[i], option)) value = i + 1 < args_.size() ? args_[i + 1] : "";
  return value;
}

std::optional<std::string> CommandLine::Ip() const { return LastValueOf("-ip"); }

std::optional<std::string> CommandLine::Url() const { return LastValueOf("-url"); }

bool CommandLine::ForDebug() const {
  for (size_t i = 1; i < args_.size(); ++i)
    if (EqualsNoCase(args_[i], "-fordebug")) return true;
  return false;
}

bool CommandLine::IsSubScreenArg() const {
  for (const auto& a : args_)
    if (AsciiLower(a).find("-suburl") != std::string::npos) return true;
  return false;
}

std::string CommandLine::InstanceName() const {
  return HasSubUrl() ? kSubScreenInstanceName : kMainInstanceName;
}

bool CommandLine::IsEngineSubProcess() const {
  for (size_t i = 1; i < args_.size(); ++i) {
    std::string_view a = args_[i];
    // The engine stops reading switches at a bare "--"; what follows is not a switch.
    if (a == "--") return false;
    if (a.starts_with("--")) a.remove_prefix(2);
    else if (a.starts_with("-")) a.remove_prefix(1);
    else continue;
    // The main process has no type, and an empty one means the same.
    if (a.size() > 5 && EqualsNoCase(a.substr(0, 5), "type=")) return true;
  }
  return false;
}

}  // namespace zent
