// TMPCPlayer: the external video player "mpc-be.exe" in a folder of its own, told through its
// settings file "mpc-be.ini" where its window goes, started with "/play" and the address,
// and taken off the taskbar once its window shows. It knows at most one player process:
// a new video ends the running player first, and the destructor ends it too.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "media/PlayerWindows.h"
#include "media/WindowRect.h"

namespace zent {

inline constexpr const char* kPlayerSettingsSection = "Settings";
inline constexpr const char* kPlayerWindowRectKey = "LastWindowRect";

// How long the player's window is looked for: `looks` looks, `pause` apart.
struct TPlayerWindowWait {
  int looks = 32;
  std::chrono::milliseconds pause{100};
};

class TMPCPlayer {
 public:
  // `playPath` is the player's folder (no closing "/"). Touches no file.
  TMPCPlayer(std::string playPath, std::shared_ptr<TPlayerWindows> windows, TPlayerWindowWait wait = {});
  ~TMPCPlayer();
  TMPCPlayer(const TMPCPlayer&) = delete;
  TMPCPlayer& operator=(const TMPCPlayer&) = delete;

  // Plays `url` in the screen rectangle `rect`. Throws Exception when the settings cannot
  // be written (the running player is then left alone) or the player cannot be started.
  // Waits for the player's window on the calling thread; `stop` ends that wait at once.
  void Play(const TScreenRect& rect, const std::string& url, std::stop_token stop = {});
  // Ends the running player, if any.
  void Stop();

  const std::string& PlayFile() const { return FPlayFile; }
  const std::string& IniFile() const { return FIniFile; }
  // The running player's process id; 0 when there is none.
  uint32_t ProcessId() const { return FProcessId; }

  // The player's arguments: "/play" and the address, each one argument.
  static std::vector<std::string> Arguments(const std::string& url);

 private:
  void WriteWindowRect(const TScreenRect& rect);
  void TakeOffTaskbar(std::stop_token stop);

  std::string FPath;
  std::string FPlayFile;
  std::string FIniFile;
  uint32_t FProcessId = 0;
  std::shared_ptr<TPlayerWindows> windows_;
  TPlayerWindowWait wait_;
};

}  // namespace zent
