// The floating restore button and the debug window wired to the main window, in-process: the
// offscreen platform gives the button its widget form; its X11 form and the desktop-wide
// Alt+F12 are covered end to end.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QMouseEvent>
#include <QShortcut>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config/CommandLine.h"
#include "browser/engine/BrowserPage.h"
#include "browser/dialogs/DebugWindow.h"
#include "browser/dialogs/FloatButton.h"
#include "browser/dialogs/Dialogs.h"
#include "browser/dialogs/UserPrompts.h"
#include "browser/engine/DownloadFlow.h"
#include "browser/secondary/SecondaryScreen.h"
#include "browser/window/CloseSequence.h"
#include "browser/window/MainWindow.h"
#include "browser/window/WindowState.h"
#include "extras/FloatBtnTaps.h"

namespace zent {
namespace {

class RecordingPrompts : public TUserPrompts {
 public:
  explicit RecordingPrompts(std::shared_ptr<std::vector<std::pair<std::string, std::string>>> infos)
      : infos_(std::move(infos)) {}
  std::optional<std::string> AskSavePath(const SaveFileRequest&) override { return std::nullopt; }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  void ShowInfo(const std::string& caption, const std::string& text) override { infos_->emplace_back(caption, text); }
  void ShowError(const std::string&, const std::string&) override {}

 private:
  std::shared_ptr<std::vector<std::pair<std::string, std::string>>> infos_;
};

class AuxWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetTaps(); }
  void TearDown() override {
    form_.reset();
    ResetTaps();
  }
  void MakeForm(std::vector<std::string> args) {
    args.insert(args.begin(), "Lumo7Browser");
    form_ = std::make_unique<MainWindow>(CommandLine(args), std::make_unique<RecordingPrompts>(infos_));
  }
  void ShowForm() {
    form_->show();
    Drain();
  }
  static void Drain() { QCoreApplication::processEvents(QEventLoop::AllEvents, 50); }
  void Tap(int times) {
    for (int i = 0; i < times; ++i) form_->AuxWindows().Float()->OnRelease();
  }

  std::shared_ptr<std::vector<std::pair<std::string, std::string>>> infos_ =
      std::make_shared<std::vector<std::pair<std::string, std::string>>>();
  std::unique_ptr<MainWindow> form_;
};

TEST_F(AuxWindowsTest, OnlyTheMainInstanceHasTheButton) {
  MakeForm({});
  FloatButton* button = form_->AuxWindows().Float();
  ASSERT_TRUE(button);
  EXPECT_STREQ(button->SurfaceKind(), "widget");
  EXPECT_EQ(button->Geometry().size(), QSize(65, 65));
  form_.reset();

  MakeForm({"-suburl", "sub.html"});
  EXPECT_EQ(form_->AuxWindows().Float(), nullptr);
  // Without a button its operations do nothing.
  form_->AuxWindows().PlaceFloatButton(QPoint(5, 5));
  form_->AuxWindows().ShowFloatButton();
  form_->AuxWindows().HideFloatButton();
  EXPECT_EQ(form_->AuxWindows().Float(), nullptr);
}

TEST_F(AuxWindowsTest, FourthTapShowsTheNoticeOnceThenLeavesFullScreen) {
  MakeForm({});
  ShowForm();
  form_->State().FullScreenOn();
  ASSERT_TRUE(form_->State().IsFullScreen());

  Tap(3);
  EXPECT_TRUE(infos_->empty());
  EXPECT_TRUE(form_->State().IsFullScreen());
  Tap(1);
  ASSERT_EQ(infos_->size(), 1u);
  // Shown as written, not through the language files.
  EXPECT_EQ((*infos_)[0], std::make_pair(std::string("提示"), std::string("退出全屏状态！")));
  EXPECT_FALSE(form_->State().IsFullScreen());
  EXPECT_EQ(FloatBtnTapCounter().Taps(), 0);

  // Out of full screen four taps still show the notice, and nothing else changes.
  Tap(4);
  EXPECT_EQ(infos_->size(), 2u);
  EXPECT_FALSE(form_->State().IsFullScreen());
}

TEST_F(AuxWindowsTest, RestoreRunsOnlyAfterTheNoticeWasClosed) {
  MakeForm({});
  ShowForm();
  form_->State().FullScreenOn();
  std::vector<bool> fullScreenDuringNotice;
  form_->AuxWindows().Float()->SetNoticeBox(
      [&](const std::string&, const std::string&) { fullScreenDuringNotice.push_back(form_->State().IsFullScreen()); });
  Tap(4);
  EXPECT_EQ(fullScreenDuringNotice, std::vector<bool>{true});
  EXPECT_FALSE(form_->State().IsFullScreen());
}

TEST_F(AuxWindowsTest, ButtonSitsAtTheBrowserAreasCornerAndFollowsTheWindow) {
  MakeForm({});
  ShowForm();
  auto expected = [&] {
    return QRect(form_->View()->mapToGlobal(QPoint(0, 0)) + QPoint(10, 0), QSize(65, 65));
  };
  FloatButton* button = form_->AuxWindows().Float();
  EXPECT_TRUE(button->IsVisible());
  EXPECT_EQ(button->Geometry(), expected());

  form_->setWindowState(Qt::WindowNoState);
  form_->setGeometry(120, 90, 700, 500);
  Drain();
  EXPECT_EQ(button->Geometry(), expected());
  form_->move(200, 150);
  Drain();
  EXPECT_EQ(button->Geometry(), expected());
}

TEST_F(AuxWindowsTest, DebugWindowExistsOnlyInDebugModeAndOnce) {
  MakeForm({});
  QWebEnginePage* page = form_->Page();
  form_->AuxWindows().CreateDebugWindow(page, false);
  EXPECT_EQ(form_->AuxWindows().Debug(), nullptr);
  form_->AuxWindows().CreateDebugWindow(nullptr, true);
  EXPECT_EQ(form_->AuxWindows().Debug(), nullptr);
  form_->AuxWindows().ShowDebugWindow();  // nothing to show
  EXPECT_EQ(form_->AuxWindows().Debug(), nullptr);

  form_->AuxWindows().CreateDebugWindow(page, true);
  DebugWindow* window = form_->AuxWindows().Debug();
  ASSERT_TRUE(window);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->InspectedPage(), page);
  EXPECT_EQ(window->windowTitle().toStdString(), "调试窗口");
  EXPECT_EQ(window->size(), QSize(635, 460));
  form_->AuxWindows().CreateDebugWindow(page, true);
  EXPECT_EQ(form_->AuxWindows().Debug(), window);
}

TEST_F(AuxWindowsTest, EachShowingOpensTheToolsAndEachClosingClosesThem) {
  MakeForm({"-fordebug"});
  ShowForm();
  form_->AuxWindows().CreateDebugWindow(form_->Page(), true);
  DebugWindow* window = form_->AuxWindows().Debug();
  ASSERT_TRUE(window);
  QWebEnginePage* tools = window->DevToolsView()->page();

  for (int showing = 0; showing < 2; ++showing) {
    form_->AuxWindows().ShowDebugWindow();
    Drain();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(form_->Page()->devToolsPage(), tools);
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(form_->Page()->devToolsPage(), nullptr);
    EXPECT_EQ(form_->AuxWindows().Debug(), window) << "closing only hides the window";
  }
}

TEST_F(AuxWindowsTest, StatusBarImageOpensTheDebugWindow) {
  MakeForm({"-fordebug"});
  ShowForm();
  form_->AuxWindows().CreateDebugWindow(form_->Page(), true);
  auto* image = form_->findChild<QLabel*>(QStringLiteral("imgShowDbgWnd"));
  ASSERT_TRUE(image);
  EXPECT_TRUE(image->isVisible());
  const QPointF inside(4, 4);
  QMouseEvent press(QEvent::MouseButtonPress, inside, image->mapToGlobal(inside), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, inside, image->mapToGlobal(inside), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(image, &press);
  QApplication::sendEvent(image, &release);
  Drain();
  EXPECT_TRUE(form_->AuxWindows().Debug()->isVisible());
}

TEST_F(AuxWindowsTest, WithoutAnXDisplayAltF12IsAShortcutOfTheProgramsWindows) {
  MakeForm({});
  std::vector<QShortcut*> hotKeys;
  for (QShortcut* s : form_->findChildren<QShortcut*>()) {
    if (s->key() == QKeySequence(Qt::ALT | Qt::Key_F12)) hotKeys.push_back(s);
  }
  ASSERT_EQ(hotKeys.size(), 1u);
  EXPECT_EQ(hotKeys[0]->context(), Qt::ApplicationShortcut);

  form_.reset();
  MakeForm({"-suburl", "sub.html"});
  for (QShortcut* s : form_->findChildren<QShortcut*>()) {
    EXPECT_NE(s->key(), QKeySequence(Qt::ALT | Qt::Key_F12)) << "the secondary screen has no hot key";
  }
}

}  // namespace
}  // namespace zent
