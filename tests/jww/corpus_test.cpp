// Real drawings written by Jw_cad: each is read, written again with its own
// version and compared byte for byte. The only bytes allowed to differ are
// the extended colour and line-type names and values, which the writer stores
// with its documented defaults; those are checked field by field.

#include <gtest/gtest.h>

#include <filesystem>

#include "jww_test_util.h"
#include "util/numbers.h"

namespace plattero {
namespace {

using namespace testing_jww;

std::vector<std::filesystem::path> CorpusFiles() {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  if (!std::filesystem::is_directory(PLATTERO_CORPUS_DIR, ec)) return files;
  for (auto& e : std::filesystem::recursive_directory_iterator(PLATTERO_CORPUS_DIR, ec)) {
    if (e.is_regular_file() && e.path().extension() == ".jww") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The extended tables as the writer stores them.
void NormaliseExtendedTables(TJwwData& d) {
  for (int i = 0; i < kColorExCount; ++i) {
    TEntJwwColorExNo& c = d.EntColS[i];
    c.astrUDColorName = RemoveBreakMarks(c.astrUDColorName);
    if (RemoveSpaces(c.astrUDColorName).empty()) c.astrUDColorName = u"Color_" + IntStr(i);
    if (i >= 17) c.aPrtPenColor = c.aPenColor;
  }
  for (int i = 0; i < kLineTypeExCount; ++i) {
    TEntJwwLineTypeExNo& t = d.EntLtpS[i];
    const bool user = t.anUDLTypeSegment == 2 || t.anUDLTypeSegment == 4 ||
                      t.anUDLTypeSegment == 6 || t.anUDLTypeSegment == 8;
    if (i >= 17 && !user) {
      t.alLType = static_cast<std::int32_t>(0xC3C3C3C3u);
      t.anTokushuSenUintDot = 8;
      t.anTokushuSenPich = 1;
      t.anPrtTokushuSenPich = 8;
      t.astrUDLTypeName = u"LType_" + IntStr(i);
      t.anUDLTypeSegment = 2;
      t.aadUDLTypePitch = {};
      t.aadUDLTypePitch[1] = t.aadUDLTypePitch[2] = 1.0;
      continue;
    }
    if (t.alLType == 0) t.alLType = -1;
    t.astrUDLTypeName = RemoveBreakMarks(t.astrUDLTypeName);
    if (RemoveSpaces(t.astrUDLTypeName).empty()) t.astrUDLTypeName = u"LType_" + IntStr(i);
  }
}

Bytes Slice(const Bytes& b, std::size_t from, std::size_t to) {
  return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
               b.begin() + static_cast<std::ptrdiff_t>(to));
}

TEST(Corpus, EveryDrawingReadsAndRewritesAsJwCadWroteIt) {
  const auto files = CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "no corpus at " << PLATTERO_CORPUS_DIR;
  ScratchDir images;
  for (const auto& path : files) {
    SCOPED_TRACE(testing::PathUtf8(path));
    const Bytes original = ReadFileBytes(Utf8ToUtf16(testing::PathUtf8(path)));
    TJwwData doc;
    doc.BindImageFolder = images.upath();
    doc.BindImageExp = doc.BindImageExr = true;
    ASSERT_TRUE(doc.FileIn(Utf8ToUtf16(testing::PathUtf8(path)))) << doc.Status().offset;
    const TJwwReadStatus in = doc.Status();
    doc.SetFileOutOption(doc.MojiEncode ? 0x20 : 0);
    Bytes written = WriteToBytes(doc, doc.Enthd.jwVer);
    ASSERT_FALSE(written.empty());

    TJwwData back;
    ASSERT_TRUE(back.FileInBytes(written.data(), written.size()));
    const TJwwReadStatus re = back.Status();
    if (doc.Enthd.jwVer < 420) {
      EXPECT_EQ(written, original);
      continue;
    }
    // Byte for byte before and after the extended names.
    EXPECT_EQ(Slice(written, 0, re.ext_names_begin), Slice(original, 0, in.ext_names_begin));
    EXPECT_EQ(Slice(written, re.ext_names_end, written.size()),
              Slice(original, in.ext_names_end, original.size()));
    // Between them, exactly the writer's defaults.
    NormaliseExtendedTables(doc);
    EXPECT_EQ(back.EntColS, doc.EntColS);
    EXPECT_EQ(back.EntLtpS, doc.EntLtpS);

    // Written as version 700, every record survives.
    TJwwData v700;
    Bytes as700 = WriteToBytes(doc, 700);
    ASSERT_TRUE(v700.FileInBytes(as700.data(), as700.size()));
    EXPECT_EQ(v700.EntNo, doc.EntNo);
    EXPECT_EQ(v700.EntLine, doc.EntLine);
    EXPECT_EQ(v700.EntEnko, doc.EntEnko);
    EXPECT_EQ(v700.EntTen, doc.EntTen);
    EXPECT_EQ(v700.EntMoji, doc.EntMoji);
    EXPECT_EQ(v700.EntSunpo, doc.EntSunpo);
    EXPECT_EQ(v700.EntSolid, doc.EntSolid);
    EXPECT_EQ(v700.EntBlock, doc.EntBlock);
    EXPECT_EQ(v700.EntBlockDef, doc.EntBlockDef);
    TEntJwwHeader h = v700.Enthd;
    h.jwVer = doc.Enthd.jwVer;
    EXPECT_EQ(h, doc.Enthd);
    EXPECT_EQ(v700.EntLay, doc.EntLay);
    EXPECT_EQ(v700.EntLgrp, doc.EntLgrp);
  }
}

// A drawing Jw_cad saved in its 3.51 format, and Jw_cad's own save of it as
// 7.00: ours, written as 700, must carry the header Jw_cad gave it, tables
// included. Both pass through our writer, so that its rules apply alike;
// only the names of the extended tables differ (Jw_cad names its colours and
// line types, ours get the writer's names).
TEST(JwCadUpgrade, OldDrawingWrittenAs700GetsJwCadsTables) {
  const std::filesystem::path dir =
      std::filesystem::path(PLATTERO_CORPUS_DIR).parent_path() / "jwcad-upgrade";
  const std::filesystem::path old = dir / "drawing-v351.jww";
  const std::filesystem::path saved = dir / "drawing-v351-saved-by-jwcad-v700.jww";
  std::error_code ec;
  if (!std::filesystem::is_regular_file(old, ec) || !std::filesystem::is_regular_file(saved, ec))
    GTEST_SKIP() << "no drawings at " << testing::PathUtf8(dir);
  auto written_as_700 = [&](const std::filesystem::path& path, TJwwData& back) {
    TJwwData doc;
    ASSERT_TRUE(doc.FileIn(Utf8ToUtf16(testing::PathUtf8(path)))) << doc.Status().offset;
    const Bytes b = WriteToBytes(doc, 700);
    ASSERT_TRUE(back.FileInBytes(b.data(), b.size()));
    for (TEntJwwColorExNo& c : back.EntColS)
      c.astrUDColorName.clear();
    for (TEntJwwLineTypeExNo& t : back.EntLtpS)
      t.astrUDLTypeName.clear();
  };
  TJwwData ours, jwcad;
  written_as_700(old, ours);
  written_as_700(saved, jwcad);
  // What Jw_cad changes with every save: the drawing time and the bytes it
  // keeps between the layers and the dimension settings.
  ours.Enthd.lnDrawTime = jwcad.Enthd.lnDrawTime;
  ours.Enthd.abReserved1 = jwcad.Enthd.abReserved1;
  ours.Enthd.abReserved2 = jwcad.Enthd.abReserved2;
  EXPECT_TRUE(ours.Enthd == jwcad.Enthd);
  ExpectSameList(ours.EntColS, jwcad.EntColS, "EntColS");
  ExpectSameList(ours.EntLtpS, jwcad.EntLtpS, "EntLtpS");
  ExpectSameList(ours.EntCol, jwcad.EntCol, "EntCol");
  ExpectSameList(ours.EntLtp1, jwcad.EntLtp1, "EntLtp1");
  ExpectSameList(ours.EntLtp2, jwcad.EntLtp2, "EntLtp2");
  ExpectSameList(ours.EntLtp3, jwcad.EntLtp3, "EntLtp3");
  ExpectSameList(ours.EntMoj, jwcad.EntMoj, "EntMoj");
}

}  // namespace
}  // namespace plattero
