#pragma once
// Basic types of the module-aware solver: literals, truth values, the clause
// layout and the clause region, built on the shared MiniSat-family
// containers with this family's out-of-memory exception.
#include <cassert>
#include <cstdint>

#include "sat/mtl/occ_lists.h"
#include "sat/mtl/options.h"
#include "sat/mtl/region.h"
#include "sat/mtl/solver_types.h"
#include "sat/mtl/sort.h"
#include "sat/mtl/vec.h"

namespace MinisatModified {

// Thrown when a vector or the clause region cannot grow.
class OutOfMemoryException {};

template <class T>
using vec = varnok::sat::mtl::Vec<T, OutOfMemoryException>;

// The option classes of this family (one global option list).
struct OptionFamily {};
typedef varnok::sat::mtl::Option<OptionFamily> Option;
typedef varnok::sat::mtl::BoolOption<OptionFamily> BoolOption;
typedef varnok::sat::mtl::IntOption<OptionFamily> IntOption;
typedef varnok::sat::mtl::DoubleOption<OptionFamily> DoubleOption;
using varnok::sat::mtl::DoubleRange;
using varnok::sat::mtl::IntRange;

using varnok::sat::mtl::l_False;
using varnok::sat::mtl::l_True;
using varnok::sat::mtl::l_Undef;
using varnok::sat::mtl::lbool;
using varnok::sat::mtl::Lit;
using varnok::sat::mtl::lit_Error;
using varnok::sat::mtl::lit_Undef;
using varnok::sat::mtl::mkLit;
using varnok::sat::mtl::sign;
using varnok::sat::mtl::toInt;
using varnok::sat::mtl::toLbool;
using varnok::sat::mtl::toLit;
using varnok::sat::mtl::var;
using varnok::sat::mtl::Var;
using varnok::sat::mtl::var_Undef;
using varnok::sat::mtl::sort;

typedef uint32_t CRef;
const CRef CRef_Undef = 0xFFFFFFFFu;
const CRef CRef_Module = 0xFFFFFFFEu;

// Clause in the region. Header word: bits 0-1 mark (0 live, 1 deleted, 2
// temporary), bit 2 learnt, bit 3 module, bit 4 has extra word, bit 5
// relocated, bit 6 hasSubsumed, bits 7-31 size. Then the literals, then the
// optional extra word (activity of a learnt clause, else abstraction).
class Clause {
  uint32_t header;
  union Data {
    Lit lit;
    float act;
    uint32_t abs;
    CRef rel;
  } data[];

  friend class ClauseAllocator;

  static constexpr uint32_t kMarkMask = 3u;
  static constexpr uint32_t kLearnt = 1u << 2;
  static constexpr uint32_t kModule = 1u << 3;
  static constexpr uint32_t kHasExtra = 1u << 4;
  static constexpr uint32_t kReloced = 1u << 5;
  static constexpr uint32_t kHasSubsumed = 1u << 6;
  static constexpr uint32_t kSizeShift = 7;

  template <class V>
  Clause(const V& ps, bool use_extra, bool learnt, bool module) {
    header = ((uint32_t)ps.size() << kSizeShift) | (learnt ? kLearnt : 0) | (module ? kModule : 0) |
             (use_extra ? kHasExtra : 0);
    for (int i = 0; i < ps.size(); i++) data[i].lit = ps[i];
    if (use_extra) {
      if (learnt)
        data[size()].act = 0;
      else
        calcAbstraction();
    }
  }

 public:
  void calcAbstraction() {
    assert(has_extra());
    uint32_t abstraction = 0;
    for (int i = 0; i < size(); i++) abstraction |= 1u << (var(data[i].lit) & 31);
    data[size()].abs = abstraction;
  }

  int size() const { return (int)(header >> kSizeShift); }
  void shrink(int i) {
    assert(i <= size());
    if (has_extra()) data[size() - i] = data[size()];
    header -= (uint32_t)i << kSizeShift;
  }
  void pop() { shrink(1); }
  bool learnt() const { return (header & kLearnt) != 0; }
  bool module() const { return (header & kModule) != 0; }
  bool has_extra() const { return (header & kHasExtra) != 0; }
  uint32_t mark() const { return header & kMarkMask; }
  void mark(uint32_t m) { header = (header & ~kMarkMask) | (m & kMarkMask); }
  bool hasSubsumed() const { return (header & kHasSubsumed) != 0; }
  void setHasSubsumed(bool b) { header = b ? (header | kHasSubsumed) : (header & ~kHasSubsumed); }
  const Lit& last() const { return data[size() - 1].lit; }

  bool reloced() const { return (header & kReloced) != 0; }
  CRef relocation() const { return data[0].rel; }
  void relocate(CRef c) {
    header |= kReloced;
    data[0].rel = c;
  }

  Lit& operator[](int i) { return data[i].lit; }
  Lit operator[](int i) const { return data[i].lit; }
  operator const Lit*(void) const { return (const Lit*)data; }

  float& activity() {
    assert(has_extra());
    return data[size()].act;
  }
  uint32_t abstraction() const {
    assert(has_extra());
    return data[size()].abs;
  }

  // lit_Error: no relation; lit_Undef: this clause subsumes other;
  // otherwise other can be strengthened by removing the negation of the
  // returned literal.
  Lit subsumes(const Clause& other) const;
  // Removes p (present) from the clause and recomputes the abstraction.
  void strengthen(Lit p);
};

// Allocates clauses in a region of 32-bit words.
class ClauseAllocator {
  varnok::sat::mtl::RegionAllocator<uint32_t, OutOfMemoryException> ra;

  static int clauseWord32Size(int size, bool has_extra) { return 1 + size + (int)has_extra; }

 public:
  bool extra_clause_field = false;

  explicit ClauseAllocator(uint32_t start_cap) : ra(start_cap) {}
  ClauseAllocator() : ra() {}

  void moveTo(ClauseAllocator& to) {
    to.extra_clause_field = extra_clause_field;
    ra.moveTo(to.ra);
  }

  template <class V>
  CRef alloc(const V& ps, bool learnt = false, bool module = false) {
    bool use_extra = learnt || extra_clause_field;
    CRef cid = ra.alloc(clauseWord32Size(ps.size(), use_extra));
    new (lea(cid)) Clause(ps, use_extra, learnt, module);
    return cid;
  }

  uint32_t size() const { return ra.size(); }
  uint32_t wasted() const { return ra.wasted(); }
  void reset() { ra.reset(); }

  Clause& operator[](CRef r) { return (Clause&)ra[r]; }
  const Clause& operator[](CRef r) const { return (const Clause&)ra[r]; }
  Clause* lea(CRef r) { return (Clause*)ra.lea(r); }
  // Without the bounds assertion, for propagation and analysis.
  Clause& at(CRef r) { return *(Clause*)ra.unchecked(r); }
  const Clause* lea(CRef r) const { return (const Clause*)ra.lea(r); }
  CRef ael(const Clause* t) { return (CRef)((const uint32_t*)t - ra.lea(0)); }

  void free(CRef cid) {
    Clause& c = operator[](cid);
    ra.free(clauseWord32Size(c.size(), c.has_extra()));
  }

  // Copies the clause into `to` (once; later calls follow the forwarding
  // reference) and updates cr.
  void reloc(CRef& cr, ClauseAllocator& to);
};

// A read-only view of literals for allocation.
struct LitSpan {
  const Lit* lits;
  int n;
  int size() const { return n; }
  Lit operator[](int i) const { return lits[i]; }
};

// Literals wrapped for occurrence lists indexed by literal.
struct LitIndex {
  int operator()(const Lit& p) const { return p.x; }
};

inline Lit Clause::subsumes(const Clause& other) const {
  assert(!learnt());
  assert(!other.learnt());
  assert(has_extra());
  assert(other.has_extra());
  if (other.size() < size() || (abstraction() & ~other.abstraction()) != 0) return lit_Error;

  Lit ret = lit_Undef;
  const Lit* c = (const Lit*)(*this);
  const Lit* d = (const Lit*)other;
  for (int i = 0; i < size(); i++) {
    bool matched = false;
    for (int j = 0; j < other.size(); j++) {
      if (c[i] == d[j]) {
        matched = true;
        break;
      } else if (ret == lit_Undef && c[i] == ~d[j]) {
        ret = c[i];
        matched = true;
        break;
      }
    }
    if (!matched) return lit_Error;
  }
  return ret;
}

inline void Clause::strengthen(Lit p) {
  int n = size();
  int i = 0;
  while (i < n && data[i].lit != p) i++;
  assert(i < n);
  for (; i < n - 1; i++) data[i].lit = data[i + 1].lit;
  pop();
  calcAbstraction();
}

inline void ClauseAllocator::reloc(CRef& cr, ClauseAllocator& to) {
  Clause& c = operator[](cr);
  if (c.reloced()) {
    cr = c.relocation();
    return;
  }
  CRef ncr = to.alloc(LitSpan{(const Lit*)c, c.size()}, c.learnt(), c.module());
  Clause& nc = to[ncr];
  nc.mark(c.mark());
  nc.setHasSubsumed(c.hasSubsumed());
  if (nc.learnt())
    nc.activity() = c.activity();
  else if (nc.has_extra())
    nc.calcAbstraction();
  c.relocate(ncr);
  cr = ncr;
}

}  // namespace MinisatModified
