#include "sat/adapters.h"

namespace varnok {
namespace sat {

const char* MiniSatCore::getName() const { return "MiniSat 2.2.0 core"; }
const char* MiniSatSimp::getName() const { return "MiniSat 2.2.0 simp"; }
const char* GlucoseCore::getName() const { return "Glucose 3.0 core"; }
const char* GlucoseSimp::getName() const { return "Glucose 3.0 simp"; }
const char* MiniSatCoreModified::getName() const { return "MiniSat 2.2.0 core modified"; }
const char* MiniSatSimpModified::getName() const { return "MiniSat 2.2.0 simp modified"; }

}  // namespace sat
}  // namespace varnok
