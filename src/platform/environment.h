#pragma once

// The process's environment.

#include <string>

namespace plattero::platform {

// The value of an environment variable; empty when unset.
std::u16string EnvText(const char* name);

}  // namespace plattero::platform
