// The hang rule over simulated timelines: a renderer that answers every probe until it hangs
// (or never hangs), with dialogs, loads and stalls of our own loop in between.
#include "browser/rules/RendererHangRule.h"

#include <gtest/gtest.h>

namespace zent {
namespace {

using namespace std::chrono_literals;
using A = TRendererHangRule::TAction;
using ms = std::chrono::milliseconds;
const TRendererHangRule::Clock::time_point t0{};
constexpr ms kNever{-1};

struct TSpan {
  ms from{-1}, to{-1};  // [from, to)
  bool Holds(ms t) const { return from.count() >= 0 && t >= from && t < to; }
};

struct TTimeline {
  const char* what;
  ms hangsAt = kNever;  // probes sent from here on are never answered
  TSpan dialog;         // a script dialog is open
  TSpan loading;        // a main-frame load is in progress
  ms navigationAt = kNever;
  TSpan loopStall;      // our loop does not turn (no ticks)
  ms expectEndAt = kNever;  // the tick that ends the renderer
};

// Ticks at the rule's pace for a minute and returns the first tick that ends the renderer. A
// probe's answer arrives before the next tick, or, when our loop stood still in between,
// queued behind that tick.
ms FirstEnd(const TTimeline& c, TRendererHangRule& rule) {
  bool answerPending = false;
  ms lastTick = kNever;
  for (ms t{0}; t <= 60s; t += TRendererHangRule::kTick) {
    if (c.loopStall.Holds(t)) continue;
    const bool stood = lastTick != kNever && t - lastTick > TRendererHangRule::kTick;
    lastTick = t;
    if (answerPending && !stood) {
      rule.OnAnswer();
      answerPending = false;
    }
    if (t == c.navigationAt) rule.OnNavigation();
    TRendererHangRule::TPage page{true, c.dialog.Holds(t), c.loading.Holds(t)};
    const A action = rule.OnTick(t0 + t, page);
    if (action == A::EndRenderer) return t;
    if (page.dialogOpen) {
      EXPECT_EQ(action, A::Wait) << "probe sent while a dialog is open at " << t.count();
    }
    if (answerPending) {
      rule.OnAnswer();
      answerPending = false;
    }
    const bool hung = c.hangsAt != kNever && t >= c.hangsAt;
    if (action == A::Probe && !hung) answerPending = true;
  }
  return kNever;
}

TEST(RendererHangRule, EndsOnlyARendererThatStopsAnswering) {
  const TTimeline cases[] = {
      {"answers every probe", kNever, {}, {}, kNever, {}, kNever},
      {"a script loop from 10 s", 10s, {}, {}, kNever, {}, 18s},
      {"hung from the first probe", 0s, {}, {}, kNever, {}, 8s},
      {"a dialog open for 30 s, answering before and after", kNever, {5s, 35s}, {}, kNever, {}, kNever},
      // A dialog stops the clock; a loop right after it is timed from the dialog's end.
      {"a dialog, then a loop", 40s, {12s, 40s}, {}, kNever, {}, 48s},
      {"a load that never ends, the renderer fine", kNever, {}, {0s, 60s}, kNever, {}, kNever},
      {"a loop while loading gets the longer limit", 10s, {}, {0s, 60s}, kNever, {}, 22s},
      // A navigation may drop probes to the old document: the clock starts again.
      {"a navigation restarts the clock", 10s, {}, {}, 16s, {}, 24s},
      // Our loop stood 20 s: the answers waiting behind it do not count as missing.
      {"our own loop stood still", kNever, {}, {}, kNever, {5s, 25s}, kNever},
      {"a hang that began while our loop stood", 10s, {}, {}, kNever, {12s, 30s}, 38s},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TRendererHangRule rule;
    EXPECT_EQ(FirstEnd(c, rule).count(), c.expectEndAt.count());
  }
}

TEST(RendererHangRule, EndsOnceUntilTheRendererIsGone) {
  TRendererHangRule rule;
  const TRendererHangRule::TPage page;
  ms t{0};
  for (; rule.OnTick(t0 + t, page) != A::EndRenderer; t += 1s) ASSERT_LT(t, 60s);
  EXPECT_EQ(rule.Unanswered(t0 + t), 8000ms);
  // The kill takes its time: no second end, no probes into the dying renderer.
  for (int i = 0; i < 30; ++i) EXPECT_EQ(rule.OnTick(t0 + (t += 1s), page), A::Wait);
  rule.OnRendererGone();
  // The page's new renderer has no renderer yet while the reload waits.
  EXPECT_EQ(rule.OnTick(t0 + (t += 1s), {false, false, true}), A::Wait);
  EXPECT_EQ(rule.OnTick(t0 + (t += 1s), {true, false, true}), A::Probe);
  rule.OnAnswer();
  EXPECT_EQ(rule.Unanswered(t0 + t), 0ms);
  // Hung again: ended again after the limit for a load in progress.
  const ms hungFrom = t += 1s;
  while (rule.OnTick(t0 + t, {true, false, true}) != A::EndRenderer) t += 1s;
  EXPECT_EQ(t - hungFrom, TRendererHangRule::kHangAfterWhileLoading);
}

TEST(RendererHangRule, NoRendererIsNoHang) {
  TRendererHangRule rule;
  EXPECT_EQ(rule.OnTick(t0, {}), A::Probe);
  for (ms t{1s}; t < 60s; t += 1s) EXPECT_EQ(rule.OnTick(t0 + t, {false, false, false}), A::Wait);
  EXPECT_EQ(rule.OnTick(t0 + 60s, {}), A::Probe);  // timed from 60 s, not from the first probe
}

}  // namespace
}  // namespace zent
