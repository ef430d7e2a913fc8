#include "tiling/block_names.h"

#include <functional>
#include <utility>

#include "jww/archive.h"
#include "jww/entity_io.h"
#include "tiling/entity_attrs.h"
#include "util/numbers.h"
#include "util/text.h"

namespace plattero {

namespace {

using tiling_detail::AttrOf;

constexpr char16_t kSigMarker[] = u"@@SFIGORGFLAG@@";

// What a definition shows, as bytes that are equal exactly when two
// definitions show the same: its attributes and its entities as the writer
// stores them, curve numbers by their order of first appearance (each
// drawing numbers its own) and nested references by what `placed` makes of
// their numbers (the row of the definition they place). Name, number and
// time stay out.
std::string BlockContents(const TEntJwwBlockDef& def,
                          const std::function<std::uint32_t(std::uint32_t)>& placed) {
  TEntJwwBlockDef b = def;
  EntityListsOut lists = NestedLists(b);
  std::unordered_map<std::uint32_t, std::uint32_t> order;
  auto renumber = [&order](std::uint32_t& c) {
    if (c != 0) c = order.emplace(c, static_cast<std::uint32_t>(order.size() + 1)).first->second;
  };
  renumber(b.att.lGroup);
  for (const TEntJwwNo& no : b.mNo) {
    if (TEntJwwAttr* att = AttrOf(lists, no)) renumber(att->lGroup);
  }
  MemorySink sink;
  {
    ArchiveWriter w(sink);
    w.SetUtf16(true);  // no text may lose characters to the code page
    WriteAttr(w, 700, b.att, kEntBlockDef);
    ClassTable classes;
    EntityWriteContext ctx;
    ctx.block_no = placed;
    WriteEntityList(w, classes, ctx, NestedLists(std::as_const(b)));
    w.Flush();
  }
  return std::string(sink.bytes.begin(), sink.bytes.end());
}

// A name key and contents as one text, for looking both up at once.
std::string Keyed(const std::u16string& key, const std::string& contents) {
  std::string s = std::to_string(key.size()) + ':';
  for (char16_t c : key) {
    s += static_cast<char>(c & 0xFF);
    s += static_cast<char>(c >> 8);
  }
  return s + contents;
}

}  // namespace

std::u16string BlockNameKey(const std::u16string& name) {
  std::int32_t p = PosIndex(kSigMarker, UpperStr(name));
  return p >= 0 ? SubStr(name, 0, p) : name;
}

void TBlockNameTable::AppendRow(std::int32_t idx, std::uint32_t nn, const std::u16string& name) {
  const auto row = static_cast<std::int32_t>(BlkNam.size());
  TBlkNameList& r = BlkNam.emplace_back();
  r.idx = idx;
  r.nn = nn;
  r.nam1 = name;
  r.nam2 = BlockNameKey(name);
  name_row_.emplace(r.nam2, row);
  nn_row_.emplace(nn, row);
}

void TBlockNameTable::GetBlockName1(TJwwData& base) {
  BlkNam.clear();
  name_row_.clear();
  nn_row_.clear();
  content_row_.clear();
  next_suffix_.clear();
  renamed_.clear();
  dangling_ = 0;
  for (std::size_t i = 0; i < base.EntBlockDef.size(); ++i) {
    const TEntJwwBlockDef& b = base.EntBlockDef[i];
    if (b.ref_flag) AppendRow(static_cast<std::int32_t>(i), b.nNumber, b.strName);
  }
  // A definition named like an earlier one of other contents takes a name of
  // its own (or that of its twin among the renamed); its references keep
  // their row, found by number. Twins under one name stay as they are.
  std::unordered_set<std::u16string> taken;
  for (const TEntJwwBlockDef& b : base.EntBlockDef)
    taken.insert(BlockNameKey(b.strName));
  auto placed = [this](std::uint32_t n) {
    auto it = nn_row_.find(n);
    return it == nn_row_.end() ? kNoBlockRow : static_cast<std::uint32_t>(it->second);
  };
  for (std::size_t r = 0; r < BlkNam.size(); ++r) {
    TEntJwwBlockDef& b = base.EntBlockDef[static_cast<std::size_t>(BlkNam[r].idx)];
    const std::u16string key = BlkNam[r].nam2;
    std::string contents = BlockContents(b, placed);
    std::u16string name;
    auto twin = content_row_.find(Keyed(key, contents));
    if (twin != content_row_.end()) {
      if (BlkNam[twin->second].nam2 != key) name = BlkNam[twin->second].nam1;
    } else if (name_row_.at(key) != static_cast<std::int32_t>(r)) {
      name = FreeName(b.strName, taken);
    }
    if (!name.empty()) {
      renamed_.push_back({b.strName, name});
      b.strName = name;
      BlkNam[r].nam1 = name;
      BlkNam[r].nam2 = BlockNameKey(name);
      name_row_.emplace(BlkNam[r].nam2, static_cast<std::int32_t>(r));
      taken.insert(BlkNam[r].nam2);
    }
    NoteContents(key, std::move(contents), static_cast<std::int32_t>(r));
  }
}

void TBlockNameTable::NoteContents(const std::u16string& key, std::string contents,
                                   std::int32_t row) {
  content_row_.emplace(Keyed(key, contents), row);
}

std::u16string TBlockNameTable::FreeName(const std::u16string& name,
                                         const std::unordered_set<std::u16string>& taken) {
  std::u16string key = BlockNameKey(name);
  // The marker and what follows it stay, so the result is still the same
  // kind of block name. A name too long to take a number is cut first.
  std::u16string rest = name.substr(key.size());
  constexpr std::size_t kKept = 1024;
  if (rest.size() > kKept) rest.clear();
  if (key.size() > kKept) {
    key.resize(kKept);
    if (key.back() >= 0xD800 && key.back() <= 0xDBFF) key.pop_back();
  }
  std::int32_t& next = next_suffix_.try_emplace(key, 2).first->second;
  for (;; ++next) {
    const std::u16string candidate = key + u"_" + IntStr(next);
    if (!name_row_.count(candidate) && !taken.count(candidate)) {
      ++next;
      return candidate + rest;
    }
  }
}

std::int32_t TBlockNameTable::DefinitionOf(std::uint32_t n) const {
  auto it = def_of_.find(n);
  return it == def_of_.end() ? -1 : it->second;
}

void TBlockNameTable::PlanDefinitions(const TJwwData& added) {
  const std::size_t count = added.EntBlockDef.size();
  def_of_.clear();
  for (std::size_t i = 0; i < count; ++i) {
    const TEntJwwBlockDef& b = added.EntBlockDef[i];
    if (b.ref_flag) def_of_.emplace(b.nNumber, static_cast<std::int32_t>(i));
  }
  row_of_.assign(count, -1);
  copy_as_.assign(count, std::nullopt);
  // While planning, a definition stands for the row it shares, or for a
  // number past every row (it is new here): contents that place it then
  // match no row's, so a definition placing a new one is new itself.
  const std::uint64_t rows = BlkNam.size();
  std::vector<std::uint32_t> identity(count);
  for (std::size_t d = 0; d < count; ++d)
    identity[d] = static_cast<std::uint32_t>(rows + d);
  std::vector<bool> is_new(count, false), copied(count, false);
  std::vector<std::ptrdiff_t> twin_of(count, -1);
  auto placed = [&](std::uint32_t n) {
    const std::int32_t d = DefinitionOf(n);
    return d < 0 ? kNoBlockRow : identity[static_cast<std::size_t>(d)];
  };
  // Definitions new in this drawing by name key and contents: a second one
  // alike is their twin and shares the first one's copy.
  std::unordered_map<std::string, std::size_t> firsts;
  auto decide = [&](std::size_t d, bool must_be_new) {
    const TEntJwwBlockDef& b = added.EntBlockDef[d];
    std::string keyed = Keyed(BlockNameKey(b.strName), BlockContents(b, placed));
    if (!must_be_new) {
      auto it = content_row_.find(keyed);
      if (it != content_row_.end()) {
        identity[d] = static_cast<std::uint32_t>(it->second);
        row_of_[d] = it->second;
        return;
      }
    }
    is_new[d] = true;
    const auto [first, inserted] = firsts.emplace(std::move(keyed), d);
    if (inserted) {
      copied[d] = true;
    } else {
      twin_of[d] = static_cast<std::ptrdiff_t>(first->second);
      identity[d] = identity[first->second];
    }
  };
  // Depth first with an explicit stack (nesting depth is up to the file): a
  // definition is decided after everything it places. One met again on its
  // own path (a cycle) makes the path new.
  enum : std::uint8_t { kUnseen, kOpen, kDecided };
  std::vector<std::uint8_t> state(count, kUnseen);
  struct TFrame {
    std::size_t def;
    std::size_t next = 0;
    bool must_be_new = false;
  };
  std::vector<TFrame> stack;
  for (std::size_t root = 0; root < count; ++root) {
    if (!added.EntBlockDef[root].ref_flag || state[root] != kUnseen) continue;
    state[root] = kOpen;
    stack.push_back({root});
    while (!stack.empty()) {
      TFrame& f = stack.back();
      const std::vector<TEntJwwBlock>& refs = added.EntBlockDef[f.def].mBlock;
      if (f.next == refs.size()) {
        const TFrame done = f;
        stack.pop_back();
        decide(done.def, done.must_be_new);
        state[done.def] = kDecided;
        if (!stack.empty() && is_new[done.def]) stack.back().must_be_new = true;
        continue;
      }
      const std::int32_t c = DefinitionOf(refs[f.next++].nNumber);
      if (c < 0) continue;
      const auto child = static_cast<std::size_t>(c);
      if (state[child] == kOpen || (state[child] == kDecided && is_new[child])) {
        f.must_be_new = true;
      } else if (state[child] == kUnseen) {
        state[child] = kOpen;
        stack.push_back({child});
      }
    }
  }

  // Rows in list order, as the copies are appended; names: its own, unless
  // a row or an earlier copy of this drawing has its name key already.
  std::unordered_set<std::u16string> taken, claimed;
  for (const TEntJwwBlockDef& b : added.EntBlockDef)
    taken.insert(BlockNameKey(b.strName));
  auto row = static_cast<std::int32_t>(rows);
  for (std::size_t d = 0; d < count; ++d) {
    if (!copied[d]) continue;
    row_of_[d] = row++;
    const std::u16string& own = added.EntBlockDef[d].strName;
    const std::u16string key = BlockNameKey(own);
    if (!name_row_.count(key) && claimed.insert(key).second) {
      copy_as_[d] = own;
    } else {
      copy_as_[d] = FreeName(own, taken);
      claimed.insert(BlockNameKey(*copy_as_[d]));
      taken.insert(BlockNameKey(*copy_as_[d]));
    }
  }
  for (std::size_t d = 0; d < count; ++d) {
    if (twin_of[d] >= 0) row_of_[d] = row_of_[static_cast<std::size_t>(twin_of[d])];
  }
  auto placed_row = [&](std::uint32_t n) {
    const std::int32_t d = DefinitionOf(n);
    return d < 0 ? kNoBlockRow : static_cast<std::uint32_t>(row_of_[static_cast<std::size_t>(d)]);
  };
  for (std::size_t d = 0; d < count; ++d) {
    if (row_of_[d] < 0) continue;
    const std::u16string& own = added.EntBlockDef[d].strName;
    const std::size_t source = twin_of[d] >= 0 ? static_cast<std::size_t>(twin_of[d]) : d;
    const std::u16string& now =
        is_new[d] ? *copy_as_[source] : BlkNam[static_cast<std::size_t>(row_of_[d])].nam1;
    if (BlockNameKey(now) != BlockNameKey(own)) renamed_.push_back({own, now});
    if (copied[d]) {
      NoteContents(BlockNameKey(own), BlockContents(added.EntBlockDef[d], placed_row), row_of_[d]);
    }
  }
}

const std::optional<std::u16string>& TBlockNameTable::CopyAs(std::size_t def) const {
  static const std::optional<std::u16string> kNone;
  return def < copy_as_.size() ? copy_as_[def] : kNone;
}

std::vector<bool> TBlockNameTable::NewDefinitions(const TJwwData& added) const {
  std::vector<bool> fresh(added.EntBlockDef.size());
  for (std::size_t i = 0; i < fresh.size(); ++i) {
    const TEntJwwBlockDef& b = added.EntBlockDef[i];
    fresh[i] = CopyAs(i).has_value() || (b.ref_flag && GetBlockNameNo(b.strName) == -1);
  }
  return fresh;
}

std::uint32_t TBlockNameTable::GetBlockName2(const TJwwData& combined) {
  AppendRow(0, 0, combined.EntBlockDef.back().strName);
  return static_cast<std::uint32_t>(BlkNam.size() - 1);
}

std::int32_t TBlockNameTable::GetBlockNameNo(const std::u16string& s) const {
  auto it = name_row_.find(BlockNameKey(s));
  return it == name_row_.end() ? -1 : it->second;
}

std::uint32_t TBlockNameTable::GetBlockNumberNo(std::uint32_t n) {
  auto it = nn_row_.find(n);
  if (it != nn_row_.end()) return static_cast<std::uint32_t>(it->second);
  // No definition of the drawing has this number: the reference points at
  // nothing, as it did in its own drawing, and not at whatever row 0 is.
  ++dangling_;
  return kNoBlockRow;
}

std::uint32_t TBlockNameTable::GetBlockNumberNo2(std::uint32_t n) {
  const std::int32_t d = DefinitionOf(n);
  const std::int32_t row = d < 0 || static_cast<std::size_t>(d) >= row_of_.size()
                               ? -1
                               : row_of_[static_cast<std::size_t>(d)];
  if (row >= 0) return static_cast<std::uint32_t>(row);
  ++dangling_;
  return kNoBlockRow;
}

std::vector<TBlockRename> TBlockNameTable::TakeRenamed() {
  return std::exchange(renamed_, {});
}

std::size_t TBlockNameTable::TakeDangling() {
  return std::exchange(dangling_, 0);
}

}  // namespace plattero
