// Block numbering: which definitions the drawing reaches, their compact
// numbers, and the tree of placed blocks.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "jww/jww_data.h"
#include "jww/limits.h"
#include "util/memory.h"

namespace plattero {

namespace {

// Index of the first definition (in list order) carrying each number.
std::unordered_map<std::uint32_t, std::int32_t> FirstDefOfNumber(
    const std::vector<TEntJwwBlockDef>& defs) {
  std::unordered_map<std::uint32_t, std::int32_t> first;
  first.reserve(defs.size());
  for (std::size_t i = 0; i < defs.size(); ++i) {
    first.emplace(defs[i].nNumber, static_cast<std::int32_t>(i));
  }
  return first;
}

// The number of rows the tree will have, capped at its bound, so that it is
// allocated once: each reference is a row, and so is everything its
// definition places, counted once per definition. A definition met again
// below itself adds its own row only, as the expansion stops there; with
// cycles the count is an estimate and the tree may still grow.
template <class DefOf>
std::size_t TreeRows(const std::vector<TEntJwwBlock>& refs,
                     const std::vector<TEntJwwBlockDef>& defs, const DefOf& def_of) {
  constexpr std::size_t kOpen = SIZE_MAX;  // being counted: a cycle
  constexpr std::size_t kUnknown = SIZE_MAX - 1;
  std::vector<std::size_t> below(defs.size(), kUnknown);
  auto capped = [](std::size_t a, std::size_t b) { return std::min(kMaxBlockTreeRows, a + b); };
  // Depth-first with an explicit stack: nesting depth is up to the file.
  struct Frame {
    std::int32_t def;
    std::size_t next = 0;
    std::size_t sum = 0;
  };
  auto rows_below = [&](std::int32_t root) -> std::size_t {
    if (below[root] != kUnknown) return below[root] == kOpen ? 0 : below[root];
    std::vector<Frame> stack{{root}};
    below[root] = kOpen;
    while (!stack.empty()) {
      Frame& f = stack.back();
      const auto& placed = defs[f.def].mBlock;
      if (f.next == placed.size()) {
        below[f.def] = f.sum;
        const std::size_t done = f.sum;
        stack.pop_back();
        if (!stack.empty()) stack.back().sum = capped(stack.back().sum, 1 + done);
        continue;
      }
      const std::int32_t c = def_of(placed[f.next++].nNumber);
      if (c < 0 || below[c] == kOpen) {
        f.sum = capped(f.sum, 1);
      } else if (below[c] != kUnknown) {
        f.sum = capped(f.sum, 1 + below[c]);
      } else {
        below[c] = kOpen;
        stack.push_back({c});
      }
    }
    return below[root];
  };
  std::size_t rows = 0;
  for (const TEntJwwBlock& b : refs) {
    const std::int32_t d = def_of(b.nNumber);
    rows = capped(rows, 1 + (d >= 0 ? rows_below(d) : 0));
    if (rows == kMaxBlockTreeRows) break;
  }
  return rows;
}

}  // namespace

void TJwwData::MakeBlockTree() {
  EntBlockTree.clear();
  EntBlockTreeCut = false;
  for (TEntJwwBlockDef& b : EntBlockDef) {
    b.ref_flag = false;
    b.ref_no = -1;
  }
  if (EntBlock.empty()) {
    EntBlockNum = 0;
    return;
  }
  const auto first = FirstDefOfNumber(EntBlockDef);
  auto def_of = [&](std::uint32_t no) -> std::int32_t {
    auto it = first.find(no);
    return it == first.end() ? -1 : it->second;
  };

  // Reachability, linear in definitions and references: every definition a
  // reference reaches is flagged, however large the tree of placements.
  {
    std::vector<std::int32_t> queue;
    auto reach = [&](std::uint32_t no) {
      std::int32_t d = def_of(no);
      if (d >= 0 && !EntBlockDef[d].ref_flag) {
        EntBlockDef[d].ref_flag = true;
        queue.push_back(d);
      }
    };
    for (const TEntJwwBlock& b : EntBlock)
      reach(b.nNumber);
    for (std::size_t q = 0; q < queue.size(); ++q) {
      for (const TEntJwwBlock& c : EntBlockDef[queue[q]].mBlock)
        reach(c.nNumber);
    }
  }

  // The tree of placements, breadth first. A block that would place a
  // definition already on its own path is not expanded (a cycle), and the tree
  // is cut at its size and work bounds.
  auto lookup = [&](TEntJwwBlockTree& row) {
    row.defno = def_of(row.no);
    row.name = row.defno >= 0 ? EntBlockDef[row.defno].strName : std::u16string();
  };
  ReserveLarge(EntBlockTree, TreeRows(EntBlock, EntBlockDef, def_of));
  for (const TEntJwwBlock& b : EntBlock) {
    if (EntBlockTree.size() >= kMaxBlockTreeRows) {
      EntBlockTreeCut = true;
      break;
    }
    TEntJwwBlockTree& row = EntBlockTree.emplace_back();
    row.att = b.att;
    row.level = 0;
    row.parent = -1;
    row.no = b.nNumber;
    row.x = b.DPKijunTen_x;
    row.y = b.DPKijunTen_y;
    const double c = std::cos(b.radKaitenKaku), s = std::sin(b.radKaitenKaku);
    row.r1 = c * b.dBairitsuX;
    row.r2 = -s * b.dBairitsuY;
    row.r3 = s * b.dBairitsuX;
    row.r4 = c * b.dBairitsuY;
    lookup(row);
  }
  std::uint64_t ancestor_steps = 0;
  for (std::size_t k = 0; k < EntBlockTree.size() && !EntBlockTreeCut; ++k) {
    const std::int32_t defno = EntBlockTree[k].defno;
    if (defno < 0 || EntBlockDef[defno].mBlock.empty()) continue;
    // A definition met again among the ancestors would repeat for ever.
    bool cycle = false;
    for (std::int32_t p = EntBlockTree[k].parent; p >= 0; p = EntBlockTree[p].parent) {
      if (++ancestor_steps > kMaxBlockTreeAncestorSteps) {
        EntBlockTreeCut = true;
        break;
      }
      if (EntBlockTree[p].defno == defno) {
        cycle = true;
        break;
      }
    }
    if (cycle || EntBlockTreeCut) continue;
    const TEntJwwBlockDef& d = EntBlockDef[defno];
    // Copied out: appending rows may move the vector.
    const std::int32_t level = EntBlockTree[k].level;
    const double px = EntBlockTree[k].x, py = EntBlockTree[k].y;
    const double p1 = EntBlockTree[k].r1, p2 = EntBlockTree[k].r2;
    const double p3 = EntBlockTree[k].r3, p4 = EntBlockTree[k].r4;
    for (const TEntJwwBlock& c : d.mBlock) {
      if (EntBlockTree.size() >= kMaxBlockTreeRows) {
        EntBlockTreeCut = true;
        break;
      }
      TEntJwwBlockTree& row = EntBlockTree.emplace_back();
      row.att = d.att;
      row.level = level + 1;
      row.parent = static_cast<std::int32_t>(k);
      row.no = c.nNumber;
      const double bx = c.DPKijunTen_x, by = c.DPKijunTen_y;
      row.x = px + p1 * bx + p2 * by;
      row.y = py + p3 * bx + p4 * by;
      const double cs = std::cos(c.radKaitenKaku), sn = std::sin(c.radKaitenKaku);
      const double m1 = cs * c.dBairitsuX, m2 = -sn * c.dBairitsuY;
      const double m3 = sn * c.dBairitsuX, m4 = cs * c.dBairitsuY;
      row.r1 = p1 * m1 + p2 * m3;
      row.r2 = p1 * m2 + p2 * m4;
      row.r3 = p3 * m1 + p4 * m3;
      row.r4 = p3 * m2 + p4 * m4;
      lookup(row);
    }
  }

  std::int32_t counter = 0;
  for (TEntJwwBlockDef& b : EntBlockDef) {
    if (b.ref_flag) b.ref_no = counter++;
  }
  EntBlockNum = counter;
}

std::uint32_t TJwwData::ChangeBlockNo(std::uint32_t n) const {
  for (const TEntJwwBlockDef& b : EntBlockDef) {
    if (b.nNumber == n) return b.ref_flag ? static_cast<std::uint32_t>(b.ref_no) : n;
  }
  return DanglingBlockNo(n, EntBlockNum);
}

}  // namespace plattero
