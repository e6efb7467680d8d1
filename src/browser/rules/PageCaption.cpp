#include "browser/rules/PageCaption.h"

namespace zent {

std::optional<std::string> TPageCaption::OnTitle(const std::string& title) const {
  if (errorPageShown_) return std::nullopt;
  return title;
}

std::optional<std::string> TPageCaption::OnLoadEnded(LoadEndKind kind, const std::string& pageTitle,
                                                     const std::string& appTitle) {
  switch (kind) {
    case LoadEndKind::Error:
      errorPageShown_ = true;
      if (appTitle.empty()) return std::nullopt;  // not set yet: the window's first caption stays
      return appTitle;
    case LoadEndKind::Stopped:
      // A stopped load leaves whatever was shown before it.
      return std::nullopt;
    case LoadEndKind::Succeeded:
    case LoadEndKind::HttpStatus:
      // An error status is the server's own page, its title counts.
      if (!errorPageShown_) return std::nullopt;
      errorPageShown_ = false;
      if (pageTitle.empty()) return std::nullopt;
      return pageTitle;
  }
  return std::nullopt;
}

}  // namespace zent
