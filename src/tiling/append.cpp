#include "tiling/append.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <type_traits>

#include "jww/entity_visit.h"
#include "tiling/entity_attrs.h"
#include "tiling/text_types.h"
#include "util/memory.h"

namespace plattero {

namespace {

using tiling_detail::AttrOf;

// Gives a list room for `incoming` more entries, and at least `spare`. A list
// too small grows to `expected` entries when that is more, else by half its
// capacity at least, so that appending drawing after drawing copies every
// entry a bounded number of times (an exact reservation per drawing would
// copy the whole list on every drawing).
template <class T>
void RoomFor(std::vector<T>& list, std::size_t incoming, std::size_t spare = 0,
             std::size_t expected = 0) {
  const std::size_t need = list.size() + std::max(incoming, spare);
  if (need <= list.capacity()) return;
  ReserveLarge(list, std::max({need, expected, list.capacity() + list.capacity() / 2}));
}

void MoveBy(TEntJwwLine& l, double x, double y) {
  l.start_x += x;
  l.start_y += y;
  l.end_x += x;
  l.end_y += y;
}

void MoveBy(TEntJwwTen& p, double x, double y) {
  p.start_x += x;
  p.start_y += y;
}

void MoveBy(TEntJwwMoji& m, double x, double y) {
  m.start_x += x;
  m.start_y += y;
  m.end_x += x;
  m.end_y += y;
}

// Makes an entity of an appended drawing one of the combined drawing: moved
// by (x, y), its text type matched to the combined table and a block
// reference pointed at its definition's row. False for a text the merge
// leaves out.
struct TPlaceEntity {
  double x, y;
  const std::vector<TEntJwwMojiType>& text_types;
  TBlockNameTable& blocks;

  bool operator()(TEntJwwLine& e) const {
    MoveBy(e, x, y);
    return true;
  }
  bool operator()(TEntJwwEnko& e) const {
    e.start_x += x;
    e.start_y += y;
    return true;
  }
  bool operator()(TEntJwwTen& e) const {
    MoveBy(e, x, y);
    return true;
  }
  bool operator()(TEntJwwMoji& e) const {
    if (IsFilteredText(e)) return false;
    MatchTextType(text_types, e);
    MoveBy(e, x, y);
    return true;
  }
  bool operator()(TEntJwwSunpo& e) const {
    MatchTextType(text_types, e.Moji);
    MoveBy(e.Sen, x, y);
    MoveBy(e.Moji, x, y);
    if (e.bSxfMode != 0) {
      MoveBy(e.Ho1, x, y);
      MoveBy(e.Ho2, x, y);
      for (TEntJwwTen* p : {&e.Te1, &e.Te2, &e.Kt1, &e.Kt2})
        MoveBy(*p, x, y);
    }
    return true;
  }
  bool operator()(TEntJwwSolid& e) const {
    e.start_x += x;
    e.start_y += y;
    // From style 101 on the other pairs hold radius, flattening and angles
    // of a circular solid, not points.
    if (e.att.nPenStyle < 101) {
      e.end_x += x;
      e.end_y += y;
      e.DPoint2_x += x;
      e.DPoint2_y += y;
      e.DPoint3_x += x;
      e.DPoint3_y += y;
    }
    return true;
  }
  bool operator()(TEntJwwBlock& e) const {
    e.DPKijunTen_x += x;
    e.DPKijunTen_y += y;
    e.nNumber = blocks.GetBlockNumberNo2(e.nNumber);
    return true;
  }
};

// Appends a record to a list and its entry to the order. When memory runs out
// the entity is dropped and both lists stay as they were.
template <class Rec>
void Append(std::vector<Rec>& list, std::vector<TEntJwwNo>& order, int kind, Rec&& rec) {
  try {
    list.push_back(std::move(rec));
  } catch (const std::bad_alloc&) {
    return;
  }
  try {
    order.push_back({kind, static_cast<std::int32_t>(list.size() - 1)});
  } catch (const std::bad_alloc&) {
    list.pop_back();
  }
}

// Renumbers the contents of the definitions copied from `combined`'s
// `first` on: a definition placing one copied after it finds that one's row.
void RenumberCopies(TJwwData& combined, std::size_t first, TBlockNameTable& blocks,
                    const TCurveNumbers& curves) {
  for (std::size_t d = first; d < combined.EntBlockDef.size(); ++d) {
    TEntJwwBlockDef& b = combined.EntBlockDef[d];
    EntityListsOut l = NestedLists(b);
    for (const TEntJwwNo& no : b.mNo) {
      TEntJwwAttr* att = AttrOf(l, no);
      if (!att) continue;
      const auto j = static_cast<std::size_t>(no.EntNo);
      if (no.EntType == kEntMoji) {
        if (IsFilteredText(b.mMoji[j])) continue;
        curves.JWW2SetCrvNo1(att->lGroup);
        MatchTextType(combined.EntMoj, b.mMoji[j]);
        continue;
      }
      curves.JWW2SetCrvNo1(att->lGroup);
      if (no.EntType == kEntSunpo) MatchTextType(combined.EntMoj, b.mSunpo[j].Moji);
      if (no.EntType == kEntBlock)
        b.mBlock[j].nNumber = blocks.GetBlockNumberNo2(b.mBlock[j].nNumber);
    }
  }
}

}  // namespace

void AddEntRoom(TJwwData& to, const TJwwData* from, double scale) {
  constexpr std::size_t kSpare = 1000;
  auto count = [from](auto member) { return from ? (from->*member).size() : 0; };
  auto room = [&](auto& list, auto member) {
    const std::size_t incoming = count(member);
    const double expected =
        static_cast<double>(list.size()) + scale * static_cast<double>(incoming);
    // Never more than the lists could ever hold; a wild guess only costs
    // address space, as untouched room is not backed by memory.
    const double cap = static_cast<double>(list.max_size() / 2);
    RoomFor(list, incoming, kSpare, static_cast<std::size_t>(std::min(expected, cap)));
  };
  try {
    room(to.EntNo, &TJwwData::EntNo);
    room(to.EntLine, &TJwwData::EntLine);
    room(to.EntEnko, &TJwwData::EntEnko);
    room(to.EntTen, &TJwwData::EntTen);
    room(to.EntMoji, &TJwwData::EntMoji);
    room(to.EntSunpo, &TJwwData::EntSunpo);
    room(to.EntSolid, &TJwwData::EntSolid);
    room(to.EntBlock, &TJwwData::EntBlock);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
}

void SetBlockNumber1(TJwwData& base, TBlockNameTable& blocks, const TCurveNumbers& curves) {
  // The entities of one list in their order: curve numbers, and block
  // references to their definitions' rows.
  auto renumber = [&](EntityListsOut l, const std::vector<TEntJwwNo>& order,
                      std::vector<TEntJwwBlock>& refs) {
    for (const TEntJwwNo& no : order) {
      TEntJwwAttr* att = AttrOf(l, no);
      if (!att) continue;
      curves.JWWSetCrvNo1(att->lGroup);
      if (no.EntType == kEntBlock) {
        TEntJwwBlock& r = refs[static_cast<std::size_t>(no.EntNo)];
        r.nNumber = blocks.GetBlockNumberNo(r.nNumber);
      }
    }
  };
  for (TEntJwwBlockDef& b : base.EntBlockDef) {
    if (b.ref_flag) renumber(NestedLists(b), b.mNo, b.mBlock);
  }
  renumber(TopLevelLists(base), base.EntNo, base.EntBlock);
  // Definitions take the number of their row, so a reference and the
  // definition it means agree; an unused definition gets a number no row
  // can have, so it never captures a reference.
  const std::vector<TBlkNameList>& rows = blocks.Rows();
  for (std::size_t r = 0; r < rows.size(); ++r)
    base.EntBlockDef[static_cast<std::size_t>(rows[r].idx)].nNumber = static_cast<std::uint32_t>(r);
  for (std::size_t i = 0; i < base.EntBlockDef.size(); ++i) {
    TEntJwwBlockDef& b = base.EntBlockDef[i];
    if (!b.ref_flag) b.nNumber = 0xFFFFFFFFu - static_cast<std::uint32_t>(i);
  }
}

void AppendDrawing(TJwwData& combined, TJwwData& added, double x, double y, TBlockNameTable& blocks,
                   const TCurveNumbers& curves, double drawings_ahead) {
  try {
    RoomFor(combined.EntBlockDef, added.EntBlockDef.size());
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  // Copy the definitions that are new, then renumber their contents.
  const std::size_t first_copy = combined.EntBlockDef.size();
  for (std::size_t i = 0; i < added.EntBlockDef.size(); ++i) {
    const std::optional<std::u16string>& name = blocks.CopyAs(i);
    if (!name) continue;
    combined.EntBlockDef.push_back(added.EntBlockDef[i]);
    combined.EntBlockDef.back().strName = *name;
    combined.EntBlockDef.back().nNumber = blocks.GetBlockName2(combined);
  }
  RenumberCopies(combined, first_copy, blocks, curves);

  AddEntRoom(combined, &added, drawings_ahead);
  const TPlaceEntity place{x, y, combined.EntMoj, blocks};
  EntityListsOut src = TopLevelLists(added);
  EntityListsOut dst = TopLevelLists(combined);
  for (const TEntJwwNo& no : added.EntNo) {
    VisitEntity(no, src, [&](auto& e) {
      using E = std::remove_reference_t<decltype(e)>;
      curves.JWW2SetCrvNo1(e.att.lGroup);
      if (place(e)) Append(ListOf<E>(dst), dst.order, KindOf<E>(), std::move(e));
    });
  }
}

}  // namespace plattero
