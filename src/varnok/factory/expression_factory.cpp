// Make functions for the Boolean connectives, equality, if-then-else, arrays
// and the n-ary connectives, and the assertion of a formula.
//
// Every maker checks its operands, orders commutative operands by serial id,
// folds constants and then tries its rewrite rules in a fixed order. Makers
// that rewrite their own operands (and, equality, if-then-else, array read and
// write) do so in a loop that starts over from the first rule after each
// rewrite; every rewritten result is built through the makers again, so it is
// simplified and shared like a directly built node.
//
// Each rule is written as one step with a comment of its shape and result
// ("x & ~x → 0"); a rule that applies to either operand, or to either branch,
// is written once and tried on the first, then on the second.
//
// Operands that cannot stand where they are given (a null handle, an array
// where a bit-vector is expected, operands of different widths or sorts) give
// a null result.
#include <algorithm>
#include <utility>
#include <vector>

#include "varnok/factory/expression_factory_build.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"
#include "varnok/node/structural_relations.h"

namespace varnok {

namespace {

using namespace factory_build;

inline uint64_t indexWidthOf(const Expression* e) {
  return static_cast<const ArrayExpression*>(e)->getIndexWidth();
}
inline uint64_t elementWidthOf(const Expression* e) {
  return static_cast<const ArrayExpression*>(e)->getElementWidth();
}
inline bool sameArraySort(const Expression* a, const Expression* b) {
  return indexWidthOf(a) == indexWidthOf(b) && elementWidthOf(a) == elementWidthOf(b);
}

// ---------------------------------------------------------------------------
// not

ExpressionRef notOf(ExpressionManager& m, Expression* x) {
  Build b{m};
  const uint32_t w = x->getWidth();
  switch (x->getKind()) {
    case KIND_CONSTANT: {
      BitVector r;
      BitVector::bitNot(valueOf(x), r);
      return b.Constant(r);
    }
    case KIND_NOT:
      return ExpressionRef(childOf(x, 0));
    case KIND_NEG: {
      // The complement of -y is y - 1.
      ExpressionRef ones = b.Ones(w);
      return b.Add(childOf(x, 0), ones);
    }
    case KIND_EXTRACT: {
      Expression* z = childOf(x, 0);
      if (isKind(z, KIND_NOT)) return b.Extract(childOf(z, 0), hiOf(x), loOf(x));
      break;
    }
    case KIND_CONCAT: {
      Expression* h = childOf(x, 0);
      Expression* l = childOf(x, 1);
      if (isKind(h, KIND_NOT) && isKind(l, KIND_NOT)) return b.Concat(childOf(h, 0), childOf(l, 0));
      if (isConst(h) || isConst(l)) {
        ExpressionRef nh = b.Not(h);
        ExpressionRef nl = b.Not(l);
        return b.Concat(nh, nl);
      }
      break;
    }
    case KIND_ITE: {
      Expression* t = childOf(x, 1);
      Expression* e = childOf(x, 2);
      auto pushable = [](Expression* y) {
        return isKind(y, KIND_NOT) || isKind(y, KIND_NEG) || isConst(y);
      };
      if (pushable(t) && pushable(e)) {
        ExpressionRef nt = b.Not(t);
        ExpressionRef ne = b.Not(e);
        return b.Ite(childOf(x, 0), nt, ne);
      }
      break;
    }
    default:
      break;
  }
  return m.findOrInsert(new NotExpression(w, x));
}

// ---------------------------------------------------------------------------
// and

// A conjunct as the rules of the conjunction see it: the node itself; its two
// operands when it is an and; when it is a not, the negated node and, when
// that is an and, its two operands. Parts the node does not have are null.
struct Conjunct {
  Expression* e;
  Expression* op[2] = {nullptr, nullptr};     // e = op[0] & op[1]
  Expression* neg = nullptr;                  // e = ~neg
  Expression* negOp[2] = {nullptr, nullptr};  // e = ~(negOp[0] & negOp[1])

  // `kind` is the kind of x.
  Conjunct(Expression* x, uint32_t kind) : e(x) {
    if (kind == KIND_AND) {
      op[0] = childOf(x, 0);
      op[1] = childOf(x, 1);
    } else if (kind == KIND_NOT) {
      neg = childOf(x, 0);
      if (isKind(neg, KIND_AND)) {
        negOp[0] = childOf(neg, 0);
        negOp[1] = childOf(neg, 1);
      }
    }
  }
  bool isAnd() const { return op[0] != nullptr; }
  bool isNot() const { return neg != nullptr; }
  bool isNotOfAnd() const { return negOp[0] != nullptr; }
};

// Some x[k] is the complement of some y[l]; the pairs are tried (x0, y0),
// (x0, y1), (x1, y0), (x1, y1).
bool anyComplementary(Expression* const (&x)[2], Expression* const (&y)[2]) {
  for (int k = 0; k < 2; ++k)
    for (int l = 0; l < 2; ++l)
      if (isNegationOf(x[k], y[l])) return true;
  return false;
}

// One pass over the rules of the conjunction, in their order. In the
// comments a and b are the operands in their order, x and y the operands in
// either order (a rule written for x tries a as x first, then b), x0 and x1
// or p and q the operands of an and, c and d constants.
ExpressionRef andRules(ExpressionManager& m, ExpressionRef& a, ExpressionRef& b, bool& again) {
  Build bd{m};
  Expression* A;
  Expression* B;
  // Operands of different widths or arrays → null; smaller serial id first.
  if (!orderCommutativeOperands(a, b, A, B)) return ExpressionRef();
  const uint32_t w = A->getWidth();
  ExpressionRef* const h[2] = {&a, &b};
  Expression* const e[2] = {A, B};
  const uint32_t kind[2] = {A->getKind(), B->getKind()};
  // c & d → the folded constant
  if (kind[0] == KIND_CONSTANT && kind[1] == KIND_CONSTANT) {
    BitVector r;
    BitVector::bitAnd(valueOf(A), valueOf(B), r);
    return bd.Constant(r);
  }
  // x & x → x
  if (A == B) return std::move(a);
  // 0 & y → 0
  for (int i = 0; i < 2; ++i)
    if (e[i]->isZero()) return std::move(*h[i]);
  // x & ~x → 0
  if (isNegationOf(A, B)) return bd.Zero(w);
  // ones & y → y
  for (int i = 0; i < 2; ++i)
    if (e[i]->isAllOnes()) return std::move(*h[1 - i]);

  const Conjunct x[2] = {Conjunct(A, kind[0]), Conjunct(B, kind[1])};
  // (x0 & x1) & ~xk → 0
  for (int i = 0; i < 2; ++i) {
    Expression* y = e[1 - i];
    if (x[i].isAnd() && (isNegationOf(y, x[i].op[0]) || isNegationOf(y, x[i].op[1]))) return bd.Zero(w);
  }
  // (x0 & x1) & (y0 & y1) with xk = ~yl → 0
  if (x[0].isAnd() && x[1].isAnd() && anyComplementary(x[0].op, x[1].op)) return bd.Zero(w);
  // ~(x0 & x1) & ~xk → ~xk
  for (int i = 0; i < 2; ++i) {
    Expression* y = e[1 - i];
    if (x[i].isNotOfAnd() && (isNegationOf(y, x[i].negOp[0]) || isNegationOf(y, x[i].negOp[1])))
      return std::move(*h[1 - i]);
  }
  // ~(x0 & x1) & (y0 & y1) with xk = ~yl → y0 & y1
  for (int i = 0; i < 2; ++i) {
    const Conjunct& y = x[1 - i];
    if (x[i].isNotOfAnd() && y.isAnd() && anyComplementary(x[i].negOp, y.op)) return std::move(*h[1 - i]);
  }
  // (x0 & x1) & xk → x0 & x1
  for (int i = 0; i < 2; ++i) {
    Expression* y = e[1 - i];
    if (x[i].isAnd() && (x[i].op[0] == y || x[i].op[1] == y)) return std::move(*h[i]);
  }
  // ~(p & q) & ~(p & ~q) → ~p; the pairs of operands of the two ands tried
  // (first, first), (first, second), (second, first), (second, second)
  if (x[0].isNotOfAnd() && x[1].isNotOfAnd()) {
    Expression* const(&P)[2] = x[0].negOp;
    Expression* const(&Q)[2] = x[1].negOp;
    for (int k = 0; k < 2; ++k)
      for (int l = 0; l < 2; ++l)
        if (P[k] == Q[l] && isNegationOf(P[1 - k], Q[1 - l])) return bd.Not(P[k]);
  }
  // ~(x0 & x1) & xk → ~x(1-k) & xk, x1 tried first
  for (int i = 0; i < 2; ++i) {
    if (!x[i].isNotOfAnd()) continue;
    for (int k = 1; k >= 0; --k) {
      if (x[i].negOp[k] == e[1 - i]) {
        *h[i] = bd.Not(x[i].negOp[1 - k]);
        return startOver(again);
      }
    }
  }
  // ~(x0 & x1) & (y0 & y1) with xk among the y → ~x(1-k) & (y0 & y1), x1 tried first
  for (int i = 0; i < 2; ++i) {
    const Conjunct& y = x[1 - i];
    if (!x[i].isNotOfAnd() || !y.isAnd()) continue;
    for (int k = 1; k >= 0; --k) {
      Expression* xk = x[i].negOp[k];
      if (xk == y.op[0] || xk == y.op[1]) {
        *h[i] = bd.Not(x[i].negOp[1 - k]);
        return startOver(again);
      }
    }
  }
  // (a0 & a1) & (b0 & b1) with bl among the a → (a0 & a1) & b(1-l)
  if (x[0].isAnd() && x[1].isAnd()) {
    for (int l = 0; l < 2; ++l) {
      Expression* yl = x[1].op[l];
      if (yl == x[0].op[0] || yl == x[0].op[1]) {
        b = x[1].op[1 - l];
        return startOver(again);
      }
    }
  }
  // ~(p < q) & ~(q < p) → p = q, for the unsigned and the signed order
  if (x[0].isNot() && x[1].isNot()) {
    Expression* Pn = x[0].neg;
    Expression* Qn = x[1].neg;
    if (((isKind(Pn, KIND_ULT) && isKind(Qn, KIND_ULT)) || (isKind(Pn, KIND_SLT) && isKind(Qn, KIND_SLT))) &&
        childOf(Pn, 0) == childOf(Qn, 1) && childOf(Pn, 1) == childOf(Qn, 0))
      return bd.Eq(childOf(Pn, 0), childOf(Qn, 0));
  }
  // concat(c, z) & d → concat(c & high bits of d, z & low bits of d)
  for (int i = 0; i < 2; ++i) {
    Expression* X = e[i];
    Expression* K = e[1 - i];
    if (kind[i] != KIND_CONCAT || kind[1 - i] != KIND_CONSTANT || !isConst(childOf(X, 0))) continue;
    Expression* hp = childOf(X, 0);
    Expression* lp = childOf(X, 1);
    const uint32_t v = hp->getWidth();
    ExpressionRef mh = bd.Extract(K, w - 1, w - v);
    ExpressionRef hi = bd.And(hp, mh);
    ExpressionRef ml = bd.Extract(K, w - v - 1, 0);
    ExpressionRef lo = bd.And(lp, ml);
    return bd.Concat(hi, lo);
  }
  // (c = z) & ±u, with c a constant and u the extract bit next to the
  // extract z → one equality of the joined extract
  for (int i = 0; i < 2; ++i) {
    if (kind[i] != KIND_EQUAL) continue;
    ExpressionRef r = m.mergeExtractConstraints(childOf(e[i], 0), childOf(e[i], 1), e[1 - i]);
    if (r) return r;
  }
  // (z1 = t1) & (z2 = t2) with adjacent extracts z1, z2 of one node → one
  // equality of the joined extract; the pairs of sides tried (0, 0), (0, 1),
  // (1, 0), (1, 1)
  if (kind[0] == KIND_EQUAL && kind[1] == KIND_EQUAL) {
    for (uint32_t k = 0; k < 2; ++k) {
      for (uint32_t l = 0; l < 2; ++l) {
        if (!isKind(childOf(A, k), KIND_EXTRACT) || !isKind(childOf(B, l), KIND_EXTRACT)) continue;
        ExpressionRef r = m.mergeExtractEqualities(childOf(A, k), childOf(A, 1 - k), childOf(B, l), childOf(B, 1 - l));
        if (r) return r;
      }
    }
  }
  // Wider than one bit, no rule left → a new and node.
  if (w != 1) return m.findOrInsert(new AndExpression(w, A, B));

  // The rules below are for single bits.
  // ~(p & q) & ~(~p & ~q) → p = ~q, the shape that exclusive or produces
  if (x[0].isNotOfAnd() && x[1].isNotOfAnd()) {
    Expression* const(&P)[2] = x[0].negOp;
    Expression* const(&Q)[2] = x[1].negOp;
    if ((isNegationOf(P[0], Q[0]) && isNegationOf(P[1], Q[1])) ||
        (isNegationOf(P[0], Q[1]) && isNegationOf(P[1], Q[0]))) {
      ExpressionRef np1 = bd.Not(P[1]);
      return bd.Eq(P[0], np1);
    }
  }
  // x & y, never both true → false
  if (contradictsAnd(A, B)) return bd.False();
  // x & y, x implies y → x
  for (int i = 0; i < 2; ++i)
    if (impliesAnd(e[i], e[1 - i])) return std::move(*h[i]);
  // Under y, the and p0 & p1 that is x or that x negates: it contradicts y
  // → x := 0 (x := 1 for ~(p0 & p1)); y implies pk → x := p(1-k), negated
  // again for ~(p0 & p1)
  for (int i = 0; i < 2; ++i) {
    Expression* y = e[1 - i];
    const bool negated = x[i].isNot();
    Expression* const(&p)[2] = negated ? x[i].negOp : x[i].op;
    if (p[0] == nullptr) continue;
    if (contradictsAnd(y, p[0]) || contradictsAnd(y, p[1])) {
      *h[i] = bd.Bool(negated);
      return startOver(again);
    }
    for (int k = 0; k < 2; ++k) {
      if (impliesAnd(y, p[k])) {
        ExpressionRef rest(p[1 - k]), r;
        m.makeNotOrTake(r, &rest, !negated);
        *h[i] = std::move(r);
        return startOver(again);
      }
    }
  }
  // ~(p0 & p1) & ~(q0 & q1) that simplifyAnd reduces → its result
  {
    ExpressionRef r = m.simplifyAnd(A, B);
    if (r) return r;
  }
  // (x0 & x1) & y with simplifyAnd(xk, y) = r → x(1-k) & r
  for (int i = 0; i < 2; ++i) {
    if (!x[i].isAnd()) continue;
    for (int k = 0; k < 2; ++k) {
      ExpressionRef r = m.simplifyAnd(x[i].op[k], e[1 - i]);
      if (r) {
        ExpressionRef rest(x[i].op[1 - k]);
        *h[1 - i] = std::move(r);
        *h[i] = std::move(rest);
        return startOver(again);
      }
    }
  }
  // No rule left → a new single-bit and node.
  return m.findOrInsert(new AndExpression(1, A, B));
}

// Runs the rule passes until one answers and stores the answer in result.
ExpressionRef& andLoop(ExpressionManager& m, ExpressionRef& result, ExpressionRef& a, ExpressionRef& b) {
  for (;;) {
    bool again = false;
    ExpressionRef r = andRules(m, a, b, again);
    if (!again) return answer(result, std::move(r));
  }
}

// ---------------------------------------------------------------------------
// equality

// One pass over the rules of the equality, in their order. In the comments a
// and b are the operands in their order, x and y the operands in either order
// (a rule written for x tries a as x first, then b), c and k constants, v a
// variable.
ExpressionRef equalRules(ExpressionManager& m, ExpressionRef& a, ExpressionRef& b, bool& again) {
  Build bd{m};
  Expression* A = a.get();
  Expression* B = b.get();
  // Operands of different widths → null; smaller serial id first.
  if (A->getWidth() != B->getWidth()) return ExpressionRef();
  if (A->getId() >= B->getId()) {
    a.swap(b);
    std::swap(A, B);
  }
  ExpressionRef* const h[2] = {&a, &b};
  Expression* const e[2] = {A, B};
  const uint32_t kind[2] = {A->getKind(), B->getKind()};
  // x = x → true
  if (A == B) return bd.True();
  // An array against a bit-vector, or arrays of different sorts → null.
  if (A->isArray() != B->isArray()) return ExpressionRef();
  if (A->isArray() && !sameArraySort(A, B)) return ExpressionRef();
  const uint32_t w = A->getWidth();
  // x = y, provably different → false
  if (areProvablyDistinct(A, B)) return bd.False();
  // An equality with a branch of an if-then-else x = ite(c, t, f):
  for (int i = 0; i < 2; ++i) {
    Expression* I = e[i];
    Expression* O = e[1 - i];
    if (kind[i] != KIND_ITE && kind[i] != KIND_ARRAY_ITE) continue;
    Expression* c = childOf(I, 0);
    Expression* t = childOf(I, 1);
    Expression* f = childOf(I, 2);
    // ite(c, t, f) = t → c | (f = t)
    if (O == t) {
      ExpressionRef q = bd.Eq(f, O);
      return bd.Or(c, q);
    }
    // ite(c, t, f) = y, y provably not t → ~c & (f = y)
    if (areProvablyDistinct(O, t)) {
      ExpressionRef nc = bd.Not(c);
      ExpressionRef q = bd.Eq(f, O);
      return bd.And(nc, q);
    }
    // ite(c, t, f) = f → ~c | (t = f)
    if (O == f) {
      ExpressionRef nc = bd.Not(c);
      ExpressionRef q = bd.Eq(t, O);
      return bd.Or(nc, q);
    }
    // ite(c, t, f) = y, y provably not f → c & (t = y)
    if (areProvablyDistinct(O, f)) {
      ExpressionRef q = bd.Eq(t, O);
      return bd.And(c, q);
    }
  }
  // (z & c) = k with a constant mask c, either operand of the and: k has a bit
  // outside c → false; c one run of ones → the run's bits of z = those of k
  for (int i = 0; i < 2; ++i) {
    Expression* K = e[i];
    Expression* N = e[1 - i];
    if (kind[i] != KIND_CONSTANT || kind[1 - i] != KIND_AND) continue;
    for (uint32_t j = 0; j < 2; ++j) {
      Expression* mask = childOf(N, j);
      Expression* z = childOf(N, 1 - j);
      if (!isConst(mask)) continue;
      const BitVector& mv = valueOf(mask);
      if (!valueOf(K).isSubsetOf(mv)) return bd.False();
      uint32_t lo = 0, len = 0;
      if (!mv.isZero() && mv.getSetBitRange(lo, len)) {
        ExpressionRef nk = bd.Extract(K, lo + len - 1, lo);
        ExpressionRef nz = bd.Extract(z, lo + len - 1, lo);
        *h[i] = std::move(nk);
        *h[1 - i] = std::move(nz);
        return startOver(again);
      }
    }
  }
  // Arrays, no rule left → a new array equality node.
  if (A->isArray()) return m.findOrInsert(new ArrayEqualExpression(A, B));
  // Negations, the first rule that fits; each gives a new pair.
  ExpressionRef n[2];
  // -x = x → the low w-1 bits of x = 0; true at width 1
  for (int i = 0; i < 2; ++i) {
    if (kind[i] == KIND_NEG && childOf(e[i], 0) == e[1 - i]) {
      if (w == 1) return bd.True();
      n[i] = bd.Extract(e[1 - i], w - 2, 0);
      n[1 - i] = bd.Zero(w - 1);
      return replacePair(a, b, n[0], n[1], again);
    }
  }
  // -x = -y → x = y;  ~x = ~y → x = y
  if ((kind[0] == KIND_NEG || kind[0] == KIND_NOT) && kind[1] == kind[0]) {
    n[0] = childOf(A, 0);
    n[1] = childOf(B, 0);
    return replacePair(a, b, n[0], n[1], again);
  }
  // k = ~y → ~k = y
  for (int i = 0; i < 2; ++i) {
    if (kind[i] == KIND_CONSTANT && kind[1 - i] == KIND_NOT) {
      n[i] = bd.Not(e[i]);
      n[1 - i] = childOf(e[1 - i], 0);
      return replacePair(a, b, n[0], n[1], again);
    }
  }
  // k = -y → -k = y
  for (int i = 0; i < 2; ++i) {
    if (kind[i] == KIND_CONSTANT && kind[1 - i] == KIND_NEG) {
      n[i] = bd.Neg(e[i]);
      n[1 - i] = childOf(e[1 - i], 0);
      return replacePair(a, b, n[0], n[1], again);
    }
  }
  // ~v = y, y not a variable → v = ~y
  for (int i = 0; i < 2; ++i) {
    if (kind[i] == KIND_NOT && isKind(childOf(e[i], 0), KIND_VARIABLE) && kind[1 - i] != KIND_VARIABLE) {
      n[i] = childOf(e[i], 0);
      n[1 - i] = bd.Not(e[1 - i]);
      return replacePair(a, b, n[0], n[1], again);
    }
  }
  // -v = y, y not a variable → v = -y
  for (int i = 0; i < 2; ++i) {
    if (kind[i] == KIND_NEG && isKind(childOf(e[i], 0), KIND_VARIABLE) && kind[1 - i] != KIND_VARIABLE) {
      n[i] = childOf(e[i], 0);
      n[1 - i] = bd.Neg(e[1 - i]);
      return replacePair(a, b, n[0], n[1], again);
    }
  }
  // x = x + z → z = 0, b tried as the sum first
  for (int i = 1; i >= 0; --i) {
    if (kind[i] != KIND_ADD) continue;
    for (uint32_t j = 0; j < 2; ++j)
      if (e[1 - i] == childOf(e[i], j)) return bd.IsZero(childOf(e[i], 1 - j));
  }
  // (s + y) = (s + z) → y = z; the pairs of summands tried (a0, b0), (a0, b1),
  // (a1, b0), (a1, b1)
  if (kind[0] == KIND_ADD && kind[1] == KIND_ADD) {
    for (uint32_t k = 0; k < 2; ++k) {
      for (uint32_t l = 0; l < 2; ++l) {
        if (childOf(A, k) == childOf(B, l)) {
          n[0] = childOf(A, 1 - k);
          n[1] = childOf(B, 1 - l);
          return replacePair(a, b, n[0], n[1], again);
        }
      }
    }
  }
  // concat(p, q) = concat(r, s), p and r of one width → (p = r) & (q = s)
  if (kind[0] == KIND_CONCAT && kind[1] == KIND_CONCAT && childOf(A, 0)->getWidth() == childOf(B, 0)->getWidth()) {
    ExpressionRef hi = bd.Eq(childOf(A, 0), childOf(B, 0));
    ExpressionRef lo = bd.Eq(childOf(A, 1), childOf(B, 1));
    return bd.And(hi, lo);
  }
  // concat(p, q) = k → (p = high bits of k) & (q = low bits of k)
  for (int i = 0; i < 2; ++i) {
    Expression* Cc = e[i];
    Expression* K = e[1 - i];
    if (kind[i] != KIND_CONCAT || kind[1 - i] != KIND_CONSTANT) continue;
    const uint32_t v = childOf(Cc, 1)->getWidth();
    ExpressionRef kh = bd.Extract(K, w - 1, v);
    ExpressionRef hi = bd.Eq(childOf(Cc, 0), kh);
    ExpressionRef kl = bd.Extract(K, v - 1, 0);
    ExpressionRef lo = bd.Eq(childOf(Cc, 1), kl);
    return bd.And(hi, lo);
  }
  if (w == 1) {
    // 1 = y → y
    for (int i = 0; i < 2; ++i)
      if (e[i]->isAllOnes()) return std::move(*h[1 - i]);
    // 0 = y → ~y
    for (int i = 0; i < 2; ++i)
      if (e[i]->isZero()) return bd.Not(e[1 - i]);
  }
  // No rule left → a new equality node.
  return m.findOrInsert(new EqualExpression(A, B));
}

// Runs the rule passes until one answers and stores the answer in result.
ExpressionRef& equalLoop(ExpressionManager& m, ExpressionRef& result, ExpressionRef& a, ExpressionRef& b) {
  for (;;) {
    bool again = false;
    ExpressionRef r = equalRules(m, a, b, again);
    if (!again) return answer(result, std::move(r));
  }
}

// ---------------------------------------------------------------------------
// if-then-else

// One pass over the rules of the if-then-else, in their order. In the
// comments a rule written for one branch is tried on the then-branch first,
// then mirrored on the else-branch; d is the condition of an inner
// if-then-else.
ExpressionRef iteRules(ExpressionManager& m, ExpressionRef& c, ExpressionRef& t, ExpressionRef& e, bool& again) {
  Build bd{m};
  Expression* C = c.get();
  Expression* T = t.get();
  Expression* E = e.get();
  ExpressionRef* const br[2] = {&t, &e};
  Expression* const B[2] = {T, E};
  // ite(c, x, x) → x
  if (T == E) return std::move(t);
  // ite(1, t, e) → t;  ite(0, t, e) → e
  if (C->isAllOnes()) return std::move(t);
  if (C->isZero()) return std::move(e);
  // ite(~c, t, e) → ite(c, e, t)
  if (isKind(C, KIND_NOT)) {
    c = childOf(C, 0);
    t.swap(e);
    return startOver(again);
  }
  const uint32_t kind[2] = {T->getKind(), E->getKind()};
  const bool iteLike[2] = {kind[0] == KIND_ITE || kind[0] == KIND_ARRAY_ITE,
                           kind[1] == KIND_ITE || kind[1] == KIND_ARRAY_ITE};
  // ite(c, ite(c, x, y), e) → ite(c, x, e);  ite(c, ite(~c, x, y), e) → ite(c, y, e)
  for (uint32_t i = 0; i < 2; ++i) {
    Expression* X = B[i];
    if (!iteLike[i]) continue;
    if (childOf(X, 0) == C) {
      *br[i] = childOf(X, 1 + i);
      return startOver(again);
    }
    if (isNegationOf(C, childOf(X, 0))) {
      *br[i] = childOf(X, 2 - i);
      return startOver(again);
    }
  }
  // ite(c, ite(d, e, y), e) → ite(c & ~d, y, e);  ite(c, ite(d, y, e), e) → ite(c & d, y, e)
  if (iteLike[0]) {
    Expression* d = childOf(T, 0);
    if (E == childOf(T, 1)) {
      ExpressionRef nd = bd.Not(d);
      ExpressionRef nc = bd.And(C, nd);
      ExpressionRef nt(childOf(T, 2));
      return replacePair(c, t, nc, nt, again);
    }
    if (E == childOf(T, 2)) {
      ExpressionRef nc = bd.And(C, d);
      ExpressionRef nt(childOf(T, 1));
      return replacePair(c, t, nc, nt, again);
    }
  }
  // ite(c, t, ite(d, t, y)) → ite(c | d, t, y);  ite(c, t, ite(d, y, t)) → ite(c | ~d, t, y)
  if (iteLike[1]) {
    Expression* d = childOf(E, 0);
    if (T == childOf(E, 1)) {
      ExpressionRef nc = bd.Or(C, d);
      ExpressionRef ne(childOf(E, 2));
      return replacePair(c, e, nc, ne, again);
    }
    if (T == childOf(E, 2)) {
      ExpressionRef nd = bd.Not(d);
      ExpressionRef nc = bd.Or(C, nd);
      ExpressionRef ne(childOf(E, 1));
      return replacePair(c, e, nc, ne, again);
    }
  }
  // Arrays: of different sorts → null;
  // ite(c, write(x, i, v), write(y, i, v)) → write(ite(c, x, y), i, v);
  // no rule left → a new array if-then-else node
  if (T->isArray()) {
    if (!sameArraySort(T, E)) return ExpressionRef();
    if (kind[0] == KIND_ARRAY_WRITE && kind[1] == KIND_ARRAY_WRITE && childOf(T, 1) == childOf(E, 1) &&
        childOf(T, 2) == childOf(E, 2)) {
      ExpressionRef arr = bd.Ite(C, childOf(T, 0), childOf(E, 0));
      return bd.Write(arr, childOf(T, 1), childOf(T, 2));
    }
    return m.findOrInsert(new ArrayIteExpression(C, T, E));
  }
  // Branches of different widths → null.
  if (T->getWidth() != E->getWidth()) return ExpressionRef();
  const uint32_t w = T->getWidth();
  // ite(c, c, e) → c | e;  ite(c, t, c) → c & t
  if (T == C) return bd.Or(C, E);
  if (C == E) return bd.And(C, T);
  // ite(c, ~c, e) → ~c & e;  ite(c, t, ~c) → t | ~c
  if (isNegationOf(C, T)) {
    ExpressionRef nc = bd.Not(C);
    return bd.And(nc, E);
  }
  if (isNegationOf(C, E)) {
    ExpressionRef nc = bd.Not(C);
    return bd.Or(T, nc);
  }
  // 1-bit ite(c, t, ~t) → c = t
  if (w == 1 && isNegationOf(T, E)) return bd.Eq(C, T);
  // ite(c, y & z, y) → y & ite(c, z, ones);  ite(c, y, y & z) → y & ite(c, ones, z)
  for (int i = 0; i < 2; ++i) {
    Expression* X = B[i];
    Expression* Y = B[1 - i];
    if (kind[i] != KIND_AND) continue;
    for (uint32_t k = 0; k < 2; ++k) {
      if (Y != childOf(X, k)) continue;
      ExpressionRef ones = bd.Ones(w);
      Expression* arm[2];
      arm[i] = childOf(X, 1 - k);
      arm[1 - i] = ones.get();
      ExpressionRef in = bd.Ite(C, arm[0], arm[1]);
      return bd.And(Y, in);
    }
  }
  // ite(c, concat(h, x), concat(h, y)) → concat(h, ite(c, x, y));
  // ite(c, concat(x, l), concat(y, l)) → concat(ite(c, x, y), l)
  if (kind[0] == KIND_CONCAT && kind[1] == KIND_CONCAT) {
    if (childOf(T, 0) == childOf(E, 0)) {
      ExpressionRef in = bd.Ite(C, childOf(T, 1), childOf(E, 1));
      return bd.Concat(childOf(T, 0), in);
    }
    if (childOf(T, 1) == childOf(E, 1)) {
      ExpressionRef in = bd.Ite(C, childOf(T, 0), childOf(E, 0));
      return bd.Concat(in, childOf(T, 1));
    }
  }
  // ite(c, s ∘ x, s ∘ y) → s ∘ ite(c, x, y) for ∘ the sum or the product; the
  // shared operand s looked for as (t0, e0), (t0, e1), (t1, e0), (t1, e1)
  if ((kind[0] == KIND_ADD || kind[0] == KIND_MUL) && kind[1] == kind[0]) {
    for (uint32_t k = 0; k < 2; ++k) {
      for (uint32_t l = 0; l < 2; ++l) {
        if (childOf(T, k) != childOf(E, l)) continue;
        Expression* s = childOf(T, k);
        ExpressionRef in = bd.Ite(C, childOf(T, 1 - k), childOf(E, 1 - l));
        return kind[0] == KIND_ADD ? bd.Add(s, in) : bd.Mul(s, in);
      }
    }
  }
  if (w == 1) {
    // ite(c, 0, e) → ~c & e
    if (T->isZero()) {
      ExpressionRef nc = bd.Not(C);
      return bd.And(nc, E);
    }
    // ite(c, 1, e) → c | e
    if (T->isAllOnes()) return bd.Or(C, E);
    // ite(c, t, 0) → c & t
    if (E->isZero()) return bd.And(C, T);
    // ite(c, t, 1) → ~c | t
    if (E->isAllOnes()) {
      ExpressionRef nc = bd.Not(C);
      return bd.Or(nc, T);
    }
  }
  // No rule left → a new if-then-else node.
  return m.findOrInsert(new IteExpression(C, T, E));
}

// Runs the rule passes until one answers and stores the answer in result.
ExpressionRef& iteLoop(ExpressionManager& m, ExpressionRef& result, ExpressionRef& c, ExpressionRef& t,
                       ExpressionRef& e) {
  for (;;) {
    bool again = false;
    ExpressionRef r = iteRules(m, c, t, e, again);
    if (!again) return answer(result, std::move(r));
  }
}

// ---------------------------------------------------------------------------
// arrays

// Read from an array: answered through writes at the same index, past writes
// at provably different indices, and into if-then-else nodes whose branches
// are such writes. In the comments, j is an index provably different from i;
// a rule written for one branch is tried on the then-branch first, then
// mirrored on the else-branch.
ExpressionRef readRules(ExpressionManager& m, ExpressionRef& arr, Expression* I, bool& again) {
  Build bd{m};
  Expression* A = arr.get();
  if (isKind(A, KIND_ARRAY_WRITE)) {
    Expression* idx = childOf(A, 1);
    // read(write(x, i, v), i) → v
    if (idx == I) return ExpressionRef(childOf(A, 2));
    // read(write(x, j, v), i) → read(x, i)
    if (areProvablyDistinct(I, idx)) {
      arr = childOf(A, 0);
      return startOver(again);
    }
  } else if (isKind(A, KIND_ARRAY_ITE)) {
    Expression* c = childOf(A, 0);
    Expression* const B[2] = {childOf(A, 1), childOf(A, 2)};
    // read(ite(c, write(x, i, v), y), i) → ite(c, v, read(y, i))
    for (int k = 0; k < 2; ++k) {
      Expression* W = B[k];
      if (!isKind(W, KIND_ARRAY_WRITE) || childOf(W, 1) != I) continue;
      ExpressionRef r = bd.Read(B[1 - k], I);
      Expression* arm[2];
      arm[k] = childOf(W, 2);
      arm[1 - k] = r.get();
      return bd.Ite(c, arm[0], arm[1]);
    }
    // read(ite(c, write(x, j, v), y), i) → read(ite(c, x, y), i)
    for (int k = 0; k < 2; ++k) {
      Expression* W = B[k];
      if (!isKind(W, KIND_ARRAY_WRITE) || !areProvablyDistinct(I, childOf(W, 1))) continue;
      Expression* arm[2];
      arm[k] = childOf(W, 0);
      arm[1 - k] = B[1 - k];
      arr = bd.Ite(c, arm[0], arm[1]);
      return startOver(again);
    }
  }
  // No rule left → a new read node.
  return m.findOrInsert(new ArrayReadExpression(A, I));
}

// Runs the rule passes until one answers and stores the answer in result.
ExpressionRef& readLoop(ExpressionManager& m, ExpressionRef& result, ExpressionRef& arr, Expression* I) {
  for (;;) {
    bool again = false;
    ExpressionRef r = readRules(m, arr, I, again);
    if (!again) return answer(result, std::move(r));
  }
}

// Write into an array. A rule written for one branch is tried on the
// then-branch first, then mirrored on the else-branch.
ExpressionRef writeRules(ExpressionManager& m, ExpressionRef& arr, Expression* I, Expression* V, bool& again) {
  Build bd{m};
  // write(write(x, i, u), i, v) → write(x, i, v): the later write overwrites
  while (isKind(arr.get(), KIND_ARRAY_WRITE) && childOf(arr.get(), 1) == I) arr = childOf(arr.get(), 0);
  Expression* A = arr.get();
  // write(ite(c, write(x, i, u), y), i, v) → write(ite(c, x, y), i, v)
  if (isKind(A, KIND_ARRAY_ITE)) {
    Expression* c = childOf(A, 0);
    Expression* const B[2] = {childOf(A, 1), childOf(A, 2)};
    for (int k = 0; k < 2; ++k) {
      Expression* W = B[k];
      if (!isKind(W, KIND_ARRAY_WRITE) || childOf(W, 1) != I) continue;
      Expression* arm[2];
      arm[k] = childOf(W, 0);
      arm[1 - k] = B[1 - k];
      arr = bd.Ite(c, arm[0], arm[1]);
      return startOver(again);
    }
  }
  // No rule left → a new write node.
  return m.findOrInsert(new ArrayWriteExpression(A, I, V));
}

// Runs the rule passes until one answers and stores the answer in result.
ExpressionRef& writeLoop(ExpressionManager& m, ExpressionRef& result, ExpressionRef& arr, Expression* I,
                         Expression* V) {
  for (;;) {
    bool again = false;
    ExpressionRef r = writeRules(m, arr, I, V, again);
    if (!again) return answer(result, std::move(r));
  }
}

// Copies the operand list, sorted by serial id; false when an element is null.
bool sortedOperands(const std::vector<ExpressionRef>& operands, std::vector<Expression*>& s) {
  s.clear();
  s.reserve(operands.size());
  for (const ExpressionRef& r : operands) {
    if (!r) return false;
    s.push_back(r.get());
  }
  std::sort(s.begin(), s.end(), [](const Expression* x, const Expression* y) { return x->getId() < y->getId(); });
  return true;
}

}  // namespace

// ===========================================================================
// Boolean connectives

ExpressionRef& ExpressionManager::makeNot(ExpressionRef& result, ExpressionRef* x) {
  if (!x || !*x || !isBitVector(x->get())) return fail(result);
  ExpressionRef r = notOf(*this, x->get());
  return answer(result, std::move(r));
}

ExpressionRef& ExpressionManager::makeAnd(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b || !*a || !*b) return fail(result);
  return andLoop(*this, result, *a, *b);
}

ExpressionRef& ExpressionManager::makeNor(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b) return fail(result);
  Build bd{*this};
  ExpressionRef na = bd.Not(*a);
  ExpressionRef nb = bd.Not(*b);
  ExpressionRef r = bd.And(na, nb);
  return answer(result, std::move(r));
}

ExpressionRef& ExpressionManager::makeOr(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b) return fail(result);
  ExpressionRef ca(*a), cb(*b), nor;
  makeNor(nor, &ca, &cb);
  return makeNot(result, &nor);
}

ExpressionRef& ExpressionManager::makeNand(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b) return fail(result);
  Build bd{*this};
  ExpressionRef x = bd.And(*a, *b);
  return makeNot(result, &x);
}

ExpressionRef& ExpressionManager::makeImplies(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b || !*a || !*b || (*a)->getWidth() != 1 || (*b)->getWidth() != 1 || (*a)->isArray() ||
      (*b)->isArray()) return fail(result);
  Build bd{*this};
  ExpressionRef na = bd.Not(*a);
  ExpressionRef r = bd.Or(na, *b);
  return answer(result, std::move(r));
}

ExpressionRef& ExpressionManager::makeIff(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b || !*a || !*b || (*a)->getWidth() != 1 || (*b)->getWidth() != 1 || (*a)->isArray() ||
      (*b)->isArray()) return fail(result);
  Build bd{*this};
  ExpressionRef r = bd.Eq(*a, *b);
  return answer(result, std::move(r));
}

ExpressionRef& ExpressionManager::makeXnor(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b || !*a || !*b || (*a)->getWidth() != (*b)->getWidth() || !isBitVector(a->get()) ||
      !isBitVector(b->get())) return fail(result);
  Build bd{*this};
  ExpressionRef r;
  if ((*a)->getWidth() == 1) {
    r = bd.Eq(*a, *b);
  } else {
    ExpressionRef nb = bd.Not(*b);
    ExpressionRef x = bd.And(*a, nb);
    ExpressionRef nx = bd.Not(x);
    ExpressionRef na = bd.Not(*a);
    ExpressionRef y = bd.And(*b, na);
    ExpressionRef ny = bd.Not(y);
    r = bd.And(nx, ny);
  }
  return answer(result, std::move(r));
}

ExpressionRef& ExpressionManager::makeXor(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  ExpressionRef ca, cb, x;
  if (a) ca = *a;
  if (b) cb = *b;
  makeXnor(x, &ca, &cb);
  return makeNot(result, &x);
}

ExpressionRef& ExpressionManager::makeNotOrTake(ExpressionRef& result, ExpressionRef* x, bool take) {
  if (!x) return fail(result);
  if (take) {
    result = std::move(*x);
    return result;
  }
  return makeNot(result, x);
}

ExpressionRef ExpressionManager::simplifyAnd(Expression* a, Expression* b) {
  if (!a || !b || !isKind(a, KIND_NOT) || !isKind(b, KIND_NOT)) return ExpressionRef();
  Expression* p = childOf(a, 0);
  Expression* q = childOf(b, 0);
  if (!isKind(p, KIND_AND) || !isKind(q, KIND_AND) || p->getWidth() != 1 || q->getWidth() != 1) return ExpressionRef();
  Expression* p0 = childOf(p, 0);
  Expression* p1 = childOf(p, 1);
  Expression* q0 = childOf(q, 0);
  Expression* q1 = childOf(q, 1);
  Build bd{*this};
  // With x and y complementary, not(x and u) and not(y and v) where u forces v
  // is the other conjunct without u.
  if (areProvablyDistinct(p0, q0)) {
    if (impliesAnd(p1, q1)) {
      ExpressionRef n = bd.Not(p1);
      return bd.And(b, n);
    }
    if (impliesAnd(q1, p1)) {
      ExpressionRef n = bd.Not(q1);
      return bd.And(a, n);
    }
  }
  if (areProvablyDistinct(p0, q1)) {
    if (impliesAnd(p1, q0)) {
      ExpressionRef n = bd.Not(p1);
      return bd.And(b, n);
    }
    if (impliesAnd(q0, p1)) {
      ExpressionRef n = bd.Not(q0);
      return bd.And(a, n);
    }
  }
  if (areProvablyDistinct(p1, q0)) {
    if (impliesAnd(p0, q1)) {
      ExpressionRef n = bd.Not(p0);
      return bd.And(b, n);
    }
    if (impliesAnd(q1, p0)) {
      ExpressionRef n = bd.Not(q1);
      return bd.And(a, n);
    }
  }
  return ExpressionRef();
}

ExpressionRef ExpressionManager::mergeExtractConstraints(Expression* x, Expression* y, Expression* o) {
  if (!x || !y || !o || o->getWidth() != 1) return ExpressionRef();
  const bool negated = isKind(o, KIND_NOT);
  Expression* po = negated ? childOf(o, 0) : o;
  Build bd{*this};
  // o requires po to be 1 (0 when o is a not); an equality of a constant with
  // the extract next to po grows by that bit.
  for (int side = 0; side < 2; ++side) {
    Expression* k = side == 0 ? x : y;
    Expression* r = side == 0 ? y : x;
    if (!isConst(k)) continue;
    if (areAdjacentExtracts(r, po)) {
      ExpressionRef bit = bd.Bool(!negated);
      ExpressionRef lhs = bd.Concat(k, bit);
      ExpressionRef rhs = bd.Concat(r, po);
      return bd.Eq(lhs, rhs);
    }
    if (areAdjacentExtracts(po, r)) {
      ExpressionRef bit = bd.Bool(!negated);
      ExpressionRef lhs = bd.Concat(bit, k);
      ExpressionRef rhs = bd.Concat(po, r);
      return bd.Eq(lhs, rhs);
    }
  }
  return ExpressionRef();
}

ExpressionRef ExpressionManager::mergeExtractEqualities(Expression* x1, Expression* t1, Expression* x2,
                                                        Expression* t2) {
  if (!x1 || !x2 || !t1 || !t2 || !isKind(x1, KIND_EXTRACT) || !isKind(x2, KIND_EXTRACT)) return ExpressionRef();
  Expression* e = childOf(x1, 0);
  if (childOf(x2, 0) != e) return ExpressionRef();
  Build bd{*this};
  if (loOf(x1) == hiOf(x2) + 1) {
    ExpressionRef l = bd.Extract(e, hiOf(x1), loOf(x2));
    ExpressionRef r = bd.Concat(t1, t2);
    return bd.Eq(l, r);
  }
  if (loOf(x2) == hiOf(x1) + 1) {
    ExpressionRef l = bd.Extract(e, hiOf(x2), loOf(x1));
    ExpressionRef r = bd.Concat(t2, t1);
    return bd.Eq(l, r);
  }
  return ExpressionRef();
}

bool ExpressionManager::assertExpression(ExpressionRef* e) {
  if (!e || !*e || (*e)->getWidth() != 1 || (*e)->isArray()) return false;
  if ((*e)->isAsserted()) return true;
  Build bd{*this};
  ExpressionRef r = bd.And(getRepresentative(root_.get()), *e);
  if (!r) return false;
  root_ = std::move(r);
  assertFormula(root_);
  return true;
}

// ===========================================================================
// Equality and if-then-else

ExpressionRef& ExpressionManager::makeEqual(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b || !*a || !*b) return fail(result);
  return equalLoop(*this, result, *a, *b);
}

ExpressionRef& ExpressionManager::makeIte(ExpressionRef& result, ExpressionRef* c, ExpressionRef* t,
                                          ExpressionRef* e) {
  result.reset();
  if (!c || !t || !e || !*c || !*t || !*e) return result;
  Expression* C = c->get();
  Expression* T = t->get();
  Expression* E = e->get();
  if (C->getWidth() != 1 || C->isArray() || T->isArray() != E->isArray()) return result;
  // Branches of different sorts are refused before any rule can pick one.
  if (T->isArray() ? !sameArraySort(T, E) : T->getWidth() != E->getWidth()) return result;
  return iteLoop(*this, result, *c, *t, *e);
}

ExpressionRef& ExpressionManager::makeDistinct(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b) return fail(result);
  Build bd{*this};
  ExpressionRef x = bd.Eq(*a, *b);
  return makeNot(result, &x);
}

ExpressionRef& ExpressionManager::makeIsZero(ExpressionRef& result, ExpressionRef* x) {
  if (!x || !*x || !isBitVector(x->get())) return fail(result);
  Build bd{*this};
  Expression* X = x->get();
  ExpressionRef r;
  if (X->getWidth() == 1)
    r = bd.Not(X);
  else if (X->isZero())
    r = bd.True();
  else if (isConst(X))
    r = bd.False();
  else {
    ExpressionRef z = bd.Zero(X->getWidth());
    r = bd.Eq(z, X);
  }
  return answer(result, std::move(r));
}

ExpressionRef& ExpressionManager::makeIsAllOnes(ExpressionRef& result, ExpressionRef* x) {
  if (!x || !*x || !isBitVector(x->get())) return fail(result);
  Build bd{*this};
  ExpressionRef o = bd.Ones((*x)->getWidth());
  ExpressionRef r = bd.Eq(o, *x);
  return answer(result, std::move(r));
}

ExpressionRef& ExpressionManager::makeIsOne(ExpressionRef& result, ExpressionRef* x) {
  if (!x || !*x || !isBitVector(x->get())) return fail(result);
  Build bd{*this};
  ExpressionRef one;
  makeOne(one, (*x)->getWidth());
  ExpressionRef r = bd.Eq(one, *x);
  return answer(result, std::move(r));
}

// ===========================================================================
// Arrays

ExpressionRef& ExpressionManager::makeArrayRead(ExpressionRef& result, ExpressionRef* array,
                                                ExpressionRef* index) {
  result.reset();
  if (!array || !index || !*array || !*index) return result;
  Expression* A = array->get();
  Expression* I = index->get();
  if (!A->isArray() || !isBitVector(I) || I->getWidth() != indexWidthOf(A)) return result;
  ExpressionRef keep(I);
  return readLoop(*this, result, *array, I);
}

ExpressionRef& ExpressionManager::makeArrayWrite(ExpressionRef& result, ExpressionRef* array, ExpressionRef* index,
                                                 ExpressionRef* value) {
  result.reset();
  if (!array || !index || !value || !*array || !*index || !*value) return result;
  Expression* A = array->get();
  Expression* I = index->get();
  Expression* V = value->get();
  if (!A->isArray() || !isBitVector(I) || !isBitVector(V) || I->getWidth() != indexWidthOf(A) ||
      V->getWidth() != elementWidthOf(A))
    return result;
  ExpressionRef keepI(I), keepV(V);
  return writeLoop(*this, result, *array, I, V);
}

// ===========================================================================
// N-ary makers

ExpressionRef& ExpressionManager::makeDistinctN(ExpressionRef& result, const std::vector<ExpressionRef>& operands) {
  Build bd{*this};
  if (operands.size() == 1) return answer(result, bd.True());
  std::vector<Expression*> s;
  if (!sortedOperands(operands, s)) return fail(result);
  ExpressionRef acc = bd.True();
  for (size_t i = 0; i < s.size() && acc; ++i) {
    for (size_t j = i + 1; j < s.size() && acc; ++j) {
      ExpressionRef eq = bd.Eq(s[i], s[j]);
      ExpressionRef ne = bd.Not(eq);
      acc = bd.And(acc, ne);
    }
  }
  return answer(result, std::move(acc));
}

ExpressionRef& ExpressionManager::makeXorN(ExpressionRef& result, const std::vector<ExpressionRef>& operands) {
  Build bd{*this};
  std::vector<Expression*> s;
  if (!sortedOperands(operands, s)) return fail(result);
  if (s.empty()) return answer(result, bd.False());
  ExpressionRef acc(s[0]);
  for (size_t k = 1; k < s.size() && acc; ++k) acc = bd.Xor(acc, s[k]);
  return answer(result, std::move(acc));
}

ExpressionRef& ExpressionManager::makeAndN(ExpressionRef& result, const std::vector<ExpressionRef>& operands) {
  Build bd{*this};
  std::vector<Expression*> s;
  if (!sortedOperands(operands, s)) return fail(result);
  if (s.empty()) return answer(result, bd.True());
  ExpressionRef acc(s[0]);
  for (size_t k = 1; k < s.size() && acc; ++k) acc = bd.And(acc, s[k]);
  return answer(result, std::move(acc));
}

ExpressionRef& ExpressionManager::makeIffN(ExpressionRef& result, const std::vector<ExpressionRef>& operands) {
  Build bd{*this};
  std::vector<Expression*> s;
  // An empty list has no first operand to start the fold from: null.
  if (!sortedOperands(operands, s) || s.empty()) return fail(result);
  ExpressionRef acc(s[0]);
  for (size_t k = 1; k < s.size() && acc; ++k) {
    if (acc->getWidth() == 1 && !acc->isArray() && s[k]->getWidth() == 1 && !s[k]->isArray())
      acc = bd.Eq(acc, s[k]);
    else
      acc.reset();
  }
  return answer(result, std::move(acc));
}

ExpressionRef& ExpressionManager::makeOrN(ExpressionRef& result, const std::vector<ExpressionRef>& operands) {
  Build bd{*this};
  std::vector<Expression*> s;
  if (!sortedOperands(operands, s)) return fail(result);
  if (s.empty()) return answer(result, bd.False());
  ExpressionRef acc = bd.Not(s[0]);
  for (size_t k = 1; k < s.size() && acc; ++k) {
    ExpressionRef n = bd.Not(s[k]);
    acc = bd.And(acc, n);
  }
  return makeNot(result, &acc);
}

ExpressionRef& ExpressionManager::makeEqualN(ExpressionRef& result, const std::vector<ExpressionRef>& operands) {
  Build bd{*this};
  std::vector<Expression*> s;
  if (!sortedOperands(operands, s)) return fail(result);
  ExpressionRef acc = bd.True();
  for (size_t k = 1; k < s.size() && acc; ++k) {
    ExpressionRef eq = bd.Eq(s[k - 1], s[k]);
    acc = bd.And(acc, eq);
  }
  return answer(result, std::move(acc));
}

}  // namespace varnok
