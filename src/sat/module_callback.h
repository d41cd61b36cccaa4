#pragma once
// The link between module expressions and the module-aware SAT solver.
//
// A module expression owns one watch node per tracked bit. The SAT solver links
// watch nodes into per-variable lists and calls the module's operations
// synchronously during propagation and decisions; modules never call back
// into the solver.
#include <vector>

namespace varnok {

namespace sat {
struct ModuleCallbackNode;
}

// The operations a module offers the SAT search. varnok::ModuleExpression
// implements it; tests may implement it directly.
class ModuleCallbacks {
 public:
  // The variable of `node`'s bit was just assigned `value` (true = 1).
  virtual void assigned(sat::ModuleCallbackNode* node, bool value) {
    (void)node;
    (void)value;
  }
  // The variable of `node`'s bit lost its value.
  virtual void unassigned(sat::ModuleCallbackNode* node) { (void)node; }
  // 0: nothing follows; 1: `implied` follows from the literals in `clause`
  // (the reason, all false under the current assignment once negated as the
  // solver stores them); 2: the literals in `clause` are inconsistent.
  virtual int propagate(std::vector<int>& clause, int& implied) = 0;
  // Proposes the next decision variable: `polarity` 1 for the negative
  // literal, -1 for the positive one, 0 for the solver's own choice.
  virtual bool decide(int& variable, int& polarity) {
    (void)variable;
    (void)polarity;
    return false;
  }

  // False for a module that keeps the do-nothing assigned and unassigned
  // above: the solver then does not call them.
  bool hearsAssignments() const { return hearsAssignments_; }

 protected:
  ~ModuleCallbacks() = default;
  // Called by the constructor of a class that keeps the default assigned and
  // unassigned.
  void keepDefaultAssignmentCallbacks() { hearsAssignments_ = false; }

 private:
  bool hearsAssignments_ = true;
};

namespace sat {

// Watch node: an element of an intrusive circular doubly linked list. A node in
// no list links to itself. The SAT solver walks lists forward along `next`.
struct ModuleCallbackNode {
  ModuleCallbackNode* prev = this;
  ModuleCallbackNode* next = this;
  ModuleCallbacks* module = nullptr;

  bool isLinked() const { return next != this; }
  // Removes this node from whatever list it is in and links it to itself.
  void unlink() {
    prev->next = next;
    next->prev = prev;
    prev = next = this;
  }
  // Inserts this (unlinked) node right after `head`.
  void linkAfter(ModuleCallbackNode* head) {
    next = head->next;
    prev = head;
    head->next->prev = this;
    head->next = this;
  }
};

}  // namespace sat
}  // namespace varnok
