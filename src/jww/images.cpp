// The image files a drawing carries: unpacking the gzip ones beside themselves
// and deleting them all when the document is released.

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <vector>

#include "jww/file_io.h"
#include "jww/jww_data.h"
#include "jww/limits.h"
#include "util/text.h"

namespace plattero {

namespace {

// Unpacks the gzip file `source` into `dest` (replaced). On any error the
// destination is removed, so no half-written image is left for a text to show.
bool GunzipFile(const std::string& source, const std::string& dest) {
  std::vector<std::uint8_t> packed;
  if (!ReadWholeFile(source, packed)) return false;
  int fd = ::open(dest.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  FdSink sink(fd);
  z_stream z{};
  bool ok = inflateInit2(&z, 15 + 16) == Z_OK;
  if (ok) {
    z.next_in = packed.data();
    z.avail_in = static_cast<uInt>(packed.size());
    std::uint8_t out[65536];
    int rc = Z_OK;
    while (ok && rc != Z_STREAM_END) {
      z.next_out = out;
      z.avail_out = sizeof out;
      rc = inflate(&z, Z_NO_FLUSH);
      if (rc != Z_OK && rc != Z_STREAM_END) {
        ok = false;
        break;
      }
      std::size_t produced = sizeof out - z.avail_out;
      if (z.total_out > kMaxUnpackedImageBytes) ok = false;
      if (produced > 0 && !sink.Write(out, produced)) ok = false;
      // No progress and no end: the data is cut off.
      if (rc == Z_OK && produced == 0 && z.avail_in == 0) ok = false;
    }
    inflateEnd(&z);
  }
  if (::close(fd) != 0) ok = false;
  if (!ok) ::unlink(dest.c_str());
  return ok;
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
}

void TJwwData::BindImageWriteKept() {
  if (!BindImageFolder.empty()) {
    for (std::size_t i = 0; i < BindImage.size() && i < BindImageBytes.size(); ++i) {
      const std::vector<std::uint8_t>& bytes = BindImageBytes[i];
      if (bytes.empty()) continue;
      // A file that cannot be written is left out; the row stays.
      WriteWholeFile(Utf16ToUtf8(BindImageFolder + BindImage[i].Fname), bytes.data(), bytes.size());
    }
  }
  BindImageBytes.clear();
}

void TJwwData::BindImageExplode() {
  if (BindImageFolder.empty()) return;
  for (const TBindImageType& row : BindImage) {
    if (!IsGzImageName(row.Fname)) continue;
    const std::u16string packed = BindImageFolder + row.Fname;
    if (!IsExistingFile(packed)) continue;
    GunzipFile(Utf16ToUtf8(packed), Utf16ToUtf8(ChangeExt(packed, u"")));
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
