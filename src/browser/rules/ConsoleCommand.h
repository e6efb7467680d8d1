// The page command channel without a window: a console message read as a comma-separated
// list of name=value items, and the decision which command its ZENTCMD item names, with the
// parameters that command reads. Web content writes these texts, so every input is hostile:
// any length, any bytes, never an exception from parsing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zent {

// The items of one console message. Only the comma separates (blanks and line breaks belong
// to the items); an item starting with a double quote runs to the next undoubled quote, a
// doubled quote inside standing for one, and commas inside it do not split; a comma at the
// very end adds an empty item.
class TConsoleItems {
 public:
  explicit TConsoleItems(std::string_view text);

  const std::vector<std::string>& Items() const { return items_; }
  // The value of the first item whose name (the text before its first "=") equals `name`
  // without regard to ASCII case; empty when no item has that name.
  std::string Value(std::string_view name) const;
  bool Has(std::string_view name) const;
  // Every item followed by CR LF, the way the failure texts list the message.
  std::string Text() const;

 private:
  const std::string* Find(std::string_view name) const;

  std::vector<std::string> items_;
};

enum class TPageCommandKind {
  FullScreen,
  FullScreenOn,
  FullScreenOff,
  ZentShop,
  CloseBrowser,
  RefuseCloseBrowser,
  AllowCloseBrowser,
  OpenUrl,
  PlayADParam,
  ResetDeviceMgr,
  MinimizeBrowser,
  LumoLogin,
};

// The screen rectangle and address of an advertisement video.
struct TAdParams {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  std::string url;
};

struct TPageCommand {
  TPageCommandKind kind = TPageCommandKind::FullScreen;
  // ZentShop: MsgText; OpenUrl: the address; LumoLogin: Params.
  std::string text;
  // PlayADParam with every number readable.
  std::optional<TAdParams> ad;
  // PlayADParam with a number missing or unreadable: the complete failure text.
  std::string failure;
  // PlayADParam: the message's items, for a failure that happens later (starting the player).
  std::string itemsText;
};

// The command a console message names, or nullopt when it names none (no ZENTCMD item, an
// empty or unknown command, an openurl without an address). Cheap for messages that cannot
// hold a command: they are recognised before any item is built.
std::optional<TPageCommand> ParseConsoleCommand(std::string_view message);

// "播放视频失败[参数[<items>],错误[<error>]]": how a failed video command is reported.
std::string PlayADFailureText(const std::string& itemsText, const std::string& error);

// A 32-bit decimal integer (optional sign, digits only); nullopt otherwise.
std::optional<int32_t> ParseInt32(std::string_view text);

}  // namespace zent
