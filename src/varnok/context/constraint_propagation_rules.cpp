// Per-operator rules of constraint propagation.
//
// Upward rules derive an expression's bits from its operands' bits, downward
// rules its operands' bits (and intervals) from its own. They read canonical
// literals only through getBitLiteral, state facts only through mergeBit and
// propagateComparison, and never undo anything. Every fact must hold in every
// model of the asserted formula: a rule that is unsure derives nothing.
#include "varnok/value/bit_vector.h"
#include "varnok/value/bit_vector_interval.h"
#include "varnok/context/constraint_propagation.h"
#include "varnok/node/operator_expressions.h"

namespace varnok {

namespace {

using Literal = ConstraintPropagation::Literal;

// Relations of two canonical literals.
inline bool same(Literal x, Literal y) { return x == y && ConstraintPropagation::classOf(x) != nullptr; }
inline bool complementary(Literal x, Literal y) {
  return ConstraintPropagation::classOf(x) != nullptr && (x ^ y) == 1u;
}

// Three-valued conjunction and disjunction of two literals; 0 when neither
// operand decides the result.
Literal and3(const ConstraintPropagation& p, Literal x, Literal y) {
  const Literal t = p.getTrueLiteral(), f = p.getFalseLiteral();
  if (x == f || y == f || complementary(x, y)) return f;
  if (x == t) return y;
  if (y == t || same(x, y)) return x;
  return 0;
}

Literal or3(const ConstraintPropagation& p, Literal x, Literal y) {
  const Literal t = p.getTrueLiteral(), f = p.getFalseLiteral();
  if (x == t || y == t || complementary(x, y)) return t;
  if (same(x, y)) return x;
  if (x == f) return y;
  if (y == f) return x;
  return 0;
}

bool hasRecords(const Expression* e) { return e->getPropagationBits() != nullptr; }

// ---- constants ------------------------------------------------------------------

void constantUp(Expression* e, ConstraintPropagation& p) {
  const BitVector& v = static_cast<ConstantExpression*>(e)->getValue();
  const uint32_t w = e->getWidth();
  p.createPropagationBits(e);
  for (uint32_t i = 0; i < w && p.isOk(); ++i) p.mergeBit(e, i, v.getBit(i) ? p.getTrueLiteral() : p.getFalseLiteral());
  if (w == 0) return;
  BitVectorInterval point(w);
  point.set(v, v);
  p.propagateComparison(e, point);
}

// ---- not ------------------------------------------------------------------------

void notUp(Expression* e, ConstraintPropagation& p) {
  Expression* a = e->getChild0();
  const uint32_t w = e->getWidth();
  if (!hasRecords(a) || w == 0) return;
  for (uint32_t i = 0; i < w && p.isOk(); ++i) p.mergeBit(e, i, ConstraintPropagation::negate(p.getBitLiteral(a, i)));
}

void notDown(Expression* e, ConstraintPropagation& p) {
  if (!hasRecords(e)) return;
  Expression* a = e->getChild0();
  const uint32_t w = e->getWidth();
  for (uint32_t i = 0; i < w && p.isOk(); ++i) p.mergeBit(a, i, ConstraintPropagation::negate(p.getBitLiteral(e, i)));
}

// ---- and ------------------------------------------------------------------------

void andUp(Expression* e, ConstraintPropagation& p) {
  Expression* a = e->getChild0();
  Expression* b = e->getChild1();
  if (!hasRecords(a) && !hasRecords(b)) return;
  p.createPropagationBits(a);
  p.createPropagationBits(b);
  const uint32_t w = e->getWidth();
  for (uint32_t i = 0; i < w && p.isOk(); ++i) {
    const Literal la = p.getBitLiteral(a, i);
    const Literal lb = p.getBitLiteral(b, i);
    const Literal r = and3(p, la, lb);
    // No literal: only the records are made.
    p.mergeBit(e, i, r);
  }
}

void andDown(Expression* e, ConstraintPropagation& p) {
  if (!hasRecords(e)) return;
  Expression* a = e->getChild0();
  Expression* b = e->getChild1();
  const Literal t = p.getTrueLiteral(), f = p.getFalseLiteral();
  const uint32_t w = e->getWidth();
  for (uint32_t i = 0; i < w && p.isOk(); ++i) {
    const Literal le = p.getBitLiteral(e, i);
    const Literal la = p.getBitLiteral(a, i);
    const Literal lb = p.getBitLiteral(b, i);
    if (le == t) {
      p.mergeBit(a, i, t);
      p.mergeBit(b, i, t);
    } else if (le == f && la == t) {
      p.mergeBit(b, i, f);
    } else if (complementary(le, la)) {
      // a & b = not a holds only with a true and b false.
      p.mergeBit(e, i, f);
      p.mergeBit(a, i, t);
      p.mergeBit(b, i, f);
    } else if (le == f && lb == t) {
      p.mergeBit(a, i, f);
    } else if (complementary(le, lb)) {
      p.mergeBit(e, i, f);
      p.mergeBit(b, i, t);
      p.mergeBit(a, i, f);
    }
  }
}

// ---- if-then-else -----------------------------------------------------------------

void iteUp(Expression* e, ConstraintPropagation& p) {
  Expression* c = e->getChild0();
  Expression* t = e->getChild1();
  Expression* f = e->getChild2();
  const uint32_t w = e->getWidth();
  if ((!hasRecords(c) && !hasRecords(t) && !hasRecords(f)) || w == 0) return;
  for (uint32_t i = 0; i < w && p.isOk(); ++i) {
    const Literal lc = p.getBitLiteral(c, 0);
    const Literal lt = p.getBitLiteral(t, i);
    const Literal lf = p.getBitLiteral(f, i);
    if (same(lt, lf)) {
      p.mergeBit(e, i, lt);
    } else {
      p.mergeBit(e, i, or3(p, and3(p, lc, lt), and3(p, ConstraintPropagation::negate(lc), lf)));
    }
  }
}

// ---- concatenation and extraction ----------------------------------------------------

void concatUp(Expression* e, ConstraintPropagation& p) {
  Expression* a = e->getChild0();  // high part
  Expression* b = e->getChild1();  // low part
  if (!hasRecords(a) || !hasRecords(b)) return;
  const uint32_t wa = a->getWidth(), wb = b->getWidth();
  for (uint32_t i = 0; i < wa && p.isOk(); ++i) p.mergeBit(e, wb + i, p.getBitLiteral(a, i));
  for (uint32_t i = 0; i < wb && p.isOk(); ++i) p.mergeBit(e, i, p.getBitLiteral(b, i));
}

void concatDown(Expression* e, ConstraintPropagation& p) {
  if (!hasRecords(e)) return;
  Expression* a = e->getChild0();
  Expression* b = e->getChild1();
  p.createPropagationBits(a);
  p.createPropagationBits(b);
  const uint32_t wa = a->getWidth(), wb = b->getWidth();
  for (uint32_t i = 0; i < wa && p.isOk(); ++i) p.mergeBit(a, i, p.getBitLiteral(e, wb + i));
  for (uint32_t i = 0; i < wb && p.isOk(); ++i) p.mergeBit(b, i, p.getBitLiteral(e, i));
}

void extractUp(Expression* e, ConstraintPropagation& p) {
  auto* x = static_cast<ExtractExpression*>(e);
  Expression* a = e->getChild0();
  const uint32_t lo = x->getLo(), hi = x->getHi();
  for (uint32_t j = lo; j <= hi && p.isOk(); ++j) p.mergeBit(e, j - lo, p.getBitLiteral(a, j));
}

void extractDown(Expression* e, ConstraintPropagation& p) {
  auto* x = static_cast<ExtractExpression*>(e);
  Expression* a = e->getChild0();
  const uint32_t lo = x->getLo(), hi = x->getHi();
  for (uint32_t j = lo; j <= hi && p.isOk(); ++j) p.mergeBit(a, j, p.getBitLiteral(e, j - lo));
}

// ---- equality -------------------------------------------------------------------------

void equalUp(Expression* e, ConstraintPropagation& p) {
  Expression* a = e->getChild0();
  Expression* b = e->getChild1();
  if (!hasRecords(a) || !hasRecords(b)) return;
  const uint32_t w = a->getWidth();
  if (w == 0) {
    p.mergeBit(e, 0, p.getTrueLiteral());
    return;
  }
  bool allSame = true;
  for (uint32_t i = 0; i < w; ++i) {
    const Literal la = p.getBitLiteral(a, i);
    const Literal lb = p.getBitLiteral(b, i);
    if (complementary(la, lb)) {
      p.mergeBit(e, 0, p.getFalseLiteral());
      return;
    }
    if (!same(la, lb)) allSame = false;
  }
  if (allSame) p.mergeBit(e, 0, p.getTrueLiteral());
}

void equalDown(Expression* e, ConstraintPropagation& p) {
  if (!hasRecords(e)) return;
  Expression* a = e->getChild0();
  Expression* b = e->getChild1();
  p.createPropagationBits(a);
  p.createPropagationBits(b);
  if (p.getBitLiteral(e, 0) != p.getTrueLiteral()) return;
  const uint32_t w = a->getWidth();
  for (uint32_t i = 0; i < w && p.isOk(); ++i) p.mergeBit(b, i, p.getBitLiteral(a, i));
  if (!p.isOk() || w == 0) return;
  // Copies: narrowing one operand must not change the bound applied to it.
  const BitVectorInterval ib = b->getInterval();
  p.propagateComparison(a, ib);
  if (!p.isOk()) return;
  const BitVectorInterval ia = a->getInterval();
  p.propagateComparison(b, ia);
}

// ---- comparisons ------------------------------------------------------------------------

// a < b (signed when `isSigned`), known true or false; narrows both intervals.
void lessDown(Expression* e, ConstraintPropagation& p, bool isSigned) {
  if (!hasRecords(e)) return;
  Expression* a = e->getChild0();
  Expression* b = e->getChild1();
  const uint32_t w = a->getWidth();
  if (w == 0) return;
  const Literal le = p.getBitLiteral(e, 0);
  BitVector least(w), greatest(w), one(w), m(w), n(w), bound(w);
  one.setOne();
  if (isSigned) {
    least.setSignedMin();
    greatest.setSignedMax();
  } else {
    least.setZero();
    greatest.setAllOnes();
  }
  BitVectorInterval range(w);
  if (le == p.getTrueLiteral()) {
    // a < b: a is at most max(b) - 1, b at least min(a) + 1.
    if (isSigned)
      b->getInterval().getSignedMax(m);
    else
      b->getInterval().getUnsignedMax(m);
    if (m == least) {
      p.conflict();
      return;
    }
    BitVector::sub(m, one, bound);
    range.set(least, bound);
    p.propagateComparison(a, range);
    if (a->getInterval().isEmpty()) return;
    if (isSigned)
      a->getInterval().getSignedMin(n);
    else
      a->getInterval().getUnsignedMin(n);
    if (n == greatest) {
      p.conflict();
      return;
    }
    BitVector::add(n, one, bound);
    range.set(bound, greatest);
    p.propagateComparison(b, range);
  } else if (le == p.getFalseLiteral()) {
    // a >= b: a is at least min(b), b at most max(a).
    if (isSigned)
      b->getInterval().getSignedMin(n);
    else
      b->getInterval().getUnsignedMin(n);
    range.set(n, greatest);
    p.propagateComparison(a, range);
    if (a->getInterval().isEmpty()) return;
    if (isSigned)
      a->getInterval().getSignedMax(m);
    else
      a->getInterval().getUnsignedMax(m);
    range.set(least, m);
    p.propagateComparison(b, range);
  }
}

}  // namespace

void propagateUpRule(Expression* e, ConstraintPropagation& engine) {
  switch (e->getKind()) {
    case KIND_CONSTANT:
      constantUp(e, engine);
      break;
    case KIND_NOT:
      notUp(e, engine);
      break;
    case KIND_AND:
      andUp(e, engine);
      break;
    case KIND_ITE:
      iteUp(e, engine);
      break;
    case KIND_CONCAT:
      concatUp(e, engine);
      break;
    case KIND_EXTRACT:
      extractUp(e, engine);
      break;
    case KIND_EQUAL:
      equalUp(e, engine);
      break;
    default:
      break;
  }
}

void propagateDownRule(Expression* e, ConstraintPropagation& engine) {
  switch (e->getKind()) {
    case KIND_NOT:
      notDown(e, engine);
      break;
    case KIND_AND:
      andDown(e, engine);
      break;
    case KIND_CONCAT:
      concatDown(e, engine);
      break;
    case KIND_EXTRACT:
      extractDown(e, engine);
      break;
    case KIND_EQUAL:
      equalDown(e, engine);
      break;
    case KIND_ULT:
      lessDown(e, engine, false);
      break;
    case KIND_SLT:
      lessDown(e, engine, true);
      break;
    default:
      break;
  }
}

}  // namespace varnok
