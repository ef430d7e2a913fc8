#pragma once

// Entity bodies and the entity lists around them, read and written field by
// field. The same code serves the top-level list and the nested lists of block
// definitions.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "jww/archive.h"
#include "jww/jwwtype.h"

namespace plattero {

// Attribute block: 15 bytes, or 13 without nPenWidth for version 350 and below.
TEntJwwAttr ReadAttr(ArchiveReader& r, std::int32_t ver);
// Writes the attribute block normalised for the kind of element that owns it
// (1..7 entity kinds, 8 block definition). The record is not changed.
void WriteAttr(ArchiveWriter& w, std::int32_t ver, const TEntJwwAttr& att, int kind);
// The attribute block as the writer stores it for version `ver` and an element
// of `kind`: the extended pen styles and colours an older version lacks mapped
// to standard ones, values outside what the kind allows replaced by the
// defaults, out-of-range widths and layers by 0.
TEntJwwAttr AttrForWriting(const TEntJwwAttr& att, std::int32_t ver, int kind);

// A text width or height as the writer stores it: its absolute value, held
// within 1e-10 .. 1e10 (a NaN stays as it is).
double ClampTextSize(double v);

// What the writer needs to know besides the records.
struct EntityWriteContext {
  std::int32_t ver = 700;      // version being written
  std::int32_t doc_ver = 700;  // version the document was read from (Enthd.jwVer)
  std::int32_t options = 0;    // FileOutOpt
  const TextSubstitution* substitution = nullptr;        // for bit 0x10; none: no change
  std::function<std::uint32_t(std::uint32_t)> block_no;  // ChangeBlockNo
};

// Reads one entity body (E is one of the seven entity records). False when
// the body delivered no bytes (the record is then to be dropped); of a
// dimension only the text and, from 420, its last part are checked. Points
// without their optional part take `point_scale` as dBairitsu (1 at the top
// level, 0 inside a block definition and inside a dimension).
template <class E>
bool ReadBody(ArchiveReader& r, std::int32_t ver, E& e, double point_scale = 1.0);
// Writes one entity body. For a version below 420 a dimension ends after its
// text; the caller writes the six parts as objects of their own when the
// dimension is split.
template <class E>
void WriteBody(ArchiveWriter& w, const EntityWriteContext& ctx, const E& e);

// The head of block definition `index` (from 0): its attributes, number,
// flag, time stamp and name. A time stamp in the long form is passed over
// with its 8 bytes and repaired (RepairBlockDefTime).
void ReadBlockDefHead(ArchiveReader& r, std::int32_t ver, std::uint32_t index, TEntJwwBlockDef& b);
// A time stamp in the long form (bit 31 set) becomes the definition's
// position from 1.
void RepairBlockDefTime(TEntJwwBlockDef& b, std::uint32_t index);
// Writes the head with the attributes for kind 8, the number through
// ctx.block_no and the name without break marks.
void WriteBlockDefHead(ArchiveWriter& w, const EntityWriteContext& ctx, const TEntJwwBlockDef& b);

// One row of the image section: the file's name and size. `held_nul` tells
// whether the name held a NUL among its bytes (it was cut there).
TBindImageType ReadImageRow(ArchiveReader& r, bool& held_nul);
// Writes the row's name as it is (not cleaned) and its size.
void WriteImageRow(ArchiveWriter& w, const TBindImageType& row);

// The text of a CDataMoji on its way into the file (after RemoveBreakMarks):
// "%%" substitution (0x10), "%temp%" removal (0x08), file-name reduction (0x01).
std::u16string MojiTextForWriting(const std::u16string& str, std::int32_t options,
                                  const TextSubstitution* substitution);

// The lists of one entity order, to be filled.
struct EntityListsOut {
  std::vector<TEntJwwNo>& order;
  std::vector<TEntJwwLine>& line;
  std::vector<TEntJwwEnko>& enko;
  std::vector<TEntJwwTen>& ten;
  std::vector<TEntJwwMoji>& moji;
  std::vector<TEntJwwSunpo>& sunpo;
  std::vector<TEntJwwSolid>& solid;
  std::vector<TEntJwwBlock>& block;
};

// The lists of one entity order, to be written.
struct EntityListsIn {
  const std::vector<TEntJwwNo>& order;
  const std::vector<TEntJwwLine>& line;
  const std::vector<TEntJwwEnko>& enko;
  const std::vector<TEntJwwTen>& ten;
  const std::vector<TEntJwwMoji>& moji;
  const std::vector<TEntJwwSunpo>& sunpo;
  const std::vector<TEntJwwSolid>& solid;
  const std::vector<TEntJwwBlock>& block;
};

// Reads `count` tagged entities. Entities whose body fails are dropped and
// leave a zero entry in the order. Returns false (with the reader's failure
// set) on a class name other than the seven entity classes, or when the data
// ends before the list does; what was read stays.
bool ReadEntityList(ArchiveReader& r, ClassTable& classes, std::int32_t ver, std::uint32_t count,
                    bool nested, TReadSection section, EntityListsOut lists);

// True when an order entry designates a record.
bool DesignatesRecord(const TEntJwwNo& no, const EntityListsIn& lists);
// The number of objects WriteEntityList writes for these lists.
std::uint32_t CountEntityObjects(const EntityWriteContext& ctx, const EntityListsIn& lists);
// Writes every designated entity in order, each with its class tag; a split
// dimension is followed by its six parts.
void WriteEntityList(ArchiveWriter& w, ClassTable& classes, const EntityWriteContext& ctx,
                     const EntityListsIn& lists);

}  // namespace plattero
