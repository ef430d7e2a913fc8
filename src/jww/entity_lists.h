#pragma once

// The entity lists of a document's top level and of a block definition, as
// the views the list readers and writers take.

#include "jww/entity_io.h"
#include "jww/jww_data.h"

namespace plattero {

inline EntityListsOut TopLevelLists(TJwwData& d) {
  return {d.EntNo, d.EntLine, d.EntEnko, d.EntTen, d.EntMoji, d.EntSunpo, d.EntSolid, d.EntBlock};
}

inline EntityListsIn TopLevelLists(const TJwwData& d) {
  return {d.EntNo, d.EntLine, d.EntEnko, d.EntTen, d.EntMoji, d.EntSunpo, d.EntSolid, d.EntBlock};
}

inline EntityListsOut NestedLists(TEntJwwBlockDef& b) {
  return {b.mNo, b.mLine, b.mEnko, b.mTen, b.mMoji, b.mSunpo, b.mSolid, b.mBlock};
}

inline EntityListsIn NestedLists(const TEntJwwBlockDef& b) {
  return {b.mNo, b.mLine, b.mEnko, b.mTen, b.mMoji, b.mSunpo, b.mSolid, b.mBlock};
}

}  // namespace plattero
