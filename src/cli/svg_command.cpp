// svg: a drawing as an SVG picture.

#include <memory>

#include "cli/commands.h"
#include "cli/drawing_reader.h"
#include "platform/arguments.h"
#include "platform/file_system.h"
#include "render/svg.h"

namespace plattero::cli {

bool WriteTextFile(const std::u16string& path, const std::string& text, std::ostream& err) {
  // The one way every output is written: beside the target, then renamed
  // over it when complete, so a failed write leaves no half picture behind.
  platform::TFileStatus status;
  if (platform::WriteFileReplacing(path, text.data(), text.size(), &status)) return true;
  err << ErrorLine("cannot write", path, platform::FileErrorText(status)) << '\n';
  return false;
}

int RunSvg(const SvgOptions& opt, std::ostream& /*out*/, std::ostream& err) {
  const std::u16string input = platform::ArgumentText(opt.input);
  const std::u16string output = platform::ArgumentText(opt.output);
  if (const int refused = CheckOutputs({input}, {output}, err)) return refused;
  TJwwData doc;
  // Image frames need only the names: the image files are not extracted.
  const ReadResult result = ReadDrawing(input, doc, std::u16string(), err);
  if (result == ReadResult::kNotOpened) return kExitReadFailed;
  bool cut = false;
  if (!WriteTextFile(output, render::RenderSvg(doc, {}, &cut), err)) return kExitWriteFailed;
  if (cut) {
    err << ErrorLine("note:", input,
                     "the picture leaves out what passes its bound of " +
                         std::to_string(render::kMaxSceneShapes) + " shapes")
        << '\n';
  }
  return result == ReadResult::kComplete ? kExitOk : kExitReadFailed;
}

CommandDef SvgCommand() {
  return {"svg", "Draw a drawing as an SVG picture", [](CLI::App& sub) -> CommandAction {
            auto opt = std::make_shared<SvgOptions>();
            sub.add_option("IN", opt->input, "Drawing to read (.jww)")->required();
            sub.add_option("-o,--output", opt->output, "Picture to write (.svg)")->required();
            return [opt](CliStreams& io) { return RunSvg(*opt, io.out, io.err); };
          }};
}

}  // namespace plattero::cli
