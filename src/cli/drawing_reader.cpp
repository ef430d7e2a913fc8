#include "cli/drawing_reader.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "cli/json_dump.h"
#include "util/text.h"

namespace plattero::cli {

std::string ErrorLine(std::string_view what, const std::string& path, std::string_view why) {
  std::string line = "plattero-cli: ";
  line += what;
  line += " \"" + Printable(Utf16ToUtf8(Utf8ToUtf16(path))) + "\": ";
  line += why;
  return line;
}

ReadResult ReadDrawing(const std::string& path, TJwwData& doc, const std::string& image_folder,
                       std::ostream& err) {
  // Checked before reading: opening a FIFO or a device would wait for ever,
  // and the reader only says that it could not open the file, not why.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    err << ErrorLine("cannot read", path, std::strerror(errno)) << '\n';
    return ReadResult::kNotOpened;
  }
  if (!S_ISREG(st.st_mode)) {
    err << ErrorLine("cannot read", path, "not a regular file") << '\n';
    return ReadResult::kNotOpened;
  }
  doc.BindImageFolder = image_folder.empty() ? std::u16string() : Utf8ToUtf16(image_folder + "/");
  doc.BindImageExp = !image_folder.empty();
  doc.BindImageExr = true;
  if (doc.FileIn(Utf8ToUtf16(path))) return ReadResult::kComplete;
  const TJwwReadStatus& status = doc.Status();
  err << ErrorLine("cannot read", path, status.reason + " at byte " + std::to_string(status.offset))
      << '\n';
  return ReadResult::kPartial;
}

}  // namespace plattero::cli
