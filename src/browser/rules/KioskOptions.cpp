#include "browser/rules/KioskOptions.h"

#include "common/ProfileFile.h"
#include "platform/Process.h"

namespace zent {

std::optional<bool> ReadOnOff(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (lower == "1" || lower == "yes" || lower == "true" || lower == "on") return true;
  if (lower == "0" || lower == "no" || lower == "false" || lower == "off") return false;
  return std::nullopt;
}

TKioskOptions DecideKioskOptions(const std::optional<std::string>& kioskSession,
                                 const std::optional<std::string>& hidePointer, std::string_view runOptionsValue) {
  TKioskOptions options;
  options.kioskSession = kioskSession && ReadOnOff(*kioskSession).value_or(false);
  std::optional<bool> hide;
  if (hidePointer) hide = ReadOnOff(*hidePointer);
  if (!hide) hide = ReadOnOff(runOptionsValue);
  options.hidePointer = hide.value_or(false);
  return options;
}

TKioskOptions ReadKioskOptions(const std::string& runOptionsFile) {
  return DecideKioskOptions(platform::EnvironmentValue(kKioskSessionVariable),
                            platform::EnvironmentValue(kHidePointerVariable),
                            ProfileFile(runOptionsFile).ReadString("Kiosk", "HidePointer", ""));
}

}  // namespace zent
