// The help text the varnok program prints for --help, exactly.
#ifndef VARNOK_TESTS_DRIVER_HELP_TEXT_H
#define VARNOK_TESTS_DRIVER_HELP_TEXT_H

namespace varnok_test {

inline const char* const HELP_TEXT =
    "Usage: varnok [options] [FILE]\n"
    "Options:\n"
    "\n"
    "--help, -h\n"
    "    Print this help text and exit.\n"
    "\n"
    "--version, -v\n"
    "    Print version and exit.\n"
    "\n"
    "--input-format=FORMAT\n"
    "    Specify input format. Valid options are 'smtlib1' and 'smtlib2'.\n"
    "    (Note, that when solving QF_BV or QF_ABV formulas from smtlib2 input,\n"
    "    symbols from the theory 'FloatingPoints' are available as well,\n"
    "    unless they are beeing redefined.)\n"
    "\n"
    "--parse-only\n"
    "    Parse only, do not try to solve.\n"
    "\n"
    "--sat-solver=SOLVER\n"
    "    Select SAT-solver. Valid options are:\n"
    "    * 'minisat'\n"
    "    * 'glucose'.\n"
    "\n"
    "--sat-preprocessing=BOOLEAN\n"
    "    Enable/disable sat preprocessing (default is 'on').\n"
    "\n"
    "--substitution=BOOLEAN\n"
    "    Enable/disable substitution (default is 'on').\n"
    "\n"
    "--constraint-propagation=BOOLEAN\n"
    "    Enable/disable constraint propagation (default is 'off').\n"
    "\n"
    "--print-model\n"
    "    Print models on the diagnostics channel.\n"
    "\n";

}  // namespace varnok_test

#endif
