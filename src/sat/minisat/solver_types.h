#pragma once
// The MiniSat family: the shared types and containers, bound to this
// family's out-of-memory exception and option list; its clauses carry no
// module flag.
#include "sat/core/family.h"
#include "sat/mtl/names.h"

namespace Minisat {

using namespace varnok::sat::mtl::names;

struct OptionTag {};
typedef varnok::sat::core::Family<OptionTag, false> Family;
typedef Family::OutOfMemory OutOfMemoryException;

}  // namespace Minisat
