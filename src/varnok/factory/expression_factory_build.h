#pragma once
// Helpers shared by the make functions (expression_factory*.cpp): short
// accessors for node fields and a thin builder over the make functions.
// Internal to the factory; not part of the public interface.

#include <cstdint>
#include <utility>

#include "varnok/value/bit_vector.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"

namespace varnok {
namespace factory_build {

inline Expression* nodeOf(Expression* e) { return e; }
inline Expression* nodeOf(const ExpressionRef& r) { return r.get(); }

inline bool isKind(const Expression* e, uint32_t k) { return e->getKind() == k; }
inline bool isConst(const Expression* e) { return e->getKind() == KIND_CONSTANT; }
inline Expression* childOf(const Expression* e, uint32_t i) { return e->getChild(i); }
inline const BitVector& valueOf(const Expression* e) {
  return static_cast<const ConstantExpression*>(e)->getValue();
}
inline uint32_t hiOf(const Expression* e) { return static_cast<const ExtractExpression*>(e)->getHi(); }
inline uint32_t loOf(const Expression* e) { return static_cast<const ExtractExpression*>(e)->getLo(); }
// A bit-vector operand: not an array (arrays have width 0).
inline bool isBitVector(const Expression* e) { return e->getWidth() != 0 && !e->isArray(); }

// The opening steps of the commutative rewriting loops (and, mul, add):
// refuse operands of different widths or arrays, then put the operand with the
// smaller serial id first, swapping the caller's handles along with A and B.
inline bool orderCommutativeOperands(ExpressionRef& a, ExpressionRef& b, Expression*& A, Expression*& B) {
  A = a.get();
  B = b.get();
  if (A->getWidth() != B->getWidth() || !isBitVector(A) || !isBitVector(B)) return false;
  if (A->getId() >= B->getId()) {
    a.swap(b);
    std::swap(A, B);
  }
  return true;
}

// A rule of a rewriting loop that has replaced operands starts the rules over
// on the new ones: it sets the pass's `again` and answers null, which the loop
// drops.
inline ExpressionRef startOver(bool& again) {
  again = true;
  return ExpressionRef();
}

// Replaces the operand pair, the first operand first. The new operands are
// built beforehand, in the order the rule builds them.
inline void replaceOperands(ExpressionRef& a, ExpressionRef& b, ExpressionRef& na, ExpressionRef& nb) {
  a = std::move(na);
  b = std::move(nb);
}
// The same, and starts the rules over.
inline ExpressionRef replacePair(ExpressionRef& a, ExpressionRef& b, ExpressionRef& na, ExpressionRef& nb,
                                 bool& again) {
  replaceOperands(a, b, na, nb);
  return startOver(again);
}

// Stores r in result and answers result.
inline ExpressionRef& answer(ExpressionRef& result, ExpressionRef&& r) {
  result = std::move(r);
  return result;
}
inline ExpressionRef& fail(ExpressionRef& result) {
  result.reset();
  return result;
}

// Thin builder over the make functions: every call passes fresh handles, so
// the operands it is given are never touched.
#define VARNOK_BUILD_UNARY(Name, make) \
  template <class A>                   \
  ExpressionRef Name(const A& x) {     \
    ExpressionRef a(nodeOf(x)), r;     \
    m.make(r, &a);                     \
    return r;                          \
  }
#define VARNOK_BUILD_BINARY(Name, make)          \
  template <class A, class B>                    \
  ExpressionRef Name(const A& x, const B& y) {   \
    ExpressionRef a(nodeOf(x)), b(nodeOf(y)), r; \
    m.make(r, &a, &b);                           \
    return r;                                    \
  }
#define VARNOK_BUILD_TERNARY(Name, make)                       \
  template <class A, class B, class C>                         \
  ExpressionRef Name(const A& x, const B& y, const C& z) {     \
    ExpressionRef a(nodeOf(x)), b(nodeOf(y)), c(nodeOf(z)), r; \
    m.make(r, &a, &b, &c);                                     \
    return r;                                                  \
  }
struct Build {
  ExpressionManager& m;
  VARNOK_BUILD_UNARY(Not, makeNot)
  VARNOK_BUILD_UNARY(Neg, makeNeg)
  VARNOK_BUILD_UNARY(IsZero, makeIsZero)
  VARNOK_BUILD_BINARY(And, makeAnd)
  VARNOK_BUILD_BINARY(Or, makeOr)
  VARNOK_BUILD_BINARY(Xor, makeXor)
  VARNOK_BUILD_BINARY(Eq, makeEqual)
  VARNOK_BUILD_BINARY(Distinct, makeDistinct)
  VARNOK_BUILD_BINARY(Add, makeAdd)
  VARNOK_BUILD_BINARY(Sub, makeSub)
  VARNOK_BUILD_BINARY(Mul, makeMul)
  VARNOK_BUILD_BINARY(Concat, makeConcat)
  VARNOK_BUILD_BINARY(Shl, makeShl)
  VARNOK_BUILD_BINARY(LShr, makeLShr)
  VARNOK_BUILD_BINARY(ULT, makeULT)
  VARNOK_BUILD_BINARY(SLT, makeSLT)
  VARNOK_BUILD_BINARY(UDiv, makeUDiv)
  VARNOK_BUILD_BINARY(URem, makeURem)
  VARNOK_BUILD_BINARY(Read, makeArrayRead)
  VARNOK_BUILD_TERNARY(Ite, makeIte)
  VARNOK_BUILD_TERNARY(Write, makeArrayWrite)
  ExpressionRef Zero(uint32_t w) { return leaf(&ExpressionManager::makeZero, w); }
  ExpressionRef Ones(uint32_t w) { return leaf(&ExpressionManager::makeOnes, w); }
  ExpressionRef One(uint32_t w) { return leaf(&ExpressionManager::makeOne, w); }
  ExpressionRef True() { return leaf(&ExpressionManager::makeTrue); }
  ExpressionRef False() { return leaf(&ExpressionManager::makeFalse); }
  ExpressionRef Bool(bool v) { return leaf(&ExpressionManager::makeBool, v); }
  ExpressionRef Constant(const BitVector& v) { return leaf(&ExpressionManager::makeConstant, v); }
  ExpressionRef UInt(uint64_t v, uint32_t w) { return leaf(&ExpressionManager::makeConstantFromUInt64, v, w); }

  template <class A>
  ExpressionRef Extract(const A& x, uint32_t hi, uint32_t lo) {
    ExpressionRef a(nodeOf(x)), r;
    m.makeExtract(r, &a, hi, lo);
    return r;
  }
  template <class A>
  ExpressionRef ZeroExtend(const A& x, uint32_t n) {
    ExpressionRef a(nodeOf(x)), r;
    m.makeZeroExtend(r, &a, n);
    return r;
  }
  template <class A>
  ExpressionRef SignExtend(const A& x, uint32_t n) {
    ExpressionRef a(nodeOf(x)), r;
    m.makeSignExtend(r, &a, n);
    return r;
  }

 private:
  // A node without operands: constants of a given value or width.
  template <class... Params, class... Args>
  ExpressionRef leaf(ExpressionRef& (ExpressionManager::*make)(ExpressionRef&, Params...), const Args&... args) {
    ExpressionRef r;
    (m.*make)(r, args...);
    return r;
  }
};

#undef VARNOK_BUILD_UNARY
#undef VARNOK_BUILD_BINARY
#undef VARNOK_BUILD_TERNARY

// One pass over the named rules of a maker (and, equality, if-then-else,
// concatenation). The maker's own pass type derives from this and adds the
// operands as its rules see them. A rule is a function that answers whether
// it applied: then it has either stored the maker's answer (`answer`) or
// replaced operands, after which the rules start over on the new ones
// (`startOver`).
struct RulePass {
  explicit RulePass(ExpressionManager& m) : manager(m), build{m} {}

  ExpressionManager& manager;
  Build build;
  ExpressionRef result;  // the answer of the rule that applied
  bool again = false;    // the rule that applied replaced operands

  bool answer(ExpressionRef&& r) {
    result = std::move(r);
    return true;
  }
  bool startOver() {
    again = true;
    return true;
  }
};

// The ordered list of the named rules of a maker: `applyFirst` tries them in
// their order until one applies, and answers false when none does. The rules
// are template arguments, so that each call is direct and can be inlined.
template <class Pass, bool (*... rules)(Pass&)>
struct RuleList {
  static bool applyFirst(Pass& pass) { return (rules(pass) || ...); }
};

}  // namespace factory_build
}  // namespace varnok
