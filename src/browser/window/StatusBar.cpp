#include "browser/window/StatusBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QTimer>

#include "browser/QtText.h"
#include "browser/rules/PageText.h"
#include "browser/window/WidgetEvents.h"
#include "common/TextFill.h"
#include "common/Utils.h"

namespace zent {
namespace {

constexpr int kStatusBarHeight = 18;
// At most this many repaints a second come from page status texts.
constexpr int kPaintHoldMs = 50;

QLabel* Label(QWidget* parent, const char* objectName) {
  auto* label = new QLabel(parent);  // owned by the parent (Qt)
  label->setObjectName(QString::fromLatin1(objectName));
  // Page and server texts are shown as they are: markup in them must never load anything.
  label->setTextFormat(Qt::PlainText);
  return label;
}

QLabel* Image(QWidget* parent, const char* objectName, const char* picture) {
  QLabel* image = Label(parent, objectName);
  image->setPixmap(QPixmap(QString::fromLatin1(picture)));
  image->setFixedSize(16, 16);
  return image;
}

}  // namespace

StatusBar::StatusBar(QWidget* parent) : QFrame(parent) {
  // Object names the tests look the controls up by.
  setObjectName(QStringLiteral("Panel_Bottom"));
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Sunken);
  setFixedHeight(kStatusBarHeight);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 8, 0);
  row->setSpacing(0);
  pageText_ = Label(this, "Label_BottomText");
  serverText_ = Label(this, "Label_ServerIp");
  serverText_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  versionLabel_ = Label(this, "labVerion");
  versionLabel_->setContentsMargins(8, 0, 0, 0);
  versionLabel_->setText(ToQt(FillText(Translate("版本: [%s]"), GetAppVersion())));
  row->addWidget(BuildImages());
  row->addWidget(pageText_, 1);
  row->addWidget(serverText_);
  row->addWidget(versionLabel_);

  paintHold_ = new QTimer(this);  // owned by the bar (Qt parent)
  paintHold_->setSingleShot(true);
  paintHold_->setInterval(kPaintHoldMs);
  connect(paintHold_, &QTimer::timeout, this, [this] { pageText_->setUpdatesEnabled(true); });
}

QWidget* StatusBar::BuildImages() {
  auto* images = new QWidget(this);
  images->setFixedWidth(50);
  auto* row = new QHBoxLayout(images);
  row->setContentsMargins(2, 0, 0, 0);
  row->setSpacing(2);
  configImage_ = Image(images, "imgConfig", ":/icons/config.png");
  configImage_->setCursor(Qt::PointingHandCursor);
  configImage_->setToolTip(Tr("配置"));
  configImage_->installEventFilter(this);  // a release opens the server address dialog
  debugImage_ = Image(images, "imgShowDbgWnd", ":/icons/debug.png");
  OnClick(debugImage_, [this] { emit debugClicked(); });
  row->addWidget(configImage_);
  row->addWidget(debugImage_);
  row->addStretch(1);
  return images;
}

bool StatusBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == configImage_ && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    emit configClicked();
    return true;
  }
  return QFrame::eventFilter(watched, event);
}

void StatusBar::ShowPageText(const std::string& pageAddress, const std::string& text) {
  // Each repaint of the window composes the whole page view again, so a page writing status
  // texts hundreds of times a second would starve the window's loop. The label takes every
  // text at once; after one repaint, further ones wait for the hold to end, which paints the
  // latest text.
  if (paintHold_->isActive()) {
    pageText_->setUpdatesEnabled(false);
  } else {
    paintHold_->start();
  }
  const std::string shown = PageTextForDisplay(text);
  ShowText(shown);
  pageTexts_.Set(pageAddress, shown);
}

void StatusBar::ShowRememberedText(const std::string& pageAddress) {
  if (auto text = pageTexts_.Find(pageAddress)) ShowText(*text);
}

void StatusBar::ShowText(const std::string& text) { pageText_->setText(ToQt(text)); }

void StatusBar::ShowServer(const std::string& text) { serverText_->setText(ToQt(text)); }

void StatusBar::ClearTexts() {
  pageText_->clear();
  serverText_->clear();
}

void StatusBar::SetDebugImageVisible(bool visible) { debugImage_->setVisible(visible); }

}  // namespace zent
