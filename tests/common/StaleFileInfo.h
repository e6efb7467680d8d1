// A version record full of stale values, so that a reader which forgets to clear a field
// shows it.
#pragma once

#include "common/FileVersion.h"

namespace zent {

inline TFileInfo StaleFileInfo() {
  TFileInfo info;
  info.CommpanyName = info.Version = info.Comments = "stale";
  info.VsFixedFileInfo.dwSignature = 1;
  info.CustomFieldValue = {"a", "b", "c"};
  return info;
}

}  // namespace zent
