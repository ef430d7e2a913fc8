// Reads one drawing and prints the peak resident memory of the process before
// and after, beside the file size:  jww_read_once FILE

#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "jww/jww_data.h"
#include "util/text.h"

namespace {

long PeakKiB() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: jww_read_once FILE\n");
    return 2;
  }
  struct stat st {};
  if (::stat(argv[1], &st) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  const long before = PeakKiB();
  const auto start = std::chrono::steady_clock::now();
  plattero::TJwwData doc;
  const bool ok = doc.FileIn(plattero::Utf8ToUtf16(argv[1]));
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const long after = PeakKiB();
  const double file_mib = static_cast<double>(st.st_size) / (1024.0 * 1024.0);
  std::printf("read_ok=%d entities=%zu file_bytes=%lld time_ms=%.1f\n", ok ? 1 : 0,
              doc.EntNo.size(), static_cast<long long>(st.st_size), ms);
  std::printf("peak_rss_before_kib=%ld peak_rss_after_kib=%ld\n", before, after);
  std::printf("peak_rss/file=%.2f (read alone: %.2f)\n", after / 1024.0 / file_mib,
              (after - before) / 1024.0 / file_mib);
  return ok ? 0 : 1;
}
