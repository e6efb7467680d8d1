// The server address dialog: automatic search or a fixed server address typed or entered on
// an on-screen keypad, plus the two machine options it stores (several browsers on one
// machine, debug mode). ShowAddressDialog runs it modally. Its controls keep the object names
// the tests and tools find them by ("frmIpInput", "rdbIP_Find", "Edit_ServerIp", ...).
#pragma once

#include <QDialog>
#include <string>

#include "config/CommandLine.h"

class QCheckBox;
class QFrame;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zent {

class AddressDialog : public QDialog {
  Q_OBJECT

 public:
  // `severalBrowsers` and `debugMode` are the boxes' first states.
  AddressDialog(const std::string& address, bool fix, bool severalBrowsers, bool debugMode,
                QWidget* parent = nullptr);

  // The operator's choice after OK: empty address and no fix for automatic search.
  std::string ChosenAddress() const;
  bool ChosenFix() const;
  bool SeveralBrowsersChecked() const;
  bool DebugModeChecked() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();
  void BuildKeypad();
  void Fill(const std::string& address, bool fix);
  void OnChoiceChanged();
  void OnKey(int tag);
  void OnOk();

  QRadioButton* searchChoice_;
  QRadioButton* addressChoice_;
  QCheckBox* keepAddress_;
  QLineEdit* addressEdit_;
  QCheckBox* severalBrowsers_;
  QCheckBox* debugMode_;
  QPushButton* cancelButton_;
  QPushButton* okButton_;
  QFrame* keypad_;
  bool filling_ = true;
};

// Runs the dialog over `parent`. On OK the address and fix flag are replaced by the choice
// and the two options are already stored (SingleInst as the opposite of the several-browsers
// box, DebugModel as its box); returns true. Cancel changes nothing and returns false.
// Reading or storing the options may throw when the configuration folder is unavailable.
bool ShowAddressDialog(QWidget* parent, const CommandLine& commandLine, std::string& address, bool& fix);

}  // namespace zent
