#include "jww/archive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jww/limits.h"
#include "jww_test_util.h"

namespace plattero {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing_jww::FailingSink;

Bytes Written(bool utf16, const std::u16string& text) {
  MemorySink sink;
  ArchiveWriter w(sink);
  w.SetUtf16(utf16);
  w.WriteCString(text);
  w.Flush();
  return sink.bytes;
}

Bytes Prefix(const Bytes& b, std::size_t n) {
  return Bytes(b.begin(), b.begin() + n);
}

TEST(ArchiveStrings, CodePageLengthPrefixes) {
  Bytes b254 = Written(false, std::u16string(254, u'a'));
  ASSERT_EQ(b254.size(), 1u + 254);
  EXPECT_EQ(b254[0], 0xFE);

  Bytes b255 = Written(false, std::u16string(255, u'a'));
  ASSERT_EQ(b255.size(), 3u + 255);
  EXPECT_EQ(Prefix(b255, 3), (Bytes{0xFF, 0xFF, 0x00}));

  // Two full-width characters take four bytes.
  EXPECT_EQ(Written(false, u"図面"), (Bytes{4, 0x90, 0x7D, 0x96, 0xCA}));
  // The stored text ends at its first NUL.
  EXPECT_EQ(Written(false, std::u16string(u"ab\0cd", 5)), (Bytes{2, 'a', 'b'}));
  EXPECT_EQ(Written(false, u""), (Bytes{0}));
}

TEST(ArchiveStrings, Utf16Form) {
  EXPECT_EQ(Written(true, u""), (Bytes{0xFF, 0xFE, 0xFF, 0x00}));
  EXPECT_EQ(Written(true, u"図"), (Bytes{0xFF, 0xFE, 0xFF, 0x01, 0xF3, 0x56}));
  Bytes b300 = Written(true, std::u16string(300, u'x'));
  ASSERT_EQ(b300.size(), 6u + 600);
  EXPECT_EQ(Prefix(b300, 6), (Bytes{0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01}));
}

// A text too long for the 16-bit length is cut at a character boundary to the
// longest length the form can hold, and never to the code-page length 65534,
// whose prefix would read as the UTF-16 marker.
TEST(ArchiveStrings, OverlongTextsAreCutToAStorableLength) {
  struct Case {
    std::u16string text;
    bool utf16;
    std::size_t stored;
  };
  const std::u16string kanji(40000, u'図');  // 80000 Shift-JIS bytes
  std::u16string pair_at_end(65534, u'a');
  pair_at_end += u"\U0001F600";  // surrogate pair across the limit
  const std::vector<Case> cases = {
      {std::u16string(70000, u'a'), false, 65535},
      {kanji, false, 65532},  // 65534 would be the marker; 65535 splits a character
      {u"a" + kanji, false, 65535},
      {std::u16string(65534, u'a'), false, 65533},
      {std::u16string(65533, u'a'), false, 65533},
      {std::u16string(70000, u'a'), true, 65535},
      {pair_at_end, true, 65534},
  };
  for (const Case& c : cases) {
    Bytes b = Written(c.utf16, c.text);
    ArchiveReader r(b.data(), b.size());
    std::u16string back = r.ReadCString();
    EXPECT_TRUE(r.AtEnd());
    if (c.utf16) {
      EXPECT_EQ(back.size(), c.stored);
    } else {
      ASSERT_GE(b.size(), 3u);
      EXPECT_EQ(b[0], 0xFF);
      EXPECT_EQ(std::size_t(b[1] | (b[2] << 8)), c.stored);
      EXPECT_EQ(b.size(), 3 + c.stored);
    }
    EXPECT_EQ(back, c.text.substr(0, back.size()));
  }
}

TEST(ArchiveStrings, ReaderAcceptsBothFormsAndNotesUtf16) {
  Bytes b = {3, 'a', 'b', 'c', 0xFF, 0xFE, 0xFF, 2, 0xF3, 0x56, 0x62, 0x97};
  ArchiveReader r(b.data(), b.size());
  EXPECT_EQ(r.ReadCString(), u"abc");
  EXPECT_FALSE(r.SawUtf16());
  EXPECT_EQ(r.ReadCString(), u"図面");
  EXPECT_TRUE(r.SawUtf16());
  EXPECT_TRUE(r.AtEnd());
}

TEST(ArchiveStrings, NulEndsTextAndNamesLoseControlCharacters) {
  Bytes memo = {5, 'A', '\r', '\n', 'B', 0};
  ArchiveReader r1(memo.data(), memo.size());
  EXPECT_EQ(r1.ReadCString(), u"A\r\nB");
  ArchiveReader r2(memo.data(), memo.size());
  EXPECT_EQ(r2.ReadName(), u"AB");

  Bytes nul = {4, 'a', 0, 'b', 'c', 'x'};
  ArchiveReader r3(nul.data(), nul.size());
  EXPECT_EQ(r3.ReadCString(), u"a");
  EXPECT_EQ(r3.ReadU8(), 'x');
}

TEST(ArchiveStrings, LengthsPointingPastTheEndReadWhatIsThere) {
  Bytes b = {0xFF, 0x10, 0x00, 'a', 'b'};  // 16 bytes announced, 2 present
  ArchiveReader r(b.data(), b.size());
  EXPECT_EQ(r.ReadCString(), u"ab");
  EXPECT_TRUE(r.AtEnd());
  Bytes u = {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 0};
  ArchiveReader r2(u.data(), u.size());
  EXPECT_EQ(r2.ReadCString(), u"a");
  EXPECT_TRUE(r2.AtEnd());
}

TEST(ArchiveScalars, ShortReadsGiveIncompleteValuesAndStopAtTheEnd) {
  Bytes b = {0x01, 0x02, 0x03};
  ArchiveReader r(b.data(), b.size());
  EXPECT_EQ(r.ReadU32(), 0x030201u);
  EXPECT_TRUE(r.AtEnd());
  EXPECT_EQ(r.ReadU32(), 0u);
  EXPECT_EQ(r.ReadF64(), 0.0);
  EXPECT_EQ(r.Position(), 3u);
}

TEST(ArchiveCounts, EscapeAtFFFF) {
  struct Case {
    std::uint32_t n;
    Bytes bytes;
  };
  for (const Case& c : std::vector<Case>{{0, {0, 0}},
                                         {65534, {0xFE, 0xFF}},
                                         {65535, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0}},
                                         {0x12345678, {0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12}}}) {
    MemorySink sink;
    ArchiveWriter w(sink);
    w.WriteCount(c.n);
    w.Flush();
    EXPECT_EQ(sink.bytes, c.bytes) << c.n;
    ArchiveReader r(sink.bytes.data(), sink.bytes.size());
    EXPECT_EQ(r.ReadCount(), c.n);
  }
}

TEST(ArchiveTags, ClassReferencesAtTheirEdges) {
  struct Case {
    std::uint32_t index;
    Bytes bytes;
  };
  for (const Case& c : std::vector<Case>{{1, {0x01, 0x80}},
                                         {32766, {0xFE, 0xFF}},
                                         {32767, {0xFF, 0x7F, 0xFF, 0x7F, 0x00, 0x80}},
                                         {70000, {0xFF, 0x7F, 0x70, 0x11, 0x01, 0x80}}}) {
    MemorySink sink;
    ArchiveWriter w(sink);
    w.WriteClassRef(c.index);
    w.Flush();
    EXPECT_EQ(sink.bytes, c.bytes) << c.index;
    ArchiveReader r(sink.bytes.data(), sink.bytes.size());
    TagRead tag = ReadTag(r);
    EXPECT_EQ(tag.kind, TagRead::kReference);
    EXPECT_EQ(tag.index, c.index);
  }
}

TEST(ArchiveTags, NewClassTagsAndTheSharedCounter) {
  MemorySink sink;
  ArchiveWriter w(sink);
  ClassTable classes;
  w.WriteClassTag(classes, 1, 700);  // CDataSen takes index 1
  ++classes.counter;                 // the line object
  w.WriteClassTag(classes, 1, 700);
  ++classes.counter;
  w.WriteClassTag(classes, 2, 700);  // CDataEnko takes index 4
  w.Flush();
  Bytes expected = {0xFF, 0xFF, 0xBC, 0x02, 0x08, 0x00};
  expected.insert(expected.end(), {'C', 'D', 'a', 't', 'a', 'S', 'e', 'n', 0x01, 0x80});
  expected.insert(expected.end(), {0xFF, 0xFF, 0xBC, 0x02, 0x09, 0x00});
  expected.insert(expected.end(), {'C', 'D', 'a', 't', 'a', 'E', 'n', 'k', 'o'});
  EXPECT_EQ(sink.bytes, expected);
  EXPECT_EQ(classes.index[2], 4u);

  ArchiveReader r(sink.bytes.data(), sink.bytes.size());
  TagRead t = ReadTag(r);
  EXPECT_EQ(t.kind, TagRead::kNewClass);
  EXPECT_EQ(t.name, "CDataSen");
  EXPECT_EQ(ClassOfName(t.name), 1);
  EXPECT_EQ(ClassOfName("cdatasen"), 0);  // names compare exactly
}

TEST(ArchiveTags, ClassNamesOfMaxLengthAreRefused) {
  for (std::size_t n : {kMaxClassNameBytes - 1, kMaxClassNameBytes, std::size_t{0xFFFE}}) {
    Bytes b = {
        0xFF, 0xFF, 0xBC, 0x02, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8)};
    b.resize(b.size() + n, 'A');
    ArchiveReader r(b.data(), b.size());
    TagRead t = ReadTag(r);
    EXPECT_EQ(t.kind, n < kMaxClassNameBytes ? TagRead::kNewClass : TagRead::kNameTooLong) << n;
  }
  Bytes none;
  ArchiveReader r(none.data(), 0);
  EXPECT_EQ(ReadTag(r).kind, TagRead::kEnd);
}

TEST(ArchiveWriter, AFailingSinkFailsTheWriterForGood) {
  FailingSink sink(100);
  ArchiveWriter w(sink);
  std::vector<std::uint8_t> block(70000, 7);
  w.Write(block.data(), block.size());
  EXPECT_FALSE(w.Ok());
  w.WriteU32(1);
  EXPECT_FALSE(w.Flush());

  FailingSink small(10);
  ArchiveWriter w2(small);
  for (int i = 0; i < 4; ++i)
    w2.WriteU32(i);
  EXPECT_TRUE(w2.Ok());  // still buffered
  EXPECT_FALSE(w2.Flush());
}

}  // namespace
}  // namespace plattero
