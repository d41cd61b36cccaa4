// Variable substitution: which definitions are recorded, how a pass applies
// them (representatives, rebuilt users, re-assertion), how cycles through
// definitions are broken, and that models of eliminated variables are right.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/api_terms.h"
#include "varnok.h"
#include "varnok/node/expression.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"
#include "varnok/context/solver_access.h"
#include "varnok/context/substitution.h"

namespace {

using VARNOK::Expression;
using VARNOK::Solver;

using varnok_test::constant;

using varnok_test::valueOf;

varnok::Substitution& engine(Solver& s) { return *varnok::solverContext(s).getManager().getSubstitution(); }

const std::list<varnok::ExpressionRef>* candidates(Solver& s, const Expression& x) {
  return engine(s).getCandidates(x.getNode());
}

varnok::Expression* representative(const Expression& e) { return varnok::getRepresentative(e.getNode()); }

// The operands of a tree of concatenations, most significant first.
std::vector<varnok::Expression*> concatParts(varnok::Expression* e) {
  std::vector<varnok::Expression*> out, stack{e};
  while (!stack.empty()) {
    varnok::Expression* n = stack.back();
    stack.pop_back();
    if (n->getKind() == varnok::KIND_CONCAT) {
      stack.push_back(n->getChild1());
      stack.push_back(n->getChild0());
    } else {
      out.push_back(n);
    }
  }
  return out;
}

// ------------------------------------------------------------ collecting

TEST(SubstitutionCollect, ConstantDefinitionIsFinal) {
  Solver s;
  Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, constant(s, 5, 8))));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, y)));
  auto* list = candidates(s, x);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->size(), 1u);
  EXPECT_EQ(list->front().get(), constant(s, 5, 8).getNode());
  // The second equation still defines y by x.
  auto* ylist = candidates(s, y);
  ASSERT_NE(ylist, nullptr);
  EXPECT_EQ(ylist->front().get(), x.getNode());
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(valueOf(s, x), 5u);
  EXPECT_EQ(valueOf(s, y), 5u);
  EXPECT_EQ(engine(s).getCandidateCount(), 0u);
}

TEST(SubstitutionCollect, TermsBeforeVariablesMostRecentFirst) {
  Solver s;
  Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y"), z = s.makeVariable(8, "z");
  Expression t1 = s.makeAdd(y, z), t2 = s.makeMul(y, z);
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, y)));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, t1)));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, z)));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, t2)));
  auto* list = candidates(s, x);
  ASSERT_NE(list, nullptr);
  std::vector<varnok::Expression*> order;
  for (auto& d : *list) order.push_back(d.get());
  std::vector<varnok::Expression*> expected = {t2.getNode(), t1.getNode(), y.getNode(), z.getNode()};
  EXPECT_EQ(order, expected);
}

TEST(SubstitutionCollect, SelfReferenceIsRefused) {
  Solver s;
  Expression x = s.makeVariable(8, "x");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, s.makeAdd(s.makeMul(x, x), constant(s, 3, 8)))));
  EXPECT_EQ(candidates(s, x), nullptr);
  // x*x + 3 = x has no solution at 8 bits? It has: check against brute force.
  bool any = false;
  for (unsigned v = 0; v < 256; ++v) any = any || ((v * v + 3) & 255) == v;
  EXPECT_EQ(s.solve(), any ? VARNOK::SOLVE_SAT : VARNOK::SOLVE_UNSAT);
}

TEST(SubstitutionCollect, ExtractDefinitionsWidenWithFreshVariables) {
  // extract(x, 3, 0) = t defines x as cat(fresh(4), t); extract(x, 7, 4) = t
  // as cat(t, fresh(4)).
  for (bool low : {true, false}) {
    Solver s;
    Expression x = s.makeVariable(8, "x"), t = s.makeVariable(4, "t");
    ASSERT_TRUE(s.assertFormula(s.makeEqual(low ? s.makeExtract(x, 3, 0) : s.makeExtract(x, 7, 4), t)));
    auto* list = candidates(s, x);
    ASSERT_NE(list, nullptr);
    std::vector<varnok::Expression*> parts = concatParts(list->front().get());
    ASSERT_EQ(parts.size(), 2u);
    varnok::Expression* fresh = parts[low ? 0 : 1];
    EXPECT_EQ(fresh->getKind(), varnok::KIND_VARIABLE);
    EXPECT_EQ(fresh->getWidth(), 4u);
    EXPECT_EQ(parts[low ? 1 : 0], t.getNode());
  }
  // extract(x, 7, 0) is x itself for the factory; either way x := w.
  Solver s;
  Expression x = s.makeVariable(8, "x"), w = s.makeVariable(8, "w");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(s.makeExtract(x, 7, 0), w)));
  auto* list = candidates(s, x);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->front().get(), w.getNode());
}

TEST(SubstitutionCollect, SingleBitsAndBooleans) {
  Solver s;
  Expression x = s.makeVariable(8, "x"), p = s.makeVariable(1, "p"), q = s.makeVariable(1, "q");
  ASSERT_TRUE(s.assertFormula(s.makeExtract(x, 3, 3)));
  ASSERT_TRUE(s.assertFormula(p));
  ASSERT_TRUE(s.assertFormula(s.makeNot(q)));
  varnok::Expression* d = candidates(s, x)->front().get();
  // cat(cat(fresh(4), true), fresh(3)), however the factory groups it.
  std::vector<varnok::Expression*> parts = concatParts(d);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0]->getKind(), varnok::KIND_VARIABLE);
  EXPECT_EQ(parts[0]->getWidth(), 4u);
  EXPECT_TRUE(parts[1]->isOne());
  EXPECT_EQ(parts[1]->getWidth(), 1u);
  EXPECT_EQ(parts[2]->getKind(), varnok::KIND_VARIABLE);
  EXPECT_EQ(parts[2]->getWidth(), 3u);
  EXPECT_TRUE(candidates(s, p)->front()->isOne());
  EXPECT_TRUE(candidates(s, q)->front()->isZero());
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(valueOf(s, x) & 8u, 8u);
  EXPECT_EQ(valueOf(s, p), 1u);
  EXPECT_EQ(valueOf(s, q), 0u);

  Solver t;
  Expression y = t.makeVariable(8, "y");
  ASSERT_TRUE(t.assertFormula(t.makeNot(t.makeExtract(y, 0, 0))));
  ASSERT_TRUE(t.assertFormula(t.makeNot(t.makeExtract(y, 7, 7))));
  ASSERT_TRUE(t.assertFormula(t.makeUGT(y, constant(t, 100, 8))));
  ASSERT_EQ(t.solve(), VARNOK::SOLVE_SAT);
  std::uint64_t v = valueOf(t, y);
  EXPECT_EQ(v & 0x81u, 0u);
  EXPECT_GT(v, 100u);
}

TEST(SubstitutionCollect, BlastedVariablesGetNoCandidate) {
  Solver s;
  Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y");
  ASSERT_TRUE(s.assertFormula(s.makeULT(x, y)));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  ASSERT_TRUE(x.getNode()->isBitBlasted());
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, constant(s, 9, 8))));
  EXPECT_EQ(candidates(s, x), nullptr);
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(valueOf(s, x), 9u);
  EXPECT_GT(valueOf(s, y), 9u);
}

TEST(SubstitutionCollect, SwitchedOffRecordsNothing) {
  Solver s;
  ASSERT_TRUE(s.setSubstitution(false));
  Expression x = s.makeVariable(8, "x");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, constant(s, 3, 8))));
  EXPECT_EQ(candidates(s, x), nullptr);
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_FALSE(x.getNode()->isForwarding());
  EXPECT_EQ(valueOf(s, x), 3u);
}

// --------------------------------------------------------------- applying

TEST(SubstitutionApply, VariablesForwardToDefinitions) {
  Solver s;
  Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y");
  Expression sum = s.makeAdd(y, constant(s, 3, 8));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, sum)));
  Expression use = s.makeULT(x, constant(s, 10, 8));
  ASSERT_TRUE(s.assertFormula(use));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(representative(x), sum.getNode());
  // The user of x was rebuilt over y + 3.
  EXPECT_TRUE(use.getNode()->isForwarding());
  std::uint64_t vx = valueOf(s, x), vy = valueOf(s, y);
  EXPECT_EQ(vx, (vy + 3) & 255);
  EXPECT_LT(vx, 10u);
  // New makers see the representative.
  EXPECT_EQ(s.makeAdd(x, constant(s, 0, 8)), sum);
}

TEST(SubstitutionApply, EitherSideOfAVariableEquation) {
  Solver s;
  Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, y)));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(s.makeAdd(x, y), constant(s, 10, 8))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  // Exactly one of the two was substituted.
  EXPECT_NE(x.getNode()->isForwarding(), y.getNode()->isForwarding());
  EXPECT_EQ(representative(x), representative(y));
  std::uint64_t v = valueOf(s, x);
  EXPECT_EQ(valueOf(s, y), v);
  EXPECT_EQ((2 * v) & 255, 10u);
}

TEST(SubstitutionApply, ChainsAreAppliedInOneRun) {
  // x = y + 1, y = z * 2, z = 3: re-assertion of rebuilt formulas feeds the
  // following passes of the same run.
  Solver s;
  Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y"), z = s.makeVariable(8, "z");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, s.makeAdd(y, constant(s, 1, 8)))));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(y, s.makeMul(z, constant(s, 2, 8)))));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(z, constant(s, 3, 8))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(engine(s).getCandidateCount(), 0u);
  EXPECT_EQ(representative(x)->getKind(), varnok::KIND_CONSTANT);
  EXPECT_EQ(valueOf(s, x), 7u);
  EXPECT_EQ(valueOf(s, y), 6u);
  EXPECT_EQ(valueOf(s, z), 3u);
  // Everything folded: the root is the constant true.
  EXPECT_EQ(representative(Expression(varnok::solverContext(s).getManager().getRoot().get()))->getKind(),
            varnok::KIND_CONSTANT);
}

TEST(SubstitutionApply, CyclicDefinitionsTerminate) {
  // x = y + 1 and y = x - 1: one of them keeps its definition, the other
  // stays a variable; models are right.
  Solver s;
  Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, s.makeAdd(y, constant(s, 1, 8)))));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(y, s.makeSub(x, constant(s, 1, 8)))));
  ASSERT_TRUE(s.assertFormula(s.makeUGT(x, constant(s, 200, 8))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_NE(x.getNode()->isForwarding(), y.getNode()->isForwarding());
  std::uint64_t vx = valueOf(s, x), vy = valueOf(s, y);
  EXPECT_EQ(vx, (vy + 1) & 255);
  EXPECT_GT(vx, 200u);
}

TEST(SubstitutionApply, LongerCyclesTakeTheNextCandidate) {
  // a = b + 1, b = c + 1, c = a - 2 closes a cycle; c also has the
  // variable definition c = d, which it takes when its term definition is
  // given up.
  Solver s;
  Expression a = s.makeVariable(8, "a"), b = s.makeVariable(8, "b"), c = s.makeVariable(8, "c"),
             d = s.makeVariable(8, "d");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(a, s.makeAdd(b, constant(s, 1, 8)))));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(b, s.makeAdd(c, constant(s, 1, 8)))));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(c, d)));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(c, s.makeSub(a, constant(s, 2, 8)))));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(d, constant(s, 40, 8))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(valueOf(s, d), 40u);
  EXPECT_EQ(valueOf(s, c), 40u);
  EXPECT_EQ(valueOf(s, b), 41u);
  EXPECT_EQ(valueOf(s, a), 42u);
}

TEST(SubstitutionApply, ContradictionFoundThroughSubstitution) {
  Solver s;
  Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, constant(s, 4, 8))));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(y, s.makeAdd(x, x))));
  ASSERT_TRUE(s.assertFormula(s.makeDistinct(y, constant(s, 8, 8))));
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNSAT);
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNSAT);
}

TEST(SubstitutionApply, PairPatternDefinesComplement) {
  // not(p and q) and not(not p and not q): exactly one of p, q holds.
  Solver s;
  Expression p = s.makeVariable(1, "p"), q = s.makeVariable(1, "q");
  Expression f = s.makeAnd(s.makeNot(s.makeAnd(p, q)), s.makeNot(s.makeAnd(s.makeNot(p), s.makeNot(q))));
  ASSERT_TRUE(s.assertFormula(f));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_NE(valueOf(s, p), valueOf(s, q));
  Solver t;
  Expression p2 = t.makeVariable(1, "p"), q2 = t.makeVariable(1, "q");
  Expression g = t.makeNot(t.makeAnd(t.makeNot(t.makeAnd(p2, q2)),
                                     t.makeNot(t.makeAnd(t.makeNot(p2), t.makeNot(q2)))));
  ASSERT_TRUE(t.assertFormula(g));
  ASSERT_TRUE(t.assumeFormula(p2));
  ASSERT_EQ(t.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(valueOf(t, q2), 1u);
  ASSERT_TRUE(t.assumeFormula(t.makeNot(q2)));
  ASSERT_EQ(t.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(valueOf(t, p2), 0u);
}

TEST(SubstitutionApply, ArrayEquationsSubstituteArrays) {
  Solver s;
  Expression a = s.makeArrayVariable(4, 8, "a"), b = s.makeArrayVariable(4, 8, "b");
  Expression i = s.makeVariable(4, "i");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(a, s.makeArrayWrite(b, i, constant(s, 7, 8)))));
  ASSERT_TRUE(s.assertFormula(s.makeDistinct(s.makeArrayRead(a, i), constant(s, 7, 8))));
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNSAT);
  Solver t;
  Expression a2 = t.makeArrayVariable(4, 8, "a"), b2 = t.makeArrayVariable(4, 8, "b");
  Expression j = t.makeVariable(4, "j");
  ASSERT_TRUE(t.assertFormula(t.makeEqual(a2, b2)));
  ASSERT_TRUE(t.assertFormula(t.makeEqual(t.makeArrayRead(a2, j), constant(t, 5, 8))));
  ASSERT_EQ(t.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(representative(a2), representative(b2));
  Expression rb = t.makeArrayRead(b2, j);
  EXPECT_EQ(valueOf(t, rb), 5u);
}

TEST(SubstitutionApply, AssertionsAfterACheckAreAppliedAtTheNext) {
  Solver s;
  Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y");
  ASSERT_TRUE(s.assertFormula(s.makeULT(y, constant(s, 50, 8))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, s.makeAdd(y, y))));
  ASSERT_NE(candidates(s, x), nullptr);
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_TRUE(x.getNode()->isForwarding());
  EXPECT_EQ(valueOf(s, x), (2 * valueOf(s, y)) & 255);
  ASSERT_TRUE(s.assumeFormula(s.makeEqual(x, constant(s, 99, 8))));
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNSAT);
  ASSERT_TRUE(s.assumeFormula(s.makeEqual(x, constant(s, 98, 8))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(valueOf(s, y), 49u);
}

TEST(SubstitutionApply, DeepChainsDoNotExhaustTheStack) {
  // x0 = x1 + 1, x1 = x2 + 1, ..., with a long chain of definitions and a
  // deep term: every walk is iterative.
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

// Random systems of definitions x_i = f(x_j, ...) over three 4-bit
// variables: cycles through definitions are common. The answer must match
// enumeration of all 4096 assignments, with substitution on and off, and
// the model of every variable (eliminated or not) must satisfy the system.
TEST(SubstitutionFuzz, RandomDefinitionSystems) {
#ifdef VARNOK_SANITIZED
  const unsigned instances = 300;
#else
  const unsigned instances = 3000;
#endif
  using namespace varnok_test;
  Signature sig;
  sig.bvWidths = {4, 4, 4};
  unsigned substituted = 0, sat = 0;
  for (unsigned n = 0; n < instances; ++n) {
    std::mt19937_64 rng(0xd3f00000u + n);
    std::vector<Node> nodes;
    Generator gen(rng, sig, nodes);
    std::vector<int> system;
    unsigned count = 2 + static_cast<unsigned>(rng() % 4);
    for (unsigned k = 0; k < count; ++k) {
      const int x = gen.variable(static_cast<unsigned>(rng() % 3));
      system.push_back(gen.mk(EQ, 1, {x, gen.bv(4, 1 + static_cast<int>(rng() % 2))}));
    }
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
        a.back().v = valueOf(s, v);
        if (on && v.getNode()->isForwarding()) ++substituted;
      }
      ASSERT_TRUE(allTrue(nodes, a, system)) << "instance " << n;
      if (on) ++sat;
    }
  }
  std::printf("instances %u, sat %u, variables eliminated %u\n", instances, sat, substituted);
  EXPECT_GT(substituted, instances / 2);
}

}  // namespace
