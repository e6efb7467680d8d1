#include "browser/dialogs/QtUserPrompts.h"

#include <QFileDialog>
#include <QMessageBox>

#include "browser/QtText.h"

namespace zent {
std::optional<std::string> QtUserPrompts::AskSavePath(const SaveFileRequest& request) {
  QFileDialog dialog(owner_);
  dialog.setObjectName(QStringLiteral("SaveDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setSizeGripEnabled(true);
  dialog.setNameFilter(ToQt(request.filter));
  if (!request.startFolder.empty()) dialog.setDirectory(ToQt(request.startFolder));
  dialog.selectFile(ToQt(request.suggestedName));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return FromQt(files.first());
}

bool QtUserPrompts::AskYesNo(const std::string& caption, const std::string& text) {
  return QMessageBox::question(owner_, ToQt(caption), ToQt(text), QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

void QtUserPrompts::ShowInfo(const std::string& caption, const std::string& text) {
  QMessageBox::information(owner_, ToQt(caption), ToQt(text), QMessageBox::Ok);
}

void QtUserPrompts::ShowError(const std::string& caption, const std::string& text) {
  QMessageBox::critical(owner_, ToQt(caption), ToQt(text), QMessageBox::Ok);
}

}  // namespace zent
