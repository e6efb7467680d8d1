// The bodies of the two update checks: the requests we send and the parsers of the answers,
// which come from the network and are therefore untrusted (malformed JSON, wrong types,
// missing members, any size). A parser returns the decision or throws zent::Exception with
// the text the log shows; it never crashes and never trusts a name (the caller checks names
// before they touch the file system).
#pragma once

#include <string>
#include <string_view>

namespace zent {

// The update service's check (port 7100): UTF-8 with byte-order mark, two-space indentation,
// {"type": "BrowserV2", "version": <version>}.
std::string MainCheckRequestBody(const std::string& version);

struct TMainCheckAnswer {
  std::string DownloadUrl;  // empty: no update
  std::string md5;
};
// Throws with the server's "msg" ("??" when missing) when "success" is not true, and with a
// description of the damage when the text is no JSON object or a member has the wrong type.
// "md5" is not checked here (an empty one is the caller's "MD5为空").
TMainCheckAnswer ParseMainCheckAnswer(std::string_view text);

// The web application's check: compact UTF-8 {"curVer": ..., "systemVer": ...}.
std::string FallbackRequestBody(const std::string& curVer, const std::string& systemVer);

// "fileName" when "doesNeedUpdate" is true, else empty. Throws for a text that is no JSON
// object or members of the wrong type.
std::string ParseFallbackAnswer(std::string_view text);

}  // namespace zent
