#include "browser/window/LoadingPanel.h"

#include <QEvent>
#include <QLabel>
#include <QPixmap>

#include "platform/Memory.h"

namespace zent {
namespace {

constexpr int kSecondaryWidth = 129;
constexpr int kSecondaryHeight = 97;

}  // namespace

LoadingPanel::LoadingPanel(QWidget* browserArea, bool followArea)
    : QWidget(browserArea), area_(browserArea), followArea_(followArea) {
  // Object names the tests look the controls up by.
  setObjectName(QStringLiteral("pnlLoading"));
  setAutoFillBackground(true);
  setGeometry(0, 0, kSecondaryWidth, kSecondaryHeight);
  background_ = new QLabel(this);  // owned by the panel (Qt)
  background_->setObjectName(QStringLiteral("imgLoading"));
  background_->setScaledContents(true);
  text_ = new QLabel(this);
  text_->setObjectName(QStringLiteral("imgLoadingText"));
  area_->installEventFilter(this);
  hide();
  LayOutPictures();
}

void LoadingPanel::LoadPictures() {
  if (!background_->pixmap().isNull()) return;
  background_->setPixmap(QPixmap(QStringLiteral(":/Loading_BG.png")));
  text_->setPixmap(QPixmap(QStringLiteral(":/Loading_Text.png")));
  text_->resize(text_->pixmap().size());
  LayOutPictures();
}

void LoadingPanel::ShowOver() {
  LoadPictures();
  show();
  raise();
}

void LoadingPanel::HideAndRelease() {
  hide();
  // The pictures (and the label's copy scaled to the window) are decoded again should the
  // panel come back; a shown page never needs them, and they are megabytes.
  background_->clear();
  text_->clear();
  // What start-up allocated and freed goes back to the system with them.
  QMetaObject::invokeMethod(this, [] { platform::ReleaseFreeMemory(); }, Qt::QueuedConnection);
}

void LoadingPanel::FitToArea() {
  if (followArea_) {
    setGeometry(area_->rect());
    LayOutPictures();
  }
}

bool LoadingPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == area_ && event->type() == QEvent::Resize && followArea_ && isVisible()) {
    setGeometry(area_->rect());
  }
  return QWidget::eventFilter(watched, event);
}

void LoadingPanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOutPictures();
}

void LoadingPanel::LayOutPictures() {
  const QRect area = rect();
  background_->setGeometry(area);
  // Centred, each quotient truncated toward zero.
  const int left = (area.width() - text_->width()) / 2;
  const int top = (area.height() - text_->height()) / 2;
  text_->move(left, top);
}

}  // namespace zent
