// Windows: the command line split by the rules every C runtime follows (CommandLineToArgvW).
#include "../OwnArguments.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/WideText.h"

namespace zent {

std::vector<std::string> OwnArguments() {
  std::vector<std::string> args;
  int count = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!argv) return args;
  for (int i = 1; i < count; ++i) args.push_back(platform::win32::Narrow(argv[i]));
  ::LocalFree(argv);
  return args;
}

}  // namespace zent
