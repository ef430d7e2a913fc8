#pragma once

// Room for large lists. Fresh memory costs one page fault per 4 KiB page on
// first touch; a list of many megabytes filled once (a drawing being read or
// combined) is cheaper to back with 2 MiB pages where the system offers them
// on request.

#include <cstddef>
#include <vector>

#include "platform/memory.h"

namespace plattero {

// reserve() that also advises huge pages for the room not yet in use, where
// the room is large.
template <class T>
void ReserveLarge(std::vector<T>& list, std::size_t capacity) {
  if (capacity <= list.capacity()) return;
  list.reserve(capacity);
  platform::AdviseHugePages(list.data() + list.size(), (list.capacity() - list.size()) * sizeof(T));
}

}  // namespace plattero
