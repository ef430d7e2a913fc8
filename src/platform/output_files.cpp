// Writing files, written once over the primitives of each system (system.h):
// the user's files replaced whole or not at all, scratch files in folders of
// our own, and lock files.

#include <memory>

#include "platform/file_system.h"
#include "platform/file_system_internal.h"
#include "platform/system.h"
#include "platform/temporary.h"

namespace plattero::platform {

namespace {

void Set(TFileStatus* out, TFileStatus s) {
  if (out) *out = std::move(s);
}

// Writes everything or keeps the first failure: a file that failed once
// takes no more writes, and its status tells why.
bool WriteOrFail(sys::TFile& file, const void* data, std::size_t size, bool& failed,
                 TFileStatus& status) {
  if (failed) return false;
  TFileStatus written = sys::Write(file, data, size);
  if (written.ok()) return true;
  failed = true;
  status = std::move(written);
  return false;
}

// Where an output goes once its links are followed.
struct TTarget {
  std::u16string path;
  std::optional<sys::TNodeInfo> existing;  // the file it replaces, when there is one
};

// Where a file may be written for `target` without ever replacing anything
// but a regular file that this process may write; the status says why not.
bool ResolveTarget(std::u16string_view target, TTarget& out, TFileStatus& status) {
  if (!target.empty() && sys::IsSeparator(target.back())) {
    status = Failure(TFileError::kIsFolder);
    return false;
  }
  if (auto refused = RefusedPath(target, sys::TUse::kMake)) {
    status = *refused;
    return false;
  }
  out.path = std::u16string(target);
  TFileStatus looked;
  const auto info = sys::InfoAt(target, true, &looked);
  if (!info) {
    // Nothing to follow to: a link standing there is refused. A missing
    // folder is reported when the file is made, as elsewhere.
    if (looked.error == TFileError::kNotFound || looked.error == TFileError::kNotRegular) {
      const auto itself = sys::InfoAt(target, false);
      if (itself && itself->link) {
        status = Failure(TFileError::kNotRegular, "a symbolic link to nothing");
        return false;
      }
    }
    if (looked.error == TFileError::kNotFound) return true;
    status = looked;
    return false;
  }
  if (info->kind != TFileKind::kRegular) {
    status =
        Failure(info->kind == TFileKind::kFolder ? TFileError::kIsFolder : TFileError::kNotRegular);
    return false;
  }
  status = sys::MayWrite(target, *info);
  if (!status.ok()) return false;
  const auto itself = sys::InfoAt(target, false);
  if (itself && itself->link) {
    // Written through the link, as an editor does: the file it names is
    // replaced and the link itself stays.
    auto named = sys::LinkTarget(target, &status);
    if (!named) return false;
    out.path = std::move(*named);
  }
  out.existing = info;
  return true;
}

// Looks at the target once more right before it is replaced: what became
// something else meanwhile is still never replaced.
bool StillReplaceable(const std::u16string& target, TFileStatus& status) {
  const auto info = sys::InfoAt(target, false);
  if (!info) return true;  // gone meanwhile: the new file takes the name
  if (info->kind != TFileKind::kRegular || info->link) {
    status =
        Failure(info->kind == TFileKind::kFolder ? TFileError::kIsFolder : TFileError::kNotRegular);
    return false;
  }
  status = sys::MayWrite(target, *info);
  return status.ok();
}

// A new temporary name in the folder of `target`, within that folder's limit
// on the length of a name.
std::u16string TemporaryBeside(std::u16string_view target) {
  const std::size_t sep = sys::LastSeparator(target);
  const std::u16string_view folder =
      sep == std::u16string_view::npos ? std::u16string_view() : target.substr(0, sep + 1);
  return std::u16string(folder) +
         TemporaryNameFor(target.substr(folder.size()), sys::NameMax(folder));
}

}  // namespace

// --- Writing the user's files ----------------------------------------------------

struct TOutputFile::Handle {
  sys::TFile file;
  std::u16string temp;    // the temporary file beside the target
  std::u16string target;  // the file it replaces (links followed)
  bool failed = false;
  std::uint64_t written = 0;
  std::uint64_t handed = 0;  // bytes already handed to the disk
};

TOutputFile::TOutputFile() = default;

TOutputFile::~TOutputFile() {
  Discard();
}

bool CheckOutputTarget(std::u16string_view target, TFileStatus* status) {
  TTarget resolved;
  TFileStatus s;
  const bool ok = ResolveTarget(target, resolved, s);
  Set(status, s);
  return ok;
}

bool TOutputFile::Open(std::u16string_view target) {
  Discard();
  status_ = {};
  TTarget resolved;
  if (!ResolveTarget(target, resolved, status_)) return false;
  target_ = resolved.path;
  auto h = std::make_unique<Handle>();
  h->target = resolved.path;
  const sys::TNodeInfo* like = resolved.existing ? &*resolved.existing : nullptr;
  for (int attempt = 0; attempt < 16 && !h->file.IsOpen(); ++attempt) {
    h->temp = TemporaryBeside(resolved.path);
    TFileStatus made;
    // Created and registered in one step: an interrupt in between cannot
    // leave it behind.
    MakeRegistered([&]() -> std::optional<std::u16string> {
      made = sys::Open(h->temp, sys::TOpen::kCreateNew, h->file, like);
      if (!made.ok()) return std::nullopt;
      return h->temp;
    });
    if (!made.ok() && !sys::NameTaken(made)) {
      status_ = made;
      return false;
    }
  }
  if (!h->file.IsOpen()) {
    status_ = Failure(TFileError::kOther, "no free temporary name");
    return false;
  }
  handle_ = std::move(h);
  return true;
}

bool TOutputFile::Write(const void* data, std::size_t size) {
  if (!handle_ || !WriteOrFail(handle_->file, data, size, handle_->failed, status_)) return false;
  Handle& h = *handle_;
  h.written += size;
  constexpr std::uint64_t kWritebackStep = std::uint64_t{8} << 20;
  if (h.written - h.handed >= kWritebackStep) {
    // Only a hint: the pages start on their way to the disk, so that the
    // closing flush finds little left to do; the flush still decides.
    sys::StartWriteback(h.file, h.handed, h.written - h.handed);
    h.handed = h.written;
  }
  return true;
}

bool TOutputFile::Commit() {
  if (!handle_) {
    if (status_.ok()) status_ = Failure(TFileError::kOther, "not open");
    return false;
  }
  Handle& h = *handle_;
  bool ok = !h.failed;
  if (ok) {
    status_ = sys::Flush(h.file);
    ok = status_.ok();
  }
  TFileStatus closed = h.file.Close();
  if (ok && !closed.ok()) {
    status_ = std::move(closed);
    ok = false;
  }
  ok = ok && StillReplaceable(h.target, status_);
  if (ok) {
    status_ = sys::Replace(h.temp, h.target);
    ok = status_.ok();
  }
  if (!ok) sys::Remove(h.temp);
  UnregisterCleanup(h.temp);
  handle_.reset();
  return ok;
}

void TOutputFile::Discard() {
  if (!handle_) return;
  handle_->file.Close();
  sys::Remove(handle_->temp);
  UnregisterCleanup(handle_->temp);
  handle_.reset();
}

bool WriteFileReplacing(std::u16string_view path, const void* data, std::size_t size,
                        TFileStatus* status) {
  TOutputFile out;
  const bool ok = out.Open(path) && out.Write(data, size) && out.Commit();
  Set(status, out.Status());
  return ok;
}

// --- Files in folders of our own ---------------------------------------------------

struct TScratchFile::Handle {
  sys::TFile file;
  std::u16string path;
  bool failed = false;
};

TScratchFile::TScratchFile() = default;

TScratchFile::~TScratchFile() {
  if (!handle_) return;
  handle_->file.Close();
  sys::Remove(handle_->path);
}

bool TScratchFile::Create(std::u16string_view path) {
  // A link put under the name is refused, never written through; a FIFO put
  // there cannot make us wait. Anything found there that is not a regular
  // file is left alone.
  auto h = std::make_unique<Handle>();
  status_ = OpenRegular(path, sys::TOpen::kScratch, h->file);
  if (!status_.ok()) return false;
  status_ = sys::Truncate(h->file);
  if (!status_.ok()) return false;
  h->path = std::u16string(path);
  handle_ = std::move(h);
  path_ = std::u16string(path);
  return true;
}

bool TScratchFile::Write(const void* data, std::size_t size) {
  return handle_ && WriteOrFail(handle_->file, data, size, handle_->failed, status_);
}

bool TScratchFile::Close() {
  if (!handle_) return status_.ok();
  bool ok = !handle_->failed;
  TFileStatus closed = handle_->file.Close();
  if (ok && !closed.ok()) {
    status_ = std::move(closed);
    ok = false;
  }
  if (!ok) sys::Remove(handle_->path);
  handle_.reset();
  return ok;
}

bool WriteScratchFile(std::u16string_view path, const void* data, std::size_t size,
                      TFileStatus* status) {
  TScratchFile file;
  const bool ok = file.Create(path) && file.Write(data, size) && file.Close();
  Set(status, file.Status());
  return ok;
}

// --- Marking a folder as in use ---------------------------------------------------------

struct TLockFile::Handle {
  sys::TFile file;
  std::u16string path;
};

TLockFile::TLockFile() = default;

TLockFile::~TLockFile() {
  Release();
}

bool TLockFile::TryLock(std::u16string_view path) {
  Release();
  auto h = std::make_unique<Handle>();
  if (!OpenRegular(path, sys::TOpen::kLock, h->file).ok() || !sys::TryLock(h->file)) return false;
  h->path = std::u16string(path);
  handle_ = std::move(h);
  return true;
}

void TLockFile::Release() {
  if (!handle_) return;
  // Removed while still held where the system allows it, so that no other
  // window can take the file in between. Elsewhere an open file cannot be
  // removed: closed first, and should another window take the file in
  // between, the removal fails and the file stays that window's lock.
  if (sys::kRemovesOpenFiles) sys::Remove(handle_->path);
  handle_->file.Close();
  if (!sys::kRemovesOpenFiles) sys::Remove(handle_->path);
  handle_.reset();
}

}  // namespace plattero::platform
