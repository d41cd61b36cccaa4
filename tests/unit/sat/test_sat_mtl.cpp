// The library shared by the solver families: vectors (out-of-memory as the
// family's exception), sort, heap, queue and region allocator; the option
// template (parsing, ranges) and the option tables as their help prints them.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "sat/glucose/solver.h"
#include "sat/minisat/solver.h"
#include "sat/minisat_modified/solver.h"
#include "sat/mtl/heap.h"
#include "sat/mtl/queue.h"
#include "sat/mtl/region.h"
#include "sat/mtl/sort.h"

namespace {

using Family = MinisatModified::OutOfMemoryException;
namespace mtl = varnok::sat::mtl;

TEST(SatContainers, VectorsAndOutOfMemory) {
  MinisatModified::Family::vec<int> w;
  w.growTo(100);
  for (int i = 0; i < 100; i++) ASSERT_EQ(0, w[i]);
  w.growTo(101);
  EXPECT_THROW(w.capacity(INT_MAX), Family);
  EXPECT_EQ(101, w.size());  // unchanged after the failure
  mtl::RegionAllocator<uint32_t, Family> region(0);
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

TEST(SatContainers, SortHeapAndQueue) {
  std::mt19937 rng(5);
  for (int n = 0; n < 60; n++) {
    MinisatModified::Family::vec<MinisatModified::Lit> a;
    std::vector<int> expected;
    for (int i = 0; i < n; i++) {
      expected.push_back((int)(rng() % 20));
      a.push(MinisatModified::toLit(expected.back()));
    }
    mtl::sort(a);
    std::sort(expected.begin(), expected.end());
    for (int i = 0; i < n; i++) ASSERT_EQ(expected[i], MinisatModified::toInt(a[i])) << n;
  }
  struct Lt {
    bool operator()(int a, int b) const { return a % 7 < b % 7; }
  };
  mtl::Heap<Lt, Family> heap{Lt()};
  for (int i = 20; i >= 0; i--) heap.insert(i);
  for (int last = -1; !heap.empty();) {
    int x = heap.removeMin();
    EXPECT_LE(last, x % 7);
    last = x % 7;
    EXPECT_FALSE(heap.inHeap(x));
  }
  // The queue wraps around and grows while it holds elements.
  mtl::Queue<int, Family> q;
  for (int i = 0; i < 5; i++) q.insert(i);
  q.pop();
  q.pop();
  for (int i = 5; i < 40; i++) q.insert(i);
  EXPECT_EQ(38, q.size());
  for (int i = 2; i < 40; i++, q.pop()) ASSERT_EQ(i, q.peek());
  EXPECT_EQ(0, q.size());
}

// ---------------------------------------------------------------------------
// The option template, on options of a family of its own.

struct TestFamily {};

TEST(SatOptions, ParsingAndRanges) {
  mtl::BoolOption<TestFamily> b("T", "flag", "a flag", false);
  EXPECT_TRUE(b.parse("-flag") && b);
  EXPECT_TRUE(b.parse("-no-flag") && !b);
  for (const char* bad : {"-flags", "flag", "-no-fla"}) EXPECT_FALSE(b.parse(bad)) << bad;
  EXPECT_FALSE((bool)b);

  mtl::IntOption<TestFamily> i("T", "lim", "a limit", 5, mtl::IntRange(-1, 10));
  EXPECT_TRUE(i.parse("-lim=7"));
  EXPECT_EQ(7, (int)i);
  EXPECT_FALSE(i.parse("-lim7") || i.parse("-li=3"));
  EXPECT_EQ(7, (int)i);
  EXPECT_TRUE(i.parse("-lim=-1") && i == -1);  // both bounds are included
  EXPECT_TRUE(i.parse("-lim=10") && i == 10);

  mtl::DoubleOption<TestFamily> d("T", "frac", "a fraction", 0.5, mtl::DoubleRange(0, false, 1, true));
  EXPECT_TRUE(d.parse("-frac=1") && d == 1.0);  // inclusive upper end
  EXPECT_FALSE(d.parse("-fra=0.5"));
  EXPECT_EQ(1.0, (double)d);
  mtl::DoubleOption<TestFamily> f("T", "freq", "a frequency", 0.5, mtl::DoubleRange(0, true, 1, true));
  EXPECT_TRUE(f.parse("-freq=0") && f == 0.0);  // inclusive lower end

  Glucose::StringOption<TestFamily> path("T", "out", "where", "NULL");
  EXPECT_FALSE(path.parse("-out/tmp/proof") || path.parse("out=/tmp/proof"));
  EXPECT_STREQ("NULL", (const char*)path);
  const char* text = "-out=/tmp/proof";
  EXPECT_TRUE(path.parse(text));
  EXPECT_EQ(text + 5, (const char*)path);

  // The verbose help adds the description under each row.
  ::testing::internal::CaptureStderr();
  i.help(true);
  d.help(true);
  path.help(true);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "  -lim          = <int32>  [  -1 ..   10] (default: 10)\n\n        a limit\n\n"
            "  -frac         = <double> (   0 ..    1] (default: 1)\n\n        a fraction\n\n"
            "  -out        = <string>\n\n        where\n\n");
}

TEST(SatOptionsDeathTest, ValuesOutOfRangeEndTheProcess) {
  mtl::IntOption<TestFamily> i("T", "lim", "a limit", 5, mtl::IntRange(-1, 10));
  EXPECT_EXIT(i.parse("-lim=11"), ::testing::ExitedWithCode(1), "ERROR! value <11> is too large for option \"lim\".");
  EXPECT_EXIT(i.parse("-lim=-2"), ::testing::ExitedWithCode(1), "ERROR! value <-2> is too small for option \"lim\".");
  mtl::DoubleOption<TestFamily> d("T", "decay", "a factor", 0.95, mtl::DoubleRange(0, false, 1, false));
  EXPECT_EXIT(d.parse("-decay=1"), ::testing::ExitedWithCode(1), "ERROR! value <1> is too large for option \"decay\".");
  EXPECT_EXIT(d.parse("-decay=0"), ::testing::ExitedWithCode(1), "ERROR! value <0> is too small for option \"decay\".");
}

template <class Option>
Option* optionNamed(const std::vector<Option*>& list, const std::string& name) {
  for (Option* o : list)
    if (name == o->getName()) return o;
  return nullptr;
}

// The range is checked on the number as written, not on its 32-bit residue;
// a zero first reduction interval (a division by zero in the search) is
// refused.
TEST(SatOptionsDeathTest, TableRowsRefuseValuesBeyondTheirRange) {
  auto* rfirst = optionNamed(Minisat::Family::Option::getOptionList(), "rfirst");
  ASSERT_NE(nullptr, rfirst);
  EXPECT_EXIT(rfirst->parse("-rfirst=-3000000000"), ::testing::ExitedWithCode(1),
              "ERROR! value <-3000000000> is too small for option \"rfirst\".");
  EXPECT_EXIT(rfirst->parse("-rfirst=3000000000"), ::testing::ExitedWithCode(1),
              "ERROR! value <3000000000> is too large for option \"rfirst\".");
  EXPECT_EXIT(rfirst->parse("-rfirst=99999999999999999999999"), ::testing::ExitedWithCode(1),
              "ERROR! value <99999999999999999999999> is too large for option \"rfirst\".");
  auto* grow = optionNamed(Minisat::Family::Option::getOptionList(), "grow");  // no bounds
  EXPECT_EXIT(grow->parse("-grow=-2147483649"), ::testing::ExitedWithCode(1),
              "ERROR! value <-2147483649> is too small for option \"grow\".");
  EXPECT_TRUE(grow->parse("-grow=-2147483648"));
  EXPECT_TRUE(grow->parse("-grow=0"));
  auto* reduce = optionNamed(Glucose::Family::Option::getOptionList(), "firstReduceDB");
  ASSERT_NE(nullptr, reduce);
  EXPECT_EXIT(reduce->parse("-firstReduceDB=0"), ::testing::ExitedWithCode(1),
              "ERROR! value <0> is too small for option \"firstReduceDB\".");
  EXPECT_TRUE(reduce->parse("-firstReduceDB=2000"));
}

// ---------------------------------------------------------------------------
// The option tables, the one place they are checked: every row as the help
// prints it, by category, in construction order. The MiniSat families share
// their rows; Glucose adds its own and shares the SIMP table.

template <class Option>
std::string helpOf(const std::vector<Option*>& list, bool verbose_first = false) {
  ::testing::internal::CaptureStderr();
  for (Option* o : list) {
    fprintf(stderr, "%s ", o->getCategory());
    o->help(verbose_first && o == list.front());
  }
  return ::testing::internal::GetCapturedStderr();
}

const char* const kSimpRows =
    "SIMP   -asymm, -no-asymm                       (default: off)\n"
    "SIMP   -rcheck, -no-rcheck                     (default: off)\n"
    "SIMP   -elim, -no-elim                         (default: on)\n"
    "SIMP   -grow         = <int32>  [imin .. imax] (default: 0)\n"
    "SIMP   -cl-lim       = <int32>  [  -1 .. imax] (default: 20)\n"
    "SIMP   -sub-lim      = <int32>  [  -1 .. imax] (default: 1000)\n"
    "SIMP   -simp-gc-frac = <double> (   0 ..  inf) (default: 0.5)\n";

const std::string kCoreRows =
    "CORE   -cla-decay    = <double> (   0 ..    1) (default: 0.999)\n"
    "CORE   -rnd-freq     = <double> [   0 ..    1] (default: 0)\n"
    "CORE   -rnd-seed     = <double> (   0 ..  inf) (default: 9.16483e+07)\n"
    "CORE   -ccmin-mode   = <int32>  [   0 ..    2] (default: 2)\n"
    "CORE   -phase-saving = <int32>  [   0 ..    2] (default: 2)\n"
    "CORE   -rnd-init, -no-rnd-init                 (default: off)\n";

TEST(SatOptions, TablesOfEveryFamily) {
  const std::string minisat = std::string() +
      "CORE   -var-decay    = <double> (   0 ..    1) (default: 0.95)\n"
      + kCoreRows +
      "CORE   -luby, -no-luby                         (default: on)\n"
      "CORE   -rfirst       = <int32>  [   1 .. imax] (default: 100)\n"
      "CORE   -rinc         = <double> (   1 ..  inf) (default: 2)\n"
      "CORE   -gc-frac      = <double> (   0 ..  inf) (default: 0.2)\n" + kSimpRows;
  EXPECT_EQ(minisat, helpOf(Minisat::Family::Option::getOptionList()));
  EXPECT_EQ(minisat, helpOf(MinisatModified::Family::Option::getOptionList()));
  EXPECT_EQ(std::string() +
                "CORE   -incremental, -no-incremental           (default: off)\n\n"
                "        Use incremental SAT solving\n\n"
                "CORE -- RESTART   -K            = <double> (   0 ..    1) (default: 0.8)\n"
                "CORE -- RESTART   -R            = <double> (   1 ..    5) (default: 1.4)\n"
                "CORE -- RESTART   -szLBDQueue   = <int32>  [  10 .. imax] (default: 50)\n"
                "CORE -- RESTART   -szTrailQueue = <int32>  [  10 .. imax] (default: 5000)\n"
                "CORE -- REDUCE   -firstReduceDB = <int32>  [   1 .. imax] (default: 2000)\n"
                "CORE -- REDUCE   -incReduceDB  = <int32>  [   0 .. imax] (default: 300)\n"
                "CORE -- REDUCE   -specialIncReduceDB = <int32>  [   0 .. imax] (default: 1000)\n"
                "CORE -- REDUCE   -minLBDFrozenClause = <int32>  [   0 .. imax] (default: 30)\n"
                "CORE -- MINIMIZE   -minSizeMinimizingClause = <int32>  [   3 .. imax] (default: 30)\n"
                "CORE -- MINIMIZE   -minLBDMinimizingClause = <int32>  [   3 .. imax] (default: 6)\n"
                "CORE   -var-decay    = <double> (   0 ..    1) (default: 0.8)\n"
                + kCoreRows +
                "CORE   -gc-frac      = <double> (   0 ..  inf) (default: 0.2)\n"
                "CORE -- CERTIFIED UNSAT   -certified, -no-certified               (default: off)\n"
                "CORE -- CERTIFIED UNSAT   -certified-output = <string>\n" + kSimpRows,
            helpOf(Glucose::Family::Option::getOptionList(), true));
}

}  // namespace
