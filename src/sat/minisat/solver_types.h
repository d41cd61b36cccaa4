#pragma once
// Basic types of the MiniSat back end: variables, literals, lifted booleans,
// clauses and the clause arena.
#include <cassert>
#include <cstdint>

#include "sat/minisat/mtl.h"
#include "sat/mtl/clause.h"

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

using varnok::sat::mtl::LitIndex;

// ---------------------------------------------------------------------------
// Clauses

typedef varnok::sat::mtl::CRef CRef;
using varnok::sat::mtl::CRef_Undef;

// Header bits from the least significant: mark (2), learnt (1), has_extra (1),
// reloced (1), hasSubsumed (1), size (26).
struct ClauseLayout {
  static constexpr uint32_t kMarkMask = 3u;
  static constexpr uint32_t kLearnt = 1u << 2;
  static constexpr uint32_t kModule = 0u;  // no module clauses here
  static constexpr uint32_t kHasExtra = 1u << 3;
  static constexpr uint32_t kReloced = 1u << 4;
  static constexpr uint32_t kHasSubsumed = 1u << 5;
  static constexpr uint32_t kSizeShift = 6;
};

typedef varnok::sat::mtl::Clause<ClauseLayout> Clause;

// The clause arena: one growing region of 32-bit words addressed by CRef.
typedef RegionAllocator<uint32_t> ClauseRegion;
typedef varnok::sat::mtl::ClauseAllocator<ClauseLayout, OutOfMemoryException> ClauseAllocator;

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

typedef varnok::sat::mtl::WatcherDeleted<ClauseAllocator> WatcherDeleted;
typedef varnok::sat::mtl::ClauseDeleted<ClauseAllocator> ClauseDeleted;

}  // namespace Minisat
