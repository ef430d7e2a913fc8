#include "test_system.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/file_system.h"
#include "platform/temporary.h"
#include "util/text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace plattero::testing {

std::string MakeScratchFolder() {
  const auto made = platform::MakePrivateFolder(platform::TempRoot(), u"plattero-test-");
  if (!made) throw std::runtime_error("cannot make a scratch folder");
  platform::UnregisterCleanup(*made);  // removed by its owner
  return Utf16ToUtf8(*made) + "/";
}

void RemoveScratchFolder(const std::string& path) {
  platform::RemoveTree(Utf8ToUtf16(path));
}

std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::path(Utf8ToUtf16(utf8));
}

std::string PathUtf8(const std::filesystem::path& path) {
#ifdef _WIN32
  return Utf16ToUtf8(path.u16string());
#else
  return path.string();
#endif
}

std::u16string NativePath(std::u16string path) {
#ifdef _WIN32
  for (char16_t& c : path) {
    if (c == u'/') c = u'\\';
  }
#endif
  return path;
}

std::string ReadFileBytes(const std::u16string& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::vector<std::string> TempRootVariables() {
#ifdef _WIN32
  return {"TMP", "TEMP"};
#else
  return {"TMPDIR"};
#endif
}

ScopedTempRoot::ScopedTempRoot(const std::string& folder) {
  for (const std::string& name : TempRootVariables())
    env_.push_back(std::make_unique<ScopedEnv>(name.c_str(), folder));
}

#ifdef _WIN32

namespace {

std::wstring Wide(const std::string& utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

// One argument as the C runtime's parser reads it back.
std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, L'\\');
  out += L'"';
  return out;
}

HANDLE OpenForChild(const std::string& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ScopedEnv::ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
  if (const wchar_t* old = ::_wgetenv(Wide(name_).c_str())) {
    const std::wstring_view text(old);
    old_ = Utf16ToUtf8(std::u16string(text.begin(), text.end()));
  }
  // _wputenv_s changes the C runtime's copy and the process's own.
  ::_wputenv_s(Wide(name_).c_str(), value ? Wide(*value).c_str() : L"");
}

ScopedEnv::~ScopedEnv() {
  ::_wputenv_s(Wide(name_).c_str(), old_ ? Wide(*old_).c_str() : L"");
}

int RunProgram(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::pair<std::string, std::string>>& env,
               const std::string& out_file, const std::string& err_file) {
  std::wstring command = Quoted(Wide(program));
  for (const std::string& a : args)
    command += L" " + Quoted(Wide(a));
  std::vector<std::unique_ptr<ScopedEnv>> changed;  // inherited by the child
  for (const auto& [name, value] : env)
    changed.push_back(std::make_unique<ScopedEnv>(name.c_str(), value));
  const HANDLE out = OpenForChild(out_file), err = OpenForChild(err_file);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  const BOOL started = ::CreateProcessW(Wide(program).c_str(), command.data(), nullptr, nullptr,
                                        TRUE, 0, nullptr, nullptr, &startup, &process);
  ::CloseHandle(out);
  ::CloseHandle(err);
  if (!started) return -1;
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

#else

ScopedEnv::ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  if (value) {
    ::setenv(name, value->c_str(), 1);
  } else {
    ::unsetenv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (old_) {
    ::setenv(name_.c_str(), old_->c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

int RunProgram(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::pair<std::string, std::string>>& env,
               const std::string& out_file, const std::string& err_file) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  std::vector<std::string> argv_s = {program};
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_s)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_s;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const auto& change : env)
      replaced = replaced || entry.rfind(change.first + "=", 0) == 0;
    if (!replaced) env_s.push_back(entry);
  }
  for (const auto& [name, value] : env)
    env_s.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& e : env_s)
    envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

#endif

}  // namespace plattero::testing
