// The varnok program's driver, end to end: help, version, driver messages,
// the option parser's quirks, input selection and exit statuses.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "options/version.h"
#include "support/run_program.h"

using varnok_test::RunResult;
using varnok_test::runVarnok;

namespace {

class DriverEndToEnd : public testing::Test {
 protected:
  static void SetUpTestSuite() { dir = new std::string(varnok_test::scratchDirectory("driver")); }
  static void TearDownTestSuite() { delete dir; }
  RunResult run(const std::vector<std::string>& arguments, const std::string& input = "") {
    return runVarnok(arguments, input, *dir);
  }
  static std::string* dir;
};
std::string* DriverEndToEnd::dir = nullptr;

// The help text itself is tests/regress/smt2/help.expected.
TEST_F(DriverEndToEnd, Help) {
  const RunResult help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: varnok [options] [FILE]\n", 0), 0u);
  EXPECT_EQ(help.err, "");
  const RunResult shortForm = run({"-h"});
  EXPECT_EQ(shortForm.status, 0);
  EXPECT_EQ(shortForm.out, help.out);
  EXPECT_EQ(shortForm.err, "");
  // Help wins over version, and the FILE is never opened.
  const RunResult both = run({"--version", "--help", "does-not-exist.smt2"});
  EXPECT_EQ(both.status, 0);
  EXPECT_EQ(both.out, help.out);
  EXPECT_EQ(both.err, "");
}

TEST_F(DriverEndToEnd, VersionBanner) {
  const RunResult result = run({"-v"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  std::vector<std::string> lines;
  std::string line;
  for (char c : result.out) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  EXPECT_EQ(line, "");  // ends with a line feed
  ASSERT_EQ(lines.size(), 8u) << result.out;
  EXPECT_EQ(lines[0].rfind("VARNOK - ", 0), 0u);
  EXPECT_GT(lines[0].size(), 9u);
  EXPECT_EQ(lines[1], std::string(42, '='));
  ASSERT_EQ(lines[2].rfind("revision: ", 0), 0u);
  const std::string revision = lines[2].substr(10);
  EXPECT_EQ(revision.size(), 40u);
  for (char c : revision) EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(c)));
  EXPECT_EQ(revision, varnok::getRevision());
  EXPECT_EQ(lines[3].rfind("compiled on: ", 0), 0u);
  EXPECT_EQ(lines[4].rfind("compiled with: ", 0), 0u);
  EXPECT_EQ(lines[5].rfind("build type: ", 0), 0u);
  EXPECT_EQ(lines[6].rfind("compilation flags: ", 0), 0u);
  EXPECT_EQ(lines[7].rfind("compilation host: ", 0), 0u);
}

// A refused command line ends with status 1 before anything runs (the
// messages of the option parser are tested on the parser).
TEST_F(DriverEndToEnd, WholeCommandLineIsParsedFirst) {
  const RunResult result = run({"--version", "--bogus", "file.smt2"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "Unrecognized option '--bogus'.\n");
}

TEST_F(DriverEndToEnd, InputFileThatCannotBeOpened) {
  RunResult result = run({"missing.smt2"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "input file \"missing.smt2\" could not be opened.\n");
  // An unrecognised last argument is taken as the file.
  result = run({"--bogus"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "input file \"--bogus\" could not be opened.\n");
  result = run({"--", "-x"});
  EXPECT_EQ(result.err, "input file \"-x\" could not be opened.\n");
  // A lone "-" is a file name, not standard input.
  result = run({"-"}, "(exit)");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "input file \"-\" could not be opened.\n");
}

// (The exit status of scripts that end with an error is checked by the
// regression scripts.)
TEST_F(DriverEndToEnd, ReadsStandardInputAsSmtlib2) {
  RunResult result = run({}, "(set-option :print-success true)\n(set-logic QF_BV)\n(get-info :name)\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "success\nsuccess\n(:name \"varnok\")\n");
  EXPECT_EQ(result.err, "");
  result = run({}, "");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
}

TEST_F(DriverEndToEnd, ReadsTheFileAndInfersNothingFromUnknownExtensions) {
  const std::string path = *dir + "/script.txt";
  {
    std::ofstream file(path);
    file << "(set-option :print-success true)\n(exit)\n";
  }
  const RunResult result = run({path}, "this is not read");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "success\nsuccess\n");
  EXPECT_EQ(result.err, "");
}

}  // namespace
