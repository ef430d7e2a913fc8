// Speed and memory of whole tiling runs: a mixed drawing tiled 25, 50 and 100
// times onto itself, and a pathological drawing (many curve numbers and block
// names) tiled 10 times.
//
//   tiling_bench [benchmark flags]                 runs the benchmarks
//   tiling_bench --write-drawing=FILE [--pathological|--empty]
//                                                  only writes that drawing to FILE
//   tiling_bench --run-once N FILE [BASE [OUT]]    one run of N tiles of FILE onto
//                                                  BASE (default FILE): prints the
//                                                  time of each step, the peak
//                                                  resident memory and the output
//                                                  size; keeps the result as OUT
//
// A run is Merge + Save to a fresh file + Cleanup, as the front ends drive it.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "drawing_builder.h"
#include "tiling/tiling_engine.h"
#include "util/text.h"

namespace plattero {
namespace {

using testing::DrawingSpec;
using testing::TempDir;

// About 50,000 top-level entities of every kind, 200 block definitions nested
// three deep, four images and 20,000 distinct curve numbers on the entities
// (the generator also spends numbers on definitions and dimension parts).
DrawingSpec MixedSpec() {
  DrawingSpec s;
  s.version = 700;
  s.lines = 25000;
  s.arcs = 7500;
  s.texts = 10000;
  s.points = 2500;
  s.dimensions = 1000;
  s.solids = 1500;
  s.block_refs = 2500;
  s.block_defs = 200;
  s.nesting = 3;
  s.images = 4;
  s.curve_numbers = 20600;
  s.seed = 11;
  return s;
}

// 160,000 top-level entities, 10,000 block definitions with distinct names,
// each referenced once from the top level, and 100,000 distinct curve numbers
// on the entities (96,000 of them on top-level ones).
DrawingSpec PathologicalSpec() {
  DrawingSpec s;
  s.version = 700;
  s.lines = 90000;
  s.arcs = 20000;
  s.texts = 30000;
  s.points = 5000;
  s.dimensions = 2000;
  s.solids = 3000;
  s.block_refs = 10000;
  s.block_defs = 10000;
  s.nesting = 1;
  s.curve_numbers = 104600;
  s.seed = 13;
  return s;
}

// A drawing holding nothing but its header and tables.
DrawingSpec EmptySpec() {
  return DrawingSpec{};
}

std::uint64_t FileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

long PeakRssKiB() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

// User and system time of the process so far.
double CpuMs() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  return ms(ru.ru_utime) + ms(ru.ru_stime);
}

// The engine's two image folders, inside a scratch folder.
struct ImageFolders {
  TempDir dir;
  std::u16string tmp, tmp2;
  ImageFolders() {
    const std::string a = dir.file("TEMP/"), b = dir.file("TEMP2/");
    if (::mkdir(a.c_str(), 0700) != 0 || ::mkdir(b.c_str(), 0700) != 0) {
      std::perror("mkdir");
      std::exit(1);
    }
    tmp = Utf8ToUtf16(a);
    tmp2 = Utf8ToUtf16(b);
  }
};

TTilingInputs InputsFor(std::size_t tiles, const std::string& file, const std::string& base) {
  TTilingInputs in;
  in.files.assign(tiles, Utf8ToUtf16(file));
  in.base_file = Utf8ToUtf16(base);
  in.order = 0;
  in.count_text = u"10";
  return in;
}

struct RunTimes {
  double merge_ms = 0, save_ms = 0, cleanup_ms = 0;
  long peak_merge_kib = 0, peak_save_kib = 0;  // peak resident memory after each step
  std::size_t heap_merge_kib = 0;              // memory allocated right after Merge
  bool ok = false;
};

double MsSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

// One full run, as a front end drives it.
RunTimes TileOnce(const TTilingInputs& in, const std::string& out, const ImageFolders& folders) {
  RunTimes t;
  TTilingEngine engine(folders.tmp, folders.tmp2);
  if (engine.CheckInputs(in)) return t;
  auto start = std::chrono::steady_clock::now();
  {
    TTilingRun run(engine);
    engine.Merge(in);
    t.merge_ms = MsSince(start);
    t.peak_merge_kib = PeakRssKiB();
    const struct mallinfo2 mi = mallinfo2();
    t.heap_merge_kib = (mi.uordblks + mi.hblkhd) / 1024;
    start = std::chrono::steady_clock::now();
    t.ok = engine.Save(Utf8ToUtf16(out)).ok;
    t.save_ms = MsSince(start);
    t.peak_save_kib = PeakRssKiB();
    start = std::chrono::steady_clock::now();
  }
  t.cleanup_ms = MsSince(start);
  return t;
}

// A drawing written once into a scratch folder, on first use.
struct Drawing {
  TempDir dir;
  std::string path;
  std::uint64_t size = 0;

  Drawing(const DrawingSpec& spec, const char* name) : path(dir.file(name)) {
    if (!testing::WriteDrawing(spec, path)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      std::exit(1);
    }
    size = FileSize(path);
    std::fprintf(stderr, "%s: %llu bytes\n", name, static_cast<unsigned long long>(size));
  }
};

const Drawing& Mixed() {
  static const Drawing d(MixedSpec(), "mixed.jww");
  return d;
}
const Drawing& Pathological() {
  static const Drawing d(PathologicalSpec(), "pathological.jww");
  return d;
}
const Drawing& Empty() {
  static const Drawing d(EmptySpec(), "empty.jww");
  return d;
}

void RunBenchmark(benchmark::State& state, const TTilingInputs& in, std::uint64_t input_bytes) {
  ImageFolders folders;
  TempDir out_dir;
  const std::string out = out_dir.file("out.jww");
  std::uint64_t out_size = 0;
  for (auto _ : state) {
    if (!TileOnce(in, out, folders).ok) state.SkipWithError("Save failed");
    state.PauseTiming();
    out_size = FileSize(out);
    ::unlink(out.c_str());
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input_bytes));
  state.counters["tiles"] = static_cast<double>(in.files.size());
  state.counters["out_MiB"] = static_cast<double>(out_size) / (1024.0 * 1024.0);
  state.counters["s_per_tile"] = benchmark::Counter(
      static_cast<double>(in.files.size()) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The mixed drawing tiled range(0) times onto itself. Bytes processed are the
// tiles' input bytes (the base read is not counted).
void BM_TileMixed(benchmark::State& state) {
  const Drawing& d = Mixed();
  const auto tiles = static_cast<std::size_t>(state.range(0));
  RunBenchmark(state, InputsFor(tiles, d.path, d.path), tiles * d.size);
}
BENCHMARK(BM_TileMixed)->Arg(25)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

// The pathological drawing tiled 10 times, onto itself (range(1) = 0: every
// name is already in the table) or onto an empty drawing (range(1) = 1: the
// first tile copies all definitions).
void BM_TilePathological(benchmark::State& state) {
  const Drawing& d = Pathological();
  const auto tiles = static_cast<std::size_t>(state.range(0));
  const std::string& base = state.range(1) ? Empty().path : d.path;
  RunBenchmark(state, InputsFor(tiles, d.path, base), tiles * d.size);
}
BENCHMARK(BM_TilePathological)
    ->ArgNames({"tiles", "empty_base"})
    ->Args({10, 0})
    ->Args({10, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int RunOnce(std::size_t tiles, const std::string& file, const std::string& base,
            const std::string& keep) {
  const std::uint64_t in_size = FileSize(file);
  if (in_size == 0 || FileSize(base) == 0) {
    std::fprintf(stderr, "cannot read %s or %s\n", file.c_str(), base.c_str());
    return 1;
  }
  ImageFolders folders;
  TempDir out_dir;
  const std::string out = out_dir.file("out.jww");
  const long before = PeakRssKiB();
  const double cpu_before = CpuMs();
  const auto start = std::chrono::steady_clock::now();
  const RunTimes t = TileOnce(InputsFor(tiles, file, base), out, folders);
  const double total_ms = MsSince(start);
  const double cpu_ms = CpuMs() - cpu_before;
  const long after = PeakRssKiB();
  const std::uint64_t out_size = FileSize(out);
  const double out_mib = static_cast<double>(out_size) / (1024.0 * 1024.0);
  std::printf("run_ok=%d tiles=%zu input_bytes=%llu output_bytes=%llu\n", t.ok ? 1 : 0, tiles,
              static_cast<unsigned long long>(in_size * tiles + FileSize(base)),
              static_cast<unsigned long long>(out_size));
  std::printf("time_ms=%.1f merge_ms=%.1f save_ms=%.1f cleanup_ms=%.1f cpu_ms=%.1f\n", total_ms,
              t.merge_ms, t.save_ms, t.cleanup_ms, cpu_ms);
  std::printf("peak_rss_before_kib=%ld after_merge_kib=%ld after_save_kib=%ld after_kib=%ld\n",
              before, t.peak_merge_kib, t.peak_save_kib, after);
  std::printf("allocated_after_merge_kib=%zu\n", t.heap_merge_kib);
  std::printf("peak_rss/output=%.2f\n", out_mib > 0 ? after / 1024.0 / out_mib : 0.0);
  if (t.ok && !keep.empty() && std::rename(out.c_str(), keep.c_str()) != 0) {
    std::perror(keep.c_str());
    return 1;
  }
  return t.ok ? 0 : 1;
}

}  // namespace
}  // namespace plattero

int main(int argc, char** argv) {
  const char* kWrite = "--write-drawing=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kWrite, std::strlen(kWrite)) == 0) {
      const std::string path = argv[i] + std::strlen(kWrite);
      const char* kind = i + 1 < argc ? argv[i + 1] : "";
      const plattero::testing::DrawingSpec spec =
          std::strcmp(kind, "--pathological") == 0 ? plattero::PathologicalSpec()
          : std::strcmp(kind, "--empty") == 0      ? plattero::EmptySpec()
                                                   : plattero::MixedSpec();
      return plattero::testing::WriteDrawing(spec, path) ? 0 : 1;
    }
  }
  if (argc >= 4 && std::strcmp(argv[1], "--run-once") == 0) {
    char* end = nullptr;
    const unsigned long tiles = std::strtoul(argv[2], &end, 10);
    if (!end || *end != '\0' || tiles == 0 || tiles > 100000 || argc > 6) {
      std::fprintf(stderr, "usage: tiling_bench --run-once N FILE [BASE [OUT]]\n");
      return 2;
    }
    return plattero::RunOnce(tiles, argv[3], argc >= 5 ? argv[4] : argv[3],
                             argc == 6 ? argv[5] : std::string());
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
