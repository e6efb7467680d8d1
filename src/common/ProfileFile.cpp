#include "common/ProfileFile.h"

#include <filesystem>

#include "common/Format.h"
#include "platform/AtomicFile.h"
#include "platform/FsPath.h"
#include "platform/ErrorText.h"

namespace zent {
namespace {

// The file's bytes; a file that is missing, unreadable or too large reads as empty.
std::string ReadForLookup(const std::string& fileName) {
  std::string bytes;
  if (platform::ReadWholeFile(fileName, ProfileFile::kMaxFileSize, bytes)) bytes.clear();
  return bytes;
}

std::string FolderOf(const std::string& fileName) {
  const std::string folder = platform::Utf8Of(platform::FsPath(fileName).parent_path());
  return folder.empty() ? std::string(".") : folder;
}

}  // namespace

std::optional<int32_t> ParseProfileInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const bool hex = text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (hex) text.remove_prefix(2);
  if (text.empty()) return std::nullopt;
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  uint64_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return std::nullopt;
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (value > limit) return std::nullopt;
  }
  // Wrap-around in 32 bits: "0xFFFFFFFF" is -1, "-2147483648" fits.
  uint32_t bits = static_cast<uint32_t>(value);
  if (negative) bits = 0u - bits;
  return static_cast<int32_t>(bits);
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
  const auto value = ProfileText(ReadForLookup(fileName_)).Find(section, key);
  return value ? *value : std::string(defaultValue);
}

int32_t ProfileFile::ReadInteger(std::string_view section, std::string_view key,
                                 int32_t defaultValue) const {
  const auto value = ProfileText(ReadForLookup(fileName_)).Find(section, key);
  if (!value) return defaultValue;
  return ParseProfileInteger(*value).value_or(defaultValue);
}

bool ProfileFile::ReadBool(std::string_view section, std::string_view key,
                           bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void ProfileFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
  const std::string folder = FolderOf(fileName_);
  platform::FolderLock lock;
  if (const auto ec = lock.Acquire(folder)) {
    if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory)
      throw EProfileError(Format("写入配置文件失败[%s]: %s", fileName_.c_str(), platform::ErrorText(ec).c_str()));
    // Any other lock failure (a folder we may write but not list, say) only costs the
    // protection against a concurrent writer; the write itself can still succeed.
  }

  std::string bytes;
  const auto readError = platform::ReadWholeFile(fileName_, kMaxFileSize, bytes);
  const bool exists = !readError;
  // Never replace a file we could not read in full: its content would be lost.
  if (readError && readError != std::errc::no_such_file_or_directory)
    throw EProfileError(Format("读取配置文件失败[%s]: %s", fileName_.c_str(), platform::ErrorText(readError).c_str()));

  ProfileText text(bytes);
  text.Set(section, key, value);
  if (exists && text.Bytes() == bytes) return;  // already stored: spare the disk a rewrite
  if (const auto ec = platform::ReplaceFile(fileName_, text.Bytes()))
    throw EProfileError(Format("写入配置文件失败[%s]: %s", fileName_.c_str(), platform::ErrorText(ec).c_str()));
}

void ProfileFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void ProfileFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

}  // namespace zent
