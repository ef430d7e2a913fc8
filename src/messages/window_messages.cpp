#include "messages/window_messages.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "messages/tiling_messages.h"

namespace plattero {

namespace {

// "1/200" for a scale of 200, as Jw_cad writes scales; others to six digits.
std::u16string ScaleOf(double scale) {
  char text[40];
  if (std::isfinite(scale) && std::fabs(scale) < 1e9 && scale == std::floor(scale)) {
    std::snprintf(text, sizeof text, "1/%.0f", scale);
  } else if (std::isnan(scale)) {
    std::snprintf(text, sizeof text, "1/nan");  // spelled out: C libraries differ
  } else if (std::isinf(scale)) {
    std::snprintf(text, sizeof text, scale > 0 ? "1/inf" : "1/-inf");
  } else {
    std::snprintf(text, sizeof text, "1/%.6g", scale);
  }
  const std::string ascii = text;
  return std::u16string(ascii.begin(), ascii.end());
}

}  // namespace

std::u16string GroupsNote(const std::vector<TGroupPlaced>& placed) {
  std::u16string note;
  std::vector<int> listed;
  for (const TGroupPlaced& g : placed) {
    if (g.to < 0 || g.to > 15 || std::find(listed.begin(), listed.end(), g.to) != listed.end())
      continue;
    listed.push_back(g.to);
    if (!note.empty()) note += u"、";
    note += u"[";
    note += static_cast<char16_t>(g.to < 10 ? u'0' + g.to : u'A' + g.to - 10);
    note += u"] ";
    note += ScaleOf(g.scale);
  }
  return note;
}

std::u16string SheetLabel(const TPaperFit& fit) {
  std::u16string label = u"用紙" + PaperCaption(fit.nZumen);
  if (fit.k != 1) label += u" 縮小 " + FactorText(fit.k);
  return label;
}

}  // namespace plattero
