#pragma once

// The block-name table of a tiling run: one row per block definition of the
// combined drawing, whose index is the number every reference to it carries
// there. The base drawing's used definitions come first; an added drawing's
// definition shares the row of one of the same name key and contents, or is
// copied under a row of its own, under a name of its own when its name key is
// taken by other contents. The table maps each drawing's definition numbers
// to rows.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "jww/jww_data.h"
#include "tiling/report.h"

namespace plattero {

// One row of the block-name table.
struct TBlkNameList {
  std::int32_t idx = 0;  // the base drawing's definition index; 0 for copied ones
  std::uint32_t nn = 0;  // the base drawing's definition number as read; 0 for copied ones
  std::u16string nam1;   // the definition's name
  std::u16string nam2;   // its name key
  std::int32_t cnt = 0;
};

// The name key: the name before the first "@@SFIGORGFLAG@@" (any case).
std::u16string BlockNameKey(const std::u16string& name);

class TBlockNameTable {
 public:
  // The number a block reference gets when its drawing has no definition for
  // it: no row and no definition of the combined drawing takes it, so the
  // reference keeps pointing at nothing.
  static constexpr std::uint32_t kNoBlockRow = 0x80000000u;

  // Rebuilds the table from the base drawing's used definitions (ref_flag),
  // in their order. A definition named like an earlier one of other contents
  // takes a name of its own (or that of its twin among the renamed), in
  // `base` too; its references keep their row, found by number.
  void GetBlockName1(TJwwData& base);
  // The first row of the name key of s, or -1.
  std::int32_t GetBlockNameNo(const std::u16string& s) const;
  // The row of the base drawing's definition number n (the first row with
  // that number); kNoBlockRow, counted as dangling, when there is none.
  std::uint32_t GetBlockNumberNo(std::uint32_t n);

  // Decides for every used definition of an added drawing the row it takes:
  // that of a definition of the same name key and contents, or a new one,
  // under a name of its own when its name key is taken by other contents.
  // Its references are renamed before (a renamed image is another image).
  void PlanDefinitions(const TJwwData& added);
  // The name the planned drawing's definition `def` is copied under, or
  // nothing when it is not copied (unused, or sharing a row).
  const std::optional<std::u16string>& CopyAs(std::size_t def) const;
  // Which definitions of the planned drawing bring curve numbers of their
  // own: those of name keys new to the run, and those copied.
  std::vector<bool> NewDefinitions(const TJwwData& added) const;
  // Appends the row of the definition copied last into `combined` (the last
  // of its list); returns the row.
  std::uint32_t GetBlockName2(const TJwwData& combined);
  // The row of the planned drawing's definition number n; kNoBlockRow,
  // counted as dangling, when it has no used definition of that number.
  std::uint32_t GetBlockNumberNo2(std::uint32_t n);

  // The definitions given another name than their own since the last call.
  std::vector<TBlockRename> TakeRenamed();
  // The references numbered kNoBlockRow since the last call.
  std::size_t TakeDangling();

  const std::vector<TBlkNameList>& Rows() const { return BlkNam; }
  // Forgets the definitions' contents (the table's rows stay until the next
  // GetBlockName1).
  void ForgetContents() { content_row_.clear(); }

 private:
  void AppendRow(std::int32_t idx, std::uint32_t nn, const std::u16string& name);
  // Remembers a row's contents under the name key its definition came with.
  void NoteContents(const std::u16string& key, std::string contents, std::int32_t row);
  // `name` with "_2", "_3" ... after its name key: the first whose key no row
  // and none of `taken` has.
  std::u16string FreeName(const std::u16string& name,
                          const std::unordered_set<std::u16string>& taken);
  // The planned drawing's definition of number n, or -1.
  std::int32_t DefinitionOf(std::uint32_t n) const;

  std::vector<TBlkNameList> BlkNam;
  std::unordered_map<std::u16string, std::int32_t> name_row_;  // nam2 -> first row
  std::unordered_map<std::uint32_t, std::int32_t> nn_row_;     // nn -> first row
  // Rows by name key and contents (BlockContents), so that a definition is
  // shared only with one that shows the same.
  std::unordered_map<std::string, std::int32_t> content_row_;
  std::unordered_map<std::u16string, std::int32_t> next_suffix_;  // name key -> next "_n"
  // The planned drawing: its used definitions by number (the first one
  // wins), the row each takes (-1: unused) and, for those copied, the name
  // they are copied under.
  std::unordered_map<std::uint32_t, std::int32_t> def_of_;
  std::vector<std::int32_t> row_of_;
  std::vector<std::optional<std::u16string>> copy_as_;
  std::vector<TBlockRename> renamed_;
  std::size_t dangling_ = 0;
};

}  // namespace plattero
