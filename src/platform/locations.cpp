#include "platform/locations.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "platform/files.h"
#include "util/text.h"

namespace plattero::platform {

namespace {

std::u16string WithSlash(std::u16string folder) {
  if (folder.empty() || folder.back() != u'/') folder += u'/';
  return folder;
}

std::u16string HomeFolder() {
  std::u16string home = EnvText("HOME");
  if (!home.empty()) return home;
  std::vector<char> buf(16384);
  passwd pw{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found &&
      found->pw_dir) {
    return Utf8ToUtf16(found->pw_dir);
  }
  return {};
}

bool MakeImageFolders(const std::u16string& tmp, const std::u16string& tmp2) {
  return MakeFolders(tmp) && MakeFolders(tmp2);
}

}  // namespace

std::u16string ExecutableFile() {
  std::vector<char> buf(4096);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buf.size()) return Utf8ToUtf16({buf.data(), std::size_t(n)});
    if (buf.size() >= (1u << 20)) return {};
    buf.resize(buf.size() * 2);
  }
}

std::u16string ConfigHome() {
  const std::u16string xdg = EnvText("XDG_CONFIG_HOME");
  if (!xdg.empty() && xdg.front() == u'/') return WithSlash(xdg);
  const std::u16string home = HomeFolder();
  if (home.empty()) return {};
  return WithSlash(home) + u".config/";
}

std::u16string TempRoot() {
  std::u16string root = EnvText("TMPDIR");
  if (root.empty()) root = u"/tmp";
  while (root.size() > 1 && root.back() == u'/')
    root.pop_back();
  return root;
}

TLocations LocationsFor(const std::u16string& exe_file) {
  TLocations loc;
  loc.ExePath = FolderOf(exe_file);
  loc.beside_exe = !loc.ExePath.empty() && IsWritableFolder(loc.ExePath);
  if (loc.beside_exe) {
    loc.SettingsFile = ChangeExt(exe_file, u".dat");
    loc.TmpPath = loc.ExePath + u"TEMP/";
    loc.TmpPath2 = loc.ExePath + u"TEMP2/";
  } else {
    const std::u16string config = ConfigHome();
    if (!config.empty()) loc.SettingsFile = config + u"plattero/plattero.dat";
  }
  return loc;
}

bool PrepareImageFolders(TLocations& loc) {
  if (!loc.TmpPath.empty() && MakeImageFolders(loc.TmpPath, loc.TmpPath2)) return true;
  // Beside the executable failed (or was not wanted): this run's own folder.
  std::string pattern = Utf16ToUtf8(TempRoot()) + "/plattero-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (::mkdtemp(buf.data()) != nullptr) {
    loc.PrivateDir = Utf8ToUtf16(buf.data()) + u"/";
    loc.TmpPath = loc.PrivateDir + u"TEMP/";
    loc.TmpPath2 = loc.PrivateDir + u"TEMP2/";
    if (MakeImageFolders(loc.TmpPath, loc.TmpPath2)) return true;
    RemoveImageFolders(loc);
  }
  loc.TmpPath.clear();
  loc.TmpPath2.clear();
  loc.PrivateDir.clear();
  return false;
}

void RemoveImageFolders(const TLocations& loc) {
  if (!loc.TmpPath2.empty()) RemoveFolderQuiet(loc.TmpPath2);
  if (!loc.TmpPath.empty()) RemoveFolderQuiet(loc.TmpPath);
  if (!loc.PrivateDir.empty()) RemoveFolderQuiet(loc.PrivateDir);
}

}  // namespace plattero::platform
