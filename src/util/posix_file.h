#pragma once

// Small POSIX file helpers shared by the libraries: the byte path of a text
// path, an owned file descriptor, and a write that retries short writes.

#include <cstdint>
#include <string>
#include <string_view>

namespace plattero {

// The path as the operating system takes it (UTF-8); empty when it cannot
// name a file (empty, or holding a NUL).
std::string OsPath(std::u16string_view path);

// Closes its descriptor when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  // Closes now and reports whether closing succeeded.
  bool Close();

 private:
  int fd_;
};

// Writes all bytes, retrying short and interrupted writes. False on any error.
bool WriteAll(int fd, const void* data, std::size_t size);

}  // namespace plattero
