#include "browser/engine/DownloadFlow.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>

#include "browser/QtText.h"
#include "browser/dialogs/UserPrompts.h"
#include "browser/rules/AppTitle.h"
#include "common/Errors.h"
#include "common/FileLog.h"
#include "common/Format.h"
#include "common/TextFill.h"
#include "config/Config.h"
#include "platform/Shell.h"
#include "update/ProgramTree.h"

namespace zent {

DownloadFlow::DownloadFlow(QWebEngineProfile* profile, TUserPrompts& prompts, QObject* parent)
    : QObject(parent), prompts_(prompts) {
  connect(profile, &QWebEngineProfile::downloadRequested, this, &DownloadFlow::OnDownloadRequested);
}

std::optional<DownloadTarget> DownloadFlow::AskTarget(const std::string& suggestedName) {
  const std::string name = SafeDownloadName(suggestedName);
  const std::string ext = FileExtension(name);
  SaveFileRequest request;
  // Never the program's folder: a page's file saved there could pass for an update package.
  request.startFolder = ReadLastPath();
  if (request.startFolder.empty() || IsInsideProgramTree(request.startFolder)) {
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    request.startFolder = FromQt(QFileInfo(downloads).isDir() ? downloads : QDir::homePath());
  }
  request.suggestedName = name;
  request.filter = SaveDialogFilter(ext);
  const auto chosen = prompts_.AskSavePath(request);
  if (!chosen) return std::nullopt;
  auto target = ChosenDownloadTarget(*chosen, ext);
  if (target && IsInsideProgramTree(target->FullPath())) {
    prompts_.ShowError(ApplicationTitle(), Translate("不能保存到程序所在的文件夹，请选择其他文件夹。"));
    return std::nullopt;
  }
  return target;
}

void DownloadFlow::OnDownloadRequested(QWebEngineDownloadRequest* download) {
  const auto target = AskTarget(FromQt(download->suggestedFileName()));
  if (!target) {
    download->cancel();  // nothing is saved and nothing further is asked
    return;
  }
  download->setDownloadDirectory(ToQt(target->folder));
  download->setDownloadFileName(ToQt(target->fileName));
  const std::string fullPath = target->FullPath();
  connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this, [this, download, fullPath] {
    if (download->state() == QWebEngineDownloadRequest::DownloadCompleted) Completed(fullPath);
  });
  download->accept();
}

void DownloadFlow::Completed(const std::string& fullPath) {
  if (fullPath.empty()) return;
  SaveLastPath(FolderOf(fullPath));
  if (!QFileInfo::exists(ToQt(fullPath))) {
    AppLog().Log(2, FillText(Translate("%s文件不存在！"), fullPath));
    return;
  }
  QMetaObject::invokeMethod(this, [this, path = ToQt(fullPath)] { OfferToOpen(path); }, Qt::QueuedConnection);
}

void DownloadFlow::OfferToOpen(const QString& fullPath) {
  if (!prompts_.AskYesNo(Translate("提示"), Translate("是否打开已下载的文件"))) return;
  try {
    const int result = platform::ShellOpen(FromQt(fullPath));
    // Access denied is accepted silently, as the desktop reports it for files it opened anyway.
    if (result < 32 && result != platform::kShellAccessDenied) {
      throw Exception(Format("ShellExecute.Return: %d", result));
    }
  } catch (const std::exception& e) {
    prompts_.ShowError(ApplicationTitle(), FillText(Translate("异常：%s"), e.what()));
  }
}

}  // namespace zent
