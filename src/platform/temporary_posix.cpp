// Temporary folders and interrupts on POSIX systems.

#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <vector>

#include "platform/posix_errors.h"
#include "platform/temporary.h"
#include "platform/temporary_internal.h"
#include "platform/unicode.h"

namespace plattero::platform {

namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

}  // namespace

std::u16string TempRoot() {
  const char* env = std::getenv("TMPDIR");
  std::u16string root = env != nullptr && *env != '\0' ? TextFromOsBytes(env) : u"/tmp";
  while (root.size() > 1 && root.back() == u'/')
    root.pop_back();
  return root;
}

std::optional<std::u16string> MakePrivateFolder(std::u16string_view root,
                                                std::u16string_view prefix, TFileStatus* status) {
  std::u16string pattern(root);
  if (pattern.empty() || pattern.back() != u'/') pattern += u'/';
  pattern += prefix;
  pattern += u"XXXXXX";
  const std::string bytes = OsBytesFromText(pattern);
  std::vector<char> buf(bytes.begin(), bytes.end());
  buf.push_back('\0');
  int error = 0;
  // mkdtemp makes the folder with mode 0700.
  std::optional<std::u16string> made = MakeRegistered([&]() -> std::optional<std::u16string> {
    if (::mkdtemp(buf.data()) == nullptr) {
      error = errno;
      return std::nullopt;
    }
    return TextFromOsBytes(buf.data());
  });
  if (status) *status = made ? TFileStatus{} : StatusFromErrno(error);
  return made;
}

void InstallInterruptCleanup() {
  // Past a file-size limit a write fails with EFBIG, which is reported like
  // any other failed write, instead of ending the program on the spot.
  ::signal(SIGXFSZ, SIG_IGN);
  sigset_t set;
  sigemptyset(&set);
  for (int s : kInterrupts)
    sigaddset(&set, s);
  // Held back in every thread (threads made later inherit the mask); one
  // thread waits for them, removes what is registered, then lets the
  // interrupt end the program as it would have.
  if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
  std::thread([set] {
    int sig = 0;
    while (sigwait(&set, &sig) != 0) {
    }
    CleanUpForInterrupt();
    ::signal(sig, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    ::raise(sig);
    ::_exit(128 + sig);
  }).detach();
}

}  // namespace plattero::platform
