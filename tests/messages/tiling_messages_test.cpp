// The words of a tiling run: every report item kind, every refusal and every
// file error as the window and the command line show them.

#include "messages/tiling_messages.h"
#include "messages/format_messages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "util/text.h"

namespace plattero {
namespace {

TTileWarning Item(TTileWarning::Kind kind) {
  TTileWarning w;
  w.kind = kind;
  w.file = u"/d/平面.jww";
  w.tile = 2;
  return w;
}

// Each kind with the data its words need: the window's line (after
// "図面ファイル「/d/平面.jww」" where `drawing` is set), the command line's
// reason and the preview's mark.
TEST(TilingMessages, EveryItemKindIsWorded) {
  using K = TTileWarning;
  const std::u16string drawing = u"図面ファイル「/d/平面.jww」";
  struct Case {
    TTileWarning w;
    std::u16string line;
    std::string reason;
    std::u16string note;
  };
  std::vector<Case> cases;
  cases.push_back(
      {Item(K::kMissing), drawing + u"が見つからないため、追加しませんでした。", "", u""});
  {
    TTileWarning w = Item(K::kPartlyRead);
    w.read.ok = false;
    w.read.failure = TReadFailure::kEndsBeforeList;
    w.read.section = TReadSection::kEntityList;
    const std::string ends = "entity list: data ends before the list";
    cases.push_back({w, drawing + u"は一部しか読み込めませんでした。", ends, u""});
    w.kind = K::kBasePartlyRead;
    cases.push_back({w, u"ベース図面「/d/平面.jww」は一部しか読み込めませんでした。", ends, u""});
    w.kind = K::kNotDrawing;
    w.read.failure = TReadFailure::kNoSignature;
    w.read.section = TReadSection::kHeader;
    cases.push_back({w, u"「/d/平面.jww」は図面ファイルではありません。",
                     "header: not a drawing (signature)", u""});
  }
  {
    TTileWarning w = Item(K::kImageLeftOut);
    w.image.name = u"logo.bmp.gz";
    w.image.kind = TImageLeftOut::kCut;
    cases.push_back(
        {w,
         drawing +
             u"の画像「logo.bmp.gz」は結合できませんでした。図面が画像の途中で終わっています。",
         "the drawing ends inside the image", u""});
    w.image.kind = TImageLeftOut::kNotWritten;  // no reason given by the system
    cases.push_back(
        {w,
         drawing + u"の画像「logo.bmp.gz」は結合できませんでした。ファイルを書き込めませんでした。",
         "could not be copied", u""});
    w.image.status.error = platform::TFileError::kNoSpace;
    cases.push_back(
        {w,
         drawing + u"の画像「logo.bmp.gz」は結合できませんでした。ディスクの空き容量が足りません。",
         platform::FileErrorText(w.image.status), u""});
  }
  {
    TTileWarning w = Item(K::kDanglingBlock);
    w.references = 3;
    cases.push_back(
        {w, drawing + u"には定義のないブロックへの参照があります（参照先のないまま残しました）。",
         "3 block reference(s) without definition", u""});
  }
  {
    TTileWarning w = Item(K::kPaperSize);
    w.paper = PaperSizeOf(2);
    w.tile_paper = PaperSizeOf(4);
    cases.push_back({w, drawing + u"の用紙（A2）はベース図面の用紙（A4）と異なります。",
                     "paper 594 x 420 mm, tiles 297 x 210 mm", u"用紙違い"});
  }
  {
    TTileWarning w = Item(K::kBeyondCell);
    w.other_tile = 4;
    cases.push_back({w, drawing + u"の図形が用紙からはみ出し、隣の図面に重なります。",
                     "its content leaves its paper and reaches into the cell of tile 5",
                     u"はみ出し"});
    w.kind = K::kOverlap;
    w.other_tile = 0;
    cases.push_back({w, drawing + u"は 1 番目の図面と重なる位置に置かれます（間隔が負の値です）。",
                     "its cell overlaps the cell of tile 1 (a negative gap)", u"重なり"});
  }
  {
    TTileWarning w = Item(K::kScale);
    w.scales = {{1, 50, 100}, {10, 2.5, 100}, {3, std::numeric_limits<double>::infinity(), 1}};
    cases.push_back({w,
                     drawing +
                         u"の縮尺がベース図面と異なります（[1] 1/50→1/100、[A] 1/2.5→1/100、[3] "
                         u"1/inf→1/1）。",
                     "group 1 at 1/50, base 1/100, group A at 1/2.5, base 1/100, group 3 at "
                     "1/inf, base 1/1",
                     u"縮尺違い"});
  }
  {
    TTileWarning w = Item(K::kHidden);
    w.layers = {{0, -1}, {1, 10}};
    cases.push_back(
        {w,
         drawing +
             u"の図形の一部はベース図面で非表示のレイヤにあり、表示されません（[0]、[1-A]）。",
         "entities on layers the base drawing hides: [0], [1-A]", u"非表示になる図形"});
    w.kind = K::kUnhidden;
    // Lists stop after eight entries.
    w.layers.assign(9, {15, 15});
    const std::u16string nine = u"[F-F]、[F-F]、[F-F]、[F-F]、[F-F]、[F-F]、[F-F]、[F-F]、…";
    cases.push_back({w, drawing + u"で非表示のレイヤの図形が表示されます（" + nine + u"）。",
                     "entities on layers it hides that the base drawing shows: [F-F], [F-F], "
                     "[F-F], [F-F], [F-F], [F-F], [F-F], [F-F], ...",
                     u"表示される図形"});
  }
  {
    TTileWarning w = Item(K::kBlockRenamed);
    w.blocks = {{u"扉", u"扉_2"}, {u"窓", u"窓_3"}};
    cases.push_back(
        {w,
         drawing + u"のブロック「扉」→「扉_2」、「窓」→「窓_3」は、同じ名前で内容の異なるブロック"
                   u"が先にあるため、名前を変えて結合しました。",
         "block \"扉\" is now \"扉_2\" and 1 more: an earlier block of that name has "
         "other contents",
         u""});
  }
  cases.push_back({Item(K::kSameAsBase),
                   drawing + u"はベース図面と同じファイルのため、重ねて追加しませんでした。", "",
                   u""});
  {
    TTileWarning w = Item(K::kGroups);
    w.placed = {{0, 2, 200}, {1, 1, 100}};
    cases.push_back({w, drawing + u"のレイヤグループ：[0]→[2] 1/200、[1]→[1] 1/100",
                     "group 0 to 2 at 1/200, group 1 to 1 at 1/100", u""});
    w.kind = K::kNoFreeGroup;
    w.scales = {{0, 116, 100}};
    cases.push_back(
        {w,
         drawing + u"のレイヤグループ[0] 1/116は、空いているレイヤグループが残っていないため、"
                   u"縮尺の異なる同じ番号のグループに置きました。",
         "no free layer group left: group 0 at 1/116, base 1/100", u"空きグループなし"});
  }
  {
    TTileWarning w = Item(K::kPaperTooSmall);
    w.file.clear();
    w.paper.nZumen = 4;
    w.reduction = 0.1;
    cases.push_back({w, u"用紙（A4）には縮小 1/10 でも収まりません。",
                     "the arrangement does not fit even reduced by 1/10", u""});
  }

  std::set<TTileWarning::Kind> kinds;
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.line));
    kinds.insert(c.w.kind);
    EXPECT_EQ(WarningLine(c.w), c.line);
    EXPECT_EQ(WarningReason(c.w), c.reason);
    EXPECT_EQ(WarningNote(c.w.kind), c.note);
  }
  EXPECT_EQ(kinds.size(), static_cast<std::size_t>(K::kPaperTooSmall) + 1);  // every kind
}

TEST(TilingMessages, RefusalsPapersAndFields) {
  const struct {
    TRefusal refusal;
    std::u16string count_label, text;
  } refusals[] = {
      {TRefusal::kNoFiles, u"横数：", u"図面ファイルを[追加]して下さい"},
      {TRefusal::kNoBase, u"横数：", u"ベース図面を指定して下さい"},
      {TRefusal::kBaseMissing, u"横数：", u"ベース図面が見つかりません。再指定して下さい"},
      {TRefusal::kBaseNotDrawing, u"横数：",
       u"ベース図面を図面ファイルとして読み込めません。再指定して下さい"},
      {TRefusal::kCount, u"横数：", u"横数： の数値を再入力して下さい。"},
      {TRefusal::kCount, u"縦数：", u"縦数： の数値を再入力して下さい。"},
      {TRefusal::kGapX, u"縦数：", u"横間隔： の数値を再入力して下さい。"},
      {TRefusal::kGapY, u"縦数：", u"縦間隔： の数値を再入力して下さい。"},
  };
  for (const auto& r : refusals)
    EXPECT_EQ(RefusalMessage(r.refusal, r.count_label), r.text);
  EXPECT_EQ(CountLabel(TOrder::kRightUp), u"横数：");
  EXPECT_EQ(CountLabel(TOrder::kRightDown), u"横数：");
  EXPECT_EQ(CountLabel(TOrder::kUpRight), u"縦数：");
  EXPECT_EQ(CountLabel(TOrder::kDownRight), u"縦数：");

  std::u16string captions;
  for (std::int32_t code = -1; code <= 15; ++code)
    captions += PaperCaption(code);
  EXPECT_EQ(
      captions,
      u"（A0）（A0）（A1）（A2）（A3）（A4）（A0）（A0）（A0）（2A）（3A）（4A）（5A）（10m）（"
      u"50m）（100m）（A0）");
}

TEST(TilingMessages, SavesSayWhereAndWhy) {
  using platform::TFileError;
  const struct {
    TFileError error;
    std::u16string reason;
  } errors[] = {
      {TFileError::kNone, u""},
      {TFileError::kNotFound, u"ファイルまたはフォルダーが見つかりません。"},
      {TFileError::kPermission, u"アクセスが拒否されました。"},
      {TFileError::kNoSpace, u"ディスクの空き容量が足りません。"},
      {TFileError::kTooLarge, u"ファイルが大きすぎます（ファイルサイズの上限を超えます）。"},
      {TFileError::kNameTooLong, u"ファイル名が長すぎます。"},
      {TFileError::kNotRegular, u"通常のファイルではありません（デバイス、FIFO など）。"},
      {TFileError::kIsFolder, u"同じ名前のフォルダーがあります。"},
      {TFileError::kInUse, u"ほかのプログラムが使用中です。"},
      {TFileError::kSameFile, u"読み込む図面と同じファイルです。"},
      {TFileError::kOther, u"ファイルを書き込めませんでした。"},
  };
  for (const auto& e : errors) {
    platform::TFileStatus status;
    status.error = e.error;
    EXPECT_EQ(FileErrorReason(status), e.reason);
    TSaveResult failed;
    failed.file = u"/out/結合.jww";
    failed.status = status;
    EXPECT_EQ(SaveMessage(failed, {}), u"図面ファイル「/out/結合.jww」の保存に失敗しました。" +
                                           (e.reason.empty() ? u"" : u"\n" + e.reason));
  }
  // Saved: the notices first, then the warnings, a line each.
  TTilingReport report;
  report.warnings = {Item(TTileWarning::kMissing)};
  report.notices = {Item(TTileWarning::kSameAsBase)};
  TSaveResult saved;
  saved.ok = true;
  saved.file = u"/out/結合.jww";
  EXPECT_EQ(SaveMessage(saved, report), u"図面ファイル「/out/結合.jww」を保存しました。\n" +
                                            WarningLine(report.notices[0]) + u"\n" +
                                            WarningLine(report.warnings[0]));
  EXPECT_EQ(SaveMessage(saved, {}), SavedLine(saved.file));
}

TEST(TilingMessages, PaperAndReductionLines) {
  const struct {
    double k;
    std::u16string text;
  } factors[] = {{1, u"1"},      {2.0 / 3, u"2/3"}, {0.5, u"1/2"},
                 {0.4, u"2/5"},  {1.0 / 3, u"1/3"}, {0.125, u"1/8"},
                 {0.1, u"1/10"}, {0.37, u"0.37"},   {0.0123, u"0.0123"}};
  for (const auto& f : factors)
    EXPECT_EQ(FactorText(f.k), f.text) << f.k;

  TTilingReport report;
  EXPECT_EQ(PaperLines(report), u"");
  report.paper = TPaperFit{};
  report.paper->nZumen = 8;
  EXPECT_EQ(PaperLines(report), u"用紙（2A）に配置しました。");
  report.paper->nZumen = 1;
  report.paper->k = 0.5;
  report.reduced_scales = {{0, 200, 100}, {3, 1.5, 0.75}};
  EXPECT_EQ(PaperLines(report), u"用紙（A1）に配置しました。\n縮小 1/2（[0] 1/200、[3] 1/1.5）");
  EXPECT_EQ(SheetLabel(*report.paper), u"用紙（A1） 縮小 1/2");
  report.paper->k = 1;
  EXPECT_EQ(SheetLabel(*report.paper), u"用紙（A1）");
  // Groups that stayed are not named; one the drawing's groups share, once.
  EXPECT_EQ(GroupsNote({{0, 2, 200}, {1, 2, 200}, {3, 4, 50}, {5, 5, 100}}),
            u"[2] 1/200、[4] 1/50");
  EXPECT_EQ(GroupsNote({{5, 5, 100}}), u"");
}

// The command line's reasons for a read or a write that failed, in every
// kind and part of the drawing a failure can name.
TEST(FormatMessages, EveryReadAndWriteFailureIsWorded) {
  using F = TReadFailure;
  using S = TReadSection;
  const platform::TFileStatus missing{platform::TFileError::kNotFound, 2, ""};
  struct Case {
    F failure;
    S section;
    std::string text;
  };
  const Case reads[] = {
      {F::kNone, S::kFile, ""},
      {F::kCannotOpen, S::kFile, "cannot open the file: no such file or folder"},
      {F::kCannotRead, S::kFile, "cannot read the file: no such file or folder"},
      {F::kNoMemory, S::kFile, "not enough memory for the file"},
      {F::kNoSignature, S::kHeader, "header: not a drawing (signature)"},
      {F::kVersion, S::kHeader, "header: version 800 outside 220..700"},
      {F::kEndsInHeader, S::kHeader, "header: data ends inside the header"},
      {F::kEndsBeforeCount, S::kEntityList, "entity list: data ends before the count"},
      {F::kEndsBeforeList, S::kBlockDefs, "block definitions: data ends before the list"},
      {F::kClassNameTooLong, S::kBlockDefEntities,
       "block definition entities: class name too long"},
      {F::kUnknownClass, S::kEntityList, "entity list: unknown class name"},
      {F::kEndsInImage, S::kImages, "images: data ends inside an image"},
      {F::kCut, S::kFile, "data ends early (the file is cut)"},
      {F::kUnknown, S::kFile, "read failed"},
      {F::kUnknown, S::kHeader, "header: read failed"},
  };
  for (const Case& c : reads) {
    TJwwReadStatus status;
    status.ok = c.failure == F::kNone;
    status.failure = c.failure;
    status.section = c.section;
    status.version = 800;
    status.file = missing;
    EXPECT_EQ(ReadFailureText(status), c.text);
  }
  using W = TWriteFailure;
  const std::pair<W, std::string> writes[] = {
      {W::kNone, ""},
      {W::kFile, "no such file or folder"},
      {W::kNoDrawing, "the document holds no drawing"},
      {W::kImageShrank, "an image file shrank"},
      {W::kNotStored, "the bytes could not be stored"},
  };
  for (const auto& [failure, text] : writes)
    EXPECT_EQ(WriteFailureText(failure, missing), text);
}

}  // namespace
}  // namespace plattero
