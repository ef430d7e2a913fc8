// The primitives of POSIX systems (Linux), with ICU for the text services:
// the system calls beneath file_system.h, temporary.h, text_services.h,
// arguments.h, environment.h and memory.h. Everything built on them is in
// the sources common to every system (system.h says which).

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <limits>
#include <thread>

#include "platform/arguments.h"
#include "platform/environment.h"
#include "platform/file_system_internal.h"
#include "platform/memory.h"
#include "platform/system.h"
#include "platform/temporary.h"
#include "platform/temporary_internal.h"
#include "platform/text_services.h"
#include "platform/unicode.h"

namespace plattero::platform {

namespace {

// The byte name of a path; empty when it cannot name a file (empty, or
// holding a NUL).
std::string Os(std::u16string_view path) {
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) return {};
  return OsBytesFromText(path);
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

int Fd(const sys::TFile& file) {
  return static_cast<int>(file.Native());
}

// The status of the call that just failed.
TFileStatus LastStatus() {
  return StatusOf(errno);
}

sys::TNodeInfo InfoOfStat(const struct stat& st) {
  sys::TNodeInfo info;
  if (S_ISREG(st.st_mode)) {
    info.kind = TFileKind::kRegular;
  } else if (S_ISDIR(st.st_mode)) {
    info.kind = TFileKind::kFolder;
  }
  info.link = S_ISLNK(st.st_mode);
  info.id =
      TFileId{static_cast<std::uint64_t>(st.st_dev), 0, static_cast<std::uint64_t>(st.st_ino)};
  info.size = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
  info.write_ns = Nanoseconds(st.st_mtim);
  info.change_ns = Nanoseconds(st.st_ctim);
  info.mode = st.st_mode & 07777;
  info.owner = st.st_uid;
  info.group = st.st_gid;
  return info;
}

constexpr sys::TErrorKind kErrnoKinds[] = {
    {TFileError::kNotFound, {ENOENT, ENOTDIR}},
    {TFileError::kPermission, {EACCES, EPERM, EROFS}},
    {TFileError::kNoSpace, {ENOSPC, EDQUOT}},
    {TFileError::kTooLarge, {EFBIG}},
    {TFileError::kNameTooLong, {ENAMETOOLONG}},
    {TFileError::kIsFolder, {EISDIR}},
    {TFileError::kNotRegular, {ELOOP, ENXIO, ENODEV}},
    {TFileError::kInUse, {EBUSY, ETXTBSY}},
};

}  // namespace

// --- Failures and paths ---------------------------------------------------------------

const std::span<const sys::TErrorKind> sys::kErrorKinds = kErrnoKinds;

std::string sys::ErrorWords(int code) {
  return std::strerror(code);
}

bool sys::NameTaken(const TFileStatus& status) {
  return status.code == EEXIST;
}

bool sys::IsSeparator(char16_t c) {
  return c == u'/';
}

char16_t PathSeparator() {
  return u'/';
}

std::size_t sys::LastSeparator(std::u16string_view path) {
  return path.find_last_of(u'/');
}

std::size_t sys::RootLength(std::u16string_view /*path*/) {
  return 0;
}

std::size_t sys::NameMax(std::u16string_view folder) {
  const std::string os = Os(folder);
  const long name_max = ::pathconf(os.empty() ? "." : os.c_str(), _PC_NAME_MAX);
  return name_max <= 0 || name_max > 4096 ? 255 : static_cast<std::size_t>(name_max);
}

std::optional<TFileStatus> sys::RefusedName(std::u16string_view /*path*/, TUse /*use*/) {
  return std::nullopt;
}

bool SameFileName(std::u16string_view a, std::u16string_view b) {
  return a == b;
}

// --- What stands at a path ----------------------------------------------------------

std::optional<sys::TNodeInfo> sys::InfoAt(std::u16string_view path, bool follow_links,
                                          TFileStatus* status) {
  const std::string os = Os(path);
  struct stat st {};
  if (follow_links ? ::stat(os.c_str(), &st) != 0 : ::lstat(os.c_str(), &st) != 0) {
    if (status) *status = LastStatus();
    return std::nullopt;
  }
  return InfoOfStat(st);
}

std::optional<std::u16string> sys::LinkTarget(std::u16string_view path, TFileStatus* status) {
  char* real = ::realpath(Os(path).c_str(), nullptr);
  if (real == nullptr) {
    *status = LastStatus();
    return std::nullopt;
  }
  std::u16string named = TextFromOsBytes(real);
  std::free(real);
  return named;
}

// The rename that replaces a file needs only the folder's permission, which
// would let a file of mode 444 be replaced; refused instead, as cp refuses it
// (an administrator may write it, as cp lets one).
TFileStatus sys::MayWrite(std::u16string_view path, const TNodeInfo& /*info*/) {
  if (::faccessat(AT_FDCWD, Os(path).c_str(), W_OK, AT_EACCESS) == 0 || errno == ENOENT) return {};
  return LastStatus();
}

bool sys::MayCreateIn(std::u16string_view folder) {
  return ::access(Os(folder).c_str(), W_OK | X_OK) == 0;
}

std::optional<std::uint64_t> FreeSpace(std::u16string_view folder) {
  const std::string os = Os(folder);
  struct statvfs vfs {};
  if (os.empty() || ::statvfs(os.c_str(), &vfs) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(vfs.f_bavail) * static_cast<std::uint64_t>(vfs.f_frsize);
}

std::optional<TFileTimes> sys::TimesOf(std::u16string_view path) {
  struct stat st {};
  if (::stat(Os(path).c_str(), &st) != 0) return std::nullopt;
  TFileTimes t;  // this system keeps no creation time
  t.access_ns = Nanoseconds(st.st_atim);
  t.write_ns = Nanoseconds(st.st_mtim);
  return t;
}

bool sys::SetTimes(std::u16string_view path, const TFileTimes& times) {
  const timespec ts[2] = {Timespec(times.access_ns), Timespec(times.write_ns)};
  return ::utimensat(AT_FDCWD, Os(path).c_str(), ts, 0) == 0;
}

// --- Open files ------------------------------------------------------------------------

TFileStatus sys::TFile::Close() {
  if (!IsOpen()) return {};
  const int fd = static_cast<int>(native_);
  native_ = kClosed;
  return ::close(fd) == 0 ? TFileStatus{} : LastStatus();
}

TFileStatus sys::Open(std::u16string_view path, TOpen how, TFile& file, const TNodeInfo* like) {
  const std::string os = Os(path);
  if (os.empty()) return StatusOf(ENOENT);
  // O_NOFOLLOW: a link is refused, never opened through; O_NONBLOCK: a FIFO
  // cannot make us wait (regular files read and write as usual).
  int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  mode_t mode = 0666;
  switch (how) {
    case TOpen::kRead:
      flags |= O_RDONLY;
      break;
    case TOpen::kCreateNew:
      flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
      if (like) mode = like->mode;
      break;
    case TOpen::kScratch:
      flags |= O_WRONLY | O_CREAT | O_NOFOLLOW;
      break;
    case TOpen::kLock:
      flags |= O_RDWR | O_CREAT | O_NOFOLLOW;
      mode = 0600;
      break;
  }
  const int fd = ::open(os.c_str(), flags, mode);
  if (fd < 0) return LastStatus();
  file.Adopt(fd);
  if (how == TOpen::kCreateNew && like) {
    // The replacement keeps the permissions (the umask took some) and, for
    // an administrator, the owner of the file it replaces.
    ::fchmod(fd, mode);
    if (::geteuid() == 0 && ::fchown(fd, like->owner, like->group) != 0) {  // best effort
    }
  }
  return {};
}

std::optional<sys::TNodeInfo> sys::InfoOf(const TFile& file, TFileStatus* status) {
  struct stat st {};
  if (::fstat(Fd(file), &st) != 0) {
    if (status) *status = LastStatus();
    return std::nullopt;
  }
  return InfoOfStat(st);
}

std::ptrdiff_t sys::Read(TFile& file, void* data, std::size_t size, TFileStatus& status) {
  for (;;) {
    const ssize_t n = ::read(Fd(file), data, size);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    status = LastStatus();
    return -1;
  }
}

TFileStatus sys::Write(TFile& file, const void* data, std::size_t size) {
  auto p = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t written = ::write(Fd(file), p, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return LastStatus();
    }
    if (written == 0) return StatusOf(ENOSPC);
    p += written;
    size -= static_cast<std::size_t>(written);
  }
  return {};
}

TFileStatus sys::Truncate(TFile& file) {
  return ::ftruncate(Fd(file), 0) == 0 ? TFileStatus{} : LastStatus();
}

TFileStatus sys::Flush(TFile& file) {
  return ::fsync(Fd(file)) == 0 ? TFileStatus{} : LastStatus();
}

void sys::StartWriteback(TFile& file, std::uint64_t from, std::uint64_t size) {
#ifdef SYNC_FILE_RANGE_WRITE
  ::sync_file_range(Fd(file), static_cast<off_t>(from), static_cast<off_t>(size),
                    SYNC_FILE_RANGE_WRITE);
#else
  (void)file;
  (void)from;
  (void)size;
#endif
}

bool sys::TryLock(TFile& file) {
  // flock locks die with the process that holds them.
  return ::flock(Fd(file), LOCK_EX | LOCK_NB) == 0;
}

const bool sys::kRemovesOpenFiles = true;

// --- Names and folders ------------------------------------------------------------

TFileStatus sys::Replace(std::u16string_view from, std::u16string_view to) {
  const std::string target = Os(to);
  if (::rename(Os(from).c_str(), target.c_str()) != 0) return LastStatus();
  // Makes the rename last; a failure only costs that, never the file.
  const std::size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
  return {};
}

TFileStatus sys::MoveNoReplace(std::u16string_view from, std::u16string_view to) {
  const std::string source = Os(from), destination = Os(to);
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0)
    return {};
  if (errno != EINVAL && errno != ENOSYS) return LastStatus();
  // A file system without the no-replace rename: a second name, then the
  // first one goes (link() never replaces).
  if (::link(source.c_str(), destination.c_str()) != 0) return LastStatus();
  ::unlink(source.c_str());
  return {};
}

bool sys::Remove(std::u16string_view path) {
  return ::unlink(Os(path).c_str()) == 0;
}

void sys::ClearReadOnly(std::u16string_view /*path*/) {
  // Removing a file takes the folder's permission, not the file's.
}

TFileStatus sys::MakeFolder(std::u16string_view path) {
  return ::mkdir(Os(path).c_str(), 0700) == 0 ? TFileStatus{} : LastStatus();
}

bool sys::RemoveFolder(std::u16string_view path) {
  return ::rmdir(Os(path).c_str()) == 0;
}

std::vector<std::u16string> sys::ListFolder(std::u16string_view path) {
  std::vector<std::u16string> names;
  DIR* dir = ::opendir(Os(path).c_str());
  if (dir == nullptr) return names;
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    names.push_back(TextFromOsBytes(name));
  }
  ::closedir(dir);
  return names;
}

// --- The process -------------------------------------------------------------------------

std::u16string TempRoot() {
  const char* env = std::getenv("TMPDIR");
  std::u16string root = env != nullptr && *env != '\0' ? TextFromOsBytes(env) : u"/tmp";
  while (root.size() > 1 && root.back() == u'/')
    root.pop_back();
  return root;
}

void InstallInterruptCleanup() {
  // Past a file-size limit a write fails with EFBIG, which is reported like
  // any other failed write, instead of ending the program on the spot.
  ::signal(SIGXFSZ, SIG_IGN);
  sigset_t set;
  sigemptyset(&set);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
    sigaddset(&set, s);
  // Held back in every thread (threads made later inherit the mask); one
  // thread waits for them, removes what is registered, then lets the
  // interrupt end the program as it would have.
  if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
  std::thread([set] {
    int sig = 0;
    while (sigwait(&set, &sig) != 0) {
    }
    CleanUpForInterrupt();
    ::signal(sig, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    ::raise(sig);
    ::_exit(128 + sig);
  }).detach();
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

std::ostream& StandardOut() {
  return std::cout;
}

std::ostream& StandardError() {
  return std::cerr;
}

std::u16string EnvText(const char* name) {
  const char* v = std::getenv(name);
  return v ? TextFromOsBytes(v) : std::u16string();
}

std::u16string ExecutableFile() {
  std::vector<char> buf(4096);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buf.size())
      return TextFromOsBytes({buf.data(), static_cast<std::size_t>(n)});
    if (buf.size() >= (1u << 20)) return {};
    buf.resize(buf.size() * 2);
  }
}

void AdviseHugePages(const void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  if (bytes < kHuge || begin > UINTPTR_MAX - bytes) return;
  const std::uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t last = (begin + bytes) & ~(kHuge - 1);
  if (last <= first) return;
  // The range belongs to our own allocation; the advice only changes how its
  // untouched pages are backed, never their contents.
  ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

// --- Text through ICU --------------------------------------------------------------------

namespace {

// ICU works with int32 lengths internally; longer inputs are fed in pieces.
constexpr std::size_t kIcuChunk = std::size_t{1} << 24;

// One "windows-31j" converter per thread (opening a converter is far more
// expensive than converting a short string), stopping at the first byte
// sequence or character it cannot convert.
class SjisConverter {
 public:
  SjisConverter() {
    UErrorCode err = U_ZERO_ERROR;
    UConverter* conv = ucnv_open("windows-31j", &err);
    if (U_FAILURE(err)) return;
    ucnv_setFallback(conv, false);  // round-trip mappings only, no look-alikes
    ucnv_setToUCallBack(conv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    ucnv_setFromUCallBack(conv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    if (U_FAILURE(err)) {
      ucnv_close(conv);
      return;
    }
    conv_ = conv;
  }
  ~SjisConverter() {
    if (conv_ != nullptr) ucnv_close(conv_);
  }
  SjisConverter(const SjisConverter&) = delete;
  SjisConverter& operator=(const SjisConverter&) = delete;

  UConverter* get() const { return conv_; }

 private:
  UConverter* conv_ = nullptr;
};

UConverter* ThreadSjisConverter() {
  thread_local SjisConverter converter;
  return converter.get();
}

// ICU's table for code page 932 swaps the control codes 0x1A, 0x1C and 0x7F
// (U+001C, U+007F, U+001A). Code page 932 as written by Windows programs maps
// every byte below 0x80 to the same code point, so these three are passed
// through unchanged, outside the converter. None of them is ever a trail byte.
bool IsSwappedControl(std::uint32_t c) {
  return c == 0x1A || c == 0x1C || c == 0x7F;
}

// Converts data[0 .. size) (no swapped control codes) onto the end of out.
bool DecodeRun(UConverter* conv, const std::uint8_t* data, std::size_t size, std::u16string& out) {
  if (size == 0) return true;
  if (conv == nullptr) {  // no converter data: ASCII only
    if (std::any_of(data, data + size, [](std::uint8_t b) { return b >= 0x80; })) return false;
    out.append(data, data + size);
    return true;
  }
  ucnv_resetToUnicode(conv);
  std::size_t pos = out.size();
  // Every character of code page 932 is one UTF-16 unit and takes at least one byte.
  out.resize(pos + size + 1);
  const char* src = reinterpret_cast<const char*>(data);
  const char* const src_end = src + size;
  for (;;) {
    const char* chunk_end =
        src_end - src > static_cast<std::ptrdiff_t>(kIcuChunk) ? src + kIcuChunk : src_end;
    const bool flush = chunk_end == src_end;
    UErrorCode err = U_ZERO_ERROR;
    UChar* target = out.data() + pos;
    ucnv_toUnicode(conv, &target, out.data() + out.size(), &src, chunk_end, nullptr, flush, &err);
    pos = static_cast<std::size_t>(target - out.data());
    if (err == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(out.size() + std::min(size, kIcuChunk) / 2 + 16);
      continue;
    }
    if (U_FAILURE(err)) return false;
    if (flush) break;
  }
  out.resize(pos);
  return true;
}

// Converts text (no swapped control codes) onto the end of out.
bool EncodeRun(UConverter* conv, std::u16string_view text, std::vector<std::uint8_t>& out) {
  if (text.empty()) return true;
  if (conv == nullptr) {
    if (std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= 0x80; })) return false;
    out.insert(out.end(), text.begin(), text.end());
    return true;
  }
  ucnv_resetFromUnicode(conv);
  std::size_t pos = out.size();
  out.resize(pos + 2 * text.size() + 1);  // at most two bytes per code unit
  const UChar* src = text.data();
  const UChar* const src_end = src + text.size();
  for (;;) {
    const UChar* chunk_end =
        src_end - src > static_cast<std::ptrdiff_t>(kIcuChunk) ? src + kIcuChunk : src_end;
    const bool flush = chunk_end == src_end;
    UErrorCode err = U_ZERO_ERROR;
    char* target = reinterpret_cast<char*>(out.data()) + pos;
    ucnv_fromUnicode(conv, &target, reinterpret_cast<char*>(out.data()) + out.size(), &src,
                     chunk_end, nullptr, flush, &err);
    pos = static_cast<std::size_t>(target - reinterpret_cast<char*>(out.data()));
    if (err == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(out.size() + std::min(text.size(), kIcuChunk) + 16);
      continue;
    }
    if (U_FAILURE(err)) return false;
    if (flush) break;
  }
  out.resize(pos);
  return true;
}

}  // namespace

bool sys::DecodeCharacters(const std::uint8_t* data, std::size_t size, std::u16string& out) {
  UConverter* conv = ThreadSjisConverter();
  const std::size_t old_size = out.size();
  bool ok = true;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= size && ok; ++i) {
    if (i < size && !IsSwappedControl(data[i])) continue;
    ok = DecodeRun(conv, data + start, i - start, out);
    if (i < size) out.push_back(static_cast<char16_t>(data[i]));
    start = i + 1;
  }
  if (!ok) out.resize(old_size);
  return ok;
}

bool sys::EncodeCharacters(std::u16string_view text, std::vector<std::uint8_t>& out) {
  UConverter* conv = ThreadSjisConverter();
  const std::size_t old_size = out.size();
  bool ok = true;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size() && ok; ++i) {
    if (i < text.size() && !IsSwappedControl(text[i])) continue;
    ok = EncodeRun(conv, text.substr(start, i - start), out);
    if (i < text.size()) out.push_back(static_cast<std::uint8_t>(text[i]));
    start = i + 1;
  }
  if (!ok) out.resize(old_size);
  return ok;
}

char32_t sys::MapCodePoint(char32_t c, bool upper) {
  const UChar32 mapped =
      upper ? u_toupper(static_cast<UChar32>(c)) : u_tolower(static_cast<UChar32>(c));
  return static_cast<char32_t>(mapped);
}

struct TFileNameCollator::Impl {
  UCollator* collator = nullptr;
  ~Impl() {
    if (collator) ucol_close(collator);
  }
};

TFileNameCollator::TFileNameCollator() : impl_(std::make_unique<Impl>()) {
  UErrorCode status = U_ZERO_ERROR;
  // The "C" and POSIX locales collate by code point, capitals first: the root
  // collation serves them instead.
  const std::string locale = uloc_getDefault();
  const bool posix = locale.find("POSIX") != std::string::npos || locale == "c";
  impl_->collator = ucol_open(posix ? "" : locale.c_str(), &status);
  if (U_FAILURE(status)) {
    if (impl_->collator) ucol_close(impl_->collator);
    status = U_ZERO_ERROR;
    impl_->collator = ucol_open("", &status);  // the root collation
    if (U_FAILURE(status)) {
      if (impl_->collator) ucol_close(impl_->collator);
      impl_->collator = nullptr;
      return;
    }
  }
  ucol_setStrength(impl_->collator, UCOL_SECONDARY);  // letter case does not count
  ucol_setAttribute(impl_->collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
}

TFileNameCollator::~TFileNameCollator() = default;

int TFileNameCollator::Compare(std::u16string_view a, std::u16string_view b) const {
  constexpr std::size_t kMax = static_cast<std::size_t>(std::numeric_limits<int32_t>::max());
  if (!impl_->collator || a.size() > kMax || b.size() > kMax) return sys::CompareUpperCase(a, b);
  const UCollationResult r = ucol_strcoll(impl_->collator, a.data(), static_cast<int32_t>(a.size()),
                                          b.data(), static_cast<int32_t>(b.size()));
  return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

}  // namespace plattero::platform
