// The loading panel over the browser area while the server is being reached: a background
// picture with the loading text centred on it. The pictures are decoded only when the panel
// first shows (not while the first page's navigation waits for the window to be built) and
// dropped again when it hides, handing the freed memory back to the system.
#pragma once

#include <QWidget>

class QLabel;

namespace zent {

class LoadingPanel : public QWidget {
  Q_OBJECT
 public:
  // Covers `browserArea`; `followArea`: it keeps the area's size while shown (the main
  // instance; the secondary screen's panel keeps its own small size).
  LoadingPanel(QWidget* browserArea, bool followArea);

  void ShowOver();
  void HideAndRelease();
  // Fills the browser area again (main instance) and lays the pictures out.
  void FitToArea();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LoadPictures();
  void LayOutPictures();

  QWidget* area_;
  bool followArea_;
  QLabel* background_ = nullptr;
  QLabel* text_ = nullptr;
};

}  // namespace zent
