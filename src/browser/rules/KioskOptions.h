// What the kiosk X session tells the program and whether the pointer is hidden. The session
// script exports LUMO7_KIOSK_SESSION=1 (a tap on the empty screen then brings a minimised
// browser back) and, from /etc/default/lumo7browser, LUMO7_HIDE_POINTER=yes or no. Without a
// session's word the run options decide ([Kiosk] HidePointer=1, for unpackaged use); the
// pointer shows by default.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zent {

inline constexpr const char* kKioskSessionVariable = "LUMO7_KIOSK_SESSION";
inline constexpr const char* kHidePointerVariable = "LUMO7_HIDE_POINTER";

struct TKioskOptions {
  bool kioskSession = false;  // runs in the kiosk X session (no panel, nothing to restore from)
  bool hidePointer = false;   // no visible pointer over the program's windows
};

// "1", "yes", "true", "on" and "0", "no", "false", "off" (any case, blanks around ignored);
// nullopt for anything else, an empty text included.
std::optional<bool> ReadOnOff(std::string_view text);

// The session's values (nullopt: the variable is not set) and the run options' HidePointer
// value (empty: absent). A session value that reads as on or off wins over the run options;
// one that does not leaves the choice to them.
TKioskOptions DecideKioskOptions(const std::optional<std::string>& kioskSession,
                                 const std::optional<std::string>& hidePointer, std::string_view runOptionsValue);

// The environment's variables and the run-options file `runOptionsFile`'s [Kiosk] HidePointer.
TKioskOptions ReadKioskOptions(const std::string& runOptionsFile);

}  // namespace zent
