// The arguments this test program was started with (without the program itself), as the
// system hands them over, readable before main: a copy of the program started by the code
// under test reports what reached it. Each system's part is in posix/ or win32/.
#pragma once

#include <string>
#include <vector>

namespace zent {

std::vector<std::string> OwnArguments();

}  // namespace zent
