#include <memory>

#include "cli/commands.h"
#include "cli/drawing_reader.h"
#include "cli/json_dump.h"
#include "cli/temp_dir.h"
#include "platform/arguments.h"
#include "util/text.h"

namespace plattero::cli {

int RunInfo(const InfoOptions& opt, std::ostream& out, std::ostream& err) {
  TJwwData doc;
  ReadResult result;
  {
    // The images only have to exist while the drawing is read; the folder is
    // gone before anything is printed.
    ScopedTempDir images;
    if (!images.ok()) {
      err << "plattero-cli: " << images.error() << "; images are listed, not extracted\n";
    }
    result = ReadDrawing(platform::ArgumentText(opt.file), doc, images.path(), err);
  }
  if (result == ReadResult::kNotOpened) return kExitReadFailed;
  const Json info = InfoJson(doc, Utf16ToUtf8(DisplayText(platform::ArgumentText(opt.file))),
                             result == ReadResult::kComplete);
  if (opt.json) {
    out << info.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
  } else {
    WriteInfoText(info, out);
  }
  return result == ReadResult::kComplete ? kExitOk : kExitReadFailed;
}

CommandDef InfoCommand() {
  return {"info", "Print a summary of a drawing", [](CLI::App& sub) -> CommandAction {
            auto opt = std::make_shared<InfoOptions>();
            sub.add_flag("--json", opt->json, "Print the summary as one JSON object");
            sub.add_option("FILE", opt->file, "Drawing to read (.jww)")->required();
            return [opt](CliStreams& io) { return RunInfo(*opt, io.out, io.err); };
          }};
}

}  // namespace plattero::cli
