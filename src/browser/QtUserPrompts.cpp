#include "browser/QtUserPrompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace zent {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

std::optional<std::string> QtUserPrompts::AskSavePath(const SaveFileRequest& request) {
  QFileDialog dialog(owner_);
  dialog.setObjectName(QStringLiteral("SaveDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setSizeGripEnabled(true);
  dialog.setNameFilter(Q(request.filter));
  if (!request.startFolder.empty()) dialog.setDirectory(Q(request.startFolder));
  dialog.selectFile(Q(request.suggestedName));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return files.first().toStdString();
}

bool QtUserPrompts::AskYesNo(const std::string& caption, const std::string& text) {
  return QMessageBox::question(owner_, Q(caption), Q(text), QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

void QtUserPrompts::ShowInfo(const std::string& caption, const std::string& text) {
  QMessageBox::information(owner_, Q(caption), Q(text), QMessageBox::Ok);
}

void QtUserPrompts::ShowError(const std::string& caption, const std::string& text) {
  QMessageBox::critical(owner_, Q(caption), Q(text), QMessageBox::Ok);
}

}  // namespace zent
