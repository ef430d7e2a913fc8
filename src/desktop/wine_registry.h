#pragma once

// Read-only access to the default values of a Wine prefix's registry files.
//
// The files are text: a line "[Key\\Sub\\Name] <time>" opens a key (names
// escaped as Wine writes them, backslashes doubled), and a line
// "@=\"...\"" (or "@=str(2):\"...\"") gives the key's default string value.

#include <optional>
#include <string>
#include <vector>

namespace plattero::desktop {

// Decodes a Wine-escaped text from position `pos` up to the unescaped `end`
// character (which is consumed); `pos` is left after it. Escapes: \a \b \e \f
// \n \r \t \v, \x with up to four hex digits, up to three octal digits, any
// other character taken as it is. Nothing when `end` is never met.
std::optional<std::u16string> UnescapeWineText(const std::string& line, std::size_t& pos, char end);

// The default string value of `key` (relative to the file's root, "\"
// separated, compared without regard to case) in one registry file. Nothing
// when the file, the key or a string default value is missing, or the file is
// no regular file. Lines longer than 1 MiB are skipped.
std::optional<std::u16string> ReadRegDefault(const std::u16string& reg_file,
                                             const std::u16string& key);

// The default value of `key` under the classes root of a prefix: the user's
// "Software\Classes" (user.reg) first, then the machine's (system.reg).
std::optional<std::u16string> ReadClassesDefault(const std::u16string& prefix,
                                                 const std::u16string& key);

// The Wine prefixes Jw_cad is looked for in, in order: $WINEPREFIX when set,
// then "~/.wine"; each ends with "/".
std::vector<std::u16string> WinePrefixes();

}  // namespace plattero::desktop
