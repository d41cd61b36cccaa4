// State, symbol-table operations, error lines and entry of the
// bounded-model-checking front end.
#include "hysat/parser_state.h"

#include <cstdlib>
#include <iostream>

#include "hysat/engine.h"
#include "hysat/hysat.h"
#include "hysat_parser.hpp"

extern FILE* hysat_parser_in;
int hysat_parser_lex_destroy();

namespace varnok {
namespace hysat {

ParserState parserState;

void runProblem(VARNOK::Solver* solver, SymbolTable* symbols, const Expression* init, const Expression* trans,
                const Expression* target) {
  if (trans == nullptr) {
    BmcProblem problem(solver, symbols, target);
    problem.run();
  } else {
    BmcProblem problem(solver, symbols, init, trans, target);
    problem.run();
  }
}

ProblemRunner problemRunner = runProblem;

std::ostream& printError(const char* text) { return std::cerr << text; }

namespace {

std::ostream& printLocation() {
  return std::cerr << '(' << parserState.location.firstLine << ':' << parserState.location.firstColumn << ") ";
}

}  // namespace

void fatalError(const std::string& message) {
  printLocation() << "error: " << message << std::endl;
  std::exit(1);
}

Symbol* lookupSymbol(const std::string& name) {
  Symbol* symbol = findSymbol(symbolTable, name);
  if (symbol == nullptr) fatalError("symbol '" + name + "' has not yet been defined.");
  return symbol;
}

void defineSymbol(Symbol* symbol) {
  if (findSymbol(symbolTable, symbol->name) != nullptr) {
    const std::string name = symbol->name;
    delete symbol;
    fatalError("symbol '" + name + "' has already been defined.");
  }
  symbolTable.insert(symbol);
}

bool parse(FILE* input, VARNOK::Solver& solver, const CmdLineOptions& options) {
  hysat_parser_init(input, solver, options);
  const int result = hysat_parser_parse();
  hysat_parser_cleanup();
  return result == 0;
}

}  // namespace hysat
}  // namespace varnok

using varnok::hysat::parserState;

void hysat_parser_init(FILE* input, VARNOK::Solver& solver, const varnok::CmdLineOptions& /*options*/) {
  parserState.input = input;
  parserState.solver = &solver;
  parserState.location = varnok::hysat::Location{1, 0, 1, 0};
  parserState.tokenText.clear();
  hysat_parser_in = input;
}

int hysat_parser_cleanup() {
  hysat_parser_lex_destroy();
  for (varnok::hysat::Symbol* symbol : varnok::hysat::symbolTable) delete symbol;
  varnok::hysat::symbolTable.clear();
  return 0;
}

void hysat_parser_error(const char* message) {
  std::cerr << '(' << parserState.location.firstLine << ':' << parserState.location.firstColumn
            << ") after reading: '" << parserState.tokenText << "': " << message << std::endl;
}
