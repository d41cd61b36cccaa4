#pragma once
// Entry of the SMT-LIB 2 front end.
#include <cstdio>

#include "varnok.h"

namespace varnok {

class CmdLineOptions;

namespace smtlib2 {

// Reads and performs the script on input with the given solver. True when
// the whole script was accepted; errors in the script end the process with
// an error line and status 1 instead of returning.
bool parse(FILE* input, VARNOK::Solver& solver, const CmdLineOptions& options);

}  // namespace smtlib2
}  // namespace varnok
