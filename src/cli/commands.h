#pragma once

// The subcommands of plattero-cli. Each Run function takes its parsed options
// and the streams to print on, and returns the process exit code; each
// *Command function describes the subcommand for the parser (cli_app.h).

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_app.h"

namespace plattero::cli {

// info [--json] FILE: a summary of one drawing.
struct InfoOptions {
  std::string file;
  bool json = false;
};
int RunInfo(const InfoOptions& opt, std::ostream& out, std::ostream& err);
CommandDef InfoCommand();

// dump FILE: JSON Lines, one record per top-level entity, then one per block
// definition.
struct DumpOptions {
  std::string file;
};
int RunDump(const DumpOptions& opt, std::ostream& out, std::ostream& err);
CommandDef DumpCommand();

// convert IN OUT [--version V] [--utf16]: reads a drawing and writes it again.
struct ConvertOptions {
  std::string input;
  std::string output;
  std::int32_t version = 700;
  bool utf16 = false;
};
int RunConvert(const ConvertOptions& opt, std::ostream& out, std::ostream& err);
CommandDef ConvertCommand();

// tile --base BASE [--order O] [--count N] [--gap-x MM] [--gap-y MM] -o OUT
// DRAWING...: the main job. Count and gaps are taken as typed text, like the
// window's fields.
struct TileOptions {
  std::string base;
  std::string order = "right-up";
  std::string count = "3";
  std::string gap_x = "10";
  std::string gap_y = "10";
  std::string tile_size = "base";     // "base" or "own"
  std::string layer_groups = "base";  // "base" or "own"
  std::string paper = "base";         // "base", "fit" or a paper name (A4 ... 5A)
  std::string reduce;                 // a factor above 0 and at most 1, when set
  std::string output;
  std::string preview;  // when set: an SVG picture of the result with the tiles' paper frames
  std::vector<std::string> drawings;
  bool strict = false;  // any warning is an error: nothing is written
};
int RunTile(const TileOptions& opt, std::ostream& out, std::ostream& err);
CommandDef TileCommand();

// svg IN -o OUT: the drawing as an SVG picture. A drawing read only in part is
// drawn as far as it was read, and the exit code says it was partial.
struct SvgOptions {
  std::string input;
  std::string output;
};
int RunSvg(const SvgOptions& opt, std::ostream& out, std::ostream& err);
CommandDef SvgCommand();

// Writes text to path through a temporary file beside it; on failure writes
// one error line to err and leaves no file behind.
bool WriteTextFile(const std::u16string& path, const std::string& text, std::ostream& err);

}  // namespace plattero::cli
