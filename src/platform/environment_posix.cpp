#include <cstdlib>

#include "platform/environment.h"
#include "platform/unicode.h"

namespace plattero::platform {

std::u16string EnvText(const char* name) {
  const char* v = std::getenv(name);
  return v ? TextFromOsBytes(v) : std::u16string();
}

}  // namespace plattero::platform
