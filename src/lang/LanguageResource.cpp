#include "lang/LanguageResource.h"

#include "common/FileLog.h"

namespace zent {

bool TLanguageResource::Load(const std::string& id, const std::string& fileName) {
  FID = id;
  try {
    FSRP.Load(fileName);
    FLoaded = true;
  } catch (const std::exception& e) {
    // A damaged file may have left part of its entries behind: none of them is trusted.
    FSRP = TSRPackage();
    FLoaded = false;
    AppLog().Log("语言文件[" + fileName + "]不可用: ", e);
  }
  return FLoaded;
}

std::string TLanguageResource::Get(std::string_view key, std::string_view defaultValue) const {
  // An unloaded resource holds nothing but overrides applied to it, so it is looked up too.
  // An empty translation would blank a label or a button: it counts as missing.
  std::string text;
  if (FSRP.TryGetScript(key, text) && !text.empty()) return text;
  return std::string(defaultValue);
}

void TLanguageResource::Update(std::string_view key, std::string value) { FSRP.SetScript(key, std::move(value)); }

std::vector<std::string> TLanguageResource::FindKeys(std::string_view pattern) const {
  return FSRP.FindScripts(pattern);
}

}  // namespace zent
