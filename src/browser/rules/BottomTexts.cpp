#include "browser/rules/BottomTexts.h"

namespace zent {
namespace {

std::string FoldKey(const std::string& address) {
  std::string key = address;
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

}  // namespace

void TBottomTexts::Set(const std::string& pageAddress, const std::string& text) {
  std::string key = FoldKey(pageAddress);
  auto it = texts_.find(key);
  if (it != texts_.end() && text.empty()) {
    Remove(it);
    return;
  }
  if (key.size() + text.size() > kMaxEntryBytes) {
    // Too large to keep: shown once, and an older text of the page must not come back.
    if (it != texts_.end()) Remove(it);
    return;
  }
  if (it == texts_.end()) {
    ages_.push_front(key);
    bytes_ += key.size() + text.size();
    texts_.emplace(std::move(key), Entry{text, ages_.begin()});
  } else {
    bytes_ = bytes_ - it->second.text.size() + text.size();
    it->second.text = text;
    ages_.splice(ages_.begin(), ages_, it->second.age);
  }
  // The entry just set is the newest and within kMaxEntryBytes, so it is never the one to go.
  while (texts_.size() > kMaxEntries || bytes_ > kMaxTotalBytes) Remove(texts_.find(ages_.back()));
}

void TBottomTexts::Remove(std::unordered_map<std::string, Entry>::iterator it) {
  bytes_ -= it->first.size() + it->second.text.size();
  ages_.erase(it->second.age);
  texts_.erase(it);
}

std::optional<std::string> TBottomTexts::Find(const std::string& pageAddress) const {
  const auto it = texts_.find(FoldKey(pageAddress));
  if (it == texts_.end()) return std::nullopt;
  return it->second.text;
}

void TBottomTexts::Clear() {
  texts_.clear();
  ages_.clear();
  bytes_ = 0;
}

}  // namespace zent
