// The module-aware back ends behind varnok::sat::Solver: adapter behaviour,
// names and statistics, and random differential testing against brute force,
// a reference search and each other.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <stdexcept>

#include "sat/adapters.h"
#include "sat/factory.h"
#include "sat/sat_solver.h"
#include "sat_backend_tests.h"

using namespace varnok::sat;
using sat_backend_tests::Volume;

namespace {

#ifdef VARNOK_SANITIZED
const int kScale = 2;
#else
const int kScale = 8;
#endif

Solver* makeCore() { return new MiniSatCoreModified(); }
Solver* makeSimp() { return new MiniSatSimpModified(); }

void report(const char* what, const Volume& v) {
  std::cout << "[volume] " << what << ": " << v.solves << " solves (" << v.sat << " sat, " << v.unsat
            << " unsat), " << v.clauses << " clauses" << std::endl;
}

TEST(SatAdapters, BasicBehaviourCore) { sat_backend_tests::basicAdapterBehaviour(makeCore); }
TEST(SatAdapters, BasicBehaviourSimp) { sat_backend_tests::basicAdapterBehaviour(makeSimp); }

TEST(SatAdapters, Names) {
  MiniSatCoreModified core;
  MiniSatSimpModified simp;
  EXPECT_STREQ("MiniSat 2.2.0 core modified", core.getName());
  EXPECT_STREQ("MiniSat 2.2.0 simp modified", simp.getName());
}

// The factory makes the back end of each kind, the simplifying variant when
// preprocessing is wanted and the kind has one; none for a kind without one.
TEST(SatAdapters, FactoryByKindAndPreprocessing) {
  struct Row {
    Kind kind;
    bool preprocessing;
    const char* name;
  };
  const Row rows[] = {{Kind::MiniSat, true, "MiniSat 2.2.0 simp"},
                      {Kind::MiniSat, false, "MiniSat 2.2.0 core"},
                      {Kind::MiniSatModified, true, "MiniSat 2.2.0 simp modified"},
                      {Kind::MiniSatModified, false, "MiniSat 2.2.0 core modified"},
                      {Kind::DumpDimacs, true, "Dump Dimacs"},
                      {Kind::DumpDimacs, false, "Dump Dimacs"}};
  for (const Row& r : rows) {
    std::unique_ptr<Solver> s = create(r.kind, r.preprocessing);
    ASSERT_TRUE(s != nullptr) << r.name;
    EXPECT_STREQ(r.name, s->getName());
  }
  EXPECT_EQ(nullptr, create(Kind::Glucose, true));
  EXPECT_EQ(nullptr, create(static_cast<Kind>(7), false));
  EXPECT_TRUE(canPreprocess(Kind::Glucose));
  EXPECT_FALSE(canPreprocess(Kind::DumpDimacs));
}

TEST(SatAdapters, StatisticsLines) {
  MiniSatCoreModified core;
  core.ensureVars(4);
  core.addClause({0, 2});
  core.addClause({1, 4, 6});
  std::ostringstream out;
  core.printStatistics(out);
  EXPECT_EQ("Variables: 4\nClauses: 2\nLearnts: 0\nModule Propagation Clauses: 0\n", out.str());

  MiniSatSimpModified simp;
  simp.addClause({0, 2});
  std::ostringstream out2;
  simp.printStatistics(out2);
  EXPECT_EQ("Variables: 2\nClauses: 1\nLearnts: 0\nModule Propagation Clauses: 0\n", out2.str());
}

TEST(SatAdapters, AddClauseCreatesVariables) {
  MiniSatCoreModified core;
  core.addClause({2 * 9});
  EXPECT_EQ(10, core.getSolver().nVars());
  // Assumptions on unseen variables get their variables too.
  EXPECT_EQ(0, core.solve({2 * 14 + 1}));
  EXPECT_EQ(15, core.getSolver().nVars());
  EXPECT_EQ(-1, core.modelValue(2 * 14));
}

TEST(SatAdapters, ValueReadsTheCurrentAssignment) {
  MiniSatSimpModified simp;
  simp.addClause({0});
  simp.addClause({1, 2});
  EXPECT_EQ(0, simp.solve({}));
  // Between solves only level-0 facts stay assigned.
  EXPECT_EQ(1, simp.value(0));
  EXPECT_EQ(-1, simp.value(1));
  EXPECT_EQ(0, simp.value(2 * 50));
}

TEST(SatAdapters, BaseRefusesModules) {
  // A back end without module support throws the internal failure.
  struct NoModules : Solver {
    const char* getName() const override { return "none"; }
    void ensureVars(int) override {}
    void addClause(const std::vector<int>&) override {}
    int solve(const std::vector<int>&) override { return 1; }
    int modelValue(int) const override { return 0; }
    int value(int) const override { return 0; }
  } s;
  ModuleCallbackNode node;
  try {
    s.addModuleCallback(0, &node);
    FAIL() << "no exception";
  } catch (const NoModuleSupport& e) {
    // The typed failure is the internal failure of the system.
    const std::logic_error& internal = e;
    EXPECT_STREQ("src/sat/sat_solver:77: addModuleCallback\nError: This SAT solver has no module support.\n",
                 internal.what());
  }
  EXPECT_FALSE(node.isLinked());
}

TEST(SatFuzz, CoreAgainstBruteForce) {
  Volume v = sat_backend_tests::randomCnfVsBruteForce(makeCore, 11, 100 * kScale);
  report("core vs brute force", v);
  EXPECT_GT(v.sat, 0);
  EXPECT_GT(v.unsat, 0);
}

TEST(SatFuzz, SimpAgainstBruteForce) {
  Volume v = sat_backend_tests::randomCnfVsBruteForce(makeSimp, 12, 100 * kScale);
  report("simp vs brute force", v);
  EXPECT_GT(v.sat, 0);
  EXPECT_GT(v.unsat, 0);
}

TEST(SatFuzz, CoreAgreesWithSimp) {
  Volume v = sat_backend_tests::backendsAgree(makeCore, makeSimp, 13, 40 * kScale, 120);
  report("core vs simp", v);
  EXPECT_GT(v.sat, 0);
  EXPECT_GT(v.unsat, 0);
}

TEST(SatFuzz, IncrementalSimp) {
  sat_backend_tests::IncrementalOptions options;
  Volume v = sat_backend_tests::incrementalSequences(makeSimp, 21, 100 * kScale, options);
  report("incremental simp", v);
  EXPECT_GT(v.sat, 0);
  EXPECT_GT(v.unsat, 0);
}

TEST(SatFuzz, IncrementalSimpWithModules) {
  sat_backend_tests::IncrementalOptions options;
  options.modules = true;
  Volume v = sat_backend_tests::incrementalSequences(makeSimp, 22, 100 * kScale, options);
  report("incremental simp with modules", v);
  EXPECT_GT(v.sat, 0);
}

TEST(SatFuzz, IncrementalCoreWithModules) {
  sat_backend_tests::IncrementalOptions options;
  options.modules = true;
  Volume v = sat_backend_tests::incrementalSequences(makeCore, 23, 50 * kScale, options);
  report("incremental core with modules", v);
  EXPECT_GT(v.sat, 0);
}

}  // namespace

namespace {

// The optional preprocessing steps (asymmetric branching, implied-clause
// check) are off by default; switched on they must keep every answer. The
// implied-clause check once dropped resolvents that only learnt clauses
// implied, which lost them for good.
Solver* makeSimpAllSteps() {
  MiniSatSimpModified* s = new MiniSatSimpModified();
  s->getSolver().use_asymm = true;
  s->getSolver().use_rcheck = true;
  return s;
}

TEST(SatFuzz, OptionalPreprocessingSteps) {
  Volume v = sat_backend_tests::randomCnfVsBruteForce(makeSimpAllSteps, 31, 40 * kScale);
  sat_backend_tests::IncrementalOptions options;
  options.modules = true;
  options.steps = 400;
  v.add(sat_backend_tests::incrementalSequences(makeSimpAllSteps, 32, 60 * kScale, options));
  v.add(sat_backend_tests::backendsAgree(makeCore, makeSimpAllSteps, 33, 10 * kScale, 120));
  report("simp with asymm and rcheck", v);
  EXPECT_GT(v.unsat, 0);
}

}  // namespace
