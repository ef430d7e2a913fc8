// Reading and replacing files, and the system's own ways of refusing them, on
// every system.

#include <gtest/gtest.h>

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

TEST(FilesTest, ReplacingWriteKeepsTheOldFileOnFailureAndLeavesNoTemporaryFile) {
  TempDir dir;
  const std::u16string path = dir.ufile("a.dat");
  ASSERT_TRUE(WriteFileReplacing(path, {'o', 'n', 'e'}));
  ASSERT_TRUE(WriteFileReplacing(path, {'t', 'w', 'o'}));
  EXPECT_EQ(ReadText(dir.file("a.dat")), "two");

  // A folder under the name cannot be replaced by a file: the write fails.
  fs::create_directory(FsPath(dir.file("busy")));
  fs::create_directory(FsPath(dir.file("busy/x")));
  EXPECT_FALSE(WriteFileReplacing(dir.ufile("busy"), {'x'}));
  EXPECT_FALSE(WriteFileReplacing(dir.ufile("missing/a.dat"), {'x'}));
  EXPECT_FALSE(WriteFileReplacing(u"", {'x'}));
  EXPECT_EQ(CountEntries(dir.path()), 2u);  // a.dat and busy, no leftovers
}

TEST(FilesTest, BoundedReadStopsAtTheLimitAndRefusesFoldersAndMissingFiles) {
  TempDir dir;
  WriteText(dir.file("f"), std::string(100000, 'z'));
  const auto part = ReadFileBounded(dir.ufile("f"), 70000);
  ASSERT_TRUE(part);
  EXPECT_EQ(part->size(), 70000u);
  EXPECT_EQ(ReadFileBounded(dir.ufile("f"), 1u << 20)->size(), 100000u);
  EXPECT_FALSE(ReadFileBounded(dir.upath(), 10));
  EXPECT_FALSE(ReadFileBounded(dir.ufile("none"), 10));
}

// Names as long as a folder entry may be (255 bytes of UTF-8 here, 255
// UTF-16 units on Windows), of bytes that read back unchanged, and of
// Japanese characters: the temporary file beside each fits, and nothing is
// left but the file.
TEST(FilesTest, EveryLegalNameCanBeReplaced) {
  std::string japanese;
  for (int i = 0; i < 85; ++i)
    japanese += "図";  // 3 bytes each in UTF-8
  const std::string names[] = {std::string(251, 'a') + ".jww", japanese, "図面 (1).jww", "a.b.c",
                               ".hidden"};
  for (const std::string& name : names) {
    TempDir dir;
    const std::u16string path = dir.ufile(name);
    ASSERT_TRUE(WriteFileReplacing(path, {'1'})) << name;
    ASSERT_TRUE(WriteFileReplacing(path, {'2'})) << name;
    EXPECT_EQ(ReadText(dir.file(name)), "2") << name;
    EXPECT_EQ(CountEntries(dir.path()), 1u) << name;
  }
}

TEST(FilesTest, SameFileByIdentityNotByName) {
  TempDir dir;
  WriteText(dir.file("a.jww"), "a");
  WriteText(dir.file("b.jww"), "b");
  fs::create_directory(FsPath(dir.file("sub")));
  fs::create_hard_link(FsPath(dir.file("a.jww")), FsPath(dir.file("sub/link.jww")));
  EXPECT_TRUE(SameFile(dir.ufile("a.jww"), dir.ufile("sub/../a.jww")));
  EXPECT_TRUE(SameFile(dir.ufile("a.jww"), dir.ufile("sub/link.jww")));
  EXPECT_FALSE(SameFile(dir.ufile("a.jww"), dir.ufile("b.jww")));
  // Neither exists: the same folder and name.
  EXPECT_TRUE(SameFile(dir.ufile("new.jww"), dir.ufile("sub/../new.jww")));
  EXPECT_FALSE(SameFile(dir.ufile("new.jww"), dir.ufile("sub/new.jww")));
  const auto id = FileIdentity(dir.ufile("a.jww"));
  ASSERT_TRUE(id);
  EXPECT_NE(id->index_low | id->index_high, 0u);  // never a stand-in such as st_ino 0
  EXPECT_NE(FileIdentity(dir.ufile("b.jww")), id);
}

#ifdef _WIN32

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

#endif  // _WIN32

}  // namespace
}  // namespace plattero::platform
