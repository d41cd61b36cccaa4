#pragma once
// The containers of the MiniSat back end: the solver family's shared
// templates, bound to this family's out-of-memory exception.
#include "sat/mtl/heap.h"
#include "sat/mtl/occ_lists.h"
#include "sat/mtl/options.h"
#include "sat/mtl/queue.h"
#include "sat/mtl/region.h"
#include "sat/mtl/solver_types.h"
#include "sat/mtl/sort.h"
#include "sat/mtl/vec.h"

namespace Minisat {

// Thrown when a vector, the clause arena or a list cannot grow.
class OutOfMemoryException {};

template <class T>
using vec = varnok::sat::mtl::Vec<T, OutOfMemoryException>;

template <class Comp>
using Heap = varnok::sat::mtl::Heap<Comp, OutOfMemoryException>;

template <class T>
using RegionAllocator = varnok::sat::mtl::RegionAllocator<T, OutOfMemoryException>;

template <class T>
using Queue = varnok::sat::mtl::Queue<T, OutOfMemoryException>;

template <class Idx, class Elem, class Deleted, class MkIndex = varnok::sat::mtl::MkIndexDefault<Idx> >
using OccLists = varnok::sat::mtl::OccLists<Idx, Elem, Deleted, OutOfMemoryException, MkIndex>;

using varnok::sat::mtl::sort;

using varnok::sat::mtl::remove;

// Tag of this family's option list.
struct MinisatOptionFamily {};
typedef varnok::sat::mtl::Option<MinisatOptionFamily> Option;
typedef varnok::sat::mtl::BoolOption<MinisatOptionFamily> BoolOption;
typedef varnok::sat::mtl::IntOption<MinisatOptionFamily> IntOption;
typedef varnok::sat::mtl::DoubleOption<MinisatOptionFamily> DoubleOption;
using varnok::sat::mtl::DoubleRange;
using varnok::sat::mtl::IntRange;

}  // namespace Minisat
