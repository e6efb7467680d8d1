#include "setup/SetupArchive.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/FsPath.h"

namespace zent::setup {
namespace {

namespace fs = std::filesystem;

constexpr uint8_t kEnd = 0, kFolder = 1, kFile = 2;
constexpr size_t kMaxName = 4096;
constexpr size_t kChunk = 1 << 20;

void PutLe(std::string& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint64_t GetLe(const unsigned char* p, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

// Writes bytes and keeps the running CRC of everything after the stub.
class PayloadWriter {
 public:
  explicit PayloadWriter(std::ofstream& out) : out_(out) {}
  void Write(const char* data, size_t size) {
    out_.write(data, static_cast<std::streamsize>(size));
    if (!out_) throw std::runtime_error("写入安装程序失败");
    crc_ = crc32_z(crc_, reinterpret_cast<const Bytef*>(data), size);
    size_ += size;
  }
  void Write(const std::string& s) { Write(s.data(), s.size()); }
  uint32_t Crc() const { return static_cast<uint32_t>(crc_); }
  uint64_t Size() const { return size_; }

 private:
  std::ofstream& out_;
  uLong crc_ = crc32_z(0, nullptr, 0);
  uint64_t size_ = 0;
};

std::string RecordHead(uint8_t kind, uint16_t mode, const std::string& name) {
  std::string h;
  PutLe(h, kind, 1);
  PutLe(h, mode, 2);
  PutLe(h, name.size(), 4);
  h += name;
  return h;
}

void ReadExact(std::istream& in, char* data, size_t size) {
  in.read(data, static_cast<std::streamsize>(size));
  if (static_cast<size_t>(in.gcount()) != size) throw std::runtime_error("安装数据不完整");
}

}  // namespace

bool IsSafeEntryName(std::string_view name) {
  if (name.empty() || name.size() > kMaxName || name.front() == '/') return false;
  size_t pos = 0;
  while (pos <= name.size()) {
    size_t next = name.find('/', pos);
    if (next == std::string_view::npos) next = name.size();
    const std::string_view part = name.substr(pos, next - pos);
    if (part.empty() || part == "." || part == "..") return false;
    pos = next + 1;
  }
  return name.find('\0') == std::string_view::npos;
}

bool IsLeftOutOfPayload(std::string_view name) {
  const std::string_view first = name.substr(0, name.find('/'));
  if (first == "Logs" || first == "Temp" || first.starts_with(".Lumo7Setup.")) return true;
  const std::string_view leaf = name.substr(name.rfind('/') + 1);
  return leaf == "UpdateCmd.sh" || leaf == "UpdateCmd.bat" || leaf.ends_with(".cnfg") ||
         leaf.starts_with(".partial-");
}

void WriteInstaller(const std::string& stub, const std::string& programFolder,
                    const std::string& mainName, const std::string& out,
                    const UpdateSecretKey* signWith) {
  const fs::path root = platform::FsPath(programFolder);
  // Entry names are stored "/"-separated in UTF-8, whatever the building system uses.
  auto nameOf = [&](const fs::path& p) { return platform::GenericUtf8Of(fs::relative(p, root)); };
  std::vector<fs::path> entries;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string rel = nameOf(it->path());
    if (IsLeftOutOfPayload(rel)) {
      if (it->is_directory()) it.disable_recursion_pending();
      continue;
    }
    if (it->is_directory() || it->is_regular_file()) entries.push_back(it->path());
  }
  std::sort(entries.begin(), entries.end());
  std::stable_partition(entries.begin(), entries.end(), [&](const fs::path& p) {
    return nameOf(p) != mainName;
  });

  const std::string tmp = out + ".tmp";
  {
    std::ofstream o(platform::FsPath(tmp), std::ios::binary | std::ios::trunc);
    std::ifstream s(platform::FsPath(stub), std::ios::binary);
    if (!o || !s) throw std::runtime_error("无法打开 " + (!o ? tmp : stub));
    o << s.rdbuf();
    const uint64_t offset = static_cast<uint64_t>(o.tellp());
    PayloadWriter w(o);
    std::vector<char> buf(kChunk);
    for (const auto& p : entries) {
      const std::string rel = nameOf(p);
      const auto perms = static_cast<uint16_t>(fs::status(p).permissions() & fs::perms::mask) & 0777;
      if (fs::is_directory(p)) {
        w.Write(RecordHead(kFolder, 0755, rel));
        continue;
      }
      // Executables stay executable; nothing else carries more than read and write.
      const uint16_t mode = (perms & 0100) ? 0755 : 0644;
      std::string head = RecordHead(kFile, mode, rel);
      const uint64_t size = fs::file_size(p);
      PutLe(head, size, 8);
      w.Write(head);
      std::ifstream f(p, std::ios::binary);
      uint64_t left = size;
      while (left > 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left, buf.size()));
        f.read(buf.data(), static_cast<std::streamsize>(n));
        if (static_cast<size_t>(f.gcount()) != n) throw std::runtime_error("读取失败 " + platform::Utf8Of(p));
        w.Write(buf.data(), n);
        left -= n;
      }
    }
    w.Write(RecordHead(kEnd, 0, {}));
    std::string trailer(kTrailerMagic, 8);
    PutLe(trailer, offset, 8);
    PutLe(trailer, w.Size(), 8);
    PutLe(trailer, w.Crc(), 4);
    PutLe(trailer, 0, 4);
    o.write(trailer.data(), static_cast<std::streamsize>(trailer.size()));
    o.close();
    if (!o) throw std::runtime_error("写入安装程序失败 " + tmp);
  }
  if (signWith) {
    try {
      SignPackage(tmp, *signWith);
    } catch (...) {
      std::error_code ignored;
      fs::remove(platform::FsPath(tmp), ignored);
      throw;
    }
  }
  fs::permissions(platform::FsPath(tmp), fs::perms(0755));
  fs::rename(platform::FsPath(tmp), platform::FsPath(out));
}

uint64_t InstallerDataSize(std::istream& file, uint64_t fileSize) {
  if (fileSize < kSignatureBlockSize) return fileSize;
  std::string tail(kSignatureBlockSize, '\0');
  file.clear();
  file.seekg(static_cast<std::streamoff>(fileSize - kSignatureBlockSize));
  file.read(tail.data(), static_cast<std::streamsize>(tail.size()));
  if (file.gcount() != static_cast<std::streamsize>(tail.size())) return fileSize;
  return SignedSizeOf(tail, fileSize).value_or(fileSize);
}

bool ReadTrailer(std::istream& file, uint64_t fileSize, Trailer& t) {
  if (fileSize < kTrailerSize) return false;
  std::array<unsigned char, kTrailerSize> b{};
  file.clear();
  file.seekg(static_cast<std::streamoff>(fileSize - kTrailerSize));
  file.read(reinterpret_cast<char*>(b.data()), kTrailerSize);
  if (file.gcount() != static_cast<std::streamsize>(kTrailerSize)) return false;
  if (std::string_view(reinterpret_cast<const char*>(b.data()), 8) != std::string_view(kTrailerMagic, 8))
    return false;
  t.offset = GetLe(&b[8], 8);
  t.size = GetLe(&b[16], 8);
  t.crc = static_cast<uint32_t>(GetLe(&b[24], 4));
  const uint64_t room = fileSize - kTrailerSize;
  return t.offset <= room && t.size <= room - t.offset;
}

bool VerifyPayload(std::istream& file, const Trailer& t) {
  file.clear();
  file.seekg(static_cast<std::streamoff>(t.offset));
  std::vector<char> buf(kChunk);
  uLong crc = crc32_z(0, nullptr, 0);
  uint64_t left = t.size;
  while (left > 0) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, buf.size()));
    file.read(buf.data(), static_cast<std::streamsize>(n));
    if (static_cast<size_t>(file.gcount()) != n) return false;
    crc = crc32_z(crc, reinterpret_cast<const Bytef*>(buf.data()), n);
    left -= n;
  }
  return static_cast<uint32_t>(crc) == t.crc;
}

void ReadPayload(std::istream& file, const Trailer& t,
                 const std::function<void(const PayloadEntry&)>& onFolder,
                 const std::function<void(const PayloadEntry&, const FileReader&)>& onFile) {
  file.clear();
  file.seekg(static_cast<std::streamoff>(t.offset));
  uint64_t left = t.size;
  auto take = [&](char* data, size_t size) {
    if (size > left) throw std::runtime_error("安装数据不完整");
    ReadExact(file, data, size);
    left -= size;
  };
  std::vector<char> buf(kChunk);
  for (;;) {
    unsigned char head[7];
    take(reinterpret_cast<char*>(head), sizeof head);
    const uint8_t kind = head[0];
    if (kind == kEnd) return;
    if (kind != kFolder && kind != kFile) throw std::runtime_error("安装数据已损坏");
    PayloadEntry e;
    e.folder = kind == kFolder;
    e.mode = static_cast<uint16_t>(GetLe(&head[1], 2) & 0777);
    const uint64_t nameLen = GetLe(&head[3], 4);
    if (nameLen == 0 || nameLen > kMaxName) throw std::runtime_error("安装数据已损坏");
    e.name.resize(nameLen);
    take(e.name.data(), nameLen);
    if (!IsSafeEntryName(e.name)) throw std::runtime_error("安装数据含有无效名称: " + e.name);
    if (e.folder) {
      onFolder(e);
      continue;
    }
    unsigned char sizeBytes[8];
    take(reinterpret_cast<char*>(sizeBytes), sizeof sizeBytes);
    e.size = GetLe(sizeBytes, 8);
    if (e.size > left) throw std::runtime_error("安装数据不完整");
    uint64_t fileLeft = e.size;
    const FileReader reader = [&](std::string_view& piece) {
      if (fileLeft == 0) return false;
      const size_t n = static_cast<size_t>(std::min<uint64_t>(fileLeft, buf.size()));
      take(buf.data(), n);
      fileLeft -= n;
      piece = std::string_view(buf.data(), n);
      return true;
    };
    onFile(e, reader);
    // Whatever the visitor did not read is skipped.
    std::string_view rest;
    while (reader(rest)) {
    }
  }
}

}  // namespace zent::setup
