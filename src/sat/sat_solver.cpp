#include "sat/sat_solver.h"

#include "util/internal_error.h"

namespace varnok {
namespace sat {

bool Solver::addModuleCallback(int variable, ModuleCallbackNode* node) {
  (void)variable;
  (void)node;
  throwInternalError("src/sat/sat_solver", 77, "addModuleCallback",
                     "This SAT solver has no module support.");
}

}  // namespace sat
}  // namespace varnok

namespace varnok {
namespace sat {

const char* MiniSatCoreModified::getName() const { return "MiniSat 2.2.0 core modified"; }
const char* MiniSatSimpModified::getName() const { return "MiniSat 2.2.0 simp modified"; }

}  // namespace sat
}  // namespace varnok
