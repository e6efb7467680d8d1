// GetFileInfo: pulls the version information out of a file through the readers and fills
// TFileInfo the way a version query would (fixed part, first translation, its strings).
#include "common/FileVersion.h"

#include <filesystem>
#include <fstream>

#include "common/Format.h"
#include "common/VersionResource.h"
#include "platform/FsPath.h"

namespace zent {
namespace version {

bool MemorySource::Read(uint64_t offset, size_t size, std::vector<uint8_t>& out) {
  if (offset > bytes_.size() || bytes_.size() - offset < size) return false;
  out.assign(bytes_.begin() + static_cast<ptrdiff_t>(offset),
             bytes_.begin() + static_cast<ptrdiff_t>(offset + size));
  return true;
}

}  // namespace version

namespace {

// Reads ranges of a file on demand: installers can be hundreds of megabytes, and only the
// headers and the version block are needed.
class FileSource final : public version::ByteSource {
 public:
  FileSource(std::ifstream& in, uint64_t size) : in_(in), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool Read(uint64_t offset, size_t size, std::vector<uint8_t>& out) override {
    if (offset > size_ || size_ - offset < size) return false;
    out.resize(size);
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(offset));
    in_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(size));
    return static_cast<size_t>(in_.gcount()) == size;
  }

 private:
  std::ifstream& in_;
  uint64_t size_;
};

void Clear(TFileInfo& info, size_t extraCount) {
  info = TFileInfo{};
  info.CustomFieldValue.assign(extraCount, std::string());
}

std::string DottedVersion(uint32_t ms, uint32_t ls) {
  return Format("%u.%u.%u.%u", ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF);
}

bool Fill(version::ByteSource& source, TFileInfo& info, const std::vector<std::string>& extraKeys) {
  Clear(info, extraKeys.size());
  auto res = version::ReadPeVersion(source);
  if (!res) res = version::ReadElfVersionNote(source);
  if (!res) return false;

  if (res->fixed) {
    info.VsFixedFileInfo = *res->fixed;
    info.Version = DottedVersion(res->fixed->dwFileVersionMS, res->fixed->dwFileVersionLS);
    info.ProductVersion =
        DottedVersion(res->fixed->dwProductVersionMS, res->fixed->dwProductVersionLS);
  }
  if (res->translation) {
    const std::string table =
        Format("%04X%04X", *res->translation & 0xFFFF, *res->translation >> 16);
    auto set = [&](std::string& field, std::string_view key) {
      if (auto v = res->String(table, key)) field = std::move(*v);
    };
    if (info.Version.empty()) set(info.Version, "FileVersion");
    if (info.ProductVersion.empty()) set(info.ProductVersion, "ProductVersion");
    set(info.CommpanyName, "CompanyName");
    set(info.FileDescription, "FileDescription");
    set(info.InternalName, "InternalName");
    set(info.LegalCopyright, "LegalCopyright");
    set(info.LegalTrademarks, "LegalTrademarks");
    set(info.OriginalFileName, "OriginalFileName");
    set(info.ProductName, "ProductName");
    set(info.Comments, "Comments");
    for (size_t i = 0; i < extraKeys.size(); ++i)
      set(info.CustomFieldValue[i], extraKeys[i]);
  }
  return true;
}

}  // namespace

bool GetFileInfo(const std::string& fileName, TFileInfo& info,
                 const std::vector<std::string>& extraKeys) {
  Clear(info, extraKeys.size());
  // Only regular files: opening a FIFO or a device would block or read without end.
  std::error_code ec;
  const std::filesystem::path path = platform::FsPath(fileName);
  if (fileName.empty() || !std::filesystem::is_regular_file(path, ec)) return false;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  FileSource source(in, size);
  return Fill(source, info, extraKeys);
}

bool GetFileInfoFromBytes(std::span<const uint8_t> bytes, TFileInfo& info,
                          const std::vector<std::string>& extraKeys) {
  version::MemorySource source(bytes);
  return Fill(source, info, extraKeys);
}

}  // namespace zent
