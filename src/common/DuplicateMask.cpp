#include "common/DuplicateMask.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace zent {

struct DuplicateMask::Code {
  pcre2_code* code = nullptr;
  ~Code() { pcre2_code_free(code); }
};

DuplicateMask::DuplicateMask(std::string_view pattern) {
  int error = 0;
  PCRE2_SIZE offset = 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                   PCRE2_UTF | PCRE2_MULTILINE | PCRE2_DOTALL, &error, &offset,
                                   nullptr);
  if (code) {
    code_ = std::make_unique<Code>();
    code_->code = code;
  }
}

DuplicateMask::~DuplicateMask() = default;

bool DuplicateMask::Matches(std::string_view text) const {
  if (!code_) return false;
  pcre2_match_data* data = pcre2_match_data_create_from_pattern(code_->code, nullptr);
  if (!data) return false;
  // Invalid UTF-8 in the text is a match error, which counts as no match.
  const int rc = pcre2_match(code_->code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0,
                             0, data, nullptr);
  pcre2_match_data_free(data);
  return rc >= 0;
}

}  // namespace zent
