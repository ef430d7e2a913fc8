#include "jww/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include "util/memory.h"
#include "util/posix_file.h"

namespace plattero {

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  // Non-blocking, so that a FIFO given as a drawing is refused instead of
  // waiting for a writer; regular files read as usual.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  // One read of the whole file; the size may change meanwhile, so read on
  // until the end whatever stat said.
  // One byte more than the size, so the read that finds the end needs no
  // growth (growing would copy the whole file once more).
  ReserveLarge(bytes, static_cast<std::size_t>(st.st_size) + 1);
  bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
  std::size_t got = 0;
  for (;;) {
    if (got == bytes.size()) bytes.resize(bytes.size() + 65536);
    ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      bytes.clear();
      return false;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  ::close(fd);
  return true;
}

FileBytes::FileBytes(const std::string& path) {
  // Read, not mapped: a mapped file that another program cuts short while it
  // is being read would end the process at the first page past the new end.
  ok_ = ReadWholeFile(path, copy_);
}

bool FdSink::Write(const void* data, std::size_t size) {
  if (!WriteAll(fd_, data, size)) return false;
  written_ += size;
#ifdef SYNC_FILE_RANGE_WRITE
  constexpr std::uint64_t kWritebackStep = std::uint64_t{8} << 20;
  if (early_writeback_ && written_ - handed_ >= kWritebackStep) {
    // Only a hint: starts writing the pages back and returns; fsync still
    // decides whether everything reached the disk.
    ::sync_file_range(fd_, static_cast<off_t>(handed_), static_cast<off_t>(written_ - handed_),
                      SYNC_FILE_RANGE_WRITE);
    handed_ = written_;
  }
#endif
  return true;
}

bool WriteWholeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  FdSink sink(fd);
  bool ok = sink.Write(data, size);
  if (::close(fd) != 0) ok = false;
  if (!ok) ::unlink(path.c_str());
  return ok;
}

}  // namespace plattero
