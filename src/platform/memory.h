#pragma once

// A hint about how the system backs large allocations.

#include <cstddef>

namespace plattero::platform {

// Asks the system to back the whole 2 MiB pages inside [data, data + bytes)
// with huge pages. Only a hint: does nothing where unsupported or when the
// range holds no whole huge page.
void AdviseHugePages(const void* data, std::size_t bytes);

}  // namespace plattero::platform
