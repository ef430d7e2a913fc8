// Finding Jw_cad the same way on every system: the program path of a
// registered command, the two-step lookup of the ".JWW" association, the
// folder it gives and the command line that starts Jw_cad.

#include "desktop/jwcad.h"

#include <gtest/gtest.h>

#include <map>

#include "util/text.h"

namespace plattero::desktop {
namespace {

TEST(JwCadTest, ProgramPathOfACommand) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"C:\\JWW\\Jw_win.exe \"%1\"", u"C:\\JWW\\Jw_win.exe"},
      {u"\"C:\\JWW\\Jw_win.exe\" \"%1\"", u"C:\\JWW\\Jw_win.exe"},
      {u"C:\\JWW\\Jw_win.exe", u"C:\\JWW\\Jw_win.exe"},
      {u"\"C:\\Program Files\\JWW\\Jw_win.exe\" \"%1\"", u"C:\\Program Files\\JWW\\Jw_win.exe"},
      {u"\"C:\\JWW\\Jw_win.exe %1", u"C:\\JWW\\Jw_win.exe"},  // quote never closed
      {u" C:\\JWW\\Jw_win.exe", u""},
      {u"\"\" x", u""},
      {u"", u""},
  };
  for (const auto& [command, path] : cases) {
    EXPECT_EQ(ProgramPathOfCommand(command), path) << Utf16ToUtf8(command);
  }
  EXPECT_EQ(WindowsFolderOf(u"D:\\cad\\jwcad.exe"), u"D:\\cad\\");
  EXPECT_EQ(WindowsFolderOf(u"D:jwcad.exe"), u"D:");
  EXPECT_EQ(WindowsFolderOf(u"jwcad.exe"), u"");
}

// The association read through a table of keys: every way it can be
// incomplete gives the default folder.
TEST(JwCadTest, TheAssociationGivesJwCadsFolder) {
  using Keys = std::map<std::u16string, std::u16string>;
  const struct {
    const char* what;
    Keys keys;
    std::u16string app_path, folder;
  } cases[] = {
      {"no association", {}, u"", u"C:\\JWW\\"},
      {"a class without a command", {{u".JWW", u"JwwFile"}}, u"", u"C:\\JWW\\"},
      {"an empty class name",
       {{u".JWW", u""}, {u"\\shell\\open\\command", u"x.exe"}},
       u"",
       u"C:\\JWW\\"},
      {"an empty command",
       {{u".JWW", u"JwwFile"}, {u"JwwFile\\shell\\open\\command", u""}},
       u"",
       u"C:\\JWW\\"},
      {"a command that begins with a blank",
       {{u".JWW", u"JwwFile"}, {u"JwwFile\\shell\\open\\command", u" C:\\JWW\\x.exe"}},
       u"",
       u"C:\\JWW\\"},
      {"another program's name",
       {{u".JWW", u"JwwFile"}, {u"JwwFile\\shell\\open\\command", u"D:\\cad\\jwcad.exe \"%1\""}},
       u"D:\\cad\\jwcad.exe",
       u"D:\\cad\\"},
      {"a folder with blanks",
       {{u".JWW", u"Jw.File"},
        {u"Jw.File\\shell\\open\\command", u"\"C:\\Program Files\\Jw cad\\Jw_win.exe\" \"%1\""}},
       u"C:\\Program Files\\Jw cad\\Jw_win.exe",
       u"C:\\Program Files\\Jw cad\\"},
  };
  for (const auto& c : cases) {
    std::vector<std::u16string> asked;
    const std::u16string app = JwwAppPathFrom([&](const std::u16string& key) {
      asked.push_back(key);
      const auto it = c.keys.find(key);
      return it == c.keys.end() ? std::nullopt : std::optional<std::u16string>(it->second);
    });
    EXPECT_EQ(app, c.app_path) << c.what;
    EXPECT_EQ(JwwPathFrom(app), c.folder) << c.what;
    ASSERT_FALSE(asked.empty()) << c.what;
    EXPECT_EQ(asked.front(), u".JWW") << c.what;
  }
}

TEST(JwCadTest, TheCommandLineQuotesTheProgramAndTheDrawing) {
  EXPECT_EQ(JwCadCommandLine(u"D:\\plans\\a.jww", u"C:\\JWW\\"),
            u"\"C:\\JWW\\Jw_win.exe\" \"D:\\plans\\a.jww\"");
  EXPECT_EQ(JwCadCommandLine(u"D:\\図面 1\\a b.jww", u"C:\\Program Files\\Jw cad\\"),
            u"\"C:\\Program Files\\Jw cad\\Jw_win.exe\" \"D:\\図面 1\\a b.jww\"");
}

}  // namespace
}  // namespace plattero::desktop
