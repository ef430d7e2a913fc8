#pragma once

// Reading default values of the Windows registry.

#include <windows.h>

#include <optional>
#include <string>

namespace plattero::desktop {

// The default string value of `key` below `root`: a REG_SZ value as it is, a
// REG_EXPAND_SZ one with its environment variables expanded. Nothing when
// the key cannot be opened for reading or its default value is no string.
std::optional<std::u16string> ReadRegistryDefault(HKEY root, const std::u16string& key);

}  // namespace plattero::desktop
