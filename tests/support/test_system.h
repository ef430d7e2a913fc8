#pragma once

// What tests need of the operating system, the same on Linux and Windows:
// scratch folders, file names with any characters, the environment, and
// running a program.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace plattero::testing {

// A new folder only this user may enter, in the system's temporary folder;
// the path (UTF-8) ends with "/". Throws when none can be made.
std::string MakeScratchFolder();
// Removes a folder with everything in it; failures are ignored.
void RemoveScratchFolder(const std::string& path);

// A path for std::filesystem and the file streams from UTF-8 (on Windows a
// narrow path would go through the ANSI code page and lose characters).
std::filesystem::path FsPath(const std::string& utf8);

// The UTF-8 text of a path (what a program's argument holds on every system).
std::string PathUtf8(const std::filesystem::path& path);

// A path in the system's own form, as dialogs and Explorer give paths: on
// Windows "/" becomes "\"; elsewhere it stays as it is.
std::u16string NativePath(std::u16string path);

// The bytes of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::u16string& path);

// Sets (or, given nothing, removes) an environment variable for the life of
// the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// The variables that choose the temporary folder: TMPDIR; on Windows TMP
// and TEMP.
std::vector<std::string> TempRootVariables();

// Points the temporary folder at `folder` for the life of the object.
class ScopedTempRoot {
 public:
  explicit ScopedTempRoot(const std::string& folder);

 private:
  std::vector<std::unique_ptr<ScopedEnv>> env_;
};

// Runs a program with `args`, the environment changed by `env` (name and
// value), its standard output and error written to files. The exit code, or
// 128 + the signal that ended it; -1 when it could not be started.
int RunProgram(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::pair<std::string, std::string>>& env,
               const std::string& out_file, const std::string& err_file);

}  // namespace plattero::testing
