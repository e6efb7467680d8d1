#include "discovery/UdpClient.h"

#include <httplib.h>

#include <array>

#include "common/Errors.h"
#include "common/Format.h"
#include "discovery/NetUtils.h"
#include "platform/Clock.h"
#include "platform/SocketAbort.h"
#include "platform/ErrorText.h"

namespace zent {
namespace {

constexpr uint32_t kWaitWindowMs = 3000;

[[noreturn]] void ThrowOS(const char* what, const std::error_code& ec) {
  throw EOSError(Format("%s: %s", what, platform::ErrorText(ec).c_str()));
}

}  // namespace

TUdpClient::TUdpClient(const TUdpClientOptions& options) : port_(options.port) {
  const auto dest = platform::ParseIPv4(options.host);
  if (!dest) throw EOSError(Format("Invalid destination address: %s", options.host.c_str()));
  destination_ = *dest;
  if (auto ec = socket_.Open()) ThrowOS("socket", ec);

  uint32_t local = 0;  // all local addresses
  if (options.bindToGatewaySubnet) {
    TNetAdapter adapter;
    int index = -1;
    if (FindAdapterForIP(GetDefaultGateway(), true, adapter, index)) {
      if (auto a = platform::ParseIPv4(adapter.IPList[static_cast<size_t>(index)].IP)) {
        local = *a;
        boundAddress_ = adapter.IPList[static_cast<size_t>(index)].IP;
      }
    }
  }
  if (auto ec = socket_.Bind(local, 0)) ThrowOS("bind", ec);
}

void TUdpClient::EnableBroadcast() {
  if (auto ec = socket_.EnableBroadcast()) ThrowOS("setsockopt(SO_BROADCAST)", ec);
}

void TUdpClient::Send(std::span<const uint8_t> data) {
  if (auto ec = socket_.SendTo(destination_, port_, data)) ThrowOS("sendto", ec);
}

uint16_t TUdpClient::LocalPort() const {
  uint16_t port = 0;
  if (auto ec = socket_.LocalPort(port)) ThrowOS("getsockname", ec);
  return port;
}

std::unique_ptr<TUdpClient> CreateUdpClient(const TUdpClientOptions& options) {
  return std::make_unique<TUdpClient>(options);
}

bool WaitReply(TUdpClient& client, TReplyData& rd, int32_t expectedType,
               const std::function<bool()>& stop, platform::WakeEvent* wake) {
  rd.SMsgType = -1;
  const uint32_t start = platform::TickCount();
  std::array<uint8_t, TUdpClient::kReceiveBufferSize> buffer;
  for (;;) {
    if (stop && stop()) return false;
    if (platform::TickCount() - start > kWaitWindowMs) return false;
    platform::UdpSocket::Received got;
    if (auto ec = client.Socket().Receive(buffer, TUdpClient::kReceiveTimeoutMs, wake, got)) {
      ThrowOS("recvfrom", ec);
    }
    // Time-outs, wake-ups and datagrams too large for the buffer only lead to the next turn.
    if (got.kind != platform::UdpSocket::ReceiveKind::kDatagram) continue;
    if (!rd.FromBytes(std::span(buffer.data(), got.size))) continue;  // shorter than a record
    if (rd.SMsgType != expectedType) continue;
    // The address the answer came from is the one that reaches the server.
    const std::string sender = platform::IPv4Text(got.from);
    if (!sender.empty()) rd.STomcatIp = sender;
    return true;
  }
}

bool TBroadcastClient::HttpDirectional(const std::string& AHost, TReplyData& ARD, std::stop_token stop) {
  try {
    if (stop.stop_requested() || !Ping(AHost) || stop.stop_requested()) return false;
    httplib::Client client(AHost, port_);
    // A stop shuts the request's socket down in any phase, its connect included, and never
    // waits for this thread: the stop may come from the window's thread.
    platform::SocketAbort abort;
    client.set_socket_options([&abort](platform::NativeSocket socket) { abort.Track(socket); });
    std::stop_callback cancel(stop, [&abort] { abort.Abort(); });
    if (stop.stop_requested()) return false;
    client.set_connection_timeout(std::chrono::milliseconds(kConnectTimeoutMs));
    client.set_read_timeout(std::chrono::milliseconds(kReadTimeoutMs));
    client.set_write_timeout(std::chrono::milliseconds(kReadTimeoutMs));
    std::string body;
    // A server may answer with anything: an answer larger than any record text is refused
    // instead of being read into memory.
    auto res = client.Get("/Directional", [&](const char* data, size_t len) {
      if (body.size() + len > kMaxAnswerBytes || stop.stop_requested()) return false;
      body.append(data, len);
      return true;
    });
    if (!res || res->status != 200 || stop.stop_requested()) return false;
    ARD.FromString(body);
    ARD.SetTomcatIp(AHost);
    return ARD.SMsgType == kMsgDirectionalAnswer;
  } catch (const std::exception&) {
    return false;  // every failure of the direct query is a plain "no"
  }
}

}  // namespace zent
