#pragma once

// The settings file: eighteen lines of UTF-8 with a byte-order mark, each
// ended by CR LF:
//   1-4    window left, top, outer width, outer height (pixels)
//   5      arrangement index (-1 when none is selected)
//   6-8    count, horizontal gap, vertical gap (texts of the edit fields)
//   9      base drawing, 10 folder of the add dialog, 11 folder of the save dialog
//   12     "1" when each drawing keeps its own tile size, else "0"
//   13-16  the preview window's left, top, outer width, outer height (pixels);
//          0 width or height: it has no place of its own yet and opens
//          beside the main window
//   17     "1" when each scale of the drawings gets a layer group of its own,
//          else "0"
//   18     the combined drawing's paper: "base" (the base drawing's), "fit"
//          (the smallest that holds the arrangement) or a paper's name, "A4"
//          to "5A"; any other text keeps "base"
// Reading also takes UTF-16 (by its byte-order mark) and Shift-JIS (no mark),
// and any of CR LF, CR and LF as line ends. A file of an earlier version with
// fewer lines leaves the rest at their defaults.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tiling/choices.h"

namespace plattero::window {

// The papers the window offers, in the order of its drop-down: the name the
// settings file (and the command line) gives each, its caption, and the
// choice it makes.
struct TPaperItem {
  const char16_t* name;
  const char16_t* caption;
  TPaperChoice::Kind kind;
  std::int32_t nZumen;  // kNamed: the paper's code
};
inline constexpr TPaperItem kPaperItems[] = {
    {u"base", u"ベース図面", TPaperChoice::kBase, 3}, {u"fit", u"自動", TPaperChoice::kFit, 3},
    {u"A4", u"A4", TPaperChoice::kNamed, 4},          {u"A3", u"A3", TPaperChoice::kNamed, 3},
    {u"A2", u"A2", TPaperChoice::kNamed, 2},          {u"A1", u"A1", TPaperChoice::kNamed, 1},
    {u"A0", u"A0", TPaperChoice::kNamed, 0},          {u"2A", u"2A", TPaperChoice::kNamed, 8},
    {u"3A", u"3A", TPaperChoice::kNamed, 9},          {u"4A", u"4A", TPaperChoice::kNamed, 10},
    {u"5A", u"5A", TPaperChoice::kNamed, 11},
};
// The choice of item `index` of kPaperItems; any other index is the base
// drawing's paper.
TPaperChoice PaperChoiceOf(int index);

struct TSettings {
  int left = 24, top = 24, width = 500, height = 400;
  int arrangement = 0;
  std::u16string count = u"3";
  std::u16string gap_x = u"10";
  std::u16string gap_y = u"10";
  std::u16string base_file;
  std::u16string zumen_path;   // folder of the add dialog
  std::u16string save_path;    // folder of the save dialog
  bool own_tile_size = false;  // each drawing keeps its own tile size
  // The preview window's frame; 0 width or height: none kept.
  int preview_left = 0, preview_top = 0, preview_width = 0, preview_height = 0;
  bool own_layer_groups = false;  // each scale its own layer group
  int paper = 0;                  // the item of kPaperItems
};

// The number of lines a settings file holds.
inline constexpr std::size_t kSettingsLines = 18;

// The values in force before a file is read; both dialog folders are exe_path.
TSettings DefaultSettings(const std::u16string& exe_path);

// The lines of a settings file's bytes. A final line end does not start
// another line.
std::vector<std::u16string> DecodeSettingsLines(const std::vector<std::uint8_t>& bytes);

// The longest line an item takes: a path (lines 9-11) as long as Windows
// allows one to be; a number or an edit's text a few dozen characters.
inline constexpr std::size_t kMaxSettingsPath = 32767;
inline constexpr std::size_t kMaxSettingsNumber = 64;

// Applies line n to item n; lines after the eighteenth are ignored, missing
// ones leave their items alone, and so do lines longer than their items take
// (kMaxSettingsPath, kMaxSettingsNumber). Integers that do not parse give 0;
// lines 12 and 17 are true when they are a number other than 0; line 18
// names an item of kPaperItems exactly, or leaves the paper alone.
void ApplySettingsLines(const std::vector<std::u16string>& lines, TSettings& s);

// The eighteen lines of the settings. A text holding a line break cannot be
// stored in one line and is written empty.
std::vector<std::u16string> SettingsLines(const TSettings& s);

// UTF-8 with byte-order mark, CR LF after every line.
std::vector<std::uint8_t> EncodeSettingsLines(const std::vector<std::u16string>& lines);

// Reads the file into s (which should hold the defaults). False when there is
// no file or it cannot be read; s is then unchanged. At most 1 MiB is read.
bool LoadSettingsFile(const std::u16string& path, TSettings& s);

// Writes the file, replacing the old one only once the new one is complete:
// a failed save keeps the previous settings. Makes the file's folder when it
// is missing.
bool SaveSettingsFile(const std::u16string& path, const TSettings& s);

}  // namespace plattero::window
