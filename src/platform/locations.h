#pragma once

// Where the window keeps its settings and image folders.
//
// A program in a folder it may write to (a portable install, a build tree)
// keeps everything beside itself: "<exe>.dat", "TEMP/" and "TEMP2/". An
// installed program (folder not writable) keeps its settings in
// "$XDG_CONFIG_HOME/plattero/plattero.dat" (default "~/.config/plattero/") and
// its image folders in a private folder made for this run under $TMPDIR
// (default /tmp), removed at close.

#include <string>

namespace plattero::platform {

struct TLocations {
  std::u16string ExePath;       // folder of the executable, ending with "/"
  std::u16string SettingsFile;  // empty when no place for it was found
  std::u16string TmpPath;       // image folder of the combined drawing, ending with "/"
  std::u16string TmpPath2;      // image folder of the drawing being added, ending with "/"
  std::u16string PrivateDir;    // this run's own folder holding both, or empty
  bool beside_exe = true;       // settings and image folders beside the executable
};

// Full path of the running executable; empty when it cannot be found.
std::u16string ExecutableFile();

// The configuration folder: $XDG_CONFIG_HOME when it is an absolute path, else
// $HOME/.config (the account's home when HOME is unset); ends with "/".
std::u16string ConfigHome();

// The folder for temporary files: $TMPDIR when set and not empty, else "/tmp";
// without a trailing "/".
std::u16string TempRoot();

// Decides the locations for an executable: beside it when its folder is
// writable, else in the configuration folder and a private temporary folder.
// The image folders are only named here; PrepareImageFolders makes them.
TLocations LocationsFor(const std::u16string& exe_file);

// Creates the image folders. When they cannot be made beside the executable,
// a private folder under TempRoot() takes them. False when no place could be
// made at all (TmpPath and TmpPath2 are then empty).
bool PrepareImageFolders(TLocations& loc);

// Removes TmpPath2, then TmpPath, then the private folder, each only when it
// is empty; failures are ignored.
void RemoveImageFolders(const TLocations& loc);

}  // namespace plattero::platform
