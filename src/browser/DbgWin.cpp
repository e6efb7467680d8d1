#include "browser/DbgWin.h"

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
#include "lang/Translate.h"

namespace zent {
namespace {

constexpr int kClientWidth = 635;
constexpr int kClientHeight = 460;

// A window left at process end outlives the application object and cannot be freed then;
// the process takes it along.
struct Holder {
  std::unique_ptr<TfrmDbgWin> window;
  ~Holder() {
    if (!QCoreApplication::instance()) (void)window.release();
  }
};

std::unique_ptr<TfrmDbgWin>& Instance() {
  static Holder holder;
  return holder.window;
}

}  // namespace

TfrmDbgWin::TfrmDbgWin(QWebEnginePage* browser) : QWidget(nullptr), FCRM(browser) {
  setWindowTitle(QString::fromStdString(Translate(kDebugWindowCaption)));
  setObjectName(QStringLiteral("frmDbgWin"));
  setFont(QFont(QStringLiteral("Tahoma")));
  resize(kClientWidth, kClientHeight);
  FormCreate();
}

TfrmDbgWin::~TfrmDbgWin() {
  if (FCRM && FCRM->devToolsPage() == devToolsPage_.get()) FCRM->setDevToolsPage(nullptr);
  // The view lets go of its page before the page and then its profile go.
  if (DevTools) DevTools->setPage(nullptr);
  devToolsPage_.reset();
  profile_.reset();
}

void TfrmDbgWin::FormCreate() {
  auto* layout = new QVBoxLayout(this);  // owned by the window
  layout->setContentsMargins(0, 0, 0, 0);
  DevTools = new QWebEngineView(this);  // owned by the window
  DevTools->setObjectName(QStringLiteral("DevTools"));
  layout->addWidget(DevTools);
  // The tools get a profile of their own, kept in memory: nothing of them mixes with the
  // page's storage or passes its request rules.
  profile_ = std::make_unique<QWebEngineProfile>();
  devToolsPage_ = std::make_unique<QWebEnginePage>(profile_.get());
  connect(devToolsPage_.get(), &QWebEnginePage::loadFinished, this, [this](bool ok) {
    AppLog().Log(ok ? 0 : 2, std::string(ok ? "DevTools loaded: " : "DevTools load failed: ") +
                                 devToolsPage_->url().toString().toStdString());
  });
  DevTools->setPage(devToolsPage_.get());
}

void TfrmDbgWin::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Restoring from the taskbar is no new showing.
  if (!event->spontaneous()) FormShow();
}

void TfrmDbgWin::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();  // hides the window; it is not destroyed
}

void TfrmDbgWin::FormShow() {
  if (!placed_) {
    placed_ = true;
    PlaceOnMainWindow();
  }
  if (FCRM) FCRM->setDevToolsPage(devToolsPage_.get());  // nothing selected to inspect
}

void TfrmDbgWin::FormClose() {
  if (FCRM && FCRM->devToolsPage() == devToolsPage_.get()) FCRM->setDevToolsPage(nullptr);
}

void TfrmDbgWin::PlaceOnMainWindow() {
  // Centred on the window that shows the browser, else on the screen.
  QRect area;
  if (FCRM) {
    if (QWidget* view = QWebEngineView::forPage(FCRM)) area = view->window()->frameGeometry();
  }
  if (area.isEmpty()) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) area = screen->availableGeometry();
  }
  if (area.isEmpty()) return;
  QRect frame = frameGeometry();
  frame.moveCenter(area.center());
  move(frame.topLeft());
}

void CreateDebugWindow(QWebEnginePage* browser, bool debugMode) {
  auto& instance = Instance();
  if (!browser || !debugMode || instance) return;
  instance = std::make_unique<TfrmDbgWin>(browser);
  AppLog().Log(0, "Debug window created");
}

void ShowDebugWindow() {
  TfrmDbgWin* window = DebugWindow();
  if (!window) return;
  window->show();
  window->raise();
  window->activateWindow();
}

TfrmDbgWin* DebugWindow() { return Instance().get(); }

void FinalizeDebugWindow() {
  std::unique_ptr<TfrmDbgWin> window = std::move(Instance());
  window.reset();
}

}  // namespace zent
