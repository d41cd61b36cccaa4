#pragma once
// The option tables of the Glucose solvers, in their own option list:
// "CORE" (with "incremental" first), "CORE -- RESTART", "CORE -- REDUCE",
// "CORE -- MINIMIZE", the rest of "CORE", "CORE -- CERTIFIED UNSAT", then
// "SIMP" (the same rows as the MiniSat family's). Nothing parses them, so the
// defaults are the values in force.
#include <climits>
#include <cmath>
#include <cstdio>

#include "sat/core/option_tables.h"
#include "sat/mtl/options.h"

namespace Glucose {

// A text option: "-name=text" makes it point at the text (not copied).
template <class Tag>
class StringOption : public varnok::sat::mtl::Option<Tag> {
  const char* value;

 public:
  StringOption(const char* c, const char* n, const char* d, const char* def)
      : varnok::sat::mtl::Option<Tag>(n, d, c, "<string>"), value(def) {}

  operator const char*(void) const { return value; }

  bool parse(const char* str) override {
    const char* span = str;
    if (!varnok::sat::mtl::matchPrefix(span, "-") || !varnok::sat::mtl::matchPrefix(span, this->name) ||
        !varnok::sat::mtl::matchPrefix(span, "="))
      return false;
    value = span;
    return true;
  }

  void help(bool verbose = false) override {
    fprintf(stderr, "  -%-10s = %8s\n", this->name, this->type_name);
    if (verbose) {
      fprintf(stderr, "\n        %s\n", this->description);
      fprintf(stderr, "\n");
    }
  }
};

// The option values of the search that the shared core does not know.
struct GlucoseSearchOptions {
  bool incremental;
  double K;
  double R;
  int sizeLBDQueue;
  int sizeTrailQueue;
  int firstReduceDB;
  int incReduceDB;
  int specialIncReduceDB;
  int lbLBDFrozenClause;
  int lbSizeMinimizingClause;
  int lbLBDMinimizingClause;
  bool certified;
  const char* certifiedOutputPath;
};

template <class Tag>
struct OptionTables {
  typedef varnok::sat::mtl::BoolOption<Tag> Bool;
  typedef varnok::sat::mtl::IntOption<Tag> Int;
  typedef varnok::sat::mtl::DoubleOption<Tag> Double;
  typedef StringOption<Tag> String;
  typedef varnok::sat::mtl::IntRange IntRange;
  typedef varnok::sat::mtl::DoubleRange DoubleRange;

  Bool incremental{"CORE", "incremental", "Use incremental SAT solving", false};

  Double K{"CORE -- RESTART", "K", "The constant used to force restart", 0.8, DoubleRange(0, false, 1, false)};
  Double R{"CORE -- RESTART", "R", "The constant used to block restart", 1.4, DoubleRange(1, false, 5, false)};
  Int sizeLBDQueue{"CORE -- RESTART", "szLBDQueue", "The size of moving average for LBD (restarts)", 50,
                   IntRange(10, INT32_MAX)};
  Int sizeTrailQueue{"CORE -- RESTART", "szTrailQueue", "The size of moving average for trail (block restarts)",
                     5000, IntRange(10, INT32_MAX)};

  // At least 1: the search divides by it when it schedules reductions.
  Int firstReduceDB{"CORE -- REDUCE", "firstReduceDB", "The number of conflicts before the first reduce DB", 2000,
                    IntRange(1, INT32_MAX)};
  Int incReduceDB{"CORE -- REDUCE", "incReduceDB", "Increment for reduce DB", 300, IntRange(0, INT32_MAX)};
  Int specialIncReduceDB{"CORE -- REDUCE", "specialIncReduceDB", "Special increment for reduce DB", 1000,
                         IntRange(0, INT32_MAX)};
  Int lbLBDFrozenClause{"CORE -- REDUCE", "minLBDFrozenClause",
                        "Protect clauses if their LBD decrease and is lower than (for one turn)", 30,
                        IntRange(0, INT32_MAX)};

  Int lbSizeMinimizingClause{"CORE -- MINIMIZE", "minSizeMinimizingClause", "The min size required to minimize clause",
                             30, IntRange(3, INT32_MAX)};
  Int lbLBDMinimizingClause{"CORE -- MINIMIZE", "minLBDMinimizingClause", "The min LBD required to minimize clause",
                            6, IntRange(3, INT32_MAX)};

  Double var_decay{"CORE", "var-decay", "The variable activity decay factor", 0.8, DoubleRange(0, false, 1, false)};
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
  Double garbage_frac{"CORE", "gc-frac",
                      "The fraction of wasted memory allowed before a garbage collection is triggered", 0.20,
                      DoubleRange(0, false, HUGE_VAL, false)};

  Bool certified{"CORE -- CERTIFIED UNSAT", "certified", "Certified UNSAT using DRUP format", false};
  String certifiedOutput{"CORE -- CERTIFIED UNSAT", "certified-output", "Certified UNSAT output file", "NULL"};

  varnok::sat::core::SimpOptionTable<Tag> simp_rows;

  // The shared core's values. Its restart sequence settings have no rows in
  // these tables (this family restarts by LBD); they get fixed values that
  // the search does not read.
  varnok::sat::core::SearchOptions search() const {
    return varnok::sat::core::SearchOptions{var_decay,    clause_decay, random_var_freq, random_seed,
                                            true,         ccmin_mode,   phase_saving,    rnd_init_act,
                                            garbage_frac, 100,          2};
  }
  GlucoseSearchOptions glucose() const {
    return GlucoseSearchOptions{incremental,        K,
                                R,                  sizeLBDQueue,
                                sizeTrailQueue,     firstReduceDB,
                                incReduceDB,        specialIncReduceDB,
                                lbLBDFrozenClause,  lbSizeMinimizingClause,
                                lbLBDMinimizingClause, certified,
                                certifiedOutput};
  }
  varnok::sat::core::SimpOptions simp() const { return simp_rows.simp(); }
};

}  // namespace Glucose
