#pragma once

// A private temporary folder that lives for one command.

#include <string>

namespace plattero::cli {

// Creates a folder only this user may enter under the system's folder for
// temporary files, and removes it with everything in it when destroyed. An
// interrupt meanwhile removes it too (main installs that).
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  bool ok() const { return !path_.empty(); }
  // The folder, without a trailing separator; empty when creating it failed.
  const std::u16string& path() const { return path_; }
  // Why creating the folder failed.
  const std::string& error() const { return error_; }

  // Removes the folder now (the destructor then has nothing left to do).
  void Remove();

 private:
  std::u16string path_;
  std::string error_;
};

}  // namespace plattero::cli
