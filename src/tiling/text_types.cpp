#include "tiling/text_types.h"

#include <cmath>

#include "util/numbers.h"

namespace plattero {

bool IsFilteredText(const TEntJwwMoji& m) {
  if (SamePoint(m.start_x, m.start_y, m.end_x, m.end_y)) return true;
  return SamePoint(m.start_x, m.start_y, 0, 0) && SamePoint(m.end_x, m.end_y, 0.01, 0.01);
}

std::uint32_t GetJWWMojisyuNo(const std::vector<TEntJwwMojiType>& EntMoj, double mx, double my,
                              double md, std::int32_t co) {
  for (std::size_t r = 0; r < EntMoj.size() && r < 10; ++r) {
    const TEntJwwMojiType& t = EntMoj[r];
    if (t.anMojiCol == co && std::fabs(t.adMojiX - mx) <= 1e-8 &&
        std::fabs(t.adMojiY - my) <= 1e-8 && std::fabs(t.adMojiD - md) <= 1e-8) {
      return static_cast<std::uint32_t>(r + 1);
    }
  }
  return 0;
}

void MatchTextType(const std::vector<TEntJwwMojiType>& EntMoj, TEntJwwMoji& m) {
  if (m.nMojiShu % 100 != 0) {
    m.nMojiShu = GetJWWMojisyuNo(EntMoj, m.dSizeX, m.dSizeY, m.dKankaku, m.att.nPenColor) +
                 (m.nMojiShu / 100) * 100;
  }
}

}  // namespace plattero
