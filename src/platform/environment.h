#pragma once

// The process's environment.

#include <string>

namespace plattero::platform {

// The value of an environment variable; empty when unset.
std::u16string EnvText(const char* name);

// Full path of the running executable; empty when it cannot be found.
std::u16string ExecutableFile();

}  // namespace plattero::platform
