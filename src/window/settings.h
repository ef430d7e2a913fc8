#pragma once

// The settings file: sixteen lines of UTF-8 with a byte-order mark, each
// ended by CR LF:
//   1-4    window left, top, outer width, outer height (pixels)
//   5      arrangement index (-1 when none is selected)
//   6-8    count, horizontal gap, vertical gap (texts of the edit fields)
//   9      base drawing, 10 folder of the add dialog, 11 folder of the save dialog
//   12     "1" when each drawing keeps its own tile size, else "0"
//   13-16  the preview window's left, top, outer width, outer height (pixels);
//          0 width or height: it has no place of its own yet and opens
//          beside the main window
// Reading also takes UTF-16 (by its byte-order mark) and Shift-JIS (no mark),
// and any of CR LF, CR and LF as line ends. A file of an earlier version with
// fewer lines leaves the rest at their defaults.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plattero::window {

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
};

// The number of lines a settings file holds.
inline constexpr std::size_t kSettingsLines = 16;

// The values in force before a file is read; both dialog folders are exe_path.
TSettings DefaultSettings(const std::u16string& exe_path);

// The lines of a settings file's bytes. A final line end does not start
// another line.
std::vector<std::u16string> DecodeSettingsLines(const std::vector<std::uint8_t>& bytes);

// The longest line an item takes: a path (lines 9-11) as long as Windows
// allows one to be; a number or an edit's text a few dozen characters.
inline constexpr std::size_t kMaxSettingsPath = 32767;
inline constexpr std::size_t kMaxSettingsNumber = 64;

// Applies line n to item n; lines after the sixteenth are ignored, missing
// ones leave their items alone, and so do lines longer than their items take
// (kMaxSettingsPath, kMaxSettingsNumber). Integers that do not parse give 0;
// line 12 is true when it is a number other than 0.
void ApplySettingsLines(const std::vector<std::u16string>& lines, TSettings& s);

// The sixteen lines of the settings. A text holding a line break cannot be
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
