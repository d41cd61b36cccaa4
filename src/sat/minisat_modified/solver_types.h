#pragma once
// Basic types of the module-aware solver: literals, truth values, the clause
// layout and the clause region, built on the shared MiniSat-family
// containers with this family's out-of-memory exception.
#include <cassert>
#include <cstdint>

#include "sat/mtl/clause.h"
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

typedef varnok::sat::mtl::CRef CRef;
using varnok::sat::mtl::CRef_Undef;
const CRef CRef_Module = 0xFFFFFFFEu;

// Clause header word: bits 0-1 mark (0 live, 1 deleted, 2 temporary), bit 2
// learnt, bit 3 module, bit 4 has extra word, bit 5 relocated, bit 6
// hasSubsumed, bits 7-31 size. Then the literals, then the optional extra
// word (activity of a learnt clause, else abstraction).
struct ClauseLayout {
  static constexpr uint32_t kMarkMask = 3u;
  static constexpr uint32_t kLearnt = 1u << 2;
  static constexpr uint32_t kModule = 1u << 3;
  static constexpr uint32_t kHasExtra = 1u << 4;
  static constexpr uint32_t kReloced = 1u << 5;
  static constexpr uint32_t kHasSubsumed = 1u << 6;
  static constexpr uint32_t kSizeShift = 7;
};

typedef varnok::sat::mtl::Clause<ClauseLayout> Clause;
// Allocates clauses in a region of 32-bit words.
typedef varnok::sat::mtl::ClauseAllocator<ClauseLayout, OutOfMemoryException> ClauseAllocator;

// A read-only view of literals for allocation.
struct LitSpan {
  const Lit* lits;
  int n;
  int size() const { return n; }
  Lit operator[](int i) const { return lits[i]; }
};

using varnok::sat::mtl::LitIndex;

}  // namespace MinisatModified
