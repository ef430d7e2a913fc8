// tile: the main job without a window. The same checks, messages and merge as
// the window's Start button, driven through the one tiling engine.

#include <map>

#include "cli/commands.h"
#include "cli/drawing_reader.h"
#include "cli/temp_dir.h"
#include "platform/arguments.h"
#include "platform/file_system.h"
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
  return render::RenderSvg(
      engine.JWW,
      render::PlaceFrames(engine.Places(), render::TileLabels(in.files), engine.Warnings()));
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
    in.files.push_back(platform::ArgumentText(f));
  in.base_file = platform::ArgumentText(opt.base);
  in.count_text = platform::ArgumentText(opt.count);
  in.gap_x_text = platform::ArgumentText(opt.gap_x);
  in.gap_y_text = platform::ArgumentText(opt.gap_y);
  if (opt.tile_size == "own") {
    in.tile_size = TTileSize::kOwn;
  } else if (opt.tile_size != "base") {
    err << "plattero-cli: tile: unknown tile size \"" << opt.tile_size << "\" (base or own)\n";
    return kExitUsage;
  }
  const std::u16string output = platform::ArgumentText(opt.output);
  const std::u16string preview_file = platform::ArgumentText(opt.preview);

  std::vector<std::u16string> inputs = in.files;
  inputs.push_back(in.base_file);
  std::vector<std::u16string> outputs = {output};
  if (!preview_file.empty()) outputs.push_back(preview_file);
  if (const int refused = CheckOutputs(inputs, outputs, err)) return refused;

  // The image folders live in a private folder for this run only.
  ScopedTempDir folder;
  if (!folder.ok()) {
    err << "plattero-cli: " << folder.error() << '\n';
    return kExitWriteFailed;
  }
  const std::u16string tmp = folder.path() + u"/TEMP/";
  const std::u16string tmp2 = folder.path() + u"/TEMP2/";
  if (!platform::MakeFolders(tmp) || !platform::MakeFolders(tmp2)) {
    err << ErrorLine("cannot create the image folders in", folder.path(), "no room or no right")
        << '\n';
    return kExitWriteFailed;
  }
  TTilingEngine engine(tmp, tmp2);
  if (auto message = engine.CheckInputs(in)) {
    err << Utf16ToUtf8(*message) << '\n';
    return kExitReadFailed;
  }
  TTilingRun run(engine);
  if (auto message = engine.Merge(in)) {
    err << Utf16ToUtf8(*message);
    if (!engine.JWW.Status().header && !engine.JWW.Status().reason.empty()) {
      err << " (" << Shown(in.base_file) << ": " << engine.JWW.Status().reason << ")";
    }
    err << '\n';
    return kExitReadFailed;
  }
  auto report = [&err](const TTileWarning& w, const char* label) {
    err << "plattero-cli: " << label << Utf16ToUtf8(TTilingEngine::WarningLine(w));
    if (!w.reason.empty()) err << " (" << w.reason << ")";
    err << '\n';
  };
  for (const TTileWarning& n : engine.Notices())
    report(n, "note: ");
  for (const TTileWarning& w : engine.Warnings())
    report(w, opt.strict ? "error: " : "warning: ");
  if (opt.strict && !engine.Warnings().empty()) {
    err << "plattero-cli: tile: --strict: nothing was written\n";
    return kExitReadFailed;
  }
  const std::string preview = preview_file.empty() ? std::string() : PreviewSvg(engine, in);
  const TTilingEngine::TSaveResult saved = engine.Save(output);
  if (!saved.ok) {
    // The window's fixed message, then the reason in the command line's form.
    const std::string message = Utf16ToUtf8(saved.message);
    err << message.substr(0, message.find('\n')) << '\n'
        << ErrorLine("cannot write", output, platform::FileErrorText(saved.status)) << '\n';
    return kExitWriteFailed;
  }
  if (!preview_file.empty() && !WriteTextFile(preview_file, preview, err)) return kExitWriteFailed;
  // The first line is the fixed success message; the warnings went to err.
  const std::string message = Utf16ToUtf8(saved.message);
  out << message.substr(0, message.find('\n')) << '\n';
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
    sub.add_option("--tile-size", opt->tile_size,
                   "base: every tile the base drawing's paper (default); own: each drawing's own "
                   "paper, rows and columns as large as their largest sheet");
    sub.add_option("-o,--output", opt->output, "the drawing to write")->required();
    sub.add_option("--preview", opt->preview,
                   "also write an SVG picture of the result with each tile's paper frame");
    sub.add_option("drawings", opt->drawings, "the drawings to tile, in order");
    sub.add_flag("--strict", opt->strict,
                 "treat every warning (a drawing skipped, partly read or no drawing, an image "
                 "left out, a block without definition, a block renamed because another of its "
                 "name has other contents, a paper, scale or layer that differs from the base "
                 "drawing's, content reaching into another tile, tiles overlapping) as an "
                 "error: exit code 1, nothing written");
    return [opt](CliStreams& io) { return RunTile(*opt, io.out, io.err); };
  };
  return def;
}

}  // namespace plattero::cli
