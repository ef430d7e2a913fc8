// The paths an interrupt removes, the same on every system.

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/temporary.h"
#include "platform/temporary_internal.h"

namespace plattero::platform {

namespace {

struct Registry {
  std::mutex mutex;
  std::vector<std::u16string> paths;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // never destroyed: an interrupt may come at exit
  return *registry;
}

}  // namespace

void UnregisterCleanup(std::u16string_view path) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = std::find(r.paths.rbegin(), r.paths.rend(), path);
  if (it != r.paths.rend()) r.paths.erase(std::next(it).base());
}

std::optional<std::u16string> MakeRegistered(
    const std::function<std::optional<std::u16string>()>& make) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  std::optional<std::u16string> made = make();
  if (made) r.paths.push_back(*made);
  return made;
}

void CleanUpForInterrupt() {
  Registry& r = TheRegistry();
  // Taken for good: the program ends right after, and nothing may register
  // a new path meanwhile.
  r.mutex.lock();
  for (auto it = r.paths.rbegin(); it != r.paths.rend(); ++it) {
    if (KindOf(*it) == TFileKind::kFolder) {
      RemoveTree(*it);
    } else {
      DeleteFileQuiet(*it);
    }
  }
}

}  // namespace plattero::platform
