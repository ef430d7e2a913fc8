// Windows's own ways of refusing files: reserved device names and device
// paths, either separator, a file being read that may not be replaced.

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "drawing_builder.h"
#include "platform/file_system.h"
#include "test_system.h"
#include "util/text.h"

namespace plattero::platform {
namespace {

namespace fs = std::filesystem;
using testing::FsPath;
using testing::TempDir;

bool WriteFileReplacing(const std::u16string& path, const std::vector<std::uint8_t>& bytes) {
  return platform::WriteFileReplacing(path, bytes.data(), bytes.size());
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(FsPath(path), std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::size_t CountEntries(const std::string& folder) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(FsPath(folder)))
    ++n;
  return n;
}

// Device names and device paths are refused by their text, for reading and
// for writing, whatever their case and extension; the folder is left as it was.
TEST(WindowsFilesTest, ReservedNamesAndDevicePathsAreNoFiles) {
  TempDir dir;
  const std::u16string names[] = {u"NUL",      u"nul.txt",  u"COM1",   u"aux.jww",  u"con",
                                  u"LPT9.a.b", u"Nul .jww", u"prn...", u"COM\u00B9"};
  for (const std::u16string& name : names) {
    const std::u16string path = dir.upath() + name;
    TFileStatus status;
    EXPECT_FALSE(CheckOutputTarget(path, &status)) << Utf16ToUtf8(name);
    EXPECT_EQ(status.error, TFileError::kNotRegular) << Utf16ToUtf8(name);
    EXPECT_FALSE(WriteFileReplacing(path, {'x'})) << Utf16ToUtf8(name);
    EXPECT_FALSE(IsRegularFile(path)) << Utf16ToUtf8(name);
    TInputFile in;
    EXPECT_FALSE(in.Open(path)) << Utf16ToUtf8(name);
    EXPECT_EQ(in.Status().error, TFileError::kNotRegular) << Utf16ToUtf8(name);
  }
  for (const std::u16string path :
       {u"\\\\.\\NUL", u"//./nul", u"\\\\?\\GLOBALROOT\\Device\\Null", u"\\??\\C:\\x.jww"}) {
    EXPECT_FALSE(CheckOutputTarget(path)) << Utf16ToUtf8(path);
    EXPECT_FALSE(WriteFileReplacing(path, {'x'})) << Utf16ToUtf8(path);
  }
  // A stream of a file is not the file.
  WriteText(dir.file("a.jww"), "a");
  EXPECT_FALSE(WriteFileReplacing(dir.ufile("a.jww:hidden"), {'x'}));
  EXPECT_EQ(ReadText(dir.file("a.jww")), "a");
  EXPECT_EQ(CountEntries(dir.path()), 1u);
  // Names that only look alike are files.
  for (const std::u16string name : {u"NULL", u"com10", u"console.jww", u"AUX1"}) {
    EXPECT_TRUE(WriteFileReplacing(dir.upath() + name, {'x'})) << Utf16ToUtf8(name);
  }
}

// Either separator finds the folder, and the temporary file stands beside
// the target in both cases.
TEST(WindowsFilesTest, BackslashesAndSlashesBothSeparateFolders) {
  TempDir dir;
  fs::create_directory(FsPath(dir.file("sub")));
  std::u16string back = dir.upath();
  for (char16_t& c : back)
    if (c == u'/') c = u'\\';
  ASSERT_TRUE(WriteFileReplacing(back + u"sub\\図面.jww", {'1'}));
  ASSERT_TRUE(WriteFileReplacing(dir.ufile("sub/図面.jww"), {'2'}));
  EXPECT_EQ(ReadText(dir.file("sub/図面.jww")), "2");
  EXPECT_EQ(CountEntries(dir.file("sub")), 1u);
  EXPECT_TRUE(SameFile(back + u"SUB\\図面.JWW", dir.ufile("sub/図面.jww")));  // any case
}

// A file being read may not be written meanwhile: replacing it fails as "in
// use" and leaves it byte for byte; once closed it is replaced.
TEST(WindowsFilesTest, ReadingDeniesWritersAndWritingIsExclusive) {
  TempDir dir;
  const std::u16string path = dir.ufile("a.jww");
  WriteText(dir.file("a.jww"), "old");
  {
    TInputFile in;
    ASSERT_TRUE(in.Open(path));
    TFileStatus status;
    EXPECT_FALSE(platform::WriteFileReplacing(path, "new", 3, &status));
    EXPECT_EQ(status.error, TFileError::kInUse) << status.detail;
    TInputFile second;
    EXPECT_TRUE(second.Open(path));  // readers share
  }
  EXPECT_EQ(ReadText(dir.file("a.jww")), "old");
  EXPECT_EQ(CountEntries(dir.path()), 1u);
  {
    TOutputFile out;
    ASSERT_TRUE(out.Open(path));
    ASSERT_TRUE(out.Write("new", 3));
    // The file being written: nobody else may open it.
    std::u16string temp;
    for (const auto& e : fs::directory_iterator(FsPath(dir.path())))
      if (e.path().filename() != "a.jww") temp = e.path().u16string();
    ASSERT_FALSE(temp.empty());
    TInputFile peek;
    EXPECT_FALSE(peek.Open(temp));
    EXPECT_EQ(peek.Status().error, TFileError::kInUse);
    ASSERT_TRUE(out.Commit());
  }
  EXPECT_EQ(ReadText(dir.file("a.jww")), "new");
}

// A read-only file is kept (Wine's rename would replace it and drop the
// attribute); one that another program holds so that it may not be replaced,
// or has locked, is in use. Either way it stays byte for byte.
TEST(WindowsFilesTest, ReadOnlyFilesAreKeptAndHeldOrLockedOnesAreInUse) {
  TempDir dir;
  auto api = [&](const std::string& name) {
    const std::u16string path = dir.ufile(name);
    return std::wstring(path.begin(), path.end());
  };
  for (const char* name : {"ro.jww", "held.jww", "locked.jww"})
    WriteText(dir.file(name), "old");
  ASSERT_TRUE(::SetFileAttributesW(api("ro.jww").c_str(), FILE_ATTRIBUTE_READONLY));
  // Others may read and write it, but not put another file in its place.
  const HANDLE held = ::CreateFileW(api("held.jww").c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  // Shared whole, with its first byte locked.
  const HANDLE locked = ::CreateFileW(api("locked.jww").c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  OVERLAPPED at{};
  ASSERT_TRUE(
      ::LockFileEx(locked, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at));
  const struct {
    const char* name;
    TFileError error;
    const char* says;
  } cases[] = {{"ro.jww", TFileError::kPermission, "permission denied"},
               {"held.jww", TFileError::kInUse, "the file is in use by another program"},
               {"locked.jww", TFileError::kInUse, "the file is in use by another program"}};
  for (const auto& c : cases) {
    TFileStatus status;
    EXPECT_FALSE(platform::WriteFileReplacing(dir.ufile(c.name), "new", 3, &status)) << c.name;
    EXPECT_EQ(status.error, c.error) << c.name << ": " << status.detail;
    EXPECT_EQ(FileErrorText(status), c.says) << c.name;
  }
  TFileStatus checked;
  EXPECT_FALSE(CheckOutputTarget(dir.ufile("ro.jww"), &checked));
  EXPECT_EQ(checked.error, TFileError::kPermission);
  ::UnlockFileEx(locked, 0, 1, 0, &at);
  ::CloseHandle(locked);
  ::CloseHandle(held);
  for (const char* name : {"ro.jww", "held.jww", "locked.jww"})
    EXPECT_EQ(ReadText(dir.file(name)), "old") << name;
  EXPECT_NE(::GetFileAttributesW(api("ro.jww").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(CountEntries(dir.path()), 3u);
  // Let go, they are written.
  EXPECT_TRUE(WriteFileReplacing(dir.ufile("held.jww"), {'n'}));
  EXPECT_TRUE(WriteFileReplacing(dir.ufile("locked.jww"), {'n'}));
}

}  // namespace
}  // namespace plattero::platform
