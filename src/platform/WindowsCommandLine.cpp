#include "platform/WindowsCommandLine.h"

namespace zent::platform {

std::string QuoteWindowsArgument(std::string_view argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos) {
    return std::string(argument);
  }
  std::string out = "\"";
  size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      // Backslashes before a quote are escapes: double them, then escape the quote itself.
      out.append(backslashes * 2 + 1, '\\');
      out += '"';
    } else {
      out.append(backslashes, '\\');
      out += c;
    }
    backslashes = 0;
  }
  // Backslashes before the closing quote would escape it.
  out.append(backslashes * 2, '\\');
  out += '"';
  return out;
}

std::string WindowsCommandLine(std::string_view program, const std::vector<std::string>& args) {
  std::string line = "\"" + std::string(program) + "\"";
  for (const auto& arg : args) line += " " + QuoteWindowsArgument(arg);
  return line;
}

}  // namespace zent::platform
