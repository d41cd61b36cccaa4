// The module-aware CDCL solver: the shared core, its option table and the
// module protocol.
#include "sat/minisat_modified/solver.h"

#include "sat/core/cdcl_solver_impl.h"

template class varnok::sat::core::CdclSolver<MinisatModified::Solver, MinisatModified::Family>;

namespace MinisatModified {

Solver::Solver()
    : CdclSolver(Family::options.search()),
      attached_literals(0),
      module_literals(0),
      module_clauses(0),
      progress_estimate(0),
      module_heads(new ModuleCallbackNode[1]),
      module_heads_count(0),
      module_heads_capacity(1),
      module_head(0) {}

Solver::~Solver() { delete[] module_heads; }

// One module list head per variable; a larger array takes the lists over.
void Solver::noteNewVar(Var v) {
  if (v + 1 > module_heads_capacity) {
    int capacity = v + 1 > 2 * module_heads_capacity ? v + 1 : 2 * module_heads_capacity;
    ModuleCallbackNode* heads = new ModuleCallbackNode[capacity];
    for (int i = 0; i < module_heads_count; i++) {
      ModuleCallbackNode& old_head = module_heads[i];
      if (old_head.next != &old_head) {
        heads[i].next = old_head.next;
        heads[i].prev = old_head.prev;
        heads[i].next->prev = &heads[i];
        heads[i].prev->next = &heads[i];
      }
    }
    delete[] module_heads;
    module_heads = heads;
    module_heads_capacity = capacity;
  }
  module_heads_count = v + 1;
}

void Solver::attachClause(CRef cr) {
  CdclSolver::attachClause(cr);
  const Clause& c = ca[cr];
  attached_literals += c.size();
  if (c.module()) {
    module_clauses++;
    module_literals += c.size();
  }
}

void Solver::detachClause(CRef cr, bool strict) {
  const Clause& c = ca[cr];
  attached_literals -= c.size();
  if (c.module()) {
    module_clauses--;
    module_literals -= c.size();
  }
  CdclSolver::detachClause(cr, strict);
}

// ---------------------------------------------------------------------------
// Module protocol

void Solver::notifyAssigned(Var v, bool value) {
  ModuleCallbackNode* head = &module_heads[v];
  for (ModuleCallbackNode* node = head->next; node != head; node = node->next)
    if (node->module->hearsAssignments()) node->module->assigned(node, value);
}

void Solver::enqueueAtLevelZero(Lit p) {
  uncheckedEnqueue(p);
  vardata[var(p)].level = 0;
}

bool Solver::addModuleCallback(Var v, ModuleCallbackNode* node) {
  assert(decisionLevel() == 0);
  if (!ok) return false;
  setDecisionVar(v, true);

  // Append at the end of v's list (just before the head).
  ModuleCallbackNode* head = &module_heads[v];
  node->next = head;
  node->prev = head->prev;
  head->prev->next = node;
  head->prev = node;

  if (value(v) == l_Undef) return ok;

  // The variable already has its value: consult the module at once.
  if (node->module->hearsAssignments()) node->module->assigned(node, value(v) == l_True);
  module_reason.clear();
  int implied = -1;
  int r = node->module->propagate(module_reason, implied);
  if (r == 2) return ok = false;
  if (r == 1) {
    if (implied < 0 || var(toLit(implied)) >= nVars()) return ok;  // not a literal of this solver
    Lit p = toLit(implied);
    // An implied literal that is already false is a conflict at level 0;
    // one that is already true changes nothing.
    if (value(p) == l_False) return ok = false;
    if (value(p) == l_Undef) enqueueAtLevelZero(p);
    ok = (propagate() == CRef_Undef);
  }
  return ok;
}

void Solver::moduleReasonToClause(const std::vector<int>& reason) {
  module_clause.clear();
  for (int literal : reason) {
    Lit l = toLit(literal);
    if (level(var(l)) == 0) continue;
    module_clause.push(value(l) == l_True ? ~l : l);
  }
  sort(module_clause);
  int i, j;
  for (i = j = 0; i < module_clause.size(); i++) {
    if (j == 0 || module_clause[i] != module_clause[j - 1]) module_clause[j++] = module_clause[i];
  }
  module_clause.shrink(i - j);
}

void Solver::analyzeModuleConflict(const vec<Lit>& lits, vec<Lit>& out_learnt, int& out_btlevel) {
  out_learnt.clear();
  if (lits.size() == 0) {
    out_btlevel = 0;
    return;
  }
  if (lits.size() == 1) {
    out_learnt.push(lits[0]);
    out_btlevel = 0;
    return;
  }
  scratch.reset();
  CRef cr = scratch.alloc(lits, false, false);
  analyze(scratch[cr], out_learnt, out_btlevel);
}

void Solver::learnModuleImplication(Lit p) {
  moduleReasonToClause(module_reason);
  // p goes in front; the old first literal moves to the end.
  module_clause.push(p);
  Lit first = module_clause[0];
  module_clause[0] = p;
  module_clause.last() = first;
  if (module_clause.size() == 1) {
    // Nothing explains p below level 0: it holds at level 0.
    enqueueAtLevelZero(p);
    return;
  }

  int saved_module_head = module_head;
  newDecisionLevel();
  uncheckedEnqueue(~p);
  int btlevel;
  analyzeModuleConflict(module_clause, module_learnt, btlevel);
  cancelUntil(decisionLevel() - 1);
  module_head = saved_module_head;

  if (module_learnt.size() == 1) {
    enqueueAtLevelZero(module_learnt[0]);
  } else {
    uncheckedEnqueue(p, addLearnt(module_learnt, true));
  }
}

// ---------------------------------------------------------------------------
// Search with modules

void Solver::cancelUntil(int level) {
  if (decisionLevel() <= level) return;
  int start = trail_lim[level];
  int j = start;
  // Forward along the trail, so that the modules hear of the unassignments
  // in assignment order.
  for (int c = start; c < trail.size(); c++) {
    Lit l = trail[c];
    Var x = var(l);
    if (vardata[x].level == 0) {
      // A level-0 module implication made inside a higher level stays.
      trail[j++] = l;
      continue;
    }
    unassign(c);
    ModuleCallbackNode* head = &module_heads[x];
    for (ModuleCallbackNode* node = head->next; node != head; node = node->next)
      if (node->module->hearsAssignments()) node->module->unassigned(node);
  }
  qhead = start;
  module_head = start;
  trail.shrink(trail.size() - j);
  trail_lim.shrink(trail_lim.size() - level);
}

// A module watching the decision variable may propose another decision.
Lit Solver::steerDecision(Var& next) {
  ModuleCallbackNode* head = &module_heads[next];
  if (head->next == head) return lit_Undef;
  ModuleCallbackNode* node = head->next;
  // Rotate the list by one: the first node moves to the end.
  if (node->next != head) {
    node->prev->next = node->next;
    node->next->prev = node->prev;
    node->next = head;
    node->prev = head->prev;
    head->prev->next = node;
    head->prev = node;
  }
  int proposed = var_Undef;
  int sgn = 0;
  // A proposal of an unknown or already assigned variable is ignored.
  if (node->module->decide(proposed, sgn) && proposed >= 0 && proposed < nVars() && value(proposed) == l_Undef) {
    if (proposed != next) insertVarOrder(next);
    next = proposed;
    if (sgn == 1) return mkLit(next, true);
    if (sgn == -1) return mkLit(next, false);
  }
  return lit_Undef;
}

// Asks the modules of every newly assigned variable, in trail order, until
// one implies a literal (true: clause propagation resumes) or reports a
// conflict (CRef_Module in confl, the clause in module_clause).
bool Solver::propagateModules(CRef& confl) {
  while (module_head < trail.size()) {
    Var v = var(trail[module_head]);
    ModuleCallbackNode* head = &module_heads[v];
    for (ModuleCallbackNode* node = head->next; node != head; node = node->next) {
      module_reason.clear();
      int implied = -1;
      int r = node->module->propagate(module_reason, implied);
      if (r == 2) {
        moduleReasonToClause(module_reason);
        confl = CRef_Module;
        qhead = trail.size();
        module_head = trail.size();
        return false;
      }
      if (r == 1 && implied >= 0 && var(toLit(implied)) < nVars()) {
        Lit q = toLit(implied);
        if (value(q) == l_Undef) {
          learnModuleImplication(q);
          return true;
        }
        if (value(q) == l_False) {
          // The reason holds and the implied literal is false: the reason
          // together with the literal is a conflict.
          module_reason.push_back(implied);
          moduleReasonToClause(module_reason);
          confl = CRef_Module;
          qhead = trail.size();
          module_head = trail.size();
          return false;
        }
      }
    }
    module_head++;
  }
  return false;
}

bool Solver::analyzeConflict(CRef confl, vec<Lit>& out_learnt, int& out_btlevel) {
  if (confl != CRef_Module) return CdclSolver::analyzeConflict(confl, out_learnt, out_btlevel);
  analyzeModuleConflict(module_clause, out_learnt, out_btlevel);
  return true;
}

double Solver::progressEstimate() const {
  double progress = 0;
  double F = 1.0 / nVars();
  for (int i = 0; i <= decisionLevel(); i++) {
    int beg = i == 0 ? 0 : trail_lim[i - 1];
    int end = i == decisionLevel() ? trail.size() : trail_lim[i];
    progress += pow(F, i) * (end - beg);
  }
  return progress / nVars();
}

}  // namespace MinisatModified
