// Bytes used as the added drawing of a tiling run (twice, so that its images
// and blocks meet themselves) onto a fixed base drawing with blocks, curve
// numbers and images; the result is saved and read again. The saved drawing
// must read back completely, and the run must leave no image file behind.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "fuzz_common.h"
#include "jww/jww_data.h"
#include "tiling/tiling_engine.h"
#include "util/text.h"

using namespace plattero;

namespace {

const std::string& BaseFile() {
  static const std::string path = [] {
    const std::string p = fuzz::Scratch().file("base.jww");
    testing::DrawingSpec spec;
    spec.lines = spec.arcs = spec.points = spec.texts = spec.dimensions = spec.solids = 2;
    spec.block_defs = 3;
    spec.block_refs = 2;
    spec.nesting = 2;
    spec.images = 1;
    spec.curve_numbers = 2;
    if (!testing::WriteDrawing(spec, p)) fuzz::Fail("cannot write the base drawing");
    return p;
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string base = BaseFile();
  const std::string tmp = fuzz::Folder("TEMP");
  const std::string tmp2 = fuzz::Folder("TEMP2");
  const std::string out = fuzz::Folder("out");
  const std::string added = out + "added.jww";
  if (FILE* f = std::fopen(added.c_str(), "wb")) {
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    fuzz::Fail("cannot write the added drawing");
  }

  TTilingInputs in;
  in.base_file = Utf8ToUtf16(base);
  in.files = {Utf8ToUtf16(added), Utf8ToUtf16(added)};
  in.order = static_cast<TOrder>(size % 4);
  const std::u16string result = Utf8ToUtf16(out + "result.jww");
  {
    TTilingEngine engine(Utf8ToUtf16(tmp), Utf8ToUtf16(tmp2));
    if (engine.CheckInputs(in)) fuzz::Fail("the inputs were refused");
    TTilingRun run(engine);
    engine.Merge(in);
    if (engine.Save(result).ok) {
      TJwwData back;
      if (!back.FileIn(result)) fuzz::Fail("the combined drawing does not read back");
    }
  }
  if (fuzz::EmptyFolder(tmp) != 0) fuzz::Fail("the run left a file in the image folder");
  if (fuzz::EmptyFolder(tmp2) != 0) fuzz::Fail("the run left a file in the second image folder");
  if (fuzz::EmptyFolder(out) > 2) fuzz::Fail("the save left a temporary file");
  return 0;
}
