#pragma once

// What a tiling run tells its front end: why it refused or stopped, where
// each drawing went, and what became of each drawing that did not merge
// whole, as typed items with the data a message needs. The words are made
// above the engine (messages/tiling_messages.h).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jww/jww_data.h"
#include "platform/file_system.h"
#include "tiling/choices.h"
#include "tiling/layout.h"
#include "tiling/paper_fit.h"

namespace plattero {

// A layer group holding entities at another scale than the base drawing's
// same group (100 is 1:100).
struct TGroupScale {
  int group = 0;
  double scale = 0, base_scale = 0;
};

// Where one layer group of an added drawing went in the combined drawing,
// with the scale its entities have (100 is 1:100).
struct TGroupPlaced {
  int from = 0, to = 0;
  double scale = 0;
};

// A layer (group * 16 + layer as the drawing numbers them), or a whole layer
// group when `layer` is -1.
struct TLayerRef {
  int group = 0;
  int layer = -1;
};

// A block definition that keeps its contents under another name.
struct TBlockRename {
  std::u16string name, new_name;
};

// What became of one drawing that did not merge whole, or (kSameAsBase) a
// notice.
struct TTileWarning {
  enum Kind {
    kMissing = 0,     // a listed drawing that does not exist: skipped
    kPartlyRead,      // a listed drawing read only in part
    kBasePartlyRead,  // the base drawing read only in part
    kImageLeftOut,    // an embedded image of `file` (base or listed) not carried over
    kDanglingBlock,   // `file` places blocks it has no definition for
    kNotDrawing,      // a listed file that is no drawing at all: skipped
    kPaperSize,       // its paper differs from its tile's size (base stepping)
    kBeyondCell,      // its content reaches past its paper into another tile's cell
    kScale,           // layer groups holding entities at scales other than the base's
    kHidden,          // entities on layers the base drawing hides: hidden in the result
    kUnhidden,        // entities on layers it hides that the base shows: shown in the result
    kOverlap,         // its cell overlaps an earlier tile's (a negative gap)
    kBlockRenamed,    // blocks named like earlier ones of other contents: renamed
    kSameAsBase,      // a notice, no problem: the base drawing listed at (0, 0), not added
    kGroups,          // a notice: where its layer groups went (groups of their own)
    kNoFreeGroup,     // groups of another scale kept in their own number: no free group left
    kPaperTooSmall,   // the run's paper holds the arrangement not even at the smallest reduction
  } kind = kMissing;
  std::u16string file;
  // The list row the item is about; -1 for the base drawing.
  std::ptrdiff_t tile = -1;
  // kPartlyRead, kBasePartlyRead, kNotDrawing: where and why the read stopped.
  TJwwReadStatus read;
  // kImageLeftOut: the image and why it was left out. kNotWritten with no
  // error in its status: it could be neither moved nor copied into the
  // combined drawing's folder, and the system said nothing.
  TImageLeftOut image;
  // kDanglingBlock: how many references place a block without definition.
  std::size_t references = 0;
  // kPaperSize: the drawing's paper and its tile's (the base drawing's).
  TPaperSize paper, tile_paper;
  // kBeyondCell: the tile whose cell its content reaches into; kOverlap: the
  // earlier tile whose cell its own overlaps. Counted from 0.
  std::size_t other_tile = 0;
  std::vector<TGroupScale> scales;   // kScale, kNoFreeGroup, by group
  std::vector<TGroupPlaced> placed;  // kGroups, by group of the drawing
  // kPaperTooSmall: the paper (paper.nZumen) and the reduction it was tried at.
  double reduction = 1;
  std::vector<TLayerRef> layers;     // kHidden, kUnhidden, by group and layer
  std::vector<TBlockRename> blocks;  // kBlockRenamed, in the order they were named
};

// What the last run of an engine did.
struct TTilingReport {
  // Why it did not start or stopped before adding any drawing (kBaseNotDrawing,
  // kGapX, kGapY); nothing else of the report holds then. The base drawing's
  // read status says why it is no drawing.
  std::optional<TRefusal> refusal;
  TJwwReadStatus base_read;
  // Where each listed drawing went, with the paper each drawing that was
  // read has; with a paper or reduction chosen, where it lies in the result
  // and as large as it is drawn there.
  std::vector<TTilePlace> places;
  // What the result lacks or shows otherwise than the drawings did.
  std::vector<TTileWarning> warnings;
  // What the run did that the user should know but need not worry about
  // (kSameAsBase): no reason to ask before saving or to refuse a strict run.
  std::vector<TTileWarning> notices;
  // The paper, reduction and centring when the run chose a paper or a
  // reduction (kPaperTooSmall when it does not fit).
  std::optional<TPaperFit> paper;
  // With a reduction: every group holding entities, its scale in the result
  // (`scale`) and before the reduction (`base_scale`).
  std::vector<TGroupScale> reduced_scales;
};

// How writing the combined drawing went.
struct TSaveResult {
  bool ok = false;
  std::u16string file;                           // as the caller named it
  TWriteFailure failure = TWriteFailure::kNone;  // why it failed
  platform::TFileStatus status;                  // the file system's reason, for kFile
};

}  // namespace plattero
