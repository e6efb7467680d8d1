// The project's own sources, for the tests that read them (texts passed to the translator,
// translations used as formats).
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace zent::testing {

// The checkout's top folder: the test data folder is <top>/tests/data.
inline const std::filesystem::path kSourceDir =
    std::filesystem::path(ZENT_TEST_DATA_DIR).parent_path().parent_path();

inline std::string ReadText(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace zent::testing
