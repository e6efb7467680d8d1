// The pattern that decides whether a log entry repeats the previous one: a Perl-compatible
// regular expression over UTF-8 text, case-sensitive, "^"/"$" matching at line breaks and
// "." matching line breaks. A pattern that does not compile, or a failing match, is "no match".
#pragma once

#include <memory>
#include <string_view>

namespace zent {

class DuplicateMask {
 public:
  explicit DuplicateMask(std::string_view pattern);
  ~DuplicateMask();
  DuplicateMask(const DuplicateMask&) = delete;
  DuplicateMask& operator=(const DuplicateMask&) = delete;

  bool Matches(std::string_view text) const;
  bool Valid() const { return code_ != nullptr; }

 private:
  struct Code;
  std::unique_ptr<Code> code_;
};

}  // namespace zent
