// Writes the seed corpora of the fuzz targets:
//   fuzz_make_seeds <drawings folder> <settings folder>
// Drawings come from the synthetic generator in every version family and
// shape (blocks, images, UTF-16 strings, curve numbers); settings files in
// each encoding the reader takes.

#include <cstdio>
#include <string>
#include <vector>

#include "drawing_builder.h"
#include "util/text.h"
#include "window/settings.h"

using namespace plattero;

namespace {

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& b) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fuzz_make_seeds <drawings folder> <settings folder>\n");
    return 2;
  }
  const std::string drawings = std::string(argv[1]) + "/";
  const std::string settings = std::string(argv[2]) + "/";
  int failed = 0;
  int n = 0;
  for (std::int32_t ver : {700, 600, 420, 351, 300, 230}) {
    for (int shape = 0; shape < 4; ++shape) {
      testing::DrawingSpec spec;
      spec.version = ver;
      spec.seed = static_cast<std::uint32_t>(shape + 1);
      spec.lines = spec.arcs = spec.points = spec.texts = spec.dimensions = spec.solids =
          shape == 0 ? 0 : static_cast<std::size_t>(shape);
      spec.block_defs = shape >= 2 ? 3 : 0;
      spec.block_refs = shape >= 2 ? 2 : 0;
      spec.nesting = shape == 3 ? 3 : 1;
      spec.images = ver >= 700 && shape >= 1 ? static_cast<std::size_t>(shape) : 0;
      spec.curve_numbers = shape == 3 ? 2 : 0;
      spec.japanese = shape != 1;
      const std::string path = drawings + "gen" + std::to_string(n++) + ".jww";
      if (!testing::WriteDrawing(spec, path)) ++failed;
    }
  }
  {
    // Strings in the UTF-16 form.
    TJwwData doc;
    testing::DrawingSpec spec;
    spec.lines = spec.texts = spec.block_defs = spec.block_refs = 2;
    spec.utf16 = true;
    testing::BuildDrawing(spec, doc);
    doc.SetFileOutOption(32);
    if (!doc.FileOut(Utf8ToUtf16(drawings + "gen-utf16.jww"), 700)) ++failed;
  }

  window::TSettings s = window::DefaultSettings(u"/home/user/図面/");
  s.base_file = u"/home/user/図面/base.jww";
  s.arrangement = -1;
  const auto lines = window::SettingsLines(s);
  std::vector<std::uint8_t> utf8 = window::EncodeSettingsLines(lines);
  failed += !WriteBytes(settings + "utf8.txt", utf8);
  std::vector<std::uint8_t> utf16 = {0xFF, 0xFE};
  for (const auto& line : lines) {
    for (char16_t c : line + u"\r\n") {
      utf16.push_back(static_cast<std::uint8_t>(c));
      utf16.push_back(static_cast<std::uint8_t>(c >> 8));
    }
  }
  failed += !WriteBytes(settings + "utf16.txt", utf16);
  std::vector<std::uint8_t> sjis;
  for (const auto& line : lines) {
    const ByteBuffer b = StrToSjisBytes(line);
    sjis.insert(sjis.end(), b.begin(), b.end());
    sjis.push_back('\n');
  }
  failed += !WriteBytes(settings + "sjis.txt", sjis);
  return failed == 0 ? 0 : 1;
}
