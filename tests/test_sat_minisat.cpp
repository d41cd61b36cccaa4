// Tests of the MiniSat back end: the shared back-end test bodies for the core
// and the preprocessing adapter, and what is specific to this solver (option
// tables, restart sequence, clause database edge cases, incremental
// elimination and re-introduction).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "sat/minisat/simp_solver.h"
#include "sat/minisat/solver.h"
#include "sat/adapters.h"
#include "sat_backend_tests.h"

#ifdef VARNOK_SANITIZED
static const int kScale = 8;  // sanitizer builds run an eighth of the volume
#else
static const int kScale = 1;
#endif

namespace Minisat {

// The family's containers and clauses, as the solver names them.
template <class T>
using vec = Solver::vec<T>;
typedef Solver::Clause Clause;
typedef Solver::ClauseAllocator ClauseAllocator;
typedef Family::Option Option;

// Reaches the protected state of the solvers for white-box checks.
struct SolverTestAccess {
  static ClauseAllocator& arena(Solver& s) { return s.ca; }
  static vec<CRef>& clauses(Solver& s) { return s.clauses; }
  static vec<CRef>& learnts(Solver& s) { return s.learnts; }
  static int level(Solver& s, Var v) { return s.level(v); }
  static CRef reason(Solver& s, Var v) { return s.reason(v); }
  static bool removeSatisfiedFlag(Solver& s) { return s.remove_satisfied; }
  static void garbageCollect(Solver& s) { s.garbageCollect(); }
  static void setClaInc(Solver& s, double x) { s.cla_inc = x; }
  static void reduceDB(Solver& s) { s.reduceDB(); }
  static void enqueue(Solver& s, Lit p, CRef from) { s.uncheckedEnqueue(p, from); }
  // Adds a learnt clause with the given activity, attached like a learnt one.
  static CRef addLearnt(Solver& s, std::initializer_list<Lit> ls, float act) {
    vec<Lit> ps;
    for (Lit l : ls) ps.push(l);
    CRef cr = s.ca.alloc(ps, true);
    s.learnts.push(cr);
    s.attachClause(cr);
    s.ca[cr].activity() = act;
    return cr;
  }
};

struct SimpSolverTestAccess {
  static ClauseAllocator& arena(SimpSolver& s) { return s.ca; }
  static vec<CRef>& clauses(SimpSolver& s) { return s.clauses; }
  static vec<Var> elimList(SimpSolver& s) {
    vec<Var> listed;
    s.elim_order.copyTo(listed);
    return listed;
  }
  static const ElimRecord& record(SimpSolver& s, Var v) { return s.elim_records[v]; }
  static vec<CRef>& resolventsOf(SimpSolver& s, Var v) { return s.resolvents.lookup(v); }
  static int frozenEliminated(SimpSolver& s) { return s.frozen_eliminated; }
  static CRef tmpUnit(SimpSolver& s) { return s.bwdsub_tmpunit; }
  static bool eliminate(SimpSolver& s) { return s.eliminate(false); }
};

}  // namespace Minisat

using namespace sat_backend_tests;
using Minisat::lbool;
using Minisat::Lit;
using Minisat::mkLit;
using Minisat::SimpSolver;
using Minisat::SimpSolverTestAccess;
using Minisat::SolverTestAccess;
using Minisat::Var;

namespace {

varnok::sat::Solver* makeCore() { return new varnok::sat::MiniSatCore(); }
varnok::sat::Solver* makeSimp() { return new varnok::sat::MiniSatSimp(); }

struct NamedFactory {
  const char* name;
  SolverFactory factory;
};

std::vector<NamedFactory> backEnds() { return {{"core", makeCore}, {"simp", makeSimp}}; }

// The clauses currently stored in a solver, each as sorted literal codes.
std::vector<std::vector<int>> storedClauses(Minisat::ClauseAllocator& ca, Minisat::vec<Minisat::CRef>& cs) {
  std::vector<std::vector<int>> out;
  for (int i = 0; i < cs.size(); i++) {
    const Minisat::Clause& c = ca[cs[i]];
    if (c.mark() != 0) continue;
    std::vector<int> lits;
    for (int k = 0; k < c.size(); k++) lits.push_back(c[k].x);
    std::sort(lits.begin(), lits.end());
    out.push_back(lits);
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared back-end bodies, run for both adapters.

TEST(SatMiniSatBackEnd, BasicAdapterBehaviour) {
  for (const NamedFactory& b : backEnds()) {
    SCOPED_TRACE(b.name);
    basicAdapterBehaviour(b.factory);
  }
}

TEST(SatMiniSatBackEnd, RandomCnfVersusBruteForce) {
  for (const NamedFactory& b : backEnds()) {
    SCOPED_TRACE(b.name);
    Volume v = randomCnfVsBruteForce(b.factory, 101, 1200 / kScale);
    EXPECT_GT(v.sat, 0);
    EXPECT_GT(v.unsat, 0);
    RecordProperty(std::string(b.name) + "_solves", (int)v.solves);
  }
}

TEST(SatMiniSatBackEnd, CoreAndSimpAgree) {
  Volume v = backendsAgree(makeCore, makeSimp, 202, 400 / kScale, 80);
  EXPECT_GT(v.sat, 0);
  EXPECT_GT(v.unsat, 0);
}

TEST(SatMiniSatBackEnd, AgreesWithModuleAwareSolver) {
  Volume v = backendsAgree(makeSimp, [] { return (varnok::sat::Solver*)new varnok::sat::MiniSatSimpModified(); }, 212,
                           300 / kScale, 80);
  v.add(backendsAgree(makeCore, [] { return (varnok::sat::Solver*)new varnok::sat::MiniSatCoreModified(); }, 213,
                      300 / kScale, 80));
  EXPECT_GT(v.sat, 0);
  EXPECT_GT(v.unsat, 0);
}

TEST(SatMiniSatBackEnd, IncrementalSequences) {
  for (const NamedFactory& b : backEnds()) {
    SCOPED_TRACE(b.name);
    Volume v = incrementalSequences(b.factory, 303, 300 / kScale);
    EXPECT_GT(v.sat, 0);
    EXPECT_GT(v.unsat, 0);
  }
}

TEST(SatMiniSatBackEnd, IncrementalSequencesDense) {
  // Fewer variables and longer sequences: more eliminations come back.
  IncrementalOptions options;
  options.max_vars = 12;
  options.steps = 400;
  Volume v = incrementalSequences(makeSimp, 404, 300 / kScale, options);
  EXPECT_GT(v.solves, 0);
}

// A longer incremental series on bigger sparse formulas, core against
// preprocessing adapter, with garbage collection forced often so that the
// elimination records, resolvent lists and occurrence lists are relocated
// many times. Counts eliminations and restorations seen between solves so
// that the test shows it exercised them.
TEST(SatMiniSatBackEnd, IncrementalEliminationStress) {
  std::mt19937 rng(505);
  long solves = 0, eliminated_seen = 0, restored_seen = 0, unsat = 0;
  const int series = 1000 / kScale;
  for (int s = 0; s < series; s++) {
    varnok::sat::MiniSatCore core;
    varnok::sat::MiniSatSimp simp;
    SimpSolver& ss = simp.getSolver();
    ss.garbage_frac = 0.01;
    ss.simp_garbage_frac = 0.01;
    int vars = std::uniform_int_distribution<int>(20, 150)(rng);
    core.ensureVars(vars);
    simp.ensureVars(vars);
    std::vector<Clause> clauses;
    std::vector<char> was_eliminated(vars, 0);
    for (int step = 0; step < 150; step++) {
      int n = std::uniform_int_distribution<int>(0, vars / 8 + 1)(rng);
      for (int i = 0; i < n; i++) {
        int kind = (int)(rng() % 30);
        Clause c = kind == 0 ? randomClause(rng, vars, 1, 1)
                             : kind == 1 ? randomClause(rng, vars, 18, 24) : randomClause(rng, vars, 2, 3);
        clauses.push_back(c);
        core.addClause(c);
        simp.addClause(c);
      }
      Clause assumptions = randomAssumptions(rng, vars, 4);
      int a = core.solve(assumptions);
      int b = simp.solve(assumptions);
      solves++;
      ASSERT_EQ(a, b) << "series " << s << " step " << step << "\n" << describe(clauses, assumptions);
      if (b == 0) {
        ASSERT_TRUE(modelSatisfies(simp, clauses, assumptions)) << "series " << s << " step " << step;
        for (int v = 0; v < vars; v++) ASSERT_NE(0, simp.modelValue(2 * v)) << v;
      } else {
        unsat++;
      }
      for (int v = 0; v < vars; v++) {
        bool e = ss.isEliminated(v);
        if (e && !was_eliminated[v]) eliminated_seen++;
        if (!e && was_eliminated[v]) restored_seen++;
        was_eliminated[v] = e;
      }
      if (b == 1 && assumptions.empty()) break;
    }
  }
  EXPECT_GT(eliminated_seen, 100);
  EXPECT_GT(restored_seen, 50);
  printf("stress: %ld solves (%ld unsat), %ld eliminations and %ld restorations observed\n", solves, unsat,
         eliminated_seen, restored_seen);
}

// ---------------------------------------------------------------------------
// Adapters

TEST(SatMiniSatAdapter, NamesAndStatistics) {
  varnok::sat::MiniSatCore core;
  varnok::sat::MiniSatSimp simp;
  EXPECT_STREQ("MiniSat 2.2.0 core", core.getName());
  EXPECT_STREQ("MiniSat 2.2.0 simp", simp.getName());
  core.addClause({0, 2});
  core.addClause({1, 4});
  std::ostringstream out;
  core.printStatistics(out);
  EXPECT_EQ("Variables: 3\nClauses: 2\nLearnts: 0\n", out.str());
}

TEST(SatMiniSatAdapter, NoModuleSupport) {
  for (const NamedFactory& b : backEnds()) {
    std::unique_ptr<varnok::sat::Solver> s(b.factory());
    s->ensureVars(2);
    varnok::sat::ModuleCallbackNode node;
    try {
      s->addModuleCallback(1, &node);
      ADD_FAILURE() << b.name << ": no exception";
    } catch (const std::logic_error& e) {
      EXPECT_EQ("src/sat/sat_solver:77: addModuleCallback\nError: This SAT solver has no module support.\n",
                std::string(e.what()));
    }
    EXPECT_FALSE(node.isLinked());
    EXPECT_EQ(0, s->solve({}));
  }
}

// ---------------------------------------------------------------------------
// Option tables

TEST(SatMiniSatOptions, TablesInConstructionOrder) {
  struct Row {
    const char* category;
    const char* name;
    const char* type;
  };
  const Row rows[] = {{"CORE", "var-decay", "<double>"},   {"CORE", "cla-decay", "<double>"},
                      {"CORE", "rnd-freq", "<double>"},    {"CORE", "rnd-seed", "<double>"},
                      {"CORE", "ccmin-mode", "<int32>"},   {"CORE", "phase-saving", "<int32>"},
                      {"CORE", "rnd-init", "<bool>"},      {"CORE", "luby", "<bool>"},
                      {"CORE", "rfirst", "<int32>"},       {"CORE", "rinc", "<double>"},
                      {"CORE", "gc-frac", "<double>"},     {"SIMP", "asymm", "<bool>"},
                      {"SIMP", "rcheck", "<bool>"},        {"SIMP", "elim", "<bool>"},
                      {"SIMP", "grow", "<int32>"},         {"SIMP", "cl-lim", "<int32>"},
                      {"SIMP", "sub-lim", "<int32>"},      {"SIMP", "simp-gc-frac", "<double>"}};
  const std::vector<Minisat::Option*>& list = Minisat::Option::getOptionList();
  ASSERT_EQ(sizeof(rows) / sizeof(rows[0]), list.size());
  for (size_t i = 0; i < list.size(); i++) {
    EXPECT_STREQ(rows[i].category, list[i]->getCategory()) << i;
    EXPECT_STREQ(rows[i].name, list[i]->getName()) << i;
    EXPECT_STREQ(rows[i].type, list[i]->getTypeName()) << i;
  }
}

TEST(SatMiniSatOptions, SolversStartWithTheDefaults) {
  SimpSolver s;
  EXPECT_EQ(0, s.verbosity);
  EXPECT_EQ(0.95, s.var_decay);
  EXPECT_EQ(0.999, s.clause_decay);
  EXPECT_EQ(0.0, s.random_var_freq);
  EXPECT_EQ(91648253.0, s.random_seed);
  EXPECT_EQ(2, s.ccmin_mode);
  EXPECT_EQ(2, s.phase_saving);
  EXPECT_FALSE(s.rnd_init_act);
  EXPECT_FALSE(s.rnd_pol);
  EXPECT_TRUE(s.luby_restart);
  EXPECT_EQ(100, s.restart_first);
  EXPECT_EQ(2.0, s.restart_inc);
  EXPECT_EQ(0.2, s.garbage_frac);
  EXPECT_EQ(1.0 / 3.0, s.learntsize_factor);
  EXPECT_EQ(1.1, s.learntsize_inc);
  EXPECT_EQ(100, s.learntsize_adjust_start_confl);
  EXPECT_EQ(1.5, s.learntsize_adjust_inc);
  EXPECT_EQ(-1, s.conflict_budget);
  EXPECT_EQ(-1, s.propagation_budget);
  EXPECT_EQ(0, s.grow);
  EXPECT_EQ(20, s.clause_lim);
  EXPECT_EQ(1000, s.subsumption_lim);
  EXPECT_EQ(0.5, s.simp_garbage_frac);
  EXPECT_FALSE(s.use_asymm);
  EXPECT_FALSE(s.use_rcheck);
  EXPECT_TRUE(s.use_elim);
  // The core solver removes satisfied problem clauses, the simplifying one
  // keeps them (they may still be needed for elimination).
  Minisat::Solver core;
  EXPECT_TRUE(SolverTestAccess::removeSatisfiedFlag(core));
  EXPECT_FALSE(SolverTestAccess::removeSatisfiedFlag(s));
}

TEST(SatMiniSatOptions, ParseBooleanOption) {
  auto& luby = Minisat::Family::options.luby_restart;
  EXPECT_TRUE(luby.parse("-no-luby"));
  EXPECT_FALSE((bool)luby);
  EXPECT_TRUE(luby.parse("-luby"));
  EXPECT_TRUE((bool)luby);
  EXPECT_FALSE(luby.parse("-lubyx"));
  EXPECT_FALSE(luby.parse("luby"));
  EXPECT_FALSE(luby.parse("-no-lub"));
  EXPECT_TRUE((bool)luby);
}

TEST(SatMiniSatOptions, ParseNumbersWithinRange) {
  EXPECT_TRUE(Minisat::Family::options.random_var_freq.parse("-rnd-freq=1"));  // included bound
  EXPECT_EQ(1.0, (double)Minisat::Family::options.random_var_freq);
  EXPECT_TRUE(Minisat::Family::options.random_var_freq.parse("-rnd-freq=0"));
  EXPECT_EQ(0.0, (double)Minisat::Family::options.random_var_freq);
  EXPECT_FALSE(Minisat::Family::options.random_var_freq.parse("-rnd-fre=0.5"));
  EXPECT_TRUE(Minisat::Family::options.ccmin_mode.parse("-ccmin-mode=0"));
  EXPECT_EQ(0, (int)Minisat::Family::options.ccmin_mode);
  EXPECT_TRUE(Minisat::Family::options.ccmin_mode.parse("-ccmin-mode=2"));
  EXPECT_EQ(2, (int)Minisat::Family::options.ccmin_mode);
  EXPECT_TRUE(Minisat::Family::options.clause_lim.parse("-cl-lim=-1"));
  EXPECT_EQ(-1, (int)Minisat::Family::options.clause_lim);
  EXPECT_TRUE(Minisat::Family::options.clause_lim.parse("-cl-lim=20"));
  EXPECT_EQ(20, (int)Minisat::Family::options.clause_lim);
}

TEST(SatMiniSatOptionsDeathTest, ValuesOutOfRangeEndTheProcess) {
  EXPECT_EXIT(Minisat::Family::options.var_decay.parse("-var-decay=1"), ::testing::ExitedWithCode(1),
              "ERROR! value <1> is too large for option \"var-decay\".");
  EXPECT_EXIT(Minisat::Family::options.var_decay.parse("-var-decay=0"), ::testing::ExitedWithCode(1),
              "ERROR! value <0> is too small for option \"var-decay\".");
  EXPECT_EXIT(Minisat::Family::options.ccmin_mode.parse("-ccmin-mode=3"), ::testing::ExitedWithCode(1),
              "ERROR! value <3> is too large for option \"ccmin-mode\".");
  EXPECT_EXIT(Minisat::Family::options.clause_lim.parse("-cl-lim=-2"), ::testing::ExitedWithCode(1),
              "ERROR! value <-2> is too small for option \"cl-lim\".");
  EXPECT_EQ(0.95, (double)Minisat::Family::options.var_decay);
}

TEST(SatMiniSatOptions, HelpLines) {
  ::testing::internal::CaptureStderr();
  Minisat::Family::options.luby_restart.help(false);
  Minisat::Family::options.ccmin_mode.help(false);
  Minisat::Family::options.grow.help(false);
  Minisat::Family::options.var_decay.help(false);
  Minisat::Family::options.random_var_freq.help(true);
  std::string out = ::testing::internal::GetCapturedStderr();
  std::string expected = std::string("  -luby, -no-luby") + std::string(24, ' ') + " (default: on)\n" +
                         "  -ccmin-mode   = <int32>  [   0 ..    2] (default: 2)\n" +
                         "  -grow         = <int32>  [imin .. imax] (default: 0)\n" +
                         "  -var-decay    = <double> (   0 ..    1) (default: 0.95)\n" +
                         "  -rnd-freq     = <double> [   0 ..    1] (default: 0)\n" +
                         "\n        The frequency with which the decision heuristic tries to choose a random "
                         "variable\n\n";
  EXPECT_EQ(expected, out);
}

// ---------------------------------------------------------------------------
// Core solver

TEST(SatMiniSatCore, LubySequenceAndRestartLimits) {
  const double expected[] = {1, 1, 2, 1, 1, 2, 4, 1, 1, 2, 1, 1, 2, 4, 8, 1, 1, 2, 1, 1, 2, 4, 1, 1, 2, 1, 1, 2, 4, 8, 16};
  for (int x = 0; x < (int)(sizeof(expected) / sizeof(expected[0])); x++)
    EXPECT_EQ(expected[x], Minisat::Solver::luby(2, x)) << x;
  const int limits[] = {100, 100, 200, 100, 100, 200, 400};
  for (int x = 0; x < 7; x++) EXPECT_EQ(limits[x], (int)(Minisat::Solver::luby(2, x) * 100)) << x;
  EXPECT_EQ(27.0, Minisat::Solver::luby(3, 14));
}

TEST(SatMiniSatCore, EmptyProblemAndFreshVariables) {
  Minisat::Solver s;
  EXPECT_TRUE(s.solve());
  EXPECT_EQ(0, s.model.size());
  for (int i = 0; i < 5; i++) s.newVar();
  EXPECT_EQ(5u, s.dec_vars);
  EXPECT_TRUE(s.solve());
  ASSERT_EQ(5, s.model.size());
  // Never-assigned variables are decided false first.
  for (int i = 0; i < 5; i++) EXPECT_TRUE(s.model[i] == Minisat::l_False) << i;
}

TEST(SatMiniSatCore, ClauseAdditionRewrites) {
  Minisat::Solver s;
  Var a = s.newVar(), b = s.newVar(), c = s.newVar();
  EXPECT_TRUE(s.addClause(mkLit(a), ~mkLit(a)));  // tautology
  EXPECT_EQ(0, s.nClauses());
  Minisat::vec<Lit> ps;
  ps.push(mkLit(b));
  ps.push(mkLit(a));
  ps.push(mkLit(b));
  EXPECT_TRUE(s.addClause(ps));  // duplicate stored once
  ASSERT_EQ(1, s.nClauses());
  Minisat::Clause& cl = SolverTestAccess::arena(s)[SolverTestAccess::clauses(s)[0]];
  EXPECT_EQ(2, cl.size());
  EXPECT_EQ(mkLit(a), cl[0]);  // sorted
  EXPECT_EQ(mkLit(b), cl[1]);
  EXPECT_FALSE(cl.learnt());
  EXPECT_FALSE(cl.has_extra());
  // A false literal is dropped: (c or b) with b false becomes the unit c.
  EXPECT_TRUE(s.addClause(~mkLit(b)));
  EXPECT_TRUE(s.value(a) == Minisat::l_True);  // propagated through (a or b)
  EXPECT_TRUE(s.addClause(mkLit(c), mkLit(b)));
  EXPECT_EQ(1, s.nClauses());
  EXPECT_TRUE(s.value(c) == Minisat::l_True);
  EXPECT_EQ(0, SolverTestAccess::level(s, c));
  EXPECT_EQ(Minisat::CRef_Undef, SolverTestAccess::reason(s, c));
  // A clause with a true literal changes nothing.
  EXPECT_TRUE(s.addClause(mkLit(c), ~mkLit(a)));
  EXPECT_EQ(1, s.nClauses());
}

TEST(SatMiniSatCore, ContradictingUnitsAreFinal) {
  Minisat::Solver s;
  Var x = s.newVar(), y = s.newVar();
  EXPECT_TRUE(s.addClause(mkLit(x)));
  EXPECT_FALSE(s.addClause(~mkLit(x)));
  EXPECT_FALSE(s.okay());
  EXPECT_FALSE(s.addClause(mkLit(y)));
  EXPECT_FALSE(s.simplify());
  EXPECT_FALSE(s.solve());
  EXPECT_FALSE(s.okay());
  Minisat::Solver e;
  EXPECT_FALSE(e.addEmptyClause());
  EXPECT_FALSE(e.okay());
}

TEST(SatMiniSatCore, FalseAssumptionAtLevelZero) {
  Minisat::Solver s;
  Var x = s.newVar(), y = s.newVar();
  s.addClause(mkLit(x));
  s.addClause(~mkLit(x), mkLit(y));
  s.budgetOff();
  s.assumptions.clear();
  s.assumptions.push(~mkLit(y));
  EXPECT_TRUE(s.solve_() == Minisat::l_False);
  ASSERT_EQ(1, s.conflict.size());
  EXPECT_EQ(mkLit(y), s.conflict[0]);
  EXPECT_TRUE(s.okay());
  EXPECT_TRUE(s.solve());
  // Unsatisfiable only under assumptions that together fail.
  Var a = s.newVar(), b = s.newVar(), c = s.newVar();
  s.addClause(~mkLit(a), ~mkLit(b), mkLit(c));
  Minisat::vec<Lit> as;
  as.push(mkLit(a));
  as.push(mkLit(b));
  as.push(~mkLit(c));
  EXPECT_FALSE(s.solve(as));
  EXPECT_TRUE(s.okay());
  // The final conflict is a clause over negated assumptions.
  EXPECT_GE(s.conflict.size(), 2);
  for (int i = 0; i < s.conflict.size(); i++) {
    bool negated_assumption = false;
    for (int k = 0; k < as.size(); k++) negated_assumption |= s.conflict[i] == ~as[k];
    EXPECT_TRUE(negated_assumption) << s.conflict[i].x;
  }
  EXPECT_TRUE(s.solve());
}

TEST(SatMiniSatCore, SimplifyRemovesSatisfiedClausesOnlyWhenDue) {
  Minisat::Solver s;
  Var a = s.newVar(), b = s.newVar(), c = s.newVar(), d = s.newVar(), e = s.newVar();
  s.addClause(mkLit(a), mkLit(b));
  s.addClause(mkLit(c), mkLit(d));
  s.addClause(mkLit(c), mkLit(e));
  s.addClause(mkLit(a));
  EXPECT_EQ(3, s.nClauses());
  EXPECT_TRUE(s.simplify());  // new level-0 assignment, no propagation debt
  EXPECT_EQ(2, s.nClauses());
  s.addClause(mkLit(c));  // one propagation: the budget of 4 literals is not used up
  EXPECT_TRUE(s.simplify());
  EXPECT_EQ(2, s.nClauses());
  EXPECT_TRUE(s.value(c) == Minisat::l_True);
}

TEST(SatMiniSatCore, LearntClauseReduction) {
  Minisat::Solver s;
  for (int i = 0; i < 30; i++) s.newVar();
  auto L = [](int v) { return mkLit(v); };
  Minisat::CRef l0 = SolverTestAccess::addLearnt(s, {L(0), L(1), L(2)}, 5);
  Minisat::CRef l1 = SolverTestAccess::addLearnt(s, {L(3), L(4), L(5)}, 1);
  Minisat::CRef l2 = SolverTestAccess::addLearnt(s, {L(6), L(7), L(8)}, 4);
  Minisat::CRef l3 = SolverTestAccess::addLearnt(s, {L(9), L(10), L(11)}, 2);
  Minisat::CRef l4 = SolverTestAccess::addLearnt(s, {L(12), L(13), L(14)}, 6);
  Minisat::CRef l5 = SolverTestAccess::addLearnt(s, {L(15), L(16), L(17)}, 3);
  Minisat::CRef bin = SolverTestAccess::addLearnt(s, {L(18), L(19)}, 0);
  // A locked clause: the reason of its first literal's assignment.
  Minisat::CRef locked = SolverTestAccess::addLearnt(s, {L(20), L(21), L(22)}, 0.5f);
  SolverTestAccess::enqueue(s, L(20), locked);
  // extra_lim = cla_inc / 8 = 4.5: in the second half of the sorted list
  // (activities 4, 5, 6) only the clause of activity 4 goes; the first half
  // (0.5 locked, 1, 2, 3) goes except the locked clause.
  SolverTestAccess::setClaInc(s, 36);
  (void)l1;
  (void)l3;
  (void)l5;
  (void)l2;
  Minisat::ClauseAllocator& ca = SolverTestAccess::arena(s);
  std::vector<int> expected = {ca[locked][0].x, ca[l0][0].x, ca[l4][0].x, ca[bin][0].x};
  SolverTestAccess::reduceDB(s);  // may collect garbage: old references are void
  Minisat::vec<Minisat::CRef>& lr = SolverTestAccess::learnts(s);
  std::vector<int> firsts;
  for (int i = 0; i < lr.size(); i++) firsts.push_back(ca[lr[i]][0].x);
  EXPECT_EQ(expected, firsts);
  // The locked clause is still the reason of its literal.
  EXPECT_EQ(lr[0], SolverTestAccess::reason(s, 20));
}

TEST(SatMiniSatCore, OutOfMemoryIsTheFamilyException) {
#ifndef VARNOK_SANITIZED
  struct Big {
    char bytes[1 << 20];
  };
  Minisat::vec<Big> v;
  EXPECT_THROW(v.capacity(1 << 22), Minisat::OutOfMemoryException);  // 4 TiB
  Minisat::vec<int> w;
  w.push(1);
  EXPECT_THROW(w.capacity(INT32_MAX), Minisat::OutOfMemoryException);
#endif
}

TEST(SatMiniSatCore, GarbageCollectionKeepsLiveClauses) {
  Minisat::Solver s;
  std::mt19937 rng(7);
  for (int i = 0; i < 60; i++) s.newVar();
  // A satisfiable formula (planted solution) hard enough to learn clauses.
  std::vector<bool> hidden(60);
  for (int v = 0; v < 60; v++) hidden[v] = rng() & 1;
  for (int i = 0; i < 250;) {
    Minisat::vec<Lit> ps;
    bool sat = false;
    for (int k = 0; k < 3; k++) {
      Var v = (int)(rng() % 60);
      bool neg = rng() & 1;
      ps.push(mkLit(v, neg));
      sat |= hidden[v] != neg;
    }
    if (!sat) continue;
    s.addClause(ps);
    i++;
  }
  ASSERT_TRUE(s.solve());
  Minisat::ClauseAllocator& ca = SolverTestAccess::arena(s);
  Minisat::vec<Minisat::CRef>& cls = SolverTestAccess::clauses(s);
  Minisat::vec<Minisat::CRef>& lrn = SolverTestAccess::learnts(s);
  ASSERT_GT(cls.size(), 10);
  ASSERT_GT(lrn.size(), 0);
  ca[cls[3]].setHasSubsumed(true);
  struct Snapshot {
    std::vector<int> lits;
    bool learnt;
    bool sub;
    float act;
  };
  auto snap = [&](Minisat::vec<Minisat::CRef>& v) {
    std::vector<Snapshot> out;
    for (int i = 0; i < v.size(); i++) {
      Minisat::Clause& c = ca[v[i]];
      Snapshot sn;
      for (int k = 0; k < c.size(); k++) sn.lits.push_back(c[k].x);
      sn.learnt = c.learnt();
      sn.sub = c.hasSubsumed();
      sn.act = c.learnt() ? c.activity() : 0;
      out.push_back(sn);
    }
    return out;
  };
  std::vector<Snapshot> before_c = snap(cls), before_l = snap(lrn);
  SolverTestAccess::garbageCollect(s);
  EXPECT_EQ(0u, ca.wasted());
  std::vector<Snapshot> after_c = snap(cls), after_l = snap(lrn);
  ASSERT_EQ(before_c.size(), after_c.size());
  ASSERT_EQ(before_l.size(), after_l.size());
  for (size_t i = 0; i < before_c.size(); i++) {
    EXPECT_EQ(before_c[i].lits, after_c[i].lits);
    EXPECT_EQ(before_c[i].sub, after_c[i].sub);
    EXPECT_FALSE(after_c[i].learnt);
  }
  for (size_t i = 0; i < before_l.size(); i++) {
    EXPECT_EQ(before_l[i].lits, after_l[i].lits);
    EXPECT_TRUE(after_l[i].learnt);
    EXPECT_EQ(before_l[i].act, after_l[i].act);
  }
  EXPECT_TRUE(ca[cls[3]].hasSubsumed());
  EXPECT_TRUE(s.solve());
}

// ---------------------------------------------------------------------------
// Simplifying solver: elimination, subsumption and re-introduction

namespace {

// A simplifying solver with `n` variables of which `frozen` are kept from
// elimination (so that a test can watch one variable alone).
struct SimpFixture {
  SimpSolver s;
  explicit SimpFixture(int n, std::initializer_list<Var> frozen = {}) {
    for (int i = 0; i < n; i++) s.newVar();
    for (Var v : frozen) s.setFrozen(v, true);
  }
  Minisat::ClauseAllocator& ca() { return SimpSolverTestAccess::arena(s); }
  std::vector<std::vector<int>> clauses() { return storedClauses(ca(), SimpSolverTestAccess::clauses(s)); }
  const Minisat::ElimRecord& record(Var v) { return SimpSolverTestAccess::record(s, v); }
  bool solve(std::initializer_list<Lit> assumptions = {}) {
    Minisat::vec<Lit> as;
    for (Lit l : assumptions) as.push(l);
    return s.solve(as);
  }
  bool model(Var v) { return s.modelValue(v) == Minisat::l_True; }
};

std::vector<int> C(std::initializer_list<Lit> ls) {
  std::vector<int> out;
  for (Lit l : ls) out.push_back(l.x);
  std::sort(out.begin(), out.end());
  return out;
}

const Var A = 0, B = 1, X = 2, Cv = 3;

}  // namespace

TEST(SatMiniSatSimp, EliminationReplacesClausesByResolvent) {
  SimpFixture f(3, {A, B});
  f.s.addClause(mkLit(A), mkLit(X));
  f.s.addClause(mkLit(B), ~mkLit(X));
  ASSERT_TRUE(f.solve());
  EXPECT_TRUE(f.s.isEliminated(X));
  EXPECT_EQ(1, f.s.eliminated_vars);
  EXPECT_EQ(std::vector<std::vector<int>>({C({mkLit(A), mkLit(B)})}), f.clauses());
  EXPECT_EQ(1, f.record(X).n_pos);
  EXPECT_EQ(1, f.record(X).n_neg);
  EXPECT_EQ(1, SimpSolverTestAccess::resolventsOf(f.s, X).size());
  ASSERT_EQ(1, SimpSolverTestAccess::elimList(f.s).size());
  EXPECT_EQ(X, SimpSolverTestAccess::elimList(f.s)[0]);
  // The model extension makes the removed clauses true whatever a and b are.
  for (int m = 0; m < 3; m++) {
    Lit la = m == 1 ? ~mkLit(A) : mkLit(A), lb = m == 2 ? ~mkLit(B) : mkLit(B);
    ASSERT_TRUE(f.solve({la, lb}));
    EXPECT_TRUE(f.model(A) || f.model(X));
    EXPECT_TRUE(f.model(B) || !f.model(X));
    EXPECT_TRUE(f.s.isEliminated(X));
  }
  // With equally many positive and negative clauses the extension starts
  // from false: a and b true leave x false.
  ASSERT_TRUE(f.solve({mkLit(A), mkLit(B)}));
  EXPECT_FALSE(f.model(X));
}

TEST(SatMiniSatSimp, ResolventLengthLimit) {
  for (int extra = 0; extra < 2; extra++) {
    // (x or a1..a10) and (not x or b1..b10[, b11]): the resolvent has 20
    // literals (eliminated) or 21 (kept).
    int n = 1 + 10 + 10 + extra;
    SimpSolver s;
    for (int i = 0; i < n; i++) s.newVar();
    for (int i = 1; i < n; i++) s.setFrozen(i, true);
    Minisat::vec<Lit> p, q;
    p.push(mkLit(0));
    for (int i = 1; i <= 10; i++) p.push(mkLit(i));
    q.push(~mkLit(0));
    for (int i = 11; i < n; i++) q.push(mkLit(i));
    s.addClause(p);
    s.addClause(q);
    ASSERT_TRUE(s.solve());
    EXPECT_EQ(extra == 0, s.isEliminated(0)) << extra;
    EXPECT_EQ(extra == 0 ? 1 : 2, s.nClauses());
  }
}

TEST(SatMiniSatSimp, TautologicalResolventsOnly) {
  SimpFixture f(3, {A});
  f.s.addClause(mkLit(A), mkLit(X));
  f.s.addClause(~mkLit(A), ~mkLit(X));
  ASSERT_TRUE(f.solve());
  EXPECT_TRUE(f.s.isEliminated(X));
  EXPECT_EQ(0, f.s.nClauses());
  EXPECT_EQ(0, SimpSolverTestAccess::resolventsOf(f.s, X).size());
  for (int sign = 0; sign < 2; sign++) {
    ASSERT_TRUE(f.solve({mkLit(A, sign)}));
    EXPECT_NE(f.model(A), f.model(X));
  }
}

TEST(SatMiniSatSimp, AssumedVariableIsRestoredThenEliminatedAgain) {
  SimpFixture f(3, {A, B});
  f.s.addClause(mkLit(A), mkLit(X));
  f.s.addClause(mkLit(B), ~mkLit(X));
  ASSERT_TRUE(f.solve());
  ASSERT_TRUE(f.s.isEliminated(X));
  // Assuming x restores it before the search: its clauses are back and the
  // resolvent (a or b) is withdrawn.
  ASSERT_TRUE(f.solve({mkLit(X)}));
  EXPECT_FALSE(f.s.isEliminated(X));
  EXPECT_EQ(0, SimpSolverTestAccess::frozenEliminated(f.s));
  EXPECT_FALSE(f.s.isFrozen(X));
  EXPECT_EQ(std::vector<std::vector<int>>({C({mkLit(A), mkLit(X)}), C({mkLit(B), ~mkLit(X)})}), f.clauses());
  EXPECT_TRUE(f.model(X));
  EXPECT_TRUE(f.model(B));
  EXPECT_EQ(0, SimpSolverTestAccess::elimList(f.s).size());
  EXPECT_EQ(0, f.record(X).n_pos);
  EXPECT_EQ(0, f.record(X).pos_clauses.size());
  EXPECT_FALSE(f.record(X).restored());
  // Unfrozen again, x is eliminated at the next solve and listed anew.
  ASSERT_TRUE(f.solve());
  EXPECT_TRUE(f.s.isEliminated(X));
  ASSERT_EQ(1, SimpSolverTestAccess::elimList(f.s).size());
  EXPECT_EQ(std::vector<std::vector<int>>({C({mkLit(A), mkLit(B)})}), f.clauses());
  // Assuming not x works the same way and the model honours it.
  ASSERT_TRUE(f.solve({~mkLit(X)}));
  EXPECT_FALSE(f.model(X));
  EXPECT_TRUE(f.model(A));
}

TEST(SatMiniSatSimp, ResolventThatSubsumedStaysOnRestore) {
  SimpFixture f(4, {A, B, Cv});
  f.s.addClause(mkLit(A), mkLit(X));
  f.s.addClause(mkLit(B), ~mkLit(X));
  ASSERT_TRUE(f.solve());
  ASSERT_TRUE(f.s.isEliminated(X));
  // (a or b or c) arrives and is subsumed by the resolvent (a or b).
  f.s.addClause(mkLit(A), mkLit(B), mkLit(Cv));
  ASSERT_TRUE(f.solve());
  EXPECT_EQ(std::vector<std::vector<int>>({C({mkLit(A), mkLit(B)})}), f.clauses());
  ASSERT_TRUE(f.solve({mkLit(X)}));
  EXPECT_FALSE(f.s.isEliminated(X));
  // The resolvent now stands for the clause it removed.
  EXPECT_EQ(std::vector<std::vector<int>>(
                {C({mkLit(A), mkLit(B)}), C({mkLit(A), mkLit(X)}), C({mkLit(B), ~mkLit(X)})}),
            f.clauses());
  ASSERT_TRUE(f.solve({~mkLit(A), ~mkLit(B)}) == false);
}

TEST(SatMiniSatSimp, NewClauseOnEliminatedVariableReEliminates) {
  SimpFixture f(4, {A, B, Cv});
  f.s.addClause(mkLit(A), mkLit(X));
  f.s.addClause(mkLit(B), ~mkLit(X));
  ASSERT_TRUE(f.solve());
  ASSERT_TRUE(f.s.isEliminated(X));
  // (c or x): the one new resolvent (b or c) counts 1 against 1 + 1 + 1 + 0.
  f.s.addClause(mkLit(Cv), mkLit(X));
  ASSERT_TRUE(f.solve());
  EXPECT_TRUE(f.s.isEliminated(X));
  EXPECT_EQ(2, f.record(X).n_pos);
  EXPECT_EQ(1, f.record(X).n_neg);
  EXPECT_EQ(1, SimpSolverTestAccess::elimList(f.s).size());
  EXPECT_EQ(std::vector<std::vector<int>>({C({mkLit(A), mkLit(B)}), C({mkLit(B), mkLit(Cv)})}), f.clauses());
  EXPECT_EQ(2, SimpSolverTestAccess::resolventsOf(f.s, X).size());
  // Every removed clause holds in the extended model.
  for (int m = 0; m < 8; m++) {
    if (!f.solve({mkLit(A, m & 1), mkLit(B, m & 2), mkLit(Cv, m & 4)})) continue;
    EXPECT_TRUE(f.model(A) || f.model(X));
    EXPECT_TRUE(f.model(Cv) || f.model(X));
    EXPECT_TRUE(f.model(B) || !f.model(X));
  }
  // Restoring brings back all three clauses and withdraws both resolvents.
  ASSERT_TRUE(f.solve({mkLit(X)}));
  EXPECT_EQ(std::vector<std::vector<int>>(
                {C({mkLit(A), mkLit(X)}), C({mkLit(B), ~mkLit(X)}), C({mkLit(Cv), mkLit(X)})}),
            f.clauses());
}

TEST(SatMiniSatSimp, NewClauseOverTheLimitRestores) {
  SimpFixture f(7, {A, B, Cv, 4, 5, 6});
  f.s.addClause(mkLit(A), mkLit(X));
  f.s.addClause(mkLit(B), ~mkLit(X));
  ASSERT_TRUE(f.solve());
  ASSERT_TRUE(f.s.isEliminated(X));
  // Two new positive and two new negative clauses: 2 x 2 new resolvents and
  // 2 + 2 of the stored clauses against the new ones make 8, over the limit
  // of 4 + 1 + 1 + 0.
  f.s.addClause(mkLit(Cv), mkLit(X));
  f.s.addClause(mkLit(4), mkLit(X));
  f.s.addClause(mkLit(5), ~mkLit(X));
  f.s.addClause(mkLit(6), ~mkLit(X));
  ASSERT_TRUE(f.solve());
  EXPECT_FALSE(f.s.isEliminated(X));
  EXPECT_EQ(0, SimpSolverTestAccess::elimList(f.s).size());
  // Its clauses are all live again; the resolvent (a or b) is gone.
  EXPECT_EQ(6, f.s.nClauses());
  for (auto& c : f.clauses()) EXPECT_NE(C({mkLit(A), mkLit(B)}), c);
}

TEST(SatMiniSatSimp, UnitOnEliminatedVariableRestores) {
  SimpFixture f(3, {A, B});
  f.s.addClause(mkLit(A), mkLit(X));
  f.s.addClause(mkLit(B), ~mkLit(X));
  ASSERT_TRUE(f.solve());
  ASSERT_TRUE(f.s.isEliminated(X));
  EXPECT_TRUE(f.s.addClause(~mkLit(X)));
  EXPECT_TRUE(f.s.value(X) == Minisat::l_False);
  ASSERT_TRUE(f.solve());
  EXPECT_FALSE(f.s.isEliminated(X));
  EXPECT_FALSE(f.model(X));
  EXPECT_TRUE(f.model(A));
  ASSERT_FALSE(f.solve({~mkLit(A)}));
  EXPECT_TRUE(f.s.okay());
}

TEST(SatMiniSatSimp, UnsatisfiableRestoreIsFinal) {
  SimpFixture f(3, {A, B});
  f.s.addClause(mkLit(A), mkLit(X));
  f.s.addClause(mkLit(B), ~mkLit(X));
  f.s.addClause(~mkLit(A), mkLit(B));
  ASSERT_TRUE(f.solve());
  f.s.addClause(~mkLit(B));
  f.s.addClause(~mkLit(X));
  EXPECT_FALSE(f.solve());
  EXPECT_FALSE(f.s.okay());
  EXPECT_FALSE(f.solve());
}

TEST(SatMiniSatSimp, SubsumptionAndStrengthening) {
  SimpFixture f(3, {0, 1, 2});
  f.s.addClause(mkLit(0), mkLit(1), mkLit(2));
  f.s.addClause(mkLit(0), mkLit(1), mkLit(2));
  ASSERT_TRUE(f.solve());
  EXPECT_EQ(1, f.s.nClauses());

  SimpFixture g(3, {0, 1, 2});
  g.s.addClause(mkLit(0), mkLit(1), mkLit(2));
  g.s.addClause(mkLit(0), ~mkLit(1));
  ASSERT_TRUE(g.solve());
  EXPECT_EQ(std::vector<std::vector<int>>({C({mkLit(0), ~mkLit(1)}), C({mkLit(0), mkLit(2)})}), g.clauses());
  // The strengthening clause is flagged, the strengthened one not.
  Minisat::vec<Minisat::CRef>& cs = SimpSolverTestAccess::clauses(g.s);
  int flagged = 0;
  for (int i = 0; i < cs.size(); i++) {
    const Minisat::Clause& c = g.ca()[cs[i]];
    if (c.mark() != 0) continue;
    bool is_binary_with_not_b = c.size() == 2 && (c[0] == ~mkLit(1) || c[1] == ~mkLit(1));
    EXPECT_EQ(is_binary_with_not_b, c.hasSubsumed());
    flagged += c.hasSubsumed();
  }
  EXPECT_EQ(1, flagged);
}

TEST(SatMiniSatSimp, ImpliedClauseCheckOnlyWhenEnabled) {
  for (int rcheck = 0; rcheck < 2; rcheck++) {
    SimpFixture f(3);
    f.s.use_rcheck = rcheck;
    f.s.addClause(mkLit(0), mkLit(1));
    f.s.addClause(~mkLit(1), mkLit(2));
    f.s.addClause(mkLit(0), mkLit(2));  // implied by the two above
    EXPECT_EQ(rcheck ? 2 : 3, f.s.nClauses());
  }
}

TEST(SatMiniSatSimp, DummyUnitIsNeverAProblemClause) {
  SimpFixture f(40);
  f.s.garbage_frac = 0.0001;
  f.s.simp_garbage_frac = 0.0001;
  std::mt19937 rng(11);
  for (int round = 0; round < 20; round++) {
    for (int i = 0; i < 15; i++) f.s.addClause(mkLit(rng() % 40, rng() & 1), mkLit(rng() % 40, rng() & 1), mkLit(rng() % 40, rng() & 1));
    f.s.addClause(mkLit(rng() % 40, rng() & 1));
    Minisat::vec<Lit> as;
    as.push(mkLit(rng() % 40, rng() & 1));
    f.s.solve(as);
    if (!f.s.okay()) break;
    Minisat::CRef t = SimpSolverTestAccess::tmpUnit(f.s);
    EXPECT_EQ(1, f.ca()[t].size());
    EXPECT_FALSE(f.ca()[t].learnt());
    EXPECT_TRUE(f.ca()[t].has_extra());
    Minisat::vec<Minisat::CRef>& cs = SimpSolverTestAccess::clauses(f.s);
    for (int i = 0; i < cs.size(); i++) ASSERT_NE(t, cs[i]);
  }
}

TEST(SatMiniSatSimp, LearntClausesOfEliminatedVariablesGo) {
  // After searches that learn clauses, every variable elimination removes the
  // learnt clauses that mention the variable.
  std::mt19937 rng(21);
  for (int round = 0; round < 20; round++) {
    SimpSolver s;
    for (int i = 0; i < 50; i++) s.newVar();
    for (int i = 0; i < 200; i++) s.addClause(mkLit(rng() % 50, rng() & 1), mkLit(rng() % 50, rng() & 1), mkLit(rng() % 50, rng() & 1));
    for (int k = 0; k < 5 && s.okay(); k++) {
      Minisat::vec<Lit> as;
      for (int i = 0; i < 3; i++) as.push(mkLit(rng() % 50, rng() & 1));
      s.solve(as);
      for (int i = 0; i < 3; i++) s.addClause(mkLit(rng() % 50, rng() & 1), mkLit(rng() % 50, rng() & 1));
      // Run the elimination alone and look at the learnt clauses.
      if (!SimpSolverTestAccess::eliminate(s)) break;
      Minisat::ClauseAllocator& ca = SimpSolverTestAccess::arena(s);
      Minisat::vec<Minisat::CRef>& ls = SolverTestAccess::learnts(s);
      for (int i = 0; i < ls.size(); i++) {
        const Minisat::Clause& c = ca[ls[i]];
        ASSERT_EQ(0u, c.mark());
        for (int j = 0; j < c.size(); j++) ASSERT_FALSE(s.isEliminated(Minisat::var(c[j])));
      }
      Minisat::vec<Minisat::CRef>& cs = SimpSolverTestAccess::clauses(s);
      for (int i = 0; i < cs.size(); i++) {
        const Minisat::Clause& c = ca[cs[i]];
        ASSERT_EQ(0u, c.mark());
        for (int j = 0; j < c.size(); j++) ASSERT_FALSE(s.isEliminated(Minisat::var(c[j])));
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Timing driver (disabled by default; run with --gtest_also_run_disabled_tests
// --gtest_filter=*Timing*). Generates bit-vector style circuits and a few
// classic hard formulas, solves each with both adapters, prints the times and
// writes the formulas as DIMACS files to the test directory (or /tmp) for
// comparison with other solvers.

namespace {

struct Cnf {
  int vars = 0;
  std::vector<Clause> clauses;
  int fresh() { return 2 * vars++; }
  void add(Clause c) { clauses.push_back(std::move(c)); }
  int andGate(int x, int y) {
    int z = fresh();
    add({z ^ 1, x});
    add({z ^ 1, y});
    add({z, x ^ 1, y ^ 1});
    return z;
  }
  int orGate(int x, int y) { return andGate(x ^ 1, y ^ 1) ^ 1; }
  int xorGate(int x, int y) {
    int z = fresh();
    add({z ^ 1, x, y});
    add({z ^ 1, x ^ 1, y ^ 1});
    add({z, x ^ 1, y});
    add({z, x, y ^ 1});
    return z;
  }
  // Full adder: sum and carry out.
  std::pair<int, int> fullAdder(int x, int y, int c) {
    int s = xorGate(xorGate(x, y), c);
    int carry = orGate(andGate(x, y), andGate(c, xorGate(x, y)));
    return {s, carry};
  }
  std::vector<int> inputs(int n) {
    std::vector<int> v;
    for (int i = 0; i < n; i++) v.push_back(fresh());
    return v;
  }
  std::vector<int> add(const std::vector<int>& a, const std::vector<int>& b) {
    std::vector<int> out;
    int carry = -1;
    for (size_t i = 0; i < a.size(); i++) {
      if (carry < 0) {
        out.push_back(xorGate(a[i], b[i]));
        carry = andGate(a[i], b[i]);
      } else {
        auto sc = fullAdder(a[i], b[i], carry);
        out.push_back(sc.first);
        carry = sc.second;
      }
    }
    return out;
  }
  // Shift-and-add multiplier modulo 2^n.
  std::vector<int> mul(const std::vector<int>& a, const std::vector<int>& b) {
    size_t n = a.size();
    std::vector<int> acc;
    for (size_t i = 0; i < n; i++) acc.push_back(andGate(a[i], b[0]));
    for (size_t j = 1; j < n; j++) {
      std::vector<int> pp(n);
      int zero = fresh();
      add({zero ^ 1});
      for (size_t i = 0; i < n; i++) pp[i] = i < j ? zero : andGate(a[i - j], b[j]);
      acc = add(acc, pp);
    }
    return acc;
  }
  // Asserts that two vectors differ somewhere.
  void differ(const std::vector<int>& x, const std::vector<int>& y) {
    Clause any;
    for (size_t i = 0; i < x.size(); i++) any.push_back(xorGate(x[i], y[i]));
    add(any);
  }
  void writeDimacs(const std::string& path) const {
    FILE* f = fopen(path.c_str(), "w");
    if (!f) return;
    fprintf(f, "p cnf %d %zu\n", vars, clauses.size());
    for (const Clause& c : clauses) {
      for (int l : c) fprintf(f, "%d ", (l & 1) ? -((l >> 1) + 1) : (l >> 1) + 1);
      fprintf(f, "0\n");
    }
    fclose(f);
  }
};

Cnf mulCommutes(int n) {
  Cnf c;
  auto a = c.inputs(n), b = c.inputs(n);
  c.differ(c.mul(a, b), c.mul(b, a));
  return c;
}

Cnf addAssociates(int n) {
  Cnf c;
  auto a = c.inputs(n), b = c.inputs(n), d = c.inputs(n);
  c.differ(c.add(c.add(a, b), d), c.add(a, c.add(b, d)));
  return c;
}

// x * y == N with x, y > 1 (satisfiable for a composite N).
Cnf factor(int n, uint64_t N) {
  Cnf c;
  auto a = c.inputs(n), b = c.inputs(n);
  auto p = c.mul(a, b);
  for (int i = 0; i < n; i++) c.add({p[i] ^ (int)(((N >> i) & 1) ? 0 : 1)});
  // No overflow: the high halves of both factors are zero.
  for (int i = n / 2; i < n; i++) {
    c.add({a[i] ^ 1});
    c.add({b[i] ^ 1});
  }
  Clause a_gt1(a.begin() + 1, a.end()), b_gt1(b.begin() + 1, b.end());
  c.add(a_gt1);
  c.add(b_gt1);
  return c;
}

Cnf pigeonhole(int holes) {
  Cnf c;
  int pigeons = holes + 1;
  std::vector<std::vector<int>> p(pigeons, std::vector<int>(holes));
  for (auto& row : p)
    for (int& x : row) x = c.fresh();
  for (auto& row : p) c.add(Clause(row.begin(), row.end()));
  for (int h = 0; h < holes; h++)
    for (int i = 0; i < pigeons; i++)
      for (int j = i + 1; j < pigeons; j++) c.add({p[i][h] ^ 1, p[j][h] ^ 1});
  return c;
}

Cnf random3Sat(int vars, double ratio, uint32_t seed) {
  Cnf c;
  std::mt19937 rng(seed);
  c.vars = vars;
  for (int i = 0; i < (int)(vars * ratio); i++) c.add(randomClause(rng, vars, 3, 3));
  return c;
}

}  // namespace

TEST(SatMiniSatTiming, DISABLED_Timing) {
#ifdef VARNOK_TEST_TMPDIR
  std::string dir = VARNOK_TEST_TMPDIR;
#else
  std::string dir = "/tmp";
#endif
  std::vector<std::pair<std::string, Cnf>> problems;
  problems.push_back({"mul_comm_8", mulCommutes(8)});
  problems.push_back({"mul_comm_9", mulCommutes(9)});
  problems.push_back({"add_assoc_64", addAssociates(64)});
  problems.push_back({"factor_32", factor(32, 4292870399ull)});  // 65519 * 65521
  problems.push_back({"php_8", pigeonhole(8)});
  problems.push_back({"php_9", pigeonhole(9)});
  for (uint32_t s = 1; s <= 3; s++) problems.push_back({"rand3_250_" + std::to_string(s), random3Sat(250, 4.26, s)});
  std::vector<NamedFactory> backs = backEnds();
  backs.push_back({"core-mod", [] { return (varnok::sat::Solver*)new varnok::sat::MiniSatCoreModified(); }});
  backs.push_back({"simp-mod", [] { return (varnok::sat::Solver*)new varnok::sat::MiniSatSimpModified(); }});
  const size_t n = backs.size();
  printf("%-14s %6s %7s", "problem", "vars", "clauses");
  for (const NamedFactory& b : backs) printf(" %9s", b.name);
  printf("  [s]\n");
  std::vector<double> total(n, 0.0);
  for (auto& p : problems) {
    p.second.writeDimacs(dir + "/" + p.first + ".cnf");
    std::vector<double> t(n);
    std::vector<int> answer(n);
    for (size_t k = 0; k < n; k++) {
      auto start = std::chrono::steady_clock::now();
      std::unique_ptr<varnok::sat::Solver> s(backs[k].factory());
      for (const Clause& c : p.second.clauses) s->addClause(c);
      answer[k] = s->solve({});
      t[k] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      total[k] += t[k];
      if (answer[k] == 0) {
        EXPECT_TRUE(modelSatisfies(*s, p.second.clauses, {})) << p.first;
      }
      EXPECT_EQ(answer[0], answer[k]) << p.first << " " << backs[k].name;
    }
    printf("%-14s %6d %7zu", p.first.c_str(), p.second.vars, p.second.clauses.size());
    for (size_t k = 0; k < n; k++) printf(" %9.3f", t[k]);
    printf("  %s\n", answer[0] == 0 ? "sat" : "unsat");
  }
  printf("%-14s %6s %7s", "total", "", "");
  for (size_t k = 0; k < n; k++) printf(" %9.3f", total[k]);
  printf("\n");
}
