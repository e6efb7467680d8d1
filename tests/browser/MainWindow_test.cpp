// The main window in-process: the close query, full screen, the status bar's design values
// and the download flow, with the operator's answers given by the test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QEventLoop>
#include <QTimer>
#include <QCloseEvent>
#include <QLabel>
#include <QWebEngineView>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>

#include "config/CommandLine.h"
#include "config/Config.h"
#include "browser/engine/BrowserPage.h"
#include "browser/dialogs/Dialogs.h"
#include "browser/dialogs/UserPrompts.h"
#include "browser/engine/DownloadFlow.h"
#include "browser/secondary/SecondaryScreen.h"
#include "browser/window/CloseSequence.h"
#include "browser/window/MainWindow.h"
#include "browser/window/WindowState.h"
#include "common/Utils.h"
#include "update/UpdateNames.h"

namespace zent {
namespace {

// Records every question and answers from a script.
class ScriptedPrompts : public TUserPrompts {
 public:
  struct Log {
    std::vector<SaveFileRequest> saves;
    std::vector<std::string> questions;
    std::vector<std::pair<std::string, std::string>> infos;
    std::vector<std::string> errors;
    std::deque<std::optional<std::string>> saveAnswers;
    std::deque<bool> yesNoAnswers;
    std::function<void()> onQuestion;
  };
  explicit ScriptedPrompts(std::shared_ptr<Log> log) : log_(std::move(log)) {}

  std::optional<std::string> AskSavePath(const SaveFileRequest& request) override {
    log_->saves.push_back(request);
    if (log_->saveAnswers.empty()) return std::nullopt;
    auto answer = log_->saveAnswers.front();
    log_->saveAnswers.pop_front();
    return answer;
  }
  bool AskYesNo(const std::string&, const std::string& text) override {
    log_->questions.push_back(text);
    if (log_->onQuestion) log_->onQuestion();
    if (log_->yesNoAnswers.empty()) return false;
    const bool answer = log_->yesNoAnswers.front();
    log_->yesNoAnswers.pop_front();
    return answer;
  }
  void ShowInfo(const std::string& caption, const std::string& text) override {
    log_->infos.emplace_back(caption, text);
  }
  void ShowError(const std::string&, const std::string& text) override { log_->errors.push_back(text); }

 private:
  std::shared_ptr<Log> log_;
};

// A folder of its own for downloads, outside the test program's folder (the build's test
// folder lies inside it, and nothing may be saved into the program's tree).
std::string DownloadFolder(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("zent-browser-tests." + std::to_string(::getpid())) / name).string() + "/";
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<MainWindow>(CommandLine({"Lumo7Browser"}), std::make_unique<ScriptedPrompts>(log_));
  }
  void TearDown() override {
    form_->Closing().SetCanClose(true);
    form_.reset();
  }
  QWidget* Child(const char* name) { return form_->findChild<QWidget*>(QString::fromLatin1(name)); }
  // Lets queued calls (the window messages) run.
  void Drain() { QCoreApplication::processEvents(QEventLoop::AllEvents, 50); }

  std::shared_ptr<ScriptedPrompts::Log> log_ = std::make_shared<ScriptedPrompts::Log>();
  std::unique_ptr<MainWindow> form_;
};

TEST_F(MainWindowTest, DesignValues) {
  EXPECT_EQ(form_->windowTitle().toStdString(), kMainWindowCaption);
  EXPECT_EQ(form_->minimumSize(), QSize(640, 480));
  EXPECT_EQ(form_->font().pixelSize(), 12);
  ASSERT_TRUE(Child("Panel_Bottom"));
  EXPECT_EQ(Child("Panel_Bottom")->height(), 18);
  auto* version = qobject_cast<QLabel*>(Child("labVerion"));
  ASSERT_TRUE(version);
  EXPECT_TRUE(version->text().startsWith(QStringLiteral("版本: ["))) << version->text().toStdString();
  // The loading pictures are decoded when the panel is first shown (the window shows it while
  // it looks for its server), not while the window is built.
  auto* text = qobject_cast<QLabel*>(Child("imgLoadingText"));
  ASSERT_TRUE(text);
  auto* background = qobject_cast<QLabel*>(Child("imgLoading"));
  ASSERT_TRUE(background);
  EXPECT_TRUE(text->pixmap().isNull());
  form_->show();
  Drain();
  EXPECT_TRUE(Child("pnlLoading")->isVisible());
  EXPECT_EQ(text->pixmap().size(), QSize(539, 215));
  EXPECT_EQ(background->pixmap().size(), QSize(1024, 768));
  auto* config = qobject_cast<QLabel*>(Child("imgConfig"));
  ASSERT_TRUE(config);
  EXPECT_EQ(config->pixmap().size(), QSize(16, 16));
  EXPECT_EQ(config->toolTip().toStdString(), "配置");
  EXPECT_EQ(form_->View()->contextMenuPolicy(), Qt::NoContextMenu);
}

TEST_F(MainWindowTest, LoadingPanelFillsTheBrowserAreaWithItsPictureCentred) {
  form_->show();
  Drain();
  QWidget* panel = Child("pnlLoading");
  ASSERT_TRUE(panel && panel->isVisible());
  EXPECT_EQ(panel->size(), panel->parentWidget()->size());
  QWidget* text = Child("imgLoadingText");
  EXPECT_EQ(text->x(), (panel->width() - 539) / 2);
  EXPECT_EQ(text->y(), (panel->height() - 215) / 2);
}

TEST_F(MainWindowTest, CloseIsRefusedWhileBusinessIsInProgress) {
  form_->show();
  Drain();
  form_->Closing().SetCanClose(false);
  EXPECT_FALSE(form_->close());
  EXPECT_TRUE(form_->isVisible());
  ASSERT_EQ(log_->infos.size(), 1u);
  EXPECT_EQ(log_->infos[0].first, "提示");
  EXPECT_EQ(log_->infos[0].second, "当前正在进行业务处理，不允许退出。");

  // The page command path closes through the same query.
  QMetaObject::invokeMethod(form_.get(), &QWidget::close, Qt::QueuedConnection);
  Drain();
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(log_->infos.size(), 2u);

  // Allowed: the window goes at once; it closes for good once the disconnect notice is done.
  form_->Closing().SetCanClose(true);
  form_->close();
  EXPECT_FALSE(form_->isVisible());
  EXPECT_EQ(log_->infos.size(), 2u);
}

TEST_F(MainWindowTest, FullScreenOnOffAndTwiceOn) {
  form_->show();
  Drain();
  QWidget* bar = Child("Panel_Bottom");
  ASSERT_TRUE(bar->isVisible());

  form_->State().FullScreenOn();
  EXPECT_TRUE(form_->State().IsFullScreen());
  EXPECT_TRUE(form_->windowState() & Qt::WindowFullScreen);
  EXPECT_FALSE(bar->isVisible());
  EXPECT_TRUE(form_->updatesEnabled()) << "redrawing must be released after the change";

  form_->State().FullScreenOff();
  EXPECT_FALSE(form_->State().IsFullScreen());
  EXPECT_FALSE(form_->windowState() & Qt::WindowFullScreen);
  EXPECT_TRUE(form_->windowState() & Qt::WindowMaximized);
  EXPECT_TRUE(bar->isVisible());

  form_->State().FullScreenOn();
  const auto state = form_->windowState();
  form_->State().FullScreenOn();
  EXPECT_TRUE(form_->State().IsFullScreen());
  EXPECT_EQ(form_->windowState(), state);
  EXPECT_FALSE(bar->isVisible());

  form_->State().SwitchFullScreen();
  EXPECT_FALSE(form_->State().IsFullScreen());
  EXPECT_TRUE(bar->isVisible());
}

TEST(MainWindowSubScreen, FullScreenNeverChangesAndTheCaptionIsTheIdentity) {
  auto log = std::make_shared<ScriptedPrompts::Log>();
  MainWindow form(CommandLine({"Lumo7Browser", "-SUBURL", "sub/page"}), std::make_unique<ScriptedPrompts>(log));
  EXPECT_TRUE(form.Role().secondary);
  EXPECT_EQ(form.windowTitle().toStdString(), kSubScreenCaption);
  EXPECT_TRUE(form.State().IsFullScreen());
  EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
  form.State().FullScreenOff();
  EXPECT_TRUE(form.State().IsFullScreen());
  form.State().SwitchFullScreen();
  EXPECT_TRUE(form.State().IsFullScreen());
}

TEST_F(MainWindowTest, DownloadOffersOneFilterAndAppendsTheExtension) {
  const std::string folder = DownloadFolder("dl-chosen");
  log_->saveAnswers.push_back(folder + "summary");
  const auto target = form_->Downloads().AskTarget("report.xlsx");
  ASSERT_EQ(log_->saves.size(), 1u);
  EXPECT_EQ(log_->saves[0].filter, "*.xlsx (*.xlsx)");
  EXPECT_EQ(log_->saves[0].suggestedName, "report.xlsx");
  ASSERT_TRUE(target);
  EXPECT_EQ(target->FullPath(), folder + "summary.xlsx");
}

// A page's file saved into the program's tree could become the next start's update package.
TEST_F(MainWindowTest, DownloadIntoTheProgramsTreeIsRefused) {
  const std::string base = InstallBaseOf(GetAppFileName());
  SaveLastPath(base + "Temp/ExeBuf/");
  log_->saveAnswers.push_back(base + "Temp/ExeBuf/DO2_U_x.exe");
  EXPECT_FALSE(form_->Downloads().AskTarget("DO2_U_x.exe"));
  ASSERT_EQ(log_->saves.size(), 1u);
  // The remembered folder lies in the program's tree: the dialog opens in the user's own.
  const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
  EXPECT_EQ(log_->saves[0].startFolder,
            (QFileInfo(downloads).isDir() ? downloads : QDir::homePath()).toStdString());
  ASSERT_EQ(log_->errors.size(), 1u);
  EXPECT_EQ(log_->errors[0], "不能保存到程序所在的文件夹，请选择其他文件夹。");
}

TEST_F(MainWindowTest, CancelledDownloadSavesNothingAndAsksNothingMore) {
  log_->saveAnswers.push_back(std::nullopt);
  EXPECT_FALSE(form_->Downloads().AskTarget("report.xlsx"));
  Drain();
  EXPECT_TRUE(log_->questions.empty());
}

TEST_F(MainWindowTest, HostileSuggestedNamesStayInsideTheChosenFolder) {
  const std::string folder = DownloadFolder("dl-chosen");
  for (const char* hostile : {"../../../etc/cron.d/x", "", "..", "a/b\\c.sh"}) {
    log_->saveAnswers.push_back(std::nullopt);
    form_->Downloads().AskTarget(hostile);
    const std::string offered = log_->saves.back().suggestedName;
    EXPECT_EQ(offered.find_first_of("/\\"), std::string::npos) << hostile;
    EXPECT_NE(offered, "..") << hostile;
    EXPECT_FALSE(offered.empty()) << hostile;
  }
}

TEST_F(MainWindowTest, CompletedDownloadRemembersItsFolderAndAsksBeforeOpening) {
  const std::string folder = DownloadFolder("dl-done");
  std::filesystem::create_directories(folder);
  const std::string file = folder + "summary.xlsx";
  std::ofstream(file) << "x";
  log_->yesNoAnswers.push_back(false);
  form_->Downloads().Completed(file);
  Drain();
  ASSERT_EQ(log_->questions.size(), 1u);
  EXPECT_EQ(log_->questions[0], "是否打开已下载的文件");
  EXPECT_TRUE(log_->errors.empty());
  EXPECT_EQ(ReadLastPath(), folder);

  // A file that vanished brings no question.
  form_->Downloads().Completed(folder + "gone.xlsx");
  Drain();
  EXPECT_EQ(log_->questions.size(), 1u);
}

// The whole flow through the engine: a page offers a file under a hostile name, the operator
// picks a folder and a name without extension, the file lands there and the question follows.
TEST_F(MainWindowTest, PageDownloadLandsInTheChosenFolderOnly) {
  const std::string root = DownloadFolder("dl-engine");
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root + "chosen");
  log_->saveAnswers.push_back(root + "chosen/summary");
  log_->yesNoAnswers.push_back(false);
  QEventLoop loop;
  log_->onQuestion = [&loop] { loop.quit(); };
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
  guard.start(60000);

  form_->show();
  form_->Page()->setHtml(QStringLiteral(
      "<a id=a download='../../report.xlsx' href='data:application/octet-stream;base64,eA=='>x</a>"
      "<script>document.getElementById('a').click()</script>"));
  loop.exec();

  ASSERT_EQ(log_->questions.size(), 1u) << "the download did not complete";
  ASSERT_EQ(log_->saves.size(), 1u);
  EXPECT_EQ(log_->saves[0].suggestedName, "report.xlsx");
  EXPECT_EQ(log_->saves[0].filter, "*.xlsx (*.xlsx)");
  EXPECT_TRUE(std::filesystem::exists(root + "chosen/summary.xlsx"));
  size_t files = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) files += e.is_regular_file();
  EXPECT_EQ(files, 1u) << "nothing may be written beside the chosen file";
}

}  // namespace
}  // namespace zent
