#pragma once

// How far a drawing's content reaches: the box around the points that place
// its entities. The one measure for everything that asks where a drawing
// lies (the tiling's warnings, `info`).

#include "jww/entity_io.h"
#include "jww/jwwtype.h"

namespace plattero {

struct TExtents {
  bool empty = true;
  double min_x = 0, min_y = 0, max_x = 0, max_y = 0;

  // Grows the box by one point, unless a coordinate is not finite.
  void Add(double x, double y);
};

// Adds the points that place an entity: a line's ends; the box of an arc's
// whole circle or ellipse (centre ± |radius| × the larger of 1 and
// |flattening|, which holds it at any tilt); a point's position unless it is
// temporary; a text's base line ends; a dimension's line ends and its text's
// base line ends; a solid's four corners, or of a round solid (style 101 on)
// its centre; a block reference's insertion point.
void AddExtents(TExtents& box, const TEntJwwLine& e);
void AddExtents(TExtents& box, const TEntJwwEnko& e);
void AddExtents(TExtents& box, const TEntJwwTen& e);
void AddExtents(TExtents& box, const TEntJwwMoji& e);
void AddExtents(TExtents& box, const TEntJwwSunpo& e);
void AddExtents(TExtents& box, const TEntJwwSolid& e);
void AddExtents(TExtents& box, const TEntJwwBlock& e);

// The box around the entities the order of `lists` designates.
TExtents ExtentsOf(const EntityListsIn& lists);

}  // namespace plattero
