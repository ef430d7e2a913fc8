#pragma once

// Shared between the Windows sources of plattero_os.

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace plattero::platform {

// The status for a Windows error code (kNone for 0), with the system's words.
TFileStatus StatusFromWin32(DWORD error);

// A path as the wide file functions take it: the text itself, or, for a path
// too long for them, its full form behind "\\?\". Empty when the text cannot
// name a file (empty, or holding a NUL).
std::wstring ApiPath(std::u16string_view path);

// Creation rights for a folder only this user may enter; nullptr (the rights
// the parent folder hands down) when they cannot be made.
SECURITY_ATTRIBUTES* PrivateFolderSecurity();

inline std::wstring WideText(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

inline std::u16string TextOfWide(std::wstring_view text) {
  return std::u16string(text.begin(), text.end());
}

}  // namespace plattero::platform
