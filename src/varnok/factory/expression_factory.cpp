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
// Inside each maker the rules are tried in a fixed order; comments of the form
// "// 7" number them in that order.
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

inline bool isIteLike(const Expression* e) {
  return e->getKind() == KIND_ITE || e->getKind() == KIND_ARRAY_ITE;
}
inline uint64_t indexWidthOf(const Expression* e) {
  return static_cast<const ArrayExpression*>(e)->getIndexWidth();
}
inline uint64_t elementWidthOf(const Expression* e) {
  return static_cast<const ArrayExpression*>(e)->getElementWidth();
}
inline bool sameArraySort(const Expression* a, const Expression* b) {
  return indexWidthOf(a) == indexWidthOf(b) && elementWidthOf(a) == elementWidthOf(b);
}
inline bool compl_(Expression* x, Expression* y) { return isNegationOf(x, y); }

// ---------------------------------------------------------------------------
// not

Ref notOf(M& m, Expression* x) {
  Build b{m};
  const uint32_t w = x->getWidth();
  switch (x->getKind()) {
    case KIND_CONSTANT: {
      BitVector r;
      BitVector::bitNot(valueOf(x), r);
      return b.Constant(r);
    }
    case KIND_NOT:
      return Ref(ch(x, 0));
    case KIND_NEG: {
      // The complement of -y is y - 1.
      Ref ones = b.Ones(w);
      return b.Add(ch(x, 0), ones);
    }
    case KIND_EXTRACT: {
      Expression* z = ch(x, 0);
      if (isKind(z, KIND_NOT)) return b.Extract(ch(z, 0), hiOf(x), loOf(x));
      break;
    }
    case KIND_CONCAT: {
      Expression* h = ch(x, 0);
      Expression* l = ch(x, 1);
      if (isKind(h, KIND_NOT) && isKind(l, KIND_NOT)) return b.Concat(ch(h, 0), ch(l, 0));
      if (isConst(h) || isConst(l)) {
        Ref nh = b.Not(h);
        Ref nl = b.Not(l);
        return b.Concat(nh, nl);
      }
      break;
    }
    case KIND_ITE: {
      Expression* t = ch(x, 1);
      Expression* e = ch(x, 2);
      auto pushable = [](Expression* y) {
        return isKind(y, KIND_NOT) || isKind(y, KIND_NEG) || isConst(y);
      };
      if (pushable(t) && pushable(e)) {
        Ref nt = b.Not(t);
        Ref ne = b.Not(e);
        return b.Ite(ch(x, 0), nt, ne);
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

Ref andLoop(M& m, Ref& a, Ref& b) {
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
      BitVector::bitAnd(valueOf(A), valueOf(B), r);
      return bd.Constant(r);
    }
    // 4
    if (A == B) return std::move(a);
    // 5
    if (A->isZero()) return std::move(a);
    if (B->isZero()) return std::move(b);
    // 6
    if (compl_(A, B)) return bd.Zero(w);
    // 7
    if (A->isAllOnes()) return std::move(b);
    if (B->isAllOnes()) return std::move(a);

    const bool aAnd = isKind(A, KIND_AND), bAnd = isKind(B, KIND_AND);
    const bool aNot = isKind(A, KIND_NOT), bNot = isKind(B, KIND_NOT);
    Expression* A0 = aAnd ? ch(A, 0) : nullptr;
    Expression* A1 = aAnd ? ch(A, 1) : nullptr;
    Expression* B0 = bAnd ? ch(B, 0) : nullptr;
    Expression* B1 = bAnd ? ch(B, 1) : nullptr;
    Expression* Pn = aNot ? ch(A, 0) : nullptr;
    Expression* Qn = bNot ? ch(B, 0) : nullptr;
    const bool pAnd = Pn && isKind(Pn, KIND_AND), qAnd = Qn && isKind(Qn, KIND_AND);
    Expression* P0 = pAnd ? ch(Pn, 0) : nullptr;
    Expression* P1 = pAnd ? ch(Pn, 1) : nullptr;
    Expression* Q0 = qAnd ? ch(Qn, 0) : nullptr;
    Expression* Q1 = qAnd ? ch(Qn, 1) : nullptr;

    // 8
    if (aAnd && (compl_(B, A0) || compl_(B, A1))) return bd.Zero(w);
    // 9
    if (bAnd) {
      if (compl_(A, B0) || compl_(A, B1)) return bd.Zero(w);
      if (aAnd && (compl_(A0, B0) || compl_(A0, B1) || compl_(A1, B0) || compl_(A1, B1))) return bd.Zero(w);
    }
    // 10
    if (pAnd && (compl_(B, P0) || compl_(B, P1))) return std::move(b);
    // 11
    if (qAnd && (compl_(A, Q0) || compl_(A, Q1))) return std::move(a);
    // 12
    if (pAnd && bAnd && (compl_(P0, B0) || compl_(P0, B1) || compl_(P1, B0) || compl_(P1, B1)))
      return std::move(b);
    // 13
    if (aAnd && qAnd && (compl_(Q0, A0) || compl_(Q0, A1) || compl_(Q1, A0) || compl_(Q1, A1)))
      return std::move(a);
    // 14
    if (aAnd && (A0 == B || A1 == B)) return std::move(a);
    // 15
    if (bAnd && (B0 == A || B1 == A)) return std::move(b);
    // 16
    if (pAnd && qAnd) {
      if (P0 == Q0 && compl_(P1, Q1)) return bd.Not(P0);
      if (Q1 == P0 && compl_(P1, Q0)) return bd.Not(P0);
      if (P1 == Q0 && compl_(P0, Q1)) return bd.Not(P1);
      if (Q1 == P1 && compl_(P0, Q0)) return bd.Not(P1);
    }
    // 17
    if (pAnd) {
      if (P1 == B) {
        a = bd.Not(P0);
        continue;
      }
      if (P0 == B) {
        a = bd.Not(P1);
        continue;
      }
    }
    // 18
    if (qAnd) {
      if (Q1 == A) {
        b = bd.Not(Q0);
        continue;
      }
      if (Q0 == A) {
        b = bd.Not(Q1);
        continue;
      }
    }
    // 19
    if (pAnd && bAnd) {
      if (P1 == B0 || P1 == B1) {
        a = bd.Not(P0);
        continue;
      }
      if (P0 == B0 || P0 == B1) {
        a = bd.Not(P1);
        continue;
      }
    }
    // 20
    if (aAnd && qAnd) {
      if (Q1 == A0 || Q1 == A1) {
        b = bd.Not(Q0);
        continue;
      }
      if (Q0 == A0 || Q0 == A1) {
        b = bd.Not(Q1);
        continue;
      }
    }
    // 21
    if (aAnd && bAnd) {
      if (B0 == A0 || B0 == A1) {
        b = B1;
        continue;
      }
      if (B1 == A0 || B1 == A1) {
        b = B0;
        continue;
      }
    }
    // 22: not(x < y) and not(y < x) give x = y.
    if (aNot && bNot &&
        ((isKind(Pn, KIND_ULT) && isKind(Qn, KIND_ULT)) || (isKind(Pn, KIND_SLT) && isKind(Qn, KIND_SLT))) &&
        ch(Pn, 0) == ch(Qn, 1) && ch(Pn, 1) == ch(Qn, 0))
      return bd.Eq(ch(Pn, 0), ch(Qn, 0));
    // 23, 24: a constant high part folds into a constant mask.
    if (isKind(A, KIND_CONCAT) && isConst(ch(A, 0)) && isConst(B)) {
      Expression* h = ch(A, 0);
      Expression* l = ch(A, 1);
      const uint32_t v = h->getWidth();
      Ref mh = bd.Extract(B, w - 1, w - v);
      Ref hi = bd.And(h, mh);
      Ref ml = bd.Extract(B, w - v - 1, 0);
      Ref lo = bd.And(l, ml);
      return bd.Concat(hi, lo);
    }
    if (isKind(B, KIND_CONCAT) && isConst(ch(B, 0)) && isConst(A)) {
      Expression* h = ch(B, 0);
      Expression* l = ch(B, 1);
      const uint32_t v = h->getWidth();
      Ref mh = bd.Extract(A, w - 1, w - v);
      Ref hi = bd.And(h, mh);
      Ref ml = bd.Extract(A, w - v - 1, 0);
      Ref lo = bd.And(l, ml);
      return bd.Concat(hi, lo);
    }
    // 25
    const bool aEq = isKind(A, KIND_EQUAL), bEq = isKind(B, KIND_EQUAL);
    if (aEq) {
      Ref r = m.mergeExtractConstraints(ch(A, 0), ch(A, 1), B);
      if (r) return r;
    }
    if (bEq) {
      Ref r = m.mergeExtractConstraints(ch(B, 0), ch(B, 1), A);
      if (r) return r;
    }
    // 26
    if (aEq && bEq) {
      Expression* a0 = ch(A, 0);
      Expression* a1 = ch(A, 1);
      Expression* b0 = ch(B, 0);
      Expression* b1 = ch(B, 1);
      const bool xa0 = isKind(a0, KIND_EXTRACT), xa1 = isKind(a1, KIND_EXTRACT);
      const bool xb0 = isKind(b0, KIND_EXTRACT), xb1 = isKind(b1, KIND_EXTRACT);
      Ref r;
      if (xa0 && xb0) r = m.mergeExtractEqualities(a0, a1, b0, b1);
      if (!r && xa0 && xb1) r = m.mergeExtractEqualities(a0, a1, b1, b0);
      if (!r && xa1 && xb0) r = m.mergeExtractEqualities(a1, a0, b0, b1);
      if (!r && xa1 && xb1) r = m.mergeExtractEqualities(a1, a0, b1, b0);
      if (r) return r;
    }
    // 27
    if (w != 1) return m.findOrInsert(new AndExpression(w, A, B));
    // 28: the shape that exclusive or produces.
    if (pAnd && qAnd &&
        ((compl_(P0, Q0) && compl_(P1, Q1)) || (compl_(P0, Q1) && compl_(P1, Q0)))) {
      Ref np1 = bd.Not(P1);
      return bd.Eq(P0, np1);
    }
    // 29
    if (contradictsAnd(A, B)) return bd.False();
    // 30
    if (impliesAnd(A, B)) return std::move(a);
    if (impliesAnd(B, A)) return std::move(b);
    // 31: under b, the conjunction inside a is false or reduces to one operand.
    Expression* pa = aNot ? Pn : A;
    Expression* pb = bNot ? Qn : B;
    if (isKind(pa, KIND_AND)) {
      Expression* pa0 = ch(pa, 0);
      Expression* pa1 = ch(pa, 1);
      if (contradictsAnd(B, pa0) || contradictsAnd(B, pa1)) {
        a = bd.Bool(aNot);
        continue;
      }
      if (impliesAnd(B, pa0)) {
        Ref x(pa1), r;
        m.makeNotOrTake(r, &x, A == pa);
        a = std::move(r);
        continue;
      }
      if (impliesAnd(B, pa1)) {
        Ref x(pa0), r;
        m.makeNotOrTake(r, &x, A == pa);
        a = std::move(r);
        continue;
      }
    }
    // 32
    if (isKind(pb, KIND_AND)) {
      Expression* pb0 = ch(pb, 0);
      Expression* pb1 = ch(pb, 1);
      if (contradictsAnd(A, pb1) || contradictsAnd(A, pb0)) {
        b = bd.Bool(bNot);
        continue;
      }
      if (impliesAnd(A, pb0)) {
        Ref x(pb1), r;
        m.makeNotOrTake(r, &x, B == pb);
        b = std::move(r);
        continue;
      }
      if (impliesAnd(A, pb1)) {
        Ref x(pb0), r;
        m.makeNotOrTake(r, &x, B == pb);
        b = std::move(r);
        continue;
      }
    }
    // 33
    {
      Ref r = m.simplifyAnd(A, B);
      if (r) return r;
    }
    // 34
    if (aAnd) {
      Ref r = m.simplifyAnd(A0, B);
      if (r) {
        Ref na(A1);
        b = std::move(r);
        a = std::move(na);
        continue;
      }
      r = m.simplifyAnd(A1, B);
      if (r) {
        Ref na(A0);
        b = std::move(r);
        a = std::move(na);
        continue;
      }
    }
    // 35
    if (bAnd) {
      Ref r = m.simplifyAnd(B0, A);
      if (r) {
        Ref nb(B1);
        a = std::move(r);
        b = std::move(nb);
        continue;
      }
      r = m.simplifyAnd(B1, A);
      if (r) {
        Ref nb(B0);
        a = std::move(r);
        b = std::move(nb);
        continue;
      }
    }
    // 36
    return m.findOrInsert(new AndExpression(1, A, B));
  }
}

// ---------------------------------------------------------------------------
// equality

Ref equalLoop(M& m, Ref& a, Ref& b) {
  Build bd{m};
  for (;;) {
    Expression* A = a.get();
    Expression* B = b.get();
    // 1
    if (A->getWidth() != B->getWidth()) return Ref();
    // 2
    if (A->getId() >= B->getId()) {
      a.swap(b);
      std::swap(A, B);
    }
    // 3
    if (A == B) return bd.True();
    // 4: arrays only against arrays of the same sort.
    if (A->isArray() != B->isArray()) return Ref();
    if (A->isArray() && !sameArraySort(A, B)) return Ref();
    const uint32_t w = A->getWidth();
    // 5
    if (areProvablyDistinct(A, B)) return bd.False();
    // 6, 7: an equality with a branch of an if-then-else.
    for (int side = 0; side < 2; ++side) {
      Expression* I = side == 0 ? A : B;
      Expression* O = side == 0 ? B : A;
      if (!isIteLike(I)) continue;
      Expression* c = ch(I, 0);
      Expression* t = ch(I, 1);
      Expression* e = ch(I, 2);
      if (O == t) {
        Ref q = bd.Eq(e, O);
        return bd.Or(c, q);
      }
      if (areProvablyDistinct(O, t)) {
        Ref nc = bd.Not(c);
        Ref q = bd.Eq(e, O);
        return bd.And(nc, q);
      }
      if (O == e) {
        Ref nc = bd.Not(c);
        Ref q = bd.Eq(t, O);
        return bd.Or(nc, q);
      }
      if (areProvablyDistinct(O, e)) {
        Ref q = bd.Eq(t, O);
        return bd.And(c, q);
      }
    }
    // 8, 9: a masked value against a constant.
    {
      bool restart = false;
      for (int side = 0; side < 2 && !restart; ++side) {
        Expression* K = side == 0 ? A : B;
        Expression* N = side == 0 ? B : A;
        if (!isConst(K) || !isKind(N, KIND_AND)) continue;
        for (int i = 0; i < 2; ++i) {
          Expression* mask = ch(N, i);
          Expression* x = ch(N, 1 - i);
          if (!isConst(mask)) continue;
          const BitVector& mv = valueOf(mask);
          if (!valueOf(K).isSubsetOf(mv)) return bd.False();
          uint32_t lo = 0, len = 0;
          if (!mv.isZero() && mv.getSetBitRange(lo, len)) {
            Ref nk = bd.Extract(K, lo + len - 1, lo);
            Ref nx = bd.Extract(x, lo + len - 1, lo);
            if (side == 0) {
              a = std::move(nk);
              b = std::move(nx);
            } else {
              b = std::move(nk);
              a = std::move(nx);
            }
            restart = true;
            break;
          }
        }
      }
      if (restart) continue;
    }
    // 10
    if (A->isArray()) return m.findOrInsert(new ArrayEqualExpression(A, B));
    // 11: negations.
    {
      const uint32_t ka = A->getKind(), kb = B->getKind();
      Ref na, nb;
      bool replaced = true;
      if (ka == KIND_NEG && ch(A, 0) == B) {
        // -x = x exactly when the low w-1 bits of x are zero.
        if (w == 1) return bd.True();
        na = bd.Extract(B, w - 2, 0);
        nb = bd.Zero(w - 1);
      } else if (kb == KIND_NEG && ch(B, 0) == A) {
        if (w == 1) return bd.True();
        nb = bd.Extract(A, w - 2, 0);
        na = bd.Zero(w - 1);
      } else if (ka == KIND_NEG && kb == KIND_NEG) {
        na = ch(A, 0);
        nb = ch(B, 0);
      } else if (ka == KIND_NOT && kb == KIND_NOT) {
        na = ch(A, 0);
        nb = ch(B, 0);
      } else if (ka == KIND_CONSTANT && kb == KIND_NOT) {
        na = bd.Not(A);
        nb = ch(B, 0);
      } else if (ka == KIND_NOT && kb == KIND_CONSTANT) {
        na = ch(A, 0);
        nb = bd.Not(B);
      } else if (ka == KIND_CONSTANT && kb == KIND_NEG) {
        na = bd.Neg(A);
        nb = ch(B, 0);
      } else if (ka == KIND_NEG && kb == KIND_CONSTANT) {
        na = ch(A, 0);
        nb = bd.Neg(B);
      } else if (ka == KIND_NOT && isKind(ch(A, 0), KIND_VARIABLE) && kb != KIND_VARIABLE) {
        na = ch(A, 0);
        nb = bd.Not(B);
      } else if (kb == KIND_NOT && isKind(ch(B, 0), KIND_VARIABLE) && ka != KIND_VARIABLE) {
        na = bd.Not(A);
        nb = ch(B, 0);
      } else if (ka == KIND_NEG && isKind(ch(A, 0), KIND_VARIABLE) && kb != KIND_VARIABLE) {
        na = ch(A, 0);
        nb = bd.Neg(B);
      } else if (kb == KIND_NEG && isKind(ch(B, 0), KIND_VARIABLE) && ka != KIND_VARIABLE) {
        na = bd.Neg(A);
        nb = ch(B, 0);
      } else {
        replaced = false;
      }
      if (replaced) {
        a = std::move(na);
        b = std::move(nb);
        continue;
      }
    }
    // 12
    if (isKind(B, KIND_ADD)) {
      if (A == ch(B, 0)) return bd.IsZero(ch(B, 1));
      if (A == ch(B, 1)) return bd.IsZero(ch(B, 0));
    }
    // 13
    if (isKind(A, KIND_ADD)) {
      Expression* a0 = ch(A, 0);
      Expression* a1 = ch(A, 1);
      if (B == a0) return bd.IsZero(a1);
      if (B == a1) return bd.IsZero(a0);
      if (isKind(B, KIND_ADD)) {
        Expression* b0 = ch(B, 0);
        Expression* b1 = ch(B, 1);
        Expression* ra = nullptr;
        Expression* rb = nullptr;
        if (a0 == b0) {
          ra = a1;
          rb = b1;
        } else if (a0 == b1) {
          ra = a1;
          rb = b0;
        } else if (a1 == b0) {
          ra = a0;
          rb = b1;
        } else if (a1 == b1) {
          ra = a0;
          rb = b0;
        }
        if (ra) {
          Ref na(ra), nb(rb);
          a = std::move(na);
          b = std::move(nb);
          continue;
        }
      }
    }
    // 14
    if (isKind(A, KIND_CONCAT) && isKind(B, KIND_CONCAT) && ch(A, 0)->getWidth() == ch(B, 0)->getWidth()) {
      Ref hi = bd.Eq(ch(A, 0), ch(B, 0));
      Ref lo = bd.Eq(ch(A, 1), ch(B, 1));
      return bd.And(hi, lo);
    }
    // 15
    for (int side = 0; side < 2; ++side) {
      Expression* Cc = side == 0 ? A : B;
      Expression* K = side == 0 ? B : A;
      if (!isKind(Cc, KIND_CONCAT) || !isConst(K)) continue;
      const uint32_t v = ch(Cc, 1)->getWidth();
      Ref kh = bd.Extract(K, w - 1, v);
      Ref hi = bd.Eq(ch(Cc, 0), kh);
      Ref kl = bd.Extract(K, v - 1, 0);
      Ref lo = bd.Eq(ch(Cc, 1), kl);
      return bd.And(hi, lo);
    }
    // 16
    if (w == 1) {
      if (A->isAllOnes()) return std::move(b);
      if (B->isAllOnes()) return std::move(a);
      if (A->isZero()) return bd.Not(B);
      if (B->isZero()) return bd.Not(A);
    }
    // 17
    return m.findOrInsert(new EqualExpression(A, B));
  }
}

// ---------------------------------------------------------------------------
// if-then-else

Ref iteLoop(M& m, Ref& c, Ref& t, Ref& e) {
  Build bd{m};
  for (;;) {
    Expression* C = c.get();
    Expression* T = t.get();
    Expression* E = e.get();
    // 1
    if (T == E) return std::move(t);
    // 2
    if (C->isAllOnes()) return std::move(t);
    if (C->isZero()) return std::move(e);
    // 3
    if (isKind(C, KIND_NOT)) {
      c = ch(C, 0);
      t.swap(e);
      continue;
    }
    // 4
    if (isIteLike(T)) {
      if (ch(T, 0) == C) {
        t = ch(T, 1);
        continue;
      }
      if (compl_(C, ch(T, 0))) {
        t = ch(T, 2);
        continue;
      }
    }
    // 5
    if (isIteLike(E)) {
      if (ch(E, 0) == C) {
        e = ch(E, 2);
        continue;
      }
      if (compl_(C, ch(E, 0))) {
        e = ch(E, 1);
        continue;
      }
    }
    // 6
    if (isIteLike(T)) {
      Expression* d = ch(T, 0);
      if (E == ch(T, 1)) {
        Ref nd = bd.Not(d);
        Ref nc = bd.And(C, nd);
        Ref nt(ch(T, 2));
        c = std::move(nc);
        t = std::move(nt);
        continue;
      }
      if (E == ch(T, 2)) {
        Ref nc = bd.And(C, d);
        Ref nt(ch(T, 1));
        c = std::move(nc);
        t = std::move(nt);
        continue;
      }
    }
    // 7
    if (isIteLike(E)) {
      Expression* d = ch(E, 0);
      if (T == ch(E, 1)) {
        Ref nc = bd.Or(C, d);
        Ref ne(ch(E, 2));
        c = std::move(nc);
        e = std::move(ne);
        continue;
      }
      if (T == ch(E, 2)) {
        Ref nd = bd.Not(d);
        Ref nc = bd.Or(C, nd);
        Ref ne(ch(E, 1));
        c = std::move(nc);
        e = std::move(ne);
        continue;
      }
    }
    // 8
    if (T->isArray()) {
      if (!sameArraySort(T, E)) return Ref();
      if (isKind(T, KIND_ARRAY_WRITE) && isKind(E, KIND_ARRAY_WRITE) && ch(T, 1) == ch(E, 1) &&
          ch(T, 2) == ch(E, 2)) {
        Ref arr = bd.Ite(C, ch(T, 0), ch(E, 0));
        return bd.Write(arr, ch(T, 1), ch(T, 2));
      }
      return m.findOrInsert(new ArrayIteExpression(C, T, E));
    }
    // 9
    if (T->getWidth() != E->getWidth()) return Ref();
    const uint32_t w = T->getWidth();
    // 10
    if (T == C) return bd.Or(C, E);
    if (C == E) return bd.And(C, T);
    // 11
    if (compl_(C, T)) {
      Ref nc = bd.Not(C);
      return bd.And(nc, E);
    }
    if (compl_(C, E)) {
      Ref nc = bd.Not(C);
      return bd.Or(T, nc);
    }
    // 12
    if (w == 1 && compl_(T, E)) return bd.Eq(C, T);
    // 13
    if (isKind(T, KIND_AND)) {
      if (E == ch(T, 0)) {
        Ref ones = bd.Ones(w);
        Ref i = bd.Ite(C, ch(T, 1), ones);
        return bd.And(E, i);
      }
      if (E == ch(T, 1)) {
        Ref ones = bd.Ones(w);
        Ref i = bd.Ite(C, ch(T, 0), ones);
        return bd.And(E, i);
      }
    }
    // 14
    if (isKind(E, KIND_AND)) {
      if (T == ch(E, 0)) {
        Ref ones = bd.Ones(w);
        Ref i = bd.Ite(C, ones, ch(E, 1));
        return bd.And(T, i);
      }
      if (T == ch(E, 1)) {
        Ref ones = bd.Ones(w);
        Ref i = bd.Ite(C, ones, ch(E, 0));
        return bd.And(T, i);
      }
    }
    // 15
    if (isKind(T, KIND_CONCAT) && isKind(E, KIND_CONCAT)) {
      if (ch(T, 0) == ch(E, 0)) {
        Ref i = bd.Ite(C, ch(T, 1), ch(E, 1));
        return bd.Concat(ch(T, 0), i);
      }
      if (ch(T, 1) == ch(E, 1)) {
        Ref i = bd.Ite(C, ch(T, 0), ch(E, 0));
        return bd.Concat(i, ch(T, 1));
      }
    }
    // 16, 17
    for (uint32_t kind : {uint32_t(KIND_ADD), uint32_t(KIND_MUL)}) {
      if (!isKind(T, kind) || !isKind(E, kind)) continue;
      Expression* t0 = ch(T, 0);
      Expression* t1 = ch(T, 1);
      Expression* e0 = ch(E, 0);
      Expression* e1 = ch(E, 1);
      Expression* common = nullptr;
      Expression* rt = nullptr;
      Expression* re = nullptr;
      if (t0 == e0) {
        common = t0, rt = t1, re = e1;
      } else if (t0 == e1) {
        common = t0, rt = t1, re = e0;
      } else if (t1 == e0) {
        common = t1, rt = t0, re = e1;
      } else if (t1 == e1) {
        common = t1, rt = t0, re = e0;
      }
      if (common) {
        Ref i = bd.Ite(C, rt, re);
        return kind == KIND_ADD ? bd.Add(common, i) : bd.Mul(common, i);
      }
    }
    // 18
    if (w == 1) {
      if (T->isZero()) {
        Ref nc = bd.Not(C);
        return bd.And(nc, E);
      }
      if (T->isAllOnes()) return bd.Or(C, E);
      if (E->isZero()) return bd.And(C, T);
      if (E->isAllOnes()) {
        Ref nc = bd.Not(C);
        return bd.Or(nc, T);
      }
    }
    // 19
    return m.findOrInsert(new IteExpression(C, T, E));
  }
}

// ---------------------------------------------------------------------------
// arrays

// Read from an array: answered through writes at the same index, past writes
// at provably different indices, and into if-then-else nodes whose branches
// are such writes.
Ref readLoop(M& m, Ref& arr, Expression* I) {
  Build bd{m};
  for (;;) {
    Expression* A = arr.get();
    if (isKind(A, KIND_ARRAY_WRITE)) {
      Expression* idx = ch(A, 1);
      // 1
      if (idx == I) return Ref(ch(A, 2));
      // 2
      if (areProvablyDistinct(I, idx)) {
        arr = ch(A, 0);
        continue;
      }
    } else if (isKind(A, KIND_ARRAY_ITE)) {
      Expression* c = ch(A, 0);
      Expression* T = ch(A, 1);
      Expression* E = ch(A, 2);
      const bool tw = isKind(T, KIND_ARRAY_WRITE), ew = isKind(E, KIND_ARRAY_WRITE);
      // 3
      if (tw && ch(T, 1) == I) {
        Ref r = bd.Read(E, I);
        return bd.Ite(c, ch(T, 2), r);
      }
      // 4
      if (ew && ch(E, 1) == I) {
        Ref r = bd.Read(T, I);
        return bd.Ite(c, r, ch(E, 2));
      }
      // 5
      if (tw && areProvablyDistinct(I, ch(T, 1))) {
        arr = bd.Ite(c, ch(T, 0), E);
        continue;
      }
      // 6
      if (ew && areProvablyDistinct(I, ch(E, 1))) {
        arr = bd.Ite(c, T, ch(E, 0));
        continue;
      }
    }
    // 7
    return m.findOrInsert(new ArrayReadExpression(A, I));
  }
}

Ref writeLoop(M& m, Ref& arr, Expression* I, Expression* V) {
  Build bd{m};
  for (;;) {
    // 1: a later write at the same index overwrites the earlier one.
    while (isKind(arr.get(), KIND_ARRAY_WRITE) && ch(arr.get(), 1) == I) arr = ch(arr.get(), 0);
    Expression* A = arr.get();
    if (isKind(A, KIND_ARRAY_ITE)) {
      Expression* c = ch(A, 0);
      Expression* T = ch(A, 1);
      Expression* E = ch(A, 2);
      // 2
      if (isKind(T, KIND_ARRAY_WRITE) && ch(T, 1) == I) {
        arr = bd.Ite(c, ch(T, 0), E);
        continue;
      }
      // 3
      if (isKind(E, KIND_ARRAY_WRITE) && ch(E, 1) == I) {
        arr = bd.Ite(c, T, ch(E, 0));
        continue;
      }
    }
    // 4
    return m.findOrInsert(new ArrayWriteExpression(A, I, V));
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
  Ref r = notOf(*this, x->get());
  return answer(result, std::move(r));
}

ExpressionRef& ExpressionManager::makeAnd(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b || !*a || !*b) return fail(result);
  Ref r = andLoop(*this, *a, *b);
  return answer(result, std::move(r));
}

ExpressionRef& ExpressionManager::makeNor(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b) return fail(result);
  Build bd{*this};
  Ref na = bd.Not(*a);
  Ref nb = bd.Not(*b);
  Ref r = bd.And(na, nb);
  return answer(result, std::move(r));
}

ExpressionRef& ExpressionManager::makeOr(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b) return fail(result);
  Ref ca(*a), cb(*b), nor;
  makeNor(nor, &ca, &cb);
  return makeNot(result, &nor);
}

ExpressionRef& ExpressionManager::makeNand(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b) return fail(result);
  Build bd{*this};
  Ref x = bd.And(*a, *b);
  return makeNot(result, &x);
}

ExpressionRef& ExpressionManager::makeImplies(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b || !*a || !*b || (*a)->getWidth() != 1 || (*b)->getWidth() != 1 || (*a)->isArray() ||
      (*b)->isArray()) return fail(result);
  Build bd{*this};
  Ref na = bd.Not(*a);
  Ref r = bd.Or(na, *b);
  return answer(result, std::move(r));
}

ExpressionRef& ExpressionManager::makeIff(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b || !*a || !*b || (*a)->getWidth() != 1 || (*b)->getWidth() != 1 || (*a)->isArray() ||
      (*b)->isArray()) return fail(result);
  Build bd{*this};
  Ref r = bd.Eq(*a, *b);
  return answer(result, std::move(r));
}

ExpressionRef& ExpressionManager::makeXnor(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b || !*a || !*b || (*a)->getWidth() != (*b)->getWidth() || !isBitVector(a->get()) ||
      !isBitVector(b->get())) return fail(result);
  Build bd{*this};
  Ref r;
  if ((*a)->getWidth() == 1) {
    r = bd.Eq(*a, *b);
  } else {
    Ref nb = bd.Not(*b);
    Ref x = bd.And(*a, nb);
    Ref nx = bd.Not(x);
    Ref na = bd.Not(*a);
    Ref y = bd.And(*b, na);
    Ref ny = bd.Not(y);
    r = bd.And(nx, ny);
  }
  return answer(result, std::move(r));
}

ExpressionRef& ExpressionManager::makeXor(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  Ref ca, cb, x;
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
  if (!a || !b || !isKind(a, KIND_NOT) || !isKind(b, KIND_NOT)) return Ref();
  Expression* p = ch(a, 0);
  Expression* q = ch(b, 0);
  if (!isKind(p, KIND_AND) || !isKind(q, KIND_AND) || p->getWidth() != 1 || q->getWidth() != 1) return Ref();
  Expression* p0 = ch(p, 0);
  Expression* p1 = ch(p, 1);
  Expression* q0 = ch(q, 0);
  Expression* q1 = ch(q, 1);
  Build bd{*this};
  // With x and y complementary, not(x and u) and not(y and v) where u forces v
  // is the other conjunct without u.
  if (areProvablyDistinct(p0, q0)) {
    if (impliesAnd(p1, q1)) {
      Ref n = bd.Not(p1);
      return bd.And(b, n);
    }
    if (impliesAnd(q1, p1)) {
      Ref n = bd.Not(q1);
      return bd.And(a, n);
    }
  }
  if (areProvablyDistinct(p0, q1)) {
    if (impliesAnd(p1, q0)) {
      Ref n = bd.Not(p1);
      return bd.And(b, n);
    }
    if (impliesAnd(q0, p1)) {
      Ref n = bd.Not(q0);
      return bd.And(a, n);
    }
  }
  if (areProvablyDistinct(p1, q0)) {
    if (impliesAnd(p0, q1)) {
      Ref n = bd.Not(p0);
      return bd.And(b, n);
    }
    if (impliesAnd(q1, p0)) {
      Ref n = bd.Not(q1);
      return bd.And(a, n);
    }
  }
  return Ref();
}

ExpressionRef ExpressionManager::mergeExtractConstraints(Expression* x, Expression* y, Expression* o) {
  if (!x || !y || !o || o->getWidth() != 1) return Ref();
  const bool negated = isKind(o, KIND_NOT);
  Expression* po = negated ? ch(o, 0) : o;
  Build bd{*this};
  // o requires po to be 1 (0 when o is a not); an equality of a constant with
  // the extract next to po grows by that bit.
  for (int side = 0; side < 2; ++side) {
    Expression* k = side == 0 ? x : y;
    Expression* r = side == 0 ? y : x;
    if (!isConst(k)) continue;
    if (areAdjacentExtracts(r, po)) {
      Ref bit = bd.Bool(!negated);
      Ref lhs = bd.Concat(k, bit);
      Ref rhs = bd.Concat(r, po);
      return bd.Eq(lhs, rhs);
    }
    if (areAdjacentExtracts(po, r)) {
      Ref bit = bd.Bool(!negated);
      Ref lhs = bd.Concat(bit, k);
      Ref rhs = bd.Concat(po, r);
      return bd.Eq(lhs, rhs);
    }
  }
  return Ref();
}

ExpressionRef ExpressionManager::mergeExtractEqualities(Expression* x1, Expression* t1, Expression* x2,
                                                        Expression* t2) {
  if (!x1 || !x2 || !t1 || !t2 || !isKind(x1, KIND_EXTRACT) || !isKind(x2, KIND_EXTRACT)) return Ref();
  Expression* e = ch(x1, 0);
  if (ch(x2, 0) != e) return Ref();
  Build bd{*this};
  if (loOf(x1) == hiOf(x2) + 1) {
    Ref l = bd.Extract(e, hiOf(x1), loOf(x2));
    Ref r = bd.Concat(t1, t2);
    return bd.Eq(l, r);
  }
  if (loOf(x2) == hiOf(x1) + 1) {
    Ref l = bd.Extract(e, hiOf(x2), loOf(x1));
    Ref r = bd.Concat(t2, t1);
    return bd.Eq(l, r);
  }
  return Ref();
}

bool ExpressionManager::assertExpression(ExpressionRef* e) {
  if (!e || !*e || (*e)->getWidth() != 1 || (*e)->isArray()) return false;
  if ((*e)->isAsserted()) return true;
  Build bd{*this};
  Ref r = bd.And(getRepresentative(root_.get()), *e);
  if (!r) return false;
  root_ = std::move(r);
  assertFormula(root_);
  return true;
}

// ===========================================================================
// Equality and if-then-else

ExpressionRef& ExpressionManager::makeEqual(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b || !*a || !*b) return fail(result);
  Ref r = equalLoop(*this, *a, *b);
  return answer(result, std::move(r));
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
  Ref r = iteLoop(*this, *c, *t, *e);
  return answer(result, std::move(r));
}

ExpressionRef& ExpressionManager::makeDistinct(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b) {
  if (!a || !b) return fail(result);
  Build bd{*this};
  Ref x = bd.Eq(*a, *b);
  return makeNot(result, &x);
}

ExpressionRef& ExpressionManager::makeIsZero(ExpressionRef& result, ExpressionRef* x) {
  if (!x || !*x || !isBitVector(x->get())) return fail(result);
  Build bd{*this};
  Expression* X = x->get();
  Ref r;
  if (X->getWidth() == 1)
    r = bd.Not(X);
  else if (X->isZero())
    r = bd.True();
  else if (isConst(X))
    r = bd.False();
  else {
    Ref z = bd.Zero(X->getWidth());
    r = bd.Eq(z, X);
  }
  return answer(result, std::move(r));
}

ExpressionRef& ExpressionManager::makeIsAllOnes(ExpressionRef& result, ExpressionRef* x) {
  if (!x || !*x || !isBitVector(x->get())) return fail(result);
  Build bd{*this};
  Ref o = bd.Ones((*x)->getWidth());
  Ref r = bd.Eq(o, *x);
  return answer(result, std::move(r));
}

ExpressionRef& ExpressionManager::makeIsOne(ExpressionRef& result, ExpressionRef* x) {
  if (!x || !*x || !isBitVector(x->get())) return fail(result);
  Build bd{*this};
  Ref one;
  makeOne(one, (*x)->getWidth());
  Ref r = bd.Eq(one, *x);
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
  Ref keep(I);
  Ref r = readLoop(*this, *array, I);
  return answer(result, std::move(r));
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
  Ref keepI(I), keepV(V);
  Ref r = writeLoop(*this, *array, I, V);
  return answer(result, std::move(r));
}

// ===========================================================================
// N-ary makers

ExpressionRef& ExpressionManager::makeDistinctN(ExpressionRef& result, const std::vector<ExpressionRef>& operands) {
  Build bd{*this};
  if (operands.size() == 1) return answer(result, bd.True());
  std::vector<Expression*> s;
  if (!sortedOperands(operands, s)) return fail(result);
  Ref acc = bd.True();
  for (size_t i = 0; i < s.size() && acc; ++i) {
    for (size_t j = i + 1; j < s.size() && acc; ++j) {
      Ref eq = bd.Eq(s[i], s[j]);
      Ref ne = bd.Not(eq);
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
  Ref acc(s[0]);
  for (size_t k = 1; k < s.size() && acc; ++k) acc = bd.Xor(acc, s[k]);
  return answer(result, std::move(acc));
}

ExpressionRef& ExpressionManager::makeAndN(ExpressionRef& result, const std::vector<ExpressionRef>& operands) {
  Build bd{*this};
  std::vector<Expression*> s;
  if (!sortedOperands(operands, s)) return fail(result);
  if (s.empty()) return answer(result, bd.True());
  Ref acc(s[0]);
  for (size_t k = 1; k < s.size() && acc; ++k) acc = bd.And(acc, s[k]);
  return answer(result, std::move(acc));
}

ExpressionRef& ExpressionManager::makeIffN(ExpressionRef& result, const std::vector<ExpressionRef>& operands) {
  Build bd{*this};
  std::vector<Expression*> s;
  // An empty list has no first operand to start the fold from: null.
  if (!sortedOperands(operands, s) || s.empty()) return fail(result);
  Ref acc(s[0]);
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
  Ref acc = bd.Not(s[0]);
  for (size_t k = 1; k < s.size() && acc; ++k) {
    Ref n = bd.Not(s[k]);
    acc = bd.And(acc, n);
  }
  return makeNot(result, &acc);
}

ExpressionRef& ExpressionManager::makeEqualN(ExpressionRef& result, const std::vector<ExpressionRef>& operands) {
  Build bd{*this};
  std::vector<Expression*> s;
  if (!sortedOperands(operands, s)) return fail(result);
  Ref acc = bd.True();
  for (size_t k = 1; k < s.size() && acc; ++k) {
    Ref eq = bd.Eq(s[k - 1], s[k]);
    acc = bd.And(acc, eq);
  }
  return answer(result, std::move(acc));
}

}  // namespace varnok
