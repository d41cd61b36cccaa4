#pragma once
// Entry of the bounded-model-checking front end.
#include <cstdio>

#include "varnok.h"

namespace varnok {

class CmdLineOptions;

namespace hysat {

// Reads the problem on input, fills the symbol table and runs its check
// (inside the parse) with the given solver. True when the whole input was
// accepted; a syntax error or exhausted parser stacks give false after the
// error line; other input errors end the process with status 1.
bool parse(FILE* input, VARNOK::Solver& solver, const CmdLineOptions& options);

}  // namespace hysat
}  // namespace varnok
