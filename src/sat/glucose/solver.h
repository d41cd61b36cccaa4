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
// grows during search. Two modes are off unless turned on: proof output in
// DRUP form (option "certified") and incremental mode with selector
// variables (setIncrementalMode, setInitialVarCount).
#include <cstdint>
#include <cstdio>

#include "sat/core/cdcl_solver.h"
#include "sat/glucose/solver_types.h"

namespace Glucose {

class Solver : public varnok::sat::core::CdclSolver<Solver, Family>, public GlucoseSearchOptions {
 public:
  // Starts from this family's option tables; with "certified" on, opens the
  // proof file ("/dev/stdout" when "certified-output" is "NULL").
  Solver();
  // (The proof file is closed by the first solve, not here.)
  ~Solver() override {}

  // Restarting search with LBD statistics; counts the satisfiable and
  // unsatisfiable calls and their processor time. With proof lines on, an
  // unsatisfiable answer ends the proof with the empty clause, and the first
  // solve closes the proof file. Incremental mode and proof lines together
  // end the process.
  lbool solve_();

  // Incremental mode: variables above the initial variable count are
  // selectors (clause guards set by assumptions).
  void setIncrementalMode() { incremental = true; }
  void setInitialVarCount(int n) { initialVarCount = n; }
  bool isSelector(Var v) const { return incremental && v > initialVarCount; }

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
  FILE* certifiedOutput = nullptr;  // the proof file while open
  // While non-zero, the simplifying solver writes no proof line for the
  // clauses it adds (its own and its resolvents); nothing changes it.
  int input_mode = 1;
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
  unsigned learntSelectorFree = 0;  // its size without selector literals
  vec<Lit> selectors;               // selector literals met by one analysis
  vec<Lit> proofInput;              // the sorted clause being added
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
  // The same count over non-selector literals only, stopping after `end` of
  // them.
  template <class Lits>
  unsigned computeLBDWithoutSelectors(const Lits& lits, int end) {
    int need = decisionLevel() + 1;
    if (levelStamp.size() < need) levelStamp.growTo(need, 0);
    stampCounter++;
    unsigned levels = 0;
    int counted = 0;
    for (int i = 0; i < lits.size() && counted < end; i++) {
      Var v = var(lits[i]);
      if (isSelector(v)) continue;
      counted++;
      int l = level(v);
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

  // Proof lines: literals as signed variable numbers counted from 1, each
  // followed by a space, then "0"; deletions start with "d ".
  void writeProofLine(const Lit* lits, int n, bool deletion);
  void writeProofLine(const vec<Lit>& lits, bool deletion = false) {
    writeProofLine(lits.size() > 0 ? &lits[0] : nullptr, lits.size(), deletion);
  }

  // Hooks of the shared core.
  bool proofLinesOn() const { return certified; }
  void keepProofCopy(const vec<Lit>& ps) { ps.copyTo(proofInput); }
  void noteShortened(const vec<Lit>& ps);
  void noteRemoving(const Clause& c) { writeProofLine((const Lit*)c, c.size(), true); }
  void noteLearntLits(const vec<Lit>& learnt) { writeProofLine(learnt); }
  void noteSimplifierClause(const vec<Lit>& ps) {
    if (input_mode == 0) writeProofLine(ps);
  }
  void noteStrengthening(const Clause& c, Lit l);
  bool selectorsActive() const { return incremental; }
  void collectSelector(Lit q) { selectors.push(q); }
  void appendSelectors(vec<Lit>& out_learnt) {
    for (int i = 0; i < selectors.size(); i++) out_learnt.push(selectors[i]);
  }
  int restartLevel() const {
    return incremental ? (decisionLevel() < assumptions.size() ? decisionLevel() : assumptions.size()) : 0;
  }
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
