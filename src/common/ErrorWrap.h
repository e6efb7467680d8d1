// The utilities' error wrapping: a failure inside a function becomes a new error whose
// message is the function's name followed by "异常[<inner message>]。".
#pragma once

#include <exception>
#include <utility>

#include "common/Errors.h"
#include "common/Format.h"

namespace zent {

template <typename F>
decltype(auto) CallWrapped(const char* function, F&& f) {
  try {
    return std::forward<F>(f)();
  } catch (const std::exception& e) {
    throw Exception(Format("%s异常[%s]。", function, e.what()));
  }
}

}  // namespace zent
