#include "browser/rules/AppTitle.h"

#include <mutex>

#include "common/Utils.h"

namespace zent {
namespace {

struct TitleStore {
  std::mutex mutex;
  std::string title;
};

TitleStore& Store() {
  static TitleStore store;
  return store;
}

}  // namespace

std::string ApplicationTitle() {
  std::lock_guard lock(Store().mutex);
  return Store().title;
}

void SetApplicationTitle(const std::string& title) {
  std::lock_guard lock(Store().mutex);
  Store().title = title;
}

std::string AppIconFileName() {
  const std::string exe = GetAppFileName();
  const size_t cut = exe.rfind('/');
  return (cut == std::string::npos ? std::string() : exe.substr(0, cut + 1)) + "Res/Lumo7Browser.ico";
}

}  // namespace zent
