// Speed of the arrangement preview reading many small drawings, as the window
// drives it: new choices, then the reader's results taken on "the window's
// thread" (this one) until the last drawing shows. Prints, for each number of
// drawings, the wall and CPU time and how often the picture was composed.
//
//   preview_bench [--beyond] [N ...]     N drawings (default 2500 5000 10000)
//
// Each drawing is an A3 sheet with a few lines, tiled 100 to a row. With
// --beyond each also reaches 5 mm past its paper into the gap, so that the
// preview looks for the tiles its content might reach into.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "drawing_builder.h"
#include "task_queue.h"
#include "util/text.h"
#include "window/form.h"

namespace plattero {
namespace {

using Clock = std::chrono::steady_clock;

double CpuMs() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 +
         (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
}

// A pane that counts the pictures, with its tasks posted to a queue.
class Pane : public window::TPreviewPane {
 public:
  void ShowPicture(const render::TPreviewPicture& p) override {
    tiles = p.frames.size();
    ++pictures;
  }
  void ShowStatus(const std::u16string&) override {}
  void Post(std::function<void()> task, int delay_ms) override {
    queue.Post(std::move(task), delay_ms);
  }

  testing::TaskQueue queue;
  std::size_t tiles = 0;
  int pictures = 0;
};

bool WriteSheet(const std::string& path, bool beyond) {
  // Four lines along an A3 sheet's edge (420 x 297 mm), the first one 5 mm
  // past it with `beyond`.
  testing::DrawingSpec spec;
  spec.lines = 4;
  TJwwData d;
  testing::BuildDrawing(spec, d);
  const double ends[4][4] = {{-200, -140, beyond ? 215.0 : 200.0, -140},
                             {-200, 140, 200, 140},
                             {-200, -140, -200, 140},
                             {200, -140, 200, 140}};
  for (std::size_t i = 0; i < 4; ++i) {
    TEntJwwLine& l = d.EntLine[i];
    std::tie(l.start_x, l.start_y, l.end_x, l.end_y) =
        std::tie(ends[i][0], ends[i][1], ends[i][2], ends[i][3]);
  }
  d.MakeBlockTree();
  return d.FileOut(Utf8ToUtf16(path), 700);
}

int Run(std::size_t n, bool beyond) {
  testing::TempDir dir;
  if (!WriteSheet(dir.file("base.jww"), beyond)) return 1;
  std::vector<std::u16string> files;
  for (std::size_t i = 0; i < n; ++i) {
    const std::string name = "d" + std::to_string(i) + ".jww";
    std::filesystem::copy_file(dir.file("base.jww"), dir.file(name));
    files.push_back(dir.ufile(name));
  }
  Pane pane;
  window::TPreviewModel model(pane);
  const double cpu = CpuMs();
  const auto start = Clock::now();
  const TTilingInputs in{files, dir.ufile("base.jww"), 0, u"100", u"10", u"10"};
  model.SetInputs(in, TPaperSize{420, 297, u""});
  while (model.IsLooking())
    pane.queue.RunSome(std::chrono::milliseconds(1));
  const auto end = Clock::now();
  const double ms = std::chrono::duration<double, std::milli>(end - start).count();
  const double used = CpuMs() - cpu;
  render::ComposePreview(in, model.Layout(), model.Scenes());
  const double compose_ms = std::chrono::duration<double, std::milli>(Clock::now() - end).count();
  std::printf(
      "%zu drawings%s: wall %.0f ms, cpu %.0f ms, %d compositions (one takes %.1f ms), %zu tiles "
      "shown\n",
      n, beyond ? " (beyond their papers)" : "", ms, used, pane.pictures, compose_ms, pane.tiles);
  return pane.tiles == n ? 0 : 1;
}

}  // namespace
}  // namespace plattero

int main(int argc, char** argv) {
  bool beyond = false;
  std::vector<std::size_t> counts;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--beyond") == 0) {
      beyond = true;
    } else {
      counts.push_back(std::strtoul(argv[i], nullptr, 10));
    }
  }
  if (counts.empty()) counts = {2500, 5000, 10000};
  int rc = 0;
  for (const std::size_t n : counts)
    rc |= plattero::Run(n, beyond);
  return rc;
}
