#pragma once

// Shared between the system-independent and the system-specific parts of
// file_system.h.

#include <cstddef>
#include <string>
#include <string_view>

namespace plattero::platform {

// A new name for the temporary file that replaces a file named `name`:
// ".<name>.<16 random hex digits>.tmp", the name shortened (never inside a
// character) so that the whole stays within `name_max` bytes of its byte
// name (unicode.h). Counted so, it also stays within as many UTF-16 units.
std::u16string TemporaryNameFor(std::u16string_view name, std::size_t name_max);

}  // namespace plattero::platform
