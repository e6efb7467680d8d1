#include "media/AdPlayback.h"

#include <algorithm>
#include <limits>

#include "common/FileLog.h"
#include "media/AdAddress.h"

namespace zent {
namespace {

int32_t Saturated(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

TAdRequest MakeAdRequest(int32_t left, int32_t top, int32_t width, int32_t height, int32_t originX,
                         int32_t originY, const std::string& url, const std::string& serverHost,
                         int32_t serverPort, std::string itemsText) {
  AppLog().LogFmt(0, "L:%d, T:%d, W:%d, H:%d", left, top, width, height);
  const int64_t right = int64_t{left} + width;
  const int64_t bottom = int64_t{top} + height;
  TAdRequest request;
  request.rect = TScreenRect{Saturated(int64_t{left} + originX), Saturated(int64_t{top} + originY),
                             Saturated(right + originX), Saturated(bottom + originY)};
  AppLog().LogFmt(0, "S-TopLeft T:%d, L:%d", request.rect.top, request.rect.left);
  AppLog().LogFmt(0, "S-BottomRight B:%d, R:%d", request.rect.bottom, request.rect.right);
  AppLog().Log(0, "R_URL:" + url);
  request.url = AdVideoAddress(url, serverHost, serverPort);
  AppLog().Log(0, "F_URL:" + request.url);
  request.itemsText = std::move(itemsText);
  return request;
}

TAdPlayback::TAdPlayback(std::string playPath, std::shared_ptr<TPlayerWindows> windows, TDone done,
                         TPlayerWindowWait wait)
    : player_(std::move(playPath), std::move(windows), wait),
      done_(std::move(done)),
      thread_([this](std::stop_token stop) { Run(stop); }) {}

TAdPlayback::~TAdPlayback() {
  thread_.request_stop();
  if (thread_.joinable()) thread_.join();
  // player_ goes next and ends the player it started.
}

void TAdPlayback::Play(TAdRequest request) {
  std::lock_guard lock(mutex_);
  queue_.push_back(std::move(request));
  windowWait_.request_stop();  // the newer video replaces the one still waiting for its window
  wake_.notify_all();
}

void TAdPlayback::Run(std::stop_token stop) {
  std::stop_callback endWait(stop, [this] {
    std::lock_guard lock(mutex_);
    windowWait_.request_stop();
  });
  for (;;) {
    TAdRequest request;
    std::stop_token waitToken;
    {
      std::unique_lock lock(mutex_);
      if (!wake_.wait(lock, stop, [this] { return !queue_.empty(); })) return;
      request = std::move(queue_.front());
      queue_.pop_front();
      windowWait_ = std::stop_source();
      // A newer video is already waiting: this one's window is not waited for.
      if (!queue_.empty()) windowWait_.request_stop();
      waitToken = windowWait_.get_token();
      if (stop.stop_requested()) return;
    }
    std::string error;
    try {
      player_.Play(request.rect, request.url, waitToken);
    } catch (const std::exception& e) {
      error = e.what();
      if (error.empty()) error = "?";
    }
    if (done_) done_(request, error);
  }
}

}  // namespace zent
