// POSIX: the kernel's copy of the arguments, NUL-separated in /proc/self/cmdline.
#include "../OwnArguments.h"

#include <fstream>
#include <iterator>

namespace zent {

std::vector<std::string> OwnArguments() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  const std::string all(std::istreambuf_iterator<char>(in), {});
  std::vector<std::string> args;
  for (size_t start = 0; start < all.size();) {
    const size_t end = all.find('\0', start);
    args.push_back(all.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (!args.empty()) args.erase(args.begin());
  return args;
}

}  // namespace zent
