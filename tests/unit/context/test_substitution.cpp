// Variable substitution: random definition systems against enumeration, the recorded definition shapes, how a
// pass applies them (representatives, rebuilt users, chains, cycles), models of eliminated variables.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/api_terms.h"
#include "varnok.h"
#include "varnok/context/solver_access.h"
#include "varnok/context/substitution.h"
#include "varnok/node/expression.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"

namespace {

using VARNOK::Expression;
using VARNOK::Solver;
using varnok_test::constant;
using varnok_test::valueOf;

const std::list<varnok::ExpressionRef>* candidates(Solver& s, const Expression& x) {
  return varnok::solverContext(s).getManager().getSubstitution()->getCandidates(x.getNode());
}

varnok::Expression* representative(const Expression& e) { return varnok::getRepresentative(e.getNode()); }

// Random systems x_i = f(x_j, ...) over three 4-bit variables (cycles are common): the answer matches
// enumeration with substitution on and off, and the model of every variable satisfies the system.
TEST(SubstitutionRandom, DefinitionSystemsAgreeWithEnumeration) {
#ifdef VARNOK_SANITIZED
  const unsigned instances = 300;
#else
  const unsigned instances = 3000;
#endif
  using namespace varnok_test;
  Signature sig;
  sig.bvWidths = {4, 4, 4};
  unsigned substituted = 0;
  for (unsigned n = 0; n < instances; ++n) {
    std::mt19937_64 rng(0xd3f00000u + n);
    std::vector<Node> nodes;
    Generator gen(rng, sig, nodes);
    std::vector<int> system;
    for (unsigned k = 0, count = 2 + gen.pick(4); k < count; ++k)
      system.push_back(gen.mk(EQ, 1, {gen.variable(gen.pick(3)), gen.bv(4, 1 + static_cast<int>(gen.pick(2)))}));
    const bool expected = someAssignmentSatisfies(sig, nodes, system);
    for (bool on : {true, false}) {
      Solver s;
      ASSERT_TRUE(s.setSubstitution(on));
      std::vector<Expression> vars;
      for (unsigned i = 0; i < 3; ++i) vars.push_back(s.makeVariable(4, nullptr));
      for (int f : system) ASSERT_TRUE(s.assertFormula(build(s, nodes, f, vars, {})));
      VARNOK::SolveResult r = s.solve();
      ASSERT_EQ(r, expected ? VARNOK::SOLVE_SAT : VARNOK::SOLVE_UNSAT) << "instance " << n << " substitution " << on;
      if (r != VARNOK::SOLVE_SAT) continue;
      Assignment a;
      ASSERT_TRUE(s.prepareModel(vars));
      for (auto& v : vars) {
        a.emplace_back();
        a.back().v = valueOf(s, v, false);
        if (on && v.getNode()->isForwarding()) ++substituted;
      }
      ASSERT_TRUE(allTrue(nodes, a, system)) << "instance " << n;
    }
  }
  EXPECT_GT(substituted, instances / 2);
}

TEST(SubstitutionCollect, ExtractsAndBitsWidenWithFreshVariables) {
  // extract(x, 5, 2) = t defines x as cat(fresh(2), t, fresh(2)), and so on.
  struct Row {
    uint32_t hi, lo;
    std::vector<int> parts;  // widths, most significant first; 0 for t
  };
  for (const Row& r : {Row{3, 0, {4, 0}}, Row{7, 4, {0, 4}}, Row{5, 2, {2, 0, 2}}, Row{7, 0, {0}}}) {
    Solver s;
    Expression x = s.makeVariable(8, "x"), t = s.makeVariable(r.hi - r.lo + 1, "t");
    ASSERT_TRUE(s.assertFormula(s.makeEqual(s.makeExtract(x, r.hi, r.lo), t)));
    ASSERT_NE(candidates(s, x), nullptr) << r.hi;
    std::vector<varnok::Expression*> parts, stack{candidates(s, x)->front().get()};
    while (!stack.empty()) {
      varnok::Expression* n = stack.back();
      stack.pop_back();
      if (n->getKind() != varnok::KIND_CONCAT) parts.push_back(n);
      else stack.insert(stack.end(), {n->getChild1(), n->getChild0()});
    }
    ASSERT_EQ(parts.size(), r.parts.size()) << r.hi;
    for (size_t i = 0; i < parts.size(); ++i) {
      EXPECT_TRUE(r.parts[i] == 0 ? parts[i] == t.getNode()
                                  : parts[i]->getKind() == varnok::KIND_VARIABLE &&
                                        parts[i]->getWidth() == uint32_t(r.parts[i]))
          << r.hi << " part " << i;
    }
    ASSERT_TRUE(s.assertFormula(s.makeEqual(t, constant(s, 5, r.hi - r.lo + 1))));
    ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
    EXPECT_EQ((valueOf(s, x) >> r.lo) & ((2u << (r.hi - r.lo)) - 1), 5u) << r.hi;
  }
  // Asserted single bits and Booleans.
  Solver s;
  Expression x = s.makeVariable(8, "x"), p = s.makeVariable(1, "p"), q = s.makeVariable(1, "q");
  for (const Expression& f : {s.makeExtract(x, 3, 3), s.makeNot(s.makeExtract(x, 0, 0)),
                              s.makeNot(s.makeExtract(x, 7, 7)), s.makeUGT(x, constant(s, 100, 8)), p, s.makeNot(q)})
    ASSERT_TRUE(s.assertFormula(f));
  EXPECT_TRUE(candidates(s, p)->front()->isOne() && candidates(s, q)->front()->isZero());
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_TRUE((valueOf(s, x) & 0x89u) == 8u && valueOf(s, x) > 100u);
  EXPECT_EQ(valueOf(s, p) * 2 + valueOf(s, q), 2u);
}

TEST(SubstitutionCollect, SelfReferencesAndBlastedVariablesGetNoCandidate) {
  Solver s;
  Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y"), z = s.makeVariable(8, "z");
  ASSERT_TRUE(s.assertFormula(s.makeULT(y, z)));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  ASSERT_TRUE(y.getNode()->isBitBlasted());
  ASSERT_TRUE(s.assertFormula(s.makeEqual(y, constant(s, 9, 8))));
  EXPECT_EQ(candidates(s, y), nullptr);
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_TRUE(valueOf(s, y) == 9u && valueOf(s, z) > 9u);
  // x * x - x is even: x * x + 3 = x has no solution.
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, s.makeAdd(s.makeMul(x, x), constant(s, 3, 8)))));
  EXPECT_EQ(candidates(s, x), nullptr);
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNSAT);
}

TEST(SubstitutionApply, VariablesForwardToDefinitionsAndUsersAreRebuilt) {
  Solver s;
  Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y"), u = s.makeVariable(8, "u"),
             v = s.makeVariable(8, "v");
  Expression sum = s.makeAdd(y, constant(s, 3, 8)), use = s.makeULT(x, constant(s, 10, 8));
  // u = v, a variable equation: exactly one side is substituted.
  for (const Expression& f :
       {s.makeEqual(x, sum), use, s.makeEqual(u, v), s.makeEqual(s.makeAdd(u, v), constant(s, 10, 8))})
    ASSERT_TRUE(s.assertFormula(f));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_TRUE(representative(x) == sum.getNode() && use.getNode()->isForwarding());
  const std::uint64_t vx = valueOf(s, x), vy = valueOf(s, y);
  EXPECT_TRUE(vx == ((vy + 3) & 255) && vx < 10u) << vx << " " << vy;
  // New makers see the representative.
  EXPECT_EQ(s.makeAdd(x, constant(s, 0, 8)), sum);
  EXPECT_TRUE(u.getNode()->isForwarding() != v.getNode()->isForwarding() && representative(u) == representative(v));
  EXPECT_TRUE(valueOf(s, u) == valueOf(s, v) && ((2 * valueOf(s, u)) & 255) == 10u);
}

TEST(SubstitutionApply, ChainsAndCyclesAreResolvedInOneRun) {
  // x = y + 1, y = z * 2, z = 3: rebuilt formulas feed the following passes of the same run; everything folds.
  Solver s;
  Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y"), z = s.makeVariable(8, "z");
  for (const Expression& f : {s.makeEqual(x, s.makeAdd(y, constant(s, 1, 8))),
                              s.makeEqual(y, s.makeMul(z, constant(s, 2, 8))), s.makeEqual(z, constant(s, 3, 8))})
    ASSERT_TRUE(s.assertFormula(f));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(representative(x)->getKind(), varnok::KIND_CONSTANT);
  EXPECT_EQ(valueOf(s, x) * 10000 + valueOf(s, y) * 100 + valueOf(s, z), 70603u);
  EXPECT_EQ(varnok::getRepresentative(varnok::solverContext(s).getManager().getRoot().get())->getKind(),
            varnok::KIND_CONSTANT);
  // a = b + 1, b = c + 1, c = a - 2 closes a cycle; c takes c = d when its term definition is given up.
  Solver t;
  Expression a = t.makeVariable(8, "a"), b = t.makeVariable(8, "b"), c = t.makeVariable(8, "c"),
             d = t.makeVariable(8, "d");
  for (const Expression& f : {t.makeEqual(a, t.makeAdd(b, constant(t, 1, 8))),
                              t.makeEqual(b, t.makeAdd(c, constant(t, 1, 8))), t.makeEqual(c, d),
                              t.makeEqual(c, t.makeSub(a, constant(t, 2, 8))), t.makeEqual(d, constant(t, 40, 8))})
    ASSERT_TRUE(t.assertFormula(f));
  ASSERT_EQ(t.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(valueOf(t, a) * 1000000 + valueOf(t, b) * 10000 + valueOf(t, c) * 100 + valueOf(t, d), 42414040u);
}

TEST(SubstitutionApply, PairPatternDefinesComplement) {
  // not(p and q) and not(not p and not q): exactly one of p, q holds; negated: p and q are equal.
  for (bool negated : {false, true}) {
    Solver s;
    Expression p = s.makeVariable(1, "p"), q = s.makeVariable(1, "q");
    Expression f = s.makeAnd(s.makeNot(s.makeAnd(p, q)), s.makeNot(s.makeAnd(s.makeNot(p), s.makeNot(q))));
    ASSERT_TRUE(s.assertFormula(negated ? s.makeNot(f) : f));
    for (bool value : {true, false}) {
      ASSERT_TRUE(s.assumeFormula(value ? p : s.makeNot(p)));
      ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
      EXPECT_EQ(valueOf(s, q), uint64_t(value == negated));
    }
  }
}

TEST(SubstitutionApply, DeepChainsDoNotExhaustTheStack) {
  // x0 = x1 + 1, x1 = x2 + 1, ...: every walk is iterative.
#ifdef VARNOK_SANITIZED
  const unsigned n = 3000;
#else
  const unsigned n = 20000;
#endif
  Solver s;
  std::vector<Expression> xs;
  for (unsigned i = 0; i <= n; ++i) xs.push_back(s.makeVariable(16, nullptr));
  Expression one = constant(s, 1, 16);
  for (unsigned i = 0; i < n; ++i) ASSERT_TRUE(s.assertFormula(s.makeEqual(xs[i], s.makeAdd(xs[i + 1], one))));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(xs[n], constant(s, 5, 16))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(valueOf(s, xs[0]), (5u + n) & 0xFFFF);
}

}  // namespace
