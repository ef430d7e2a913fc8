// Bytes read as a drawing, written with versions 700 and 600, and each file
// read again. A written file must read back completely, and from the second
// write on the bytes must not change.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_common.h"
#include "jww/jww_data.h"
#include "platform/file_system.h"
#include "util/text.h"

using namespace plattero;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string images = fuzz::Folder("images");
  const std::string images2 = fuzz::Folder("images2");
  const std::string out = fuzz::Folder("out");
  TJwwData doc;
  doc.BindImageFolder = Utf8ToUtf16(images);
  doc.BindImageExp = doc.BindImageExr = true;
  doc.FileInBytes(data, size);
  doc.BindImageExplode();

  for (std::int32_t ver : {700, 600}) {
    // The first write may store fields the input's version lacks with other
    // values than a reader fills in; from the second write on the bytes stay.
    const std::u16string first = Utf8ToUtf16(out + "first.jww");
    if (!doc.FileOut(first, ver)) continue;
    TJwwData back;
    back.BindImageFolder = Utf8ToUtf16(images2);
    back.BindImageExp = back.BindImageExr = true;
    if (!back.FileIn(first)) fuzz::Fail("a written drawing does not read back");
    const std::u16string second = Utf8ToUtf16(out + "second.jww");
    if (!back.FileOut(second, ver)) fuzz::Fail("a drawing read back cannot be written");
    TJwwData again;
    again.BindImageFolder = Utf8ToUtf16(images2);
    again.BindImageExp = again.BindImageExr = true;
    if (!again.FileIn(second)) fuzz::Fail("the second write does not read back");
    const std::u16string third = Utf8ToUtf16(out + "third.jww");
    if (!again.FileOut(third, ver)) fuzz::Fail("the second write cannot be written again");
    std::vector<std::uint8_t> a, b;
    platform::ReadWholeFile(second, a);
    platform::ReadWholeFile(third, b);
    if (a != b) fuzz::Fail("writing a drawing read back changes its bytes");
    fuzz::EmptyFolder(images2);
  }
  if (fuzz::EmptyFolder(out) > 3) fuzz::Fail("a write left a temporary file");
  fuzz::EmptyFolder(images);
  return 0;
}
