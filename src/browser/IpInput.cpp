#include "browser/IpInput.h"

#include <QCheckBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

#include "config/Config.h"
#include "common/Encoding.h"
#include "lang/Translate.h"

namespace zent {
namespace {

constexpr int kTagDot = 98;
constexpr int kTagBack = 99;

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
QString Tr(const char* text) { return Q(Translate(text)); }

}  // namespace

TfrmIpInput::TfrmIpInput(const std::string& address, bool fix, bool multInst, bool debugModel,
                         QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName("frmIpInput");
  setWindowTitle(Tr("配置"));
  setFixedSize(466, 220);
  QFont font("新宋体");
  font.setPixelSize(12);
  setFont(font);

  auto place = [](QWidget* w, const char* name, int x, int y, int cx, int cy) {
    w->setObjectName(name);
    w->setGeometry(x, y, cx, cy);
  };
  rdbIP_Find = new QRadioButton(Tr("自动搜索服务器"), this);
  place(rdbIP_Find, "rdbIP_Find", 24, 24, 113, 17);
  rdbIP = new QRadioButton(Tr("指定服务器IP"), this);
  place(rdbIP, "rdbIP", 24, 56, 113, 17);
  ckbIPFix = new QCheckBox(QStringLiteral("永久指定"), this);  // shown untranslated
  place(ckbIPFix, "ckbIPFix", 158, 56, 97, 17);
  Edit_ServerIp = new QLineEdit(this);
  place(Edit_ServerIp, "Edit_ServerIp", 44, 79, 248, 20);
  Edit_ServerIp->setAttribute(Qt::WA_InputMethodEnabled, false);  // addresses need no input method
  chkMultInst = new QCheckBox(Tr("允许在当前机器上多开浏览器。"), this);
  place(chkMultInst, "chkMultInst", 24, 120, 263, 17);
  chkDebugModel = new QCheckBox(Tr("开启调试模式"), this);
  place(chkDebugModel, "chkDebugModel", 24, 152, 263, 17);
  btn_Cancel = new QPushButton(Tr("取消"), this);
  place(btn_Cancel, "btn_Cancel", 135, 187, 75, 25);
  btn_Ok = new QPushButton(Tr("确定"), this);
  place(btn_Ok, "btn_Ok", 218, 187, 75, 25);
  btn_Ok->setDefault(true);
  setTabOrder(rdbIP_Find, rdbIP);

  Panel1 = new QFrame(this);
  place(Panel1, "Panel1", 301, 3, 162, 213);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  QFont keyFont = font;
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
      auto* b = new QPushButton(QString::fromUtf8(k.caption), Panel1);
      place(b, k.name, xs[col], ys[row], 50, 50);
      b->setFont(keyFont);
      b->setAutoDefault(false);  // Enter stays with OK
      b->setProperty("tag", k.tag);
      connect(b, &QPushButton::clicked, this, [this, tag = k.tag] { NumClick(tag); });
    }
  }
  btn_Cancel->setAutoDefault(false);

  connect(rdbIP_Find, &QRadioButton::clicked, this, &TfrmIpInput::rdbIPClick);
  connect(rdbIP, &QRadioButton::clicked, this, &TfrmIpInput::rdbIPClick);
  connect(btn_Ok, &QPushButton::clicked, this, &TfrmIpInput::btn_OkClick);
  connect(btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);

  // Filling the form must not move the focus: FInCreate holds the radio handler back.
  FInCreate = true;
  (address.empty() ? rdbIP_Find : rdbIP)->setChecked(true);
  Edit_ServerIp->setText(Q(address));
  if (rdbIP->isChecked()) ckbIPFix->setChecked(fix);
  rdbIPClick();
  FInCreate = false;

  chkMultInst->setChecked(multInst);
  chkDebugModel->setChecked(debugModel);
}

void TfrmIpInput::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (QWidget* owner = parentWidget()) {
    const QRect area = owner->window()->frameGeometry();
    move(area.center() - rect().center());
  }
  if (rdbIP_Find->isChecked()) btn_Ok->setFocus();
  else Edit_ServerIp->setFocus();
}

void TfrmIpInput::rdbIPClick() {
  Edit_ServerIp->setEnabled(rdbIP->isChecked());
  if (!FInCreate && Edit_ServerIp->isEnabled()) Edit_ServerIp->setFocus();
}

void TfrmIpInput::NumClick(int tag) {
  // Keys append or remove at the end, wherever the caret is.
  QString text = Edit_ServerIp->text();
  if (tag < 10) text += QString::number(tag);
  else if (tag == kTagDot) text += '.';
  else if (tag == kTagBack && !text.isEmpty()) text.chop(1);
  Edit_ServerIp->setText(text);
}

void TfrmIpInput::btn_OkClick() {
  if (rdbIP->isChecked() && Trim(Edit_ServerIp->text().toStdString()).empty()) {
    Edit_ServerIp->setFocus();
    return;
  }
  accept();
}

std::string TfrmIpInput::ChosenAddress() const {
  if (rdbIP_Find->isChecked()) return {};
  return std::string(Trim(Edit_ServerIp->text().toStdString()));
}

bool TfrmIpInput::ChosenFix() const { return !rdbIP_Find->isChecked() && ckbIPFix->isChecked(); }
bool TfrmIpInput::MultInstChecked() const { return chkMultInst->isChecked(); }
bool TfrmIpInput::DebugModelChecked() const { return chkDebugModel->isChecked(); }

bool ShowIpInput(QWidget* parent, const CommandLine& commandLine, std::string& address, bool& fix) {
  TfrmIpInput form(address, fix, !ReadSingleInst(), ReadDebugModel(commandLine), parent);
  if (form.exec() != QDialog::Accepted) return false;
  address = form.ChosenAddress();
  fix = form.ChosenFix();
  WriteSingleInst(!form.MultInstChecked());
  WriteDebugModel(form.DebugModelChecked());
  return true;
}

}  // namespace zent
