// printf-style formatting into std::string, the way the system's texts are built
// ("CompareVer异常[%s]。", "创建目录失败[%s]: %s").
#pragma once

#include <cstdarg>
#include <string>

namespace zent {

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* fmt, va_list args);

}  // namespace zent
