// Names of the update service: the installation base and its two package folders, the
// package file names and their checks, finding a package, the URL clean-up and the short
// version the web application's check expects. Plain functions, no network, no state.
#pragma once

#include <string>
#include <string_view>

namespace zent {

inline constexpr char kMainPackageFolder[] = "Temp/ExeBuf/";
inline constexpr char kMainPackagePrefix[] = "DO2_U_";
inline constexpr char kFallbackPackageFolder[] = "Temp/ExeBuf_O/";
inline constexpr char kFallbackPackagePrefix[] = "LumoBrowserUpdate_";

// The installation base of a program path: its folder (ending in "/") without any path
// component named "bin" or "DeviceMgr" (any case), so a program in <base>/bin/ and a helper
// in <base>/DeviceMgr/ share one base.
std::string InstallBaseOf(std::string_view programPath);
// The two package folders of the running program (each ending in "/").
std::string MainPackageFolder();
std::string FallbackPackageFolder();

// The full path of the first "*.exe" file (extension in any case, regular files only,
// directory order) directly in `folder` whose name starts with `prefix` (exact case);
// empty when there is none or the folder cannot be listed.
std::string FindPackage(const std::string& folder, std::string_view prefix);

// Every "//" not preceded by ":" becomes "/", so joined URL pieces keep one slash while
// "http://" stays.
std::string CleanUrl(std::string_view url);

// The characters before the third "."; a text with fewer dots is returned whole (and logged
// as "GetVer: %s").
std::string GetVer(std::string_view version);

// The last "." of a download path and what follows it, ".exe" when there is none.
std::string DownloadExtension(std::string_view downloadUrl);

// Whether a name given by the server may become part of a package file name: not empty, at
// most 200 bytes, valid UTF-8, no path separator, no "..", no control character and none of
// the characters file names may not hold ( " * : < > ? ` | ) and no "%" (which the Windows
// hand-off script's interpreter would expand).
bool IsSafePackageNamePart(std::string_view name);

}  // namespace zent
