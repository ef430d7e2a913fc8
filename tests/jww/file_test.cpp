// Whole drawings: FileIn and FileOut, their failures, and the image section.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <chrono>
#include <filesystem>

#include "jww/entity_io.h"
#include "jww_test_util.h"

namespace plattero {
namespace {

using namespace testing_jww;

TEntJwwLine Line(double x1, double y1, double x2, double y2) {
  TEntJwwLine l;
  l.att.nPenStyle = 1;
  l.att.nPenColor = 2;
  l.start_x = x1;
  l.start_y = y1;
  l.end_x = x2;
  l.end_y = y2;
  return l;
}

TEntJwwMoji Text(std::u16string str, double x = 0, double y = 0) {
  TEntJwwMoji m;
  m.att.nPenStyle = 1;
  m.att.nPenColor = 1;
  m.start_x = x;
  m.start_y = y;
  m.end_x = x + 10;
  m.end_y = y;
  m.dSizeX = m.dSizeY = 2.5;
  m.strFontName = u"ＭＳ ゴシック";
  m.str = std::move(str);
  return m;
}

void AddLine(TJwwData& d, const TEntJwwLine& l) {
  d.EntNo.push_back({kEntLine, static_cast<std::int32_t>(d.EntLine.size())});
  d.EntLine.push_back(l);
}

void AddText(TJwwData& d, const TEntJwwMoji& m) {
  d.EntNo.push_back({kEntMoji, static_cast<std::int32_t>(d.EntMoji.size())});
  d.EntMoji.push_back(m);
}

void AddArc(TJwwData& d) {
  TEntJwwEnko a;
  a.att.nPenStyle = 1;
  a.att.nPenColor = 1;
  a.dHankei = 5;
  d.EntNo.push_back({kEntEnko, static_cast<std::int32_t>(d.EntEnko.size())});
  d.EntEnko.push_back(a);
}

// A small drawing with every entity kind, a nested block and an image text.
void MakeRichDrawing(TJwwData& d) {
  MakeEmptyDrawing(d);
  AddLine(d, Line(1, 2, 3, 4));
  AddArc(d);
  TEntJwwTen p;
  p.att.nPenStyle = 100;
  p.att.nPenColor = 1;
  p.nCode = 3;
  p.dBairitsu = 2;
  d.EntNo.push_back({kEntTen, 0});
  d.EntTen.push_back(p);
  AddText(d, Text(u"図面タイトル①"));
  TEntJwwSunpo s;
  s.att.nPenColor = 1;
  s.Sen = Line(0, 0, 100, 0);
  s.Moji = Text(u"100");
  s.bSxfMode = 1;
  s.Ho1 = Line(0, 0, 0, 5);
  s.Ho2 = Line(100, 0, 100, 5);
  for (TEntJwwTen* t : {&s.Te1, &s.Te2, &s.Kt1, &s.Kt2})
    t->att = s.Sen.att;
  d.EntNo.push_back({kEntSunpo, 0});
  d.EntSunpo.push_back(s);
  TEntJwwSolid so;
  so.att.nPenColor = 10;
  so.Color = 0x00FF00;
  d.EntNo.push_back({kEntSolid, 0});
  d.EntSolid.push_back(so);
  TEntJwwBlock b;
  b.att.nPenColor = 1;
  b.dBairitsuX = b.dBairitsuY = 1;
  b.nNumber = 5;
  d.EntNo.push_back({kEntBlock, 0});
  d.EntBlock.push_back(b);
  TEntJwwBlockDef outer, inner;
  outer.nNumber = 5;
  outer.strName = u"外側";
  TEntJwwBlock nested = b;
  nested.nNumber = 6;
  outer.mNo = {{kEntBlock, 0}, {kEntLine, 0}};
  outer.mBlock = {nested};
  outer.mLine = {Line(0, 0, 1, 1)};
  inner.nNumber = 6;
  inner.strName = u"内側";
  inner.mNo = {{kEntMoji, 0}};
  inner.mMoji = {Text(u"^@BM%temp%pic.bmp,1,2,3")};
  d.EntBlockDef = {outer, inner};
  d.MakeBlockTree();
}

TEST(FileOut, EmptyDrawingEndsWithThreeZeroCounts) {
  TJwwData d;
  MakeEmptyDrawing(d);
  Bytes b = WriteToBytes(d, 700);
  ASSERT_GT(b.size(), 8u);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 12),
            (Bytes{'J', 'w', 'w', 'D', 'a', 't', 'a', '.', 0xBC, 0x02, 0, 0}));
  EXPECT_EQ(BodyBytes(b), (Bytes{0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(BodyBytes(WriteToBytes(d, 600)), (Bytes{0, 0, 0, 0}));  // no image section
}

TEST(FileOut, ClassTagsAndOrderOfTwoLinesAndAnArc) {
  TJwwData d;
  MakeEmptyDrawing(d);
  AddLine(d, Line(1, 2, 3, 4));
  AddLine(d, Line(5, 6, 7, 8));
  AddArc(d);
  AddLine(d, Line(9, 9, 9, 9));
  d.EntNo.push_back({kEntEnko, 7});  // designates nothing: not written
  d.EntNo.push_back({0, 0});
  const Bytes whole = WriteToBytes(d, 700);
  Bytes body = BodyBytes(whole);
  EXPECT_EQ(Bytes(body.begin(), body.begin() + 16),
            (Bytes{4, 0, 0xFF, 0xFF, 0xBC, 0x02, 8, 0, 'C', 'D', 'a', 't', 'a', 'S', 'e', 'n'}));
  std::size_t second = 2 + 14 + 47;
  EXPECT_EQ(Bytes(body.begin() + second, body.begin() + second + 2), (Bytes{0x01, 0x80}));
  std::size_t arc = second + 2 + 47;
  EXPECT_EQ(Bytes(body.begin() + arc, body.begin() + arc + 6),
            (Bytes{0xFF, 0xFF, 0xBC, 0x02, 9, 0}));
  std::size_t third_line = arc + 15 + 75;
  EXPECT_EQ(Bytes(body.begin() + third_line, body.begin() + third_line + 2), (Bytes{0x01, 0x80}));

  TJwwData back;
  ASSERT_TRUE(back.FileInBytes(whole.data(), whole.size()));
  std::vector<std::pair<int, int>> order;
  for (auto& e : back.EntNo)
    order.push_back({e.EntType, e.EntNo});
  EXPECT_EQ(order, (std::vector<std::pair<int, int>>{{1, 0}, {1, 1}, {2, 0}, {1, 2}}));
}

TEST(FileInOut, RichDrawingRoundTripsInEveryVersionThatKeepsIt) {
  ScratchDir dir;
  TJwwData d;
  MakeRichDrawing(d);
  for (int ver : {700, 600, 420}) {
    Bytes first = WriteToBytes(d, ver);
    TJwwData back;
    back.BindImageFolder = dir.upath();
    ASSERT_TRUE(back.FileInBytes(first.data(), first.size())) << ver;
    EXPECT_EQ(back.EntLine, d.EntLine);
    EXPECT_EQ(back.EntTen, d.EntTen);
    EXPECT_EQ(back.EntMoji, d.EntMoji);
    EXPECT_EQ(back.EntSunpo, d.EntSunpo);
    EXPECT_EQ(back.EntSolid, d.EntSolid);
    ASSERT_EQ(back.EntBlockDef.size(), 2u);
    EXPECT_EQ(back.EntBlock[0].nNumber, 0u);  // renumbered compactly
    EXPECT_EQ(back.EntBlockDef[0].mBlock[0].nNumber, 1u);
    EXPECT_EQ(back.EntBlockDef[1].mMoji, d.EntBlockDef[1].mMoji);
    back.SetFileOutOption(0);
    EXPECT_EQ(WriteToBytes(back, ver), first) << ver;  // stable from the second write on
  }
}

// A time stamp with bit 31 set is the long form, 8 bytes longer; a reader
// takes the definition's position from 1 in its place.
TEST(FileInOut, LongTimeStampsOfBlockDefinitions) {
  TJwwData d;
  MakeEmptyDrawing(d);
  for (std::uint32_t n = 1; n <= 3; ++n) {
    TEntJwwBlock b;
    b.nNumber = n;
    d.EntNo.push_back({kEntBlock, static_cast<std::int32_t>(n - 1)});
    d.EntBlock.push_back(b);
    TEntJwwBlockDef def;
    def.nNumber = n;
    def.dtime = n == 2 ? 77 : 0xFFFFFFFFu;
    def.strName = u"B" + std::u16string(1, static_cast<char16_t>(u'0' + n));
    d.EntBlockDef.push_back(def);
  }
  d.MakeBlockTree();
  const Bytes bytes = WriteToBytes(d, 700);
  TJwwData back;
  ASSERT_TRUE(back.FileInBytes(bytes.data(), bytes.size()));
  ASSERT_EQ(back.EntBlockDef.size(), 3u);
  EXPECT_EQ(back.EntBlockDef[0].dtime, 1u);
  EXPECT_EQ(back.EntBlockDef[1].dtime, 77u);
  EXPECT_EQ(back.EntBlockDef[2].dtime, 3u);
  EXPECT_EQ(back.EntBlockDef[2].strName, u"B3");
}

TEST(FileInOut, OldVersionsSplitExtendedDimensions) {
  TJwwData d;
  MakeRichDrawing(d);
  Bytes b = WriteToBytes(d, 400);
  TJwwData back;
  ASSERT_TRUE(back.FileInBytes(b.data(), b.size()));
  EXPECT_EQ(back.EntNo.size(), d.EntNo.size() + 6);
  EXPECT_EQ(back.EntLine.size(), 3u);  // the line and the two auxiliary lines
  EXPECT_EQ(back.EntTen.size(), 5u);
  EXPECT_EQ(back.EntTen[3].bKariten, 1u);  // the temporary points stay temporary
  EXPECT_EQ(back.EntTen[1].bKariten, 0u);
  EXPECT_EQ(back.EntSunpo[0].bSxfMode, 0);

  Bytes old = WriteToBytes(d, 300);
  TJwwData back300;
  ASSERT_TRUE(back300.FileInBytes(old.data(), old.size()));
  EXPECT_EQ(back300.EntLine[0].att.nPenWidth, 0);
  EXPECT_EQ(back300.EntLine[0].end_y, 4.0);
}

// Versions below 420 carry no extended colour and line-type tables. Written
// as a version that does, such a drawing gets those of a new drawing (not
// zeros: black pens of width 0); a newer drawing keeps its own.
TEST(FileInOut, OldDrawingsGetTheExtendedTablesOfANewOne) {
  TJwwData d;
  MakeEmptyDrawing(d, 351);
  const Bytes old = WriteToBytes(d, 351);
  for (int ver : {420, 700}) {
    SCOPED_TRACE(ver);
    TJwwData read, back;
    ASSERT_TRUE(read.FileInBytes(old.data(), old.size()));
    EXPECT_EQ(read.EntColS[2].aPenColor, 0);  // nothing in the file
    const Bytes b = WriteToBytes(read, ver);
    EXPECT_EQ(read.EntColS[2].aPenColor, 0);  // the document keeps its own
    ASSERT_TRUE(back.FileInBytes(b.data(), b.size()));
    EXPECT_EQ(back.EntColS[2].aPenColor, 0x0000FF);  // red
    EXPECT_EQ(back.EntColS[16].aPrtPenColor, 0x808080);
    EXPECT_EQ(back.EntColS[32].aPenColor, 0xC0C0C0);
    EXPECT_EQ(back.EntColS[33].aPenColor, 0);
    EXPECT_EQ(back.EntColS[256].anPrtPenWidth, 18);
    EXPECT_EQ(back.EntColS[0].adPrtTenHankei, 0.18);
    EXPECT_EQ(back.EntColS[1].astrUDColorName, u"Color_1");
    EXPECT_EQ(back.EntLtpS[2].alLType, static_cast<std::int32_t>(0xFE3FFE3Fu));
    EXPECT_EQ(back.EntLtpS[7].anPrtTokushuSenPich, 7);
    EXPECT_EQ(back.EntLtpS[15].anUDLTypeSegment, 10);
    EXPECT_EQ(back.EntLtpS[9].aadUDLTypePitch[3], 3.5);
    EXPECT_EQ(back.EntLtpS[9].astrUDLTypeName, u"LType_9");
  }
  MakeEmptyDrawing(d, 420);
  const Bytes own = WriteToBytes(d, 700);
  TJwwData back;
  ASSERT_TRUE(back.FileInBytes(own.data(), own.size()));
  EXPECT_EQ(back.EntColS, d.EntColS);
}

TEST(FileIn, EveryPrefixOfADrawingReadsWithoutHarm) {
  ScratchDir dir;
  TJwwData d;
  MakeRichDrawing(d);
  WriteFileBytes(dir.file("pic.bmp"), Bytes(300, 0x42));
  d.BindImageFolder = dir.upath();
  d.BindImageExp = d.BindImageExr = true;
  d.BindImage = {{u"pic.bmp", 300, false}};
  Bytes whole = WriteToBytes(d, 700);
  ScratchDir images;
  TJwwData back;
  back.BindImageFolder = images.upath();
  back.BindImageExp = back.BindImageExr = true;
  // Cuts inside the header are covered by the header's own test; here a few
  // of them, then every cut from the entity list on.
  TJwwData probe;
  ASSERT_TRUE(probe.FileInBytes(whole.data(), whole.size()));
  const std::size_t body = probe.Status().entities;
  for (std::size_t n = 0; n <= whole.size(); n += (n + 16 < body ? 997 : 1)) {
    bool ok = back.FileInBytes(whole.data(), n);
    EXPECT_EQ(ok, n == whole.size()) << n;
    if (!ok) {
      EXPECT_NE(back.Status().failure, TReadFailure::kNone);
    }
  }
  EXPECT_EQ(back.BindImage.size(), 1u);
  EXPECT_EQ(ReadFileBytes(images.file("pic.bmp")), Bytes(300, 0x42));
}

TEST(FileIn, CutInsideTheLastEntityKeepsTheOthers) {
  ScratchDir dir;
  TJwwData d;
  MakeEmptyDrawing(d);
  for (int i = 0; i < 3; ++i)
    AddLine(d, Line(i, 0, i, 1));
  Bytes b = WriteToBytes(d, 700);
  TJwwData probe;
  probe.FileInBytes(b.data(), b.size());
  // Cut the file right after the third line's tag.
  std::size_t cut = probe.Status().entities + 2 + 14 + 47 + 2 + 47 + 2;
  TJwwData back;
  EXPECT_FALSE(back.FileInBytes(b.data(), cut));
  EXPECT_EQ(back.EntLine.size(), 2u);
  ASSERT_EQ(back.EntNo.size(), 3u);
  EXPECT_EQ(back.EntNo[2].EntType, 0);  // the dropped entity leaves a zero entry
}

// A drawing of the header only, followed by the given bytes.
Bytes HeaderThen(const Bytes& tail, std::int32_t ver = 700) {
  ScratchDir dir;
  TJwwData d;
  MakeEmptyDrawing(d);
  Bytes b = WriteToBytes(d, ver);
  TJwwData probe;
  probe.FileInBytes(b.data(), b.size());
  b.resize(probe.Status().entities);
  b.insert(b.end(), tail.begin(), tail.end());
  return b;
}

TEST(FileIn, HostileListsEndQuicklyWithFalse) {
  struct Case {
    const char* what;
    Bytes tail;
    TReadFailure failure;
    TReadSection section;
  };
  using F = TReadFailure;
  using S = TReadSection;
  Bytes long_name = {1, 0, 0xFF, 0xFF, 0xBC, 0x02, 0x00, 0x08};
  long_name.resize(long_name.size() + 2048, 'A');
  const Case cases[] = {
      {"4 billion entities",
       {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       F::kEndsBeforeList,
       S::kEntityList},
      {"65535 entities", {0xFE, 0xFF}, F::kEndsBeforeList, S::kEntityList},
      {"unknown class",
       {1, 0, 0xFF, 0xFF, 0xBC, 2, 3, 0, 'A', 'B', 'C'},
       F::kUnknownClass,
       S::kEntityList},
      {"class name of 2048 bytes", long_name, F::kClassNameTooLong, S::kEntityList},
      {"tags naming nothing",
       {1, 0, 0x05, 0x80, 0x06, 0x80, 0x07, 0x80},
       F::kEndsBeforeList,
       S::kEntityList},
      {"no count", {}, F::kEndsBeforeCount, S::kEntityList},
      {"4 billion definitions",
       {0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       F::kEndsBeforeList,
       S::kBlockDefs},
      {"huge nested count",
       {0,   0, 1, 0, 0xFF, 0xFF, 0xBC, 2, 9, 0, 'C', 'D',  'a',  't',  'a',  'L',  'i', 's',
        't', 1, 0, 0, 0,    1,    1,    0, 0, 0, 0,   0,    0,    0,    0,    0,    0,   0,
        0,   0, 0, 0, 0,    0,    0,    0, 0, 0, 0,   0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       F::kEndsBeforeList,
       S::kBlockDefEntities},
      {"4 billion images", {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F}, F::kEndsBeforeList, S::kImages},
      {"image larger than the file",
       {0, 0, 0, 0, 1, 0, 0, 0, 1, 'a', 0xFF, 0xFF, 0xFF, 0x7F, 1},
       F::kEndsInImage,
       S::kImages},
  };
  ScratchDir images;
  for (const Case& c : cases) {
    Bytes b = HeaderThen(c.tail);
    TJwwData d;
    d.BindImageFolder = images.upath();
    d.BindImageExp = d.BindImageExr = true;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(d.FileInBytes(b.data(), b.size())) << c.what;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200)) << c.what;
    EXPECT_EQ(d.Status().failure, c.failure) << c.what;
    EXPECT_EQ(d.Status().section, c.section) << c.what;
  }
  EXPECT_TRUE(std::filesystem::is_empty(images.path()));
}

TEST(FileIn, RefusedFilesAndMissingFiles) {
  TJwwData d;
  d.Enthd.nZumen = 5;
  EXPECT_FALSE(d.FileIn(u"/nonexistent/x.jww"));
  EXPECT_EQ(d.Enthd.nZumen, 0);
  EXPECT_EQ(d.Status().failure, TReadFailure::kCannotOpen);
  EXPECT_EQ(d.Status().file.error, platform::TFileError::kNotFound);
  Bytes junk = {'J', 'w', 'w', 'D', 'a', 't', 'a', '.', 0xBD, 0x02, 0, 0};
  EXPECT_FALSE(d.FileInBytes(junk.data(), junk.size()));
  EXPECT_EQ(d.Status().failure, TReadFailure::kVersion);
  EXPECT_EQ(d.Status().section, TReadSection::kHeader);
  EXPECT_EQ(d.Status().version, 701);
}

TEST(FileIn, ReadingTwiceGivesTheSameDocumentAndClearsOptions) {
  TJwwData d;
  MakeRichDrawing(d);
  Bytes b = WriteToBytes(d, 700);
  TJwwData a, c;
  ASSERT_TRUE(a.FileInBytes(b.data(), b.size()));
  c.SetFileOutOption(32);
  ASSERT_TRUE(c.FileInBytes(b.data(), b.size()));
  ASSERT_TRUE(c.FileInBytes(b.data(), b.size()));
  EXPECT_EQ(c.FileOutOpt, 0);
  EXPECT_EQ(a.EntNo, c.EntNo);
  EXPECT_EQ(a.EntMoji, c.EntMoji);
  EXPECT_EQ(a.EntBlockDef, c.EntBlockDef);
}

TEST(FileOut, ASinkThatRefusesBytesFailsTheWrite) {
  TJwwData d;
  MakeRichDrawing(d);
  const std::size_t size = WriteToBytes(d, 700).size();
  for (std::size_t limit : {std::size_t{0}, std::size_t{12}, size / 2, size - 1}) {
    FailingSink sink(limit);
    EXPECT_FALSE(d.FileOutTo(sink, 700)) << limit;
    EXPECT_EQ(d.WriteFailure(), TWriteFailure::kNotStored) << limit;
    EXPECT_FALSE(d.WriteStatus().ok()) << limit;
  }
  FailingSink enough(size);
  EXPECT_TRUE(d.FileOutTo(enough, 700));
  EXPECT_EQ(d.WriteFailure(), TWriteFailure::kNone);
  EXPECT_TRUE(d.WriteStatus().ok());
}

// What a read records and what the writer substitutes belong to each document.
TEST(FileInOut, DrawingInfoAndSubstitutionBelongToTheDocument) {
  TJwwData d;
  MakeEmptyDrawing(d);
  d.Enthd.strMemo = u"A\r\nB\r\nC";
  d.Enthd.lnDrawTime = 3725;
  d.Enthd.dPrtBairitsu = 2.5;
  TEntJwwMoji text;
  text.str = u"%%b";
  d.EntMoji = {text};
  d.EntNo = {{kEntMoji, 0}};
  TJwwData read;
  const Bytes plain = WriteToBytes(d, 700);
  ASSERT_TRUE(read.FileInBytes(plain.data(), plain.size()));
  EXPECT_EQ(read.DrawingInfo.JwwDrawTime, u"1 : 02");
  EXPECT_EQ(read.DrawingInfo.JwwMemo1, u"A");
  EXPECT_EQ(read.DrawingInfo.JwwMemo2, u"B\r\nC");
  EXPECT_EQ(read.DrawingInfo.JwwMemo, u"A\u3000B\r\nC");
  EXPECT_EQ(read.DrawingInfo.JwwPrtBairitsu, 2.5);
  EXPECT_EQ(d.DrawingInfo.JwwPrtBairitsu, 1.0);  // another document is not touched
  EXPECT_EQ(read.EntMoji[0].str, u"%%b");

  d.FileOutSubstitution = {1, {{u"%%a", u"1"}, {u"%%b", u"2"}}};
  d.SetFileOutOption(0x10);
  const Bytes substituted = WriteToBytes(d, 700);
  ASSERT_TRUE(read.FileInBytes(substituted.data(), substituted.size()));
  EXPECT_EQ(read.EntMoji[0].str, u"2");
  EXPECT_EQ(read.DrawingInfo.JwwMemo1, u"A");
  EXPECT_EQ(read.FileOutSubstitution.on, 0);  // the reader's own table is untouched
}

TEST(FileOut, FailureLeavesTheTargetAsItWas) {
  ScratchDir dir;
  TJwwData d;
  MakeRichDrawing(d);
  EXPECT_FALSE(d.FileOut(dir.file("missing/out.jww"), 700));
  EXPECT_EQ(d.WriteFailure(), TWriteFailure::kFile);
  EXPECT_EQ(d.WriteStatus().error, platform::TFileError::kNotFound);
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "missing"));

  TJwwData empty;
  EXPECT_FALSE(empty.FileOut(dir.file("never.jww"), 700));
  EXPECT_EQ(empty.WriteFailure(), TWriteFailure::kNoDrawing);
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "never.jww"));

  // A target that is a folder is refused and left alone.
  std::filesystem::create_directory(dir.path() + "folder.jww");
  EXPECT_FALSE(d.FileOut(dir.file("folder.jww"), 700));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() + "folder.jww"));

  // Saving over an existing file replaces it only when the write succeeds, and
  // keeps its permissions.
  const std::u16string target = dir.file("keep.jww");
  WriteFileBytes(target, Bytes{1, 2, 3});
#ifndef _WIN32  // rights are no mode bits on Windows
  chmod((dir.path() + "keep.jww").c_str(), 0640);
#endif
  ASSERT_TRUE(d.FileOut(target, 700));
#ifndef _WIN32
  struct stat st {};
  stat((dir.path() + "keep.jww").c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif
  EXPECT_GT(ReadFileBytes(target).size(), 3u);
  std::size_t files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path()))
    files += e.is_regular_file();
  EXPECT_EQ(files, 1u);  // no temporary file left beside it
}

Bytes Gzip(const Bytes& raw) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  Bytes out(raw.size() + 1024);
  z.next_in = const_cast<std::uint8_t*>(raw.data());
  z.avail_in = static_cast<uInt>(raw.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

TEST(Images, ReferencedImagesAreMarkedWrittenAndExtracted) {
  ScratchDir src, dst;
  TJwwData d;
  MakeEmptyDrawing(d);
  d.BindImageFolder = src.upath();
  d.BindImageExp = d.BindImageExr = true;
  const Bytes pic = Gzip(Bytes(5000, 'p'));
  WriteFileBytes(src.file("other.bmp"), Bytes(10, 'o'));
  WriteFileBytes(src.file("PIC.BMP.gz"), pic);
  WriteFileBytes(src.file("gone.bmp"), Bytes(10, 'g'));
  d.BindImage = {{u"other.bmp", 10, false},
                 {u"PIC.BMP.gz", static_cast<std::int32_t>(pic.size()), false},
                 {u"gone.bmp", 10, false},
                 {u"", 0, false}};
  AddText(d, Text(u"^@BM%temp%pic.bmp,1,2"));
  AddText(d, Text(u"^@BM%temp%pic.bmp,3,4"));     // the same image twice: written once
  AddText(d, Text(u"^@BMC:\\img\\other.bmp,1"));  // a full path marks nothing
  AddText(d, Text(u"^@BM%temp%other.bmp"));       // no comma: marks nothing
  AddText(d, Text(u"^@BM%temp%gone.bmp,1"));
  std::filesystem::remove(src.path() + "gone.bmp");  // referenced but missing
  ASSERT_TRUE(d.FileOut(dst.file("out.jww"), 700));
  EXPECT_FALSE(d.BindImage[0].exf);
  EXPECT_TRUE(d.BindImage[1].exf);
  EXPECT_FALSE(d.BindImage[2].exf);

  TJwwData back;
  back.BindImageFolder = dst.upath();
  back.BindImageExp = back.BindImageExr = true;
  ASSERT_TRUE(back.FileIn(dst.file("out.jww")));
  ASSERT_EQ(back.BindImage.size(), 1u);
  EXPECT_EQ(back.BindImage[0].Fname, u"PIC.BMP.gz");
  EXPECT_EQ(back.BindImage[0].Fsize, static_cast<std::int32_t>(pic.size()));
  EXPECT_EQ(ReadFileBytes(dst.file("PIC.BMP.gz")), pic);
  back.BindImageExplode();
  EXPECT_EQ(ReadFileBytes(dst.file("PIC.BMP")), Bytes(5000, 'p'));
  back.BindImageDeleteNonGzFile();
  EXPECT_FALSE(std::filesystem::exists(dst.path() + "PIC.BMP"));
  EXPECT_TRUE(std::filesystem::exists(dst.path() + "PIC.BMP.gz"));
  back.BindImageDeleteGzFile();
  EXPECT_FALSE(std::filesystem::exists(dst.path() + "PIC.BMP.gz"));

  // Version 600 carries no images; the list stays empty.
  ASSERT_TRUE(d.FileOut(dst.file("old.jww"), 600));
  TJwwData old;
  old.BindImageFolder = dst.upath();
  old.BindImageExp = true;
  ASSERT_TRUE(old.FileIn(dst.file("old.jww")));
  EXPECT_TRUE(old.BindImage.empty());
}

TEST(Images, KeptImagesStayInMemoryUntilWrittenOut) {
  ScratchDir src, dst, none;
  TJwwData d;
  MakeEmptyDrawing(d);
  d.BindImageFolder = src.upath();
  d.BindImageExp = d.BindImageExr = true;
  const Bytes pic = Gzip(Bytes(3000, 'q'));
  WriteFileBytes(src.file("a.bmp"), Bytes(10, 'a'));
  WriteFileBytes(src.file("b.bmp.gz"), pic);
  d.BindImage = {{u"a.bmp", 10, false},
                 {u"b.bmp.gz", static_cast<std::int32_t>(pic.size()), false}};
  AddText(d, Text(u"^@BM%temp%a.bmp,1"));
  AddText(d, Text(u"^@BM%temp%b.bmp,1"));
  ASSERT_TRUE(d.FileOut(dst.file("out.jww"), 700));

  // Kept, not extracted, even with a folder and extraction asked for.
  TJwwData kept;
  kept.BindImageFolder = none.upath();
  kept.BindImageExp = kept.BindImageKeep = true;
  ASSERT_TRUE(kept.FileIn(dst.file("out.jww")));
  EXPECT_TRUE(std::filesystem::is_empty(none.path()));
  ASSERT_EQ(kept.BindImage.size(), 2u);
  ASSERT_EQ(kept.BindImageBytes.size(), 2u);
  EXPECT_EQ(kept.BindImageBytes[0], Bytes(10, 'a'));
  EXPECT_EQ(kept.BindImageBytes[1], pic);

  // Written out, they are the files reading would have extracted.
  ScratchDir folder;
  kept.BindImageFolder = folder.upath();
  kept.BindImageWriteKept();
  EXPECT_TRUE(kept.BindImageBytes.empty());
  EXPECT_EQ(ReadFileBytes(folder.file("a.bmp")), Bytes(10, 'a'));
  EXPECT_EQ(ReadFileBytes(folder.file("b.bmp.gz")), pic);

  // An image cut short keeps its row but no bytes.
  Bytes file = ReadFileBytes(dst.file("out.jww"));
  file.resize(file.size() - 5);
  TJwwData cut;
  cut.BindImageKeep = true;
  EXPECT_FALSE(cut.FileInBytes(file.data(), file.size()));
  ASSERT_EQ(cut.BindImage.size(), 2u);
  ASSERT_EQ(cut.BindImageBytes.size(), 2u);
  EXPECT_TRUE(cut.BindImageBytes[1].empty());
}

TEST(FileIn, SwappedContentsLeaveFoldersAndOptions) {
  TJwwData rich;
  MakeRichDrawing(rich);
  const Bytes b = WriteToBytes(rich, 700);
  TJwwData a, c, expected;
  ASSERT_TRUE(a.FileInBytes(b.data(), b.size()));
  ASSERT_TRUE(expected.FileInBytes(b.data(), b.size()));
  a.BindImageFolder = u"/a/";
  c.BindImageFolder = u"/c/";
  c.BindImageKeep = true;
  c.Enthd.nZumen = 4;
  c.SwapContents(a);
  EXPECT_EQ(a.BindImageFolder, u"/a/");
  EXPECT_EQ(c.BindImageFolder, u"/c/");
  EXPECT_TRUE(c.BindImageKeep);
  EXPECT_FALSE(a.BindImageKeep);
  EXPECT_EQ(a.Enthd.nZumen, 4);
  EXPECT_TRUE(a.EntNo.empty());
  c.BindImageFolder = expected.BindImageFolder;
  const Bytes swapped = WriteToBytes(c, 700);
  EXPECT_FALSE(swapped.empty());
  EXPECT_EQ(swapped, WriteToBytes(expected, 700));
}

TEST(Images, ATextInsideABlockMarksItsImage) {
  ScratchDir src, dst;
  TJwwData d;
  MakeRichDrawing(d);  // its inner block shows pic.bmp
  d.BindImageFolder = src.upath();
  d.BindImageExp = true;
  WriteFileBytes(src.file("pic.bmp"), Bytes(7, 'x'));
  d.BindImage = {{u"pic.bmp", 7, false}};
  ASSERT_TRUE(d.FileOut(dst.file("out.jww"), 700));
  EXPECT_TRUE(d.BindImage[0].exf);
  d.BindImageExp = false;  // without either flag no image is written
  ASSERT_TRUE(d.FileOut(dst.file("out2.jww"), 700));
  EXPECT_FALSE(d.BindImage[0].exf);
}

// Builds an image section by hand: each row a name and its bytes.
Bytes ImageSection(const std::vector<std::pair<std::string, Bytes>>& rows) {
  Bytes b = {0, 0, 0, 0};  // no entities, no definitions
  std::uint32_t n = static_cast<std::uint32_t>(rows.size());
  b.insert(b.end(), {std::uint8_t(n), std::uint8_t(n >> 8), 0, 0});
  for (const auto& [name, bytes] : rows) {
    if (name.size() < 255) {
      b.push_back(static_cast<std::uint8_t>(name.size()));
    } else {
      b.insert(b.end(), {0xFF, std::uint8_t(name.size()), std::uint8_t(name.size() >> 8)});
    }
    b.insert(b.end(), name.begin(), name.end());
    std::uint32_t s = static_cast<std::uint32_t>(bytes.size());
    b.insert(b.end(), {std::uint8_t(s), std::uint8_t(s >> 8), std::uint8_t(s >> 16), 0});
    b.insert(b.end(), bytes.begin(), bytes.end());
  }
  return b;
}

TEST(Images, NamesThatLeaveTheFolderAreDropped) {
  ScratchDir images;
  const std::string outside = images.path() + "../plattero-outside-test";
  std::filesystem::remove(outside);
  Bytes b = HeaderThen(ImageSection({{"../plattero-outside-test", Bytes(4, 1)},
                                     {"/etc/x", Bytes(4, 2)},
                                     {"a\\..\\..\\x", Bytes(4, 3)},
                                     {"C:x", Bytes(4, 4)},
                                     {"..", Bytes(4, 5)},
                                     {"", {}},
                                     {std::string(65535, 'n'), Bytes(4, 6)},
                                     {"ok.bmp", Bytes(4, 7)}}));
  TJwwData d;
  d.BindImageFolder = images.upath();
  d.BindImageExp = d.BindImageExr = true;
  EXPECT_TRUE(d.FileInBytes(b.data(), b.size()));
  std::vector<std::u16string> names;
  for (auto& row : d.BindImage)
    names.push_back(row.Fname);
  // A name too long for the file system cannot be created; its row stays,
  // like any image that could not be written.
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0], u"");
  EXPECT_EQ(names[1].size(), 65535u);
  EXPECT_EQ(names[2], u"ok.bmp");
  EXPECT_FALSE(std::filesystem::exists(outside));
  EXPECT_EQ(ReadFileBytes(images.file("ok.bmp")), Bytes(4, 7));
}

}  // namespace
}  // namespace plattero
