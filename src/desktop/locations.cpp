#include "desktop/locations.h"

#include "platform/temporary.h"
#include "util/text.h"

namespace plattero::desktop {

using platform::PathSeparator;

namespace {

constexpr char16_t kLockName[] = u".plattero-lock";
constexpr char16_t kPrivatePrefix[] = u"plattero-";

std::u16string WithSeparator(std::u16string folder) {
  if (folder.empty() || (folder.back() != u'/' && folder.back() != PathSeparator()))
    folder += PathSeparator();
  return folder;
}

// Takes TEMP and TEMP2 inside `root` for this window, emptying them of what
// a window that was killed left there.
bool TakeImageFolders(TLocations& loc, const std::u16string& root) {
  const std::u16string tmp = root + u"TEMP" + PathSeparator();
  const std::u16string tmp2 = root + u"TEMP2" + PathSeparator();
  if (!platform::MakeFolders(tmp) || !platform::MakeFolders(tmp2)) return false;
  auto lock = std::make_shared<platform::TLockFile>();
  if (!lock->TryLock(tmp + kLockName)) return false;  // another window's
  for (const std::u16string& folder : {tmp, tmp2}) {
    for (const std::u16string& name : platform::FolderEntries(folder)) {
      if (name == kLockName) continue;
      const std::u16string path = folder + name;
      if (platform::KindOf(path) == platform::TFileKind::kFolder) {
        platform::RemoveTree(path);
      } else {
        platform::DeleteFileQuiet(path);
      }
    }
  }
  loc.TmpPath = tmp;
  loc.TmpPath2 = tmp2;
  loc.Lock = std::move(lock);
  return true;
}

// Removes the private folders under `root` whose window is gone: their lock
// is free. A folder without a lock file is left alone (it may be being made).
void RemoveAbandonedFolders(const std::u16string& root) {
  const std::u16string folder = WithSeparator(root);
  for (const std::u16string& name : platform::FolderEntries(root)) {
    if (name.rfind(kPrivatePrefix, 0) != 0 || name.size() != 15) continue;
    const std::u16string dir = folder + name + PathSeparator();
    const std::u16string lock_path = dir + u"TEMP" + PathSeparator() + kLockName;
    if (!platform::IsRegularFile(lock_path)) continue;
    platform::TLockFile probe;
    if (!probe.TryLock(lock_path)) continue;  // its window is still running
    probe.Release();
    platform::RemoveTree(folder + name);
  }
}

}  // namespace

TLocations LocationsFor(const std::u16string& exe_file) {
  TLocations loc;
  loc.ExePath = platform::FolderOf(exe_file);
  loc.beside_exe = !loc.ExePath.empty() && platform::IsWritableFolder(loc.ExePath);
  if (loc.beside_exe) {
    loc.SettingsFile = ChangeExt(exe_file, u".dat");
    loc.TmpPath = loc.ExePath + u"TEMP" + PathSeparator();
    loc.TmpPath2 = loc.ExePath + u"TEMP2" + PathSeparator();
  } else {
    loc.SettingsFile = InstalledSettingsFile();
    const std::u16string root = InstalledImageRoot();
    if (!root.empty()) {
      loc.TmpPath = root + u"TEMP" + PathSeparator();
      loc.TmpPath2 = root + u"TEMP2" + PathSeparator();
    }
  }
  return loc;
}

bool PrepareImageFolders(TLocations& loc) {
  // The folders named for this program, unless another window has them.
  if (!loc.TmpPath.empty()) {
    const std::u16string root = platform::FolderOf(loc.TmpPath.substr(0, loc.TmpPath.size() - 1));
    if (TakeImageFolders(loc, root)) return true;
  }
  // Else a private folder of this window's own.
  const std::u16string private_root = PrivateImageRoot();
  RemoveAbandonedFolders(private_root);
  loc.TmpPath.clear();
  loc.TmpPath2.clear();
  if (const auto made = platform::MakePrivateFolder(private_root, kPrivatePrefix)) {
    loc.PrivateDir = *made + PathSeparator();
    if (TakeImageFolders(loc, loc.PrivateDir)) return true;
    RemoveImageFolders(loc);
  }
  loc.TmpPath.clear();
  loc.TmpPath2.clear();
  loc.PrivateDir.clear();
  return false;
}

void RemoveImageFolders(TLocations& loc) {
  if (loc.Lock) loc.Lock->Release();
  loc.Lock.reset();
  if (!loc.TmpPath2.empty()) platform::RemoveFolderQuiet(loc.TmpPath2);
  if (!loc.TmpPath.empty()) platform::RemoveFolderQuiet(loc.TmpPath);
  if (!loc.PrivateDir.empty()) {
    platform::RemoveFolderQuiet(loc.PrivateDir);
    // Registered without its final separator when it was made.
    if (!platform::IsExistingFolder(loc.PrivateDir))
      platform::UnregisterCleanup(loc.PrivateDir.substr(0, loc.PrivateDir.size() - 1));
  }
}

}  // namespace plattero::desktop
