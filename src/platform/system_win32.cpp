// The primitives of Windows: the system calls beneath file_system.h,
// temporary.h, text_services.h, arguments.h, environment.h and memory.h,
// through the wide functions throughout, so that names keep every character
// whatever the ANSI code page is. Everything built on them is in the sources
// common to every system (system.h says which).

#include <windows.h>
// after windows.h
#include <sddl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <random>
#include <streambuf>

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

// Largest piece handed to ReadFile or WriteFile at once (they count in DWORDs).
constexpr std::size_t kMaxIo = std::size_t{1} << 30;

// Longest name a folder entry may have, in UTF-16 units.
constexpr std::size_t kNameMax = 255;

std::wstring WideText(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

std::u16string TextOfWide(std::wstring_view text) {
  return std::u16string(text.begin(), text.end());
}

TFileStatus LastStatus() {
  return StatusOf(static_cast<int>(::GetLastError()));
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

HANDLE Handle(const sys::TFile& file) {
  return reinterpret_cast<HANDLE>(file.Native());
}

std::int64_t Nanoseconds(std::int64_t ticks_since_1601) {
  return (ticks_since_1601 - 116444736000000000LL) * 100;
}

std::int64_t Nanoseconds(const FILETIME& t) {
  // 100-ns steps since 1601.
  return Nanoseconds(static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime));
}

FILETIME FileTime(std::int64_t ns) {
  const std::uint64_t ticks = static_cast<std::uint64_t>(ns / 100 + 116444736000000000LL);
  FILETIME t;
  t.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
  t.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return t;
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
  const bool sep0 = sys::IsSeparator(path[0]), sep1 = sys::IsSeparator(path[1]),
             sep3 = sys::IsSeparator(path[3]);
  if (sep0 && sep1 && sep3 && path[2] == u'.') return true;
  if (sep0 && path[1] == u'?' && path[2] == u'?' && sep3) return true;
  if (sep0 && sep1 && sep3 && path[2] == u'?') {
    if (path.substr(0, 4) != u"\\\\?\\") return true;
    const std::u16string_view rest = path.substr(4);
    return rest.size() >= 10 && EqualsAsciiNoCase(rest.substr(0, 10), u"GLOBALROOT");
  }
  return false;
}

// The last name of a path.
std::u16string_view LastName(std::u16string_view path) {
  const std::size_t sep = sys::LastSeparator(path);
  return sep == std::u16string_view::npos ? path : path.substr(sep + 1);
}

// A path as the wide file functions take it: the text itself, or, for a path
// too long for them, its full form behind "\\?\" (which takes "\" only).
// Empty when the text cannot name a file (empty, or holding a NUL).
std::wstring ApiPath(std::u16string_view path) {
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) return {};
  std::wstring w = WideText(path);
  if (w.rfind(L"\\\\?\\", 0) == 0) {
    std::replace(w.begin(), w.end(), L'/', L'\\');
    return w;
  }
  // Below MAX_PATH less room for a file name in a new folder, the text goes as
  // it is ("/" and relative paths included).
  if (w.size() < MAX_PATH - 12) return w;
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

// Creation rights for a folder only this user may enter; nullptr (the rights
// the parent folder hands down) when they cannot be made.
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

// ERROR_ACCESS_DENIED from replacing or deleting a file also means that
// another program holds it open; tells the two apart.
TFileStatus StatusForReplace(DWORD error, const std::wstring& target) {
  if (error == ERROR_ACCESS_DENIED) {
    HandleCloser h(::CreateFileW(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (h.h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION) {
      return StatusOf(ERROR_SHARING_VIOLATION);
    }
  }
  return StatusOf(static_cast<int>(error));
}

// ERROR_ACCESS_DENIED from opening a name that is a folder: says so rather
// than "access denied".
TFileStatus StatusForOpen(DWORD error, const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return Failure(TFileError::kIsFolder);
  }
  return StatusOf(static_cast<int>(error));
}

// Opens what a path names (links followed) only to look at it.
HANDLE OpenToLookAt(const std::wstring& api) {
  return ::CreateFileW(api.c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

sys::TNodeInfo InfoOfAttributes(DWORD attributes) {
  sys::TNodeInfo info;
  info.kind = attributes & FILE_ATTRIBUTE_DIRECTORY ? TFileKind::kFolder : TFileKind::kRegular;
  info.link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  info.read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  return info;
}

std::optional<sys::TNodeInfo> InfoOfHandle(HANDLE h, TFileStatus* status) {
  // A device or pipe has no file information.
  if (::GetFileType(h) != FILE_TYPE_DISK) return sys::TNodeInfo{};
  BY_HANDLE_FILE_INFORMATION by_handle{};
  if (!::GetFileInformationByHandle(h, &by_handle)) {
    if (status) *status = LastStatus();
    return std::nullopt;
  }
  sys::TNodeInfo info = InfoOfAttributes(by_handle.dwFileAttributes);
  info.id = TFileId{
      by_handle.dwVolumeSerialNumber, 0,
      (static_cast<std::uint64_t>(by_handle.nFileIndexHigh) << 32) | by_handle.nFileIndexLow};
  info.size = (static_cast<std::uint64_t>(by_handle.nFileSizeHigh) << 32) | by_handle.nFileSizeLow;
  info.write_ns = Nanoseconds(by_handle.ftLastWriteTime);
  FILE_BASIC_INFO basic{};
  if (::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic))
    info.change_ns = Nanoseconds(basic.ChangeTime.QuadPart);
  return info;
}

constexpr sys::TErrorKind kWin32Kinds[] = {
    {TFileError::kNotFound,
     {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_INVALID_DRIVE, ERROR_BAD_NETPATH,
      ERROR_BAD_NET_NAME, ERROR_NOT_READY}},
    {TFileError::kPermission, {ERROR_ACCESS_DENIED, ERROR_WRITE_PROTECT, ERROR_PRIVILEGE_NOT_HELD}},
    // 1295: ERROR_DISK_QUOTA_EXCEEDED, which mingw-w64 does not name.
    {TFileError::kNoSpace, {ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL, 1295}},
    {TFileError::kTooLarge, {ERROR_FILE_TOO_LARGE}},
    {TFileError::kNameTooLong, {ERROR_FILENAME_EXCED_RANGE, ERROR_BUFFER_OVERFLOW}},
    {TFileError::kNotRegular, {ERROR_CANT_RESOLVE_FILENAME}},
    {TFileError::kInUse, {ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION, ERROR_USER_MAPPED_FILE}},
};

}  // namespace

// --- Failures and paths ---------------------------------------------------------------

const std::span<const sys::TErrorKind> sys::kErrorKinds = kWin32Kinds;

std::string sys::ErrorWords(int code) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string words;
  if (n != 0 && text != nullptr) {
    std::wstring_view view(text, n);
    while (!view.empty() && (view.back() == L'\r' || view.back() == L'\n' || view.back() == L' ' ||
                             view.back() == L'.'))
      view.remove_suffix(1);
    words = Utf16ToUtf8(TextOfWide(view));
  }
  if (text != nullptr) ::LocalFree(text);
  return words;
}

bool sys::NameTaken(const TFileStatus& status) {
  return status.code == ERROR_FILE_EXISTS || status.code == ERROR_ALREADY_EXISTS;
}

bool sys::IsSeparator(char16_t c) {
  return c == u'/' || c == u'\\';
}

char16_t PathSeparator() {
  return u'\\';
}

std::size_t sys::LastSeparator(std::u16string_view path) {
  const std::size_t p = path.find_last_of(u"/\\");
  if (p != std::u16string_view::npos) return p;
  // "C:name" names a file in the current folder of drive C.
  if (path.size() >= 2 && path[1] == u':') return 1;
  return std::u16string_view::npos;
}

std::size_t sys::RootLength(std::u16string_view path) {
  // "C:", "\\server\share\", "\\?\C:" or "\\?\UNC\server\share\".
  std::size_t start = 0;
  bool unc = false;
  if (path.rfind(u"\\\\?\\UNC\\", 0) == 0) {
    start = 8;
    unc = true;
  } else if (path.rfind(u"\\\\?\\", 0) == 0) {
    start = 4;
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    start = 2;
    unc = true;
  }
  if (unc) {
    for (int part = 0; part < 2 && start < path.size(); ++part) {
      const std::size_t sep = path.find_first_of(u"/\\", start);
      start = sep == std::u16string_view::npos ? path.size() : sep + 1;
    }
  } else if (path.size() >= start + 2 && path[start + 1] == u':') {
    start += 2;
  }
  return start;
}

std::size_t sys::NameMax(std::u16string_view /*folder*/) {
  // Counted in UTF-8 bytes, never fewer than UTF-16 units: within the 255
  // units of NTFS, and within the 255 bytes of a Linux file system under Wine.
  return kNameMax;
}

std::optional<TFileStatus> sys::RefusedName(std::u16string_view path, TUse use) {
  if (IsDevicePath(path)) return Failure(TFileError::kNotRegular, "a device path");
  const std::u16string_view name = LastName(path);
  if (IsReservedDeviceName(name)) return Failure(TFileError::kNotRegular, "a reserved device name");
  // "name:stream" would write a hidden stream of the file "name".
  if (name.find(u':') != std::u16string_view::npos)
    return Failure(TFileError::kNotRegular, "a name holding \":\" (a stream of a file)");
  // Said so here: under Wine the system reports such a name as not found.
  if (use == TUse::kMake && name.size() > kNameMax) return Failure(TFileError::kNameTooLong);
  return std::nullopt;
}

bool SameFileName(std::u16string_view a, std::u16string_view b) {
  // As the file system compares names: without regard to case.
  if (a.size() > 0x7FFFFFFF || b.size() > 0x7FFFFFFF) return false;
  return ::CompareStringOrdinal(reinterpret_cast<const wchar_t*>(a.data()),
                                static_cast<int>(a.size()),
                                reinterpret_cast<const wchar_t*>(b.data()),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// --- What stands at a path ----------------------------------------------------------

std::optional<sys::TNodeInfo> sys::InfoAt(std::u16string_view path, bool follow_links,
                                          TFileStatus* status) {
  if (RefusedName(path, TUse::kOpen)) return TNodeInfo{};  // a device
  const std::wstring api = ApiPath(path);
  if (api.empty()) {
    if (status) *status = StatusOf(ERROR_INVALID_NAME);
    return std::nullopt;
  }
  if (!follow_links) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(api.c_str(), GetFileExInfoStandard, &data)) {
      if (status) *status = LastStatus();
      return std::nullopt;
    }
    TNodeInfo info = InfoOfAttributes(data.dwFileAttributes);
    info.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    info.write_ns = Nanoseconds(data.ftLastWriteTime);
    return info;
  }
  HandleCloser h(OpenToLookAt(api));
  if (h.h == INVALID_HANDLE_VALUE) {
    if (status) *status = LastStatus();
    return std::nullopt;
  }
  return InfoOfHandle(h.h, status);
}

std::optional<std::u16string> sys::LinkTarget(std::u16string_view path, TFileStatus* status) {
  HandleCloser h(OpenToLookAt(ApiPath(path)));
  if (h.h == INVALID_HANDLE_VALUE) {
    *status = LastStatus();
    return std::nullopt;
  }
  std::wstring final(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetFinalPathNameByHandleW(h.h, final.data(), static_cast<DWORD>(final.size()),
                                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) {
      *status = LastStatus();
      return std::nullopt;
    }
    if (n < final.size()) {
      final.resize(n);
      return TextOfWide(final);
    }
    final.resize(n + 1);
  }
}

// A read-only file is never replaced (Windows refuses to replace one; Wine
// would, and drop the attribute), and a file another program holds so that
// it may not be written, or has locked, is in use.
TFileStatus sys::MayWrite(std::u16string_view path, const TNodeInfo& info) {
  if (info.read_only) return Failure(TFileError::kPermission, "the file is read-only");
  HandleCloser h(::CreateFileW(ApiPath(path).c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (h.h == INVALID_HANDLE_VALUE) return LastStatus();  // a sharing violation: in use
  // Nothing is written: the lock only asks whether another holds one. A file
  // system without locks answers otherwise and is written.
  OVERLAPPED at{};
  if (::LockFileEx(h.h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                   &at)) {
    ::UnlockFileEx(h.h, 0, MAXDWORD, MAXDWORD, &at);
    return {};
  }
  const DWORD error = ::GetLastError();
  if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) return {};
  return StatusOf(ERROR_LOCK_VIOLATION);
}

bool sys::MayCreateIn(std::u16string_view folder) {
  // Windows can only tell by trying: a file that is gone when closed.
  std::u16string probe(folder);
  if (!IsSeparator(probe.back())) probe += u'\\';
  probe += TemporaryNameFor(u"plattero", kNameMax);
  HandleCloser h(::CreateFileW(ApiPath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  return h.h != INVALID_HANDLE_VALUE;
}

std::optional<std::uint64_t> FreeSpace(std::u16string_view folder) {
  const std::wstring api = ApiPath(folder);
  ULARGE_INTEGER available{};
  if (api.empty() || !::GetDiskFreeSpaceExW(api.c_str(), &available, nullptr, nullptr))
    return std::nullopt;
  return available.QuadPart;
}

std::optional<TFileTimes> sys::TimesOf(std::u16string_view path) {
  HandleCloser h(OpenToLookAt(ApiPath(path)));
  FILETIME creation, access, write;
  if (h.h == INVALID_HANDLE_VALUE || !::GetFileTime(h.h, &creation, &access, &write))
    return std::nullopt;
  TFileTimes t;
  t.creation_ns = Nanoseconds(creation);
  t.access_ns = Nanoseconds(access);
  t.write_ns = Nanoseconds(write);
  return t;
}

bool sys::SetTimes(std::u16string_view path, const TFileTimes& times) {
  HandleCloser h(::CreateFileW(ApiPath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (h.h == INVALID_HANDLE_VALUE) return false;
  const FILETIME creation = FileTime(times.creation_ns), access = FileTime(times.access_ns),
                 write = FileTime(times.write_ns);
  // A creation time of 0 is one the source system did not keep.
  return ::SetFileTime(h.h, times.creation_ns != 0 ? &creation : nullptr, &access, &write) != 0;
}

// --- Open files ------------------------------------------------------------------------

TFileStatus sys::TFile::Close() {
  if (!IsOpen()) return {};
  const HANDLE h = reinterpret_cast<HANDLE>(native_);
  native_ = kClosed;
  return ::CloseHandle(h) ? TFileStatus{} : LastStatus();
}

TFileStatus sys::Open(std::u16string_view path, TOpen how, TFile& file, const TNodeInfo* /*like*/) {
  const std::wstring api = ApiPath(path);
  if (api.empty()) return StatusOf(ERROR_INVALID_NAME);
  DWORD access = GENERIC_WRITE, share = 0, disposition = OPEN_ALWAYS;
  // A link is opened as itself, never what it names.
  DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
  switch (how) {
    case TOpen::kRead:
      // Others may read the file meanwhile, but neither write nor delete it.
      access = GENERIC_READ;
      share = FILE_SHARE_READ;
      disposition = OPEN_EXISTING;
      flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN;
      break;
    case TOpen::kCreateNew:
      // The rights its folder hands down, as for any file saved there.
      disposition = CREATE_NEW;
      flags = FILE_ATTRIBUTE_NORMAL;
      break;
    case TOpen::kScratch:
      break;
    case TOpen::kLock:
      access = GENERIC_READ | GENERIC_WRITE;
      share = FILE_SHARE_READ | FILE_SHARE_WRITE;
      break;
  }
  const HANDLE h = ::CreateFileW(api.c_str(), access, share, nullptr, disposition, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return StatusForOpen(::GetLastError(), api);
  file.Adopt(reinterpret_cast<std::intptr_t>(h));
  return {};
}

std::optional<sys::TNodeInfo> sys::InfoOf(const TFile& file, TFileStatus* status) {
  return InfoOfHandle(Handle(file), status);
}

std::ptrdiff_t sys::Read(TFile& file, void* data, std::size_t size, TFileStatus& status) {
  DWORD got = 0;
  if (!::ReadFile(Handle(file), data, static_cast<DWORD>(std::min(size, kMaxIo)), &got, nullptr)) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE) return 0;
    status = StatusOf(static_cast<int>(error));
    return -1;
  }
  return static_cast<std::ptrdiff_t>(got);
}

TFileStatus sys::Write(TFile& file, const void* data, std::size_t size) {
  auto p = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const DWORD piece = static_cast<DWORD>(std::min(size, kMaxIo));
    DWORD written = 0;
    if (!::WriteFile(Handle(file), p, piece, &written, nullptr)) return LastStatus();
    if (written == 0) return StatusOf(ERROR_DISK_FULL);
    p += written;
    size -= written;
  }
  return {};
}

TFileStatus sys::Truncate(TFile& file) {
  // Opened at its start: emptied from there.
  return ::SetEndOfFile(Handle(file)) ? TFileStatus{} : LastStatus();
}

TFileStatus sys::Flush(TFile& file) {
  return ::FlushFileBuffers(Handle(file)) ? TFileStatus{} : LastStatus();
}

void sys::StartWriteback(TFile& /*file*/, std::uint64_t /*from*/, std::uint64_t /*size*/) {
  // No such hint here; the flush does it all.
}

bool sys::TryLock(TFile& file) {
  // A byte-range lock ends with its handle, and so with the process.
  OVERLAPPED at{};
  return ::LockFileEx(Handle(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                      &at) != 0;
}

const bool sys::kRemovesOpenFiles = false;

// --- Names and folders ------------------------------------------------------------

TFileStatus sys::Replace(std::u16string_view from, std::u16string_view to) {
  const std::wstring target = ApiPath(to);
  if (::MoveFileExW(ApiPath(from).c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return {};
  return StatusForReplace(::GetLastError(), target);
}

TFileStatus sys::MoveNoReplace(std::u16string_view from, std::u16string_view to) {
  // Without MOVEFILE_REPLACE_EXISTING an existing destination fails the move;
  // without MOVEFILE_COPY_ALLOWED so does another volume.
  if (::MoveFileExW(ApiPath(from).c_str(), ApiPath(to).c_str(), MOVEFILE_WRITE_THROUGH)) return {};
  return LastStatus();
}

bool sys::Remove(std::u16string_view path) {
  return ::DeleteFileW(ApiPath(path).c_str()) != 0;
}

void sys::ClearReadOnly(std::u16string_view path) {
  const std::wstring api = ApiPath(path);
  const DWORD attributes = ::GetFileAttributesW(api.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    ::SetFileAttributesW(api.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

TFileStatus sys::MakeFolder(std::u16string_view path) {
  if (::CreateDirectoryW(ApiPath(path).c_str(), PrivateFolderSecurity())) return {};
  return LastStatus();
}

bool sys::RemoveFolder(std::u16string_view path) {
  return ::RemoveDirectoryW(ApiPath(path).c_str()) != 0;
}

std::vector<std::u16string> sys::ListFolder(std::u16string_view path) {
  std::vector<std::u16string> names;
  std::u16string pattern(path);
  while (!pattern.empty() && IsSeparator(pattern.back()))
    pattern.pop_back();
  const std::wstring api = ApiPath(pattern + u"\\*");
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

// --- The process -------------------------------------------------------------------------

namespace {

BOOL WINAPI OnConsoleEvent(DWORD event) {
  // Runs on a thread of its own that the system starts for the event.
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT &&
      event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT)
    return FALSE;
  CleanUpForInterrupt();
  // The exit code of a program ended by Ctrl+C.
  ::ExitProcess(STATUS_CONTROL_C_EXIT);
  return TRUE;
}

// Writes UTF-8 text to a standard handle: on a console as the characters it
// is (WriteConsoleW, whatever the console's code page), anywhere else (a
// file, a pipe) as the UTF-8 bytes themselves, with no line-end translation.
class StdHandleBuf : public std::streambuf {
 public:
  explicit StdHandleBuf(DWORD which) : which_(which) { setp(buffer_, buffer_ + sizeof buffer_); }
  ~StdHandleBuf() override { sync(); }

 protected:
  int_type overflow(int_type c) override {
    if (sync() != 0) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

  int sync() override {
    const std::size_t size = static_cast<std::size_t>(pptr() - pbase());
    if (size == 0) return failed_ ? -1 : 0;
    const std::size_t done = Write(pbase(), size);
    // A character cut at the end of the buffer waits for its other bytes.
    const std::size_t left = size - done;
    if (left > 0) std::memmove(buffer_, pbase() + done, left);
    setp(buffer_, buffer_ + sizeof buffer_);
    pbump(static_cast<int>(left));
    return failed_ ? -1 : 0;
  }

 private:
  // Writes what it can of data and returns how many bytes it took.
  std::size_t Write(const char* data, std::size_t size) {
    const HANDLE h = ::GetStdHandle(which_);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) {
      failed_ = true;
      return size;
    }
    DWORD mode = 0;
    if (!::GetConsoleMode(h, &mode)) {
      DWORD written = 0;
      for (std::size_t at = 0; at < size; at += written) {
        if (!::WriteFile(h, data + at, static_cast<DWORD>(size - at), &written, nullptr) ||
            written == 0) {
          failed_ = true;
          return size;
        }
      }
      return size;
    }
    // Whole UTF-8 characters only; a character begun at the end is kept.
    std::size_t whole = size;
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
      const auto b = static_cast<unsigned char>(data[size - back]);
      if ((b & 0xC0) == 0x80) continue;  // a continuation byte
      const std::size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
      if (length > back) whole = size - back;
      break;
    }
    const std::u16string text = Utf8ToUtf16(std::string_view(data, whole));
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    DWORD written = 0;
    for (std::size_t at = 0; at < text.size(); at += written) {
      const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(text.size() - at, 8192));
      if (!::WriteConsoleW(h, wide + at, piece, &written, nullptr) || written == 0) {
        failed_ = true;
        return size;
      }
    }
    return whole;
  }

  DWORD which_;
  bool failed_ = false;
  char buffer_[4096];
};

}  // namespace

std::u16string TempRoot() {
  std::wstring path(MAX_PATH + 1, L'\0');
  for (;;) {
    const DWORD n = ::GetTempPathW(static_cast<DWORD>(path.size()), path.data());
    if (n == 0) return u".";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(n + 1);
  }
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/'))
    path.pop_back();
  return TextOfWide(path);
}

void InstallInterruptCleanup() {
  // Ctrl+C, Ctrl+Break and a closed console first remove every registered
  // path. (A file-size limit, as POSIX systems have one, does not exist here.)
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  // The UTF-16 command line: the ANSI arguments in argv lose every character
  // the ANSI code page lacks.
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> args;
  args.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i)
    args.push_back(OsBytesFromText(TextOfWide(wide[i])));
  ::LocalFree(wide);
  return args;
}

std::ostream& StandardOut() {
  static StdHandleBuf buffer(STD_OUTPUT_HANDLE);
  static std::ostream stream(&buffer);
  return stream;
}

std::ostream& StandardError() {
  static StdHandleBuf buffer(STD_ERROR_HANDLE);
  static std::ostream& stream = *[] {
    static std::ostream s(&buffer);
    s.setf(std::ios::unitbuf);  // at once, like std::cerr
    return &s;
  }();
  return stream;
}

std::u16string EnvText(const char* name) {
  // The UTF-16 environment: the ANSI one loses what the code page lacks.
  const std::wstring wide_name(name, name + std::char_traits<char>::length(name));
  std::wstring value(256, L'\0');
  for (;;) {
    const DWORD n = ::GetEnvironmentVariableW(wide_name.c_str(), value.data(),
                                              static_cast<DWORD>(value.size()));
    if (n == 0) return {};
    if (n < value.size()) {
      value.resize(n);
      return TextOfWide(value);
    }
    value.resize(n);
  }
}

std::u16string ExecutableFile() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return TextOfWide(path);
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

void AdviseHugePages(const void* /*data*/, std::size_t /*bytes*/) {
  // Large pages need a privilege ordinary users lack; nothing to advise.
}

// --- Text -------------------------------------------------------------------------------

namespace {

constexpr UINT kCodePage = 932;
constexpr std::size_t kMaxInt = static_cast<std::size_t>(std::numeric_limits<int>::max());

}  // namespace

bool sys::DecodeCharacters(const std::uint8_t* data, std::size_t size, std::u16string& out) {
  if (size == 0) return true;
  if (size > kMaxInt / 2) return false;
  const auto* src = reinterpret_cast<const char*>(data);
  const int n = static_cast<int>(size);
  const std::size_t pos = out.size();
  // Every character of code page 932 is one UTF-16 unit and takes at least one byte.
  out.resize(pos + size);
  const int got = ::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, src, n,
                                        reinterpret_cast<wchar_t*>(out.data() + pos), n);
  out.resize(got > 0 ? pos + static_cast<std::size_t>(got) : pos);
  return got > 0;
}

bool sys::EncodeCharacters(std::u16string_view text, std::vector<std::uint8_t>& out) {
  if (text.empty()) return true;
  if (text.size() > kMaxInt / 2) return false;
  const auto* src = reinterpret_cast<const wchar_t*>(text.data());
  const int n = static_cast<int>(text.size());
  const std::size_t pos = out.size();
  out.resize(pos + 2 * text.size());  // at most two bytes per code unit
  BOOL used_default = FALSE;
  // No best fit: "é" has no form, rather than becoming "e".
  const int got =
      ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, src, n,
                            reinterpret_cast<char*>(out.data() + pos), 2 * n, "?", &used_default);
  const bool ok = got > 0 && !used_default;
  out.resize(ok ? pos + static_cast<std::size_t>(got) : pos);
  return ok;
}

char32_t sys::MapCodePoint(char32_t c, bool upper) {
  wchar_t in[2];
  int n = 1;
  if (c >= 0x10000) {
    in[0] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
    in[1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    n = 2;
  } else {
    in[0] = static_cast<wchar_t>(c);
  }
  wchar_t mapped[4];
  // The invariant locale: the same mapping for every user (a Turkish one
  // too), as on other systems.
  const int got = ::LCMapStringEx(
      LOCALE_NAME_INVARIANT, (upper ? LCMAP_UPPERCASE : LCMAP_LOWERCASE) | LCMAP_LINGUISTIC_CASING,
      in, n, mapped, 4, nullptr, nullptr, 0);
  if (got != n) return c;
  if (n == 1) return mapped[0];
  if (mapped[0] < 0xD800 || mapped[0] > 0xDBFF || mapped[1] < 0xDC00 || mapped[1] > 0xDFFF)
    return c;
  return 0x10000 + ((static_cast<char32_t>(mapped[0]) - 0xD800) << 10) +
         (static_cast<char32_t>(mapped[1]) - 0xDC00);
}

struct TFileNameCollator::Impl {};

TFileNameCollator::TFileNameCollator() : impl_(std::make_unique<Impl>()) {}

TFileNameCollator::~TFileNameCollator() = default;

int TFileNameCollator::Compare(std::u16string_view a, std::u16string_view b) const {
  // The user's language; letter case, kana type and width do not count;
  // digits by their value; a hyphen counts like any other sign.
  constexpr DWORD kFlags = NORM_IGNORECASE | NORM_IGNOREKANATYPE | NORM_IGNOREWIDTH |
                           SORT_DIGITSASNUMBERS | SORT_STRINGSORT;
  if (a.size() <= kMaxInt && b.size() <= kMaxInt) {
    // An empty text must be L"", never a null pointer.
    const wchar_t* pa = a.empty() ? L"" : reinterpret_cast<const wchar_t*>(a.data());
    const wchar_t* pb = b.empty() ? L"" : reinterpret_cast<const wchar_t*>(b.data());
    const int r =
        ::CompareStringEx(LOCALE_NAME_USER_DEFAULT, kFlags, pa, static_cast<int>(a.size()), pb,
                          static_cast<int>(b.size()), nullptr, nullptr, 0);
    if (r != 0) return r - CSTR_EQUAL;
  }
  return sys::CompareUpperCase(a, b);
}

}  // namespace plattero::platform
