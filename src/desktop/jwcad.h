#pragma once

// Finding and starting Jw_cad.
//
// Jw_cad's folder comes from the ".JWW" file association: the class named by
// ".JWW" under the classes root, then that class's "shell\open\command",
// whose program path gives the folder. On Windows the system's registry is
// read and Jw_cad is started as a process of its own; elsewhere Jw_cad runs
// under Wine, whose prefix's registry files are read and whose loader starts
// it (desktop/jwcad_wine.h). The program started is always "Jw_win.exe" in
// that folder, given the drawing's path.

#include <functional>
#include <optional>
#include <string>

namespace plattero::desktop {

// The program Jw_cad is looked for as when no association names one.
inline constexpr char16_t kDefaultJwwProgram[] = u"C:\\JWW\\JW_WIN.EXE";
// The file started in Jw_cad's folder, whatever the association names.
inline constexpr char16_t kJwCadProgram[] = u"Jw_win.exe";

// The program path at the front of a registered command: a path in double
// quotes is taken whole (blanks included); otherwise the text before the first
// blank, without a leading and a trailing double quote. Empty when the
// command is empty or begins with a blank.
std::u16string ProgramPathOfCommand(const std::u16string& command);

// Reads the default string value of a key below a classes root (a "\"
// separated path); nothing when the key or a string default is missing.
using TClassesReader = std::function<std::optional<std::u16string>(const std::u16string& key)>;

// The program path of the ".JWW" association as `read` finds it: the class
// named by ".JWW", then that class's "shell\open\command". Empty when
// anything is missing.
std::u16string JwwAppPathFrom(const TClassesReader& read);

// The folder part of a Windows path, up to and including its last "\", "/" or
// ":"; empty when it has none.
std::u16string WindowsFolderOf(const std::u16string& path);

// Jw_cad's folder: the folder of the associated program, or "C:\JWW\".
std::u16string JwwPathFrom(const std::u16string& app_path);

// The command line that starts Jw_cad on Windows: "Jw_win.exe" in
// `jww_path` in double quotes (the folder may hold blanks), a blank, and the
// drawing's path in double quotes.
std::u16string JwCadCommandLine(const std::u16string& file, const std::u16string& jww_path);

// Starts Jw_cad ("Jw_win.exe" in `jww_path`) with the drawing when the drawing
// exists, in Jw_cad's folder. On Windows it waits until Jw_cad is ready for
// input; under Wine it does not wait. Returns whether the program started;
// shows nothing either way.
bool OpenInJwCad(const std::u16string& file, const std::u16string& jww_path);

// --- Supplied by each system ---------------------------------------------------

// The program path of the system's ".JWW" association (on Windows under
// HKEY_CLASSES_ROOT; elsewhere in the Wine prefix's registry).
std::u16string GetJwwAppPath();

// Whether OpenInJwCad returns only once Jw_cad is ready for input.
extern const bool kJwCadStartWaits;

// Starts Jw_cad with an existing drawing, as OpenInJwCad does.
bool StartJwCad(const std::u16string& file, const std::u16string& jww_path);

}  // namespace plattero::desktop
