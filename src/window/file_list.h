#pragma once

// The file list of the main window without the widget: the list operations
// of the buttons, the filter for dropped files, and sorting by file name.
// A selection is a row index, -1 for none.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace plattero::window {

using TFileList = std::vector<std::u16string>;

// Delete: removes the selected entry; no entry is selected afterwards.
// Returns whether something changed.
bool DeleteSelected(TFileList& list, int& selected);
// The Delete key: removes the selected entry and selects the one that took
// its place (the new last one when it was the last), so that entries can be
// removed one after the other.
bool DeleteSelectedKeepingPlace(TFileList& list, int& selected);

// Moves the selected entry one place up or down, the selection with it.
// Nothing happens without a selection or at the end of the list.
bool MoveSelectedUp(TFileList& list, int& selected);
bool MoveSelectedDown(TFileList& list, int& selected);

// The dropped paths to append, in the order given: only ".jww" files (any
// case of the extension) that exist as files and are not listed yet; a path
// dropped twice is taken once. A path is listed when an entry names the same
// file: by its name as the file system compares names (without regard to
// case on Windows, exactly elsewhere), or by the file's identity.
TFileList AcceptDroppedFiles(const TFileList& listed, const TFileList& dropped);

// The status bar text after a drop.
std::u16string DropCountMessage(std::size_t count);

// The file-name part of a path: the text after its last separator.
std::u16string SortNameOf(const std::u16string& path);

// The key of the entry at position `index`: file name, " :", the position as
// seven upper-case hex digits, then the path.
std::u16string SortKey(const std::u16string& path, std::size_t index);

struct TSortResult {
  TFileList list;                    // the entries in their new order
  std::vector<std::u16string> keys;  // the sort keys, ascending
};

// Sorts by file name, ascending or descending. Entries with equal names keep
// their relative order when ascending and are reversed when descending (the
// descending order is the ascending one read backwards).
TSortResult SortFileList(const TFileList& list, bool descending);

}  // namespace plattero::window
