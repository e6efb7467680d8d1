// A window reachable by its identity caption from another process, and a request to it that
// the sender waits for: the counterpart of finding a top-level window by its caption and
// sending it a message. The window's process serves a stream socket named after the identity
// private to the user (POSIX: a stream socket in the user's runtime folder); a caller connects,
// sends one message number and reads the answers: a receipt at once, then the outcome once
// the window has handled the message.
// Contract: nothing throws; failures come back as error codes or a status.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>

#include "platform/Handle.h"

namespace zent::platform {

// One connected caller on the serving side. Non-blocking; the connection closes with it.
class WindowChannelPeer {
 public:
  ~WindowChannelPeer();
  WindowChannelPeer(WindowChannelPeer&& other) noexcept
      : handle_(other.handle_), got_(other.got_), buf_(other.buf_) {
    other.handle_ = kNoHandle;
  }
  WindowChannelPeer& operator=(WindowChannelPeer&&) = delete;
  WindowChannelPeer(const WindowChannelPeer&) = delete;

  // Readable while more of the message (or the caller's hang-up) waits.
  ReadableHandle Readable() const { return ReadableHandle(handle_); }
  // Takes what has arrived. The message number once all of it is in; nullopt while it is
  // incomplete. `ended` becomes true when the caller hung up or the connection failed.
  std::optional<uint32_t> ReadMessage(bool& ended);
  // One answer word; false when the caller is gone.
  bool Answer(uint32_t word);

 private:
  friend class WindowChannelServer;
  explicit WindowChannelPeer(NativeHandle handle) : handle_(handle) {}

  NativeHandle handle_ = kNoHandle;
  size_t got_ = 0;
  uint32_t buf_ = 0;
};

class WindowChannelServer {
 public:
  WindowChannelServer() = default;
  ~WindowChannelServer();
  WindowChannelServer(const WindowChannelServer&) = delete;
  WindowChannelServer& operator=(const WindowChannelServer&) = delete;

  // Serves the identity. What a process that is gone left behind is replaced; an identity
  // that a live process serves stays its own and address_in_use is returned.
  std::error_code Open(const std::string& identity);
  // Stops serving (the name is left alone when another server has taken it over since).
  void Close();
  // Readable while a caller waits to be accepted; not Valid() when not open.
  ReadableHandle Readable() const { return ReadableHandle(handle_); }
  // A waiting caller, or nullopt when none waits.
  std::optional<WindowChannelPeer> Accept();

 private:
  NativeHandle handle_ = kNoHandle;
  std::string path_;
  unsigned long long inode_ = 0;
};

// Answer words: the receipt sent as soon as the message is read, and the usual outcomes.
inline constexpr uint32_t kWindowReceived = 1;
inline constexpr uint32_t kWindowDone = 2;
inline constexpr uint32_t kWindowRefused = 3;

struct WindowCallResult {
  enum Status {
    NoWindow,   // nobody serves the identity
    Answered,   // `answer` holds the outcome
    Gone,       // the receipt came, then the connection ended without an outcome
    NoReceipt,  // nothing within the receipt wait: the window's process does not respond
    NoAnswer,   // the receipt came, the outcome did not within its wait
    Failed,     // a socket call failed: `error`
  };
  Status status = NoWindow;
  uint32_t answer = 0;
  std::error_code error;
};

// Sends `message` to the window serving `identity` and waits for the receipt (at most
// `receiptWait`) and then the outcome (at most `answerWait`). Blocks the calling thread.
WindowCallResult CallWindow(const std::string& identity, uint32_t message,
                            std::chrono::milliseconds receiptWait, std::chrono::milliseconds answerWait);

}  // namespace zent::platform
