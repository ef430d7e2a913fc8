// Jw_cad under Wine.

#include <cstdlib>

#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/jwcad.h"
#include "platform/jwcad_wine.h"
#include "platform/process.h"
#include "platform/wine_registry.h"
#include "util/text.h"

namespace plattero::platform {

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
  if (IsExistingFolder(drive + rest)) return drive + rest;
  return IsExistingFolder(drive) ? drive : std::u16string();
}

std::string WineProgram() {
  const char* chosen = std::getenv("PLATTERO_WINE");
  return FindProgram(chosen && *chosen ? chosen : "wine");
}

std::u16string GetJwwAppPath() {
  return GetJwwAppPath(WinePrefix());
}

bool OpenInJwCad(const std::u16string& file, const std::u16string& jww_path) {
  return OpenInJwCad(file, jww_path, WinePrefix());
}

bool OpenInJwCad(const std::u16string& file, const std::u16string& jww_path,
                 const std::u16string& prefix) {
  if (!IsExistingFile(file)) return false;
  const std::string wine = WineProgram();
  if (wine.empty()) return false;
  return StartDetached(
      wine, {OsBytesFromText(jww_path + kJwCadProgram), OsBytesFromText(WinePathOf(file))},
      OsBytesFromText(LocalFolderOf(prefix, jww_path)));
}

}  // namespace plattero::platform
