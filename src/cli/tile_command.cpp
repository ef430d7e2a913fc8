// tile: the main job without a window. The same checks, messages and merge as
// the window's Start button, driven through the one tiling engine.

#include <map>

#include "cli/commands.h"
#include "cli/drawing_reader.h"
#include "cli/temp_dir.h"
#include "messages/format_messages.h"
#include "messages/tiling_messages.h"
#include "platform/arguments.h"
#include "platform/file_system.h"
#include "render/svg.h"
#include "tiling/paper_fit.h"
#include "tiling/tiling_engine.h"
#include "util/numbers.h"
#include "util/text.h"

namespace plattero::cli {

namespace {

// The order from its name or the index of the window's item.
bool OrderOf(const std::string& text, TOrder& order) {
  static const std::map<std::string, TOrder> kNames = {
      {"right-up", TOrder::kRightUp}, {"right-down", TOrder::kRightDown},
      {"up-right", TOrder::kUpRight}, {"down-right", TOrder::kDownRight},
      {"0", TOrder::kRightUp},        {"1", TOrder::kRightDown},
      {"2", TOrder::kUpRight},        {"3", TOrder::kDownRight}};
  auto it = kNames.find(text);
  if (it == kNames.end()) return false;
  order = it->second;
  return true;
}

// The paper from its name: base, fit, or a paper of the size table.
bool PaperOf(const std::string& text, TPaperChoice& paper) {
  static const std::map<std::string, std::int32_t> kPapers = {{"A0", 0}, {"A1", 1},  {"A2", 2},
                                                              {"A3", 3}, {"A4", 4},  {"2A", 8},
                                                              {"3A", 9}, {"4A", 10}, {"5A", 11}};
  if (text == "base") {
    paper.kind = TPaperChoice::kBase;
  } else if (text == "fit") {
    paper.kind = TPaperChoice::kFit;
  } else if (auto it = kPapers.find(text); it != kPapers.end()) {
    paper.kind = TPaperChoice::kNamed;
    paper.nZumen = it->second;
  } else {
    return false;
  }
  return true;
}

// The layer groups, paper and reduction; 0 when they are usable, else the
// exit code after saying why on `err`.
int ReadPaperOptions(const TileOptions& opt, TTilingInputs& in, std::ostream& err) {
  if (opt.layer_groups == "own") {
    in.layer_groups = TLayerGroups::kOwn;
  } else if (opt.layer_groups != "base") {
    err << "plattero-cli: tile: unknown layer groups \"" << opt.layer_groups
        << "\" (base or own)\n";
    return kExitUsage;
  }
  if (!PaperOf(opt.paper, in.paper)) {
    err << "plattero-cli: tile: unknown paper \"" << opt.paper
        << "\" (base, fit, A4, A3, A2, A1, A0, 2A, 3A, 4A or 5A)\n";
    return kExitUsage;
  }
  if (!opt.reduce.empty()) {
    const auto k = TypedNumber(platform::ArgumentText(opt.reduce));
    if (!k || !IsUsableReduction(*k)) {
      err << "plattero-cli: tile: --reduce \"" << opt.reduce
          << "\" is no usable factor (a number above 0.001 and at most 1, e.g. 0.5)\n";
      return kExitUsage;
    }
    in.paper.reduce = *k;
  }
  return 0;
}

// The combined drawing with every tile's paper frame, labelled with its
// number and file name.
std::string PreviewSvg(const TTilingEngine& engine, const TTilingInputs& in) {
  const TTilingReport& report = engine.Report();
  // Each tile's label says where its groups went, with groups of their own.
  std::vector<std::u16string> labels = render::TileLabels(in.files);
  for (const TTileWarning& n : report.notices) {
    if (n.kind == TTileWarning::kGroups && n.tile >= 0 &&
        static_cast<std::size_t>(n.tile) < labels.size())
      labels[static_cast<std::size_t>(n.tile)] += u" " + GroupsNote(n.placed);
  }
  std::vector<render::TPaperFrame> frames =
      render::PlaceFrames(report.places, labels, report.warnings);
  // The paper the run chose, round the tiles.
  if (report.paper) frames.push_back(render::SheetFrame(*report.paper));
  return render::RenderSvg(engine.Combined(), frames);
}

// The count and the gaps as typed (full-width forms included); the first
// that is no number is refused as the window refuses its field, after the
// checks that come before it.
std::optional<TRefusal> ReadNumbers(const TileOptions& opt, TTilingInputs& in) {
  std::optional<TRefusal> unreadable;
  const auto count = TypedInteger(platform::ArgumentText(opt.count));
  const auto gap_x = TypedNumber(platform::ArgumentText(opt.gap_x));
  const auto gap_y = TypedNumber(platform::ArgumentText(opt.gap_y));
  in.count = count.value_or(0);
  in.gap_x = gap_x.value_or(0);
  in.gap_y = gap_y.value_or(0);
  if (!gap_y) unreadable = TRefusal::kGapY;
  if (!gap_x) unreadable = TRefusal::kGapX;
  if (!count) unreadable = TRefusal::kCount;
  return unreadable;
}

}  // namespace

int RunTile(const TileOptions& opt, std::ostream& out, std::ostream& err) {
  TTilingInputs in;
  if (!OrderOf(opt.order, in.order)) {
    err << "plattero-cli: tile: unknown order \"" << opt.order
        << "\" (right-up, right-down, up-right, down-right or 0..3)\n";
    return kExitUsage;
  }
  for (const std::string& f : opt.drawings)
    in.files.push_back(platform::ArgumentText(f));
  in.base_file = platform::ArgumentText(opt.base);
  const std::optional<TRefusal> unreadable = ReadNumbers(opt, in);
  if (opt.tile_size == "own") {
    in.tile_size = TTileSize::kOwn;
  } else if (opt.tile_size != "base") {
    err << "plattero-cli: tile: unknown tile size \"" << opt.tile_size << "\" (base or own)\n";
    return kExitUsage;
  }
  if (const int refused = ReadPaperOptions(opt, in, err)) return refused;
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
  if (auto refused = FirstRefusal(engine.CheckInputs(in), unreadable)) {
    err << Utf16ToUtf8(RefusalMessage(*refused, CountLabel(in.order))) << '\n';
    return kExitReadFailed;
  }
  TTilingRun run(engine);
  if (auto refused = engine.Merge(in)) {
    err << Utf16ToUtf8(RefusalMessage(*refused, CountLabel(in.order)));
    const TJwwReadStatus& base = engine.Report().base_read;
    if (*refused == TRefusal::kBaseNotDrawing && !base.header && !base.ok) {
      err << " (" << Shown(in.base_file) << ": " << ReadFailureText(base) << ")";
    }
    err << '\n';
    return kExitReadFailed;
  }
  auto report = [&err](const TTileWarning& w, const char* label) {
    err << "plattero-cli: " << label << Utf16ToUtf8(WarningLine(w));
    if (const std::string reason = WarningReason(w); !reason.empty()) err << " (" << reason << ")";
    err << '\n';
  };
  for (const TTileWarning& n : engine.Report().notices)
    report(n, "note: ");
  for (const TTileWarning& w : engine.Report().warnings)
    report(w, opt.strict ? "error: " : "warning: ");
  if (opt.strict && !engine.Report().warnings.empty()) {
    err << "plattero-cli: tile: --strict: nothing was written\n";
    return kExitReadFailed;
  }
  const std::string preview = preview_file.empty() ? std::string() : PreviewSvg(engine, in);
  const TSaveResult saved = engine.Save(output);
  if (!saved.ok) {
    // The window's fixed message, then the reason in the command line's form.
    err << Utf16ToUtf8(SaveFailedLine(output)) << '\n'
        << ErrorLine("cannot write", output, WriteFailureText(saved.failure, saved.status)) << '\n';
    return kExitWriteFailed;
  }
  if (!preview_file.empty() && !WriteTextFile(preview_file, preview, err)) return kExitWriteFailed;
  // The fixed success message; the warnings went to err.
  out << Utf16ToUtf8(SavedLine(output)) << '\n';
  if (const std::u16string paper = PaperLines(engine.Report()); !paper.empty())
    out << Utf16ToUtf8(paper) << '\n';
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
    sub.add_option(
        "--layer-groups", opt->layer_groups,
        "base: added drawings' entities stay in the base drawing's groups (default); "
        "own: each scale gets a layer group of its own, so every drawing measures right");
    sub.add_option("--paper", opt->paper,
                   "base (default), fit (the smallest paper holding every tile) or A4, A3, A2, A1, "
                   "A0, 2A, 3A, 4A, 5A; a paper too small reduces the whole result");
    sub.add_option("--reduce", opt->reduce,
                   "reduce the whole result by this factor (0 < FACTOR <= 1, e.g. 0.5); layer "
                   "group scales are divided by it so that lengths still measure right");
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
