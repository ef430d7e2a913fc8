#include "window/file_list.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <unordered_set>

#include "platform/file_system.h"
#include "platform/text_services.h"
#include "util/files.h"
#include "util/numbers.h"
#include "util/text.h"

namespace plattero::window {

namespace {

bool IsJwwName(const std::u16string& path) {
  try {
    return LowerFileExt(path) == u".jww";
  } catch (const InvalidPathError&) {
    return false;  // a name with characters we cannot take
  }
}

std::u16string Hex7(std::size_t v) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string out(7, u'0');
  for (int i = 6; i >= 0; --i, v >>= 4)
    out[static_cast<std::size_t>(i)] = kDigits[v & 0xF];
  return out;
}

}  // namespace

bool DeleteSelected(TFileList& list, int& selected) {
  if (list.empty() || selected < 0 || static_cast<std::size_t>(selected) >= list.size()) {
    return false;
  }
  list.erase(list.begin() + selected);
  selected = -1;
  return true;
}

bool DeleteSelectedKeepingPlace(TFileList& list, int& selected) {
  const int row = selected;
  if (!DeleteSelected(list, selected)) return false;
  selected = std::min(row, static_cast<int>(list.size()) - 1);
  return true;
}

bool MoveSelectedUp(TFileList& list, int& selected) {
  if (list.empty() || selected <= 0 || static_cast<std::size_t>(selected) >= list.size()) {
    return false;
  }
  std::swap(list[static_cast<std::size_t>(selected) - 1], list[static_cast<std::size_t>(selected)]);
  --selected;
  return true;
}

bool MoveSelectedDown(TFileList& list, int& selected) {
  if (list.empty() || selected < 0 || static_cast<std::size_t>(selected) + 1 >= list.size()) {
    return false;
  }
  std::swap(list[static_cast<std::size_t>(selected)], list[static_cast<std::size_t>(selected) + 1]);
  ++selected;
  return true;
}

TFileList AcceptDroppedFiles(const TFileList& listed, const TFileList& dropped) {
  struct TListed {
    std::u16string path;
    std::optional<platform::TFileId> id;
  };
  std::vector<TListed> seen;
  seen.reserve(listed.size() + dropped.size());
  for (const std::u16string& p : listed)
    seen.push_back({p, platform::FileIdentity(p)});
  TFileList taken;
  for (const std::u16string& p : dropped) {
    if (!IsJwwName(p)) continue;
    const std::optional<platform::TFileId> id = platform::FileIdentity(p);
    const bool listed_already = std::any_of(seen.begin(), seen.end(), [&](const TListed& s) {
      return platform::SameFileName(s.path, p) || (id && s.id == id);
    });
    if (listed_already || !IsExistingFile(p)) continue;
    seen.push_back({p, id});
    taken.push_back(p);
  }
  return taken;
}

std::u16string DropCountMessage(std::size_t count) {
  return IntStr(static_cast<std::int32_t>(std::min<std::size_t>(count, INT32_MAX))) +
         u"個のファイルを一覧に追加しました。";
}

std::u16string SortNameOf(const std::u16string& path) {
  return platform::NameOf(path);
}

std::u16string SortKey(const std::u16string& path, std::size_t index) {
  return SortNameOf(path) + u" :" + Hex7(index) + path;
}

TSortResult SortFileList(const TFileList& list, bool descending) {
  TSortResult result;
  std::vector<std::size_t> order(list.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::vector<std::u16string> names;
  names.reserve(list.size());
  for (const std::u16string& p : list)
    names.push_back(SortNameOf(p));
  const platform::TFileNameCollator collator;
  // The position breaks ties, as the digits after the name do in the key.
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const int c = collator.Compare(names[a], names[b]);
    return c != 0 ? c < 0 : a < b;
  });
  result.keys.reserve(list.size());
  for (std::size_t i : order)
    result.keys.push_back(SortKey(list[i], i));
  if (descending) std::reverse(order.begin(), order.end());
  result.list.reserve(list.size());
  for (std::size_t i : order)
    result.list.push_back(list[i]);
  return result;
}

}  // namespace plattero::window
