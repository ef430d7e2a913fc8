// Reading a whole drawing: header, entity list, block definitions and images.

#include <algorithm>
#include <limits>
#include <new>

#include "jww/archive.h"
#include "jww/entity_io.h"
#include "jww/entity_lists.h"
#include "jww/header_io.h"
#include "jww/jww_data.h"
#include "jww/limits.h"
#include "util/memory.h"
#include "util/numbers.h"
#include "util/text.h"

namespace plattero {

namespace {

// A definition takes at least a tag and its fixed part.
constexpr std::size_t kMinBlockDefBytes = 2 + 25;
// An image row takes at least a one-byte name length and its size.
constexpr std::size_t kMinImageRowBytes = 1 + 4;

void SetDrawingInfo(TJwwDrawingInfo& info, const TEntJwwHeader& h,
                    const std::u16string& file_name) {
  info.JwwFileName = file_name;
  const std::int32_t t = h.lnDrawTime;
  std::u16string minutes = IntStr((t / 60) % 60);
  if (minutes.size() == 1) minutes = u"0" + minutes;
  info.JwwDrawTime = IntStr(t / 3600) + u" : " + minutes;
  std::int32_t p = PosIndex(u"\r\n", h.strMemo);
  if (p < 0) {
    info.JwwMemo1 = h.strMemo;
    info.JwwMemo2.clear();
    info.JwwMemo = info.JwwMemo1;
  } else {
    info.JwwMemo1 = SubStr(h.strMemo, 0, p);
    info.JwwMemo2 = SubStrFrom(h.strMemo, p + 2);
    info.JwwMemo = info.JwwMemo1 + u'\u3000' + info.JwwMemo2;
  }
  info.JwwPrtBairitsu = h.dPrtBairitsu;
}

void TrimLists(EntityListsOut l) {
  l.order.shrink_to_fit();
  l.line.shrink_to_fit();
  l.enko.shrink_to_fit();
  l.ten.shrink_to_fit();
  l.moji.shrink_to_fit();
  l.sunpo.shrink_to_fit();
  l.solid.shrink_to_fit();
  l.block.shrink_to_fit();
}

bool ReadBlockDefs(ArchiveReader& r, ClassTable& classes, TJwwData& doc) {
  const std::int32_t ver = doc.Enthd.jwVer;
  std::uint32_t count = r.ReadCount();
  doc.EntBlockDef.reserve(std::min<std::size_t>(count, r.Remaining() / kMinBlockDefBytes + 1));
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t tag_offset = r.Position();
    TagRead tag = ReadTag(r);
    if (tag.kind == TagRead::kNameTooLong) {
      r.Fail(tag_offset, TReadFailure::kClassNameTooLong, TReadSection::kBlockDefs);
      return false;
    }
    // Every object of this list is a definition, whatever its tag says.
    if (tag.kind == TagRead::kNewClass) classes.index[kEntBlockDef] = classes.counter++;
    if (r.AtEnd()) {
      r.Fail(TReadFailure::kEndsBeforeList, TReadSection::kBlockDefs);
      return false;
    }
    TEntJwwBlockDef& b = doc.EntBlockDef.emplace_back();
    ReadBlockDefHead(r, ver, i, b);
    std::uint32_t n = r.ReadCount();
    ++classes.counter;  // the definition's own index, before its entities
    if (!ReadEntityList(r, classes, ver, n, true, TReadSection::kBlockDefEntities,
                        NestedLists(b))) {
      return false;
    }
    TrimLists(NestedLists(b));
  }
  return true;
}

// A name from the image section may only name a file inside the image folder.
bool IsSafeImageName(const std::u16string& name) {
  if (name == u"." || name == u"..") return false;
  return name.find_first_of(u"/\\:") == std::u16string::npos;
}

bool ReadImageSection(ArchiveReader& r, TJwwData& doc) {
  const std::int32_t n = r.ReadI32();
  if (n <= 0) return true;
  const bool keep = doc.BindImageKeep;
  const bool extract = doc.BindImageExp && !doc.BindImageFolder.empty() && !keep;
  const std::size_t rows =
      std::min<std::size_t>(static_cast<std::uint32_t>(n), r.Remaining() / kMinImageRowBytes + 1);
  doc.BindImage.reserve(rows);
  if (keep) doc.BindImageBytes.reserve(rows);
  for (std::int32_t i = 0; i < n; ++i) {
    if (r.AtEnd()) {
      r.Fail(TReadFailure::kEndsBeforeList, TReadSection::kImages);
      return false;
    }
    bool held_nul = false;
    TBindImageType row = ReadImageRow(r, held_nul);
    if (row.Fname.empty() || row.Fsize <= 0) {
      doc.BindImage.push_back(std::move(row));
      if (keep) doc.BindImageBytes.emplace_back();
      continue;
    }
    const std::size_t offset = r.Position();
    std::size_t got = 0;
    const std::uint8_t* bytes = r.Take(static_cast<std::uint32_t>(row.Fsize), got);
    const bool complete = got == static_cast<std::uint32_t>(row.Fsize);
    // A name that could only name a file elsewhere, or that no file can have
    // (its NUL cut it short, so it would name another), is left out: its
    // bytes are passed over and the row dropped.
    if (held_nul || !IsSafeImageName(row.Fname)) {
      doc.BindImageLeftOut.push_back(
          {held_nul ? TImageLeftOut::kNameWithNul : TImageLeftOut::kUnusableName, row.Fname, {}});
    } else {
      if (extract && complete) {
        // A file that cannot be written is left out and noted; the row stays.
        platform::TFileStatus status;
        if (!platform::WriteScratchFile(doc.BindImageFolder + row.Fname, bytes, got, &status)) {
          doc.BindImageLeftOut.push_back({TImageLeftOut::kNotWritten, row.Fname, status});
        }
      }
      doc.BindImage.push_back(row);
      if (keep) {
        doc.BindImageBytes.emplace_back();
        if (complete) doc.BindImageBytes.back().assign(bytes, bytes + got);
      }
    }
    if (!complete) {
      doc.BindImageLeftOut.push_back({TImageLeftOut::kCut, row.Fname, {}});
      r.Fail(offset, TReadFailure::kEndsInImage, TReadSection::kImages);
      return false;
    }
  }
  return true;
}

bool ReadDrawing(ArchiveReader& r, TJwwData& doc, const std::u16string& name, bool& header_ok,
                 TJwwReadStatus& where) {
  header_ok = ReadHeader(r, doc, &where);
  if (!header_ok) return false;
  SetDrawingInfo(doc.DrawingInfo, doc.Enthd, name);
  const std::int32_t ver = doc.Enthd.jwVer;

  where.entities = r.Position();
  bool delivered = false;
  const std::size_t count_offset = r.Position();
  std::uint32_t count = r.ReadCount(&delivered);
  if (!delivered) {
    r.Fail(count_offset, TReadFailure::kEndsBeforeCount, TReadSection::kEntityList);
    return false;
  }
  ClassTable classes;
  bool ok =
      ReadEntityList(r, classes, ver, count, false, TReadSection::kEntityList, TopLevelLists(doc));
  TrimLists(TopLevelLists(doc));
  if (!ok) return false;
  where.block_defs = r.Position();
  if (!ReadBlockDefs(r, classes, doc)) return false;
  where.images = r.Position();
  if (ver >= 700) {
    doc.BindImageInit();
    if (doc.BindImageExp || doc.BindImageExr || doc.BindImageKeep) {
      if (!ReadImageSection(r, doc)) return false;
    } else if (r.Remaining() < 4) {
      r.MarkShortRead();  // not read, but the image count must be there
    }
  }
  // Every value a complete drawing holds was there: a read that found fewer
  // bytes than it asked for means the file was cut, though what was read stays.
  if (r.ShortRead()) {
    r.Fail(r.ShortReadOffset(), TReadFailure::kCut, TReadSection::kFile);
    return false;
  }
  return true;
}

// The status of a read the reader stopped: where, why and in which part. A
// read that stopped without a recorded failure is put down to `fallback`.
void SetFailure(TJwwReadStatus& status, const ArchiveReader& r, const TEntJwwHeader& h,
                TReadSection fallback = TReadSection::kFile) {
  status.ok = false;
  status.offset = r.FailOffset();
  status.failure = r.Failed() ? r.FailKind() : TReadFailure::kUnknown;
  status.section = r.Failed() ? r.FailSection() : fallback;
  status.version = h.jwVer;
}

}  // namespace

bool TJwwData::FileInBytes(const std::uint8_t* data, std::size_t size) {
  bool header_ok = false;
  bool ok = ReadBytes(data, size, std::u16string(), header_ok);
  if (header_ok) MakeBlockTree();
  return ok;
}

void TJwwData::ReadFailed(std::uint64_t offset, TReadFailure failure, platform::TFileStatus file) {
  status_ = TJwwReadStatus{};
  status_.ok = false;
  status_.offset = offset;
  status_.failure = failure;
  status_.file = std::move(file);
}

bool TJwwData::ReadBytes(const std::uint8_t* data, std::size_t size, const std::u16string& name,
                         bool& header_ok) {
  DataInit();
  source_bytes_ = size;
  ArchiveReader r(data, size);
  status_ = TJwwReadStatus{};
  bool ok = ReadDrawing(r, *this, name, header_ok, status_);
  MojiEncode = r.SawUtf16();
  status_.header = header_ok;
  if (!ok) SetFailure(status_, r, Enthd);
  return ok;
}

bool TJwwData::FileIn(const std::u16string& FName) {
  bool header_ok = false;
  bool ok = false;
  {
    std::vector<std::uint8_t> bytes;
    if (!ReadDrawingBytes(FName, bytes)) return false;
    ok = ReadBytes(bytes.data(), bytes.size(), FName, header_ok);
  }
  // The file's bytes are released before the tree is built.
  if (header_ok) MakeBlockTree();
  return ok;
}

bool TJwwData::HeaderIn(const std::u16string& FName) {
  DataInit();
  SizeHeaderTables(*this);
  platform::TInputFile in;
  if (!in.Open(FName)) {
    ReadFailed(0, TReadFailure::kCannotOpen, in.Status());
    return false;
  }
  // A header is a few kilobytes; its names may make it longer, so the read
  // grows fourfold while the header runs past what was read, up to the file.
  std::vector<std::uint8_t> bytes;
  std::size_t want = 16384;
  for (;;) {
    const std::size_t have = bytes.size();
    bytes.resize(want);
    const std::ptrdiff_t n = in.ReadFully(bytes.data() + have, want - have);
    if (n < 0) {
      ReadFailed(have, TReadFailure::kCannotRead, in.Status());
      return false;
    }
    bytes.resize(have + static_cast<std::size_t>(n));
    const bool at_end = bytes.size() < want;
    ArchiveReader r(bytes.data(), bytes.size());
    status_ = TJwwReadStatus{};
    if (ReadHeader(r, *this)) {
      status_.header = true;
      return true;
    }
    if (at_end || !r.ShortRead()) {
      SetFailure(status_, r, Enthd, TReadSection::kHeader);
      return false;
    }
    want = want > std::numeric_limits<std::size_t>::max() / 4 ? want + 1 : want * 4;
  }
}

bool TJwwData::ReadDrawingBytes(const std::u16string& FName, std::vector<std::uint8_t>& bytes) {
  platform::TInputFile in;
  if (!in.Open(FName)) {
    DataInit();
    MakeBlockTree();
    ReadFailed(0, TReadFailure::kCannotOpen, in.Status());
    return false;
  }
  // The signature and the version come first: a file that is no drawing is
  // refused after a dozen bytes, whatever its size.
  std::uint8_t head[kSignatureBytes] = {};
  const std::ptrdiff_t got = in.ReadFully(head, sizeof head);
  if (got < 0) {
    DataInit();
    MakeBlockTree();
    ReadFailed(0, TReadFailure::kCannotRead, in.Status());
    return false;
  }
  {
    DataInit();
    ArchiveReader r(head, static_cast<std::size_t>(got));
    SizeHeaderTables(*this);
    if (!ReadSignature(r, Enthd)) {
      status_ = TJwwReadStatus{};
      SetFailure(status_, r, Enthd, TReadSection::kHeader);
      return false;
    }
  }
  // The rest in one read; the size may change meanwhile, so read on until the
  // end whatever it was. One byte more than the size, so the read that finds
  // the end needs no growth (growing would copy the whole file once more).
  const std::uint64_t size = std::max<std::uint64_t>(in.Size(), sizeof head);
  try {
    ReserveLarge(bytes, static_cast<std::size_t>(size) + 1);
    bytes.resize(static_cast<std::size_t>(size) + 1);
  } catch (const std::bad_alloc&) {
    bytes.clear();
    ReadFailed(0, TReadFailure::kNoMemory);
    return false;
  }
  std::copy(head, head + got, bytes.begin());
  std::size_t have = static_cast<std::size_t>(got);
  for (;;) {
    if (have == bytes.size()) bytes.resize(bytes.size() + 65536);
    const std::ptrdiff_t n = in.Read(bytes.data() + have, bytes.size() - have);
    if (n < 0) {
      bytes.clear();
      DataInit();
      MakeBlockTree();
      ReadFailed(have, TReadFailure::kCannotRead, in.Status());
      return false;
    }
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  bytes.resize(have);
  return true;
}

}  // namespace plattero
