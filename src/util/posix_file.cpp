#include "util/posix_file.h"

#include <unistd.h>

#include <cerrno>

#include "util/text.h"

namespace plattero {

std::string OsPath(std::u16string_view path) {
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) return {};
  return Utf16ToUtf8(path);
}

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileDescriptor::Close() {
  const int fd = fd_;
  fd_ = -1;
  return fd < 0 || ::close(fd) == 0;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
  auto p = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t written = ::write(fd, p, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    p += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace plattero
