// plattero-cli tile: the window's checks and messages, the run on the bundled
// examples and on real drawings, and nothing left behind.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli_test_util.h"
#include "drawing_builder.h"
#include "util/text.h"

namespace plattero::cli_test {
namespace {

using plattero::Utf8ToUtf16;

const std::string kExamples = PLATTERO_EXAMPLES_DIR;

std::string Example(int i) {
  return kExamples + "/sheet" + std::to_string(i) + ".jww";
}

TEST(CliTile, ChecksPrintTheWindowsMessagesInOrder) {
  testing::TempDir dir;
  const std::string out = dir.file("out.jww");
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"tile", "--base", Example(1), "-o", out}, "図面ファイルを[追加]して下さい"},
      {{"tile", "--base", "", "-o", out, Example(2)}, "ベース図面を指定して下さい"},
      {{"tile", "--base", dir.file("none.jww"), "-o", out, Example(2)},
       "ベース図面が見つかりません。再指定して下さい"},
      {{"tile", "--base", Example(1), "--count", "abc", "-o", out, Example(2)},
       "横数： の数値を再入力して下さい。"},
      {{"tile", "--base", Example(1), "--order", "down-right", "--count", "1001", "-o", out,
        Example(2)},
       "縦数： の数値を再入力して下さい。"},
      {{"tile", "--base", Example(1), "--gap-x", "10mm", "-o", out, Example(2)},
       "横間隔： の数値を再入力して下さい。"},
      {{"tile", "--base", Example(1), "--gap-x", "1O", "-o", out, Example(2)},
       "横間隔： の数値を再入力して下さい。"},
      {{"tile", "--base", Example(1), "--gap-y", "abc", "-o", out, Example(2)},
       "縦間隔： の数値を再入力して下さい。"},
  };
  for (const Case& c : cases) {
    CliRun r = RunArgs(c.args);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, std::string(c.message) + "\n");
    EXPECT_FALSE(std::filesystem::exists(out));
  }
  CliRun bad = RunArgs({"tile", "--base", Example(1), "--order", "sideways", "-o", out});
  EXPECT_EQ(bad.code, 2);
  EXPECT_EQ(RunArgs({"tile", "--base", Example(1), Example(2)}).code, 2);  // no -o
}

TEST(CliTile, TilesTheExamplesWhereTheOrderPutsThem) {
  testing::TempDir dir, tmp;
  ScopedTempRoot env(tmp.path());
  const std::string out = dir.file("out.jww");
  CliRun r =
      RunArgs({"tile", "--base", Example(1), "--order", "up-right", "--count", "2", "--gap-x", "-5",
               "-o", out, Example(1), Example(2), Example(3), dir.file("missing.jww")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "図面ファイル「" + out + "」を保存しました。\n");
  for (const std::string& line :
       {"note: 図面ファイル「" + Example(1) +
            "」はベース図面と同じファイルのため、重ねて追加しませんでした。\n",
        "warning: 図面ファイル「" + Example(3) +
            "」は 1 番目の図面と重なる位置に置かれます（間隔が負の値です）。 (its cell "
            "overlaps the cell of tile 1 (a negative gap))\n",
        "warning: 図面ファイル「" + dir.file("missing.jww") +
            "」が見つからないため、追加しませんでした。\n"}) {
    EXPECT_NE(r.err.find("plattero-cli: " + line), std::string::npos) << r.err;
  }
  EXPECT_EQ(CountEntries(tmp.path()), 0u);  // the run's image folders are gone

  TJwwData one, tiled;
  ASSERT_TRUE(one.FileIn(Utf8ToUtf16(Example(1))));
  ASSERT_TRUE(tiled.FileIn(Utf8ToUtf16(out)));
  // The base (sheet1, listed at (0,0) as well, not added twice), sheet2 at
  // (0,307), sheet3 at (415,0).
  ASSERT_EQ(tiled.EntLine.size(), one.EntLine.size() + 24 + 24);
  TJwwData sheet2, sheet3;
  ASSERT_TRUE(sheet2.FileIn(Utf8ToUtf16(Example(2))));
  ASSERT_TRUE(sheet3.FileIn(Utf8ToUtf16(Example(3))));
  const TEntJwwLine& second_tile = tiled.EntLine[one.EntLine.size()];
  const TEntJwwLine& third_tile = tiled.EntLine[one.EntLine.size() + 24];
  EXPECT_DOUBLE_EQ(second_tile.start_y, sheet2.EntLine[0].start_y + 307);
  EXPECT_DOUBLE_EQ(third_tile.start_x, sheet3.EntLine[0].start_x + 415);
  EXPECT_DOUBLE_EQ(third_tile.start_y, sheet3.EntLine[0].start_y);

  // The count and gaps as a Japanese input method types them: the same drawing.
  const std::string typed = dir.file("typed.jww");
  r = RunArgs({"tile", "--base", Example(1), "--order", "up-right", "--count", "２", "--gap-x",
               "－５", "--gap-y", " １０ ", "-o", typed, Example(1), Example(2), Example(3),
               dir.file("missing.jww")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(FileText(typed), FileText(out));
}

// A block of the example sheets' name and other contents, renamed.
std::string Renamed(int sheet, const std::string& name) {
  return "plattero-cli: warning: 図面ファイル「" + Example(sheet) + "」のブロック「部品0」→「" +
         name +
         "」は、同じ名前で内容の異なるブロックが先にあるため、名前を変えて結合しました。 (block "
         "\"部品0\" is now \"" +
         name + "\": an earlier block of that name has other contents)\n";
}

const std::string kSheet1Noted = "plattero-cli: note: 図面ファイル「" + Example(1) +
                                 "」はベース図面と同じファイルのため、重ねて追加しませんでした。\n";

// The README's example: the base drawing is listed first, where it lies
// itself, and the result holds each sheet once. That is a note, no problem:
// --strict writes a result that has nothing else to say. Each sheet places a
// block "部品0" of its own: the later ones are renamed.
TEST(CliTile, TheReadmeExampleHoldsEachSheetOnce) {
  testing::TempDir dir;
  const std::string out = dir.file("out.jww");
  const CliRun r = RunArgs(
      {"tile", "--base", Example(1), "-o", out, Example(1), Example(2), Example(3), Example(4)});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err,
            kSheet1Noted + Renamed(2, "部品0_2") + Renamed(3, "部品0_3") + Renamed(4, "部品0_4"));
  TJwwData tiled;
  ASSERT_TRUE(tiled.FileIn(Utf8ToUtf16(out)));
  EXPECT_EQ(tiled.EntLine.size(), 4u * 24);
  EXPECT_EQ(tiled.EntBlockDef.size(), 4u);

  const CliRun strict = RunArgs({"tile", "--base", Example(1), "-o", out, "--strict", "--tile-size",
                                 "own", Example(1), kExamples + "/detail-a4.jww"});
  EXPECT_EQ(strict.code, 0) << strict.err;
  EXPECT_EQ(strict.err, kSheet1Noted);
}

TEST(CliTile, AFailedWriteSaysSoAndExits3) {
  testing::TempDir dir;
  const std::string out = dir.file("no/such/out.jww");
  CliRun r = RunArgs({"tile", "--base", Example(1), "-o", out, Example(1)});
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(r.err, kSheet1Noted + "図面ファイル「" + out +
                       "」の保存に失敗しました。\nplattero-cli: cannot write \"" + out +
                       "\": no such file or folder\n");
}

TEST(CliTile, RealDrawingsTileIntoOneReadableDrawing) {
  const std::string corpus = PLATTERO_CORPUS_DIR;
  const std::string a = corpus + "/monozukuri-ai__ezjww/2blocks.jww";
  const std::string b = corpus + "/smxmasami__miniArchive/test2.jww";
  if (!std::filesystem::exists(a) || !std::filesystem::exists(b)) GTEST_SKIP() << "no corpus";
  testing::TempDir dir;
  const std::string out = dir.file("out.jww");
  CliRun r = RunArgs({"tile", "--base", a, "--count", "2", "-o", out, a, b, b});
  ASSERT_EQ(r.code, 0) << r.err;
  TJwwData da, db, tiled;
  ASSERT_TRUE(da.FileIn(Utf8ToUtf16(a)));
  ASSERT_TRUE(db.FileIn(Utf8ToUtf16(b)));
  ASSERT_TRUE(tiled.FileIn(Utf8ToUtf16(out)));
  // The base drawing, listed first, is not added twice.
  EXPECT_EQ(tiled.EntLine.size(), da.EntLine.size() + 2 * db.EntLine.size());
  EXPECT_EQ(tiled.EntBlock.size(), da.EntBlock.size() + 2 * db.EntBlock.size());
  EXPECT_TRUE(tiled.MojiEncode);  // one of them stores UTF-16 strings
  // Every reference reaches a written definition.
  for (const TEntJwwBlock& ref : tiled.EntBlock) {
    bool found = false;
    for (const TEntJwwBlockDef& def : tiled.EntBlockDef)
      found |= def.nNumber == ref.nNumber;
    EXPECT_TRUE(found) << ref.nNumber;
  }
  Json info = Json::parse(RunArgs({"info", "--json", out}).out);
  EXPECT_TRUE(info["read_ok"].get<bool>());
  EXPECT_GT(info["extents"]["max_y"].get<double>(), 0.0);
}

// What stops a run after the checks (a base drawing that is no drawing, a gap
// too large), and --strict, which makes every warning an error: exit code 1
// and nothing written.
TEST(CliTile, RefusedAndStrictRunsWriteNothing) {
  testing::TempDir dir;
  const std::string out = dir.file("out.jww");
  const std::string notes = dir.file("notes.jww");
  std::ofstream(notes) << "not a drawing";
  const struct {
    std::vector<std::string> args;
    std::string says;
  } cases[] = {
      {{"--base", notes, Example(2)}, "ベース図面を図面ファイルとして読み込めません。"},
      {{"--base", Example(1), "--gap-x", "1e308", Example(2), Example(3), Example(4)},
       "横間隔： の数値を再入力して下さい。"},
      {{"--base", Example(1), "--gap-y", "1e400", Example(2)},
       "縦間隔： の数値を再入力して下さい。"},
      {{"--base", Example(1), "--strict", Example(2), dir.file("missing.jww")},
       "--strict: nothing was written"},
      {{"--base", Example(1), "--gap-x", "-420", "--strict", Example(2), Example(3)},
       "error: 図面ファイル「" + Example(3) + "」は 1 番目の図面と重なる位置に置かれます"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"tile", "-o", out};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliRun r = RunArgs(args);
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));
  }
  const CliRun lenient =
      RunArgs({"tile", "-o", out, "--base", Example(1), Example(2), dir.file("missing.jww")});
  EXPECT_EQ(lenient.code, 0);
  EXPECT_NE(lenient.err.find("warning: "), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(out));
}

const std::string kSite = kExamples + "/site-a2.jww", kDetail = kExamples + "/detail-a4.jww";

// Sheet 1 as the base, then sheet 1, the A2 site plan, the A4 detail and
// sheet 2, with a preview.
CliRun TileMixedPapers(const std::string& out, const std::string& svg,
                       const std::vector<std::string>& options) {
  std::vector<std::string> args = {"tile", "--base", Example(1), "-o", out, "--preview", svg};
  args.insert(args.end(), options.begin(), options.end());
  for (const std::string& f : {Example(1), kSite, kDetail, Example(2)})
    args.push_back(f);
  return RunArgs(args);
}

TEST(CliTile, TileSizeOwnKeepsMixedPapersApartAndBaseWarnsAboutThem) {
  testing::TempDir dir, tmp;
  ScopedTempRoot env(tmp.path());
  const std::string out = dir.file("out.jww"), svg = dir.file("out.svg");
  auto tile = [&](const std::vector<std::string>& options) {
    return TileMixedPapers(out, svg, options);
  };
  auto picture = [&] {
    std::ifstream in(svg);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const CliRun own = tile({"--tile-size", "own"});
  EXPECT_EQ(own.code, 0) << own.err;
  EXPECT_EQ(own.err, kSheet1Noted + Renamed(2, "部品0_2"));
  // The A3 and A4 sheets of the A2 sheet's row show their cells.
  EXPECT_NE(picture().find("#9098a8"), std::string::npos);
  EXPECT_EQ(picture().find("#e07800"), std::string::npos);

  const CliRun base = tile({});
  EXPECT_EQ(base.code, 0) << base.err;
  EXPECT_NE(base.err.find("warning: 図面ファイル「" + kSite +
                          "」の用紙（A2）はベース図面の用紙（A3）と異なります。 (paper 594 x "
                          "420 mm, tiles 420 x 297 mm)\n"),
            std::string::npos)
      << base.err;
  EXPECT_NE(base.err.find("」の用紙（A4）はベース図面の用紙（A3）と異なります。"),
            std::string::npos);
  EXPECT_NE(picture().find("#e07800"), std::string::npos);  // the warned sheets
  EXPECT_NE(picture().find("用紙違い"), std::string::npos);

  std::filesystem::remove(out);
  const CliRun strict = tile({"--tile-size", "base", "--strict"});
  EXPECT_EQ(strict.code, 1);
  EXPECT_NE(strict.err.find("error: 図面ファイル「" + kSite + "」の用紙（A2）"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(tile({"--tile-size", "large"}).code, 2);
}

TEST(CliTile, LayerGroupsPaperAndReductionAreSaidAndBadValuesRefused) {
  testing::TempDir dir, tmp;
  ScopedTempRoot env(tmp.path());
  const std::string out = dir.file("out.jww"), svg = dir.file("out.svg");
  auto tile = [&](const std::vector<std::string>& options) {
    return TileMixedPapers(out, svg, options);
  };
  const struct {
    std::vector<std::string> options;
    std::string says;  // what the success message adds
    std::string frame;
  } cases[] = {
      {{"--tile-size", "own", "--paper", "fit", "--layer-groups", "own"},
       "用紙（2A）に配置しました。\n",
       "用紙（2A）"},
      {{"--paper", "A1", "--tile-size", "own"},
       "用紙（A1）に配置しました。\n縮小 1/2（[0] 1/2、",
       "用紙（A1）"},
      {{"--reduce", "0.25", "--paper", "A3"},
       "用紙（A3）に配置しました。\n縮小 1/4（[0] 1/4、",
       "用紙（A3）"},
  };
  for (const auto& c : cases) {
    const CliRun r = tile(c.options);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("図面ファイル「" + out + "」を保存しました。\n" + c.says, 0), 0u)
        << r.out;
    std::ifstream in(svg);
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(in), {}).find(c.frame), std::string::npos);
  }
  // Without the options nothing is said about the paper.
  EXPECT_EQ(tile({}).out, "図面ファイル「" + out + "」を保存しました。\n");
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--paper", "B5"},
                                              {"--paper", ""},
                                              {"--layer-groups", "mine"},
                                              {"--reduce", "0"},
                                              {"--reduce", "1.5"},
                                              {"--reduce", "half"},
                                              {"--reduce", "nan"}}) {
    std::filesystem::remove(out);
    const CliRun r = tile(bad);
    EXPECT_EQ(r.code, 2) << bad[0] << " " << bad[1];
    EXPECT_NE(r.err.find(bad[0] == "--reduce" ? "--reduce" : bad[1]), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

}  // namespace
}  // namespace plattero::cli_test
