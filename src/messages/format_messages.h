#pragma once

// The English reasons the command line gives when a drawing could not be read
// or written, made from the document's typed status.

#include <string>

#include "jww/io_status.h"
#include "platform/file_system.h"

namespace plattero {

// Why a read stopped, with the part of the drawing it stopped in: "entity
// list: unknown class name", "header: version 800 outside 220..700",
// "cannot open the file: no such file or folder". Empty for a read that did
// not fail.
std::string ReadFailureText(const TJwwReadStatus& status);

// Why a write failed: the file system's reason for kFile, else what the
// writer met ("the document holds no drawing"). Empty for kNone.
std::string WriteFailureText(TWriteFailure failure, const platform::TFileStatus& file);

}  // namespace plattero
