#pragma once

// Shared between the system-independent and the system-specific parts of
// temporary.h.

namespace plattero::platform {

// Removes every registered path and keeps anything from being registered
// again; called once, when the program is interrupted, just before it ends.
void CleanUpForInterrupt();

}  // namespace plattero::platform
