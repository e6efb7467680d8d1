// TSRPackage: a keyed table of texts with a small header (identifier and display value),
// stored as a length-prefixed UTF-16LE file. Language files are such packages: the header
// names the language, the entries map texts to their translations.
//
// File layout (little-endian, no alignment, no byte-order mark): u32 version (always 1),
// then the header identifier and the header value, then key/value entries to the end of
// the file; every string is a u32 byte length followed by that many bytes of UTF-16LE.
// Keys and the header identifier are held upper-cased (platform::UpperCaseText), so every
// lookup ignores case; values are kept as written.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/Errors.h"

namespace zent {

// A language file that cannot be read as a package: a string running past the end of the
// file, a length that is not a whole number of UTF-16 units, a file that cannot be read.
ZENT_DECLARE_ERROR(ESRFormatError, Exception)

struct TSRData {
  std::string ID;
  std::string Value;
  bool operator==(const TSRData&) const = default;
};

class TSRPackage {
 public:
  static constexpr uint32_t kFormatVersion = 1;

  // Throws Exception 文件"<name>"不存在 for a missing file, ESRFormatError for a damaged one.
  void Load(const std::string& fileName);
  // Reads from the stream's start to its end. Another version leaves the package empty (the
  // header keeps its previous value); a damaged stream throws ESRFormatError and leaves the
  // entries read so far. A later duplicate key replaces the earlier value.
  void Load(std::istream& stream);
  // Reads only the header. False for another version; the same errors as Load.
  static bool ReadFileType(const std::string& fileName, TSRData& type);

  // Creates or truncates the file; throws ESRFormatError when it cannot be written.
  void Save(const std::string& fileName) const;
  void Save(std::ostream& stream) const;

  bool TryGetScript(std::string_view id, std::string& text) const;
  // Empty when absent.
  std::string GetScript(std::string_view id) const;
  void SetScript(std::string_view id, std::string text);
  // Every key the Perl-compatible pattern matches (case-sensitive; keys are upper-cased, so
  // patterns are written for upper-case text; an empty match does not count).
  // Throws ESRFormatError for a pattern that does not compile.
  std::vector<std::string> FindScripts(std::string_view pattern) const;

  const TSRData& Type() const { return FType; }
  void SetType(const TSRData& type);
  // Entries in key order (the enumeration order of saving and FindScripts).
  const std::map<std::string, std::string>& Entries() const { return FDIC; }

 private:
  TSRData FType;
  std::map<std::string, std::string> FDIC;
};

}  // namespace zent
