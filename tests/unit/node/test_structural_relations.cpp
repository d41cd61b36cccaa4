// Structural relations: the documented cases, and a property test that every
// "true" answer is sound under all assignments of a few small variables.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <random>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "support/graph_evaluator.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"
#include "varnok/node/structural_relations.h"

#ifdef VARNOK_SANITIZED
#define VARNOK_CHAIN_PARTS 1500u
#else
#define VARNOK_CHAIN_PARTS 4000u
#endif

using namespace varnok;

namespace {

struct Builder {
  ExpressionManager m;
  std::vector<ExpressionRef> keep;

  Expression* hold(ExpressionRef r) {
    keep.push_back(r);
    return r.get();
  }
  Expression* var(uint32_t w) { ExpressionRef r; return hold(m.makeVariable(r, w, nullptr)); }
  Expression* c(uint64_t v, uint32_t w) { ExpressionRef r; return hold(m.makeConstantFromUInt64(r, v, w)); }
  Expression* bin(const char* digits) { ExpressionRef r; return hold(m.makeConstantFromBinary(r, digits)); }
  Expression* node(Expression* e) { return hold(m.findOrInsert(e)); }
  Expression* Not(Expression* x) { return node(new NotExpression(x)); }
  Expression* And(Expression* a, Expression* b) { return node(new AndExpression(a, b)); }
  Expression* Eq(Expression* a, Expression* b) { return node(new EqualExpression(a, b)); }
  Expression* Ite(Expression* c0, Expression* t, Expression* e) { return node(new IteExpression(c0, t, e)); }
  Expression* Concat(Expression* h, Expression* l) { return node(new ConcatExpression(h, l)); }
  Expression* Extract(Expression* x, uint32_t hi, uint32_t lo) { return node(new ExtractExpression(x, hi, lo)); }
  Expression* Neg(Expression* x) { return node(new NEGExpression(x)); }
  Expression* Add(Expression* a, Expression* b) { return node(new ADDExpression(a, b)); }
  Expression* Mul(Expression* a, Expression* b) { return node(new MULExpression(a, b)); }
  Expression* Ult(Expression* a, Expression* b) { return node(new ULTExpression(a, b)); }
  Expression* Slt(Expression* a, Expression* b) { return node(new SLTExpression(a, b)); }
};

}  // namespace

TEST(StructuralRelations, NegationsOfConstants) {
  Builder b;
  EXPECT_TRUE(isNegationOf(b.bin("0101"), b.bin("1010")));
  EXPECT_FALSE(isNegationOf(b.bin("0101"), b.bin("1011")));
  EXPECT_TRUE(isArithmeticNegationOf(b.bin("0101"), b.bin("1011")));
  EXPECT_FALSE(isArithmeticNegationOf(b.bin("0101"), b.bin("1010")));
  Expression* x = b.var(4);
  EXPECT_TRUE(isNegationOf(x, b.Not(x)));
  EXPECT_TRUE(isNegationOf(b.Not(x), x));
  EXPECT_TRUE(isArithmeticNegationOf(b.Neg(x), x));
  EXPECT_FALSE(isNegationOf(b.bin("0101"), b.bin("10101")));  // widths differ
  EXPECT_TRUE(isNonZeroConstant(b.bin("0100")));
  EXPECT_FALSE(isNonZeroConstant(b.bin("0000")));
  EXPECT_FALSE(isNonZeroConstant(x));
  Expression* x8 = b.var(8);
  EXPECT_TRUE(areAdjacentExtracts(b.Extract(x8, 7, 4), b.Extract(x8, 3, 0)));
  EXPECT_FALSE(areAdjacentExtracts(b.Extract(x8, 3, 0), b.Extract(x8, 7, 4)));
  EXPECT_FALSE(areAdjacentExtracts(b.Extract(x8, 7, 4), b.Extract(b.var(8), 3, 0)));
}

TEST(StructuralRelations, ProvablyDistinctCases) {
  Builder b;
  Expression* x = b.var(2);
  Expression* y = b.var(2);
  Expression* z = b.var(4);
  EXPECT_TRUE(areProvablyDistinct(b.Concat(x, b.bin("01")), b.Concat(y, b.bin("10"))));
  EXPECT_FALSE(areProvablyDistinct(b.Concat(x, b.bin("01")), z));
  Expression* x4 = b.var(4);
  Expression* y4 = b.var(4);
  EXPECT_TRUE(areProvablyDistinct(b.Concat(b.bin("1"), x4), b.Concat(b.bin("0"), y4)));
  Expression* three = b.c(3, 4);
  EXPECT_TRUE(areProvablyDistinct(b.Add(x4, three), x4));
  EXPECT_TRUE(areProvablyDistinct(x4, b.Add(three, x4)));
  EXPECT_FALSE(areProvablyDistinct(b.Add(x4, y4), x4));
  // x + 3 and 3 + y share the operand 3: distinct when x and y are.
  Expression* p = b.bin("0001");
  Expression* q = b.bin("0010");
  EXPECT_TRUE(areProvablyDistinct(b.Add(p, three), b.Add(three, q)));
  EXPECT_FALSE(areProvablyDistinct(b.Add(x4, three), b.Add(three, y4)));
  EXPECT_FALSE(areProvablyDistinct(b.Add(x4, y4), b.Add(z, z)));
  EXPECT_TRUE(areProvablyDistinct(b.And(x4, b.bin("0011")), b.bin("0100")));
  EXPECT_FALSE(areProvablyDistinct(b.And(x4, b.bin("0111")), b.bin("0100")));
  EXPECT_TRUE(areProvablyDistinct(b.Not(x4), b.Neg(x4)));
  EXPECT_FALSE(areProvablyDistinct(x4, x4));
  // Writes at one index with distinct values.
  ExpressionRef A;
  b.m.makeArrayVariable(A, 4, 4, "A");
  b.keep.push_back(A);
  Expression* w1 = b.node(new ArrayWriteExpression(A.get(), x4, b.c(1, 4)));
  Expression* w2 = b.node(new ArrayWriteExpression(A.get(), x4, b.c(2, 4)));
  Expression* w3 = b.node(new ArrayWriteExpression(A.get(), y4, b.c(2, 4)));
  EXPECT_TRUE(areProvablyDistinct(w1, w2));
  EXPECT_FALSE(areProvablyDistinct(w1, w3));
  EXPECT_FALSE(areProvablyDistinct(w1, A.get()));
}

TEST(StructuralRelations, ImplicationsBetweenComparisons) {
  Builder b;
  Expression* x = b.var(8);
  Expression* y = b.var(8);
  Expression* lt5 = b.Ult(x, b.c(5, 8));
  EXPECT_TRUE(implies(lt5, b.Ult(x, b.c(7, 8))));
  EXPECT_TRUE(implies(lt5, b.Ult(x, b.c(5, 8))));
  EXPECT_FALSE(implies(lt5, b.Ult(x, b.c(4, 8))));
  EXPECT_TRUE(implies(b.Ult(b.c(9, 8), y), b.Ult(b.c(3, 8), y)));
  EXPECT_FALSE(implies(b.Ult(b.c(3, 8), y), b.Ult(b.c(9, 8), y)));
  // Signed: -1 < ... is weaker than 1 < ...
  EXPECT_TRUE(implies(b.Slt(b.c(1, 8), y), b.Slt(b.c(0xff, 8), y)));
  EXPECT_FALSE(implies(b.Slt(b.c(0xff, 8), y), b.Slt(b.c(1, 8), y)));
  // Equalities of bit ranges against constants.
  Expression* hiEq = b.Eq(b.Extract(x, 7, 4), b.bin("0011"));
  EXPECT_TRUE(implies(hiEq, b.Ult(x, b.bin("01000000"))));
  Expression* loEq = b.Eq(b.Extract(x, 3, 0), b.bin("0011"));
  EXPECT_TRUE(implies(loEq, b.Ult(x, b.bin("11110100"))));
  EXPECT_FALSE(implies(loEq, b.Ult(x, b.bin("00000100"))));
  // The constant on the left of the equality works as well.
  EXPECT_TRUE(implies(b.Eq(b.bin("0011"), b.Extract(x, 7, 4)), b.Ult(x, b.bin("01000000"))));
  // x[7:4] = 0100 forces 00111111 < x.
  EXPECT_TRUE(implies(b.Eq(b.Extract(x, 7, 4), b.bin("0100")), b.Ult(b.bin("00111111"), x)));
  EXPECT_FALSE(implies(b.Eq(b.Extract(x, 7, 4), b.bin("0100")), b.Ult(b.bin("01000000"), x)));
}

TEST(StructuralRelations, Contradictions) {
  Builder b;
  Expression* x = b.var(8);
  Expression* y = b.var(8);
  Expression* eq = b.Eq(x, y);
  EXPECT_TRUE(contradicts(eq, b.Ult(x, y)));
  EXPECT_TRUE(contradicts(eq, b.Slt(y, x)));
  EXPECT_TRUE(contradicts(b.Ult(x, b.c(3, 8)), b.Ult(b.c(5, 8), x)));
  EXPECT_FALSE(contradicts(b.Ult(x, b.c(5, 8)), b.Ult(b.c(3, 8), x)));
  EXPECT_TRUE(contradicts(b.Eq(x, b.c(0, 8)), b.Eq(x, b.c(1, 8))));
  Expression* p = b.var(1);
  EXPECT_TRUE(contradicts(b.Not(p), p));
  EXPECT_TRUE(contradicts(p, b.Not(p)));
  EXPECT_FALSE(contradicts(p, p));
  EXPECT_TRUE(contradicts(b.Ult(x, y), b.Ult(y, x)));
  // Overlapping ranges with different constant bits.
  EXPECT_TRUE(contradicts(b.Eq(b.Extract(x, 7, 4), b.bin("0011")), b.Eq(b.Extract(x, 5, 2), b.bin("0000"))));
  EXPECT_FALSE(contradicts(b.Eq(b.Extract(x, 7, 4), b.bin("0011")), b.Eq(b.Extract(x, 5, 2), b.bin("1100"))));
  // x = 5 and 7 <u x.
  EXPECT_TRUE(contradicts(b.Eq(x, b.c(5, 8)), b.Ult(b.c(7, 8), x)));
  EXPECT_TRUE(contradictsAnd(b.And(p, b.Eq(x, b.c(0, 8))), b.Eq(x, b.c(1, 8))));
}

namespace {

// Variables of widths 1 to 4: 10 bits, 1024 assignments.
constexpr uint32_t kAssignments = 1024;
const uint32_t kVarShift[5] = {0, 0, 1, 3, 6};

// Truth tables: the value of every node under each of the 1024 assignments.
class Evaluator {
 public:
  Evaluator(const std::vector<Expression*>& vars, const std::vector<Expression*>& nodes) {
    ev.collect(nodes);
    tables.assign(ev.order.size(), std::vector<uint8_t>(kAssignments));
    for (uint32_t a = 0; a < kAssignments; ++a) {
      auto variable = [&](const Expression* e, varnok_test::Value& out) {
        for (uint32_t w = 1; w <= 4; ++w)
          if (vars[w - 1] == e) {
            out.v = (a >> kVarShift[w]) & ((1u << w) - 1);
            return true;
          }
        return false;
      };
      EXPECT_TRUE(ev.run(variable)) << ev.error;
      for (size_t i = 0; i < ev.order.size(); ++i) tables[i][a] = static_cast<uint8_t>(ev.values[i].v);
    }
  }
  const std::vector<uint8_t>& table(Expression* e) const { return tables[ev.slot.at(e)]; }

 private:
  varnok_test::GraphEvaluator ev;
  std::vector<std::vector<uint8_t>> tables;
};

class TermGenerator {
 public:
  TermGenerator(Builder& b, std::mt19937& rng) : b_(b), rng_(rng) {
    for (uint32_t w = 1; w <= 4; ++w) vars_.push_back(b_.var(w));
  }
  const std::vector<Expression*>& vars() const { return vars_; }

  // A term of width w (1 to 6).
  Expression* term(uint32_t w, int depth) {
    if (depth <= 0 || pick(10) < 3) return leaf(w);
    if (w == 1 && pick(3) == 0) return predicate(depth);
    switch (pick(10)) {
      case 0: return b_.Not(term(w, depth - 1));
      case 1:
        return b_.And(term(w, depth - 1), term(w, depth - 1));
      case 2: return b_.Neg(term(w, depth - 1));
      case 3:
        return b_.Add(term(w, depth - 1), pick(2) ? constant(w) : term(w, depth - 1));
      case 4: return b_.Mul(term(w, depth - 1), term(w, depth - 1));
      case 5:
        return b_.Ite(term(1, depth - 1), term(w, depth - 1), term(w, depth - 1));
      case 6:
        if (w >= 2) {
          const uint32_t h = 1 + pick(w - 1);
          return b_.Concat(term(h, depth - 1), term(w - h, depth - 1));
        }
        return b_.Not(term(w, depth - 1));
      case 7:
        if (w < 6) {
          const uint32_t extra = 1 + pick(6 - w);
          const uint32_t lo = pick(extra + 1);
          return b_.Extract(term(w + extra, depth - 1), lo + w - 1, lo);
        }
        return b_.And(term(w, depth - 1), constant(w));
      case 8: return b_.And(term(w, depth - 1), constant(w));
      default: return b_.Add(leaf(w), constant(w));
    }
  }

  // A one-bit formula built to meet the comparison and range rules.
  Expression* predicate(int depth) {
    const uint32_t w = 1 + pick(4);
    switch (pick(6)) {
      case 0: return b_.Eq(range(), rangeConstant());
      case 1:
        return pick(2) ? b_.Ult(vars_[3], constant(4)) : b_.Ult(constant(4), vars_[3]);
      case 2: return pick(2) ? b_.Slt(vars_[3], constant(4)) : b_.Slt(constant(4), vars_[3]);
      case 3:
        return b_.Eq(term(w, depth - 1), term(w, depth - 1));
      case 4:
        return pick(2) ? b_.Ult(term(w, depth - 1), term(w, depth - 1))
                       : b_.Slt(term(w, depth - 1), term(w, depth - 1));
      default: return b_.Eq(vars_[3], constant(4));
    }
  }

 private:
  uint32_t pick(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_); }
  Expression* constant(uint32_t w) { return b_.c(pick(1u << w), w); }
  // A bit range of the 4-bit variable, with a constant of its width kept for
  // the equality beside it.
  Expression* range() {
    const uint32_t hi = pick(4);
    const uint32_t lo = pick(hi + 1);
    lastRangeWidth_ = hi - lo + 1;
    if (hi == 3 && lo == 0) return vars_[3];
    return b_.Extract(vars_[3], hi, lo);
  }
  Expression* rangeConstant() { return constant(lastRangeWidth_); }
  Expression* leaf(uint32_t w) {
    switch (pick(4)) {
      case 0: return constant(w);
      case 1:
        if (w < 4) {
          const uint32_t lo = pick(4 - w + 1);
          return b_.Extract(vars_[3], lo + w - 1, lo);
        }
        break;
      default: break;
    }
    if (w <= 4) return vars_[w - 1];
    return b_.Concat(vars_[w - 5], vars_[3]);
  }

  Builder& b_;
  std::mt19937& rng_;
  std::vector<Expression*> vars_;
  uint32_t lastRangeWidth_ = 1;
};

bool reachable(Expression* a, Expression* b) {
  std::vector<Expression*> stack{b};
  std::unordered_set<Expression*> seen{b};
  while (!stack.empty()) {
    Expression* n = stack.back();
    stack.pop_back();
    if (n == a) return true;
    for (uint32_t k = 0; k < n->getArity(); ++k)
      if (seen.insert(n->getChild(k)).second) stack.push_back(n->getChild(k));
  }
  return false;
}

}  // namespace

TEST(StructuralRelations, EveryTrueAnswerIsSound) {
  Builder b;
  std::mt19937 rng(20261206);
  TermGenerator gen(b, rng);

  std::vector<std::vector<Expression*>> pools(5);
#ifdef VARNOK_SANITIZED
  const int boolTerms = 150, wideTerms = 60;
#else
  const int boolTerms = 450, wideTerms = 160;
#endif
  for (int i = 0; i < boolTerms; ++i) {
    Expression* t = gen.term(1, 3);
    pools[1].push_back(t);
    if (i % 3 == 0) pools[1].push_back(b.Not(t));
  }
  for (uint32_t w = 2; w <= 4; ++w)
    for (int i = 0; i < wideTerms; ++i) {
      Expression* t = gen.term(w, 3);
      pools[w].push_back(t);
      if (i % 4 == 0) pools[w].push_back(b.Not(t));
      if (i % 4 == 1) pools[w].push_back(b.Neg(t));
    }

  std::vector<Expression*> everything(gen.vars());
  for (const auto& pool : pools) everything.insert(everything.end(), pool.begin(), pool.end());
  const Evaluator ev(gen.vars(), everything);
  std::map<std::string, long> proved;
  auto check = [&](const char* name, bool claimed, Expression* a, Expression* c,
                   const std::function<bool(uint8_t, uint8_t, uint32_t)>& holds) {
    if (!claimed) return;
    ++proved[name];
    const std::vector<uint8_t>& ta = ev.table(a);
    const std::vector<uint8_t>& tc = ev.table(c);
    for (uint32_t s = 0; s < kAssignments; ++s) {
      if (!holds(ta[s], tc[s], a->getWidth())) {
        ADD_FAILURE() << name << " claimed for " << toString(a) << "#" << a->getId() << " and " << toString(c)
                      << "#" << c->getId() << " but fails under assignment " << s;
        return;
      }
    }
  };
  auto mask = [](uint32_t w) { return static_cast<uint8_t>((1u << w) - 1); };

  for (uint32_t w = 1; w <= 4; ++w) {
    const std::vector<Expression*>& pool = pools[w];
    for (Expression* a : pool) {
      for (Expression* c : pool) {
        check("areProvablyDistinct", areProvablyDistinct(a, c), a, c,
              [](uint8_t x, uint8_t y, uint32_t) { return x != y; });
        check("isNegationOf", isNegationOf(a, c), a, c,
              [&](uint8_t x, uint8_t y, uint32_t cw) { return static_cast<uint8_t>(~x & mask(cw)) == y; });
        check("isArithmeticNegationOf", isArithmeticNegationOf(a, c), a, c,
              [&](uint8_t x, uint8_t y, uint32_t cw) { return static_cast<uint8_t>((0u - x) & mask(cw)) == y; });
        if (w != 1) continue;
        check("implies", implies(a, c), a, c, [](uint8_t x, uint8_t y, uint32_t) { return !x || y; });
        check("impliesAnd", impliesAnd(a, c), a, c, [](uint8_t x, uint8_t y, uint32_t) { return !x || y; });
        check("negationImplies", negationImplies(a, c), a, c,
              [](uint8_t x, uint8_t y, uint32_t) { return x || y; });
        check("contradicts", contradicts(a, c), a, c, [](uint8_t x, uint8_t y, uint32_t) { return !(x && y); });
        check("contradictsAnd", contradictsAnd(a, c), a, c,
              [](uint8_t x, uint8_t y, uint32_t) { return !(x && y); });
      }
    }
  }
  // occursIn is exact (including its shortcut on depths): compare with plain
  // reachability on every pair of a sample across widths.
  std::vector<Expression*> all;
  for (uint32_t w = 1; w <= 4; ++w)
    for (size_t i = 0; i < pools[w].size(); i += 3) all.push_back(pools[w][i]);
  for (Expression* v : gen.vars()) all.push_back(v);
  long occurs = 0;
  for (Expression* a : all)
    for (Expression* c : all) {
      const bool r = reachable(a, c);
      ASSERT_EQ(occursIn(a, c), r) << toString(a) << " in " << toString(c);
      occurs += r;
    }

  // The test must exercise the rules, not pass vacuously.
  for (const char* name : {"areProvablyDistinct", "isNegationOf", "isArithmeticNegationOf", "implies",
                           "impliesAnd", "negationImplies", "contradicts", "contradictsAnd"})
    EXPECT_GT(proved[name], 0) << name << " never answered true";
  EXPECT_GT(occurs, static_cast<long>(all.size()));
}

// Constant bits are compared run by run over the leaves of concatenation
// trees: a long chain of one-bit parts against a constant must be decided
// correctly (and quickly: the equality maker asks at every level as it splits).
TEST(StructuralRelations, LongConcatenationChainsAgainstConstants) {
  ExpressionManager m;
  const uint32_t n = VARNOK_CHAIN_PARTS;
  // chain = concat(b_{n-1}, ..., concat(b_1, b_0)) with bit 700 a constant 1.
  ExpressionRef chain;
  m.makeVariable(chain, 1, nullptr);
  for (uint32_t i = 1; i < n; ++i) {
    ExpressionRef bit, r;
    if (i == 700)
      m.makeConstantFromUInt64(bit, 1, 1);
    else
      m.makeVariable(bit, 1, nullptr);
    ExpressionRef low = chain;
    m.makeConcat(r, &bit, &low);
    ASSERT_TRUE(r);
    chain = r;
  }
  ExpressionRef zero, ones;
  m.makeConstantFromUInt64(zero, 0, n);
  BitVector allOnes(n);
  allOnes.setAllOnes();
  m.makeConstant(ones, allOnes);
  EXPECT_TRUE(areProvablyDistinct(chain.get(), zero.get()));
  EXPECT_FALSE(areProvablyDistinct(chain.get(), ones.get()));
  // The equality with zero folds to false through the constant bit.
  ExpressionRef eq, c = chain, z = zero;
  m.makeEqual(eq, &c, &z);
  ASSERT_TRUE(eq);
  EXPECT_TRUE(eq->isZero());
  // Against all ones nothing is proved, and the maker still finishes.
  ExpressionRef eq2, c2 = chain, o = ones;
  m.makeEqual(eq2, &c2, &o);
  ASSERT_TRUE(eq2);
  EXPECT_FALSE(eq2->isZero());
}
