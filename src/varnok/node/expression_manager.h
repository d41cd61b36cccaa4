#pragma once
// The owner of every formula node of one solver.
//
// The store part (expression_manager.cpp, with the hash-consing set of
// expression_store.h that makes structurally equal nodes one node):
// registration with serial ids and per-kind counts, the listener protocol,
// iterative deletion, the assumption queue, the asserted root and the hook to
// variable substitution.
//
// The manager owns two parts of higher folders, the variable substitution
// (context) and the exact evaluator (fp), by pointer; they are made, dropped
// and called in context/expression_manager_parts.cpp.
//
// The make functions (one per operator, declared below) build and simplify
// nodes. Their conventions:
// 1. The first argument is the result handle, written and returned; then the
//    operands as pointers to the caller's handles; then further arguments by
//    value. The result holds one reference for the caller.
// 2. A null operand, a width mismatch or an out-of-range index gives a null
//    result; nothing is printed or thrown.
// 3. Operand handles are working storage: a maker may swap them, move one into
//    the result (the caller's handle becomes null) or replace them by rewritten
//    nodes. Callers that still need their handles pass copies.
// 4. Commutative makers order their operands by serial id first.
// 5. New nodes go through findOrInsert; always-new leaves (variables, array
//    variables, fresh variables) through registerExpression.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_set>
#include <vector>

#include "varnok_float.h"
#include "varnok/value/bit_vector.h"
#include "varnok/node/expression.h"
#include "varnok/node/expression_store.h"

namespace varnok {

class SolverContext;
class Substitution;
class ExactFloatEvaluator;
class AIG;

// Told of every registration and removal of a node, in registration order of
// the listeners.
class ExpressionAddRemoveListener {
 public:
  virtual ~ExpressionAddRemoveListener() = default;
  virtual void expressionAdded(Expression* e) = 0;
  virtual void expressionRemoved(Expression* e) = 0;
};

class ExpressionManager {
 public:
  explicit ExpressionManager(SolverContext* context = nullptr);
  ~ExpressionManager();
  ExpressionManager(const ExpressionManager&) = delete;
  ExpressionManager& operator=(const ExpressionManager&) = delete;

  // ---- store --------------------------------------------------------------
  // The shared node equal to `candidate`: an existing equal node (the
  // candidate is destroyed unregistered) or the registered candidate.
  ExpressionRef findOrInsert(Expression* candidate);
  // The registered node equal to `candidate`, or null; no reference taken,
  // nothing changes. `hash` is candidate->hash().
  Expression* lookup(const Expression* candidate, uint64_t hash) const { return nodes_.find(candidate, hash); }
  // Registers a node without looking for an equal one: takes the next serial
  // id, attaches the node, inserts it into the set (unless an equal element is
  // there), counts it and tells the listeners.
  ExpressionRef registerExpression(Expression* e);
  // Listeners hear expressionRemoved, the node leaves the set, its kind
  // counter drops. The live count does not change.
  void unregisterExpression(Expression* e);
  // Deletes a node whose count is 0, and everything that dies with it,
  // iteratively.
  void deleteExpression(Expression* e);

  void addListener(ExpressionAddRemoveListener* listener);
  // Erases every occurrence.
  void removeListener(ExpressionAddRemoveListener* listener);

  // Queues a one-bit formula for the next check: false for null or a width
  // other than 1; true without queueing when it is already asserted or
  // assumed.
  bool addAssumption(ExpressionRef a);
  // Empties the queue (clearing the assumed flags).
  void clearAssumptions();
  // Marks every newly asserted node of f (down through nested Ands) and offers
  // it once to substitution.
  void assertFormula(ExpressionRef f);
  void runSubstitution();

  // ---- queries ------------------------------------------------------------
  uint32_t getKindCount(uint32_t kind) const { return kind < NUM_EXPRESSION_KINDS ? kindCounters_[kind] : 0; }
  uint32_t getNextId() const { return nextId_; }
  uint32_t getLiveCount() const { return liveNodes_; }
  size_t getSetSize() const { return nodes_.size(); }
  size_t getSetMemoryBytes() const { return nodes_.memoryBytes(); }
  const ExpressionRef& getRoot() const { return root_; }
  const std::deque<ExpressionRef>& getAssumptions() const { return assumptions_; }
  const std::vector<ExpressionAddRemoveListener*>& getListeners() const { return listeners_; }
  SolverContext* getContext() const { return context_; }
  Substitution* getSubstitution() const { return substitution_; }
  const ExactFloatEvaluator& getEvaluator() const { return *evaluator_; }
  // The and-inverter graph nodes reach through getAIG(e). The solver context
  // sets it right after constructing the manager; the graph must outlive the
  // manager.
  AIG* getAIG() const { return aig_; }
  void setAIG(AIG* aig) { aig_ = aig; }

  // ---- leaf makers (factory/leaf_makers.cpp) ------------------------------
  ExpressionRef& makeFalse(ExpressionRef& result);
  ExpressionRef& makeTrue(ExpressionRef& result);
  ExpressionRef& makeBool(ExpressionRef& result, bool value);
  ExpressionRef& makeOnes(ExpressionRef& result, uint32_t width);
  ExpressionRef& makeOne(ExpressionRef& result, uint32_t width);
  ExpressionRef& makeZero(ExpressionRef& result, uint32_t width);
  ExpressionRef& makeConstantFromHex(ExpressionRef& result, const std::string& digits);
  ExpressionRef& makeConstantFromBinary(ExpressionRef& result, const std::string& digits);
  ExpressionRef& makeConstantFromDecimal(ExpressionRef& result, const std::string& digits, uint32_t width);
  ExpressionRef& makeConstant(ExpressionRef& result, const BitVector& value);
  ExpressionRef& makeConstantFromBits(ExpressionRef& result, const std::vector<bool>& bits);
  ExpressionRef& makeConstantFromUInt64(ExpressionRef& result, uint64_t value, uint32_t width);
  // Always a new variable; width 0 gives null; the name (may be null) is copied.
  ExpressionRef& makeVariable(ExpressionRef& result, uint32_t width, const char* name);
  ExpressionRef& makeArrayVariable(ExpressionRef& result, uint32_t indexWidth, uint32_t elementWidth,
                                   const char* name);

  // ---- Boolean connectives ------------------------------------------------
  ExpressionRef& makeNot(ExpressionRef& result, ExpressionRef* x);
  ExpressionRef& makeAnd(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeNor(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeOr(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeNand(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeImplies(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeIff(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeXnor(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeXor(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  // Root := and(representative of root, e), then assertFormula(root). False
  // for null or a width other than 1.
  bool assertExpression(ExpressionRef* e);
  // Helpers of makeAnd.
  ExpressionRef& makeNotOrTake(ExpressionRef& result, ExpressionRef* x, bool take);
  ExpressionRef simplifyAnd(Expression* a, Expression* b);
  ExpressionRef mergeExtractConstraints(Expression* x, Expression* y, Expression* o);
  ExpressionRef mergeExtractEqualities(Expression* x1, Expression* t1, Expression* x2, Expression* t2);

  // ---- equality and if-then-else ------------------------------------------
  ExpressionRef& makeEqual(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeIte(ExpressionRef& result, ExpressionRef* c, ExpressionRef* t, ExpressionRef* e);
  ExpressionRef& makeDistinct(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeIsZero(ExpressionRef& result, ExpressionRef* x);
  ExpressionRef& makeIsAllOnes(ExpressionRef& result, ExpressionRef* x);
  ExpressionRef& makeIsOne(ExpressionRef& result, ExpressionRef* x);

  // ---- addition, multiplication, negation ---------------------------------
  ExpressionRef& makeMul(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeAdd(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeNeg(ExpressionRef& result, ExpressionRef* x);
  ExpressionRef& makeSub(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);

  // ---- extraction, concatenation, extension -------------------------------
  ExpressionRef& makeExtract(ExpressionRef& result, ExpressionRef* x, uint32_t hi, uint32_t lo);
  ExpressionRef& makeConcat(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeZeroExtend(ExpressionRef& result, ExpressionRef* x, uint32_t n);
  ExpressionRef& makeSignExtend(ExpressionRef& result, ExpressionRef* x, uint32_t n);
  ExpressionRef& makeRepeat(ExpressionRef& result, ExpressionRef* x, uint32_t n);
  ExpressionRef& makeRotateLeft(ExpressionRef& result, ExpressionRef* x, uint32_t n);
  ExpressionRef& makeRotateRight(ExpressionRef& result, ExpressionRef* x, uint32_t n);

  // ---- shifts --------------------------------------------------------------
  ExpressionRef& makeShl(ExpressionRef& result, ExpressionRef* x, ExpressionRef* s);
  ExpressionRef& makeLShr(ExpressionRef& result, ExpressionRef* x, ExpressionRef* s);
  ExpressionRef& makeAShr(ExpressionRef& result, ExpressionRef* x, ExpressionRef* s);

  // ---- comparisons ----------------------------------------------------------
  ExpressionRef& makeULT(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeSLT(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeUGT(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeULE(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeUGE(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeSGT(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeSLE(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeSGE(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);

  // ---- division and remainder ---------------------------------------------
  ExpressionRef& makeUDiv(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeURem(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeSDiv(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeSRem(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeSMod(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);

  // ---- overflow tests and absolute value ----------------------------------
  ExpressionRef& makeUAddOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeSAddOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeUSubOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeSSubOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeUMulOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeSMulOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeSDivOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b);
  ExpressionRef& makeAbs(ExpressionRef& result, ExpressionRef* x);

  // ---- arrays ----------------------------------------------------------------
  ExpressionRef& makeArrayRead(ExpressionRef& result, ExpressionRef* array, ExpressionRef* index);
  ExpressionRef& makeArrayWrite(ExpressionRef& result, ExpressionRef* array, ExpressionRef* index,
                                ExpressionRef* value);

  // ---- n-ary makers (operands sorted by serial id, the list left unchanged) --
  ExpressionRef& makeDistinctN(ExpressionRef& result, const std::vector<ExpressionRef>& operands);
  ExpressionRef& makeXorN(ExpressionRef& result, const std::vector<ExpressionRef>& operands);
  ExpressionRef& makeAndN(ExpressionRef& result, const std::vector<ExpressionRef>& operands);
  ExpressionRef& makeIffN(ExpressionRef& result, const std::vector<ExpressionRef>& operands);
  ExpressionRef& makeOrN(ExpressionRef& result, const std::vector<ExpressionRef>& operands);
  ExpressionRef& makeEqualN(ExpressionRef& result, const std::vector<ExpressionRef>& operands);

  // ---- floating-point constants and classification ------------------------
  ExpressionRef& makeFloatSignBit(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeFloatExponent(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeFloatSignificand(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeFloatMagnitude(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeFloatNaN(ExpressionRef& result, const FloatFormat& f);
  ExpressionRef& makeFloatInfinity(ExpressionRef& result, bool sign, const FloatFormat& f);
  ExpressionRef& makeFloatZero(ExpressionRef& result, bool sign, const FloatFormat& f);
  ExpressionRef& makeFloatAbs(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeFloatNeg(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeFloatIsZero(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeFloatIsSubnormal(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeFloatIsNormal(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeFloatIsInfinite(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeFloatIsNaN(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeFloatIsNegative(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeFloatIsPositive(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  // Each out-handle is replaced by the new expression (the old one released).
  void unpackFloat(ExpressionRef* x, ExpressionRef& sign, ExpressionRef& exponent, ExpressionRef& significand,
                   const FloatFormat& f);

  // ---- floating-point comparison, minimum and maximum ---------------------
  ExpressionRef& makeFloatSame(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b, const FloatFormat& f);
  ExpressionRef& makeFloatEq(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b, const FloatFormat& f);
  ExpressionRef& makeFloatNotEq(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b, const FloatFormat& f);
  ExpressionRef& makeFloatOrderLT(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b, const FloatFormat& f);
  ExpressionRef& makeFloatOrderGT(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b, const FloatFormat& f);
  ExpressionRef& makeFloatOrderLE(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b, const FloatFormat& f);
  ExpressionRef& makeFloatOrderGE(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b, const FloatFormat& f);
  ExpressionRef& makeFloatLT(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b, const FloatFormat& f);
  ExpressionRef& makeFloatLEQ(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b, const FloatFormat& f);
  ExpressionRef& makeFloatMin(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b, const FloatFormat& f);
  ExpressionRef& makeFloatMax(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b, const FloatFormat& f);

  // ---- floating-point arithmetic and conversions --------------------------
  ExpressionRef& makeFloatAdd(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b, const FloatFormat& f,
                              RoundingMode mode);
  ExpressionRef& makeFloatSub(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b, const FloatFormat& f,
                              RoundingMode mode);
  ExpressionRef& makeFloatMul(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b, const FloatFormat& f,
                              RoundingMode mode);
  ExpressionRef& makeFloatDiv(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b, const FloatFormat& f,
                              RoundingMode mode);
  ExpressionRef& makeFloatToUInt(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f, uint32_t width,
                                 RoundingMode mode);
  ExpressionRef& makeFloatToSInt(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f, uint32_t width,
                                 RoundingMode mode);
  ExpressionRef& makeUIntToFloat(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f, RoundingMode mode);
  ExpressionRef& makeSIntToFloat(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f, RoundingMode mode);
  ExpressionRef& makeFloatToFloat(ExpressionRef& result, ExpressionRef* x, const FloatFormat& from,
                                  const FloatFormat& to, RoundingMode mode);
  // Bit-list routines of the exact evaluation.
  static void setBitsFromUInt32(uint32_t value, uint32_t n, std::vector<bool>& out);
  static void complementBits(const std::vector<bool>& in, std::vector<bool>& out);

  // ---- non-linear functions (formats {8, 23} and {11, 52} only) ------------
  ExpressionRef& makeExp(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeLog(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeSin(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeCos(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeExpModule(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeLogModule(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeSinModule(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  ExpressionRef& makeCosModule(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f);
  // Appends table[i] for every set bit i of mask, highest index first.
  static void collectMaskedEntries64(uint64_t mask, const int* table, std::vector<int>& out);
  static void collectMaskedEntries32(uint32_t mask, const int* table, std::vector<int>& out);

 private:
  friend class Expression;

  // Records a node that is live but not in the set (a forwarding node, or a
  // registered duplicate), so that it can be orphaned with the rest.
  void noteOffSet(Expression* e) { offSetNodes_.insert(e); }
  // Shared tail of the constant makers that look up in place.
  ExpressionRef& insertConstant(ExpressionRef& result, Expression* node);
  // The owned parts of higher folders (expression_manager_parts.cpp): made
  // at the end of construction, dropped first in destruction.
  void createOwnedParts();
  void destroyOwnedParts();
  // Offers a newly asserted node to the substitution.
  void offerToSubstitution(ExpressionRef& n);
  // Minimum (maximum false) or maximum of two floats (factory/float_makers.cpp).
  ExpressionRef& makeFloatMinMax(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b, const FloatFormat& f,
                                 bool maximum);

  // The free sign of the minimum or maximum of two zeros of different signs.
  // The result is unspecified there but it is a function of its operands: one
  // variable per (minimum or maximum, format, which operand is -0), made on
  // first use and released with the manager.
  struct ZeroSignChoice {
    FloatFormat format;
    bool maximum;
    ExpressionRef negativeFirst;  // first operand -0, second +0
    ExpressionRef positiveFirst;  // first operand +0, second -0
  };
  ZeroSignChoice& zeroSignChoice(const FloatFormat& f, bool maximum);

  uint32_t kindCounters_[NUM_EXPRESSION_KINDS];
  ExpressionSet nodes_;
  SolverContext* context_;
  Substitution* substitution_;
  std::vector<ExpressionAddRemoveListener*> listeners_;
  ExpressionRef root_;
  std::deque<ExpressionRef> assumptions_;
  uint32_t nextId_;
  uint32_t liveNodes_;
  ExactFloatEvaluator* evaluator_;
  AIG* aig_;
  // Deletion work list; deleteExpression re-entered (a destructor releasing a
  // counted field) only pushes onto it.
  std::vector<Expression*> deleteStack_;
  bool deleting_;
  NodeIdentitySet offSetNodes_;
  std::vector<ZeroSignChoice> zeroSignChoices_;
};

}  // namespace varnok
