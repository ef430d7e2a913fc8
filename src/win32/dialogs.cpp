#include "win32/dialogs.h"

#include <commdlg.h>

#include <algorithm>

#include "win32/system.h"

namespace plattero::win32 {

namespace {

// Room for a few thousand names chosen at once.
constexpr std::size_t kOpenBufferChars = 1u << 18;

// The filter: the text shown, then the pattern, each ended by a NUL.
std::wstring Filter() {
  return W(window::kDrawingFilter) + L'\0' + W(window::kDrawingPattern) + L'\0';
}

// Folders from the settings may have been written with "/".
std::wstring SystemPath(const std::u16string& path) {
  std::wstring out = W(path);
  for (wchar_t& c : out) {
    if (c == L'/') c = L'\\';
  }
  return out;
}

// What both dialogs share: owner, filter, extension, folder and preset name.
struct TDialogSetup {
  OPENFILENAMEW ofn{};
  std::wstring filter, folder, buffer;

  TDialogSetup(HWND owner, const window::TFileDialogRequest& request, std::size_t chars)
      : filter(Filter()), folder(SystemPath(request.folder)), buffer(chars, L'\0') {
    const std::wstring name = SystemPath(request.file_name);
    if (name.size() < chars) std::copy(name.begin(), name.end(), buffer.begin());
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrDefExt = L"jww";
    // The current folder stays the program's; the dialog can be resized.
    ofn.Flags =
        OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
  }
};

}  // namespace

std::vector<std::u16string> ChosenFiles(const std::wstring& buffer) {
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  while (start < buffer.size() && buffer[start] != L'\0') {
    const std::size_t end = std::min(buffer.find(L'\0', start), buffer.size());
    parts.push_back(buffer.substr(start, end - start));
    start = end + 1;
  }
  std::vector<std::u16string> files;
  if (parts.size() == 1) files.push_back(U(parts[0]));
  if (parts.size() > 1) {
    std::wstring folder = parts[0];
    if (folder.back() != L'\\') folder += L'\\';  // a drive's root ends with one already
    for (std::size_t i = 1; i < parts.size(); ++i)
      files.push_back(U(folder + parts[i]));
  }
  return files;
}

std::vector<std::u16string> OpenDrawingsDialog(HWND owner,
                                               const window::TFileDialogRequest& request) {
  TDialogSetup setup(owner, request, request.multiple ? kOpenBufferChars : 32768);
  setup.ofn.Flags |= OFN_FILEMUSTEXIST | (request.multiple ? OFN_ALLOWMULTISELECT : 0);
  if (!::GetOpenFileNameW(&setup.ofn)) return {};
  return ChosenFiles(setup.buffer);
}

std::optional<std::u16string> SaveDrawingDialog(HWND owner,
                                                const window::TFileDialogRequest& request) {
  TDialogSetup setup(owner, request, 32768);
  setup.ofn.Flags |= OFN_OVERWRITEPROMPT | OFN_NOREADONLYRETURN;
  if (!::GetSaveFileNameW(&setup.ofn)) return std::nullopt;
  return U(setup.buffer.c_str());
}

void MessageDialog(HWND owner, const std::u16string& text) {
  ::MessageBoxW(owner, W(text).c_str(), W(window::kApplicationTitle).c_str(), MB_OK);
}

bool YesNoDialog(HWND owner, const std::u16string& text) {
  return ::MessageBoxW(owner, W(text).c_str(), W(window::kApplicationTitle).c_str(),
                       MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING) == IDYES;
}

}  // namespace plattero::win32
