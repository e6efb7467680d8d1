// The system-independent part of the scoped environment: values go through the platform layer.
#include "support/ScopedEnvironment.h"

#include <utility>

#include "platform/Process.h"

namespace zent::testing {

ScopedEnvironmentValue::ScopedEnvironmentValue(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)), old_(platform::EnvironmentValue(name_)) {
  Set(value);
}

ScopedEnvironmentValue::~ScopedEnvironmentValue() { Set(old_); }

void ScopedEnvironmentValue::Set(const std::optional<std::string>& value) {
  if (value)
    platform::SetEnvironmentValue(name_, *value);
  else
    UnsetEnvironmentValue(name_);
}

}  // namespace zent::testing
