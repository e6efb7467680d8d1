// The questions and notices the window puts to the operator. Kept behind an interface so
// that tests can answer them; the real one shows the toolkit's dialogs.
#pragma once

#include <optional>
#include <string>

namespace zent {

struct SaveFileRequest {
  std::string startFolder;    // may be empty: the dialog's default folder
  std::string suggestedName;  // a plain file name
  std::string filter;         // one filter, "*.xlsx (*.xlsx)"
};

class TUserPrompts {
 public:
  virtual ~TUserPrompts() = default;
  // The confirmed full path, or nullopt when the operator cancelled. Asks before overwriting.
  virtual std::optional<std::string> AskSavePath(const SaveFileRequest& request) = 0;
  // Yes/No question with the question icon.
  virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
  // A notice with an OK button.
  virtual void ShowInfo(const std::string& caption, const std::string& text) = 0;
  // An error with an OK button and the error icon.
  virtual void ShowError(const std::string& caption, const std::string& text) = 0;
};

}  // namespace zent
