#pragma once
// Operations on the literals of a problem clause, shared by the clause
// records of every solver family: they use only the clause's size, literal
// access, shrink and abstraction.
#include <cassert>

#include "sat/mtl/solver_types.h"

namespace varnok {
namespace sat {
namespace mtl {

// Subsumption test between problem clauses: lit_Error when `c` does not
// subsume `other`; lit_Undef when it does; a literal p when `c` with p
// negated subsumes `other` (so ~p can be removed from `other`).
template <class C>
inline Lit subsumesClause(const C& c, const C& other) {
  assert(!c.learnt() && !other.learnt());
  assert(c.has_extra() && other.has_extra());
  if (other.size() < c.size() || (c.abstraction() & ~other.abstraction()) != 0) return lit_Error;
  Lit ret = lit_Undef;
  const Lit* a = (const Lit*)c;
  const Lit* b = (const Lit*)other;
  for (int i = 0; i < c.size(); i++) {
    bool found = false;
    for (int j = 0; j < other.size(); j++) {
      if (a[i] == b[j]) {
        found = true;
        break;
      } else if (ret == lit_Undef && a[i] == ~b[j]) {
        ret = a[i];
        found = true;
        break;
      }
    }
    if (!found) return lit_Error;
  }
  return ret;
}

// Removes p (present) from `c` and recomputes its abstraction.
template <class C>
inline void removeLiteral(C& c, Lit p) {
  int n = c.size();
  int i = 0;
  while (i < n && c[i] != p) i++;
  assert(i < n);
  for (; i < n - 1; i++) c[i] = c[i + 1];
  c.shrink(1);
  c.calcAbstraction();
}

}  // namespace mtl
}  // namespace sat
}  // namespace varnok
