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
  if (it == texts_.end()) {
    if (texts_.size() >= kMaxEntries) {
      texts_.erase(ages_.back());
      ages_.pop_back();
    }
    ages_.push_front(key);
    texts_.emplace(std::move(key), Entry{text, ages_.begin()});
  } else if (text.empty()) {
    ages_.erase(it->second.age);
    texts_.erase(it);
  } else {
    it->second.text = text;
    ages_.splice(ages_.begin(), ages_, it->second.age);
  }
}

std::optional<std::string> TBottomTexts::Find(const std::string& pageAddress) const {
  const auto it = texts_.find(FoldKey(pageAddress));
  if (it == texts_.end()) return std::nullopt;
  return it->second.text;
}

void TBottomTexts::Clear() {
  texts_.clear();
  ages_.clear();
}

}  // namespace zent
