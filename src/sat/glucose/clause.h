#pragma once
// Clauses and the clause arena of the Glucose solver family.
//
// A clause lives in consecutive 32-bit words of a region: three header words
// (flags with the literal block distance, the literal count, the count of
// literals that are not selector variables), the literals, and optionally
// one extra word (activity of a learnt clause, abstraction of a problem
// clause). Header word 0, from the least significant bit: mark (2 bits: 0
// live, 1 deleted, 2 temporary), learnt, has extra word, relocated,
// hasSubsumed, the literal block distance (25 bits), deletable.
#include <cassert>
#include <cstdint>
#include <new>

#include "sat/mtl/clause.h"
#include "sat/mtl/clause_literals.h"
#include "sat/mtl/region.h"
#include "sat/mtl/solver_types.h"

namespace Glucose {

using varnok::sat::mtl::CRef;
using varnok::sat::mtl::Lit;
using varnok::sat::mtl::lit_Error;
using varnok::sat::mtl::lit_Undef;
using varnok::sat::mtl::var;
using varnok::sat::mtl::operator~;

template <class OOM>
class ClauseAllocator;

class Clause : public varnok::sat::mtl::ClauseRecord<Clause> {
  typedef varnok::sat::mtl::ClauseRecord<Clause> Record;

 public:
  static constexpr uint32_t kMarkMask = 3u;
  static constexpr uint32_t kLearnt = 1u << 2;
  static constexpr uint32_t kHasExtra = 1u << 3;
  static constexpr uint32_t kReloced = 1u << 4;
  static constexpr uint32_t kHasSubsumed = 1u << 5;
  static constexpr uint32_t kLbdShift = 6;
  static constexpr uint32_t kLbdMax = (1u << 25) - 1;
  static constexpr uint32_t kLbdMask = kLbdMax << kLbdShift;
  static constexpr uint32_t kDeletable = 1u << 31;
  static constexpr int kHeaderWords = 3;

 private:
  uint32_t header;
  uint32_t sz;
  uint32_t selector_free;

  template <class>
  friend class ClauseAllocator;
  friend Record;

  template <class V>
  Clause(const V& ps, bool use_extra, bool learnt)
      : header((learnt ? kLearnt : 0u) | (use_extra ? kHasExtra : 0u) | kDeletable),
        sz((uint32_t)ps.size()),
        selector_free(0) {
    initWords(ps, use_extra, learnt);
  }

  void dropLiterals(int i) { sz -= (uint32_t)i; }

 public:
  int size() const { return (int)sz; }
  bool learnt() const { return (header & kLearnt) != 0; }
  bool has_extra() const { return (header & kHasExtra) != 0; }
  uint32_t mark() const { return header & kMarkMask; }
  void mark(uint32_t m) { header = (header & ~kMarkMask) | (m & kMarkMask); }
  bool reloced() const { return (header & kReloced) != 0; }
  void relocate(CRef c) {
    header |= kReloced;
    data()[0].rel = c;
  }
  bool hasSubsumed() const { return (header & kHasSubsumed) != 0; }
  void setHasSubsumed(bool b) { header = b ? (header | kHasSubsumed) : (header & ~kHasSubsumed); }

  // Literal block distance: the number of decision levels among the
  // literals when it was last measured.
  unsigned lbd() const { return (header & kLbdMask) >> kLbdShift; }
  void setLBD(unsigned n) { header = (header & ~kLbdMask) | ((n & kLbdMax) << kLbdShift); }
  // A clause that is not deletable survives the next reduction.
  bool deletable() const { return (header & kDeletable) != 0; }
  void setDeletable(bool b) { header = b ? (header | kDeletable) : (header & ~kDeletable); }
  unsigned selectorFreeSize() const { return selector_free; }
  void setSelectorFreeSize(unsigned n) { selector_free = n; }
};

// The clause arena of the family (see varnok::sat::mtl::ClauseArena).
template <class OOM>
class ClauseAllocator : public varnok::sat::mtl::ClauseArena<Clause, OOM> {
  typedef varnok::sat::mtl::RegionAllocator<uint32_t, OOM> Region;
  typedef varnok::sat::mtl::ClauseArena<Clause, OOM> Arena;

 public:
  explicit ClauseAllocator(uint32_t start_cap) : Arena(start_cap) {}
  ClauseAllocator() : Arena() {}

  // (This family has no module clauses.)
  template <class V>
  CRef alloc(const V& ps, bool learnt = false, bool module = false) {
    assert(!module);
    (void)module;
    bool use_extra = learnt || this->extra_clause_field;
    CRef cid = Region::alloc(Arena::clauseWord32Size(ps.size(), use_extra));
    new (this->lea(cid)) Clause(ps, use_extra, learnt);
    return cid;
  }

  // Moves the clause at `cr` into `to` (once; later calls follow the forward
  // reference) and updates `cr`. The copy keeps the mark and hasSubsumed,
  // and for a learnt clause its activity, LBD, selector-free size and
  // deletable flag; a problem clause gets a fresh abstraction.
  void reloc(CRef& cr, ClauseAllocator& to) {
    Clause& c = (*this)[cr];
    if (c.reloced()) {
      cr = c.relocation();
      return;
    }
    CRef nr = to.alloc(c, c.learnt());
    Clause& nc = to[nr];
    nc.mark(c.mark());
    nc.setHasSubsumed(c.hasSubsumed());
    if (nc.learnt()) {
      nc.activity() = c.activity();
      nc.setLBD(c.lbd());
      nc.setSelectorFreeSize(c.selectorFreeSize());
      nc.setDeletable(c.deletable());
    } else if (nc.has_extra()) {
      nc.calcAbstraction();
    }
    c.relocate(nr);
    cr = nr;
  }
};

}  // namespace Glucose
