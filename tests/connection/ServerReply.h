// A server's answer naming its address, as the connection tests need it.
#pragma once

#include <cstdint>
#include <string>

#include "discovery/Datagrams.h"

namespace zent {

inline TReplyData ServerReply(const std::string& ip, uint16_t port, const std::string& url,
                              int32_t msgType = kMsgSearchAnswer) {
  TReplyData rd;
  rd.SMsgType = msgType;
  rd.STomcatIp = ip;
  rd.STomcatPort = port;
  rd.SUrl = url;
  return rd;
}

}  // namespace zent
