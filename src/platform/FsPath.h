// File-system paths from the program's UTF-8 strings and back. A std::filesystem::path (and
// so every fstream) built from a plain std::string reads it in the system's narrow encoding,
// which is not UTF-8 everywhere (a Windows code page, a POSIX locale other than UTF-8) and
// would turn non-ASCII names into others; built from UTF-8 code units it is exact everywhere.
// Every std::filesystem or fstream call on one of our strings goes through FsPath.
// Contract: no system call; nothing throws but std::bad_alloc.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zent::platform {

std::filesystem::path FsPath(std::string_view utf8);
std::string Utf8Of(const std::filesystem::path& path);
// The "/"-separated form, for names that are stored or compared rather than opened.
std::string GenericUtf8Of(const std::filesystem::path& path);

// Splitting a path text at its last separator: "/" here, "/" or "\\" where the system's own
// separator is the backslash (its paths come back from the system with it).
bool IsPathSeparator(char c);
// The index of the last separator, npos when there is none.
size_t LastSeparatorOf(std::string_view path);
// The folder part with its separator ("" when the path has none), and the name after it.
std::string FolderOf(std::string_view path);
std::string LeafOf(std::string_view path);

}  // namespace zent::platform
