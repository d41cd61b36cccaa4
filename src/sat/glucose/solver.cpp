// Glucose 3.0 core solver.
#include "sat/glucose/solver.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "sat/core/cdcl_solver_impl.h"

template class varnok::sat::core::CdclSolver<Glucose::Solver, Glucose::Family>;

namespace Glucose {

namespace {

double cpuSeconds() { return (double)std::clock() / CLOCKS_PER_SEC; }

// Reduction order: clauses of more than two literals before binary ones,
// then larger LBD first, then smaller activity first.
struct ReduceDbLt {
  Family::ClauseAllocator& ca;
  explicit ReduceDbLt(Family::ClauseAllocator& c) : ca(c) {}
  bool operator()(CRef x, CRef y) const {
    Clause& a = ca[x];
    Clause& b = ca[y];
    if (a.size() > 2 && b.size() == 2) return true;
    if (a.size() == 2 && b.size() > 2) return false;
    if (a.size() == 2 && b.size() == 2) return false;
    if (a.lbd() > b.lbd()) return true;
    if (a.lbd() < b.lbd()) return false;
    return a.activity() < b.activity();
  }
};

}  // namespace

Solver::Solver()
    : CdclSolver(Family::options.search()),
      GlucoseSearchOptions(Family::options.glucose()),
      reduceLimit(firstReduceDB) {
  lbdQueue.initSize(sizeLBDQueue);
  trailQueue.initSize(sizeTrailQueue);
  if (certified) {
    const char* path = certifiedOutputPath;
    // (a file that cannot be opened leaves the proof unwritten)
    certifiedOutput = std::fopen(std::strcmp(path, "NULL") == 0 ? "/dev/stdout" : path, "wb");
  }
}

void Solver::writeProofLine(const Lit* lits, int n, bool deletion) {
  if (certifiedOutput == nullptr) return;
  if (deletion) std::fputs("d ", certifiedOutput);
  for (int i = 0; i < n; i++) std::fprintf(certifiedOutput, "%i ", (var(lits[i]) + 1) * (sign(lits[i]) ? -1 : 1));
  std::fputs("0\n", certifiedOutput);
}

// A clause that lost false literals on addition: the shorter clause, then
// the deletion of the sorted input.
void Solver::noteShortened(const vec<Lit>& ps) {
  for (int i = 0; i < proofInput.size(); i++) {
    if (value(proofInput[i]) == l_False) {
      writeProofLine(ps);
      writeProofLine(proofInput, true);
      return;
    }
  }
}

// The clause without l; for a clause of more than two literals also the
// deletion of the clause as it is (a binary one is deleted by its removal).
void Solver::noteStrengthening(const Clause& c, Lit l) {
  if (certifiedOutput == nullptr) return;
  for (int i = 0; i < c.size(); i++) {
    if (c[i] != l) std::fprintf(certifiedOutput, "%i ", (var(c[i]) + 1) * (sign(c[i]) ? -1 : 1));
  }
  std::fputs("0\n", certifiedOutput);
  if (c.size() > 2) writeProofLine((const Lit*)c, c.size(), true);
}

void Solver::claBumpActivity(Clause& c) {
  float a = (float)(c.activity() + cla_inc);
  c.activity() = a;
  if (a > 1e20) {
    for (int i = 0; i < learnts.size(); i++) ca[learnts[i]].activity() *= 1e-20f;
    cla_inc *= 1e-20;
  }
}

// Analysis meets c: a binary reason gets its implied literal first; a learnt
// clause is bumped and, when its LBD improved by more than one, re-measured
// (and protected from the next reduction when it was already good).
void Solver::visitAnalyzedClause(Clause& c, Lit p) {
  if (p != lit_Undef && c.size() == 2 && value(c[0]) == l_False) {
    Lit t = c[0];
    c[0] = c[1];
    c[1] = t;
  }
  if (!c.learnt()) return;
  claBumpActivity(c);
  if (c.lbd() > 2) {
    unsigned n = incremental ? computeLBDWithoutSelectors(c, (int)c.selectorFreeSize()) : computeLBD(c);
    if (n + 1 < c.lbd()) {
      if (c.lbd() <= (unsigned)lbLBDFrozenClause) c.setDeletable(false);
      c.setLBD(n);
    }
  }
}

void Solver::binResMinimize(vec<Lit>& out_learnt) {
  unsigned lbd = computeLBD(out_learnt);
  if (lbd > (unsigned)lbLBDMinimizingClause) return;

  stampCounter++;
  for (int i = 1; i < out_learnt.size(); i++) levelStamp[var(out_learnt[i])] = stampCounter;

  // The binary clauses that contain the first literal.
  auto& bs = binWatches[~out_learnt[0]];
  int nb = 0;
  for (int k = 0; k < bs.size(); k++) {
    Lit imp = bs[k].blocker;
    if (levelStamp[var(imp)] == stampCounter && value(imp) == l_True) {
      nb++;
      levelStamp[var(imp)] = stampCounter - 1;
    }
  }
  if (nb > 0) {
    reducedClauses++;
    int l = out_learnt.size() - 1;
    for (int i = 1; i < out_learnt.size() - nb; i++) {
      if (levelStamp[var(out_learnt[i])] != stampCounter) {
        Lit t = out_learnt[l];
        out_learnt[l] = out_learnt[i];
        out_learnt[i] = t;
        l--;
        i--;
      }
    }
    out_learnt.shrink(nb);
  }
}

void Solver::finishAnalysis(const vec<Lit>& out_learnt) {
  if (incremental) {
    // Non-selector literals from the first one up to the first selector
    // after it.
    learntSelectorFree = 0;
    for (int i = 0; i < out_learnt.size(); i++) {
      if (!isSelector(var(out_learnt[i])))
        learntSelectorFree++;
      else if (i > 0)
        break;
    }
    learntLbd = computeLBDWithoutSelectors(out_learnt, out_learnt.size() - selectors.size());
    selectors.clear();
  } else {
    learntSelectorFree = (unsigned)out_learnt.size();
    learntLbd = computeLBD(out_learnt);
  }
  for (int i = 0; i < lastLevelLits.size(); i++) {
    Lit q = lastLevelLits[i];
    if (ca[reason(var(q))].lbd() < learntLbd) varBumpActivity(var(q));
  }
  lastLevelLits.clear();
  lbdQueue.push(learntLbd);
  lbdSum += (float)learntLbd;
}

// Blocks the next restart when the trail is much longer than its recent
// average.
void Solver::beforeAnalysis() {
  trailQueue.push((uint32_t)trail.size());
  if (restartConflicts > 10000 && lbdQueue.valid() && (double)trail.size() > R * (double)trailQueue.average()) {
    lbdQueue.fastClear();
    blockedRestarts++;
    // (lastBlockStart equals `starts` once this search has blocked)
    if (lastBlockStart != starts) {
      lastBlockStart = starts;
      blockingSearches++;
    }
  }
}

void Solver::noteLearntClause(CRef cr) {
  Clause& c = ca[cr];
  c.setLBD(learntLbd);
  c.setSelectorFreeSize(learntSelectorFree);
  if (learntLbd <= 2) learntsLbd2++;
  if (c.size() == 2) learntsBinary++;
}

bool Solver::restartDue(int, int) {
  if (lbdQueue.valid() && (double)lbdQueue.average() * K > (double)(lbdSum / (float)restartConflicts)) {
    lbdQueue.fastClear();
    return true;
  }
  return false;
}

void Solver::reduceIfDue() {
  if (conflicts >= (uint64_t)reduceRound * (uint64_t)reduceLimit) {
    reduceRound = (int)(conflicts / (uint64_t)reduceLimit) + 1;
    reduceDB();
    reduceLimit += incReduceDB;
  }
}

void Solver::reduceDB() {
  reduceCount++;
  sort(learnts, ReduceDbLt(ca));
  if (learnts.size() > 0) {
    // A good learnt set postpones the next reduction.
    if (ca[learnts[learnts.size() / 2]].lbd() <= 3) reduceLimit += specialIncReduceDB;
    if (ca[learnts.last()].lbd() <= 5) reduceLimit += specialIncReduceDB;
  }
  int limit = learnts.size() / 2;
  int i, j;
  for (i = j = 0; i < learnts.size(); i++) {
    Clause& c = ca[learnts[i]];
    if (c.lbd() > 2 && c.size() > 2 && c.deletable() && !locked(c) && i < limit) {
      removeClause(learnts[i]);
      removedClauses++;
    } else {
      if (!c.deletable()) limit++;
      c.setDeletable(true);
      learnts[j++] = learnts[i];
    }
  }
  learnts.shrink(i - j);
  checkGarbage();
}

lbool Solver::solve_() {
  if (incremental && certified) {
    std::fprintf(stderr, "Can not use incremental and certified unsat in the same time\n");
    std::exit(-1);
  }
  if (!ok) return CdclSolver::solve_();
  double start = cpuSeconds();
  lbool status = CdclSolver::solve_();
  double elapsed = cpuSeconds() - start;
  if (certified && certifiedOutput != nullptr) {
    if (status == l_False) std::fputs("0\n", certifiedOutput);
    std::fclose(certifiedOutput);
    certifiedOutput = nullptr;
  }
  if (status == l_True) {
    satCalls++;
    satTime += elapsed;
  } else if (status == l_False) {
    unsatCalls++;
    unsatTime += elapsed;
  }
  return status;
}

}  // namespace Glucose
