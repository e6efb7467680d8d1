// The VS_VERSIONINFO tree: each node is wLength, wValueLength, wType, a NUL-terminated
// UTF-16LE key, the value and the children, each part aligned to 32 bits. Every length is
// checked against its parent, so a damaged block yields less, never an out-of-bounds read.
#include <algorithm>

#include "common/Encoding.h"
#include "common/VersionResource.h"

namespace zent::version {
namespace {

constexpr size_t kHeaderSize = 6;
constexpr size_t kFixedInfoSize = 13 * 4;

size_t Align4(size_t v) { return (v + 3) & ~size_t{3}; }

struct Node {
  size_t end = 0;  // one past the node's last byte
  std::string key;
  uint16_t valueLength = 0;
  uint16_t type = 0;          // 1: text value (length in UTF-16 units), 0: binary (bytes)
  size_t valueBegin = 0;
  size_t valueEnd = 0;        // clipped to the node
  size_t childrenBegin = 0;
};

// The UTF-16 text from `begin` to the first NUL or `end`, whichever comes first.
std::u16string ReadText(std::span<const uint8_t> b, size_t begin, size_t end, bool& terminated) {
  std::u16string text;
  terminated = false;
  for (size_t p = begin; p + 2 <= end; p += 2) {
    const auto unit = static_cast<char16_t>(b[p] | (b[p + 1] << 8));
    if (unit == 0) {
      terminated = true;
      break;
    }
    text += unit;
  }
  return text;
}

bool ParseNode(std::span<const uint8_t> b, size_t off, size_t limit, Node& node) {
  if (off > limit || limit - off < kHeaderSize) return false;
  const uint16_t length = *LoadU16(b, off);
  if (length < kHeaderSize || length > limit - off) return false;
  node.end = off + length;
  node.valueLength = *LoadU16(b, off + 2);
  node.type = *LoadU16(b, off + 4);
  bool terminated = false;
  const std::u16string key = ReadText(b, off + kHeaderSize, node.end, terminated);
  if (!terminated) return false;
  node.key = Utf16ToUtf8(key);
  node.valueBegin = std::min(Align4(off + kHeaderSize + (key.size() + 1) * 2), node.end);
  const size_t valueBytes = node.type == 1 ? size_t{node.valueLength} * 2 : node.valueLength;
  node.valueEnd = std::min(node.valueBegin + valueBytes, node.end);
  node.childrenBegin = std::min(Align4(node.valueBegin + valueBytes), node.end);
  return true;
}

// Calls f(child) for each well-formed child in order; stops at the first damaged one.
template <typename F>
void ForEachChild(std::span<const uint8_t> b, const Node& parent, F&& f) {
  size_t off = parent.childrenBegin;
  Node child;
  while (ParseNode(b, off, parent.end, child)) {
    if (!f(child)) return;
    off = Align4(child.end);  // the length is at least the header's, so this always advances
  }
}

std::optional<Node> FirstChild(std::span<const uint8_t> b, const Node& parent,
                               std::string_view key) {
  std::optional<Node> found;
  ForEachChild(b, parent, [&](const Node& child) {
    if (!EqualsNoCase(child.key, key)) return true;
    found = child;
    return false;
  });
  return found;
}

}  // namespace

std::optional<std::string> VersionResource::String(std::string_view table,
                                                   std::string_view key) const {
  for (const StringTable& t : tables) {
    if (!EqualsNoCase(t.name, table)) continue;
    for (const auto& [k, v] : t.strings)
      if (EqualsNoCase(k, key)) return v;
    return std::nullopt;  // a query descends into the first table of that name only
  }
  return std::nullopt;
}

std::optional<VersionResource> ParseVersionInfoBlock(std::span<const uint8_t> block) {
  Node root;
  if (!ParseNode(block, 0, block.size(), root)) return std::nullopt;

  VersionResource res;
  if (root.valueEnd - root.valueBegin >= kFixedInfoSize) {
    uint32_t w[13];
    for (size_t i = 0; i < 13; ++i) w[i] = *LoadU32(block, root.valueBegin + i * 4);
    res.fixed = VsFixedFileInfo{w[0], w[1], w[2], w[3], w[4],  w[5], w[6],
                                w[7], w[8], w[9], w[10], w[11], w[12]};
  }

  if (auto var = FirstChild(block, root, "VarFileInfo")) {
    if (auto tr = FirstChild(block, *var, "Translation"); tr && tr->valueEnd - tr->valueBegin >= 4)
      res.translation = *LoadU32(block, tr->valueBegin);
  }

  if (auto sfi = FirstChild(block, root, "StringFileInfo")) {
    ForEachChild(block, *sfi, [&](const Node& tableNode) {
      StringTable table{tableNode.key, {}};
      ForEachChild(block, tableNode, [&](const Node& s) {
        bool terminated = false;
        std::string value;
        if (s.valueLength != 0)
          value = Utf16ToUtf8(ReadText(block, s.valueBegin, s.end, terminated));
        table.strings.emplace_back(s.key, std::move(value));
        return true;
      });
      res.tables.push_back(std::move(table));
      return true;
    });
  }
  return res;
}

}  // namespace zent::version
