#pragma once

// POSIX error numbers as file statuses, shared by the POSIX sources.

#include "platform/file_system.h"

namespace plattero::platform {

// The status for an errno value (kNone for 0).
TFileStatus StatusFromErrno(int error);

}  // namespace plattero::platform
