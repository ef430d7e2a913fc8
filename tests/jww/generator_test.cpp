// The synthetic drawings survive a write and a read unchanged, and a drawing
// read back is written again byte for byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "drawing_builder.h"
#include "jww/jww_data.h"
#include "jww_test_util.h"
#include "test_system.h"
#include "util/text.h"

namespace plattero {
namespace {

using testing::BuildDrawing;
using testing::DrawingSpec;
using testing::TempDir;
using testing_jww::ExpectSameList;

std::vector<char> FileBytes(const std::string& path) {
  std::ifstream in(testing::FsPath(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void ExpectSameDocument(const TJwwData& a, const TJwwData& b) {
  EXPECT_TRUE(a.Enthd == b.Enthd) << "header";
  ExpectSameList(a.EntLgrp, b.EntLgrp, "EntLgrp");
  ExpectSameList(a.EntLay, b.EntLay, "EntLay");
  ExpectSameList(a.EntCol, b.EntCol, "EntCol");
  ExpectSameList(a.EntLtp1, b.EntLtp1, "EntLtp1");
  ExpectSameList(a.EntLtp2, b.EntLtp2, "EntLtp2");
  ExpectSameList(a.EntLtp3, b.EntLtp3, "EntLtp3");
  ExpectSameList(a.EntColS, b.EntColS, "EntColS");
  ExpectSameList(a.EntLtpS, b.EntLtpS, "EntLtpS");
  ExpectSameList(a.EntMoj, b.EntMoj, "EntMoj");
  ExpectSameList(a.EntNo, b.EntNo, "EntNo");
  ExpectSameList(a.EntLine, b.EntLine, "EntLine");
  ExpectSameList(a.EntEnko, b.EntEnko, "EntEnko");
  ExpectSameList(a.EntTen, b.EntTen, "EntTen");
  ExpectSameList(a.EntMoji, b.EntMoji, "EntMoji");
  ExpectSameList(a.EntSunpo, b.EntSunpo, "EntSunpo");
  ExpectSameList(a.EntSolid, b.EntSolid, "EntSolid");
  ExpectSameList(a.EntBlock, b.EntBlock, "EntBlock");
  ExpectSameList(a.EntBlockDef, b.EntBlockDef, "EntBlockDef");
  ExpectSameList(a.EntBlockTree, b.EntBlockTree, "EntBlockTree");
  EXPECT_EQ(a.EntBlockNum, b.EntBlockNum);
  EXPECT_EQ(a.MojiEncode, b.MojiEncode);
}

DrawingSpec MixedSpec(std::int32_t version) {
  DrawingSpec s;
  s.version = version;
  s.lines = 300;
  s.arcs = 120;
  s.points = 80;
  s.texts = 100;
  s.dimensions = 40;
  s.solids = 60;
  s.block_defs = 9;
  s.block_refs = 25;
  s.nesting = 3;
  s.images = 3;
  s.curve_numbers = 12;
  s.seed = static_cast<std::uint32_t>(version);
  return s;
}

struct RoundTripCase {
  const char* name;
  DrawingSpec spec;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) {
  *os << c.name;
}

class GeneratorRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// Build, write, read into a second document (images extracted into a second
// folder), compare, write again and compare the bytes.
TEST_P(GeneratorRoundTrip, ReadBackEqualsAndRewritesIdentically) {
  const DrawingSpec& spec = GetParam().spec;
  TempDir dir, images_in, images_out;
  TJwwData built;
  built.BindImageFolder = images_in.upath();
  BuildDrawing(spec, built);
  built.SetFileOutOption(spec.utf16 ? 32 : 0);
  ASSERT_TRUE(built.FileOut(dir.ufile("a.jww"), spec.version));

  TJwwData read;
  read.BindImageFolder = images_out.upath();
  read.BindImageExp = true;
  ASSERT_TRUE(read.FileIn(dir.ufile("a.jww"))) << read.Status().offset;
  ExpectSameDocument(built, read);

  // Images: the same rows (exf is the writer's mark) and the same bytes.
  ASSERT_EQ(built.BindImage.size(), read.BindImage.size());
  for (std::size_t i = 0; i < built.BindImage.size(); ++i) {
    EXPECT_TRUE(built.BindImage[i].exf) << "image " << i << " was not written";
    EXPECT_EQ(built.BindImage[i].Fname, read.BindImage[i].Fname);
    EXPECT_EQ(built.BindImage[i].Fsize, read.BindImage[i].Fsize);
    const std::string name = Utf16ToUtf8(built.BindImage[i].Fname);
    EXPECT_EQ(FileBytes(images_in.file(name)), FileBytes(images_out.file(name)));
  }

  read.SetFileOutOption(read.MojiEncode ? 32 : 0);
  ASSERT_TRUE(read.FileOut(dir.ufile("b.jww"), spec.version));
  EXPECT_EQ(FileBytes(dir.file("a.jww")), FileBytes(dir.file("b.jww")));
}

std::vector<RoundTripCase> RoundTripCases() {
  std::vector<RoundTripCase> cases = {{"v700", MixedSpec(700)}, {"v600", MixedSpec(600)},
                                      {"v420", MixedSpec(420)}, {"v351", MixedSpec(351)},
                                      {"v350", MixedSpec(350)}, {"v300", MixedSpec(300)},
                                      {"v230", MixedSpec(230)}};
  DrawingSpec utf16 = MixedSpec(700);
  utf16.utf16 = true;
  cases.push_back({"v700_utf16", utf16});
  DrawingSpec latin = MixedSpec(700);
  latin.japanese = false;
  latin.nesting = 1;
  latin.paper = 14;
  cases.push_back({"v700_latin_flat", latin});
  // Counts above 0xFFFF take the escaped count form.
  DrawingSpec many;
  many.lines = 70000;
  many.texts = 10;
  cases.push_back({"v700_escaped_count", many});
  cases.push_back({"empty", DrawingSpec{}});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Versions, GeneratorRoundTrip, ::testing::ValuesIn(RoundTripCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// A newer drawing written as an older version loses what that version cannot
// hold, but what is read back is then written again byte for byte.
TEST(GeneratorDowngrade, OlderVersionRewritesIdentically) {
  for (std::int32_t ver : {600, 420, 400, 350, 300, 230}) {
    SCOPED_TRACE(ver);
    TempDir dir, images;
    TJwwData built;
    built.BindImageFolder = images.upath();
    BuildDrawing(MixedSpec(700), built);
    ASSERT_TRUE(built.FileOut(dir.ufile("a.jww"), ver));
    TJwwData read;
    ASSERT_TRUE(read.FileIn(dir.ufile("a.jww"))) << read.Status().offset;
    EXPECT_EQ(read.Enthd.jwVer, ver);
    ASSERT_TRUE(read.FileOut(dir.ufile("b.jww"), ver));
    EXPECT_EQ(FileBytes(dir.file("a.jww")), FileBytes(dir.file("b.jww")));
  }
}

TEST(GeneratorContent, EveryKindAndVariantIsPresent) {
  TempDir images;
  TJwwData doc;
  doc.BindImageFolder = images.upath();
  BuildDrawing(MixedSpec(700), doc);

  EXPECT_EQ(doc.EntLine.size(), 300u);
  EXPECT_EQ(doc.EntEnko.size(), 120u);
  EXPECT_EQ(doc.EntTen.size(), 80u);
  EXPECT_EQ(doc.EntMoji.size(), 100u + 3);  // one more text per image
  EXPECT_EQ(doc.EntSunpo.size(), 40u);
  EXPECT_EQ(doc.EntSolid.size(), 60u);
  EXPECT_EQ(doc.EntBlock.size(), 25u);
  EXPECT_EQ(doc.EntNo.size(), 300u + 120 + 80 + 103 + 40 + 60 + 25);

  // Mixed order: the first 50 entries are not all of one kind.
  bool mixed = false;
  for (std::size_t i = 1; i < 50; ++i)
    mixed |= doc.EntNo[i].EntType != doc.EntNo[0].EntType;
  EXPECT_TRUE(mixed);

  auto count_if = [](const auto& list, auto pred) {
    return std::count_if(list.begin(), list.end(), pred);
  };
  EXPECT_GT(count_if(doc.EntTen, [](const auto& t) { return t.att.nPenStyle == 100; }), 0);
  EXPECT_GT(count_if(doc.EntSolid, [](const auto& s) { return s.att.nPenColor == 10; }), 0);
  EXPECT_EQ(count_if(doc.EntSunpo, [](const auto& d) { return d.bSxfMode == 1; }), 40);
  EXPECT_EQ(
      count_if(doc.EntMoji, [](const auto& m) { return m.str.compare(0, 10, u"^@BM%temp%") == 0; }),
      3);
  EXPECT_GT(count_if(doc.EntMoji, [](const auto& m) { return m.strFontName == u"ＭＳ 明朝"; }), 0);

  // All curve numbers 1..12 occur, and no other non-zero one.
  std::vector<int> seen(13, 0);
  for (const auto& l : doc.EntLine) {
    ASSERT_LE(l.att.lGroup, 12u);
    seen[l.att.lGroup] = 1;
  }
  for (int g = 1; g <= 12; ++g)
    EXPECT_TRUE(seen[g]) << g;

  // Definitions: named, some with the marker, all reached, nested 3 deep.
  ASSERT_EQ(doc.EntBlockDef.size(), 9u);
  EXPECT_EQ(doc.EntBlockDef[0].strName, u"部品0");
  EXPECT_EQ(doc.EntBlockDef[3].strName.find(u"@@SfigorgFlag@@"), 3u);
  EXPECT_EQ(doc.EntBlockNum, 9);
  int max_level = 0;
  for (const auto& row : doc.EntBlockTree)
    max_level = std::max(max_level, row.level);
  EXPECT_EQ(max_level, 2);

  // Image files are gzip files holding a BMP.
  ASSERT_EQ(doc.BindImage.size(), 3u);
  std::vector<char> gz = FileBytes(images.file(Utf16ToUtf8(doc.BindImage[0].Fname)));
  ASSERT_GE(gz.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(gz[0]), 0x1F);
  EXPECT_EQ(static_cast<unsigned char>(gz[1]), 0x8B);
  doc.BindImageExplode();
  std::vector<char> bmp =
      FileBytes(images.file(Utf16ToUtf8(ChangeExt(doc.BindImage[0].Fname, u""))));
  ASSERT_GE(bmp.size(), 54u);
  EXPECT_EQ(std::string(bmp.begin(), bmp.begin() + 2), "BM");
}

TEST(GeneratorContent, DeterministicBySeed) {
  TempDir dir;
  DrawingSpec spec = MixedSpec(700);
  spec.images = 0;
  ASSERT_TRUE(testing::WriteDrawing(spec, dir.file("a.jww")));
  ASSERT_TRUE(testing::WriteDrawing(spec, dir.file("b.jww")));
  spec.seed += 1;
  ASSERT_TRUE(testing::WriteDrawing(spec, dir.file("c.jww")));
  EXPECT_EQ(FileBytes(dir.file("a.jww")), FileBytes(dir.file("b.jww")));
  EXPECT_NE(FileBytes(dir.file("a.jww")), FileBytes(dir.file("c.jww")));
}

TEST(GeneratorContent, ImagesNeedAnExistingFolder) {
  TJwwData doc;
  DrawingSpec spec;
  spec.images = 1;
  EXPECT_THROW(BuildDrawing(spec, doc), std::invalid_argument);
}

TEST(GeneratorTempDir, RemovesItsTreeWhenDestroyed) {
  std::string path;
  {
    TempDir dir;
    path = dir.path();
    ASSERT_EQ(path.back(), '/');
    std::filesystem::create_directories(dir.file("sub/deeper"));
    std::ofstream(dir.file("sub/deeper/f.txt")) << "x";
    EXPECT_TRUE(std::filesystem::exists(dir.file("sub/deeper/f.txt")));
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace plattero
