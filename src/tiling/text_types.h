#pragma once

// Texts of an added drawing in the combined drawing: which the merge leaves
// out, and which of the base drawing's ten text types each takes.

#include <cstdint>
#include <vector>

#include "jww/jwwtype.h"

namespace plattero {

// A text the merge leaves out: start equal to end, or placed at
// (0,0)-(0.01,0.01).
bool IsFilteredText(const TEntJwwMoji& m);

// The base drawing's text type (1..10, a row of EntMoj) of this width,
// height, spacing (each within 1e-8) and colour, the lowest-numbered first;
// 0 when none matches.
std::uint32_t GetJWWMojisyuNo(const std::vector<TEntJwwMojiType>& EntMoj, double mx, double my,
                              double md, std::int32_t co);

// Gives a text of a numbered type (nMojiShu not a multiple of 100) the text
// type of `EntMoj` that matches its size and colour, or 0, keeping the
// hundreds of its number.
void MatchTextType(const std::vector<TEntJwwMojiType>& EntMoj, TEntJwwMoji& m);

}  // namespace plattero
