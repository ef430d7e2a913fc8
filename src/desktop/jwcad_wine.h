#pragma once

// Jw_cad under Wine (systems other than Windows): the association is read
// from the Wine prefix's registry files, and the Wine loader starts
// "Jw_win.exe" with the drawing's path in Wine's form.

#include <string>

namespace plattero::desktop {

// The program path of the ".JWW" association in the registry files of a Wine
// prefix (ending with "/"). Empty when anything is missing.
std::u16string GetJwwAppPath(const std::u16string& prefix);

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

// The prefix Jw_cad runs in: the first of WinePrefixes() whose registry
// associates ".JWW" with a program, else the first of them; empty when there
// is none.
std::u16string JwCadPrefix();

// OpenInJwCad under Wine with the prefix's drives ($WINEPREFIX is set to it
// for the loader); it does not wait for Jw_cad.
bool OpenInJwCad(const std::u16string& file, const std::u16string& jww_path,
                 const std::u16string& prefix);

}  // namespace plattero::desktop
