#pragma once

// Temporary folders, and the removal of temporary files and folders on every
// way out of a program, an interrupt included.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace plattero::platform {

// The folder for temporary files, without a trailing separator: $TMPDIR when
// set and not empty, else /tmp; on Windows the user's temporary folder.
std::u16string TempRoot();

// Makes a new folder that only this user may enter, under `root`, named
// `prefix` followed by random characters, and registers it for removal on an
// interrupt (UnregisterCleanup when it is removed). Nothing on failure.
std::optional<std::u16string> MakePrivateFolder(std::u16string_view root,
                                                std::u16string_view prefix,
                                                TFileStatus* status = nullptr);

// Runs `make`, which makes a file or folder and returns its path (nothing
// when it made none), and registers that path in the same step, so that no
// interrupt can come between the two and leave it behind: it is removed (a
// folder with everything in it) should the program be interrupted before
// UnregisterCleanup. Both are safe from any thread; `make` must not register
// anything itself.
std::optional<std::u16string> MakeRegistered(
    const std::function<std::optional<std::u16string>()>& make);
void UnregisterCleanup(std::u16string_view path);

// For a program that runs to its end: from now on an interrupt (Ctrl+C, a
// request to terminate, a closed terminal) first removes every registered
// path and then ends the program as the interrupt would have; a file-size
// limit makes writes fail instead of ending the program. Call once, at the
// start of main, before any other thread exists.
void InstallInterruptCleanup();

}  // namespace plattero::platform
