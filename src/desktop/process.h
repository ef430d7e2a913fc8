#pragma once

// Starting outside programs (POSIX systems).

#include <string>
#include <vector>

namespace plattero::desktop {

// The program to run for a name: the name itself when it holds a "/", else
// the first executable file of that name in the folders of $PATH. Empty when
// none is found.
std::string FindProgram(const std::string& name);

// Starts `program` (a path) with `args` (argv[1]...) detached from this
// process: in a session of its own, not our child, standard input from
// /dev/null, no open descriptors inherited besides standard output and error,
// the environment passed on. It starts in `folder` when that is not empty and
// can be entered. `set_env` ("NAME=value" each) replaces or adds variables of
// the environment passed on. Returns once the program has been executed (true)
// or could not be (false); it does not wait for the program itself.
bool StartDetached(const std::string& program, const std::vector<std::string>& args,
                   const std::string& folder, const std::vector<std::string>& set_env = {});

}  // namespace plattero::desktop
