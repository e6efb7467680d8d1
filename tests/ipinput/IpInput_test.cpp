#include "browser/dialogs/AddressDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "config/Config.h"

namespace zent {
namespace {

namespace fs = std::filesystem;

template <typename T>
T* Child(QWidget& form, const char* name) {
  T* w = form.findChild<T*>(name);
  EXPECT_NE(w, nullptr) << name;
  return w;
}

void Click(QWidget& form, const char* name) { Child<QPushButton>(form, name)->click(); }

std::string EditText(QWidget& form) {
  return Child<QLineEdit>(form, "Edit_ServerIp")->text().toStdString();
}

// Shows the form as the operator sees it and lets the events settle.
void Show(QWidget& form) {
  form.show();
  form.activateWindow();
  QApplication::processEvents();
}

TEST(AddressDialog, OpenedEmptyStartsOnAutomaticSearchWithOkFocused) {
  AddressDialog form("", true, false, false);
  Show(form);
  EXPECT_TRUE(Child<QRadioButton>(form, "rdbIP_Find")->isChecked());
  EXPECT_FALSE(Child<QLineEdit>(form, "Edit_ServerIp")->isEnabled());
  EXPECT_FALSE(Child<QCheckBox>(form, "ckbIPFix")->isChecked());  // the flag shows only for a fixed address
  EXPECT_EQ(form.focusWidget(), Child<QPushButton>(form, "btn_Ok"));
  EXPECT_EQ(form.size(), QSize(466, 220));
}

TEST(AddressDialog, OpenedWithAnAddressStartsOnTheFixedAddress) {
  AddressDialog form("10.0.0.5", true, true, true);
  Show(form);
  EXPECT_TRUE(Child<QRadioButton>(form, "rdbIP")->isChecked());
  EXPECT_TRUE(Child<QLineEdit>(form, "Edit_ServerIp")->isEnabled());
  EXPECT_EQ(EditText(form), "10.0.0.5");
  EXPECT_TRUE(Child<QCheckBox>(form, "ckbIPFix")->isChecked());
  EXPECT_TRUE(Child<QCheckBox>(form, "chkMultInst")->isChecked());
  EXPECT_TRUE(Child<QCheckBox>(form, "chkDebugModel")->isChecked());
  EXPECT_EQ(form.focusWidget(), Child<QLineEdit>(form, "Edit_ServerIp"));
}

TEST(AddressDialog, KeypadLayoutAndTags) {
  AddressDialog form("", false, false, false);
  struct Key {
    const char* name;
    int x, y, tag;
    const char* caption;
  } keys[] = {
      {"NUM_7", 4, 3, 7, "7"},     {"NUM_8", 56, 3, 8, "8"},      {"NUM_9", 108, 3, 9, "9"},
      {"NUM_4", 4, 55, 4, "4"},    {"NUM_5", 56, 55, 5, "5"},     {"NUM_6", 108, 55, 6, "6"},
      {"NUM_1", 4, 107, 1, "1"},   {"NUM_2", 56, 107, 2, "2"},    {"NUM_3", 108, 107, 3, "3"},
      {"NUM_0", 4, 159, 0, "0"},   {"NUM_Dot", 56, 159, 98, "."}, {"NUM_Bak", 108, 159, 99, "←"},
  };
  for (const auto& k : keys) {
    SCOPED_TRACE(k.name);
    auto* b = Child<QPushButton>(form, k.name);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->geometry(), QRect(k.x, k.y, 50, 50));
    EXPECT_EQ(b->property("tag").toInt(), k.tag);
    EXPECT_EQ(b->text().toStdString(), k.caption);
  }
}

TEST(AddressDialog, KeypadAppendsAndRemovesAtTheEnd) {
  AddressDialog form("", false, false, false);
  Show(form);
  Click(form, "NUM_Bak");  // nothing to remove
  EXPECT_EQ(EditText(form), "");
  Child<QRadioButton>(form, "rdbIP")->click();
  auto* edit = Child<QLineEdit>(form, "Edit_ServerIp");
  EXPECT_TRUE(edit->isEnabled());
  EXPECT_EQ(form.focusWidget(), edit);  // choosing the fixed address moves to the edit
  for (const char* k : {"NUM_1", "NUM_9", "NUM_2", "NUM_Dot", "NUM_1", "NUM_6", "NUM_8", "NUM_Bak", "NUM_Bak"}) {
    Click(form, k);
  }
  EXPECT_EQ(EditText(form), "192.1");
  edit->setCursorPosition(0);  // the caret does not matter
  Click(form, "NUM_0");
  EXPECT_EQ(EditText(form), "192.10");
  Child<QRadioButton>(form, "rdbIP_Find")->click();
  EXPECT_FALSE(edit->isEnabled());
}

TEST(AddressDialog, OkWithABlankFixedAddressStaysOpen) {
  AddressDialog form("   ", false, false, false);
  Show(form);
  Click(form, "btn_Ok");
  QApplication::processEvents();
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.result(), QDialog::Rejected);  // not accepted
  EXPECT_EQ(form.focusWidget(), Child<QLineEdit>(form, "Edit_ServerIp"));
  Child<QLineEdit>(form, "Edit_ServerIp")->setText("  pos-server ");
  Click(form, "btn_Ok");
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(form.ChosenAddress(), "pos-server");  // trimmed, otherwise unchecked
}

TEST(AddressDialog, AutomaticSearchAlwaysConfirms) {
  AddressDialog form("10.0.0.5", true, false, false);
  Show(form);
  Child<QRadioButton>(form, "rdbIP_Find")->click();
  Click(form, "btn_Ok");
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(form.ChosenAddress(), "");
  EXPECT_FALSE(form.ChosenFix());
}

// ShowAddressDialog against a configuration file of its own.
class ShowAddressDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    home_ = fs::path(ZENT_TEST_TMP_DIR) / "ipinput" / info->name();
    fs::remove_all(home_);
    fs::create_directories(home_);
    setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
  }
  std::string ConfigText() {
    std::ifstream in(home_ / "ZentLumo7" / "Lumo7BrowserCfg.ini");
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Operates the modal dialog once it runs.
  static void WhenShown(std::function<void(QWidget&)> act) {
    QTimer::singleShot(0, [act] {
      QWidget* w = QApplication::activeModalWidget();
      ASSERT_NE(w, nullptr);
      act(*w);
    });
  }
  fs::path home_;
};

TEST_F(ShowAddressDialogTest, ConfirmingStoresTheChoiceAndBothOptions) {
  std::string address;
  bool fix = false;
  WhenShown([](QWidget& w) {
    EXPECT_FALSE(Child<QCheckBox>(w, "chkMultInst")->isChecked());  // no file: SingleInst true
    EXPECT_FALSE(Child<QCheckBox>(w, "chkDebugModel")->isChecked());
    Child<QRadioButton>(w, "rdbIP")->click();
    for (const char* k : {"NUM_1", "NUM_0", "NUM_Dot", "NUM_1"}) Click(w, k);
    Child<QCheckBox>(w, "ckbIPFix")->setChecked(true);
    Child<QCheckBox>(w, "chkMultInst")->setChecked(true);
    Child<QCheckBox>(w, "chkDebugModel")->setChecked(true);
    Click(w, "btn_Ok");
  });
  ASSERT_TRUE(ShowAddressDialog(nullptr, CommandLine({"prog"}), address, fix));
  EXPECT_EQ(address, "10.1");
  EXPECT_TRUE(fix);
  EXPECT_FALSE(ReadSingleInst());
  EXPECT_TRUE(ReadDebugModel(CommandLine({"prog"})));

  // Opened again, the boxes show what was stored.
  WhenShown([](QWidget& w) {
    EXPECT_TRUE(Child<QCheckBox>(w, "chkMultInst")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(w, "chkDebugModel")->isChecked());
    Child<QCheckBox>(w, "chkMultInst")->setChecked(false);
    Child<QCheckBox>(w, "chkDebugModel")->setChecked(false);
    Child<QRadioButton>(w, "rdbIP_Find")->click();
    Click(w, "btn_Ok");
  });
  ASSERT_TRUE(ShowAddressDialog(nullptr, CommandLine({"prog"}), address, fix));
  EXPECT_EQ(address, "");
  EXPECT_FALSE(fix);
  EXPECT_TRUE(ReadSingleInst());
  EXPECT_FALSE(ReadDebugModel(CommandLine({"prog"})));
}

TEST_F(ShowAddressDialogTest, CancelChangesNothing) {
  WriteSingleInst(false);
  WriteDebugModel(true);
  const std::string before = ConfigText();
  std::string address = "10.0.0.5";
  bool fix = true;
  WhenShown([](QWidget& w) {
    Child<QRadioButton>(w, "rdbIP_Find")->click();
    Child<QCheckBox>(w, "chkMultInst")->setChecked(false);
    Child<QCheckBox>(w, "chkDebugModel")->setChecked(false);
    Click(w, "btn_Cancel");
  });
  EXPECT_FALSE(ShowAddressDialog(nullptr, CommandLine({"prog"}), address, fix));
  EXPECT_EQ(address, "10.0.0.5");
  EXPECT_TRUE(fix);
  EXPECT_EQ(ConfigText(), before);
}

TEST_F(ShowAddressDialogTest, DebugSwitchOnTheCommandLineTicksTheBox) {
  std::string address;
  bool fix = false;
  WhenShown([](QWidget& w) {
    EXPECT_TRUE(Child<QCheckBox>(w, "chkDebugModel")->isChecked());
    Click(w, "btn_Cancel");
  });
  EXPECT_FALSE(ShowAddressDialog(nullptr, CommandLine({"prog", "-FORDEBUG"}), address, fix));
}

}  // namespace
}  // namespace zent
