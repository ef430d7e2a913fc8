// Writes the bundled example drawings into a folder: four A3 sheets with
// lines, arcs, Japanese texts, a dimension, a solid and a block placed twice;
// the last one also carries an embedded gzip image. Beside them a site plan
// on A2 and a detail on A4, for tilings of mixed papers.
//
//   plattero_make_examples FOLDER
//
// With --scaled, three A3 drawings of different scales instead, for the
// pictures of a sheet of mixed scales: a 1:100 plan, a 1:200 site plan and
// a 1:50 detail.
//
//   plattero_make_examples --scaled FOLDER

#include <cstdio>
#include <string>

#include "drawing_builder.h"
#include "util/text.h"

namespace {

bool Write(const plattero::testing::DrawingSpec& spec, const std::string& path) {
  if (plattero::testing::WriteDrawing(spec, path)) return true;
  std::fprintf(stderr, "plattero_make_examples: cannot write \"%s\"\n", path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  using plattero::testing::DrawingSpec;
  const bool scaled = argc == 3 && std::string(argv[1]) == "--scaled";
  if (argc != 2 && !scaled) {
    std::fprintf(stderr, "usage: plattero_make_examples [--scaled] FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[argc - 1]) + "/";
  if (scaled) {
    const struct {
      const char* name;
      double scale;
      std::size_t lines;
    } drawings[] = {
        {"plan-1-100.jww", 100, 24}, {"site-1-200.jww", 200, 40}, {"detail-1-50.jww", 50, 12}};
    for (const auto& d : drawings) {
      DrawingSpec spec;
      spec.scale = d.scale;
      spec.groups = 2;
      spec.lines = d.lines;
      spec.arcs = 4;
      spec.texts = 3;
      spec.dimensions = 1;
      spec.seed = static_cast<std::uint32_t>(d.scale);
      const std::string path = folder + d.name;
      if (!Write(spec, path)) return 3;
    }
    return 0;
  }
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
    if (!Write(spec, path)) return 3;
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
    if (!Write(spec, path)) return 3;
  }
  return 0;
}
