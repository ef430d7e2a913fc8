// svg: a drawing as an SVG picture.

#include <cstdio>
#include <fstream>
#include <memory>

#include "cli/commands.h"
#include "cli/drawing_reader.h"
#include "render/svg.h"

namespace plattero::cli {

bool WriteTextFile(const std::string& path, const std::string& text, std::ostream& err) {
  // Written beside the target and renamed over it when complete, so that a
  // failed write leaves no half picture behind.
  const std::string part = path + ".part";
  {
    std::ofstream file(part, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    if (!file) {
      std::remove(part.c_str());
      err << ErrorLine("cannot write", path, "write failed") << '\n';
      return false;
    }
  }
  if (std::rename(part.c_str(), path.c_str()) != 0) {
    std::remove(part.c_str());
    err << ErrorLine("cannot write", path, "rename failed") << '\n';
    return false;
  }
  return true;
}

int RunSvg(const SvgOptions& opt, std::ostream& /*out*/, std::ostream& err) {
  TJwwData doc;
  // Image frames need only the names: the image files are not extracted.
  const ReadResult result = ReadDrawing(opt.input, doc, std::string(), err);
  if (result == ReadResult::kNotOpened) return kExitReadFailed;
  if (!WriteTextFile(opt.output, render::RenderSvg(doc), err)) return kExitWriteFailed;
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
