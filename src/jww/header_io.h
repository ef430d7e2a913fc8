#pragma once

// The signature, version and header section of a drawing with its layer,
// colour, line-type and text-type tables.

#include <cstdint>

#include "jww/archive.h"
#include "jww/jww_data.h"

namespace plattero {

// The signature "JwwData." and the version: the first bytes of a drawing.
inline constexpr std::size_t kSignatureBytes = 12;
// Reads them into h.jwID and h.jwVer. False (with the reader's failure set)
// for a wrong signature or a version outside 220..700.
bool ReadSignature(ArchiveReader& r, TEntJwwHeader& h);

// Sizes the tables, then reads the header into doc.Enthd and the tables.
// False (with the reader's failure set) for a wrong signature, a version
// outside 220..700, or a header that ends before its last field.
bool ReadHeader(ArchiveReader& r, TJwwData& doc, TJwwReadStatus* where = nullptr);

// The extended colour and line-type tables a header carries.
struct ExTables {
  const std::vector<TEntJwwColorExNo>& colors;
  const std::vector<TEntJwwLineTypeExNo>& line_types;
};

// Writes the header for version `ver` with the extended tables `ex` (from
// 420 on). Values are adjusted on their way to the file only (clamps, default
// names); the document is not changed.
void WriteHeader(ArchiveWriter& w, const TJwwData& doc, const ExTables& ex, std::int32_t ver);

// Sizes the header tables to their fixed lengths, new entries zeroed.
void SizeHeaderTables(TJwwData& doc);

// Sets the extended colour and line-type tables to those Jw_cad gives a new
// drawing (names empty). A drawing read from a version below 420 has none
// of its own.
void InitExTables(std::vector<TEntJwwColorExNo>& colors,
                  std::vector<TEntJwwLineTypeExNo>& line_types);

}  // namespace plattero
