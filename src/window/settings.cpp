#include "window/settings.h"

#include <iterator>

#include "platform/file_system.h"
#include "util/numbers.h"
#include "util/text.h"

namespace plattero::window {

namespace {

constexpr std::size_t kMaxSettingsBytes = 1u << 20;

std::u16string Utf16Units(const std::vector<std::uint8_t>& b, std::size_t from, bool big_endian) {
  std::u16string out;
  out.reserve((b.size() - from) / 2);
  for (std::size_t i = from; i + 1 < b.size(); i += 2) {
    const unsigned hi = big_endian ? b[i] : b[i + 1];
    const unsigned lo = big_endian ? b[i + 1] : b[i];
    out.push_back(static_cast<char16_t>((hi << 8) | lo));
  }
  return out;
}

bool HasLineBreak(const std::u16string& s) {
  return s.find_first_of(u"\r\n") != std::u16string::npos;
}

std::u16string PaperName(int index) {
  const bool known = index >= 0 && static_cast<std::size_t>(index) < std::size(kPaperItems);
  return kPaperItems[known ? index : 0].name;
}

}  // namespace

TPaperChoice PaperChoiceOf(int index) {
  TPaperChoice choice;
  if (index < 0 || static_cast<std::size_t>(index) >= std::size(kPaperItems)) return choice;
  choice.kind = kPaperItems[index].kind;
  choice.nZumen = kPaperItems[index].nZumen;
  return choice;
}

TSettings DefaultSettings(const std::u16string& exe_path) {
  TSettings s;
  s.zumen_path = exe_path;
  s.save_path = exe_path;
  return s;
}

std::vector<std::u16string> DecodeSettingsLines(const std::vector<std::uint8_t>& bytes) {
  std::u16string text;
  const std::size_t n = bytes.size();
  if (n >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    text = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(bytes.data()) + 3, n - 3));
  } else if (n >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    text = Utf16Units(bytes, 2, false);
  } else if (n >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
    text = Utf16Units(bytes, 2, true);
  } else {
    text = SjisBytesToStr(bytes);
  }
  std::vector<std::u16string> lines;
  std::u16string line;
  bool open = false;  // a line has begun and has not ended
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      lines.push_back(std::move(line));
      line.clear();
      open = false;
      continue;
    }
    line.push_back(c);
    open = true;
  }
  if (open) lines.push_back(std::move(line));
  return lines;
}

void ApplySettingsLines(const std::vector<std::u16string>& lines, TSettings& s) {
  int* const numbers[] = {&s.left, &s.top, &s.width, &s.height, &s.arrangement};
  std::u16string* const texts[] = {&s.count,     &s.gap_x,      &s.gap_y,
                                   &s.base_file, &s.zumen_path, &s.save_path};
  int* const preview[] = {&s.preview_left, &s.preview_top, &s.preview_width, &s.preview_height};
  for (std::size_t i = 0; i < lines.size() && i < kSettingsLines; ++i) {
    // A longer line is no value this program wrote: refused whole, as a cut
    // one would name another number or another file. The edit controls of
    // some systems take seconds to show a line of 100,000 digits.
    const bool path = i >= 8 && i < 11;
    if (lines[i].size() > (path ? kMaxSettingsPath : kMaxSettingsNumber)) continue;
    if (i < 5) {
      *numbers[i] = StrToIntOr0(lines[i]);
    } else if (i < 11) {
      *texts[i - 5] = lines[i];
    } else if (i == 11) {
      s.own_tile_size = StrToIntOr0(lines[i]) != 0;
    } else if (i < 16) {
      *preview[i - 12] = StrToIntOr0(lines[i]);
    } else if (i == 16) {
      s.own_layer_groups = StrToIntOr0(lines[i]) != 0;
    } else {
      for (std::size_t p = 0; p < std::size(kPaperItems); ++p) {
        if (lines[i] == kPaperItems[p].name) s.paper = static_cast<int>(p);
      }
    }
  }
}

std::vector<std::u16string> SettingsLines(const TSettings& s) {
  std::vector<std::u16string> lines = {IntStr(s.left),
                                       IntStr(s.top),
                                       IntStr(s.width),
                                       IntStr(s.height),
                                       IntStr(s.arrangement),
                                       s.count,
                                       s.gap_x,
                                       s.gap_y,
                                       s.base_file,
                                       s.zumen_path,
                                       s.save_path,
                                       s.own_tile_size ? u"1" : u"0",
                                       IntStr(s.preview_left),
                                       IntStr(s.preview_top),
                                       IntStr(s.preview_width),
                                       IntStr(s.preview_height),
                                       s.own_layer_groups ? u"1" : u"0",
                                       PaperName(s.paper)};
  for (std::u16string& line : lines) {
    if (HasLineBreak(line)) line.clear();
  }
  return lines;
}

std::vector<std::uint8_t> EncodeSettingsLines(const std::vector<std::u16string>& lines) {
  std::vector<std::uint8_t> bytes = {0xEF, 0xBB, 0xBF};
  for (const std::u16string& line : lines) {
    const std::string utf8 = Utf16ToUtf8(line);
    bytes.insert(bytes.end(), utf8.begin(), utf8.end());
    bytes.push_back('\r');
    bytes.push_back('\n');
  }
  return bytes;
}

bool LoadSettingsFile(const std::u16string& path, TSettings& s) {
  const auto bytes = platform::ReadFileBounded(path, kMaxSettingsBytes);
  if (!bytes) return false;
  ApplySettingsLines(DecodeSettingsLines(*bytes), s);
  return true;
}

bool SaveSettingsFile(const std::u16string& path, const TSettings& s) {
  if (path.empty()) return false;
  const std::u16string folder = platform::FolderOf(path);
  if (!folder.empty() && !platform::IsExistingFolder(folder) && !platform::MakeFolders(folder)) {
    return false;
  }
  const std::vector<std::uint8_t> bytes = EncodeSettingsLines(SettingsLines(s));
  return platform::WriteFileReplacing(path, bytes.data(), bytes.size());
}

}  // namespace plattero::window
