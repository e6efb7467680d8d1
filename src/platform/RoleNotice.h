// Notices between the processes of one role: the counterpart of a window message that a
// second start broadcasts to the running instance. Every receiving process binds a datagram
// socket in the role's folder; a sender drops one datagram into every socket there and never
// waits for a receiver. Contract: nothing throws; failures come back as error codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>

namespace zent::platform {

// One notice: a message number and its two parameters, like a posted window message.
struct RoleNotice {
  uint32_t message = 0;
  uint32_t wParam = 0;
  uint32_t lParam = 0;
};

// The folder of a role's sockets: "<runtime folder>/zent-notice/<encoded role name>", where the
// runtime folder is $XDG_RUNTIME_DIR, else /tmp/zent-<uid>. Not created here.
std::string RoleNoticeFolder(const std::string& roleName);

// A bound, non-blocking socket in the role's folder that receives notices for this process.
// The socket file is removed when the receiver goes.
class RoleNoticeReceiver {
 public:
  RoleNoticeReceiver() = default;
  ~RoleNoticeReceiver();
  RoleNoticeReceiver(const RoleNoticeReceiver&) = delete;
  RoleNoticeReceiver& operator=(const RoleNoticeReceiver&) = delete;

  // Creates the folder (private to the user) and binds "<pid>.sock" in it.
  std::error_code Open(const std::string& folder);
  void Close();
  // The descriptor to watch for readability; -1 when not open.
  int Fd() const { return fd_; }
  // The next waiting notice; nullopt when none waits (or a datagram was malformed, which is
  // dropped).
  std::optional<RoleNotice> Read();

 private:
  int fd_ = -1;
  std::string path_;
};

// Sends the notice to every socket in the folder except this process's own. Sockets of
// processes that are gone (the connection is refused) are deleted. Returns how many
// receivers took the notice; a missing folder means none.
int BroadcastRoleNotice(const std::string& folder, const RoleNotice& notice);

}  // namespace zent::platform
