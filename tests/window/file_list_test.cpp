// List operations, dropped-file filtering and sorting of the file list.

#include "window/file_list.h"
#include "platform/text_services.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "drawing_builder.h"
#include "platform/file_system.h"
#include "util/text.h"

namespace plattero::window {
namespace {

using testing::TempDir;

TEST(FileListTest, MoveAndDeleteFollowTheSelection) {
  struct Case {
    const char* what;
    bool (*op)(TFileList&, int&);
    TFileList before;
    int selected;
    TFileList after;
    int selected_after;
    bool changed;
  };
  const TFileList pqr = {u"P", u"Q", u"R"};
  const Case cases[] = {
      {"up from the middle", MoveSelectedUp, pqr, 1, {u"Q", u"P", u"R"}, 0, true},
      {"down from the middle", MoveSelectedDown, {u"Q", u"P", u"R"}, 0, pqr, 1, true},
      {"down from the last", MoveSelectedDown, pqr, 2, pqr, 2, false},
      {"up from the first", MoveSelectedUp, pqr, 0, pqr, 0, false},
      {"up without selection", MoveSelectedUp, pqr, -1, pqr, -1, false},
      {"down without selection", MoveSelectedDown, pqr, -1, pqr, -1, false},
      {"up on an empty list", MoveSelectedUp, {}, 0, {}, 0, false},
      {"delete the middle", DeleteSelected, pqr, 1, {u"P", u"R"}, -1, true},
      {"delete without selection", DeleteSelected, pqr, -1, pqr, -1, false},
      {"delete past the end", DeleteSelected, pqr, 3, pqr, 3, false},
      {"delete on an empty list", DeleteSelected, {}, 0, {}, 0, false},
      {"key: delete the middle", DeleteSelectedKeepingPlace, pqr, 1, {u"P", u"R"}, 1, true},
      {"key: delete the last", DeleteSelectedKeepingPlace, pqr, 2, {u"P", u"Q"}, 1, true},
      {"key: delete the only one", DeleteSelectedKeepingPlace, {u"P"}, 0, {}, -1, true},
      {"key: without selection", DeleteSelectedKeepingPlace, pqr, -1, pqr, -1, false},
  };
  for (const Case& c : cases) {
    TFileList list = c.before;
    int selected = c.selected;
    EXPECT_EQ(c.op(list, selected), c.changed) << c.what;
    EXPECT_EQ(list, c.after) << c.what;
    EXPECT_EQ(selected, c.selected_after) << c.what;
  }
}

TEST(FileListTest, DropTakesNewExistingDrawingsOnly) {
  TempDir dir;
  for (const char* name : {"new.jww", "listed.jww", "Other.jww", "notes.txt", "UPPER.JWW"}) {
    std::ofstream(dir.file(name)) << "x";
  }
  std::filesystem::create_directory(dir.file("folder.jww"));
  std::filesystem::create_hard_link(dir.file("listed.jww"), dir.file("link.jww"));
  const TFileList listed = {dir.ufile("LISTED.jww"), dir.ufile("listed.jww")};
  const TFileList dropped = {
      dir.ufile("new.jww"),    dir.ufile("listed.jww"),  dir.ufile("notes.txt"),
      dir.ufile("folder.jww"), dir.ufile("missing.jww"), dir.ufile("UPPER.JWW"),
      dir.ufile("NEW.jww"),    u"/bad\"name.jww",        dir.ufile("link.jww"),
      dir.ufile("Other.jww"),  dir.ufile("other.jww")};
  // The same file under another name (a hard link) is listed already. Names
  // differing only in case are one file on Windows and two elsewhere: there
  // "other.jww" is no file, "Other.jww" is taken, and "NEW.jww" is missing.
  EXPECT_EQ(AcceptDroppedFiles(listed, dropped),
            (TFileList{dir.ufile("new.jww"), dir.ufile("UPPER.JWW"), dir.ufile("Other.jww")}));
  EXPECT_TRUE(AcceptDroppedFiles(listed, {dir.ufile("folder.jww")}).empty());
  // "test2.jww" dropped while "Test2.jww" is listed: another file where names
  // keep their case, the listed one on Windows.
  std::ofstream(dir.file("Test2.jww")) << "x";
  std::ofstream(dir.file("test2.jww")) << "y";
  const bool names_ignore_case = platform::SameFileName(u"a", u"A");
  EXPECT_EQ(AcceptDroppedFiles({dir.ufile("Test2.jww")}, {dir.ufile("test2.jww")}),
            names_ignore_case ? TFileList{} : TFileList{dir.ufile("test2.jww")});
  EXPECT_EQ(DropCountMessage(1), u"1個のファイルを一覧に追加しました。");
  EXPECT_EQ(DropCountMessage(0), u"0個のファイルを一覧に追加しました。");
}

TEST(FileListTest, SortKeyHoldsNamePositionAndPath) {
  EXPECT_EQ(SortKey(u"/plans/b.jww", 10), u"b.jww :000000A/plans/b.jww");
  EXPECT_EQ(SortNameOf(u"/a/b/c.jww"), u"c.jww");
  EXPECT_EQ(SortNameOf(u"c.jww"), u"c.jww");
}

TEST(FileListTest, SortAlternatesAndKeepsEqualNamesInOrder) {
  const TFileList list = {u"/x/b.jww", u"/d/a.jww", u"/y/B.jww"};
  const TSortResult up = SortFileList(list, false);
  EXPECT_EQ(up.list, (TFileList{u"/d/a.jww", u"/x/b.jww", u"/y/B.jww"}));
  EXPECT_EQ(up.keys,
            (std::vector<std::u16string>{u"a.jww :0000001/d/a.jww", u"b.jww :0000000/x/b.jww",
                                         u"B.jww :0000002/y/B.jww"}));
  const TSortResult down = SortFileList(up.list, true);
  EXPECT_EQ(down.list, (TFileList{u"/y/B.jww", u"/x/b.jww", u"/d/a.jww"}));
}

TEST(FileListTest, SortComparesDigitRunsByValueAndIgnoresFolders) {
  const TFileList list = {u"/a/sheet10.jww", u"/z/sheet2.jww", u"/b/Sheet1.jww", u"/c/sheet2.jww"};
  EXPECT_EQ(SortFileList(list, false).list,
            (TFileList{u"/b/Sheet1.jww", u"/z/sheet2.jww", u"/c/sheet2.jww", u"/a/sheet10.jww"}));
  // Equal names beyond sixteen entries keep their order (the position is a
  // number, not a text of hex digits).
  TFileList same;
  for (int i = 0; i < 40; ++i)
    same.push_back(u"/f" + std::u16string(1, u'A' + i % 26) + u"/s.jww");
  EXPECT_EQ(SortFileList(same, false).list, same);
  TFileList reversed(same.rbegin(), same.rend());
  EXPECT_EQ(SortFileList(same, true).list, reversed);
}

TEST(FileListTest, NamesWithTheSeparatorTextSortAndKeepTheirPaths) {
  // On this system a name may hold " :"; paths are never read back from keys.
  const TFileList list = {u"/p/b :1.jww", u"/p/a :2.jww", u"/p/a :2.jww"};
  EXPECT_EQ(SortFileList(list, false).list,
            (TFileList{u"/p/a :2.jww", u"/p/a :2.jww", u"/p/b :1.jww"}));
}

TEST(FileListTest, CollatorIgnoresCaseAndWidthButNotLetters) {
  const platform::TFileNameCollator c;
  EXPECT_EQ(c.Compare(u"ABC.jww", u"abc.jww"), 0);
  EXPECT_LT(c.Compare(u"a2.jww", u"a10.jww"), 0);
  EXPECT_LT(c.Compare(u"apple.jww", u"Banana.jww"), 0);
  EXPECT_GT(c.Compare(u"b.jww", u"a.jww"), 0);
}

}  // namespace
}  // namespace plattero::window
