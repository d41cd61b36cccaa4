#pragma once
// Occurrence lists with lazy removal: one list per index (literal or
// variable), a dirty flag per index and a list of dirty indices. Removal of
// an element elsewhere only marks the lists that hold it dirty; a dirty list
// drops its deleted elements (as judged by `Deleted`) when it is looked up
// through lookup() or by cleanAll().
//
// MkIndex maps an index value to its int position (e.g. a literal to its
// code); Deleted tells whether an element is deleted.
#include "sat/mtl/vec.h"

namespace varnok {
namespace sat {
namespace mtl {

template <class Idx>
struct MkIndexDefault {
  int operator()(const Idx& i) const { return static_cast<int>(i); }
};

template <class Idx, class Elem, class Deleted, class OOM, class MkIndex = MkIndexDefault<Idx> >
class OccLists {
  Vec<Vec<Elem, OOM>, OOM> occs;
  Vec<char, OOM> dirty;
  Vec<Idx, OOM> dirties;
  Deleted deleted;
  MkIndex index;

 public:
  explicit OccLists(const Deleted& d, MkIndex i = MkIndex()) : deleted(d), index(i) {}

  void init(const Idx& idx) {
    occs.growTo(index(idx) + 1);
    dirty.growTo(index(idx) + 1, 0);
  }
  int size() const { return occs.size(); }
  Vec<Elem, OOM>& operator[](const Idx& idx) { return occs[index(idx)]; }
  const Vec<Elem, OOM>& operator[](const Idx& idx) const { return occs[index(idx)]; }
  Vec<Elem, OOM>& lookup(const Idx& idx) {
    if (dirty[index(idx)]) clean(idx);
    return occs[index(idx)];
  }

  void cleanAll();
  void clean(const Idx& idx);
  void smudge(const Idx& idx) {
    if (dirty[index(idx)] == 0) {
      dirty[index(idx)] = 1;
      dirties.push(idx);
    }
  }
  void clear(bool free = true) {
    occs.clear(free);
    dirty.clear(free);
    dirties.clear(free);
  }
};

template <class Idx, class Elem, class Deleted, class OOM, class MkIndex>
void OccLists<Idx, Elem, Deleted, OOM, MkIndex>::cleanAll() {
  for (int i = 0; i < dirties.size(); i++) {
    // Dirties may contain duplicates (after clean() of a single list).
    if (dirty[index(dirties[i])]) clean(dirties[i]);
  }
  dirties.clear();
}

template <class Idx, class Elem, class Deleted, class OOM, class MkIndex>
void OccLists<Idx, Elem, Deleted, OOM, MkIndex>::clean(const Idx& idx) {
  Vec<Elem, OOM>& vec = occs[index(idx)];
  int i, j;
  for (i = j = 0; i < vec.size(); i++) {
    if (!deleted(vec[i])) vec[j++] = vec[i];
  }
  vec.shrink(i - j);
  dirty[index(idx)] = 0;
}

}  // namespace mtl
}  // namespace sat
}  // namespace varnok
