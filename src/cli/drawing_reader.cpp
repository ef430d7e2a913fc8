#include "cli/drawing_reader.h"

#include "cli/cli_app.h"
#include "cli/json_dump.h"
#include "messages/format_messages.h"
#include "platform/file_system.h"
#include "util/text.h"

namespace plattero::cli {

std::string Shown(const std::u16string& path) {
  return Printable(Utf16ToUtf8(DisplayText(path)));
}

std::string ErrorLine(std::string_view what, const std::u16string& path, std::string_view why) {
  std::string line = "plattero-cli: ";
  line += what;
  line += " \"" + Shown(path) + "\": ";
  line += why;
  return line;
}

ReadResult ReadDrawing(const std::u16string& path, TJwwData& doc,
                       const std::u16string& image_folder, std::ostream& err) {
  // Looked at before reading, so that the line can say why a file that is no
  // drawing file at all was not read.
  platform::TInputFile probe;
  if (!probe.Open(path)) {
    err << ErrorLine("cannot read", path, platform::FileErrorText(probe.Status())) << '\n';
    return ReadResult::kNotOpened;
  }
  probe.Close();
  doc.BindImageFolder = image_folder.empty() ? std::u16string() : image_folder + u"/";
  doc.BindImageExp = !image_folder.empty();
  doc.BindImageExr = true;
  if (doc.FileIn(path)) return ReadResult::kComplete;
  const TJwwReadStatus& status = doc.Status();
  err << ErrorLine("cannot read", path,
                   ReadFailureText(status) + " at byte " + std::to_string(status.offset))
      << '\n';
  return ReadResult::kPartial;
}

int CheckOutputs(const std::vector<std::u16string>& inputs,
                 const std::vector<std::u16string>& outputs, std::ostream& err) {
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const std::u16string& out = outputs[i];
    for (const std::u16string& in : inputs) {
      if (platform::SameFile(out, in)) {
        err << ErrorLine("will not write", out,
                         "it is the same file as the input \"" + Shown(in) + "\"")
            << '\n';
        return kExitUsage;
      }
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (platform::SameFile(out, outputs[j])) {
        err << ErrorLine("will not write", out, "it is the same file as another output") << '\n';
        return kExitUsage;
      }
    }
    platform::TFileStatus status;
    if (!platform::CheckOutputTarget(out, &status)) {
      err << ErrorLine("cannot write", out, platform::FileErrorText(status)) << '\n';
      return kExitWriteFailed;
    }
  }
  return kExitOk;
}

}  // namespace plattero::cli
