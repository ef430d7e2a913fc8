// plattero-cli svg and tile --preview, run in-process.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "drawing_builder.h"
#include "test_system.h"

namespace plattero::cli {
namespace {

struct CliResult {
  int code = -1;
  std::string out, err;
};

CliResult Cli(std::vector<std::string> args) {
  args.insert(args.begin(), "plattero-cli");
  std::ostringstream out, err;
  CliResult r;
  r.code = RunCli(args, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

TEST(SvgCommand, RendersEveryCorpusDrawing) {
  const std::filesystem::path corpus = PLATTERO_CORPUS_DIR;
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  testing::TempDir dir;
  std::size_t drawings = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
    if (entry.path().extension() != ".jww") continue;
    ++drawings;
    const std::string out = dir.file("out.svg");
    const CliResult r = Cli({"svg", testing::PathUtf8(entry.path()), "-o", out});
    EXPECT_EQ(r.code, 0) << entry.path() << ": " << r.err;
    const std::string svg = Slurp(out);
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u) << entry.path();
    EXPECT_EQ(svg.rfind("</svg>\n"), svg.size() - 7) << entry.path();
    std::filesystem::remove(out);
  }
  EXPECT_GT(drawings, 0u);
}

TEST(SvgCommand, PartialAndMissingDrawings) {
  testing::TempDir dir;
  testing::DrawingSpec spec;
  spec.lines = 500;
  ASSERT_TRUE(testing::WriteDrawing(spec, dir.file("whole.jww")));
  const std::string bytes = Slurp(dir.file("whole.jww"));
  std::ofstream(dir.file("cut.jww"), std::ios::binary) << bytes.substr(0, bytes.size() * 5 / 6);

  // A cut drawing is drawn as far as it was read; the exit code says so.
  CliResult r = Cli({"svg", dir.file("cut.jww"), "-o", dir.file("cut.svg")});
  EXPECT_EQ(r.code, kExitReadFailed);
  EXPECT_NE(r.err.find("cut.jww"), std::string::npos);
  EXPECT_GT(Count(Slurp(dir.file("cut.svg")), "class=\"line\""), 0u);

  r = Cli({"svg", dir.file("none.jww"), "-o", dir.file("none.svg")});
  EXPECT_EQ(r.code, kExitReadFailed);
  EXPECT_FALSE(std::filesystem::exists(dir.file("none.svg")));

  r = Cli({"svg", dir.file("whole.jww"), "-o", dir.file("no/such/folder.svg")});
  EXPECT_EQ(r.code, kExitWriteFailed);
  EXPECT_FALSE(std::filesystem::exists(dir.file("no/such/folder.svg.part")));
}

TEST(TilePreview, OneFramePerTileOverTheCombinedDrawing) {
  testing::TempDir dir;
  testing::DrawingSpec spec;
  spec.lines = 5;
  std::vector<std::string> args = {
      "tile",      "--base",         dir.file("a.jww"), "--count", "2", "-o", dir.file("out.jww"),
      "--preview", dir.file("p.svg")};
  for (const char* name : {"a.jww", "b.jww", "c.jww"}) {
    ASSERT_TRUE(testing::WriteDrawing(spec, dir.file(name)));
    args.push_back(dir.file(name));
  }
  const CliResult r = Cli(args);
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string svg = Slurp(dir.file("p.svg"));
  EXPECT_EQ(Count(svg, "class=\"frame\""), 3u);
  // Base drawing plus two tiles of five lines each: a.jww, the base drawing,
  // lies at the first tile already and is not added twice.
  EXPECT_EQ(Count(svg, "class=\"line\""), 15u);
  EXPECT_NE(svg.find(">3: c.jww</text>"), std::string::npos);
  // A3 frames centred on the offsets (0,0), (430,0), (0,307) with 10 mm gaps.
  EXPECT_NE(svg.find("<rect x=\"-210\" y=\"-148.5\" width=\"420\" height=\"297\""),
            std::string::npos);
  EXPECT_NE(svg.find("<rect x=\"220\" y=\"-148.5\""), std::string::npos);
  EXPECT_NE(svg.find("<rect x=\"-210\" y=\"-455.5\""), std::string::npos);
}

}  // namespace
}  // namespace plattero::cli
