// Bytes as a settings file: decoded and applied in memory and through the
// file functions, then saved and read again. What is saved must read back as
// the same settings.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "fuzz_common.h"
#include "util/text.h"
#include "window/settings.h"

using namespace plattero;

namespace {

bool operator==(const window::TSettings& a, const window::TSettings& b) {
  return window::SettingsLines(a) == window::SettingsLines(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string folder = fuzz::Folder("settings");
  const std::vector<std::uint8_t> bytes(data, data + size);
  window::TSettings s = window::DefaultSettings(u"/opt/plattero/");
  window::ApplySettingsLines(window::DecodeSettingsLines(bytes), s);

  const std::string file = folder + "settings.txt";
  if (FILE* f = std::fopen(file.c_str(), "wb")) {
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  window::TSettings loaded = window::DefaultSettings(u"/opt/plattero/");
  if (!window::LoadSettingsFile(Utf8ToUtf16(file), loaded)) fuzz::Fail("the file does not load");
  if (!(loaded == s)) fuzz::Fail("loading the file differs from decoding its bytes");

  // What is saved once reads back as itself.
  const std::u16string saved = Utf8ToUtf16(folder + "sub/saved.txt");
  if (!window::SaveSettingsFile(saved, s)) fuzz::Fail("the settings cannot be saved");
  window::TSettings again = window::DefaultSettings(u"");
  if (!window::LoadSettingsFile(saved, again)) fuzz::Fail("the saved settings do not load");
  window::TSettings twice = window::DefaultSettings(u"");
  window::ApplySettingsLines(
      window::DecodeSettingsLines(window::EncodeSettingsLines(window::SettingsLines(again))),
      twice);
  if (!(twice == again)) fuzz::Fail("saved settings do not read back as themselves");
  fuzz::EmptyFolder(folder);
  return 0;
}
