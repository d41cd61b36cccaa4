#include "varnok/context/model_accessor.h"

#include <stdexcept>

#include "varnok/aig/aig.h"
#include "varnok/context/array_consistency_checker.h"
#include "varnok/blast/bit_blaster.h"
#include "varnok/context/solver_context.h"

namespace varnok {

void ArrayModelCursor::reset(Expression* a, const ArrayConsistencyChecker* c) {
  array = a;
  const ArrayModelTable& table = static_cast<ArrayExpression*>(a)->getModelTable();
  current = table.begin();
  end = table.end();
  hasTable = true;
  checker = c;
  generation = c->getCheckCount();
}

bool ArrayModelCursor::isValid() const {
  return hasTable && checker->getCheckCount() == generation && current != end;
}

namespace {

// Holds the graph's model for the solves of one refinement.
class HeldModel {
 public:
  explicit HeldModel(AIG& aig) : aig(aig) { aig.holdModel(); }
  ~HeldModel() { aig.releaseModel(); }
  HeldModel(const HeldModel&) = delete;
  HeldModel& operator=(const HeldModel&) = delete;

 private:
  AIG& aig;
};

}  // namespace

bool ModelAccessor::refineArrays(const std::vector<ExpressionRef>& list) {
  if (list.empty()) return true;
  AIG& aig = context->getAIG();
  // Every input bit that exists now keeps its model value through the solves
  // below: they may only extend the model that earlier queries read.
  HeldModel held(aig);
  const std::uint64_t assertedBefore = aig.getAssertionCount();
  bool anyArray = false;
  for (const ExpressionRef& e : list) {
    if (!e) continue;
    ExpressionRef r(getRepresentative(e.get()));
    context->getBitBlaster().blast(r.get());
    // Kept until the next check: the same term asked again is the same node
    // with the same bits, and a later query meets its array accesses.
    context->holdModelTerm(r.get());
    if (r->isArray()) anyArray = true;
  }
  // Blasting may have asserted constraints the last model was never solved
  // under: the witness of an array equality outside the formula ties its
  // fresh bit to the arrays. Its bit is then only meaningful after a new
  // solve (under the last check's assumptions, with the model held).
  const bool constrained = aig.getAssertionCount() != assertedBefore;
  // Terms that are not arrays themselves may still read arrays: a variable
  // defined by substitution as a term over array reads, or a get-value term
  // with reads that were never part of the formula. Their freshly blasted
  // reads must agree with the array model too, so the refinement below runs
  // whenever array accesses exist at all.
  ExpressionManager& manager = context->getManager();
  const bool anyAccess =
      manager.getKindCount(KIND_ARRAY_READ) != 0 || manager.getKindCount(KIND_ARRAY_WRITE) != 0;
  if (!anyArray && !anyAccess && !constrained) return true;
  // Without a back end no check has run: there is no array model to refine.
  if (!context->hasSatSolver()) return false;
  auto solveAgain = [&aig]() {
    try {
      return aig.solve() == 0;
    } catch (const sat::NoModuleSupport&) {
      // A module under a back end without module support: no model.
      return false;
    }
  };
  if (constrained && !solveAgain()) return false;
  for (;;) {
    if (context->getArrayChecker().check(true)) return true;
    if (!solveAgain()) return false;
  }
}

bool ModelAccessor::getValue(ExpressionRef& e, BitVector& out) {
  if (!e) return false;
  e = getRepresentative(e.get());
  if (e->isArray()) return false;
  return e->getModelValue(out);
}

bool ModelAccessor::getArrayModel(ExpressionRef& e, ArrayModelCursor& cursor) {
  if (!e) return false;
  e = getRepresentative(e.get());
  if (!e->isArray() || !e->isBitBlasted()) return false;
  cursor.reset(e.get(), &context->getArrayChecker());
  return true;
}

}  // namespace varnok
