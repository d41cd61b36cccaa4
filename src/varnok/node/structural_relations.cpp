// Structural relations between nodes. Every test answers true only when the
// structure proves it; false means "not proved".
#include "varnok/node/structural_relations.h"

#include <unordered_set>
#include <vector>

#include "varnok/node/operator_expressions.h"

namespace varnok {

namespace {

inline uint32_t kindOf(const Expression* e) { return e->getKind(); }
inline bool isKind(const Expression* e, uint32_t kind) { return e->getKind() == kind; }
inline bool isConst(const Expression* e) { return e->getKind() == KIND_CONSTANT; }
inline const BitVector& valueOf(const Expression* e) { return static_cast<const ConstantExpression*>(e)->getValue(); }

// A node read as a bit range of a base node: an Extract is the range hi..lo of
// its child, anything else the range width-1..0 of itself.
struct Range {
  const Expression* base;
  uint32_t hi;
  uint32_t lo;
};

Range rangeOf(const Expression* p) {
  if (isKind(p, KIND_EXTRACT)) {
    const ExtractExpression* x = static_cast<const ExtractExpression*>(p);
    return Range{x->getChild(0), x->getHi(), x->getLo()};
  }
  return Range{p, p->getWidth() - 1, 0};
}

// The overlap hi..lo of two ranges of the same base.
bool overlap(const Range& a, const Range& b, uint32_t& hi, uint32_t& lo) {
  if (a.base != b.base) return false;
  lo = a.lo > b.lo ? a.lo : b.lo;
  hi = a.hi < b.hi ? a.hi : b.hi;
  return lo <= hi;
}

// The bits of constant c (standing beside range r) at the overlap positions.
BitVector overlapBits(const Expression* c, const Range& r, uint32_t hi, uint32_t lo) {
  BitVector out;
  BitVector::extract(valueOf(c), hi - r.lo, lo - r.lo, out);
  return out;
}

// Bits from..width-1 of v are all `bit`.
bool bitsAboveAre(const BitVector& v, uint32_t from, bool bit) {
  for (uint32_t i = from; i < v.getWidth(); ++i)
    if (v.getBit(i) != bit) return false;
  return true;
}

// p = q with q constant forces r <u s with s constant, p and r overlapping.
bool equalityImpliesLess(const Expression* p, const Expression* q, const Expression* r, const Expression* s) {
  if (!isConst(q) || !isConst(s) || isConst(p)) return false;
  const Range rp = rangeOf(p);
  const Range rr = rangeOf(r);
  uint32_t hi, lo;
  if (!overlap(rp, rr, hi, lo)) return false;
  // Above the overlap r is unknown: s must be all ones there.
  if (rr.hi > hi && !bitsAboveAre(valueOf(s), hi - rr.lo + 1, true)) return false;
  return overlapBits(q, rp, hi, lo).ult(overlapBits(s, rr, hi, lo));
}

// Walks the leaves of a Concat tree (child 1 holds the low bits) from bit 0
// upward with an explicit stack, so that a scan over all bit positions costs
// time linear in the number of parts rather than one descent per bit.
class ConcatLeafWalker {
 public:
  explicit ConcatLeafWalker(const Expression* e) { descend(e); }
  // Moves forward until the current leaf supplies bit i; i never decreases.
  void seek(uint32_t i) {
    while (base_ + leaf_->getWidth() <= i) {
      base_ += leaf_->getWidth();
      const Expression* next = pending_.back();
      pending_.pop_back();
      descend(next);
    }
  }
  const Expression* leaf() const { return leaf_; }
  uint32_t base() const { return base_; }
  uint32_t end() const { return base_ + leaf_->getWidth(); }

 private:
  void descend(const Expression* e) {
    while (isKind(e, KIND_CONCAT)) {
      pending_.push_back(e->getChild(0));
      e = e->getChild(1);
    }
    leaf_ = e;
  }
  std::vector<const Expression*> pending_;
  const Expression* leaf_ = nullptr;
  uint32_t base_ = 0;
};

bool constantBitsDiffer(const Expression* a, const Expression* b) {
  const uint32_t w = a->getWidth();
  if (b->getWidth() != w) return false;
  if (!isKind(a, KIND_CONCAT) && !isKind(b, KIND_CONCAT))
    return isConst(a) && isConst(b) && valueOf(a) != valueOf(b);
  ConcatLeafWalker wa(a);
  ConcatLeafWalker wb(b);
  uint32_t i = 0;
  while (i < w) {
    wa.seek(i);
    if (!isConst(wa.leaf())) {
      i = wa.end();
      continue;
    }
    wb.seek(i);
    if (!isConst(wb.leaf())) {
      i = wb.end();
      continue;
    }
    const uint32_t stop = wa.end() < wb.end() ? wa.end() : wb.end();
    const BitVector& va = valueOf(wa.leaf());
    const BitVector& vb = valueOf(wb.leaf());
    for (; i < stop; ++i)
      if (va.getBit(i - wa.base()) != vb.getBit(i - wb.base())) return true;
  }
  return false;
}

// a is b plus a non-zero constant.
bool isOffsetOf(const Expression* a, const Expression* b) {
  if (!isKind(a, KIND_ADD)) return false;
  const Expression* a0 = a->getChild(0);
  const Expression* a1 = a->getChild(1);
  return (a0 == b && isNonZeroConstant(a1)) || (a1 == b && isNonZeroConstant(a0));
}

// a is an And and b a constant with a 1 bit where a constant operand of a has 0.
bool andMasksConstant(const Expression* a, const Expression* b) {
  if (!isKind(a, KIND_AND) || !isConst(b)) return false;
  for (uint32_t k = 0; k < 2; ++k) {
    const Expression* m = a->getChild(k);
    if (isConst(m) && m->getWidth() == b->getWidth() && !valueOf(b).isSubsetOf(valueOf(m))) return true;
  }
  return false;
}

bool orderedBelow(bool isSigned, const BitVector& x, const BitVector& y) { return isSigned ? x.slt(y) : x.ult(y); }

}  // namespace

bool isNegationOf(const Expression* a, const Expression* b) {
  if (isKind(a, KIND_NOT) && a->getChild(0) == b) return true;
  if (isKind(b, KIND_NOT) && b->getChild(0) == a) return true;
  if (isConst(a) && isConst(b) && a->getWidth() == b->getWidth()) {
    BitVector n;
    BitVector::bitNot(valueOf(a), n);
    return n == valueOf(b);
  }
  return false;
}

bool isArithmeticNegationOf(const Expression* a, const Expression* b) {
  if (isKind(a, KIND_NEG) && a->getChild(0) == b) return true;
  if (isKind(b, KIND_NEG) && b->getChild(0) == a) return true;
  if (isConst(a) && isConst(b) && a->getWidth() == b->getWidth()) {
    BitVector n;
    BitVector::neg(valueOf(a), n);
    return n == valueOf(b);
  }
  return false;
}

bool isNonZeroConstant(const Expression* a) { return isConst(a) && !a->isZero(); }

bool areAdjacentExtracts(const Expression* a, const Expression* b) {
  if (!isKind(a, KIND_EXTRACT) || !isKind(b, KIND_EXTRACT)) return false;
  if (a->getChild(0) != b->getChild(0)) return false;
  return static_cast<const ExtractExpression*>(a)->getLo() == static_cast<const ExtractExpression*>(b)->getHi() + 1;
}

bool areProvablyDistinct(const Expression* a, const Expression* b) {
  for (;;) {
    if (a == b) return false;
    // 1. Arrays: writes at one index differ when their values do.
    if (a->isArray() || b->isArray()) {
      if (isKind(a, KIND_ARRAY_WRITE) && isKind(b, KIND_ARRAY_WRITE) && a->getChild(1) == b->getChild(1)) {
        a = a->getChild(2);
        b = b->getChild(2);
        continue;
      }
      return false;
    }
    if (a->getWidth() != b->getWidth()) return false;
    // 2. Differing constant bits at one position.
    if (constantBitsDiffer(a, b)) return true;
    // 3. x and not x.
    if (isNegationOf(a, b)) return true;
    // 4. not x and -x (x's complement is -x - 1).
    if ((isKind(a, KIND_NOT) && isKind(b, KIND_NEG) && a->getChild(0) == b->getChild(0)) ||
        (isKind(a, KIND_NEG) && isKind(b, KIND_NOT) && a->getChild(0) == b->getChild(0)))
      return true;
    // 5. x + c and x with c non-zero.
    if (isOffsetOf(a, b) || isOffsetOf(b, a)) return true;
    // 6. and(x, m) and a constant with a 1 where m has 0.
    if (andMasksConstant(a, b) || andMasksConstant(b, a)) return true;
    // 7. Concatenations split at the same position.
    if (isKind(a, KIND_CONCAT) && isKind(b, KIND_CONCAT) &&
        a->getChild(0)->getWidth() == b->getChild(0)->getWidth()) {
      if (areProvablyDistinct(a->getChild(0), b->getChild(0)) ||
          areProvablyDistinct(a->getChild(1), b->getChild(1)))
        return true;
    }
    // 8. Additions sharing an operand differ when the other operands do.
    if (isKind(a, KIND_ADD) && isKind(b, KIND_ADD)) {
      const Expression* p0 = a->getChild(0);
      const Expression* p1 = a->getChild(1);
      const Expression* q0 = b->getChild(0);
      const Expression* q1 = b->getChild(1);
      if (p0 == q0) {
        a = p1;
        b = q1;
      } else if (p1 == q0) {
        a = p0;
        b = q1;
      } else if (p0 == q1) {
        a = p1;
        b = q0;
      } else if (p1 == q1) {
        a = p0;
        b = q0;
      } else {
        return false;
      }
      continue;
    }
    return false;
  }
}

bool equalityImpliesGreater(const Expression* p, const Expression* q, const Expression* r, const Expression* s) {
  // p = q with q constant forces r <u s with r constant, p and s overlapping.
  if (!isConst(q) || !isConst(r) || isConst(p)) return false;
  const Range rp = rangeOf(p);
  const Range rs = rangeOf(s);
  uint32_t hi, lo;
  if (!overlap(rp, rs, hi, lo)) return false;
  // Above the overlap s is unknown: r must be all zeros there.
  if (rs.hi > hi && !bitsAboveAre(valueOf(r), hi - rs.lo + 1, false)) return false;
  return overlapBits(r, rs, hi, lo).ult(overlapBits(q, rp, hi, lo));
}

bool implies(const Expression* a, const Expression* b) {
  if (a == b) return true;
  if (isKind(a, KIND_NOT)) return negationImplies(a->getChild(0), b);
  if (isKind(b, KIND_NOT)) return contradictsAnd(a, b->getChild(0));
  const uint32_t ka = kindOf(a);
  const uint32_t kb = kindOf(b);
  if ((ka == KIND_ULT || ka == KIND_SLT) && ka == kb) {
    const bool isSigned = ka == KIND_SLT;
    const Expression* a0 = a->getChild(0);
    const Expression* a1 = a->getChild(1);
    const Expression* b0 = b->getChild(0);
    const Expression* b1 = b->getChild(1);
    // x < c1 forces x < c2 when c2 >= c1.
    if (a0 == b0 && isConst(a1) && isConst(b1) && !orderedBelow(isSigned, valueOf(b1), valueOf(a1))) return true;
    // c1 < y forces c2 < y when c1 >= c2.
    if (a1 == b1 && isConst(a0) && isConst(b0) && !orderedBelow(isSigned, valueOf(a0), valueOf(b0))) return true;
    return false;
  }
  if (ka == KIND_EQUAL && kb == KIND_ULT) {
    const Expression* p = a->getChild(0);
    const Expression* q = a->getChild(1);
    const Expression* r = b->getChild(0);
    const Expression* s = b->getChild(1);
    return equalityImpliesLess(p, q, r, s) || equalityImpliesLess(q, p, r, s) ||
           equalityImpliesGreater(p, q, r, s) || equalityImpliesGreater(q, p, r, s);
  }
  return false;
}

bool negationImplies(const Expression* x, const Expression* b) {
  if (isKind(x, KIND_NOT)) {
    const Expression* y = x->getChild(0);
    if (implies(y, b)) return true;
    return isKind(y, KIND_AND) && (implies(y->getChild(0), b) || implies(y->getChild(1), b));
  }
  if (isKind(b, KIND_NOT)) {
    const Expression* z = b->getChild(0);
    if (implies(z, x)) return true;
    return isKind(z, KIND_AND) && (implies(z->getChild(0), x) || implies(z->getChild(1), x));
  }
  return areProvablyDistinct(x, b);
}

bool impliesAnd(const Expression* a, const Expression* b) {
  if (implies(a, b)) return true;
  return isKind(a, KIND_AND) && (implies(a->getChild(0), b) || implies(a->getChild(1), b));
}

bool equalitiesContradict(const Expression* p, const Expression* q, const Expression* s, const Expression* r) {
  // p = q and r = s.
  if (p == s && areProvablyDistinct(q, r)) return true;
  if (isConst(q) && isConst(r) && !isConst(p) && !isConst(s)) {
    const Range rp = rangeOf(p);
    const Range rs = rangeOf(s);
    uint32_t hi, lo;
    if (overlap(rp, rs, hi, lo) && overlapBits(q, rp, hi, lo) != overlapBits(r, rs, hi, lo)) return true;
  }
  return false;
}

bool equalityContradictsLess(const Expression* p, const Expression* q, const Expression* r, const Expression* s) {
  // p = q and r <u s.
  if (p->getWidth() != r->getWidth()) return false;
  if (q == s && isConst(p) && isConst(r) && !valueOf(r).ult(valueOf(p))) return true;
  if (s == p && isConst(q) && isConst(r) && !valueOf(r).ult(valueOf(q))) return true;
  if (q == r && isConst(p) && isConst(s) && !valueOf(p).ult(valueOf(s))) return true;
  if (p == r && isConst(q) && isConst(s) && !valueOf(q).ult(valueOf(s))) return true;
  return false;
}

bool contradicts(const Expression* a, const Expression* b) {
  if (a == b) return false;
  if (isKind(a, KIND_NOT)) {
    const Expression* x = a->getChild(0);
    if (implies(b, x)) return true;
    return isKind(b, KIND_AND) && (implies(b->getChild(0), x) || implies(b->getChild(1), x));
  }
  if (isKind(b, KIND_NOT)) return impliesAnd(a, b->getChild(0));
  if (areProvablyDistinct(a, b)) return true;
  const uint32_t ka = kindOf(a);
  const uint32_t kb = kindOf(b);
  const bool aLess = ka == KIND_ULT || ka == KIND_SLT;
  const bool bLess = kb == KIND_ULT || kb == KIND_SLT;
  // x < y and y < x.
  if (aLess && ka == kb && a->getChild(0) == b->getChild(1) && a->getChild(1) == b->getChild(0)) return true;
  // x = y and x < y (in either order).
  if ((ka == KIND_EQUAL && bLess) || (kb == KIND_EQUAL && aLess)) {
    const Expression* e0 = a->getChild(0);
    const Expression* e1 = a->getChild(1);
    const Expression* l0 = b->getChild(0);
    const Expression* l1 = b->getChild(1);
    if ((e0 == l0 && e1 == l1) || (e0 == l1 && e1 == l0)) return true;
  }
  if (ka == KIND_EQUAL && kb == KIND_EQUAL) {
    const Expression* p = a->getChild(0);
    const Expression* q = a->getChild(1);
    const Expression* r = b->getChild(0);
    const Expression* s = b->getChild(1);
    if (p == r && areProvablyDistinct(q, s)) return true;
    if (isConst(q) && isConst(s) && !isConst(p) && !isConst(r)) {
      const Range rp = rangeOf(p);
      const Range rr = rangeOf(r);
      uint32_t hi, lo;
      if (overlap(rp, rr, hi, lo) && overlapBits(q, rp, hi, lo) != overlapBits(s, rr, hi, lo)) return true;
    }
    if (equalitiesContradict(p, q, s, r)) return true;
    if (equalitiesContradict(q, p, r, s)) return true;
    return false;
  }
  if (aLess && ka == kb) {
    const bool isSigned = ka == KIND_SLT;
    const Expression* a0 = a->getChild(0);
    const Expression* a1 = a->getChild(1);
    const Expression* b0 = b->getChild(0);
    const Expression* b1 = b->getChild(1);
    // x < c1 and c2 < x with c1 <= c2.
    if (a0 == b1 && isConst(a1) && isConst(b0) && !orderedBelow(isSigned, valueOf(b0), valueOf(a1))) return true;
    // c1 < y and y < c2 with c1 >= c2.
    if (a1 == b0 && isConst(a0) && isConst(b1) && !orderedBelow(isSigned, valueOf(a0), valueOf(b1))) return true;
    return false;
  }
  if (ka == KIND_EQUAL && kb == KIND_ULT)
    return equalityContradictsLess(a->getChild(0), a->getChild(1), b->getChild(0), b->getChild(1));
  if (kb == KIND_EQUAL && ka == KIND_ULT)
    return equalityContradictsLess(b->getChild(0), b->getChild(1), a->getChild(0), a->getChild(1));
  return false;
}

bool contradictsAnd(const Expression* a, const Expression* b) {
  if (contradicts(a, b)) return true;
  if (isKind(a, KIND_AND) && (contradicts(a->getChild(0), b) || contradicts(a->getChild(1), b))) return true;
  if (isKind(b, KIND_AND) && (contradicts(b->getChild(0), a) || contradicts(b->getChild(1), a))) return true;
  return false;
}

bool occursIn(const Expression* a, const Expression* b) {
  if (a == b) return true;
  if (b->getDepth() <= a->getDepth()) return false;
  const uint32_t depth = a->getDepth();
  std::vector<const Expression*> stack;
  std::unordered_set<const Expression*> visited(10);
  visited.max_load_factor(1.0f);
  stack.push_back(b);
  visited.insert(b);
  while (!stack.empty()) {
    const Expression* n = stack.back();
    stack.pop_back();
    if (n == a) return true;
    const uint32_t arity = n->getArity();
    for (uint32_t k = 0; k < arity; ++k) {
      const Expression* c = n->getChild(k);
      if (c->getDepth() >= depth && visited.insert(c).second) stack.push_back(c);
    }
  }
  return false;
}

}  // namespace varnok
