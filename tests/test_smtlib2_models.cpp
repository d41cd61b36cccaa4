// Models printed by get-value must satisfy the script: the values are asserted
// back into the script and the solver must still answer sat.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "test_smtlib2_run.h"

#ifdef VARNOK_BINARY
namespace {

using varnok_test::runVarnok;

// Asks for the values of `names` after the script's check-sat, asserts them
// back and checks that the script stays satisfiable.
void expectModelSatisfiesScript(const std::string& script, const std::string& names,
                                const std::vector<std::string>& options) {
  const std::string dir = varnok_test::scratchDirectory("models");
  const auto first = runVarnok(options, script + "(check-sat)\n(get-value (" + names + "))\n", dir);
  ASSERT_EQ(first.status, 0) << first.out << first.err;
  ASSERT_EQ(first.out.substr(0, 4), "sat\n") << first.out;
  static const std::regex value(R"(\(([^\s()]+) (#b[01]+|true|false)\))");
  std::string fixed = script;
  int count = 0;
  for (std::sregex_iterator it(first.out.begin(), first.out.end(), value), end; it != end; ++it, ++count)
    fixed += "(assert (= " + (*it)[1].str() + " " + (*it)[2].str() + "))\n";
  ASSERT_GT(count, 0) << first.out;
  const auto second = runVarnok(options, fixed + "(check-sat)\n", dir);
  EXPECT_EQ(second.out, "sat\n") << "model:\n" << first.out;
}

// v100 is defined by substitution as a term over array reads that appear
// nowhere else. Its value is read after the check, when the reads are blasted
// for the first time: they must be refined against the array model like every
// other read (read-over-write at index v3 gives 1, so bit 0 of v100 is 0).
const char* const kSubstitutedReads =
    "(set-logic QF_ABV)\n(set-option :produce-models true)\n"
    "(declare-fun a0 () (Array (_ BitVec 3) (_ BitVec 100)))\n"
    "(declare-fun a1 () (Array (_ BitVec 2) (_ BitVec 3)))\n"
    "(declare-fun v2 () (_ BitVec 2))\n(declare-fun v3 () (_ BitVec 3))\n(declare-fun b0 () Bool)\n"
    "(declare-fun v100 () (_ BitVec 100))\n(declare-fun v7 () (_ BitVec 7))\n"
    "(assert (= (bvnor (select a0 (select a1 v2)) (select (store a0 v3 "
    "((_ zero_extend 99) #b1)) (ite b0 #b111 v3))) v100))\n"
    "(assert (bvult ((_ sign_extend 4) v3) v7))\n";

TEST(Smtlib2Models, SubstitutedVariableOverArrayReads) {
  for (const auto& options : std::vector<std::vector<std::string>>{
           {}, {"--sat-solver=minisat-modified"}, {"--sat-preprocessing=off"}})
    expectModelSatisfiesScript(kSubstitutedReads, "v2 v3 b0 v100 v7", options);
}

// A get-value term with reads that were never part of the formula.
TEST(Smtlib2Models, GetValueTermWithFreshReads) {
  const std::string script =
      "(set-logic QF_ABV)\n(set-option :produce-models true)\n"
      "(declare-fun a () (Array (_ BitVec 4) (_ BitVec 8)))\n"
      "(declare-fun i () (_ BitVec 4))\n(declare-fun j () (_ BitVec 4))\n"
      "(assert (= (select a i) #x2a))\n(assert (= i j))\n";
  const std::string dir = varnok_test::scratchDirectory("models");
  const auto run = runVarnok({"--substitution=off"},
                             script + "(check-sat)\n(get-value ((select a j) (select (store a i #x07) j)))\n", dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "sat\n(((select a j) #b00101010)\n((select (store a i #x07) j) #b00000111))\n");
}

}  // namespace
#endif
