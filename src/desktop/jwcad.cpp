#include "desktop/jwcad.h"

#include "platform/file_system.h"

namespace plattero::desktop {

std::u16string ProgramPathOfCommand(const std::u16string& command) {
  if (command.empty()) return {};
  if (command.front() == u'"') {
    const std::size_t close = command.find(u'"', 1);
    if (close != std::u16string::npos) return command.substr(1, close - 1);
  }
  std::u16string s = command.substr(0, command.find(u' '));
  if (!s.empty() && s.front() == u'"') s.erase(0, 1);
  if (!s.empty() && s.back() == u'"') s.pop_back();
  return s;
}

std::u16string JwwAppPathFrom(const TClassesReader& read) {
  const auto cls = read(u".JWW");
  if (!cls || cls->empty()) return {};
  const auto command = read(*cls + u"\\shell\\open\\command");
  if (!command) return {};
  return ProgramPathOfCommand(*command);
}

std::u16string WindowsFolderOf(const std::u16string& path) {
  const std::size_t p = path.find_last_of(u"\\/:");
  return p == std::u16string::npos ? std::u16string() : path.substr(0, p + 1);
}

std::u16string JwwPathFrom(const std::u16string& app_path) {
  return WindowsFolderOf(app_path.empty() ? std::u16string(kDefaultJwwProgram) : app_path);
}

std::u16string JwCadCommandLine(const std::u16string& file, const std::u16string& jww_path) {
  return u"\"" + jww_path + kJwCadProgram + u"\" \"" + file + u"\"";
}

bool OpenInJwCad(const std::u16string& file, const std::u16string& jww_path) {
  return platform::IsRegularFile(file) && StartJwCad(file, jww_path);
}

}  // namespace plattero::desktop
