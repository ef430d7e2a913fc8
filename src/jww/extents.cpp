#include "jww/extents.h"

#include <algorithm>
#include <cmath>

#include "jww/entity_visit.h"

namespace plattero {

void TExtents::Add(double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  if (empty) {
    min_x = max_x = x;
    min_y = max_y = y;
    empty = false;
    return;
  }
  min_x = std::min(min_x, x);
  max_x = std::max(max_x, x);
  min_y = std::min(min_y, y);
  max_y = std::max(max_y, y);
}

void AddExtents(TExtents& box, const TEntJwwLine& e) {
  box.Add(e.start_x, e.start_y);
  box.Add(e.end_x, e.end_y);
}

void AddExtents(TExtents& box, const TEntJwwEnko& e) {
  // The whole circle even of an arc: enough to tell whether it leaves its
  // paper, and no angle needs computing.
  const double r = std::fabs(e.dHankei) * std::max(1.0, std::fabs(e.dHenpeiRitsu));
  box.Add(e.start_x - r, e.start_y - r);
  box.Add(e.start_x + r, e.start_y + r);
}

void AddExtents(TExtents& box, const TEntJwwTen& e) {
  // A temporary point is a construction aid, not content.
  if (e.bKariten == 0) box.Add(e.start_x, e.start_y);
}

void AddExtents(TExtents& box, const TEntJwwMoji& e) {
  box.Add(e.start_x, e.start_y);
  box.Add(e.end_x, e.end_y);
}

void AddExtents(TExtents& box, const TEntJwwSunpo& e) {
  AddExtents(box, e.Sen);
  AddExtents(box, e.Moji);
}

void AddExtents(TExtents& box, const TEntJwwSolid& e) {
  box.Add(e.start_x, e.start_y);
  // From style 101 on the other pairs hold radius, flattening and angles of
  // a round solid, not points.
  if (e.att.nPenStyle < 101) {
    box.Add(e.end_x, e.end_y);
    box.Add(e.DPoint2_x, e.DPoint2_y);
    box.Add(e.DPoint3_x, e.DPoint3_y);
  }
}

void AddExtents(TExtents& box, const TEntJwwBlock& e) {
  box.Add(e.DPKijunTen_x, e.DPKijunTen_y);
}

TExtents ExtentsOf(const EntityListsIn& lists) {
  TExtents box;
  ForEachEntity(lists, [&box](const auto& e) { AddExtents(box, e); });
  return box;
}

}  // namespace plattero
