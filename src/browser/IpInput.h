// The server address dialog TfrmIpInput: automatic search or a fixed server address typed
// or entered on an on-screen keypad, plus the two machine options it stores (several
// browsers on one machine, debug mode). ShowIpInput runs it modally.
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

class TfrmIpInput : public QDialog {
  Q_OBJECT

 public:
  // `multInst` and `debugModel` are the boxes' first states.
  TfrmIpInput(const std::string& address, bool fix, bool multInst, bool debugModel,
              QWidget* parent = nullptr);

  // The operator's choice after OK: empty address and no fix for automatic search.
  std::string ChosenAddress() const;
  bool ChosenFix() const;
  bool MultInstChecked() const;
  bool DebugModelChecked() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void rdbIPClick();
  void NumClick(int tag);
  void btn_OkClick();

  QRadioButton* rdbIP_Find;
  QRadioButton* rdbIP;
  QCheckBox* ckbIPFix;
  QLineEdit* Edit_ServerIp;
  QCheckBox* chkMultInst;
  QCheckBox* chkDebugModel;
  QPushButton* btn_Cancel;
  QPushButton* btn_Ok;
  QFrame* Panel1;
  bool FInCreate = true;
};

// Runs the dialog over `parent`. On OK the address and fix flag are replaced by the choice
// and the two options are already stored (SingleInst as the opposite of the several-browsers
// box, DebugModel as its box); returns true. Cancel changes nothing and returns false.
// Reading or storing the options may throw when the configuration folder is unavailable.
bool ShowIpInput(QWidget* parent, const CommandLine& commandLine, std::string& address, bool& fix);

}  // namespace zent
