#include "browser/rules/ConsoleCommand.h"

#include <array>
#include <charconv>
#include <utility>

namespace zent {
namespace {

constexpr char kQuote = '"';
constexpr char kComma = ',';

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// `needle` must be lower case.
bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
  if (needle.size() > haystack.size()) return false;
  for (size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
    if (LowerAscii(haystack[i]) != needle[0]) continue;
    size_t k = 1;
    while (k < needle.size() && LowerAscii(haystack[i + k]) == needle[k]) ++k;
    if (k == needle.size()) return true;
  }
  return false;
}

// Blanks in the sense of a trim: the space and every control character below it.
bool OnlyBlanks(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) > 0x20) return false;
  }
  return true;
}

constexpr std::array<std::pair<std::string_view, TPageCommandKind>, 7> kLeadingCommands{{
    {"FullScreen", TPageCommandKind::FullScreen},
    {"FullScreenOn", TPageCommandKind::FullScreenOn},
    {"FullScreenOff", TPageCommandKind::FullScreenOff},
    {"ZentShop", TPageCommandKind::ZentShop},
    {"CloseBrowser", TPageCommandKind::CloseBrowser},
    {"RefuseCloseBrowser", TPageCommandKind::RefuseCloseBrowser},
    {"AllowCloseBrowser", TPageCommandKind::AllowCloseBrowser},
}};

constexpr std::array<std::pair<std::string_view, TPageCommandKind>, 4> kTrailingCommands{{
    {"PlayADParam", TPageCommandKind::PlayADParam},
    {"ResetDeviceMgr", TPageCommandKind::ResetDeviceMgr},
    {"MinimizeBrowser", TPageCommandKind::MinimizeBrowser},
    {"LumoLogin", TPageCommandKind::LumoLogin},
}};

// The address of an openurl value: between the first "(" and the first ")" after it.
std::optional<std::string> OpenUrlAddress(std::string_view value) {
  const size_t open = value.find('(');
  if (open == std::string_view::npos) return std::nullopt;
  const size_t close = value.find(')', open + 1);
  if (close == std::string_view::npos) return std::nullopt;
  const std::string_view address = value.substr(open + 1, close - open - 1);
  if (OnlyBlanks(address)) return std::nullopt;
  return std::string(address);
}

void ReadAdParams(const TConsoleItems& items, TPageCommand& command) {
  command.itemsText = items.Text();
  TAdParams ad;
  // Read in this order so the failure names the first number that does not convert.
  const std::pair<const char*, int32_t*> numbers[] = {
      {"Left", &ad.left}, {"Top", &ad.top}, {"Heigh", &ad.height}, {"Width", &ad.width}};
  for (const auto& [name, target] : numbers) {
    const std::string text = items.Value(name);
    const auto value = ParseInt32(text);
    if (!value) {
      command.failure = PlayADFailureText(command.itemsText, "'" + text + "' is not a valid integer value");
      return;
    }
    *target = *value;
  }
  ad.url = items.Value("URL");
  command.ad = std::move(ad);
}

}  // namespace

TConsoleItems::TConsoleItems(std::string_view text) {
  size_t pos = 0;
  const size_t end = text.size();
  while (pos < end) {
    std::string item;
    if (text[pos] == kQuote) {
      // Quoted: up to the next undoubled quote (or the end of the text when none closes it).
      ++pos;
      while (pos < end) {
        if (text[pos] == kQuote) {
          if (pos + 1 < end && text[pos + 1] == kQuote) {
            item += kQuote;
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        const size_t next = text.find(kQuote, pos);
        const size_t stop = next == std::string_view::npos ? end : next;
        item.append(text.substr(pos, stop - pos));
        pos = stop;
      }
    } else {
      const size_t comma = text.find(kComma, pos);
      const size_t stop = comma == std::string_view::npos ? end : comma;
      item.assign(text.substr(pos, stop - pos));
      pos = stop;
    }
    items_.push_back(std::move(item));
    // Whatever follows a closing quote up to the next comma starts a further item.
    if (pos < end && text[pos] == kComma) {
      ++pos;
      if (pos == end) items_.emplace_back();
    }
  }
}

const std::string* TConsoleItems::Find(std::string_view name) const {
  for (const std::string& item : items_) {
    const size_t eq = item.find('=');
    if (eq == std::string::npos) continue;
    if (EqualsNoCase(std::string_view(item).substr(0, eq), name)) return &item;
  }
  return nullptr;
}

std::string TConsoleItems::Value(std::string_view name) const {
  const std::string* item = Find(name);
  if (!item) return {};
  return item->substr(item->find('=') + 1);
}

bool TConsoleItems::Has(std::string_view name) const { return Find(name) != nullptr; }

std::string TConsoleItems::Text() const {
  std::string out;
  for (const std::string& item : items_) {
    out += item;
    out += "\r\n";
  }
  return out;
}

std::optional<TPageCommand> ParseConsoleCommand(std::string_view message) {
  // Most console output is the page's own noise: without the item name there is no command.
  if (!ContainsNoCase(message, "zentcmd")) return std::nullopt;
  const TConsoleItems items(message);
  const std::string value = items.Value("ZENTCMD");
  if (value.empty()) return std::nullopt;

  TPageCommand command;
  auto known = [&](const auto& table) {
    for (const auto& [name, kind] : table) {
      if (EqualsNoCase(value, name)) {
        command.kind = kind;
        return true;
      }
    }
    return false;
  };
  if (known(kLeadingCommands)) {
    if (command.kind == TPageCommandKind::ZentShop) command.text = items.Value("MsgText");
    return command;
  }
  if (ContainsNoCase(value, "openurl")) {
    auto address = OpenUrlAddress(value);
    if (!address) return std::nullopt;
    command.kind = TPageCommandKind::OpenUrl;
    command.text = std::move(*address);
    return command;
  }
  if (!known(kTrailingCommands)) return std::nullopt;
  if (command.kind == TPageCommandKind::PlayADParam) ReadAdParams(items, command);
  if (command.kind == TPageCommandKind::LumoLogin) command.text = items.Value("Params");
  return command;
}

std::string PlayADFailureText(const std::string& itemsText, const std::string& error) {
  return "播放视频失败[参数[" + itemsText + "],错误[" + error + "]]";
}

std::optional<int32_t> ParseInt32(std::string_view text) {
  // from_chars takes a minus but no plus; a sign must be followed by a digit.
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (text.empty() || text.front() == '-') return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace zent
