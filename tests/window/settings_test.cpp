// The settings file: its exact bytes, the encodings and line ends it is read
// in, short and damaged files, and saving that never loses the old file.

#include "window/settings.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "drawing_builder.h"
#include "messages/tiling_messages.h"
#include "util/text.h"

namespace plattero::window {
namespace {

using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(SettingsTest, DefaultsAreWrittenAsEighteenLinesWithBomAndCrLf) {
  TSettings s = DefaultSettings(u"/opt/p/");
  s.left = 10;
  s.top = -5;
  s.width = 542;
  s.height = 497;
  EXPECT_EQ(EncodeSettingsLines(SettingsLines(s)),
            ToBytes("\xEF\xBB\xBF"
                    "10\r\n-5\r\n542\r\n497\r\n0\r\n3\r\n10\r\n10\r\n\r\n/opt/p/\r\n/opt/p/\r\n"
                    "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nbase\r\n"));
}

TEST(SettingsTest, EncodingsAndLineEndsReadAlike) {
  const std::u16string base = u"/図面/ベース.jww";
  const std::string utf8 = Utf16ToUtf8(base);
  const ByteBuffer sjis = StrToSjisBytes(base);
  auto utf16 = [](const std::u16string& text, bool big) {
    Bytes b = big ? Bytes{0xFE, 0xFF} : Bytes{0xFF, 0xFE};
    for (char16_t c : text) {
      const std::uint8_t hi = static_cast<std::uint8_t>(c >> 8), lo = static_cast<std::uint8_t>(c);
      b.push_back(big ? hi : lo);
      b.push_back(big ? lo : hi);
    }
    return b;
  };
  const std::u16string lines =
      u"1\r\n2\r\n3\r\n4\r\n2\r\n5\r\n6\r\n7\r\n" + base + u"\r\n/z/\r\n/s/\r\n";
  Bytes sjis_file = ToBytes("1\n2\r3\r\n4\n2\n5\n6\n7\n");
  sjis_file.insert(sjis_file.end(), sjis.begin(), sjis.end());
  sjis_file.insert(sjis_file.end(), {'\n', '/', 'z', '/', '\n', '/', 's', '/'});
  const Bytes files[] = {
      ToBytes("\xEF\xBB\xBF"
              "1\r\n2\r\n3\r\n4\r\n2\r\n5\r\n6\r\n7\r\n" +
              utf8 + "\r\n/z/\r\n/s/\r\n"),
      ToBytes("\xEF\xBB\xBF"
              "1\n2\n3\n4\n2\n5\n6\n7\n" +
              utf8 + "\n/z/\n/s/\n"),
      utf16(lines, false),
      utf16(lines, true),
      sjis_file,  // no mark: Shift-JIS; mixed line ends, no final one
  };
  for (std::size_t i = 0; i < std::size(files); ++i) {
    TSettings s = DefaultSettings(u"/exe/");
    ApplySettingsLines(DecodeSettingsLines(files[i]), s);
    EXPECT_EQ(s.left, 1) << i;
    EXPECT_EQ(s.height, 4) << i;
    EXPECT_EQ(s.arrangement, 2) << i;
    EXPECT_EQ(s.gap_y, u"7") << i;
    EXPECT_EQ(s.base_file, base) << i;
    EXPECT_EQ(s.zumen_path, u"/z/") << i;
    EXPECT_EQ(s.save_path, u"/s/") << i;
  }
}

TEST(SettingsTest, ShortAndDamagedFilesKeepTheRestAtTheirDefaults) {
  TSettings s = DefaultSettings(u"/exe/");
  ApplySettingsLines(DecodeSettingsLines(ToBytes("\xEF\xBB\xBF"
                                                 "100\r\n120\r\nwide\r\n500\r\n")),
                     s);
  EXPECT_EQ(s.left, 100);
  EXPECT_EQ(s.top, 120);
  EXPECT_EQ(s.width, 0);  // not a number
  EXPECT_EQ(s.height, 500);
  EXPECT_EQ(s.arrangement, 0);
  EXPECT_EQ(s.count, u"3");
  EXPECT_EQ(s.gap_x, u"10");
  EXPECT_EQ(s.base_file, u"");
  EXPECT_EQ(s.zumen_path, u"/exe/");
  EXPECT_EQ(s.save_path, u"/exe/");

  // Lines after the eighteenth are ignored; an empty line is a line.
  EXPECT_EQ(DecodeSettingsLines(ToBytes("a\r\n\r\nb")),
            (std::vector<std::u16string>{u"a", u"", u"b"}));
  EXPECT_TRUE(DecodeSettingsLines({}).empty());
  TSettings t = DefaultSettings(u"/exe/");
  std::vector<std::u16string> many(20, u"9");
  many[17] = u"A1";
  many[18] = u"A2";
  ApplySettingsLines(many, t);
  EXPECT_EQ(t.save_path, u"9");
  EXPECT_TRUE(t.own_tile_size);
  EXPECT_EQ(t.preview_height, 9);
  EXPECT_TRUE(t.own_layer_groups);
  EXPECT_EQ(t.paper, 5);
}

// Lines 12 to 16, the tile-size choice and the preview's frame, came after
// the eleven lines of the first version: its files read as before and leave
// them at their defaults; what is written reads back.
TEST(SettingsTest, TheTileSizeChoiceAndThePreviewsFrameFollowTheFirstElevenLines) {
  const struct {
    const char* name;
    std::string file;
    bool own_tile_size;
    int preview[4];
  } cases[] = {
      {"eleven lines of the first version",
       "\xEF\xBB\xBF"
       "1\r\n2\r\n300\r\n400\r\n1\r\n3\r\n10\r\n10\r\n/b.jww\r\n/z/\r\n/s/\r\n",
       false,
       {0, 0, 0, 0}},
      {"all sixteen",
       "1\n2\n300\n400\n1\n3\n10\n10\n/b.jww\n/z/\n/s/\n1\n-900\n50\n640\n520\n",
       true,
       {-900, 50, 640, 520}},
      {"the choice only",
       "1\n2\n300\n400\n1\n3\n10\n10\n/b.jww\n/z/\n/s/\n0\n",
       false,
       {0, 0, 0, 0}},
      {"a damaged frame",
       "1\n2\n300\n400\n1\n3\n10\n10\n/b.jww\n/z/\n/s/\nyes\n10\n20\nwide\n",
       false,
       {10, 20, 0, 0}},
  };
  for (const auto& c : cases) {
    TSettings s = DefaultSettings(u"/exe/");
    ApplySettingsLines(DecodeSettingsLines(ToBytes(c.file)), s);
    EXPECT_EQ(s.base_file, u"/b.jww") << c.name;
    EXPECT_EQ(s.save_path, u"/s/") << c.name;
    EXPECT_EQ(s.own_tile_size, c.own_tile_size) << c.name;
    EXPECT_EQ(s.preview_left, c.preview[0]) << c.name;
    EXPECT_EQ(s.preview_top, c.preview[1]) << c.name;
    EXPECT_EQ(s.preview_width, c.preview[2]) << c.name;
    EXPECT_EQ(s.preview_height, c.preview[3]) << c.name;

    const std::vector<std::u16string> lines = SettingsLines(s);
    ASSERT_EQ(lines.size(), 18u) << c.name;
    EXPECT_EQ(lines[11], c.own_tile_size ? u"1" : u"0") << c.name;
    TSettings back = DefaultSettings(u"/other/");
    ApplySettingsLines(DecodeSettingsLines(EncodeSettingsLines(lines)), back);
    EXPECT_EQ(SettingsLines(back), lines) << c.name;
  }
}

// Lines 17 and 18, the layer groups and the paper, came after the sixteen
// lines of the version before: its files keep both at their defaults; a paper
// that is no item's name keeps the base drawing's; what is written reads back.
TEST(SettingsTest, TheLayerGroupsAndThePaperFollowTheSixteenLines) {
  const std::string sixteen = "1\n2\n300\n400\n1\n3\n10\n10\n/b.jww\n/z/\n/s/\n1\n5\n6\n640\n520\n";
  const struct {
    std::string more;  // after line 16
    bool own_layer_groups;
    int paper;
    const char16_t* paper_line;
  } cases[] = {
      {"", false, 0, u"base"},        {"1\n", true, 0, u"base"},
      {"0\nfit\n", false, 1, u"fit"}, {"1\nA4\n", true, 2, u"A4"},
      {"2\n5A\r\n", true, 10, u"5A"}, {"0\n2A\n", false, 7, u"2A"},
      {"x\na3\n", false, 0, u"base"},  // names are as written
      {"1\nA5\n", true, 0, u"base"},   // no such paper
      {"1\n A1\n", true, 0, u"base"}, {"0\n\n", false, 0, u"base"},
  };
  for (const auto& c : cases) {
    TSettings s = DefaultSettings(u"/exe/");
    ApplySettingsLines(DecodeSettingsLines(ToBytes(sixteen + c.more)), s);
    EXPECT_EQ(s.preview_height, 520) << c.more;
    EXPECT_EQ(s.own_layer_groups, c.own_layer_groups) << c.more;
    EXPECT_EQ(s.paper, c.paper) << c.more;
    const std::vector<std::u16string> lines = SettingsLines(s);
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[16], c.own_layer_groups ? u"1" : u"0") << c.more;
    EXPECT_EQ(lines[17], c.paper_line) << c.more;
    TSettings back = DefaultSettings(u"/exe/");
    ApplySettingsLines(DecodeSettingsLines(EncodeSettingsLines(lines)), back);
    EXPECT_EQ(SettingsLines(back), lines) << c.more;
  }
  // Every item of the drop-down is kept by its name and makes its choice.
  for (int i = 0; i < static_cast<int>(std::size(kPaperItems)); ++i) {
    TSettings s = DefaultSettings(u"/exe/");
    s.paper = i;
    TSettings back = DefaultSettings(u"/exe/");
    ApplySettingsLines(SettingsLines(s), back);
    EXPECT_EQ(back.paper, i);
    const TPaperChoice choice = PaperChoiceOf(i);
    EXPECT_EQ(choice.kind, kPaperItems[i].kind);
    if (choice.kind == TPaperChoice::kNamed) {
      EXPECT_EQ(PaperCaption(choice.nZumen), u"（" + std::u16string(kPaperItems[i].name) + u"）");
    }
    EXPECT_FALSE(choice.reduce);
  }
  EXPECT_EQ(PaperChoiceOf(-1).kind, TPaperChoice::kBase);
  EXPECT_EQ(PaperChoiceOf(99).kind, TPaperChoice::kBase);
}

// A line longer than its item takes is refused whole and the item keeps its
// default; one as long as it takes is kept. A file holding a line of 900,000
// digits loads at once (the time is generous for sanitizers and Wine).
TEST(SettingsTest, OverlongLinesAreRefusedAndLoadQuickly) {
  const std::string longest_path = "/" + std::string(kMaxSettingsPath - 1, '7');
  const std::string lines[] = {
      std::string(kMaxSettingsNumber, '0') + "5",  // 1: one digit too many
      std::string(kMaxSettingsNumber - 1, '0') + "6",
      "300",
      "400",
      "2",
      std::string(900'000, '9'),  // 6: the count
      std::string(kMaxSettingsNumber, '1'),
      std::string(kMaxSettingsNumber + 1, '1'),
      longest_path,        // 9
      longest_path + "/",  // 10: one too many
      "/s/",
  };
  std::string file = "\xEF\xBB\xBF";
  for (const std::string& line : lines)
    file += line + "\r\n";
  TempDir dir;
  std::ofstream(dir.file("p.dat"), std::ios::binary) << file;

  TSettings s = DefaultSettings(u"/exe/");
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(LoadSettingsFile(dir.ufile("p.dat"), s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(s.left, 24);
  EXPECT_EQ(s.top, 6);
  EXPECT_EQ(s.arrangement, 2);
  // (Compared as truths: a failure would print megabytes.)
  EXPECT_TRUE(s.count == u"3");
  EXPECT_EQ(s.gap_x, std::u16string(kMaxSettingsNumber, u'1'));
  EXPECT_EQ(s.gap_y, u"10");
  EXPECT_TRUE(s.base_file == Utf8ToUtf16(longest_path));
  EXPECT_TRUE(s.zumen_path == u"/exe/");
  EXPECT_EQ(s.save_path, u"/s/");
}

TEST(SettingsTest, SaveReplacesTheFileAndAFailedSaveKeepsIt) {
  TempDir dir;
  TSettings s = DefaultSettings(dir.upath());
  s.base_file = u"/a\nb.jww";  // cannot be kept on one line
  s.count = u"12345";
  ASSERT_TRUE(SaveSettingsFile(dir.ufile("p.dat"), s));
  TSettings back = DefaultSettings(u"/other/");
  ASSERT_TRUE(LoadSettingsFile(dir.ufile("p.dat"), back));
  EXPECT_EQ(back.base_file, u"");
  EXPECT_EQ(back.count, u"12345");
  EXPECT_EQ(back.zumen_path, dir.upath());

  const std::string before = ReadText(dir.file("p.dat"));
  std::filesystem::create_directory(dir.file("q.dat"));  // a folder in the way
  std::filesystem::create_directory(dir.file("q.dat/sub"));
  EXPECT_FALSE(SaveSettingsFile(dir.ufile("q.dat"), s));
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("q.dat/sub")));
  EXPECT_EQ(ReadText(dir.file("p.dat")), before);

  // The settings folder is made when missing.
  EXPECT_TRUE(SaveSettingsFile(dir.ufile("conf/plattero/plattero.dat"), s));
  TSettings none = DefaultSettings(u"/x/");
  EXPECT_FALSE(LoadSettingsFile(dir.ufile("missing.dat"), none));
  EXPECT_EQ(none.zumen_path, u"/x/");
}

#ifndef _WIN32
// A save cut short by a full disk (a file-size limit in a child process, where
// a write past it fails instead of killing the process) keeps the old file
// byte for byte and leaves no temporary file.
TEST(SettingsTest, ASaveCutShortByTheDiskKeepsTheOldFile) {
  testing::TempDir dir;
  const std::u16string path = dir.ufile("plattero.dat");
  TSettings old = DefaultSettings(dir.upath());
  old.base_file = u"/図面/ベース.jww";
  ASSERT_TRUE(SaveSettingsFile(path, old));
  std::ifstream in(dir.file("plattero.dat"), std::ios::binary);
  const std::string before((std::istreambuf_iterator<char>(in)), {});
  TSettings next = old;
  next.base_file = std::u16string(300, u'長');
  for (rlim_t limit : {rlim_t{0}, rlim_t{3}, rlim_t{64}}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::signal(SIGXFSZ, SIG_IGN);
      const rlimit lim{limit, limit};
      ::setrlimit(RLIMIT_FSIZE, &lim);
      ::_exit(SaveSettingsFile(path, next) ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save should fail at limit " << limit;
    std::ifstream again(dir.file("plattero.dat"), std::ios::binary);
    const std::string after((std::istreambuf_iterator<char>(again)), {});
    EXPECT_EQ(after, before) << limit;
    std::size_t files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path()))
      files += e.is_regular_file();
    EXPECT_EQ(files, 1u) << limit;
  }
}

#endif

}  // namespace
}  // namespace plattero::window
