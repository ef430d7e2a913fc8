// tile: the main job without a window. The same checks, messages and merge as
// the window's Start button, driven through the one tiling engine.

#include <sys/stat.h>

#include <map>

#include "cli/commands.h"
#include "cli/temp_dir.h"
#include "render/svg.h"
#include "tiling/tiling_engine.h"
#include "util/text.h"

namespace plattero::cli {

namespace {

// The order's window item index, from a name or the index itself.
bool OrderIndex(const std::string& text, int& order) {
  static const std::map<std::string, int> kNames = {
      {"right-up", 0}, {"right-down", 1}, {"up-right", 2}, {"down-right", 3},
      {"0", 0},        {"1", 1},          {"2", 2},        {"3", 3}};
  auto it = kNames.find(text);
  if (it == kNames.end()) return false;
  order = it->second;
  return true;
}

// The combined drawing with every tile's paper frame, labelled with its
// number and file name.
std::string PreviewSvg(const TTilingEngine& engine, const TTilingInputs& in) {
  const auto offsets = TileOffsets(in, engine.papx, engine.papy);
  return render::RenderSvg(engine.JWW, render::TileFrames(offsets, engine.papx, engine.papy,
                                                          render::TileLabels(in.files)));
}

}  // namespace

int RunTile(const TileOptions& opt, std::ostream& out, std::ostream& err) {
  TTilingInputs in;
  if (!OrderIndex(opt.order, in.order)) {
    err << "plattero-cli: tile: unknown order \"" << opt.order
        << "\" (right-up, right-down, up-right, down-right or 0..3)\n";
    return kExitUsage;
  }
  for (const std::string& f : opt.drawings)
    in.files.push_back(Utf8ToUtf16(f));
  in.base_file = Utf8ToUtf16(opt.base);
  in.count_text = Utf8ToUtf16(opt.count);
  in.gap_x_text = Utf8ToUtf16(opt.gap_x);
  in.gap_y_text = Utf8ToUtf16(opt.gap_y);

  // The image folders live in a private folder for this run only.
  ScopedTempDir folder;
  if (!folder.ok()) {
    err << "plattero-cli: " << folder.error() << '\n';
    return kExitWriteFailed;
  }
  const std::string tmp = folder.path() + "/TEMP/";
  const std::string tmp2 = folder.path() + "/TEMP2/";
  if (::mkdir(tmp.c_str(), 0700) != 0 || ::mkdir(tmp2.c_str(), 0700) != 0) {
    err << "plattero-cli: cannot create the image folders in \"" << folder.path() << "\"\n";
    return kExitWriteFailed;
  }
  TTilingEngine engine(Utf8ToUtf16(tmp), Utf8ToUtf16(tmp2));
  if (auto message = engine.CheckInputs(in)) {
    err << Utf16ToUtf8(*message) << '\n';
    return kExitReadFailed;
  }
  TTilingRun run(engine);
  engine.Merge(in);
  const std::string preview = opt.preview.empty() ? std::string() : PreviewSvg(engine, in);
  const TTilingEngine::TSaveResult saved = engine.Save(Utf8ToUtf16(opt.output));
  if (!saved.ok) {
    err << Utf16ToUtf8(saved.message) << '\n';
    return kExitWriteFailed;
  }
  if (!opt.preview.empty() && !WriteTextFile(opt.preview, preview, err)) return kExitWriteFailed;
  // The first line is the fixed success message; the lines after it name the
  // drawings that were skipped or only partly read.
  const std::string message = Utf16ToUtf8(saved.message);
  const std::size_t newline = message.find('\n');
  out << message.substr(0, newline) << '\n';
  for (const TTileWarning& w : engine.Warnings()) {
    err << "plattero-cli: warning: " << Utf16ToUtf8(TTilingEngine::WarningLine(w));
    if (!w.reason.empty()) err << " (" << w.reason << ")";
    err << '\n';
  }
  return kExitOk;
}

CommandDef TileCommand() {
  CommandDef def;
  def.name = "tile";
  def.description =
      "Appends every drawing to the base drawing at its own tile offset and writes one drawing "
      "of version 700.";
  def.setup = [](CLI::App& sub) -> CommandAction {
    auto opt = std::make_shared<TileOptions>();
    sub.add_option("--base", opt->base, "the base drawing: its paper gives the tile size")
        ->required();
    sub.add_option("--order", opt->order,
                   "right-up, right-down, up-right, down-right (or 0..3); default right-up");
    sub.add_option("--count", opt->count, "drawings per row (or per column); default 3");
    sub.add_option("--gap-x", opt->gap_x, "horizontal gap in paper millimetres; default 10");
    sub.add_option("--gap-y", opt->gap_y, "vertical gap in paper millimetres; default 10");
    sub.add_option("-o,--output", opt->output, "the drawing to write")->required();
    sub.add_option("--preview", opt->preview,
                   "also write an SVG picture of the result with each tile's paper frame");
    sub.add_option("drawings", opt->drawings, "the drawings to tile, in order");
    return [opt](CliStreams& io) { return RunTile(*opt, io.out, io.err); };
  };
  return def;
}

}  // namespace plattero::cli
