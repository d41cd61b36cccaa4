// The and-inverter-graph encoding of every expression class, the model
// read-back of blasted expressions, and the module side of the graph (how
// module expressions attach to the SAT solver and how their outputs are
// recomputed for the model).
#include <vector>

#include "sat/sat_solver.h"
#include "varnok/aig/aig.h"
#include "varnok/blast/bit_blaster.h"
#include "varnok/aig/circuits.h"
#include "varnok/node/expression.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"
#include "util/internal_error.h"
#include "varnok/node/module_expression.h"

namespace varnok {

namespace {

inline std::vector<AIGEdge>& edgesOf(const Expression* e) { return *e->getBitEdges(); }

// Fresh inputs on every bit.
void encodeFree(Expression* e, AIG& aig) {
  for (AIGEdge& b : edgesOf(e)) b = aig.makeInput();
}

}  // namespace

// ---------------------------------------------------------------------------
// Model read-back

bool Expression::getModelValue(BitVector& out) const {
  const std::vector<AIGEdge>* bits = getBitEdges();
  AIG* aig = getAIG(this);
  if (bits == nullptr || aig == nullptr) return false;
  out = BitVector(getWidth());
  for (uint32_t i = 0; i < getWidth(); ++i)
    if (aig->getModel((*bits)[i])) out.setBit(i);
  return true;
}

bool Expression::getModelBit(uint32_t bit) const {
  const std::vector<AIGEdge>* bits = getBitEdges();
  AIG* aig = getAIG(this);
  if (bits == nullptr || aig == nullptr || bit >= bits->size()) return false;
  return aig->getModel((*bits)[bit]);
}

// ---------------------------------------------------------------------------
// Leaves, structure and arrays

void VariableExpression::encode(AIG& aig) { encodeFree(this, aig); }

void ArrayReadExpression::encode(AIG& aig) { encodeFree(this, aig); }

void ConstantExpression::encode(AIG& aig) {
  std::vector<AIGEdge>& r = edgesOf(this);
  for (uint32_t i = 0; i < getWidth(); ++i) r[i] = getValue().getBit(i) ? aig.getTrue() : aig.getFalse();
}

void ExtractExpression::encode(AIG&) {
  const std::vector<AIGEdge>& a = edgesOf(getChild0());
  std::vector<AIGEdge>& r = edgesOf(this);
  for (uint32_t i = getLo(); i <= getHi(); ++i) r[i - getLo()] = a[i];
}

void ConcatExpression::encode(AIG&) {
  const std::vector<AIGEdge>& high = edgesOf(getChild0());
  const std::vector<AIGEdge>& low = edgesOf(getChild1());
  std::vector<AIGEdge>& r = edgesOf(this);
  r.resize(high.size() + low.size());
  for (std::size_t i = 0; i < low.size(); ++i) r[i] = low[i];
  for (std::size_t i = 0; i < high.size(); ++i) r[low.size() + i] = high[i];
}

void IteExpression::encode(AIG& aig) {
  const AIGEdge& c = edgesOf(getChild0())[0];
  const std::vector<AIGEdge>& t = edgesOf(getChild1());
  const std::vector<AIGEdge>& e = edgesOf(getChild2());
  std::vector<AIGEdge>& r = edgesOf(this);
  for (uint32_t i = 0; i < getWidth(); ++i) r[i] = aig.makeIte(c, t[i], e[i]);
}

void ArrayVariableExpression::encode(AIG&) {}
void ArrayWriteExpression::encode(AIG&) {}
void ArrayIteExpression::encode(AIG&) {}

// A fresh bit e for the equality; unless the equality is asserted, e is
// constrained by e OR NOT(read_a(k) = read_b(k)) for the witness index k:
// arrays that differ differ at k. The other direction is the array
// consistency checker's.
void ArrayEqualExpression::encode(AIG& aig) {
  Expression* ra = getRepresentative(getWitnessRead0());
  Expression* rb = getRepresentative(getWitnessRead1());
  AIGEdge e = aig.makeInput();
  edgesOf(this)[0] = e;
  setFlag(FLAG_BIT_BLASTED);
  if (isAsserted()) return;
  // The bit-blaster only holds the graph and the manager, so a local one
  // blasts exactly as the context's would.
  BitBlaster blaster(&aig, getManager());
  blaster.blast(ra);
  blaster.blast(rb);
  AIGEdge same = circuits::isEqual(aig, edgesOf(ra), edgesOf(rb));
  aig.assertTrue(aig.makeOr(e, ~same));
}

// ---------------------------------------------------------------------------
// Bit-vector operators

void EqualExpression::encode(AIG& aig) {
  edgesOf(this)[0] = circuits::isEqual(aig, edgesOf(getChild0()), edgesOf(getChild1()));
}

void NotExpression::encode(AIG& aig) { circuits::bitwiseNot(aig, edgesOf(getChild0()), edgesOf(this)); }

void AndExpression::encode(AIG& aig) {
  circuits::bitwiseAnd(aig, edgesOf(getChild0()), edgesOf(getChild1()), edgesOf(this));
}

void NEGExpression::encode(AIG& aig) {
  std::vector<AIGEdge>& r = edgesOf(this);
  circuits::bitwiseNot(aig, edgesOf(getChild0()), r);
  AIGEdge carry = aig.getTrue();
  circuits::increment(aig, r, carry);
}

void ADDExpression::encode(AIG& aig) {
  AIGEdge carry = aig.getFalse();
  circuits::add(aig, edgesOf(getChild0()), edgesOf(getChild1()), carry, edgesOf(this));
}

void MULExpression::encode(AIG& aig) {
  const std::vector<AIGEdge>& a = edgesOf(getChild0());
  circuits::multiply(aig, a, edgesOf(getChild1()), static_cast<uint32_t>(a.size()), edgesOf(this));
}

void DIVExpression::encode(AIG& aig) {
  std::vector<AIGEdge> remainder;
  circuits::unsignedDivide(aig, edgesOf(getChild0()), edgesOf(getChild1()), edgesOf(this), remainder);
}

void UREMExpression::encode(AIG& aig) {
  std::vector<AIGEdge> quotient;
  circuits::unsignedDivide(aig, edgesOf(getChild0()), edgesOf(getChild1()), quotient, edgesOf(this));
}

void SHLExpression::encode(AIG& aig) {
  const std::vector<AIGEdge>& a = edgesOf(getChild0());
  circuits::shiftLeft(aig, a, edgesOf(getChild1()), static_cast<uint32_t>(a.size()), edgesOf(this));
}

void LSHRExpression::encode(AIG& aig) {
  circuits::shiftRight(aig, edgesOf(getChild0()), edgesOf(getChild1()), aig.getFalse(), edgesOf(this));
}

void ASHRExpression::encode(AIG& aig) {
  const std::vector<AIGEdge>& a = edgesOf(getChild0());
  circuits::shiftRight(aig, a, edgesOf(getChild1()), a.back(), edgesOf(this));
}

void ULTExpression::encode(AIG& aig) {
  edgesOf(this)[0] = circuits::unsignedLess(aig, edgesOf(getChild0()), edgesOf(getChild1()));
}

void SLTExpression::encode(AIG& aig) {
  edgesOf(this)[0] = circuits::signedLess(aig, edgesOf(getChild0()), edgesOf(getChild1()));
}

// ---------------------------------------------------------------------------
// Module expressions

void ModuleExpression::encode(AIG& aig) {
  std::vector<AIGEdge>& r = edgesOf(this);
  for (uint32_t i = 0; i < getWidth(); ++i) {
    r[i] = aig.makeInput();
    aig.attachModule(r[i], getWatchNode(getInputBitCount() + i));
  }
}

void ModuleExpression::attachToSolver(AIG& aig, sat::Solver* solver, sat::ModuleCallbackNode*) {
  if (getSolver() != nullptr) return;
  setSolver(solver);
  const uint32_t n = getTrackedBitCount();
  for (uint32_t k = 0; k < n; ++k) {
    sat::ModuleCallbackNode* w = getWatchNode(k);
    aig.enqueue(getWatchedEdge(w));
    aig.queueModule(w);
  }
}

void ModuleExpression::updateLiteral(AIG&, sat::ModuleCallbackNode* node) {
  getLiterals()[indexOf(node)] = getWatchedEdge(node).getLiteral();
}

AIGEdge ModuleExpression::getWatchedEdge(sat::ModuleCallbackNode* node) {
  uint32_t child = 0, bit = 0;
  if (locateBit(indexOf(node), child, bit)) return edgesOf(getChild(child))[bit];
  return edgesOf(this)[bit];
}

void AIG::moduleAttach(sat::ModuleCallbackNode* watchNode) {
  ModuleExpression::fromWatchNode(watchNode)->attachToSolver(*this, satSolver, watchNode);
}

void AIG::moduleUpdateLiteral(sat::ModuleCallbackNode* watchNode) {
  ModuleExpression::fromWatchNode(watchNode)->updateLiteral(*this, watchNode);
}

AIGEdge AIG::moduleWatchedEdge(sat::ModuleCallbackNode* watchNode) {
  return ModuleExpression::fromWatchNode(watchNode)->getWatchedEdge(watchNode);
}

void AIG::evaluateModule(ModuleCallbacks* callbacks, std::vector<AIGNode*>& stack) {
  ModuleExpression* m = static_cast<ModuleExpression*>(callbacks);
  bool pushed = false;
  for (uint32_t c = 0; c < m->getArity(); ++c)
    for (const AIGEdge& b : edgesOf(m->getChild(c)))
      if (!isCurrent(b.getNode())) {
        stack.push_back(b.getNode());
        pushed = true;
      }
  if (pushed) return;
  std::vector<BitVector> inputs;
  for (uint32_t c = 0; c < m->getArity(); ++c) {
    const std::vector<AIGEdge>& bits = edgesOf(m->getChild(c));
    BitVector v(static_cast<uint32_t>(bits.size()));
    for (std::size_t i = 0; i < bits.size(); ++i)
      if (edgeValue(bits[i])) v.setBit(static_cast<uint32_t>(i));
    inputs.push_back(std::move(v));
  }
  BitVector output;
  if (UnaryModuleExpression* u = dynamic_cast<UnaryModuleExpression*>(m)) {
    u->compute(inputs[0], output);
  } else if (BinaryModuleExpression* b = dynamic_cast<BinaryModuleExpression*>(m)) {
    b->compute(inputs[0], inputs[1], output);
  } else {
    throwInternalError("src/varnok/aig", 700, "getModel", "Module can either be binary or unary.");
  }
  const std::vector<AIGEdge>& out = edgesOf(m);
  for (uint32_t i = 0; i < m->getWidth(); ++i)
    setModelBit(out[i].getNode(), output.getBit(i) != out[i].isComplemented());
}

}  // namespace varnok
