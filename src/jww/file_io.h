#pragma once

// Small POSIX file helpers shared by the reader and the writer.

#include <cstdint>
#include <string>
#include <vector>

#include "jww/archive.h"

namespace plattero {

// Reads a whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes);

// Writes to an open file descriptor, retrying short writes.
class FdSink : public ByteSink {
 public:
  explicit FdSink(int fd) : fd_(fd) {}
  bool Write(const void* data, std::size_t size) override;

 private:
  int fd_;
};

// Creates `path` (replacing a file of that name, never following a link) and
// writes `size` bytes into it. On failure nothing is left at `path`.
bool WriteWholeFile(const std::string& path, const std::uint8_t* data, std::size_t size);

}  // namespace plattero
