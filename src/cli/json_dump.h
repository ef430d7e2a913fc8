#pragma once

// Drawings as JSON: the records field by field under their own names, the
// entity-per-line dump and the summary that `info` prints.

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "jww/jww_data.h"

namespace plattero::cli {

// Keys stay in the order the fields have in their records.
using Json = nlohmann::ordered_json;

// A double as JSON: the number itself, printed so that it reads back to the
// same value, or the strings "nan", "inf" and "-inf" (JSON has no such numbers).
Json Num(double v);
// Text as UTF-8 (a lone surrogate becomes U+FFFD).
Json Text(const std::u16string& s);

// The fields of an entity record (one of the seven) under their own names in
// file order, every optional part shown.
template <class E>
Json FieldsJson(const E& e);

// The entity that entry `index` of the document's EntNo designates, as
// {"type": class name, "index": index, fields...}. An entry that designates
// nothing gives {"type": null, "index": index}, plus its EntType and EntNo
// when they are not zero.
Json TopLevelEntityJson(const TJwwData& doc, std::size_t index);
// One block definition with its nested entities (under "entities", in mNo
// order, shaped like the top-level ones).
Json BlockDefJson(const TEntJwwBlockDef& b, std::size_t index);

// One JSON Lines record per top-level entity in EntNo order, then one per
// block definition.
void WriteDump(const TJwwData& doc, std::ostream& out);

// The extents of the top-level entities (ExtentsOf); empty when no entity
// has a finite point that counts.
struct Extents {
  double min_x, min_y, max_x, max_y;
};
std::optional<Extents> TopLevelExtents(const TJwwData& doc);

// The summary of `info`. `file` is the path as shown (UTF-8); the read status comes
// from doc.Status().
Json InfoJson(const TJwwData& doc, const std::string& file, bool read_ok);
// The same summary in readable form, texts in UTF-8 with control characters
// shown as escapes.
void WriteInfoText(const Json& info, std::ostream& out);

// Text for a terminal: control characters become escapes ("\r", "\n", "\t",
// "\x1B" ...); everything else is passed through.
std::string Printable(std::string_view utf8);

// One line of compact JSON (without the newline).
std::string JsonLine(const Json& j);

}  // namespace plattero::cli
