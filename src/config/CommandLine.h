// The program's command line: the arguments as given and the options the program reads.
//   "-suburl" path   secondary-screen role (exact, case-insensitive, after the program path,
//                    first match wins)
//   "-ip" host       server host;   "-url" address   start address
//                    (both looked for in every position, an option's own value included;
//                    a later occurrence overrides an earlier one)
//   "-fordebug"      debug mode
// An option's value is the argument after it; a missing value is empty.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zent {

class CommandLine {
 public:
  CommandLine() = default;
  explicit CommandLine(std::vector<std::string> args) : args_(std::move(args)) {}
  CommandLine(int argc, const char* const* argv);

  // Argument 0 is the program path.
  const std::vector<std::string>& Args() const { return args_; }

  // The value of "-suburl"; nullopt when the option is absent.
  std::optional<std::string> SubUrl() const;
  bool HasSubUrl() const { return SubUrl().has_value(); }
  // The values of "-ip" and "-url"; nullopt when the option is absent.
  std::optional<std::string> Ip() const;
  std::optional<std::string> Url() const;
  bool ForDebug() const;

  // The looser role test used for window placement: any argument, the program path
  // included, contains "-suburl" in any letter case.
  bool IsSubScreenArg() const;

  // The name of this role's instance lock and activation notice.
  std::string InstanceName() const;

  // A helper process the browser engine started from our executable: it carries the engine's
  // process-type switch ("--type=renderer", ...).
  bool IsEngineSubProcess() const;

 private:
  std::optional<std::string> LastValueOf(std::string_view option) const;

  std::vector<std::string> args_;
};

inline constexpr char kMainInstanceName[] = "{90590EAD-140B-4B7A-8FDE-29B1D6581F4A}";
inline constexpr char kSubScreenInstanceName[] = "{0452E629-7C0A-4874-9DE2-01D635F66EEB}";

}  // namespace zent
