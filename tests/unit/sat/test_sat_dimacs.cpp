// The DIMACS dump back end: exact file texts, numbering, header counts and
// the report of a file that cannot be written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "sat/dump_dimacs.h"

using varnok::sat::DumpDimacs;

namespace {

std::string readFile(const std::string& name) {
  std::ifstream in(name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every test writes into its own fresh directory.
class DumpDimacsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string dir = std::string(VARNOK_TEST_TMPDIR) + "/dimacs_" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_EQ(0, system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()));
    char buffer[4096];
    ASSERT_NE(nullptr, getcwd(buffer, sizeof buffer));
    old_dir_ = buffer;
    ASSERT_EQ(0, chdir(dir.c_str()));
  }
  void TearDown() override { ASSERT_EQ(0, chdir(old_dir_.c_str())); }

  std::string old_dir_;
};

TEST_F(DumpDimacsTest, ClausesAndAssumptionsPerCheck) {
  DumpDimacs d;
  EXPECT_STREQ("Dump Dimacs", d.getName());
  EXPECT_EQ(2, d.solve({}));
  EXPECT_EQ("p cnf 0 0\n", readFile("varnok_0.cnf"));
  d.ensureVars(2);
  d.addClause({0, 3});  // x0 or not x1
  d.addClause({2});     // x1
  EXPECT_EQ(2, d.solve({1}));
  EXPECT_EQ("p cnf 2 3\n1 -2 0\n2 0\n-1 0\n", readFile("varnok_1.cnf"));
  // The next file holds every clause again and only its own assumptions.
  d.addClause({1, 2, 5});
  d.addClause({});  // the empty clause is a lone zero
  EXPECT_EQ(2, d.solve({0, 3}));
  EXPECT_EQ("p cnf 3 6\n1 -2 0\n2 0\n-1 2 -3 0\n0\n1 0\n-2 0\n", readFile("varnok_2.cnf"));
  EXPECT_EQ("p cnf 2 3\n1 -2 0\n2 0\n-1 0\n", readFile("varnok_1.cnf"));  // untouched
  EXPECT_EQ(0, d.modelValue(0));
  EXPECT_EQ(0, d.modelValue(1));
  EXPECT_EQ(0, d.value(0));
  std::ostringstream out;
  d.printStatistics(out);
  EXPECT_EQ("", out.str());
}

TEST_F(DumpDimacsTest, HeaderNeverUndercountsVariables) {
  DumpDimacs d;
  d.ensureVars(8);
  d.addClause({2 * 5 + 1});
  d.ensureVars(2);  // a smaller count later
  EXPECT_EQ(2, d.solve({}));
  EXPECT_EQ("p cnf 6 1\n-6 0\n", readFile("varnok_0.cnf"));
  // Assumption variables count too.
  EXPECT_EQ(2, d.solve({2 * 9}));
  EXPECT_EQ("p cnf 10 2\n-6 0\n10 0\n", readFile("varnok_1.cnf"));
  // A larger declared count is kept.
  d.ensureVars(12);
  EXPECT_EQ(2, d.solve({}));
  EXPECT_EQ("p cnf 12 1\n-6 0\n", readFile("varnok_2.cnf"));
}

TEST_F(DumpDimacsTest, UnopenableFileIsReported) {
  DumpDimacs d;
  d.addClause({0});
  ASSERT_EQ(0, mkdir("varnok_0.cnf", 0755));  // a directory cannot be opened for writing
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(2, d.solve({}));
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, err.find("varnok_0.cnf")) << err;
  EXPECT_EQ('\n', err.empty() ? ' ' : err.back());
  // Numbering goes on.
  EXPECT_EQ(2, d.solve({}));
  EXPECT_EQ("p cnf 1 1\n1 0\n", readFile("varnok_1.cnf"));
}

TEST_F(DumpDimacsTest, LargeClauseSetIsComplete) {
  // Enough text to pass the writer's internal buffer several times.
  DumpDimacs d;
  std::string expected = "p cnf 20001 20000\n";
  for (int i = 0; i < 20000; i++) {
    d.addClause({2 * i, 2 * (i + 1) + 1});
    expected += std::to_string(i + 1) + " -" + std::to_string(i + 2) + " 0\n";
  }
  EXPECT_EQ(2, d.solve({}));
  EXPECT_EQ(expected, readFile("varnok_0.cnf"));
}

}  // namespace
