// Drawings nobody meant to make, generated here: cut at every byte, counts and
// lengths pointing past the end, endless tags, block cycles and explosions,
// unsafe image names, undecodable text and non-finite numbers. Each must read
// (and, once read, write) quickly without harm.

#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>

#include "drawing_builder.h"
#include "jww_test_util.h"
#include "tiling/tiling_engine.h"

namespace plattero {
namespace {

using namespace testing_jww;
using Clock = std::chrono::steady_clock;

constexpr auto kQuick = std::chrono::milliseconds(1000);

// A generated drawing with every entity kind, nested blocks, curve numbers and
// an image.
TJwwData& RichDrawing(TJwwData& d, const ScratchDir& images, std::int32_t ver, bool utf16) {
  d.BindImageFolder = images.upath();
  testing::DrawingSpec spec;
  spec.version = ver;
  spec.lines = spec.arcs = spec.points = spec.texts = spec.dimensions = spec.solids = 1;
  spec.block_defs = 3;
  spec.block_refs = 1;
  spec.nesting = 3;
  spec.images = ver >= 700 ? 1 : 0;
  spec.curve_numbers = 2;
  spec.utf16 = utf16;
  testing::BuildDrawing(spec, d);
  if (utf16) d.SetFileOutOption(32);
  return d;
}

// Reads bytes; when the reader kept a drawing, writes it and checks that the
// file reads back whole and writes back to the same bytes.
void ReadThenWriteBack(const Bytes& b, const ScratchDir& dir, const std::string& what) {
  TJwwData d;
  d.BindImageFolder = dir.upath();
  d.FileInBytes(b.data(), b.size());
  const std::u16string first = dir.file("first.jww");
  if (!d.FileOut(first, 700)) return;  // nothing was read that could be written
  TJwwData back;
  back.BindImageFolder = dir.upath();
  ASSERT_TRUE(back.FileIn(first)) << what << ": at byte " << back.Status().offset;
  ASSERT_TRUE(back.FileOut(dir.file("second.jww"), 700)) << what;
  EXPECT_EQ(ReadFileBytes(dir.file("second.jww")), ReadFileBytes(first)) << what;
}

TEST(Hostile, EveryPrefixOfOtherVersionsAndUtf16Strings) {
  ScratchDir images, dir;
  struct Variant {
    std::int32_t ver;
    bool utf16;
  };
  for (const Variant v : {Variant{600, false}, Variant{700, true}, Variant{300, false}}) {
    TJwwData d;
    RichDrawing(d, images, v.ver, v.utf16);
    const Bytes whole = WriteToBytes(d, v.ver);
    ASSERT_FALSE(whole.empty());
    TJwwData back;
    back.BindImageExr = true;  // read the image section too, without extracting
    for (std::size_t n = 0; n <= whole.size(); ++n) {
      const bool ok = back.FileInBytes(whole.data(), n);
      ASSERT_EQ(ok, n == whole.size()) << v.ver << " cut at " << n;
      if (n % 97 == 0) ReadThenWriteBack(Bytes(whole.begin(), whole.begin() + n), dir, "prefix");
    }
  }
}

// The bytes of an empty drawing of version ver up to its entity list,
// followed by `tail`.
Bytes HeaderThen(const Bytes& tail, std::int32_t ver = 700) {
  ScratchDir dir;
  TJwwData d;
  MakeEmptyDrawing(d, ver);
  Bytes b = WriteToBytes(d, ver);
  TJwwData probe;
  probe.FileInBytes(b.data(), b.size());
  b.resize(probe.Status().entities);
  b.insert(b.end(), tail.begin(), tail.end());
  return b;
}

Bytes U16(std::uint16_t v) {
  return {std::uint8_t(v), std::uint8_t(v >> 8)};
}
Bytes U32(std::uint32_t v) {
  return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}
// A new-class tag with a name of n bytes ('A').
Bytes ClassTag(std::size_t n, std::uint16_t declared) {
  Bytes b = Cat({U16(0xFFFF), U16(700), U16(declared)});
  b.resize(b.size() + n, 'A');
  return b;
}

TEST(Hostile, CountsNamesAndTagsThatPromiseMoreThanThereIs) {
  struct Case {
    const char* what;
    Bytes tail;
  };
  Bytes endless_refs = U16(0xFFFF);
  endless_refs.insert(endless_refs.end(), {0xFF, 0xFF, 0xFF, 0xFF});
  for (int i = 0; i < 200000; ++i) {
    const Bytes tag = i % 2 ? U16(0x8000 + 5) : Cat({U16(0x7FFF), U32(0x7FFFFFF0)});
    endless_refs.insert(endless_refs.end(), tag.begin(), tag.end());
  }
  Bytes endless_new = U16(0xFFFF);
  endless_new.insert(endless_new.end(), {0xFF, 0xFF, 0xFF, 0xFF});
  for (int i = 0; i < 20000; ++i) {
    const Bytes tag = ClassTag(3, 3);  // "AAA" names no class
    endless_new.insert(endless_new.end(), tag.begin(), tag.end());
  }
  const Case cases[] = {
      {"65535 entities, no data", U16(0xFFFF - 1)},
      {"escaped 65535 entities", Cat({U16(0xFFFF), U32(0xFFFF)})},
      {"4 billion entities", Cat({U16(0xFFFF), U32(0xFFFFFFFF)})},
      {"65535 definitions", Cat({U16(0), U16(0xFFFE)})},
      {"4 billion definitions", Cat({U16(0), U16(0xFFFF), U32(0xFFFFFFFF)})},
      {"class name of 2047 bytes", Cat({U16(1), ClassTag(2047, 2047)})},
      {"class name of 2048 bytes", Cat({U16(1), ClassTag(2048, 2048)})},
      {"class name of 65535 bytes", Cat({U16(1), ClassTag(65535, 65535)})},
      {"class name longer than the file", Cat({U16(1), ClassTag(10, 2000)})},
      {"references to nothing until the end", endless_refs},
      {"unknown classes until the end", endless_new},
  };
  std::vector<Case> all(std::begin(cases), std::end(cases));
  ScratchDir images;
  for (std::int32_t ver : {700, 600, 300}) {
    if (ver == 700) all.push_back({"4 billion images", Cat({U16(0), U16(0), U32(0x7FFFFFFF)})});
    if (ver == 600) all.pop_back();  // files before 700 have no image section
    for (const Case& c : all) {
      const Bytes b = HeaderThen(c.tail, ver);
      TJwwData d;
      d.BindImageFolder = images.upath();
      d.BindImageExp = d.BindImageExr = true;
      const auto start = Clock::now();
      EXPECT_FALSE(d.FileInBytes(b.data(), b.size())) << c.what << " " << ver;
      EXPECT_LT(Clock::now() - start, kQuick) << c.what << " " << ver;
      EXPECT_NE(d.Status().failure, TReadFailure::kNone) << c.what;
      EXPECT_LE(d.Status().offset, b.size()) << c.what;
    }
  }
  EXPECT_TRUE(std::filesystem::is_empty(images.path()));
}

TEntJwwBlock Ref(std::uint32_t n) {
  TEntJwwBlock b;
  b.att.nPenColor = 1;
  b.dBairitsuX = b.dBairitsuY = 1;
  b.nNumber = n;
  return b;
}

TEntJwwBlockDef Def(std::uint32_t n, std::vector<TEntJwwBlock> refs) {
  TEntJwwBlockDef d;
  d.nNumber = n;
  d.strName = u"部品" + Utf8ToUtf16(std::to_string(n));
  for (std::size_t i = 0; i < refs.size(); ++i)
    d.mNo.push_back({kEntBlock, static_cast<std::int32_t>(i)});
  d.mBlock = std::move(refs);
  return d;
}

TEST(Hostile, BlockCyclesAndExplosionsReadAndWriteQuickly) {
  struct Case {
    const char* what;
    std::vector<TEntJwwBlockDef> defs;
    std::size_t top_refs;
  };
  std::vector<TEntJwwBlockDef> levels;
  for (std::uint32_t level = 0; level < 10; ++level)
    levels.push_back(Def(level, level < 9 ? std::vector<TEntJwwBlock>(10, Ref(level + 1))
                                          : std::vector<TEntJwwBlock>{}));
  const Case cases[] = {
      {"a block placing itself", {Def(1, {Ref(1)})}, 1},
      {"two blocks placing each other", {Def(1, {Ref(2)}), Def(2, {Ref(1)})}, 1},
      {"ten levels placing the next ten times", levels, 10},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    for (std::int32_t ver : {700, 600}) {
      TJwwData d;
      MakeEmptyDrawing(d, ver);
      d.EntBlockDef = c.defs;
      for (std::size_t i = 0; i < c.top_refs; ++i) {
        d.EntNo.push_back({kEntBlock, static_cast<std::int32_t>(i)});
        d.EntBlock.push_back(Ref(c.defs[0].nNumber));
      }
      auto start = Clock::now();
      d.MakeBlockTree();
      ASSERT_TRUE(d.FileOut(dir.file("cycle.jww"), ver)) << c.what;
      EXPECT_LT(Clock::now() - start, kQuick) << c.what << " written";
      start = Clock::now();
      TJwwData back;
      ASSERT_TRUE(back.FileIn(dir.file("cycle.jww"))) << c.what;
      EXPECT_LT(Clock::now() - start, kQuick) << c.what << " read";
      EXPECT_EQ(back.EntBlockDef.size(), c.defs.size()) << c.what;
      EXPECT_EQ(back.EntBlock.size(), c.top_refs) << c.what;
      start = Clock::now();
      ASSERT_TRUE(back.FileOut(dir.file("again.jww"), ver)) << c.what;
      EXPECT_LT(Clock::now() - start, kQuick) << c.what << " written again";
      EXPECT_EQ(ReadFileBytes(dir.file("again.jww")), ReadFileBytes(dir.file("cycle.jww")));
    }
  }
}

// Builds an image section: each row a name (length given apart, so that it
// may lie) and its declared size and bytes.
struct ImageRow {
  Bytes name_field;  // length prefix and name bytes
  std::int32_t size;
  Bytes bytes;
};
Bytes NameField(const std::string& name) {
  Bytes b;
  if (name.size() < 255) {
    b.push_back(static_cast<std::uint8_t>(name.size()));
  } else if (name.size() < 0xFFFF) {
    b = Cat({{0xFF}, U16(static_cast<std::uint16_t>(name.size()))});
  } else {
    b = Cat({{0xFF}, U16(0xFFFF), U32(static_cast<std::uint32_t>(name.size()))});
  }
  b.insert(b.end(), name.begin(), name.end());
  return b;
}
Bytes ImageSection(const std::vector<ImageRow>& rows) {
  Bytes b = Cat({U16(0), U16(0), U32(static_cast<std::uint32_t>(rows.size()))});
  for (const ImageRow& r : rows) {
    b.insert(b.end(), r.name_field.begin(), r.name_field.end());
    const Bytes s = U32(static_cast<std::uint32_t>(r.size));
    b.insert(b.end(), s.begin(), s.end());
    b.insert(b.end(), r.bytes.begin(), r.bytes.end());
  }
  return b;
}

TEST(Hostile, ImageRowsStayInsideTheFolder) {
  ScratchDir parent;
  const std::string folder = parent.path() + "images/";
  std::filesystem::create_directory(folder);
  const std::vector<ImageRow> rows = {
      {NameField("../x"), 4, Bytes(4, 1)},
      {NameField("/etc/x"), 4, Bytes(4, 2)},
      {NameField("a\\..\\..\\x"), 4, Bytes(4, 3)},
      {NameField("C:x"), 4, Bytes(4, 4)},
      {NameField(""), 4, Bytes(4, 9)},  // an empty name carries no bytes: these are read as a row
      {NameField("neg.bmp"), -5, {}},
      {NameField("ok.bmp"), 3, Bytes(3, 7)},
  };
  const Bytes b = HeaderThen(ImageSection(rows));
  TJwwData d;
  d.BindImageFolder = Utf8ToUtf16(folder);
  d.BindImageExp = d.BindImageExr = true;
  d.FileInBytes(b.data(), b.size());
  EXPECT_FALSE(std::filesystem::exists(parent.path() + "x"));
  EXPECT_FALSE(std::filesystem::exists(folder + "x"));
  for (const auto& e : std::filesystem::directory_iterator(parent.path()))
    EXPECT_EQ(e.path().filename(), "images");
  for (const auto& e : std::filesystem::directory_iterator(folder))
    EXPECT_LE(e.path().filename().string().size(), 7u) << e.path();

  // A name of 70,000 bytes (longer than a length field holds) and a huge size.
  for (const Bytes& section :
       {ImageSection({{NameField(std::string(70000, 'n')), 4, Bytes(4, 5)}}),
        ImageSection({{NameField("huge.bmp"), 0x7FFFFFFF, Bytes(100, 6)}}),
        ImageSection({{NameField("neg.bmp"), std::numeric_limits<std::int32_t>::min(), {}},
                      {NameField("after.bmp"), 2, Bytes(2, 8)}})}) {
    const Bytes file = HeaderThen(section);
    TJwwData e;
    e.BindImageFolder = Utf8ToUtf16(folder);
    e.BindImageExp = e.BindImageExr = true;
    const auto start = Clock::now();
    e.FileInBytes(file.data(), file.size());
    EXPECT_LT(Clock::now() - start, kQuick);
    ReadThenWriteBack(file, parent, "image section");
  }
  EXPECT_FALSE(std::filesystem::exists(folder + "huge.bmp"));  // incomplete: not extracted
  EXPECT_EQ(ReadFileBytes(Utf8ToUtf16(folder + "after.bmp")), Bytes(2, 8));
}

TEST(Hostile, ImageNamesInMemoryAreWrittenSafely) {
  // A document whose image list holds names no file should have (as a front
  // end might build it) writes a file that reads back inside the folder.
  ScratchDir src, dst;
  TJwwData d;
  MakeEmptyDrawing(d);
  d.BindImageFolder = src.upath();
  d.BindImageExp = d.BindImageExr = true;
  WriteFileBytes(src.file("ok.bmp"), Bytes(5, 1));
  d.BindImage = {{u"../x", 4, false},
                 {u"/etc/x", 4, false},
                 {std::u16string(70000, u'n'), 4, false},
                 {u"ok.bmp", 5, false}};
  TEntJwwMoji m;
  m.str = u"^@BM%temp%ok.bmp,1,1";
  d.EntNo.push_back({kEntMoji, 0});
  d.EntMoji.push_back(m);
  ASSERT_TRUE(d.FileOut(dst.file("out.jww"), 700));
  TJwwData back;
  back.BindImageFolder = dst.upath();
  back.BindImageExp = true;
  ASSERT_TRUE(back.FileIn(dst.file("out.jww")));
  ASSERT_EQ(back.BindImage.size(), 1u);
  EXPECT_EQ(ReadFileBytes(dst.file("ok.bmp")), Bytes(5, 1));
}

// A drawing holding one text whose string is `marker`; returns its bytes and
// where the string's length prefix starts.
Bytes WithMarkerText(const std::u16string& marker, std::size_t& prefix_at, std::int32_t ver) {
  TJwwData d;
  MakeEmptyDrawing(d, ver);
  TEntJwwMoji m;
  m.att.nPenColor = 1;
  m.dSizeX = m.dSizeY = 2.5;
  m.str = marker;
  d.EntNo.push_back({kEntMoji, 0});
  d.EntMoji.push_back(m);
  Bytes b = WriteToBytes(d, ver);
  const std::string needle = Utf16ToUtf8(marker);
  auto it = std::search(b.begin(), b.end(), needle.begin(), needle.end());
  EXPECT_NE(it, b.end());
  prefix_at = static_cast<std::size_t>(it - b.begin()) - (needle.size() < 255 ? 1 : 3);
  return b;
}

TEST(Hostile, StringLengthsPastTheEndAndInvalidShiftJis) {
  ScratchDir dir;
  for (std::int32_t ver : {700, 300}) {
    std::size_t at = 0;
    const Bytes base = WithMarkerText(std::u16string(300, u'Q'), at, ver);
    const Bytes longer = Cat({Bytes(base.begin(), base.begin() + at), {0xFF}, U16(0xFFFE)});
    struct Case {
      const char* what;
      Bytes bytes;
    };
    const Case past_end[] = {
        {"65534 bytes declared", Cat({Bytes(base.begin(), base.begin() + at),
                                      {0xFF},
                                      U16(0xFFFD),
                                      Bytes(base.begin() + at + 3, base.end())})},
        {"UTF-16 string of 65535 units", Cat({longer, {0xFF}, U16(0xFFFF), Bytes(10, 'Q')})},
        {"length field cut", Bytes(base.begin(), base.begin() + at + 2)},
    };
    for (const Case& c : past_end) {
      TJwwData d;
      const auto start = Clock::now();
      EXPECT_FALSE(d.FileInBytes(c.bytes.data(), c.bytes.size())) << c.what;
      EXPECT_LT(Clock::now() - start, kQuick) << c.what;
      ReadThenWriteBack(c.bytes, dir, c.what);
    }

    // Bytes no Shift-JIS character has: lead bytes with bad trails, bytes
    // never used, a lead byte at the very end, a NUL inside.
    const Bytes invalid[] = {{0x81, 0x20}, {0xFF, 0xFE}, {0x80, 0xA0}, {0xFD, 0x40},
                             {0xEF, 0x7F}, {0x00, 0x41}, {0x82}};
    for (const Bytes& bad : invalid) {
      Bytes b = base;
      const std::size_t str = at + 3;
      std::copy(bad.begin(), bad.end(),
                b.begin() + static_cast<std::ptrdiff_t>(str + 299 - bad.size() + 1));
      TJwwData d;
      EXPECT_TRUE(d.FileInBytes(b.data(), b.size()));
      ASSERT_EQ(d.EntMoji.size(), 1u);
      ReadThenWriteBack(b, dir, "invalid Shift-JIS");
    }
  }
}

TEST(Hostile, NonFiniteCoordinatesAndSizesSurviveReadWriteAndTiling) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  testing::TempDir tmp, tmp2, files;
  for (const double bad : {nan, inf, -inf, std::numeric_limits<double>::max()}) {
    TJwwData d;
    testing::DrawingSpec spec;
    spec.lines = spec.arcs = spec.points = spec.texts = spec.dimensions = spec.solids = 2;
    spec.block_defs = 2;
    spec.block_refs = 2;
    spec.curve_numbers = 2;
    testing::BuildDrawing(spec, d);
    for (auto& l : d.EntLine)
      l.start_x = l.end_y = bad;
    for (auto& a : d.EntEnko) {
      a.dHankei = bad;
      a.radKaishiKaku = bad;
    }
    for (auto& p : d.EntTen)
      p.dBairitsu = p.start_y = bad;
    for (auto& m : d.EntMoji) {
      m.dSizeX = m.dSizeY = m.dKankaku = m.degKakudo = bad;
      m.end_x = bad;
    }
    for (auto& s : d.EntSolid)
      s.end_x = s.end_y = bad;
    for (auto& b : d.EntBlock)
      b.dBairitsuX = b.radKaitenKaku = b.DPKijunTen_x = bad;
    for (auto& m : d.EntMoj)
      m.adMojiX = m.adMojiY = bad;
    d.Enthd.dPrtBairitsu = bad;
    d.MakeBlockTree();
    ASSERT_TRUE(d.FileOut(files.ufile("bad.jww"), 700));
    TJwwData back;
    ASSERT_TRUE(back.FileIn(files.ufile("bad.jww")));
    EXPECT_EQ(back.EntLine.size(), d.EntLine.size());
    if (!std::isnan(bad)) {
      EXPECT_EQ(back.EntLine[0].start_x, bad);
    }
    ASSERT_TRUE(back.FileOut(files.ufile("again.jww"), 600));

    TTilingEngine engine(tmp.upath(), tmp2.upath());
    TTilingInputs in;
    in.base_file = files.ufile("bad.jww");
    in.files = {files.ufile("bad.jww"), files.ufile("again.jww")};
    in.gap_x = 1e308;
    TTilingRun run(engine);
    ASSERT_FALSE(engine.CheckInputs(in).has_value());
    engine.Merge(in);
    ASSERT_TRUE(engine.Save(files.ufile("tiled.jww")).ok);
    TJwwData tiled;
    EXPECT_TRUE(tiled.FileIn(files.ufile("tiled.jww")));
  }
}

// Rows of the image section that cannot be carried over are listed with the
// reason, whether the reader extracts them at once or keeps them for later.
TEST(Hostile, ImagesThatCannotBeExtractedAreListedWithTheReason) {
  const Bytes file = HeaderThen(ImageSection({
      {NameField(std::string("a\0b.bmp", 7)), 4, Bytes(4, 1)},
      {NameField("../x.bmp"), 4, Bytes(4, 2)},
      {NameField(std::string(300, 'n') + ".bmp"), 4, Bytes(4, 3)},
      {NameField("ok.bmp"), 3, Bytes(3, 7)},
  }));
  using Kinds = std::vector<TImageLeftOut::Kind>;
  const Kinds expected = {TImageLeftOut::kNameWithNul, TImageLeftOut::kUnusableName,
                          TImageLeftOut::kNotWritten};
  for (const bool keep : {false, true}) {
    ScratchDir folder;
    TJwwData d;
    d.BindImageFolder = folder.upath();
    d.BindImageExp = d.BindImageExr = true;
    d.BindImageKeep = keep;
    EXPECT_TRUE(d.FileInBytes(file.data(), file.size()));
    if (keep) d.BindImageWriteKept();
    Kinds kinds;
    for (const TImageLeftOut& left : d.BindImageLeftOut)
      kinds.push_back(left.kind);
    EXPECT_EQ(kinds, expected) << keep;
    ASSERT_EQ(d.BindImageLeftOut.size(), 3u);
    EXPECT_EQ(d.BindImageLeftOut[2].status.error, platform::TFileError::kNameTooLong);
    EXPECT_EQ(d.BindImageLeftOut[0].name, u"a");  // what is left of the name at its NUL
    // The rows that name no file are dropped; the one that could not be
    // written stays, so its texts still find it listed.
    ASSERT_EQ(d.BindImage.size(), 2u) << keep;
    EXPECT_EQ(d.BindImage[1].Fname, u"ok.bmp");
    EXPECT_EQ(ReadFileBytes(folder.file("ok.bmp")), Bytes(3, 7));
  }
}

// Gzip images unpack once per name, within the budget given and the
// drawing's own allowance; what would pass it is left out whole.
TEST(Hostile, GzipImagesUnpackOncePerNameWithinTheirBudget) {
  ScratchDir folder;
  const std::string raw(3'000'000, 'z');
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  Bytes gz(deflateBound(&z, raw.size()));
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
  z.avail_in = static_cast<uInt>(raw.size());
  z.next_out = gz.data();
  z.avail_out = static_cast<uInt>(gz.size());
  deflate(&z, Z_FINISH);
  gz.resize(z.total_out);
  deflateEnd(&z);
  WriteFileBytes(folder.file("big.bmp.gz"), gz);
  const struct {
    std::uint64_t budget;
    bool unpacked;
  } cases[] = {{4'000'000, true}, {2'000'000, false}};
  for (const auto& c : cases) {
    TJwwData d;
    d.BindImageFolder = folder.upath();
    // Six rows of one name: unpacking each would take 18 MB.
    d.BindImage.assign(6, {u"big.bmp.gz", static_cast<std::int32_t>(gz.size()), false});
    std::uint64_t budget = c.budget;
    d.BindImageExplode(&budget);
    EXPECT_EQ(std::filesystem::exists(folder.path() + "big.bmp"), c.unpacked) << c.budget;
    if (c.unpacked) {
      EXPECT_TRUE(d.BindImageLeftOut.empty());
      EXPECT_EQ(budget, c.budget - raw.size());
    } else {
      ASSERT_EQ(d.BindImageLeftOut.size(), 1u);
      EXPECT_EQ(d.BindImageLeftOut[0].kind, TImageLeftOut::kOverLimit);
      EXPECT_EQ(d.BindImageLeftOut[0].name, u"big.bmp.gz");
    }
    std::filesystem::remove(folder.path() + "big.bmp");
  }
}

// A file that is no drawing is refused after its first bytes, however large
// it is: nothing of the rest is read or held.
TEST(Hostile, AHugeFileThatIsNoDrawingIsRefusedAtOnce) {
  ScratchDir dir;
  const std::u16string path = dir.file("zeros.jww");
  WriteFileBytes(path, Bytes(16, 0));
  std::filesystem::resize_file(dir.path() + "zeros.jww", std::uintmax_t{3} << 30);  // sparse
  TJwwData d;
  const auto start = Clock::now();
  EXPECT_FALSE(d.FileIn(path));
  EXPECT_LT(Clock::now() - start, kQuick);
  EXPECT_FALSE(d.Status().header);
  EXPECT_EQ(d.Status().offset, 0u);
  EXPECT_TRUE(d.Status().no_signature());
}

}  // namespace
}  // namespace plattero
