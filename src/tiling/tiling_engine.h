#pragma once

// The merge engine: reads a base drawing, appends every listed drawing at its
// own tile offset (block definitions, curve numbers, text types and images
// kept consistent through the merge tables) and saves the result as one
// drawing of version 700.
//
// It takes typed choices (tiling/choices.h) and returns a typed report
// (tiling/report.h); it never shows or words anything. The run is split where
// a front end steps in:
//   CheckInputs -> Merge (reports each row as it starts) -> Save -> Cleanup.
// Cleanup always runs; TTilingRun does it on every way out.

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jww/jww_data.h"
#include "jww/transform.h"
#include "tiling/block_names.h"
#include "tiling/choices.h"
#include "tiling/curve_numbers.h"
#include "tiling/drawing_traits.h"
#include "tiling/images.h"
#include "tiling/layer_groups.h"
#include "tiling/layout.h"
#include "tiling/report.h"

namespace plattero {

class TTilingEngine {
 public:
  // Image folders of the combined drawing and of the drawing being added,
  // each ending with a separator. They must exist.
  TTilingEngine(std::u16string tmp_path, std::u16string tmp_path2);

  // Whether the drawings' embedded images are extracted into the folders
  // (the default). Without folders to extract into, images are left out and
  // the result shows none.
  void ExtractImages(bool on);
  bool ExtractsImages() const;

  // CheckChoices, looking at the disk for the base drawing.
  static std::optional<TRefusal> CheckInputs(const TTilingInputs& in);

  // Reads the base drawing into the combined drawing and takes its paper
  // (also used when the user picks a base drawing, to show its paper). A file
  // that is missing or whose header cannot be read leaves no paper.
  void SetBaseFile(const std::u16string& base_file);
  // The paper of the base drawing the last SetBaseFile read, if any.
  const std::optional<TPaperSize>& BasePaper() const { return base_paper_; }

  // Reads the base drawing and appends every listed drawing. `on_row` is
  // called with each row's index as it starts; it may throw to stop the run
  // there (the documents are then left for Cleanup). CheckInputs must have
  // passed. Returns the refusal that stops the run before any drawing is
  // added (a base drawing that is no drawing, a gap too large), or nothing.
  // The report holds the run's places, warnings and notices when it returns;
  // with kOwn each drawing's header is read first for its paper. A listed
  // drawing that is the base drawing's file, placed at (0, 0), would lie on
  // the base's own content twice: it is not added, and a notice says so.
  std::optional<TRefusal> Merge(const TTilingInputs& in,
                                const std::function<void(std::size_t)>& on_row = {});

  // Writes the combined drawing with version 700.
  TSaveResult Save(const std::u16string& fn);

  // Empties both documents with their image files and the image list.
  void Cleanup();

  // Empties a document together with the image files it extracted.
  static void JwwDataFree(TJwwData& doc);

  // What the last Merge did (and what SetBaseFile found since).
  const TTilingReport& Report() const { return report_; }
  // The combined drawing as the last Merge left it, until Cleanup.
  const TJwwData& Combined() const { return JWW; }

 private:
  // How reading a listed drawing ahead went.
  enum class TAheadRead { kMissing, kRead, kPartlyRead, kNotDrawing };

  // Reads the drawing into ahead_doc_ on another thread.
  std::future<TAheadRead> ReadAhead(const std::u16string& fn);
  // Adds listed drawing `tile`, taken into JWW2, at its place: compares it
  // with the base drawing (and warns when its cell overlaps the earlier tile
  // `overlapped`) and appends it.
  // `move` (when the run chose a paper or a reduction) is where its content
  // goes instead of its place.
  void LoadAddFile(std::size_t tile, const TTilingInputs& in, const TDrawingTraits& base_traits,
                   const TTileCells& cells, std::ptrdiff_t overlapped,
                   const std::optional<TMoveScale>& move);
  // With groups of their own: sends JWW2's groups where the plan says, and
  // turns its traits into those of the groups it ends up in.
  void PlaceGroups(std::size_t tile, TDrawingTraits& own);
  // Decides the paper and reduction; each tile's move, empty when nothing moves.
  std::vector<TMoveScale> PlanPaper(const TTilingInputs& in, const std::vector<TPaperSize>& papers);
  // After every tile: group scales divided, paper set, text types matched again.
  void FinishPaper();
  // Takes the drawing read ahead into JWW2; false when there is none to add.
  bool TakeAhead(TAheadRead read, const std::u16string& fn);
  // Appends JWW2 at (x, y): its images, block definitions and entities.
  void AppendAddFile(double x, double y, const std::optional<TMoveScale>& move);
  // The papers of the listed drawings from their headers (kOwn only; none
  // for kBase, whose tiles all take the base paper).
  std::vector<TPaperSize> ReadPapers(const TTilingInputs& in, const TPaperSize& base) const;
  // What the gzip images of a run over these drawings may unpack to.
  std::uint64_t RunUnpackBudget(const std::vector<std::u16string>& inputs) const;

  void Warn(TTileWarning w);
  void NoteImagesLeftOut(const TJwwData& doc, const std::u16string& file);
  void NoteDanglingBlocks(const std::u16string& file);
  void NoteRenamedBlocks(const std::u16string& file);

  TJwwData JWW;   // the combined drawing
  TJwwData JWW2;  // the drawing being added
  std::u16string TmpPath;
  // The base drawing's paper (papx, papy: the tile pitch of base stepping).
  std::optional<TPaperSize> base_paper_;
  // Some merged drawing stores its texts as UTF-16: so does the result.
  bool JwwMoji = false;
  TBlockNameTable blocks_;
  TCurveNumbers curves_;
  TImageTable images_;
  TTilingReport report_;
  // The groups of the combined drawing, with groups of their own.
  std::optional<TLayerGroupPlan> plan_;
  // The combined drawing's groups as the plan has given them out so far.
  TDrawingTraits combined_traits_;
  // With a paper or a reduction chosen: where each tile lies in the result.
  std::vector<TTilePlace> moved_places_;
  // What the run's gzip images may still unpack to.
  std::uint64_t unpack_budget_ = 0;
  // The drawing being added, for its warnings.
  std::u16string current_file_;
  // Bytes of the drawing being added and of those after it, over its own
  // bytes: how many drawings like it the run still expects.
  double drawings_ahead_ = 1.0;
  // The next listed drawing, read on another thread while the current one is
  // appended. Its images are kept in memory, so it never touches the image
  // folders.
  std::unique_ptr<TJwwData> ahead_doc_ = std::make_unique<TJwwData>();
};

// Runs Cleanup when it goes out of scope, whatever happened meanwhile.
class TTilingRun {
 public:
  explicit TTilingRun(TTilingEngine& engine) : engine_(engine) {}
  TTilingRun(const TTilingRun&) = delete;
  TTilingRun& operator=(const TTilingRun&) = delete;
  ~TTilingRun() { engine_.Cleanup(); }

 private:
  TTilingEngine& engine_;
};

}  // namespace plattero
