// Locations, the Wine registry and starting Jw_cad through a stand-in "wine"
// script: the desktop layer on POSIX systems.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "desktop/jwcad.h"
#include "desktop/jwcad_wine.h"
#include "desktop/locations.h"
#include "desktop/process.h"
#include "desktop/wine_registry.h"
#include "drawing_builder.h"
#include "platform/file_system.h"
#include "platform/temporary.h"
#include "test_system.h"
#include "util/text.h"

namespace plattero::desktop {
namespace {

namespace fs = std::filesystem;
using platform::IsExistingFolder;
using platform::TempRoot;
using testing::ScopedEnv;
using testing::TempDir;

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// --- Locations ---------------------------------------------------------------------------

TEST(LocationsTest, WritableFolderKeepsEverythingBesideTheProgram) {
  TempDir dir;
  TLocations loc = LocationsFor(dir.ufile("plattero"));
  EXPECT_TRUE(loc.beside_exe);
  EXPECT_EQ(loc.ExePath, dir.upath());
  EXPECT_EQ(loc.SettingsFile, dir.ufile("plattero.dat"));
  EXPECT_EQ(loc.TmpPath, dir.ufile("TEMP/"));
  EXPECT_EQ(loc.TmpPath2, dir.ufile("TEMP2/"));

  // Creating folders that already exist is no error.
  fs::create_directory(dir.file("TEMP"));
  ASSERT_TRUE(PrepareImageFolders(loc));
  EXPECT_TRUE(loc.PrivateDir.empty());
  EXPECT_TRUE(fs::is_directory(dir.file("TEMP2")));

  // A file left in TEMP keeps that folder; the empty TEMP2 goes.
  WriteText(dir.file("TEMP/left.bmp"), "x");
  RemoveImageFolders(loc);
  EXPECT_TRUE(fs::exists(dir.file("TEMP/left.bmp")));
  EXPECT_FALSE(fs::exists(dir.file("TEMP2")));
}

TEST(LocationsTest, InstalledProgramUsesTheConfigurationFolderAndAPrivateTemporaryFolder) {
  TempDir home, tmp;
  ScopedEnv xdg("XDG_CONFIG_HOME", home.file("conf"));
  ScopedEnv tmpdir("TMPDIR", tmp.path());
  // A program whose folder cannot be written to.
  TLocations loc = LocationsFor(u"/nonexistent-folder/bin/plattero");
  EXPECT_FALSE(loc.beside_exe);
  EXPECT_EQ(loc.ExePath, u"/nonexistent-folder/bin/");
  EXPECT_EQ(loc.SettingsFile, home.ufile("conf/plattero/plattero.dat"));

  ASSERT_TRUE(PrepareImageFolders(loc));
  ASSERT_FALSE(loc.PrivateDir.empty());
  EXPECT_EQ(loc.PrivateDir.rfind(tmp.upath() + u"plattero-", 0), 0u);
  EXPECT_EQ(loc.TmpPath, loc.PrivateDir + u"TEMP/");
  EXPECT_EQ(loc.TmpPath2, loc.PrivateDir + u"TEMP2/");
  EXPECT_TRUE(IsExistingFolder(loc.TmpPath));
  EXPECT_TRUE(IsExistingFolder(loc.TmpPath2));
  RemoveImageFolders(loc);
  EXPECT_FALSE(IsExistingFolder(loc.PrivateDir));
}

TEST(LocationsTest, ImageFoldersThatCannotBeMadeBesideTheProgramMoveToAPrivateFolder) {
  TempDir dir, tmp;
  ScopedEnv tmpdir("TMPDIR", tmp.path());
  WriteText(dir.file("TEMP"), "a file where the folder should be");
  TLocations loc = LocationsFor(dir.ufile("plattero"));
  ASSERT_TRUE(PrepareImageFolders(loc));
  EXPECT_EQ(loc.SettingsFile, dir.ufile("plattero.dat"));
  EXPECT_EQ(loc.TmpPath.rfind(tmp.upath(), 0), 0u);
  EXPECT_TRUE(IsExistingFolder(loc.TmpPath2));

  // No place at all: reported, and no folder is named.
  TLocations none = LocationsFor(dir.ufile("plattero"));
  ScopedEnv bad_tmp("TMPDIR", dir.file("TEMP"));  // a file, not a folder
  EXPECT_FALSE(PrepareImageFolders(none));
  EXPECT_TRUE(none.TmpPath.empty());
  EXPECT_TRUE(none.TmpPath2.empty());
  RemoveImageFolders(loc);
}

// Two windows never share image folders; what a killed window left is
// removed by the next one that takes the folders, or that looks for a
// private folder of its own.
TEST(LocationsTest, EachWindowHasImageFoldersOfItsOwn) {
  TempDir dir, tmp;
  ScopedEnv tmpdir("TMPDIR", tmp.path());
  fs::create_directories(dir.file("TEMP"));
  WriteText(dir.file("TEMP/left-by-a-killed-window.bmp"), "x");
  TLocations first = LocationsFor(dir.ufile("plattero"));
  ASSERT_TRUE(PrepareImageFolders(first));
  EXPECT_EQ(first.TmpPath, dir.ufile("TEMP/"));
  EXPECT_FALSE(fs::exists(dir.file("TEMP/left-by-a-killed-window.bmp")));

  TLocations second = LocationsFor(dir.ufile("plattero"));
  ASSERT_TRUE(PrepareImageFolders(second));
  ASSERT_FALSE(second.PrivateDir.empty());
  EXPECT_EQ(second.TmpPath.rfind(tmp.upath(), 0), 0u);
  EXPECT_NE(second.TmpPath2, first.TmpPath2);

  // The second window is killed: its lock dies with it, the lock file and
  // its images stay, and the next window removes them.
  const std::string abandoned = Utf16ToUtf8(second.PrivateDir);
  WriteText(abandoned + "TEMP/image.bmp", "x");
  second.Lock.reset();
  WriteText(abandoned + "TEMP/.plattero-lock", "");
  TLocations third = LocationsFor(dir.ufile("plattero"));
  ASSERT_TRUE(PrepareImageFolders(third));
  EXPECT_FALSE(fs::exists(abandoned));
  RemoveImageFolders(third);
  RemoveImageFolders(first);
  EXPECT_FALSE(fs::exists(dir.file("TEMP")));
}

TEST(LocationsTest, ConfigurationFolderIgnoresARelativeXdgPath) {
  ScopedEnv home("HOME", "/home/someone");
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "relative/conf");
    EXPECT_EQ(ConfigHome(), u"/home/someone/.config/");
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/etc/xdg-conf");
    EXPECT_EQ(ConfigHome(), u"/etc/xdg-conf/");
  }
  ScopedEnv tmp("TMPDIR", std::nullopt);
  EXPECT_EQ(TempRoot(), u"/tmp");
}

// --- Wine registry -----------------------------------------------------------------------

TEST(WineRegistryTest, EscapesDecode) {
  struct Case {
    std::string line;
    std::u16string text;
    std::size_t end_pos;
  };
  const Case cases[] = {
      {R"(plain" tail)", u"plain", 6},
      {R"(C:\\JWW\\Jw_win.exe \"%1\"")", u"C:\\JWW\\Jw_win.exe \"%1\"", 27},
      {R"(\x65e5\x672c")", u"日本", 13},
      {R"(\x41B")", u"\x41B", 6},  // four hex digits at most: \x41B is one unit
      {R"(a\tb\nc\0d\101")", std::u16string(u"a\tb\nc\0dA", 8), 15},
      {R"(\xzz")", u"xzz", 5},
      {"caf\xC3\xA9\"", u"café", 6},
  };
  for (const Case& c : cases) {
    std::size_t pos = 0;
    const auto text = UnescapeWineText(c.line, pos, '"');
    ASSERT_TRUE(text) << c.line;
    EXPECT_EQ(*text, c.text) << c.line;
    EXPECT_EQ(pos, c.end_pos) << c.line;
  }
  std::size_t pos = 0;
  EXPECT_FALSE(UnescapeWineText(R"(never closed\")", pos, '"'));
}

const char kSystemReg[] =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\Machine\n"
    "\n"
    "#arch=win32\n"
    "\n"
    "[Software\\\\Classes\\\\.jww] 1700000000\n"
    "#time=1d9f0c0a0b0c0d0\n"
    "@=\"JwwFile\"\n"
    "\n"
    "[Software\\\\Classes\\\\JwwFile\\\\shell\\\\open\\\\command] 1700000000\n"
    "@=\"\\\"C:\\\\Program Files\\\\JWW\\\\jwcad.exe\\\" \\\"%1\\\"\"\n"
    "\n"
    "[Software\\\\Classes\\\\NoDefault] 1700000000\n"
    "\"Name\"=\"x\"\n"
    "[Software\\\\Classes\\\\Binary] 1700000000\n"
    "@=hex:01,02\n";

TEST(WineRegistryTest, DefaultValuesComeFromTheUserBeforeTheMachine) {
  TempDir prefix;
  WriteText(prefix.file("system.reg"), kSystemReg);
  EXPECT_EQ(ReadClassesDefault(prefix.upath(), u".JWW"), u"JwwFile");  // any case
  EXPECT_EQ(GetJwwAppPath(prefix.upath()), u"C:\\Program Files\\JWW\\jwcad.exe");
  EXPECT_EQ(JwwPathFrom(GetJwwAppPath(prefix.upath())), u"C:\\Program Files\\JWW\\");
  EXPECT_FALSE(ReadClassesDefault(prefix.upath(), u"NoDefault"));
  EXPECT_FALSE(ReadClassesDefault(prefix.upath(), u"Binary"));
  EXPECT_FALSE(ReadClassesDefault(prefix.upath(), u"Missing"));

  // The user's association wins, CR LF line ends and an expandable string too.
  WriteText(prefix.file("user.reg"),
            "WINE REGISTRY Version 2\r\n"
            "[Software\\\\Classes\\\\.JWW] 1700000001\r\n"
            "@=\"UserJww\"\r\n"
            "[Software\\\\Classes\\\\userjww\\\\Shell\\\\Open\\\\Command] 1700000001\r\n"
            "@=str(2):\"D:\\\\cad\\\\jwcad.exe \\\"%1\\\"\"\r\n");
  EXPECT_EQ(GetJwwAppPath(prefix.upath()), u"D:\\cad\\jwcad.exe");
  EXPECT_EQ(JwwPathFrom(GetJwwAppPath(prefix.upath())), u"D:\\cad\\");
}

TEST(WineRegistryTest, NoAssociationGivesTheDefaultFolder) {
  TempDir prefix;
  EXPECT_EQ(GetJwwAppPath(prefix.upath()), u"");
  EXPECT_EQ(JwwPathFrom(u""), u"C:\\JWW\\");
  // An over-long line is skipped, not held.
  WriteText(prefix.file("system.reg"),
            std::string(1500000, 'x') + "\n" + "[Software\\\\Classes\\\\.jww]\n@=\"Cls\"\n");
  EXPECT_EQ(ReadClassesDefault(prefix.upath(), u".jww"), u"Cls");
  EXPECT_EQ(GetJwwAppPath(prefix.upath()), u"");  // the class has no command
}

// A registry file that is no regular file is passed over at once: a FIFO
// would otherwise keep the window from starting until something wrote to it.
TEST(WineRegistryTest, WhatIsNoRegularFileIsNotRead) {
  TempDir prefix;
  ASSERT_EQ(::mkfifo(prefix.file("user.reg").c_str(), 0600), 0);
  fs::create_directory(prefix.file("system.reg"));
  EXPECT_FALSE(ReadClassesDefault(prefix.upath(), u".jww"));
  fs::remove(prefix.file("system.reg"));
  WriteText(prefix.file("system.reg"), kSystemReg);
  EXPECT_EQ(GetJwwAppPath(prefix.upath()), u"C:\\Program Files\\JWW\\jwcad.exe");
}

TEST(JwCadTest, WinePathsUseDriveZ) {
  EXPECT_EQ(WinePathOf(u"/home/u/a b.jww"), u"Z:\\home\\u\\a b.jww");
}

// --- Starting Jw_cad ----------------------------------------------------------------------

// Waits until the file exists and is complete (ends with "end").
std::string WaitForRecord(const std::string& path) {
  for (int i = 0; i < 500; ++i) {
    const std::string text = ReadText(path);
    if (text.size() >= 4 && text.substr(text.size() - 4) == "end\n") return text;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return {};
}

TEST(JwCadTest, StartsTheWineLoaderWithTheProgramAndTheDrawingInWineForm) {
  TempDir dir, prefix;
  const std::string record = dir.file("record.txt");
  WriteText(dir.file("fake-wine"),
            "#!/bin/sh\n{ pwd; echo \"$WINEPREFIX\"; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; "
            "done; "
            "echo end; } > '" +
                record + "'\n");
  ::chmod(dir.file("fake-wine").c_str(), 0755);
  WriteText(dir.file("a b.jww"), "drawing");
  fs::create_directories(prefix.file("drive_c/JWW"));
  fs::create_directories(prefix.file("dosdevices"));
  fs::create_directory_symlink("../drive_c", prefix.file("dosdevices/c:"));
  EXPECT_EQ(LocalFolderOf(prefix.upath(), u"C:\\JWW\\"), prefix.ufile("dosdevices/c:/JWW/"));
  EXPECT_EQ(LocalFolderOf(prefix.upath(), u"C:\\Other\\"), prefix.ufile("dosdevices/c:/"));
  EXPECT_EQ(LocalFolderOf(prefix.upath(), u"D:\\cad\\"), u"");

  ScopedEnv wine("PLATTERO_WINE", dir.file("fake-wine"));
  ASSERT_TRUE(OpenInJwCad(dir.ufile("a b.jww"), u"C:\\JWW\\", prefix.upath()));
  const std::string expected = fs::canonical(prefix.file("drive_c/JWW")).string() + "\n" +
                               prefix.path().substr(0, prefix.path().size() - 1) + "\n" +
                               "[C:\\JWW\\Jw_win.exe]\n" + "[" +
                               Utf16ToUtf8(WinePathOf(dir.ufile("a b.jww"))) + "]\nend\n";
  EXPECT_EQ(WaitForRecord(record), expected);

  // A drawing that is gone starts nothing.
  fs::remove(record);
  EXPECT_FALSE(OpenInJwCad(dir.ufile("gone.jww"), u"C:\\JWW\\", prefix.upath()));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(fs::exists(record));
}

TEST(JwCadTest, JwCadIsLookedForInWineprefixThenInTheHomePrefix) {
  TempDir home, other;
  fs::create_directory(home.file(".wine"));
  WriteText(home.file(".wine/system.reg"), kSystemReg);
  ScopedEnv home_env("HOME", home.path());
  {
    ScopedEnv prefix("WINEPREFIX", other.path());  // no Jw_cad there
    EXPECT_EQ(WinePrefixes(), (std::vector<std::u16string>{other.upath(), home.ufile(".wine/")}));
    EXPECT_EQ(JwCadPrefix(), home.ufile(".wine/"));
    EXPECT_EQ(GetJwwAppPath(), u"C:\\Program Files\\JWW\\jwcad.exe");
    WriteText(other.file("user.reg"), kSystemReg);  // now there is
    EXPECT_EQ(JwCadPrefix(), other.upath());
  }
  ScopedEnv prefix("WINEPREFIX", std::nullopt);
  EXPECT_EQ(WinePrefixes(), std::vector<std::u16string>{home.ufile(".wine/")});
  fs::remove(home.file(".wine/system.reg"));
  EXPECT_EQ(JwCadPrefix(), home.ufile(".wine/"));  // none has it: the first
}

TEST(JwCadTest, AMissingLoaderStartsNothing) {
  TempDir dir;
  WriteText(dir.file("a.jww"), "drawing");
  {
    ScopedEnv wine("PLATTERO_WINE", dir.file("no-such-wine"));
    EXPECT_FALSE(OpenInJwCad(dir.ufile("a.jww"), u"C:\\JWW\\", dir.upath()));
  }
  ScopedEnv wine("PLATTERO_WINE", std::nullopt);
  ScopedEnv path("PATH", dir.path());
  EXPECT_EQ(WineProgram(), "");
  EXPECT_FALSE(OpenInJwCad(dir.ufile("a.jww"), u"C:\\JWW\\", dir.upath()));
}

TEST(ProcessTest, ReportsWhetherTheProgramCouldBeExecuted) {
  TempDir dir;
  WriteText(dir.file("not-executable"), "#!/bin/sh\n");
  EXPECT_FALSE(StartDetached(dir.file("not-executable"), {}, ""));
  EXPECT_FALSE(StartDetached(dir.file("missing"), {}, ""));
  EXPECT_TRUE(StartDetached("/bin/true", {}, dir.path()));
  EXPECT_EQ(FindProgram("sh").empty(), false);
  EXPECT_EQ(FindProgram(dir.file("not-executable")), "");
}

}  // namespace
}  // namespace plattero::desktop
