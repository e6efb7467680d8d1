// Which caption the main window shows: the application title until a page has loaded, then
// the page's title as it changes. While the server cannot be reached the engine puts its own
// error page under the loading panel; that page has a title too (the address's host), which
// would replace the application title on every failed try. A failed load therefore brings the
// application title back, and titles are not followed again until a load ends with a page.
#pragma once

#include <optional>
#include <string>

#include "browser/rules/LoadEndRules.h"

namespace zent {

class TPageCaption {
 public:
  // The page's title changed: the caption to show, or nothing while an error page is up.
  std::optional<std::string> OnTitle(const std::string& title) const;
  // A main-frame load ended while the page's title is `pageTitle`: the caption to show, or
  // nothing to change.
  std::optional<std::string> OnLoadEnded(LoadEndKind kind, const std::string& pageTitle,
                                         const std::string& appTitle);

 private:
  bool errorPageShown_ = false;
};

}  // namespace zent
