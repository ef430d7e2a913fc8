// The image files a drawing carries: unpacking the gzip ones beside themselves
// and deleting them all when the document is released.

#include <zlib.h>

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "jww/jww_data.h"
#include "jww/limits.h"
#include "platform/file_system.h"
#include "util/files.h"
#include "util/text.h"

namespace plattero {

namespace {

enum class TUnpack { kDone, kDamaged, kNotWritten, kOverLimit };

// Unpacks the gzip file `source` into `dest` (replaced), producing at most
// `limit` bytes; `produced` is what it wrote. On any failure the destination
// is removed, so no half-written image is left for a text to show.
TUnpack GunzipFile(const std::u16string& source, const std::u16string& dest, std::uint64_t limit,
                   std::uint64_t& produced, platform::TFileStatus& status) {
  produced = 0;
  std::vector<std::uint8_t> packed;
  if (!platform::ReadWholeFile(source, packed, &status)) return TUnpack::kNotWritten;
  platform::TScratchFile out;
  if (!out.Create(dest)) {
    status = out.Status();
    return TUnpack::kNotWritten;
  }
  z_stream z{};
  if (inflateInit2(&z, 15 + 16) != Z_OK) return TUnpack::kDamaged;
  TUnpack result = TUnpack::kDone;
  z.next_in = packed.data();
  z.avail_in = static_cast<uInt>(std::min<std::size_t>(packed.size(), UINT32_MAX));
  std::vector<std::uint8_t> buffer(65536);
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    z.next_out = buffer.data();
    z.avail_out = static_cast<uInt>(buffer.size());
    rc = inflate(&z, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) {
      result = TUnpack::kDamaged;
      break;
    }
    const std::size_t got = buffer.size() - z.avail_out;
    if (got > limit - produced) {
      result = TUnpack::kOverLimit;
      break;
    }
    produced += got;
    if (got > 0 && !out.Write(buffer.data(), got)) {
      status = out.Status();
      result = TUnpack::kNotWritten;
      break;
    }
    // No progress and no end: the data is cut off.
    if (rc == Z_OK && got == 0 && z.avail_in == 0) {
      result = TUnpack::kDamaged;
      break;
    }
  }
  inflateEnd(&z);
  if (result != TUnpack::kDone) return result;  // out removes the unfinished file
  if (!out.Close()) {
    status = out.Status();
    return TUnpack::kNotWritten;
  }
  return TUnpack::kDone;
}

}  // namespace

bool IsGzImageName(const std::u16string& name) {
  try {
    return LowerFileExt(name) == u".gz";
  } catch (const InvalidPathError&) {
    return false;
  }
}

void TJwwData::BindImageInit() {
  BindImage.clear();
  BindImageBytes.clear();
  BindImageLeftOut.clear();
}

void TJwwData::BindImageWriteKept() {
  if (!BindImageFolder.empty()) {
    for (std::size_t i = 0; i < BindImage.size() && i < BindImageBytes.size(); ++i) {
      const std::vector<std::uint8_t>& bytes = BindImageBytes[i];
      if (bytes.empty()) continue;
      // A file that cannot be written is left out and noted; the row stays.
      platform::TFileStatus status;
      if (!platform::WriteScratchFile(BindImageFolder + BindImage[i].Fname, bytes.data(),
                                      bytes.size(), &status)) {
        BindImageLeftOut.push_back({TImageLeftOut::kNotWritten, BindImage[i].Fname, status});
      }
    }
  }
  BindImageBytes.clear();
}

void TJwwData::BindImageExplode(std::uint64_t* budget) {
  if (BindImageFolder.empty()) return;
  std::uint64_t left = UnpackAllowance(source_bytes_);
  if (budget) left = std::min(left, *budget);
  // Rows sharing a name share one file: it is unpacked once.
  std::unordered_set<std::u16string> done;
  for (const TBindImageType& row : BindImage) {
    if (!IsGzImageName(row.Fname) || !done.insert(row.Fname).second) continue;
    const std::u16string packed = BindImageFolder + row.Fname;
    if (!IsExistingFile(packed)) continue;
    std::uint64_t produced = 0;
    platform::TFileStatus status;
    const TUnpack result =
        GunzipFile(packed, ChangeExt(packed, u""),
                   std::min<std::uint64_t>(left, kMaxUnpackedImageBytes), produced, status);
    left -= std::min(left, produced);
    if (budget) *budget -= std::min(*budget, produced);
    switch (result) {
      case TUnpack::kDone:
        break;
      case TUnpack::kOverLimit:
        BindImageLeftOut.push_back({TImageLeftOut::kOverLimit, row.Fname, {}});
        break;
      case TUnpack::kDamaged:
        BindImageLeftOut.push_back({TImageLeftOut::kNotUnpacked, row.Fname, {}});
        break;
      case TUnpack::kNotWritten:
        BindImageLeftOut.push_back({TImageLeftOut::kNotUnpacked, row.Fname, status});
        break;
    }
  }
}

void TJwwData::BindImageDeleteGzFile() {
  if (BindImageFolder.empty()) return;
  for (const TBindImageType& row : BindImage) {
    if (row.Fname.empty() || !IsGzImageName(row.Fname)) continue;
    DeleteFileQuiet(BindImageFolder + row.Fname);
  }
}

void TJwwData::BindImageDeleteNonGzFile() {
  if (BindImageFolder.empty()) return;
  for (const TBindImageType& row : BindImage) {
    if (row.Fname.empty()) continue;
    const std::u16string path = BindImageFolder + row.Fname;
    DeleteFileQuiet(IsGzImageName(row.Fname) ? ChangeExt(path, u"") : path);
  }
}

}  // namespace plattero
