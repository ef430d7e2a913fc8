#include "util/text.h"

#include <gtest/gtest.h>

#include <thread>

namespace plattero {
namespace {

ByteBuffer Bytes(std::initializer_list<int> values) {
  ByteBuffer out;
  for (int v : values)
    out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

// --- Shift-JIS --------------------------------------------------------------

struct SjisCase {
  std::u16string text;
  ByteBuffer bytes;
};

TEST(SjisTest, EncodesAndDecodesExactBytes) {
  const SjisCase cases[] = {
      {u"JwwData.", Bytes({'J', 'w', 'w', 'D', 'a', 't', 'a', '.'})},
      {u"\\~", Bytes({0x5C, 0x7E})},  // backslash and tilde stay ASCII
      {u"図面あｱ", Bytes({0x90, 0x7D, 0x96, 0xCA, 0x82, 0xA0, 0xB1})},
      {u"\uFF5E", Bytes({0x81, 0x60})},                        // FULLWIDTH TILDE
      {u"\u2225", Bytes({0x81, 0x61})},                        // PARALLEL TO
      {u"\uFF0D", Bytes({0x81, 0x7C})},                        // FULLWIDTH HYPHEN-MINUS
      {u"\uFFE2", Bytes({0x81, 0xCA})},                        // FULLWIDTH NOT SIGN
      {u"①Ⅰ㍉", Bytes({0x87, 0x40, 0x87, 0x54, 0x87, 0x5F})},  // NEC special row
      {u"纊ⅰ￤髙﨑",
       Bytes({0xFA, 0x5C, 0xFA, 0x40, 0xFA, 0x55, 0xFB, 0xFC, 0xFA, 0xB1})},  // IBM ext.
      {u"\uE000", Bytes({0xF0, 0x40})},                                       // user-defined area
      // Control codes keep their values, alone and among double-byte text.
      {u"\x1A\x1C\x7F", Bytes({0x1A, 0x1C, 0x7F})},
      {u"あ\x1A\x1C\x7Fい", Bytes({0x82, 0xA0, 0x1A, 0x1C, 0x7F, 0x82, 0xA2})},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrToSjisBytes(c.text), c.bytes) << Utf16ToUtf8(c.text);
    EXPECT_EQ(SjisBytesToStr(c.bytes), c.text) << Utf16ToUtf8(c.text);
  }
}

TEST(SjisTest, DecodesDuplicateCodesOfTheNecSelectedRows) {
  // NEC-selected IBM extension row and NEC duplicates decode to the same
  // characters; encoding then picks the codes tested above.
  EXPECT_EQ(SjisBytesToStr(Bytes({0xED, 0x40, 0xEE, 0xEF, 0xEE, 0xF9})), u"纊ⅰ￢");
  EXPECT_EQ(SjisBytesToStr(Bytes({0x87, 0x90, 0x87, 0x9A})), u"≒∵");
}

TEST(SjisTest, RoundTripsJapaneseText) {
  const std::u16string text = u"寸法線 ①～⑳ Ⅰ～Ⅹ ㍉㌔ ∥－￢ 纊褜鍈 ⅰⅱ 半角ｶﾀｶﾅ ABC 123";
  EXPECT_EQ(SjisBytesToStr(StrToSjisBytes(text)), text);
}

TEST(SjisTest, UndecodableBytesBecomeReplacementChars) {
  EXPECT_EQ(SjisBytesToStr(Bytes({0x81, 0x20, 0x41})), u"\uFFFD A");  // bad trail byte
  EXPECT_EQ(SjisBytesToStr(Bytes({0x81, 0x7F})), u"\uFFFD\x7F");
  EXPECT_EQ(SjisBytesToStr(Bytes({0x41, 0x82})), u"A\uFFFD");  // lead byte at the end
  EXPECT_EQ(SjisBytesToStr(Bytes({0x82, 0x00, 0xA0})), u"\uFFFD");
  EXPECT_EQ(SjisBytesToStr(Bytes({0x85, 0x40})), u"\uFFFD");  // unassigned double-byte code
  const std::u16string single = SjisBytesToStr(Bytes({0xA0}));
  ASSERT_EQ(single.size(), 1u);
  EXPECT_GE(single[0], 0x20);
}

TEST(SjisTest, UnencodableCharsBecomeQuestionMarks) {
  EXPECT_EQ(StrToSjisBytes(u"a\u00E9b"), Bytes({'a', '?', 'b'}));
  EXPECT_EQ(StrToSjisBytes(u"\U0001F600あ"), Bytes({'?', 0x82, 0xA0}));  // one "?" for the pair
  EXPECT_EQ(StrToSjisBytes(u"\xD800x\xDC00"), Bytes({'?', 'x', '?'}));   // lone surrogates
  EXPECT_EQ(StrToSjisBytes(u"\xD800"), Bytes({'?'}));
}

// Where the conversions of the systems differ, ours decides, the same on every
// system: bytes that are no character give U+FFFD each, a lead byte followed
// by a byte that cannot follow it gives U+FFFD and the byte is read afresh,
// and a character is written only when its bytes read back as itself.
TEST(SjisTest, BytesAndCharactersTheSystemsTreatDifferently) {
  const std::pair<ByteBuffer, std::u16string> decoded[] = {
      {Bytes({0x80}), u"\uFFFD"},
      {Bytes({0xA0, 0xFD, 0xFE, 0xFF}), u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {Bytes({0x81, 0x20}), u"\uFFFD "},
      {Bytes({0x81, 0xFD, 0x41}), u"\uFFFD\uFFFDA"},
      {Bytes({0x9F, 0x0A}), u"\uFFFD\n"},
      {Bytes({0x81, 0x81, 0x40}), u"\uFF1D@"},  // the second lead byte is a trail byte here
      {Bytes({0x85, 0x40, 0x41}), u"\uFFFDA"},  // a pair without a character: one U+FFFD
      {Bytes({0xEB, 0xA0, 0x82, 0xA0}), u"\uFFFD\u3042"},
      {Bytes({0x81, 0x80, 0xA1, 0xDF}), u"\u00F7\uFF61\uFF9F"},
      {Bytes({0xF9, 0xFC, 0x87, 0x82}), u"\uE757\u2116"},
  };
  for (const auto& [bytes, text] : decoded) {
    EXPECT_EQ(SjisBytesToStr(bytes), text) << Utf16ToUtf8(text);
  }
  const std::pair<std::u16string, ByteBuffer> encoded[] = {
      {u"\u0080", Bytes({'?'})},
      {u"\uF8F0\uF8F1\uF8F2\uF8F3", Bytes({'?', '?', '?', '?'})},
      {u"\uF86F", Bytes({'?'})},  // a private-use look-alike of U+2116
      {u"a\u200Bb\uFEFF\u00AD\uFE0F", Bytes({'a', '?', 'b', '?', '?', '?'})},
      {u"\U00020BB7\U0001F600", Bytes({'?', '?'})},
      {u"\u00A5\u203E\u2014\u301C\u00E9\u00DF", Bytes({'?', '?', '?', '?', '?', '?'})},
      {u"\uFF3C\uFF5E\u2015\u2116", Bytes({0x81, 0x5F, 0x81, 0x60, 0x81, 0x5C, 0x87, 0x82})},
  };
  for (const auto& [text, bytes] : encoded) {
    EXPECT_EQ(StrToSjisBytes(text), bytes) << Utf16ToUtf8(text);
    EXPECT_EQ(SjisByteLength(text), static_cast<std::int32_t>(bytes.size()));
  }
}

TEST(SjisTest, DecodingEndsAtTheFirstZeroByte) {
  EXPECT_EQ(SjisBytesToStr(Bytes({'J', 'w', 'w', 'D', 'a', 't', 'a', '.', 0, 0})), u"JwwData.");
  EXPECT_EQ(SjisBytesToStr(Bytes({0, 'a'})), u"");
  EXPECT_EQ(SjisBytesToStr(Bytes({0x82, 0xA0, 0, 0x82, 0xA2, 'x'})), u"あ");
  EXPECT_EQ(SjisBytesToStr(ByteBuffer{}), u"");
  EXPECT_EQ(StrToSjisBytes(u""), ByteBuffer{});
}

TEST(SjisTest, ByteLengthStopsAtNul) {
  EXPECT_EQ(SjisByteLength(u"abc"), 3);
  EXPECT_EQ(SjisByteLength(u"図面"), 4);
  EXPECT_EQ(SjisByteLength(std::u16string(u"a\0b", 3)), 1);
  EXPECT_EQ(SjisByteLength(std::u16string(u"あ\0い", 3)), 2);
  EXPECT_EQ(SjisByteLength(u"\U0001F600ｱ"), 2);
  EXPECT_EQ(SjisByteLength(u""), 0);
}

TEST(SjisTest, ConvertersWorkOnSeveralThreads) {
  const std::u16string text = u"図面①纊 abc";
  const ByteBuffer bytes = StrToSjisBytes(text);
  bool ok[2] = {true, true};
  auto work = [&](bool& result) {
    for (int i = 0; i < 2000; ++i) {
      if (StrToSjisBytes(text) != bytes || SjisBytesToStr(bytes) != text) result = false;
    }
  };
  std::thread a(work, std::ref(ok[0]));
  std::thread b(work, std::ref(ok[1]));
  a.join();
  b.join();
  EXPECT_TRUE(ok[0]);
  EXPECT_TRUE(ok[1]);
}

// --- UTF-16 bytes -------------------------------------------------------------

TEST(Utf16BytesTest, ReadsPairsUpToZeroUnit) {
  EXPECT_EQ(Utf16BytesToStr(Bytes({'a', 0, 0x42, 0x30, 0})), u"aあ");  // odd last byte ignored
  EXPECT_EQ(Utf16BytesToStr(Bytes({'a', 0, 0x42, 0x30})), u"aあ");
  EXPECT_EQ(Utf16BytesToStr(Bytes({'a', 0, 0, 0, 'b', 0})), u"a");
  EXPECT_EQ(Utf16BytesToStr(Bytes({0x00, 0x01, 0x00, 0xD8})), u"\u0100\xD800");  // no validation
  EXPECT_EQ(Utf16BytesToStr(Bytes({'a'})), u"");
}

TEST(Utf16BytesTest, WritesTwoBytesPerUnit) {
  EXPECT_EQ(StrToUtf16Bytes(u"aあ\U0001F600"), Bytes({'a', 0, 0x42, 0x30, 0x3D, 0xD8, 0x00, 0xDE}));
  EXPECT_EQ(StrToUtf16Bytes(std::u16string(u"a\0", 2)), Bytes({'a', 0, 0, 0}));
}

TEST(ByteBufferTest, ByteStrLenAndFillBytes) {
  EXPECT_EQ(ByteStrLen(Bytes({'a', 'b', 0, 'c', 0})), 2);
  EXPECT_EQ(ByteStrLen(Bytes({'a', 'b'})), 2);
  ByteBuffer buffer(4, 1);
  EXPECT_EQ(FillBytes(7, 2, buffer), 7);
  EXPECT_EQ(buffer, Bytes({7, 7, 1, 1}));
  FillBytes(9, 100, buffer);  // bounded by the buffer
  EXPECT_EQ(buffer, Bytes({9, 9, 9, 9}));
  FillBytes(3, -1, buffer);
  EXPECT_EQ(buffer, Bytes({9, 9, 9, 9}));
}

// --- Cleaning filters -----------------------------------------------------------

TEST(FilterTest, RemoveCtrlCharsAndSpaces) {
  EXPECT_EQ(RemoveCtrlChars(u"a\tb\x1F c\u3000\u00A0"), u"ab c\u3000\u00A0");
  EXPECT_EQ(RemoveSpaces(u" a b\u3000c\td\u00A0"), u"abcd\u00A0");
}

TEST(FilterTest, RemoveBreakMarks) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"A^mB\\nC", u"ABC"}, {u"^m", u" "},    {u"", u""},         {u"^M", u"^M"},
      {u"a\t", u"a"},        {u"\\N", u"\\N"}, {u"ab^", u"ab^"},   {u"x\\", u"x\\"},
      {u"^^m", u"^"},        {u"\t\n", u" "},  {u"^m\\n^m", u" "}, {u"n\\nm", u"nm"},
  };
  for (const auto& [in, want] : cases)
    EXPECT_EQ(RemoveBreakMarks(in), want) << Utf16ToUtf8(in);
}

// --- Positions, substrings and case ---------------------------------------------

TEST(PositionTest, PosIndex) {
  EXPECT_EQ(PosIndex(u" :", u"a.jww :0000001C:\\x.jww"), 5);
  EXPECT_EQ(PosIndex(u"a", u"a"), 0);
  EXPECT_EQ(PosIndex(u"z", u"abc"), -1);
  EXPECT_EQ(PosIndex(u"", u"abc"), -1);
  EXPECT_EQ(PosIndex(u"a", u""), -1);
  EXPECT_EQ(PosIndex(u"abcd", u"abc"), -1);
}

TEST(PositionTest, SubstringBounds) {
  EXPECT_EQ(SubStr(u"abc", 1, 5), u"bc");
  EXPECT_EQ(SubStr(u"abc", 3, 1), u"");
  EXPECT_EQ(SubStr(u"abc", -5, 2), u"ab");  // start clamps, count stays
  EXPECT_EQ(SubStr(u"abc", 0, 0), u"");
  EXPECT_EQ(SubStr(u"abc", 1, -1), u"");
  EXPECT_EQ(SubStr(u"abc", 1, INT32_MAX), u"bc");
  EXPECT_EQ(SubStrFrom(u"abc", 0), u"abc");
  EXPECT_EQ(SubStrFrom(u"abc", -1), u"abc");
  EXPECT_EQ(SubStrFrom(u"abc", 2), u"c");
  EXPECT_EQ(SubStrFrom(u"abc", 3), u"");
  EXPECT_EQ(CharAt(u"abc", 1), u"b");
  EXPECT_EQ(CharAt(u"abc", 3), u"");
}

TEST(CaseTest, SimpleMappingKeepsLength) {
  EXPECT_EQ(UpperStr(u"abc.jww Ａｚａ äöü ß ω"), u"ABC.JWW ＡＺＡ ÄÖÜ ß Ω");
  EXPECT_EQ(LowerStr(u"ABC.JWW ＡＺＡ ÄÖÜ İ Ω"), u"abc.jww ａｚａ äöü i ω");
  EXPECT_EQ(UpperStr(u"\U00010428x"), u"\U00010400X");  // surrogate pair mapped as one
  EXPECT_EQ(LowerStr(u"\U00010400"), u"\U00010428");
  EXPECT_EQ(UpperStr(u"\xD801"
                     u"a\xDC28"),
            u"\xD801"
            u"A\xDC28");  // lone surrogates stay
  EXPECT_EQ(UpperStr(u"図面①"), u"図面①");
  EXPECT_EQ(UpperStr(u""), u"");
}

// --- File names -------------------------------------------------------------------

TEST(FileNameTest, FileNameOf) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"C:\\d\\a.jww", u"a.jww"},
      {u"/home/u/b.jww", u"b.jww"},
      {u"C:a.jww", u"a.jww"},
      {u"a.jww", u"a.jww"},
      {u"C:\\d\\", u""},
      {u"", u""},
      {u"  \u3000 ", u""},
      {u"C:\\a<b.jww", u""},
      {u"a\tb", u""},
      {u"x|y", u""},
      {u"\"a\"", u""},
      {u" a ", u" a "},
  };
  for (const auto& [in, want] : cases)
    EXPECT_EQ(FileNameOf(in), want) << Utf16ToUtf8(in);
}

TEST(FileNameTest, LowerFileExt) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"C:\\d\\A.JWW", u".jww"},
      {u"C:\\d.x\\file", u""},
      {u"C:\\d\\a.b.JwW", u".jww"},
      {u"C:\\d\\a.", u"."},
      {u"/home/u/d.x/file", u""},
      {u"/home/u/Ｆ.ＪＷＷ", u".ｊｗｗ"},
      {u"", u""},
      {u"noext", u""},
      {u".hidden", u".hidden"},
  };
  for (const auto& [in, want] : cases)
    EXPECT_EQ(LowerFileExt(in), want) << Utf16ToUtf8(in);
  for (const std::u16string bad : {u"a\x01.jww", u"a\".jww", u"a<b.jww", u"a>b.jww", u"a|b.jww"}) {
    EXPECT_THROW(LowerFileExt(bad), InvalidPathError) << Utf16ToUtf8(bad);
  }
}

TEST(FileNameTest, ChangeExt) {
  struct Case {
    std::u16string path, ext, want;
  };
  const Case cases[] = {
      {u"C:\\d\\tool.exe", u".dat", u"C:\\d\\tool.dat"},
      {u"C:\\d\\img.jpg.gz", u"", u"C:\\d\\img.jpg"},
      {u"C:\\d\\noext", u".dat", u"C:\\d\\noext.dat"},
      {u"C:\\d.x\\file", u".dat", u"C:\\d.x\\file.dat"},
      {u"/home/u/d.x/file", u".dat", u"/home/u/d.x/file.dat"},
      {u"a.b:c", u".dat", u"a.b:c.dat"},
      {u"a.", u".dat", u"a.dat"},
      {u"", u".dat", u""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ChangeExt(c.path, c.ext), c.want) << Utf16ToUtf8(c.path);
}

// --- UTF-8 ------------------------------------------------------------------------

TEST(Utf8Test, ConvertsBothWays) {
  const std::u16string text = u"a/図面/\u00E9\U0001F600.jww";
  EXPECT_EQ(Utf16ToUtf8(text), "a/\xE5\x9B\xB3\xE9\x9D\xA2/\xC3\xA9\xF0\x9F\x98\x80.jww");
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  EXPECT_EQ(Utf16ToUtf8(u"\xD800"
                        u"a\xDC00"),
            "\xEF\xBF\xBD"
            "a\xEF\xBF\xBD");
}

TEST(Utf8Test, IllFormedInputBecomesReplacementChars) {
  const std::pair<std::string, std::u16string> cases[] = {
      {"\xE2\x82"
       "A",
       u"\uFFFDA"},                                       // truncated sequence
      {"\xF0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},            // bad second byte after F0
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
      {"\xFF"
       "b\xF0\x9F\x98",
       u"\uFFFDb\uFFFD"},
      {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
  };
  for (const auto& [in, want] : cases)
    EXPECT_EQ(Utf8ToUtf16(in), want);
}

}  // namespace
}  // namespace plattero
