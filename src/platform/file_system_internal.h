#pragma once

// Shared between the system-independent and the system-specific parts of
// file_system.h.

#include <cstddef>
#include <string>
#include <string_view>

namespace plattero::platform {

// A new name for the temporary file that replaces a file named `name`:
// ".<name>.<16 random hex digits>.tmp", the name shortened (never inside a
// character) so that the whole stays within `name_max`, counted in UTF-8
// bytes of the system's byte names or else in UTF-16 units.
std::u16string TemporaryNameFor(std::u16string_view name, std::size_t name_max, bool utf8_bytes);

}  // namespace plattero::platform
