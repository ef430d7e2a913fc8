// Reading and writing speed of a large mixed drawing (about a million
// entities), in file bytes per second.
//
//   jww_bench [benchmark flags]        runs the benchmarks
//   jww_bench --write-drawing=FILE     only writes the drawing to FILE

#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "drawing_builder.h"
#include "jww/jww_data.h"
#include "util/text.h"

namespace plattero {
namespace {

using testing::DrawingSpec;
using testing::TempDir;

DrawingSpec BenchSpec() {
  DrawingSpec s;
  s.version = 700;
  s.lines = 500000;
  s.arcs = 150000;
  s.texts = 200000;
  s.points = 50000;
  s.dimensions = 20000;
  s.solids = 30000;
  s.block_refs = 50000;
  s.block_defs = 1000;
  s.nesting = 3;
  s.images = 4;
  s.curve_numbers = 1000;
  s.seed = 7;
  return s;
}

std::uint64_t FileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

// The drawing, built once, and its file.
struct Fixture {
  TempDir dir;
  TempDir images;
  TJwwData doc;
  std::string path;
  std::uint64_t size = 0;

  Fixture() {
    doc.BindImageFolder = images.upath();
    testing::BuildDrawing(BenchSpec(), doc);
    path = dir.file("bench.jww");
    if (!doc.FileOut(Utf8ToUtf16(path), 700)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      std::exit(1);
    }
    size = FileSize(path);
    std::fprintf(stderr, "drawing: %zu entities, %llu bytes\n", doc.EntNo.size(),
                 static_cast<unsigned long long>(size));
  }
};

Fixture& Shared() {
  static Fixture f;
  return f;
}

// FileIn into a fresh document; releasing the document is not timed.
void BM_FileIn(benchmark::State& state) {
  Fixture& f = Shared();
  TempDir images;
  for (auto _ : state) {
    auto doc = std::make_unique<TJwwData>();
    doc->BindImageFolder = images.upath();
    doc->BindImageExp = true;
    if (!doc->FileIn(Utf8ToUtf16(f.path))) state.SkipWithError("FileIn failed");
    benchmark::DoNotOptimize(doc->EntNo.data());
    state.PauseTiming();
    doc.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.size));
}
BENCHMARK(BM_FileIn)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same parse from bytes already in memory: FileIn without the file read.
void BM_FileInBytes(benchmark::State& state) {
  Fixture& f = Shared();
  std::FILE* in = std::fopen(f.path.c_str(), "rb");
  std::string bytes(f.size, '\0');
  if (!in || std::fread(bytes.data(), 1, bytes.size(), in) != bytes.size()) {
    state.SkipWithError("cannot read the drawing");
  }
  if (in) std::fclose(in);
  for (auto _ : state) {
    auto doc = std::make_unique<TJwwData>();
    if (!doc->FileInBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())) {
      state.SkipWithError("FileInBytes failed");
    }
    state.PauseTiming();
    doc.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.size));
}
BENCHMARK(BM_FileInBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

// FileOut of the whole document (version 700, images included).
void BM_FileOut(benchmark::State& state) {
  Fixture& f = Shared();
  const std::u16string out = Utf8ToUtf16(f.dir.file("out.jww"));
  for (auto _ : state) {
    if (!f.doc.FileOut(out, 700)) state.SkipWithError("FileOut failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.size));
}
BENCHMARK(BM_FileOut)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace plattero

int main(int argc, char** argv) {
  // --write-drawing=FILE [--scale=S]: the drawing, or S times its entities.
  const char* kWrite = "--write-drawing=";
  const char* kScale = "--scale=";
  std::string write_path;
  double scale = 1.0;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kWrite, std::strlen(kWrite)) == 0)
      write_path = argv[i] + std::strlen(kWrite);
    if (std::strncmp(argv[i], kScale, std::strlen(kScale)) == 0)
      scale = std::atof(argv[i] + std::strlen(kScale));
  }
  if (!write_path.empty()) {
    plattero::testing::DrawingSpec spec = plattero::BenchSpec();
    auto scaled = [scale](std::size_t n) {
      return static_cast<std::size_t>(static_cast<double>(n) * scale);
    };
    for (std::size_t* n : {&spec.lines, &spec.arcs, &spec.texts, &spec.points, &spec.dimensions,
                           &spec.solids, &spec.block_refs, &spec.block_defs, &spec.curve_numbers}) {
      *n = scaled(*n);
    }
    return plattero::testing::WriteDrawing(spec, write_path) ? 0 : 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
