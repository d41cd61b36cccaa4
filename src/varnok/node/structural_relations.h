#pragma once
// Cheap syntactic tests between two nodes. Each answers only what the
// structure proves: true is a proof, false means "not proved", never "proved
// false". None allocates nodes or changes reference counts.
#include "varnok/node/expression.h"

namespace varnok {

// a is the Not of b or b of a, or both are constants with complementary values.
bool isNegationOf(const Expression* a, const Expression* b);
// a is the NEG of b or b of a, or both are constants with a = -b.
bool isArithmeticNegationOf(const Expression* a, const Expression* b);
// a is a constant other than zero.
bool isNonZeroConstant(const Expression* a);
// a and b can never be equal.
bool areProvablyDistinct(const Expression* a, const Expression* b);
// a and b are Extracts of the same node with lo(a) = hi(b) + 1.
bool areAdjacentExtracts(const Expression* a, const Expression* b);
// One-bit formulas: a true forces b true.
bool implies(const Expression* a, const Expression* b);
// implies(a, b), or a is an And one of whose operands implies b.
bool impliesAnd(const Expression* a, const Expression* b);
// not x forces b.
bool negationImplies(const Expression* x, const Expression* b);
// a and b cannot both be true.
bool contradicts(const Expression* a, const Expression* b);
// contradicts(a, b), or an operand of an And a or And b contradicts the other.
bool contradictsAnd(const Expression* a, const Expression* b);
// p = q and r = s contradict (helper of contradicts).
bool equalitiesContradict(const Expression* p, const Expression* q, const Expression* s, const Expression* r);
// p = q and r <u s contradict (helper of contradicts).
bool equalityContradictsLess(const Expression* p, const Expression* q, const Expression* r, const Expression* s);
// p = q (q constant) forces r <u s, with r constant and p, s overlapping bit
// ranges (helper of implies).
bool equalityImpliesGreater(const Expression* p, const Expression* q, const Expression* r, const Expression* s);
// a occurs in b (a is b or lies below it).
bool occursIn(const Expression* a, const Expression* b);

}  // namespace varnok
