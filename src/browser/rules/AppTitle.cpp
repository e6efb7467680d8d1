#include "browser/rules/AppTitle.h"

#include <mutex>

#include "common/Utils.h"
#include "platform/FsPath.h"

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
  return platform::FolderOf(exe) + "Res/Lumo7Browser.ico";
}

}  // namespace zent
