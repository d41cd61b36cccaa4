#pragma once
// Basic types of the MiniSat back end: variables, literals, lifted booleans,
// clauses and the clause arena.
#include <cassert>
#include <cstdint>
#include <new>

#include "sat/minisat/mtl.h"

namespace Minisat {

// Variables, literals and lifted booleans are the family's shared types:
// a literal is 2 x variable + sign (sign 1 negated); an lbool is 0 true,
// 1 false, 2 undefined.
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
using varnok::sat::mtl::operator~;
using varnok::sat::mtl::operator^;

// Index of a literal in per-literal lists.
struct LitIndex {
  int operator()(Lit p) const { return p.x; }
};

// ---------------------------------------------------------------------------
// Clauses

typedef uint32_t CRef;
constexpr CRef CRef_Undef = 0xFFFFFFFFu;

class ClauseAllocator;

// A clause lives in consecutive 32-bit words of the arena: one header word,
// the literals, and optionally one extra word (activity of a learnt clause,
// abstraction of a problem clause).
//
// Header bits from the least significant: mark (2), learnt (1), has_extra (1),
// reloced (1), hasSubsumed (1), size (26).
class Clause {
  uint32_t header;

  enum : uint32_t {
    kMarkMask = 3u,
    kLearnt = 1u << 2,
    kHasExtra = 1u << 3,
    kReloced = 1u << 4,
    kHasSubsumed = 1u << 5,
    kSizeShift = 6
  };

  union Data {
    Lit lit;
    float act;
    uint32_t abs;
    CRef rel;
  };
  static_assert(sizeof(Data) == 4, "clause word must be 32 bits");

  Data* data() { return reinterpret_cast<Data*>(reinterpret_cast<uint32_t*>(this) + 1); }
  const Data* data() const {
    return reinterpret_cast<const Data*>(reinterpret_cast<const uint32_t*>(this) + 1);
  }

  friend class ClauseAllocator;

  template <class V>
  Clause(const V& ps, bool use_extra, bool learnt) {
    header = ((uint32_t)ps.size() << kSizeShift) | (learnt ? kLearnt : 0u) |
             (use_extra ? kHasExtra : 0u);
    for (int i = 0; i < ps.size(); i++) data()[i].lit = ps[i];
    if (use_extra) {
      if (learnt)
        data()[size()].act = 0;
      else
        calcAbstraction();
    }
  }

 public:
  void calcAbstraction() {
    assert(has_extra());
    uint32_t abstraction = 0;
    for (int i = 0; i < size(); i++) abstraction |= 1u << (var(data()[i].lit) & 31);
    data()[size()].abs = abstraction;
  }

  int size() const { return (int)(header >> kSizeShift); }
  void shrink(int i) {
    assert(i <= size());
    if (has_extra()) data()[size() - i] = data()[size()];
    header -= (uint32_t)i << kSizeShift;
  }
  void pop() { shrink(1); }
  bool learnt() const { return header & kLearnt; }
  bool has_extra() const { return header & kHasExtra; }
  uint32_t mark() const { return header & kMarkMask; }
  void mark(uint32_t m) { header = (header & ~kMarkMask) | (m & kMarkMask); }
  bool reloced() const { return header & kReloced; }
  CRef relocation() const { return data()[0].rel; }
  void relocate(CRef c) {
    header |= kReloced;
    data()[0].rel = c;
  }
  bool hasSubsumed() const { return header & kHasSubsumed; }
  void setHasSubsumed(bool b) { header = b ? (header | kHasSubsumed) : (header & ~kHasSubsumed); }

  const Lit& last() const { return data()[size() - 1].lit; }
  Lit& operator[](int i) { return data()[i].lit; }
  Lit operator[](int i) const { return data()[i].lit; }
  operator const Lit*(void) const { return &data()[0].lit; }

  float& activity() {
    assert(has_extra());
    return data()[size()].act;
  }
  uint32_t abstraction() const {
    assert(has_extra());
    return data()[size()].abs;
  }

  Lit subsumes(const Clause& other) const;
  void strengthen(Lit p);
};

// The clause arena: one growing region of 32-bit words addressed by CRef.
typedef RegionAllocator<uint32_t> ClauseRegion;

class ClauseAllocator : public ClauseRegion {
  static int clauseWord32Size(int size, bool has_extra) { return 1 + size + (int)has_extra; }

 public:
  bool extra_clause_field;

  ClauseAllocator(uint32_t start_cap) : ClauseRegion(start_cap), extra_clause_field(false) {}
  ClauseAllocator() : extra_clause_field(false) {}

  void moveTo(ClauseAllocator& to) {
    to.extra_clause_field = extra_clause_field;
    ClauseRegion::moveTo(to);
  }

  template <class Lits>
  CRef alloc(const Lits& ps, bool learnt = false) {
    bool use_extra = learnt | extra_clause_field;
    CRef cid = ClauseRegion::alloc(clauseWord32Size(ps.size(), use_extra));
    new (lea(cid)) Clause(ps, use_extra, learnt);
    return cid;
  }

  Clause& operator[](CRef r) { return reinterpret_cast<Clause&>(ClauseRegion::operator[](r)); }
  const Clause& operator[](CRef r) const {
    return reinterpret_cast<const Clause&>(ClauseRegion::operator[](r));
  }
  Clause* lea(CRef r) { return reinterpret_cast<Clause*>(ClauseRegion::lea(r)); }
  const Clause* lea(CRef r) const { return &operator[](r); }
  CRef ael(const Clause* t) {
    return ClauseRegion::ael(reinterpret_cast<const uint32_t*>(t));
  }

  void free(CRef cid) {
    Clause& c = operator[](cid);
    ClauseRegion::free(clauseWord32Size(c.size(), c.has_extra()));
  }

  // Moves the clause at `cr` into `to` (once; later calls follow the forward
  // reference left in the old clause) and updates `cr`.
  void reloc(CRef& cr, ClauseAllocator& to) {
    Clause& c = operator[](cr);
    if (c.reloced()) {
      cr = c.relocation();
      return;
    }
    CRef nr = to.alloc(c, c.learnt());
    c.relocate(nr);
    Clause& nc = to[nr];
    nc.mark(c.mark());
    nc.setHasSubsumed(c.hasSubsumed());
    if (nc.learnt())
      nc.activity() = c.activity();
    else if (nc.has_extra())
      nc.calcAbstraction();
    cr = nr;
  }
};

// The clause allocator's copy source must look like a literal vector.
// (Clause provides size() and operator[] for that purpose.)

// ---------------------------------------------------------------------------
// Subsumption test: lit_Error when this clause does not subsume `other`;
// lit_Undef when it does; a literal p when this clause with p negated
// subsumes `other` (so ~p can be removed from `other`).
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
    bool found = false;
    for (int j = 0; j < other.size(); j++) {
      if (c[i] == d[j]) {
        found = true;
        break;
      } else if (ret == lit_Undef && c[i] == ~d[j]) {
        ret = c[i];
        found = true;
        break;
      }
    }
    if (!found) return lit_Error;
  }
  return ret;
}

inline void Clause::strengthen(Lit p) {
  int n = size();
  int i = 0;
  while (i < n && data()[i].lit != p) i++;
  assert(i < n);
  for (; i < n - 1; i++) data()[i] = data()[i + 1];
  shrink(1);
  calcAbstraction();
}

// ---------------------------------------------------------------------------
// Watchers and their deletion test.

struct Watcher {
  CRef cref;
  Lit blocker;
  Watcher(CRef cr, Lit p) : cref(cr), blocker(p) {}
  Watcher() : cref(CRef_Undef), blocker(lit_Undef) {}
  bool operator==(const Watcher& w) const { return cref == w.cref; }
  bool operator!=(const Watcher& w) const { return cref != w.cref; }
};

struct WatcherDeleted {
  const ClauseAllocator& ca;
  explicit WatcherDeleted(const ClauseAllocator& _ca) : ca(_ca) {}
  bool operator()(const Watcher& w) const { return ca[w.cref].mark() == 1; }
};

struct ClauseDeleted {
  const ClauseAllocator& ca;
  explicit ClauseDeleted(const ClauseAllocator& _ca) : ca(_ca) {}
  bool operator()(const CRef& cr) const { return ca[cr].mark() == 1; }
};

}  // namespace Minisat
