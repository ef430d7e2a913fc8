#include "cli/json_dump.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "jww/archive.h"
#include "jww/entity_fields.h"
#include "jww/entity_lists.h"
#include "jww/entity_visit.h"
#include "jww/extents.h"
#include "messages/format_messages.h"
#include "util/text.h"

namespace plattero::cli {

namespace {

using EntityLists = EntityListsIn;

// Builds a record's JSON object by walking its description: every field
// under its own name in file order, every optional part shown, values as
// stored (no writer's normalisation).
class JsonIo {
 public:
  static constexpr bool kReads = false;
  explicit JsonIo(Json& out) : out_(out) {}

  bool Present() const { return true; }
  bool When(bool) const { return true; }
  void Enter(const char* name) { nested_.push_back({name, Json()}); }
  void Leave() {
    auto [name, j] = std::move(nested_.back());
    nested_.pop_back();
    Top()[name] = std::move(j);
  }

  void Attr(const char* name, const TEntJwwAttr& a, int) {
    Enter(name);
    TransferAttr(*this, a, kEveryPart);
    Leave();
  }
  void U8(const char* name, std::uint8_t v) { Top()[name] = v; }
  void U16(const char* name, std::uint16_t v) { Top()[name] = v; }
  void U32(const char* name, std::uint32_t v) { Top()[name] = v; }
  void I32(const char* name, std::int32_t v) { Top()[name] = v; }
  void F64(const char* name, double v) { Top()[name] = Num(v); }
  void Size(const char* name, double v) { F64(name, v); }
  void Spacing(const char* name, double v) { F64(name, v); }
  void BlockNo(const char* name, std::uint32_t v) { U32(name, v); }
  void Reserved(const char*, std::size_t) {}
  void Name(const char* name, const std::u16string& s) { Top()[name] = cli::Text(s); }
  void Text(const char* name, const std::u16string& s, int) { Name(name, s); }
  void FileName(const char* name, const std::u16string& s) { Name(name, s); }

  // The version the description is walked for: one that has every field.
  static constexpr std::int32_t kEveryPart = 700;

 private:
  Json& Top() { return nested_.empty() ? out_ : nested_.back().second; }

  Json& out_;
  std::vector<std::pair<const char*, Json>> nested_;
};

Json EntityJson(const EntityLists& lists, std::size_t index) {
  const TEntJwwNo& no = lists.order[index];
  Json j;
  bool found = VisitEntity(no, lists, [&](const auto& e) {
    j["type"] = std::string(kClassNames[KindOf<std::remove_cvref_t<decltype(e)>>()]);
    j["index"] = index;
    JsonIo io(j);
    Transfer(io, e, JsonIo::kEveryPart);
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

}  // namespace

Json Num(double v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  return v;
}

Json Text(const std::u16string& s) {
  return Utf16ToUtf8(s);
}

template <class E>
Json FieldsJson(const E& e) {
  Json j;
  JsonIo io(j);
  Transfer(io, e, JsonIo::kEveryPart);
  return j;
}

template Json FieldsJson(const TEntJwwLine&);
template Json FieldsJson(const TEntJwwEnko&);
template Json FieldsJson(const TEntJwwTen&);
template Json FieldsJson(const TEntJwwMoji&);
template Json FieldsJson(const TEntJwwSunpo&);
template Json FieldsJson(const TEntJwwSolid&);
template Json FieldsJson(const TEntJwwBlock&);

Json TopLevelEntityJson(const TJwwData& doc, std::size_t index) {
  return EntityJson(TopLevelLists(doc), index);
}

Json BlockDefJson(const TEntJwwBlockDef& b, std::size_t index) {
  Json j;
  j["type"] = "CDataList";
  j["index"] = index;
  JsonIo io(j);
  TransferBlockDefHead(io, b, JsonIo::kEveryPart);
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
  const TExtents box = ExtentsOf(TopLevelLists(doc));
  if (box.empty) return std::nullopt;
  return Extents{box.min_x, box.min_y, box.max_x, box.max_y};
}

Json InfoJson(const TJwwData& doc, const std::string& file, bool read_ok) {
  Json j;
  j["file"] = file;
  j["read_ok"] = read_ok;
  if (!read_ok) {
    j["error"] = {{"offset", doc.Status().offset}, {"reason", ReadFailureText(doc.Status())}};
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
