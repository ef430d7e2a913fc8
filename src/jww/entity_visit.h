#pragma once

// The entity kinds as types: one dispatch from an `EntType` to its record
// type and list, for everything that walks entities.

#include <cstddef>
#include <type_traits>
#include <vector>

#include "jww/jwwtype.h"

namespace plattero {

// The entity kind (kEntLine .. kEntBlock) of a record type.
template <class E>
constexpr int KindOf() {
  using R = std::remove_const_t<E>;
  if constexpr (std::is_same_v<R, TEntJwwLine>) return kEntLine;
  if constexpr (std::is_same_v<R, TEntJwwEnko>) return kEntEnko;
  if constexpr (std::is_same_v<R, TEntJwwTen>) return kEntTen;
  if constexpr (std::is_same_v<R, TEntJwwMoji>) return kEntMoji;
  if constexpr (std::is_same_v<R, TEntJwwSunpo>) return kEntSunpo;
  if constexpr (std::is_same_v<R, TEntJwwSolid>) return kEntSolid;
  if constexpr (std::is_same_v<R, TEntJwwBlock>) return kEntBlock;
  return 0;
}

namespace entity_visit_detail {
template <class E, class F>
bool Call(F& f) {
  if constexpr (std::is_void_v<decltype(f(std::type_identity<E>{}))>) {
    f(std::type_identity<E>{});
    return true;
  } else {
    return f(std::type_identity<E>{});
  }
}
}  // namespace entity_visit_detail

// Calls f(std::type_identity<Record>{}) for entity kind `kind` (1..7) and
// returns what f returns (true when f returns nothing); false for any other
// kind.
template <class F>
bool WithEntityKind(int kind, F&& f) {
  using entity_visit_detail::Call;
  switch (kind) {
    case kEntLine:
      return Call<TEntJwwLine>(f);
    case kEntEnko:
      return Call<TEntJwwEnko>(f);
    case kEntTen:
      return Call<TEntJwwTen>(f);
    case kEntMoji:
      return Call<TEntJwwMoji>(f);
    case kEntSunpo:
      return Call<TEntJwwSunpo>(f);
    case kEntSolid:
      return Call<TEntJwwSolid>(f);
    case kEntBlock:
      return Call<TEntJwwBlock>(f);
    default:
      return false;
  }
}

// Calls f(std::type_identity<Record>{}) for each entity kind in kind order.
template <class F>
void WithEachEntityKind(F&& f) {
  for (int kind = kEntLine; kind <= kEntBlock; ++kind)
    WithEntityKind(kind, [&](auto type) { f(type); });
}

// The list of record type E in a set of entity lists (EntityListsIn or
// EntityListsOut, or anything with the same members).
template <class E, class Lists>
auto& ListOf(Lists& l) {
  constexpr int kind = KindOf<E>();
  if constexpr (kind == kEntLine) return l.line;
  if constexpr (kind == kEntEnko) return l.enko;
  if constexpr (kind == kEntTen) return l.ten;
  if constexpr (kind == kEntMoji) return l.moji;
  if constexpr (kind == kEntSunpo) return l.sunpo;
  if constexpr (kind == kEntSolid) return l.solid;
  if constexpr (kind == kEntBlock) return l.block;
}

// Calls f(record) with the record an order entry designates; false when it
// designates nothing (a kind outside 1..7 or an index outside its list).
template <class Lists, class F>
bool VisitEntity(const TEntJwwNo& no, Lists& lists, F&& f) {
  if (no.EntNo < 0) return false;
  const auto i = static_cast<std::size_t>(no.EntNo);
  return WithEntityKind(no.EntType, [&](auto type) {
    auto& list = ListOf<typename decltype(type)::type>(lists);
    if (i >= list.size()) return false;
    f(list[i]);
    return true;
  });
}

// Calls f(record) for every record the order designates, in order.
template <class Lists, class F>
void ForEachEntity(Lists& lists, F&& f) {
  for (const TEntJwwNo& no : lists.order)
    VisitEntity(no, lists, f);
}

}  // namespace plattero
