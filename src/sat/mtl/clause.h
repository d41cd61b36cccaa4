#pragma once
// Clauses and the clause arena of the MiniSat solver family.
//
// A clause lives in consecutive 32-bit words of a region: one header word,
// the literals, and optionally one extra word (activity of a learnt clause,
// abstraction of a problem clause). The solvers of the family differ only in
// where the header flags sit, which the `Layout` parameter gives:
//
//   struct Layout {
//     static constexpr uint32_t kMarkMask, kLearnt, kModule, kHasExtra,
//                               kReloced, kHasSubsumed, kSizeShift;
//   };
//
// kModule is 0 for a solver without module clauses; such clauses then have
// no module() accessor.
#include <cassert>
#include <cstdint>
#include <new>
#include <type_traits>

#include "sat/mtl/clause_literals.h"
#include "sat/mtl/region.h"
#include "sat/mtl/solver_types.h"

namespace varnok {
namespace sat {
namespace mtl {

// The header layout of the family's clauses, from the least significant
// bit: mark (2 bits: 0 live, 1 deleted, 2 temporary), learnt, the module flag
// when the solver has module clauses, has extra word, relocated,
// hasSubsumed, then the size.
template <bool kWithModuleFlag>
struct StandardClauseLayout {
  static constexpr uint32_t kModuleBits = kWithModuleFlag ? 1 : 0;
  static constexpr uint32_t kMarkMask = 3u;
  static constexpr uint32_t kLearnt = 1u << 2;
  static constexpr uint32_t kModule = kWithModuleFlag ? 1u << 3 : 0u;
  static constexpr uint32_t kHasExtra = 1u << (3 + kModuleBits);
  static constexpr uint32_t kReloced = 1u << (4 + kModuleBits);
  static constexpr uint32_t kHasSubsumed = 1u << (5 + kModuleBits);
  static constexpr uint32_t kSizeShift = 6 + kModuleBits;
};

typedef uint32_t CRef;
constexpr CRef CRef_Undef = 0xFFFFFFFFu;

// Index of a literal in per-literal lists.
struct LitIndex {
  int operator()(Lit p) const { return p.x; }
};

// What the clause records of every family share, by derivation: the
// `Derived::kHeaderWords` header words of the record are followed by the
// literals and then the optional extra word (activity of a learnt clause,
// abstraction of a problem clause). Derived gives size(), has_extra() and
// dropLiterals(n), which lowers the stored size by n. The base has no fields
// and no virtual functions, so the record's layout is the derived one.
template <class Derived>
class ClauseRecord {
 protected:
  union Data {
    Lit lit;
    float act;
    uint32_t abs;
    CRef rel;
  };
  static_assert(sizeof(Data) == 4, "clause word must be 32 bits");

  Data* data() {
    return reinterpret_cast<Data*>(reinterpret_cast<uint32_t*>(&self()) + Derived::kHeaderWords);
  }
  const Data* data() const {
    return reinterpret_cast<const Data*>(reinterpret_cast<const uint32_t*>(&self()) + Derived::kHeaderWords);
  }

  // Copies the literals; the extra word, when there is one, starts as
  // activity 0 for a learnt clause and as the abstraction otherwise.
  template <class V>
  void initWords(const V& ps, bool use_extra, bool learnt) {
    for (int i = 0; i < ps.size(); i++) data()[i].lit = ps[i];
    if (use_extra) {
      if (learnt)
        data()[self().size()].act = 0;
      else
        calcAbstraction();
    }
  }

 public:
  void calcAbstraction() {
    assert(self().has_extra());
    uint32_t abstraction = 0;
    for (int i = 0; i < self().size(); i++) abstraction |= 1u << (var(data()[i].lit) & 31);
    data()[self().size()].abs = abstraction;
  }

  // Drops the last i literals; the extra word moves down with the end.
  void shrink(int i) {
    assert(i <= self().size());
    if (self().has_extra()) data()[self().size() - i] = data()[self().size()];
    self().dropLiterals(i);
  }
  void pop() { shrink(1); }
  CRef relocation() const { return data()[0].rel; }

  const Lit& last() const { return data()[self().size() - 1].lit; }
  Lit& operator[](int i) { return data()[i].lit; }
  Lit operator[](int i) const { return data()[i].lit; }
  operator const Lit*(void) const { return &data()[0].lit; }

  float& activity() {
    assert(self().has_extra());
    return data()[self().size()].act;
  }
  float activity() const {
    assert(self().has_extra());
    return data()[self().size()].act;
  }
  uint32_t abstraction() const {
    assert(self().has_extra());
    return data()[self().size()].abs;
  }

  // Subsumption test between problem clauses: lit_Error when this clause
  // does not subsume `other`; lit_Undef when it does; a literal p when this
  // clause with p negated subsumes `other` (so ~p can be removed from
  // `other`).
  Lit subsumes(const Derived& other) const { return subsumesClause(self(), other); }
  // Removes p (present) from the clause and recomputes the abstraction.
  void strengthen(Lit p) { removeLiteral(self(), p); }

 private:
  Derived& self() { return static_cast<Derived&>(*this); }
  const Derived& self() const { return static_cast<const Derived&>(*this); }
};

template <class Layout, class OOM>
class ClauseAllocator;

template <class Layout>
class Clause : public ClauseRecord<Clause<Layout> > {
  typedef ClauseRecord<Clause<Layout> > Record;

 public:
  static constexpr int kHeaderWords = 1;

 private:
  uint32_t header;

  template <class, class>
  friend class ClauseAllocator;
  friend Record;

  template <class V>
  Clause(const V& ps, bool use_extra, bool learnt, bool module) {
    assert(!module || Layout::kModule != 0);
    header = ((uint32_t)ps.size() << Layout::kSizeShift) | (learnt ? Layout::kLearnt : 0u) |
             (module ? Layout::kModule : 0u) | (use_extra ? Layout::kHasExtra : 0u);
    this->initWords(ps, use_extra, learnt);
  }

  void dropLiterals(int i) { header -= (uint32_t)i << Layout::kSizeShift; }

 public:
  int size() const { return (int)(header >> Layout::kSizeShift); }
  bool learnt() const { return (header & Layout::kLearnt) != 0; }
  template <class L = Layout, class = std::enable_if_t<(L::kModule != 0)> >
  bool module() const {
    return (header & Layout::kModule) != 0;
  }
  bool has_extra() const { return (header & Layout::kHasExtra) != 0; }
  uint32_t mark() const { return header & Layout::kMarkMask; }
  void mark(uint32_t m) { header = (header & ~Layout::kMarkMask) | (m & Layout::kMarkMask); }
  bool reloced() const { return (header & Layout::kReloced) != 0; }
  void relocate(CRef c) {
    header |= Layout::kReloced;
    this->data()[0].rel = c;
  }
  bool hasSubsumed() const { return (header & Layout::kHasSubsumed) != 0; }
  void setHasSubsumed(bool b) {
    header = b ? (header | Layout::kHasSubsumed) : (header & ~Layout::kHasSubsumed);
  }
};

// The clause arena: one growing region of 32-bit words addressed by CRef,
// holding clauses of type ClauseT (which gives its count of header words).
// Each family's allocator adds allocation and relocation.
template <class ClauseT, class OOM>
class ClauseArena : public RegionAllocator<uint32_t, OOM> {
  typedef RegionAllocator<uint32_t, OOM> Region;
  static_assert(sizeof(ClauseT) == ClauseT::kHeaderWords * sizeof(uint32_t) &&
                    std::is_standard_layout<ClauseT>::value,
                "a clause record is its header words, followed by its literals");

 protected:
  static int clauseWord32Size(int size, bool has_extra) {
    return ClauseT::kHeaderWords + size + (int)has_extra;
  }

 public:
  bool extra_clause_field = false;

  explicit ClauseArena(uint32_t start_cap) : Region(start_cap) {}
  ClauseArena() : Region() {}

  void moveTo(ClauseArena& to) {
    to.extra_clause_field = extra_clause_field;
    Region::moveTo(to);
  }

  ClauseT& operator[](CRef r) { return reinterpret_cast<ClauseT&>(Region::operator[](r)); }
  const ClauseT& operator[](CRef r) const {
    return reinterpret_cast<const ClauseT&>(Region::operator[](r));
  }
  // Without the bounds assertion, for propagation and analysis.
  ClauseT& at(CRef r) { return *reinterpret_cast<ClauseT*>(Region::unchecked(r)); }
  ClauseT* lea(CRef r) { return reinterpret_cast<ClauseT*>(Region::lea(r)); }
  const ClauseT* lea(CRef r) const { return reinterpret_cast<const ClauseT*>(Region::lea(r)); }
  CRef ael(const ClauseT* t) { return Region::ael(reinterpret_cast<const uint32_t*>(t)); }

  void free(CRef cid) {
    ClauseT& c = operator[](cid);
    Region::free(clauseWord32Size(c.size(), c.has_extra()));
  }
};

// The MiniSat family's allocator.
template <class Layout, class OOM>
class ClauseAllocator : public ClauseArena<mtl::Clause<Layout>, OOM> {
  typedef RegionAllocator<uint32_t, OOM> Region;
  typedef ClauseArena<mtl::Clause<Layout>, OOM> Arena;
  typedef mtl::Clause<Layout> ClauseT;

 public:
  explicit ClauseAllocator(uint32_t start_cap) : Arena(start_cap) {}
  ClauseAllocator() : Arena() {}

  template <class V>
  CRef alloc(const V& ps, bool learnt = false, bool module = false) {
    bool use_extra = learnt || this->extra_clause_field;
    CRef cid = Region::alloc(Arena::clauseWord32Size(ps.size(), use_extra));
    new (this->lea(cid)) ClauseT(ps, use_extra, learnt, module);
    return cid;
  }

  // Moves the clause at `cr` into `to` (once; later calls follow the forward
  // reference left in the old clause) and updates `cr`.
  void reloc(CRef& cr, ClauseAllocator& to) {
    ClauseT& c = (*this)[cr];
    if (c.reloced()) {
      cr = c.relocation();
      return;
    }
    CRef nr = to.alloc(c, c.learnt(), (c.header & Layout::kModule) != 0);
    ClauseT& nc = to[nr];
    nc.mark(c.mark());
    nc.setHasSubsumed(c.hasSubsumed());
    if (nc.learnt())
      nc.activity() = c.activity();
    else if (nc.has_extra())
      nc.calcAbstraction();
    c.relocate(nr);
    cr = nr;
  }
};

// Deletion tests for occurrence lists: an entry is dead once its clause is
// marked deleted (mark 1).
template <class CA>
struct ClauseDeleted {
  const CA& ca;
  explicit ClauseDeleted(const CA& c) : ca(c) {}
  bool operator()(const CRef& cr) const { return ca[cr].mark() == 1; }
};

template <class CA>
struct WatcherDeleted {
  const CA& ca;
  explicit WatcherDeleted(const CA& c) : ca(c) {}
  template <class W>
  bool operator()(const W& w) const {
    return ca[w.cref].mark() == 1;
  }
};

}  // namespace mtl
}  // namespace sat
}  // namespace varnok
