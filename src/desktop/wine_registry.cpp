#include "desktop/wine_registry.h"

#include <algorithm>

#include "platform/environment.h"
#include "platform/file_system.h"
#include "util/text.h"

namespace plattero::desktop {

namespace {

constexpr std::size_t kMaxLine = 1u << 20;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a file line by line (LF or CR LF); lines longer than kMaxLine are
// skipped whole, so a damaged file cannot make us hold more than that. Only
// a regular file is read: a FIFO or a device put there cannot make us wait.
class LineReader {
 public:
  explicit LineReader(const std::u16string& path) { ok_ = file_.Open(path); }
  bool ok() const { return ok_; }

  bool Next(std::string& line) {
    line.clear();
    bool too_long = false;
    for (;;) {
      if (pos_ == len_) {
        const std::ptrdiff_t got = file_.Read(buf_, sizeof buf_);
        len_ = got > 0 ? static_cast<std::size_t>(got) : 0;
        pos_ = 0;
        if (len_ == 0) {
          if (line.empty() && !too_long) return false;
          break;  // a last line without its end
        }
      }
      const char c = buf_[pos_++];
      if (c == '\n') {
        if (!too_long) break;
        too_long = false;  // the over-long line ends here: skip it
        line.clear();
        continue;
      }
      if (too_long) continue;
      if (line.size() >= kMaxLine) {
        too_long = true;
        line.clear();
        continue;
      }
      line.push_back(c);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  }

 private:
  platform::TInputFile file_;
  bool ok_ = false;
  char buf_[65536];
  std::size_t pos_ = 0, len_ = 0;
};

}  // namespace

std::optional<std::u16string> UnescapeWineText(const std::string& line, std::size_t& pos,
                                               char end) {
  std::u16string out;
  std::string raw;  // plain bytes not yet decoded (UTF-8)
  auto flush = [&] {
    out += Utf8ToUtf16(raw);
    raw.clear();
  };
  while (pos < line.size()) {
    const char c = line[pos++];
    if (c == end) {
      flush();
      return out;
    }
    if (c != '\\') {
      raw.push_back(c);
      continue;
    }
    if (pos >= line.size()) break;
    const char e = line[pos++];
    char16_t unit = 0;
    switch (e) {
      case 'a':
        unit = 7;
        break;
      case 'b':
        unit = 8;
        break;
      case 'e':
        unit = 27;
        break;
      case 'f':
        unit = 12;
        break;
      case 'n':
        unit = 10;
        break;
      case 'r':
        unit = 13;
        break;
      case 't':
        unit = 9;
        break;
      case 'v':
        unit = 11;
        break;
      case 'x': {
        int digits = 0;
        unsigned v = 0;
        while (digits < 4 && pos < line.size() && HexValue(line[pos]) >= 0) {
          v = v * 16 + static_cast<unsigned>(HexValue(line[pos++]));
          ++digits;
        }
        if (digits == 0) {
          raw.push_back('x');
          continue;
        }
        unit = static_cast<char16_t>(v);
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          unsigned v = static_cast<unsigned>(e - '0');
          for (int digits = 1;
               digits < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7'; ++digits) {
            v = v * 8 + static_cast<unsigned>(line[pos++] - '0');
          }
          unit = static_cast<char16_t>(v);
          break;
        }
        raw.push_back(e);
        continue;
    }
    flush();
    out.push_back(unit);
  }
  return std::nullopt;
}

std::optional<std::u16string> ReadRegDefault(const std::u16string& reg_file,
                                             const std::u16string& key) {
  LineReader reader(reg_file);
  if (!reader.ok()) return std::nullopt;
  const std::u16string wanted = LowerStr(key);
  std::string line;
  bool in_key = false;
  while (reader.Next(line)) {
    if (!line.empty() && line[0] == '[') {
      if (in_key) return std::nullopt;  // the key has no default value
      std::size_t pos = 1;
      const auto name = UnescapeWineText(line, pos, ']');
      in_key = name && LowerStr(*name) == wanted;
      continue;
    }
    if (!in_key || line.size() < 2 || line[0] != '@' || line[1] != '=') continue;
    std::size_t pos = 2;
    static const std::string kExpand = "str(2):";
    if (line.compare(pos, kExpand.size(), kExpand) == 0) pos += kExpand.size();
    if (pos >= line.size() || line[pos] != '"') return std::nullopt;  // not a string
    ++pos;
    return UnescapeWineText(line, pos, '"');
  }
  return std::nullopt;
}

std::optional<std::u16string> ReadClassesDefault(const std::u16string& prefix,
                                                 const std::u16string& key) {
  const std::u16string full = u"Software\\Classes\\" + key;
  if (auto v = ReadRegDefault(prefix + u"user.reg", full)) return v;
  return ReadRegDefault(prefix + u"system.reg", full);
}

std::vector<std::u16string> WinePrefixes() {
  std::vector<std::u16string> prefixes;
  const auto add = [&prefixes](std::u16string prefix) {
    if (prefix.empty()) return;
    if (prefix.back() != u'/') prefix += u'/';
    if (std::find(prefixes.begin(), prefixes.end(), prefix) == prefixes.end())
      prefixes.push_back(std::move(prefix));
  };
  add(platform::EnvText("WINEPREFIX"));
  if (const std::u16string home = platform::EnvText("HOME"); !home.empty())
    add(home + (home.back() == u'/' ? u"" : u"/") + u".wine");
  return prefixes;
}

}  // namespace plattero::desktop
