// What reading, writing and tiling cost and leave behind: memory bounded by
// the file's size, no file descriptor or temporary file left over, and disks
// that fill up part-way through a write.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>

#include "drawing_builder.h"
#include "jww_test_util.h"
#include "tiling/tiling_engine.h"

#if defined(__SANITIZE_ADDRESS__)
#define PLATTERO_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PLATTERO_ASAN 1
#endif
#endif

#ifdef PLATTERO_ASAN
// The allocator hooks of the sanitizer runtime (GCC ships no header for them).
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*,
                                                                  std::size_t),
                                              void (*free_hook)(const volatile void*));
std::size_t __sanitizer_get_allocated_size(const volatile void* p);
}
#endif

namespace plattero {
namespace {

using namespace testing_jww;

// Runs fn in a child process and returns its exit status (128 + signal when it
// was killed).
int InChild(const std::function<int()>& fn) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(fn());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// --- Memory -------------------------------------------------------------------

// Reading a file of S bytes may take this much memory beyond the file itself.
// The constant covers the block tree, which is capped on its own (about 30 MB,
// twice that while its list grows).
std::size_t MemoryBound(std::size_t s) {
  return 16 * s + (96u << 20);
}

#ifdef PLATTERO_ASAN
// Under AddressSanitizer the address space is huge and unlimited by design, so
// the heap is measured instead: hooks keep the peak of the bytes allocated.
std::atomic<bool> g_counting{false};
std::atomic<std::int64_t> g_live{0}, g_peak{0};

void OnMalloc(const volatile void*, std::size_t size) {
  if (!g_counting.load(std::memory_order_relaxed)) return;
  const std::int64_t now = g_live += static_cast<std::int64_t>(size);
  std::int64_t peak = g_peak.load();
  while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
  }
}
void OnFree(const volatile void* p) {
  if (!g_counting.load(std::memory_order_relaxed) || !p) return;
  g_live -= static_cast<std::int64_t>(__sanitizer_get_allocated_size(p));
}

// The peak heap growth while fn runs.
std::size_t PeakHeapOf(const std::function<void()>& fn) {
  static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
  EXPECT_TRUE(installed);
  g_live = 0;
  g_peak = 0;
  g_counting = true;
  fn();
  g_counting = false;
  return static_cast<std::size_t>(g_peak.load());
}
#endif

// Reads the file within the memory bound: under an address-space limit in a
// child process, or with the heap measured under AddressSanitizer.
void ExpectReadWithinBound(const std::u16string& file, std::size_t s, const std::string& what) {
#ifdef PLATTERO_ASAN
  const std::size_t peak = PeakHeapOf([&] {
    TJwwData d;
    d.FileIn(file);
  });
  EXPECT_LE(peak, MemoryBound(s)) << what << ": " << s << " bytes took " << peak;
#else
  const int rc = InChild([&] {
    long pages = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
      std::fclose(f);
    }
    const rlim_t now = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
    const rlimit lim{now + s + MemoryBound(s), now + s + MemoryBound(s)};
    if (pages == 0 || ::setrlimit(RLIMIT_AS, &lim) != 0) return 3;
    TJwwData d;
    d.FileIn(file);
    return 0;
  });
  EXPECT_EQ(rc, 0) << what << ": " << s << " bytes did not read within the bound";
#endif
}

TEST(Resources, ReadingTakesMemoryBoundedByTheFileSize) {
  ScratchDir dir;
  constexpr std::size_t kEach = 40000;
  struct Case {
    const char* what;
    std::function<void(TJwwData&)> fill;
  };
  const Case cases[] = {
      {"lines", [](TJwwData& d) { d.EntLine.resize(kEach); }},
      {"points", [](TJwwData& d) { d.EntTen.resize(kEach); }},
      {"texts", [](TJwwData& d) { d.EntMoji.resize(kEach); }},
      {"dimensions", [](TJwwData& d) { d.EntSunpo.resize(kEach / 4); }},
      {"block references", [](TJwwData& d) { d.EntBlock.resize(kEach); }},
      {"empty block definitions",
       [](TJwwData& d) {
         d.EntBlockDef.resize(kEach);
         for (std::size_t i = 0; i < kEach; ++i)
           d.EntBlockDef[i].nNumber = static_cast<std::uint32_t>(i);
         d.EntBlock.resize(kEach);
         for (std::size_t i = 0; i < kEach; ++i)
           d.EntBlock[i].nNumber = static_cast<std::uint32_t>(i);
       }},
      {"ten levels of ten placements",
       [](TJwwData& d) {
         for (std::uint32_t level = 0; level < 10; ++level) {
           TEntJwwBlockDef def;
           def.nNumber = level;
           if (level < 9) {
             def.mBlock.resize(10);
             for (auto& b : def.mBlock)
               b.nNumber = level + 1;
           }
           d.EntBlockDef.push_back(def);
         }
         d.EntBlock.resize(10);
       }},
  };
  for (const Case& c : cases) {
    TJwwData d;
    MakeEmptyDrawing(d);
    c.fill(d);
    auto order = [](auto& list, std::int32_t kind, std::vector<TEntJwwNo>& no) {
      for (std::size_t i = 0; i < list.size(); ++i)
        no.push_back({kind, static_cast<std::int32_t>(i)});
    };
    order(d.EntLine, kEntLine, d.EntNo);
    order(d.EntTen, kEntTen, d.EntNo);
    order(d.EntMoji, kEntMoji, d.EntNo);
    order(d.EntSunpo, kEntSunpo, d.EntNo);
    order(d.EntBlock, kEntBlock, d.EntNo);
    for (auto& def : d.EntBlockDef)
      order(def.mBlock, kEntBlock, def.mNo);
    d.MakeBlockTree();
    ASSERT_TRUE(d.FileOut(dir.file("big.jww"), 700)) << c.what;
    const std::size_t s = std::filesystem::file_size(dir.path() + "big.jww");
    ExpectReadWithinBound(dir.file("big.jww"), s, c.what);
  }
  // Counts that promise far more than the bytes behind them.
  TJwwData empty;
  MakeEmptyDrawing(empty);
  const Bytes header = WriteToBytes(empty, 700);
  TJwwData probe;
  probe.FileInBytes(header.data(), header.size());
  for (const Bytes& tail :
       {Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, Bytes{0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F},
        Bytes{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F}}) {
    Bytes b(header.begin(), header.begin() + static_cast<std::ptrdiff_t>(probe.Status().entities));
    b.insert(b.end(), tail.begin(), tail.end());
    b.resize(b.size() + (1u << 20), 0);
    WriteFileBytes(dir.file("counts.jww"), b);
    ExpectReadWithinBound(dir.file("counts.jww"), b.size(), "huge count");
  }
}

// --- File descriptors and temporary files -------------------------------------

std::size_t OpenDescriptors() {
  std::size_t n = 0;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)e;
    ++n;
  }
  return n;
}

std::set<std::string> Entries(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
    names.insert(std::filesystem::relative(e.path(), folder).string());
  return names;
}

// A drawing with images and blocks, written as "in.jww" into dir.
void WriteInput(const ScratchDir& dir, const std::string& name = "in.jww") {
  testing::DrawingSpec spec;
  spec.lines = spec.texts = spec.block_defs = spec.block_refs = 2;
  spec.images = 2;
  ASSERT_TRUE(testing::WriteDrawing(spec, dir.path() + name));
}

TEST(Resources, NoDescriptorOrTemporaryFileIsLeftBehind) {
  struct Case {
    const char* what;
    std::function<void(const ScratchDir&)> run;
    std::set<std::string> left;  // what the folder holds afterwards
  };
  const Case cases[] = {
      {"read", [](const ScratchDir& d) { TJwwData().FileIn(d.file("in.jww")); }, {"in.jww"}},
      {"read of a missing file",
       [](const ScratchDir& d) { TJwwData().FileIn(d.file("no.jww")); },
       {"in.jww"}},
      {"read of a folder",
       [](const ScratchDir& d) {
         std::filesystem::create_directory(d.path() + "dir.jww");
         TJwwData().FileIn(d.file("dir.jww"));
       },
       {"in.jww", "dir.jww"}},
      {"read of a FIFO",
       [](const ScratchDir& d) {
         ::mkfifo((d.path() + "fifo.jww").c_str(), 0600);
         TJwwData().FileIn(d.file("fifo.jww"));
       },
       {"in.jww", "fifo.jww"}},
      {"read of a cut file",
       [](const ScratchDir& d) {
         Bytes b = ReadFileBytes(d.file("in.jww"));
         b.resize(b.size() / 2);
         WriteFileBytes(d.file("cut.jww"), b);
         TJwwData().FileIn(d.file("cut.jww"));
       },
       {"in.jww", "cut.jww"}},
      {"read extracting and unpacking images, then releasing them",
       [](const ScratchDir& d) {
         std::filesystem::create_directory(d.path() + "img");
         TJwwData doc;
         doc.BindImageFolder = d.file("img/");
         doc.BindImageExp = true;
         doc.FileIn(d.file("in.jww"));
         doc.BindImageExplode();
         doc.BindImageDeleteNonGzFile();
         doc.BindImageDeleteGzFile();
       },
       {"in.jww", "img"}},
      {"write and write again over it",
       [](const ScratchDir& d) {
         TJwwData doc;
         doc.FileIn(d.file("in.jww"));
         doc.FileOut(d.file("out.jww"), 700);
         doc.FileOut(d.file("out.jww"), 600);
       },
       {"in.jww", "out.jww"}},
      {"write into a missing folder",
       [](const ScratchDir& d) {
         TJwwData doc;
         doc.FileIn(d.file("in.jww"));
         doc.FileOut(d.file("missing/out.jww"), 700);
       },
       {"in.jww"}},
      {"write onto a folder",
       [](const ScratchDir& d) {
         std::filesystem::create_directory(d.path() + "out.jww");
         TJwwData doc;
         doc.FileIn(d.file("in.jww"));
         doc.FileOut(d.file("out.jww"), 700);
       },
       {"in.jww", "out.jww"}},
      {"tiling run",
       [](const ScratchDir& d) {
         testing::TempDir tmp, tmp2;
         TTilingEngine engine(tmp.upath(), tmp2.upath());
         TTilingInputs in;
         in.base_file = d.file("in.jww");
         in.files = {d.file("in.jww"), d.file("no.jww"), d.file("in.jww")};
         TTilingRun run(engine);
         engine.Merge(in);
         EXPECT_TRUE(engine.Save(d.file("out.jww")).ok);
         engine.Cleanup();
         EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
         EXPECT_TRUE(std::filesystem::is_empty(tmp2.path()));
       },
       {"in.jww", "out.jww"}},
      {"tiling run whose save fails",
       [](const ScratchDir& d) {
         testing::TempDir tmp, tmp2;
         {
           TTilingEngine engine(tmp.upath(), tmp2.upath());
           TTilingInputs in;
           in.base_file = d.file("in.jww");
           in.files = {d.file("in.jww")};
           TTilingRun run(engine);
           engine.Merge(in);
           EXPECT_FALSE(engine.Save(d.file("missing/out.jww")).ok);
         }
         EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
         EXPECT_TRUE(std::filesystem::is_empty(tmp2.path()));
       },
       {"in.jww"}},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    WriteInput(dir);
    const std::size_t before = OpenDescriptors();
    c.run(dir);
    EXPECT_EQ(OpenDescriptors(), before) << c.what;
    EXPECT_EQ(Entries(dir.path()), c.left) << c.what;
  }
}

// --- Failing disks ------------------------------------------------------------

// Runs fn in a child whose files may grow to at most `limit` bytes; a write
// beyond fails (SIGXFSZ ignored) instead of killing the process.
int WithFileSizeLimit(rlim_t limit, const std::function<int()>& fn) {
  return InChild([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit lim{limit, limit};
    if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) return 3;
    return fn();
  });
}

TEST(FailingDisk, AWriteCutShortLeavesTheOldFileAndNoTemporaryFile) {
  ScratchDir dir;
  WriteInput(dir);
  const Bytes old = {'o', 'l', 'd', ' ', 'd', 'r', 'a', 'w', 'i', 'n', 'g'};
  std::size_t full = 0;
  {
    TJwwData doc;
    ScratchDir images;
    doc.BindImageFolder = images.upath();
    doc.BindImageExp = true;
    ASSERT_TRUE(doc.FileIn(dir.file("in.jww")));
    full = WriteToBytes(doc, 700).size();
  }
  ASSERT_GT(full, 8192u);
  for (rlim_t limit :
       {rlim_t{0}, rlim_t{1}, rlim_t{100}, rlim_t{4096}, rlim_t{full / 2}, rlim_t{full - 1}}) {
    for (bool existing : {true, false}) {
      if (existing) WriteFileBytes(dir.file("out.jww"), old);
      const int rc = WithFileSizeLimit(limit, [&] {
        TJwwData doc;
        doc.BindImageFolder = dir.file("img/");
        std::filesystem::create_directory(dir.path() + "img");
        doc.BindImageExp = true;
        if (!doc.FileIn(dir.file("in.jww"))) return 4;
        return doc.FileOut(dir.file("out.jww"), 700) ? 1 : 0;  // must fail
      });
      EXPECT_EQ(rc, 0) << "limit " << limit;
      std::set<std::string> expected = {"in.jww", "img"};
      for (const auto& e : std::filesystem::directory_iterator(dir.path() + "img"))
        expected.insert("img/" + e.path().filename().string());
      if (existing) {
        expected.insert("out.jww");
        EXPECT_EQ(ReadFileBytes(dir.file("out.jww")), old) << "limit " << limit;
      }
      EXPECT_EQ(Entries(dir.path()), expected) << "limit " << limit;
      std::filesystem::remove(dir.path() + "out.jww");
      std::filesystem::remove_all(dir.path() + "img");
    }
  }
}

TEST(FailingDisk, AnImageThatCannotBeExtractedSparesTheDrawingAndTheOthers) {
  ScratchDir src, dir;
  TJwwData d;
  MakeEmptyDrawing(d);
  d.BindImageFolder = src.upath();
  d.BindImageExp = true;
  const Bytes small(300, 's'), big(50000, 'b'), last(200, 'l');
  WriteFileBytes(src.file("a.bmp"), small);
  WriteFileBytes(src.file("b.bmp"), big);
  WriteFileBytes(src.file("c.bmp"), last);
  d.BindImage = {{u"a.bmp", 300, false}, {u"b.bmp", 50000, false}, {u"c.bmp", 200, false}};
  for (const char* name : {"a", "b", "c"}) {
    TEntJwwMoji m;
    m.str = u"^@BM%temp%" + Utf8ToUtf16(name) + u".bmp,1,1";
    d.EntNo.push_back({kEntMoji, static_cast<std::int32_t>(d.EntMoji.size())});
    d.EntMoji.push_back(m);
  }
  ASSERT_TRUE(d.FileOut(src.file("in.jww"), 700));
  const int rc = WithFileSizeLimit(10000, [&] {
    TJwwData back;
    back.BindImageFolder = dir.upath();
    back.BindImageExp = true;
    if (!back.FileIn(src.file("in.jww"))) return 1;
    return back.EntMoji.size() == 3 && back.BindImage.size() == 3 ? 0 : 2;
  });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(ReadFileBytes(dir.file("a.bmp")), small);
  EXPECT_EQ(ReadFileBytes(dir.file("c.bmp")), last);
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "b.bmp"));  // no half image
  EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"a.bmp", "c.bmp"}));
}

TEST(FailingDisk, ATilingSaveCutShortReportsFailureAndLeavesNothing) {
  ScratchDir dir;
  WriteInput(dir);
  const Bytes old = {'k', 'e', 'e', 'p'};
  WriteFileBytes(dir.file("out.jww"), old);
  testing::TempDir tmp, tmp2;
  const int rc = WithFileSizeLimit(2000, [&] {
    TTilingEngine engine(tmp.upath(), tmp2.upath());
    TTilingInputs in;
    in.base_file = dir.file("in.jww");
    in.files = {dir.file("in.jww"), dir.file("in.jww")};
    TTilingRun run(engine);
    engine.Merge(in);
    const auto result = engine.Save(dir.file("out.jww"));
    return !result.ok && !result.status.ok() ? 0 : 1;
  });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(ReadFileBytes(dir.file("out.jww")), old);
  EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"in.jww", "out.jww"}));
  EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
  EXPECT_TRUE(std::filesystem::is_empty(tmp2.path()));
}

}  // namespace
}  // namespace plattero
