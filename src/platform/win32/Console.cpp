// Windows: standard input is a console when its handle is a character device.
#include "platform/Console.h"

#include <windows.h>

namespace zent::platform {

bool StandardInputIsTerminal() noexcept {
  const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
  if (in == nullptr || in == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  // NUL is a character device too; only a console has a console mode.
  return ::GetFileType(in) == FILE_TYPE_CHAR && ::GetConsoleMode(in, &mode);
}

}  // namespace zent::platform
