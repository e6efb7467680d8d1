#include "Responder.h"

#include <stdexcept>

namespace zent::testing {

Responder::Responder(uint32_t address, std::vector<uint32_t> senders, uint16_t port) {
  sockets_.emplace_back();
  if (sockets_[0].Open()) throw std::runtime_error("responder socket");
  if (auto ec = sockets_[0].Bind(address, port)) throw std::runtime_error("responder bind: " + ec.message());
  if (sockets_[0].LocalPort(port_)) throw std::runtime_error("responder port");
  for (uint32_t a : senders) {
    sockets_.emplace_back();
    if (sockets_.back().Open() || sockets_.back().Bind(a, 0)) throw std::runtime_error("sender bind");
  }
  thread_ = std::jthread([this](std::stop_token st) { Run(st); });
}

Responder::~Responder() {
  thread_.request_stop();
  {
    std::lock_guard lock(mutex_);
    hold_ = false;
  }
  cv_.notify_all();
  wake_.Signal();
}

void Responder::SetAnswers(std::vector<Answer> answers) {
  std::lock_guard lock(mutex_);
  answers_ = std::move(answers);
}

void Responder::HoldAnswers() {
  std::lock_guard lock(mutex_);
  hold_ = true;
}

void Responder::Release() {
  {
    std::lock_guard lock(mutex_);
    hold_ = false;
  }
  cv_.notify_all();
}

bool Responder::WaitForRequests(int n) {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, std::chrono::seconds(10), [&] { return requests_ >= n; });
}

int Responder::Requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<uint8_t> Responder::LastRequest() {
  std::lock_guard lock(mutex_);
  return lastRequest_;
}

void Responder::Run(std::stop_token st) {
  std::vector<uint8_t> buf(2048);
  while (!st.stop_requested()) {
    platform::UdpSocket::Received got;
    if (sockets_[0].Receive(buf, 1000, &wake_, got)) return;
    if (got.kind != platform::UdpSocket::ReceiveKind::kDatagram) continue;
    std::vector<Answer> answers;
    {
      std::unique_lock lock(mutex_);
      ++requests_;
      lastRequest_.assign(buf.begin(), buf.begin() + static_cast<long>(got.size));
      cv_.notify_all();
      cv_.wait(lock, [&] { return !hold_ || st.stop_requested(); });
      if (st.stop_requested()) return;
      answers = answers_;
    }
    for (const auto& a : answers) {
      sockets_.at(static_cast<size_t>(a.socketIndex)).SendTo(got.from, got.fromPort, a.bytes);
    }
  }
}

}  // namespace zent::testing
