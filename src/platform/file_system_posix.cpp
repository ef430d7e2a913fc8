// The file system on POSIX systems (Linux).

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/file_system.h"
#include "platform/file_system_internal.h"
#include "platform/memory.h"
#include "platform/posix_errors.h"
#include "platform/temporary.h"
#include "platform/unicode.h"

namespace plattero::platform {

namespace {

// The byte name of a path; empty when it cannot name a file (empty, or
// holding a NUL).
std::string Os(std::u16string_view path) {
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) return {};
  return OsBytesFromText(path);
}

}  // namespace

TFileStatus StatusFromErrno(int e) {
  TFileStatus s;
  s.code = e;
  s.detail = std::strerror(e);
  switch (e) {
    case 0:
      s.error = TFileError::kNone;
      s.detail.clear();
      break;
    case ENOENT:
    case ENOTDIR:
      s.error = TFileError::kNotFound;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
      s.error = TFileError::kPermission;
      break;
    case ENOSPC:
    case EDQUOT:
      s.error = TFileError::kNoSpace;
      break;
    case EFBIG:
      s.error = TFileError::kTooLarge;
      break;
    case ENAMETOOLONG:
      s.error = TFileError::kNameTooLong;
      break;
    case EISDIR:
      s.error = TFileError::kIsFolder;
      break;
    case ELOOP:
    case ENXIO:
    case ENODEV:
      s.error = TFileError::kNotRegular;
      break;
    case EBUSY:
    case ETXTBSY:
      s.error = TFileError::kInUse;
      break;
    default:
      s.error = TFileError::kOther;
      break;
  }
  return s;
}

namespace {

TFileStatus Failure(TFileError error, std::string detail = {}) {
  TFileStatus s;
  s.error = error;
  s.detail = std::move(detail);
  return s;
}

void Set(TFileStatus* out, TFileStatus s) {
  if (out) *out = std::move(s);
}

std::int64_t Nanoseconds(const timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

timespec Timespec(std::int64_t ns) {
  timespec t{};
  t.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
  t.tv_nsec = static_cast<long>(ns % 1'000'000'000);
  if (t.tv_nsec < 0) {
    t.tv_nsec += 1'000'000'000;
    --t.tv_sec;
  }
  return t;
}

bool WriteAll(int fd, const void* data, std::size_t size, int& error) {
  auto p = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t written = ::write(fd, p, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    if (written == 0) {
      error = ENOSPC;
      return false;
    }
    p += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Writes everything or keeps the first failure: a file that failed once
// takes no more writes, and its status tells why.
bool WriteOrFail(int fd, const void* data, std::size_t size, bool& failed, TFileStatus& status) {
  if (failed) return false;
  int error = 0;
  if (WriteAll(fd, data, size, error)) return true;
  failed = true;
  status = StatusFromErrno(error);
  return false;
}

// Whether this process may write the existing file itself. The rename that
// replaces it needs only the folder's permission, which would let a file of
// mode 444 be replaced; refused instead, as cp refuses it (an administrator
// may write it, as cp lets one).
bool MayWrite(const std::string& path, TFileStatus& status) {
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0 || errno == ENOENT) return true;
  status = StatusFromErrno(errno);
  return false;
}

// Where a target stands once its symbolic links are followed; the status says
// why when no file may be written there. `mode`, `uid` and `gid` are those of
// an existing file.
struct ResolvedTarget {
  std::string path;
  bool exists = false;
  struct stat st {};
};

bool ResolveTarget(const std::string& os, ResolvedTarget& out, TFileStatus& status) {
  if (os.empty()) {
    status = Failure(TFileError::kNotFound, "no file name");
    return false;
  }
  if (os.back() == '/') {
    status = Failure(TFileError::kIsFolder);
    return false;
  }
  out.path = os;
  struct stat lst {};
  if (::lstat(os.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    // Written through the link, as an editor does: the file it names is
    // replaced and the link itself stays.
    char* real = ::realpath(os.c_str(), nullptr);
    if (real == nullptr) {
      status = Failure(TFileError::kNotRegular, "a symbolic link to nothing");
      return false;
    }
    out.path = real;
    std::free(real);
  }
  if (::stat(out.path.c_str(), &out.st) != 0) {
    if (errno != ENOENT) {
      status = StatusFromErrno(errno);
      return false;
    }
    out.exists = false;
    return true;
  }
  if (S_ISDIR(out.st.st_mode)) {
    status = Failure(TFileError::kIsFolder);
    return false;
  }
  if (!S_ISREG(out.st.st_mode)) {
    status = Failure(TFileError::kNotRegular);
    return false;
  }
  out.exists = true;
  return MayWrite(out.path, status);
}

// A new temporary name in the target's folder, within the folder's limit on
// name length.
std::string TempNameBeside(const std::string& target) {
  const std::size_t slash = target.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  long name_max = ::pathconf(dir.empty() ? "." : dir.c_str(), _PC_NAME_MAX);
  if (name_max <= 0 || name_max > 4096) name_max = 255;
  return dir + OsBytesFromText(
                   TemporaryNameFor(TextFromOsBytes(base), static_cast<std::size_t>(name_max)));
}

// Makes the rename of a file in `dir` durable; a failure only costs
// durability, never the file.
void SyncFolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

// --- Looking at files ----------------------------------------------------------

TFileKind KindOf(std::u16string_view path) {
  const std::string os = Os(path);
  struct stat st {};
  if (os.empty() || ::stat(os.c_str(), &st) != 0) return TFileKind::kMissing;
  if (S_ISREG(st.st_mode)) return TFileKind::kRegular;
  if (S_ISDIR(st.st_mode)) return TFileKind::kFolder;
  return TFileKind::kOther;
}

bool IsRegularFile(std::u16string_view path) {
  return KindOf(path) == TFileKind::kRegular;
}

bool IsExistingFolder(std::u16string_view path) {
  return KindOf(path) == TFileKind::kFolder;
}

bool IsWritableFolder(std::u16string_view path) {
  return IsExistingFolder(path) && ::access(Os(path).c_str(), W_OK | X_OK) == 0;
}

std::optional<TFileId> FileIdentity(std::u16string_view path) {
  const std::string os = Os(path);
  struct stat st {};
  if (os.empty() || ::stat(os.c_str(), &st) != 0) return std::nullopt;
  return TFileId{static_cast<std::uint64_t>(st.st_dev), 0, static_cast<std::uint64_t>(st.st_ino)};
}

std::optional<TFileStamp> FileStampOf(std::u16string_view path) {
  const std::string os = Os(path);
  struct stat st {};
  if (os.empty() || ::stat(os.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  TFileStamp s;
  s.id = {static_cast<std::uint64_t>(st.st_dev), 0, static_cast<std::uint64_t>(st.st_ino)};
  s.size = static_cast<std::uint64_t>(st.st_size);
  s.write_time_ns = Nanoseconds(st.st_mtim);
  s.change_time_ns = Nanoseconds(st.st_ctim);
  return s;
}

std::optional<std::uint64_t> FreeSpace(std::u16string_view folder) {
  const std::string os = Os(folder);
  struct statvfs vfs {};
  if (os.empty() || ::statvfs(os.c_str(), &vfs) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(vfs.f_bavail) * static_cast<std::uint64_t>(vfs.f_frsize);
}

bool SameFileName(std::u16string_view a, std::u16string_view b) {
  return a == b;
}

std::u16string FolderOf(std::u16string_view path) {
  const std::size_t p = path.find_last_of(u'/');
  return p == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, p + 1));
}

std::u16string NameOf(std::u16string_view path) {
  const std::size_t p = path.find_last_of(u'/');
  return std::u16string(p == std::u16string_view::npos ? path : path.substr(p + 1));
}

// --- Reading ---------------------------------------------------------------------

struct TInputFile::Handle {
  int fd = -1;
  ~Handle() {
    if (fd >= 0) ::close(fd);
  }
};

TInputFile::TInputFile() = default;
TInputFile::~TInputFile() = default;

bool TInputFile::Open(std::u16string_view path) {
  Close();
  status_ = {};
  const std::string os = Os(path);
  if (os.empty()) {
    status_ = Failure(TFileError::kNotFound, "no file name");
    return false;
  }
  // Non-blocking, so that a FIFO given as a file is refused instead of
  // waiting for a writer; regular files read as usual.
  const int fd = ::open(os.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    status_ = StatusFromErrno(errno);
    return false;
  }
  handle_ = std::make_unique<Handle>();
  handle_->fd = fd;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    status_ = StatusFromErrno(errno);
    Close();
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    status_ = Failure(S_ISDIR(st.st_mode) ? TFileError::kIsFolder : TFileError::kNotRegular);
    Close();
    return false;
  }
  size_ = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
  return true;
}

std::ptrdiff_t TInputFile::Read(void* data, std::size_t size) {
  if (!handle_) {
    if (status_.ok()) status_ = Failure(TFileError::kOther, "not open");
    return -1;
  }
  for (;;) {
    const ssize_t n = ::read(handle_->fd, data, size);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    status_ = StatusFromErrno(errno);
    return -1;
  }
}

void TInputFile::Close() {
  handle_.reset();
  size_ = 0;
}

// --- Writing the user's files ----------------------------------------------------

struct TOutputFile::Handle {
  int fd = -1;
  std::string temp;    // the temporary file beside the target
  std::string target;  // the file it replaces (links followed)
  bool failed = false;
  std::uint64_t written = 0;
  std::uint64_t handed = 0;  // bytes already handed to the disk
};

TOutputFile::TOutputFile() = default;

TOutputFile::~TOutputFile() {
  Discard();
}

bool CheckOutputTarget(std::u16string_view target, TFileStatus* status) {
  ResolvedTarget resolved;
  TFileStatus s;
  const bool ok = ResolveTarget(Os(target), resolved, s);
  Set(status, s);
  return ok;
}

bool TOutputFile::Open(std::u16string_view target) {
  Discard();
  status_ = {};
  ResolvedTarget resolved;
  if (!ResolveTarget(Os(target), resolved, status_)) return false;
  target_ = TextFromOsBytes(resolved.path);
  const mode_t mode = resolved.exists ? (resolved.st.st_mode & 07777) : 0666;
  auto h = std::make_unique<Handle>();
  h->target = resolved.path;
  for (int attempt = 0; attempt < 16 && h->fd < 0; ++attempt) {
    h->temp = TempNameBeside(resolved.path);
    int error = 0;
    // Created and registered in one step: an interrupt in between cannot
    // leave it behind.
    MakeRegistered([&]() -> std::optional<std::u16string> {
      h->fd = ::open(h->temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
      error = errno;
      if (h->fd < 0) return std::nullopt;
      return TextFromOsBytes(h->temp);
    });
    if (h->fd < 0 && error != EEXIST) {
      status_ = StatusFromErrno(error);
      return false;
    }
  }
  if (h->fd < 0) {
    status_ = Failure(TFileError::kOther, "no free temporary name");
    return false;
  }
  if (resolved.exists) {
    // The replacement keeps the permissions (and, for an administrator, the
    // owner) of the file it replaces.
    ::fchmod(h->fd, mode);
    if (::geteuid() == 0 &&
        ::fchown(h->fd, resolved.st.st_uid, resolved.st.st_gid) != 0) {  // best effort
    }
  }
  handle_ = std::move(h);
  return true;
}

bool TOutputFile::Write(const void* data, std::size_t size) {
  if (!handle_ || !WriteOrFail(handle_->fd, data, size, handle_->failed, status_)) return false;
  handle_->written += size;
#ifdef SYNC_FILE_RANGE_WRITE
  constexpr std::uint64_t kWritebackStep = std::uint64_t{8} << 20;
  if (handle_->written - handle_->handed >= kWritebackStep) {
    // Only a hint: starts writing the pages back and returns, so that the
    // closing fsync finds little left to do; fsync still decides.
    ::sync_file_range(handle_->fd, static_cast<off_t>(handle_->handed),
                      static_cast<off_t>(handle_->written - handle_->handed),
                      SYNC_FILE_RANGE_WRITE);
    handle_->handed = handle_->written;
  }
#endif
  return true;
}

bool TOutputFile::Commit() {
  if (!handle_) {
    if (status_.ok()) status_ = Failure(TFileError::kOther, "not open");
    return false;
  }
  Handle& h = *handle_;
  bool ok = !h.failed;
  if (ok && ::fsync(h.fd) != 0) {
    status_ = StatusFromErrno(errno);
    ok = false;
  }
  if (::close(h.fd) != 0 && ok) {
    status_ = StatusFromErrno(errno);
    ok = false;
  }
  h.fd = -1;
  if (ok) {
    // The target is looked at once more right before it is replaced: what
    // became something else meanwhile is still never replaced.
    struct stat st {};
    if (::lstat(h.target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      status_ = Failure(S_ISDIR(st.st_mode) ? TFileError::kIsFolder : TFileError::kNotRegular);
      ok = false;
    } else if (!MayWrite(h.target, status_)) {
      ok = false;
    }
  }
  if (ok && ::rename(h.temp.c_str(), h.target.c_str()) != 0) {
    status_ = StatusFromErrno(errno);
    ok = false;
  }
  if (!ok) {
    ::unlink(h.temp.c_str());
  } else {
    SyncFolderOf(h.target);
  }
  UnregisterCleanup(TextFromOsBytes(h.temp));
  handle_.reset();
  return ok;
}

void TOutputFile::Discard() {
  if (!handle_) return;
  if (handle_->fd >= 0) ::close(handle_->fd);
  ::unlink(handle_->temp.c_str());
  UnregisterCleanup(TextFromOsBytes(handle_->temp));
  handle_.reset();
}

// --- Files in folders of our own ---------------------------------------------------

struct TScratchFile::Handle {
  int fd = -1;
  std::string path;
  bool failed = false;
};

TScratchFile::TScratchFile() = default;

TScratchFile::~TScratchFile() {
  if (handle_) {
    if (handle_->fd >= 0) ::close(handle_->fd);
    ::unlink(handle_->path.c_str());
  }
}

bool TScratchFile::Create(std::u16string_view path) {
  status_ = {};
  const std::string os = Os(path);
  if (os.empty()) {
    status_ = Failure(TFileError::kNotFound, "no file name");
    return false;
  }
  // O_NOFOLLOW: a link put under the name is refused, never written through;
  // O_NONBLOCK: a FIFO put there cannot make us wait. Anything found there
  // that is not a regular file is left alone.
  const int fd =
      ::open(os.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) {
    status_ = StatusFromErrno(errno == ELOOP ? ELOOP : errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    status_ = Failure(TFileError::kNotRegular);
    ::close(fd);
    return false;
  }
  if (::ftruncate(fd, 0) != 0) {
    status_ = StatusFromErrno(errno);
    ::close(fd);
    return false;
  }
  handle_ = std::make_unique<Handle>();
  handle_->fd = fd;
  handle_->path = os;
  path_ = std::u16string(path);
  return true;
}

bool TScratchFile::Write(const void* data, std::size_t size) {
  if (!handle_ || !WriteOrFail(handle_->fd, data, size, handle_->failed, status_)) return false;
  return true;
}

bool TScratchFile::Close() {
  if (!handle_) return status_.ok();
  bool ok = !handle_->failed;
  if (::close(handle_->fd) != 0 && ok) {
    status_ = StatusFromErrno(errno);
    ok = false;
  }
  handle_->fd = -1;
  if (!ok) ::unlink(handle_->path.c_str());
  handle_.reset();
  return ok;
}

// --- Marking a folder as in use ---------------------------------------------------------

struct TLockFile::Handle {
  int fd = -1;
  std::string path;
};

TLockFile::TLockFile() = default;

TLockFile::~TLockFile() {
  Release();
}

bool TLockFile::TryLock(std::u16string_view path) {
  Release();
  const std::string os = Os(path);
  if (os.empty()) return false;
  const int fd = ::open(os.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  struct stat st {};
  // flock locks die with the process that holds them.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  handle_ = std::make_unique<Handle>();
  handle_->fd = fd;
  handle_->path = os;
  return true;
}

void TLockFile::Release() {
  if (!handle_) return;
  ::unlink(handle_->path.c_str());
  ::close(handle_->fd);
  handle_.reset();
}

// --- Other operations ------------------------------------------------------------------

bool DeleteFileQuiet(std::u16string_view path) {
  const std::string os = Os(path);
  if (os.empty()) return false;
  struct stat st {};
  if (::lstat(os.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return ::unlink(os.c_str()) == 0;
}

bool MoveFileNoReplace(std::u16string_view source, std::u16string_view destination,
                       TFileStatus* status) {
  const std::string from = Os(source), to = Os(destination);
  if (from.empty() || to.empty()) {
    Set(status, Failure(TFileError::kNotFound, "no file name"));
    return false;
  }
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    Set(status, {});
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    Set(status, StatusFromErrno(errno));
    return false;
  }
  // A file system without the no-replace rename: a second name, then the
  // first one goes (link() never replaces).
  if (::link(from.c_str(), to.c_str()) != 0) {
    Set(status, StatusFromErrno(errno));
    return false;
  }
  ::unlink(from.c_str());
  Set(status, {});
  return true;
}

std::optional<TFileTimes> GetFileTimes(std::u16string_view path) {
  const std::string os = Os(path);
  struct stat st {};
  if (os.empty() || ::stat(os.c_str(), &st) != 0) return std::nullopt;
  TFileTimes t;
  t.access_ns = Nanoseconds(st.st_atim);
  t.write_ns = Nanoseconds(st.st_mtim);
  return t;
}

bool SetFileTimes(std::u16string_view path, const TFileTimes& times) {
  const std::string os = Os(path);
  if (os.empty()) return false;
  // This system keeps no creation time that could be set.
  const timespec ts[2] = {Timespec(times.access_ns), Timespec(times.write_ns)};
  return ::utimensat(AT_FDCWD, os.c_str(), ts, 0) == 0;
}

bool MakeFolders(std::u16string_view path) {
  std::string os = Os(path);
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

void RemoveFolderQuiet(std::u16string_view path) {
  const std::string os = Os(path);
  if (!os.empty()) ::rmdir(os.c_str());
}

bool RemoveTree(std::u16string_view path) {
  const std::string os = Os(path);
  if (os.empty()) return false;
  std::error_code ec;  // remove_all never follows a link out of the tree
  std::filesystem::remove_all(std::filesystem::path(os), ec);
  return !ec && KindOf(path) == TFileKind::kMissing;
}

std::vector<std::u16string> FolderEntries(std::u16string_view path) {
  std::vector<std::u16string> names;
  const std::string os = Os(path);
  if (os.empty()) return names;
  DIR* dir = ::opendir(os.c_str());
  if (dir == nullptr) return names;
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    names.push_back(TextFromOsBytes(name));
  }
  ::closedir(dir);
  return names;
}

}  // namespace plattero::platform
