#pragma once

// Finding and starting Jw_cad.
//
// Jw_cad's folder comes from the ".JWW" file association in the registry (on
// Windows the system's; elsewhere Jw_cad runs under Wine, and the Wine
// prefix's registry files are read); the program started is always
// "Jw_win.exe" in that folder, given the drawing's path (under Wine in Wine's
// form, "Z:" + the path with "\" separators).

#include <string>

namespace plattero::platform {

// The folder Jw_cad is looked for in when no association names one.
inline constexpr char16_t kDefaultJwwProgram[] = u"C:\\JWW\\JW_WIN.EXE";

// The program path at the front of a registered command: a path in double
// quotes is taken whole (blanks included); otherwise the text before the first
// blank, without a leading and a trailing double quote. Empty when the
// command is empty or begins with a blank.
std::u16string ProgramPathOfCommand(const std::u16string& command);

// The program path of the ".JWW" association: the class named by ".JWW", then
// that class's "shell\open\command". Empty when anything is missing.
std::u16string GetJwwAppPath();
// The same from the registry files of a Wine prefix (ending with "/").
std::u16string GetJwwAppPath(const std::u16string& prefix);

// The folder part of a Windows path, up to and including its last "\", "/" or
// ":"; empty when it has none.
std::u16string WindowsFolderOf(const std::u16string& path);

// Jw_cad's folder: the folder of the associated program, or "C:\JWW\".
std::u16string JwwPathFrom(const std::u16string& app_path);

// A local path as Wine names it: "Z:" followed by the path with "/" turned
// into "\".
std::u16string WinePathOf(const std::u16string& path);

// The local folder behind a Windows folder of the prefix ("C:\JWW\" ->
// "<prefix>dosdevices/c:/JWW/"): the folder itself when it exists, else its
// drive's folder when that exists, else empty.
std::u16string LocalFolderOf(const std::u16string& prefix, const std::u16string& windows_folder);

// The Wine loader: $PLATTERO_WINE when set (a path or a name on PATH), else
// "wine" on PATH. Empty when not found.
std::string WineProgram();

// Starts Jw_cad ("Jw_win.exe" in `jww_path`) with the drawing when the drawing
// exists, in Jw_cad's folder, and waits until it is ready for input (on
// Windows; under Wine it is not waited for). Returns whether the program
// started; shows nothing either way.
bool OpenInJwCad(const std::u16string& file, const std::u16string& jww_path);
// The same under Wine with the prefix's drives.
bool OpenInJwCad(const std::u16string& file, const std::u16string& jww_path,
                 const std::u16string& prefix);

}  // namespace plattero::platform
