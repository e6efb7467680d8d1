// The operator's questions and notices shown with the toolkit's dialogs.
#pragma once

#include <QPointer>
#include <QWidget>

#include "browser/dialogs/UserPrompts.h"

namespace zent {

class QtUserPrompts : public TUserPrompts {
 public:
  explicit QtUserPrompts(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }

  std::optional<std::string> AskSavePath(const SaveFileRequest& request) override;
  bool AskYesNo(const std::string& caption, const std::string& text) override;
  void ShowInfo(const std::string& caption, const std::string& text) override;
  void ShowError(const std::string& caption, const std::string& text) override;

 private:
  QPointer<QWidget> owner_;
};

}  // namespace zent
