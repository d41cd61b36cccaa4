// Entry point of the varnok program: parses the command line, opens the
// input, creates the solver, applies the given settings and runs the front
// end of the input language.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "hysat/hysat.h"
#include "options/cmd_line_options.h"
#include "options/version.h"
#include "smtlib1/smtlib1.h"
#include "smtlib2/smtlib2.h"
#include "varnok.h"

namespace {

[[noreturn]] void fail(const char* message) {
  std::cerr << message << std::endl;
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  varnok::CmdLineOptions options;
  if (!options.parse(argc, argv)) std::exit(1);

  if (options.help.set) {
    options.printHelp(std::cout);
    std::exit(0);
  }
  if (options.version.set) {
    varnok::printVersion(std::cout);
    std::exit(0);
  }

  FILE* input = stdin;
  if (options.file.set) {
    input = std::fopen(options.file.value.c_str(), "r");
    if (!input) {
      std::cerr << "input file \"" << options.file.value << "\" could not be opened." << std::endl;
      std::exit(1);
    }
  }

  VARNOK::Solver* solver = new VARNOK::Solver();
  // The order matters: the back end decides whether preprocessing is
  // possible, so it is chosen before an explicit preprocessing setting.
  if (options.satSolver.set && !solver->setSATSolver(options.satSolver.value)) {
    fail("Could not set SAT-solver.");
  }
  if (options.substitution.set && !solver->setSubstitution(options.substitution.value)) {
    fail("Could not set substitution.");
  }
  if (options.constraintPropagation.set &&
      !solver->setConstraintPropagation(options.constraintPropagation.value)) {
    fail("Could not set constraint propagation.");
  }
  if (options.satPreprocessing.set && !solver->setSATPreprocessing(options.satPreprocessing.value)) {
    fail("Could not set SAT preprocessing.");
  }

  if (!options.inputFormat.set) {
    options.inputFormat.value = varnok::CmdLineOptions::SMTLIB2;
    options.inputFormat.set = true;
  }

  bool accepted = false;
  switch (options.inputFormat.value) {
    case varnok::CmdLineOptions::SMTLIB1:
      accepted = varnok::smtlib1::parse(input, *solver, options);
      break;
    case varnok::CmdLineOptions::SMTLIB2:
      accepted = varnok::smtlib2::parse(input, *solver, options);
      break;
    case varnok::CmdLineOptions::HYSAT:
      accepted = varnok::hysat::parse(input, *solver, options);
      break;
  }
  if (!accepted) std::exit(1);

  if (input != stdin) std::fclose(input);
  delete solver;
  return 0;
}
