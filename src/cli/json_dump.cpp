#include "cli/json_dump.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

#include "jww/entity_lists.h"
#include "util/text.h"

namespace plattero::cli {

namespace {

using EntityLists = EntityListsIn;

template <class T>
bool InList(std::int32_t i, const std::vector<T>& list) {
  return i >= 0 && static_cast<std::size_t>(i) < list.size();
}

// Calls f with the record an order entry designates; false when it designates
// nothing (kind outside 1..7 or index outside its list).
template <class F>
bool VisitEntity(const TEntJwwNo& no, const EntityLists& l, F&& f) {
  const std::int32_t i = no.EntNo;
  switch (no.EntType) {
    case kEntLine:
      if (!InList(i, l.line)) return false;
      f(l.line[i]);
      return true;
    case kEntEnko:
      if (!InList(i, l.enko)) return false;
      f(l.enko[i]);
      return true;
    case kEntTen:
      if (!InList(i, l.ten)) return false;
      f(l.ten[i]);
      return true;
    case kEntMoji:
      if (!InList(i, l.moji)) return false;
      f(l.moji[i]);
      return true;
    case kEntSunpo:
      if (!InList(i, l.sunpo)) return false;
      f(l.sunpo[i]);
      return true;
    case kEntSolid:
      if (!InList(i, l.solid)) return false;
      f(l.solid[i]);
      return true;
    case kEntBlock:
      if (!InList(i, l.block)) return false;
      f(l.block[i]);
      return true;
    default:
      return false;
  }
}

// Record -> (class name, fields).
const char* ClassName(const TEntJwwLine&) {
  return "CDataSen";
}
const char* ClassName(const TEntJwwEnko&) {
  return "CDataEnko";
}
const char* ClassName(const TEntJwwTen&) {
  return "CDataTen";
}
const char* ClassName(const TEntJwwMoji&) {
  return "CDataMoji";
}
const char* ClassName(const TEntJwwSunpo&) {
  return "CDataSunpou";
}
const char* ClassName(const TEntJwwSolid&) {
  return "CDataSolid";
}
const char* ClassName(const TEntJwwBlock&) {
  return "CDataBlock";
}
Json Fields(const TEntJwwLine& e) {
  return LineJson(e);
}
Json Fields(const TEntJwwEnko& e) {
  return EnkoJson(e);
}
Json Fields(const TEntJwwTen& e) {
  return TenJson(e);
}
Json Fields(const TEntJwwMoji& e) {
  return MojiJson(e);
}
Json Fields(const TEntJwwSunpo& e) {
  return SunpoJson(e);
}
Json Fields(const TEntJwwSolid& e) {
  return SolidJson(e);
}
Json Fields(const TEntJwwBlock& e) {
  return BlockJson(e);
}

Json EntityJson(const EntityLists& lists, std::size_t index) {
  const TEntJwwNo& no = lists.order[index];
  Json j;
  bool found = VisitEntity(no, lists, [&](const auto& e) {
    j["type"] = ClassName(e);
    j["index"] = index;
    Json fields = Fields(e);
    for (auto it = fields.begin(); it != fields.end(); ++it)
      j[it.key()] = std::move(*it);
  });
  if (!found) {
    j["type"] = nullptr;
    j["index"] = index;
    if (no.EntType != 0 || no.EntNo != 0) {
      j["EntType"] = no.EntType;
      j["EntNo"] = no.EntNo;
    }
  }
  return j;
}

// Grows the box by one point unless a coordinate is not finite.
struct Box {
  bool any = false;
  Extents e{};
  void Add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    if (!any) {
      e = {x, y, x, y};
      any = true;
      return;
    }
    e.min_x = std::min(e.min_x, x);
    e.min_y = std::min(e.min_y, y);
    e.max_x = std::max(e.max_x, x);
    e.max_y = std::max(e.max_y, y);
  }
  void Add(const TEntJwwLine& e) {
    Add(e.start_x, e.start_y);
    Add(e.end_x, e.end_y);
  }
  void Add(const TEntJwwEnko& e) {
    Add(e.start_x - e.dHankei, e.start_y - e.dHankei);
    Add(e.start_x + e.dHankei, e.start_y + e.dHankei);
  }
  void Add(const TEntJwwTen& e) { Add(e.start_x, e.start_y); }
  void Add(const TEntJwwMoji& e) {
    Add(e.start_x, e.start_y);
    Add(e.end_x, e.end_y);
  }
  void Add(const TEntJwwSunpo& e) { Add(e.Sen); }
  void Add(const TEntJwwSolid& e) {
    Add(e.start_x, e.start_y);
    Add(e.end_x, e.end_y);
    Add(e.DPoint2_x, e.DPoint2_y);
    Add(e.DPoint3_x, e.DPoint3_y);
  }
  void Add(const TEntJwwBlock& e) { Add(e.DPKijunTen_x, e.DPKijunTen_y); }
};

}  // namespace

Json Num(double v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  return v;
}

Json Text(const std::u16string& s) {
  return Utf16ToUtf8(s);
}

Json AttrJson(const TEntJwwAttr& a) {
  Json j;
  j["lGroup"] = a.lGroup;
  j["nPenStyle"] = a.nPenStyle;
  j["nPenColor"] = a.nPenColor;
  j["nPenWidth"] = a.nPenWidth;
  j["nLayer"] = a.nLayer;
  j["nGLayer"] = a.nGLayer;
  j["sFlg"] = a.sFlg;
  return j;
}

Json LineJson(const TEntJwwLine& e) {
  Json j;
  j["att"] = AttrJson(e.att);
  j["start_x"] = Num(e.start_x);
  j["start_y"] = Num(e.start_y);
  j["end_x"] = Num(e.end_x);
  j["end_y"] = Num(e.end_y);
  return j;
}

Json EnkoJson(const TEntJwwEnko& e) {
  Json j;
  j["att"] = AttrJson(e.att);
  j["start_x"] = Num(e.start_x);
  j["start_y"] = Num(e.start_y);
  j["dHankei"] = Num(e.dHankei);
  j["radKaishiKaku"] = Num(e.radKaishiKaku);
  j["radEnkoKaku"] = Num(e.radEnkoKaku);
  j["radKatamukiKaku"] = Num(e.radKatamukiKaku);
  j["dHenpeiRitsu"] = Num(e.dHenpeiRitsu);
  j["bZenEnFlg"] = e.bZenEnFlg;
  return j;
}

Json TenJson(const TEntJwwTen& e) {
  Json j;
  j["att"] = AttrJson(e.att);
  j["start_x"] = Num(e.start_x);
  j["start_y"] = Num(e.start_y);
  j["bKariten"] = e.bKariten;
  j["nCode"] = e.nCode;
  j["radKaitenKaku"] = Num(e.radKaitenKaku);
  j["dBairitsu"] = Num(e.dBairitsu);
  return j;
}

Json MojiJson(const TEntJwwMoji& e) {
  Json j;
  j["att"] = AttrJson(e.att);
  j["start_x"] = Num(e.start_x);
  j["start_y"] = Num(e.start_y);
  j["end_x"] = Num(e.end_x);
  j["end_y"] = Num(e.end_y);
  j["nMojiShu"] = e.nMojiShu;
  j["dSizeX"] = Num(e.dSizeX);
  j["dSizeY"] = Num(e.dSizeY);
  j["dKankaku"] = Num(e.dKankaku);
  j["degKakudo"] = Num(e.degKakudo);
  j["strFontName"] = Text(e.strFontName);
  j["str"] = Text(e.str);
  return j;
}

Json SunpoJson(const TEntJwwSunpo& e) {
  Json j;
  j["att"] = AttrJson(e.att);
  j["Sen"] = LineJson(e.Sen);
  j["Moji"] = MojiJson(e.Moji);
  j["bSxfMode"] = e.bSxfMode;
  j["Ho1"] = LineJson(e.Ho1);
  j["Ho2"] = LineJson(e.Ho2);
  j["Te1"] = TenJson(e.Te1);
  j["Te2"] = TenJson(e.Te2);
  j["Kt1"] = TenJson(e.Kt1);
  j["Kt2"] = TenJson(e.Kt2);
  return j;
}

Json SolidJson(const TEntJwwSolid& e) {
  Json j;
  j["att"] = AttrJson(e.att);
  j["start_x"] = Num(e.start_x);
  j["start_y"] = Num(e.start_y);
  j["end_x"] = Num(e.end_x);
  j["end_y"] = Num(e.end_y);
  j["DPoint2_x"] = Num(e.DPoint2_x);
  j["DPoint2_y"] = Num(e.DPoint2_y);
  j["DPoint3_x"] = Num(e.DPoint3_x);
  j["DPoint3_y"] = Num(e.DPoint3_y);
  j["Color"] = e.Color;
  return j;
}

Json BlockJson(const TEntJwwBlock& e) {
  Json j;
  j["att"] = AttrJson(e.att);
  j["DPKijunTen_x"] = Num(e.DPKijunTen_x);
  j["DPKijunTen_y"] = Num(e.DPKijunTen_y);
  j["dBairitsuX"] = Num(e.dBairitsuX);
  j["dBairitsuY"] = Num(e.dBairitsuY);
  j["radKaitenKaku"] = Num(e.radKaitenKaku);
  j["nNumber"] = e.nNumber;
  return j;
}

Json TopLevelEntityJson(const TJwwData& doc, std::size_t index) {
  return EntityJson(TopLevelLists(doc), index);
}

Json BlockDefJson(const TEntJwwBlockDef& b, std::size_t index) {
  Json j;
  j["type"] = "CDataList";
  j["index"] = index;
  j["att"] = AttrJson(b.att);
  j["nNumber"] = b.nNumber;
  j["bRefferd"] = b.bRefferd;
  j["dtime"] = b.dtime;
  j["strName"] = Text(b.strName);
  j["N"] = b.mNo.size();
  j["ref_flag"] = b.ref_flag;
  j["ref_no"] = b.ref_no;
  Json entities = Json::array();
  const EntityLists lists = NestedLists(b);
  for (std::size_t i = 0; i < b.mNo.size(); ++i)
    entities.push_back(EntityJson(lists, i));
  j["entities"] = std::move(entities);
  return j;
}

std::string Printable(std::string_view utf8) {
  // An escape sequence in a drawing's text could otherwise drive the terminal;
  // so could the C1 controls U+0080..U+009F (CSI is U+009B).
  std::string out;
  out.reserve(utf8.size());
  char buf[8];
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      std::snprintf(buf, sizeof buf, "\\u%04X", next);
      out += buf;
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string JsonLine(const Json& j) {
  // Texts come out of Utf16ToUtf8 and are valid UTF-8; replacing keeps a
  // stray byte in a path given on the command line from aborting the output.
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void WriteDump(const TJwwData& doc, std::ostream& out) {
  for (std::size_t i = 0; i < doc.EntNo.size(); ++i) {
    out << JsonLine(TopLevelEntityJson(doc, i)) << '\n';
  }
  for (std::size_t i = 0; i < doc.EntBlockDef.size(); ++i) {
    out << JsonLine(BlockDefJson(doc.EntBlockDef[i], i)) << '\n';
  }
}

std::optional<Extents> TopLevelExtents(const TJwwData& doc) {
  Box box;
  const EntityLists lists = TopLevelLists(doc);
  for (const TEntJwwNo& no : doc.EntNo) {
    VisitEntity(no, lists, [&](const auto& e) { box.Add(e); });
  }
  if (!box.any) return std::nullopt;
  return box.e;
}

Json InfoJson(const TJwwData& doc, const std::string& file, bool read_ok) {
  Json j;
  j["file"] = file;
  j["read_ok"] = read_ok;
  if (!read_ok) {
    j["error"] = {{"offset", doc.Status().offset}, {"reason", doc.Status().reason}};
  }
  j["version"] = doc.Enthd.jwVer;
  j["paper"] = doc.Enthd.nZumen;
  j["memo"] = Text(doc.Enthd.strMemo);
  j["utf16_strings"] = doc.MojiEncode;
  j["counts"] = {{"line", doc.EntLine.size()},       {"arc", doc.EntEnko.size()},
                 {"point", doc.EntTen.size()},       {"text", doc.EntMoji.size()},
                 {"dimension", doc.EntSunpo.size()}, {"solid", doc.EntSolid.size()},
                 {"block", doc.EntBlock.size()}};
  j["entity_order"] = doc.EntNo.size();
  Json defs = Json::array();
  for (const TEntJwwBlockDef& b : doc.EntBlockDef) {
    defs.push_back({{"name", Text(b.strName)},
                    {"number", b.nNumber},
                    {"referenced", b.ref_flag},
                    {"entities", b.mNo.size()}});
  }
  j["block_defs"] = std::move(defs);
  j["block_defs_written"] = doc.EntBlockNum;
  Json images = Json::array();
  for (const TBindImageType& row : doc.BindImage) {
    images.push_back({{"name", Text(row.Fname)}, {"size", row.Fsize}});
  }
  j["images"] = std::move(images);
  Json groups = Json::array();
  for (const TEntJwwLayerGroup& g : doc.EntLgrp)
    groups.push_back(Text(g.aStrGLayName));
  j["layer_group_names"] = std::move(groups);
  if (std::optional<Extents> e = TopLevelExtents(doc)) {
    j["extents"] = {
        {"min_x", e->min_x}, {"min_y", e->min_y}, {"max_x", e->max_x}, {"max_y", e->max_y}};
  }
  return j;
}

namespace {

std::string Shown(const Json& text) {
  return Printable(text.get_ref<const std::string&>());
}

std::string Number(const Json& n) {
  return JsonLine(n);
}

}  // namespace

void WriteInfoText(const Json& info, std::ostream& out) {
  out << "file: " << Shown(info["file"]) << '\n';
  if (info["read_ok"].get<bool>()) {
    out << "read: complete\n";
  } else {
    const Json& e = info["error"];
    out << "read: stopped at byte " << Number(e["offset"]) << ": " << Shown(e["reason"]) << '\n';
  }
  out << "version: " << Number(info["version"]) << '\n';
  out << "paper: " << Number(info["paper"]) << '\n';
  out << "memo: " << Shown(info["memo"]) << '\n';
  out << "UTF-16 strings: " << (info["utf16_strings"].get<bool>() ? "yes" : "no") << '\n';
  const Json& c = info["counts"];
  out << "entities: line " << Number(c["line"]) << ", arc " << Number(c["arc"]) << ", point "
      << Number(c["point"]) << ", text " << Number(c["text"]) << ", dimension "
      << Number(c["dimension"]) << ", solid " << Number(c["solid"]) << ", block "
      << Number(c["block"]) << '\n';
  out << "entity order: " << Number(info["entity_order"]) << " entries\n";
  const Json& defs = info["block_defs"];
  out << "block definitions: " << defs.size() << " (" << Number(info["block_defs_written"])
      << " written)\n";
  for (std::size_t i = 0; i < defs.size(); ++i) {
    const Json& d = defs[i];
    out << "  " << i << ": \"" << Shown(d["name"]) << "\" number " << Number(d["number"]) << ", "
        << (d["referenced"].get<bool>() ? "referenced" : "not referenced") << ", "
        << Number(d["entities"]) << " entities\n";
  }
  const Json& images = info["images"];
  out << "images: " << images.size() << '\n';
  for (const Json& img : images) {
    out << "  \"" << Shown(img["name"]) << "\", " << Number(img["size"]) << " bytes\n";
  }
  const Json& groups = info["layer_group_names"];
  out << "layer group names:\n";
  for (std::size_t i = 0; i < groups.size(); ++i) {
    out << "  " << i << ": " << Shown(groups[i]) << '\n';
  }
  if (info.contains("extents")) {
    const Json& e = info["extents"];
    out << "extents: (" << Number(e["min_x"]) << ", " << Number(e["min_y"]) << ") - ("
        << Number(e["max_x"]) << ", " << Number(e["max_y"]) << ")\n";
  } else {
    out << "extents: none\n";
  }
}

}  // namespace plattero::cli
