// The real registry through RegistryKey: a key's life, type checks, and a key opened for
// reading refusing writes. Each test works below a key of its own, removed at the end.
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include "../TestSupport.h"
#include "platform/Process.h"

namespace zent::platform {
namespace {

const auto kMissing = std::make_error_code(std::errc::no_such_file_or_directory);
const auto kDenied = std::make_error_code(std::errc::permission_denied);
const auto kWrongType = std::make_error_code(std::errc::invalid_argument);

class RegistryWindowsTest : public ::testing::Test {
 protected:
  ~RegistryWindowsTest() override { testing::system::RemoveUserRegistryKey(top_); }
  std::string top_ = "SOFTWARE\\ZENT-test-" + std::to_string(CurrentProcessId()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name();
};

TEST_F(RegistryWindowsTest, DeviceIdentifierLifecycle) {
  RegistryKey key;
  EXPECT_EQ(RegistryKey::Open(RegRoot::CurrentUser, top_, false, key), kMissing);
  EXPECT_FALSE(key.IsOpen());
  ASSERT_FALSE(RegistryKey::Create(RegRoot::CurrentUser, top_ + "\\ZENT", key));
  std::string guid;
  EXPECT_EQ(key.ReadString("MachineGuid", guid), kMissing);
  ASSERT_FALSE(key.WriteString("MachineGuid", "{0A1B2C3D-0000-1111-2222-333344445555}"));
  ASSERT_FALSE(key.WriteDword("Runs", 10));
  ASSERT_FALSE(key.WriteString("Empty", ""));

  RegistryKey again;
  ASSERT_FALSE(RegistryKey::Open(RegRoot::CurrentUser, "\\" + top_ + "\\zent\\", false, again));
  ASSERT_FALSE(again.ReadString("MACHINEGUID", guid));
  EXPECT_EQ(guid, "{0A1B2C3D-0000-1111-2222-333344445555}");
  uint32_t runs = 0;
  ASSERT_FALSE(again.ReadDword("runs", runs));
  EXPECT_EQ(runs, 10u);
  ASSERT_FALSE(again.ReadString("Empty", guid));
  EXPECT_EQ(guid, "");
}

TEST_F(RegistryWindowsTest, MisuseAndTypeMismatchAreErrors) {
  RegistryKey closed;
  std::string text;
  uint32_t number = 0;
  EXPECT_EQ(closed.ReadString("x", text), std::errc::bad_file_descriptor);
  EXPECT_EQ(closed.WriteDword("x", 1), std::errc::bad_file_descriptor);

  RegistryKey key;
  ASSERT_FALSE(RegistryKey::Create(RegRoot::CurrentUser, top_, key));
  ASSERT_FALSE(key.WriteString("Text", "1"));
  ASSERT_FALSE(key.WriteDword("Number", 1));
  EXPECT_EQ(key.ReadDword("Text", number), kWrongType);
  EXPECT_EQ(key.ReadString("Number", text), kWrongType);

  RegistryKey reader;
  ASSERT_FALSE(RegistryKey::Open(RegRoot::CurrentUser, top_, false, reader));
  EXPECT_EQ(reader.WriteString("Text", "2"), kDenied);
  ASSERT_FALSE(reader.ReadString("Text", text));
  EXPECT_EQ(text, "1");
  EXPECT_EQ(RegistryKey::Create(RegRoot::CurrentUser, std::string("a\0b", 3), key), kWrongType);
}

}  // namespace
}  // namespace zent::platform
