#pragma once

// What each operating system supplies beneath the file system, the temporary
// folders and the text services, and nothing more: the system calls, each
// with the system's own flags and errors. One source per system defines them
// (system_posix.cpp, system_win32.cpp). Everything built on them is written
// once above them: the file classes and their policies (file_system.cpp,
// output_files.cpp), private folders and the clean-up on an interrupt
// (temporary.cpp), the rules of code page 932 (text_services.cpp).
//
// Only the sources of src/platform include this header. Paths are texts as
// in file_system.h; a primitive given a path that is empty or holds a NUL
// fails as "not found".

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace plattero::platform::sys {

// --- Failures --------------------------------------------------------------------

// The system's error codes (errno values, Windows error codes) that tell one
// kind of failure; every other code is kOther. A row's codes end at the
// first 0.
struct TErrorKind {
  TFileError error;
  int codes[6];
};
extern const std::span<const TErrorKind> kErrorKinds;

// The system's own words for an error code.
std::string ErrorWords(int code);

// Whether a failure to make a file or folder means that the name is taken.
bool NameTaken(const TFileStatus& status);

// --- Paths -------------------------------------------------------------------------

bool IsSeparator(char16_t c);

// The position of the separator before the last name of a path (on Windows
// also the ":" of "C:name"); npos when there is none.
std::size_t LastSeparator(std::u16string_view path);

// The length of the root a path begins with, which no folder can be made
// for: 0 on POSIX systems; on Windows "C:", "\\server\share\", "\\?\" ...
std::size_t RootLength(std::u16string_view path);

// The longest name a folder entry may have in `folder` (bytes of its byte
// name, or UTF-16 units).
std::size_t NameMax(std::u16string_view folder);

// What a path is wanted for: to open or look at what is there, or to make a
// file of that name.
enum class TUse { kOpen, kMake };

// Why the system could never open (or make) a regular file of that name, by
// its text alone: on Windows a device path, a reserved device name, a stream
// of a file, and for kMake a name longer than a folder entry may be. Nothing
// on POSIX systems, which say so when asked.
std::optional<TFileStatus> RefusedName(std::u16string_view path, TUse use);

// --- What stands at a path -------------------------------------------------------

struct TNodeInfo {
  TFileKind kind = TFileKind::kOther;  // never kMissing
  bool link = false;                   // a symbolic link (or another reparse point) itself
  bool read_only = false;              // the read-only attribute (Windows)
  std::optional<TFileId> id;           // none for a device or pipe that has none
  std::uint64_t size = 0;
  std::int64_t write_ns = 0;
  std::int64_t change_ns = 0;
  // What a new file needs to be made like this one (POSIX systems).
  std::uint32_t mode = 0, owner = 0, group = 0;
};

// What stands at a path, its links followed or not; nothing when nothing
// does or it cannot be looked at (*status says why).
std::optional<TNodeInfo> InfoAt(std::u16string_view path, bool follow_links,
                                TFileStatus* status = nullptr);

// The path of the file that the link at `path` names, every link followed;
// nothing when it names nothing (*status says why).
std::optional<std::u16string> LinkTarget(std::u16string_view path, TFileStatus* status);

// Whether this process may write the existing regular file at `path`
// (`info` from InfoAt): on POSIX systems its permissions; on Windows its
// read-only attribute, and whether another program holds it so that it may
// not be written, or has locked it.
TFileStatus MayWrite(std::u16string_view path, const TNodeInfo& info);

// Whether this process may make files in an existing folder.
bool MayCreateIn(std::u16string_view folder);

std::optional<TFileTimes> TimesOf(std::u16string_view path);
bool SetTimes(std::u16string_view path, const TFileTimes& times);

// --- Open files ------------------------------------------------------------------------

// A file the system holds open for us (a descriptor, a HANDLE); closed with
// the object.
class TFile {
 public:
  TFile() = default;
  ~TFile() { Close(); }
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;

  bool IsOpen() const { return native_ != kClosed; }
  std::intptr_t Native() const { return native_; }
  void Adopt(std::intptr_t native) {
    Close();
    native_ = native;
  }
  // Closes the file; the status says why closing failed (a late write error).
  TFileStatus Close();

 private:
  static constexpr std::intptr_t kClosed = -1;
  std::intptr_t native_ = kClosed;
};

enum class TOpen {
  // An existing file, to read; others may read it meanwhile but not write
  // it, where the system can enforce that. A FIFO does not make us wait.
  kRead,
  // A new file under a name that must not exist, never through a link, to
  // write; nobody else may open it meanwhile.
  kCreateNew,
  // A file opened or made to write, never through a link (a link there is
  // opened as itself); nobody else may open it meanwhile.
  kScratch,
  // A file opened or made to hold a lock, never through a link.
  kLock,
};

// Opens `path` as `how` says. For kCreateNew, `like` is the existing file
// that the new one will replace: the new one has its permissions (and, for
// an administrator, its owner) from the start.
TFileStatus Open(std::u16string_view path, TOpen how, TFile& file, const TNodeInfo* like = nullptr);

// What an open file is; nothing when the system cannot say (*status: why).
std::optional<TNodeInfo> InfoOf(const TFile& file, TFileStatus* status = nullptr);

// Reads up to `size` bytes: the number read, 0 at the end, -1 on a failure
// (then in `status`).
std::ptrdiff_t Read(TFile& file, void* data, std::size_t size, TFileStatus& status);
// Writes all `size` bytes, or says why not.
TFileStatus Write(TFile& file, const void* data, std::size_t size);
// Empties a file just opened.
TFileStatus Truncate(TFile& file);
// Puts everything written on the disk.
TFileStatus Flush(TFile& file);
// Starts writing `size` bytes from `from` back to the disk and returns at
// once; only a hint, where the system takes one.
void StartWriteback(TFile& file, std::uint64_t from, std::uint64_t size);
// Takes the lock of a file opened as kLock, unless another process holds
// it; the lock ends with the file's handle, and so with the process.
bool TryLock(TFile& file);

// Whether a file that is open can be removed (POSIX systems), or must be
// closed first (Windows).
extern const bool kRemovesOpenFiles;

// --- Names and folders ------------------------------------------------------------

// Puts the file `from` in the place of `to` in one step, replacing it, and
// makes that last on the disk.
TFileStatus Replace(std::u16string_view from, std::u16string_view to);
// Gives the file `from` the name `to`, which must not exist (no replacing),
// on the same file system.
TFileStatus MoveNoReplace(std::u16string_view from, std::u16string_view to);
// Removes a file, or a link itself; false on any failure.
bool Remove(std::u16string_view path);
// Lets a file that has the read-only attribute be removed (Windows).
void ClearReadOnly(std::u16string_view path);
// Makes one folder that only this user may enter, where the system has such
// rights.
TFileStatus MakeFolder(std::u16string_view path);
// Removes a folder when it is empty (or a link to one on Windows).
bool RemoveFolder(std::u16string_view path);
// The names in a folder (not "." and ".."); empty when it cannot be read.
std::vector<std::u16string> ListFolder(std::u16string_view path);

// --- Text -----------------------------------------------------------------------------

// Appends the text of `data`, which holds whole characters of code page 932
// by their form (no zero byte), to out. False, and out unchanged, when any of
// them is no character of the system's table.
bool DecodeCharacters(const std::uint8_t* data, std::size_t size, std::u16string& out);

// Appends the code page 932 bytes of a text (no NUL in it) to out, never a
// look-alike. False, and out unchanged, when the system finds a character
// without a form. (Its answer is checked by decoding it back.)
bool EncodeCharacters(std::u16string_view text, std::vector<std::uint8_t>& out);

// The simple upper or lower case of one code point (not a surrogate); the
// code point itself when it has none.
char32_t MapCodePoint(char32_t c, bool upper);

// How two names compare when the system's collation cannot compare them:
// by their upper case, code unit by code unit. (Written once, in
// text_services.cpp, for both collators.)
int CompareUpperCase(std::u16string_view a, std::u16string_view b);

}  // namespace plattero::platform::sys
