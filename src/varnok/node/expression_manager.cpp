// The node store of the expression manager.
#include "varnok/node/expression_manager.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "varnok/node/operator_expressions.h"
#include "varnok/node/module_expression.h"

namespace varnok {

// ---- manager ------------------------------------------------------------------

ExpressionManager::ExpressionManager(SolverContext* context)
    : context_(context),
      substitution_(nullptr),
      nextId_(0),
      liveNodes_(0),
      evaluator_(nullptr),
      aig_(nullptr),
      deleting_(false) {
  std::fill(kindCounters_, kindCounters_ + NUM_EXPRESSION_KINDS, 0u);
  makeTrue(root_);
  createOwnedParts();
}

ExpressionManager::~ExpressionManager() {
  destroyOwnedParts();
  while (!assumptions_.empty()) assumptions_.pop_back();
  root_.reset();
  zeroSignChoices_.clear();

  // Nodes still held by handles outlive the manager. Detach them now so that
  // releasing those handles later touches neither the manager nor the AIG:
  // they drop their AIG edges and propagation records while the AIG is still
  // there, and module nodes leave the solver's and the AIG's watch lists.
  std::vector<Expression*> survivors;
  survivors.reserve(nodes_.size() + offSetNodes_.size());
  nodes_.forEach([&](Expression* e) { survivors.push_back(e); });
  offSetNodes_.forEach([&](Expression* e) { survivors.push_back(e); });
  for (Expression* e : survivors) {
    e->manager_ = nullptr;
    e->setFlag(Expression::FLAG_ORPHANED);
    e->releaseSlots();
    if (ModuleExpression* m = ModuleExpression::asModule(e)) m->unlinkWatchNodes();
  }
  nodes_.clear();
  offSetNodes_.clear();
}

ExpressionRef ExpressionManager::findOrInsert(Expression* candidate) {
  if (!candidate) return ExpressionRef();
  const uint64_t h = candidate->hash();
  if (Expression* existing = nodes_.find(candidate, h)) {
    delete candidate;
    return ExpressionRef(existing);
  }
  return registerExpression(candidate);
}

ExpressionRef ExpressionManager::registerExpression(Expression* e) {
  if (!e) return ExpressionRef();
  // The serial id is taken before attach: attaching an array equality
  // registers its witness variable and reads, which take the following ids.
  const uint32_t id = nextId_++;
  ++liveNodes_;
  e->attach(this, id);
  if (!nodes_.insert(e, e->hash())) noteOffSet(e);
  ++kindCounters_[e->getKind()];
  for (size_t i = 0; i < listeners_.size(); ++i) listeners_[i]->expressionAdded(e);
  return ExpressionRef(e);
}

void ExpressionManager::unregisterExpression(Expression* e) {
  for (size_t i = 0; i < listeners_.size(); ++i) listeners_[i]->expressionRemoved(e);
  if (!nodes_.erase(e, e->hash())) offSetNodes_.erase(e);
  --kindCounters_[e->getKind()];
}

void ExpressionManager::deleteExpression(Expression* e) {
  deleteStack_.push_back(e);
  if (deleting_) return;  // re-entered from a destructor: the running loop takes it
  deleting_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{deleting_};
  while (!deleteStack_.empty()) {
    Expression* n = deleteStack_.back();
    deleteStack_.pop_back();
    if (n->representative_) {
      // A forwarding node: already unregistered and detached.
      offSetNodes_.erase(n);
      Expression* r = n->representative_;
      if (--r->refCount_ == 0) deleteStack_.push_back(r);
    } else {
      const uint32_t arity = n->getArity();
      for (uint32_t k = 0; k < arity; ++k) {
        Expression* c = n->children_[k];
        if (--c->refCount_ == 0) deleteStack_.push_back(c);
      }
      unregisterExpression(n);
      n->detachFromChildren();
    }
    --liveNodes_;
    delete n;
  }
}

void ExpressionManager::addListener(ExpressionAddRemoveListener* listener) { listeners_.push_back(listener); }

void ExpressionManager::removeListener(ExpressionAddRemoveListener* listener) {
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

bool ExpressionManager::addAssumption(ExpressionRef a) {
  if (!a || a->getWidth() != 1) return false;
  if (a->hasFlag(Expression::FLAG_ASSERTED) || a->hasFlag(Expression::FLAG_ASSUMED)) return true;
  a->setFlag(Expression::FLAG_ASSUMED);
  assumptions_.push_back(std::move(a));
  return true;
}

void ExpressionManager::clearAssumptions() {
  while (!assumptions_.empty()) {
    assumptions_.back()->clearFlag(Expression::FLAG_ASSUMED);
    assumptions_.pop_back();
  }
}

void ExpressionManager::assertFormula(ExpressionRef f) {
  std::vector<ExpressionRef> work;
  if (f) work.push_back(std::move(f));
  while (!work.empty()) {
    ExpressionRef n = std::move(work.back());
    work.pop_back();
    if (n->hasFlag(Expression::FLAG_ASSERTED)) continue;
    n->setFlag(Expression::FLAG_ASSERTED);
    offerToSubstitution(n);
    if (n && n->getKind() == KIND_AND) {
      work.emplace_back(n->getChild(0));
      work.emplace_back(n->getChild(1));
    }
  }
}

// ---- constants ----------------------------------------------------------------

ExpressionRef& ExpressionManager::insertConstant(ExpressionRef& result, Expression* node) {
  const uint64_t h = node->hash();
  if (Expression* existing = nodes_.find(node, h)) {
    delete node;
    result = existing;
    return result;
  }
  result = registerExpression(node);
  return result;
}

}  // namespace varnok
