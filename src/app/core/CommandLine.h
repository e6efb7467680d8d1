// The program's command line: the arguments as given, and the options the program reads.
#pragma once

#include <string>
#include <vector>

namespace zent {

class CommandLine {
 public:
  CommandLine() = default;
  explicit CommandLine(std::vector<std::string> args) : args_(std::move(args)) {}
  // Argument 0 is the program path.
  const std::vector<std::string>& Args() const { return args_; }

 private:
  std::vector<std::string> args_;
};

}  // namespace zent
