// The file system as file_system.h promises it, written once over the
// primitives of each system (system.h): looking at files, reading them, and
// the operations on names and folders. Writing is in output_files.cpp.

#include "platform/file_system.h"

#include <algorithm>
#include <cstdio>
#include <random>

#include "platform/file_system_internal.h"
#include "platform/memory.h"
#include "platform/system.h"
#include "platform/unicode.h"

namespace plattero::platform {

namespace {

void Set(TFileStatus* out, TFileStatus s) {
  if (out) *out = std::move(s);
}

// A path that can name nothing: empty, or holding a NUL.
bool Unnamed(std::u16string_view path) {
  return path.empty() || path.find(u'\0') != std::u16string_view::npos;
}

// Our words for each kind of failure, in the order of TFileError.
constexpr const char* kErrorTexts[] = {
    "no error",
    "no such file or folder",
    "permission denied",
    "no space left on the disk",
    "the file would be larger than allowed (file-size limit)",
    "the file name is too long",
    "not a regular file (a device, FIFO, socket or link to nothing)",
    "it is a folder",
    "the file is in use by another program",
    "it is the same file as an input",
    "the file could not be written",
};
static_assert(std::size(kErrorTexts) == static_cast<std::size_t>(TFileError::kOther) + 1);

// Removes what stands at `path` (no trailing separator), a folder with
// everything in it; a link is removed as the link it is, never followed.
void RemoveNode(const std::u16string& path) {
  const auto info = sys::InfoAt(path, false);
  if (!info) return;
  if (info->read_only) sys::ClearReadOnly(path);
  if (info->kind != TFileKind::kFolder) {
    sys::Remove(path);
    return;
  }
  if (!info->link) {
    for (const std::u16string& name : sys::ListFolder(path))
      RemoveNode(path + PathSeparator() + name);
  }
  sys::RemoveFolder(path);
}

}  // namespace

// --- Failures ------------------------------------------------------------------

TFileStatus StatusOf(int code) {
  TFileStatus s;
  if (code == 0) return s;
  s.code = code;
  s.detail = sys::ErrorWords(code);
  s.error = TFileError::kOther;
  for (const sys::TErrorKind& kind : sys::kErrorKinds) {
    for (const int c : kind.codes) {
      if (c == 0) break;
      if (c == code) s.error = kind.error;
    }
  }
  return s;
}

TFileStatus Failure(TFileError error, std::string detail) {
  TFileStatus s;
  s.error = error;
  s.detail = std::move(detail);
  return s;
}

std::optional<TFileStatus> RefusedPath(std::u16string_view path, sys::TUse use) {
  if (Unnamed(path)) return Failure(TFileError::kNotFound, "no file name");
  return sys::RefusedName(path, use);
}

TFileStatus OpenRegular(std::u16string_view path, sys::TOpen how, sys::TFile& file,
                        sys::TNodeInfo* info) {
  const bool reading = how == sys::TOpen::kRead;
  if (auto refused = RefusedPath(path, reading ? sys::TUse::kOpen : sys::TUse::kMake))
    return *refused;
  TFileStatus status = sys::Open(path, how, file);
  if (!status.ok()) return status;
  const auto found = sys::InfoOf(file, &status);
  if (!found) {
    file.Close();
    return status.ok() ? Failure(TFileError::kNotRegular) : status;
  }
  // A file to read may be a reparse point of another kind (a file kept in
  // the cloud, a deduplicated one) that opens as the file it stands for.
  if (found->kind != TFileKind::kRegular || (found->link && !reading)) {
    file.Close();
    return Failure(found->kind == TFileKind::kFolder ? TFileError::kIsFolder
                                                     : TFileError::kNotRegular);
  }
  if (info) *info = *found;
  return {};
}

std::string FileErrorText(const TFileStatus& status) {
  const auto index = static_cast<std::size_t>(status.error);
  if (index >= std::size(kErrorTexts)) return kErrorTexts[std::size(kErrorTexts) - 1];
  // The system's own words, when they say more than ours.
  if (status.error == TFileError::kOther && !status.detail.empty()) return status.detail;
  if (status.error == TFileError::kNotRegular && status.detail.find("link") != std::string::npos)
    return "not a regular file (" + status.detail + ")";
  return kErrorTexts[index];
}

// --- Looking at files ----------------------------------------------------------

TFileKind KindOf(std::u16string_view path) {
  if (Unnamed(path)) return TFileKind::kMissing;
  const auto info = sys::InfoAt(path, true);
  return info ? info->kind : TFileKind::kMissing;
}

bool IsRegularFile(std::u16string_view path) {
  return KindOf(path) == TFileKind::kRegular;
}

bool IsExistingFolder(std::u16string_view path) {
  return KindOf(path) == TFileKind::kFolder;
}

bool IsWritableFolder(std::u16string_view path) {
  return IsExistingFolder(path) && sys::MayCreateIn(path);
}

std::optional<TFileId> FileIdentity(std::u16string_view path) {
  if (Unnamed(path)) return std::nullopt;
  const auto info = sys::InfoAt(path, true);
  return info ? info->id : std::nullopt;
}

std::optional<TFileStamp> FileStampOf(std::u16string_view path) {
  if (Unnamed(path)) return std::nullopt;
  const auto info = sys::InfoAt(path, true);
  if (!info || info->kind != TFileKind::kRegular || !info->id) return std::nullopt;
  TFileStamp s;
  s.id = *info->id;
  s.size = info->size;
  s.write_time_ns = info->write_ns;
  s.change_time_ns = info->change_ns;
  return s;
}

bool SameFile(std::u16string_view a, std::u16string_view b) {
  const auto ia = FileIdentity(a), ib = FileIdentity(b);
  if (ia || ib) return ia == ib;
  auto folder = [](std::u16string_view p) {
    const std::u16string f = FolderOf(p);
    return f.empty() ? std::u16string(u".") : f;
  };
  const auto fa = FileIdentity(folder(a)), fb = FileIdentity(folder(b));
  return fa && fa == fb && SameFileName(NameOf(a), NameOf(b));
}

std::u16string FolderOf(std::u16string_view path) {
  const std::size_t p = sys::LastSeparator(path);
  return p == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, p + 1));
}

std::u16string NameOf(std::u16string_view path) {
  const std::size_t p = sys::LastSeparator(path);
  return std::u16string(p == std::u16string_view::npos ? path : path.substr(p + 1));
}

// --- Reading ---------------------------------------------------------------------

struct TInputFile::Handle {
  sys::TFile file;
};

TInputFile::TInputFile() = default;
TInputFile::~TInputFile() = default;

bool TInputFile::Open(std::u16string_view path) {
  Close();
  auto h = std::make_unique<Handle>();
  sys::TNodeInfo info;
  status_ = OpenRegular(path, sys::TOpen::kRead, h->file, &info);
  if (!status_.ok()) return false;
  size_ = info.size;
  handle_ = std::move(h);
  return true;
}

std::ptrdiff_t TInputFile::Read(void* data, std::size_t size) {
  if (!handle_) {
    if (status_.ok()) status_ = Failure(TFileError::kOther, "not open");
    return -1;
  }
  return sys::Read(handle_->file, data, size, status_);
}

std::ptrdiff_t TInputFile::ReadFully(void* data, std::size_t size) {
  auto* p = static_cast<std::uint8_t*>(data);
  std::size_t got = 0;
  while (got < size) {
    const std::ptrdiff_t n = Read(p + got, size - got);
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<std::ptrdiff_t>(got);
}

void TInputFile::Close() {
  handle_.reset();
  size_ = 0;
}

bool ReadWholeFile(std::u16string_view path, std::vector<std::uint8_t>& bytes,
                   TFileStatus* status) {
  bytes.clear();
  TInputFile in;
  if (!in.Open(path)) {
    Set(status, in.Status());
    return false;
  }
  // One read of the whole file; the size may change meanwhile, so read on
  // until the end whatever it was. One byte more than the size, so the read
  // that finds the end needs no growth (growing would copy the whole file).
  const std::uint64_t size = in.Size();
  if (size >= bytes.max_size()) {
    Set(status, TFileStatus{TFileError::kTooLarge, 0, {}});
    return false;
  }
  bytes.reserve(static_cast<std::size_t>(size) + 1);
  AdviseHugePages(bytes.data(), bytes.capacity());
  bytes.resize(static_cast<std::size_t>(size) + 1);
  std::size_t got = 0;
  for (;;) {
    if (got == bytes.size()) bytes.resize(bytes.size() + 65536);
    const std::ptrdiff_t n = in.Read(bytes.data() + got, bytes.size() - got);
    if (n < 0) {
      Set(status, in.Status());
      bytes.clear();
      return false;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  Set(status, {});
  return true;
}

std::optional<std::vector<std::uint8_t>> ReadFileBounded(std::u16string_view path,
                                                         std::size_t max_bytes) {
  TInputFile in;
  if (!in.Open(path)) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(in.Size(), max_bytes)));
  std::uint8_t block[65536];
  while (bytes.size() < max_bytes) {
    const std::ptrdiff_t n = in.Read(block, std::min(sizeof block, max_bytes - bytes.size()));
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    bytes.insert(bytes.end(), block, block + n);
  }
  return bytes;
}

// --- Temporary names ---------------------------------------------------------------

std::u16string TemporaryNameFor(std::u16string_view name, std::size_t name_max) {
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  char suffix[17];
  std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(rng()));
  constexpr std::size_t kAdded = 1 + 1 + 16 + 4;
  const std::size_t room = name_max > kAdded ? name_max - kAdded : 0;
  // The name cut to the room left, never inside a character.
  std::size_t end = 0, length = 0;
  while (end < name.size()) {
    const bool pair = name[end] >= 0xD800 && name[end] <= 0xDBFF && end + 1 < name.size() &&
                      name[end + 1] >= 0xDC00 && name[end + 1] <= 0xDFFF;
    const std::size_t units = pair ? 2 : 1;
    const std::size_t size = OsBytesFromText(name.substr(end, units)).size();
    if (length + size > room) break;
    length += size;
    end += units;
  }
  // Appended piece by piece, which spares GCC 12 a false -Wrestrict warning.
  std::u16string temp = u".";
  temp += name.substr(0, end);
  temp += u'.';
  temp += Utf8ToUtf16(suffix);
  temp += u".tmp";
  return temp;
}

// --- Other operations ------------------------------------------------------------------

bool DeleteFileQuiet(std::u16string_view path) {
  if (RefusedPath(path, sys::TUse::kOpen)) return false;
  const auto info = sys::InfoAt(path, false);
  return info && info->kind != TFileKind::kFolder && sys::Remove(path);
}

bool MoveFileNoReplace(std::u16string_view source, std::u16string_view destination,
                       TFileStatus* status) {
  std::optional<TFileStatus> refused;
  if (Unnamed(source) || Unnamed(destination)) {
    refused = Failure(TFileError::kNotFound, "no file name");
  } else {
    refused = sys::RefusedName(destination, sys::TUse::kOpen);
  }
  if (refused) {
    Set(status, *refused);
    return false;
  }
  const TFileStatus moved = sys::MoveNoReplace(source, destination);
  Set(status, moved);
  return moved.ok();
}

std::optional<TFileTimes> GetFileTimes(std::u16string_view path) {
  if (RefusedPath(path, sys::TUse::kOpen)) return std::nullopt;
  return sys::TimesOf(path);
}

bool SetFileTimes(std::u16string_view path, const TFileTimes& times) {
  return !RefusedPath(path, sys::TUse::kOpen) && sys::SetTimes(path, times);
}

bool MakeFolders(std::u16string_view path) {
  if (RefusedPath(path, sys::TUse::kOpen)) return false;
  std::u16string p(path);
  while (p.size() > 1 && sys::IsSeparator(p.back()))
    p.pop_back();
  // Each folder of the path past its root, the outermost first.
  for (std::size_t i = sys::RootLength(p) + 1; i <= p.size(); ++i) {
    if (i < p.size() && !sys::IsSeparator(p[i])) continue;
    const TFileStatus made = sys::MakeFolder(std::u16string_view(p).substr(0, i));
    // One that exists, or that this user may not make (a drive's root), may
    // still be gone through.
    if (!made.ok() && !sys::NameTaken(made) && made.error != TFileError::kPermission) return false;
  }
  return IsExistingFolder(path);
}

void RemoveFolderQuiet(std::u16string_view path) {
  if (!RefusedPath(path, sys::TUse::kOpen)) sys::RemoveFolder(path);
}

bool RemoveTree(std::u16string_view path) {
  std::u16string p(path);
  while (p.size() > 1 && sys::IsSeparator(p.back()))
    p.pop_back();
  if (RefusedPath(p, sys::TUse::kOpen)) return false;
  RemoveNode(p);
  return KindOf(path) == TFileKind::kMissing;
}

std::vector<std::u16string> FolderEntries(std::u16string_view path) {
  if (RefusedPath(path, sys::TUse::kOpen)) return {};
  return sys::ListFolder(path);
}

}  // namespace plattero::platform
