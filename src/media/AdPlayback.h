// Advertisement videos for a window: the request a page command makes (its rectangle moved
// from the window's client area to the screen, its address completed) and the player
// started on a worker thread owned here, so the window never waits for the player's process
// or its window. Requests are carried out in order; a new one cuts short the wait for the
// previous player's window. The destructor stops the worker and ends the player.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "media/MPCPlayer.h"

namespace zent {

struct TAdRequest {
  TScreenRect rect;      // on the screen
  std::string url;       // complete address
  std::string itemsText; // the page's message, for the failure text
};

// The page's rectangle (client pixels of the window whose client origin is at
// originX, originY on the screen) and address made into a request, with the log lines
// "L:…", "S-TopLeft…", "S-BottomRight…", "R_URL:…" and "F_URL:…". Sums that leave the
// 32-bit range stop at its ends.
TAdRequest MakeAdRequest(int32_t left, int32_t top, int32_t width, int32_t height, int32_t originX,
                         int32_t originY, const std::string& url, const std::string& serverHost,
                         int32_t serverPort, std::string itemsText);

class TAdPlayback {
 public:
  // Called on the worker after each request: `error` empty when the player started.
  using TDone = std::function<void(const TAdRequest& request, const std::string& error)>;

  TAdPlayback(std::string playPath, std::shared_ptr<TPlayerWindows> windows, TDone done,
              TPlayerWindowWait wait = {});
  ~TAdPlayback();
  TAdPlayback(const TAdPlayback&) = delete;
  TAdPlayback& operator=(const TAdPlayback&) = delete;

  // Queues the request and returns at once.
  void Play(TAdRequest request);

 private:
  void Run(std::stop_token stop);

  TMPCPlayer player_;  // used by the worker only
  TDone done_;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::deque<TAdRequest> queue_;
  std::stop_source windowWait_;  // the wait for the current player's window
  std::jthread thread_;          // last: starts once the rest is set up
};

}  // namespace zent
