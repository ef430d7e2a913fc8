#pragma once

// The words the arrangement preview adds to its frames: where a drawing's
// layer groups went and the combined drawing's paper.

#include <string>
#include <vector>

#include "tiling/paper_fit.h"
#include "tiling/report.h"

namespace plattero {

// The groups of the combined drawing a drawing's groups went to, each once
// with its scale, in the drawing's group order: "[2] 1/200、[3] 1/50". Empty
// for none.
std::u16string GroupsNote(const std::vector<TGroupPlaced>& placed);

// The combined drawing's paper as its frame is labelled: "用紙（A1）", and
// "用紙（A1） 縮小 1/2" when every drawing is reduced.
std::u16string SheetLabel(const TPaperFit& fit);

}  // namespace plattero
