#include "update/UpdateAnswers.h"

#include <nlohmann/json.hpp>

#include "common/Errors.h"

namespace zent {
namespace {

using nlohmann::json;

json ParseObject(std::string_view text) {
  // No exceptions from the parser itself: a damaged text is one clear failure.
  json doc = json::parse(text.begin(), text.end(), nullptr, false);
  if (doc.is_discarded()) throw Exception("应答不是有效的JSON");
  if (!doc.is_object()) throw Exception("应答不是JSON对象");
  return doc;
}

// A text member: missing or null gives `fallback`; another type is a failure.
std::string TextMember(const json& doc, const char* name, const std::string& fallback = {}) {
  const auto it = doc.find(name);
  if (it == doc.end() || it->is_null()) return fallback;
  if (!it->is_string()) throw Exception(std::string(name) + "不是文本");
  return it->get<std::string>();
}

// A boolean member: missing counts as false; only a real true is true.
bool BoolMember(const json& doc, const char* name) {
  const auto it = doc.find(name);
  return it != doc.end() && it->is_boolean() && it->get<bool>();
}

}  // namespace

std::string MainCheckRequestBody(const std::string& version) {
  nlohmann::ordered_json body;
  body["type"] = "BrowserV2";
  body["version"] = version;
  return "\xEF\xBB\xBF" + body.dump(2, ' ', false, json::error_handler_t::replace);
}

TMainCheckAnswer ParseMainCheckAnswer(std::string_view text) {
  const json doc = ParseObject(text);
  if (!BoolMember(doc, "success")) {
    const auto msg = doc.find("msg");
    if (msg == doc.end() || msg->is_null()) throw Exception("??");
    throw Exception(msg->is_string() ? msg->get<std::string>()
                                     : msg->dump(-1, ' ', false, json::error_handler_t::replace));
  }
  TMainCheckAnswer answer;
  answer.DownloadUrl = TextMember(doc, "DownloadUrl");
  answer.md5 = TextMember(doc, "md5");
  return answer;
}

std::string FallbackRequestBody(const std::string& curVer, const std::string& systemVer) {
  nlohmann::ordered_json body;
  body["curVer"] = curVer;
  body["systemVer"] = systemVer;
  return body.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string ParseFallbackAnswer(std::string_view text) {
  const json doc = ParseObject(text);
  if (!BoolMember(doc, "doesNeedUpdate")) return {};
  return TextMember(doc, "fileName");
}

}  // namespace zent
