#pragma once

// Reading the drawing a command works on, the files it writes, and the error
// lines it reports.

#include <ostream>
#include <string>
#include <vector>

#include "jww/jww_data.h"

namespace plattero::cli {

enum class ReadResult {
  kNotOpened,  // not a readable file: nothing was read
  kPartial,    // FileIn returned false; the document holds what was read
  kComplete,
};

// Reads the drawing at `path` into doc. With a non-empty `image_folder` the
// embedded images are extracted into it; otherwise the image section is read
// without writing any file. Unless the read was complete, writes one line to
// err naming the file, where and why.
ReadResult ReadDrawing(const std::u16string& path, TJwwData& doc,
                       const std::u16string& image_folder, std::ostream& err);

// A path as the lines of the command line show it (UTF-8, printable).
std::string Shown(const std::u16string& path);

// "plattero-cli: <what> "<path>": <why>", the form of every error line.
std::string ErrorLine(std::string_view what, const std::u16string& path, std::string_view why);

// Checks the files a command is to write before it does any work: each must
// be a name where a file may be written (a device, a FIFO, a folder is
// refused: kExitWriteFailed), and none may be the same file as an input or as
// another output (kExitUsage). Writes one error line and returns the exit
// code, or kExitOk when all is well.
int CheckOutputs(const std::vector<std::u16string>& inputs,
                 const std::vector<std::u16string>& outputs, std::ostream& err);

}  // namespace plattero::cli
