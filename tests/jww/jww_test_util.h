#pragma once

// Small helpers for the document tests: a document holding an empty drawing,
// writing to bytes and reading them back, comparing lists, scratch folders.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "jww/header_io.h"
#include "jww/jww_data.h"
#include "test_system.h"
#include "util/text.h"

namespace plattero::testing_jww {

using Bytes = std::vector<std::uint8_t>;

// A drawing with its tables sized and values the writer keeps unchanged.
inline void MakeEmptyDrawing(TJwwData& d, std::int32_t ver = 700) {
  d.DataInit();
  SizeHeaderTables(d);
  d.Enthd.jwID = u"JwwData.";
  d.Enthd.jwVer = ver;
  d.Enthd.nZumen = 3;
  for (int i = 0; i < kColorCount; ++i) {
    d.EntCol[i].anPenWidth = 1;
    d.EntCol[i].anPrtPenWidth = 1;
    d.EntCol[i].adPrtTenHankei = 0.5;
  }
  d.EntCol[0].aPrtPenColor = 0xFFFFFF;
  for (int i = 0; i < kColorExCount; ++i) {
    d.EntColS[i].astrUDColorName = u"Color_" + Utf8ToUtf16(std::to_string(i));
  }
  for (int i = 0; i < kLineTypeExCount; ++i) {
    d.EntLtpS[i].alLType = -1;
    d.EntLtpS[i].anUDLTypeSegment = 2;
    d.EntLtpS[i].astrUDLTypeName = u"LType_" + Utf8ToUtf16(std::to_string(i));
  }
  for (auto& m : d.EntMoj)
    m = {2.5, 2.5, 0, 1};
  d.Enthd.dMojiSizeX = d.Enthd.dMojiSizeY = 2.5;
}

// A scratch folder removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() : path_(testing::MakeScratchFolder()) {}
  ~ScratchDir() { testing::RemoveScratchFolder(path_); }
  const std::string& path() const { return path_; }
  std::u16string upath() const { return Utf8ToUtf16(path_); }
  std::u16string file(const std::string& name) const { return Utf8ToUtf16(path_ + name); }

 private:
  std::string path_;
};

// fopen with a name of any characters (on Windows the narrow fopen would take
// it in the ANSI code page).
inline FILE* OpenFile(const std::u16string& path, const char* mode) {
#ifdef _WIN32
  const std::wstring wide_mode(mode, mode + std::strlen(mode));
  return ::_wfopen(std::wstring(path.begin(), path.end()).c_str(), wide_mode.c_str());
#else
  return std::fopen(Utf16ToUtf8(path).c_str(), mode);
#endif
}

inline Bytes ReadFileBytes(const std::u16string& path) {
  std::vector<std::uint8_t> b;
  FILE* f = OpenFile(path, "rb");
  if (!f) return b;
  std::uint8_t buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
    b.insert(b.end(), buf, buf + n);
  std::fclose(f);
  return b;
}

inline void WriteFileBytes(const std::u16string& path, const Bytes& b) {
  FILE* f = OpenFile(path, "wb");
  if (!f) return;
  std::fwrite(b.data(), 1, b.size(), f);
  std::fclose(f);
}

// A sink that takes `limit` bytes and then refuses.
class FailingSink : public ByteSink {
 public:
  explicit FailingSink(std::size_t limit) : limit_(limit) {}
  bool Write(const void*, std::size_t size) override {
    if (taken_ + size > limit_) return false;
    taken_ += size;
    return true;
  }

 private:
  std::size_t limit_;
  std::size_t taken_ = 0;
};

// The bytes of the document written with version ver (none when it fails).
inline Bytes WriteToBytes(TJwwData& d, std::int32_t ver) {
  MemorySink sink;
  if (!d.FileOutTo(sink, ver)) return {};
  return sink.bytes;
}

// Reports the first differing entry instead of dumping whole lists.
template <class T>
void ExpectSameList(const std::vector<T>& a, const std::vector<T>& b, const char* what) {
  ASSERT_EQ(a.size(), b.size()) << what;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!(a[i] == b[i])) {
      ADD_FAILURE() << what << " differs at entry " << i;
      return;
    }
  }
}

// The bytes after the header: written, then read back to find where the
// entity list starts.
inline Bytes BodyBytes(const Bytes& file) {
  TJwwData d;
  d.FileInBytes(file.data(), file.size());
  return Bytes(file.begin() + static_cast<std::ptrdiff_t>(d.Status().entities), file.end());
}

}  // namespace plattero::testing_jww
