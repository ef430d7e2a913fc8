#include <sys/mman.h>

#include <cstdint>

#include "platform/memory.h"

namespace plattero::platform {

void AdviseHugePages(const void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  if (bytes < kHuge || begin > UINTPTR_MAX - bytes) return;
  const std::uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t last = (begin + bytes) & ~(kHuge - 1);
  if (last <= first) return;
  // The range belongs to our own allocation; the advice only changes how its
  // untouched pages are backed, never their contents.
  ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

}  // namespace plattero::platform
