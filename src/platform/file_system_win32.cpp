// The file system on Windows: the wide functions throughout, so that names
// keep every character whatever the ANSI code page is.

#include <windows.h>
// after windows.h
#include <sddl.h>

#include <algorithm>
#include <mutex>

#include "platform/file_system.h"
#include "platform/file_system_internal.h"
#include "platform/temporary.h"
#include "platform/unicode.h"
#include "platform/win32_internal.h"

namespace plattero::platform {

namespace {

// Largest piece handed to ReadFile or WriteFile at once (they count in DWORDs).
constexpr std::size_t kMaxIo = std::size_t{1} << 30;

// Longest name a folder entry may have, in UTF-16 units.
constexpr std::size_t kNameMax = 255;

TFileStatus Failure(TFileError error, std::string detail = {}) {
  TFileStatus s;
  s.error = error;
  s.detail = std::move(detail);
  return s;
}

void Set(TFileStatus* out, TFileStatus s) {
  if (out) *out = std::move(s);
}

struct HandleCloser {
  HANDLE h = INVALID_HANDLE_VALUE;
  explicit HandleCloser(HANDLE handle) : h(handle) {}
  ~HandleCloser() {
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  }
  HandleCloser(const HandleCloser&) = delete;
  HandleCloser& operator=(const HandleCloser&) = delete;
};

std::int64_t Nanoseconds(const FILETIME& t) {
  // 100-ns steps since 1601.
  const std::int64_t ticks = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  return (ticks - 116444736000000000LL) * 100;
}

FILETIME FileTime(std::int64_t ns) {
  const std::uint64_t ticks = static_cast<std::uint64_t>(ns / 100 + 116444736000000000LL);
  FILETIME t;
  t.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
  t.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return t;
}

bool IsSeparator(char16_t c) {
  return c == u'/' || c == u'\\';
}

std::size_t LastSeparator(std::u16string_view path) {
  const std::size_t p = path.find_last_of(u"/\\");
  if (p != std::u16string_view::npos) return p;
  // "C:name" names a file in the current folder of drive C.
  if (path.size() >= 2 && path[1] == u':') return 1;
  return std::u16string_view::npos;
}

char16_t AsciiUpper(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool EqualsAsciiNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

// Names that open a device in every folder: CON, PRN, AUX, NUL, COM1..9,
// LPT1..9 (and with the superscript digits 1..3), with any extension, in any
// case, with trailing dots and spaces (which the system drops).
bool IsReservedDeviceName(std::u16string_view name) {
  while (!name.empty() && (name.back() == u'.' || name.back() == u' '))
    name.remove_suffix(1);
  std::u16string_view stem = name.substr(0, std::min(name.find(u'.'), name.find(u':')));
  while (!stem.empty() && stem.back() == u' ')
    stem.remove_suffix(1);
  for (const std::u16string_view reserved :
       {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"}) {
    if (EqualsAsciiNoCase(stem, reserved)) return true;
  }
  if (stem.size() == 4 && (EqualsAsciiNoCase(stem.substr(0, 3), u"COM") ||
                           EqualsAsciiNoCase(stem.substr(0, 3), u"LPT"))) {
    const char16_t d = stem[3];
    return (d >= u'1' && d <= u'9') || d == u'\u00B9' || d == u'\u00B2' || d == u'\u00B3';
  }
  return false;
}

// Paths that name devices rather than files: "\\.\...", "\\?\GLOBALROOT...",
// the NT form "\??\..." and "\\?\" written with "/" (the system takes that
// as "\\.\").
bool IsDevicePath(std::u16string_view path) {
  if (path.size() < 4) return false;
  const bool sep0 = IsSeparator(path[0]), sep1 = IsSeparator(path[1]), sep3 = IsSeparator(path[3]);
  if (sep0 && sep1 && sep3 && path[2] == u'.') return true;
  if (sep0 && path[1] == u'?' && path[2] == u'?' && sep3) return true;
  if (sep0 && sep1 && sep3 && path[2] == u'?') {
    if (path.substr(0, 4) != u"\\\\?\\") return true;
    const std::u16string_view rest = path.substr(4);
    return rest.size() >= 10 && EqualsAsciiNoCase(rest.substr(0, 10), u"GLOBALROOT");
  }
  return false;
}

// Why a path can never name a regular file by its text alone, or nothing.
std::optional<TFileStatus> RefusedByName(std::u16string_view path) {
  if (IsDevicePath(path)) return Failure(TFileError::kNotRegular, "a device path");
  const std::size_t sep = LastSeparator(path);
  const std::u16string_view name = sep == std::u16string_view::npos ? path : path.substr(sep + 1);
  if (IsReservedDeviceName(name)) return Failure(TFileError::kNotRegular, "a reserved device name");
  // "name:stream" would write a hidden stream of the file "name".
  if (name.find(u':') != std::u16string_view::npos)
    return Failure(TFileError::kNotRegular, "a name holding \":\" (a stream of a file)");
  return std::nullopt;
}

// A last name longer than a folder entry may be. (Said so here: under Wine
// the system reports such a name as not found.)
bool NameTooLong(std::u16string_view path) {
  const std::size_t sep = LastSeparator(path);
  return (sep == std::u16string_view::npos ? path.size() : path.size() - sep - 1) > kNameMax;
}

// What a handle refers to.
struct HandleInfo {
  BY_HANDLE_FILE_INFORMATION info{};
  DWORD type = FILE_TYPE_UNKNOWN;
  bool folder() const { return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  bool regular() const { return type == FILE_TYPE_DISK && !folder(); }
  TFileId id() const {
    return TFileId{info.dwVolumeSerialNumber, 0,
                   (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  }
};

bool InfoOf(HANDLE h, HandleInfo& out) {
  out.type = ::GetFileType(h);
  if (out.type != FILE_TYPE_DISK) return true;  // a device or pipe has no file information
  return ::GetFileInformationByHandle(h, &out.info) != 0;
}

// Opens what a path names (links followed) only to look at it.
HANDLE OpenToLookAt(const std::wstring& api, DWORD flags = 0) {
  return ::CreateFileW(api.c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

// Information on what a path names, links followed; nothing when it cannot
// be opened (the reason in `error`).
std::optional<HandleInfo> LookAt(std::u16string_view path, DWORD* error = nullptr) {
  if (RefusedByName(path)) {
    HandleInfo device;
    device.type = FILE_TYPE_CHAR;
    return device;
  }
  const std::wstring api = ApiPath(path);
  if (api.empty()) {
    if (error) *error = ERROR_INVALID_NAME;
    return std::nullopt;
  }
  HandleCloser h(OpenToLookAt(api));
  if (h.h == INVALID_HANDLE_VALUE) {
    if (error) *error = ::GetLastError();
    return std::nullopt;
  }
  HandleInfo info;
  if (!InfoOf(h.h, info)) {
    if (error) *error = ::GetLastError();
    return std::nullopt;
  }
  return info;
}

bool WriteAll(HANDLE h, const void* data, std::size_t size, DWORD& error) {
  auto p = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const DWORD piece = static_cast<DWORD>(std::min(size, kMaxIo));
    DWORD written = 0;
    if (!::WriteFile(h, p, piece, &written, nullptr)) {
      error = ::GetLastError();
      return false;
    }
    if (written == 0) {
      error = ERROR_DISK_FULL;
      return false;
    }
    p += written;
    size -= written;
  }
  return true;
}

// Writes everything or keeps the first failure: a file that failed once
// takes no more writes, and its status tells why.
bool WriteOrFail(HANDLE h, const void* data, std::size_t size, bool& failed, TFileStatus& status) {
  if (failed) return false;
  DWORD error = 0;
  if (WriteAll(h, data, size, error)) return true;
  failed = true;
  status = StatusFromWin32(error);
  return false;
}

// A new temporary name beside the target (after its last "\\" or "/").
std::u16string TempNameBeside(std::u16string_view target) {
  const std::size_t sep = LastSeparator(target);
  const std::u16string_view dir =
      sep == std::u16string_view::npos ? std::u16string_view() : target.substr(0, sep + 1);
  const std::u16string_view base =
      sep == std::u16string_view::npos ? target : target.substr(sep + 1);
  // Counted in UTF-8 bytes, never fewer than UTF-16 units: within the 255
  // units of NTFS, and within the 255 bytes of a Linux file system under Wine.
  return std::u16string(dir) + TemporaryNameFor(base, kNameMax);
}

// Whether the existing file `api` (described by `info`) may be written: a
// read-only file is never replaced (Windows refuses to replace one; Wine
// would, and drop the attribute), and a file another program holds so that
// it may not be written, or has locked, is in use.
bool MayWrite(const std::wstring& api, const HandleInfo& info, TFileStatus& status) {
  if (info.info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
    status = Failure(TFileError::kPermission, "the file is read-only");
    return false;
  }
  HandleCloser h(::CreateFileW(api.c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (h.h == INVALID_HANDLE_VALUE) {
    status = StatusFromWin32(::GetLastError());  // a sharing violation: in use
    return false;
  }
  // Nothing is written: the lock only asks whether another holds one. A file
  // system without locks answers otherwise and is written.
  OVERLAPPED at{};
  if (::LockFileEx(h.h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                   &at)) {
    ::UnlockFileEx(h.h, 0, MAXDWORD, MAXDWORD, &at);
    return true;
  }
  const DWORD error = ::GetLastError();
  if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) return true;
  status = StatusFromWin32(ERROR_LOCK_VIOLATION);
  return false;
}

// Where a target stands once its links are followed, or why nothing may be
// written there.
struct ResolvedTarget {
  std::u16string path;
  bool exists = false;
};

bool ResolveTarget(std::u16string_view target, ResolvedTarget& out, TFileStatus& status) {
  if (target.empty() || target.find(u'\0') != std::u16string_view::npos) {
    status = Failure(TFileError::kNotFound, "no file name");
    return false;
  }
  if (IsSeparator(target.back())) {
    status = Failure(TFileError::kIsFolder);
    return false;
  }
  if (auto refused = RefusedByName(target)) {
    status = *refused;
    return false;
  }
  if (NameTooLong(target)) {
    status = Failure(TFileError::kNameTooLong);
    return false;
  }
  out.path = std::u16string(target);
  const std::wstring api = ApiPath(target);
  HandleCloser h(OpenToLookAt(api));
  if (h.h == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // A missing folder is reported when the file is made, as elsewhere.
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      status = StatusFromWin32(error);
      return false;
    }
    // Nothing to follow to; a link standing there is refused.
    HandleCloser link(OpenToLookAt(api, FILE_FLAG_OPEN_REPARSE_POINT));
    if (link.h != INVALID_HANDLE_VALUE) {
      status = Failure(TFileError::kNotRegular, "a symbolic link to nothing");
      return false;
    }
    out.exists = false;
    return true;
  }
  HandleInfo info;
  if (!InfoOf(h.h, info)) {
    status = StatusFromWin32(::GetLastError());
    return false;
  }
  if (info.folder()) {
    status = Failure(TFileError::kIsFolder);
    return false;
  }
  if (!info.regular()) {
    status = Failure(TFileError::kNotRegular);
    return false;
  }
  out.exists = true;
  if (!MayWrite(api, info, status)) return false;
  // Written through a link, as an editor does: the file it names is replaced
  // and the link itself stays.
  const DWORD attributes = ::GetFileAttributesW(api.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
      const DWORD n =
          ::GetFinalPathNameByHandleW(h.h, final.data(), static_cast<DWORD>(final.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
      if (n == 0) {
        status = StatusFromWin32(::GetLastError());
        return false;
      }
      if (n < final.size()) {
        final.resize(n);
        break;
      }
      final.resize(n + 1);
    }
    out.path = TextOfWide(final);
  }
  return true;
}

// ERROR_ACCESS_DENIED from replacing or deleting a file also means that
// another program holds it open; tells the two apart.
TFileStatus StatusForReplace(DWORD error, const std::wstring& target) {
  if (error == ERROR_ACCESS_DENIED) {
    HandleCloser h(::CreateFileW(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (h.h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION) {
      return StatusFromWin32(ERROR_SHARING_VIOLATION);
    }
  }
  return StatusFromWin32(error);
}

// ERROR_ACCESS_DENIED from opening a name that is a folder: says so rather
// than "access denied".
TFileStatus StatusForOpen(DWORD error, const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return Failure(TFileError::kIsFolder);
  }
  return StatusFromWin32(error);
}

}  // namespace

// --- Shared with the other Windows sources ----------------------------------------

TFileStatus StatusFromWin32(DWORD error) {
  TFileStatus s;
  s.code = static_cast<int>(error);
  if (error == ERROR_SUCCESS) return s;
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (n != 0 && text != nullptr) {
    std::wstring_view words(text, n);
    while (!words.empty() && (words.back() == L'\r' || words.back() == L'\n' ||
                              words.back() == L' ' || words.back() == L'.'))
      words.remove_suffix(1);
    s.detail = Utf16ToUtf8(TextOfWide(words));
  }
  if (text != nullptr) ::LocalFree(text);
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_NOT_READY:
      s.error = TFileError::kNotFound;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD:
      s.error = TFileError::kPermission;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case 1295:  // ERROR_DISK_QUOTA_EXCEEDED, which mingw-w64 does not name
      s.error = TFileError::kNoSpace;
      break;
    case ERROR_FILE_TOO_LARGE:
      s.error = TFileError::kTooLarge;
      break;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
      s.error = TFileError::kNameTooLong;
      break;
    case ERROR_CANT_RESOLVE_FILENAME:
      s.error = TFileError::kNotRegular;
      break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      s.error = TFileError::kInUse;
      break;
    default:
      s.error = TFileError::kOther;
      break;
  }
  return s;
}

std::wstring ApiPath(std::u16string_view path) {
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) return {};
  std::wstring w = WideText(path);
  // Below MAX_PATH less room for a file name in a new folder, the text goes as
  // it is ("/" and relative paths included).
  if (w.size() < MAX_PATH - 12 || w.rfind(L"\\\\?\\", 0) == 0) return w;
  std::wstring full(w.size() + MAX_PATH, L'\0');
  for (;;) {
    const DWORD n =
        ::GetFullPathNameW(w.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return w;
    if (n < full.size()) {
      full.resize(n);
      break;
    }
    full.resize(n + 1);
  }
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

SECURITY_ATTRIBUTES* PrivateFolderSecurity() {
  // Full rights for this user alone, inherited by what is made inside, none
  // inherited from above.
  static SECURITY_ATTRIBUTES attributes{};
  static SECURITY_ATTRIBUTES* made = nullptr;
  static std::once_flag once;
  std::call_once(once, [] {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    HandleCloser closer(token);
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<std::uint8_t> buffer(size);
    if (size == 0 || !::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return;
    wchar_t* sid = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid))
      return;
    const std::wstring sddl = L"D:P(A;OICI;FA;;;" + std::wstring(sid) + L")";
    ::LocalFree(sid);
    PSECURITY_DESCRIPTOR descriptor = nullptr;  // kept for the life of the process
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                &descriptor, nullptr))
      return;
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = descriptor;
    attributes.bInheritHandle = FALSE;
    made = &attributes;
  });
  return made;
}

// --- Looking at files ----------------------------------------------------------

TFileKind KindOf(std::u16string_view path) {
  const auto info = LookAt(path);
  if (!info) return TFileKind::kMissing;
  if (info->type != FILE_TYPE_DISK) return TFileKind::kOther;
  return info->folder() ? TFileKind::kFolder : TFileKind::kRegular;
}

bool IsRegularFile(std::u16string_view path) {
  return KindOf(path) == TFileKind::kRegular;
}

bool IsExistingFolder(std::u16string_view path) {
  return KindOf(path) == TFileKind::kFolder;
}

bool IsWritableFolder(std::u16string_view path) {
  if (!IsExistingFolder(path)) return false;
  // Windows can only tell by trying: a file that is gone when closed.
  std::u16string probe(path);
  if (!IsSeparator(probe.back())) probe += u'\\';
  probe += TemporaryNameFor(u"plattero", kNameMax);
  HandleCloser h(::CreateFileW(ApiPath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  return h.h != INVALID_HANDLE_VALUE;
}

std::optional<TFileId> FileIdentity(std::u16string_view path) {
  const auto info = LookAt(path);
  if (!info || info->type != FILE_TYPE_DISK) return std::nullopt;
  return info->id();
}

std::optional<TFileStamp> FileStampOf(std::u16string_view path) {
  if (RefusedByName(path)) return std::nullopt;
  const std::wstring api = ApiPath(path);
  if (api.empty()) return std::nullopt;
  HandleCloser h(OpenToLookAt(api));
  HandleInfo info;
  if (h.h == INVALID_HANDLE_VALUE || !InfoOf(h.h, info) || !info.regular()) return std::nullopt;
  TFileStamp s;
  s.id = info.id();
  s.size = (static_cast<std::uint64_t>(info.info.nFileSizeHigh) << 32) | info.info.nFileSizeLow;
  s.write_time_ns = Nanoseconds(info.info.ftLastWriteTime);
  FILE_BASIC_INFO basic{};
  if (::GetFileInformationByHandleEx(h.h, FileBasicInfo, &basic, sizeof basic)) {
    s.change_time_ns = (basic.ChangeTime.QuadPart - 116444736000000000LL) * 100;
  }
  return s;
}

std::optional<std::uint64_t> FreeSpace(std::u16string_view folder) {
  const std::wstring api = ApiPath(folder);
  ULARGE_INTEGER available{};
  if (api.empty() || !::GetDiskFreeSpaceExW(api.c_str(), &available, nullptr, nullptr))
    return std::nullopt;
  return available.QuadPart;
}

bool SameFileName(std::u16string_view a, std::u16string_view b) {
  // As the file system compares names: without regard to case.
  if (a.size() > 0x7FFFFFFF || b.size() > 0x7FFFFFFF) return false;
  return ::CompareStringOrdinal(reinterpret_cast<const wchar_t*>(a.data()),
                                static_cast<int>(a.size()),
                                reinterpret_cast<const wchar_t*>(b.data()),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::u16string FolderOf(std::u16string_view path) {
  const std::size_t p = LastSeparator(path);
  return p == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, p + 1));
}

std::u16string NameOf(std::u16string_view path) {
  const std::size_t p = LastSeparator(path);
  return std::u16string(p == std::u16string_view::npos ? path : path.substr(p + 1));
}

// --- Reading ---------------------------------------------------------------------

struct TInputFile::Handle {
  HANDLE h = INVALID_HANDLE_VALUE;
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  }
};

TInputFile::TInputFile() = default;
TInputFile::~TInputFile() = default;

bool TInputFile::Open(std::u16string_view path) {
  Close();
  status_ = {};
  const std::wstring api = ApiPath(path);
  if (api.empty()) {
    status_ = Failure(TFileError::kNotFound, "no file name");
    return false;
  }
  if (auto refused = RefusedByName(path)) {
    status_ = *refused;
    return false;
  }
  // Others may read the file meanwhile, but neither write nor delete it.
  const HANDLE h = ::CreateFileW(api.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    status_ = StatusForOpen(::GetLastError(), api);
    return false;
  }
  handle_ = std::make_unique<Handle>();
  handle_->h = h;
  HandleInfo info;
  if (!InfoOf(h, info)) {
    status_ = StatusFromWin32(::GetLastError());
    Close();
    return false;
  }
  if (!info.regular()) {
    status_ = Failure(info.folder() ? TFileError::kIsFolder : TFileError::kNotRegular);
    Close();
    return false;
  }
  size_ = (static_cast<std::uint64_t>(info.info.nFileSizeHigh) << 32) | info.info.nFileSizeLow;
  return true;
}

std::ptrdiff_t TInputFile::Read(void* data, std::size_t size) {
  if (!handle_) {
    if (status_.ok()) status_ = Failure(TFileError::kOther, "not open");
    return -1;
  }
  DWORD got = 0;
  if (!::ReadFile(handle_->h, data, static_cast<DWORD>(std::min(size, kMaxIo)), &got, nullptr)) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE) return 0;
    status_ = StatusFromWin32(error);
    return -1;
  }
  return static_cast<std::ptrdiff_t>(got);
}

void TInputFile::Close() {
  handle_.reset();
  size_ = 0;
}

// --- Writing the user's files ----------------------------------------------------

struct TOutputFile::Handle {
  HANDLE h = INVALID_HANDLE_VALUE;
  std::wstring temp;    // the temporary file beside the target
  std::wstring target;  // the file it replaces (links followed)
  std::u16string temp_text;
  bool failed = false;
};

TOutputFile::TOutputFile() = default;

TOutputFile::~TOutputFile() {
  Discard();
}

bool CheckOutputTarget(std::u16string_view target, TFileStatus* status) {
  ResolvedTarget resolved;
  TFileStatus s;
  const bool ok = ResolveTarget(target, resolved, s);
  Set(status, s);
  return ok;
}

bool TOutputFile::Open(std::u16string_view target) {
  Discard();
  status_ = {};
  ResolvedTarget resolved;
  if (!ResolveTarget(target, resolved, status_)) return false;
  target_ = resolved.path;
  auto h = std::make_unique<Handle>();
  h->target = ApiPath(resolved.path);
  for (int attempt = 0; attempt < 16 && h->h == INVALID_HANDLE_VALUE; ++attempt) {
    h->temp_text = TempNameBeside(resolved.path);
    h->temp = ApiPath(h->temp_text);
    DWORD error = 0;
    // Created and registered in one step: an interrupt in between cannot
    // leave it behind. No other program may open it while it is written.
    MakeRegistered([&]() -> std::optional<std::u16string> {
      h->h = ::CreateFileW(h->temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
      error = ::GetLastError();
      if (h->h == INVALID_HANDLE_VALUE) return std::nullopt;
      return h->temp_text;
    });
    if (h->h == INVALID_HANDLE_VALUE && error != ERROR_FILE_EXISTS &&
        error != ERROR_ALREADY_EXISTS) {
      status_ = StatusFromWin32(error);
      return false;
    }
  }
  if (h->h == INVALID_HANDLE_VALUE) {
    status_ = Failure(TFileError::kOther, "no free temporary name");
    return false;
  }
  handle_ = std::move(h);
  return true;
}

bool TOutputFile::Write(const void* data, std::size_t size) {
  if (!handle_ || !WriteOrFail(handle_->h, data, size, handle_->failed, status_)) return false;
  return true;
}

bool TOutputFile::Commit() {
  if (!handle_) {
    if (status_.ok()) status_ = Failure(TFileError::kOther, "not open");
    return false;
  }
  Handle& h = *handle_;
  bool ok = !h.failed;
  if (ok && !::FlushFileBuffers(h.h)) {
    status_ = StatusFromWin32(::GetLastError());
    ok = false;
  }
  if (!::CloseHandle(h.h) && ok) {
    status_ = StatusFromWin32(::GetLastError());
    ok = false;
  }
  h.h = INVALID_HANDLE_VALUE;
  if (ok) {
    // The target is looked at once more right before it is replaced: what
    // became something else meanwhile is still never replaced.
    const DWORD attributes = ::GetFileAttributesW(h.target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      status_ = Failure(TFileError::kIsFolder);
      ok = false;
    } else if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
      status_ = Failure(TFileError::kPermission, "the file is read-only");
      ok = false;
    }
  }
  if (ok && !::MoveFileExW(h.temp.c_str(), h.target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    status_ = StatusForReplace(::GetLastError(), h.target);
    ok = false;
  }
  if (!ok) ::DeleteFileW(h.temp.c_str());
  UnregisterCleanup(h.temp_text);
  handle_.reset();
  return ok;
}

void TOutputFile::Discard() {
  if (!handle_) return;
  if (handle_->h != INVALID_HANDLE_VALUE) ::CloseHandle(handle_->h);
  ::DeleteFileW(handle_->temp.c_str());
  UnregisterCleanup(handle_->temp_text);
  handle_.reset();
}

// --- Files in folders of our own ---------------------------------------------------

struct TScratchFile::Handle {
  HANDLE h = INVALID_HANDLE_VALUE;
  std::wstring path;
  bool failed = false;
};

TScratchFile::TScratchFile() = default;

TScratchFile::~TScratchFile() {
  if (handle_) {
    if (handle_->h != INVALID_HANDLE_VALUE) ::CloseHandle(handle_->h);
    ::DeleteFileW(handle_->path.c_str());
  }
}

bool TScratchFile::Create(std::u16string_view path) {
  status_ = {};
  const std::wstring api = ApiPath(path);
  if (api.empty()) {
    status_ = Failure(TFileError::kNotFound, "no file name");
    return false;
  }
  if (auto refused = RefusedByName(path)) {
    status_ = *refused;
    return false;
  }
  if (NameTooLong(path)) {
    status_ = Failure(TFileError::kNameTooLong);
    return false;
  }
  // The link itself is opened, never what it names; it is then refused, as
  // is anything else that is not a regular file. Nobody else may open it.
  const HANDLE h = ::CreateFileW(api.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    status_ = StatusForOpen(::GetLastError(), api);
    return false;
  }
  HandleInfo info;
  if (!InfoOf(h, info) || !info.regular() ||
      (info.info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    status_ = Failure(TFileError::kNotRegular);
    ::CloseHandle(h);
    return false;
  }
  if (!::SetEndOfFile(h)) {  // opened at its start: emptied
    status_ = StatusFromWin32(::GetLastError());
    ::CloseHandle(h);
    return false;
  }
  handle_ = std::make_unique<Handle>();
  handle_->h = h;
  handle_->path = api;
  path_ = std::u16string(path);
  return true;
}

bool TScratchFile::Write(const void* data, std::size_t size) {
  if (!handle_ || !WriteOrFail(handle_->h, data, size, handle_->failed, status_)) return false;
  return true;
}

bool TScratchFile::Close() {
  if (!handle_) return status_.ok();
  bool ok = !handle_->failed;
  if (!::CloseHandle(handle_->h) && ok) {
    status_ = StatusFromWin32(::GetLastError());
    ok = false;
  }
  handle_->h = INVALID_HANDLE_VALUE;
  if (!ok) ::DeleteFileW(handle_->path.c_str());
  handle_.reset();
  return ok;
}

// --- Marking a folder as in use ---------------------------------------------------------

struct TLockFile::Handle {
  HANDLE h = INVALID_HANDLE_VALUE;
  std::wstring path;
};

TLockFile::TLockFile() = default;

TLockFile::~TLockFile() {
  Release();
}

bool TLockFile::TryLock(std::u16string_view path) {
  Release();
  const std::wstring api = ApiPath(path);
  if (api.empty() || RefusedByName(path)) return false;
  const HANDLE h = ::CreateFileW(api.c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  HandleInfo info;
  OVERLAPPED at{};
  // A byte-range lock ends with its handle, and so with the process.
  if (!InfoOf(h, info) || !info.regular() ||
      (info.info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      !::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    ::CloseHandle(h);
    return false;
  }
  handle_ = std::make_unique<Handle>();
  handle_->h = h;
  handle_->path = api;
  return true;
}

void TLockFile::Release() {
  if (!handle_) return;
  // Closed first: an open file cannot be deleted. Should another window take
  // the file in between, the deletion fails and the file stays its lock.
  ::CloseHandle(handle_->h);
  ::DeleteFileW(handle_->path.c_str());
  handle_.reset();
}

// --- Other operations ------------------------------------------------------------------

bool DeleteFileQuiet(std::u16string_view path) {
  const std::wstring api = ApiPath(path);
  if (api.empty() || RefusedByName(path)) return false;
  const DWORD attributes = ::GetFileAttributesW(api.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  return ::DeleteFileW(api.c_str()) != 0;
}

bool MoveFileNoReplace(std::u16string_view source, std::u16string_view destination,
                       TFileStatus* status) {
  const std::wstring from = ApiPath(source), to = ApiPath(destination);
  if (from.empty() || to.empty()) {
    Set(status, Failure(TFileError::kNotFound, "no file name"));
    return false;
  }
  if (auto refused = RefusedByName(destination)) {
    Set(status, *refused);
    return false;
  }
  // Without MOVEFILE_REPLACE_EXISTING an existing destination fails the move;
  // without MOVEFILE_COPY_ALLOWED so does another volume.
  if (!::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) {
    Set(status, StatusFromWin32(::GetLastError()));
    return false;
  }
  Set(status, {});
  return true;
}

std::optional<TFileTimes> GetFileTimes(std::u16string_view path) {
  const std::wstring api = ApiPath(path);
  if (api.empty() || RefusedByName(path)) return std::nullopt;
  HandleCloser h(OpenToLookAt(api));
  FILETIME creation, access, write;
  if (h.h == INVALID_HANDLE_VALUE || !::GetFileTime(h.h, &creation, &access, &write))
    return std::nullopt;
  TFileTimes t;
  t.creation_ns = Nanoseconds(creation);
  t.access_ns = Nanoseconds(access);
  t.write_ns = Nanoseconds(write);
  return t;
}

bool SetFileTimes(std::u16string_view path, const TFileTimes& times) {
  const std::wstring api = ApiPath(path);
  if (api.empty() || RefusedByName(path)) return false;
  HandleCloser h(::CreateFileW(api.c_str(), FILE_WRITE_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (h.h == INVALID_HANDLE_VALUE) return false;
  const FILETIME creation = FileTime(times.creation_ns), access = FileTime(times.access_ns),
                 write = FileTime(times.write_ns);
  // A creation time of 0 is one the source system did not keep.
  return ::SetFileTime(h.h, times.creation_ns != 0 ? &creation : nullptr, &access, &write) != 0;
}

bool MakeFolders(std::u16string_view path) {
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos || IsDevicePath(path))
    return false;
  std::u16string p(path);
  while (p.size() > 1 && IsSeparator(p.back()))
    p.pop_back();
  // Past the root: "C:\", "\\server\share\", "\\?\C:\" or "\\?\UNC\server\share\".
  std::size_t start = 0;
  bool unc = false;
  if (p.rfind(u"\\\\?\\UNC\\", 0) == 0) {
    start = 8;
    unc = true;
  } else if (p.rfind(u"\\\\?\\", 0) == 0) {
    start = 4;
  } else if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) {
    start = 2;
    unc = true;
  }
  if (unc) {
    for (int part = 0; part < 2 && start < p.size(); ++part) {
      const std::size_t sep = p.find_first_of(u"/\\", start);
      start = sep == std::u16string::npos ? p.size() : sep + 1;
    }
  } else if (p.size() >= start + 2 && p[start + 1] == u':') {
    start += 2;
  }
  for (std::size_t i = start + 1; i <= p.size(); ++i) {
    if (i < p.size() && !IsSeparator(p[i])) continue;
    const std::wstring part = ApiPath(std::u16string_view(p).substr(0, i));
    if (!::CreateDirectoryW(part.c_str(), PrivateFolderSecurity())) {
      const DWORD error = ::GetLastError();
      if (error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED) return false;
    }
  }
  return IsExistingFolder(path);
}

void RemoveFolderQuiet(std::u16string_view path) {
  const std::wstring api = ApiPath(path);
  if (!api.empty()) ::RemoveDirectoryW(api.c_str());
}

namespace {

// Removes what is inside a folder (api ends without a separator), never
// following a link out of it: a link is removed as the link it is.
void RemoveContents(const std::wstring& api) {
  WIN32_FIND_DATAW entry;
  const HANDLE find = ::FindFirstFileExW((api + L"\\*").c_str(), FindExInfoBasic, &entry,
                                         FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring_view name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring child = api + L"\\" + std::wstring(name);
    const DWORD attributes = entry.dwFileAttributes;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
      ::SetFileAttributesW(child.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) RemoveContents(child);
      ::RemoveDirectoryW(child.c_str());
    } else {
      ::DeleteFileW(child.c_str());
    }
  } while (::FindNextFileW(find, &entry));
  ::FindClose(find);
}

}  // namespace

bool RemoveTree(std::u16string_view path) {
  std::u16string p(path);
  while (p.size() > 1 && IsSeparator(p.back()))
    p.pop_back();
  std::wstring api = ApiPath(p);
  if (api.empty() || IsDevicePath(p)) return false;
  const DWORD attributes = ::GetFileAttributesW(api.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return KindOf(path) == TFileKind::kMissing;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    // The long form takes "\" only.
    if (api.rfind(L"\\\\?\\", 0) == 0) std::replace(api.begin(), api.end(), L'/', L'\\');
    RemoveContents(api);
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    ::RemoveDirectoryW(api.c_str());
  } else {
    ::DeleteFileW(api.c_str());
  }
  return KindOf(path) == TFileKind::kMissing;
}

std::vector<std::u16string> FolderEntries(std::u16string_view path) {
  std::vector<std::u16string> names;
  std::u16string p(path);
  while (!p.empty() && IsSeparator(p.back()))
    p.pop_back();
  const std::wstring api = ApiPath(p + u"\\*");
  if (api.empty()) return names;
  WIN32_FIND_DATAW entry;
  const HANDLE find =
      ::FindFirstFileExW(api.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring_view name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    names.push_back(TextOfWide(name));
  } while (::FindNextFileW(find, &entry));
  ::FindClose(find);
  return names;
}

}  // namespace plattero::platform
