// Writing a whole drawing. The file is written under a temporary name in the
// target's folder and renamed over the target only when every byte was written
// and flushed, so a failed save never destroys the previous file.

#include <memory>
#include <unordered_map>
#include <utility>

#include "jww/archive.h"
#include "jww/entity_io.h"
#include "jww/entity_lists.h"
#include "jww/file_io.h"
#include "jww/header_io.h"
#include "jww/jww_data.h"
#include "platform/file_system.h"
#include "util/text.h"

namespace plattero {

namespace {

bool HoldsDrawing(const TJwwData& d) {
  return d.EntLgrp.size() == kLayerGroupCount && d.EntLay.size() == kLayerCount &&
         d.EntCol.size() == kColorCount && d.EntLtp1.size() == kLineTypeCount &&
         d.EntLtp2.size() == kRandomLineCount && d.EntLtp3.size() == kDoubleLineTypeCount &&
         d.EntColS.size() == kColorExCount && d.EntLtpS.size() == kLineTypeExCount &&
         d.EntMoj.size() == kMojiTypeCount;
}

void WriteBlockDefs(ArchiveWriter& w, ClassTable& classes, const TJwwData& doc,
                    const EntityWriteContext& ctx) {
  // The count is that of the definitions actually written, so the file stays
  // consistent even if the flags were changed after MakeBlockTree.
  std::uint32_t written = 0;
  for (const TEntJwwBlockDef& b : doc.EntBlockDef)
    written += b.ref_flag ? 1 : 0;
  w.WriteCount(written);
  const auto schema = static_cast<std::uint16_t>(ctx.ver);
  for (const TEntJwwBlockDef& b : doc.EntBlockDef) {
    if (!b.ref_flag) continue;
    w.WriteClassTag(classes, kEntBlockDef, schema);
    WriteBlockDefHead(w, ctx, b);
    EntityListsIn lists = NestedLists(b);
    w.WriteCount(CountEntityObjects(ctx, lists));
    ++classes.counter;  // the definition's own index, before its entities
    WriteEntityList(w, classes, ctx, lists);
  }
}

// The image a text refers to by "^@BM%temp%name,...", or an empty name.
std::u16string ImageNameOf(const std::u16string& str) {
  if (str.size() < 11 || str.compare(0, 10, u"^@BM%temp%") != 0) return {};
  std::size_t comma = str.find(u',');
  if (comma == std::u16string::npos || comma < 10) return {};
  return str.substr(10, comma - 10);
}

// Sets exf on the first row (in list order) whose upper-cased name begins with
// the upper-cased name each image reference names.
void MarkReferencedImages(TJwwData& doc) {
  std::vector<std::u16string> upper_names;
  upper_names.reserve(doc.BindImage.size());
  for (TBindImageType& row : doc.BindImage) {
    row.exf = false;
    upper_names.push_back(UpperStr(row.Fname));
  }
  if (doc.BindImage.empty()) return;
  // Texts naming the same image are looked up once.
  std::unordered_map<std::u16string, bool> seen;
  auto mark = [&](const TEntJwwMoji& text) {
    std::u16string name = ImageNameOf(text.str);
    if (name.empty()) return;
    name = UpperStr(name);
    if (!seen.emplace(name, true).second) return;
    for (std::size_t i = 0; i < upper_names.size(); ++i) {
      if (upper_names[i].compare(0, name.size(), name) == 0) {
        doc.BindImage[i].exf = true;
        return;
      }
    }
  };
  auto walk = [&](const std::vector<TEntJwwNo>& order, const std::vector<TEntJwwMoji>& texts) {
    for (const TEntJwwNo& no : order) {
      if (no.EntType == kEntMoji && no.EntNo >= 0 &&
          static_cast<std::size_t>(no.EntNo) < texts.size()) {
        mark(texts[no.EntNo]);
      }
    }
  };
  walk(doc.EntNo, doc.EntMoji);
  for (const TEntJwwBlockDef& b : doc.EntBlockDef)
    walk(b.mNo, b.mMoji);
}

struct OpenImage {
  std::size_t row;
  std::unique_ptr<platform::TInputFile> file;
  std::uint32_t size;
};

bool CopyImage(ArchiveWriter& w, OpenImage& img) {
  std::uint8_t buf[65536];
  std::uint32_t left = img.size;
  while (left > 0) {
    const std::ptrdiff_t n = img.file->Read(buf, left < sizeof buf ? left : sizeof buf);
    if (n <= 0) return false;  // the file shrank under us
    w.Write(buf, static_cast<std::size_t>(n));
    left -= static_cast<std::uint32_t>(n);
  }
  return true;
}

bool WriteImageSection(ArchiveWriter& w, TJwwData& doc) {
  MarkReferencedImages(doc);
  // Each marked file is opened before the count is written; one that cannot be
  // opened (or is no regular file, or too large for the format) is left out.
  std::vector<OpenImage> images;
  if (doc.BindImageExp || doc.BindImageExr) {
    for (std::size_t i = 0; i < doc.BindImage.size(); ++i) {
      TBindImageType& row = doc.BindImage[i];
      if (!row.exf) continue;
      row.exf = false;
      auto file = std::make_unique<platform::TInputFile>();
      if (!file->Open(doc.BindImageFolder + row.Fname) || file->Size() > 0x7FFFFFFF) continue;
      row.exf = true;
      const auto size = static_cast<std::uint32_t>(file->Size());
      images.push_back({i, std::move(file), size});
    }
  } else {
    for (TBindImageType& row : doc.BindImage)
      row.exf = false;
  }
  bool ok = true;
  w.WriteI32(static_cast<std::int32_t>(images.size()));
  for (OpenImage& img : images) {
    if (!ok) break;
    // The size is the file's now, which may differ from the row's.
    TBindImageType row = doc.BindImage[img.row];
    row.Fsize = static_cast<std::int32_t>(img.size);
    WriteImageRow(w, row);
    ok = CopyImage(w, img);
  }
  return ok;
}

}  // namespace

void TJwwData::SetWriteFailure(TWriteFailure failure, platform::TFileStatus file) {
  write_failure_ = failure;
  write_status_ = std::move(file);
  if (failure != TWriteFailure::kNone && write_status_.ok())
    write_status_.error = platform::TFileError::kOther;
}

bool TJwwData::FileOutTo(ByteSink& sink, std::int32_t Ver) {
  SetWriteFailure(TWriteFailure::kNone);
  if (!HoldsDrawing(*this)) {
    SetWriteFailure(TWriteFailure::kNoDrawing);
    return false;
  }
  ArchiveWriter w(sink);
  w.SetUtf16((FileOutOpt & 0x20) != 0);

  std::unordered_map<std::uint32_t, std::size_t> first_def;
  first_def.reserve(EntBlockDef.size());
  for (std::size_t i = 0; i < EntBlockDef.size(); ++i)
    first_def.emplace(EntBlockDef[i].nNumber, i);
  EntityWriteContext ctx;
  ctx.ver = Ver;
  ctx.doc_ver = Enthd.jwVer;
  ctx.options = FileOutOpt;
  ctx.substitution = &FileOutSubstitution;
  ctx.block_no = [&](std::uint32_t n) -> std::uint32_t {
    auto it = first_def.find(n);
    if (it == first_def.end()) return DanglingBlockNo(n, EntBlockNum);
    const TEntJwwBlockDef& b = EntBlockDef[it->second];
    return b.ref_flag ? static_cast<std::uint32_t>(b.ref_no) : n;
  };

  // A drawing older than 420 has no extended tables: written as a version
  // that carries them, it gets those of a new drawing, as when Jw_cad saves
  // it again, rather than all zero (every colour black, every width 0).
  std::vector<TEntJwwColorExNo> new_colors;
  std::vector<TEntJwwLineTypeExNo> new_line_types;
  const bool new_ex_tables = Enthd.jwVer < 420 && Ver >= 420;
  if (new_ex_tables) InitExTables(new_colors, new_line_types);
  const ExTables ex{new_ex_tables ? new_colors : EntColS, new_ex_tables ? new_line_types : EntLtpS};
  Enthd.jwID = u"JwwData.";
  WriteHeader(w, *this, ex, Ver);
  ClassTable classes;
  EntityListsIn top = TopLevelLists(std::as_const(*this));
  w.WriteCount(CountEntityObjects(ctx, top));
  WriteEntityList(w, classes, ctx, top);
  WriteBlockDefs(w, classes, *this, ctx);
  const bool images_ok = Ver < 700 || WriteImageSection(w, *this);
  const bool sink_ok = w.Flush();
  if (!images_ok || !sink_ok) {
    SetWriteFailure(sink_ok ? TWriteFailure::kImageShrank : TWriteFailure::kNotStored);
    return false;
  }
  return true;
}

bool TJwwData::FileOut(const std::u16string& FName, std::int32_t Ver) {
  SetWriteFailure(TWriteFailure::kNone);
  if (!HoldsDrawing(*this)) {
    SetWriteFailure(TWriteFailure::kNoDrawing);
    return false;
  }
  platform::TOutputFile file;
  if (!file.Open(FName)) {
    SetWriteFailure(TWriteFailure::kFile, file.Status());
    return false;
  }
  FileSink<platform::TOutputFile> sink(file);
  if (!FileOutTo(sink, Ver)) {
    // The file's own error says more than the writer's.
    if (!file.Status().ok()) SetWriteFailure(TWriteFailure::kFile, file.Status());
    file.Discard();
    return false;
  }
  if (!file.Commit()) {
    SetWriteFailure(TWriteFailure::kFile, file.Status());
    return false;
  }
  return true;
}

}  // namespace plattero
