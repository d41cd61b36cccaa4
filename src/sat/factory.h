#pragma once
// Making a SAT back end from its kind and the preprocessing flag.
#include <cstdint>
#include <memory>

#include "sat/sat_solver.h"

namespace varnok {
namespace sat {

// The back-end kinds, numbered as the public VARNOK::SATSolver.
enum class Kind : uint32_t { MiniSat = 0, Glucose = 1, DumpDimacs = 2, MiniSatModified = 3 };

// Whether the kind has a simplifying variant.
bool canPreprocess(Kind kind);
// Whether a back end of the kind can be made.
bool isAvailable(Kind kind);

// A new back end: the simplifying variant of the kind when `preprocessing`
// is set and the kind has one. Null for a kind without a back end.
std::unique_ptr<Solver> create(Kind kind, bool preprocessing);

}  // namespace sat
}  // namespace varnok
