// The parts of the file system that are the same on every system.

#include <algorithm>
#include <cstdio>
#include <random>

#include "platform/file_system.h"
#include "platform/file_system_internal.h"
#include "platform/memory.h"
#include "platform/unicode.h"

namespace plattero::platform {

namespace {

void Set(TFileStatus* out, TFileStatus s) {
  if (out) *out = std::move(s);
}

}  // namespace

std::string FileErrorText(const TFileStatus& status) {
  std::string text;
  switch (status.error) {
    case TFileError::kNone:
      return "no error";
    case TFileError::kNotFound:
      text = "no such file or folder";
      break;
    case TFileError::kPermission:
      text = "permission denied";
      break;
    case TFileError::kNoSpace:
      text = "no space left on the disk";
      break;
    case TFileError::kTooLarge:
      text = "the file would be larger than allowed (file-size limit)";
      break;
    case TFileError::kNameTooLong:
      text = "the file name is too long";
      break;
    case TFileError::kNotRegular:
      text = "not a regular file (a device, FIFO, socket or link to nothing)";
      break;
    case TFileError::kIsFolder:
      text = "it is a folder";
      break;
    case TFileError::kInUse:
      text = "the file is in use by another program";
      break;
    case TFileError::kSameFile:
      text = "it is the same file as an input";
      break;
    case TFileError::kOther:
      text = status.detail.empty() ? "the file could not be written" : status.detail;
      return text;
  }
  // The system's own words, when they say more than ours.
  if (status.error == TFileError::kNotRegular && !status.detail.empty() &&
      status.detail.find("link") != std::string::npos) {
    return "not a regular file (" + status.detail + ")";
  }
  return text;
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

bool WriteFileReplacing(std::u16string_view path, const void* data, std::size_t size,
                        TFileStatus* status) {
  TOutputFile out;
  const bool ok = out.Open(path) && out.Write(data, size) && out.Commit();
  Set(status, out.Status());
  return ok;
}

bool WriteScratchFile(std::u16string_view path, const void* data, std::size_t size,
                      TFileStatus* status) {
  TScratchFile file;
  const bool ok = file.Create(path) && file.Write(data, size) && file.Close();
  Set(status, file.Status());
  return ok;
}

}  // namespace plattero::platform
