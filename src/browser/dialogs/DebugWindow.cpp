#include "browser/dialogs/DebugWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "common/FileLog.h"
#include "browser/QtText.h"

namespace zent {
namespace {

constexpr int kClientWidth = 635;
constexpr int kClientHeight = 460;

}  // namespace

DebugWindow::DebugWindow(QWebEnginePage* browser) : QWidget(nullptr), inspected_(browser) {
  setWindowTitle(Tr(kDebugWindowCaption));
  setObjectName(QStringLiteral("frmDbgWin"));
  setFont(QFont(QStringLiteral("Tahoma")));
  resize(kClientWidth, kClientHeight);
  BuildToolsView();
}

DebugWindow::~DebugWindow() {
  if (inspected_ && inspected_->devToolsPage() == devToolsPage_.get()) inspected_->setDevToolsPage(nullptr);
  // The view lets go of its page before the page and then its profile go.
  if (devTools_) devTools_->setPage(nullptr);
  devToolsPage_.reset();
  profile_.reset();
}

void DebugWindow::BuildToolsView() {
  auto* layout = new QVBoxLayout(this);  // owned by the window
  layout->setContentsMargins(0, 0, 0, 0);
  devTools_ = new QWebEngineView(this);  // owned by the window
  devTools_->setObjectName(QStringLiteral("DevTools"));
  layout->addWidget(devTools_);
  // The tools get a profile of their own, kept in memory: nothing of them mixes with the
  // page's storage or passes its request rules.
  profile_ = std::make_unique<QWebEngineProfile>();
  devToolsPage_ = std::make_unique<QWebEnginePage>(profile_.get());
  connect(devToolsPage_.get(), &QWebEnginePage::loadFinished, this, [this](bool ok) {
    AppLog().Log(ok ? 0 : 2, std::string(ok ? "DevTools loaded: " : "DevTools load failed: ") +
                                 FromQt(devToolsPage_->url().toString()));
  });
  devTools_->setPage(devToolsPage_.get());
}

void DebugWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Restoring from the taskbar is no new showing.
  if (!event->spontaneous()) OnShown();
}

void DebugWindow::closeEvent(QCloseEvent* event) {
  CloseTools();
  event->accept();  // hides the window; it is not destroyed
}

void DebugWindow::OnShown() {
  if (!placed_) {
    placed_ = true;
    PlaceOnMainWindow();
  }
  if (inspected_) inspected_->setDevToolsPage(devToolsPage_.get());  // nothing selected to inspect
}

void DebugWindow::CloseTools() {
  if (inspected_ && inspected_->devToolsPage() == devToolsPage_.get()) inspected_->setDevToolsPage(nullptr);
}

void DebugWindow::PlaceOnMainWindow() {
  // Centred on the window that shows the browser, else on the screen.
  QRect area;
  if (inspected_) {
    if (QWidget* view = QWebEngineView::forPage(inspected_)) area = view->window()->frameGeometry();
  }
  if (area.isEmpty()) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) area = screen->availableGeometry();
  }
  if (area.isEmpty()) return;
  QRect frame = frameGeometry();
  frame.moveCenter(area.center());
  move(frame.topLeft());
}

}  // namespace zent
