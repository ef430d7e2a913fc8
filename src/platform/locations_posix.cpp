// Locations on POSIX systems.

#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "platform/environment.h"
#include "platform/locations.h"
#include "platform/temporary.h"
#include "platform/unicode.h"

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
    return TextFromOsBytes(found->pw_dir);
  }
  return {};
}

}  // namespace

std::u16string ExecutableFile() {
  std::vector<char> buf(4096);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buf.size())
      return TextFromOsBytes({buf.data(), static_cast<std::size_t>(n)});
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

std::u16string InstalledSettingsFile() {
  const std::u16string config = ConfigHome();
  return config.empty() ? std::u16string() : config + u"plattero/plattero.dat";
}

std::u16string InstalledImageRoot() {
  return {};  // each window makes a private folder under $TMPDIR
}

std::u16string PrivateImageRoot() {
  return TempRoot();
}

char16_t PathSeparator() {
  return u'/';
}

}  // namespace plattero::platform
