// What only a POSIX system lets a test set up: devices, FIFOs, sockets and
// symbolic links standing where an output goes, a file-size limit, and file
// names whose bytes are no UTF-8.

#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "drawing_builder.h"
#include "platform/file_system.h"
#include "platform/temporary.h"
#include "platform/unicode.h"
#include "util/text.h"

namespace plattero::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Write(const std::u16string& path, const std::string& text, TFileStatus* status = nullptr) {
  return WriteFileReplacing(path, text.data(), text.size(), status);
}

TEST(OutputTargets, WhatIsNoRegularFileIsNeverReplaced) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string sock_path = dir.file("sock");
  ASSERT_LT(sock_path.size(), sizeof addr.sun_path);
  sock_path.copy(addr.sun_path, sock_path.size());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  fs::create_symlink(dir.file("nothing"), dir.file("dangling"));
  fs::create_symlink(dir.file("fifo"), dir.file("to-fifo"));

  const char* refused[] = {"fifo", "sock", "dangling", "to-fifo"};
  for (const char* name : refused) {
    TFileStatus status;
    EXPECT_FALSE(Write(dir.ufile(name), "x", &status)) << name;
    EXPECT_EQ(status.error, TFileError::kNotRegular) << name;
  }
  // A device is refused before anything is made beside it.
  TFileStatus status;
  EXPECT_FALSE(CheckOutputTarget(u"/dev/null", &status));
  EXPECT_EQ(status.error, TFileError::kNotRegular);
  TOutputFile device;
  EXPECT_FALSE(device.Open(u"/dev/null"));

  struct stat st {};
  ASSERT_EQ(::lstat(dir.file("fifo").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  ASSERT_EQ(::lstat(dir.file("sock").c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_TRUE(fs::is_symlink(dir.file("dangling")));
  EXPECT_FALSE(fs::exists(dir.file("nothing")));
  ASSERT_EQ(::stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  ::close(sock);
}

TEST(OutputTargets, ALinkIsWrittenThroughAndStaysALink) {
  TempDir dir;
  fs::create_directory(dir.file("real"));
  ASSERT_TRUE(Write(dir.ufile("real/a.jww"), "old"));
  ::chmod(dir.file("real/a.jww").c_str(), 0640);
  fs::create_symlink("real/a.jww", dir.file("link.jww"));
  TOutputFile out;
  ASSERT_TRUE(out.Open(dir.ufile("link.jww")));
  EXPECT_EQ(out.Target(), dir.ufile("real/a.jww"));
  ASSERT_TRUE(out.Write("new", 3) && out.Commit());
  EXPECT_TRUE(fs::is_symlink(dir.file("link.jww")));
  EXPECT_EQ(Read(dir.file("real/a.jww")), "new");
  struct stat st {};
  ASSERT_EQ(::stat(dir.file("real/a.jww").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // the replacement keeps the permissions
}

// A file this user may not write is kept, though its folder would let the
// rename put another in its place; an administrator may write it, as cp lets
// one. Seen as the unprivileged user 65534, in a child process.
TEST(OutputTargets, AFileTheUserMayNotWriteIsKept) {
  TempDir dir;
  ASSERT_TRUE(Write(dir.ufile("old.jww"), "old"));
  ASSERT_EQ(::chmod(dir.file("old.jww").c_str(), 0444), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);  // anyone may make files in the folder
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const bool dropped = ::geteuid() != 0 || (::setgroups(0, nullptr) == 0 &&
                                              ::setgid(65534) == 0 && ::setuid(65534) == 0);
    if (!dropped || ::access(dir.path().c_str(), W_OK | X_OK) != 0) ::_exit(77);
    TFileStatus checked, written;
    const bool refused = !CheckOutputTarget(dir.ufile("old.jww"), &checked) &&
                         checked.error == TFileError::kPermission &&
                         !Write(dir.ufile("old.jww"), "new", &written) &&
                         written.error == TFileError::kPermission;
    ::_exit(!refused ? 1 : Write(dir.ufile("new.jww"), "new") ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot run as an unprivileged user";
  EXPECT_EQ(WEXITSTATUS(status), 0);  // 1: replaced or not refused so; 2: no file could be made
  EXPECT_EQ(Read(dir.file("old.jww")), "old");
  EXPECT_EQ(Read(dir.file("new.jww")), "new");
  if (::geteuid() == 0) {
    EXPECT_TRUE(Write(dir.ufile("old.jww"), "root's"));
    EXPECT_EQ(Read(dir.file("old.jww")), "root's");
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("old.jww").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
  }
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
    ++entries;
  EXPECT_EQ(entries, 2u);
}

TEST(OutputFile, AFileSizeLimitFailsTheWriteWithItsReason) {
  TempDir dir;
  ASSERT_TRUE(Write(dir.ufile("out.jww"), "previous"));
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const std::string big(100000, 'z');
    TFileStatus status;
    const bool ok = Write(dir.ufile("out.jww"), big, &status);
    ::_exit(ok ? 1 : status.error == TFileError::kTooLarge ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Read(dir.file("out.jww")), "previous");
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
    ++entries;
  EXPECT_EQ(entries, 1u);
}

TEST(ByteNames, NamesThatAreNoUtf8KeepEveryByte) {
  // Every single byte, a Shift-JIS name, bytes that look like a cut UTF-8
  // character, and the UTF-8 form of a lone surrogate.
  std::vector<std::string> names;
  for (int b = 1; b < 256; ++b)
    names.emplace_back(1, static_cast<char>(b));
  names.push_back("\x90\x7D\x96\xCA.jww");  // "図面.jww" in Shift-JIS
  names.push_back("\xE5\x9B");
  names.push_back("\xED\xB2\x80");
  names.push_back("a\xC3\xA9\xFF");
  for (const std::string& bytes : names) {
    const std::u16string text = TextFromOsBytes(bytes);
    EXPECT_EQ(OsBytesFromText(text), bytes);
  }
  EXPECT_EQ(DisplayText(TextFromOsBytes("\x90\x7D\x96\xCA.jww")), u"図面.jww");
  EXPECT_EQ(DisplayText(TextFromOsBytes("a\xFF")), u"a\uFFFD");

  TempDir dir;
  const std::string sjis = dir.file("\x90\x7D\x96\xCA.jww");
  ASSERT_TRUE(Write(TextFromOsBytes(sjis), "drawing"));
  EXPECT_EQ(Read(sjis), "drawing");
  EXPECT_TRUE(IsRegularFile(TextFromOsBytes(sjis)));
  EXPECT_EQ(FolderEntries(TextFromOsBytes(dir.path())),
            std::vector<std::u16string>{TextFromOsBytes("\x90\x7D\x96\xCA.jww")});
}

TEST(ScratchFile, APlantedLinkIsRefusedAndWhatItNamesUntouched) {
  TempDir dir;
  ASSERT_TRUE(Write(dir.ufile("precious"), "keep"));
  fs::create_symlink(dir.file("precious"), dir.file("img.bmp"));
  TFileStatus status;
  EXPECT_FALSE(WriteScratchFile(dir.ufile("img.bmp"), "evil", 4, &status));
  EXPECT_EQ(status.error, TFileError::kNotRegular);
  EXPECT_EQ(Read(dir.file("precious")), "keep");
}

// Links planted where we write, lock or remove are never followed: what they
// name stays as it was.
TEST(PlantedLinks, AreNeverFollowed) {
  TempDir dir, outside;
  ASSERT_TRUE(Write(outside.ufile("precious"), "keep"));
  fs::create_directory(outside.file("folder"));
  ASSERT_TRUE(Write(outside.ufile("folder/precious"), "keep"));

  // A lock file's name.
  fs::create_symlink(outside.file("precious"), dir.file("lock-link"));
  ASSERT_EQ(::mkfifo(dir.file("lock-fifo").c_str(), 0600), 0);
  TLockFile lock;
  EXPECT_FALSE(lock.TryLock(dir.ufile("lock-link")));
  EXPECT_FALSE(lock.TryLock(dir.ufile("lock-fifo")));  // without waiting for a writer

  // A tree holding links to a file and a folder outside it, and a link given
  // as the tree itself.
  fs::create_directories(dir.file("tree/sub"));
  fs::create_symlink(outside.file("precious"), dir.file("tree/file-link"));
  fs::create_symlink(outside.file("folder"), dir.file("tree/sub/folder-link"));
  fs::create_directory_symlink(outside.file("folder"), dir.file("tree-link"));
  EXPECT_TRUE(RemoveTree(dir.ufile("tree-link/")));
  EXPECT_TRUE(RemoveTree(dir.ufile("tree")));
  EXPECT_FALSE(fs::exists(dir.file("tree")));
  EXPECT_FALSE(fs::is_symlink(dir.file("tree-link")));

  // An output whose target became a link before it was replaced.
  ASSERT_TRUE(Write(dir.ufile("a.jww"), "old"));
  TOutputFile out;
  ASSERT_TRUE(out.Open(dir.ufile("a.jww")));
  ASSERT_TRUE(out.Write("new", 3));
  fs::remove(dir.file("a.jww"));
  fs::create_symlink(outside.file("precious"), dir.file("a.jww"));
  EXPECT_FALSE(out.Commit());
  EXPECT_EQ(out.Status().error, TFileError::kNotRegular);
  EXPECT_TRUE(fs::is_symlink(dir.file("a.jww")));

  EXPECT_EQ(Read(outside.file("precious")), "keep");
  EXPECT_EQ(Read(outside.file("folder/precious")), "keep");
  std::vector<std::u16string> left = FolderEntries(dir.upath());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::u16string>{u"a.jww", u"lock-fifo", u"lock-link"}));
}

TEST(PrivateFolders, OnlyTheirOwnerMayEnterThem) {
  TempDir dir;
  const auto made = MakePrivateFolder(dir.upath(), u"p-");
  ASSERT_TRUE(made);
  UnregisterCleanup(*made);
  struct stat st {};
  ASSERT_EQ(::stat(OsBytesFromText(*made).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_TRUE(MakeFolders(*made + u"/a/b"));
  ASSERT_EQ(::stat(OsBytesFromText(*made + u"/a/b").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

}  // namespace
}  // namespace plattero::platform
