#pragma once

// Shared by the sources of src/platform: statuses, names and checks written
// once for every system.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/system.h"

namespace plattero::platform {

// The status for a system error code (errno, a Windows error code), with the
// system's own words; kNone for 0.
TFileStatus StatusOf(int code);

// A failure of our own finding, not the system's.
TFileStatus Failure(TFileError error, std::string detail = {});

// Why no file can have this path: it is empty or holds a NUL ("no file
// name"), or the system refuses the name (sys::RefusedName).
std::optional<TFileStatus> RefusedPath(std::u16string_view path, sys::TUse use);

// Opens `path` as `how` says (sys::Open) and makes sure that what was opened
// is a regular file; anything else is closed again and refused. Beyond a
// file to read, a link opened as itself is refused too. *info: what the
// file is, when wanted.
TFileStatus OpenRegular(std::u16string_view path, sys::TOpen how, sys::TFile& file,
                        sys::TNodeInfo* info = nullptr);

// A new name for the temporary file that replaces a file named `name`:
// ".<name>.<16 random hex digits>.tmp", the name shortened (never inside a
// character) so that the whole stays within `name_max` bytes of its byte
// name (unicode.h). Counted so, it also stays within as many UTF-16 units.
std::u16string TemporaryNameFor(std::u16string_view name, std::size_t name_max);

}  // namespace plattero::platform
