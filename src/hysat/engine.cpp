// Placeholder definitions of the check object so that the front end links
// on its own; the unrolling engine replaces this file.
#include "hysat/engine.h"

namespace varnok {
namespace hysat {

BmcProblem::BmcProblem(VARNOK::Solver* solver, SymbolTable* symbols, const Expression* init,
                       const Expression* trans, const Expression* target)
    : solver(solver), symbols(symbols), init(init), trans(trans), target(target) {}

BmcProblem::BmcProblem(VARNOK::Solver* solver, SymbolTable* symbols, const Expression* expression)
    : solver(solver), symbols(symbols), init(nullptr), trans(nullptr), target(expression) {}

BmcProblem::~BmcProblem() = default;

void BmcProblem::run() {}

}  // namespace hysat
}  // namespace varnok
