#include <string_view>

#include "common/Utils.h"

namespace zent {
namespace {

constexpr std::string_view kPathChars = "\"*/:<>?`|";
constexpr std::string_view kFileNameChars = "\"*/:<>?\\`|";

std::string Clear(std::string_view text, std::string_view bad,
                  const std::function<std::string(char)>& replace) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (bad.find(c) == std::string_view::npos)
      out += c;
    else if (replace)
      out += replace(c);
  }
  return out;
}

}  // namespace

std::string ClearToPath(std::string_view path, std::string_view replacement) {
  return Clear(path, kPathChars, [&](char) { return std::string(replacement); });
}
std::string ClearToPath(std::string_view path, const std::function<std::string(char)>& replace) {
  return Clear(path, kPathChars, replace);
}
std::string ClearToFileName(std::string_view name, std::string_view replacement) {
  return Clear(name, kFileNameChars, [&](char) { return std::string(replacement); });
}
std::string ClearToFileName(std::string_view name, const std::function<std::string(char)>& replace) {
  return Clear(name, kFileNameChars, replace);
}

}  // namespace zent
