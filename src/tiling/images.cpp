#include "tiling/images.h"

#include <algorithm>

#include "platform/file_system.h"
#include "util/files.h"
#include "util/numbers.h"
#include "util/text.h"

namespace plattero {

namespace {

bool SameFileContents(const std::u16string& a, const std::u16string& b) {
  platform::TInputFile fa, fb;
  if (!fa.Open(a) || !fb.Open(b) || fa.Size() != fb.Size()) return false;
  std::vector<std::uint8_t> ba(65536), bb(65536);
  for (;;) {
    const std::ptrdiff_t na = fa.ReadFully(ba.data(), ba.size());
    const std::ptrdiff_t nb = fb.ReadFully(bb.data(), bb.size());
    if (na < 0 || na != nb) return false;
    if (!std::equal(ba.begin(), ba.begin() + na, bb.begin())) return false;
    if (na == 0) return true;
  }
}

// A hash of a file's contents (FNV-1a, 64 bits); 0 for a file that cannot be
// read. Equal files have equal hashes; SameFileContents decides.
std::uint64_t ContentHash(const std::u16string& path) {
  platform::TInputFile f;
  if (!f.Open(path)) return 0;
  std::uint64_t h = 0xcbf29ce484222325ull;
  std::vector<std::uint8_t> buf(65536);
  for (;;) {
    const std::ptrdiff_t n = f.Read(buf.data(), buf.size());
    if (n <= 0) return n < 0 ? 0 : h;
    for (std::ptrdiff_t i = 0; i < n; ++i)
      h = (h ^ buf[static_cast<std::size_t>(i)]) * 0x100000001b3ull;
  }
}

// Moves an image file of the drawing being added into the combined
// drawing's folder, under `destination` when no file has that name yet (the
// two folders lie side by side, so this is a rename: nothing is copied). A
// file that cannot be moved is copied; false when neither worked.
bool MoveIfAbsent(const std::u16string& source, const std::u16string& destination,
                  platform::TFileStatus& status) {
  if (!IsExistingFile(source) || IsExistingFile(destination)) return true;
  if (platform::MoveFileNoReplace(source, destination, &status)) return true;
  if (platform::KindOf(destination) != platform::TFileKind::kMissing) return true;
  try {
    CopyFileKeepTimes(source, destination);
  } catch (...) {
  }
  if (IsExistingFile(destination)) return true;
  DeleteFileQuiet(destination);
  return false;
}

}  // namespace

TImageTable::TImageTable(std::u16string tmp_path, std::u16string tmp_path2)
    : TmpPath(std::move(tmp_path)), TmpPath2(std::move(tmp_path2)) {}

void TImageTable::Start(const std::vector<TBindImageType>& base) {
  Clear();
  GFile = base;
  for (std::size_t i = 0; i < GFile.size(); ++i)
    rows_.emplace(UpperStr(GFile[i].Fname), i);
}

void TImageTable::Clear() {
  GFile.clear();
  rows_.clear();
  renamed_.clear();
  renames_.clear();
}

std::vector<TImageLeftOut> TImageTable::Merge(const std::vector<TBindImageType>& added) {
  renames_.clear();
  std::vector<TImageLeftOut> failed;
  auto move = [&](const std::u16string& from, const std::u16string& to,
                  const std::u16string& image) {
    platform::TFileStatus status;
    if (!MoveIfAbsent(from, to, status))
      failed.push_back({TImageLeftOut::kNotWritten, image, status});
  };
  for (const TBindImageType& row : added) {
    const std::u16string upper = UpperStr(row.Fname);
    if (row.Fname.empty()) {
      if (rows_.emplace(upper, GFile.size()).second) GFile.push_back(row);
      continue;
    }
    const bool gz = IsGzImageName(row.Fname);
    const std::u16string plain = gz ? ChangeExt(row.Fname, u"") : std::u16string();
    const std::u16string source = TmpPath2 + row.Fname;
    // Does a file of this name, with other contents, already stand for
    // another drawing's image?
    auto clashes = [&](const std::u16string& name) {
      const std::u16string dest = TmpPath + name;
      return IsExistingFile(dest) && IsExistingFile(TmpPath2 + name) &&
             !SameFileContents(TmpPath2 + name, dest);
    };
    auto it = rows_.find(upper);
    if (it != rows_.end()) {
      // Listed already (names compare regardless of case): the same image
      // is shared, another one under that name is a clash.
      const std::u16string listed_file = TmpPath + GFile[it->second].Fname;
      const bool clash = IsExistingFile(source) && IsExistingFile(listed_file) &&
                         !SameFileContents(source, listed_file);
      if (!clash) continue;
    } else if (!clashes(row.Fname) && !(gz && clashes(plain))) {
      move(source, TmpPath + row.Fname, row.Fname);
      if (gz) move(TmpPath2 + plain, TmpPath + plain, row.Fname);
      rows_.emplace(upper, GFile.size());
      GFile.push_back(row);
      continue;
    }
    // Another image under the same name: this drawing's image takes a name of
    // its own, or that of an earlier tile's identical image, and its
    // references are rewritten to it. Identical images are found by their
    // contents' hash, so each clash costs the same however many came before.
    const std::u16string shown = gz ? plain : row.Fname;
    const std::u16string gz_suffix = gz ? row.Fname.substr(plain.size()) : std::u16string();
    TRenames& renames = renamed_[UpperStr(shown)];
    const std::uint64_t hash = ContentHash(source);
    std::u16string new_name, new_shown;
    const auto [first, last] = renames.by_hash.equal_range(hash);
    for (auto r = first; r != last && new_name.empty(); ++r) {
      if (SameFileContents(source, TmpPath + GFile[r->second].Fname))
        new_name = GFile[r->second].Fname;
    }
    const bool reuse = !new_name.empty();
    if (reuse) {
      new_shown = gz ? ChangeExt(new_name, u"") : new_name;
    } else {
      new_shown = FreeImageName(shown, gz_suffix);
      new_name = new_shown + gz_suffix;
    }
    renames_[UpperStr(shown)] = new_shown;
    if (gz) renames_[upper] = new_name;
    if (reuse) continue;
    move(source, TmpPath + new_name, row.Fname);
    if (gz) move(TmpPath2 + plain, TmpPath + new_shown, row.Fname);
    TBindImageType renamed = row;
    renamed.Fname = new_name;
    renames.by_hash.emplace(hash, GFile.size());
    rows_.emplace(UpperStr(new_name), GFile.size());
    GFile.push_back(std::move(renamed));
  }
  return failed;
}

std::u16string TImageTable::FreeImageName(const std::u16string& shown,
                                          const std::u16string& gz_suffix) {
  const std::size_t dot = shown.find_last_of(u'.');
  const std::u16string stem = dot == std::u16string::npos ? shown : shown.substr(0, dot);
  const std::u16string ext = dot == std::u16string::npos ? std::u16string() : shown.substr(dot);
  // The numbers already given for this name are not tried again.
  std::int32_t& next = renamed_[UpperStr(shown)].next;
  for (;; ++next) {
    const std::u16string candidate = stem + u"_" + IntStr(next) + ext;
    const std::u16string packed = candidate + gz_suffix;
    if (!rows_.count(UpperStr(packed)) && !rows_.count(UpperStr(candidate)) &&
        !IsExistingFile(TmpPath + packed) && !IsExistingFile(TmpPath + candidate)) {
      ++next;
      return candidate;
    }
  }
}

void TImageTable::RenameImageReferences(std::vector<TEntJwwMoji>& texts) const {
  if (renames_.empty()) return;
  for (TEntJwwMoji& m : texts) {
    if (m.str.size() < 11 || m.str.compare(0, 10, u"^@BM%temp%") != 0) continue;
    const std::size_t comma = m.str.find(u',');
    if (comma == std::u16string::npos || comma < 10) continue;
    auto it = renames_.find(UpperStr(m.str.substr(10, comma - 10)));
    if (it != renames_.end()) m.str = u"^@BM%temp%" + it->second + m.str.substr(comma);
  }
}

}  // namespace plattero
