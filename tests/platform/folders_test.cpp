// Names and folders on every system: folders made with their parents,
// trees removed whole, private folders, moves that never replace, and an
// output whose target became something else before it was replaced.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "drawing_builder.h"
#include "platform/file_system.h"
#include "platform/temporary.h"
#include "test_system.h"
#include "util/text.h"

namespace plattero::platform {
namespace {

namespace fs = std::filesystem;
using testing::FsPath;
using testing::TempDir;

std::string Read(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Write(const std::u16string& path, const std::string& text) {
  return WriteFileReplacing(path, text.data(), text.size());
}

TEST(Folders, MadeWithTheirParentsAndRemovedWithEverythingInThem) {
  TempDir dir;
  // Either separator, a trailing one, and parts that exist already.
  for (const std::u16string& path :
       {dir.ufile("a/b/c"), dir.ufile("a/b/c/"), dir.ufile("a/d/e//"), dir.ufile("a")}) {
    EXPECT_TRUE(MakeFolders(path)) << Utf16ToUtf8(path);
    EXPECT_TRUE(IsExistingFolder(path)) << Utf16ToUtf8(path);
  }
  ASSERT_TRUE(Write(dir.ufile("a/b/c/file.bmp"), "x"));
  ASSERT_TRUE(Write(dir.ufile("a/top.bmp"), "x"));
  // A file that may not be written (read-only on Windows) goes with the rest.
  fs::permissions(FsPath(dir.file("a/top.bmp")), fs::perms::owner_read, fs::perm_options::replace);
  EXPECT_FALSE(MakeFolders(dir.ufile("a/top.bmp/f")));  // a file stands in the way
  EXPECT_FALSE(MakeFolders(u""));
  EXPECT_EQ(FolderEntries(dir.ufile("a")).size(), 3u);  // b, d, top.bmp

  RemoveFolderQuiet(dir.ufile("a/b"));  // not empty: stays
  EXPECT_TRUE(IsExistingFolder(dir.ufile("a/b")));
  EXPECT_TRUE(RemoveTree(dir.ufile("a/")));
  EXPECT_EQ(KindOf(dir.ufile("a")), TFileKind::kMissing);
  EXPECT_TRUE(RemoveTree(dir.ufile("a")));  // nothing there: nothing left
  EXPECT_FALSE(RemoveTree(u""));
  EXPECT_TRUE(FolderEntries(dir.upath()).empty());
}

TEST(Folders, PrivateFoldersHaveNamesOfTheirOwn) {
  TempDir dir;
  const auto first = MakePrivateFolder(dir.upath(), u"plattero-");
  const auto second = MakePrivateFolder(dir.upath(), u"plattero-");
  ASSERT_TRUE(first && second);
  EXPECT_NE(*first, *second);
  for (const std::u16string& made : {*first, *second}) {
    EXPECT_EQ(NameOf(made).size(), 15u) << Utf16ToUtf8(made);  // the prefix and six characters
    EXPECT_EQ(FolderOf(made), dir.upath());
    EXPECT_TRUE(IsWritableFolder(made));
    UnregisterCleanup(made);
  }
  TFileStatus status;
  EXPECT_FALSE(MakePrivateFolder(dir.ufile("missing/deeper"), u"p-", &status));
  EXPECT_EQ(status.error, TFileError::kNotFound);
}

TEST(Names, AMoveNeverReplacesAndLeavesTheSourceWhenItFails) {
  TempDir dir;
  ASSERT_TRUE(Write(dir.ufile("a"), "a"));
  ASSERT_TRUE(Write(dir.ufile("b"), "b"));
  TFileStatus status;
  EXPECT_FALSE(MoveFileNoReplace(dir.ufile("a"), dir.ufile("b"), &status));
  EXPECT_FALSE(status.ok());
  EXPECT_EQ(Read(dir.file("a")), "a");
  EXPECT_EQ(Read(dir.file("b")), "b");
  EXPECT_FALSE(MoveFileNoReplace(dir.ufile("a"), u"", &status));
  EXPECT_EQ(status.error, TFileError::kNotFound);
  ASSERT_TRUE(MoveFileNoReplace(dir.ufile("a"), dir.ufile("c"), &status)) << status.detail;
  EXPECT_EQ(Read(dir.file("c")), "a");
  EXPECT_FALSE(IsRegularFile(dir.ufile("a")));
}

// The target is looked at again right before it is replaced: a folder that
// took its place meanwhile is kept, and no temporary file is left.
TEST(OutputFile, ATargetThatBecameAFolderMeanwhileIsKept) {
  TempDir dir;
  ASSERT_TRUE(Write(dir.ufile("a.jww"), "old"));
  TOutputFile out;
  ASSERT_TRUE(out.Open(dir.ufile("a.jww")));
  ASSERT_TRUE(out.Write("new", 3));
  ASSERT_TRUE(DeleteFileQuiet(dir.ufile("a.jww")));
  ASSERT_TRUE(MakeFolders(dir.ufile("a.jww/inside")));
  EXPECT_FALSE(out.Commit());
  EXPECT_EQ(out.Status().error, TFileError::kIsFolder);
  EXPECT_TRUE(IsExistingFolder(dir.ufile("a.jww/inside")));
  EXPECT_EQ(FolderEntries(dir.upath()), std::vector<std::u16string>{u"a.jww"});

  // A target that went away meanwhile is simply made again.
  ASSERT_TRUE(Write(dir.ufile("b.jww"), "old"));
  ASSERT_TRUE(out.Open(dir.ufile("b.jww")));
  ASSERT_TRUE(DeleteFileQuiet(dir.ufile("b.jww")));
  ASSERT_TRUE(out.Write("new", 3) && out.Commit());
  EXPECT_EQ(Read(dir.file("b.jww")), "new");
}

}  // namespace
}  // namespace plattero::platform
