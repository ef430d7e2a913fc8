#pragma once

// Small drawings made in memory and a tiling run over them, for the engine's
// tests: lines on chosen groups and layers, a sheet tracing its paper's
// edge, and a run that merges, saves and reads the result back.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "drawing_builder.h"
#include "tiling/layout.h"
#include "tiling/tiling_engine.h"

namespace plattero::testing {

inline constexpr std::int32_t kA0 = 0, kA1 = 1, kA2 = 2, kA3 = 3, kA4 = 4;

inline TEntJwwLine Segment(double x1, double y1, double x2, double y2, int group = 0,
                           int layer = 0) {
  TEntJwwLine l;
  l.att.nPenStyle = 1;
  l.att.nPenColor = 1;
  l.att.nGLayer = static_cast<std::uint16_t>(group);
  l.att.nLayer = static_cast<std::uint16_t>(layer);
  l.start_x = x1;
  l.start_y = y1;
  l.end_x = x2;
  l.end_y = y2;
  return l;
}

inline void Put(TJwwData& d, const TEntJwwLine& l) {
  d.EntNo.push_back({kEntLine, static_cast<std::int32_t>(d.EntLine.size())});
  d.EntLine.push_back(l);
}

// A sheet whose four lines trace its paper's edge: the result's extents of
// its lines are its frame.
inline void Sheet(TJwwData& d, std::int32_t paper) {
  InitDrawing(d, 700, paper);
  const TPaperSize p = PaperSizeOf(paper);
  const double x = p.papx / 2, y = p.papy / 2;
  Put(d, Segment(-x, -y, x, -y));
  Put(d, Segment(x, -y, x, y));
  Put(d, Segment(x, y, -x, y));
  Put(d, Segment(-x, y, -x, -y));
}

struct TileRun {
  TempDir tmp, tmp2, files;
  TTilingEngine engine{tmp.upath(), tmp2.upath()};

  std::u16string Save(TJwwData& d, const std::string& name) {
    d.MakeBlockTree();
    EXPECT_TRUE(d.FileOut(files.ufile(name), 700));
    return files.ufile(name);
  }
  // Merges and, when `out` is given, saves and reads the result back.
  void Tile(const TTilingInputs& in, TJwwData* out = nullptr) {
    TTilingRun run(engine);
    ASSERT_FALSE(engine.CheckInputs(in).has_value());
    ASSERT_FALSE(engine.Merge(in).has_value());
    if (!out) return;
    ASSERT_TRUE(engine.Save(files.ufile("out.jww")).ok);
    ASSERT_TRUE(out->FileIn(files.ufile("out.jww")));
  }
};

}  // namespace plattero::testing
