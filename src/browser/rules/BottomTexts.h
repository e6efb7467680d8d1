// The status texts the pages leave for themselves: one text per page address, keys compared
// without regard to ASCII case, shown again when that page loads anew. Addresses carry query
// parts (one per order, per table...), so a long day would pile up entries without end: the
// list keeps the most recently set kMaxEntries and forgets the oldest beyond that.
#pragma once

#include <cstddef>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>

namespace zent {

class TBottomTexts {
 public:
  static constexpr size_t kMaxEntries = 1024;

  // A page's new text: added when the address has none (an empty text too); replaces the
  // one it has, and an empty text then removes the entry.
  void Set(const std::string& pageAddress, const std::string& text);
  // The text remembered for the address; nullopt when there is no entry.
  std::optional<std::string> Find(const std::string& pageAddress) const;
  void Clear();
  size_t Size() const { return texts_.size(); }

 private:
  struct Entry {
    std::string text;
    std::list<std::string>::iterator age;
  };
  std::unordered_map<std::string, Entry> texts_;  // by the address folded to lower case
  std::list<std::string> ages_;                   // folded keys, most recently set first
};

}  // namespace zent
