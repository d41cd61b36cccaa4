// Make functions for bit-vector arithmetic, bit structure, shifts,
// comparisons, division and remainder, overflow tests and absolute value.
//
// Products, sums, extractions, concatenations and unsigned comparisons rewrite
// their operand pair in a loop that starts over on the new pair; they call
// themselves only for the smaller inner terms a rule forms. Shifts by a
// constant never leave a shift node: they become extraction and
// concatenation. No MUL, ADD or NEG node of width 1 is built.
//
// Each rule is written as one step with a comment of its shape and result
// ("x + -x → 0"); a rule that applies to either operand is written once and
// tried on the first, then on the second. The rules of the concatenation are
// named functions (`concatOfAdjacentExtractsIsTheJoinedExtract`), tried in
// the order of one list.
//
// Operands that cannot stand where they are given (a null handle, an array,
// operands of different widths, a result wider than 2^32 - 1 bits) give a null
// result.
#include <cstdint>
#include <utility>
#include <vector>

#include "varnok/factory/expression_factory_build.h"
#include "varnok/fp/exact_float_evaluator.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"
#include "varnok/node/structural_relations.h"

namespace varnok {

namespace {

using namespace factory_build;

inline bool usable(const ExpressionRef* r) { return r && *r && isBitVector(r->get()); }
inline bool usablePair(const ExpressionRef* a, const ExpressionRef* b) {
  return usable(a) && usable(b) && (*a)->getWidth() == (*b)->getWidth();
}
// The bit next to a 1-bit expression, read through one not: base and polarity.
inline Expression* baseOf(Expression* e) { return isKind(e, KIND_NOT) ? childOf(e, 0) : e; }
inline bool polarityOf(Expression* e) { return isKind(e, KIND_NOT); }

// For two binary nodes that each have a constant operand: the constants
// (ka of A, kb of B) and the other operands (ra, rb). The operand pairs are
// tried in the order (0, 0), (0, 1), (1, 0), (1, 1); false when none fits.
bool constantOperands(Expression* A, Expression* B, Expression*& ka, Expression*& kb, Expression*& ra,
                      Expression*& rb) {
  for (uint32_t i = 0; i < 2; ++i) {
    for (uint32_t j = 0; j < 2; ++j) {
      if (isConst(childOf(A, i)) && isConst(childOf(B, j))) {
        ka = childOf(A, i), kb = childOf(B, j), ra = childOf(A, 1 - i), rb = childOf(B, 1 - j);
        return true;
      }
    }
  }
  return false;
}

// ---------------------------------------------------------------------------
// rules that products and sums share

// The operand pair of a product or sum as its rules see it: the handles, the
// nodes, their kinds, and for each whether it is a constant and whether it is
// a node of the operator (`op`, KIND_MUL or KIND_ADD).
struct ArithPair {
  uint32_t op;
  ExpressionRef* h[2];
  Expression* e[2];
  uint32_t kind[2];
  bool constant[2];
  bool opNode[2];

  ArithPair(uint32_t o, ExpressionRef& a, ExpressionRef& b) : op(o), h{&a, &b}, e{a.get(), b.get()} {
    for (int i = 0; i < 2; ++i) {
      kind[i] = e[i]->getKind();
      constant[i] = kind[i] == KIND_CONSTANT;
      opNode[i] = kind[i] == op;
    }
  }
};

// x ∘ y for the operator `op`.
ExpressionRef applyOp(Build& bd, uint32_t op, Expression* x, Expression* y) {
  return op == KIND_MUL ? bd.Mul(x, y) : bd.Add(x, y);
}

// In the comments of the shared rules ∘ is the operator, c and d are
// constants. Each answers whether it replaced the operand pair; the maker's
// rules then start over.

// c ∘ (d ∘ y) → (c ∘ d) ∘ y, for the constant c as operand i of the pair and
// a node of the operator as the other, with d either operand of that node
// (the first tried first); the constants are combined in the order of their
// operands.
bool gatherConstant(Build& bd, const ArithPair& p, int i) {
  Expression* N = p.e[1 - i];
  for (uint32_t k = 0; k < 2; ++k) {
    if (!isConst(childOf(N, k))) continue;
    Expression* arg[2];
    arg[i] = p.e[i];
    arg[1 - i] = childOf(N, k);
    ExpressionRef n[2];
    n[i] = applyOp(bd, p.op, arg[0], arg[1]);
    n[1 - i] = childOf(N, 1 - k);
    replaceOperands(*p.h[0], *p.h[1], n[0], n[1]);
    return true;
  }
  return false;
}

// (c ∘ y) ∘ (d ∘ z) → (c ∘ d) ∘ (y ∘ z), for two nodes of the operator, the
// constants found as constantOperands orders them
bool gatherConstantPair(Build& bd, const ArithPair& p) {
  Expression *ka, *kb, *ra, *rb;
  if (!constantOperands(p.e[0], p.e[1], ka, kb, ra, rb)) return false;
  ExpressionRef na = applyOp(bd, p.op, ka, kb);
  ExpressionRef nb = applyOp(bd, p.op, ra, rb);
  replaceOperands(*p.h[0], *p.h[1], na, nb);
  return true;
}

// (c ∘ y) ∘ z → c ∘ (z ∘ y), for operand i of the pair a node of the operator
// whose operand k is the constant c: c becomes operand i, and the other
// operand takes y.
bool moveConstantOut(Build& bd, const ArithPair& p, int i, uint32_t k) {
  Expression* N = p.e[i];
  if (!isConst(childOf(N, k))) return false;
  ExpressionRef n[2];
  n[1 - i] = applyOp(bd, p.op, p.e[1 - i], childOf(N, 1 - k));
  n[i] = childOf(N, k);
  replaceOperands(*p.h[0], *p.h[1], n[0], n[1]);
  return true;
}

// ---------------------------------------------------------------------------
// multiplication

// One pass over the rules of the product, in their order. In the comments a
// and b are the operands in their order, x and y the operands in either
// order (a rule written for x tries a as x first, then b), c and d constants.
ExpressionRef mulRules(ExpressionManager& m, ExpressionRef& a, ExpressionRef& b, bool& again) {
  Build bd{m};
  Expression* A;
  Expression* B;
  // Operands of different widths or arrays → null; smaller serial id first.
  if (!orderCommutativeOperands(a, b, A, B)) return ExpressionRef();
  const uint32_t w = A->getWidth();
  const ArithPair pair(KIND_MUL, a, b);
  ExpressionRef* const(&h)[2] = pair.h;
  Expression* const(&e)[2] = pair.e;
  // c * d → the folded constant
  if (pair.constant[0] && pair.constant[1]) {
    BitVector r;
    BitVector::mul(valueOf(A), valueOf(B), r);
    return bd.Constant(r);
  }
  // 1-bit x * y → x & y
  if (w == 1) return bd.And(A, B);
  // 0 * y → 0
  if (A->isZero() || B->isZero()) return bd.Zero(w);
  // 1 * y → y
  for (int i = 0; i < 2; ++i)
    if (e[i]->isOne()) return std::move(*h[1 - i]);
  // ones * y → -y
  for (int i = 0; i < 2; ++i)
    if (e[i]->isAllOnes()) return bd.Neg(e[1 - i]);
  // -x * -y → x * y
  if (pair.kind[0] == KIND_NEG && pair.kind[1] == KIND_NEG) {
    ExpressionRef na(childOf(A, 0)), nb(childOf(B, 0));
    return replacePair(a, b, na, nb, again);
  }
  // -x * y → -(x * y), b tried as -x first
  for (int i = 1; i >= 0; --i) {
    if (pair.kind[i] != KIND_NEG) continue;
    ExpressionRef p = bd.Mul(childOf(e[i], 0), e[1 - i]);
    return bd.Neg(p);
  }
  // c * (d * y) → (c * d) * y
  for (int i = 0; i < 2; ++i)
    if (pair.constant[i] && pair.opNode[1 - i] && gatherConstant(bd, pair, i)) return startOver(again);
  // (c * y) * (d * z) → (c * d) * (y * z)
  if (pair.opNode[0] && pair.opNode[1] && gatherConstantPair(bd, pair)) return startOver(again);
  // 2^k * y → y << k
  for (int i = 0; i < 2; ++i) {
    uint32_t k = 0;
    if (!e[i]->isPowerOfTwo(k)) continue;
    ExpressionRef c = bd.UInt(k, w);
    return bd.Shl(e[1 - i], c);
  }
  // (y * c) * z → c * (z * y), with c only as the second operand of a;
  // z * (c * y) → (z * y) * c, with c either operand of b (the first tried first)
  if ((pair.opNode[0] && moveConstantOut(bd, pair, 0, 1)) ||
      (pair.opNode[1] && (moveConstantOut(bd, pair, 1, 0) || moveConstantOut(bd, pair, 1, 1))))
    return startOver(again);
  // No rule left → a new product node.
  return m.findOrInsert(new MULExpression(w, A, B));
}

// Runs the rule passes until one answers and stores the answer in result.
ExpressionRef& mulLoop(ExpressionManager& m, ExpressionRef& result, ExpressionRef& a, ExpressionRef& b) {
  for (;;) {
    bool again = false;
    ExpressionRef r = mulRules(m, a, b, again);
    if (!again) return answer(result, std::move(r));
  }
}

// ---------------------------------------------------------------------------
// addition

// One pass over the rules of the sum, in their order; the comments name the
// operands as those of the product do.
ExpressionRef addRules(ExpressionManager& m, ExpressionRef& a, ExpressionRef& b, bool& again) {
  Build bd{m};
  Expression* A;
  Expression* B;
  // Operands of different widths or arrays → null; smaller serial id first.
  if (!orderCommutativeOperands(a, b, A, B)) return ExpressionRef();
  const uint32_t w = A->getWidth();
  const ArithPair pair(KIND_ADD, a, b);
  ExpressionRef* const(&h)[2] = pair.h;
  Expression* const(&e)[2] = pair.e;
  // c + d → the folded constant
  if (pair.constant[0] && pair.constant[1]) {
    BitVector r;
    BitVector::add(valueOf(A), valueOf(B), r);
    return bd.Constant(r);
  }
  // x + -x → 0
  if (isArithmeticNegationOf(A, B)) return bd.Zero(w);
  // x + ~x → ones
  if (isNegationOf(A, B)) return bd.Ones(w);
  // 0 + y → y
  for (int i = 0; i < 2; ++i)
    if (e[i]->isZero()) return std::move(*h[1 - i]);
  // (x0 + x1) + -xk → x(1-k), x1 tried first
  for (int i = 0; i < 2; ++i) {
    if (!pair.opNode[i]) continue;
    for (int k = 1; k >= 0; --k)
      if (isArithmeticNegationOf(e[1 - i], childOf(e[i], k))) return ExpressionRef(childOf(e[i], 1 - k));
  }
  // (a0 + a1) + (b0 + b1) with ak = -bl → a(1-k) + b(1-l); the pairs tried
  // (a0, b0), (a0, b1), (a1, b0), (a1, b1)
  if (pair.opNode[0] && pair.opNode[1]) {
    for (uint32_t k = 0; k < 2; ++k) {
      for (uint32_t l = 0; l < 2; ++l) {
        if (!isArithmeticNegationOf(childOf(A, k), childOf(B, l))) continue;
        ExpressionRef na(childOf(A, 1 - k)), nb(childOf(B, 1 - l));
        return replacePair(a, b, na, nb, again);
      }
    }
  }
  // c + (d + y) → (c + d) + y
  for (int i = 0; i < 2; ++i)
    if (pair.constant[i] && pair.opNode[1 - i] && gatherConstant(bd, pair, i)) return startOver(again);
  // (c + y) + (d + z) → (c + d) + (y + z)
  if (pair.opNode[0] && pair.opNode[1] && gatherConstantPair(bd, pair)) return startOver(again);
  // (y + c) + z → c + (z + y), with c only as the second operand of a;
  // z + (c + y) → (z + y) + c, with c either operand of b (the first tried first)
  if ((pair.opNode[0] && moveConstantOut(bd, pair, 0, 1)) ||
      (pair.opNode[1] && (moveConstantOut(bd, pair, 1, 0) || moveConstantOut(bd, pair, 1, 1))))
    return startOver(again);
  // s * p + s * q → (p + q) * s, for different products; the shared factor
  // looked for as (a0, b0), (a0, b1), (a1, b0), (a1, b1)
  if (A != B && pair.kind[0] == KIND_MUL && pair.kind[1] == KIND_MUL) {
    for (uint32_t k = 0; k < 2; ++k) {
      for (uint32_t l = 0; l < 2; ++l) {
        if (childOf(A, k) != childOf(B, l)) continue;
        ExpressionRef sum = bd.Add(childOf(A, 1 - k), childOf(B, 1 - l));
        return bd.Mul(sum, childOf(A, k));
      }
    }
  }
  // 1-bit x + y → x ^ y
  if (w == 1) return bd.Xor(A, B);
  // No rule left → a new sum node.
  return m.findOrInsert(new ADDExpression(w, A, B));
}

// Runs the rule passes until one answers and stores the answer in result.
ExpressionRef& addLoop(ExpressionManager& m, ExpressionRef& result, ExpressionRef& a, ExpressionRef& b) {
  for (;;) {
    bool again = false;
    ExpressionRef r = addRules(m, a, b, again);
    if (!again) return answer(result, std::move(r));
  }
}

// The rules of the negation -x, in their order; c is a constant.
ExpressionRef negOf(ExpressionManager& m, ExpressionRef& x) {
  Build bd{m};
  Expression* X = x.get();
  const uint32_t w = X->getWidth();
  // -c → the folded constant
  if (isConst(X)) {
    BitVector r;
    BitVector::neg(valueOf(X), r);
    return bd.Constant(r);
  }
  // -(-y) → y
  if (isKind(X, KIND_NEG)) return ExpressionRef(childOf(X, 0));
  // -(~y) → y + 1
  if (isKind(X, KIND_NOT)) {
    ExpressionRef one = bd.One(w);
    return bd.Add(childOf(X, 0), one);
  }
  // -(-y + z) → y + -z, the first summand tried first
  if (isKind(X, KIND_ADD)) {
    for (uint32_t k = 0; k < 2; ++k) {
      if (!isKind(childOf(X, k), KIND_NEG)) continue;
      ExpressionRef n = bd.Neg(childOf(X, 1 - k));
      return bd.Add(childOf(childOf(X, k), 0), n);
    }
  }
  if (isKind(X, KIND_ITE)) {
    Expression* t = childOf(X, 1);
    Expression* e = childOf(X, 2);
    // -ite(c, t, e) with a negation for a branch → ite(c, -t, -e)
    if (isKind(t, KIND_NEG) || isKind(e, KIND_NEG)) {
      ExpressionRef nt = bd.Neg(t);
      ExpressionRef ne = bd.Neg(e);
      return bd.Ite(childOf(X, 0), nt, ne);
    }
    // -ite(c, ~y, ~z) → ite(c, y, z) + 1
    if (isKind(t, KIND_NOT) && isKind(e, KIND_NOT)) {
      ExpressionRef i = bd.Ite(childOf(X, 0), childOf(t, 0), childOf(e, 0));
      ExpressionRef one = bd.One(w);
      return bd.Add(i, one);
    }
  }
  // 1-bit -y → y
  if (w == 1) return std::move(x);
  // No rule left → a new negation node.
  return m.findOrInsert(new NEGExpression(w, X));
}

// ---------------------------------------------------------------------------
// extraction and concatenation

inline bool adjacentExtracts(Expression* hiPart, Expression* loPart) {
  return isKind(hiPart, KIND_EXTRACT) && isKind(loPart, KIND_EXTRACT) && childOf(hiPart, 0) == childOf(loPart, 0) &&
         loOf(hiPart) == hiOf(loPart) + 1;
}

// The rules of the extraction x[hi:lo], in their order; c and d are
// constants, |q| the width of q.
ExpressionRef extractLoop(ExpressionManager& m, ExpressionRef& x, uint32_t hi, uint32_t lo) {
  Build bd{m};
  for (;;) {
    Expression* X = x.get();
    // x[w-1:0] → x
    if (hi == X->getWidth() - 1 && lo == 0) return std::move(x);
    // c[h:l] → the folded constant
    if (isConst(X)) {
      BitVector r;
      BitVector::extract(valueOf(X), hi, lo, r);
      return bd.Constant(r);
    }
    // x[h':l'][h:l] → x[h+l':l+l']
    if (isKind(X, KIND_EXTRACT)) {
      const uint32_t l = loOf(X);
      x = childOf(X, 0);
      hi += l;
      lo += l;
      continue;
    }
    // (~x[h':l'])[h:l] → (~x)[h+l':l+l'];
    // (~concat(p, q))[h:l] → (~q)[h:l] within q, (~p)[h-|q|:l-|q|] within p;
    // across both parts → a new extract node
    if (isKind(X, KIND_NOT)) {
      Expression* z = childOf(X, 0);
      if (isKind(z, KIND_EXTRACT)) {
        const uint32_t l = loOf(z);
        x = bd.Not(childOf(z, 0));
        hi += l;
        lo += l;
        continue;
      }
      if (isKind(z, KIND_CONCAT)) {
        const uint32_t wm = childOf(z, 1)->getWidth();
        if (hi < wm) {
          x = bd.Not(childOf(z, 1));
          continue;
        }
        if (lo >= wm) {
          x = bd.Not(childOf(z, 0));
          hi -= wm;
          lo -= wm;
          continue;
        }
      }
      break;
    }
    // concat(p, q)[h:l] → q[h:l] within q, p[h-|q|:l-|q|] within p; across
    // both parts → a new extract node
    if (isKind(X, KIND_CONCAT)) {
      const uint32_t wm = childOf(X, 1)->getWidth();
      if (hi < wm) {
        x = childOf(X, 1);
        continue;
      }
      if (lo >= wm) {
        x = childOf(X, 0);
        hi -= wm;
        lo -= wm;
        continue;
      }
      break;
    }
    // ite(p, c, d)[h:l] → ite(p, c[h:l], d[h:l])
    if (isKind(X, KIND_ITE) && isConst(childOf(X, 1)) && isConst(childOf(X, 2))) {
      ExpressionRef t = bd.Extract(childOf(X, 1), hi, lo);
      ExpressionRef e = bd.Extract(childOf(X, 2), hi, lo);
      return bd.Ite(childOf(X, 0), t, e);
    }
    break;
  }
  // No rule left → a new extract node.
  return m.findOrInsert(new ExtractExpression(x.get(), hi, lo));
}

// The extract that joins the adjacent extracts hiPart and loPart of one node.
ExpressionRef joinExtracts(Build& bd, Expression* hiPart, Expression* loPart) {
  return bd.Extract(childOf(hiPart, 0), hiOf(hiPart), loOf(loPart));
}

// One pass over the rules of the concatenation: the operands as the rules see
// them. In the comments of the rules a and b are the operands in their order
// (a the high part), x and y the operands in either order (a rule written for
// x tries a as x first, then b), x[h:m] and x[m-1:l] adjacent extracts of one
// node x, c and d constants, ±p the bit p or its complement (either,
// independently at each place).
struct ConcatPass : RulePass {
  ConcatPass(ExpressionManager& m, ExpressionRef& a, ExpressionRef& b)
      : RulePass(m),
        handle{&a, &b},
        node{a.get(), b.get()},
        kind{node[0]->getKind(), node[1]->getKind()},
        isConcat{kind[0] == KIND_CONCAT, kind[1] == KIND_CONCAT} {}

  ExpressionRef* const handle[2];  // the caller's handles
  Expression* const node[2];       // the operands they hold
  const uint32_t kind[2];
  const bool isConcat[2];

  // Replaces the operands by n[0] and n[1] and starts the rules over.
  bool replaceOperands(ExpressionRef (&n)[2]) {
    factory_build::replaceOperands(*handle[0], *handle[1], n[0], n[1]);
    return startOver();
  }
};

// concat(c, d) → the folded constant
bool concatOfConstantsIsFolded(ConcatPass& pass) {
  if (pass.kind[0] != KIND_CONSTANT || pass.kind[1] != KIND_CONSTANT) return false;
  BitVector r;
  BitVector::concat(valueOf(pass.node[0]), valueOf(pass.node[1]), r);
  return pass.answer(pass.build.Constant(r));
}

// concat(x[h:m], x[m-1:l]) → x[h:l]
bool concatOfAdjacentExtractsIsTheJoinedExtract(ConcatPass& pass) {
  if (!adjacentExtracts(pass.node[0], pass.node[1])) return false;
  return pass.answer(joinExtracts(pass.build, pass.node[0], pass.node[1]));
}

// concat(x[h:m], concat(x[m-1:l], z)) → concat(x[h:l], z);
// concat(concat(z, x[h:m]), x[m-1:l]) → concat(z, x[h:l])
bool extractBesideConcatJoinsAdjacentExtracts(ConcatPass& pass) {
  for (int i = 0; i < 2; ++i) {
    Expression* N = pass.node[1 - i];
    if (pass.kind[i] != KIND_EXTRACT || pass.kind[1 - i] != KIND_CONCAT) continue;
    Expression* part[2];
    part[i] = pass.node[i];
    part[1 - i] = childOf(N, i);
    if (!adjacentExtracts(part[0], part[1])) continue;
    ExpressionRef n[2];
    n[i] = joinExtracts(pass.build, part[0], part[1]);
    n[1 - i] = childOf(N, 1 - i);
    return pass.replaceOperands(n);
  }
  return false;
}

// concat(concat(z, x[h:m]), concat(x[m-1:l], u)) → concat(concat(z, x[h:l]), u)
bool concatsJoinAdjacentExtractsAtTheSeam(ConcatPass& pass) {
  Expression* A = pass.node[0];
  Expression* B = pass.node[1];
  if (!pass.isConcat[0] || !pass.isConcat[1] || !adjacentExtracts(childOf(A, 1), childOf(B, 0))) return false;
  ExpressionRef n[2];
  ExpressionRef mid = joinExtracts(pass.build, childOf(A, 1), childOf(B, 0));
  n[0] = pass.build.Concat(childOf(A, 0), mid);
  n[1] = childOf(B, 1);
  return pass.replaceOperands(n);
}

// concat(concat(z, c), d) → concat(z, concat(c, d));
// concat(c, concat(d, z)) → concat(concat(c, d), z)
bool constantBesideConcatJoinsTheConstants(ConcatPass& pass) {
  for (int i = 0; i < 2; ++i) {
    Expression* N = pass.node[i];
    Expression* K = pass.node[1 - i];
    if (pass.kind[i] != KIND_CONCAT || pass.kind[1 - i] != KIND_CONSTANT || !isConst(childOf(N, 1 - i))) continue;
    Expression* part[2];
    part[i] = childOf(N, 1 - i);
    part[1 - i] = K;
    ExpressionRef n[2];
    n[1 - i] = pass.build.Concat(part[0], part[1]);
    n[i] = childOf(N, i);
    return pass.replaceOperands(n);
  }
  return false;
}

// concat(concat(z, c), concat(d, u)) → concat(z, concat(concat(c, d), u))
bool concatsJoinConstantsAtTheSeam(ConcatPass& pass) {
  Expression* A = pass.node[0];
  Expression* B = pass.node[1];
  if (!pass.isConcat[0] || !pass.isConcat[1] || !isConst(childOf(A, 1)) || !isConst(childOf(B, 0))) return false;
  ExpressionRef n[2];
  ExpressionRef k = pass.build.Concat(childOf(A, 1), childOf(B, 0));
  n[1] = pass.build.Concat(k, childOf(B, 1));
  n[0] = childOf(A, 0);
  return pass.replaceOperands(n);
}

// concat(u, concat(v, z)) for bits u, v, z each ±p → ite(u, k, ~k), k the
// three bits where u = 1
bool bitBeforeTwoCopiesOfItselfIsIte(ConcatPass& pass) {
  Expression* A = pass.node[0];
  Expression* B = pass.node[1];
  if (!pass.isConcat[1] || A->getWidth() != 1) return false;
  Build& bd = pass.build;
  Expression* p = childOf(B, 0);
  Expression* q = childOf(B, 1);
  Expression* base = baseOf(A);
  if (p->getWidth() != 1 || q->getWidth() != 1 || baseOf(p) != base || baseOf(q) != base) return false;
  const bool pa = polarityOf(A);
  ExpressionRef t = bd.True();
  ExpressionRef bp = bd.Bool(pa == polarityOf(p));
  ExpressionRef bq = bd.Bool(pa == polarityOf(q));
  ExpressionRef low = bd.Concat(bp, bq);
  ExpressionRef K = bd.Concat(t, low);
  ExpressionRef nK = bd.Not(K);
  return pass.answer(bd.Ite(A, K, nK));
}

// concat(concat(v, z), u) for bits u, v, z each ±p → ite(u, k, ~k) likewise,
// k built from its high bit down
bool bitAfterTwoCopiesOfItselfIsIte(ConcatPass& pass) {
  Expression* A = pass.node[0];
  Expression* B = pass.node[1];
  if (!pass.isConcat[0] || B->getWidth() != 1) return false;
  Build& bd = pass.build;
  Expression* p = childOf(A, 0);
  Expression* q = childOf(A, 1);
  Expression* base = baseOf(B);
  if (p->getWidth() != 1 || q->getWidth() != 1 || baseOf(p) != base || baseOf(q) != base) return false;
  const bool pb = polarityOf(B);
  ExpressionRef bp = bd.Bool(pb == polarityOf(p));
  ExpressionRef bq = bd.Bool(pb == polarityOf(q));
  ExpressionRef t = bd.True();
  ExpressionRef low = bd.Concat(bq, t);
  ExpressionRef K = bd.Concat(bp, low);
  ExpressionRef nK = bd.Not(K);
  return pass.answer(bd.Ite(B, K, nK));
}

// concat(±p, ite(±p, t, f)) with a constant branch → ite(±p, concat(v, t), concat(~v, f)),
// v the bit's value where the condition holds; concat(ite(±p, t, f), ±p) likewise
bool bitBesideIteOnItselfMovesIntoTheBranches(ConcatPass& pass) {
  Build& bd = pass.build;
  for (int i = 0; i < 2; ++i) {
    Expression* bit = pass.node[i];
    Expression* I = pass.node[1 - i];
    if (pass.kind[1 - i] != KIND_ITE || bit->getWidth() != 1) continue;
    Expression* c = childOf(I, 0);
    Expression* t = childOf(I, 1);
    Expression* f = childOf(I, 2);
    if (baseOf(bit) != baseOf(c) || (!isConst(t) && !isConst(f))) continue;
    const bool s = polarityOf(bit) == polarityOf(c);
    Expression* part[2];
    ExpressionRef bs = bd.Bool(s);
    part[i] = bs.get();
    part[1 - i] = t;
    ExpressionRef nt = bd.Concat(part[0], part[1]);
    ExpressionRef bn = bd.Bool(!s);
    part[i] = bn.get();
    part[1 - i] = f;
    ExpressionRef ne = bd.Concat(part[0], part[1]);
    return pass.answer(bd.Ite(c, nt, ne));
  }
  return false;
}

// The rules of the concatenation in their order.
using ConcatRules = RuleList<
    ConcatPass,
    concatOfConstantsIsFolded,
    concatOfAdjacentExtractsIsTheJoinedExtract,
    extractBesideConcatJoinsAdjacentExtracts,
    concatsJoinAdjacentExtractsAtTheSeam,
    constantBesideConcatJoinsTheConstants,
    concatsJoinConstantsAtTheSeam,
    bitBeforeTwoCopiesOfItselfIsIte,
    bitAfterTwoCopiesOfItselfIsIte,
    bitBesideIteOnItselfMovesIntoTheBranches>;

// Runs the rule passes until one answers and stores the answer in result;
// no rule left → a new concatenation node.
ExpressionRef& concatLoop(ExpressionManager& m, ExpressionRef& result, ExpressionRef& a, ExpressionRef& b) {
  for (;;) {
    ConcatPass pass(m, a, b);
    if (!ConcatRules::applyFirst(pass))
      pass.answer(m.findOrInsert(new ConcatExpression(pass.node[0], pass.node[1])));
    if (!pass.again) return answer(result, std::move(pass.result));
  }
}

// ---------------------------------------------------------------------------
// unsigned comparison

// Splits a comparison of a constant with a concatenation whose high part is
// a constant, or of two such concatenations, into a comparison of the high
// parts (which folds) and of the low parts. Answers null when no split fits.
// `signedHigh` compares the high parts as signed numbers.
ExpressionRef splitComparison(ExpressionManager& m, ExpressionRef& a, ExpressionRef& b, bool signedHigh) {
  Build bd{m};
  Expression* A = a.get();
  Expression* B = b.get();
  const uint32_t w = A->getWidth();
  auto cmpHigh = [&](Expression* x, Expression* y) { return signedHigh ? bd.SLT(x, y) : bd.ULT(x, y); };
  if (isConst(A) && isKind(B, KIND_CONCAT) && isConst(childOf(B, 0))) {
    Expression* hb = childOf(B, 0);
    const uint32_t l = w - hb->getWidth();
    ExpressionRef ah = bd.Extract(A, w - 1, l);
    ExpressionRef al = bd.Extract(A, l - 1, 0);
    ExpressionRef lo = bd.ULT(al, childOf(B, 1));
    ExpressionRef hi = cmpHigh(ah.get(), hb);
    ExpressionRef eq = bd.Eq(ah, hb);
    return bd.Ite(eq, lo, hi);
  }
  if (isConst(B) && isKind(A, KIND_CONCAT) && isConst(childOf(A, 0))) {
    Expression* ha = childOf(A, 0);
    const uint32_t l = w - ha->getWidth();
    ExpressionRef bh = bd.Extract(B, w - 1, l);
    ExpressionRef bl = bd.Extract(B, l - 1, 0);
    ExpressionRef lo = bd.ULT(childOf(A, 1), bl);
    ExpressionRef hi = cmpHigh(ha, bh.get());
    ExpressionRef eq = bd.Eq(bh, ha);
    return bd.Ite(eq, lo, hi);
  }
  if (isKind(A, KIND_CONCAT) && isKind(B, KIND_CONCAT) && isConst(childOf(A, 0)) && isConst(childOf(B, 0))) {
    ExpressionRef ha(childOf(A, 0)), hb(childOf(B, 0));
    const uint32_t wa = ha->getWidth(), wb = hb->getWidth();
    ExpressionRef ta, tb, na, nb;
    if (wa == wb) {
      ta = ha;
      tb = hb;
      na = childOf(A, 1);
      nb = childOf(B, 1);
    } else if (wa < wb) {
      ta = ha;
      na = childOf(A, 1);
      tb = bd.Extract(hb, wb - 1, wb - wa);
      ExpressionRef rest = bd.Extract(hb, wb - wa - 1, 0);
      nb = bd.Concat(rest, childOf(B, 1));
    } else {
      tb = hb;
      nb = childOf(B, 1);
      ta = bd.Extract(ha, wa - 1, wa - wb);
      ExpressionRef rest = bd.Extract(ha, wa - wb - 1, 0);
      na = bd.Concat(rest, childOf(A, 1));
    }
    a = std::move(na);
    b = std::move(nb);
    ExpressionRef lo = bd.ULT(a, b);
    ExpressionRef hi = cmpHigh(ta.get(), tb.get());
    ExpressionRef eq = bd.Eq(ta, tb);
    return bd.Ite(eq, lo, hi);
  }
  return ExpressionRef();
}

// The rules of the unsigned comparison a < b, in their order; c and d are
// constants.
ExpressionRef ultLoop(ExpressionManager& m, ExpressionRef& a, ExpressionRef& b) {
  Build bd{m};
  for (;;) {
    Expression* A = a.get();
    Expression* B = b.get();
    // Operands of different widths → null.
    if (A->getWidth() != B->getWidth()) return ExpressionRef();
    const uint32_t w = A->getWidth();
    // c < d → the folded truth value
    if (isConst(A) && isConst(B)) return bd.Bool(valueOf(A).ult(valueOf(B)));
    // x < x, ones < b, a < 0 → false
    if (A == B || A->isAllOnes() || B->isZero()) return bd.False();
    // 0 < b → b ≠ 0
    if (A->isZero()) {
      ExpressionRef z = bd.IsZero(B);
      return bd.Not(z);
    }
    // a < ones → a ≠ ones
    if (B->isAllOnes()) return bd.Distinct(A, B);
    // a < 2^k → a[w-1:k] = 0
    uint32_t k = 0;
    if (B->isPowerOfTwo(k)) {
      ExpressionRef hi = bd.Extract(A, w - 1, k);
      return bd.IsZero(hi);
    }
    // concat(h, p) < concat(h, q) → p < q
    if (isKind(A, KIND_CONCAT) && isKind(B, KIND_CONCAT) && childOf(A, 0) == childOf(B, 0)) {
      ExpressionRef na(childOf(A, 1)), nb(childOf(B, 1));
      a = std::move(na);
      b = std::move(nb);
      continue;
    }
    // A constant high part on either side → split into high and low parts.
    ExpressionRef r = splitComparison(m, a, b, false);
    if (r) return r;
    // Wider than one bit, no rule left → a new comparison node.
    if (w >= 2) return m.findOrInsert(new ULTExpression(A, B));
    // 1-bit a < b → ~a & b
    ExpressionRef na = bd.Not(A);
    return bd.And(na, B);
  }
}

// The rules of the signed comparison a < b, in their order; c and d are
// constants.
ExpressionRef sltOf(ExpressionManager& m, ExpressionRef& a, ExpressionRef& b) {
  Build bd{m};
  Expression* A = a.get();
  Expression* B = b.get();
  const uint32_t w = A->getWidth();
  // x < x → false
  if (A == B) return bd.False();
  // c < d → the folded truth value
  if (isConst(A) && isConst(B)) return bd.Bool(valueOf(A).slt(valueOf(B)));
  // max < b, a < min → false
  if (A->isSignedMax() || B->isSignedMin()) return bd.False();
  // concat(h, p) < concat(h, q) → p < q unsigned: the equal high parts hold the sign
  if (isKind(A, KIND_CONCAT) && isKind(B, KIND_CONCAT) && childOf(A, 0) == childOf(B, 0))
    return bd.ULT(childOf(A, 1), childOf(B, 1));
  // A constant high part on either side → split into high and low parts.
  ExpressionRef r = splitComparison(m, a, b, true);
  if (r) return r;
  // Wider than one bit, no rule left → a new comparison node.
  if (w >= 2) return m.findOrInsert(new SLTExpression(A, B));
  // 1-bit a < b → a & ~b, a 1-bit 1 being -1
  ExpressionRef nb = bd.Not(B);
  return bd.And(A, nb);
}

// The magnitude of x: ite(sign bit of x, -x, x).
ExpressionRef magnitudeOf(Build& bd, Expression* x, Expression* sign) {
  ExpressionRef n = bd.Neg(x);
  return bd.Ite(sign, n, x);
}

}  // namespace

// ===========================================================================
// Addition, multiplication and negation

ExpressionRef& ExpressionManager::makeMul(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  return mulLoop(*this, result, *a, *b);
}

ExpressionRef& ExpressionManager::makeAdd(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  return addLoop(*this, result, *a, *b);
}

ExpressionRef& ExpressionManager::makeNeg(ExpressionRef& result, ExpressionRef* x) {
  if (!usable(x)) return fail(result);
  return answer(result, negOf(*this, *x));
}

ExpressionRef& ExpressionManager::makeSub(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b) return fail(result);
  Build bd{*this};
  ExpressionRef n = bd.Neg(*b);
  ExpressionRef ca(*a);
  return makeAdd(result, &ca, &n);
}

// ===========================================================================
// Extraction, concatenation and extension

ExpressionRef& ExpressionManager::makeExtract(ExpressionRef& result, ExpressionRef* x, uint32_t hi, uint32_t lo) {
  if (!usable(x) || hi < lo || hi >= (*x)->getWidth()) return fail(result);
  return answer(result, extractLoop(*this, *x, hi, lo));
}

ExpressionRef& ExpressionManager::makeConcat(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usable(a) || !usable(b)) return fail(result);
  // The width of the result must be representable.
  if (uint64_t((*a)->getWidth()) + (*b)->getWidth() > UINT32_MAX) return fail(result);
  return concatLoop(*this, result, *a, *b);
}

ExpressionRef& ExpressionManager::makeZeroExtend(ExpressionRef& result, ExpressionRef* x, uint32_t n) {
  if (n == 0) {
    if (!x) return fail(result);
    if (*x && !isBitVector(x->get())) return fail(result);
    result = std::move(*x);
    return result;
  }
  if (!usable(x) || uint64_t((*x)->getWidth()) + n > UINT32_MAX) return fail(result);
  Build bd{*this};
  ExpressionRef z = bd.Zero(n);
  return answer(result, bd.Concat(z, *x));
}

ExpressionRef& ExpressionManager::makeSignExtend(ExpressionRef& result, ExpressionRef* x, uint32_t n) {
  if (!usable(x)) return fail(result);
  if (n == 0) {
    result = std::move(*x);
    return result;
  }
  const uint32_t w = (*x)->getWidth();
  if (uint64_t(w) + n > UINT32_MAX) return fail(result);
  Build bd{*this};
  if (w == 1) {
    ExpressionRef ones = bd.Ones(n + 1);
    ExpressionRef zero = bd.Zero(n + 1);
    return answer(result, bd.Ite(*x, ones, zero));
  }
  ExpressionRef sign = bd.Extract(*x, w - 1, w - 1);
  ExpressionRef ones = bd.Ones(n + 1);
  ExpressionRef zero = bd.Zero(n + 1);
  ExpressionRef fill = bd.Ite(sign, ones, zero);
  ExpressionRef low = bd.Extract(*x, w - 2, 0);
  return answer(result, bd.Concat(fill, low));
}

ExpressionRef& ExpressionManager::makeRepeat(ExpressionRef& result, ExpressionRef* x, uint32_t n) {
  if (!usable(x) || n == 0) return fail(result);
  const uint32_t w = (*x)->getWidth();
  if (uint64_t(w) * n > UINT32_MAX) return fail(result);
  Build bd{*this};
  if (w == 1) return answer(result, bd.SignExtend(*x, n - 1));
  ExpressionRef r(*x);
  for (uint32_t i = 1; i < n && r; ++i) r = bd.Concat(r, *x);
  return answer(result, std::move(r));
}

ExpressionRef& ExpressionManager::makeRotateLeft(ExpressionRef& result, ExpressionRef* x, uint32_t n) {
  // An operand without bits (an array) has no rotation: the count would be
  // taken modulo zero.
  if (!usable(x)) return fail(result);
  const uint32_t w = (*x)->getWidth();
  const uint32_t k = n % w;
  if (k == 0) {
    result = std::move(*x);
    return result;
  }
  Build bd{*this};
  ExpressionRef low = bd.Extract(*x, w - k - 1, 0);
  ExpressionRef high = bd.Extract(*x, w - 1, w - k);
  return answer(result, bd.Concat(low, high));
}

ExpressionRef& ExpressionManager::makeRotateRight(ExpressionRef& result, ExpressionRef* x, uint32_t n) {
  if (!usable(x)) return fail(result);
  const uint32_t w = (*x)->getWidth();
  const uint32_t k = (w - n % w) % w;
  ExpressionRef c(*x);
  return makeRotateLeft(result, &c, k);
}

// ===========================================================================
// Shifts

namespace {

// x shifted by a constant amount S at width w, without a shift node.
using ShiftByConstant = ExpressionRef (*)(Build&, Expression* X, Expression* S, uint32_t w);

// What tells the three shifts apart.
struct ShiftRules {
  // Two constants → the constant this computes.
  void (*fold)(const BitVector&, const BitVector&, BitVector&);
  // x all ones is kept as it is (the arithmetic shift), like x zero.
  bool keepsAllOnes;
  ShiftByConstant byConstant;
  // At width 1, x itself (the arithmetic shift) rather than x & ~s.
  bool keepsBit;
};

// The amount k of a shift by the constant S, when it is below `limit`.
bool amountBelow(const Expression* S, uint32_t limit, uint32_t& k) {
  return valueOf(S).toUInt32(k) && k < limit;
}

// x << k → concat(x[w-k-1:0], k zero bits); k of w or more → 0
ExpressionRef shiftLeftByConstant(Build& bd, Expression* X, Expression* S, uint32_t w) {
  uint32_t k = 0;
  if (amountBelow(S, w, k)) {
    ExpressionRef low = bd.Extract(X, w - k - 1, 0);
    ExpressionRef z = bd.Zero(k);
    return bd.Concat(low, z);
  }
  return bd.Zero(w);
}

// x >> k → concat(k zero bits, x[w-1:k]); k of w or more → 0
ExpressionRef shiftRightByConstant(Build& bd, Expression* X, Expression* S, uint32_t w) {
  uint32_t k = 0;
  if (amountBelow(S, w, k)) {
    ExpressionRef high = bd.Extract(X, w - 1, k);
    return bd.ZeroExtend(high, k);
  }
  return bd.Zero(w);
}

// x >>s k → x[w-1:k] sign-extended by k; k of w-1 or more → the sign bit
// extended to w bits
ExpressionRef shiftRightArithmeticByConstant(Build& bd, Expression* X, Expression* S, uint32_t w) {
  uint32_t k = 0;
  ExpressionRef t;
  if (amountBelow(S, w - 1, k))
    t = bd.Extract(X, w - 1, k);
  else
    t = bd.Extract(X, w - 1, w - 1);
  const uint32_t n = w - t->getWidth();
  return bd.SignExtend(t, n);
}

constexpr ShiftRules kShiftLeft = {&BitVector::shl, false, shiftLeftByConstant, false};
constexpr ShiftRules kShiftRight = {&BitVector::lshr, false, shiftRightByConstant, false};
constexpr ShiftRules kShiftRightArithmetic = {&BitVector::ashr, true, shiftRightArithmeticByConstant, true};

// The rules of the three shifts, in their order, with a node of class
// ShiftNode when none applies.
template <class ShiftNode>
ExpressionRef& makeShift(ExpressionManager& m, ExpressionRef& result, ExpressionRef* x, ExpressionRef* s,
                         const ShiftRules& shift) {
  // Operands that cannot stand together → null.
  if (!usablePair(x, s)) return fail(result);
  Expression* X = x->get();
  Expression* S = s->get();
  const uint32_t w = X->getWidth();
  // 0 shifted, x shifted by 0 → x; the same for all ones when the shift
  // keeps them
  if (X->isZero() || (shift.keepsAllOnes && X->isAllOnes()) || S->isZero()) {
    result = std::move(*x);
    return result;
  }
  Build bd{m};
  // Two constants → the folded constant.
  if (isConst(X) && isConst(S)) {
    BitVector r;
    shift.fold(valueOf(X), valueOf(S), r);
    return answer(result, bd.Constant(r));
  }
  // A constant amount → extraction and concatenation.
  if (isConst(S)) return answer(result, shift.byConstant(bd, X, S, w));
  // 1-bit x >>s s → x;  1-bit x << s, x >> s → x & ~s
  if (w == 1) {
    if (shift.keepsBit) {
      result = std::move(*x);
      return result;
    }
    ExpressionRef ns = bd.Not(S);
    return answer(result, bd.And(X, ns));
  }
  // No rule left → a new shift node.
  return answer(result, m.findOrInsert(new ShiftNode(X, S)));
}

}  // namespace

ExpressionRef& ExpressionManager::makeShl(ExpressionRef& result, ExpressionRef* x, ExpressionRef* s) {
  return makeShift<SHLExpression>(*this, result, x, s, kShiftLeft);
}

ExpressionRef& ExpressionManager::makeLShr(ExpressionRef& result, ExpressionRef* x, ExpressionRef* s) {
  return makeShift<LSHRExpression>(*this, result, x, s, kShiftRight);
}

ExpressionRef& ExpressionManager::makeAShr(ExpressionRef& result, ExpressionRef* x, ExpressionRef* s) {
  return makeShift<ASHRExpression>(*this, result, x, s, kShiftRightArithmetic);
}

// ===========================================================================
// Comparisons

namespace {

// The other comparisons are a strict comparison of (x, y), negated or not.
// The operands are copied, so the caller's handles stay as they are.
ExpressionRef& comparisonVia(ExpressionManager& m, ExpressionRef& result,
                             ExpressionRef& (ExpressionManager::*less)(ExpressionRef&, ExpressionRef*, ExpressionRef*),
                             ExpressionRef* x, ExpressionRef* y, bool negate) {
  ExpressionRef cx, cy;
  if (x) cx = *x;
  if (y) cy = *y;
  if (!negate) return (m.*less)(result, &cx, &cy);
  ExpressionRef lt;
  (m.*less)(lt, &cx, &cy);
  return m.makeNot(result, &lt);
}

}  // namespace

ExpressionRef& ExpressionManager::makeULT(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  return answer(result, ultLoop(*this, *a, *b));
}

ExpressionRef& ExpressionManager::makeSLT(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  return answer(result, sltOf(*this, *a, *b));
}

ExpressionRef& ExpressionManager::makeUGT(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  return comparisonVia(*this, result, &ExpressionManager::makeULT, b, a, false);
}

ExpressionRef& ExpressionManager::makeULE(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  return comparisonVia(*this, result, &ExpressionManager::makeULT, b, a, true);
}

ExpressionRef& ExpressionManager::makeUGE(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  return comparisonVia(*this, result, &ExpressionManager::makeULT, a, b, true);
}

ExpressionRef& ExpressionManager::makeSGT(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  return comparisonVia(*this, result, &ExpressionManager::makeSLT, b, a, false);
}

ExpressionRef& ExpressionManager::makeSLE(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  return comparisonVia(*this, result, &ExpressionManager::makeSLT, b, a, true);
}

ExpressionRef& ExpressionManager::makeSGE(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  return comparisonVia(*this, result, &ExpressionManager::makeSLT, a, b, true);
}

// ===========================================================================
// Division and remainder. A zero divisor gives: unsigned quotient all ones,
// unsigned remainder the dividend, signed quotient all ones for a non-negative
// and 1 for a negative dividend, signed remainder and modulo the dividend.

namespace {

void foldUDivURem(const ExactFloatEvaluator& ev, const BitVector& a, const BitVector& b, BitVector& q,
                  BitVector& r) {
  std::vector<bool> ab, bb, qb, rb;
  BitVector::toBoolVector(a, ab);
  BitVector::toBoolVector(b, bb);
  ev.fold_udiv_urem(ab, bb, qb, rb);
  BitVector::fromBoolVector(qb, q);
  BitVector::fromBoolVector(rb, r);
}

}  // namespace

ExpressionRef& ExpressionManager::makeUDiv(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  Expression* A = a->get();
  Expression* B = b->get();
  const uint32_t w = A->getWidth();
  Build bd{*this};
  // x / 0 → ones
  if (B->isZero()) return answer(result, bd.Ones(w));
  // x / 1 → x
  if (B->isOne()) {
    result = std::move(*a);
    return result;
  }
  // c / d → the folded constant
  if (isConst(A) && isConst(B)) {
    BitVector q, r;
    foldUDivURem(*evaluator_, valueOf(A), valueOf(B), q, r);
    return answer(result, bd.Constant(q));
  }
  // 0 / y → ite(y = 0, ones, 0)
  if (A->isZero()) {
    ExpressionRef z = bd.IsZero(B);
    ExpressionRef ones = bd.Ones(w);
    return answer(result, bd.Ite(z, ones, A));
  }
  // x / x → ite(x = 0, ones, 1)
  if (A == B) {
    ExpressionRef z = bd.IsZero(B);
    ExpressionRef ones = bd.Ones(w);
    ExpressionRef one = bd.One(w);
    return answer(result, bd.Ite(z, ones, one));
  }
  // x / 2^k → x >> k
  uint32_t k = 0;
  if (B->isPowerOfTwo(k)) {
    ExpressionRef c = bd.UInt(k, w);
    return answer(result, bd.LShr(A, c));
  }
  // 1-bit x / y → ~(~x & y)
  if (w == 1) {
    ExpressionRef na = bd.Not(A);
    ExpressionRef x = bd.And(na, B);
    return answer(result, bd.Not(x));
  }
  // No rule left → a new division node.
  return answer(result, findOrInsert(new DIVExpression(A, B)));
}

ExpressionRef& ExpressionManager::makeURem(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  Expression* A = a->get();
  Expression* B = b->get();
  const uint32_t w = A->getWidth();
  Build bd{*this};
  // x % 2^k → concat(0, x[k-1:0]); x % 1 → 0
  uint32_t k = 0;
  if (B->isPowerOfTwo(k)) {
    if (k == 0) return answer(result, bd.Zero(w));
    ExpressionRef z = bd.Zero(w - k);
    ExpressionRef low = bd.Extract(A, k - 1, 0);
    return answer(result, bd.Concat(z, low));
  }
  // x % 0 → x;  0 % y → 0
  if (B->isZero() || A->isZero()) {
    result = std::move(*a);
    return result;
  }
  // x % x → 0
  if (A == B) return answer(result, bd.Zero(w));
  // c % d → the folded constant
  if (isConst(A) && isConst(B)) {
    BitVector q, r;
    foldUDivURem(*evaluator_, valueOf(A), valueOf(B), q, r);
    return answer(result, bd.Constant(r));
  }
  // 1-bit x % y → x & ~y
  if (w == 1) {
    ExpressionRef nb = bd.Not(B);
    return answer(result, bd.And(A, nb));
  }
  // No rule left → a new remainder node.
  return answer(result, findOrInsert(new UREMExpression(A, B)));
}

namespace {

// Sign bits and magnitudes of the two operands of a signed division or
// remainder, built in this order: sign of A, sign of B, |A|, |B|.
struct SignsAndMagnitudes {
  ExpressionRef sa, sb, ma, mb;
};
SignsAndMagnitudes signsAndMagnitudes(Build& bd, Expression* A, Expression* B) {
  const uint32_t w = A->getWidth();
  SignsAndMagnitudes r;
  r.sa = bd.Extract(A, w - 1, w - 1);
  r.sb = bd.Extract(B, w - 1, w - 1);
  r.ma = magnitudeOf(bd, A, r.sa.get());
  r.mb = magnitudeOf(bd, B, r.sb.get());
  return r;
}

// The first rules of the signed remainder and the signed modulo, which the two
// share (rem stands for either): a remainder by zero or of zero is the
// dividend; by one or minus one, or of a value by itself or its negation, it
// is zero. Stores the answer and says whether one of them applied.
bool signedRemainderTrivial(Build& bd, ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  Expression* A = a->get();
  Expression* B = b->get();
  // x rem 0 → x
  if (B->isZero()) {
    result = std::move(*a);
    return true;
  }
  // x rem 1, x rem -1 → 0
  if (B->isOne() || B->isAllOnes()) {
    answer(result, bd.Zero(A->getWidth()));
    return true;
  }
  // 0 rem y → 0, the dividend
  if (A->isZero()) {
    result = std::move(*a);
    return true;
  }
  // x rem x, x rem -x → 0
  if (A == B || isArithmeticNegationOf(A, B)) {
    answer(result, bd.Zero(A->getWidth()));
    return true;
  }
  return false;
}

}  // namespace

ExpressionRef& ExpressionManager::makeSDiv(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  Expression* A = a->get();
  Expression* B = b->get();
  const uint32_t w = A->getWidth();
  Build bd{*this};
  // x / 0 → ite(sign bit of x, 1, ones)
  if (B->isZero()) {
    ExpressionRef sa = bd.Extract(A, w - 1, w - 1);
    ExpressionRef one = bd.One(w);
    ExpressionRef ones = bd.Ones(w);
    return answer(result, bd.Ite(sa, one, ones));
  }
  // x / 1 → x
  if (B->isOne()) {
    result = std::move(*a);
    return result;
  }
  // x / -1 → -x
  if (B->isAllOnes()) return answer(result, bd.Neg(A));
  // 0 / y → ite(y = 0, ones, 0)
  if (A->isZero()) {
    ExpressionRef z = bd.IsZero(B);
    ExpressionRef ones = bd.Ones(w);
    return answer(result, bd.Ite(z, ones, A));
  }
  // x / x → ite(x = 0, ones, 1)
  if (A == B) {
    ExpressionRef z = bd.IsZero(B);
    ExpressionRef ones = bd.Ones(w);
    ExpressionRef one = bd.One(w);
    return answer(result, bd.Ite(z, ones, one));
  }
  // Otherwise the quotient of the magnitudes, negated when the signs differ.
  auto [sa, sb, ma, mb] = signsAndMagnitudes(bd, A, B);
  ExpressionRef q = bd.UDiv(ma, mb);
  ExpressionRef s = bd.Xor(sa, sb);
  ExpressionRef nq = bd.Neg(q);
  return answer(result, bd.Ite(s, nq, q));
}

ExpressionRef& ExpressionManager::makeSRem(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  Expression* A = a->get();
  Expression* B = b->get();
  Build bd{*this};
  // The trivial divisors and dividends.
  if (signedRemainderTrivial(bd, result, a, b)) return result;
  // Otherwise the remainder of the magnitudes with the sign of the dividend.
  auto [sa, sb, ma, mb] = signsAndMagnitudes(bd, A, B);
  ExpressionRef r = bd.URem(ma, mb);
  ExpressionRef nr = bd.Neg(r);
  return answer(result, bd.Ite(sa, nr, r));
}

ExpressionRef& ExpressionManager::makeSMod(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  Expression* A = a->get();
  Expression* B = b->get();
  const uint32_t w = A->getWidth();
  Build bd{*this};
  // The trivial divisors and dividends, as for the signed remainder.
  if (signedRemainderTrivial(bd, result, a, b)) return result;
  // Otherwise the remainder of the magnitudes with the sign of the dividend,
  // plus y when the signs differ; 0 when that remainder is 0.
  auto [sa, sb, ma, mb] = signsAndMagnitudes(bd, A, B);
  ExpressionRef u = bd.URem(ma, mb);
  ExpressionRef nu = bd.Neg(u);
  ExpressionRef v = bd.Ite(sa, nu, u);
  ExpressionRef t = bd.Add(v, B);
  ExpressionRef s = bd.Xor(sa, sb);
  ExpressionRef x = bd.Ite(s, t, v);
  ExpressionRef z = bd.Zero(w);
  ExpressionRef e = bd.Eq(u, z);
  return answer(result, bd.Ite(e, u, x));
}

// ===========================================================================
// Overflow tests and absolute value

ExpressionRef& ExpressionManager::makeUAddOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  const uint32_t w = (*a)->getWidth();
  Build bd{*this};
  ExpressionRef z1 = bd.Zero(1);
  ExpressionRef ea = bd.Concat(z1, *a);
  ExpressionRef eb = bd.Concat(z1, *b);
  ExpressionRef s = bd.Add(ea, eb);
  return answer(result, bd.Extract(s, w, w));
}

ExpressionRef& ExpressionManager::makeSAddOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  const uint32_t w = (*a)->getWidth();
  Build bd{*this};
  ExpressionRef sa = bd.Extract(*a, w - 1, w - 1);
  ExpressionRef sb = bd.Extract(*b, w - 1, w - 1);
  ExpressionRef s = bd.Add(*a, *b);
  ExpressionRef ss = bd.Extract(s, w - 1, w - 1);
  ExpressionRef ab = bd.And(sa, sb);
  ExpressionRef nss = bd.Not(ss);
  ExpressionRef p = bd.And(ab, nss);
  ExpressionRef nsa = bd.Not(sa);
  ExpressionRef nsb = bd.Not(sb);
  ExpressionRef nab = bd.And(nsa, nsb);
  ExpressionRef q = bd.And(nab, ss);
  return answer(result, bd.Or(p, q));
}

ExpressionRef& ExpressionManager::makeUSubOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  Build bd{*this};
  return answer(result, bd.ULT(*a, *b));
}

ExpressionRef& ExpressionManager::makeSSubOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  const uint32_t w = (*a)->getWidth();
  Build bd{*this};
  ExpressionRef sa = bd.Extract(*a, w - 1, w - 1);
  ExpressionRef sb = bd.Extract(*b, w - 1, w - 1);
  ExpressionRef d = bd.Sub(*a, *b);
  ExpressionRef sd = bd.Extract(d, w - 1, w - 1);
  ExpressionRef nsa = bd.Not(sa);
  ExpressionRef x = bd.And(nsa, sb);
  ExpressionRef p = bd.And(x, sd);
  ExpressionRef nsb = bd.Not(sb);
  ExpressionRef y = bd.And(sa, nsb);
  ExpressionRef nsd = bd.Not(sd);
  ExpressionRef q = bd.And(y, nsd);
  return answer(result, bd.Or(p, q));
}

ExpressionRef& ExpressionManager::makeUMulOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  const uint32_t w = (*a)->getWidth();
  if (w == UINT32_MAX) return fail(result);
  Build bd{*this};
  // A pair of set bits a_i, b_j with i + j >= w overflows.
  ExpressionRef acc = bd.False();
  for (uint32_t i = 1; i < w; ++i) {
    ExpressionRef t = bd.False();
    for (uint32_t j = 1; j <= i; ++j) {
      ExpressionRef bit = bd.Extract(*b, w - j, w - j);
      t = bd.Or(t, bit);
    }
    ExpressionRef ai = bd.Extract(*a, i, i);
    ExpressionRef pair = bd.And(ai, t);
    acc = bd.Or(acc, pair);
  }
  // Otherwise the product fits in w + 1 bits; its bit w tells.
  ExpressionRef ea = bd.ZeroExtend(*a, 1);
  ExpressionRef eb = bd.ZeroExtend(*b, 1);
  ExpressionRef p = bd.Mul(ea, eb);
  ExpressionRef top = bd.Extract(p, w, w);
  return answer(result, bd.Or(acc, top));
}

ExpressionRef& ExpressionManager::makeSMulOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  const uint32_t w = (*a)->getWidth();
  if (w == UINT32_MAX) return fail(result);
  const uint32_t m = w - 1;
  Build bd{*this};
  // Each operand with its bits inverted when it is negative.
  ExpressionRef sa = bd.Extract(*a, w - 1, w - 1);
  ExpressionRef fa = bd.SignExtend(sa, m);
  ExpressionRef ap = bd.Xor(*a, fa);
  ExpressionRef sb = bd.Extract(*b, w - 1, w - 1);
  ExpressionRef fb = bd.SignExtend(sb, m);
  ExpressionRef bp = bd.Xor(*b, fb);
  ExpressionRef acc = bd.False();
  for (uint32_t i = 1; i < m; ++i) {
    ExpressionRef t = bd.False();
    for (uint32_t j = 1; j <= i; ++j) {
      ExpressionRef bit = bd.Extract(bp, m - j, m - j);
      t = bd.Or(t, bit);
    }
    ExpressionRef ai = bd.Extract(ap, i, i);
    ExpressionRef pair = bd.And(ai, t);
    acc = bd.Or(acc, pair);
  }
  // The top two bits of the widened product differ on overflow.
  ExpressionRef ea = bd.SignExtend(*a, 1);
  ExpressionRef eb = bd.SignExtend(*b, 1);
  ExpressionRef p = bd.Mul(ea, eb);
  ExpressionRef pw = bd.Extract(p, w, w);
  ExpressionRef pm = bd.Extract(p, m, m);
  ExpressionRef x = bd.Xor(pw, pm);
  return answer(result, bd.Or(acc, x));
}

ExpressionRef& ExpressionManager::makeSDivOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  const uint32_t w = (*a)->getWidth();
  Build bd{*this};
  std::vector<bool> bits(w, false);
  bits[w - 1] = true;
  ExpressionRef smin;
  makeConstantFromBits(smin, bits);
  ExpressionRef e1 = bd.Eq(*a, smin);
  ExpressionRef ones = bd.Ones(w);
  ExpressionRef e2 = bd.Eq(*b, ones);
  return answer(result, bd.And(e1, e2));
}

ExpressionRef& ExpressionManager::makeAbs(ExpressionRef& result, ExpressionRef* x) {
  if (!usable(x)) return fail(result);
  const uint32_t w = (*x)->getWidth();
  Build bd{*this};
  ExpressionRef n = bd.Neg(*x);
  ExpressionRef z = bd.Zero(w);
  ExpressionRef c = bd.SLT(*x, z);
  return answer(result, bd.Ite(c, n, *x));
}

}  // namespace varnok
