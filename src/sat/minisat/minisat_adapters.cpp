#include "sat/minisat/minisat_adapters.h"

namespace varnok {
namespace sat {

const char* MiniSatCore::getName() const { return "MiniSat 2.2.0 core"; }

const char* MiniSatSimp::getName() const { return "MiniSat 2.2.0 simp"; }

}  // namespace sat
}  // namespace varnok
