// Make functions for bit-vector arithmetic, bit structure, shifts,
// comparisons, division and remainder, overflow tests and absolute value.
//
// Products, sums, extractions, concatenations and unsigned comparisons rewrite
// their operand pair in a loop that starts over on the new pair; they call
// themselves only for the smaller inner terms a rule forms. Shifts by a
// constant never leave a shift node: they become extraction and
// concatenation. No MUL, ADD or NEG node of width 1 is built.
//
// Inside each maker the rules are tried in a fixed order; comments of the form
// "// 7" number them in that order.
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
inline Expression* baseOf(Expression* e) { return isKind(e, KIND_NOT) ? ch(e, 0) : e; }
inline bool polarityOf(Expression* e) { return isKind(e, KIND_NOT); }

// For two binary nodes that each have a constant operand: the constants
// (ka of A, kb of B) and the other operands (ra, rb). The operand pairs are
// tried in the order (0, 0), (0, 1), (1, 0), (1, 1); false when none fits.
bool constantOperands(Expression* A, Expression* B, Expression*& ka, Expression*& kb, Expression*& ra,
                      Expression*& rb) {
  for (uint32_t i = 0; i < 2; ++i) {
    for (uint32_t j = 0; j < 2; ++j) {
      if (isConst(ch(A, i)) && isConst(ch(B, j))) {
        ka = ch(A, i), kb = ch(B, j), ra = ch(A, 1 - i), rb = ch(B, 1 - j);
        return true;
      }
    }
  }
  return false;
}

// ---------------------------------------------------------------------------
// multiplication

Ref mulLoop(M& m, Ref& a, Ref& b) {
  Build bd{m};
  for (;;) {
    Expression* A;
    Expression* B;
    // 1, 2
    if (!orderCommutativeOperands(a, b, A, B)) return Ref();
    const uint32_t w = A->getWidth();
    // 3
    if (isConst(A) && isConst(B)) {
      BitVector r;
      BitVector::mul(valueOf(A), valueOf(B), r);
      return bd.Constant(r);
    }
    // 4
    if (w == 1) return bd.And(A, B);
    // 5
    if (A->isZero() || B->isZero()) return bd.Zero(w);
    // 6
    if (A->isOne()) return std::move(b);
    if (B->isOne()) return std::move(a);
    // 7
    if (A->isAllOnes()) return bd.Neg(B);
    if (B->isAllOnes()) return bd.Neg(A);
    // 8
    if (isKind(B, KIND_NEG)) {
      if (isKind(A, KIND_NEG)) {
        Ref na(ch(A, 0)), nb(ch(B, 0));
        a = std::move(na);
        b = std::move(nb);
        continue;
      }
      Ref p = bd.Mul(ch(B, 0), A);
      return bd.Neg(p);
    }
    if (isKind(A, KIND_NEG)) {
      Ref p = bd.Mul(ch(A, 0), B);
      return bd.Neg(p);
    }
    // 9
    if (isConst(A) && isKind(B, KIND_MUL)) {
      if (isConst(ch(B, 0))) {
        Ref na = bd.Mul(A, ch(B, 0));
        Ref nb(ch(B, 1));
        a = std::move(na);
        b = std::move(nb);
        continue;
      }
      if (isConst(ch(B, 1))) {
        Ref na = bd.Mul(A, ch(B, 1));
        Ref nb(ch(B, 0));
        a = std::move(na);
        b = std::move(nb);
        continue;
      }
    }
    // 10
    if (isKind(A, KIND_MUL) && isConst(B)) {
      if (isConst(ch(A, 0))) {
        Ref nb = bd.Mul(ch(A, 0), B);
        Ref na(ch(A, 1));
        a = std::move(na);
        b = std::move(nb);
        continue;
      }
      if (isConst(ch(A, 1))) {
        Ref nb = bd.Mul(ch(A, 1), B);
        Ref na(ch(A, 0));
        a = std::move(na);
        b = std::move(nb);
        continue;
      }
    }
    // 11
    if (isKind(A, KIND_MUL) && isKind(B, KIND_MUL)) {
      Expression *ka, *kb, *ra, *rb;
      if (constantOperands(A, B, ka, kb, ra, rb)) {
        Ref na = bd.Mul(ka, kb);
        Ref nb = bd.Mul(ra, rb);
        a = std::move(na);
        b = std::move(nb);
        continue;
      }
    }
    // 12
    uint32_t k = 0;
    if (A->isPowerOfTwo(k)) {
      Ref c = bd.UInt(k, w);
      return bd.Shl(B, c);
    }
    if (B->isPowerOfTwo(k)) {
      Ref c = bd.UInt(k, w);
      return bd.Shl(A, c);
    }
    // 13
    if (isKind(A, KIND_MUL) && isConst(ch(A, 1))) {
      Ref nb = bd.Mul(B, ch(A, 0));
      Ref na(ch(A, 1));
      a = std::move(na);
      b = std::move(nb);
      continue;
    }
    // 14
    if (isKind(B, KIND_MUL)) {
      if (isConst(ch(B, 0))) {
        Ref na = bd.Mul(A, ch(B, 1));
        Ref nb(ch(B, 0));
        a = std::move(na);
        b = std::move(nb);
        continue;
      }
      if (isConst(ch(B, 1))) {
        Ref na = bd.Mul(A, ch(B, 0));
        Ref nb(ch(B, 1));
        a = std::move(na);
        b = std::move(nb);
        continue;
      }
    }
    // 15
    return m.findOrInsert(new MULExpression(w, A, B));
  }
}

// ---------------------------------------------------------------------------
// addition

Ref addLoop(M& m, Ref& a, Ref& b) {
  Build bd{m};
  for (;;) {
    Expression* A;
    Expression* B;
    // 1, 2
    if (!orderCommutativeOperands(a, b, A, B)) return Ref();
    const uint32_t w = A->getWidth();
    // 3
    if (isConst(A) && isConst(B)) {
      BitVector r;
      BitVector::add(valueOf(A), valueOf(B), r);
      return bd.Constant(r);
    }
    // 4
    if (isArithmeticNegationOf(A, B)) return bd.Zero(w);
    // 5
    if (isNegationOf(A, B)) return bd.Ones(w);
    // 6
    if (A->isZero()) return std::move(b);
    if (B->isZero()) return std::move(a);
    const bool aAdd = isKind(A, KIND_ADD), bAdd = isKind(B, KIND_ADD);
    // 7
    if (aAdd) {
      if (isArithmeticNegationOf(B, ch(A, 1))) return Ref(ch(A, 0));
      if (isArithmeticNegationOf(B, ch(A, 0))) return Ref(ch(A, 1));
    }
    // 8
    if (bAdd) {
      if (isArithmeticNegationOf(A, ch(B, 1))) return Ref(ch(B, 0));
      if (isArithmeticNegationOf(A, ch(B, 0))) return Ref(ch(B, 1));
      if (aAdd) {
        Expression* a0 = ch(A, 0);
        Expression* a1 = ch(A, 1);
        Expression* b0 = ch(B, 0);
        Expression* b1 = ch(B, 1);
        Expression *ra = nullptr, *rb = nullptr;
        if (isArithmeticNegationOf(a0, b0)) {
          ra = a1, rb = b1;
        } else if (isArithmeticNegationOf(a0, b1)) {
          ra = a1, rb = b0;
        } else if (isArithmeticNegationOf(a1, b0)) {
          ra = a0, rb = b1;
        } else if (isArithmeticNegationOf(a1, b1)) {
          ra = a0, rb = b0;
        }
        if (ra) {
          Ref na(ra), nb(rb);
          a = std::move(na);
          b = std::move(nb);
          continue;
        }
      }
    }
    // 9
    if (isConst(A) && bAdd) {
      if (isConst(ch(B, 0))) {
        Ref na = bd.Add(A, ch(B, 0));
        Ref nb(ch(B, 1));
        a = std::move(na);
        b = std::move(nb);
        continue;
      }
      if (isConst(ch(B, 1))) {
        Ref na = bd.Add(A, ch(B, 1));
        Ref nb(ch(B, 0));
        a = std::move(na);
        b = std::move(nb);
        continue;
      }
    }
    // 10
    if (aAdd && isConst(B)) {
      if (isConst(ch(A, 0))) {
        Ref nb = bd.Add(ch(A, 0), B);
        Ref na(ch(A, 1));
        a = std::move(na);
        b = std::move(nb);
        continue;
      }
      if (isConst(ch(A, 1))) {
        Ref nb = bd.Add(ch(A, 1), B);
        Ref na(ch(A, 0));
        a = std::move(na);
        b = std::move(nb);
        continue;
      }
    }
    // 11
    if (aAdd && bAdd) {
      Expression *ka, *kb, *ra, *rb;
      if (constantOperands(A, B, ka, kb, ra, rb)) {
        Ref na = bd.Add(ka, kb);
        Ref nb = bd.Add(ra, rb);
        a = std::move(na);
        b = std::move(nb);
        continue;
      }
    }
    // 12
    if (aAdd && isConst(ch(A, 1))) {
      Ref nb = bd.Add(B, ch(A, 0));
      Ref na(ch(A, 1));
      a = std::move(na);
      b = std::move(nb);
      continue;
    }
    // 13
    if (bAdd) {
      if (isConst(ch(B, 0))) {
        Ref na = bd.Add(A, ch(B, 1));
        Ref nb(ch(B, 0));
        a = std::move(na);
        b = std::move(nb);
        continue;
      }
      if (isConst(ch(B, 1))) {
        Ref na = bd.Add(A, ch(B, 0));
        Ref nb(ch(B, 1));
        a = std::move(na);
        b = std::move(nb);
        continue;
      }
    }
    // 14: common factor.
    if (A != B && isKind(A, KIND_MUL) && isKind(B, KIND_MUL)) {
      Expression* a0 = ch(A, 0);
      Expression* a1 = ch(A, 1);
      Expression* b0 = ch(B, 0);
      Expression* b1 = ch(B, 1);
      Expression *s = nullptr, *p = nullptr, *q = nullptr;
      if (a0 == b0) {
        s = a0, p = a1, q = b1;
      } else if (a0 == b1) {
        s = a0, p = a1, q = b0;
      } else if (a1 == b0) {
        s = a1, p = a0, q = b1;
      } else if (a1 == b1) {
        s = a1, p = a0, q = b0;
      }
      if (s) {
        Ref sum = bd.Add(p, q);
        return bd.Mul(sum, s);
      }
    }
    // 15
    if (w == 1) return bd.Xor(A, B);
    // 16
    return m.findOrInsert(new ADDExpression(w, A, B));
  }
}

Ref negOf(M& m, Ref& x) {
  Build bd{m};
  Expression* X = x.get();
  const uint32_t w = X->getWidth();
  // 2
  if (isConst(X)) {
    BitVector r;
    BitVector::neg(valueOf(X), r);
    return bd.Constant(r);
  }
  // 3
  if (isKind(X, KIND_NEG)) return Ref(ch(X, 0));
  // 4: -(not y) = y + 1.
  if (isKind(X, KIND_NOT)) {
    Ref one = bd.One(w);
    return bd.Add(ch(X, 0), one);
  }
  // 5
  if (isKind(X, KIND_ADD)) {
    if (isKind(ch(X, 0), KIND_NEG)) {
      Ref n = bd.Neg(ch(X, 1));
      return bd.Add(ch(ch(X, 0), 0), n);
    }
    if (isKind(ch(X, 1), KIND_NEG)) {
      Ref n = bd.Neg(ch(X, 0));
      return bd.Add(ch(ch(X, 1), 0), n);
    }
  }
  // 6
  if (isKind(X, KIND_ITE)) {
    Expression* t = ch(X, 1);
    Expression* e = ch(X, 2);
    if (isKind(t, KIND_NEG) || isKind(e, KIND_NEG)) {
      Ref nt = bd.Neg(t);
      Ref ne = bd.Neg(e);
      return bd.Ite(ch(X, 0), nt, ne);
    }
    if (isKind(t, KIND_NOT) && isKind(e, KIND_NOT)) {
      Ref i = bd.Ite(ch(X, 0), ch(t, 0), ch(e, 0));
      Ref one = bd.One(w);
      return bd.Add(i, one);
    }
  }
  // 7
  if (w == 1) return std::move(x);
  // 8
  return m.findOrInsert(new NEGExpression(w, X));
}

// ---------------------------------------------------------------------------
// extraction and concatenation

inline bool adjacentExtracts(Expression* hiPart, Expression* loPart) {
  return isKind(hiPart, KIND_EXTRACT) && isKind(loPart, KIND_EXTRACT) && ch(hiPart, 0) == ch(loPart, 0) &&
         loOf(hiPart) == hiOf(loPart) + 1;
}

Ref extractLoop(M& m, Ref& x, uint32_t hi, uint32_t lo) {
  Build bd{m};
  for (;;) {
    Expression* X = x.get();
    // 1
    if (hi == X->getWidth() - 1 && lo == 0) return std::move(x);
    // 2
    if (isConst(X)) {
      BitVector r;
      BitVector::extract(valueOf(X), hi, lo, r);
      return bd.Constant(r);
    }
    // 3
    if (isKind(X, KIND_EXTRACT)) {
      const uint32_t l = loOf(X);
      x = ch(X, 0);
      hi += l;
      lo += l;
      continue;
    }
    // 4
    if (isKind(X, KIND_NOT)) {
      Expression* z = ch(X, 0);
      if (isKind(z, KIND_EXTRACT)) {
        const uint32_t l = loOf(z);
        x = bd.Not(ch(z, 0));
        hi += l;
        lo += l;
        continue;
      }
      if (isKind(z, KIND_CONCAT)) {
        const uint32_t wm = ch(z, 1)->getWidth();
        if (hi < wm) {
          x = bd.Not(ch(z, 1));
          continue;
        }
        if (lo >= wm) {
          x = bd.Not(ch(z, 0));
          hi -= wm;
          lo -= wm;
          continue;
        }
      }
      break;
    }
    // 5
    if (isKind(X, KIND_CONCAT)) {
      const uint32_t wm = ch(X, 1)->getWidth();
      if (hi < wm) {
        x = ch(X, 1);
        continue;
      }
      if (lo >= wm) {
        x = ch(X, 0);
        hi -= wm;
        lo -= wm;
        continue;
      }
      break;
    }
    // 6
    if (isKind(X, KIND_ITE) && isConst(ch(X, 1)) && isConst(ch(X, 2))) {
      Ref t = bd.Extract(ch(X, 1), hi, lo);
      Ref e = bd.Extract(ch(X, 2), hi, lo);
      return bd.Ite(ch(X, 0), t, e);
    }
    break;
  }
  // 7
  return m.findOrInsert(new ExtractExpression(x.get(), hi, lo));
}

Ref concatLoop(M& m, Ref& a, Ref& b) {
  Build bd{m};
  for (;;) {
    Expression* A = a.get();
    Expression* B = b.get();
    // 1
    if (isConst(A) && isConst(B)) {
      BitVector r;
      BitVector::concat(valueOf(A), valueOf(B), r);
      return bd.Constant(r);
    }
    const bool aX = isKind(A, KIND_EXTRACT), bX = isKind(B, KIND_EXTRACT);
    const bool aC = isKind(A, KIND_CONCAT), bC = isKind(B, KIND_CONCAT);
    // 2
    if (adjacentExtracts(A, B)) return bd.Extract(ch(A, 0), hiOf(A), loOf(B));
    // 3
    if (aX && bC && adjacentExtracts(A, ch(B, 0))) {
      Ref na = bd.Extract(ch(A, 0), hiOf(A), loOf(ch(B, 0)));
      Ref nb(ch(B, 1));
      a = std::move(na);
      b = std::move(nb);
      continue;
    }
    // 4
    if (aC && bX && adjacentExtracts(ch(A, 1), B)) {
      Ref nb = bd.Extract(ch(B, 0), hiOf(ch(A, 1)), loOf(B));
      Ref na(ch(A, 0));
      a = std::move(na);
      b = std::move(nb);
      continue;
    }
    // 5
    if (aC && bC && adjacentExtracts(ch(A, 1), ch(B, 0))) {
      Ref mid = bd.Extract(ch(ch(A, 1), 0), hiOf(ch(A, 1)), loOf(ch(B, 0)));
      Ref na = bd.Concat(ch(A, 0), mid);
      Ref nb(ch(B, 1));
      a = std::move(na);
      b = std::move(nb);
      continue;
    }
    // 6
    if (aC && isConst(ch(A, 1)) && isConst(B)) {
      Ref nb = bd.Concat(ch(A, 1), B);
      Ref na(ch(A, 0));
      a = std::move(na);
      b = std::move(nb);
      continue;
    }
    // 7
    if (isConst(A) && bC && isConst(ch(B, 0))) {
      Ref na = bd.Concat(A, ch(B, 0));
      Ref nb(ch(B, 1));
      a = std::move(na);
      b = std::move(nb);
      continue;
    }
    // 8
    if (aC && bC && isConst(ch(A, 1)) && isConst(ch(B, 0))) {
      Ref k = bd.Concat(ch(A, 1), ch(B, 0));
      Ref nb = bd.Concat(k, ch(B, 1));
      Ref na(ch(A, 0));
      a = std::move(na);
      b = std::move(nb);
      continue;
    }
    // 9: one bit against two bits of itself, on the left.
    if (bC && A->getWidth() == 1) {
      Expression* p = ch(B, 0);
      Expression* q = ch(B, 1);
      Expression* base = baseOf(A);
      if (p->getWidth() == 1 && q->getWidth() == 1 && baseOf(p) == base && baseOf(q) == base) {
        const bool pa = polarityOf(A);
        Ref t = bd.True();
        Ref bp = bd.Bool(pa == polarityOf(p));
        Ref bq = bd.Bool(pa == polarityOf(q));
        Ref low = bd.Concat(bp, bq);
        Ref K = bd.Concat(t, low);
        Ref nK = bd.Not(K);
        return bd.Ite(A, K, nK);
      }
    }
    // 10: the same on the right.
    if (aC && B->getWidth() == 1) {
      Expression* p = ch(A, 0);
      Expression* q = ch(A, 1);
      Expression* base = baseOf(B);
      if (p->getWidth() == 1 && q->getWidth() == 1 && baseOf(p) == base && baseOf(q) == base) {
        const bool pb = polarityOf(B);
        Ref bp = bd.Bool(pb == polarityOf(p));
        Ref bq = bd.Bool(pb == polarityOf(q));
        Ref t = bd.True();
        Ref low = bd.Concat(bq, t);
        Ref K = bd.Concat(bp, low);
        Ref nK = bd.Not(K);
        return bd.Ite(B, K, nK);
      }
    }
    // 11: a bit next to an if-then-else on its own condition, on the left.
    if (isKind(B, KIND_ITE) && A->getWidth() == 1) {
      Expression* c = ch(B, 0);
      Expression* t = ch(B, 1);
      Expression* e = ch(B, 2);
      if (baseOf(A) == baseOf(c) && (isConst(t) || isConst(e))) {
        const bool s = polarityOf(A) == polarityOf(c);
        Ref bs = bd.Bool(s);
        Ref nt = bd.Concat(bs, t);
        Ref bn = bd.Bool(!s);
        Ref ne = bd.Concat(bn, e);
        return bd.Ite(c, nt, ne);
      }
    }
    // 12: the same on the right.
    if (isKind(A, KIND_ITE) && B->getWidth() == 1) {
      Expression* c = ch(A, 0);
      Expression* t = ch(A, 1);
      Expression* e = ch(A, 2);
      if (baseOf(B) == baseOf(c) && (isConst(t) || isConst(e))) {
        const bool s = polarityOf(B) == polarityOf(c);
        Ref bs = bd.Bool(s);
        Ref nt = bd.Concat(t, bs);
        Ref bn = bd.Bool(!s);
        Ref ne = bd.Concat(e, bn);
        return bd.Ite(c, nt, ne);
      }
    }
    // 13
    return m.findOrInsert(new ConcatExpression(A, B));
  }
}

// ---------------------------------------------------------------------------
// unsigned comparison

// Splits a comparison of a constant with a concatenation whose high part is
// a constant, or of two such concatenations, into a comparison of the high
// parts (which folds) and of the low parts. Answers null when no split fits.
// `signedHigh` compares the high parts as signed numbers.
Ref splitComparison(M& m, Ref& a, Ref& b, bool signedHigh) {
  Build bd{m};
  Expression* A = a.get();
  Expression* B = b.get();
  const uint32_t w = A->getWidth();
  auto cmpHigh = [&](Expression* x, Expression* y) { return signedHigh ? bd.SLT(x, y) : bd.ULT(x, y); };
  if (isConst(A) && isKind(B, KIND_CONCAT) && isConst(ch(B, 0))) {
    Expression* hb = ch(B, 0);
    const uint32_t l = w - hb->getWidth();
    Ref ah = bd.Extract(A, w - 1, l);
    Ref al = bd.Extract(A, l - 1, 0);
    Ref lo = bd.ULT(al, ch(B, 1));
    Ref hi = cmpHigh(ah.get(), hb);
    Ref eq = bd.Eq(ah, hb);
    return bd.Ite(eq, lo, hi);
  }
  if (isConst(B) && isKind(A, KIND_CONCAT) && isConst(ch(A, 0))) {
    Expression* ha = ch(A, 0);
    const uint32_t l = w - ha->getWidth();
    Ref bh = bd.Extract(B, w - 1, l);
    Ref bl = bd.Extract(B, l - 1, 0);
    Ref lo = bd.ULT(ch(A, 1), bl);
    Ref hi = cmpHigh(ha, bh.get());
    Ref eq = bd.Eq(bh, ha);
    return bd.Ite(eq, lo, hi);
  }
  if (isKind(A, KIND_CONCAT) && isKind(B, KIND_CONCAT) && isConst(ch(A, 0)) && isConst(ch(B, 0))) {
    Ref ha(ch(A, 0)), hb(ch(B, 0));
    const uint32_t wa = ha->getWidth(), wb = hb->getWidth();
    Ref ta, tb, na, nb;
    if (wa == wb) {
      ta = ha;
      tb = hb;
      na = ch(A, 1);
      nb = ch(B, 1);
    } else if (wa < wb) {
      ta = ha;
      na = ch(A, 1);
      tb = bd.Extract(hb, wb - 1, wb - wa);
      Ref rest = bd.Extract(hb, wb - wa - 1, 0);
      nb = bd.Concat(rest, ch(B, 1));
    } else {
      tb = hb;
      nb = ch(B, 1);
      ta = bd.Extract(ha, wa - 1, wa - wb);
      Ref rest = bd.Extract(ha, wa - wb - 1, 0);
      na = bd.Concat(rest, ch(A, 1));
    }
    a = std::move(na);
    b = std::move(nb);
    Ref lo = bd.ULT(a, b);
    Ref hi = cmpHigh(ta.get(), tb.get());
    Ref eq = bd.Eq(ta, tb);
    return bd.Ite(eq, lo, hi);
  }
  return Ref();
}

Ref ultLoop(M& m, Ref& a, Ref& b) {
  Build bd{m};
  for (;;) {
    Expression* A = a.get();
    Expression* B = b.get();
    // 1
    if (A->getWidth() != B->getWidth()) return Ref();
    const uint32_t w = A->getWidth();
    // 2
    if (isConst(A) && isConst(B)) return bd.Bool(valueOf(A).ult(valueOf(B)));
    // 3
    if (A == B || A->isAllOnes() || B->isZero()) return bd.False();
    // 4: 0 < b exactly when b is not zero.
    if (A->isZero()) {
      Ref z = bd.IsZero(B);
      return bd.Not(z);
    }
    // 5
    if (B->isAllOnes()) return bd.Distinct(A, B);
    // 6: a < 2^k exactly when the bits from k upward are zero.
    uint32_t k = 0;
    if (B->isPowerOfTwo(k)) {
      Ref hi = bd.Extract(A, w - 1, k);
      return bd.IsZero(hi);
    }
    // 7
    if (isKind(A, KIND_CONCAT) && isKind(B, KIND_CONCAT) && ch(A, 0) == ch(B, 0)) {
      Ref na(ch(A, 1)), nb(ch(B, 1));
      a = std::move(na);
      b = std::move(nb);
      continue;
    }
    // 8 to 10
    Ref r = splitComparison(m, a, b, false);
    if (r) return r;
    // 11
    if (w >= 2) return m.findOrInsert(new ULTExpression(A, B));
    // 12
    Ref na = bd.Not(A);
    return bd.And(na, B);
  }
}

Ref sltOf(M& m, Ref& a, Ref& b) {
  Build bd{m};
  Expression* A = a.get();
  Expression* B = b.get();
  const uint32_t w = A->getWidth();
  // 2
  if (A == B) return bd.False();
  // 3
  if (isConst(A) && isConst(B)) return bd.Bool(valueOf(A).slt(valueOf(B)));
  // 4
  if (A->isSignedMax() || B->isSignedMin()) return bd.False();
  // 5: equal high parts hold the sign; the low parts compare unsigned.
  if (isKind(A, KIND_CONCAT) && isKind(B, KIND_CONCAT) && ch(A, 0) == ch(B, 0))
    return bd.ULT(ch(A, 1), ch(B, 1));
  // 6 to 8
  Ref r = splitComparison(m, a, b, true);
  if (r) return r;
  // 9
  if (w >= 2) return m.findOrInsert(new SLTExpression(A, B));
  // 10: a 1-bit 1 is -1.
  Ref nb = bd.Not(B);
  return bd.And(A, nb);
}

// The magnitude of x: ite(sign bit of x, -x, x).
Ref magnitudeOf(Build& bd, Expression* x, Expression* sign) {
  Ref n = bd.Neg(x);
  return bd.Ite(sign, n, x);
}

}  // namespace

// ===========================================================================
// Addition, multiplication and negation

ExpressionRef& ExpressionManager::makeMul(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  return answer(result, mulLoop(*this, *a, *b));
}

ExpressionRef& ExpressionManager::makeAdd(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  return answer(result, addLoop(*this, *a, *b));
}

ExpressionRef& ExpressionManager::makeNeg(ExpressionRef& result, ExpressionRef* x) {
  if (!usable(x)) return fail(result);
  return answer(result, negOf(*this, *x));
}

ExpressionRef& ExpressionManager::makeSub(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b) return fail(result);
  Build bd{*this};
  Ref n = bd.Neg(*b);
  Ref ca(*a);
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
  return answer(result, concatLoop(*this, *a, *b));
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
  Ref z = bd.Zero(n);
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
    Ref ones = bd.Ones(n + 1);
    Ref zero = bd.Zero(n + 1);
    return answer(result, bd.Ite(*x, ones, zero));
  }
  Ref sign = bd.Extract(*x, w - 1, w - 1);
  Ref ones = bd.Ones(n + 1);
  Ref zero = bd.Zero(n + 1);
  Ref fill = bd.Ite(sign, ones, zero);
  Ref low = bd.Extract(*x, w - 2, 0);
  return answer(result, bd.Concat(fill, low));
}

ExpressionRef& ExpressionManager::makeRepeat(ExpressionRef& result, ExpressionRef* x, uint32_t n) {
  if (!usable(x) || n == 0) return fail(result);
  const uint32_t w = (*x)->getWidth();
  if (uint64_t(w) * n > UINT32_MAX) return fail(result);
  Build bd{*this};
  if (w == 1) return answer(result, bd.SignExtend(*x, n - 1));
  Ref r(*x);
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
  Ref low = bd.Extract(*x, w - k - 1, 0);
  Ref high = bd.Extract(*x, w - 1, w - k);
  return answer(result, bd.Concat(low, high));
}

ExpressionRef& ExpressionManager::makeRotateRight(ExpressionRef& result, ExpressionRef* x, uint32_t n) {
  if (!usable(x)) return fail(result);
  const uint32_t w = (*x)->getWidth();
  const uint32_t k = (w - n % w) % w;
  Ref c(*x);
  return makeRotateLeft(result, &c, k);
}

// ===========================================================================
// Shifts

ExpressionRef& ExpressionManager::makeShl(ExpressionRef& result, ExpressionRef* x, ExpressionRef* s) {
  if (!usablePair(x, s)) return fail(result);
  Expression* X = x->get();
  Expression* S = s->get();
  const uint32_t w = X->getWidth();
  Build bd{*this};
  if (X->isZero() || S->isZero()) {
    result = std::move(*x);
    return result;
  }
  if (isConst(X) && isConst(S)) {
    BitVector r;
    BitVector::shl(valueOf(X), valueOf(S), r);
    return answer(result, bd.Constant(r));
  }
  if (isConst(S)) {
    uint32_t k = 0;
    if (valueOf(S).toUInt32(k) && k < w) {
      Ref low = bd.Extract(X, w - k - 1, 0);
      Ref z = bd.Zero(k);
      return answer(result, bd.Concat(low, z));
    }
    return answer(result, bd.Zero(w));
  }
  if (w == 1) {
    Ref ns = bd.Not(S);
    return answer(result, bd.And(X, ns));
  }
  return answer(result, findOrInsert(new SHLExpression(X, S)));
}

ExpressionRef& ExpressionManager::makeLShr(ExpressionRef& result, ExpressionRef* x, ExpressionRef* s) {
  if (!usablePair(x, s)) return fail(result);
  Expression* X = x->get();
  Expression* S = s->get();
  const uint32_t w = X->getWidth();
  Build bd{*this};
  if (X->isZero() || S->isZero()) {
    result = std::move(*x);
    return result;
  }
  if (isConst(X) && isConst(S)) {
    BitVector r;
    BitVector::lshr(valueOf(X), valueOf(S), r);
    return answer(result, bd.Constant(r));
  }
  if (isConst(S)) {
    uint32_t k = 0;
    if (valueOf(S).toUInt32(k) && k < w) {
      Ref high = bd.Extract(X, w - 1, k);
      return answer(result, bd.ZeroExtend(high, k));
    }
    return answer(result, bd.Zero(w));
  }
  if (w == 1) {
    Ref ns = bd.Not(S);
    return answer(result, bd.And(X, ns));
  }
  return answer(result, findOrInsert(new LSHRExpression(X, S)));
}

ExpressionRef& ExpressionManager::makeAShr(ExpressionRef& result, ExpressionRef* x, ExpressionRef* s) {
  if (!usablePair(x, s)) return fail(result);
  Expression* X = x->get();
  Expression* S = s->get();
  const uint32_t w = X->getWidth();
  Build bd{*this};
  if (X->isZero() || X->isAllOnes() || S->isZero()) {
    result = std::move(*x);
    return result;
  }
  if (isConst(X) && isConst(S)) {
    BitVector r;
    BitVector::ashr(valueOf(X), valueOf(S), r);
    return answer(result, bd.Constant(r));
  }
  if (isConst(S)) {
    uint32_t k = 0;
    Ref t;
    if (valueOf(S).toUInt32(k) && k < w - 1)
      t = bd.Extract(X, w - 1, k);
    else
      t = bd.Extract(X, w - 1, w - 1);
    const uint32_t n = w - t->getWidth();
    return answer(result, bd.SignExtend(t, n));
  }
  if (w == 1) {
    result = std::move(*x);
    return result;
  }
  return answer(result, findOrInsert(new ASHRExpression(X, S)));
}

// ===========================================================================
// Comparisons

namespace {

// The other comparisons are a strict comparison of (x, y), negated or not.
// The operands are copied, so the caller's handles stay as they are.
ExpressionRef& comparisonVia(M& m, ExpressionRef& result,
                             ExpressionRef& (M::*less)(ExpressionRef&, ExpressionRef*, ExpressionRef*),
                             ExpressionRef* x, ExpressionRef* y, bool negate) {
  Ref cx, cy;
  if (x) cx = *x;
  if (y) cy = *y;
  if (!negate) return (m.*less)(result, &cx, &cy);
  Ref lt;
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
  return comparisonVia(*this, result, &M::makeULT, b, a, false);
}

ExpressionRef& ExpressionManager::makeULE(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  return comparisonVia(*this, result, &M::makeULT, b, a, true);
}

ExpressionRef& ExpressionManager::makeUGE(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  return comparisonVia(*this, result, &M::makeULT, a, b, true);
}

ExpressionRef& ExpressionManager::makeSGT(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  return comparisonVia(*this, result, &M::makeSLT, b, a, false);
}

ExpressionRef& ExpressionManager::makeSLE(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  return comparisonVia(*this, result, &M::makeSLT, b, a, true);
}

ExpressionRef& ExpressionManager::makeSGE(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  return comparisonVia(*this, result, &M::makeSLT, a, b, true);
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
  // 1
  if (B->isZero()) return answer(result, bd.Ones(w));
  // 2
  if (B->isOne()) {
    result = std::move(*a);
    return result;
  }
  // 3
  if (isConst(A) && isConst(B)) {
    BitVector q, r;
    foldUDivURem(*evaluator_, valueOf(A), valueOf(B), q, r);
    return answer(result, bd.Constant(q));
  }
  // 4
  if (A->isZero()) {
    Ref z = bd.IsZero(B);
    Ref ones = bd.Ones(w);
    return answer(result, bd.Ite(z, ones, A));
  }
  // 5
  if (A == B) {
    Ref z = bd.IsZero(B);
    Ref ones = bd.Ones(w);
    Ref one = bd.One(w);
    return answer(result, bd.Ite(z, ones, one));
  }
  // 6
  uint32_t k = 0;
  if (B->isPowerOfTwo(k)) {
    Ref c = bd.UInt(k, w);
    return answer(result, bd.LShr(A, c));
  }
  // 7
  if (w == 1) {
    Ref na = bd.Not(A);
    Ref x = bd.And(na, B);
    return answer(result, bd.Not(x));
  }
  // 8
  return answer(result, findOrInsert(new DIVExpression(A, B)));
}

ExpressionRef& ExpressionManager::makeURem(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  Expression* A = a->get();
  Expression* B = b->get();
  const uint32_t w = A->getWidth();
  Build bd{*this};
  // 1
  uint32_t k = 0;
  if (B->isPowerOfTwo(k)) {
    if (k == 0) return answer(result, bd.Zero(w));
    Ref z = bd.Zero(w - k);
    Ref low = bd.Extract(A, k - 1, 0);
    return answer(result, bd.Concat(z, low));
  }
  // 2
  if (B->isZero() || A->isZero()) {
    result = std::move(*a);
    return result;
  }
  // 3
  if (A == B) return answer(result, bd.Zero(w));
  // 4
  if (isConst(A) && isConst(B)) {
    BitVector q, r;
    foldUDivURem(*evaluator_, valueOf(A), valueOf(B), q, r);
    return answer(result, bd.Constant(r));
  }
  // 5
  if (w == 1) {
    Ref nb = bd.Not(B);
    return answer(result, bd.And(A, nb));
  }
  // 6
  return answer(result, findOrInsert(new UREMExpression(A, B)));
}

namespace {

// Sign bits and magnitudes of the two operands of a signed division or
// remainder, built in this order: sign of A, sign of B, |A|, |B|.
struct SignsAndMagnitudes {
  Ref sa, sb, ma, mb;
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

// The rules signed remainder and signed modulo share: a remainder by zero or
// of zero is the dividend (1, 3); by one or minus one, or of a value by itself
// or its negation, it is zero (2, 4). Stores the answer and says whether one
// of them applied.
bool signedRemainderTrivial(Build& bd, ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  Expression* A = a->get();
  Expression* B = b->get();
  // 1
  if (B->isZero()) {
    result = std::move(*a);
    return true;
  }
  // 2
  if (B->isOne() || B->isAllOnes()) {
    answer(result, bd.Zero(A->getWidth()));
    return true;
  }
  // 3
  if (A->isZero()) {
    result = std::move(*a);
    return true;
  }
  // 4
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
  // 1
  if (B->isZero()) {
    Ref sa = bd.Extract(A, w - 1, w - 1);
    Ref one = bd.One(w);
    Ref ones = bd.Ones(w);
    return answer(result, bd.Ite(sa, one, ones));
  }
  // 2
  if (B->isOne()) {
    result = std::move(*a);
    return result;
  }
  // 3
  if (B->isAllOnes()) return answer(result, bd.Neg(A));
  // 4
  if (A->isZero()) {
    Ref z = bd.IsZero(B);
    Ref ones = bd.Ones(w);
    return answer(result, bd.Ite(z, ones, A));
  }
  // 5
  if (A == B) {
    Ref z = bd.IsZero(B);
    Ref ones = bd.Ones(w);
    Ref one = bd.One(w);
    return answer(result, bd.Ite(z, ones, one));
  }
  // 6
  auto [sa, sb, ma, mb] = signsAndMagnitudes(bd, A, B);
  Ref q = bd.UDiv(ma, mb);
  Ref s = bd.Xor(sa, sb);
  Ref nq = bd.Neg(q);
  return answer(result, bd.Ite(s, nq, q));
}

ExpressionRef& ExpressionManager::makeSRem(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  Expression* A = a->get();
  Expression* B = b->get();
  Build bd{*this};
  // 1 to 4
  if (signedRemainderTrivial(bd, result, a, b)) return result;
  // 5
  auto [sa, sb, ma, mb] = signsAndMagnitudes(bd, A, B);
  Ref r = bd.URem(ma, mb);
  Ref nr = bd.Neg(r);
  return answer(result, bd.Ite(sa, nr, r));
}

ExpressionRef& ExpressionManager::makeSMod(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  Expression* A = a->get();
  Expression* B = b->get();
  const uint32_t w = A->getWidth();
  Build bd{*this};
  // 1 to 4 as for the signed remainder
  if (signedRemainderTrivial(bd, result, a, b)) return result;
  // 5
  auto [sa, sb, ma, mb] = signsAndMagnitudes(bd, A, B);
  Ref u = bd.URem(ma, mb);
  Ref nu = bd.Neg(u);
  Ref v = bd.Ite(sa, nu, u);
  Ref t = bd.Add(v, B);
  Ref s = bd.Xor(sa, sb);
  Ref x = bd.Ite(s, t, v);
  Ref z = bd.Zero(w);
  Ref e = bd.Eq(u, z);
  return answer(result, bd.Ite(e, u, x));
}

// ===========================================================================
// Overflow tests and absolute value

ExpressionRef& ExpressionManager::makeUAddOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  const uint32_t w = (*a)->getWidth();
  Build bd{*this};
  Ref z1 = bd.Zero(1);
  Ref ea = bd.Concat(z1, *a);
  Ref eb = bd.Concat(z1, *b);
  Ref s = bd.Add(ea, eb);
  return answer(result, bd.Extract(s, w, w));
}

ExpressionRef& ExpressionManager::makeSAddOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  const uint32_t w = (*a)->getWidth();
  Build bd{*this};
  Ref sa = bd.Extract(*a, w - 1, w - 1);
  Ref sb = bd.Extract(*b, w - 1, w - 1);
  Ref s = bd.Add(*a, *b);
  Ref ss = bd.Extract(s, w - 1, w - 1);
  Ref ab = bd.And(sa, sb);
  Ref nss = bd.Not(ss);
  Ref p = bd.And(ab, nss);
  Ref nsa = bd.Not(sa);
  Ref nsb = bd.Not(sb);
  Ref nab = bd.And(nsa, nsb);
  Ref q = bd.And(nab, ss);
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
  Ref sa = bd.Extract(*a, w - 1, w - 1);
  Ref sb = bd.Extract(*b, w - 1, w - 1);
  Ref d = bd.Sub(*a, *b);
  Ref sd = bd.Extract(d, w - 1, w - 1);
  Ref nsa = bd.Not(sa);
  Ref x = bd.And(nsa, sb);
  Ref p = bd.And(x, sd);
  Ref nsb = bd.Not(sb);
  Ref y = bd.And(sa, nsb);
  Ref nsd = bd.Not(sd);
  Ref q = bd.And(y, nsd);
  return answer(result, bd.Or(p, q));
}

ExpressionRef& ExpressionManager::makeUMulOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  const uint32_t w = (*a)->getWidth();
  if (w == UINT32_MAX) return fail(result);
  Build bd{*this};
  // A pair of set bits a_i, b_j with i + j >= w overflows.
  Ref acc = bd.False();
  for (uint32_t i = 1; i < w; ++i) {
    Ref t = bd.False();
    for (uint32_t j = 1; j <= i; ++j) {
      Ref bit = bd.Extract(*b, w - j, w - j);
      t = bd.Or(t, bit);
    }
    Ref ai = bd.Extract(*a, i, i);
    Ref pair = bd.And(ai, t);
    acc = bd.Or(acc, pair);
  }
  // Otherwise the product fits in w + 1 bits; its bit w tells.
  Ref ea = bd.ZeroExtend(*a, 1);
  Ref eb = bd.ZeroExtend(*b, 1);
  Ref p = bd.Mul(ea, eb);
  Ref top = bd.Extract(p, w, w);
  return answer(result, bd.Or(acc, top));
}

ExpressionRef& ExpressionManager::makeSMulOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  const uint32_t w = (*a)->getWidth();
  if (w == UINT32_MAX) return fail(result);
  const uint32_t m = w - 1;
  Build bd{*this};
  // Each operand with its bits inverted when it is negative.
  Ref sa = bd.Extract(*a, w - 1, w - 1);
  Ref fa = bd.SignExtend(sa, m);
  Ref ap = bd.Xor(*a, fa);
  Ref sb = bd.Extract(*b, w - 1, w - 1);
  Ref fb = bd.SignExtend(sb, m);
  Ref bp = bd.Xor(*b, fb);
  Ref acc = bd.False();
  for (uint32_t i = 1; i < m; ++i) {
    Ref t = bd.False();
    for (uint32_t j = 1; j <= i; ++j) {
      Ref bit = bd.Extract(bp, m - j, m - j);
      t = bd.Or(t, bit);
    }
    Ref ai = bd.Extract(ap, i, i);
    Ref pair = bd.And(ai, t);
    acc = bd.Or(acc, pair);
  }
  // The top two bits of the widened product differ on overflow.
  Ref ea = bd.SignExtend(*a, 1);
  Ref eb = bd.SignExtend(*b, 1);
  Ref p = bd.Mul(ea, eb);
  Ref pw = bd.Extract(p, w, w);
  Ref pm = bd.Extract(p, m, m);
  Ref x = bd.Xor(pw, pm);
  return answer(result, bd.Or(acc, x));
}

ExpressionRef& ExpressionManager::makeSDivOverflow(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!usablePair(a, b)) return fail(result);
  const uint32_t w = (*a)->getWidth();
  Build bd{*this};
  std::vector<bool> bits(w, false);
  bits[w - 1] = true;
  Ref smin;
  makeConstantFromBits(smin, bits);
  Ref e1 = bd.Eq(*a, smin);
  Ref ones = bd.Ones(w);
  Ref e2 = bd.Eq(*b, ones);
  return answer(result, bd.And(e1, e2));
}

ExpressionRef& ExpressionManager::makeAbs(ExpressionRef& result, ExpressionRef* x) {
  if (!usable(x)) return fail(result);
  const uint32_t w = (*x)->getWidth();
  Build bd{*this};
  Ref n = bd.Neg(*x);
  Ref z = bd.Zero(w);
  Ref c = bd.SLT(*x, z);
  return answer(result, bd.Ite(c, n, *x));
}

}  // namespace varnok
