// The file system layer: outputs replaced whole or not at all, temporary names
// that fit beside any legal name, file identity, scratch files and locks.

#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "drawing_builder.h"
#include "util/text.h"

namespace plattero::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t Entries(const std::string& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

bool Write(const std::u16string& path, const std::string& text, TFileStatus* status = nullptr) {
  return WriteFileReplacing(path, text.data(), text.size(), status);
}

TEST(OutputFile, ReplacesWholeOrLeavesTheTargetAsItWas) {
  TempDir dir;
  const std::u16string target = dir.ufile("a.jww");
  ASSERT_TRUE(Write(target, "one"));
  ASSERT_TRUE(Write(target, "two"));
  EXPECT_EQ(Read(dir.file("a.jww")), "two");

  // Discarded before its commit: the old file stays, nothing is left beside it.
  {
    TOutputFile out;
    ASSERT_TRUE(out.Open(target));
    ASSERT_TRUE(out.Write("three", 5));
  }
  EXPECT_EQ(Read(dir.file("a.jww")), "two");

  fs::create_directory(dir.file("folder"));
  const struct {
    std::u16string target;
    TFileError error;
  } refused[] = {{dir.ufile("folder"), TFileError::kIsFolder},
                 {dir.ufile("missing/a.jww"), TFileError::kNotFound},
                 {u"", TFileError::kNotFound}};
  for (const auto& c : refused) {
    TFileStatus status;
    EXPECT_FALSE(Write(c.target, "x", &status)) << Utf16ToUtf8(c.target);
    EXPECT_EQ(status.error, c.error) << Utf16ToUtf8(c.target);
    EXPECT_FALSE(FileErrorText(status).empty());
  }
  EXPECT_EQ(Entries(dir.path()), 2u);  // a.jww and the folder: no temporary file left
}

TEST(OutputFile, AFolderStandingThereIsNeverReplacedAndNothingIsLeftBeside) {
  TempDir dir;
  const std::u16string path = dir.ufile("a.dat");
  ASSERT_TRUE(Write(path, "one"));
  ASSERT_TRUE(Write(path, "two"));
  EXPECT_EQ(Read(dir.file("a.dat")), "two");

  // A folder under the name cannot be replaced by a file: the write fails.
  fs::create_directory(dir.file("busy"));
  fs::create_directory(dir.file("busy/x"));
  EXPECT_FALSE(Write(dir.ufile("busy"), "x"));
  EXPECT_FALSE(Write(dir.ufile("missing/a.dat"), "x"));
  EXPECT_FALSE(Write(u"", "x"));
  EXPECT_EQ(Entries(dir.path()), 2u);  // a.dat and busy, no leftovers
}

TEST(InputFile, BoundedReadStopsAtTheLimitAndRefusesFoldersAndMissingFiles) {
  TempDir dir;
  ASSERT_TRUE(Write(dir.ufile("f"), std::string(100000, 'z')));
  const auto part = ReadFileBounded(dir.ufile("f"), 70000);
  ASSERT_TRUE(part);
  EXPECT_EQ(part->size(), 70000u);
  EXPECT_EQ(ReadFileBounded(dir.ufile("f"), 1u << 20)->size(), 100000u);
  EXPECT_FALSE(ReadFileBounded(dir.upath(), 10));
  EXPECT_FALSE(ReadFileBounded(dir.ufile("none"), 10));
}

TEST(OutputFile, TemporaryNamesFitBesideAnyLegalName) {
  TempDir dir;
  // Names up to the limit of 255 (bytes here, UTF-16 units on Windows), and a
  // Japanese one at the byte limit; the temporary name beside them is longer
  // than they are unless it is shortened.
  for (const std::u16string& name :
       {std::u16string(229, u'a') + u".jww", std::u16string(233, u'b') + u".jww",
        std::u16string(251, u'c') + u".jww", std::u16string(85, u'図')}) {
    const std::u16string target = dir.upath() + name;
    TFileStatus status;
    EXPECT_TRUE(Write(target, "content", &status)) << name.size() << " " << status.detail;
    EXPECT_TRUE(IsRegularFile(target));
    EXPECT_TRUE(DeleteFileQuiet(target));
  }
  TFileStatus status;
  EXPECT_FALSE(Write(dir.upath() + std::u16string(256, u'd'), "x", &status));
  EXPECT_EQ(status.error, TFileError::kNameTooLong);
  EXPECT_EQ(Entries(dir.path()), 0u);
}

TEST(FileIdentity, TheSameFileWhateverThePathSays) {
  TempDir dir;
  fs::create_directory(dir.file("sub"));
  ASSERT_TRUE(Write(dir.ufile("a.jww"), "a"));
  ASSERT_TRUE(Write(dir.ufile("b.jww"), "a"));
  fs::create_hard_link(dir.file("a.jww"), dir.file("hard.jww"));
  const struct {
    std::u16string a, b;
    bool same;
  } cases[] = {
      {dir.ufile("a.jww"), dir.ufile("sub/../a.jww"), true},
      {dir.ufile("a.jww"), dir.ufile("hard.jww"), true},
      {dir.ufile("a.jww"), dir.ufile("b.jww"), false},            // equal contents, another file
      {dir.ufile("new.jww"), dir.ufile("sub/../new.jww"), true},  // neither exists yet
      {dir.ufile("new.jww"), dir.ufile("other.jww"), false},
      {dir.ufile("new.jww"), dir.ufile("a.jww"), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SameFile(c.a, c.b), c.same) << Utf16ToUtf8(c.a) << " " << Utf16ToUtf8(c.b);
  EXPECT_FALSE(FileIdentity(dir.ufile("new.jww")));
}

TEST(ScratchFile, ReplacesInPlaceAndRemovesWhatFailed) {
  TempDir dir;
  const std::u16string path = dir.ufile("img.bmp");
  ASSERT_TRUE(WriteScratchFile(path, "longer content", 14));
  ASSERT_TRUE(WriteScratchFile(path, "short", 5));
  EXPECT_EQ(Read(dir.file("img.bmp")), "short");
  {
    TScratchFile unfinished;
    ASSERT_TRUE(unfinished.Create(dir.ufile("cut.bmp")));
    unfinished.Write("x", 1);
  }  // never closed: removed
  EXPECT_FALSE(fs::exists(dir.file("cut.bmp")));
  fs::create_directory(dir.file("dir.bmp"));
  EXPECT_FALSE(WriteScratchFile(dir.ufile("dir.bmp"), "x", 1));
}

TEST(LockFile, OneHolderAtATime) {
  TempDir dir;
  const std::u16string path = dir.ufile(".lock");
  TLockFile first, second;
  ASSERT_TRUE(first.TryLock(path));
  EXPECT_FALSE(second.TryLock(path));
  first.Release();
  EXPECT_FALSE(fs::exists(dir.file(".lock")));
  EXPECT_TRUE(second.TryLock(path));
}

}  // namespace
}  // namespace plattero::platform
