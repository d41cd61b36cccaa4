// The module protocol of the module-aware back ends: modules hear every
// assignment and unassignment of their variables, propagate implications and
// conflicts that become clauses, and may steer decisions.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

#include "sat/adapters.h"
#include "sat/sat_solver.h"
#include "support/sat_backend_tests.h"

using namespace varnok::sat;
using sat_backend_tests::Clause;

namespace {

#ifdef VARNOK_SANITIZED
const int kScale = 2;
#else
const int kScale = 20;
#endif

int pos(int v) { return 2 * v; }
int neg(int v) { return 2 * v + 1; }

// Enforces "exactly one of these variables is true" only through the module
// protocol. It keeps its own view of the values from assigned/unassigned and
// may propose decisions.
class ExactlyOneModule : public varnok::ModuleCallbacks {
 public:
  ExactlyOneModule(const std::vector<int>& vars, bool steer) : vars_(vars), steer_(steer) {
    nodes_.resize(vars.size());
    view_.assign(vars.size(), -1);
    for (ModuleCallbackNode& n : nodes_) n.module = this;
  }

  bool registerWith(Solver& solver) {
    bool ok = true;
    for (size_t i = 0; i < vars_.size(); i++) ok = solver.addModuleCallback(vars_[i], &nodes_[i]) && ok;
    return ok;
  }

  void assigned(ModuleCallbackNode* node, bool value) override {
    size_t i = index(node);
    if (view_[i] != -1) double_assignments++;
    view_[i] = value ? 1 : 0;
    assigned_calls++;
  }
  void unassigned(ModuleCallbackNode* node) override {
    size_t i = index(node);
    if (view_[i] == -1) double_unassignments++;
    view_[i] = -1;
    unassigned_calls++;
  }

  int propagate(std::vector<int>& reason, int& implied) override {
    propagate_calls++;
    std::vector<size_t> trues, open;
    for (size_t i = 0; i < vars_.size(); i++) {
      if (view_[i] == 1) trues.push_back(i);
      if (view_[i] == -1) open.push_back(i);
    }
    if (trues.size() >= 2) {
      reason = {pos(vars_[trues[0]]), pos(vars_[trues[1]])};
      return 2;
    }
    if (trues.size() == 1) {
      if (open.empty()) return 0;
      reason = {pos(vars_[trues[0]])};
      implied = neg(vars_[open[0]]);
      return 1;
    }
    if (open.empty()) {
      for (int v : vars_) reason.push_back(neg(v));
      return 2;
    }
    if (open.size() == 1) {
      for (size_t i = 0; i < vars_.size(); i++) {
        if (i != open[0]) reason.push_back(neg(vars_[i]));
      }
      implied = pos(vars_[open[0]]);
      return 1;
    }
    return 0;
  }

  bool decide(int& variable, int& polarity) override {
    if (!steer_) return false;
    for (size_t i = 0; i < vars_.size(); i++) {
      if (view_[i] == -1) {
        variable = vars_[i];
        polarity = -1;  // positive literal
        return true;
      }
    }
    return false;
  }

  // The module's view must equal the solver's current assignment.
  ::testing::AssertionResult viewMatches(const Solver& solver) const {
    for (size_t i = 0; i < vars_.size(); i++) {
      // A refused registration (unsatisfiable solver) links nothing.
      if (!nodes_[i].isLinked()) continue;
      int expected = solver.value(pos(vars_[i]));
      int seen = view_[i] == -1 ? 0 : (view_[i] == 1 ? 1 : -1);
      if (expected != seen)
        return ::testing::AssertionFailure() << "variable " << vars_[i] << ": solver " << expected << ", module "
                                             << seen;
    }
    if (double_assignments != 0 || double_unassignments != 0)
      return ::testing::AssertionFailure() << "unbalanced assigned/unassigned calls";
    return ::testing::AssertionSuccess();
  }

  bool satisfiedBy(const Solver& solver) const {
    int trues = 0;
    for (int v : vars_) trues += solver.modelValue(pos(v)) == 1;
    return trues == 1;
  }

  // The constraint as clauses, for the reference.
  void addClausesTo(std::vector<Clause>& clauses) const {
    Clause some;
    for (int v : vars_) some.push_back(pos(v));
    clauses.push_back(some);
    for (size_t i = 0; i < vars_.size(); i++) {
      for (size_t j = i + 1; j < vars_.size(); j++) clauses.push_back({neg(vars_[i]), neg(vars_[j])});
    }
  }

  long assigned_calls = 0;
  long unassigned_calls = 0;
  long propagate_calls = 0;
  long double_assignments = 0;
  long double_unassignments = 0;

 private:
  size_t index(ModuleCallbackNode* node) const { return (size_t)(node - nodes_.data()); }

  std::vector<int> vars_;
  bool steer_;
  std::vector<ModuleCallbackNode> nodes_;
  std::vector<int> view_;
};

Solver* makeCore() { return new MiniSatCoreModified(); }
Solver* makeSimp() { return new MiniSatSimpModified(); }

// Random CNF plus exactly-one modules registered at random points between
// solves (some on variables already fixed by unit clauses). Answers are
// compared with brute force over the clauses plus the constraints as
// clauses; models must satisfy both; the modules' views must match the
// solver's assignment after each solve.
void fuzzExactlyOne(Solver* (*factory)(), uint32_t seed, int rounds, long& solves) {
  std::mt19937 rng(seed);
  for (int round = 0; round < rounds; round++) {
    int vars = std::uniform_int_distribution<int>(4, 16)(rng);
    std::unique_ptr<Solver> solver(factory());
    solver->ensureVars(vars);
    std::vector<Clause> clauses;
    std::vector<Clause> reference;
    std::deque<ExactlyOneModule> modules;
    bool known_unsat = false;
    for (int step = 0; step < 12; step++) {
      int op = (int)(rng() % 4);
      if (op == 0) {
        // A module over 2 to 5 distinct variables.
        std::vector<int> group;
        int size = std::uniform_int_distribution<int>(2, std::min(5, vars))(rng);
        while ((int)group.size() < size) {
          int v = (int)(rng() % vars);
          bool dup = false;
          for (int g : group) dup = dup || g == v;
          if (!dup) group.push_back(v);
        }
        modules.emplace_back(group, (rng() & 1) != 0);
        modules.back().addClausesTo(reference);
        bool accepted = modules.back().registerWith(*solver);
        if (!accepted) {
          // Refusal is only allowed when the constraints are unsatisfiable.
          EXPECT_FALSE(sat_backend_tests::bruteForceSat(vars, reference, {}))
              << "seed " << seed << " round " << round;
          known_unsat = true;
        }
      } else if (op == 1) {
        for (int k = 0; k < 3; k++) {
          Clause c = sat_backend_tests::randomClause(rng, vars, (rng() % 6) == 0 ? 1 : 2, 3);
          clauses.push_back(c);
          reference.push_back(c);
          solver->addClause(c);
        }
      } else {
        Clause assumptions = sat_backend_tests::randomAssumptions(rng, vars, 3);
        bool expected = sat_backend_tests::bruteForceSat(vars, reference, assumptions);
        int answer = solver->solve(assumptions);
        solves++;
        ASSERT_EQ(expected ? 0 : 1, answer) << "seed " << seed << " round " << round << " step " << step << "\n"
                                             << sat_backend_tests::describe(reference, assumptions);
        if (answer == 0) {
          ASSERT_TRUE(sat_backend_tests::modelSatisfies(*solver, clauses, assumptions));
          for (const ExactlyOneModule& m : modules) ASSERT_TRUE(m.satisfiedBy(*solver));
        }
        for (const ExactlyOneModule& m : modules) ASSERT_TRUE(m.viewMatches(*solver));
        if (known_unsat) {
          ASSERT_EQ(1, answer);
        }
      }
    }
  }
}

TEST(SatModules, ExactlyOneFuzz) {
  long core = 0, simp = 0;
  fuzzExactlyOne(makeCore, 101, 200 * kScale, core);
  fuzzExactlyOne(makeSimp, 102, 200 * kScale, simp);
  std::cout << "[volume] exactly-one modules: " << core << " solves core, " << simp << " solves simp" << std::endl;
}

TEST(SatModules, CallsBalanceAndModuleClausesAreCounted) {
  for (auto factory : {makeCore, makeSimp}) {
    std::unique_ptr<Solver> solver(factory());
    solver->ensureVars(8);
    ExactlyOneModule m({0, 1, 2, 3, 4, 5}, false);
    ASSERT_TRUE(m.registerWith(*solver));
    // Force search: x6 -> not x0, x7 -> not x1 etc.
    solver->addClause({neg(6), neg(0)});
    solver->addClause({neg(7), neg(1)});
    EXPECT_EQ(0, solver->solve({pos(6), pos(7)}));
    EXPECT_TRUE(m.satisfiedBy(*solver));
    EXPECT_TRUE(m.viewMatches(*solver));
    EXPECT_GT(m.propagate_calls, 0);
    EXPECT_EQ(m.assigned_calls - m.unassigned_calls, 0);  // nothing fixed at level 0
    EXPECT_EQ(1, solver->solve({pos(0), pos(6)}));
    EXPECT_EQ(1, solver->solve({pos(2), pos(3)}));
    EXPECT_EQ(0, solver->solve({neg(2), neg(3), neg(4), neg(5)}));
    EXPECT_TRUE(solver->modelValue(pos(0)) == 1 || solver->modelValue(pos(1)) == 1);
    std::ostringstream stats;
    solver->printStatistics(stats);
    EXPECT_NE(std::string::npos, stats.str().find("\nModule Propagation Clauses: ")) << stats.str();
  }
}

// Implies a fixed literal, with an empty reason, as soon as its variable is
// assigned: the implication holds at level 0 whatever the current level.
class UnconditionalModule : public varnok::ModuleCallbacks {
 public:
  // Modules imply only bits they watch: `implied_node` watches the implied
  // literal's variable (registered by the test).
  explicit UnconditionalModule(int literal) : literal_(literal) {
    node.module = this;
    implied_node.module = this;
  }
  void assigned(ModuleCallbackNode* n, bool) override {
    if (n == &node) watched_assigned = true;
  }
  void unassigned(ModuleCallbackNode* n) override {
    if (n == &node) watched_assigned = false;
  }
  ModuleCallbackNode implied_node;
  int propagate(std::vector<int>& reason, int& implied) override {
    (void)reason;
    if (!watched_assigned) return 0;
    implied = literal_;
    return 1;
  }
  ModuleCallbackNode node;
  bool watched_assigned = false;

 private:
  int literal_;
};

TEST(SatModules, LevelZeroImplicationSurvivesBacktracking) {
  for (auto factory : {makeCore, makeSimp}) {
    std::unique_ptr<Solver> solver(factory());
    // x0 is decided at some level > 0 (under an assumption); the module
    // implies x5 with an empty reason: x5 goes on the trail at level 0.
    solver->ensureVars(6);
    solver->addClause({pos(1), pos(2), pos(3)});
    solver->addClause({neg(1), neg(2)});
    UnconditionalModule m(pos(5));
    ASSERT_TRUE(solver->addModuleCallback(5, &m.implied_node));
    ASSERT_TRUE(solver->addModuleCallback(0, &m.node));
    EXPECT_EQ(0, solver->solve({pos(1), pos(0)}));
    EXPECT_EQ(1, solver->modelValue(pos(5)));
    // After the solve everything above level 0 is undone, x5 stays.
    EXPECT_EQ(0, solver->value(pos(0)));
    EXPECT_EQ(1, solver->value(pos(5)));
    EXPECT_EQ(1, solver->solve({neg(5)}));
    EXPECT_EQ(0, solver->solve({neg(0)}));
    EXPECT_EQ(1, solver->modelValue(pos(5)));
  }
}

TEST(SatModules, RegistrationOnAssignedVariableConsultsTheModule) {
  for (auto factory : {makeCore, makeSimp}) {
    std::unique_ptr<Solver> solver(factory());
    solver->addClause({pos(0)});
    solver->addClause({neg(3), pos(4)});
    ASSERT_EQ(0, solver->solve({}));
    UnconditionalModule m(pos(3));
    EXPECT_TRUE(solver->addModuleCallback(3, &m.implied_node));
    EXPECT_TRUE(solver->addModuleCallback(0, &m.node));
    EXPECT_TRUE(m.watched_assigned);
    // x3 at level 0, propagated at once to x4 (unless the preprocessing
    // solver eliminated x4, which then comes back at the next solve).
    EXPECT_EQ(1, solver->value(pos(3)));
    EXPECT_EQ(0, solver->solve({}));
    EXPECT_EQ(1, solver->modelValue(pos(4)));
    EXPECT_EQ(1, solver->solve({neg(4)}));
    EXPECT_EQ(0, solver->solve({}));
  }
}

// Reports a conflict with the given reason whenever the trigger variable is
// true and every reason literal is true (an empty reason: unconditionally).
class ConflictModule : public varnok::ModuleCallbacks {
 public:
  ConflictModule(int trigger, std::vector<int> reason) : reason_(reason) {
    watch(trigger);
    for (int l : reason) watch(l >> 1);
  }
  bool registerWith(Solver& solver) {
    bool ok = true;
    for (size_t i = 0; i < nodes_.size(); i++) ok = solver.addModuleCallback(vars_[i], &nodes_[i]) && ok;
    return ok;
  }
  void assigned(ModuleCallbackNode* node, bool value) override { values_[indexOf(node)] = value ? 1 : 0; }
  void unassigned(ModuleCallbackNode* node) override { values_[indexOf(node)] = -1; }
  int propagate(std::vector<int>& reason, int& implied) override {
    (void)implied;
    if (values_[0] != 1) return 0;
    for (int l : reason_) {
      int v = valueOf(l >> 1);
      if (v == -1 || v != ((l & 1) ? 0 : 1)) return 0;
    }
    reason = reason_;
    return 2;
  }

 private:
  void watch(int v) {
    for (int w : vars_) {
      if (w == v) return;
    }
    vars_.push_back(v);
    nodes_.emplace_back();
    nodes_.back().module = this;
    values_.push_back(-1);
  }
  size_t indexOf(const ModuleCallbackNode* node) const {
    size_t i = 0;
    while (&nodes_[i] != node) i++;
    return i;
  }
  int valueOf(int v) const {
    for (size_t i = 0; i < vars_.size(); i++) {
      if (vars_[i] == v) return values_[i];
    }
    return -1;
  }
  std::vector<int> reason_;
  std::vector<int> vars_;
  std::deque<ModuleCallbackNode> nodes_;
  std::vector<int> values_;
};

TEST(SatModules, ConflictAtLevelZeroIsPermanent) {
  for (auto factory : {makeCore, makeSimp}) {
    // At registration: the variable is true at level 0.
    std::unique_ptr<Solver> solver(factory());
    solver->addClause({pos(0)});
    solver->addClause({pos(1), pos(2)});
    ConflictModule m(0, {pos(0)});
    EXPECT_FALSE(m.registerWith(*solver));
    EXPECT_EQ(1, solver->solve({}));
    EXPECT_EQ(1, solver->solve({pos(1)}));
    UnconditionalModule other(pos(2));
    EXPECT_FALSE(solver->addModuleCallback(2, &other.implied_node));
  }
  for (auto factory : {makeCore, makeSimp}) {
    // During search: the reason consists of level-0 literals only.
    std::unique_ptr<Solver> solver(factory());
    solver->addClause({pos(3)});
    solver->addClause({pos(0), pos(1)});
    solver->addClause({pos(0), neg(1)});
    ConflictModule m(0, {pos(3), pos(0)});
    ASSERT_TRUE(m.registerWith(*solver));
    EXPECT_EQ(1, solver->solve({}));
    EXPECT_EQ(1, solver->solve({neg(0)}));
  }
  for (auto factory : {makeCore, makeSimp}) {
    // An empty conflict reason at a higher level.
    std::unique_ptr<Solver> solver(factory());
    solver->ensureVars(3);
    ConflictModule m(0, {});
    ASSERT_TRUE(m.registerWith(*solver));
    EXPECT_EQ(0, solver->solve({neg(0)}));
    EXPECT_EQ(1, solver->solve({pos(0)}));
    EXPECT_EQ(1, solver->solve({}));
  }
}

TEST(SatModules, ConflictWithReasonForbidsOnlyThatCombination) {
  for (auto factory : {makeCore, makeSimp}) {
    std::unique_ptr<Solver> solver(factory());
    solver->ensureVars(4);
    ConflictModule m(0, {pos(0), pos(1), neg(2)});  // forbids x0 & x1 & !x2
    ASSERT_TRUE(m.registerWith(*solver));
    EXPECT_EQ(1, solver->solve({pos(1), neg(2), pos(0)}));
    EXPECT_EQ(0, solver->solve({pos(1), pos(0)}));
    EXPECT_EQ(1, solver->modelValue(pos(2)));
    EXPECT_EQ(0, solver->solve({pos(1), neg(2)}));
    EXPECT_EQ(-1, solver->modelValue(pos(0)));
  }
}

// Implies `then` whenever `if` is true, and nothing else: it never reports
// a conflict itself, so an implied literal that is already false must be
// treated as one by the solver.
class ImplicationModule : public varnok::ModuleCallbacks {
 public:
  ImplicationModule(int if_var, int then_literal) : if_var_(if_var), then_(then_literal) {
    node.module = this;
    then_node.module = this;
  }
  bool registerWith(Solver& solver) {
    bool ok = solver.addModuleCallback(then_ >> 1, &then_node);
    return solver.addModuleCallback(if_var_, &node) && ok;
  }
  void assigned(ModuleCallbackNode* n, bool value) override {
    if (n == &node) on = value;
  }
  void unassigned(ModuleCallbackNode* n) override {
    if (n == &node) on = false;
  }
  ModuleCallbackNode then_node;
  int propagate(std::vector<int>& reason, int& implied) override {
    if (!on) return 0;
    reason = {pos(if_var_)};
    implied = then_;
    return 1;
  }
  ModuleCallbackNode node;
  bool on = false;

 private:
  int if_var_;
  int then_;
};

TEST(SatModules, ImpliedLiteralAlreadyFalseIsAConflict) {
  for (auto factory : {makeCore, makeSimp}) {
    std::unique_ptr<Solver> solver(factory());
    solver->ensureVars(3);
    solver->addClause({neg(1)});
    ImplicationModule m(0, pos(1));  // x0 -> x1, with x1 false
    ASSERT_TRUE(m.registerWith(*solver));
    EXPECT_EQ(1, solver->solve({pos(0)}));
    EXPECT_EQ(0, solver->solve({}));
    EXPECT_EQ(-1, solver->modelValue(pos(0)));
  }
  for (auto factory : {makeCore, makeSimp}) {
    // During search at a higher level: x2 decides x1 false first.
    std::unique_ptr<Solver> solver(factory());
    solver->ensureVars(3);
    solver->addClause({neg(2), neg(1)});
    ImplicationModule m(0, pos(1));
    ASSERT_TRUE(m.registerWith(*solver));
    EXPECT_EQ(1, solver->solve({pos(2), pos(0)}));
    EXPECT_EQ(0, solver->solve({pos(2)}));
    EXPECT_EQ(-1, solver->modelValue(pos(0)));
  }
  for (auto factory : {makeCore, makeSimp}) {
    // At registration: both values already fixed at level 0.
    std::unique_ptr<Solver> solver(factory());
    solver->addClause({pos(0)});
    solver->addClause({neg(1)});
    ImplicationModule m(0, pos(1));
    EXPECT_FALSE(m.registerWith(*solver));
    EXPECT_EQ(1, solver->solve({}));
  }
  for (auto factory : {makeCore, makeSimp}) {
    // An implied literal that is already true changes nothing.
    std::unique_ptr<Solver> solver(factory());
    solver->addClause({pos(0)});
    solver->addClause({pos(1)});
    ImplicationModule m(0, pos(1));
    EXPECT_TRUE(m.registerWith(*solver));
    EXPECT_EQ(0, solver->solve({}));
  }
}

// Proposes a fixed decision every time it is asked.
class ProposingModule : public varnok::ModuleCallbacks {
 public:
  ProposingModule(int variable, int polarity) : variable_(variable), polarity_(polarity) { node.module = this; }
  int propagate(std::vector<int>&, int&) override { return 0; }
  bool decide(int& variable, int& polarity) override {
    asked++;
    variable = variable_;
    polarity = polarity_;
    return true;
  }
  ModuleCallbackNode node;
  int asked = 0;

 private:
  int variable_;
  int polarity_;
};

TEST(SatModules, DecisionProposals) {
  for (auto factory : {makeCore, makeSimp}) {
    // The default polarity is negative; the proposal asks for x3 positive.
    std::unique_ptr<Solver> solver(factory());
    solver->ensureVars(5);
    ProposingModule m(3, -1);
    ASSERT_TRUE(solver->addModuleCallback(0, &m.node));
    // Keep x3 from elimination.
    ProposingModule keep(3, 0);
    ASSERT_TRUE(solver->addModuleCallback(3, &keep.node));
    EXPECT_EQ(0, solver->solve({}));
    EXPECT_GT(m.asked + keep.asked, 0);
    EXPECT_EQ(1, solver->modelValue(pos(3)));
  }
  for (auto factory : {makeCore, makeSimp}) {
    // Proposals of an assigned variable (fixed at level 0) and of a
    // variable the solver does not have are ignored.
    std::unique_ptr<Solver> solver(factory());
    solver->addClause({pos(1)});
    solver->addClause({pos(0), pos(2)});
    solver->addClause({neg(0), pos(2)});
    ProposingModule assigned(1, 1);
    ProposingModule unknown(1000, 1);
    ASSERT_TRUE(solver->addModuleCallback(0, &assigned.node));
    ASSERT_TRUE(solver->addModuleCallback(2, &unknown.node));
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
  ImplicationModule m(0, neg(1));  // x0 -> !x1 (so x0 forces x2 and !x1)
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
