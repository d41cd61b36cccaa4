#pragma once
// The module-aware CDCL solver: the shared solver core with the module
// protocol: registered modules hear every assignment and unassignment of
// their variables (unless they keep the default callbacks), are asked for implications and conflicts once clause
// propagation is exhausted, and may steer decisions. Literals that a module
// implies at level 0 while a higher level is open stay on the trail when the
// search backtracks.
#include <cstdint>
#include <vector>

#include "sat/core/cdcl_solver.h"
#include "sat/minisat_modified/solver_types.h"
#include "sat/module_callback.h"

namespace MinisatModified {

typedef varnok::sat::ModuleCallbackNode ModuleCallbackNode;

class Solver : public varnok::sat::core::CdclSolver<Solver, Family> {
 public:
  // Starts from this family's "CORE" option table.
  Solver();
  ~Solver() override;

  // Registers a module on v (at level 0, between solves). False when the
  // solver is or becomes unsatisfiable.
  bool addModuleCallback(Var v, ModuleCallbackNode* node);

  // Statistics.
  uint64_t attached_literals;  // literals of every attached clause
  uint64_t module_literals;    // literals of attached module clauses
  uint32_t module_clauses;     // attached module clauses
  double progress_estimate;    // of the search, at its last restart

  // Module lists: one circular list head per variable.
  ModuleCallbackNode* module_heads;
  int module_heads_count;
  int module_heads_capacity;
  int module_head;  // next trail literal whose modules have not been asked

  // Module protocol state.
  vec<Lit> module_clause;
  vec<Lit> module_learnt;
  std::vector<int> module_reason;
  ClauseAllocator scratch;

  void attachClause(CRef cr) override;
  void detachClause(CRef cr, bool strict = false) override;
  // Backtracking keeps the literals of level 0 and tells the modules.
  void cancelUntil(int level);
  double progressEstimate() const;

  // Hooks of the shared core.
  void noteNewVar(Var v);
  void noteAssigned(Lit p) {
    ModuleCallbackNode* head = &module_heads[var(p)];
    if (head->next != head) notifyAssigned(var(p), !sign(p));
  }
  Lit steerDecision(Var& next);
  bool propagateModules(CRef& confl);
  bool analyzeConflict(CRef confl, vec<Lit>& out_learnt, int& out_btlevel);
  void noteRestart() { progress_estimate = progressEstimate(); }

  // Module protocol helpers.
  void moduleReasonToClause(const std::vector<int>& reason);
  void analyzeModuleConflict(const vec<Lit>& lits, vec<Lit>& out_learnt, int& out_btlevel);
  // Turns the implication of p (reason in module_reason) into a clause and
  // enqueues p.
  void learnModuleImplication(Lit p);
  // Puts p on the trail at level 0 whatever the current decision level.
  void enqueueAtLevelZero(Lit p);
  void notifyAssigned(Var v, bool value);
};

}  // namespace MinisatModified
