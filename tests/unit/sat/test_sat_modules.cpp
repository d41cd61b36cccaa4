// The module protocol of the module-aware back ends: modules hear every
// (un)assignment of their variables, propagate implications and conflicts,
// and may steer decisions.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "sat/adapters.h"
#include "sat/sat_solver.h"
#include "support/sat_backend_tests.h"

using namespace varnok::sat;
using sat_backend_tests::Clause;

namespace {

int pos(int v) { return 2 * v; }
int neg(int v) { return 2 * v + 1; }

// A module on a list of variables that keeps its own view of their values
// (-1 unknown, 0 false, 1 true) from assigned/unassigned, and answers
// propagate and decide by the given rules over that view.
class TestModule : public varnok::ModuleCallbacks {
 public:
  using Rule = std::function<int(TestModule&, std::vector<int>& reason, int& implied)>;
  using Steer = std::function<bool(TestModule&, int& variable, int& polarity)>;
  TestModule(std::vector<int> vars, Rule rule, Steer steer = nullptr)
      : vars(vars), view(vars.size(), -1), rule_(rule), steer_(steer), nodes_(vars.size()) {}
  bool registerWith(Solver& solver) {
    bool ok = true;
    for (ModuleCallbackNode& n : nodes_) n.module = this;
    for (size_t i = 0; i < vars.size(); i++) ok = solver.addModuleCallback(vars[i], &nodes_[i]) && ok;
    return ok;
  }
  int valueOf(int var) const {
    for (size_t i = 0; i < vars.size(); i++) {
      if (vars[i] == var) return view[i];
    }
    return -1;
  }
  bool isTrue(int lit) const { return valueOf(lit >> 1) == ((lit & 1) ? 0 : 1); }

  void assigned(ModuleCallbackNode* node, bool value) override {
    unbalanced += view[node - nodes_.data()] != -1;
    view[node - nodes_.data()] = value ? 1 : 0;
  }
  void unassigned(ModuleCallbackNode* node) override {
    unbalanced += view[node - nodes_.data()] == -1;
    view[node - nodes_.data()] = -1;
  }
  int propagate(std::vector<int>& reason, int& implied) override {
    return rule_(*this, reason, implied);
  }
  bool decide(int& variable, int& polarity) override {
    asked++;
    return steer_ && steer_(*this, variable, polarity);
  }

  // The module's view must equal the solver's current assignment.
  ::testing::AssertionResult viewMatches(const Solver& solver) const {
    for (size_t i = 0; i < vars.size(); i++) {
      if (!nodes_[i].isLinked()) continue;  // a refused registration links nothing
      int expected = solver.value(pos(vars[i])), seen = view[i] == -1 ? 0 : 2 * view[i] - 1;
      if (expected != seen)
        return ::testing::AssertionFailure() << "variable " << vars[i] << ": solver " << expected << ", module " << seen;
    }
    if (unbalanced != 0) return ::testing::AssertionFailure() << "unbalanced assigned/unassigned calls";
    return ::testing::AssertionSuccess();
  }

  std::vector<int> vars;
  std::vector<int> view;
  long asked = 0, unbalanced = 0;

 private:
  Rule rule_;
  Steer steer_;
  std::vector<ModuleCallbackNode> nodes_;  // (moved with the module: same addresses)
};

// "Exactly one of the variables is true", enforced only through the module
// protocol; with `steer` it proposes the first open variable, positive.
TestModule exactlyOne(const std::vector<int>& vars, bool steer) {
  auto rule = [](TestModule& m, std::vector<int>& reason, int& implied) {
    std::vector<int> trues, open;
    for (size_t i = 0; i < m.vars.size(); i++) {
      if (m.view[i] == 1) trues.push_back(m.vars[i]);
      if (m.view[i] == -1) open.push_back(m.vars[i]);
    }
    if (trues.size() >= 2) return reason = {pos(trues[0]), pos(trues[1])}, 2;
    if (trues.size() == 1) return open.empty() ? 0 : (reason = {pos(trues[0])}, implied = neg(open[0]), 1);
    if (open.size() > 1) return 0;
    for (int v : m.vars) {
      if (open.empty() || v != open[0]) reason.push_back(neg(v));
    }
    return open.empty() ? 2 : (implied = pos(open[0]), 1);
  };
  auto first_open = [](TestModule& m, int& variable, int& polarity) {
    for (size_t i = 0; i < m.vars.size(); i++) {
      if (m.view[i] == -1) return variable = m.vars[i], polarity = -1, true;  // -1: positive literal
    }
    return false;
  };
  return TestModule(vars, rule, steer ? TestModule::Steer(first_open) : nullptr);
}

// Implies `then` (with reason `if`) whenever variable `if` is true; with
// `unconditional`, as soon as `if` has any value and with an empty reason.
// It never reports a conflict itself.
TestModule implication(int if_var, int then, bool unconditional = false) {
  return TestModule({then >> 1, if_var}, [=](TestModule& m, std::vector<int>& reason, int& implied) {
    if (m.valueOf(if_var) != 1 && !(unconditional && m.valueOf(if_var) == 0)) return 0;
    if (!unconditional) reason = {pos(if_var)};
    implied = then;
    return 1;
  });
}

// Reports a conflict with the given reason whenever the trigger variable is
// true and every reason literal is true (an empty reason: unconditionally).
TestModule conflict(int trigger, std::vector<int> reason) {
  std::vector<int> vars = {trigger};
  for (int l : reason) {
    if ((l >> 1) != trigger) vars.push_back(l >> 1);
  }
  return TestModule(vars, [=](TestModule& m, std::vector<int>& out, int&) {
    if (m.valueOf(trigger) != 1) return 0;
    for (int l : reason) {
      if (!m.isTrue(l)) return 0;
    }
    return out = reason, 2;
  });
}

// Proposes a fixed decision every time it is asked.
TestModule proposing(int on_var, int variable, int polarity) {
  return TestModule(
      {on_var}, [](TestModule&, std::vector<int>&, int&) { return 0; },
      [=](TestModule&, int& v, int& p) { return v = variable, p = polarity, true; });
}

const std::function<Solver*()> kFactories[] = {[] { return (Solver*)new MiniSatCoreModified(); },
                                               [] { return (Solver*)new MiniSatSimpModified(); }};

// A fresh solver of `factory` with `vars` variables and the given clauses.
std::unique_ptr<Solver> make(const std::function<Solver*()>& factory, int vars, const std::vector<Clause>& clauses) {
  std::unique_ptr<Solver> s(factory());
  s->ensureVars(vars);
  for (const Clause& c : clauses) s->addClause(c);
  return s;
}

// Random CNF plus exactly-one modules registered at random points between
// solves (some on variables already fixed by unit clauses). Answers are
// compared with brute force over the clauses plus the constraints as
// clauses; models must satisfy both; the modules' views must match the
// solver's assignment after each solve.
TEST(SatModules, ExactlyOneFuzz) {
  uint32_t seed = 101;
  for (const auto& factory : kFactories) {
    std::mt19937 rng(seed++);
    sat_backend_tests::Volume volume;
    for (int round = 0; round < sat_backend_tests::rounds(4000, 400); round++) {
      int vars = std::uniform_int_distribution<int>(4, 16)(rng);
      std::unique_ptr<Solver> solver = make(factory, vars, {});
      std::vector<Clause> clauses, reference;
      std::deque<TestModule> modules;
      for (int step = 0; step < 12; step++) {
        int op = (int)(rng() % 4);
        if (op == 0) {
          std::vector<int> group(vars);  // 2 to 5 distinct variables
          for (int v = 0; v < vars; v++) group[v] = v;
          std::shuffle(group.begin(), group.end(), rng);
          group.resize(std::uniform_int_distribution<int>(2, std::min(5, vars))(rng));
          modules.push_back(exactlyOne(group, (rng() & 1) != 0));
          reference.emplace_back();
          for (int v : group) reference.back().push_back(pos(v));
          for (size_t i = 0; i < group.size(); i++)
            for (size_t j = i + 1; j < group.size(); j++) reference.push_back({neg(group[i]), neg(group[j])});
          // Refusal is only allowed when the constraints are unsatisfiable.
          EXPECT_TRUE(modules.back().registerWith(*solver) || !sat_backend_tests::referenceSat(reference, {}))
              << sat_backend_tests::at(seed, round);
        } else if (op == 1) {
          for (int k = 0; k < 3; k++) {
            clauses.push_back(sat_backend_tests::randomClause(rng, vars, (rng() % 6) == 0 ? 1 : 2, 3));
            reference.push_back(clauses.back());
            solver->addClause(clauses.back());
          }
        } else {
          Clause assumptions = sat_backend_tests::randomAssumptions(rng, vars, 3);
          bool expected = sat_backend_tests::referenceSat(reference, assumptions);
          ASSERT_TRUE(sat_backend_tests::solveAndCheck(*solver, reference, assumptions, expected,
                                                       sat_backend_tests::at(seed, round, step), volume));
          for (const TestModule& m : modules) ASSERT_TRUE(m.viewMatches(*solver));
        }
      }
    }
    EXPECT_GT(volume.sat, 0);
    EXPECT_GT(volume.unsat, 0);
  }
}

TEST(SatModules, LevelZeroImplications) {
  for (const auto& factory : kFactories) {
    // x0 is decided at some level > 0 (under an assumption); the module
    // implies x5 with an empty reason: x5 goes on the trail at level 0 and
    // stays when everything above level 0 is undone.
    std::unique_ptr<Solver> solver = make(factory, 6, {{pos(1), pos(2), pos(3)}, {neg(1), neg(2)}});
    TestModule m = implication(0, pos(5), true);
    ASSERT_TRUE(m.registerWith(*solver));
    EXPECT_EQ(0, solver->solve({pos(1), pos(0)}));
    EXPECT_EQ(1, solver->modelValue(pos(5)));
    EXPECT_EQ(0, solver->value(pos(0)));
    EXPECT_EQ(1, solver->value(pos(5)));
    EXPECT_EQ(1, solver->solve({neg(5)}));
    EXPECT_EQ(0, solver->solve({neg(0)}));
    EXPECT_EQ(1, solver->modelValue(pos(5)));

    // Registered on a variable assigned at level 0, the module is consulted
    // at once: x3 at level 0, propagated to x4 (unless the preprocessing
    // solver eliminated x4, which then comes back at the next solve).
    solver = make(factory, 0, {{pos(0)}, {neg(3), pos(4)}});
    ASSERT_EQ(0, solver->solve({}));
    TestModule u = implication(0, pos(3), true);
    EXPECT_TRUE(u.registerWith(*solver));
    EXPECT_EQ(1, solver->value(pos(3)));
    EXPECT_EQ(0, solver->solve({}));
    EXPECT_EQ(1, solver->modelValue(pos(4)));
    EXPECT_EQ(1, solver->solve({neg(4)}));
    EXPECT_EQ(0, solver->solve({}));

    // An implication whose reason only level-0 facts explain holds at level 0: under the assumption x0 the
    // module implies x1 with an empty reason, (-x1 x2) propagates x2 above level 0, and x2 implies x3.
    solver = make(factory, 4, {{neg(1), pos(2)}});
    TestModule fact = implication(0, pos(1), true), follows = implication(2, pos(3));
    ASSERT_TRUE(fact.registerWith(*solver) && follows.registerWith(*solver));
    EXPECT_EQ(0, solver->solve({pos(0)}));
    EXPECT_EQ(1, solver->value(pos(3)));
    EXPECT_EQ(1, solver->solve({neg(3)}));
  }
}

TEST(SatModules, Conflicts) {
  for (const auto& factory : kFactories) {
    // At registration: the variable is true at level 0.
    std::unique_ptr<Solver> solver = make(factory, 0, {{pos(0)}, {pos(1), pos(2)}});
    TestModule m = conflict(0, {pos(0)});
    EXPECT_FALSE(m.registerWith(*solver));
    EXPECT_EQ(1, solver->solve({}));
    EXPECT_EQ(1, solver->solve({pos(1)}));
    TestModule other = implication(1, pos(2), true);
    EXPECT_FALSE(other.registerWith(*solver));

    // During search: the reason consists of level-0 literals only.
    solver = make(factory, 0, {{pos(3)}, {pos(0), pos(1)}, {pos(0), neg(1)}});
    TestModule level0 = conflict(0, {pos(3), pos(0)});
    ASSERT_TRUE(level0.registerWith(*solver));
    EXPECT_EQ(1, solver->solve({}));
    EXPECT_EQ(1, solver->solve({neg(0)}));

    // An empty conflict reason at a higher level.
    solver = make(factory, 3, {});
    TestModule empty = conflict(0, {});
    ASSERT_TRUE(empty.registerWith(*solver));
    EXPECT_EQ(0, solver->solve({neg(0)}));
    EXPECT_EQ(1, solver->solve({pos(0)}));
    EXPECT_EQ(1, solver->solve({}));

    // A reason forbids only its combination: x0 & x1 & !x2.
    solver = make(factory, 4, {});
    TestModule combination = conflict(0, {pos(0), pos(1), neg(2)});
    ASSERT_TRUE(combination.registerWith(*solver));
    EXPECT_EQ(1, solver->solve({pos(1), neg(2), pos(0)}));
    EXPECT_EQ(0, solver->solve({pos(1), pos(0)}));
    EXPECT_EQ(1, solver->modelValue(pos(2)));
    EXPECT_EQ(0, solver->solve({pos(1), neg(2)}));
    EXPECT_EQ(-1, solver->modelValue(pos(0)));
  }
}

// An implied literal that is already false is a conflict for the solver.
TEST(SatModules, ImpliedLiteralAlreadyFalseIsAConflict) {
  for (const auto& factory : kFactories) {
    // x1 false at level 0, then at a higher level (x2 decides it first).
    for (Clause unit : {Clause{neg(1)}, Clause{neg(2), neg(1)}}) {
      std::unique_ptr<Solver> solver = make(factory, 3, {unit});
      TestModule m = implication(0, pos(1));  // x0 -> x1
      ASSERT_TRUE(m.registerWith(*solver));
      EXPECT_EQ(1, solver->solve({pos(2), pos(0)}));
      EXPECT_EQ(0, solver->solve({pos(2)}));
      EXPECT_EQ(-1, solver->modelValue(pos(0)));
    }
    // At registration: both values already fixed at level 0; an implied
    // literal that is already true changes nothing.
    for (bool then_false : {true, false}) {
      std::unique_ptr<Solver> solver = make(factory, 0, {{pos(0)}, {then_false ? neg(1) : pos(1)}});
      TestModule m = implication(0, pos(1));
      EXPECT_EQ(!then_false, m.registerWith(*solver));
      EXPECT_EQ(then_false ? 1 : 0, solver->solve({}));
    }
  }
}

TEST(SatModules, DecisionProposals) {
  for (const auto& factory : kFactories) {
    // The default polarity is negative; the proposal asks for x3 positive
    // (a second module keeps x3 from elimination).
    std::unique_ptr<Solver> solver = make(factory, 5, {});
    TestModule m = proposing(0, 3, -1), keep = proposing(3, 3, 0);
    ASSERT_TRUE(m.registerWith(*solver) && keep.registerWith(*solver));
    EXPECT_EQ(0, solver->solve({}));
    EXPECT_GT(m.asked + keep.asked, 0);
    EXPECT_EQ(1, solver->modelValue(pos(3)));

    // Proposals of an assigned variable (fixed at level 0) and of a
    // variable the solver does not have are ignored.
    solver = make(factory, 0, {{pos(1)}, {pos(0), pos(2)}, {neg(0), pos(2)}});
    TestModule assigned = proposing(0, 1, 1), unknown = proposing(2, 1000, 1);
    ASSERT_TRUE(assigned.registerWith(*solver) && unknown.registerWith(*solver));
    EXPECT_EQ(0, solver->solve({}));
    EXPECT_GT(assigned.asked + unknown.asked, 0);
    EXPECT_EQ(1, solver->modelValue(pos(1)));
    EXPECT_EQ(1, solver->modelValue(pos(2)));
    EXPECT_EQ(1, solver->solve({neg(2)}));
  }
}

TEST(SatModules, ModuleOnEliminatedVariableRestoresIt) {
  MiniSatSimpModified simp;
  // x0 occurs only in (x0 | x1) and (!x0 | x2): eliminated by the first solve.
  simp.addClause({pos(0), pos(1)});
  simp.addClause({neg(0), pos(2)});
  simp.addClause({neg(1), neg(2)});
  ASSERT_EQ(0, simp.solve({}));
  auto& s = simp.getSolver();
  ASSERT_TRUE(s.isEliminated(0));
  TestModule m = implication(0, neg(1));  // x0 -> !x1 (so x0 forces x2 and !x1)
  ASSERT_TRUE(m.registerWith(simp));
  EXPECT_EQ(0, simp.solve({}));
  EXPECT_FALSE(s.isEliminated(0));
  EXPECT_TRUE(s.decision[0]);
  EXPECT_EQ(0, simp.solve({pos(0)}));
  EXPECT_EQ(-1, simp.modelValue(pos(1)));
  EXPECT_EQ(1, simp.modelValue(pos(2)));
  EXPECT_EQ(1, simp.solve({pos(0), pos(1)}));
  // Never eliminated again.
  for (int i = 0; i < 3; i++) {
    simp.addClause({pos(5 + i), pos(6 + i)});
    EXPECT_EQ(0, simp.solve({}));
    EXPECT_FALSE(s.isEliminated(0));
  }
}

}  // namespace
