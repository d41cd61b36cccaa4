// The option objects of the MiniSat back end. Both tables live in this one
// source file so that their construction order (CORE, then SIMP, each in
// table order) is fixed.
#include "sat/minisat/options.h"

#include <climits>
#include <cmath>

namespace Minisat {

static const char* _cat = "CORE";

DoubleOption opt_var_decay(_cat, "var-decay", "The variable activity decay factor", 0.95,
                           DoubleRange(0, false, 1, false));
DoubleOption opt_clause_decay(_cat, "cla-decay", "The clause activity decay factor", 0.999,
                              DoubleRange(0, false, 1, false));
DoubleOption opt_random_var_freq(_cat, "rnd-freq",
                                 "The frequency with which the decision heuristic tries to choose a random variable",
                                 0, DoubleRange(0, true, 1, true));
DoubleOption opt_random_seed(_cat, "rnd-seed", "Used by the random variable selection", 91648253,
                             DoubleRange(0, false, HUGE_VAL, false));
IntOption opt_ccmin_mode(_cat, "ccmin-mode", "Controls conflict clause minimization (0=none, 1=basic, 2=deep)", 2,
                         IntRange(0, 2));
IntOption opt_phase_saving(_cat, "phase-saving", "Controls the level of phase saving (0=none, 1=limited, 2=full)", 2,
                           IntRange(0, 2));
BoolOption opt_rnd_init_act(_cat, "rnd-init", "Randomize the initial activity", false);
BoolOption opt_luby_restart(_cat, "luby", "Use the Luby restart sequence", true);
IntOption opt_restart_first(_cat, "rfirst", "The base restart interval", 100, IntRange(1, INT32_MAX));
DoubleOption opt_restart_inc(_cat, "rinc", "Restart interval increase factor", 2,
                             DoubleRange(1, false, HUGE_VAL, false));
DoubleOption opt_garbage_frac(_cat, "gc-frac",
                              "The fraction of wasted memory allowed before a garbage collection is triggered", 0.20,
                              DoubleRange(0, false, HUGE_VAL, false));

static const char* _simp = "SIMP";

BoolOption opt_use_asymm(_simp, "asymm", "Shrink clauses by asymmetric branching.", false);
BoolOption opt_use_rcheck(_simp, "rcheck", "Check if a clause is already implied. (costly)", false);
BoolOption opt_use_elim(_simp, "elim", "Perform variable elimination.", true);
IntOption opt_grow(_simp, "grow", "Allow a variable elimination step to grow by a number of clauses.", 0);
IntOption opt_clause_lim(_simp, "cl-lim",
                         "Variables are not eliminated if it produces a resolvent with a length above this limit. -1 "
                         "means no limit",
                         20, IntRange(-1, INT32_MAX));
IntOption opt_subsumption_lim(_simp, "sub-lim",
                              "Do not check if subsumption against a clause larger than this. -1 means no limit.",
                              1000, IntRange(-1, INT32_MAX));
DoubleOption opt_simp_garbage_frac(_simp, "simp-gc-frac",
                                   "The fraction of wasted memory allowed before a garbage collection is triggered "
                                   "during simplification.",
                                   0.5, DoubleRange(0, false, HUGE_VAL, false));

}  // namespace Minisat
