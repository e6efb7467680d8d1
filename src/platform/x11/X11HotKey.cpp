// The desktop-wide key grab through xcb.
#include "platform/X11HotKey.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>

namespace zent::platform {
namespace {

constexpr uint32_t kKeysymAltL = 0xffe9;
constexpr uint32_t kKeysymAltR = 0xffea;
constexpr uint32_t kKeysymNumLock = 0xff7f;
// Shift, Lock, Control and Mod1..Mod5: the modifiers a key event's state can carry.
constexpr uint16_t kModifierBits = 0xff;

template <typename T>
using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

// The keyboard's key symbols, keycode by keycode.
class KeyboardMap {
 public:
  explicit KeyboardMap(xcb_connection_t* c) : reply_(nullptr, &std::free) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    min_ = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    reply_.reset(xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, static_cast<uint8_t>(count)), nullptr));
    if (!reply_) return;
    syms_ = xcb_get_keyboard_mapping_keysyms(reply_.get());
    symCount_ = xcb_get_keyboard_mapping_keysyms_length(reply_.get());
    perCode_ = reply_->keysyms_per_keycode;
  }

  bool Has(uint8_t keycode, uint32_t keysym) const {
    if (!syms_ || perCode_ == 0 || keycode < min_) return false;
    const int first = (keycode - min_) * perCode_;
    for (int i = first; i < first + perCode_ && i < symCount_; ++i) {
      if (syms_[i] == keysym) return true;
    }
    return false;
  }

  uint8_t Find(uint32_t keysym) const {
    if (!syms_ || perCode_ == 0) return 0;
    for (int i = 0; i < symCount_; ++i) {
      if (syms_[i] == keysym) return static_cast<uint8_t>(min_ + i / perCode_);
    }
    return 0;
  }

 private:
  XcbReply<xcb_get_keyboard_mapping_reply_t> reply_;
  const xcb_keysym_t* syms_ = nullptr;
  int symCount_ = 0;
  int perCode_ = 0;
  uint8_t min_ = 0;
};

// The modifier bit whose keys carry one of `keysyms`; 0 when none does.
uint16_t ModifierMaskOf(xcb_connection_t* c, const KeyboardMap& map, std::initializer_list<uint32_t> keysyms) {
  XcbReply<xcb_get_modifier_mapping_reply_t> reply(
      xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr), &std::free);
  if (!reply) return 0;
  const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply.get());
  const int per = reply->keycodes_per_modifier;
  uint16_t mask = 0;
  for (int mod = 0; mod < 8; ++mod) {
    for (int k = 0; k < per; ++k) {
      const uint8_t code = codes[mod * per + k];
      if (code == 0) continue;
      for (uint32_t sym : keysyms) {
        if (map.Has(code, sym)) mask |= static_cast<uint16_t>(1u << mod);
      }
    }
  }
  return mask;
}

}  // namespace

std::optional<X11KeyGrab> GrabAltKey(xcb_connection_t* c, uint32_t root, uint32_t keysym) {
  const KeyboardMap map(c);
  X11KeyGrab grab;
  grab.root = root;
  grab.keycode = map.Find(keysym);
  if (!root || !grab.keycode) return std::nullopt;
  grab.altMask = ModifierMaskOf(c, map, {kKeysymAltL, kKeysymAltR});
  if (!grab.altMask) grab.altMask = XCB_MOD_MASK_1;
  const uint16_t numLock = ModifierMaskOf(c, map, {kKeysymNumLock}) & ~grab.altMask;
  grab.ignoredMask = static_cast<uint16_t>(XCB_MOD_MASK_LOCK | numLock);

  // A grab matches its modifiers exactly, so every Lock/NumLock combination is grabbed.
  std::vector<uint16_t> sets = {0, XCB_MOD_MASK_LOCK};
  if (numLock) sets.insert(sets.end(), {numLock, static_cast<uint16_t>(numLock | XCB_MOD_MASK_LOCK)});
  for (uint16_t extra : sets) {
    const uint16_t modifiers = static_cast<uint16_t>(grab.altMask | extra);
    // Not owner events: the key comes to the root window even when one of ours has the focus.
    auto cookie = xcb_grab_key_checked(c, 0, root, modifiers, grab.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
      std::free(error);
      ReleaseAltKey(c, grab);
      return std::nullopt;
    }
    grab.grabbed.push_back(modifiers);
  }
  return grab;
}

void ReleaseAltKey(xcb_connection_t* c, const X11KeyGrab& grab) {
  if (grab.grabbed.empty()) return;
  for (uint16_t modifiers : grab.grabbed) xcb_ungrab_key(c, grab.keycode, grab.root, modifiers);
  xcb_flush(c);
}

X11KeyMatch MatchAltKey(const X11KeyGrab& grab, const void* message) {
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  const uint8_t type = event->response_type & 0x7f;
  if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return X11KeyMatch::Other;
  const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
  if (key->event != grab.root || key->detail != grab.keycode) return X11KeyMatch::Other;
  const uint16_t modifiers = key->state & kModifierBits & ~grab.ignoredMask;
  return type == XCB_KEY_PRESS && modifiers == grab.altMask ? X11KeyMatch::Pressed : X11KeyMatch::Swallow;
}

}  // namespace zent::platform
