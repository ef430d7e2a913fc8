#pragma once

// A private temporary folder that lives for one command.

#include <csignal>
#include <string>

namespace plattero::cli {

// Creates a folder of mode 0700 under $TMPDIR (under /tmp when TMPDIR is unset
// or empty) and removes it with everything in it when destroyed.
//
// While the folder exists, SIGINT, SIGTERM, SIGHUP and SIGQUIT are held back,
// so an interrupt cannot leave it behind: a signal that arrived meanwhile takes
// effect as soon as the folder is gone.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  bool ok() const { return !path_.empty(); }
  // The folder, without a trailing separator; empty when creating it failed.
  const std::string& path() const { return path_; }
  // Why creating the folder failed.
  const std::string& error() const { return error_; }

  // Removes the folder now (the destructor then has nothing left to do).
  void Remove();

 private:
  std::string path_;
  std::string error_;
  sigset_t saved_mask_{};
  bool mask_saved_ = false;
};

}  // namespace plattero::cli
