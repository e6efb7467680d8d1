// Web content writes the console: any bytes must parse without a crash or an exception, and
// what a command carries must come from the message itself.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "browser/rules/ConsoleCommand.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const zent::TConsoleItems items(text);
  size_t total = 0;
  for (const auto& item : items.Items()) total += item.size();
  // Unquoting only removes characters.
  if (total > size) std::abort();
  (void)items.Value("ZENTCMD");

  const auto command = zent::ParseConsoleCommand(text);
  if (!command) return 0;
  if (command->text.size() > size) std::abort();
  if (command->kind == zent::TPageCommandKind::OpenUrl && command->text.empty()) std::abort();
  if (command->kind == zent::TPageCommandKind::PlayADParam && command->ad.has_value() == !command->failure.empty()) {
    std::abort();  // exactly one of the two outcomes
  }
  return 0;
}
