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
// is written once and tried on the first, then on the second. The rules of
// the conjunction, the equality and the if-then-else are named functions
// (`andOfComplementsIsZero`), tried in the order of one list per maker.
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

// One pass over the rules of the conjunction: the operands as the rules see
// them. In the comments of the rules a and b are the operands in their order,
// x and y the operands in either order (a rule written for x tries a as x
// first, then b), x0 and x1 or p and q the operands of an and, c and d
// constants.
struct AndPass : RulePass {
  // a and b are in serial-id order already.
  AndPass(ExpressionManager& m, ExpressionRef& a, ExpressionRef& b)
      : RulePass(m),
        handle{&a, &b},
        node{a.get(), b.get()},
        kind{node[0]->getKind(), node[1]->getKind()},
        width(node[0]->getWidth()),
        conjunct{Conjunct(node[0], kind[0]), Conjunct(node[1], kind[1])} {}

  ExpressionRef* const handle[2];  // the caller's handles
  Expression* const node[2];       // the operands they hold
  const uint32_t kind[2];
  const uint32_t width;
  const Conjunct conjunct[2];
};

// c & d → the folded constant
bool andOfConstantsIsFolded(AndPass& pass) {
  if (pass.kind[0] != KIND_CONSTANT || pass.kind[1] != KIND_CONSTANT) return false;
  BitVector r;
  BitVector::bitAnd(valueOf(pass.node[0]), valueOf(pass.node[1]), r);
  return pass.answer(pass.build.Constant(r));
}

// x & x → x
bool andWithItselfIsOperand(AndPass& pass) {
  if (pass.node[0] != pass.node[1]) return false;
  return pass.answer(std::move(*pass.handle[0]));
}

// 0 & y → 0
bool andWithZeroIsZero(AndPass& pass) {
  for (int i = 0; i < 2; ++i)
    if (pass.node[i]->isZero()) return pass.answer(std::move(*pass.handle[i]));
  return false;
}

// x & ~x → 0
bool andOfComplementsIsZero(AndPass& pass) {
  if (!isNegationOf(pass.node[0], pass.node[1])) return false;
  return pass.answer(pass.build.Zero(pass.width));
}

// ones & y → y
bool andWithAllOnesIsOther(AndPass& pass) {
  for (int i = 0; i < 2; ++i)
    if (pass.node[i]->isAllOnes()) return pass.answer(std::move(*pass.handle[1 - i]));
  return false;
}

// (x0 & x1) & ~xk → 0
bool andWithComplementOfItsConjunctIsZero(AndPass& pass) {
  for (int i = 0; i < 2; ++i) {
    const Conjunct& x = pass.conjunct[i];
    Expression* y = pass.node[1 - i];
    if (x.isAnd() && (isNegationOf(y, x.op[0]) || isNegationOf(y, x.op[1])))
      return pass.answer(pass.build.Zero(pass.width));
  }
  return false;
}

// (x0 & x1) & (y0 & y1) with xk = ~yl → 0
bool andsWithComplementaryConjunctsIsZero(AndPass& pass) {
  const Conjunct(&x)[2] = pass.conjunct;
  if (!x[0].isAnd() || !x[1].isAnd() || !anyComplementary(x[0].op, x[1].op)) return false;
  return pass.answer(pass.build.Zero(pass.width));
}

// ~(x0 & x1) & ~xk → ~xk
bool notAndWithComplementOfItsOperandIsThatComplement(AndPass& pass) {
  for (int i = 0; i < 2; ++i) {
    const Conjunct& x = pass.conjunct[i];
    Expression* y = pass.node[1 - i];
    if (x.isNotOfAnd() && (isNegationOf(y, x.negOp[0]) || isNegationOf(y, x.negOp[1])))
      return pass.answer(std::move(*pass.handle[1 - i]));
  }
  return false;
}

// ~(x0 & x1) & (y0 & y1) with xk = ~yl → y0 & y1
bool notAndWithAndOfAComplementIsTheAnd(AndPass& pass) {
  for (int i = 0; i < 2; ++i) {
    const Conjunct& x = pass.conjunct[i];
    const Conjunct& y = pass.conjunct[1 - i];
    if (x.isNotOfAnd() && y.isAnd() && anyComplementary(x.negOp, y.op))
      return pass.answer(std::move(*pass.handle[1 - i]));
  }
  return false;
}

// (x0 & x1) & xk → x0 & x1
bool andWithItsOwnConjunctIsTheAnd(AndPass& pass) {
  for (int i = 0; i < 2; ++i) {
    const Conjunct& x = pass.conjunct[i];
    Expression* y = pass.node[1 - i];
    if (x.isAnd() && (x.op[0] == y || x.op[1] == y)) return pass.answer(std::move(*pass.handle[i]));
  }
  return false;
}

// ~(p & q) & ~(p & ~q) → ~p; the pairs of operands of the two ands tried
// (first, first), (first, second), (second, first), (second, second)
bool notAndsDifferingInAComplementIsNotOfTheShared(AndPass& pass) {
  const Conjunct(&x)[2] = pass.conjunct;
  if (!x[0].isNotOfAnd() || !x[1].isNotOfAnd()) return false;
  Expression* const(&first)[2] = x[0].negOp;
  Expression* const(&second)[2] = x[1].negOp;
  for (int k = 0; k < 2; ++k)
    for (int l = 0; l < 2; ++l)
      if (first[k] == second[l] && isNegationOf(first[1 - k], second[1 - l]))
        return pass.answer(pass.build.Not(first[k]));
  return false;
}

// ~(x0 & x1) & xk → ~x(1-k) & xk, x1 tried first
bool notAndBesideItsOperandBecomesNotOfTheOther(AndPass& pass) {
  for (int i = 0; i < 2; ++i) {
    const Conjunct& x = pass.conjunct[i];
    if (!x.isNotOfAnd()) continue;
    for (int k = 1; k >= 0; --k) {
      if (x.negOp[k] == pass.node[1 - i]) {
        *pass.handle[i] = pass.build.Not(x.negOp[1 - k]);
        return pass.startOver();
      }
    }
  }
  return false;
}

// ~(x0 & x1) & (y0 & y1) with xk among the y → ~x(1-k) & (y0 & y1), x1 tried first
bool notAndBesideAndWithItsOperandBecomesNotOfTheOther(AndPass& pass) {
  for (int i = 0; i < 2; ++i) {
    const Conjunct& x = pass.conjunct[i];
    const Conjunct& y = pass.conjunct[1 - i];
    if (!x.isNotOfAnd() || !y.isAnd()) continue;
    for (int k = 1; k >= 0; --k) {
      Expression* xk = x.negOp[k];
      if (xk == y.op[0] || xk == y.op[1]) {
        *pass.handle[i] = pass.build.Not(x.negOp[1 - k]);
        return pass.startOver();
      }
    }
  }
  return false;
}

// (a0 & a1) & (b0 & b1) with bl among the a → (a0 & a1) & b(1-l)
bool andsSharingAConjunctDropItFromTheSecond(AndPass& pass) {
  const Conjunct(&x)[2] = pass.conjunct;
  if (!x[0].isAnd() || !x[1].isAnd()) return false;
  for (int l = 0; l < 2; ++l) {
    Expression* yl = x[1].op[l];
    if (yl == x[0].op[0] || yl == x[0].op[1]) {
      *pass.handle[1] = x[1].op[1 - l];
      return pass.startOver();
    }
  }
  return false;
}

// ~(p < q) & ~(q < p) → p = q, for the unsigned and the signed order
bool neitherLessThanTheOtherIsEquality(AndPass& pass) {
  const Conjunct(&x)[2] = pass.conjunct;
  if (!x[0].isNot() || !x[1].isNot()) return false;
  Expression* first = x[0].neg;
  Expression* second = x[1].neg;
  if (((isKind(first, KIND_ULT) && isKind(second, KIND_ULT)) ||
       (isKind(first, KIND_SLT) && isKind(second, KIND_SLT))) &&
      childOf(first, 0) == childOf(second, 1) && childOf(first, 1) == childOf(second, 0))
    return pass.answer(pass.build.Eq(childOf(first, 0), childOf(second, 0)));
  return false;
}

// concat(c, z) & d → concat(c & high bits of d, z & low bits of d)
bool andOfConcatWithConstantHighPartAndConstantSplits(AndPass& pass) {
  Build& bd = pass.build;
  const uint32_t w = pass.width;
  for (int i = 0; i < 2; ++i) {
    Expression* X = pass.node[i];
    Expression* K = pass.node[1 - i];
    if (pass.kind[i] != KIND_CONCAT || pass.kind[1 - i] != KIND_CONSTANT || !isConst(childOf(X, 0))) continue;
    Expression* hp = childOf(X, 0);
    Expression* lp = childOf(X, 1);
    const uint32_t v = hp->getWidth();
    ExpressionRef mh = bd.Extract(K, w - 1, w - v);
    ExpressionRef hi = bd.And(hp, mh);
    ExpressionRef ml = bd.Extract(K, w - v - 1, 0);
    ExpressionRef lo = bd.And(lp, ml);
    return pass.answer(bd.Concat(hi, lo));
  }
  return false;
}

// (c = z) & ±u, with c a constant and u the extract bit next to the
// extract z → one equality of the joined extract
bool equalityBesideTheNextExtractBitJoinsThem(AndPass& pass) {
  for (int i = 0; i < 2; ++i) {
    if (pass.kind[i] != KIND_EQUAL) continue;
    Expression* equality = pass.node[i];
    ExpressionRef r =
        pass.manager.mergeExtractConstraints(childOf(equality, 0), childOf(equality, 1), pass.node[1 - i]);
    if (r) return pass.answer(std::move(r));
  }
  return false;
}

// (z1 = t1) & (z2 = t2) with adjacent extracts z1, z2 of one node → one
// equality of the joined extract; the pairs of sides tried (0, 0), (0, 1),
// (1, 0), (1, 1)
bool equalitiesOfAdjacentExtractsJoin(AndPass& pass) {
  if (pass.kind[0] != KIND_EQUAL || pass.kind[1] != KIND_EQUAL) return false;
  Expression* A = pass.node[0];
  Expression* B = pass.node[1];
  for (uint32_t k = 0; k < 2; ++k) {
    for (uint32_t l = 0; l < 2; ++l) {
      if (!isKind(childOf(A, k), KIND_EXTRACT) || !isKind(childOf(B, l), KIND_EXTRACT)) continue;
      ExpressionRef r =
          pass.manager.mergeExtractEqualities(childOf(A, k), childOf(A, 1 - k), childOf(B, l), childOf(B, 1 - l));
      if (r) return pass.answer(std::move(r));
    }
  }
  return false;
}

// The new and node of the operands.
ExpressionRef newAndNode(AndPass& pass) {
  return pass.manager.findOrInsert(new AndExpression(pass.width, pass.node[0], pass.node[1]));
}

// Wider than one bit, no rule left → a new and node; the rules after this
// one are for single bits.
bool wideAndWithoutRuleIsNewNode(AndPass& pass) {
  if (pass.width == 1) return false;
  return pass.answer(newAndNode(pass));
}

// ~(p & q) & ~(~p & ~q) → p = ~q, the shape that exclusive or produces
bool notAndsOfComplementaryPairsIsExclusiveOr(AndPass& pass) {
  const Conjunct(&x)[2] = pass.conjunct;
  if (!x[0].isNotOfAnd() || !x[1].isNotOfAnd()) return false;
  Expression* const(&first)[2] = x[0].negOp;
  Expression* const(&second)[2] = x[1].negOp;
  if ((isNegationOf(first[0], second[0]) && isNegationOf(first[1], second[1])) ||
      (isNegationOf(first[0], second[1]) && isNegationOf(first[1], second[0]))) {
    ExpressionRef notFirst1 = pass.build.Not(first[1]);
    return pass.answer(pass.build.Eq(first[0], notFirst1));
  }
  return false;
}

// x & y, never both true → false
bool contradictoryAndIsFalse(AndPass& pass) {
  if (!contradictsAnd(pass.node[0], pass.node[1])) return false;
  return pass.answer(pass.build.False());
}

// x & y, x implies y → x
bool andWithWhatItImpliesIsTheImplying(AndPass& pass) {
  for (int i = 0; i < 2; ++i)
    if (impliesAnd(pass.node[i], pass.node[1 - i])) return pass.answer(std::move(*pass.handle[i]));
  return false;
}

// Under y, the and p0 & p1 that is x or that x negates: it contradicts y
// → x := 0 (x := 1 for ~(p0 & p1)); y implies pk → x := p(1-k), negated
// again for ~(p0 & p1)
bool andInsideOperandSimplifiedUnderTheOther(AndPass& pass) {
  for (int i = 0; i < 2; ++i) {
    const Conjunct& x = pass.conjunct[i];
    Expression* y = pass.node[1 - i];
    const bool negated = x.isNot();
    Expression* const(&p)[2] = negated ? x.negOp : x.op;
    if (p[0] == nullptr) continue;
    if (contradictsAnd(y, p[0]) || contradictsAnd(y, p[1])) {
      *pass.handle[i] = pass.build.Bool(negated);
      return pass.startOver();
    }
    for (int k = 0; k < 2; ++k) {
      if (impliesAnd(y, p[k])) {
        ExpressionRef rest(p[1 - k]), r;
        pass.manager.makeNotOrTake(r, &rest, !negated);
        *pass.handle[i] = std::move(r);
        return pass.startOver();
      }
    }
  }
  return false;
}

// ~(p0 & p1) & ~(q0 & q1) that simplifyAnd reduces → its result
bool notAndsReducedBySimplifyAnd(AndPass& pass) {
  ExpressionRef r = pass.manager.simplifyAnd(pass.node[0], pass.node[1]);
  if (!r) return false;
  return pass.answer(std::move(r));
}

// (x0 & x1) & y with simplifyAnd(xk, y) = r → x(1-k) & r
bool conjunctReducedWithTheOtherRegroups(AndPass& pass) {
  for (int i = 0; i < 2; ++i) {
    const Conjunct& x = pass.conjunct[i];
    if (!x.isAnd()) continue;
    for (int k = 0; k < 2; ++k) {
      ExpressionRef r = pass.manager.simplifyAnd(x.op[k], pass.node[1 - i]);
      if (r) {
        ExpressionRef rest(x.op[1 - k]);
        *pass.handle[1 - i] = std::move(r);
        *pass.handle[i] = std::move(rest);
        return pass.startOver();
      }
    }
  }
  return false;
}

// The rules of the conjunction in their order.
using AndRules = RuleList<
    AndPass,
    andOfConstantsIsFolded,
    andWithItselfIsOperand,
    andWithZeroIsZero,
    andOfComplementsIsZero,
    andWithAllOnesIsOther,
    andWithComplementOfItsConjunctIsZero,
    andsWithComplementaryConjunctsIsZero,
    notAndWithComplementOfItsOperandIsThatComplement,
    notAndWithAndOfAComplementIsTheAnd,
    andWithItsOwnConjunctIsTheAnd,
    notAndsDifferingInAComplementIsNotOfTheShared,
    notAndBesideItsOperandBecomesNotOfTheOther,
    notAndBesideAndWithItsOperandBecomesNotOfTheOther,
    andsSharingAConjunctDropItFromTheSecond,
    neitherLessThanTheOtherIsEquality,
    andOfConcatWithConstantHighPartAndConstantSplits,
    equalityBesideTheNextExtractBitJoinsThem,
    equalitiesOfAdjacentExtractsJoin,
    wideAndWithoutRuleIsNewNode,
    notAndsOfComplementaryPairsIsExclusiveOr,
    contradictoryAndIsFalse,
    andWithWhatItImpliesIsTheImplying,
    andInsideOperandSimplifiedUnderTheOther,
    notAndsReducedBySimplifyAnd,
    conjunctReducedWithTheOtherRegroups>;

// Runs the rule passes until one answers and stores the answer in result;
// no rule left → a new and node.
ExpressionRef& andLoop(ExpressionManager& m, ExpressionRef& result, ExpressionRef& a, ExpressionRef& b) {
  for (;;) {
    Expression* A;
    Expression* B;
    // Operands of different widths or arrays → null; smaller serial id first.
    if (!orderCommutativeOperands(a, b, A, B)) return fail(result);
    AndPass pass(m, a, b);
    if (!AndRules::applyFirst(pass)) pass.answer(newAndNode(pass));
    if (!pass.again) return answer(result, std::move(pass.result));
  }
}

// ---------------------------------------------------------------------------
// equality

// One pass over the rules of the equality: the operands as the rules see
// them. In the comments of the rules a and b are the operands in their order,
// x and y the operands in either order (a rule written for x tries a as x
// first, then b), c and k constants, v a variable.
struct EqualPass : RulePass {
  // a and b are in serial-id order already.
  EqualPass(ExpressionManager& m, ExpressionRef& a, ExpressionRef& b)
      : RulePass(m),
        handle{&a, &b},
        node{a.get(), b.get()},
        kind{node[0]->getKind(), node[1]->getKind()},
        width(node[0]->getWidth()) {}

  ExpressionRef* const handle[2];  // the caller's handles
  Expression* const node[2];       // the operands they hold
  const uint32_t kind[2];
  const uint32_t width;

  // Replaces the operands by n[0] and n[1] and starts the rules over.
  bool replaceOperands(ExpressionRef (&n)[2]) {
    factory_build::replaceOperands(*handle[0], *handle[1], n[0], n[1]);
    return startOver();
  }
};

// x = x → true
bool equalityWithItselfIsTrue(EqualPass& pass) {
  if (pass.node[0] != pass.node[1]) return false;
  return pass.answer(pass.build.True());
}

// An array against a bit-vector, or arrays of different sorts → null.
bool equalityOfDifferentSortsIsNull(EqualPass& pass) {
  Expression* A = pass.node[0];
  Expression* B = pass.node[1];
  if (A->isArray() != B->isArray()) return pass.answer(ExpressionRef());
  if (A->isArray() && !sameArraySort(A, B)) return pass.answer(ExpressionRef());
  return false;
}

// x = y, provably different → false
bool equalityOfDistinctIsFalse(EqualPass& pass) {
  if (!areProvablyDistinct(pass.node[0], pass.node[1])) return false;
  return pass.answer(pass.build.False());
}

// An equality with a branch of an if-then-else x = ite(c, t, f), the four
// shapes tried in this order:
//   ite(c, t, f) = t → c | (f = t)
//   ite(c, t, f) = y, y provably not t → ~c & (f = y)
//   ite(c, t, f) = f → ~c | (t = f)
//   ite(c, t, f) = y, y provably not f → c & (t = y)
bool equalityWithIteBranchIsOnItsCondition(EqualPass& pass) {
  Build& bd = pass.build;
  for (int i = 0; i < 2; ++i) {
    Expression* I = pass.node[i];
    Expression* O = pass.node[1 - i];
    if (pass.kind[i] != KIND_ITE && pass.kind[i] != KIND_ARRAY_ITE) continue;
    Expression* c = childOf(I, 0);
    Expression* t = childOf(I, 1);
    Expression* f = childOf(I, 2);
    if (O == t) {
      ExpressionRef q = bd.Eq(f, O);
      return pass.answer(bd.Or(c, q));
    }
    if (areProvablyDistinct(O, t)) {
      ExpressionRef nc = bd.Not(c);
      ExpressionRef q = bd.Eq(f, O);
      return pass.answer(bd.And(nc, q));
    }
    if (O == f) {
      ExpressionRef nc = bd.Not(c);
      ExpressionRef q = bd.Eq(t, O);
      return pass.answer(bd.Or(nc, q));
    }
    if (areProvablyDistinct(O, f)) {
      ExpressionRef q = bd.Eq(t, O);
      return pass.answer(bd.And(c, q));
    }
  }
  return false;
}

// (z & c) = k with a constant mask c, either operand of the and: k has a bit
// outside c → false; c one run of ones → the run's bits of z = those of k
bool equalityOfMaskedValueWithConstantNarrows(EqualPass& pass) {
  Build& bd = pass.build;
  for (int i = 0; i < 2; ++i) {
    Expression* K = pass.node[i];
    Expression* N = pass.node[1 - i];
    if (pass.kind[i] != KIND_CONSTANT || pass.kind[1 - i] != KIND_AND) continue;
    for (uint32_t j = 0; j < 2; ++j) {
      Expression* mask = childOf(N, j);
      Expression* z = childOf(N, 1 - j);
      if (!isConst(mask)) continue;
      const BitVector& mv = valueOf(mask);
      if (!valueOf(K).isSubsetOf(mv)) return pass.answer(bd.False());
      uint32_t lo = 0, len = 0;
      if (!mv.isZero() && mv.getSetBitRange(lo, len)) {
        ExpressionRef nk = bd.Extract(K, lo + len - 1, lo);
        ExpressionRef nz = bd.Extract(z, lo + len - 1, lo);
        *pass.handle[i] = std::move(nk);
        *pass.handle[1 - i] = std::move(nz);
        return pass.startOver();
      }
    }
  }
  return false;
}

// Arrays, no rule left → a new array equality node; the rules after this one
// are for bit-vectors.
bool arrayEqualityWithoutRuleIsNewNode(EqualPass& pass) {
  if (!pass.node[0]->isArray()) return false;
  return pass.answer(pass.manager.findOrInsert(new ArrayEqualExpression(pass.node[0], pass.node[1])));
}

// The rules of the negations follow, the first that fits; each gives a new
// pair.

// -x = x → the low w-1 bits of x = 0; true at width 1
bool negationEqualToItsOperandTestsTheLowBits(EqualPass& pass) {
  const uint32_t w = pass.width;
  for (int i = 0; i < 2; ++i) {
    if (pass.kind[i] == KIND_NEG && childOf(pass.node[i], 0) == pass.node[1 - i]) {
      if (w == 1) return pass.answer(pass.build.True());
      ExpressionRef n[2];
      n[i] = pass.build.Extract(pass.node[1 - i], w - 2, 0);
      n[1 - i] = pass.build.Zero(w - 1);
      return pass.replaceOperands(n);
    }
  }
  return false;
}

// -x = -y → x = y;  ~x = ~y → x = y
bool equalityOfNegationsDropsThem(EqualPass& pass) {
  const uint32_t(&kind)[2] = pass.kind;
  if ((kind[0] != KIND_NEG && kind[0] != KIND_NOT) || kind[1] != kind[0]) return false;
  ExpressionRef n[2];
  n[0] = childOf(pass.node[0], 0);
  n[1] = childOf(pass.node[1], 0);
  return pass.replaceOperands(n);
}

// k = ~y → ~k = y
bool constantEqualToNotTakesTheNot(EqualPass& pass) {
  for (int i = 0; i < 2; ++i) {
    if (pass.kind[i] == KIND_CONSTANT && pass.kind[1 - i] == KIND_NOT) {
      ExpressionRef n[2];
      n[i] = pass.build.Not(pass.node[i]);
      n[1 - i] = childOf(pass.node[1 - i], 0);
      return pass.replaceOperands(n);
    }
  }
  return false;
}

// k = -y → -k = y
bool constantEqualToNegationTakesTheNegation(EqualPass& pass) {
  for (int i = 0; i < 2; ++i) {
    if (pass.kind[i] == KIND_CONSTANT && pass.kind[1 - i] == KIND_NEG) {
      ExpressionRef n[2];
      n[i] = pass.build.Neg(pass.node[i]);
      n[1 - i] = childOf(pass.node[1 - i], 0);
      return pass.replaceOperands(n);
    }
  }
  return false;
}

// ~v = y, y not a variable → v = ~y
bool notOfVariableEqualToTermMovesTheNot(EqualPass& pass) {
  for (int i = 0; i < 2; ++i) {
    Expression* x = pass.node[i];
    if (pass.kind[i] == KIND_NOT && isKind(childOf(x, 0), KIND_VARIABLE) && pass.kind[1 - i] != KIND_VARIABLE) {
      ExpressionRef n[2];
      n[i] = childOf(x, 0);
      n[1 - i] = pass.build.Not(pass.node[1 - i]);
      return pass.replaceOperands(n);
    }
  }
  return false;
}

// -v = y, y not a variable → v = -y
bool negationOfVariableEqualToTermMovesTheNegation(EqualPass& pass) {
  for (int i = 0; i < 2; ++i) {
    Expression* x = pass.node[i];
    if (pass.kind[i] == KIND_NEG && isKind(childOf(x, 0), KIND_VARIABLE) && pass.kind[1 - i] != KIND_VARIABLE) {
      ExpressionRef n[2];
      n[i] = childOf(x, 0);
      n[1 - i] = pass.build.Neg(pass.node[1 - i]);
      return pass.replaceOperands(n);
    }
  }
  return false;
}

// x = x + z → z = 0, b tried as the sum first
bool equalityWithOwnSumIsOtherSummandZero(EqualPass& pass) {
  for (int i = 1; i >= 0; --i) {
    Expression* sum = pass.node[i];
    if (pass.kind[i] != KIND_ADD) continue;
    for (uint32_t j = 0; j < 2; ++j)
      if (pass.node[1 - i] == childOf(sum, j)) return pass.answer(pass.build.IsZero(childOf(sum, 1 - j)));
  }
  return false;
}

// (s + y) = (s + z) → y = z; the pairs of summands tried (a0, b0), (a0, b1),
// (a1, b0), (a1, b1)
bool equalityOfSumsCancelsTheSharedSummand(EqualPass& pass) {
  if (pass.kind[0] != KIND_ADD || pass.kind[1] != KIND_ADD) return false;
  Expression* A = pass.node[0];
  Expression* B = pass.node[1];
  for (uint32_t k = 0; k < 2; ++k) {
    for (uint32_t l = 0; l < 2; ++l) {
      if (childOf(A, k) == childOf(B, l)) {
        ExpressionRef n[2];
        n[0] = childOf(A, 1 - k);
        n[1] = childOf(B, 1 - l);
        return pass.replaceOperands(n);
      }
    }
  }
  return false;
}

// concat(p, q) = concat(r, s), p and r of one width → (p = r) & (q = s)
bool equalityOfConcatsSplitsAtTheSeam(EqualPass& pass) {
  Expression* A = pass.node[0];
  Expression* B = pass.node[1];
  if (pass.kind[0] != KIND_CONCAT || pass.kind[1] != KIND_CONCAT ||
      childOf(A, 0)->getWidth() != childOf(B, 0)->getWidth())
    return false;
  ExpressionRef hi = pass.build.Eq(childOf(A, 0), childOf(B, 0));
  ExpressionRef lo = pass.build.Eq(childOf(A, 1), childOf(B, 1));
  return pass.answer(pass.build.And(hi, lo));
}

// concat(p, q) = k → (p = high bits of k) & (q = low bits of k)
bool equalityOfConcatWithConstantSplits(EqualPass& pass) {
  Build& bd = pass.build;
  const uint32_t w = pass.width;
  for (int i = 0; i < 2; ++i) {
    Expression* concat = pass.node[i];
    Expression* K = pass.node[1 - i];
    if (pass.kind[i] != KIND_CONCAT || pass.kind[1 - i] != KIND_CONSTANT) continue;
    const uint32_t v = childOf(concat, 1)->getWidth();
    ExpressionRef kh = bd.Extract(K, w - 1, v);
    ExpressionRef hi = bd.Eq(childOf(concat, 0), kh);
    ExpressionRef kl = bd.Extract(K, v - 1, 0);
    ExpressionRef lo = bd.Eq(childOf(concat, 1), kl);
    return pass.answer(bd.And(hi, lo));
  }
  return false;
}

// 1-bit 1 = y → y
bool bitEqualToOneIsTheBit(EqualPass& pass) {
  if (pass.width != 1) return false;
  for (int i = 0; i < 2; ++i)
    if (pass.node[i]->isAllOnes()) return pass.answer(std::move(*pass.handle[1 - i]));
  return false;
}

// 1-bit 0 = y → ~y
bool bitEqualToZeroIsItsNot(EqualPass& pass) {
  if (pass.width != 1) return false;
  for (int i = 0; i < 2; ++i)
    if (pass.node[i]->isZero()) return pass.answer(pass.build.Not(pass.node[1 - i]));
  return false;
}

// The rules of the equality in their order.
using EqualRules = RuleList<
    EqualPass,
    equalityWithItselfIsTrue,
    equalityOfDifferentSortsIsNull,
    equalityOfDistinctIsFalse,
    equalityWithIteBranchIsOnItsCondition,
    equalityOfMaskedValueWithConstantNarrows,
    arrayEqualityWithoutRuleIsNewNode,
    negationEqualToItsOperandTestsTheLowBits,
    equalityOfNegationsDropsThem,
    constantEqualToNotTakesTheNot,
    constantEqualToNegationTakesTheNegation,
    notOfVariableEqualToTermMovesTheNot,
    negationOfVariableEqualToTermMovesTheNegation,
    equalityWithOwnSumIsOtherSummandZero,
    equalityOfSumsCancelsTheSharedSummand,
    equalityOfConcatsSplitsAtTheSeam,
    equalityOfConcatWithConstantSplits,
    bitEqualToOneIsTheBit,
    bitEqualToZeroIsItsNot>;

// Runs the rule passes until one answers and stores the answer in result;
// no rule left → a new equality node.
ExpressionRef& equalLoop(ExpressionManager& m, ExpressionRef& result, ExpressionRef& a, ExpressionRef& b) {
  for (;;) {
    // Operands of different widths → null; smaller serial id first.
    if (a->getWidth() != b->getWidth()) return fail(result);
    if (a->getId() >= b->getId()) a.swap(b);
    EqualPass pass(m, a, b);
    if (!EqualRules::applyFirst(pass))
      pass.answer(m.findOrInsert(new EqualExpression(pass.node[0], pass.node[1])));
    if (!pass.again) return answer(result, std::move(pass.result));
  }
}

// ---------------------------------------------------------------------------
// if-then-else

// One pass over the rules of the if-then-else: the operands as the rules see
// them. In the comments of the rules a rule written for one branch is tried on
// the then-branch first, then mirrored on the else-branch; d is the condition
// of an inner if-then-else.
struct ItePass : RulePass {
  ItePass(ExpressionManager& m, ExpressionRef& c, ExpressionRef& t, ExpressionRef& e)
      : RulePass(m),
        conditionHandle(c),
        branchHandle{&t, &e},
        condition(c.get()),
        branch{t.get(), e.get()},
        kind{branch[0]->getKind(), branch[1]->getKind()},
        iteLike{kind[0] == KIND_ITE || kind[0] == KIND_ARRAY_ITE, kind[1] == KIND_ITE || kind[1] == KIND_ARRAY_ITE},
        width(branch[0]->getWidth()) {}

  // The caller's handles and the operands they hold.
  ExpressionRef& conditionHandle;
  ExpressionRef* const branchHandle[2];
  Expression* const condition;
  Expression* const branch[2];
  const uint32_t kind[2];  // of the branches
  const bool iteLike[2];   // the branch is an if-then-else of either sort
  const uint32_t width;    // of the then-branch

  // Replaces the condition and one branch and starts the rules over.
  bool replaceConditionAndBranch(ExpressionRef& newCondition, int i, ExpressionRef& newBranch) {
    factory_build::replaceOperands(conditionHandle, *branchHandle[i], newCondition, newBranch);
    return startOver();
  }
};

// ite(c, x, x) → x
bool iteOfEqualBranchesIsTheBranch(ItePass& pass) {
  if (pass.branch[0] != pass.branch[1]) return false;
  return pass.answer(std::move(*pass.branchHandle[0]));
}

// ite(1, t, e) → t;  ite(0, t, e) → e
bool iteOnConstantIsTheChosenBranch(ItePass& pass) {
  if (pass.condition->isAllOnes()) return pass.answer(std::move(*pass.branchHandle[0]));
  if (pass.condition->isZero()) return pass.answer(std::move(*pass.branchHandle[1]));
  return false;
}

// ite(~c, t, e) → ite(c, e, t)
bool iteOnNotSwapsTheBranches(ItePass& pass) {
  if (!isKind(pass.condition, KIND_NOT)) return false;
  pass.conditionHandle = childOf(pass.condition, 0);
  pass.branchHandle[0]->swap(*pass.branchHandle[1]);
  return pass.startOver();
}

// ite(c, ite(c, x, y), e) → ite(c, x, e);  ite(c, ite(~c, x, y), e) → ite(c, y, e)
bool innerIteOnTheConditionTakesItsBranch(ItePass& pass) {
  for (uint32_t i = 0; i < 2; ++i) {
    Expression* X = pass.branch[i];
    if (!pass.iteLike[i]) continue;
    if (childOf(X, 0) == pass.condition) {
      *pass.branchHandle[i] = childOf(X, 1 + i);
      return pass.startOver();
    }
    if (isNegationOf(pass.condition, childOf(X, 0))) {
      *pass.branchHandle[i] = childOf(X, 2 - i);
      return pass.startOver();
    }
  }
  return false;
}

// ite(c, ite(d, e, y), e) → ite(c & ~d, y, e);  ite(c, ite(d, y, e), e) → ite(c & d, y, e)
bool iteInThenBranchSharingTheElseMergesConditions(ItePass& pass) {
  if (!pass.iteLike[0]) return false;
  Build& bd = pass.build;
  Expression* T = pass.branch[0];
  Expression* E = pass.branch[1];
  Expression* d = childOf(T, 0);
  if (E == childOf(T, 1)) {
    ExpressionRef nd = bd.Not(d);
    ExpressionRef nc = bd.And(pass.condition, nd);
    ExpressionRef nt(childOf(T, 2));
    return pass.replaceConditionAndBranch(nc, 0, nt);
  }
  if (E == childOf(T, 2)) {
    ExpressionRef nc = bd.And(pass.condition, d);
    ExpressionRef nt(childOf(T, 1));
    return pass.replaceConditionAndBranch(nc, 0, nt);
  }
  return false;
}

// ite(c, t, ite(d, t, y)) → ite(c | d, t, y);  ite(c, t, ite(d, y, t)) → ite(c | ~d, t, y)
bool iteInElseBranchSharingTheThenMergesConditions(ItePass& pass) {
  if (!pass.iteLike[1]) return false;
  Build& bd = pass.build;
  Expression* T = pass.branch[0];
  Expression* E = pass.branch[1];
  Expression* d = childOf(E, 0);
  if (T == childOf(E, 1)) {
    ExpressionRef nc = bd.Or(pass.condition, d);
    ExpressionRef ne(childOf(E, 2));
    return pass.replaceConditionAndBranch(nc, 1, ne);
  }
  if (T == childOf(E, 2)) {
    ExpressionRef nd = bd.Not(d);
    ExpressionRef nc = bd.Or(pass.condition, nd);
    ExpressionRef ne(childOf(E, 1));
    return pass.replaceConditionAndBranch(nc, 1, ne);
  }
  return false;
}

// Array branches of different sorts → null
bool arrayIteOfDifferentSortsIsNull(ItePass& pass) {
  if (!pass.branch[0]->isArray() || sameArraySort(pass.branch[0], pass.branch[1])) return false;
  return pass.answer(ExpressionRef());
}

// ite(c, write(x, i, v), write(y, i, v)) → write(ite(c, x, y), i, v)
bool arrayIteOfEqualWritesIsWriteIntoIte(ItePass& pass) {
  Expression* T = pass.branch[0];
  Expression* E = pass.branch[1];
  if (!T->isArray() || pass.kind[0] != KIND_ARRAY_WRITE || pass.kind[1] != KIND_ARRAY_WRITE ||
      childOf(T, 1) != childOf(E, 1) || childOf(T, 2) != childOf(E, 2))
    return false;
  ExpressionRef array = pass.build.Ite(pass.condition, childOf(T, 0), childOf(E, 0));
  return pass.answer(pass.build.Write(array, childOf(T, 1), childOf(T, 2)));
}

// Arrays, no rule left → a new array if-then-else node; the rules after this
// one are for bit-vectors.
bool arrayIteWithoutRuleIsNewNode(ItePass& pass) {
  if (!pass.branch[0]->isArray()) return false;
  return pass.answer(
      pass.manager.findOrInsert(new ArrayIteExpression(pass.condition, pass.branch[0], pass.branch[1])));
}

// Branches of different widths → null.
bool iteOfDifferentWidthsIsNull(ItePass& pass) {
  if (pass.branch[0]->getWidth() == pass.branch[1]->getWidth()) return false;
  return pass.answer(ExpressionRef());
}

// ite(c, c, e) → c | e;  ite(c, t, c) → c & t
bool iteWithTheConditionAsBranchIsOrAnd(ItePass& pass) {
  Expression* C = pass.condition;
  if (pass.branch[0] == C) return pass.answer(pass.build.Or(C, pass.branch[1]));
  if (C == pass.branch[1]) return pass.answer(pass.build.And(C, pass.branch[0]));
  return false;
}

// ite(c, ~c, e) → ~c & e;  ite(c, t, ~c) → t | ~c
bool iteWithTheNotOfTheConditionAsBranchIsAndOr(ItePass& pass) {
  Expression* C = pass.condition;
  if (isNegationOf(C, pass.branch[0])) {
    ExpressionRef nc = pass.build.Not(C);
    return pass.answer(pass.build.And(nc, pass.branch[1]));
  }
  if (isNegationOf(C, pass.branch[1])) {
    ExpressionRef nc = pass.build.Not(C);
    return pass.answer(pass.build.Or(pass.branch[0], nc));
  }
  return false;
}

// 1-bit ite(c, t, ~t) → c = t
bool bitIteOfComplementaryBranchesIsEquality(ItePass& pass) {
  if (pass.width != 1 || !isNegationOf(pass.branch[0], pass.branch[1])) return false;
  return pass.answer(pass.build.Eq(pass.condition, pass.branch[0]));
}

// ite(c, y & z, y) → y & ite(c, z, ones);  ite(c, y, y & z) → y & ite(c, ones, z)
bool iteOfAndBesideItsOperandPullsTheOperandOut(ItePass& pass) {
  Build& bd = pass.build;
  for (int i = 0; i < 2; ++i) {
    Expression* X = pass.branch[i];
    Expression* Y = pass.branch[1 - i];
    if (pass.kind[i] != KIND_AND) continue;
    for (uint32_t k = 0; k < 2; ++k) {
      if (Y != childOf(X, k)) continue;
      ExpressionRef ones = bd.Ones(pass.width);
      Expression* arm[2];
      arm[i] = childOf(X, 1 - k);
      arm[1 - i] = ones.get();
      ExpressionRef inner = bd.Ite(pass.condition, arm[0], arm[1]);
      return pass.answer(bd.And(Y, inner));
    }
  }
  return false;
}

// ite(c, concat(h, x), concat(h, y)) → concat(h, ite(c, x, y));
// ite(c, concat(x, l), concat(y, l)) → concat(ite(c, x, y), l)
bool iteOfConcatsSharingAPartPullsThePartOut(ItePass& pass) {
  if (pass.kind[0] != KIND_CONCAT || pass.kind[1] != KIND_CONCAT) return false;
  Build& bd = pass.build;
  Expression* T = pass.branch[0];
  Expression* E = pass.branch[1];
  if (childOf(T, 0) == childOf(E, 0)) {
    ExpressionRef inner = bd.Ite(pass.condition, childOf(T, 1), childOf(E, 1));
    return pass.answer(bd.Concat(childOf(T, 0), inner));
  }
  if (childOf(T, 1) == childOf(E, 1)) {
    ExpressionRef inner = bd.Ite(pass.condition, childOf(T, 0), childOf(E, 0));
    return pass.answer(bd.Concat(inner, childOf(T, 1)));
  }
  return false;
}

// ite(c, s ∘ x, s ∘ y) → s ∘ ite(c, x, y) for ∘ the sum or the product; the
// shared operand s looked for as (t0, e0), (t0, e1), (t1, e0), (t1, e1)
bool iteOfSumsOrProductsSharingAnOperandPullsItOut(ItePass& pass) {
  const uint32_t(&kind)[2] = pass.kind;
  if ((kind[0] != KIND_ADD && kind[0] != KIND_MUL) || kind[1] != kind[0]) return false;
  Build& bd = pass.build;
  Expression* T = pass.branch[0];
  Expression* E = pass.branch[1];
  for (uint32_t k = 0; k < 2; ++k) {
    for (uint32_t l = 0; l < 2; ++l) {
      if (childOf(T, k) != childOf(E, l)) continue;
      Expression* s = childOf(T, k);
      ExpressionRef inner = bd.Ite(pass.condition, childOf(T, 1 - k), childOf(E, 1 - l));
      return pass.answer(kind[0] == KIND_ADD ? bd.Add(s, inner) : bd.Mul(s, inner));
    }
  }
  return false;
}

// 1-bit ite(c, 0, e) → ~c & e
bool bitIteWithZeroThenIsAnd(ItePass& pass) {
  if (pass.width != 1 || !pass.branch[0]->isZero()) return false;
  ExpressionRef nc = pass.build.Not(pass.condition);
  return pass.answer(pass.build.And(nc, pass.branch[1]));
}

// 1-bit ite(c, 1, e) → c | e
bool bitIteWithOneThenIsOr(ItePass& pass) {
  if (pass.width != 1 || !pass.branch[0]->isAllOnes()) return false;
  return pass.answer(pass.build.Or(pass.condition, pass.branch[1]));
}

// 1-bit ite(c, t, 0) → c & t
bool bitIteWithZeroElseIsAnd(ItePass& pass) {
  if (pass.width != 1 || !pass.branch[1]->isZero()) return false;
  return pass.answer(pass.build.And(pass.condition, pass.branch[0]));
}

// 1-bit ite(c, t, 1) → ~c | t
bool bitIteWithOneElseIsOr(ItePass& pass) {
  if (pass.width != 1 || !pass.branch[1]->isAllOnes()) return false;
  ExpressionRef nc = pass.build.Not(pass.condition);
  return pass.answer(pass.build.Or(nc, pass.branch[0]));
}

// The rules of the if-then-else in their order.
using IteRules = RuleList<
    ItePass,
    iteOfEqualBranchesIsTheBranch,
    iteOnConstantIsTheChosenBranch,
    iteOnNotSwapsTheBranches,
    innerIteOnTheConditionTakesItsBranch,
    iteInThenBranchSharingTheElseMergesConditions,
    iteInElseBranchSharingTheThenMergesConditions,
    arrayIteOfDifferentSortsIsNull,
    arrayIteOfEqualWritesIsWriteIntoIte,
    arrayIteWithoutRuleIsNewNode,
    iteOfDifferentWidthsIsNull,
    iteWithTheConditionAsBranchIsOrAnd,
    iteWithTheNotOfTheConditionAsBranchIsAndOr,
    bitIteOfComplementaryBranchesIsEquality,
    iteOfAndBesideItsOperandPullsTheOperandOut,
    iteOfConcatsSharingAPartPullsThePartOut,
    iteOfSumsOrProductsSharingAnOperandPullsItOut,
    bitIteWithZeroThenIsAnd,
    bitIteWithOneThenIsOr,
    bitIteWithZeroElseIsAnd,
    bitIteWithOneElseIsOr>;

// Runs the rule passes until one answers and stores the answer in result;
// no rule left → a new if-then-else node.
ExpressionRef& iteLoop(ExpressionManager& m, ExpressionRef& result, ExpressionRef& c, ExpressionRef& t,
                       ExpressionRef& e) {
  for (;;) {
    ItePass pass(m, c, t, e);
    if (!IteRules::applyFirst(pass))
      pass.answer(m.findOrInsert(new IteExpression(pass.condition, pass.branch[0], pass.branch[1])));
    if (!pass.again) return answer(result, std::move(pass.result));
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
