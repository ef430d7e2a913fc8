#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <set>

#include "cli/commands.h"
#include "cli/drawing_reader.h"
#include "cli/json_dump.h"
#include "cli/temp_dir.h"
#include "util/text.h"

namespace plattero::cli {

namespace {

// FileOut only says that it failed; the usual reasons can be told afterwards.
std::string WhyNotWritten(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return "it is a folder";
  const std::size_t slash = path.find_last_of('/');
  const std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  if (::stat(folder.c_str(), &st) != 0) {
    return "folder \"" + folder + "\": " + std::strerror(errno);
  }
  if (!S_ISDIR(st.st_mode)) return "\"" + folder + "\" is not a folder";
  if (::access(folder.c_str(), W_OK) != 0) {
    return "folder \"" + folder + "\": " + std::strerror(errno);
  }
  return "the file could not be written completely";
}

// An image row whose file is not in the folder as the drawing stored it (the
// writer would leave that image out silently); empty when there is none. Of
// rows sharing a name the last one wrote the file.
std::u16string MissingImage(const TJwwData& doc) {
  std::set<std::u16string> seen;
  for (auto row = doc.BindImage.rbegin(); row != doc.BindImage.rend(); ++row) {
    if (row->Fname.empty() || row->Fsize <= 0 || !seen.insert(row->Fname).second) continue;
    struct stat st {};
    const std::string path = Utf16ToUtf8(doc.BindImageFolder + row->Fname);
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != row->Fsize) {
      return row->Fname;
    }
  }
  return {};
}

}  // namespace

int RunConvert(const ConvertOptions& opt, std::ostream& /*out*/, std::ostream& err) {
  TJwwData doc;
  // The embedded images are extracted here for the writer to carry back as
  // they were stored (compressed ones stay compressed).
  ScopedTempDir images;
  if (!images.ok()) {
    err << "plattero-cli: " << images.error() << '\n';
    return kExitWriteFailed;
  }
  if (ReadDrawing(opt.input, doc, images.path(), err) != ReadResult::kComplete) {
    return kExitReadFailed;
  }
  if (const std::u16string image = MissingImage(doc); !image.empty()) {
    err << ErrorLine(
               "cannot write", opt.output,
               "embedded image \"" + Printable(Utf16ToUtf8(image)) + "\" could not be extracted")
        << '\n';
    return kExitWriteFailed;
  }
  if (doc.MojiEncode && !opt.utf16) {
    err << ErrorLine("note:", opt.input,
                     "holds UTF-16 strings; without --utf16 characters that Shift-JIS lacks "
                     "are written as \"?\"")
        << '\n';
  }
  doc.SetFileOutOption(opt.utf16 ? 0x20 : 0);
  doc.MakeBlockTree();
  if (!doc.FileOut(Utf8ToUtf16(opt.output), opt.version)) {
    err << ErrorLine("cannot write", opt.output, WhyNotWritten(opt.output)) << '\n';
    return kExitWriteFailed;
  }
  return kExitOk;
}

CommandDef ConvertCommand() {
  return {"convert", "Read a drawing and write it again in a given version",
          [](CLI::App& sub) -> CommandAction {
            auto opt = std::make_shared<ConvertOptions>();
            sub.add_option("IN", opt->input, "Drawing to read (.jww)")->required();
            sub.add_option("OUT", opt->output, "Drawing to write (.jww)")->required();
            sub.add_option("--version", opt->version, "Version of the written file (220..700)")
                ->check(CLI::Range(220, 700))
                ->capture_default_str();
            sub.add_flag("--utf16", opt->utf16, "Write every string in UTF-16");
            return [opt](CliStreams& io) { return RunConvert(*opt, io.out, io.err); };
          }};
}

}  // namespace plattero::cli
