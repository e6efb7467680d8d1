#include "browser/secondary/SubScreenChannel.h"

#include <chrono>

#include "common/FileLog.h"
#include "common/Format.h"
#include "platform/ErrorText.h"

namespace zent {
namespace {

// A process whose event loop runs reads the request within milliseconds; one that does not
// answer in this time is hung and is not waited for.
constexpr std::chrono::milliseconds kReceiptWait{5000};
// The close query may show the refusal box on the second display, which waits for a person:
// long enough to walk over and answer it, bounded so that a box nobody answers (or a window
// that hangs while closing) cannot keep the main instance from ending.
constexpr std::chrono::milliseconds kAnswerWait{120000};

}  // namespace

struct SubScreenChannel::Caller {
  explicit Caller(platform::WindowChannelPeer p) : peer(std::move(p)) {}
  platform::WindowChannelPeer peer;
  std::unique_ptr<QSocketNotifier> notifier;
};

SubScreenChannel::SubScreenChannel(CloseHandler onClose, QObject* parent)
    : QObject(parent), onClose_(std::move(onClose)) {}

SubScreenChannel::~SubScreenChannel() = default;

bool SubScreenChannel::Open(const std::string& identity) {
  if (auto ec = server_.Open(identity)) {
    AppLog().Log(2, Format("副屏窗口标识不可用[%s]: %s", identity.c_str(),
                           platform::ErrorText(ec).c_str()));
    return false;
  }
  notifier_ = std::make_unique<QSocketNotifier>(server_.Readable().EventLoopSocket(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { AcceptAll(); });
  return true;
}

void SubScreenChannel::AcceptAll() {
  while (auto peer = server_.Accept()) {
    auto caller = std::make_unique<Caller>(std::move(*peer));
    Caller* raw = caller.get();
    caller->notifier = std::make_unique<QSocketNotifier>(raw->peer.Readable().EventLoopSocket(), QSocketNotifier::Read);
    connect(raw->notifier.get(), &QSocketNotifier::activated, this, [this, raw] { ReadCaller(raw); });
    callers_.push_back(std::move(caller));
  }
}

void SubScreenChannel::ReadCaller(Caller* caller) {
  bool ended = false;
  const auto message = caller->peer.ReadMessage(ended);
  if (ended) {
    Drop(caller);
    return;
  }
  if (!message) return;  // the rest of the request is still on its way
  caller->notifier->setEnabled(false);
  caller->peer.Answer(platform::kWindowReceived);
  if (*message != kCloseRequest) {
    // Nothing else is understood; the caller is not kept waiting.
    caller->peer.Answer(platform::kWindowDone);
    Drop(caller);
    return;
  }
  AppLog().Log(0, "CloseSubScreen: close requested by the main instance");
  // Outside the notifier's callback: the close query may run a modal box.
  QMetaObject::invokeMethod(
      this,
      [this, caller] {
        const bool closed = onClose_();
        AppLog().Log(0, closed ? "CloseSubScreen: closed" : "CloseSubScreen: closing refused");
        caller->peer.Answer(closed ? platform::kWindowDone : platform::kWindowRefused);
        Drop(caller);
      },
      Qt::QueuedConnection);
}

void SubScreenChannel::Drop(Caller* caller) {
  caller->notifier->setEnabled(false);
  // Deleted on a later turn: this may run inside the caller's own notifier callback.
  QMetaObject::invokeMethod(
      this,
      [this, caller] {
        std::erase_if(callers_, [caller](const std::unique_ptr<Caller>& c) { return c.get() == caller; });
      },
      Qt::QueuedConnection);
}

std::string CloseWindowByIdentity(const std::string& identity) {
  const auto result = platform::CallWindow(identity, kCloseRequest, kReceiptWait, kAnswerWait);
  switch (result.status) {
    case platform::WindowCallResult::NoWindow:
      return "no secondary-screen window";
    case platform::WindowCallResult::Answered:
      return result.answer == platform::kWindowRefused ? "the secondary-screen window refused to close"
                                                       : "the secondary-screen window closed";
    case platform::WindowCallResult::Gone:
      return "the secondary-screen window closed";
    case platform::WindowCallResult::NoReceipt:
      return "the secondary-screen window does not respond";
    case platform::WindowCallResult::NoAnswer:
      return "the secondary-screen window did not finish closing in time";
    case platform::WindowCallResult::Failed:
      return "the secondary-screen window could not be reached: " + platform::ErrorText(result.error);
  }
  return {};
}

}  // namespace zent
