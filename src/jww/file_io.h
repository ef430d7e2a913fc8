#pragma once

// Small POSIX file helpers shared by the reader and the writer.

#include <cstdint>
#include <string>
#include <vector>

#include "jww/archive.h"

namespace plattero {

// Reads a whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes);

// A whole file read into memory. Empty when the file cannot be opened or
// read.
class FileBytes {
 public:
  explicit FileBytes(const std::string& path);
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  bool ok() const { return ok_; }
  const std::uint8_t* data() const { return copy_.data(); }
  std::size_t size() const { return copy_.size(); }

 private:
  bool ok_ = false;
  std::vector<std::uint8_t> copy_;
};

// Writes to an open file descriptor, retrying short writes. With
// `early_writeback`, every few megabytes written are handed to the disk at
// once (without waiting), so that a final fsync finds little left to do
// while the rest of the file was being produced.
class FdSink : public ByteSink {
 public:
  explicit FdSink(int fd, bool early_writeback = false)
      : fd_(fd), early_writeback_(early_writeback) {}
  bool Write(const void* data, std::size_t size) override;

 private:
  int fd_;
  bool early_writeback_;
  std::uint64_t written_ = 0;
  std::uint64_t handed_ = 0;  // bytes already handed to the disk
};

// Creates `path` (replacing a file of that name, never following a link) and
// writes `size` bytes into it. On failure nothing is left at `path`.
bool WriteWholeFile(const std::string& path, const std::uint8_t* data, std::size_t size);

}  // namespace plattero
