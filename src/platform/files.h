#pragma once

// Small file-system services of the desktop front end: bounded reads, writes
// that replace a file only when complete, and folder helpers. Paths are
// in-memory texts (UTF-16); folders passed in or returned end with "/".

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plattero::platform {

// The first `max_bytes` bytes of a regular file (all of it when shorter);
// nothing when it does not exist, is not a regular file or cannot be read.
std::optional<std::vector<std::uint8_t>> ReadFileBounded(const std::u16string& path,
                                                         std::size_t max_bytes);

// Writes the bytes under a temporary name in the same folder and renames that
// file over `path` once it is complete and flushed. On failure `path` keeps its
// previous content and the temporary file is removed.
bool WriteFileReplacing(const std::u16string& path, const std::vector<std::uint8_t>& bytes);

// An existing folder (symbolic links followed).
bool IsExistingFolder(const std::u16string& path);

// A folder in which this process may create files.
bool IsWritableFolder(const std::u16string& path);

// Creates the folder and every missing parent (new ones with mode 0700). True
// when the folder exists afterwards.
bool MakeFolders(const std::u16string& path);

// Removes the folder when it is empty; every failure is ignored.
void RemoveFolderQuiet(const std::u16string& path);

// The folder part of a path, up to and including its last "/"; empty when it
// has none.
std::u16string FolderOf(const std::u16string& path);

// The value of an environment variable; empty when unset.
std::u16string EnvText(const char* name);

}  // namespace plattero::platform
