// Bytes read as a drawing, written with versions 700 and 600, and each file
// read again. A written file must read back completely, and from the second
// write on the bytes must not change.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "fuzz_common.h"
#include "jww/archive.h"
#include "jww/jww_data.h"
#include "util/text.h"

using namespace plattero;

namespace {

// The drawing written into memory; empty when the write failed.
std::vector<std::uint8_t> Written(TJwwData& doc, std::int32_t ver) {
  MemorySink sink;
  if (!doc.FileOutTo(sink, ver)) return {};
  return std::move(sink.bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string images = fuzz::Folder("images");
  const std::string images2 = fuzz::Folder("images2");
  TJwwData doc;
  doc.BindImageFolder = Utf8ToUtf16(images);
  doc.BindImageExp = doc.BindImageExr = true;
  doc.FileInBytes(data, size);
  doc.BindImageExplode();

  for (std::int32_t ver : {700, 600}) {
    // The first write may store fields the input's version lacks with other
    // values than a reader fills in; from the second write on the bytes stay.
    const std::vector<std::uint8_t> first = Written(doc, ver);
    if (first.empty()) continue;
    TJwwData back;
    back.BindImageFolder = Utf8ToUtf16(images2);
    back.BindImageExp = back.BindImageExr = true;
    if (!back.FileInBytes(first.data(), first.size()))
      fuzz::Fail("a written drawing does not read back");
    const std::vector<std::uint8_t> second = Written(back, ver);
    if (second.empty()) fuzz::Fail("a drawing read back cannot be written");
    TJwwData again;
    again.BindImageFolder = Utf8ToUtf16(images2);
    again.BindImageExp = again.BindImageExr = true;
    if (!again.FileInBytes(second.data(), second.size()))
      fuzz::Fail("the second write does not read back");
    if (Written(again, ver) != second) fuzz::Fail("writing a drawing read back changes its bytes");
    fuzz::EmptyFolder(images2);
  }
  fuzz::EmptyFolder(images);
  return 0;
}
