#pragma once

// The merge engine: reads a base drawing, appends every listed drawing at its
// own tile offset (block definitions, curve numbers, text types and images
// kept consistent) and saves the result as one drawing of version 700.
//
// It never shows anything: checks and saving return the fixed messages the
// front end displays. The run is split where a front end steps in:
//   CheckInputs -> Merge (reports each row as it starts) -> Save -> Cleanup.
// Cleanup always runs; TTilingRun does it on every way out.

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "jww/jww_data.h"

namespace plattero {

// Paper size of a drawing (landscape, millimetres) and its caption.
struct TPaperSize {
  double papx = 0, papy = 0;
  std::u16string caption;
};
TPaperSize PaperSizeOf(std::int32_t nZumen);
// True for the codes of the paper size table; any other code reads as A0.
bool IsKnownPaper(std::int32_t nZumen);
inline constexpr char16_t kNoPaperCaption[] = u"（用紙）";
inline constexpr char16_t kBaseMissingMessage[] = u"ベース図面が見つかりません。再指定して下さい";
inline constexpr char16_t kBaseNotDrawingMessage[] =
    u"ベース図面を図面ファイルとして読み込めません。再指定して下さい";

// The message for a count or gap field whose value cannot be used: the
// field's caption followed by " の数値を再入力して下さい。".
std::u16string ReenterMessage(std::u16string_view caption);
inline constexpr char16_t kGapXCaption[] = u"横間隔：";
inline constexpr char16_t kGapYCaption[] = u"縦間隔：";

// Why a file could not be written, in the words of the window's messages.
std::u16string FileErrorReason(const platform::TFileStatus& status);

// The count label for an arrangement order: "縦数：" for columns, else "横数：".
std::u16string CountLabelFor(int order);

// How far apart the tiles lie: every tile the base drawing's paper, or each
// drawing's own paper (rows as tall, columns as wide, as their largest sheet).
enum class TTileSize { kBase, kOwn };

// What the user chose, as the window's fields hold it.
struct TTilingInputs {
  std::vector<std::u16string> files;  // full paths, in tiling order
  std::u16string base_file;
  int order = 0;  // 0 right-up, 1 right-down, 2 up-right, 3 (and any other) down-right
  std::u16string count_text = u"3";
  std::u16string gap_x_text = u"10";
  std::u16string gap_y_text = u"10";
  TTileSize tile_size = TTileSize::kBase;
};

// One row of the block name table; the row index is the block number the
// references carry in the combined drawing.
struct TBlkNameList {
  std::int32_t idx = 0;
  std::uint32_t nn = 0;
  std::u16string nam1;
  std::u16string nam2;
  std::int32_t cnt = 0;
};

// The name key: the name before the first "@@SFIGORGFLAG@@" (any case).
std::u16string BlockNameKey(const std::u16string& name);

// A text the merge leaves out: start equal to end, or placed at (0,0)-(0.01,0.01).
bool IsFilteredText(const TEntJwwMoji& m);

// What became of one drawing that did not merge whole.
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
  } kind = kMissing;
  std::u16string file;
  // The list row the warning is about; -1 for the base drawing.
  std::ptrdiff_t tile = -1;
  // kPaperSize: the drawing's paper caption and the tile's, e.g. "（A2）".
  // kScale, kHidden, kUnhidden: the groups or layers and what differs, as
  // WarningLine shows them ("[1] 1/50→1/100", "[0-3]"). kOverlap: the number
  // (from 1) of the earlier tile. kBlockRenamed: each block's name and the
  // name it got ("「扉」→「扉_2」").
  std::u16string detail, detail2;
  std::string reason;  // why, in English, for the command line
  // kImageLeftOut: the image and why it was left out.
  std::u16string image;
  TImageLeftOut::Kind image_problem = TImageLeftOut::kNotWritten;
  platform::TFileStatus status;
};

// Why an image was left out, in English, for the command line.
std::string ImageLeftOutReason(const TImageLeftOut& left);

// Where one listed drawing goes: its origin (the centre of its paper) moves
// to (x, y); its cell, centred there, is cell_w by cell_h; its own paper is
// paper_w by paper_h. Cells of neighbours lie the gaps apart and overlap only
// when a gap is negative.
struct TTilePlace {
  double x = 0, y = 0;
  double cell_w = 0, cell_h = 0;
  double paper_w = 0, paper_h = 0;
};

// The paper a tile is laid out with: the drawing's own when its code is
// known, else the base drawing's.
TPaperSize TilePaperOf(std::optional<std::int32_t> nZumen, const TPaperSize& base);

// The places of the listed drawings, with count and gaps taken from their
// texts as a run takes them. papers[i] is drawing i's paper (TilePaperOf);
// missing entries count as the base paper. kBase: the offsets of TileOffsets
// and cells of the base paper. kOwn: each row (column, for orders 2 and 3)
// as tall (wide) as its largest sheet, each cell as wide (tall) as its own
// sheet, rows and cells aligned on the first tile's edges, the first tile at
// (0, 0).
std::vector<TTilePlace> TilePlaces(const TTilingInputs& in, const TPaperSize& base,
                                   const std::vector<TPaperSize>& papers);

// For each place, an earlier one whose cell overlaps its own by more than
// an edge, or -1. The first cell is the base drawing's too. Places that are
// no finite numbers are left out.
std::vector<std::ptrdiff_t> OverlappedCells(const std::vector<TTilePlace>& places);

// The tile offsets of n files for an order, count and gaps.
std::vector<std::pair<double, double>> TileOffsets(std::size_t files, int order, std::int32_t n,
                                                   double gx, double gy, double papx, double papy);
// The tile offsets of the listed drawings, with the count and the gaps taken
// from their texts as a run takes them (a gap that is no number, or too large
// for a double, is 0).
std::vector<std::pair<double, double>> TileOffsets(const TTilingInputs& in, double papx,
                                                   double papy);

class TTilingEngine {
 public:
  // Image folders of the combined drawing and of the drawing being added,
  // each ending with "/". They must exist.
  TTilingEngine(std::u16string tmp_path, std::u16string tmp_path2);

  // The fixed message of the first failing input check, or nothing.
  static std::optional<std::u16string> CheckInputs(const TTilingInputs& in);
  // The same checks in the same order, told whether the base drawing was
  // found instead of looking at the disk (a preview checks on the window's
  // thread, which must not wait for a file system).
  static std::optional<std::u16string> CheckChoices(const TTilingInputs& in, bool base_found);
  // The gap message when a tile offset for this paper would not be a finite
  // number (a gap too large for the format), else nothing.
  static std::optional<std::u16string> CheckOffsets(const TTilingInputs& in, double papx,
                                                    double papy);
  static std::optional<std::u16string> CheckOffsets(const std::vector<TTilePlace>& places);

  // Reads the base drawing into JWW and sets the paper size (also used when
  // the user picks a base drawing, to show its paper). A file whose header
  // cannot be read leaves the paper caption at "（用紙）" and BaseRead()
  // false.
  void SetBaseFile(const std::u16string& base_file);
  bool BaseRead() const { return base_read_; }

  // Reads the base drawing and appends every listed drawing. `on_row` is
  // called with each row's index as it starts; it may throw to stop the run
  // there (the documents are then left for Cleanup). CheckInputs must have
  // passed.
  // Returns the message that stops the run before any drawing is added (a
  // base drawing that is no drawing, a gap too large), or nothing. Every
  // warning of the run is in Warnings() when it returns; with kOwn each
  // drawing's header is read first for its paper. A listed drawing that is
  // the base drawing's file, placed at (0, 0), would lie on the base's own
  // content twice: it is not added, and Notices() says so.
  std::optional<std::u16string> Merge(const TTilingInputs& in,
                                      const std::function<void(std::size_t)>& on_row = {});

  // Writes the combined drawing with version 700. Returns the fixed success
  // message (with one more line per notice and per warning: a drawing skipped
  // or only partly read, an image left out, a block without definition ...)
  // or the failure message with the reason on a second line.
  struct TSaveResult {
    bool ok = false;
    std::u16string message;
    platform::TFileStatus status;  // why it failed
  };
  TSaveResult Save(const std::u16string& fn);

  // Empties both documents with their image files and the image list.
  void Cleanup();

  // Empties a document together with the image files it extracted.
  static void JwwDataFree(TJwwData& doc);

  // What the result lacks or shows otherwise than the drawings did.
  const std::vector<TTileWarning>& Warnings() const { return warnings_; }
  // What the run did that the user should know but need not worry about
  // (kSameAsBase): no reason to ask before saving or to refuse a strict run.
  const std::vector<TTileWarning>& Notices() const { return notices_; }
  // Where the last Merge placed each listed drawing, with the paper each
  // drawing that was read has.
  const std::vector<TTilePlace>& Places() const { return places_; }
  // One line per warning, as the success message and the CLI show them.
  static std::u16string WarningLine(const TTileWarning& w);

  // --- State of the run (public for tests and front ends to inspect) ---
  TJwwData JWW;   // the combined drawing
  TJwwData JWW2;  // the drawing being added
  double papx = 0, papy = 0;
  std::u16string LabelPap = kNoPaperCaption;
  bool JwwMoji = false;
  std::vector<TBlkNameList> BlkNam;
  std::vector<std::int32_t> CrvNo1;
  std::int64_t CrvNo = 0;
  std::vector<TBindImageType> GFile;
  std::u16string TmpPath, TmpPath2;

  // --- Steps of the merge, in the names of the window they came from ---
  void LoadAddFile(const std::u16string& fn, double x, double y);
  std::uint32_t GetJWWMojisyuNo(double mx, double my, double md, std::int32_t co) const;
  void GetBlockName1();
  void GetBlockName2();
  std::int32_t GetBlockNameNo(const std::u16string& s) const;
  std::uint32_t GetBlockNumberNo(std::uint32_t n) const;
  std::uint32_t GetBlockNumberNo2(std::uint32_t n) const;
  void SetBlockNumber1();
  void JWWGetCrvNo();
  void JWW2GetCrvNo();
  void JWWSetCrvNo1(std::uint32_t& c) const;
  void JWW2SetCrvNo1(std::uint32_t& c) const;
  void JWW2SetCrvNo1(TEntJwwAttr& att) const { JWW2SetCrvNo1(att.lGroup); }

  // The number a block reference gets when its drawing has no definition for
  // it: no row of the block name table and no definition of the combined
  // drawing takes it, so the reference keeps pointing at nothing.
  static constexpr std::uint32_t kNoBlockRow = 0x80000000u;

 private:
  void AppendBlockRow(std::int32_t idx, std::uint32_t nn, const std::u16string& name);
  // Decides for every used definition of JWW2 the row it takes: that of a
  // definition of the same name key and contents, or a new one, under a name
  // of its own when its name key is taken by other contents.
  void PlanBlockDefinitions();
  // Remembers a row's contents under the name key its definition came with.
  void NoteBlockContents(const std::u16string& key, std::string contents, std::int32_t row);
  // `name` with "_2", "_3" ... after its name key: the first whose key no row
  // and none of `taken` has.
  std::u16string FreeBlockName(const std::u16string& name,
                               const std::unordered_set<std::u16string>& taken);
  void NoteRenamedBlocks(const std::u16string& file);
  void CountCurveNumber(std::int32_t c);
  std::int32_t CurveIndex(std::int32_t c) const;
  void ResetCurveNumbers();
  void MergeImages(const std::u16string& file);
  void NoteImagesLeftOut(const TJwwData& doc, const std::u16string& file);
  void NoteDanglingBlocks(const std::u16string& file);
  // The papers of the listed drawings from their headers (kOwn only; none
  // for kBase, whose tiles all take the base paper).
  std::vector<TPaperSize> ReadPapers(const TTilingInputs& in, const TPaperSize& base) const;
  // What the gzip images of a run over these drawings may unpack to.
  std::uint64_t RunUnpackBudget(const std::vector<std::u16string>& inputs) const;
  // A name of its own for an image of the drawing being added that clashes
  // with another image of the same name.
  std::u16string FreeImageName(const std::u16string& shown, const std::u16string& gz_suffix);
  void RenameImageReferences(std::vector<TEntJwwMoji>& texts) const;
  // LoadAddFile in three steps: reading the drawing into ahead_doc_ on
  // another thread, taking it into JWW2 (false when the file is missing),
  // and appending JWW2 at an offset.
  enum class TAheadRead { kMissing, kRead, kPartlyRead, kNotDrawing };
  std::future<TAheadRead> ReadAhead(const std::u16string& fn);
  bool TakeAhead(TAheadRead read, const std::u16string& fn);
  void AppendAddFile(double x, double y);

  std::unordered_map<std::u16string, std::int32_t> name_row_;    // nam2 -> first row
  std::unordered_map<std::uint32_t, std::int32_t> nn_row_;       // nn -> first row
  std::unordered_map<std::int32_t, std::int32_t> crv_index_;     // value -> first index
  std::unordered_map<std::uint32_t, std::int32_t> jww2_def_of_;  // used def number -> index
  // Rows by name key and contents (BlockContents), so that a definition is
  // shared only with one that shows the same.
  std::unordered_map<std::string, std::int32_t> content_row_;
  std::unordered_map<std::u16string, std::int32_t> next_block_suffix_;  // name key -> next "_n"
  // Per definition of JWW2: the row its references take (-1: unused), and
  // for those copied the name they are copied under.
  std::vector<std::int32_t> jww2_row_;
  std::vector<std::optional<std::u16string>> jww2_copy_as_;
  // Definitions given another name than their own since the last
  // NoteRenamedBlocks: their own name and the new one.
  std::vector<std::pair<std::u16string, std::u16string>> renamed_blocks_;
  // Image names of the drawing being added that were renamed (upper-cased old
  // name -> new name), so its references show its own image.
  std::unordered_map<std::u16string, std::u16string> image_renames_;
  std::vector<TTileWarning> warnings_;
  std::vector<TTileWarning> notices_;
  std::vector<TTilePlace> places_;
  bool base_read_ = false;
  // References renumbered to kNoBlockRow since the last NoteDanglingBlocks.
  mutable std::size_t dangling_blocks_ = 0;
  // What the run's gzip images may still unpack to.
  std::uint64_t unpack_budget_ = 0;
  // Renamed images by upper-cased stem: the next number to try, and the
  // images given a name of that stem by their contents' hash (so that an
  // identical image of a later tile shares the name).
  struct TRenames {
    std::int32_t next = 2;
    std::unordered_multimap<std::uint64_t, std::size_t> by_hash;  // hash -> GFile row
  };
  std::unordered_map<std::u16string, TRenames> renamed_;
  // Upper-cased name -> first row of GFile with that name.
  std::unordered_map<std::u16string, std::size_t> gfile_rows_;
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
