#include "browser/dialogs/QtUserPrompts.h"

#include <QFileDialog>
#include <QMessageBox>

#include "browser/QtText.h"

namespace zent {
namespace {

// Texts in the boxes may carry what a server or a page sent (a file name, a failure's text):
// shown as plain text, never read as markup.
QMessageBox::StandardButton Ask(QWidget* owner, QMessageBox::Icon icon, const std::string& caption,
                                const std::string& text, QMessageBox::StandardButtons buttons) {
  QMessageBox box(icon, ToQt(caption), ToQt(text), buttons, owner);
  box.setTextFormat(Qt::PlainText);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

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
  return Ask(owner_, QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtUserPrompts::ShowInfo(const std::string& caption, const std::string& text) {
  Ask(owner_, QMessageBox::Information, caption, text, QMessageBox::Ok);
}

void QtUserPrompts::ShowError(const std::string& caption, const std::string& text) {
  Ask(owner_, QMessageBox::Critical, caption, text, QMessageBox::Ok);
}

}  // namespace zent
