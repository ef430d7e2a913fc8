// Writes the bundled example drawings into a folder: four A3 sheets with
// lines, arcs, Japanese texts, a dimension, a solid and a block placed twice;
// the last one also carries an embedded gzip image. Beside them a site plan
// on A2 and a detail on A4, for tilings of mixed papers.
//
//   plattero_make_examples FOLDER

#include <cstdio>
#include <string>

#include "drawing_builder.h"
#include "util/text.h"

int main(int argc, char** argv) {
  using plattero::testing::DrawingSpec;
  if (argc != 2) {
    std::fprintf(stderr, "usage: plattero_make_examples FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  for (int i = 1; i <= 4; ++i) {
    DrawingSpec spec;
    spec.version = 700;
    spec.paper = 3;
    spec.lines = 24;
    spec.arcs = 6;
    spec.points = 2;
    spec.texts = 5;
    spec.dimensions = 1;
    spec.solids = 1;
    spec.block_defs = 1;
    spec.block_refs = 2;
    spec.curve_numbers = 3;
    spec.images = i == 4 ? 1 : 0;
    spec.seed = static_cast<std::uint32_t>(100 + i);
    const std::string path = folder + "sheet" + std::to_string(i) + ".jww";
    if (!plattero::testing::WriteDrawing(spec, path)) {
      std::fprintf(stderr, "plattero_make_examples: cannot write \"%s\"\n", path.c_str());
      return 3;
    }
  }
  const struct {
    const char* name;
    std::int32_t paper;
    std::size_t lines;
  } mixed[] = {{"site-a2.jww", 2, 40}, {"detail-a4.jww", 4, 12}};
  for (const auto& m : mixed) {
    DrawingSpec spec;
    spec.paper = m.paper;
    spec.lines = m.lines;
    spec.arcs = 4;
    spec.texts = 3;
    spec.solids = 1;
    spec.seed = static_cast<std::uint32_t>(200 + m.paper);
    const std::string path = folder + m.name;
    if (!plattero::testing::WriteDrawing(spec, path)) {
      std::fprintf(stderr, "plattero_make_examples: cannot write \"%s\"\n", path.c_str());
      return 3;
    }
  }
  return 0;
}
