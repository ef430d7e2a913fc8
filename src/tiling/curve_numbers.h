#pragma once

// The curve-number table of a tiling run: each drawing numbers its curve
// units (the lGroup of an entity's attributes, 0 for none) on its own, so the
// combined drawing gives each drawing's distinct numbers a fresh range of its
// own: the base drawing 1, 2, 3 ..., each added drawing the numbers after the
// previous one's. A number keeps its sign; the stored value is read as a
// signed 32-bit integer.

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "jww/jww_data.h"

namespace plattero {

class TCurveNumbers {
 public:
  // Counts the base drawing's distinct numbers in the order of their first
  // appearance: the entities of its used definitions (ref_flag), then its own.
  void JWWGetCrvNo(TJwwData& base);
  // The same for an added drawing, over the definitions `counted` marks (by
  // index) and its own entities; texts the merge leaves out do not count.
  void JWW2GetCrvNo(TJwwData& added, const std::vector<bool>& counted);
  // Forgets what was counted: a drawing that adds nothing counts no numbers.
  void Reset();

  // The base drawing's number c becomes its index + 1 (its sign kept); a
  // number not counted, or 0, stays.
  void JWWSetCrvNo1(std::uint32_t& c) const;
  // The added drawing's number c becomes its index + CrvNo (its sign kept).
  void JWW2SetCrvNo1(std::uint32_t& c) const;

  // After the base drawing: the first added drawing's range starts after its
  // numbers.
  void StartRanges() { CrvNo = static_cast<std::int64_t>(CrvNo1.size()) + 1; }
  // After a list row: the next range starts after the numbers counted last
  // (for a row that added nothing, those of the drawing before it).
  void NextRange() { CrvNo += static_cast<std::int64_t>(CrvNo1.size()); }
  // Where the next added drawing's range starts.
  std::int64_t RangeStart() const { return CrvNo; }

 private:
  void Count(std::uint32_t c);
  // The index of number c, or -1.
  std::int32_t Index(std::uint32_t c) const;

  std::vector<std::int32_t> CrvNo1;  // the distinct numbers counted last, in order
  std::unordered_map<std::int32_t, std::int32_t> index_;  // number -> its index in CrvNo1
  std::int64_t CrvNo = 0;
};

}  // namespace plattero
