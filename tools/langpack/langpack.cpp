// langpack: builds a language package (".lang") from a UTF-8 text table and dumps one back.
//
//   langpack build TABLE.txt OUT.lang    the table's texts into a package
//   langpack dump IN.lang [TABLE.txt]    a package's texts as a table (default: stdout)
//
// The table format is described in src/lang/LangTable.h. Exit code 0 on success, 1 on a
// damaged input (the reason on stderr), 2 on a wrong command line.
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "lang/LangTable.h"
#include "lang/SRPackage.h"
#include "platform/AtomicFile.h"

namespace {

constexpr size_t kMaxTableSize = 64u << 20;

int Usage() {
  std::cerr << "usage: langpack build TABLE.txt OUT.lang\n"
               "       langpack dump IN.lang [TABLE.txt]\n";
  return 2;
}

int Build(const std::string& tableFile, const std::string& outFile) {
  std::string text;
  if (const auto ec = zent::platform::ReadWholeFile(tableFile, kMaxTableSize, text)) {
    std::cerr << tableFile << ": " << ec.message() << "\n";
    return 1;
  }
  const zent::TSRPackage package = zent::ParseLangTable(text);
  package.Save(outFile);
  std::cerr << outFile << ": " << package.Type().ID << ", " << package.Entries().size() << " texts\n";
  return 0;
}

int Dump(const std::string& packageFile, const std::string& tableFile) {
  zent::TSRPackage package;
  package.Load(packageFile);
  const std::string table = zent::FormatLangTable(package);
  if (tableFile.empty()) {
    std::cout << table;
    return std::cout.flush() ? 0 : 1;
  }
  std::ofstream out(tableFile, std::ios::binary | std::ios::trunc);
  out << table;
  out.close();
  if (!out) {
    std::cerr << tableFile << ": cannot be written\n";
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  try {
    if (command == "build" && argc == 4) return Build(argv[2], argv[3]);
    if (command == "dump" && (argc == 3 || argc == 4)) return Dump(argv[2], argc == 4 ? argv[3] : "");
  } catch (const std::exception& e) {
    std::cerr << argv[2] << ": " << e.what() << "\n";
    return 1;
  }
  return Usage();
}
