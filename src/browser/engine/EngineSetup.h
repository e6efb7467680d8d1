// The browser engine's process-wide settings: the Chromium switches (fixed before the
// application object exists), the user agent from the first physical adapter's MAC text, and
// the profile the window's page uses.
#pragma once

#include <string>

class QWebEngineProfile;

namespace zent {

inline constexpr const char* kAcceptLanguages = "zh-CN,zh-TW,zh-HK,en-HK,en-US,en-GB,ko-KR,ja-JP";

// The switches handed to Chromium: certificate errors ignored, web security off, and no
// background traffic of the engine's own (a kiosk must send only what its page asks for),
// and no pinch zoom (a zoomed till hides its buttons; window/ZoomLock.h stops the rest).
const char* EngineSwitches();

// Adds EngineSwitches() to QTWEBENGINE_CHROMIUM_FLAGS, keeping what the environment already
// holds, and sets the application attributes the engine needs. Call before QApplication.
void PrepareEngineBeforeApplication();

// The MAC text of the first physical adapter ("00-1A-2B-3C-4D-5E"); empty when there is none
// or the listing fails, which keeps the engine's own user agent.
std::string EngineUserAgent();

// The user agent fixed at start-up for every profile the window creates.
void SetEngineUserAgent(const std::string& userAgent);

// Applies the user agent, the accepted languages, local storage and full-screen support.
void ConfigureProfile(QWebEngineProfile& profile);

}  // namespace zent
