// Notices between the processes of one role: the counterpart of a window message that a
// second start broadcasts to the running instance. Every receiving process of a role listens;
// a sender drops one notice at every listener of the role and never waits for a receiver.
// Roles are names (any text); where and how listeners are found is the platform's business
// (POSIX: a datagram socket per process in a per-role folder of the user's runtime folder,
// private to the user). Contract: nothing throws; failures come back as error codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>

#include "platform/Handle.h"

namespace zent::platform {

// One notice: a message number and its two parameters, like a posted window message.
struct RoleNotice {
  uint32_t message = 0;
  uint32_t wParam = 0;
  uint32_t lParam = 0;
};

// This process's listener for a role's notices; it stops listening when it goes.
class RoleNoticeReceiver {
 public:
  RoleNoticeReceiver() = default;
  ~RoleNoticeReceiver();
  RoleNoticeReceiver(const RoleNoticeReceiver&) = delete;
  RoleNoticeReceiver& operator=(const RoleNoticeReceiver&) = delete;

  // Starts listening for the role's notices.
  std::error_code Open(const std::string& roleName);
  void Close();
  // Readable while a notice waits; not Valid() when not open.
  ReadableHandle Readable() const { return ReadableHandle(handle_); }
  // The next waiting notice; nullopt when none waits (or a datagram was malformed, which is
  // dropped).
  std::optional<RoleNotice> Read();

 private:
  NativeHandle handle_ = kNoHandle;
  std::string path_;
};

// Sends the notice to every listener of the role except this process's own. What listeners
// of processes that are gone leave behind is removed. Returns how many receivers took the
// notice; a role nobody ever listened to has none.
int BroadcastRoleNotice(const std::string& roleName, const RoleNotice& notice);

}  // namespace zent::platform
