// Entry of the SMT-LIB 2 front end: preparation of the front-end state, the
// parse, and the release of everything the script built.
#include <iostream>

#include "options/cmd_line_options.h"
#include "smtlib2/scope_table.h"
#include "smtlib2/smtlib2.h"
#include "smtlib2/state.h"

namespace varnok {
namespace smtlib2 {

namespace {

void closeOwnedChannel(std::ostream*& owned, std::ostream*& channel, std::ostream& standard) {
  if (!owned) return;
  delete owned;  // closes the file; a failing close is ignored
  owned = nullptr;
  channel = &standard;
}

}  // namespace

void smtlib2_parser_init(FILE* input, VARNOK::Solver& solver, const CmdLineOptions& options) {
  frontEnd.solver = &solver;
  frontEnd.options = &options;
  frontEnd.input = input;
  setScannerInput(input);
  closeOwnedChannel(frontEnd.ownedRegularChannel, frontEnd.regularChannel, std::cout);
  closeOwnedChannel(frontEnd.ownedDiagnosticChannel, frontEnd.diagnosticChannel, std::cerr);
  frontEnd.insideDefineFun = false;
  frontEnd.quantifierDepth = 0;
  frontEnd.printSuccess = false;
  frontEnd.produceModels = false;
  frontEnd.produceAssignments = false;
  frontEnd.expectedStatus = STATUS_UNKNOWN;
  frontEnd.lastResult = STATUS_UNKNOWN;
}

void smtlib2_parser_cleanup() {
  scopeTable.clear();
  frontEnd.letTable.clear();
  // The parameter sorts belong to the parameter lists; the table only
  // refers to them.
  frontEnd.defineFunParameters.clear();
  smtlib2_parser_lex_destroy();
}

bool parse(FILE* input, VARNOK::Solver& solver, const CmdLineOptions& options) {
  smtlib2_parser_init(input, solver, options);
  const int result = smtlib2_parser_parse();
  smtlib2_parser_cleanup();
  return result == 0;
}

}  // namespace smtlib2
}  // namespace varnok
