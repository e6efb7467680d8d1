// The script dialog gate: three dialogs within ten seconds, then none until the next load.
#include "browser/rules/PageDialogRule.h"

#include <gtest/gtest.h>

namespace zent {
namespace {

using namespace std::chrono_literals;
using V = TPageDialogGate::TVerdict;
const TPageDialogGate::Clock::time_point t0{};

TEST(PageDialogGate, ALoopOfAlertsIsStoppedAfterThreeUntilTheNextLoad) {
  TPageDialogGate gate;
  // Answered at once, asked again at once: three show, the fourth starts the suppression.
  EXPECT_EQ(gate.OnDialog(t0), V::Allow);
  EXPECT_EQ(gate.OnDialog(t0 + 1ms), V::Allow);
  EXPECT_EQ(gate.OnDialog(t0 + 2ms), V::Allow);
  EXPECT_EQ(gate.OnDialog(t0 + 3ms), V::SuppressFirst);
  EXPECT_EQ(gate.OnDialog(t0 + 4ms), V::Suppress);
  EXPECT_EQ(gate.OnDialog(t0 + 1h), V::Suppress);  // for the rest of this page load
  gate.OnNewPageLoad();
  EXPECT_EQ(gate.OnDialog(t0 + 1h), V::Allow);
}

TEST(PageDialogGate, CountsEachDialogFromItsAnswer) {
  const struct {
    const char* what;
    std::chrono::milliseconds gap;  // between one dialog's answer and the next one
    std::chrono::milliseconds answer;  // how long the person takes to answer
    int allowedOfTen;
  } cases[] = {
      {"one every five seconds, answered at once", 5000ms, 0ms, 10},
      {"one every three seconds, answered at once", 3000ms, 0ms, 3},
      {"a loop the person answers slowly", 0ms, 4000ms, 3},
      {"a loop the person answers within a second", 0ms, 900ms, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TPageDialogGate gate;
    auto now = t0;
    int allowed = 0;
    for (int i = 0; i < 10; ++i) {
      if (gate.OnDialog(now) == V::Allow) {
        ++allowed;
        now += c.answer;
        gate.OnDialogAnswered(now);
      }
      now += c.gap;
    }
    EXPECT_EQ(allowed, c.allowedOfTen);
  }
}

}  // namespace
}  // namespace zent
