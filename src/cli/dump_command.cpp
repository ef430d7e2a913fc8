#include <memory>

#include "cli/commands.h"
#include "cli/drawing_reader.h"
#include "cli/json_dump.h"
#include "platform/arguments.h"

namespace plattero::cli {

int RunDump(const DumpOptions& opt, std::ostream& out, std::ostream& err) {
  TJwwData doc;
  // The image section is read (so a damaged one is reported) but no image
  // file is written: the dump does not show images.
  const ReadResult result =
      ReadDrawing(platform::ArgumentText(opt.file), doc, std::u16string(), err);
  if (result == ReadResult::kNotOpened) return kExitReadFailed;
  WriteDump(doc, out);
  return result == ReadResult::kComplete ? kExitOk : kExitReadFailed;
}

CommandDef DumpCommand() {
  return {"dump", "Print every entity and block definition as JSON Lines",
          [](CLI::App& sub) -> CommandAction {
            auto opt = std::make_shared<DumpOptions>();
            sub.add_option("FILE", opt->file, "Drawing to read (.jww)")->required();
            return [opt](CliStreams& io) { return RunDump(*opt, io.out, io.err); };
          }};
}

}  // namespace plattero::cli
