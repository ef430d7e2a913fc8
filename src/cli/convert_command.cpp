#include <memory>
#include <set>

#include "cli/commands.h"
#include "cli/drawing_reader.h"
#include "cli/json_dump.h"
#include "cli/temp_dir.h"
#include "messages/format_messages.h"
#include "messages/tiling_messages.h"
#include "platform/arguments.h"
#include "platform/file_system.h"
#include "util/text.h"

namespace plattero::cli {

namespace {

// An image row whose file is not in the folder as the drawing stored it (the
// writer would leave that image out silently); empty when there is none. Of
// rows sharing a name the last one wrote the file.
std::u16string MissingImage(const TJwwData& doc) {
  std::set<std::u16string> seen;
  for (auto row = doc.BindImage.rbegin(); row != doc.BindImage.rend(); ++row) {
    if (row->Fname.empty() || row->Fsize <= 0 || !seen.insert(row->Fname).second) continue;
    const auto stamp = platform::FileStampOf(doc.BindImageFolder + row->Fname);
    if (!stamp || stamp->size != static_cast<std::uint64_t>(row->Fsize)) return row->Fname;
  }
  return {};
}

}  // namespace

int RunConvert(const ConvertOptions& opt, std::ostream& /*out*/, std::ostream& err) {
  const std::u16string input = platform::ArgumentText(opt.input);
  const std::u16string output = platform::ArgumentText(opt.output);
  if (const int refused = CheckOutputs({input}, {output}, err)) return refused;
  TJwwData doc;
  // The embedded images are extracted here for the writer to carry back as
  // they were stored (compressed ones stay compressed).
  ScopedTempDir images;
  if (!images.ok()) {
    err << "plattero-cli: " << images.error() << '\n';
    return kExitWriteFailed;
  }
  if (ReadDrawing(input, doc, images.path(), err) != ReadResult::kComplete) {
    return kExitReadFailed;
  }
  if (!doc.BindImageLeftOut.empty()) {
    const TImageLeftOut& left = doc.BindImageLeftOut.front();
    err << ErrorLine("cannot write", output,
                     "embedded image \"" + Shown(left.name) +
                         "\" could not be extracted: " + ImageLeftOutReason(left))
        << '\n';
    return kExitWriteFailed;
  }
  if (const std::u16string image = MissingImage(doc); !image.empty()) {
    err << ErrorLine("cannot write", output,
                     "embedded image \"" + Shown(image) + "\" could not be extracted")
        << '\n';
    return kExitWriteFailed;
  }
  if (doc.MojiEncode && !opt.utf16) {
    err << ErrorLine("note:", input,
                     "holds UTF-16 strings; without --utf16 characters that Shift-JIS lacks "
                     "are written as \"?\"")
        << '\n';
  }
  doc.SetFileOutOption(opt.utf16 ? 0x20 : 0);
  doc.MakeBlockTree();
  if (!doc.FileOut(output, opt.version)) {
    err << ErrorLine("cannot write", output,
                     WriteFailureText(doc.WriteFailure(), doc.WriteStatus()))
        << '\n';
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
