#include "common/TextFill.h"

namespace zent {

std::string FillText(const std::string& pattern, const std::string& value) {
  return FillTexts(pattern, {value});
}

std::string FillTexts(std::string_view pattern, std::initializer_list<std::string_view> values) {
  std::string out;
  out.reserve(pattern.size());
  auto next = values.begin();
  size_t i = 0;
  for (; i + 1 < pattern.size() && next != values.end(); ++i) {
    if (pattern[i] == '%' && (pattern[i + 1] == 's' || pattern[i + 1] == 'd')) {
      out += *next++;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  out.append(pattern.substr(i));
  return out;
}

}  // namespace zent
