#pragma once
// Process-wide state of the bounded-model-checking front end, shared by the
// scanner, the grammar and the check: the input, the solver, the location of
// the last token, the symbol-table operations and the error lines.
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>

#include "hysat/expression.h"
#include "hysat/symbol.h"
#include "varnok.h"

namespace varnok {

class CmdLineOptions;

namespace hysat {

// Location of the last token scanned (lines from 1, columns from 1).
struct Location {
  uint32_t firstLine;
  uint32_t firstColumn;
  uint32_t lastLine;
  uint32_t lastColumn;
};

struct ParserState {
  FILE* input = nullptr;
  VARNOK::Solver* solver = nullptr;
  Location location{1, 0, 1, 0};
  std::string tokenText;  // text of the last token scanned
};

extern ParserState parserState;

// Runs the check of a parsed problem (init and trans null in the EXPR form);
// the start rule calls it, then destroys the trees. The default constructs
// a BmcProblem and runs it; tests put in their own to parse without solving.
using ProblemRunner = void (*)(VARNOK::Solver* solver, SymbolTable* symbols, const Expression* init,
                               const Expression* trans, const Expression* target);
void runProblem(VARNOK::Solver* solver, SymbolTable* symbols, const Expression* init, const Expression* trans,
                const Expression* target);
extern ProblemRunner problemRunner;

// The symbol of that name; a missing name is fatal: "(line:column) error:
// symbol 'name' has not yet been defined." and status 1.
Symbol* lookupSymbol(const std::string& name);
// Inserts a new symbol (the table owns it from then on); an existing name is
// fatal: "... symbol 'name' has already been defined.".
void defineSymbol(Symbol* symbol);
// Writes text to standard error (no line end) and returns the stream.
std::ostream& printError(const char* text);
// Writes "(line:column) error: " and the message with a line end on standard
// error and ends the process with status 1.
[[noreturn]] void fatalError(const std::string& message);

}  // namespace hysat
}  // namespace varnok

// The scanner and the parser. No option changes this front end's behaviour:
// hysat_parser_init does not keep the options.
void hysat_parser_init(FILE* input, VARNOK::Solver& solver, const varnok::CmdLineOptions& options);
int hysat_parser_parse();
int hysat_parser_cleanup();
int hysat_parser_lex();
void hysat_parser_error(const char* message);
