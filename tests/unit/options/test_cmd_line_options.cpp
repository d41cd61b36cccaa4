// Command-line options: {arguments, what is parsed or what standard error
// says} (the help text, the exit statuses and the input the program then reads
// are regression scripts: tests/regress/smt2/help and driver).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options/cmd_line_options.h"

using varnok::CmdLineOptions;

namespace {

// The options that are set, as "name=value" words, or "refused: " and what
// standard error says.
std::string parsed(const std::vector<const char*>& arguments) {
  CmdLineOptions o;
  std::vector<const char*> argv = {"varnok"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  testing::internal::CaptureStderr();
  const bool ok = o.parse(static_cast<int>(argv.size()), argv.data());
  const std::string errors = testing::internal::GetCapturedStderr();
  if (!ok) return "refused: " + errors;
  std::string out = errors;
  auto add = [&](bool set, const std::string& word) { out += set ? (out.empty() ? "" : " ") + word : ""; };
  add(o.help.set, "help");
  add(o.version.set, "version");
  add(o.parseOnly.set, "parse-only");
  add(o.printModel.set, "print-model");
  add(o.inputFormat.set, "format=" + std::to_string(o.inputFormat.value));
  add(o.satSolver.set, "solver=" + std::to_string(o.satSolver.value));
  add(o.satPreprocessing.set, "preprocessing=" + std::to_string(o.satPreprocessing.value));
  add(o.substitution.set, "substitution=" + std::to_string(o.substitution.value));
  add(o.constraintPropagation.set, "propagation=" + std::to_string(o.constraintPropagation.value));
  add(o.file.set, "file=" + o.file.value);
  return out;
}

TEST(CmdLineOptions, Table) {
  const std::string smt1 = std::to_string(CmdLineOptions::SMTLIB1), smt2 = std::to_string(CmdLineOptions::SMTLIB2),
                    hys = std::to_string(CmdLineOptions::HYSAT);
  auto solver = [](VARNOK::SATSolver s) { return "solver=" + std::to_string(s); };
  const std::vector<std::pair<std::vector<const char*>, std::string>> rows = {
      {{}, ""},
      {{"-h", "-v"}, "help version"},
      {{"--parse-only", "--print-model", "--sat-solver=glucose", "--substitution=off", "--constraint-propagation=1",
        "--sat-preprocessing=true", "in.smt2"},
       "parse-only print-model format=" + smt2 + " " + solver(VARNOK::SAT_SOLVER_GLUCOSE) +
           " preprocessing=1 substitution=0 propagation=1 file=in.smt2"},
      // Value words; the last value wins.
      {{"--sat-solver=glucose", "--sat-solver=minisat"}, solver(VARNOK::SAT_SOLVER_MINISAT)},
      {{"--sat-solver=dump-dimacs"}, solver(VARNOK::SAT_SOLVER_DUMP_DIMACS)},
      {{"--sat-solver=minisat-modified"}, solver(VARNOK::SAT_SOLVER_MINISAT_MODIFIED)},
      {{"--input-format=smtlib1"}, "format=" + smt1},
      {{"--input-format=hysat"}, "format=" + hys},
      {{"--substitution=on", "--sat-preprocessing=false"}, "preprocessing=0 substitution=1"},
      {{"--substitution=true", "--sat-preprocessing=0"}, "preprocessing=0 substitution=1"},
      // The input format from the extension after the last '.' of the whole
      // path, unless one is given.
      {{"a.smt"}, "format=" + smt1 + " file=a.smt"},
      {{"dir/a.b.smt2"}, "format=" + smt2 + " file=dir/a.b.smt2"},
      {{"p.hys"}, "format=" + hys + " file=p.hys"},
      {{"--input-format=smtlib2", "a.smt"}, "format=" + smt2 + " file=a.smt"},
      {{"a.SMT2"}, "file=a.SMT2"},
      {{"dir.smt/file"}, "file=dir.smt/file"},
      {{"a.smt2.txt"}, "file=a.smt2.txt"},
      {{"trailing."}, "file=trailing."},
      // The file: an unrecognised last argument, "-", a flag followed by "="
      // as last argument, the one argument after "--".
      {{"--bogus"}, "file=--bogus"},
      {{"-"}, "file=-"},
      {{"--parse-only=1"}, "file=--parse-only=1"},
      {{"--parse-only", "--", "-x"}, "parse-only file=-x"},
      {{"--"}, "file=--"},
      // Refused command lines; a bad Boolean word fails silently.
      {{"--input-format=SMTLIB2"}, "refused: input format \"SMTLIB2\" is not supported.\n"},
      {{"--input-format="}, "refused: input format \"\" is not supported.\n"},
      {{"--sat-solver=cadical"}, "refused: sat solver \"cadical\" is not supported.\n"},
      {{"--sat-preprocessing=yes"}, "refused: "},
      {{"--input-format"}, "refused: The option 'input-format' requires an argument.\n"},
      {{"--substitution", "x.smt2"}, "refused: The option 'substitution' requires an argument.\n"},
      {{"in.smt2", "--parse-only"}, "refused: Unrecognized option 'in.smt2'.\n"},
      {{"a.smt2", "b.smt2"}, "refused: Unrecognized option 'a.smt2'.\n"},
      {{"--parse-only=1", "x"}, "refused: Unrecognized option '--parse-only=1'.\n"},
      {{"--", "a", "b"}, "refused: Unrecognized option '--'.\n"},
      // Short names are compared whole; a long name must be followed by its
      // end or "=".
      {{"-hv", "file"}, "refused: Unrecognized option '-hv'.\n"},
      {{"--helpme", "file"}, "refused: Unrecognized option '--helpme'.\n"},
  };
  for (const auto& row : rows) EXPECT_EQ(parsed(row.first), row.second) << (row.first.empty() ? "" : row.first[0]);
}

}  // namespace
