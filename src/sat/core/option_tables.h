#pragma once
// The option tables of a MiniSat-family solver: "CORE" for the search and
// "SIMP" for the simplification (shared with the Glucose family), each in construction order, in the option
// list of the family's tag. Each family has one OptionTables object (see
// Family), so its list holds CORE then SIMP. Nothing parses them, so the
// defaults are the values in force.
#include <climits>
#include <cmath>

#include "sat/mtl/options.h"

namespace varnok {
namespace sat {
namespace core {

// The option values of the search, copied from the family's CORE table.
struct SearchOptions {
  double var_decay;
  double clause_decay;
  double random_var_freq;
  double random_seed;
  bool luby_restart;
  int ccmin_mode;
  int phase_saving;
  bool rnd_init_act;
  double garbage_frac;
  int restart_first;
  double restart_inc;
};

// The option values of the simplification, copied from the family's SIMP
// table.
struct SimpOptions {
  int grow;
  int clause_lim;
  int subsumption_lim;
  double simp_garbage_frac;
  bool use_asymm;
  bool use_rcheck;
  bool use_elim;
};

// The "SIMP" table, the same in every family.
template <class Tag>
struct SimpOptionTable {
  typedef mtl::BoolOption<Tag> Bool;
  typedef mtl::IntOption<Tag> Int;
  typedef mtl::DoubleOption<Tag> Double;
  typedef mtl::IntRange IntRange;
  typedef mtl::DoubleRange DoubleRange;

  Bool use_asymm{"SIMP", "asymm", "Shrink clauses by asymmetric branching.", false};
  Bool use_rcheck{"SIMP", "rcheck", "Check if a clause is already implied. (costly)", false};
  Bool use_elim{"SIMP", "elim", "Perform variable elimination.", true};
  Int grow{"SIMP", "grow", "Allow a variable elimination step to grow by a number of clauses.", 0};
  Int clause_lim{"SIMP", "cl-lim",
                 "Variables are not eliminated if it produces a resolvent with a length above this limit. -1 means "
                 "no limit",
                 20, IntRange(-1, INT32_MAX)};
  Int subsumption_lim{"SIMP", "sub-lim",
                      "Do not check if subsumption against a clause larger than this. -1 means no limit.", 1000,
                      IntRange(-1, INT32_MAX)};
  Double simp_garbage_frac{"SIMP", "simp-gc-frac",
                           "The fraction of wasted memory allowed before a garbage collection is triggered during "
                           "simplification.",
                           0.5, DoubleRange(0, false, HUGE_VAL, false)};

  SimpOptions simp() const {
    return SimpOptions{grow, clause_lim, subsumption_lim, simp_garbage_frac, use_asymm, use_rcheck, use_elim};
  }
};

template <class Tag>
struct OptionTables {
  typedef mtl::BoolOption<Tag> Bool;
  typedef mtl::IntOption<Tag> Int;
  typedef mtl::DoubleOption<Tag> Double;
  typedef mtl::IntRange IntRange;
  typedef mtl::DoubleRange DoubleRange;

  // CORE
  Double var_decay{"CORE", "var-decay", "The variable activity decay factor", 0.95, DoubleRange(0, false, 1, false)};
  Double clause_decay{"CORE", "cla-decay", "The clause activity decay factor", 0.999,
                      DoubleRange(0, false, 1, false)};
  Double random_var_freq{"CORE", "rnd-freq",
                         "The frequency with which the decision heuristic tries to choose a random variable", 0,
                         DoubleRange(0, true, 1, true)};
  Double random_seed{"CORE", "rnd-seed", "Used by the random variable selection", 91648253,
                     DoubleRange(0, false, HUGE_VAL, false)};
  Int ccmin_mode{"CORE", "ccmin-mode", "Controls conflict clause minimization (0=none, 1=basic, 2=deep)", 2,
                 IntRange(0, 2)};
  Int phase_saving{"CORE", "phase-saving", "Controls the level of phase saving (0=none, 1=limited, 2=full)", 2,
                   IntRange(0, 2)};
  Bool rnd_init_act{"CORE", "rnd-init", "Randomize the initial activity", false};
  Bool luby_restart{"CORE", "luby", "Use the Luby restart sequence", true};
  Int restart_first{"CORE", "rfirst", "The base restart interval", 100, IntRange(1, INT32_MAX)};
  Double restart_inc{"CORE", "rinc", "Restart interval increase factor", 2, DoubleRange(1, false, HUGE_VAL, false)};
  Double garbage_frac{"CORE", "gc-frac",
                      "The fraction of wasted memory allowed before a garbage collection is triggered", 0.20,
                      DoubleRange(0, false, HUGE_VAL, false)};

  // SIMP
  SimpOptionTable<Tag> simp_rows;

  SearchOptions search() const {
    return SearchOptions{var_decay,    clause_decay,  random_var_freq, random_seed,  luby_restart, ccmin_mode,
                         phase_saving, rnd_init_act, garbage_frac,    restart_first, restart_inc};
  }
  SimpOptions simp() const { return simp_rows.simp(); }
};

}  // namespace core
}  // namespace sat
}  // namespace varnok
