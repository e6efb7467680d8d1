// The status texts the pages leave for themselves: one text per page address, keys compared
// without regard to ASCII case, shown again when that page loads anew. Addresses carry query
// parts (one per order, per table...), so a long day would pile up entries without end: the
// list keeps the most recently set entries, at most kMaxEntries of them and kMaxTotalBytes of
// addresses and texts together, and forgets the oldest beyond that. An entry over
// kMaxEntryBytes (an address of many kilobytes) is not kept at all. The texts are expected
// capped for display already (PageText.h); the byte bounds hold whatever comes.
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
  static constexpr size_t kMaxEntryBytes = 8192;
  static constexpr size_t kMaxTotalBytes = 1024 * 1024;

  // A page's new text: added when the address has none (an empty text too); replaces the
  // one it has, and an empty text then removes the entry.
  void Set(const std::string& pageAddress, const std::string& text);
  // The text remembered for the address; nullopt when there is no entry.
  std::optional<std::string> Find(const std::string& pageAddress) const;
  void Clear();
  size_t Size() const { return texts_.size(); }
  // Bytes of the addresses and texts kept.
  size_t Bytes() const { return bytes_; }

 private:
  struct Entry {
    std::string text;
    std::list<std::string>::iterator age;
  };
  std::unordered_map<std::string, Entry> texts_;  // by the address folded to lower case
  std::list<std::string> ages_;                   // folded keys, most recently set first
  size_t bytes_ = 0;

  void Remove(std::unordered_map<std::string, Entry>::iterator it);
};

}  // namespace zent
