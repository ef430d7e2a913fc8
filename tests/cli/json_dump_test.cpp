// Record-to-JSON conversion: exact doubles, extents, entries that designate
// nothing, terminal-safe text.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>
#include <limits>

#include "cli/json_dump.h"
#include "jww/jww_data.h"

namespace plattero::cli {
namespace {

using Lim = std::numeric_limits<double>;

TEST(JsonNumber, FiniteDoublesReadBackBitForBit) {
  const double values[] = {0.1,
                           1.0 / 3.0,
                           -0.0,
                           Lim::denorm_min(),
                           -Lim::min(),
                           Lim::max(),
                           Lim::lowest(),
                           Lim::epsilon(),
                           1e21,
                           9007199254740993.0,
                           123456.78901234567,
                           -2.2250738585072009e-308};
  for (double v : values) {
    const std::string text = JsonLine(Json{{"v", Num(v)}});
    const double back = Json::parse(text)["v"].get<double>();
    EXPECT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(v)) << text;
  }
}

TEST(JsonNumber, NonFiniteBecomeStringsAndKeepTheLineValid) {
  TEntJwwLine line;
  line.start_x = Lim::quiet_NaN();
  line.start_y = Lim::infinity();
  line.end_x = -Lim::infinity();
  line.end_y = -Lim::quiet_NaN();
  const Json back = Json::parse(JsonLine(FieldsJson(line)));
  EXPECT_EQ(back["start_x"], "nan");
  EXPECT_EQ(back["start_y"], "inf");
  EXPECT_EQ(back["end_x"], "-inf");
  EXPECT_EQ(back["end_y"], "nan");
}

void AddLine(TJwwData& d, double x1, double y1, double x2, double y2, bool designated = true) {
  TEntJwwLine e;
  e.start_x = x1, e.start_y = y1, e.end_x = x2, e.end_y = y2;
  d.EntLine.push_back(e);
  if (designated) d.EntNo.push_back({kEntLine, static_cast<std::int32_t>(d.EntLine.size() - 1)});
}

struct ExtentsCase {
  const char* name;
  std::function<void(TJwwData&)> fill;
  std::optional<Extents> want;
};

TEST(TopLevelExtents, CoversTheDefiningPointsOfDesignatedEntities) {
  const double nan = Lim::quiet_NaN(), inf = Lim::infinity();
  const ExtentsCase cases[] = {
      {"empty", [](TJwwData&) {}, std::nullopt},
      {"line and the box of an ellipse's whole circle",
       [](TJwwData& d) {
         AddLine(d, 0, 0, 10, 5);
         TEntJwwEnko a;
         a.start_x = 20, a.start_y = 20, a.dHankei = -5, a.dHenpeiRitsu = 2;
         d.EntEnko.push_back(a);
         d.EntNo.push_back({kEntEnko, 0});
       },
       Extents{0, 0, 30, 30}},
      {"non-finite coordinates and temporary points are left out",
       [=](TJwwData& d) {
         AddLine(d, nan, 0, 1, 2);
         TEntJwwTen t;
         t.start_x = inf, t.start_y = 100;
         d.EntTen.push_back(t);
         d.EntNo.push_back({kEntTen, 0});
         t.start_x = -100, t.bKariten = 1;
         d.EntTen.push_back(t);
         d.EntNo.push_back({kEntTen, 1});
       },
       Extents{1, 2, 1, 2}},
      {"only non-finite points give none", [=](TJwwData& d) { AddLine(d, nan, 0, 0, -inf); },
       std::nullopt},
      {"records no entry designates do not count",
       [](TJwwData& d) {
         AddLine(d, 0, 0, 1, 1);
         AddLine(d, -50, -50, 50, 50, false);
         d.EntNo.push_back({kEntLine, 7});  // past the list
         d.EntNo.push_back({0, 1});         // dropped entity
         d.EntNo.push_back({12, 1});        // no such kind
       },
       Extents{0, 0, 1, 1}},
      {"text, dimension line and text, solid corners, block insertion point",
       [](TJwwData& d) {
         TEntJwwMoji m;
         m.start_x = -1, m.start_y = 2, m.end_x = 3, m.end_y = 2;
         d.EntMoji.push_back(m);
         TEntJwwSunpo s;
         s.Sen = {{}, 0, 7, 0, 8};
         s.Moji.start_x = 10;
         d.EntSunpo.push_back(s);
         TEntJwwSolid so;
         so.start_x = 1, so.start_y = 1, so.end_x = 2, so.end_y = -4;
         so.DPoint2_x = 5, so.DPoint2_y = 1, so.DPoint3_x = 1, so.DPoint3_y = 9;
         d.EntSolid.push_back(so);
         so.att.nPenStyle = 101;  // round: only its centre is a point
         so.start_x = 0, so.end_x = 500;
         d.EntSolid.push_back(so);
         TEntJwwBlock b;
         b.DPKijunTen_x = -6, b.DPKijunTen_y = 0;
         d.EntBlock.push_back(b);
         d.EntNo = {{kEntMoji, 0}, {kEntSunpo, 0}, {kEntSolid, 0}, {kEntSolid, 1}, {kEntBlock, 0}};
       },
       Extents{-6, -4, 10, 9}},
  };
  for (const ExtentsCase& c : cases) {
    TJwwData doc;
    c.fill(doc);
    const std::optional<Extents> got = TopLevelExtents(doc);
    ASSERT_EQ(got.has_value(), c.want.has_value()) << c.name;
    if (!got) continue;
    EXPECT_EQ(got->min_x, c.want->min_x) << c.name;
    EXPECT_EQ(got->min_y, c.want->min_y) << c.name;
    EXPECT_EQ(got->max_x, c.want->max_x) << c.name;
    EXPECT_EQ(got->max_y, c.want->max_y) << c.name;
  }
}

TEST(EntityJson, EntriesThatDesignateNothingKeepTheirPlace) {
  TJwwData doc;
  AddLine(doc, 1, 2, 3, 4);
  doc.EntNo = {{0, 0}, {kEntLine, 0}, {kEntLine, 3}, {9, 0}, {kEntBlock, -1}};
  EXPECT_EQ(JsonLine(TopLevelEntityJson(doc, 0)), R"({"type":null,"index":0})");
  const Json line = TopLevelEntityJson(doc, 1);
  EXPECT_EQ(line["type"], "CDataSen");
  EXPECT_EQ(line["index"], 1);
  EXPECT_EQ(line["end_y"], 4.0);
  EXPECT_EQ(JsonLine(TopLevelEntityJson(doc, 2)),
            R"({"type":null,"index":2,"EntType":1,"EntNo":3})");
  EXPECT_EQ(TopLevelEntityJson(doc, 3)["type"], nullptr);
  EXPECT_EQ(TopLevelEntityJson(doc, 4)["type"], nullptr);

  TEntJwwBlockDef def;
  def.mLine.push_back({});
  def.mNo = {{kEntLine, 0}, {0, 0}};
  const Json j = BlockDefJson(def, 5);
  EXPECT_EQ(j["index"], 5);
  EXPECT_EQ(j["N"], 2);
  ASSERT_EQ(j["entities"].size(), 2u);
  EXPECT_EQ(j["entities"][0]["type"], "CDataSen");
  EXPECT_EQ(j["entities"][1], Json::parse(R"({"type":null,"index":1})"));
}

TEST(Printable, EscapesControlsAndKeepsJapanese) {
  EXPECT_EQ(Printable("図面\r\nA\tB"), "図面\\r\\nA\\tB");
  EXPECT_EQ(Printable("\x1b[2Jx\x7f"), "\\x1B[2Jx\\x7F");
  EXPECT_EQ(Printable("\xc2\x9b"
                      "31m"),
            "\\u009B31m");  // C1 CSI
  EXPECT_EQ(Printable("é ＭＳ ゴシック"), "é ＭＳ ゴシック");
}

}  // namespace
}  // namespace plattero::cli
