#pragma once
// Glucose 3.0 core solver: the shared conflict-driven clause-learning core
// with this family's clause record and its own search policy: binary clauses
// propagated first from lists of their own, the literal block distance (LBD)
// of every learnt clause, measured when it is learnt and again when analysis
// meets it, extra bumps for conflict-level literals implied by better
// clauses, minimisation of short learnt clauses by binary resolution,
// restarts when the recent LBD average exceeds the all-time one (blocked
// when the trail is much longer than usual), reduction of half the learnt
// clauses by LBD on a growing conflict schedule, and a variable decay that
// grows during search.
#include <cstdint>
#include <cstdio>

#include "sat/core/cdcl_solver.h"
#include "sat/glucose/solver_types.h"

namespace Glucose {

class Solver : public varnok::sat::core::CdclSolver<Solver, Family>, public GlucoseSearchOptions {
 public:
  // Starts from this family's option tables.
  Solver();
  ~Solver() override {}

  // Restarting search with LBD statistics; counts the satisfiable and
  // unsatisfiable calls and their processor time.
  lbool solve_();

  // Incremental mode (selector variables above the initial variable count).
  void setIncrementalMode() { incremental = true; }
  void setInitialVarCount(int n) { initialVarCount = n; }

  // Statistics.
  uint64_t removedClauses = 0;
  uint64_t reducedClauses = 0;
  uint64_t learntsLbd2 = 0;
  uint64_t learntsBinary = 0;
  uint64_t learntsUnit = 0;
  uint64_t reduceCount = 0;
  uint64_t restartConflicts = 0;
  uint64_t blockedRestarts = 0;
  uint64_t blockingSearches = 0;
  uint64_t lastBlockStart = 0;
  double satTime = 0;
  double unsatTime = 0;
  int satCalls = 0;
  int unsatCalls = 0;

  // Search state.
  FILE* certifiedOutput = nullptr;
  int reduceRound = 1;      // index of the next reduction
  int reduceLimit;          // current reduction interval
  BoundedQueue<OutOfMemory> trailQueue;  // recent trail sizes at conflicts
  BoundedQueue<OutOfMemory> lbdQueue;    // recent learnt clause LBDs
  float lbdSum = 0;                      // all learnt LBDs since construction
  // Stamps per decision level (LBD counts) and per variable (binary
  // minimisation); sized to cover both.
  vec<uint32_t> levelStamp;
  uint32_t stampCounter = 0;
  vec<Lit> lastLevelLits;  // conflict-level literals with learnt reasons
  unsigned learntLbd = 0;  // LBD of the clause the last analysis learnt
  int initialVarCount = 2147483647;

  // The number of distinct decision levels among the literals.
  template <class Lits>
  unsigned computeLBD(const Lits& lits) {
    int need = decisionLevel() + 1;
    if (levelStamp.size() < need) levelStamp.growTo(need, 0);
    stampCounter++;
    unsigned levels = 0;
    for (int i = 0; i < lits.size(); i++) {
      int l = level(var(lits[i]));
      if (levelStamp[l] != stampCounter) {
        levelStamp[l] = stampCounter;
        levels++;
      }
    }
    return levels;
  }
  // Drops literals of a learnt clause that binary clauses with its first
  // literal make redundant.
  void binResMinimize(vec<Lit>& out_learnt);
  // Removes half of the learnt clauses, the worst by LBD and activity;
  // clauses with LBD 2 or less, binary ones and protected ones stay.
  void reduceDB();
  void claBumpActivity(Clause& c);

  // Hooks of the shared core.
  void noteNewVar(Var) { levelStamp.push(0); }
  void visitAnalyzedClause(Clause& c, Lit p);
  void noteCurrentLevelLit(Lit q) {
    CRef r = reason(var(q));
    if (r != CRef_Undef && ca[r].learnt()) lastLevelLits.push(q);
  }
  void minimizeFurther(vec<Lit>& out_learnt) {
    if (!incremental && out_learnt.size() <= lbSizeMinimizingClause) binResMinimize(out_learnt);
  }
  void finishAnalysis(const vec<Lit>& out_learnt);
  void noteConflict() {
    restartConflicts++;
    if (conflicts % 5000 == 0 && var_decay < 0.95) var_decay += 0.01;
  }
  void beforeAnalysis();
  void noteLearntUnit() { learntsUnit++; }
  void noteLearntClause(CRef cr);
  void afterConflict() {}
  bool restartDue(int, int);
  void reduceIfDue();
};

}  // namespace Glucose
