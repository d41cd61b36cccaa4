// The library shared by the MiniSat solver families: vectors (growth,
// out-of-memory as the family's exception), sort, heap, queue and region
// allocator; the option template (parsing, ranges, help lines), the option
// tables of both families and the defaults their solvers start with.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "sat/minisat/simp_solver.h"
#include "sat/minisat_modified/simp_solver.h"
#include "sat/mtl/heap.h"
#include "sat/mtl/queue.h"
#include "sat/mtl/region.h"
#include "sat/mtl/sort.h"

namespace Minisat {
// Reaches the protected state of the solvers.
struct SolverTestAccess {
  static bool removeSatisfied(const Solver& s) { return s.remove_satisfied; }
};
}  // namespace Minisat

namespace {

using Family = MinisatModified::OutOfMemoryException;

TEST(SatContainers, VectorGrowthAndOutOfMemory) {
  MinisatModified::Family::vec<int> v;
  std::vector<int> caps;
  for (int i = 0; i < 15; i++) {
    v.push(i);
    if (caps.empty() || caps.back() != v.capacity()) caps.push_back(v.capacity());
  }
  EXPECT_EQ((std::vector<int>{2, 4, 8, 14, 22}), caps);
  MinisatModified::Family::vec<int> w;
  w.growTo(100);
  EXPECT_EQ(100, w.capacity());
  for (int i = 0; i < 100; i++) ASSERT_EQ(0, w[i]);
  // max((n - cap + 1) & ~1, ((cap / 2) + 2) & ~1): 100 -> +52
  w.growTo(101);
  EXPECT_EQ(152, w.capacity());
  EXPECT_THROW(w.capacity(INT_MAX), Family);
  EXPECT_EQ(101, w.size());  // unchanged after the failure
  varnok::sat::mtl::RegionAllocator<uint32_t, Family> region(0);
  EXPECT_THROW(region.capacity(UINT32_MAX), Family);
  // Each family throws its own exception.
  Minisat::Family::vec<int> m;
  m.push(1);
  EXPECT_THROW(m.capacity(INT32_MAX), Minisat::OutOfMemoryException);
#ifndef VARNOK_SANITIZED
  struct Big {
    char bytes[1 << 20];
  };
  Minisat::Family::vec<Big> big;
  EXPECT_THROW(big.capacity(1 << 22), Minisat::OutOfMemoryException);  // 4 TiB
#endif
}

TEST(SatContainers, SortMatchesOrderingOnBothMethods) {
  std::mt19937 rng(5);
  for (int n = 0; n < 60; n++) {
    MinisatModified::Family::vec<MinisatModified::Lit> a;
    std::vector<int> expected;
    for (int i = 0; i < n; i++) {
      int x = (int)(rng() % 20);
      a.push(MinisatModified::toLit(x));
      expected.push_back(x);
    }
    varnok::sat::mtl::sort(a);
    std::sort(expected.begin(), expected.end());
    for (int i = 0; i < n; i++) ASSERT_EQ(expected[i], MinisatModified::toInt(a[i])) << n;
  }
}

TEST(SatContainers, HeapAndQueue) {
  struct Lt {
    bool operator()(int a, int b) const { return a % 7 < b % 7; }
  };
  varnok::sat::mtl::Heap<Lt, Family> heap{Lt()};
  for (int i = 20; i >= 0; i--) heap.insert(i);
  int last = -1;
  while (!heap.empty()) {
    int x = heap.removeMin();
    EXPECT_LE(last, x % 7);
    last = x % 7;
    EXPECT_FALSE(heap.inHeap(x));
  }
  varnok::sat::mtl::Queue<int, Family> q;
  for (int i = 0; i < 5; i++) q.insert(i);
  q.pop();
  q.pop();
  for (int i = 5; i < 40; i++) q.insert(i);
  EXPECT_EQ(38, q.size());
  for (int i = 2; i < 40; i++) {
    ASSERT_EQ(i, q.peek());
    q.pop();
  }
  EXPECT_EQ(0, q.size());
}

// ---------------------------------------------------------------------------
// The option template, on options of a family of its own.

struct TestFamily {};
using varnok::sat::mtl::DoubleRange;
using varnok::sat::mtl::IntRange;

TEST(SatOptions, ParsingAndRanges) {
  varnok::sat::mtl::BoolOption<TestFamily> b("T", "flag", "a flag", false);
  EXPECT_TRUE(b.parse("-flag"));
  EXPECT_TRUE((bool)b);
  EXPECT_TRUE(b.parse("-no-flag"));
  EXPECT_FALSE((bool)b);
  EXPECT_FALSE(b.parse("-flags"));
  EXPECT_FALSE(b.parse("flag"));
  EXPECT_FALSE(b.parse("-no-fla"));
  EXPECT_FALSE((bool)b);

  varnok::sat::mtl::IntOption<TestFamily> i("T", "lim", "a limit", 5, IntRange(-1, 10));
  EXPECT_TRUE(i.parse("-lim=7"));
  EXPECT_EQ(7, (int)i);
  EXPECT_FALSE(i.parse("-lim7"));
  EXPECT_FALSE(i.parse("-li=3"));
  EXPECT_EQ(7, (int)i);
  EXPECT_TRUE(i.parse("-lim=-1"));  // both bounds are included
  EXPECT_EQ(-1, (int)i);
  EXPECT_TRUE(i.parse("-lim=10"));
  EXPECT_EQ(10, (int)i);

  varnok::sat::mtl::DoubleOption<TestFamily> d("T", "frac", "a fraction", 0.5, DoubleRange(0, false, 1, true));
  EXPECT_TRUE(d.parse("-frac=1"));  // inclusive upper end
  EXPECT_EQ(1.0, (double)d);
  EXPECT_FALSE(d.parse("-fra=0.5"));
  EXPECT_EQ(1.0, (double)d);
  varnok::sat::mtl::DoubleOption<TestFamily> f("T", "freq", "a frequency", 0.5, DoubleRange(0, true, 1, true));
  EXPECT_TRUE(f.parse("-freq=0"));  // inclusive lower end
  EXPECT_EQ(0.0, (double)f);
}

TEST(SatOptionsDeathTest, ValuesOutOfRangeEndTheProcess) {
  varnok::sat::mtl::IntOption<TestFamily> i("T", "lim", "a limit", 5, IntRange(-1, 10));
  EXPECT_EXIT(i.parse("-lim=11"), ::testing::ExitedWithCode(1), "ERROR! value <11> is too large for option \"lim\".");
  EXPECT_EXIT(i.parse("-lim=-2"), ::testing::ExitedWithCode(1), "ERROR! value <-2> is too small for option \"lim\".");
  varnok::sat::mtl::DoubleOption<TestFamily> d("T", "decay", "a factor", 0.95, DoubleRange(0, false, 1, false));
  EXPECT_EXIT(d.parse("-decay=1"), ::testing::ExitedWithCode(1), "ERROR! value <1> is too large for option \"decay\".");
  EXPECT_EXIT(d.parse("-decay=0"), ::testing::ExitedWithCode(1), "ERROR! value <0> is too small for option \"decay\".");
  EXPECT_EQ(0.95, (double)d);
  EXPECT_EQ(5, (int)i);
}

// ---------------------------------------------------------------------------
// The option tables: both families hold the same rows; MiniSat builds them
// in table order (CORE, then SIMP).

struct Row {
  const char* category;
  const char* name;
  const char* type;
  const char* help;
};
const Row kRows[] = {
    {"CORE", "var-decay", "<double>", "  -var-decay    = <double> (   0 ..    1) (default: 0.95)\n"},
    {"CORE", "cla-decay", "<double>", "  -cla-decay    = <double> (   0 ..    1) (default: 0.999)\n"},
    {"CORE", "rnd-freq", "<double>", "  -rnd-freq     = <double> [   0 ..    1] (default: 0)\n"},
    {"CORE", "rnd-seed", "<double>", "  -rnd-seed     = <double> (   0 ..  inf) (default: 9.16483e+07)\n"},
    {"CORE", "ccmin-mode", "<int32>", "  -ccmin-mode   = <int32>  [   0 ..    2] (default: 2)\n"},
    {"CORE", "phase-saving", "<int32>", "  -phase-saving = <int32>  [   0 ..    2] (default: 2)\n"},
    {"CORE", "rnd-init", "<bool>", "  -rnd-init, -no-rnd-init                 (default: off)\n"},
    {"CORE", "luby", "<bool>", "  -luby, -no-luby                         (default: on)\n"},
    {"CORE", "rfirst", "<int32>", "  -rfirst       = <int32>  [   1 .. imax] (default: 100)\n"},
    {"CORE", "rinc", "<double>", "  -rinc         = <double> (   1 ..  inf) (default: 2)\n"},
    {"CORE", "gc-frac", "<double>", "  -gc-frac      = <double> (   0 ..  inf) (default: 0.2)\n"},
    {"SIMP", "asymm", "<bool>", "  -asymm, -no-asymm                       (default: off)\n"},
    {"SIMP", "rcheck", "<bool>", "  -rcheck, -no-rcheck                     (default: off)\n"},
    {"SIMP", "elim", "<bool>", "  -elim, -no-elim                         (default: on)\n"},
    {"SIMP", "grow", "<int32>", "  -grow         = <int32>  [imin .. imax] (default: 0)\n"},
    {"SIMP", "cl-lim", "<int32>", "  -cl-lim       = <int32>  [  -1 .. imax] (default: 20)\n"},
    {"SIMP", "sub-lim", "<int32>", "  -sub-lim      = <int32>  [  -1 .. imax] (default: 1000)\n"},
    {"SIMP", "simp-gc-frac", "<double>", "  -simp-gc-frac = <double> (   0 ..  inf) (default: 0.5)\n"},
};
const size_t kRowCount = sizeof(kRows) / sizeof(kRows[0]);

template <class Option>
std::vector<std::string> tableOf(const std::vector<Option*>& list) {
  std::vector<std::string> rows;
  for (Option* o : list) {
    ::testing::internal::CaptureStderr();
    o->help(false);
    rows.push_back(std::string(o->getCategory()) + " " + o->getName() + " " + o->getTypeName() + " " +
                   ::testing::internal::GetCapturedStderr());
  }
  return rows;
}

TEST(SatOptions, TablesOfBothFamilies) {
  std::vector<std::string> expected;
  for (const Row& r : kRows) expected.push_back(std::string(r.category) + " " + r.name + " " + r.type + " " + r.help);
  EXPECT_EQ(expected, tableOf(Minisat::Family::Option::getOptionList()));
  std::vector<std::string> modified = tableOf(MinisatModified::Family::Option::getOptionList());
  std::sort(modified.begin(), modified.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, modified);
  ASSERT_EQ(kRowCount, modified.size());
  // The verbose help adds the description.
  ::testing::internal::CaptureStderr();
  Minisat::Family::options.random_var_freq.help(true);
  EXPECT_EQ(std::string(kRows[2].help) +
                "\n        The frequency with which the decision heuristic tries to choose a random variable\n\n",
            ::testing::internal::GetCapturedStderr());
}

// What the solvers of both families copy from the tables, and their other
// starting values.
template <class Simp>
void expectDefaults(const Simp& s) {
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
  EXPECT_EQ(0, s.grow);
  EXPECT_EQ(20, s.clause_lim);
  EXPECT_EQ(1000, s.subsumption_lim);
  EXPECT_EQ(0.5, s.simp_garbage_frac);
  EXPECT_FALSE(s.use_asymm);
  EXPECT_FALSE(s.use_rcheck);
  EXPECT_TRUE(s.use_elim);
}

TEST(SatOptions, SolversStartWithTheDefaults) {
  Minisat::SimpSolver s;
  expectDefaults(s);
  EXPECT_EQ(-1, s.conflict_budget);
  EXPECT_EQ(-1, s.propagation_budget);
  // The core solver removes satisfied problem clauses, the simplifying one
  // keeps them (they may still be needed for elimination).
  Minisat::Solver core;
  EXPECT_TRUE(Minisat::SolverTestAccess::removeSatisfied(core));
  EXPECT_FALSE(Minisat::SolverTestAccess::removeSatisfied(s));

  MinisatModified::SimpSolver m;
  expectDefaults(m);
  EXPECT_TRUE(m.incremental_elim);
  EXPECT_TRUE(m.use_simplification);
  EXPECT_FALSE(m.remove_satisfied);
  EXPECT_TRUE(m.ca.extra_clause_field);
  EXPECT_TRUE(MinisatModified::Solver().remove_satisfied);
}

}  // namespace
