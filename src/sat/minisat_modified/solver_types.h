#pragma once
// The module-aware solver's family: the shared types and containers, bound
// to its own out-of-memory exception and option list; its clauses carry the
// module flag, and a conflict a module reports has its own reference.
#include "sat/core/family.h"
#include "sat/mtl/names.h"

namespace MinisatModified {

using namespace varnok::sat::mtl::names;

const CRef CRef_Module = 0xFFFFFFFEu;

struct OptionTag {};
typedef varnok::sat::core::Family<OptionTag, true> Family;
typedef Family::OutOfMemory OutOfMemoryException;

}  // namespace MinisatModified
