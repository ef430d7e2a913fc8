#pragma once

// The standard dialogs of the Windows window: open (one drawing or several),
// save (asking before a file is replaced) and a plain message box titled
// with the application's title.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "window/form.h"

namespace plattero::win32 {

// The paths an open dialog returned in its buffer: one full path, or a
// folder followed by the names chosen in it (each ended by a NUL, the list
// by a second NUL).
std::vector<std::u16string> ChosenFiles(const std::wstring& buffer);

std::vector<std::u16string> OpenDrawingsDialog(HWND owner,
                                               const window::TFileDialogRequest& request);
std::optional<std::u16string> SaveDrawingDialog(HWND owner,
                                                const window::TFileDialogRequest& request);
void MessageDialog(HWND owner, const std::u16string& text);
// Yes or No, No the default; true for Yes.
bool YesNoDialog(HWND owner, const std::u16string& text);

}  // namespace plattero::win32
