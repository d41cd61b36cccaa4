// The Glucose solver's proof output (DRUP) and its incremental mode with
// selectors. The back ends as a whole are tested in test_sat_backends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "sat/adapters.h"
#include "sat/glucose/simp_solver.h"
#include "sat/glucose/solver.h"
#include "support/sat_backend_tests.h"

using namespace sat_backend_tests;
using Glucose::CRef;
using Glucose::Lit;
using Glucose::mkLit;

namespace {

typedef Glucose::Solver::vec<Lit> Lits;

Lits lits(std::initializer_list<Lit> ls) {
  Lits v;
  for (Lit l : ls) v.push(l);
  return v;
}

varnok::sat::Solver* makeCore() { return new varnok::sat::GlucoseCore(); }
varnok::sat::Solver* makeSimp() { return new varnok::sat::GlucoseSimp(); }
Glucose::Solver& glucoseOf(varnok::sat::Solver& s, bool simp) {
  if (simp) return static_cast<varnok::sat::GlucoseSimp&>(s).getSolver();
  return static_cast<varnok::sat::GlucoseCore&>(s).getSolver();
}

// ---------------------------------------------------------------------------
// Proof output (DRUP), off unless turned on

// Turns proof output on for the solvers constructed in its scope.
struct ProofOn {
  std::string path;
  explicit ProofOn(const std::string& name) : path(::testing::TempDir() + name) {
    static std::string keep;  // the option points at the text
    keep = "-certified-output=" + path;
    Glucose::Family::options.certified = true;
    EXPECT_TRUE(Glucose::Family::options.certifiedOutput.parse(keep.c_str()));
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

// Forward check of a DRUP proof: every added clause follows by unit
// propagation; every deleted clause is present (one that is the reason of a
// top-level unit stays, so that deletion loses no fact).
struct RupChecker {
  std::vector<std::set<int>> clauses;  // DIMACS literals
  std::vector<bool> alive;
  std::string error;
  bool refuted = false;

  explicit RupChecker(const std::vector<Clause>& input) {
    for (const Clause& c : input) {
      clauses.emplace_back(), alive.push_back(true);
      for (int l : c) clauses.back().insert(dimacs(l));
    }
  }
  // Unit propagation from the negation of `lemma` into `val` (literals true); true on a conflict.
  bool conflicts(const std::set<int>& lemma, std::set<int>& val) const {
    for (int l : lemma) {
      if (lemma.count(-l)) return true;  // tautology
      val.insert(-l);
    }
    for (bool changed = true; changed;) {
      changed = false;
      for (size_t i = 0; i < clauses.size(); i++) {
        int open = 0, last = 0;
        bool sat = !alive[i];
        for (int l : clauses[i]) {
          if (val.count(l)) sat = true;
          else if (!val.count(-l)) open++, last = l;
        }
        if (sat) continue;
        if (open == 0) return true;
        if (open == 1) val.insert(last), changed = true;
      }
    }
    return false;
  }
  void proof(const std::string& text) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      std::istringstream in(line);
      bool deletion = line.rfind("d ", 0) == 0 && in.ignore(2);
      std::vector<int> c;
      for (int l; in >> l;) c.push_back(l);
      if (c.empty() || c.back() != 0) {
        error += "bad line: " + line + "\n";
        continue;
      }
      std::set<int> lemma(c.begin(), c.end() - 1), units;
      if (!deletion) {
        if (!conflicts(lemma, units)) error += "not implied: " + line + "\n";
        refuted |= lemma.empty();
        clauses.push_back(lemma), alive.push_back(true);
        continue;
      }
      conflicts({}, units);
      size_t i = 0;
      while (i < clauses.size() && !(alive[i] && clauses[i] == lemma)) i++;
      if (i == clauses.size()) error += "deleted clause absent: " + line + "\n";
      int true_lits = 0, false_lits = 0;
      for (int l : lemma) true_lits += units.count(l), false_lits += units.count(-l);
      if (i < clauses.size() && !(true_lits == 1 && false_lits + 1 == (int)lemma.size())) alive[i] = false;
    }
  }
};

// Closes a proof file that the solver leaves open (an answer found before
// any search).
void closeProof(Glucose::Solver& s) {
  if (s.certifiedOutput != nullptr) std::fclose(s.certifiedOutput);
  s.certifiedOutput = nullptr;
}

// Exact lines: a clause shortened by a level-0 value (then the deletion of
// the sorted input), the learnt unit, the empty clause at the end; a second
// solve writes nothing. Then the removal of a satisfied learnt clause.
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
    Glucose::Solver s;
    for (int v = 0; v < 3; v++) s.newVar();
    s.addLearnt(lits({mkLit(0), ~mkLit(1), mkLit(2)}), false);
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

// Proofs of small unsatisfiable clause sets (pigeons into one hole fewer,
// random 3-SAT) are DRUP refutations.
TEST(GlucoseProof, RefutationsCheckByUnitPropagation) {
  std::vector<std::vector<Clause>> sets;
  for (int pigeons = 4; pigeons <= 6; pigeons++) {
    int holes = pigeons - 1;
    auto p = [&](int i, int h) { return 2 * (i * holes + h); };
    std::vector<Clause> cs(pigeons);
    for (int i = 0; i < pigeons; i++)
      for (int h = 0; h < holes; h++) cs[i].push_back(p(i, h));
    for (int h = 0; h < holes; h++)
      for (int i = 0; i < pigeons; i++)
        for (int j = i + 1; j < pigeons; j++) cs.push_back({p(i, h) + 1, p(j, h) + 1});
    sets.push_back(cs);
  }
  std::mt19937 rng(1907);
  while (sets.size() < 8) {
    std::vector<Clause> cs;
    for (int i = 0; i < 90; i++) cs.push_back(randomClause(rng, 14, 3, 3));
    if (!referenceSat(cs, {})) sets.push_back(cs);
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
      std::set<int> units;
      EXPECT_TRUE(check.refuted || (simp && check.conflicts({}, units))) << k << " " << simp;
    }
  }
}

// With the default output name "NULL" the proof goes to standard output:
// (x) then (-x) writes the empty clause and the deletion of (-x).
TEST(GlucoseProof, DefaultOutputIsStandardOutput) {
  Glucose::Family::options.certified = true;
  ::testing::internal::CaptureStdout();
  Glucose::Solver s;
  s.newVar();
  ASSERT_TRUE(s.addClause(mkLit(0)));
  EXPECT_FALSE(s.addClause(~mkLit(0)));
  EXPECT_FALSE(s.solve());  // returns at once: nothing more, file left open
  closeProof(s);
  Glucose::Family::options.certified = false;
  EXPECT_EQ("0\nd -1 0\n", ::testing::internal::GetCapturedStdout());
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

// ---------------------------------------------------------------------------
// Incremental mode

// Over x0..x2 with selectors s3, s4: clauses (x0 x1 s3) and (x0 -x1 s4),
// -s3 and -s4 assumed at levels 1 and 2, -x0 decided at 3: the learnt clause
// is x0 followed by the selectors.
TEST(GlucoseIncremental, SelectorsInAnalysis) {
  Glucose::Solver s;
  s.setIncrementalMode();
  s.setInitialVarCount(2);
  for (int v = 0; v < 5; v++) s.newVar();
  ASSERT_TRUE(s.addClause(mkLit(0), mkLit(1), mkLit(3)));
  ASSERT_TRUE(s.addClause(mkLit(0), ~mkLit(1), mkLit(4)));
  s.assumptions.push(~mkLit(3));
  s.assumptions.push(~mkLit(4));
  for (Lit l : {~mkLit(3), ~mkLit(4), ~mkLit(0)}) s.newDecisionLevel(), s.uncheckedEnqueue(l);
  CRef confl = s.propagate();
  ASSERT_NE(Glucose::CRef_Undef, confl);
  Lits out;
  int bt = -1;
  s.analyze(s.ca[confl], out, bt);
  ASSERT_EQ(3, out.size());
  EXPECT_TRUE(out[0] == mkLit(0));
  EXPECT_TRUE((out[1] == mkLit(4) && out[2] == mkLit(3)) || (out[1] == mkLit(3) && out[2] == mkLit(4)));
  EXPECT_EQ(2, bt);
}

// Clause groups guarded by selectors (active while the selector is assumed
// false, retired by a unit) mixed with permanent clauses, against the
// reference; then incremental mode without selectors in the shared bodies.
TEST(GlucoseIncremental, GuardedClauseSequencesAgreeWithTheReference) {
  std::mt19937 rng(1911);
  int with_selectors = 0;
  uint64_t restarts = 0;
  Volume volume;
  for (bool simp : {false, true}) {
    for (int sequence = 0; sequence < rounds(300, 40); sequence++) {
      int vars = std::uniform_int_distribution<int>(10, 30)(rng);
      std::unique_ptr<varnok::sat::Solver> s(simp ? makeSimp() : makeCore());
      Glucose::Solver& g = glucoseOf(*s, simp);
      g.setIncrementalMode();
      g.setInitialVarCount(vars - 1);
      if (sequence % 2 == 1) {
        // Frequent restarts (back to the assumption levels) and reductions.
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
        } else if (op < 82) {
          int group = (int)(rng() % (groups.size() + 1));
          if (group == (int)groups.size()) groups.emplace_back(), retired.push_back(false);
          groups[group].push_back(randomClause(rng, vars, 3, 3));
          all.push_back(groups[group].back());
          all.back().push_back(selector(group));
        } else if (op < 84 && !groups.empty()) {
          int group = (int)(rng() % groups.size());
          retired[group] = true;
          all.push_back({selector(group)});
        } else {
          Clause base = randomAssumptions(rng, vars, 2), assumptions = base;
          std::vector<Clause> active = permanent;
          bool off = false;
          for (size_t group = 0; group < groups.size(); group++) {
            if (rng() % 2 == 0) continue;
            assumptions.push_back(selector((int)group) + 1);
            off |= retired[group];
            active.insert(active.end(), groups[group].begin(), groups[group].end());
          }
          if (rng() % 2 == 0) std::reverse(assumptions.begin(), assumptions.end());
          bool expected = !off && referenceSat(active, base);
          ASSERT_TRUE(solveAndCheck(*s, all, assumptions, expected, at(1911, sequence, step), volume));
          if (!expected && assumptions.empty()) break;
          continue;
        }
        s->addClause(all.back());
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
  EXPECT_GT(volume.sat, 0);
  EXPECT_GT(volume.unsat, 0);
  EXPECT_GT(restarts, 0u);
  for (bool simp : {false, true}) {
    SolverFactory factory = [simp]() {
      varnok::sat::Solver* s = simp ? makeSimp() : makeCore();
      glucoseOf(*s, simp).setIncrementalMode();
      return s;
    };
    EXPECT_GT(incrementalSequences(factory, 1913 + simp, rounds(200, 30)).unsat, 0);
    repeatedAssumptions(factory);
    EXPECT_GT(randomCnfVsReference(factory, 1915 + simp, rounds(100, 20)).unsat, 0);
  }
}

}  // namespace
