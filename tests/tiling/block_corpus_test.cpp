// Real drawings that define blocks of one name with other contents: tiled
// together, every reference still shows what it showed in its own drawing.

#include <gtest/gtest.h>

#include <filesystem>

#include "drawing_builder.h"
#include "tiling/tiling_engine.h"

namespace plattero {
namespace {

// What the reference of a drawing numbered `number` shows: the lines of its
// definition and of those it places, in order.
void ShownLines(const TJwwData& d, std::uint32_t number, std::vector<double>& out, int depth = 0) {
  for (const TEntJwwBlockDef& def : d.EntBlockDef) {
    if (def.nNumber != number) continue;
    for (const TEntJwwLine& l : def.mLine)
      out.insert(out.end(), {l.start_x, l.start_y, l.end_x, l.end_y});
    if (depth < 8) {
      for (const TEntJwwBlock& r : def.mBlock)
        ShownLines(d, r.nNumber, out, depth + 1);
    }
    return;
  }
}

std::vector<std::vector<double>> ShownByReferences(const TJwwData& d) {
  std::vector<std::vector<double>> shown;
  for (const TEntJwwBlock& r : d.EntBlock)
    ShownLines(d, r.nNumber, shown.emplace_back());
  return shown;
}

// 2blocks.jww and out1_in2.jww both define "2lines@@SfigorgFlag@@4", with
// other lines.
TEST(BlockCorpus, BlocksOfOneNameInTwoDrawingsShowTheirOwnLines) {
  const std::filesystem::path dir =
      std::filesystem::path(PLATTERO_CORPUS_DIR) / "monozukuri-ai__ezjww";
  const std::u16string a = (dir / "2blocks.jww").u16string();
  const std::u16string b = (dir / "out1_in2.jww").u16string();
  if (!std::filesystem::exists(a) || !std::filesystem::exists(b)) GTEST_SKIP() << "no corpus";
  testing::TempDir tmp, tmp2, out;
  TTilingEngine engine(tmp.upath(), tmp2.upath());
  TTilingInputs in;
  in.base_file = a;
  in.files = {b, a, b};
  TJwwData result;
  {
    TTilingRun run(engine);
    ASSERT_FALSE(engine.Merge(in).has_value());
    ASSERT_TRUE(engine.Save(out.ufile("out.jww")).ok);
  }
  ASSERT_TRUE(result.FileIn(out.ufile("out.jww")));
  std::vector<std::vector<double>> expected;
  for (const std::u16string& f : {a, b, a, b}) {
    TJwwData d;
    ASSERT_TRUE(d.FileIn(f));
    for (auto& lines : ShownByReferences(d))
      expected.push_back(std::move(lines));
  }
  EXPECT_EQ(ShownByReferences(result), expected);
  // Each listing of the second drawing is told its block was renamed.
  std::size_t renamed = 0;
  for (const TTileWarning& w : engine.Report().warnings) {
    if (w.kind != TTileWarning::kBlockRenamed) continue;
    ++renamed;
    EXPECT_EQ(w.file, b);
    ASSERT_EQ(w.blocks.size(), 1u);
    EXPECT_EQ(w.blocks[0].name, u"2lines@@SfigorgFlag@@4");
    EXPECT_EQ(w.blocks[0].new_name, u"2lines_2@@SfigorgFlag@@4");
  }
  EXPECT_EQ(renamed, 2u);
}

}  // namespace
}  // namespace plattero
