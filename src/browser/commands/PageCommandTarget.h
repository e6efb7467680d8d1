// What the page commands do to the window: the small interface the main window implements
// for the page-command runner.
#pragma once

#include <QPoint>
#include <string>

namespace zent {

class PageCommandTarget {
 public:
  virtual ~PageCommandTarget() = default;
  virtual void SwitchFullScreen() = 0;
  virtual void FullScreenOn() = 0;
  virtual void FullScreenOff() = 0;
  // The page's status text, remembered for the page that wrote it.
  virtual void ShowPageText(const std::string& pageAddress, const std::string& text) = 0;
  // Closes through the window's ordinary close (the close query included).
  virtual void CloseWindow() = 0;
  virtual void SetCanClose(bool canClose) = 0;
  virtual void Minimize() = 0;
  virtual void SetLoginParams(const std::string& params) = 0;
  // The window's client origin on the screen.
  virtual QPoint ClientOrigin() const = 0;
};

}  // namespace zent
