#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <random>

#include "util/posix_file.h"
#include "util/text.h"

namespace plattero::platform {

std::optional<std::vector<std::uint8_t>> ReadFileBounded(const std::u16string& path,
                                                         std::size_t max_bytes) {
  const std::string os = OsPath(path);
  if (os.empty()) return std::nullopt;
  // O_NONBLOCK: a FIFO put under the name must not make us wait.
  FileDescriptor fd(::open(os.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  struct stat st {};
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  const auto size = static_cast<std::uint64_t>(st.st_size);
  bytes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(size, max_bytes)));
  std::uint8_t block[65536];
  while (bytes.size() < max_bytes) {
    const std::size_t want = std::min(sizeof block, max_bytes - bytes.size());
    const ssize_t n = ::read(fd.get(), block, want);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    bytes.insert(bytes.end(), block, block + n);
  }
  return bytes;
}

bool WriteFileReplacing(const std::u16string& path, const std::vector<std::uint8_t>& bytes) {
  const std::string target = OsPath(path);
  if (target.empty() || target.back() == '/') return false;
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  std::string temp;
  int raw = -1;
  for (int attempt = 0; attempt < 100 && raw < 0; ++attempt) {
    temp = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(rd() % 100000);
    raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (raw < 0 && errno != EEXIST) return false;
  }
  FileDescriptor fd(raw);
  if (fd.get() < 0) return false;
  const bool written = WriteAll(fd.get(), bytes.data(), bytes.size()) && ::fsync(fd.get()) == 0;
  if (!fd.Close() || !written || ::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

bool IsExistingFolder(const std::u16string& path) {
  const std::string os = OsPath(path);
  struct stat st {};
  return !os.empty() && ::stat(os.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsWritableFolder(const std::u16string& path) {
  const std::string os = OsPath(path);
  return IsExistingFolder(path) && ::access(os.c_str(), W_OK | X_OK) == 0;
}

bool MakeFolders(const std::u16string& path) {
  std::string os = OsPath(path);
  if (os.empty()) return false;
  while (os.size() > 1 && os.back() == '/')
    os.pop_back();
  for (std::size_t i = 1; i <= os.size(); ++i) {
    if (i < os.size() && os[i] != '/') continue;
    const std::string part = os.substr(0, i);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return IsExistingFolder(path);
}

void RemoveFolderQuiet(const std::u16string& path) {
  const std::string os = OsPath(path);
  if (!os.empty()) ::rmdir(os.c_str());
}

std::u16string FolderOf(const std::u16string& path) {
  const std::size_t p = path.find_last_of(u'/');
  return p == std::u16string::npos ? std::u16string() : path.substr(0, p + 1);
}

std::u16string EnvText(const char* name) {
  const char* v = std::getenv(name);
  return v ? Utf8ToUtf16(v) : std::u16string();
}

}  // namespace plattero::platform
