// The varnok program: the version banner (help, input selection and exit
// statuses are regression scripts: tests/regress/smt2/help and driver), and
// real benchmark files: a quick subset of the public corpus beside the
// repository (../shared/benchmarks) run through varnok by
// bench/run_benchmarks, bit-vector and array files and floating-point files
// apart. Every answer given must be the expected one, and the model of every
// sat answer must satisfy the script again; files that are not answered
// within the time limit are reported, not failed.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <iostream>
#include <regex>
#include <string>

#include "options/version.h"
#include "support/run_program.h"

namespace {

TEST(Program, VersionBanner) {
  const varnok_test::RunResult result = varnok_test::runVarnok({"-v"}, "", varnok_test::scratchDirectory("driver"));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(std::regex_match(result.out, std::regex("VARNOK - [^\n]+\n={42}\nrevision: " + std::string(varnok::getRevision()) +
                                                      "\ncompiled on: .*\ncompiled with: .*\nbuild type: .*\n"
                                                      "compilation flags: .*\ncompilation host: .*\n")))
      << result.out;
  EXPECT_TRUE(std::regex_match(varnok::getRevision(), std::regex("[0-9a-f]{40}")));
}


bool exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// Runs bench/run_benchmarks on a sample of the corpus: files a peer solves
// in under half a second, spread over the given folders.
void runSample(const std::string& folders, const char* sample) {
  const std::string source = VARNOK_SOURCE_DIR;
  const std::string corpus = source + "/../shared/benchmarks";
  if (!exists(corpus + "/MANIFEST.tsv")) {
    GTEST_SKIP() << "benchmark corpus not found at " << corpus;
  }
  if (std::system("python3 -c 1 > /dev/null 2>&1") != 0) GTEST_SKIP() << "python3 is not available";
  const std::string command = "python3 '" + source + "/bench/run_benchmarks' --varnok '" +
                              VARNOK_BINARY + "' --root '" + corpus +
                              "' --timeout 10 --jobs 2 --max-peer-time 0.5 --sample " + sample +
                              " --check-models --quiet " + folders + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int status = pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status)) << output;
  const int code = WEXITSTATUS(status);
  if (code == 77) GTEST_SKIP() << output;
  std::cout << output;
  EXPECT_EQ(code, 0) << "wrong answers, bad models or errors:\n" << output;
  EXPECT_NE(output.find(" passed, 0 failed"), std::string::npos) << output;
}

#ifdef VARNOK_SANITIZED
const char* const kBitVectorSample = "40";
const char* const kFloatSample = "12";
#else
const char* const kBitVectorSample = "60";
const char* const kFloatSample = "30";
#endif

TEST(Smtlib2Benchmarks, QuickSubsetAnswersCorrectly) { runSample("smt2/bv smt2/abv", kBitVectorSample); }

TEST(Smtlib2Benchmarks, FloatingPointSubsetAnswersCorrectly) { runSample("smt2/fp", kFloatSample); }

}  // namespace
