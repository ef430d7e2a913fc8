#pragma once

// Synthetic drawings for tests and benchmarks: a document filled
// deterministically with every kind of entity, block definitions, nested
// placements and embedded images, with values that survive a write and a read
// unchanged.

#include <cstddef>
#include <cstdint>
#include <string>

#include "jww/jww_data.h"

namespace plattero::testing {

// Empties the document (DataInit: the image folder and flags are kept) and
// gives it a header and tables as a fresh Jw_cad drawing has them: tables at
// their fixed sizes, layer group scales 1, pen colours and widths, text types
// 1..10 with distinct sizes, paper `paper` (nZumen) and version `version`
// (jwVer). Fields a file of that version does not carry keep the values a
// reader leaves in them, so the header survives a write and a read unchanged.
void InitDrawing(TJwwData& doc, std::int32_t version = 700, std::int32_t paper = 3);

struct DrawingSpec {
  std::int32_t version = 700;
  std::int32_t paper = 3;    // nZumen, 3 = A3
  double scale = 1;          // every layer group's scale (100 is 1:100)
  std::uint16_t groups = 0;  // entities on the first `groups` layer groups only (0: all 16)
  std::size_t lines = 0, arcs = 0, points = 0, texts = 0, dimensions = 0, solids = 0;
  std::size_t block_defs = 0;     // definitions, each holding a few entities
  std::size_t block_refs = 0;     // top-level references spread over the definitions
  std::size_t nesting = 1;        // definitions nest this deep (def i places def i+1 up to depth)
  std::size_t images = 0;         // embedded images (gzip); needs doc.BindImageFolder set to an
                                  // existing folder
  std::size_t curve_numbers = 0;  // distinct non-zero lGroup values spread over entities
                                  // (0 = all zero)
  bool japanese = true;           // Japanese texts, block names, layer names
  bool utf16 = false;  // strings meant to be written in UTF-16 form (sets doc.MojiEncode; the
                       // caller uses SetFileOutOption(32))
  std::uint32_t seed = 1;
};

// Fills doc deterministically as `spec` asks. Runs InitDrawing first unless the
// document already holds a drawing of spec.version (a header the caller set up
// is then kept); replaces the entities, block definitions and image list.
//
// Entities stand in a mixed order in EntNo, every kind present when its count
// is above 0; texts carry Japanese strings and font names; dimensions have
// bSxfMode 1 for version 420 and above; some points have nPenStyle 100 and
// some solids nPenColor 10. Block definitions are numbered 0, 1, ... and named
// "部品0", "部品1" ... (every fourth with the "@@SfigorgFlag@@" marker and a
// suffix); definition i places definition i+1 within chains of spec.nesting,
// and the top-level references go round the chain heads (a chain that no
// reference reaches is not written by FileOut). For version 700 and above,
// each image is a gzip file "画像<i>.bmp.gz" (a small BMP inside) written into
// doc.BindImageFolder, listed in doc.BindImage and referred to by one text
// "^@BM%temp%画像<i>.bmp,..." in addition to spec.texts; BindImageExp and
// BindImageExr are set. Values respect the writer's normalisation for the
// version, so the document survives FileOut and FileIn unchanged (the image
// rows' exf aside). Calls MakeBlockTree at the end.
void BuildDrawing(const DrawingSpec& spec, TJwwData& doc);

// Builds and writes a drawing file of spec.version; returns FileOut's result.
// Images, if any, are made in a scratch folder that is removed afterwards.
bool WriteDrawing(const DrawingSpec& spec, const std::string& path);

// The drawings the window's pictures list, into `folder` (ending with "/"):
// 配置図.jww, a 1:200 site plan, then 1階平面図.jww, 2階平面図.jww and
// 立面図.jww at 1:100 and 断面図.jww at 1:50, ten lines each on A3.
bool WriteSampleSheets(const std::string& folder);

// A scratch folder, removed with everything in it when the object dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, ending with "/".
  const std::string& path() const { return path_; }
  std::u16string upath() const;
  // path() + name, as UTF-8 and as UTF-16.
  std::string file(const std::string& name) const { return path_ + name; }
  std::u16string ufile(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace plattero::testing
