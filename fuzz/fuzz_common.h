#pragma once

// What the fuzz targets share: a private scratch folder that lives as long as
// the process and is reused by every run, and a check that a run left nothing
// behind in a folder.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "drawing_builder.h"

namespace plattero::fuzz {

// The process's scratch folder (ends with "/"), created on first use.
inline const testing::TempDir& Scratch() {
  static testing::TempDir dir;
  return dir;
}

// A sub-folder of the scratch folder, created on first use; ends with "/".
inline std::string Folder(const std::string& name) {
  const std::string path = Scratch().file(name) + "/";
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return path;
}

// Removes everything inside a folder and returns how many entries there were.
inline std::size_t EmptyFolder(const std::string& path) {
  std::size_t n = 0;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(path, ec)) {
    std::error_code rm;
    std::filesystem::remove_all(e.path(), rm);
    ++n;
  }
  return n;
}

// Stops the fuzzer with a message: libFuzzer reports the input as a crash.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

}  // namespace plattero::fuzz
