// The SMT-LIB 1 front end on generated benchmarks nested 50,000 deep: lets
// whose terms form one chain, flets and negations around them. Parsing,
// building, releasing and solving must not depend on the depth of the input.
#include <gtest/gtest.h>

#include <string>

#include "support/run_program.h"

namespace {

const int kDepth = 50000;

// x = 2, y = 1 and v(i) = ((v(i-1) xor y) + x) mod 4 from v(0) = x; the
// benchmark claims v(kDepth) = expected inside kDepth lets, kDepth flets and
// kDepth negations.
std::string deepBenchmark(unsigned expected) {
  std::string text = "(benchmark deep\n:logic QF_BV\n:extrafuns ((x BitVec[2]) (y BitVec[2]))\n:formula\n";
  text.reserve(static_cast<size_t>(kDepth) * 100);
  text += "(let (?v0 x)\n";
  for (int i = 1; i <= kDepth; ++i) {
    text += "(let (?v" + std::to_string(i) + " (bvadd (bvxor ?v" + std::to_string(i - 1) + " y) x))\n";
  }
  text += "(flet ($f0 (= ?v" + std::to_string(kDepth) + " bv" + std::to_string(expected) + "[2]))\n";
  for (int i = 1; i < kDepth; ++i) {
    text += "(flet ($f" + std::to_string(i) + " (and $f" + std::to_string(i - 1) + " (= x bv2[2])))\n";
  }
  for (int i = 0; i < kDepth; ++i) text += "(not ";
  text += "(and (= x bv2[2]) (= y bv1[2]) $f" + std::to_string(kDepth - 1) + ")";
  text += std::string(kDepth, ')') + std::string(kDepth, ')') + std::string(kDepth + 1, ')') + "\n)\n";
  return text;
}

unsigned chainValue() {
  unsigned v = 2;
  for (int i = 0; i < kDepth; ++i) v = ((v ^ 1u) + 2u) & 3u;
  return v;
}

TEST(Smtlib1DeepNesting, FiftyThousandNestedLetsParseAndSolve) {
  const std::string dir = varnok_test::scratchDirectory("smtlib1_deep");
  const unsigned value = chainValue();
  // An even number of negations: the benchmark holds exactly for the chain's value.
  varnok_test::RunResult run =
      varnok_test::runVarnok({"--input-format=smtlib1", "--print-model"}, deepBenchmark(value), dir, 600);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "sat\n");
  EXPECT_NE(run.err.find("x:\t10\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("y:\t01\n"), std::string::npos) << run.err;

  // Without substitution the whole chain is bit-blasted.
  run = varnok_test::runVarnok({"--input-format=smtlib1", "--substitution=off"}, deepBenchmark((value + 1) & 3u), dir,
                               600);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "unsat\n");

  run = varnok_test::runVarnok({"--input-format=smtlib1", "--parse-only"}, deepBenchmark(value), dir, 600);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");

  // Cut short before the closing parentheses: the parse fails at the end of
  // the input and every value on its stack is released.
  std::string truncated = deepBenchmark(value);
  truncated.resize(truncated.find(')' + std::string(kDepth, ')')) + 1);
  run = varnok_test::runVarnok({"--input-format=smtlib1"}, truncated, dir, 600);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("after reading: '': syntax error, unexpected $end"), std::string::npos) << run.err;
}

}  // namespace
