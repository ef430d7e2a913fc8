#include "cli/temp_dir.h"

#include <pthread.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

namespace plattero::cli {

namespace {

std::string TempRoot() {
  const char* env = std::getenv("TMPDIR");
  std::string root = env != nullptr && *env != '\0' ? env : "/tmp";
  while (root.size() > 1 && root.back() == '/')
    root.pop_back();
  return root;
}

}  // namespace

ScopedTempDir::ScopedTempDir() {
  sigset_t held;
  sigemptyset(&held);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
    sigaddset(&held, s);
  mask_saved_ = pthread_sigmask(SIG_BLOCK, &held, &saved_mask_) == 0;

  std::string pattern = TempRoot() + "/plattero-cli-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (::mkdtemp(buf.data()) != nullptr) {
    path_ = buf.data();
  } else {
    error_ = "cannot create a temporary folder in \"" + TempRoot() + "\": " + std::strerror(errno);
    if (mask_saved_) pthread_sigmask(SIG_SETMASK, &saved_mask_, nullptr);
    mask_saved_ = false;
  }
}

ScopedTempDir::~ScopedTempDir() {
  Remove();
}

void ScopedTempDir::Remove() {
  if (!path_.empty()) {
    std::error_code ec;  // nothing sensible to do about a failure here
    std::filesystem::remove_all(path_, ec);
    path_.clear();
  }
  if (mask_saved_) {
    pthread_sigmask(SIG_SETMASK, &saved_mask_, nullptr);
    mask_saved_ = false;
  }
}

}  // namespace plattero::cli
