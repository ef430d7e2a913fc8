#pragma once

// The program's command line and its standard output streams.

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/unicode.h"

namespace plattero::platform {

// The arguments, the program's name first, as byte strings for the option
// parser: on POSIX systems as the system gave them; on Windows the UTF-16
// command line (whatever the ANSI code page) in UTF-8, with unicode.h's
// escaped bytes for what is no UTF-16 character.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The text of one argument (file names keep every byte, see unicode.h).
inline std::u16string ArgumentText(std::string_view arg) {
  return TextFromOsBytes(arg);
}

// Standard output and error for UTF-8 text: on a Windows console the text is
// shown as the characters it is, whatever the console's code page; redirected
// to a file or a pipe it stays UTF-8.
std::ostream& StandardOut();
std::ostream& StandardError();

}  // namespace plattero::platform
