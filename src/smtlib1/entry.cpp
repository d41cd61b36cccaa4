// Entry of the SMT-LIB 1 front end: preparation of the front-end state, the
// parse, and the release of the symbol tables.
#include "options/cmd_line_options.h"
#include "smtlib1/smtlib1.h"
#include "smtlib1/state.h"

namespace varnok {
namespace smtlib1 {

void smtlib1_parser_init(FILE* input, VARNOK::Solver& solver, const CmdLineOptions& options) {
  setScannerInput(input);
  state.solver = &solver;
  state.options = &options;
  state.arraysAllowed = false;
  state.expectedStatus = STATUS_UNKNOWN;
  state.formulaSeen = false;
}

void smtlib1_parser_cleanup() {
  state.functions.clear();
  state.predicates.clear();
  // Empty after a completed parse; an abandoned one may leave bindings.
  state.letBindings.clear();
  state.fletBindings.clear();
  smtlib1_parser_lex_destroy();
}

bool parse(FILE* input, VARNOK::Solver& solver, const CmdLineOptions& options) {
  smtlib1_parser_init(input, solver, options);
  const int result = smtlib1_parser_parse();
  smtlib1_parser_cleanup();
  return result == 0;
}

}  // namespace smtlib1
}  // namespace varnok
