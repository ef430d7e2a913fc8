// Private folders and the paths an interrupt removes, the same on every
// system.

#include <algorithm>
#include <mutex>
#include <random>
#include <vector>

#include "platform/file_system_internal.h"
#include "platform/system.h"
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

std::optional<std::u16string> MakePrivateFolder(std::u16string_view root,
                                                std::u16string_view prefix, TFileStatus* status) {
  static constexpr char16_t kChars[] =
      u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  std::u16string base(root);
  if (base.empty() || !sys::IsSeparator(base.back())) base += PathSeparator();
  base += prefix;
  TFileStatus made;
  for (int attempt = 0; attempt < 100; ++attempt) {
    // Six random characters, as mkdtemp makes them.
    std::u16string path = base;
    for (int i = 0; i < 6; ++i)
      path += kChars[rng() % (std::size(kChars) - 1)];
    std::optional<std::u16string> registered =
        MakeRegistered([&]() -> std::optional<std::u16string> {
          made = sys::MakeFolder(path);
          if (!made.ok()) return std::nullopt;
          return path;
        });
    if (registered) {
      if (status) *status = {};
      return registered;
    }
    if (!sys::NameTaken(made)) break;
  }
  if (status) *status = made;
  return std::nullopt;
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
