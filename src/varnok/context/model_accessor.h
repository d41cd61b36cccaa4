#pragma once
// Model access after a satisfiable check: bit-vector values of any expression
// (blasting terms that were never part of the formula on demand) and the
// array models that the array consistency checker recorded.
//
// A ModelAccessor is a view over one solver context, made by its users (the
// API) where they need it; the solver context itself does not know it.
#include <cstdint>
#include <vector>

#include "varnok/value/bit_vector.h"
#include "varnok/node/expression.h"
#include "varnok/node/operator_expressions.h"

namespace varnok {

class SolverContext;
class ArrayConsistencyChecker;

// A position in the model table of one array term: the array (counted) and
// the current entry. The tables are rebuilt by every array check; a cursor
// made before the last check is no longer valid (rather than reading freed
// entries).
class ArrayModelCursor {
 public:
  ArrayModelCursor() : hasTable(false), checker(nullptr), generation(0) {}

  // Positions the cursor on the first entry of the array's table as the
  // checker's current check filled it.
  void reset(Expression* array, const ArrayConsistencyChecker* checker);
  bool isValid() const;
  void next() {
    if (isValid()) ++current;
  }
  // Index and value expressions of the current entry (uncounted; null when
  // there is no entry).
  Expression* getIndex() const { return isValid() ? current->second.access->getIndex() : nullptr; }
  Expression* getValue() const { return isValid() ? current->second.access->getValue() : nullptr; }
  Expression* getArray() const { return array.get(); }

 private:
  ExpressionRef array;
  bool hasTable;
  const ArrayConsistencyChecker* checker;
  uint32_t generation;
  ArrayModelTable::const_iterator current;
  ArrayModelTable::const_iterator end;
};

class ModelAccessor {
 public:
  explicit ModelAccessor(SolverContext* context) : context(context) {}

  // Blasts the expressions of the list (their representatives) and, when an
  // array is among them, re-runs the array check in full mode until the
  // model is consistent. False when a refinement solve finds no model, or
  // when arrays are to be refined before any check has run.
  bool refineArrays(const std::vector<ExpressionRef>& list);
  // The model value of the handle's representative (the handle is replaced
  // by it); false for null, arrays and expressions never blasted.
  bool getValue(ExpressionRef& e, BitVector& out);
  // A cursor on the model table of the handle's representative (the handle is
  // replaced by it); false for null, non-arrays and arrays never blasted
  // (the cursor is then unchanged).
  bool getArrayModel(ExpressionRef& e, ArrayModelCursor& cursor);

 private:
  SolverContext* context;
};

}  // namespace varnok
