#include "util/files.h"

#include <array>
#include <stdexcept>

#include "platform/file_system.h"
#include "util/text.h"

namespace plattero {

bool IsExistingFile(std::u16string_view path) {
  return platform::IsRegularFile(path);
}

std::uint64_t RegularFileSize(std::u16string_view path) {
  const auto stamp = platform::FileStampOf(path);
  return stamp ? stamp->size : 0;
}

bool DeleteFileQuiet(std::u16string_view path) {
  return platform::DeleteFileQuiet(path);
}

void CopyFileKeepTimes(std::u16string_view source, std::u16string_view destination) {
  const auto times = platform::GetFileTimes(source);
  if (!times || !platform::IsRegularFile(source)) {
    throw std::runtime_error("File not found: " + Utf16ToUtf8(DisplayText(source)));
  }
  platform::TInputFile in;
  if (!in.Open(source)) {
    throw std::runtime_error("Cannot open file: " + Utf16ToUtf8(DisplayText(source)));
  }
  if (platform::FileIdentity(destination) == platform::FileIdentity(source)) {
    return;  // the same file: truncating the destination would destroy the source
  }
  // When the destination cannot be created it is left alone: it was not touched.
  platform::TScratchFile out;
  if (!out.Create(destination)) return;
  std::array<std::uint8_t, 4096> block;
  for (;;) {
    const std::ptrdiff_t got = in.Read(block.data(), block.size());
    if (got < 0) return;  // out removes the unfinished copy
    if (got == 0) break;
    if (!out.Write(block.data(), static_cast<std::size_t>(got))) return;
  }
  if (!out.Close()) return;
  // A failure here leaves the finished copy in place.
  platform::SetFileTimes(destination, *times);
}

}  // namespace plattero
