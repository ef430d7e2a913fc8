// The commands run in-process: info, dump and convert on drawings built here,
// exit codes, temporary folders.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>

#include "cli/commands.h"
#include "cli/temp_dir.h"
#include "cli_test_util.h"
#include "drawing_builder.h"
#include "platform/temporary.h"
#include "util/text.h"

namespace plattero::cli_test {
namespace {

namespace fs = std::filesystem;
using testing::BuildDrawing;
using testing::DrawingSpec;
using testing::InitDrawing;
using testing::TempDir;
using testing::WriteDrawing;

// A drawing whose every number info prints is known: one entity of each
// kind, a definition placed at the top level that places a second one.
void WriteKnownDrawing(const std::string& path) {
  TJwwData doc;
  InitDrawing(doc, 700, 4);
  doc.Enthd.strMemo = u"敷地の図\r\n二行目";
  doc.EntLgrp[2].aStrGLayName = u"平面図";
  TEntJwwLine line;
  line.start_x = 0, line.start_y = 0, line.end_x = 10, line.end_y = 5;
  doc.EntLine.push_back(line);
  TEntJwwEnko arc;
  arc.start_x = 20, arc.start_y = 20, arc.dHankei = 5, arc.dHenpeiRitsu = 1, arc.bZenEnFlg = 1;
  doc.EntEnko.push_back(arc);
  TEntJwwTen point;
  point.start_x = -3, point.start_y = 1;
  doc.EntTen.push_back(point);
  TEntJwwMoji text;
  text.start_x = 1, text.start_y = 2, text.end_x = 4, text.end_y = 2;
  text.strFontName = u"ＭＳ ゴシック";
  text.str = u"文字";
  doc.EntMoji.push_back(text);
  TEntJwwSunpo dim;
  dim.Sen.start_x = 0, dim.Sen.start_y = -8, dim.Sen.end_x = 10, dim.Sen.end_y = -8;
  dim.Moji.str = u"10";
  doc.EntSunpo.push_back(dim);
  TEntJwwSolid solid;
  solid.start_x = 30, solid.end_x = 31, solid.DPoint2_x = 31, solid.DPoint2_y = 1;
  solid.DPoint3_x = 30, solid.DPoint3_y = 1;
  doc.EntSolid.push_back(solid);
  TEntJwwBlock ref;
  ref.DPKijunTen_x = 50, ref.DPKijunTen_y = -7, ref.dBairitsuX = ref.dBairitsuY = 1;
  ref.nNumber = 0;
  doc.EntBlock.push_back(ref);
  doc.EntNo = {{kEntLine, 0},  {kEntEnko, 0},  {kEntTen, 0},  {kEntMoji, 0},
               {kEntSunpo, 0}, {kEntSolid, 0}, {kEntBlock, 0}};

  TEntJwwBlockDef outer;
  outer.nNumber = 0;
  outer.strName = u"部品A";
  outer.mLine.push_back(line);
  outer.mMoji.push_back(text);
  TEntJwwBlock inner_ref = ref;
  inner_ref.nNumber = 1;
  outer.mBlock.push_back(inner_ref);
  outer.mNo = {{kEntLine, 0}, {kEntMoji, 0}, {kEntBlock, 0}};
  TEntJwwBlockDef inner;
  inner.nNumber = 1;
  inner.strName = u"部品B";
  inner.mLine.push_back(line);
  inner.mNo = {{kEntLine, 0}};
  doc.EntBlockDef = {outer, inner};
  doc.MakeBlockTree();
  ASSERT_TRUE(doc.FileOut(Utf8ToUtf16(path), 700));
}

std::string Prefix(const std::string& path, std::size_t size, const std::string& to) {
  std::string bytes = FileText(path).substr(0, size);
  std::ofstream(to, std::ios::binary) << bytes;
  return to;
}

TEST(InfoCommand, JsonSummaryOfAKnownDrawing) {
  TempDir dir;
  const std::string file = dir.file("既知.jww");
  WriteKnownDrawing(file);
  const CliRun r = RunArgs({"info", "--json", file});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const Json j = Json::parse(r.out);
  EXPECT_EQ(j["file"], file);
  EXPECT_EQ(j["read_ok"], true);
  EXPECT_FALSE(j.contains("error"));
  EXPECT_EQ(j["version"], 700);
  EXPECT_EQ(j["paper"], 4);
  EXPECT_EQ(j["memo"], "敷地の図\r\n二行目");
  EXPECT_EQ(j["utf16_strings"], false);
  EXPECT_EQ(j["counts"], Json::parse(R"({"line":1,"arc":1,"point":1,"text":1,"dimension":1,
                                         "solid":1,"block":1})"));
  EXPECT_EQ(j["entity_order"], 7);
  EXPECT_EQ(j["block_defs"], Json::parse(R"([
      {"name":"部品A","number":0,"referenced":true,"entities":3},
      {"name":"部品B","number":1,"referenced":true,"entities":1}])"));
  EXPECT_EQ(j["block_defs_written"], 2);
  EXPECT_EQ(j["images"], Json::array());
  ASSERT_EQ(j["layer_group_names"].size(), 16u);
  EXPECT_EQ(j["layer_group_names"][2], "平面図");
  EXPECT_EQ(j["extents"], Json::parse(R"({"min_x":-3.0,"min_y":-8.0,"max_x":50.0,"max_y":25.0})"));
}

TEST(InfoCommand, ReadableSummaryShowsJapaneseAndEscapesControls) {
  TempDir dir;
  const std::string file = dir.file("a.jww");
  WriteKnownDrawing(file);
  const CliRun r = RunArgs({"info", file});
  ASSERT_EQ(r.code, 0) << r.err;
  for (const char* want : {"read: complete\n", "memo: 敷地の図\\r\\n二行目\n", "paper: 4\n",
                           "  2: 平面図\n", "  0: \"部品A\" number 0, referenced, 3 entities\n",
                           "extents: (-3.0, -8.0) - (50.0, 25.0)\n"}) {
    EXPECT_NE(r.out.find(want), std::string::npos) << want << "\nin:\n" << r.out;
  }
}

TEST(InfoCommand, TruncatedDrawingsReportWhereTheReadStopped) {
  TempDir dir;
  const std::string whole = dir.file("whole.jww");
  WriteKnownDrawing(whole);
  const std::size_t size = fs::file_size(whole);
  for (std::size_t cut : {std::size_t{0}, std::size_t{20}, size / 2, size - 1}) {
    SCOPED_TRACE(cut);
    const std::string file = Prefix(whole, cut, dir.file("cut.jww"));
    const CliRun r = RunArgs({"info", "--json", file});
    EXPECT_EQ(r.code, 1);
    const Json j = Json::parse(r.out);
    EXPECT_EQ(j["read_ok"], false);
    ASSERT_TRUE(j.contains("error"));
    EXPECT_LE(j["error"]["offset"].get<std::uint64_t>(), cut);
    EXPECT_FALSE(j["error"]["reason"].get<std::string>().empty());
    const std::string line = "plattero-cli: cannot read \"" + file +
                             "\": " + j["error"]["reason"].get<std::string>() + " at byte " +
                             std::to_string(j["error"]["offset"].get<std::uint64_t>()) + "\n";
    EXPECT_EQ(r.err, line);

    const CliRun text = RunArgs({"info", file});
    EXPECT_EQ(text.code, 1);
    EXPECT_NE(text.out.find("read: stopped at byte "), std::string::npos);
    const CliRun dump = RunArgs({"dump", file});
    EXPECT_EQ(dump.code, 1);
    EXPECT_NO_THROW(JsonLines(dump.out));
  }
}

const char* const kClassOfKind[] = {"",          "CDataSen",    "CDataEnko",  "CDataTen",
                                    "CDataMoji", "CDataSunpou", "CDataSolid", "CDataBlock"};

TEST(DumpCommand, EveryKindUnderItsRecordNames) {
  TempDir dir;
  const std::string file = dir.file("all.jww");
  DrawingSpec spec;
  spec.lines = 3, spec.arcs = 2, spec.points = 3, spec.texts = 2, spec.dimensions = 2;
  spec.solids = 2, spec.block_defs = 3, spec.block_refs = 2, spec.nesting = 2;
  ASSERT_TRUE(WriteDrawing(spec, file));
  TJwwData doc;
  ASSERT_TRUE(doc.FileIn(Utf8ToUtf16(file)));

  const CliRun r = RunArgs({"dump", file});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<Json> lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), doc.EntNo.size() + doc.EntBlockDef.size());
  std::set<std::string> kinds;
  for (std::size_t i = 0; i < doc.EntNo.size(); ++i) {
    const Json& j = lines[i];
    const TEntJwwNo no = doc.EntNo[i];
    ASSERT_EQ(j["type"], kClassOfKind[no.EntType]) << i;
    EXPECT_EQ(j["index"], i);
    EXPECT_EQ(j["att"].size(), 7u);
    kinds.insert(j["type"].get<std::string>());
    switch (no.EntType) {
      case kEntLine:
        EXPECT_EQ(j["end_y"].get<double>(), doc.EntLine[no.EntNo].end_y);
        break;
      case kEntEnko:
        EXPECT_EQ(j["dHankei"].get<double>(), doc.EntEnko[no.EntNo].dHankei);
        break;
      case kEntMoji:
        EXPECT_EQ(j["str"], Utf16ToUtf8(doc.EntMoji[no.EntNo].str));
        EXPECT_EQ(j["strFontName"], Utf16ToUtf8(doc.EntMoji[no.EntNo].strFontName));
        break;
      case kEntSunpo: {
        const TEntJwwSunpo& s = doc.EntSunpo[no.EntNo];
        EXPECT_EQ(j["Sen"]["start_x"].get<double>(), s.Sen.start_x);
        EXPECT_EQ(j["Moji"]["str"], Utf16ToUtf8(s.Moji.str));
        EXPECT_EQ(j["bSxfMode"], s.bSxfMode);
        for (const char* part : {"Ho1", "Ho2", "Te1", "Te2", "Kt1", "Kt2"}) {
          EXPECT_EQ(j[part]["att"].size(), 7u) << part;
        }
        EXPECT_EQ(j["Kt2"]["dBairitsu"].get<double>(), s.Kt2.dBairitsu);
        break;
      }
      case kEntSolid:
        EXPECT_EQ(j["DPoint3_y"].get<double>(), doc.EntSolid[no.EntNo].DPoint3_y);
        EXPECT_EQ(j["Color"], doc.EntSolid[no.EntNo].Color);
        break;
      case kEntBlock:
        EXPECT_EQ(j["nNumber"], doc.EntBlock[no.EntNo].nNumber);
        break;
      case kEntTen:
        EXPECT_EQ(j["nCode"], doc.EntTen[no.EntNo].nCode);
        break;
    }
  }
  EXPECT_EQ(kinds.size(), 7u);
  for (std::size_t d = 0; d < doc.EntBlockDef.size(); ++d) {
    const TEntJwwBlockDef& def = doc.EntBlockDef[d];
    const Json& j = lines[doc.EntNo.size() + d];
    EXPECT_EQ(j["type"], "CDataList");
    EXPECT_EQ(j["index"], d);
    EXPECT_EQ(j["strName"], Utf16ToUtf8(def.strName));
    EXPECT_EQ(j["nNumber"], def.nNumber);
    ASSERT_EQ(j["entities"].size(), def.mNo.size());
    for (std::size_t k = 0; k < def.mNo.size(); ++k) {
      EXPECT_EQ(j["entities"][k]["type"], kClassOfKind[def.mNo[k].EntType]);
      EXPECT_EQ(j["entities"][k]["index"], k);
    }
  }
}

TEST(DumpCommand, NonFiniteValuesKeepTheOutputValidJson) {
  TempDir dir;
  const std::string file = dir.file("nan.jww");
  TJwwData doc;
  InitDrawing(doc);
  TEntJwwLine line;
  line.start_x = std::numeric_limits<double>::quiet_NaN();
  line.end_y = -std::numeric_limits<double>::infinity();
  doc.EntLine.push_back(line);
  doc.EntNo.push_back({kEntLine, 0});
  ASSERT_TRUE(doc.FileOut(Utf8ToUtf16(file), 700));
  const CliRun r = RunArgs({"dump", file});
  ASSERT_EQ(r.code, 0);
  const std::vector<Json> lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["start_x"], "nan");
  EXPECT_EQ(lines[0]["end_y"], "-inf");
}

std::string Dump(const std::string& file) {
  const CliRun r = RunArgs({"dump", file});
  EXPECT_EQ(r.code, 0) << r.err;
  return r.out;
}

// A dimension read from a file older than 420 gets its four points with
// nPenStyle 0, which the writer stores as a plain point (1): the one change a
// conversion from such a file to 420 or later makes.
std::string PointPartsAsWritten(const std::string& dump) {
  auto fix = [](Json& e) {
    if (e["type"] != "CDataSunpou") return;
    for (const char* part : {"Te1", "Te2", "Kt1", "Kt2"}) {
      if (e[part]["att"]["nPenStyle"] == 0) e[part]["att"]["nPenStyle"] = 1;
    }
  };
  std::string out;
  for (Json j : JsonLines(dump)) {
    fix(j);
    if (j["type"] == "CDataList") {
      for (Json& e : j["entities"])
        fix(e);
    }
    out += cli::JsonLine(j) + "\n";
  }
  return out;
}

TEST(ConvertCommand, RoundTripKeepsTheDumpOnEveryVersion) {
  for (std::int32_t version : {700, 600, 420, 351, 300, 230}) {
    SCOPED_TRACE(version);
    TempDir dir;
    DrawingSpec spec;
    spec.version = version;
    spec.lines = 4, spec.arcs = 3, spec.points = 3, spec.texts = 3, spec.dimensions = 2;
    spec.solids = 2, spec.block_defs = 3, spec.block_refs = 2, spec.nesting = 2;
    const std::string in = dir.file("in.jww"), out = dir.file("out.jww");
    ASSERT_TRUE(WriteDrawing(spec, in));
    const std::string original = Dump(in);
    ASSERT_EQ(RunArgs({"convert", in, out}).code, 0);
    EXPECT_TRUE(SameDump(Dump(out), version >= 420 ? original : PointPartsAsWritten(original)))
        << "to 700";
    const CliRun same = RunArgs({"convert", in, out, "--version", std::to_string(version)});
    ASSERT_EQ(same.code, 0) << same.err;
    EXPECT_TRUE(SameDump(Dump(out), original)) << "to its own version";
    EXPECT_EQ(Json::parse(RunArgs({"info", "--json", out}).out)["version"], version);
  }
}

TEST(ConvertCommand, Utf16OptionChoosesTheStringForm) {
  TempDir dir;
  DrawingSpec spec;
  spec.texts = 2;
  const std::string in = dir.file("in.jww"), out = dir.file("out.jww");
  ASSERT_TRUE(WriteDrawing(spec, in));
  ASSERT_EQ(RunArgs({"convert", in, out, "--utf16"}).code, 0);
  EXPECT_EQ(Json::parse(RunArgs({"info", "--json", out}).out)["utf16_strings"], true);
  EXPECT_TRUE(SameDump(Dump(out), Dump(in)));
  ASSERT_EQ(RunArgs({"convert", out, in}).code, 0);
  EXPECT_EQ(Json::parse(RunArgs({"info", "--json", in}).out)["utf16_strings"], false);
}

// The image rows of a drawing with their bytes as extracted.
std::vector<std::pair<std::string, std::string>> ImagesOf(const std::string& file) {
  TempDir folder;
  TJwwData doc;
  doc.BindImageFolder = folder.upath();
  doc.BindImageExp = doc.BindImageExr = true;
  EXPECT_TRUE(doc.FileIn(Utf8ToUtf16(file)));
  std::vector<std::pair<std::string, std::string>> rows;
  for (const TBindImageType& row : doc.BindImage) {
    rows.emplace_back(Utf16ToUtf8(row.Fname), FileText(folder.file(Utf16ToUtf8(row.Fname))));
  }
  return rows;
}

TEST(ConvertCommand, ImagesSurviveAndNoTemporaryFolderIsLeft) {
  TempDir dir;
  DrawingSpec spec;
  spec.texts = 1, spec.images = 2;
  const std::string in = dir.file("in.jww"), out = dir.file("out.jww");
  ASSERT_TRUE(WriteDrawing(spec, in));
  const auto original = ImagesOf(in);
  ASSERT_EQ(original.size(), 2u);

  TempDir tmp;
  {
    ScopedTempRoot env(tmp.path());
    ASSERT_EQ(CountEntries(tmp.path()), 0u);
    const CliRun c = RunArgs({"convert", in, out});
    ASSERT_EQ(c.code, 0) << c.err;
    const CliRun info = RunArgs({"info", "--json", out});
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_EQ(Json::parse(info.out)["images"].size(), 2u);
    EXPECT_EQ(CountEntries(tmp.path()), 0u);
  }
  EXPECT_EQ(ImagesOf(out), original);
}

TEST(ConvertCommand, AnImageThatCannotBeExtractedFailsTheConvert) {
  TempDir dir, images;
  TJwwData doc;
  InitDrawing(doc);
  std::ofstream(images.file("p.bmp"), std::ios::binary) << "BMxyz";
  doc.BindImageFolder = images.upath();
  doc.BindImageExp = doc.BindImageExr = true;
  doc.BindImage = {{u"p.bmp", 5, false}};
  TEntJwwMoji text;
  text.str = u"^@BM%temp%p.bmp,10,10";
  doc.EntMoji.push_back(text);
  doc.EntNo.push_back({kEntMoji, 0});
  const std::string in = dir.file("in.jww");
  ASSERT_TRUE(doc.FileOut(Utf8ToUtf16(in), 700));
  // Rename the image in the file to a name too long for any file system:
  // reading still succeeds, extracting it cannot.
  std::string bytes = FileText(in);
  const std::string stored = std::string("\x05") + "p.bmp";
  const std::size_t at = bytes.find(stored);
  ASSERT_NE(at, std::string::npos);
  const std::string long_name = std::string(296, 'p') + ".bmp";
  bytes.replace(at, stored.size(), std::string("\xFF\x2C\x01") + long_name);
  std::ofstream(in, std::ios::binary | std::ios::trunc) << bytes;

  const CliRun r = RunArgs({"convert", in, dir.file("out.jww")});
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.err.find("embedded image \"" + long_name + "\" could not be extracted"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(dir.file("out.jww")));
}

TEST(ExitCodes, UsageReadAndWriteFailures) {
  TempDir dir;
  const std::string good = dir.file("good.jww");
  WriteKnownDrawing(good);
  const std::string cut = Prefix(good, 100, dir.file("cut.jww"));
  const std::string missing = dir.file("missing.jww");
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string err;  // expected start of stderr
  };
  const Case cases[] = {
      {{}, 2, "plattero-cli: "},
      {{"frobnicate"}, 2, "plattero-cli: "},
      {{"info"}, 2, "plattero-cli: "},
      {{"info", "--bogus", good}, 2, "plattero-cli: "},
      {{"dump", good, good}, 2, "plattero-cli: "},
      {{"convert", good}, 2, "plattero-cli: "},
      {{"convert", good, dir.file("o.jww"), "--version", "abc"}, 2, "plattero-cli: "},
      {{"convert", good, dir.file("o.jww"), "--version", "701"}, 2, "plattero-cli: "},
      {{"--help"}, 0, ""},
      {{"convert", "--help"}, 0, ""},
      {{"info", good}, 0, ""},
      {{"info", missing},
       1,
       "plattero-cli: cannot read \"" + missing + "\": no such file or folder\n"},
      {{"dump", dir.path()}, 1, "plattero-cli: cannot read \"" + dir.path() + "\": it is a folder"},
      {{"dump", cut}, 1, "plattero-cli: cannot read \"" + cut + "\": "},
      {{"convert", cut, dir.file("o.jww")}, 1, "plattero-cli: cannot read \"" + cut + "\": "},
      {{"convert", good, dir.file("no/such/folder/o.jww")},
       3,
       "plattero-cli: cannot write \"" + dir.file("no/such/folder/o.jww") +
           "\": no such file or folder"},
      {{"convert", good, dir.path()}, 3, "plattero-cli: cannot write \""},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const std::string& a : c.args)
      line += a + " ";
    SCOPED_TRACE(line);
    const CliRun r = RunArgs(c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
    if (c.code != 0) {
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
  }
  EXPECT_FALSE(fs::exists(dir.file("o.jww")));  // nothing written after a failed read
  const CliRun help = RunArgs({"--help"});
  for (const char* sub : {"info", "dump", "convert"})
    EXPECT_NE(help.out.find(sub), std::string::npos);
  EXPECT_EQ(RunArgs({"--version"}).out.rfind("plattero-cli ", 0), 0u);
}

TEST(ExitCodes, OutputThatCannotBeWrittenGivesThree) {
  TempDir dir;
  const std::string good = dir.file("good.jww");
  WriteKnownDrawing(good);
  std::ostream broken(nullptr);  // every write fails
  std::ostringstream err;
  EXPECT_EQ(cli::RunCli({"plattero-cli", "dump", good}, broken, err), cli::kExitWriteFailed);
  EXPECT_EQ(err.str(), "plattero-cli: cannot write the output\n");
}

TEST(ScopedTempDir, PrivateUnderTmpdirAndGoneEvenWhenInterrupted) {
  TempDir tmp;
  ScopedTempRoot env(tmp.path());
  {
    cli::ScopedTempDir d;
    ASSERT_TRUE(d.ok()) << d.error();
    const std::string path = Utf16ToUtf8(d.path());
    EXPECT_EQ(fs::path(path).parent_path(), fs::path(tmp.path()).parent_path());
#ifndef _WIN32  // rights are no mode bits on Windows
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
#endif
    std::ofstream(path + "/x.bmp") << "x";
    fs::create_directory(path + "/sub");
  }
  EXPECT_EQ(CountEntries(tmp.path()), 0u);

#ifndef _WIN32  // fork and POSIX signals; Windows has neither
  // An interrupt while the folder exists removes it, then ends the program
  // as the interrupt would have.
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    platform::InstallInterruptCleanup();
    cli::ScopedTempDir d;
    const std::string path = Utf16ToUtf8(d.path());
    std::ofstream(path + "/image.bmp") << "x";
    [[maybe_unused]] ssize_t n = ::write(fds[1], path.data(), path.size());
    ::kill(::getpid(), SIGINT);
    for (;;)
      ::pause();  // the interrupt ends the child here
  }
  ::close(fds[1]);
  char buf[4096];
  const ssize_t n = ::read(fds[0], buf, sizeof buf);
  ::close(fds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
  ASSERT_GT(n, 0);
  EXPECT_FALSE(fs::exists(std::string(buf, static_cast<std::size_t>(n))));
  EXPECT_EQ(CountEntries(tmp.path()), 0u);
#endif
}

TEST(ScopedTempDir, FailureIsReported) {
  TempDir dir;
  const std::string good = dir.file("good.jww");
  WriteKnownDrawing(good);
  ScopedTempRoot env("/nonexistent-plattero-dir");
  cli::ScopedTempDir d;
  EXPECT_FALSE(d.ok());
  EXPECT_NE(d.error().find("nonexistent-plattero-dir"), std::string::npos);
  // info still lists, convert refuses rather than dropping the images.
  EXPECT_EQ(RunArgs({"info", "--json", good}).code, 0);
  EXPECT_EQ(RunArgs({"convert", good, dir.file("o.jww")}).code, 3);
}

}  // namespace
}  // namespace plattero::cli_test
