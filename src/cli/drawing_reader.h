#pragma once

// Reading the drawing a command works on, with the error line it reports.

#include <ostream>
#include <string>

#include "jww/jww_data.h"

namespace plattero::cli {

enum class ReadResult {
  kNotOpened,  // not a readable file: nothing was read
  kPartial,    // FileIn returned false; the document holds what was read
  kComplete,
};

// Reads the drawing at `path` (UTF-8) into doc. With a non-empty
// `image_folder` the embedded images are extracted into it; otherwise the
// image section is read without writing any file. Unless the read was
// complete, writes one line to err naming the file, where and why.
ReadResult ReadDrawing(const std::string& path, TJwwData& doc, const std::string& image_folder,
                       std::ostream& err);

// "plattero-cli: <what> "<path>": <why>", the form of every error line.
std::string ErrorLine(std::string_view what, const std::string& path, std::string_view why);

}  // namespace plattero::cli
