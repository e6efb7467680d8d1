// TLanguageResource: the texts of one language, read from its language file (a TSRPackage)
// once on first use and kept in memory. Not locked: the language selection serialises access.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "lang/SRPackage.h"

namespace zent {

class TLanguageResource {
 public:
  // Reads the file; false (and the reason logged) when it is missing or damaged, in which
  // case no text of the file is used and every lookup falls back.
  bool Load(const std::string& id, const std::string& fileName);

  const std::string& ID() const { return FID; }
  bool Loaded() const { return FLoaded; }

  // The text for `key` (matched upper-cased), or `defaultValue` when the language has none.
  std::string Get(std::string_view key, std::string_view defaultValue) const;
  // Replaces the text for `key` in memory (an override from "LanguageEx.ini").
  void Update(std::string_view key, std::string value);
  // Keys matching a Perl-compatible pattern written for upper-case text.
  std::vector<std::string> FindKeys(std::string_view pattern) const;

 private:
  std::string FID;
  TSRPackage FSRP;
  bool FLoaded = false;
};

}  // namespace zent
