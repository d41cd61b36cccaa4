#include "sat/sat_solver.h"

#include "util/internal_error.h"

namespace varnok {
namespace sat {

NoModuleSupport::NoModuleSupport()
    : std::logic_error(
          internalErrorText("src/sat/sat_solver", 77, "addModuleCallback", "This SAT solver has no module support.")) {}

bool Solver::addModuleCallback(int variable, ModuleCallbackNode* node) {
  (void)variable;
  (void)node;
  throw NoModuleSupport();
}

}  // namespace sat
}  // namespace varnok
