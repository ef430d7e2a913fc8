// What the desktop layer needs of POSIX systems: the user's folders,
// starting programs, and Jw_cad, which runs under Wine here (jwcad_wine.h).

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "desktop/jwcad.h"
#include "desktop/jwcad_wine.h"
#include "desktop/locations.h"
#include "desktop/process.h"
#include "platform/environment.h"
#include "platform/temporary.h"
#include "platform/unicode.h"

extern char** environ;

namespace plattero::desktop {

// --- Locations ---------------------------------------------------------------------

namespace {

std::u16string WithSlash(std::u16string folder) {
  if (folder.empty() || folder.back() != u'/') folder += u'/';
  return folder;
}

std::u16string HomeFolder() {
  std::u16string home = platform::EnvText("HOME");
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

std::u16string ConfigHome() {
  const std::u16string xdg = platform::EnvText("XDG_CONFIG_HOME");
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
  return platform::TempRoot();
}

// --- Jw_cad -------------------------------------------------------------------------

std::u16string GetJwwAppPath() {
  return GetJwwAppPath(JwCadPrefix());
}

const bool kJwCadStartWaits = false;

bool StartJwCad(const std::u16string& file, const std::u16string& jww_path) {
  return OpenInJwCad(file, jww_path, JwCadPrefix());
}

// --- Starting programs ----------------------------------------------------------------

namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Closes every descriptor from 3 on except `keep`, without allocating (used
// after fork).
void CloseAllFrom3Except(int keep) {
#ifdef SYS_close_range
  bool closed = keep <= 3 || ::syscall(SYS_close_range, 3u, unsigned(keep - 1), 0u) == 0;
  if (closed && ::syscall(SYS_close_range, unsigned(keep + 1), ~0u, 0u) == 0) return;
#endif
  const long max = ::sysconf(_SC_OPEN_MAX);
  for (long fd = 3; fd < (max > 0 ? max : 1024); ++fd) {
    if (fd != keep) ::close(static_cast<int>(fd));
  }
}

}  // namespace

std::string FindProgram(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
  const char* path_env = std::getenv("PATH");
  const std::string path = path_env ? path_env : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  for (;;) {
    const std::size_t colon = path.find(':', start);
    const std::string dir = path.substr(start, colon == std::string::npos ? colon : colon - start);
    const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
    if (colon == std::string::npos) return {};
    start = colon + 1;
  }
}

bool StartDetached(const std::string& program, const std::vector<std::string>& args,
                   const std::string& folder, const std::vector<std::string>& set_env) {
  if (program.empty()) return false;
  // Everything the children need is prepared here: after fork only calls
  // that are safe in a copy of a threaded process are made.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (char** e = environ; *e; ++e) {
    const std::string_view entry(*e);
    const auto replaced = [&entry](const std::string& v) {
      const std::size_t eq = v.find('=');
      return eq != std::string::npos && entry.size() > eq &&
             entry.substr(0, eq + 1) == v.substr(0, eq + 1);
    };
    if (std::none_of(set_env.begin(), set_env.end(), replaced)) envp.push_back(*e);
  }
  for (const std::string& v : set_env)
    envp.push_back(const_cast<char*>(v.c_str()));
  envp.push_back(nullptr);

  int report[2];  // the grandchild writes errno here when exec fails
  if (::pipe2(report, O_CLOEXEC) != 0) return false;

  const pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (child == 0) {
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
    const int null_fd = ::open("/dev/null", O_RDONLY);
    if (null_fd >= 0) {
      ::dup2(null_fd, 0);
      if (null_fd != 0) ::close(null_fd);
    }
    // Only the report pipe (closed by exec) stays open besides 0, 1 and 2.
    CloseAllFrom3Except(report[1]);
    if (!folder.empty() && ::chdir(folder.c_str()) != 0) {
      // A folder that cannot be entered: the program starts in ours.
    }
    ::execve(program.c_str(), argv.data(), envp.data());
    const int err = errno;
    const ssize_t written = ::write(report[1], &err, sizeof err);
    (void)written;
    ::_exit(127);
  }
  ::close(report[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  // The read ends with nothing when exec closed the pipe, or with errno.
  int err = 0;
  ssize_t n;
  do {
    n = ::read(report[0], &err, sizeof err);
  } while (n < 0 && errno == EINTR);
  ::close(report[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

}  // namespace plattero::desktop
