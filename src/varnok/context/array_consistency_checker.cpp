#include "varnok/context/array_consistency_checker.h"

#include <unordered_map>
#include <vector>

#include "varnok/aig/circuits.h"
#include "varnok/node/structural_relations.h"

namespace varnok {

namespace {

const std::vector<AIGEdge>& bitsOf(const Expression* e) { return *e->getBitEdges(); }

bool sameModelValue(const Expression* a, const Expression* b) { return ModelValueEqual()(a, b); }

// The branch of an if-then-else of arrays that the model selects.
Expression* selectedBranch(const Expression* ite) {
  return ite->getChild0()->getModelBit(0) ? ite->getChild1() : ite->getChild2();
}

}  // namespace

ArrayConsistencyChecker::ArrayConsistencyChecker(ExpressionManager* manager, AIG* aig)
    : manager(manager), aig(aig), full(true), timer("ArrayConsistencyChecker"), lemmaCount(0) {
  manager->addListener(this);
}

ArrayConsistencyChecker::~ArrayConsistencyChecker() {
  manager->removeListener(this);
  clearModels();
}

void ArrayConsistencyChecker::expressionAdded(Expression* e) {
  if (ArrayAccessExpression* a = asArrayAccess(e))
    accesses.insert(a);
  else if (e->getKind() == KIND_ARRAY_EQUAL)
    equalities.insert(e);
}

void ArrayConsistencyChecker::expressionRemoved(Expression* e) {
  if (ArrayAccessExpression* a = asArrayAccess(e))
    accesses.erase(a);
  else if (e->getKind() == KIND_ARRAY_EQUAL)
    equalities.erase(e);
}

void ArrayConsistencyChecker::collectModelTerms(std::vector<ExpressionRef>& out) const {
  out.reserve(out.size() + accesses.size() + equalities.size());
  for (ArrayAccessExpression* a : accesses) out.emplace_back(a->getExpression());
  for (Expression* e : equalities) out.emplace_back(e);
}

void ArrayConsistencyChecker::clearModels() {
  while (!touchedArrays.empty()) {
    ExpressionRef term = std::move(touchedArrays.front());
    touchedArrays.pop_front();
    if (ArrayExpression* a = asArray(term.get())) {
      // Swap the table out first: releasing an entry may delete nodes, and
      // the table must not be walked while that happens.
      ArrayModelTable entries;
      entries.swap(a->getModelTable());
    }
  }
}

bool ArrayConsistencyChecker::check(bool fullMode) {
  timer.start();
  clearModels();
  full = fullMode || manager->getKindCount(KIND_ARRAY_EQUAL) != 0;
  bool result = checkAll();
  timer.stop();
  return result;
}

bool ArrayConsistencyChecker::checkAll() {
  for (ArrayAccessExpression* access : accesses) {
    Expression* r = getRepresentative(access->getExpression());
    ArrayAccessExpression* a = asArrayAccess(r);
    if (a && r->isBitBlasted() && !checkAccess(a)) return false;
  }
  return true;
}

template <typename F>
void ArrayConsistencyChecker::forEachMove(Expression* term, Expression* index, F&& visit) {
  uint32_t kind = term->getKind();
  if (kind == KIND_ARRAY_WRITE) {
    // A write at the same index value shadows what lies below it.
    if (!sameModelValue(term->getChild1(), index)) visit(term->getChild0(), nullptr);
  } else if (kind == KIND_ARRAY_ITE) {
    visit(selectedBranch(term), nullptr);
  }
  if (!full) return;
  for (Expression::UserEntry u = term->getFirstUser(); u; u = Expression::nextUser(u)) {
    Expression* user = u.node();
    if (!user->isBitBlasted()) continue;
    switch (user->getKind()) {
      case KIND_ARRAY_EQUAL:
        if (user->getModelBit(0)) visit(user->getChild(1 - u.slot()), user);
        break;
      case KIND_ARRAY_ITE:
        if (u.slot() != 0 && selectedBranch(user) == term) visit(user, nullptr);
        break;
      case KIND_ARRAY_WRITE:
        if (u.slot() == 0 && !sameModelValue(user->getChild1(), index)) visit(user, nullptr);
        break;
      default:
        break;
    }
  }
}

bool ArrayConsistencyChecker::checkAccess(ArrayAccessExpression* x) {
  Expression* index = x->getIndex();
  Expression* value = x->getValue();
  std::vector<Expression*> stack;
  stack.push_back(x->getArray());
  while (!stack.empty()) {
    Expression* term = stack.back();
    stack.pop_back();
    ArrayModelTable& table = static_cast<ArrayExpression*>(term)->getModelTable();
    auto found = table.find(index);
    if (found != table.end()) {
      if (sameModelValue(value, found->second.access->getValue())) continue;
      addLemma(term, x, found->second.access);
      return false;
    }
    if (table.empty()) touchedArrays.emplace_back(term);
    ArrayModelEntry entry;
    entry.access = x;
    entry.expression = x->getExpression();
    table.emplace(index, std::move(entry));
    forEachMove(term, index, [&](Expression* next, Expression*) { stack.push_back(next); });
  }
  return true;
}

void ArrayConsistencyChecker::addLemma(Expression* term, ArrayAccessExpression* a, ArrayAccessExpression* b) {
  AIGEdge indexEqual = circuits::isEqual(*aig, bitsOf(a->getIndex()), bitsOf(b->getIndex()));
  AIGEdge valueEqual = circuits::isEqual(*aig, bitsOf(a->getValue()), bitsOf(b->getValue()));
  AIGEdge conditionA = accessCondition(term, a);
  AIGEdge conditionB = accessCondition(term, b);
  AIGEdge x1 = aig->makeAnd(conditionA, conditionB);
  AIGEdge x2 = aig->makeAnd(x1, indexEqual);
  AIGEdge x3 = aig->makeAnd(x2, ~valueEqual);
  aig->assertTrue(~x3);
  ++lemmaCount;
}

AIGEdge ArrayConsistencyChecker::accessCondition(Expression* term, ArrayAccessExpression* x) {
  Expression* index = x->getIndex();
  Expression* start = x->getArray();
  // Breadth-first search over the moves of the walk; every node records the
  // node it was reached from. An array equality crossed is a node of the
  // path between its two operands.
  std::unordered_map<Expression*, Expression*> from;
  std::deque<Expression*> queue;
  from.emplace(start, nullptr);
  queue.push_back(start);
  bool reached = start == term;
  while (!queue.empty() && !reached) {
    Expression* t = queue.front();
    queue.pop_front();
    forEachMove(t, index, [&](Expression* next, Expression* equality) {
      if (reached) return;
      Expression* previous = t;
      if (equality) {
        if (!from.emplace(equality, t).second) return;
        previous = equality;
      }
      if (!from.emplace(next, previous).second) return;
      if (next == term) reached = true;
      queue.push_back(next);
    });
  }

  // Walk back from the term to the start. At each node, `enteredFromBelow`
  // tells whether the step from it toward the term went upward (into a
  // write or if-then-else built on it) or across an equality; the start is
  // visited too, with no predecessor.
  AIGEdge cond = aig->getTrue();
  bool enteredFromBelow = true;
  Expression* n = term;
  while (n) {
    auto link = from.find(n);
    Expression* p = link == from.end() ? nullptr : link->second;
    switch (n->getKind()) {
      case KIND_ARRAY_WRITE: {
        bool fromBase = p && p == n->getChild0();
        if ((fromBase || !enteredFromBelow) && !areProvablyDistinct(index, n->getChild1()))
          cond = aig->makeAnd(cond, ~circuits::isEqual(*aig, bitsOf(index), bitsOf(n->getChild1())));
        enteredFromBelow = fromBase;
        break;
      }
      case KIND_ARRAY_ITE: {
        bool fromBranch = p && (p == n->getChild1() || p == n->getChild2());
        bool addTerm;
        if (fromBranch) {
          enteredFromBelow = true;
          addTerm = true;
        } else if (enteredFromBelow) {
          enteredFromBelow = false;
          addTerm = false;
        } else {
          addTerm = true;
        }
        if (addTerm) {
          const AIGEdge& c = bitsOf(n->getChild0())[0];
          cond = aig->makeAnd(cond, n->getChild0()->getModelBit(0) ? c : ~c);
        }
        break;
      }
      case KIND_ARRAY_EQUAL:
        cond = aig->makeAnd(cond, bitsOf(n)[0]);
        enteredFromBelow = true;
        break;
      default:
        enteredFromBelow = false;
        break;
    }
    if (n == start) break;
    n = p;
  }
  return cond;
}

}  // namespace varnok
