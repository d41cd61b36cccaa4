// The Glucose back ends: the shared back-end bodies on both adapters, and the
// solver's own rules (LBD, minimisation, restarts, reduction, binary watches,
// relocation), its option tables, proof output and incremental mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "sat/adapters.h"
#include "sat/factory.h"
#include "sat/glucose/simp_solver.h"
#include "sat/glucose/solver.h"
#include "support/run_program.h"
#include "support/sat_backend_tests.h"

using namespace sat_backend_tests;
using Glucose::CRef;
using Glucose::Lit;
using Glucose::mkLit;
using Glucose::Var;

namespace {

varnok::sat::Solver* makeCore() { return new varnok::sat::GlucoseCore(); }
varnok::sat::Solver* makeSimp() { return new varnok::sat::GlucoseSimp(); }
varnok::sat::Solver* makeMiniSatCore() { return new varnok::sat::MiniSatCore(); }
// Garbage collection after almost every removal: relocation of both watch
// tables, reasons, learnt clause fields and the elimination lists.
varnok::sat::Solver* makeSimpCollecting() {
  varnok::sat::GlucoseSimp* s = new varnok::sat::GlucoseSimp();
  s->getSolver().garbage_frac = 0.01;
  s->getSolver().simp_garbage_frac = 0.01;
  return s;
}

typedef Glucose::Solver::vec<Lit> Lits;

Lits lits(std::initializer_list<Lit> ls) {
  Lits v;
  for (Lit l : ls) v.push(l);
  return v;
}

// Opens one decision level per literal and makes it true there.
void decide(Glucose::Solver& s, std::initializer_list<Lit> ls) {
  for (Lit l : ls) {
    s.newDecisionLevel();
    s.uncheckedEnqueue(l);
  }
}

// A learnt clause with the given LBD and activity, attached.
CRef learnt(Glucose::Solver& s, const Lits& ls, unsigned lbd, float activity = 0) {
  CRef cr = s.addLearnt(ls, false);
  s.ca[cr].setLBD(lbd);
  s.ca[cr].activity() = activity;
  return cr;
}

Glucose::Solver& glucoseOf(varnok::sat::Solver& s, bool simp) {
  if (simp) return static_cast<varnok::sat::GlucoseSimp&>(s).getSolver();
  return static_cast<varnok::sat::GlucoseCore&>(s).getSolver();
}

// Pigeons into one hole fewer: unsatisfiable, thousands of conflicts.
std::vector<Clause> pigeonhole(int pigeons) {
  int holes = pigeons - 1;
  std::vector<Clause> cs;
  auto p = [&](int i, int h) { return 2 * (i * holes + h); };
  for (int i = 0; i < pigeons; i++) {
    Clause c;
    for (int h = 0; h < holes; h++) c.push_back(p(i, h));
    cs.push_back(c);
  }
  for (int h = 0; h < holes; h++)
    for (int i = 0; i < pigeons; i++)
      for (int j = i + 1; j < pigeons; j++) cs.push_back({p(i, h) + 1, p(j, h) + 1});
  return cs;
}

// ---------------------------------------------------------------------------
// The back ends as a whole

TEST(GlucoseBackEnds, SharedBodiesOnBothAdapters) {
  const struct {
    const char* name;
    SolverFactory factory;
  } backEnds[] = {{"Glucose 3.0 core", makeCore}, {"Glucose 3.0 simp", makeSimp}};
  uint32_t seed = 1901;
  for (const auto& b : backEnds) {
    SCOPED_TRACE(b.name);
    std::unique_ptr<varnok::sat::Solver> s(b.factory());
    EXPECT_STREQ(b.name, s->getName());
    basicAdapterBehaviour(b.factory);
    Volume v = randomCnfVsBruteForce(b.factory, seed++, rounds(1200, 200));
    EXPECT_GT(v.sat, 0);
    EXPECT_GT(v.unsat, 0);
    v = incrementalSequences(b.factory, seed++, rounds(800, 150));
    EXPECT_GT(v.sat, 0);
    EXPECT_GT(v.unsat, 0);
    IncrementalOptions dense;
    dense.max_vars = 12;
    dense.steps = 400;
    EXPECT_GT(incrementalSequences(b.factory, seed++, rounds(300, 40), dense).solves, 0);
    repeatedAssumptions(b.factory, seed++, rounds(400, 100));
  }
  // The shared body holds for the MiniSat family as well.
  repeatedAssumptions(makeMiniSatCore, 1999, rounds(100, 20));
}

TEST(GlucoseBackEnds, AgreeWithMiniSatAndEachOther) {
  Volume v = backendsAgree(makeCore, makeMiniSatCore, 1902, rounds(300, 40), 120);
  v.add(backendsAgree(makeSimpCollecting, makeCore, 1904, rounds(150, 20), 120));
  EXPECT_GT(v.sat, 0);
  EXPECT_GT(v.unsat, 0);
  IncrementalOptions options;
  options.steps = 300;
  EXPECT_GT(incrementalSequences(makeSimpCollecting, 1905, rounds(300, 60), options).unsat, 0);
}

// The duplicate assumptions open more decision levels than there are
// variables; the LBD of the learnt clause is counted at level 4 of a
// three-variable solver. The learnt unit is counted, not stored.
TEST(GlucoseSolver, LevelsBeyondTheVariableCount) {
  Glucose::Solver s;
  for (int i = 0; i < 3; i++) s.newVar();
  ASSERT_TRUE(s.addClause(mkLit(0)));
  ASSERT_TRUE(s.addClause(~mkLit(1), mkLit(2)));
  ASSERT_TRUE(s.addClause(~mkLit(1), ~mkLit(2)));
  Lits assumed = lits({mkLit(0), mkLit(0), mkLit(0), mkLit(1)});
  EXPECT_FALSE(s.solve(assumed));
  EXPECT_TRUE(s.okay());
  EXPECT_EQ(1u, s.learntsUnit);
  EXPECT_EQ(0, s.nLearnts());
  EXPECT_GE(s.levelStamp.size(), 5);
  EXPECT_TRUE(s.solve());

  // Direct: 40 empty levels over three variables.
  Glucose::Solver t;
  for (int i = 0; i < 3; i++) t.newVar();
  for (int i = 0; i < 40; i++) t.newDecisionLevel();
  t.uncheckedEnqueue(mkLit(2));
  EXPECT_EQ(1u, t.computeLBD(lits({~mkLit(2)})));
  EXPECT_GE(t.levelStamp.size(), 41);
}

// ---------------------------------------------------------------------------
// LBD rules

TEST(GlucoseSolver, LbdCountAndReMeasurement) {
  Glucose::Solver s;
  for (int v = 0; v < 45; v++) s.newVar();
  // Variable v is true at level v + 1.
  for (int v = 0; v < 45; v++) decide(s, {mkLit(v)});
  auto overVars = [&](int from, int n) {
    Lits ls;
    for (int v = from; v < from + n; v++) ls.push(~mkLit(v));
    return ls;
  };
  EXPECT_EQ(20u, s.computeLBD(overVars(0, 20)));

  struct Case {
    int vars;
    unsigned lbd;
    unsigned expected_lbd;
    bool expected_deletable;
  };
  // 40 -> 20 stays deletable (40 is above 30); 25 -> 10 is protected; a
  // drop by one changes nothing; LBD 2 is never measured again.
  const Case cases[] = {{20, 40, 20, true}, {10, 25, 10, false}, {10, 11, 11, true}, {5, 2, 2, true}};
  for (const Case& k : cases) {
    CRef cr = learnt(s, overVars(0, k.vars), k.lbd);
    Glucose::Clause& c = s.ca[cr];
    s.visitAnalyzedClause(c, Glucose::lit_Undef);
    EXPECT_EQ(k.expected_lbd, c.lbd()) << k.lbd;
    EXPECT_EQ(k.expected_deletable, c.deletable()) << k.lbd;
    EXPECT_GT(c.activity(), 0) << k.lbd;
  }
  // A binary reason met in analysis gets the implied literal first.
  CRef bin = learnt(s, lits({~mkLit(0), mkLit(1)}), 2);
  s.visitAnalyzedClause(s.ca[bin], mkLit(1));
  EXPECT_TRUE(s.ca[bin][0] == mkLit(1));
}

// (not a or b) with b true lets the learnt (not a, not b, not c) drop not b.
TEST(GlucoseSolver, BinaryResolutionMinimisation) {
  Glucose::Solver s;
  for (int v = 0; v < 3; v++) s.newVar();
  ASSERT_TRUE(s.addClause(~mkLit(0), mkLit(1)));
  decide(s, {mkLit(1), mkLit(2), mkLit(0)});
  Lits out = lits({~mkLit(0), ~mkLit(1), ~mkLit(2)});
  s.binResMinimize(out);
  ASSERT_EQ(2, out.size());
  EXPECT_TRUE(out[0] == ~mkLit(0));
  EXPECT_TRUE(out[1] == ~mkLit(2));
  EXPECT_EQ(1u, s.reducedClauses);
  // Above the LBD limit (6) nothing is tried.
  Glucose::Solver t;
  for (int v = 0; v < 9; v++) t.newVar();
  ASSERT_TRUE(t.addClause(~mkLit(0), mkLit(1)));
  for (int v = 1; v < 9; v++) decide(t, {mkLit(v)});
  decide(t, {mkLit(0)});
  Lits wide;
  for (int v = 0; v < 9; v++) wide.push(~mkLit(v));
  t.binResMinimize(wide);
  EXPECT_EQ(9, wide.size());
  EXPECT_EQ(0u, t.reducedClauses);
}

// ---------------------------------------------------------------------------
// Restarts, blocking, decay

TEST(GlucoseSolver, BoundedQueueKeepsTheLastValues) {
  Glucose::BoundedQueue<Glucose::OutOfMemoryException> q;
  q.initSize(3);
  for (uint32_t x : {1, 2}) q.push(x);
  EXPECT_FALSE(q.valid());
  q.push(6);
  EXPECT_TRUE(q.valid() && q.average() == 3u);
  for (uint32_t x : {10, 0, 0}) q.push(x);  // 10, 0, 0: floor(10 / 3)
  EXPECT_EQ(3u, q.average());
  q.fastClear();
  q.push(7);
  EXPECT_TRUE(!q.valid() && q.average() == 7u);
}

TEST(GlucoseSolver, RestartNeedsAFullQueueAboveTheAverage) {
  Glucose::Solver s;
  s.restartConflicts = 100;
  s.lbdSum = 300;  // all-time average 3
  for (int i = 0; i < 49; i++) s.lbdQueue.push(5);
  EXPECT_FALSE(s.restartDue(0, 0));
  s.lbdQueue.push(5);  // 5 * 0.8 > 3
  EXPECT_TRUE(s.restartDue(0, 0));
  EXPECT_EQ(0, s.lbdQueue.size());
  for (int i = 0; i < 50; i++) s.lbdQueue.push(3);  // 2.4 < 3
  EXPECT_FALSE(s.restartDue(0, 0));

  // Blocking: only after 10,000 conflicts, with a trail longer than 1.4
  // times its recent average.
  for (int v = 0; v < 20; v++) {
    s.newVar();
    s.uncheckedEnqueue(mkLit(v));
  }
  for (int i = 0; i < 5000; i++) s.trailQueue.push(10);
  s.starts = 1;
  s.restartConflicts = 10000;
  s.beforeAnalysis();
  EXPECT_EQ(50, s.lbdQueue.size());
  EXPECT_EQ(0u, s.blockedRestarts);
  s.restartConflicts = 10001;
  s.beforeAnalysis();
  EXPECT_EQ(0, s.lbdQueue.size());
  EXPECT_EQ(1u, s.blockedRestarts);
  EXPECT_EQ(1u, s.blockingSearches);
  for (int i = 0; i < 50; i++) s.lbdQueue.push(3);
  s.beforeAnalysis();  // the same search: blocked again, one blocking search
  EXPECT_EQ(2u, s.blockedRestarts);
  EXPECT_EQ(1u, s.blockingSearches);
}

TEST(GlucoseSolver, VariableDecayGrowsEvery5000Conflicts) {
  Glucose::Solver s;
  EXPECT_EQ(0.8, s.var_decay);
  for (uint64_t c = 4999; c <= 100000; c += c == 4999 ? 1 : 5000) {
    s.conflicts = c;
    s.noteConflict();
    EXPECT_TRUE(c != 4999 || s.var_decay == 0.8);
    if (c == 5000) {
      EXPECT_DOUBLE_EQ(0.81, s.var_decay);
    }
    EXPECT_TRUE(c != 70000 || s.var_decay < 0.95);
  }
  EXPECT_NEAR(0.95, s.var_decay, 1e-9);
}

// ---------------------------------------------------------------------------
// Reduction

TEST(GlucoseSolver, ReductionSchedule) {
  Glucose::Solver s;
  const uint64_t at[] = {2000, 4600, 7800, 11600};
  uint64_t reductions = 0;
  for (uint64_t due : at) {
    s.conflicts = due - 1;
    s.reduceIfDue();
    EXPECT_EQ(reductions, s.reduceCount) << due;
    s.conflicts = due;
    s.reduceIfDue();
    EXPECT_EQ(++reductions, s.reduceCount) << due;
  }
}

TEST(GlucoseSolver, ReductionRemovesTheWorstHalf) {
  Glucose::Solver s;
  for (int v = 0; v < 8; v++) s.newVar();
  auto three = [&](int k) { return lits({mkLit(k % 8), mkLit((k + 1) % 8), ~mkLit((k + 2) % 8)}); };
  std::vector<CRef> worst;
  for (int k = 0; k < 8; k++) worst.push_back(learnt(s, three(k), 6, (float)k));  // LBD 6, activity k
  CRef frozen = learnt(s, three(1), 6, 0.5f);
  s.ca[frozen].setDeletable(false);
  std::vector<CRef> good;
  for (int k = 0; k < 4; k++) good.push_back(learnt(s, lits({mkLit(k), mkLit(k + 1), mkLit(k + 2), mkLit(k + 3)}), 4, 10.0f + k));
  CRef glue = learnt(s, three(3), 2, 0);
  CRef binary = learnt(s, lits({mkLit(6), mkLit(7)}), 2, 0);
  ASSERT_EQ(15, s.nLearnts());

  s.garbage_frac = 1e9;  // (the references stay valid)
  s.reduceDB();
  // Limit 7, plus one for the protected clause: the seven least active of
  // LBD 6 go.
  EXPECT_EQ(7u, s.removedClauses);
  EXPECT_EQ(8, s.nLearnts());
  for (int k = 0; k < 7; k++) EXPECT_EQ(1u, s.ca[worst[k]].mark()) << k;
  std::vector<CRef> kept = {worst[7], frozen, glue, binary};
  kept.insert(kept.end(), good.begin(), good.end());
  for (CRef cr : kept) {
    EXPECT_EQ(0u, s.ca[cr].mark());
    EXPECT_TRUE(s.ca[cr].deletable());
  }
  // The last clause (binary, LBD 2) postpones the next reduction once.
  EXPECT_EQ(2000 + 1000, s.reduceLimit);

  // Only binary and LBD-2 clauses: nothing goes, the middle clause has LBD
  // <= 3 as well, so both special increments apply.
  Glucose::Solver t;
  for (int v = 0; v < 8; v++) t.newVar();
  for (int k = 0; k < 6; k++) {
    CRef cr = learnt(t, k % 2 ? lits({mkLit(k), mkLit(k + 1)}) : three(k), 2, 0);
    t.ca[cr].setDeletable(false);
  }
  t.reduceDB();
  EXPECT_EQ(6, t.nLearnts());
  EXPECT_EQ(0u, t.removedClauses);
  for (int i = 0; i < t.nLearnts(); i++) EXPECT_TRUE(t.ca[t.learnts[i]].deletable());
  EXPECT_EQ(2000 + 2 * 1000, t.reduceLimit);
}

// ---------------------------------------------------------------------------
// Clause database

TEST(GlucoseSolver, BinaryClausesHaveListsOfTheirOwn) {
  Glucose::Solver s;
  for (int v = 0; v < 4; v++) s.newVar();
  ASSERT_TRUE(s.addClause(mkLit(0), mkLit(1)));
  ASSERT_TRUE(s.addClause(mkLit(0), mkLit(2), mkLit(3)));
  CRef bin = s.clauses[0];
  EXPECT_EQ(1, s.binWatches[~mkLit(0)].size());
  EXPECT_EQ(1, s.binWatches[~mkLit(1)].size());
  EXPECT_EQ(1, s.watches[~mkLit(0)].size());
  EXPECT_EQ(0, s.watches[~mkLit(1)].size());
  EXPECT_FALSE(s.ca[bin].has_extra());
  EXPECT_EQ(0u, s.ca[bin].lbd());
  EXPECT_TRUE(s.ca[bin].deletable());
  s.detachClause(bin, true);
  EXPECT_EQ(0, s.binWatches[~mkLit(0)].size());
  EXPECT_EQ(0, s.binWatches[~mkLit(1)].size());
  EXPECT_EQ(1, s.watches[~mkLit(0)].size());
  s.attachClause(bin);

  // Propagation through the binary list implies the second literal, which
  // then holds the lock: removal clears that variable's reason only.
  decide(s, {~mkLit(0)});
  EXPECT_EQ(Glucose::CRef_Undef, s.propagate());
  ASSERT_TRUE(s.value(mkLit(1)) == Glucose::l_True);
  EXPECT_EQ(bin, s.reason(1));
  EXPECT_TRUE(s.locked(s.ca[bin]));
  s.removeClause(bin);
  EXPECT_EQ(Glucose::CRef_Undef, s.reason(1));
  EXPECT_EQ(Glucose::CRef_Undef, s.reason(0));
}

TEST(GlucoseSolver, RelocationKeepsTheClauseRecord) {
  Glucose::SimpSolver s;
  for (int v = 0; v < 6; v++) s.newVar();
  ASSERT_TRUE(s.addClause(mkLit(0), mkLit(1), mkLit(2)));
  s.ca[s.clauses[0]].setHasSubsumed(true);
  CRef cr = learnt(s, lits({mkLit(3), ~mkLit(4), mkLit(5), ~mkLit(0)}), 3, 7.5f);
  s.ca[cr].setDeletable(false);
  s.ca[cr].setSelectorFreeSize(4);
  learnt(s, lits({mkLit(4), mkLit(5)}), 2, 1.5f);
  for (int k = 0; k < 5; k++) {
    Lits tmp = lits({mkLit(1), mkLit(2), mkLit(3)});
    s.ca.free(s.ca.alloc(tmp));
  }
  s.garbageCollect();
  EXPECT_EQ(0u, s.ca.wasted());
  const Glucose::Clause& c = s.ca[s.learnts[0]];
  EXPECT_EQ(4, c.size());
  EXPECT_EQ(3u, c.lbd());
  EXPECT_FALSE(c.deletable());
  EXPECT_EQ(4u, c.selectorFreeSize());
  EXPECT_EQ(7.5f, s.ca[s.learnts[0]].activity());
  EXPECT_EQ(1.5f, s.ca[s.learnts[1]].activity());
  EXPECT_TRUE(s.ca[s.clauses[0]].hasSubsumed());
  EXPECT_EQ(1, s.binWatches[~mkLit(4)].size());
  EXPECT_EQ(s.learnts[1], s.binWatches[~mkLit(4)][0].cref);
  EXPECT_TRUE(s.solve());
}

// ---------------------------------------------------------------------------
// Options

// All names and categories in construction order; full help texts of a few
// representative rows (each kind of range, bool, string, long description).
TEST(GlucoseOptions, TablesInConstructionOrder) {
  const char* names[] = {"incremental", "K", "R", "szLBDQueue", "szTrailQueue", "firstReduceDB", "incReduceDB",
                         "specialIncReduceDB", "minLBDFrozenClause", "minSizeMinimizingClause",
                         "minLBDMinimizingClause", "var-decay", "cla-decay", "rnd-freq", "rnd-seed", "ccmin-mode",
                         "phase-saving", "rnd-init", "gc-frac", "certified", "certified-output", "asymm", "rcheck",
                         "elim", "grow", "cl-lim", "sub-lim", "simp-gc-frac"};
  const std::pair<const char*, size_t> categories[] = {
      {"CORE", 1}, {"CORE -- RESTART", 4}, {"CORE -- REDUCE", 4}, {"CORE -- MINIMIZE", 2},
      {"CORE", 8}, {"CORE -- CERTIFIED UNSAT", 2}, {"SIMP", 7}};
  const auto& list = Glucose::Family::Option::getOptionList();
  ASSERT_EQ(sizeof(names) / sizeof(names[0]), list.size());
  size_t i = 0;
  for (const auto& run : categories)
    for (size_t k = 0; k < run.second; k++, i++) {
      EXPECT_STREQ(names[i], list[i]->getName());
      EXPECT_STREQ(run.first, list[i]->getCategory()) << names[i];
    }
  EXPECT_EQ(list.size(), i);
  const struct {
    size_t index;
    const char *type, *help, *description;
  } rows[] = {
      {1, "<double>", "  -K            = <double> (   0 ..    1) (default: 0.8)\n",
       "The constant used to force restart"},
      {2, "<double>", "  -R            = <double> (   1 ..    5) (default: 1.4)\n",
       "The constant used to block restart"},
      {3, "<int32>", "  -szLBDQueue   = <int32>  [  10 .. imax] (default: 50)\n",
       "The size of moving average for LBD (restarts)"},
      {13, "<double>", "  -rnd-freq     = <double> [   0 ..    1] (default: 0)\n",
       "The frequency with which the decision heuristic tries to choose a random variable"},
      {14, "<double>", "  -rnd-seed     = <double> (   0 ..  inf) (default: 9.16483e+07)\n",
       "Used by the random variable selection"},
      {20, "<string>", "  -certified-output = <string>\n", "Certified UNSAT output file"},
      {23, "<bool>", "  -elim, -no-elim                         (default: on)\n", "Perform variable elimination."},
      {24, "<int32>", "  -grow         = <int32>  [imin .. imax] (default: 0)\n",
       "Allow a variable elimination step to grow by a number of clauses."},
      {25, "<int32>", "  -cl-lim       = <int32>  [  -1 .. imax] (default: 20)\n",
       "Variables are not eliminated if it produces a resolvent with a length above this limit. -1 means no "
       "limit"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(names[r.index]);
    EXPECT_STREQ(r.type, list[r.index]->getTypeName());
    ::testing::internal::CaptureStderr();
    list[r.index]->help(true);
    EXPECT_EQ(std::string(r.help) + "\n        " + r.description + "\n\n", ::testing::internal::GetCapturedStderr());
  }
}

TEST(GlucoseOptions, SolversStartWithTheDefaults) {
  Glucose::SimpSolver s;
  EXPECT_TRUE(s.K == 0.8 && s.R == 1.4 && s.sizeLBDQueue == 50 && s.sizeTrailQueue == 5000 && s.reduceRound == 1);
  EXPECT_TRUE(s.firstReduceDB == 2000 && s.reduceLimit == 2000 && s.incReduceDB == 300 &&
              s.specialIncReduceDB == 1000 && s.lbLBDFrozenClause == 30 && s.lbLBDMinimizingClause == 6);
  EXPECT_TRUE(s.var_decay == 0.8 && s.clause_decay == 0.999 && s.random_var_freq == 0 && s.random_seed == 91648253);
  EXPECT_TRUE(s.ccmin_mode == 2 && s.phase_saving == 2 && !s.rnd_init_act && s.garbage_frac == 0.2 &&
              s.lbSizeMinimizingClause == 30);
  EXPECT_TRUE(!s.incremental && !s.certified && s.verbosity == 0 && s.input_mode == 1);
  EXPECT_TRUE(s.grow == 0 && s.clause_lim == 20 && s.subsumption_lim == 1000 && s.simp_garbage_frac == 0.5 &&
              s.use_elim && !s.use_asymm && !s.use_rcheck);
  // Problem clauses carry their abstraction only in the simplifying solver.
  EXPECT_TRUE(s.ca.extra_clause_field && !s.remove_satisfied);
  Glucose::Solver core;
  EXPECT_TRUE(!core.ca.extra_clause_field && core.remove_satisfied);
}

struct ParseTag {};

// (range checks are the shared option code's; the ranges show in the help rows)
TEST(GlucoseOptions, StringOption) {
  Glucose::StringOption<ParseTag> path("T", "out", "where", "NULL");
  EXPECT_STREQ("NULL", (const char*)path);
  EXPECT_FALSE(path.parse("-out/tmp/proof"));
  EXPECT_FALSE(path.parse("out=/tmp/proof"));
  const char* text = "-out=/tmp/proof";
  EXPECT_TRUE(path.parse(text));
  EXPECT_EQ(text + 5, (const char*)path);
  ::testing::internal::CaptureStderr();
  path.help(false);
  EXPECT_EQ("  -out        = <string>\n", ::testing::internal::GetCapturedStderr());
}

// ---------------------------------------------------------------------------
// Adapters and the program

TEST(GlucoseAdapters, NoModulesAndStatistics) {
  for (bool simp : {false, true}) {
    std::unique_ptr<varnok::sat::Solver> s = varnok::sat::create(varnok::sat::Kind::Glucose, simp);
    ASSERT_TRUE(s != nullptr);
    varnok::sat::ModuleCallbackNode node;
    try {
      s->addModuleCallback(0, &node);
      ADD_FAILURE() << "no exception";
    } catch (const std::logic_error& e) {
      EXPECT_NE(std::string::npos, std::string(e.what()).find("\nError: This SAT solver has no module support."));
    }
    s->addClause({0, 2});
    s->addClause({1, 5});
    std::ostringstream out;
    s->printStatistics(out);
    EXPECT_EQ("Variables: 3\nClauses: 2\nLearnts: 0\n", out.str());
  }
  EXPECT_TRUE(varnok::sat::isAvailable(varnok::sat::Kind::Glucose));
}

TEST(GlucoseAdapters, ChosenOnTheCommandLine) {
  const std::string dir = varnok_test::scratchDirectory("glucose");
  const std::string script =
      "(set-logic QF_BV)\n(set-option :produce-models true)\n"
      "(declare-fun x () (_ BitVec 8))\n(declare-fun y () (_ BitVec 8))\n"
      "(assert (= (bvmul x y) #x8f))\n(assert (bvugt x #x01))\n(assert (bvugt y #x01))\n"
      "(check-sat)\n(assert (not (= (bvmul x y) (bvmul y x))))\n(check-sat)\n";
  for (const char* pre : {"--sat-preprocessing=on", "--sat-preprocessing=off"}) {
    varnok_test::RunResult r = varnok_test::runVarnok({"--sat-solver=glucose", pre}, script, dir);
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("sat\nunsat\n", r.out) << pre;
  }
}

// ---------------------------------------------------------------------------
// Proof output (DRUP) and incremental mode, both off unless turned on

// Turns proof output on for the solvers constructed in its scope.
struct ProofOn {
  std::string path;
  explicit ProofOn(const std::string& name) : path(::testing::TempDir() + name) {
    static std::string keep;  // the option points at the text
    keep = "-certified-output=" + path;
    Glucose::Family::options.certified = true;
    Glucose::Family::options.certifiedOutput.parse(keep.c_str());
  }
  ~ProofOn() {
    Glucose::Family::options.certified = false;
    Glucose::Family::options.certifiedOutput.parse("-certified-output=NULL");
  }
  std::string text() const {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
};

// Forward check of a DRUP proof over a clause set (DIMACS literals): every
// added clause follows by unit propagation from the current clauses, every
// deleted clause is present (clauses that imply a top-level unit stay, so
// that deletion loses no fact); `refuted` once the empty clause is added.
struct RupChecker {
  std::vector<std::vector<int>> clauses;
  std::vector<bool> alive;
  std::string error;
  bool refuted = false;

  explicit RupChecker(const std::vector<Clause>& input) {
    for (const Clause& c : input) {
      std::vector<int> d;
      for (int l : c) d.push_back((l & 1) ? -((l >> 1) + 1) : (l >> 1) + 1);
      clauses.push_back(norm(d));
    }
    alive.assign(clauses.size(), true);
  }
  static std::vector<int> norm(std::vector<int> c) {
    std::sort(c.begin(), c.end());
    c.erase(std::unique(c.begin(), c.end()), c.end());
    return c;
  }
  static int sgn(int l) { return l > 0 ? 1 : -1; }
  // Unit propagation from the negation of `lemma`: true on a conflict;
  // `units` gets the top-level values when lemma is empty.
  bool conflicts(const std::vector<int>& lemma, std::map<int, int>* units = nullptr) const {
    std::map<int, int> val;  // variable -> 1 / -1
    for (int l : lemma) {
      if (val.count(std::abs(l)) && val[std::abs(l)] != -sgn(l)) return true;  // tautology
      val[std::abs(l)] = -sgn(l);
    }
    for (bool changed = true; changed;) {
      changed = false;
      for (size_t i = 0; i < clauses.size(); i++) {
        int open = 0, last = 0;
        bool sat = !alive[i];
        for (int l : clauses[i]) {
          auto it = val.find(std::abs(l));
          if (it == val.end()) open++, last = l;
          else sat |= it->second == sgn(l);
        }
        if (sat) continue;
        if (open == 0) return true;
        if (open == 1) val[std::abs(last)] = sgn(last), changed = true;
      }
    }
    if (units) *units = val;
    return false;
  }
  void line(const std::string& text) {
    std::istringstream in(text);
    std::string first;
    in >> first;
    bool deletion = first == "d";
    std::vector<int> c;
    if (!deletion) c.push_back(std::stoi(first));
    for (int l; in >> l;) c.push_back(l);
    if (c.empty() || c.back() != 0) return void(error += "bad line: " + text + "\n");
    c.pop_back();
    if (!deletion) {
      if (!conflicts(c)) error += "not implied: " + text + "\n";
      refuted |= c.empty();
      clauses.push_back(norm(c));
      alive.push_back(true);
      return;
    }
    std::map<int, int> units;
    conflicts({}, &units);
    std::vector<int> n = norm(c);
    for (size_t i = 0; i < clauses.size(); i++) {
      if (!alive[i] || clauses[i] != n) continue;
      int true_lits = 0, false_lits = 0;
      for (int l : n) {
        auto it = units.find(std::abs(l));
        if (it != units.end()) (it->second == sgn(l) ? true_lits : false_lits)++;
      }
      if (!(true_lits == 1 && false_lits + 1 == (int)n.size())) alive[i] = false;
      return;
    }
    error += "deleted clause absent: " + text + "\n";
  }
  void proof(const std::string& text) {
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) line(l);
  }
};

// Closes a proof file that the solver leaves open (an answer found before
// any search).
void closeProof(Glucose::Solver& s) {
  if (s.certifiedOutput != nullptr) std::fclose(s.certifiedOutput);
  s.certifiedOutput = nullptr;
}

}  // namespace

// Exact lines: a clause shortened by a level-0 value (then the deletion of
// the sorted input), the learnt unit, the empty clause at the end; a second
// solve writes nothing.
TEST(GlucoseProof, LinesOfTheCoreSolver) {
  ProofOn on("glucose_proof_lines.drup");
  {
    Glucose::Solver s;
    ASSERT_NE(nullptr, s.certifiedOutput);
    for (int v = 0; v < 3; v++) s.newVar();
    ASSERT_TRUE(s.addClause(mkLit(2)));
    ASSERT_TRUE(s.addClause(lits({~mkLit(2), mkLit(1), mkLit(0), mkLit(1)})));
    ASSERT_TRUE(s.addClause(mkLit(0), mkLit(0), ~mkLit(1)));  // duplicates only: no line
    ASSERT_TRUE(s.addClause(~mkLit(0), mkLit(1)));
    ASSERT_TRUE(s.addClause(~mkLit(0), ~mkLit(1)));
    EXPECT_FALSE(s.solve());
    EXPECT_EQ(nullptr, s.certifiedOutput);
    EXPECT_FALSE(s.solve());
  }
  EXPECT_EQ("1 2 0\nd 1 2 2 -3 0\n1 0\n0\n", on.text());
  {
    // Removal of a satisfied learnt clause by top-level simplification.
    Glucose::Solver s;
    for (int v = 0; v < 3; v++) s.newVar();
    learnt(s, lits({mkLit(0), ~mkLit(1), mkLit(2)}), 3);
    ASSERT_TRUE(s.addClause(mkLit(2)));
    ASSERT_TRUE(s.simplify());
    EXPECT_EQ(0, s.nLearnts());
    closeProof(s);
  }
  EXPECT_EQ("d 1 -2 3 0\n", on.text());
}

// The simplifying solver: strengthening writes the shorter clause and
// deletes the longer one; subsumed clauses are deleted; clauses it adds are
// written only with input_mode 0.
TEST(GlucoseProof, LinesOfTheSimplifyingSolver) {
  ProofOn on("glucose_proof_simp.drup");
  for (int mode : {1, 0}) {
    {
      Glucose::SimpSolver s;
      s.input_mode = mode;
      for (int v = 0; v < 4; v++) s.newVar();
      s.setFrozen(0, true);
      s.setFrozen(1, true);
      ASSERT_TRUE(s.addClause(mkLit(0), mkLit(1), mkLit(2)));
      ASSERT_TRUE(s.addClause(mkLit(0), mkLit(1), ~mkLit(2)));
      ASSERT_TRUE(s.eliminate(true));
      closeProof(s);
    }
    std::string added = mode == 0 ? "1 2 3 0\n1 2 -3 0\n" : "";
    EXPECT_EQ(added + "1 2 0\nd 1 2 -3 0\nd 1 2 3 0\n", on.text()) << mode;
  }
}

// Proofs of small unsatisfiable clause sets are DRUP refutations.
TEST(GlucoseProof, RefutationsCheckByUnitPropagation) {
  std::vector<std::vector<Clause>> sets = {pigeonhole(4), pigeonhole(5), pigeonhole(6)};
  std::mt19937 rng(1907);
  while (sets.size() < 8) {
    std::vector<Clause> cs;
    for (int i = 0; i < 90; i++) cs.push_back(randomClause(rng, 14, 3, 3));
    if (!bruteForceSat(14, cs, {})) sets.push_back(cs);
  }
  ProofOn on("glucose_proof_check.drup");
  for (size_t k = 0; k < sets.size(); k++) {
    for (bool simp : {false, true}) {
      {
        std::unique_ptr<varnok::sat::Solver> s(simp ? makeSimp() : makeCore());
        Glucose::Solver& g = glucoseOf(*s, simp);
        if (simp) static_cast<Glucose::SimpSolver&>(g).use_elim = false;
        for (const Clause& c : sets[k]) s->addClause(c);
        ASSERT_EQ(1, s->solve({}));
        closeProof(g);
      }
      RupChecker check(sets[k]);
      check.proof(on.text());
      EXPECT_EQ("", check.error) << k << " " << simp;
      // (the simplifying solver may find the conflict before any search,
      // which then writes no empty clause: it follows by propagation)
      EXPECT_TRUE(check.refuted || (simp && check.conflicts({}))) << k << " " << simp;
    }
  }
}

// With the default output name "NULL" the proof goes to standard output:
// (x) then (-x) writes the empty clause and the deletion of (-x).
TEST(GlucoseProof, DefaultOutputIsStandardOutput) {
  Glucose::Family::options.certified = true;
  ::testing::internal::CaptureStdout();
  {
    Glucose::Solver s;
    s.newVar();
    ASSERT_TRUE(s.addClause(mkLit(0)));
    EXPECT_FALSE(s.addClause(~mkLit(0)));
    EXPECT_FALSE(s.solve());  // returns at once: nothing more, file left open
    ASSERT_NE(nullptr, s.certifiedOutput);
    std::fclose(s.certifiedOutput);
  }
  std::string out = ::testing::internal::GetCapturedStdout();
  Glucose::Family::options.certified = false;
  EXPECT_EQ("0\nd -1 0\n", out);
  EXPECT_EQ(nullptr, Glucose::Solver().certifiedOutput);
}

TEST(GlucoseProofDeathTest, IncrementalAndProofTogetherEndTheProcess) {
  ProofOn on("glucose_proof_exit.drup");
  EXPECT_EXIT(
      {
        Glucose::Solver s;
        s.setIncrementalMode();
        s.solve();
      },
      ::testing::ExitedWithCode(255), "Can not use incremental and certified unsat in the same time\n");
}

// Incremental mode over x0..x2 with selectors s3, s4 (above the initial
// variable count 2): clauses (x0 x1 s3) and (x0 -x1 s4), -s3 and -s4 assumed
// at levels 1 and 2, -x0 decided at 3. The learnt clause is x0 followed by
// the selectors, which are not bumped and do not count in the LBD.
TEST(GlucoseIncremental, SelectorsInAnalysisAndPropagation) {
  Glucose::Solver s;
  s.setIncrementalMode();
  s.setInitialVarCount(2);
  for (int v = 0; v < 5; v++) s.newVar();
  ASSERT_TRUE(s.addClause(mkLit(0), mkLit(1), mkLit(3)));
  ASSERT_TRUE(s.addClause(mkLit(0), ~mkLit(1), mkLit(4)));
  s.assumptions.push(~mkLit(3));
  s.assumptions.push(~mkLit(4));
  decide(s, {~mkLit(3), ~mkLit(4), ~mkLit(0)});
  CRef confl = s.propagate();
  ASSERT_NE(Glucose::CRef_Undef, confl);
  EXPECT_EQ(2, s.restartLevel());
  Lits out;
  int bt = -1;
  s.analyze(s.ca[confl], out, bt);
  s.cancelUntil(bt);
  ASSERT_EQ(3, out.size());
  EXPECT_TRUE(out[0] == mkLit(0));
  EXPECT_TRUE((out[1] == mkLit(4) && out[2] == mkLit(3)) || (out[1] == mkLit(3) && out[2] == mkLit(4)));
  EXPECT_EQ(2, bt);
  EXPECT_EQ(1u, s.learntLbd);
  EXPECT_EQ(1u, s.learntSelectorFree);
  EXPECT_EQ(0, s.activity[3]);
  EXPECT_EQ(0, s.activity[4]);
  EXPECT_GT(s.activity[0], 0);

  // New watch for (x0 x1 s3 x2) when x1 becomes false: up to the assumption
  // levels a non-selector (x2) is preferred, above them the first non-false
  // literal (s3) is taken, as without incremental mode.
  for (int levels : {1, 3}) {
    for (bool incremental : {true, false}) {
      Glucose::Solver u;
      if (incremental) u.setIncrementalMode();
      u.setInitialVarCount(2);
      for (int v = 0; v < 4; v++) u.newVar();
      u.assumptions.push(mkLit(0));
      u.assumptions.push(mkLit(0));
      CRef cr = learnt(u, lits({mkLit(0), mkLit(1), mkLit(3), mkLit(2)}), 2);
      for (int l = 1; l < levels; l++) u.newDecisionLevel();
      decide(u, {~mkLit(1)});
      ASSERT_EQ(Glucose::CRef_Undef, u.propagate());
      bool expect_x2 = incremental && levels <= 2;
      EXPECT_TRUE(u.ca[cr][1] == (expect_x2 ? mkLit(2) : mkLit(3))) << levels << incremental;
      // Only the watched literals count for satisfaction in incremental mode.
      u.cancelUntil(0);
      u.uncheckedEnqueue(mkLit(expect_x2 ? 3 : 2));
      EXPECT_EQ(!incremental, u.satisfied(u.ca[cr]));
    }
  }
}

// Clause groups guarded by selectors (a group is active while its selector is
// assumed false, and retired by a unit), mixed with permanent clauses and
// assumptions on the other variables: answers against the reference search,
// models against every clause.
TEST(GlucoseIncremental, GuardedClauseSequencesAgreeWithBruteForce) {
  std::mt19937 rng(1911);
  int with_selectors = 0, sats = 0, unsats = 0;
  uint64_t restarts = 0;
  for (bool simp : {false, true}) {
    for (int sequence = 0; sequence < rounds(300, 40); sequence++) {
      int vars = std::uniform_int_distribution<int>(10, 30)(rng);
      std::unique_ptr<varnok::sat::Solver> s(simp ? makeSimp() : makeCore());
      Glucose::Solver& g = glucoseOf(*s, simp);
      g.setIncrementalMode();
      g.setInitialVarCount(vars - 1);
      if (sequence % 2 == 1) {
        // Restarts after every few conflicts (back to the assumption levels)
        // and frequent reductions.
        g.lbdQueue.initSize(10);
        g.K = 100;
        g.reduceLimit = 20;
        g.incReduceDB = 5;
      }
      s->ensureVars(vars);
      std::vector<Clause> permanent, all;
      std::vector<std::vector<Clause>> groups;
      std::vector<bool> retired;
      auto selector = [&](int group) { return 2 * (vars + group); };  // true: group off
      for (int step = 0; step < 200; step++) {
        int op = (int)(rng() % 100);
        if (op < 30) {
          permanent.push_back(randomClause(rng, vars, 3, 4));
          all.push_back(permanent.back());
          s->addClause(permanent.back());
        } else if (op < 82) {
          int group = (int)(rng() % (groups.size() + 1));
          if (group == (int)groups.size()) groups.emplace_back(), retired.push_back(false);
          Clause c = randomClause(rng, vars, 3, 3);
          groups[group].push_back(c);
          c.push_back(selector(group));
          all.push_back(c);
          s->addClause(c);
        } else if (op < 84 && !groups.empty()) {
          int group = (int)(rng() % groups.size());
          retired[group] = true;
          all.push_back({selector(group)});
          s->addClause(all.back());
        } else {
          Clause base = randomAssumptions(rng, vars, 2);
          Clause assumptions = base;
          std::vector<Clause> active = permanent;
          bool off = false;
          for (size_t group = 0; group < groups.size(); group++) {
            if (rng() % 2 == 0) continue;
            assumptions.push_back(selector((int)group) + 1);
            off |= retired[group];
            active.insert(active.end(), groups[group].begin(), groups[group].end());
          }
          if (rng() % 2 == 0) std::reverse(assumptions.begin(), assumptions.end());
          bool expected = !off && ReferenceDpll(active, base).solve();
          int answer = s->solve(assumptions);
          (answer == 0 ? sats : unsats)++;
          ASSERT_EQ(expected ? 0 : 1, answer) << sequence << " " << step << "\n" << describe(all, assumptions);
          if (answer == 0) {
            ASSERT_TRUE(modelSatisfies(*s, all, assumptions)) << sequence << " " << step;
          }
          if (!expected && assumptions.empty()) break;
        }
      }
      restarts += g.starts - g.solves;
      for (int i = 0; i < g.learnts.size(); i++) {
        const Glucose::Clause& c = g.ca[g.learnts[i]];
        int plain = 0;
        for (int k = 0; k < c.size(); k++) plain += g.isSelector(Glucose::var(c[k])) ? 0 : 1;
        with_selectors += plain < c.size();
        EXPECT_LE((int)c.lbd(), plain);
      }
    }
  }
  EXPECT_GT(with_selectors, 0);
  EXPECT_GT(sats, 0);
  EXPECT_GT(unsats, 0);
  EXPECT_GT(restarts, 0u);
  // Incremental mode without selectors (every variable below the initial
  // count): the shared incremental bodies.
  for (bool simp : {false, true}) {
    SolverFactory factory = [simp]() {
      varnok::sat::Solver* s = simp ? makeSimp() : makeCore();
      glucoseOf(*s, simp).setIncrementalMode();
      return s;
    };
    EXPECT_GT(incrementalSequences(factory, 1913 + simp, rounds(200, 30)).unsat, 0);
    repeatedAssumptions(factory, 1915 + simp, rounds(100, 20));
  }
}
