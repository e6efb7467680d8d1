// A FIFO named like a package: POSIX only (Windows has no named pipe in the file system).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "update/PackageSignature.h"
#include "update/SignatureTestSupport.h"

namespace zent {
namespace {

using namespace zent::testing;

TEST(PackageSignatureFifo, AFifoIsRefusedAtOnceNotWaitedOn) {
  const std::string folder = FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
  ASSERT_EQ(::mkfifo((folder + "fifo.exe").c_str(), 0644), 0);
  KeyPair trusted;
  const SignatureCheck fifo = VerifyPackageSignature(folder + "fifo.exe", {trusted.Trusted("built-in")});
  EXPECT_FALSE(fifo.valid);
  EXPECT_NE(fifo.reason.find("not a regular file"), std::string::npos) << fifo.reason;
}

}  // namespace
}  // namespace zent
