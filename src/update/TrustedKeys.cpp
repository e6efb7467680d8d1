#include "update/TrustedKeys.h"

#include <algorithm>
#include <filesystem>

#include "common/PrivatePath.h"
#include "platform/FileStatus.h"
#include "platform/FsPath.h"
#include "platform/ReadOnlyFile.h"
#include "platform/ErrorText.h"
#include "update/BuiltInUpdateKey.h"  // generated at configure time into the build folder

namespace zent {
namespace {

// The text of one key file when it may be trusted, else nullopt with the reason.
std::optional<std::string> ReadKeyFile(const std::string& path, uint32_t owner, std::string& why) {
  platform::PathStatus st;
  if (auto ec = platform::GetPathStatus(path, st)) {
    why = platform::ErrorText(ec);
    return std::nullopt;
  }
  if (!st.regularFile) {
    why = st.link ? "a link, not a file" : "not a regular file";
    return std::nullopt;
  }
  if (why = WhyNotPrivate(st, owner); !why.empty()) return std::nullopt;
  platform::ReadOnlyFile file;
  if (auto ec = file.Open(path, /*followLink=*/false)) {
    why = platform::ErrorText(ec);
    return std::nullopt;
  }
  if (file.Size() > kMaxKeyFileSize) {
    why = "larger than " + std::to_string(kMaxKeyFileSize) + " bytes";
    return std::nullopt;
  }
  std::string text(static_cast<size_t>(file.Size()), '\0');
  size_t got = 0;
  if (auto ec = file.ReadAt(0, text.data(), text.size(), got)) {
    why = platform::ErrorText(ec);
    return std::nullopt;
  }
  text.resize(got);
  return text;
}

}  // namespace

UpdatePublicKey BuiltInUpdateKey() {
  UpdatePublicKey key{};
  std::copy(std::begin(kBuiltInUpdateKeyBytes), std::end(kBuiltInUpdateKeyBytes), key.begin());
  return key;
}

std::vector<TrustedKey> LoadTrustedKeys(const std::string& folder,
                                        const std::function<void(const std::string&)>& log) {
  return LoadTrustedKeysOwnedBy(folder, 0, log);
}

std::vector<TrustedKey> LoadTrustedKeysOwnedBy(const std::string& folder, uint32_t owner,
                                               const std::function<void(const std::string&)>& log) {
  std::vector<TrustedKey> keys{{BuiltInUpdateKey(), "built-in"}};
  auto ignore = [&](const std::string& what, const std::string& why) {
    if (log) log("update key " + what + " ignored: " + why);
  };

  std::string dir = folder;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  platform::PathStatus st;
  if (auto ec = platform::GetPathStatus(dir, st)) {
    if (ec != std::errc::no_such_file_or_directory) ignore("folder " + dir, platform::ErrorText(ec));
    return keys;
  }
  std::string why = st.link ? "a link, not a folder" : !st.folder ? "not a folder" : WhyNotPrivate(st, owner);
  if (!why.empty()) {
    ignore("folder " + dir, why);
    return keys;
  }

  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(platform::FsPath(dir), ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = platform::Utf8Of(it->path().filename());
    if (name.size() > 4 && name.ends_with(".pub")) names.push_back(std::move(name));
  }
  if (ec) ignore("folder " + dir, platform::ErrorText(ec));
  std::sort(names.begin(), names.end());
  for (const auto& name : names) {
    const std::string path = dir + "/" + name;
    const auto text = ReadKeyFile(path, owner, why);
    TrustedKey key;
    if (text && ParsePublicKey(*text, key.key, why)) {
      key.origin = path;
      keys.push_back(std::move(key));
    } else {
      ignore(path, why);
    }
  }
  return keys;
}

}  // namespace zent
