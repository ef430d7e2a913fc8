#include <windows.h>

#include "platform/environment.h"
#include "platform/win32_internal.h"

namespace plattero::platform {

std::u16string EnvText(const char* name) {
  // The UTF-16 environment: the ANSI one loses what the code page lacks.
  const std::wstring wide_name(name, name + std::char_traits<char>::length(name));
  std::wstring value(256, L'\0');
  for (;;) {
    const DWORD n = ::GetEnvironmentVariableW(wide_name.c_str(), value.data(),
                                              static_cast<DWORD>(value.size()));
    if (n == 0) return {};
    if (n < value.size()) {
      value.resize(n);
      return TextOfWide(value);
    }
    value.resize(n);
  }
}

}  // namespace plattero::platform
