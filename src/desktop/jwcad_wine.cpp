// Jw_cad under Wine.

#include <cstdlib>

#include "desktop/jwcad.h"
#include "desktop/jwcad_wine.h"
#include "desktop/process.h"
#include "desktop/wine_registry.h"
#include "platform/file_system.h"
#include "platform/unicode.h"
#include "util/text.h"

namespace plattero::desktop {

std::u16string GetJwwAppPath(const std::u16string& prefix) {
  if (prefix.empty()) return {};
  return JwwAppPathFrom(
      [&prefix](const std::u16string& key) { return ReadClassesDefault(prefix, key); });
}

std::u16string WinePathOf(const std::u16string& path) {
  std::u16string out = u"Z:" + path;
  for (char16_t& c : out) {
    if (c == u'/') c = u'\\';
  }
  return out;
}

std::u16string LocalFolderOf(const std::u16string& prefix, const std::u16string& windows_folder) {
  if (prefix.empty() || windows_folder.size() < 2 || windows_folder[1] != u':') return {};
  const char16_t letter = windows_folder[0];
  if (!((letter >= u'A' && letter <= u'Z') || (letter >= u'a' && letter <= u'z'))) return {};
  const std::u16string drive =
      prefix + u"dosdevices/" + LowerStr(std::u16string(1, letter)) + u":/";
  std::u16string rest = windows_folder.substr(2);
  for (char16_t& c : rest) {
    if (c == u'\\') c = u'/';
  }
  while (!rest.empty() && rest.front() == u'/')
    rest.erase(0, 1);
  if (platform::IsExistingFolder(drive + rest)) return drive + rest;
  return platform::IsExistingFolder(drive) ? drive : std::u16string();
}

std::string WineProgram() {
  const char* chosen = std::getenv("PLATTERO_WINE");
  return FindProgram(chosen && *chosen ? chosen : "wine");
}

std::u16string JwCadPrefix() {
  const std::vector<std::u16string> prefixes = WinePrefixes();
  for (const std::u16string& prefix : prefixes) {
    if (!GetJwwAppPath(prefix).empty()) return prefix;
  }
  return prefixes.empty() ? std::u16string() : prefixes.front();
}

bool OpenInJwCad(const std::u16string& file, const std::u16string& jww_path,
                 const std::u16string& prefix) {
  if (!platform::IsRegularFile(file)) return false;
  const std::string wine = WineProgram();
  if (wine.empty()) return false;
  std::vector<std::string> set_env;
  if (!prefix.empty()) {
    std::u16string folder = prefix;
    while (folder.size() > 1 && folder.back() == u'/')
      folder.pop_back();
    set_env.push_back("WINEPREFIX=" + OsBytesFromText(folder));
  }
  return StartDetached(
      wine, {OsBytesFromText(jww_path + kJwCadProgram), OsBytesFromText(WinePathOf(file))},
      OsBytesFromText(LocalFolderOf(prefix, jww_path)), set_env);
}

}  // namespace plattero::desktop
