// The files the commands write, against what a POSIX system can put in their
// way: devices, FIFOs, links, the inputs themselves, a file-size limit, long
// names and names whose bytes are no UTF-8.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_test_util.h"
#include "drawing_builder.h"

namespace plattero::cli_test {
namespace {

namespace fs = std::filesystem;
using testing::DrawingSpec;
using testing::TempDir;
using testing::WriteDrawing;

std::string Drawing(const TempDir& dir, const std::string& name) {
  DrawingSpec spec;
  spec.lines = 3;
  spec.texts = 1;
  EXPECT_TRUE(WriteDrawing(spec, dir.file(name)));
  return dir.file(name);
}

TEST(CliOutputs, NoOutputReplacesAnInputOrWhatIsNoRegularFile) {
  TempDir dir;
  const std::string base = Drawing(dir, "base.jww"), other = Drawing(dir, "other.jww");
  const std::string base_bytes = FileText(base), other_bytes = FileText(other);
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  fs::create_symlink(other, dir.file("link-to-other.jww"));
  const std::string out = dir.file("out.jww");
  const struct {
    std::vector<std::string> args;
    int code;
    std::string says;
  } cases[] = {
      {{"tile", "--base", base, "-o", dir.file("fifo"), other}, 3, "not a regular file"},
      {{"tile", "--base", base, "-o", "/dev/null", other}, 3, "not a regular file"},
      {{"tile", "--base", base, "-o", base, other}, 2, "same file as the input"},
      {{"tile", "--base", base, "-o", dir.file("link-to-other.jww"), other}, 2, "same file"},
      {{"tile", "--base", base, "-o", out, "--preview", out, other}, 2, "another output"},
      {{"tile", "--base", base, "-o", out, "--preview", dir.file("./other.jww"), other},
       2,
       "same file as the input"},
      {{"svg", other, "-o", other}, 2, "same file as the input"},
      {{"svg", other, "-o", dir.file("fifo")}, 3, "not a regular file"},
      {{"convert", other, dir.file("sub/../other.jww")}, 2, "same file as the input"},
  };
  fs::create_directory(dir.file("sub"));
  for (const auto& c : cases) {
    const CliRun r = RunArgs(c.args);
    EXPECT_EQ(r.code, c.code) << c.args[0] << " " << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
  }
  EXPECT_EQ(FileText(base), base_bytes);
  EXPECT_EQ(FileText(other), other_bytes);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(fs::status(dir.file("fifo")).type(), fs::file_type::fifo);
  EXPECT_EQ(fs::status("/dev/null").type(), fs::file_type::character);
}

TEST(CliOutputs, LinksAreWrittenThroughAndNoNameBesideTheTargetIsTouched) {
  TempDir dir;
  const std::string base = Drawing(dir, "base.jww");
  fs::create_directory(dir.file("real"));
  std::ofstream(dir.file("real/out.jww")) << "an older result";
  fs::create_symlink("real/out.jww", dir.file("out.jww"));
  // A user's file named as a fixed temporary name would be.
  std::ofstream(dir.file("pic.svg.part")) << "mine";
  const CliRun r = RunArgs(
      {"tile", "--base", base, "-o", dir.file("out.jww"), "--preview", dir.file("pic.svg"), base});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(dir.file("out.jww")));
  EXPECT_NE(FileText(dir.file("real/out.jww")), "an older result");
  EXPECT_EQ(FileText(dir.file("pic.svg.part")), "mine");
  EXPECT_EQ(CountEntries(dir.path()), 5u);  // base, real/, out link, pic.svg, pic.svg.part
}

// A file the user may not write is kept, though its folder would let the
// rename replace it: exit code 3 and "permission denied", as cp says. The
// command line runs as the unprivileged user 65534 (through setpriv when the
// tests run as the administrator, who may write any file).
TEST(CliOutputs, AFileTheUserMayNotWriteIsKept) {
  TempDir dir, tmp, logs;
  const std::string base = Drawing(dir, "base.jww");
  std::ofstream(dir.file("old.jww")) << "an older result";
  ASSERT_EQ(::chmod(dir.file("old.jww").c_str(), 0444), 0);
  for (const TempDir* folder : {&dir, &tmp})
    ASSERT_EQ(::chmod(folder->path().c_str(), 0777), 0);
  auto run = [&](const std::string& out) {
    std::string program = PLATTERO_CLI_EXE;
    std::vector<std::string> args = {"tile", "--base", base, "-o", out, base};
    if (::geteuid() == 0) {
      args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", program});
      program = "/usr/bin/setpriv";
    }
    CliRun r;
    r.code = testing::RunProgram(program, args, {{"TMPDIR", tmp.path()}}, logs.file("out"),
                                 logs.file("err"));
    r.err = FileText(logs.file("err"));
    return r;
  };
  const CliRun fresh = run(dir.file("new.jww"));
  if (fresh.code == -1 || fresh.err.rfind("setpriv:", 0) == 0)
    GTEST_SKIP() << "cannot run as an unprivileged user " << fresh.err;
  ASSERT_EQ(fresh.code, 0) << fresh.err;  // the user may make files there
  const CliRun refused = run(dir.file("old.jww"));
  EXPECT_EQ(refused.code, 3);
  EXPECT_EQ(refused.err,
            "plattero-cli: cannot write \"" + dir.file("old.jww") + "\": permission denied\n");
  EXPECT_EQ(FileText(dir.file("old.jww")), "an older result");
  EXPECT_EQ(CountEntries(dir.path()), 3u);
  EXPECT_EQ(CountEntries(tmp.path()), 0u);
}

// A file-size limit makes the write fail with its reason instead of ending
// the program, and no temporary file or folder is left anywhere.
TEST(CliOutputs, AFileSizeLimitIsReportedAndLeavesNothingBehind) {
  TempDir dir, tmp;
  DrawingSpec spec;
  spec.lines = 20000;
  ASSERT_TRUE(WriteDrawing(spec, dir.file("big.jww")));
  const std::string out = dir.file("out.jww");
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::dup2(pipe_fds[1], 2);
    ::close(pipe_fds[0]);
    const rlimit limit{256 * 1024, 256 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::setenv("TMPDIR", tmp.path().c_str(), 1);
    const std::string big = dir.file("big.jww");
    ::execl(PLATTERO_CLI_EXE, "plattero-cli", "tile", "--base", big.c_str(), "-o", out.c_str(),
            big.c_str(), big.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(pipe_fds[1]);
  std::string err;
  char buf[4096];
  for (ssize_t n; (n = ::read(pipe_fds[0], buf, sizeof buf)) > 0;)
    err.append(buf, static_cast<std::size_t>(n));
  ::close(pipe_fds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 3) << err;
  EXPECT_NE(err.find("file-size limit"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(CountEntries(dir.path()), 1u);
  EXPECT_EQ(CountEntries(tmp.path()), 0u);
}

TEST(CliOutputs, LongNamesAndNamesThatAreNoUtf8AreWrittenAsGiven) {
  TempDir dir;
  const std::string base = Drawing(dir, "base.jww");
  const std::string sjis_in = dir.file("\x8E\xA9\x8E\xD4.jww");   // "自車.jww" in Shift-JIS
  const std::string sjis_out = dir.file("\x8C\x8B\x89\xCA.jww");  // "結果.jww"
  fs::copy_file(base, sjis_in);
  const std::string long_out = dir.file(std::string(246, 'l') + ".jww");  // 250 bytes
  for (const std::string& out : {sjis_out, long_out}) {
    const CliRun r = RunArgs({"tile", "--base", sjis_in, "-o", out, sjis_in, base});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(fs::is_regular_file(out));
  }
  const CliRun r = RunArgs({"tile", "--base", base, "-o", dir.file("x.jww"), sjis_out});
  EXPECT_EQ(r.code, 0) << r.err;
  // Shown as the characters they are.
  const CliRun info = RunArgs({"info", sjis_out});
  EXPECT_NE(info.out.find("結果.jww"), std::string::npos) << info.out;
  EXPECT_EQ(CountEntries(dir.path()), 5u);
}

}  // namespace
}  // namespace plattero::cli_test
