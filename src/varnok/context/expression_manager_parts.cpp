// The parts of the expression manager that belong to higher folders: the
// variable substitution it owns and feeds, and its exact evaluator. The
// manager's store (node folder) reaches them only through these members.
#include "varnok/context/substitution.h"
#include "varnok/fp/exact_float_evaluator.h"
#include "varnok/node/expression_manager.h"

namespace varnok {

void ExpressionManager::createOwnedParts() {
  evaluator_ = new ExactFloatEvaluator();
  substitution_ = new Substitution(this);
}

void ExpressionManager::destroyOwnedParts() {
  if (substitution_) {
    substitution_->clear();
    delete substitution_;
    substitution_ = nullptr;
  }
  delete evaluator_;
  evaluator_ = nullptr;
}

void ExpressionManager::offerToSubstitution(ExpressionRef& n) { substitution_->collect(n); }

void ExpressionManager::runSubstitution() { substitution_->run(); }

}  // namespace varnok
