#include "jww/transform.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace plattero {

namespace {

void MovePoint(const TMoveScale& t, double& x, double& y) {
  x = t.X(x);
  y = t.Y(y);
}

// The number a placement field holds: the whole field must be a plain
// decimal number (what an image reference stores), else nothing is taken.
bool ParseField(std::u16string_view field, double& value) {
  std::string ascii;
  for (char16_t c : field) {
    if (c > 0x7F) return false;
    ascii += static_cast<char>(c);
  }
  if (ascii.empty()) return false;
  const char* end = ascii.data() + ascii.size();
  const auto [ptr, ec] = std::from_chars(ascii.data(), end, value);
  return ec == std::errc() && ptr == end && std::isfinite(value);
}

// The shortest decimal that reads back as `value`, without an exponent: the
// form the placement fields hold ("100", "37.5").
std::u16string FieldText(double value) {
  char buffer[400];  // the longest fixed form of a double is 327 characters
  const auto [ptr, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  if (ec != std::errc()) return {};
  return std::u16string(buffer, ptr);
}

// A denominator within rounding of a whole number is that number: 100 / (2/3)
// gives 150.00000000000003, which Jw_cad would show as an odd scale.
double TidyScale(double s) {
  const double whole = std::round(s);
  if (whole != 0 && std::fabs(s - whole) <= 1e-9 * std::fabs(whole)) return whole;
  return s;
}

template <class T>
void MoveFrom(const TMoveScale& t, std::vector<T>& list, std::size_t from) {
  for (std::size_t i = from; i < list.size(); ++i)
    MoveAndScale(t, list[i]);
}

}  // namespace

void MoveAndScale(const TMoveScale& t, TEntJwwLine& e) {
  MovePoint(t, e.start_x, e.start_y);
  MovePoint(t, e.end_x, e.end_y);
}

void MoveAndScale(const TMoveScale& t, TEntJwwEnko& e) {
  MovePoint(t, e.start_x, e.start_y);
  e.dHankei = t.Length(e.dHankei);
}

void MoveAndScale(const TMoveScale& t, TEntJwwTen& e) {
  MovePoint(t, e.start_x, e.start_y);
}

void MoveAndScale(const TMoveScale& t, TEntJwwMoji& e) {
  MovePoint(t, e.start_x, e.start_y);
  MovePoint(t, e.end_x, e.end_y);
  e.dSizeX = t.Length(e.dSizeX);
  e.dSizeY = t.Length(e.dSizeY);
  e.dKankaku = t.Length(e.dKankaku);
  e.str = ScaleImageText(e.str, t.k);
}

void MoveAndScale(const TMoveScale& t, TEntJwwSunpo& e) {
  MoveAndScale(t, e.Sen);
  MoveAndScale(t, e.Moji);
  // Without the extended form the six parts are not the dimension's: a
  // drawing of a version before 420 leaves them at zero, and appending has
  // always left them where they were.
  if (e.bSxfMode == 0) return;
  MoveAndScale(t, e.Ho1);
  MoveAndScale(t, e.Ho2);
  for (TEntJwwTen* p : {&e.Te1, &e.Te2, &e.Kt1, &e.Kt2})
    MoveAndScale(t, *p);
}

void MoveAndScale(const TMoveScale& t, TEntJwwSolid& e) {
  MovePoint(t, e.start_x, e.start_y);
  if (e.att.nPenStyle >= 101) {
    e.end_x = t.Length(e.end_x);  // the round solid's radius
    return;
  }
  MovePoint(t, e.end_x, e.end_y);
  MovePoint(t, e.DPoint2_x, e.DPoint2_y);
  MovePoint(t, e.DPoint3_x, e.DPoint3_y);
}

void MoveAndScale(const TMoveScale& t, TEntJwwBlock& e) {
  MovePoint(t, e.DPKijunTen_x, e.DPKijunTen_y);
  e.dBairitsuX = t.Length(e.dBairitsuX);
  e.dBairitsuY = t.Length(e.dBairitsuY);
}

TEntityMark EntityMarkOf(const TJwwData& doc) {
  return {doc.EntLine.size(),  doc.EntEnko.size(),  doc.EntTen.size(),  doc.EntMoji.size(),
          doc.EntSunpo.size(), doc.EntSolid.size(), doc.EntBlock.size()};
}

void MoveAndScale(TJwwData& doc, const TMoveScale& t, const TEntityMark& from) {
  // By the kind lists, not the entity order: a record listed twice in a
  // damaged order still moves once.
  MoveFrom(t, doc.EntLine, from.line);
  MoveFrom(t, doc.EntEnko, from.enko);
  MoveFrom(t, doc.EntTen, from.ten);
  MoveFrom(t, doc.EntMoji, from.moji);
  MoveFrom(t, doc.EntSunpo, from.sunpo);
  MoveFrom(t, doc.EntSolid, from.solid);
  MoveFrom(t, doc.EntBlock, from.block);
}

std::u16string ScaleImageText(const std::u16string& str, double k) {
  if (k == 1.0 || str.compare(0, 4, u"^@BM") != 0) return str;
  // "^@BM" path "," width "," height ["," more]: the path ends at the first
  // comma.
  const std::size_t c1 = str.find(u',');
  if (c1 == std::u16string::npos) return str;
  const std::size_t c2 = str.find(u',', c1 + 1);
  if (c2 == std::u16string::npos) return str;
  const std::size_t c3 = str.find(u',', c2 + 1);
  const std::size_t h_end = c3 == std::u16string::npos ? str.size() : c3;
  const std::u16string_view view(str);
  double w = 0, h = 0;
  if (!ParseField(view.substr(c1 + 1, c2 - c1 - 1), w) ||
      !ParseField(view.substr(c2 + 1, h_end - c2 - 1), h))
    return str;
  const double kw = w * k, kh = h * k;
  if (!std::isfinite(kw) || !std::isfinite(kh)) return str;
  const std::u16string w_text = FieldText(kw), h_text = FieldText(kh);
  if (w_text.empty() || h_text.empty()) return str;
  return str.substr(0, c1 + 1) + w_text + u',' + h_text + str.substr(h_end);
}

void DivideGroupScales(TJwwData& doc, double k, std::uint32_t groups) {
  if (!(k > 0) || !std::isfinite(k)) return;
  for (std::size_t g = 0; g < doc.EntLgrp.size() && g < 32; ++g) {
    if (groups & (1u << g)) doc.EntLgrp[g].adScale = TidyScale(doc.EntLgrp[g].adScale / k);
  }
}

}  // namespace plattero
