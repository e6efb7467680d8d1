// Failures of the system: exceptions carrying a formatted text.
// `Exception` is the plain base error; every other error class reports its own class name,
// which the log writes as "[" + name + "]" in front of the message.
#pragma once

#include <stdexcept>
#include <string>

namespace zent {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  virtual const char* ClassName() const noexcept { return "Exception"; }
};

#define ZENT_DECLARE_ERROR(Name, Base)                                      \
  class Name : public Base {                                                \
   public:                                                                  \
    using Base::Base;                                                       \
    const char* ClassName() const noexcept override { return #Name; }       \
  };

ZENT_DECLARE_ERROR(EOSError, Exception)        // an operating-system call failed
ZENT_DECLARE_ERROR(EConvertError, Exception)   // a text did not convert to a number or date
ZENT_DECLARE_ERROR(EFileLogError, Exception)   // the file log could not be set up

// Whether `e` is the plain base error (its message is logged without a class name).
bool IsPlainBaseError(const std::exception& e) noexcept;

// The class name the log shows for any exception: ClassName() for ours, the demangled
// type name for everything else.
std::string ErrorClassName(const std::exception& e);

}  // namespace zent
