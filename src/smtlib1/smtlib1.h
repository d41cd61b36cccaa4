#pragma once
// Entry of the SMT-LIB 1 front end.
#include <cstdio>

#include "varnok.h"

namespace varnok {

class CmdLineOptions;

namespace smtlib1 {

// Reads one benchmark from input, asserts its assumptions and formula, solves
// once and prints the answer (and, with print-model, the model). True when
// the whole benchmark was accepted; a syntax error prints its message and
// answers false; every other error in the benchmark prints its message and
// ends the process with status 1.
bool parse(FILE* input, VARNOK::Solver& solver, const CmdLineOptions& options);

}  // namespace smtlib1
}  // namespace varnok
