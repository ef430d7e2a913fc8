#pragma once

// Renumbering a drawing into the combined drawing's numbering and appending
// an added drawing to it: its used definitions that the block-name table
// copies, and every entity of its main list, moved by its tile's offset, with
// its curve number, text type and block number renumbered.

#include "jww/jww_data.h"
#include "tiling/block_names.h"
#include "tiling/curve_numbers.h"

namespace plattero {

// Renumbers the base drawing in place: the curve numbers of its used
// definitions' entities and of its own entities (JWWSetCrvNo1), its block
// references to the rows of their definitions; each used definition takes
// its row's number, an unused one a number no row can have.
void SetBlockNumber1(TJwwData& base, TBlockNameTable& blocks, const TCurveNumbers& curves);

// Appends `added` (planned in `blocks`, counted in `curves`) to `combined`
// at the offset (x, y): the definitions the table copies, with their
// contents renumbered, then every entity of its main list but the texts the
// merge leaves out, in its order. The records of `added` are moved and
// renumbered in place. `drawings_ahead` (at least 1) tells how many drawings
// like it are still to come, this one included, so that the lists grow once
// for all of them. Out of memory drops an entity and keeps both lists whole.
void AppendDrawing(TJwwData& combined, TJwwData& added, double x, double y, TBlockNameTable& blocks,
                   const TCurveNumbers& curves, double drawings_ahead = 1.0);

// Room in the combined drawing's top-level lists for the entities of `from`
// (when given), and at least 1000 more of every kind, sized for `scale`
// drawings like `from`. When memory runs out the lists stay as they are.
void AddEntRoom(TJwwData& to, const TJwwData* from, double scale = 1.0);

}  // namespace plattero
