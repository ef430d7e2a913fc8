#include "cli/temp_dir.h"

#include "platform/file_system.h"
#include "platform/temporary.h"
#include "util/text.h"

namespace plattero::cli {

ScopedTempDir::ScopedTempDir() {
  const std::u16string root = platform::TempRoot();
  platform::TFileStatus status;
  if (auto made = platform::MakePrivateFolder(root, u"plattero-cli-", &status)) {
    path_ = *made;
  } else {
    error_ = "cannot create a temporary folder in \"" + Utf16ToUtf8(DisplayText(root)) +
             "\": " + platform::FileErrorText(status);
  }
}

ScopedTempDir::~ScopedTempDir() {
  Remove();
}

void ScopedTempDir::Remove() {
  if (path_.empty()) return;
  // Removed before it is let go: an interrupt in between finds it registered
  // still and removes what is left.
  platform::RemoveTree(path_);
  platform::UnregisterCleanup(path_);
  path_.clear();
}

}  // namespace plattero::cli
