// The real executable: exit codes as a process sees them, images and the
// temporary folder across a convert, and every drawing of the corpus.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli_test_util.h"
#include "drawing_builder.h"
#include "util/text.h"

namespace plattero::cli_test {
namespace {

namespace fs = std::filesystem;
using testing::DrawingSpec;
using testing::TempDir;
using testing::WriteDrawing;

// Runs plattero-cli with its temporary folder in `tmpdir`, capturing its output.
CliRun RunExe(const std::vector<std::string>& args, const std::string& tmpdir) {
  TempDir io;
  const std::string out_path = io.file("stdout"), err_path = io.file("stderr");
  std::vector<std::pair<std::string, std::string>> env;
  for (const std::string& name : testing::TempRootVariables())
    env.emplace_back(name, tmpdir);
  CliRun r;
  r.code = testing::RunProgram(PLATTERO_CLI_EXE, args, env, out_path, err_path);
  if (r.code < 0) ADD_FAILURE() << "cannot start " << PLATTERO_CLI_EXE;
  r.out = FileText(out_path);
  r.err = FileText(err_path);
  return r;
}

TEST(Executable, ExitCodesAndVersion) {
  TempDir tmp, dir;
  const std::string file = dir.file("a.jww");
  DrawingSpec spec;
  spec.lines = 2;
  ASSERT_TRUE(WriteDrawing(spec, file));
  const std::string cut = dir.file("cut.jww");
  fs::copy_file(file, cut);
  fs::resize_file(cut, fs::file_size(file) - 3);

  const CliRun version = RunExe({"--version"}, tmp.path());
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out.rfind("plattero-cli ", 0), 0u);
  EXPECT_EQ(RunExe({}, tmp.path()).code, 2);
  EXPECT_EQ(RunExe({"convert", file}, tmp.path()).code, 2);
  EXPECT_EQ(RunExe({"--help"}, tmp.path()).code, 0);
  const CliRun info = RunExe({"info", "--json", cut}, tmp.path());
  EXPECT_EQ(info.code, 1);
  EXPECT_EQ(Json::parse(info.out)["read_ok"], false);
  EXPECT_EQ(info.err.rfind("plattero-cli: cannot read \"" + cut + "\": ", 0), 0u) << info.err;
  const CliRun write = RunExe({"convert", file, dir.file("missing/out.jww")}, tmp.path());
  EXPECT_EQ(write.code, 3);
  EXPECT_EQ(RunExe({"convert", file, dir.file("out.jww"), "--version", "600"}, tmp.path()).code, 0);
  EXPECT_EQ(CountEntries(tmp.path()), 0u);
}

TEST(Executable, ImagesSurviveConvertAndNothingIsLeftInTmpdir) {
  TempDir tmp, dir;
  DrawingSpec spec;
  spec.texts = 2, spec.images = 3, spec.block_defs = 1, spec.block_refs = 1;
  const std::string in = dir.file("画像入り.jww"), out = dir.file("out.jww");
  ASSERT_TRUE(WriteDrawing(spec, in));
  ASSERT_EQ(CountEntries(tmp.path()), 0u);

  const CliRun before = RunExe({"info", "--json", in}, tmp.path());
  ASSERT_EQ(before.code, 0) << before.err;
  const CliRun convert = RunExe({"convert", in, out}, tmp.path());
  ASSERT_EQ(convert.code, 0) << convert.err;
  const CliRun after = RunExe({"info", "--json", out}, tmp.path());
  ASSERT_EQ(after.code, 0) << after.err;
  const Json images = Json::parse(before.out)["images"];
  EXPECT_EQ(images.size(), 3u);
  EXPECT_EQ(Json::parse(after.out)["images"], images);
  EXPECT_TRUE(
      SameDump(RunExe({"dump", out}, tmp.path()).out, RunExe({"dump", in}, tmp.path()).out));
  EXPECT_EQ(CountEntries(tmp.path()), 0u);
}

// Every corpus drawing reads completely, and converting it to its own version
// changes nothing the dump shows.
TEST(Corpus, InfoDumpAndConvertRoundTrip) {
  const fs::path corpus = PLATTERO_CORPUS_DIR;
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  std::size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".jww") continue;
    ++files;
    const std::string file = testing::PathUtf8(entry.path());
    SCOPED_TRACE(file);
    const CliRun info = RunArgs({"info", "--json", file});
    ASSERT_EQ(info.code, 0) << info.err;
    const Json summary = Json::parse(info.out);
    EXPECT_EQ(summary["read_ok"], true);
    const CliRun dump = RunArgs({"dump", file});
    ASSERT_EQ(dump.code, 0) << dump.err;

    TempDir dir;
    const std::string out = dir.file("out.jww");
    std::vector<std::string> convert = {"convert", file, out, "--version",
                                        std::to_string(summary["version"].get<int>())};
    if (summary["utf16_strings"].get<bool>()) convert.push_back("--utf16");
    const CliRun c = RunArgs(convert);
    ASSERT_EQ(c.code, 0) << c.err;
    const CliRun again = RunArgs({"dump", out});
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_TRUE(SameDump(again.out, dump.out));
  }
  EXPECT_GT(files, 0u);
}

}  // namespace
}  // namespace plattero::cli_test
