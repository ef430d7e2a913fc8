// The file helpers: existence, deletion, and copies that keep the source's
// times and never leave a half-written destination.

#include "util/files.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/file_system.h"
#include "test_system.h"
#include "util/text.h"

namespace plattero {
namespace {

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = testing::MakeScratchFolder(); }
  void TearDown() override { testing::RemoveScratchFolder(dir_); }

  std::u16string Path(const std::string& name) const { return Utf8ToUtf16(dir_ + name); }
  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(testing::FsPath(dir_ + name), std::ios::binary) << content;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(testing::FsPath(dir_ + name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::string dir_;
};

TEST_F(FileTest, IsExistingFileAndDeleteFileQuiet) {
  Write("図面.jww", "x");
  ASSERT_TRUE(std::filesystem::create_directory(testing::FsPath(dir_ + "sub")));
  EXPECT_TRUE(IsExistingFile(Path("図面.jww")));
  EXPECT_FALSE(IsExistingFile(Path("sub")));
  EXPECT_FALSE(IsExistingFile(Path("missing")));
  EXPECT_FALSE(IsExistingFile(u""));
  EXPECT_FALSE(IsExistingFile(Path(std::string("図面.jww\0x", 12))));

  EXPECT_FALSE(DeleteFileQuiet(Path("sub")));  // never a folder
  EXPECT_TRUE(std::filesystem::is_directory(testing::FsPath(dir_ + "sub")));
  EXPECT_FALSE(DeleteFileQuiet(Path("missing")));
  EXPECT_FALSE(DeleteFileQuiet(Path("nofolder/a")));
  EXPECT_FALSE(DeleteFileQuiet(u""));
  EXPECT_TRUE(DeleteFileQuiet(Path("図面.jww")));
  EXPECT_FALSE(IsExistingFile(Path("図面.jww")));
}

TEST_F(FileTest, CopyKeepsContentAndTimes) {
  std::string content(10000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i)
    content[i] = static_cast<char>(i * 7 % 251);
  Write("src.bmp", content);
  // Whole 100 ns steps, which every system keeps.
  platform::TFileTimes times;
  times.creation_ns = 1400000000'000000000;
  times.access_ns = 1500000000'123456700;
  times.write_ns = 1600000000'987654300;
  ASSERT_TRUE(platform::SetFileTimes(Path("src.bmp"), times));
  const platform::TFileTimes source = *platform::GetFileTimes(Path("src.bmp"));
  Write("dst.bmp", std::string(20000, 'x'));  // replaced, not overwritten in place

  CopyFileKeepTimes(Path("src.bmp"), Path("dst.bmp"));

  // Before reading the copy, which may touch its access time.
  const auto copied = platform::GetFileTimes(Path("dst.bmp"));
  ASSERT_TRUE(copied);
  EXPECT_EQ(copied->access_ns, times.access_ns);
  EXPECT_EQ(copied->write_ns, times.write_ns);
  EXPECT_EQ(copied->creation_ns, source.creation_ns);  // where the system keeps one
  EXPECT_EQ(Read("dst.bmp"), content);
}

TEST_F(FileTest, CopyFailures) {
  std::filesystem::create_directory(testing::FsPath(dir_ + "sub"));
  EXPECT_THROW(CopyFileKeepTimes(Path("missing"), Path("dst")), std::runtime_error);
  EXPECT_THROW(CopyFileKeepTimes(Path("nofolder/a"), Path("dst")), std::runtime_error);
  EXPECT_THROW(CopyFileKeepTimes(Path("sub"), Path("dst")), std::runtime_error);
  EXPECT_THROW(CopyFileKeepTimes(u"", Path("dst")), std::runtime_error);
  EXPECT_FALSE(IsExistingFile(Path("dst")));

  Write("src", "data");
  EXPECT_NO_THROW(CopyFileKeepTimes(Path("src"), Path("nofolder/dst")));  // not passed on
  EXPECT_NO_THROW(CopyFileKeepTimes(Path("src"), Path("src")));  // onto itself: left intact
  EXPECT_EQ(Read("src"), "data");
}

#ifndef _WIN32  // Windows has no file-size limit that could make a write fail part-way.
TEST_F(FileTest, CopyDeletesDestinationWhenWritingFails) {
  Write("src", std::string(10000, 'a'));
  const std::u16string src = Path("src");
  const std::u16string dst = Path("dst");
  // A child process with a file size limit makes the second block's write fail.
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit = {5000, 5000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      CopyFileKeepTimes(src, dst);
    } catch (...) {
      ::_exit(2);
    }
    ::_exit(IsExistingFile(dst) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(IsExistingFile(dst));
}
#endif

}  // namespace
}  // namespace plattero
