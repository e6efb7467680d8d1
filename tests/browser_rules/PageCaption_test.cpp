// The main window's caption through page loads: page titles are followed, the engine's error
// page (shown while the server cannot be reached) never gives the caption its title.
#include <gtest/gtest.h>

#include <vector>

#include "browser/rules/PageCaption.h"

namespace zent {
namespace {

// One step of a window's life: a title change ("title:x") or a load end ("ok", "http",
// "stopped", "error", with the page's title then), and the caption it must show after it.
struct Step {
  const char* event;
  const char* pageTitle;
  const char* caption;
};

void Play(const std::vector<Step>& steps, const char* name) {
  TPageCaption rule;
  std::string caption = "App";
  for (size_t i = 0; i < steps.size(); ++i) {
    const std::string event = steps[i].event;
    std::optional<std::string> next;
    if (event.rfind("title:", 0) == 0) {
      next = rule.OnTitle(event.substr(6));
    } else {
      const LoadEndKind kind = event == "ok"        ? LoadEndKind::Succeeded
                               : event == "http"    ? LoadEndKind::HttpStatus
                               : event == "stopped" ? LoadEndKind::Stopped
                                                    : LoadEndKind::Error;
      next = rule.OnLoadEnded(kind, steps[i].pageTitle, "App");
    }
    if (next) caption = *next;
    EXPECT_EQ(caption, steps[i].caption) << name << ", step " << i << " (" << event << ")";
  }
}

TEST(PageCaption, FollowsPagesButNeverAnErrorPage) {
  Play({{"title:Orders", "", "Orders"}, {"ok", "Orders", "Orders"}, {"title:Bill", "", "Bill"}},
       "a page that loads, then changes its title");
  Play({{"title:127.0.0.1", "", "127.0.0.1"},
        {"error", "127.0.0.1", "App"},
        {"title:127.0.0.1", "", "App"},
        {"error", "127.0.0.1", "App"},
        {"title:Orders", "", "App"},
        {"ok", "Orders", "Orders"},
        {"title:Bill", "", "Bill"}},
       "a server that is down, then up: the error page's title is put back at once and never shown again");
  Play({{"error", "10.0.0.9", "App"}, {"http", "404 Not Found", "404 Not Found"}},
       "an error status page is the server's own page");
  Play({{"error", "10.0.0.9", "App"}, {"ok", "", "App"}, {"title:Late", "", "Late"}},
       "a page whose title comes after its load");
  Play({{"title:Orders", "", "Orders"}, {"stopped", "Orders", "Orders"}, {"error", "x", "App"},
        {"stopped", "x", "App"}, {"title:x", "", "App"}},
       "a stopped load changes nothing");
}

TEST(PageCaption, NoApplicationTitleYetLeavesTheCaption) {
  TPageCaption rule;
  EXPECT_EQ(rule.OnLoadEnded(LoadEndKind::Error, "host", ""), std::nullopt);
  EXPECT_EQ(rule.OnTitle("host"), std::nullopt) << "the error page is up all the same";
}

}  // namespace
}  // namespace zent
