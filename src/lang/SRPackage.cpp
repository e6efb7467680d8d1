#include "lang/SRPackage.h"

#include <filesystem>
#include <memory>
#include <fstream>
#include <istream>
#include <ostream>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include "common/Encoding.h"
#include "common/Format.h"
#include "platform/FsPath.h"
#include "platform/TextCase.h"

namespace zent {
namespace {

// Reads the package's fields from a stream whose size is known up front, so that no length
// field is trusted beyond the bytes that really follow it.
class FieldReader {
 public:
  explicit FieldReader(std::istream& in) : in_(in) {
    in_.clear();
    in_.seekg(0, std::ios::end);
    const std::streamoff end = in_.tellg();
    in_.seekg(0, std::ios::beg);
    if (end < 0 || !in_) throw ESRFormatError("语言文件无法读取");
    size_ = static_cast<uint64_t>(end);
  }

  bool AtEnd() const { return pos_ >= size_; }

  uint32_t U32() {
    unsigned char b[4];
    Bytes(reinterpret_cast<char*>(b), sizeof b);
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
  }

  std::string Utf16Text() {
    const uint32_t length = U32();
    if (length % 2 != 0) throw ESRFormatError(Format("语言文件格式错误: 位置%llu的长度%u不是偶数",
                                                     static_cast<unsigned long long>(pos_ - 4), length));
    if (length > size_ - pos_)
      throw ESRFormatError(Format("语言文件格式错误: 位置%llu的长度%u超出文件",
                                  static_cast<unsigned long long>(pos_ - 4), length));
    std::string raw(length, '\0');
    Bytes(raw.data(), raw.size());
    return Utf16leToUtf8(raw);
  }

 private:
  void Bytes(char* out, size_t n) {
    if (n > size_ - pos_) throw ESRFormatError("语言文件格式错误: 文件不完整");
    if (n == 0) return;
    if (!in_.read(out, static_cast<std::streamsize>(n))) throw ESRFormatError("语言文件无法读取");
    pos_ += n;
  }

  std::istream& in_;
  uint64_t size_ = 0;
  uint64_t pos_ = 0;
};

void PutU32(std::ostream& out, uint32_t v) {
  const char b[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                     static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
  out.write(b, sizeof b);
}

void PutUtf16Text(std::ostream& out, std::string_view utf8) {
  const std::string raw = Utf8ToUtf16le(utf8);
  PutU32(out, static_cast<uint32_t>(raw.size()));
  out.write(raw.data(), static_cast<std::streamsize>(raw.size()));
}

// Opens an existing package file for reading; a missing file is the caller's error.
std::ifstream OpenExisting(const std::string& fileName) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(platform::FsPath(fileName), ec))
    throw Exception(Format("文件\"%s\"不存在", fileName.c_str()));
  // Linux has no share modes: a writer elsewhere is not kept out while we read.
  std::ifstream in(platform::FsPath(fileName), std::ios::binary);
  if (!in) throw ESRFormatError(Format("语言文件无法读取[%s]", fileName.c_str()));
  return in;
}

// Reads the version; true when it is ours.
bool ReadVersion(FieldReader& reader) { return reader.U32() == TSRPackage::kFormatVersion; }

TSRData ReadHeader(FieldReader& reader) {
  TSRData type;
  type.ID = platform::UpperCaseText(reader.Utf16Text());
  type.Value = reader.Utf16Text();
  return type;
}

}  // namespace

void TSRPackage::Load(const std::string& fileName) {
  std::ifstream in = OpenExisting(fileName);
  Load(in);
}

void TSRPackage::Load(std::istream& stream) {
  FDIC.clear();
  FieldReader reader(stream);
  if (!ReadVersion(reader)) return;
  FType = ReadHeader(reader);
  while (!reader.AtEnd()) {
    std::string key = platform::UpperCaseText(reader.Utf16Text());
    FDIC.insert_or_assign(std::move(key), reader.Utf16Text());
  }
}

bool TSRPackage::ReadFileType(const std::string& fileName, TSRData& type) {
  std::ifstream in = OpenExisting(fileName);
  FieldReader reader(in);
  if (!ReadVersion(reader)) return false;
  type = ReadHeader(reader);
  return true;
}

void TSRPackage::Save(const std::string& fileName) const {
  std::ofstream out(platform::FsPath(fileName), std::ios::binary | std::ios::trunc);
  if (!out) throw ESRFormatError(Format("语言文件无法写入[%s]", fileName.c_str()));
  Save(out);
  out.close();
  if (!out) throw ESRFormatError(Format("语言文件无法写入[%s]", fileName.c_str()));
}

void TSRPackage::Save(std::ostream& stream) const {
  PutU32(stream, kFormatVersion);
  PutUtf16Text(stream, FType.ID);
  PutUtf16Text(stream, FType.Value);
  for (const auto& [key, value] : FDIC) {
    PutUtf16Text(stream, key);
    PutUtf16Text(stream, value);
  }
}

bool TSRPackage::TryGetScript(std::string_view id, std::string& text) const {
  const auto it = FDIC.find(platform::UpperCaseText(id));
  if (it == FDIC.end()) return false;
  text = it->second;
  return true;
}

std::string TSRPackage::GetScript(std::string_view id) const {
  std::string text;
  TryGetScript(id, text);
  return text;
}

void TSRPackage::SetScript(std::string_view id, std::string text) {
  FDIC.insert_or_assign(platform::UpperCaseText(id), std::move(text));
}

void TSRPackage::SetType(const TSRData& type) {
  FType = type;
  FType.ID = platform::UpperCaseText(type.ID);
}

std::vector<std::string> TSRPackage::FindScripts(std::string_view pattern) const {
  int error = 0;
  PCRE2_SIZE offset = 0;
  std::unique_ptr<pcre2_code, decltype(&pcre2_code_free)> code(
      pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), PCRE2_UTF, &error,
                    &offset, nullptr),
      &pcre2_code_free);
  if (!code) {
    PCRE2_UCHAR message[256];
    pcre2_get_error_message(error, message, sizeof message);
    throw ESRFormatError(Format("无效的查找模式[%.*s]: %s", static_cast<int>(pattern.size()), pattern.data(),
                                reinterpret_cast<const char*>(message)));
  }
  std::unique_ptr<pcre2_match_data, decltype(&pcre2_match_data_free)> data(
      pcre2_match_data_create_from_pattern(code.get(), nullptr), &pcre2_match_data_free);
  if (!data) throw ESRFormatError("内存不足");
  std::vector<std::string> keys;
  for (const auto& entry : FDIC) {
    // Keys are valid UTF-8 (they were converted from UTF-16), so a failing match means "no".
    if (pcre2_match(code.get(), reinterpret_cast<PCRE2_SPTR>(entry.first.data()), entry.first.size(), 0,
                    PCRE2_NOTEMPTY, data.get(), nullptr) >= 0)
      keys.push_back(entry.first);
  }
  return keys;
}

}  // namespace zent
