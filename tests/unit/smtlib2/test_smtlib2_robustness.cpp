// Bad and huge input for the SMT-LIB 2 front end: mutated and truncated
// versions of a few valid scripts are fed to the varnok program. Every run
// must end with status 0 or 1; on 1 the output must end with exactly one
// well-formed error line; nothing may crash, hang or trip a sanitizer. Deeply
// nested terms must not exhaust the stack.
#include <gtest/gtest.h>

#include <dirent.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "support/run_program.h"

using varnok_test::RunResult;

namespace {

std::vector<std::string> loadSeeds() {
  const std::string dir = std::string(VARNOK_SOURCE_DIR) + "/tests/data/smtlib2";
  std::vector<std::string> names;
  if (DIR* handle = opendir(dir.c_str())) {
    while (const dirent* entry = readdir(handle)) {
      const std::string name = entry->d_name;
      if (name.size() > 5 && name.substr(name.size() - 5) == ".smt2") names.push_back(name);
    }
    closedir(handle);
  }
  std::sort(names.begin(), names.end());
  std::vector<std::string> seeds;
  for (const std::string& name : names) seeds.push_back(varnok_test::readWholeFile(dir + "/" + name));
  return seeds;
}

// Pieces that are inserted into scripts: delimiters, reserved words, odd
// numerals and whole commands.
const char* const SNIPPETS[] = {
    "(", ")", "|", "\"", ";", "\n", "\\", "_", "!", ":named", ":status", "(_", "#x", "#b",
    "let", "exit", "push", "pop", "0", "2147483648", "4294967295", "18446744073709551616",
    "(push 0)", "(pop 1)", "(push 2147483647)", "(check-sat)", "(exit)", "(get-value (",
    "(get-assignment)", "(set-info :status unsat)", "(set-info :status sat)",
    "(set-option :produce-models true)", "(declare-fun q () Bool)", "(assert q)",
    "(define-fun d ((v Bool)) Bool v)", "(! q :named n)", "(let ((z q)) z)",
    "(_ BitVec 0)", "(_ bv5 2)", "(as q Bool)", "(forall ((v Bool)) v)", "|a\"b\nc|",
    "\"s\"\"t\"", "RoundingMode", "(_ FloatingPoint 1 1)", "(Array Bool Bool)",
    // Terms: operators with wrong sorts, counts and indices, theory
    // constants, defined functions and floating point.
    "(bvadd", "(bvadd x)", "(bvadd x y x)", "(= p x)", "(ite p x p)", "(distinct RNE RTZ)",
    "((_ extract 3 0)", "((_ extract 0 3) x)", "((_ extract 4294967295 0) x)", "(_ extract",
    "((_ repeat 4294967295)", "((_ repeat 0) x)", "((_ zero_extend 4294967295) x)",
    "((_ rotate_left 4294967295) x)", "(select m", "(store m #x1 x)", "(select x x)",
    "(_ bv5 3)", "(_ bv5 2)", "(_ bv0 0)", "(_ bv99999999999999999999999 80)", "bit0", "bit1",
    "(bvcomp x y)", "(f x)", "(f x y x)", "(g)", "(h (h p))", "f", "(concat x x)",
    "(fp #b0 #b101 #b1)", "((_ to_fp 3 5) x)", "((_ to_fp 2 1) #b10)", "(_ +oo 8 24)",
    "(_ NaN 2 2)", "(fp.add RNE", "(fp.eq (_ -zero 3 3) (_ +zero 3 3))", "((_ to_ubv 0) RNE",
    "(fp.sqrt RNE", "RNE", "roundTowardZero", "(as x (_ BitVec 8))", "(let ((x p)) x)",
    "(! x :named nn)", "(define-fun k ((a Bool)) Bool (k a))"};

std::string mutate(const std::string& seed, std::mt19937& random) {
  std::string text = seed;
  auto position = [&](size_t size) {
    return std::uniform_int_distribution<size_t>(0, size)(random);
  };
  static const std::string interesting = "()|\";:#_!\n\r\\ 0123456789abxyz-.@\t";
  const int mutations = std::uniform_int_distribution<int>(1, 4)(random);
  for (int m = 0; m < mutations; ++m) {
    switch (std::uniform_int_distribution<int>(0, 5)(random)) {
      case 0:  // replace one byte
        if (!text.empty()) {
          text[position(text.size() - 1)] = interesting[position(interesting.size() - 1)];
        }
        break;
      case 1: {  // delete a span
        const size_t at = position(text.size());
        text.erase(at, std::uniform_int_distribution<size_t>(1, 12)(random));
        break;
      }
      case 2:  // insert a snippet
        text.insert(position(text.size()),
                    SNIPPETS[position(sizeof(SNIPPETS) / sizeof(SNIPPETS[0]) - 1)]);
        break;
      case 3: {  // duplicate a span
        const size_t at = position(text.size());
        const std::string span = text.substr(at, std::uniform_int_distribution<size_t>(1, 40)(random));
        text.insert(position(text.size()), span);
        break;
      }
      case 4:  // truncate
        text.resize(position(text.size()));
        break;
      default:  // a raw byte, NUL and high bytes included
        text.insert(position(text.size()), 1,
                    static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random)));
        break;
    }
  }
  return text;
}

// Empty when the run is acceptable, else what is wrong with it.
std::string checkRun(const RunResult& result) {
  if (result.status != 0 && result.status != 1) {
    return "status " + std::to_string(result.status);
  }
  if (!result.err.empty()) return "output on standard error: " + result.err.substr(0, 2000);
  static const std::regex errorLine("\\(error \"line [0-9]+ column [0-9]+: ([^\"\\n]|\"\")*\"\\)");
  size_t errorLines = 0;
  std::string last;
  size_t start = 0;
  while (start < result.out.size()) {
    const size_t end = result.out.find('\n', start);
    if (end == std::string::npos) return "output does not end with a line end";
    last = result.out.substr(start, end - start);
    if (last.rfind("(error", 0) == 0) ++errorLines;
    start = end + 1;
  }
  if (result.status == 0) {
    if (errorLines != 0) return "error line with status 0";
    return "";
  }
  if (errorLines != 1) return std::to_string(errorLines) + " error lines with status 1";
  if (!std::regex_match(last, errorLine)) return "malformed or misplaced error line: " + last;
  return "";
}

TEST(Smtlib2Fuzz, MutatedScriptsEndCleanly) {
  const std::vector<std::string> seeds = loadSeeds();
  ASSERT_FALSE(seeds.empty());
#ifdef VARNOK_SANITIZED
  size_t cases = 600;
  const double budgetSeconds = 60;
#else
  size_t cases = 2000;
  const double budgetSeconds = 40;
#endif
  if (const char* text = std::getenv("VARNOK_FUZZ_CASES")) cases = std::strtoul(text, nullptr, 10);
  unsigned seed = 20261206;
  if (const char* text = std::getenv("VARNOK_FUZZ_SEED")) seed = std::strtoul(text, nullptr, 10);
  std::mt19937 random(seed);
  const std::string dir = varnok_test::scratchDirectory("fuzz");
  const auto begin = std::chrono::steady_clock::now();
  size_t ran = 0;
  size_t failures = 0;
  size_t errorRuns = 0;
  for (; ran < cases; ++ran) {
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    if (elapsed > budgetSeconds) break;
    const std::string script = mutate(seeds[ran % seeds.size()], random);
    const std::vector<std::string> arguments =
        ran % 7 == 3 ? std::vector<std::string>{"--parse-only"} : std::vector<std::string>{};
    const RunResult result = varnok_test::runVarnok(arguments, script, dir, 30);
    const std::string problem = checkRun(result);
    if (result.status == 1) ++errorRuns;
    if (!problem.empty()) {
      const std::string path = dir + "/failure" + std::to_string(failures) + ".smt2";
      std::ofstream(path, std::ios::binary) << script;
      ADD_FAILURE() << problem << "\n(script kept in " << path << ")";
      if (++failures >= 10) break;
    }
  }
  std::cout << "fuzz: " << ran << " scripts, " << errorRuns << " ended with an error line\n";
  EXPECT_GE(ran, std::min<size_t>(cases, 200));
}

TEST(Smtlib2Fuzz, DeepNestingDoesNotOverflowTheStack) {
  const std::string dir = varnok_test::scratchDirectory("fuzz");
  const size_t depth = 100000;
  std::string nested;
  for (size_t i = 0; i < depth; ++i) nested += "(not ";
  nested += "a" + std::string(depth, ')');
  const std::string script = "(declare-fun a () Bool)(assert " + nested + ")(check-sat)";
  const RunResult result = varnok_test::runVarnok({}, script, dir, 60);
  EXPECT_EQ(checkRun(result), "");
  // A deep let chain.
  std::string lets;
  for (size_t i = 0; i < depth; ++i) lets += "(let ((x a)) ";
  lets += "x" + std::string(depth, ')');
  const RunResult letResult =
      varnok_test::runVarnok({}, "(declare-fun a () Bool)(assert " + lets + ")", dir, 60);
  EXPECT_EQ(checkRun(letResult), "");
  EXPECT_EQ(letResult.status, 0);
  // Deep s-expressions in attributes are read and dropped.
  const std::string info =
      "(set-info :notes " + std::string(depth, '(') + std::string(depth, ')') + ")(exit)";
  const RunResult infoResult = varnok_test::runVarnok({}, info, dir, 60);
  EXPECT_EQ(infoResult.status, 0);
  EXPECT_EQ(infoResult.out, "");
}

TEST(Smtlib2Fuzz, DeepTermsAreSolved) {
  const std::string dir = varnok_test::scratchDirectory("fuzz");
  auto expectRun = [&](const std::string& script, const std::string& out) {
    const RunResult result = varnok_test::runVarnok({}, script, dir, 60);
    EXPECT_EQ(result.out, out);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
  };
  const size_t depth = 100000;
  // A deeply nested define-fun body, expanded at its application and freed
  // at the end.
  std::string nested;
  for (size_t i = 0; i < depth; ++i) nested += "(bvxor v ";
  nested += "v" + std::string(depth, ')');
  expectRun("(define-fun f ((v (_ BitVec 4))) (_ BitVec 4) " + nested +
                ")(declare-fun u () (_ BitVec 4))(assert (= (f u) #x1))(check-sat)",
            "sat\n");
  // Deep applications of a defined function.
  std::string calls;
  for (size_t i = 0; i < depth; ++i) calls += "(g ";
  calls += "#x00" + std::string(depth, ')');
  expectRun("(define-fun g ((v (_ BitVec 8))) (_ BitVec 8) (bvadd v #x01))(assert (= " + calls +
                " #xA0))(check-sat)",
            "sat\n");
  // Deep nesting of an operator on a variable: built, asserted and freed;
  // a shallower chain is also solved (2001 u's: u = 1 (mod 16) is one
  // solution).
  for (const size_t chainDepth : {depth, size_t(2000)}) {
    std::string chain;
    for (size_t i = 0; i < chainDepth; ++i) chain += "(bvadd u ";
    chain += "u" + std::string(chainDepth, ')');
    const std::string script = "(declare-fun u () (_ BitVec 4))(assert (= " + chain + " #x1))";
    if (chainDepth == depth)
      expectRun(script, "");
    else
      expectRun(script + "(check-sat)", "sat\n");
  }
}

}  // namespace
