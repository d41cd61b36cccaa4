#pragma once
// Array consistency checker. Arrays are not bit-blasted: every array read
// gets free bits, so a SAT model may give two reads of one array at equal
// indices different values, or contradict a write. After each satisfying
// model the checker files every blasted access (read or write) under each
// array term where its value is visible, keyed by the model value of its
// index; when two accesses with equal index values but different element
// values meet at one term, it adds one refinement lemma to the and-inverter
// graph and reports the model inconsistent. The tables it fills are the array
// model that the model accessor and the public iterator read.
#include <cstdint>
#include <deque>
#include <set>
#include <vector>

#include "varnok/aig/aig.h"
#include "varnok/node/expression.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"
#include "util/stopwatch.h"

namespace varnok {

class ArrayConsistencyChecker : public ExpressionAddRemoveListener {
 public:
  ArrayConsistencyChecker(ExpressionManager* manager, AIG* aig);
  ~ArrayConsistencyChecker() override;
  ArrayConsistencyChecker(const ArrayConsistencyChecker&) = delete;
  ArrayConsistencyChecker& operator=(const ArrayConsistencyChecker&) = delete;

  void expressionAdded(Expression* e) override;
  void expressionRemoved(Expression* e) override;

  // True when every blasted access is consistent in the current model; false
  // after adding one lemma. In full mode (forced whenever an array equality
  // exists) accesses also travel upward into writes and if-then-else terms
  // and across array equalities that hold in the model.
  bool check(bool full);

  // Appends a reference to every array access and array equality alive.
  void collectModelTerms(std::vector<ExpressionRef>& out) const;

  // Empties every model table filled by the last check.
  void clearModels();

  // Statistics.
  const Stopwatch& getTimer() const { return timer; }
  uint32_t getLemmaCount() const { return lemmaCount; }
  // Number of checks run so far (each rebuilds the model tables).
  uint32_t getCheckCount() const { return timer.getStartCount(); }

 private:
  struct BySerialId {
    bool operator()(const ArrayAccessExpression* a, const ArrayAccessExpression* b) const {
      return a->getExpression()->getId() < b->getExpression()->getId();
    }
  };

  bool checkAll();
  bool checkAccess(ArrayAccessExpression* x);
  void addLemma(Expression* term, ArrayAccessExpression* a, ArrayAccessExpression* b);
  AIGEdge accessCondition(Expression* term, ArrayAccessExpression* x);

  // The terms to which an access's value carries over from `term` in the
  // current model (the moves of the walk); `viaEquality` receives, per
  // target, the array equality crossed (or null).
  template <typename F>
  void forEachMove(Expression* term, Expression* index, F&& visit);

  ExpressionManager* manager;
  AIG* aig;
  bool full;
  Stopwatch timer;
  std::set<ArrayAccessExpression*, BySerialId> accesses;
  struct ById {
    bool operator()(const Expression* a, const Expression* b) const { return a->getId() < b->getId(); }
  };
  std::set<Expression*, ById> equalities;
  std::deque<ExpressionRef> touchedArrays;
  uint32_t lemmaCount;
};

}  // namespace varnok
