// "Player/mpc-be.exe": the program's video player. It reads the window rectangle the browser
// wrote to "mpc-be.ini" beside it and becomes mpv (same process, so ending this process ends
// the video) with that rectangle and the address after "/play". When the browser that started
// it ends, mpv is sent SIGTERM, so no player outlives the browser.
#include <cstdio>
#include <string>
#include <vector>

#include "common/ProfileFile.h"
#include "common/Utils.h"
#include "media/MPCPlayer.h"
#include "media/MpvCommand.h"
#include "platform/Process.h"
#include "platform/FsPath.h"
#include "platform/ErrorText.h"

int main(int argc, char** argv) {
  using namespace zent;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto url = PlayAddressOf(args);
  if (!url) {
    std::fprintf(stderr, "mpc-be: usage: mpc-be.exe /play <address>\n");
    return 2;
  }
  const std::string exe = GetAppFileName();
  const std::string folder = platform::FolderOf(exe);
  const std::string text =
      ProfileFile(folder + "mpc-be.ini").ReadString(kPlayerSettingsSection, kPlayerWindowRectKey, "");
  const auto rect = DecodeWindowRect(text);
  if (!rect) std::fprintf(stderr, "mpc-be: no usable %s in %smpc-be.ini\n", kPlayerWindowRectKey, folder.c_str());
  const auto ec = platform::ReplaceProcess(kMpvProgram, MpvArguments(rect, *url), true);
  std::fprintf(stderr, "mpc-be: cannot run %s: %s\n", kMpvProgram, platform::ErrorText(ec).c_str());
  return 1;
}
