#pragma once

// File helpers of the text and number utilities, over the file layer
// (platform/file_system.h). Paths may use "\\" or "/" as folder separator.

#include <cstdint>
#include <string_view>

namespace plattero {

// An existing regular file (not a folder); false for an empty path.
bool IsExistingFile(std::u16string_view path);

// The size in bytes of an existing regular file; 0 for anything else.
std::uint64_t RegularFileSize(std::u16string_view path);

// True after the file was deleted; false for an empty path and every failure.
bool DeleteFileQuiet(std::u16string_view path);

// Copies source to destination in 4096-byte blocks and gives the copy the
// source's time stamps. Throws std::runtime_error when the source is missing
// or cannot be opened (nothing is written then). A failure while writing
// deletes the destination and is not passed on; a destination that is a
// link or anything but a regular file is never written.
void CopyFileKeepTimes(std::u16string_view source, std::u16string_view destination);

}  // namespace plattero
