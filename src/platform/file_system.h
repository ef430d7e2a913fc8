#pragma once

// The file system as the rest of the program sees it, the same on every
// operating system. Paths are texts (unicode.h says how a POSIX byte name
// that is no UTF-8 is carried); "/" separates folders everywhere, and "\"
// does too on Windows. Every file is opened in binary mode.
//
// Two ways of writing:
//  - TOutputFile, for every file the user names (drawings, pictures, the
//    settings file): written under a new temporary name beside the target,
//    flushed to the disk, then renamed over the target in one step. A failure
//    leaves the target as it was; a target that is not a regular file is
//    never replaced.
//  - TScratchFile, for the files we make in folders of our own (extracted
//    images): written in place, never through a link, never into anything
//    but a regular file.
// Reading refuses what is not a regular file without waiting for it (a FIFO,
// a device), and other programs may not write a file while we read it where
// the system can enforce that.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plattero::platform {

// --- Failures ------------------------------------------------------------------

// Why a file operation failed, in the terms a message is made of.
enum class TFileError {
  kNone,
  kNotFound,     // the file or a folder of its path does not exist
  kPermission,   // access denied, or a read-only file system
  kNoSpace,      // the disk (or the user's quota) is full
  kTooLarge,     // the file would pass the size the system allows (a file-size limit)
  kNameTooLong,  // a name or the whole path is too long
  kNotRegular,   // a device, FIFO, socket, reserved device name or dangling link
  kIsFolder,     // a folder stands where a file was expected
  kInUse,        // another program holds the file
  kSameFile,     // the output is the same file as an input
  kOther,
};

struct TFileStatus {
  TFileError error = TFileError::kNone;
  int code = 0;        // errno or the Windows error code; 0 when not from the system
  std::string detail;  // the system's own words, when there are any

  bool ok() const { return error == TFileError::kNone; }
};

// One line in English saying why, for the command line: "no space left on the
// device", "not a regular file (a device, FIFO or socket)" ...
std::string FileErrorText(const TFileStatus& status);

// --- Looking at files ----------------------------------------------------------

enum class TFileKind { kMissing, kRegular, kFolder, kOther };

// What stands at a path, symbolic links followed.
TFileKind KindOf(std::u16string_view path);

// An existing regular file / folder (links followed); false for an empty path.
bool IsRegularFile(std::u16string_view path);
bool IsExistingFolder(std::u16string_view path);
// A folder in which this process may create files.
bool IsWritableFolder(std::u16string_view path);

// Which file a path names, independent of the path's text: two paths name the
// same file exactly when their identities are equal.
struct TFileId {
  std::uint64_t volume = 0;
  std::uint64_t index_high = 0, index_low = 0;
  bool operator==(const TFileId&) const = default;
};

// Whether two paths name the same file: by identity when both exist; when
// neither does, by the identity of their folders and their names (compared
// as the system compares names: exactly here, without regard to case on
// Windows).
bool SameFile(std::u16string_view a, std::u16string_view b);
bool SameFileName(std::u16string_view a, std::u16string_view b);

// The size, identity and times of a regular file, enough to tell whether it
// changed since it was last looked at.
struct TFileStamp {
  TFileId id;
  std::uint64_t size = 0;
  std::int64_t write_time_ns = 0;   // last write
  std::int64_t change_time_ns = 0;  // last change of contents or attributes, where known
  bool operator==(const TFileStamp&) const = default;
};

// The identity of an existing file or folder (links followed); nothing when
// there is none.
std::optional<TFileId> FileIdentity(std::u16string_view path);
// The stamp of an existing regular file (links followed); nothing otherwise.
std::optional<TFileStamp> FileStampOf(std::u16string_view path);

// Free bytes for this user on the file system holding `folder`; nothing when
// the system cannot say.
std::optional<std::uint64_t> FreeSpace(std::u16string_view folder);

// The separator this system writes between folders ("/", or "\" on
// Windows).
char16_t PathSeparator();

// The folder part of a path, up to and including its last separator; empty
// when it has none.
std::u16string FolderOf(std::u16string_view path);
// The part after the last separator.
std::u16string NameOf(std::u16string_view path);

// --- Reading ---------------------------------------------------------------------

// A regular file open for reading.
class TInputFile {
 public:
  TInputFile();
  ~TInputFile();
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;

  // Opens the file; refuses (kNotRegular, kIsFolder) anything but a regular
  // file, without waiting for a FIFO or a device.
  bool Open(std::u16string_view path);
  // The size when it was opened.
  std::uint64_t Size() const { return size_; }
  // Reads up to `size` bytes: the number read, 0 at the end, -1 on an error
  // (Status says which).
  std::ptrdiff_t Read(void* data, std::size_t size);
  // Reads until `size` bytes or the end: the number read, -1 on an error.
  std::ptrdiff_t ReadFully(void* data, std::size_t size);
  void Close();
  const TFileStatus& Status() const { return status_; }

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
  std::uint64_t size_ = 0;
  TFileStatus status_;
};

// Reads a whole regular file. False when it cannot be opened or read (bytes
// is then empty).
bool ReadWholeFile(std::u16string_view path, std::vector<std::uint8_t>& bytes,
                   TFileStatus* status = nullptr);

// The first `max_bytes` bytes of a regular file (all of it when shorter);
// nothing when it is missing, not a regular file or unreadable.
std::optional<std::vector<std::uint8_t>> ReadFileBounded(std::u16string_view path,
                                                         std::size_t max_bytes);

// --- Writing the user's files ----------------------------------------------------

// One output file, replaced whole or not at all.
class TOutputFile {
 public:
  TOutputFile();
  ~TOutputFile();  // Discard, unless committed
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  // Prepares to replace `target`: refuses a target that exists and is not a
  // regular file (a folder, a device, a FIFO, a socket; on Windows also a
  // reserved device name such as NUL or COM1). A symbolic link is followed:
  // the file it names is replaced and the link stays; a link to nothing is
  // refused. Creates a new temporary file, exclusively and beside the file to
  // replace, whose name stays within the system's limit for any target name
  // that is itself legal. A replaced file keeps its permissions.
  bool Open(std::u16string_view target);
  // Appends bytes (false after any failure).
  bool Write(const void* data, std::size_t size);
  // Flushes everything to the disk and puts the file in the target's place in
  // one step. False (and nothing replaced) on any failure.
  bool Commit();
  // Removes the temporary file; the target stays as it was.
  void Discard();

  const TFileStatus& Status() const { return status_; }
  // The file that is replaced (the target, or what its link names).
  const std::u16string& Target() const { return target_; }

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
  std::u16string target_;
  TFileStatus status_;
};

// TOutputFile in one call.
bool WriteFileReplacing(std::u16string_view path, const void* data, std::size_t size,
                        TFileStatus* status = nullptr);

// Whether a file can be written at `target` without ever replacing something
// that is not a regular file; the check TOutputFile::Open makes first, for a
// caller that wants to refuse before doing the work.
bool CheckOutputTarget(std::u16string_view target, TFileStatus* status = nullptr);

// --- Files in folders of our own ---------------------------------------------------

// A file created (or replaced) in place in a folder of ours, for example an
// extracted image. The name must not be a link, and anything but a regular
// file standing there is refused. Opened exclusively: no other program can
// open it while it is being written.
class TScratchFile {
 public:
  TScratchFile();
  ~TScratchFile();  // closes; removes the file unless Close succeeded
  TScratchFile(const TScratchFile&) = delete;
  TScratchFile& operator=(const TScratchFile&) = delete;

  bool Create(std::u16string_view path);
  bool Write(const void* data, std::size_t size);
  // Closes the file; false (and the file removed) when anything failed.
  bool Close();
  const TFileStatus& Status() const { return status_; }

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
  std::u16string path_;
  TFileStatus status_;
};

// TScratchFile in one call; on failure nothing is left at the path.
bool WriteScratchFile(std::u16string_view path, const void* data, std::size_t size,
                      TFileStatus* status = nullptr);

// --- Marking a folder as in use ---------------------------------------------------------

// A lock file: while one process holds it, no other can take it. The lock
// ends with the object or with the process, however the process ends.
class TLockFile {
 public:
  TLockFile();
  ~TLockFile();  // Release
  TLockFile(const TLockFile&) = delete;
  TLockFile& operator=(const TLockFile&) = delete;

  // Creates the file when it is missing and takes the lock. False when
  // another process holds it, or the file cannot be made.
  bool TryLock(std::u16string_view path);
  // Removes the file and lets the lock go.
  void Release();

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
};

// --- Other operations ------------------------------------------------------------------

// Deletes a file (a link itself, not what it names); never a folder. False on
// every failure and for an empty path.
bool DeleteFileQuiet(std::u16string_view path);

// Moves a file within one file system to a name that must not exist yet.
// False (source left alone) when the destination exists or the move fails.
bool MoveFileNoReplace(std::u16string_view source, std::u16string_view destination,
                       TFileStatus* status = nullptr);

// A file's last-access and last-write times, in nanoseconds since 1970; and
// its creation time where the system keeps one (0 otherwise).
struct TFileTimes {
  std::int64_t creation_ns = 0;
  std::int64_t access_ns = 0;
  std::int64_t write_ns = 0;
};
std::optional<TFileTimes> GetFileTimes(std::u16string_view path);
// Sets the creation time (where the system allows it), then the last-access
// and last-write times. False when any could not be set.
bool SetFileTimes(std::u16string_view path, const TFileTimes& times);

// Creates the folder and every missing parent (only this user may enter new
// ones, where the system has such rights). True when the folder exists
// afterwards.
bool MakeFolders(std::u16string_view path);
// Removes the folder when it is empty; every failure is ignored.
void RemoveFolderQuiet(std::u16string_view path);
// Removes a folder with everything in it, never following a link out of it.
// False when something was left.
bool RemoveTree(std::u16string_view path);
// The names in a folder (not "." and ".."); empty when it cannot be read.
std::vector<std::u16string> FolderEntries(std::u16string_view path);

}  // namespace plattero::platform
