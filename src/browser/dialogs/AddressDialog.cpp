#include "browser/dialogs/AddressDialog.h"

#include <QCheckBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

#include "browser/QtText.h"
#include "common/Encoding.h"
#include "config/Config.h"

namespace zent {
namespace {

constexpr int kTagDot = 98;
constexpr int kTagBack = 99;

template <typename W>
W* Place(W* w, const char* objectName, int x, int y, int cx, int cy) {
  w->setObjectName(QString::fromLatin1(objectName));
  w->setGeometry(x, y, cx, cy);
  return w;
}

}  // namespace

AddressDialog::AddressDialog(const std::string& address, bool fix, bool severalBrowsers, bool debugMode,
                             QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName("frmIpInput");
  setWindowTitle(Tr("配置"));
  setFixedSize(466, 220);
  QFont font("新宋体");
  font.setPixelSize(12);
  setFont(font);
  BuildControls();
  BuildKeypad();
  Fill(address, fix);
  severalBrowsers_->setChecked(severalBrowsers);
  debugMode_->setChecked(debugMode);
}

void AddressDialog::BuildControls() {
  searchChoice_ = Place(new QRadioButton(Tr("自动搜索服务器"), this), "rdbIP_Find", 24, 24, 113, 17);
  addressChoice_ = Place(new QRadioButton(Tr("指定服务器IP"), this), "rdbIP", 24, 56, 113, 17);
  // Shown untranslated.
  keepAddress_ = Place(new QCheckBox(QStringLiteral("永久指定"), this), "ckbIPFix", 158, 56, 97, 17);
  addressEdit_ = Place(new QLineEdit(this), "Edit_ServerIp", 44, 79, 248, 20);
  addressEdit_->setAttribute(Qt::WA_InputMethodEnabled, false);  // addresses need no input method
  severalBrowsers_ =
      Place(new QCheckBox(Tr("允许在当前机器上多开浏览器。"), this), "chkMultInst", 24, 120, 263, 17);
  debugMode_ = Place(new QCheckBox(Tr("开启调试模式"), this), "chkDebugModel", 24, 152, 263, 17);
  cancelButton_ = Place(new QPushButton(Tr("取消"), this), "btn_Cancel", 135, 187, 75, 25);
  okButton_ = Place(new QPushButton(Tr("确定"), this), "btn_Ok", 218, 187, 75, 25);
  okButton_->setDefault(true);
  cancelButton_->setAutoDefault(false);
  setTabOrder(searchChoice_, addressChoice_);
  connect(searchChoice_, &QRadioButton::clicked, this, &AddressDialog::OnChoiceChanged);
  connect(addressChoice_, &QRadioButton::clicked, this, &AddressDialog::OnChoiceChanged);
  connect(okButton_, &QPushButton::clicked, this, &AddressDialog::OnOk);
  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
}

void AddressDialog::BuildKeypad() {
  keypad_ = Place(new QFrame(this), "Panel1", 301, 3, 162, 213);
  keypad_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  QFont keyFont = font();
  keyFont.setPixelSize(14);
  keyFont.setBold(true);
  struct Key {
    const char* name;
    const char* caption;
    int tag;
  };
  static const Key keys[4][3] = {
      {{"NUM_7", "7", 7}, {"NUM_8", "8", 8}, {"NUM_9", "9", 9}},
      {{"NUM_4", "4", 4}, {"NUM_5", "5", 5}, {"NUM_6", "6", 6}},
      {{"NUM_1", "1", 1}, {"NUM_2", "2", 2}, {"NUM_3", "3", 3}},
      {{"NUM_0", "0", 0}, {"NUM_Dot", ".", kTagDot}, {"NUM_Bak", "←", kTagBack}},
  };
  const int xs[3] = {4, 56, 108}, ys[4] = {3, 55, 107, 159};
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 3; ++col) {
      const Key& k = keys[row][col];
      auto* b = Place(new QPushButton(QString::fromUtf8(k.caption), keypad_), k.name, xs[col], ys[row], 50, 50);
      b->setFont(keyFont);
      b->setAutoDefault(false);  // Enter stays with OK
      b->setProperty("tag", k.tag);
      connect(b, &QPushButton::clicked, this, [this, tag = k.tag] { OnKey(tag); });
    }
  }
}

void AddressDialog::Fill(const std::string& address, bool fix) {
  // Filling the form must not move the focus: `filling_` holds the choice handler back.
  filling_ = true;
  (address.empty() ? searchChoice_ : addressChoice_)->setChecked(true);
  addressEdit_->setText(ToQt(address));
  if (addressChoice_->isChecked()) keepAddress_->setChecked(fix);
  OnChoiceChanged();
  filling_ = false;
}

void AddressDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (QWidget* owner = parentWidget()) {
    const QRect area = owner->window()->frameGeometry();
    move(area.center() - rect().center());
  }
  if (searchChoice_->isChecked()) okButton_->setFocus();
  else addressEdit_->setFocus();
}

void AddressDialog::OnChoiceChanged() {
  addressEdit_->setEnabled(addressChoice_->isChecked());
  if (!filling_ && addressEdit_->isEnabled()) addressEdit_->setFocus();
}

void AddressDialog::OnKey(int tag) {
  // Keys append or remove at the end, wherever the caret is.
  QString text = addressEdit_->text();
  if (tag < 10) text += QString::number(tag);
  else if (tag == kTagDot) text += '.';
  else if (tag == kTagBack && !text.isEmpty()) text.chop(1);
  addressEdit_->setText(text);
}

void AddressDialog::OnOk() {
  if (addressChoice_->isChecked() && Trim(FromQt(addressEdit_->text())).empty()) {
    addressEdit_->setFocus();
    return;
  }
  accept();
}

std::string AddressDialog::ChosenAddress() const {
  if (searchChoice_->isChecked()) return {};
  return std::string(Trim(FromQt(addressEdit_->text())));
}

bool AddressDialog::ChosenFix() const { return !searchChoice_->isChecked() && keepAddress_->isChecked(); }
bool AddressDialog::SeveralBrowsersChecked() const { return severalBrowsers_->isChecked(); }
bool AddressDialog::DebugModeChecked() const { return debugMode_->isChecked(); }

bool ShowAddressDialog(QWidget* parent, const CommandLine& commandLine, std::string& address, bool& fix) {
  AddressDialog dialog(address, fix, !ReadSingleInst(), ReadDebugModel(commandLine), parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  address = dialog.ChosenAddress();
  fix = dialog.ChosenFix();
  WriteSingleInst(!dialog.SeveralBrowsersChecked());
  WriteDebugModel(dialog.DebugModeChecked());
  return true;
}

}  // namespace zent
