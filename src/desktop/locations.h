#pragma once

// Where the window keeps its settings and image folders.
//
// A program in a folder it may write to (a portable install, a build tree)
// keeps everything beside itself: "<exe>.dat", "TEMP/" and "TEMP2/". An
// installed program (folder not writable) keeps its settings in the user's
// configuration folder ("$XDG_CONFIG_HOME/plattero/plattero.dat", default
// "~/.config/plattero/"; on Windows "%APPDATA%\Plattero\plattero.dat") and its
// image folders in a folder of its own (on Windows "%LOCALAPPDATA%\Plattero\";
// elsewhere a private folder made for this run under $TMPDIR).
//
// Image folders belong to one running window: a lock file in them says so.
// A second window finds them taken and makes a private folder of its own; a
// window that takes them empties what a killed one left there, and folders
// that killed windows made for themselves are removed.

#include <memory>
#include <string>

#include "platform/file_system.h"

namespace plattero::desktop {

struct TLocations {
  std::u16string ExePath;       // folder of the executable, ending with a separator
  std::u16string SettingsFile;  // empty when no place for it was found
  std::u16string TmpPath;       // image folder of the combined drawing, ending with a separator
  std::u16string TmpPath2;      // image folder of the drawing being added, ending with a separator
  std::u16string PrivateDir;    // this window's own folder holding both, or empty
  bool beside_exe = true;       // settings and image folders beside the executable
  // Held while the image folders are in use.
  std::shared_ptr<platform::TLockFile> Lock;
};

// The user's configuration folder: on POSIX systems $XDG_CONFIG_HOME when it
// is an absolute path, else $HOME/.config (the account's home when HOME is
// unset); on Windows %APPDATA%. Ends with a separator; empty when unknown.
std::u16string ConfigHome();

// Decides the locations for an executable (platform::ExecutableFile()): beside it when its folder
// is writable, else in the configuration folder and folders of the program's own. The image folders
// are only named here; PrepareImageFolders makes them.
TLocations LocationsFor(const std::u16string& exe_file);

// Creates the image folders and takes them for this window. When they cannot
// be made or are held by another window, a private folder takes them. False
// when no place could be made at all (TmpPath and TmpPath2 are then empty).
bool PrepareImageFolders(TLocations& loc);

// Lets the image folders go and removes TmpPath2, then TmpPath, then the
// private folder, each only when it is empty; failures are ignored.
void RemoveImageFolders(TLocations& loc);

// --- Supplied by each system ---------------------------------------------------

// The folder of image folders for an installed program, ending with a
// separator; empty when each window makes a private one instead.
std::u16string InstalledImageRoot();
// The settings file of an installed program, in a folder of the program's
// own in the configuration folder ("plattero/plattero.dat"; on Windows
// "Plattero\plattero.dat"); empty when there is no configuration folder.
std::u16string InstalledSettingsFile();
// Where private image folders are made, without a final separator.
std::u16string PrivateImageRoot();

}  // namespace plattero::desktop
