#pragma once
// Option tables of the MiniSat back end: "CORE" for Minisat::Solver and
// "SIMP" for Minisat::SimpSolver. The objects are built by static
// initialisation; the solvers copy their values when constructed. Nothing
// parses them, so the defaults hold.
#include "sat/minisat/mtl.h"

namespace Minisat {

// CORE, in construction order.
extern DoubleOption opt_var_decay;        // "var-decay"    0.95      (0, 1)
extern DoubleOption opt_clause_decay;     // "cla-decay"    0.999     (0, 1)
extern DoubleOption opt_random_var_freq;  // "rnd-freq"     0         [0, 1]
extern DoubleOption opt_random_seed;      // "rnd-seed"     91648253  (0, inf)
extern IntOption opt_ccmin_mode;          // "ccmin-mode"   2         0 .. 2
extern IntOption opt_phase_saving;        // "phase-saving" 2         0 .. 2
extern BoolOption opt_rnd_init_act;       // "rnd-init"     off
extern BoolOption opt_luby_restart;       // "luby"         on
extern IntOption opt_restart_first;       // "rfirst"       100       1 .. imax
extern DoubleOption opt_restart_inc;      // "rinc"         2         (1, inf)
extern DoubleOption opt_garbage_frac;     // "gc-frac"      0.2       (0, inf)

// SIMP, in construction order.
extern BoolOption opt_use_asymm;           // "asymm"        off
extern BoolOption opt_use_rcheck;          // "rcheck"       off
extern BoolOption opt_use_elim;            // "elim"         on
extern IntOption opt_grow;                 // "grow"         0         imin .. imax
extern IntOption opt_clause_lim;           // "cl-lim"       20        -1 .. imax
extern IntOption opt_subsumption_lim;      // "sub-lim"      1000      -1 .. imax
extern DoubleOption opt_simp_garbage_frac; // "simp-gc-frac" 0.5       (0, inf)

}  // namespace Minisat
