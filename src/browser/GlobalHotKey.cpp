#include "browser/GlobalHotKey.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QKeySequence>
#include <QShortcut>
#include <QWidget>
#include <cstdlib>
#include <memory>

#include "browser/X11InputWindow.h"
#include "common/FileLog.h"

namespace zent {
namespace {

constexpr uint32_t kKeysymF12 = 0xffc9;
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

GlobalHotKey::GlobalHotKey(QWidget* window, std::function<void()> handler)
    : QObject(window), handler_(std::move(handler)) {
  if (Grab()) {
    AppLog().Log(0, "HotKey Alt+F12: grabbed for the desktop");
    return;
  }
  // Not reported to the operator: the status-bar image still opens the window.
  fallback_ = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F12), window);  // owned by the window
  fallback_->setContext(Qt::ApplicationShortcut);
  connect(fallback_, &QShortcut::activated, this, [this] { handler_(); });
  AppLog().Log(0, "HotKey Alt+F12: no desktop grab, a shortcut of the program's windows instead");
}

GlobalHotKey::~GlobalHotKey() { Ungrab(); }

bool GlobalHotKey::Grab() {
  connection_ = X11Connection();
  if (!connection_) return false;
  root_ = X11RootWindow(connection_);
  const KeyboardMap map(connection_);
  keycode_ = map.Find(kKeysymF12);
  if (!root_ || !keycode_) return false;
  altMask_ = ModifierMaskOf(connection_, map, {kKeysymAltL, kKeysymAltR});
  if (!altMask_) altMask_ = XCB_MOD_MASK_1;
  const uint16_t numLock = ModifierMaskOf(connection_, map, {kKeysymNumLock}) & ~altMask_;
  ignoredMask_ = static_cast<uint16_t>(XCB_MOD_MASK_LOCK | numLock);

  // A grab matches its modifiers exactly, so every Lock/NumLock combination is grabbed.
  std::vector<uint16_t> sets = {0, XCB_MOD_MASK_LOCK};
  if (numLock) sets.insert(sets.end(), {numLock, static_cast<uint16_t>(numLock | XCB_MOD_MASK_LOCK)});
  for (uint16_t extra : sets) {
    const uint16_t modifiers = static_cast<uint16_t>(altMask_ | extra);
    // Not owner events: the key comes to the root window even when one of ours has the focus.
    auto cookie = xcb_grab_key_checked(connection_, 0, root_, modifiers, keycode_, XCB_GRAB_MODE_ASYNC,
                                       XCB_GRAB_MODE_ASYNC);
    if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
      std::free(error);
      Ungrab();
      return false;
    }
    grabbed_.push_back(modifiers);
  }
  QCoreApplication::instance()->installNativeEventFilter(this);
  return true;
}

void GlobalHotKey::Ungrab() {
  if (grabbed_.empty()) return;
  auto* app = QCoreApplication::instance();
  if (app) app->removeNativeEventFilter(this);
  // Without the application its connection is gone, and the grabs with it.
  if (app && X11Connection() == connection_) {
    for (uint16_t modifiers : grabbed_) xcb_ungrab_key(connection_, keycode_, root_, modifiers);
    xcb_flush(connection_);
  }
  grabbed_.clear();
}

bool GlobalHotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  const uint8_t type = event->response_type & 0x7f;
  if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
  const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
  if (key->event != root_ || key->detail != keycode_) return false;
  const uint16_t modifiers = key->state & kModifierBits & ~ignoredMask_;
  if (type == XCB_KEY_PRESS && modifiers == altMask_) Fire();
  return true;
}

void GlobalHotKey::Fire() {
  QMetaObject::invokeMethod(this, [this] { handler_(); }, Qt::QueuedConnection);
}

}  // namespace zent
