// POSIX: AF_UNIX stream sockets in "<runtime folder>/zent-window/". Every word on the wire is
// a little-endian 32-bit number: the caller sends one message number, the server answers
// with the receipt and then the outcome.
#include "platform/WindowChannel.h"
#include "platform/Clock.h"
#include "platform/posix/RuntimeFiles.h"
#include "platform/posix/UniqueFd.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace zent::platform {
namespace {

std::string Digest(const std::string& text) {
  // FNV-1a, 64 bits: a stable name, not a secret.
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out(16, '0');
  for (int i = 15; i >= 0; --i, h >>= 4) out[i] = kHex[h & 15];
  return out;
}

enum class ReadOutcome { Word, TimedOut, Ended, Failed };

// Reads one word from a non-blocking socket before `deadline` (monotonic ms).
ReadOutcome ReadWord(int fd, int64_t deadline, uint32_t& word, std::error_code& error) {
  std::array<uint8_t, 4> buf{};
  size_t got = 0;
  while (got < buf.size()) {
    const ssize_t n = ::recv(fd, buf.data() + got, buf.size() - got, 0);
    if (n > 0) {
      got += static_cast<size_t>(n);
      continue;
    }
    if (n == 0) return ReadOutcome::Ended;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      if (errno == ECONNRESET) return ReadOutcome::Ended;
      error = LastError();
      return ReadOutcome::Failed;
    }
    const int64_t left = deadline - MonotonicMs();
    if (left <= 0) return ReadOutcome::TimedOut;
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left, 1 << 30)));
    if (r < 0 && errno != EINTR) {
      error = LastError();
      return ReadOutcome::Failed;
    }
  }
  word = GetLe32(buf.data());
  return ReadOutcome::Word;
}

}  // namespace

std::string WindowChannelPath(const std::string& identity) {
  return UserRuntimeFolder() + "/zent-window/" + Digest(identity) + ".sock";
}

WindowChannelPeer::~WindowChannelPeer() {
  if (handle_ >= 0) ::close(handle_);
}

std::optional<uint32_t> WindowChannelPeer::ReadMessage(bool& ended) {
  ended = false;
  if (handle_ < 0) {
    ended = true;
    return std::nullopt;
  }
  auto* bytes = reinterpret_cast<uint8_t*>(&buf_);
  while (got_ < 4) {
    const ssize_t n = ::recv(handle_, bytes + got_, 4 - got_, 0);
    if (n > 0) {
      got_ += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return std::nullopt;
    ended = true;  // hung up (0) or failed
    return std::nullopt;
  }
  got_ = 0;
  return GetLe32(bytes);
}

bool WindowChannelPeer::Answer(uint32_t word) {
  if (handle_ < 0) return false;
  std::array<uint8_t, 4> data{};
  PutLe32(data.data(), word);
  // Four bytes always fit an empty stream buffer; a full one means the caller stopped reading.
  for (;;) {
    const ssize_t n = ::send(handle_, data.data(), data.size(), MSG_NOSIGNAL);
    if (n == static_cast<ssize_t>(data.size())) return true;
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}

WindowChannelServer::~WindowChannelServer() { Close(); }

std::error_code WindowChannelServer::Open(const std::string& identity) {
  Close();
  const std::string path = WindowChannelPath(identity);
  if (auto ec = MakePrivateFolders(path.substr(0, path.rfind('/')))) return ec;
  sockaddr_un addr;
  if (!MakeUnixAddress(path, addr)) return std::make_error_code(std::errc::filename_too_long);

  // Someone may serve this identity already: a live listener keeps it.
  {
    UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (probe.get() < 0) return LastError();
    if (::connect(probe.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 || errno == EAGAIN) {
      return std::make_error_code(std::errc::address_in_use);
    }
    if (errno == ECONNREFUSED) ::unlink(path.c_str());  // left by a process that is gone
  }

  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return LastError();
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 8) != 0) {
    auto ec = LastError();
    ::close(fd);
    return ec;
  }
  struct stat st{};
  if (::stat(path.c_str(), &st) == 0) inode_ = st.st_ino;
  handle_ = fd;
  path_ = path;
  return {};
}

void WindowChannelServer::Close() {
  if (handle_ >= 0) {
    ::close(handle_);
    // Only our own file: a server started after us may have replaced it.
    struct stat st{};
    if (::stat(path_.c_str(), &st) == 0 && st.st_ino == inode_) ::unlink(path_.c_str());
  }
  handle_ = -1;
  path_.clear();
  inode_ = 0;
}

std::optional<WindowChannelPeer> WindowChannelServer::Accept() {
  if (handle_ < 0) return std::nullopt;
  for (;;) {
    const int fd = ::accept4(handle_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) return WindowChannelPeer(fd);
    if (errno == EINTR || errno == ECONNABORTED) continue;
    return std::nullopt;
  }
}

WindowCallResult CallWindow(const std::string& identity, uint32_t message,
                            std::chrono::milliseconds receiptWait, std::chrono::milliseconds answerWait) {
  WindowCallResult result;
  const std::string path = WindowChannelPath(identity);
  sockaddr_un addr;
  if (!MakeUnixAddress(path, addr)) {
    result.status = WindowCallResult::Failed;
    result.error = std::make_error_code(std::errc::filename_too_long);
    return result;
  }
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (fd.get() < 0) {
    result.status = WindowCallResult::Failed;
    result.error = LastError();
    return result;
  }
  // Non-blocking: a listener whose queue is full (a hung process) must not hold us here.
  if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    if (errno == ENOENT || errno == ECONNREFUSED || errno == ENOTDIR) {
      result.status = WindowCallResult::NoWindow;
    } else if (errno == EAGAIN) {
      result.status = WindowCallResult::NoReceipt;
    } else {
      result.status = WindowCallResult::Failed;
      result.error = LastError();
    }
    return result;
  }
  std::array<uint8_t, 4> data{};
  PutLe32(data.data(), message);
  ssize_t sent;
  do {
    sent = ::send(fd.get(), data.data(), data.size(), MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  if (sent != static_cast<ssize_t>(data.size())) {
    // The listener went away between connect and send: nobody serves the window now.
    result.status = sent < 0 && errno != EPIPE && errno != ECONNRESET ? WindowCallResult::Failed
                                                                       : WindowCallResult::NoWindow;
    if (result.status == WindowCallResult::Failed) result.error = LastError();
    return result;
  }

  uint32_t word = 0;
  switch (ReadWord(fd.get(), MonotonicMs() + receiptWait.count(), word, result.error)) {
    case ReadOutcome::Word:
      break;
    case ReadOutcome::TimedOut:
      result.status = WindowCallResult::NoReceipt;
      return result;
    case ReadOutcome::Ended:
      // Closed without a receipt: the process ended while we connected.
      result.status = WindowCallResult::NoWindow;
      return result;
    case ReadOutcome::Failed:
      result.status = WindowCallResult::Failed;
      return result;
  }
  if (word != kWindowReceived) {
    // An answer without a receipt is still an answer.
    result.status = WindowCallResult::Answered;
    result.answer = word;
    return result;
  }
  switch (ReadWord(fd.get(), MonotonicMs() + answerWait.count(), word, result.error)) {
    case ReadOutcome::Word:
      result.status = WindowCallResult::Answered;
      result.answer = word;
      break;
    case ReadOutcome::TimedOut:
      result.status = WindowCallResult::NoAnswer;
      break;
    case ReadOutcome::Ended:
      result.status = WindowCallResult::Gone;
      break;
    case ReadOutcome::Failed:
      result.status = WindowCallResult::Failed;
      break;
  }
  return result;
}

}  // namespace zent::platform
