// The and-inverter graph's side towards the SAT back end: lazy CNF encoding
// (three clauses per conjunction), asserted units, solving under assumptions,
// module hook-up and model read-back (including unencoded nodes, computed
// from their operands, and module outputs computed from their inputs).
#include "varnok/aig/aig.h"

#include <cstdint>
#include <vector>

#include "sat/sat_solver.h"

namespace varnok {

void AIG::setSatSolver(sat::Solver* solver) {
  satSolver = solver;
  assertTrue(trueEdge);
}

void AIG::addUnit(int literal) {
  clauseBuffer.assign(1, literal);
  satSolver->addClause(clauseBuffer);
}

// Marks one node asserted with the given polarity (rules of assertTrue).
void AIG::assertNode(AIGNode* n, bool positive, std::vector<AIGNode*>& stack) {
  if (positive) {
    if (n->flags & AIGNode::kAssertedFalse) {
      contradiction = 1;
    } else if (!(n->flags & AIGNode::kAssertedTrue)) {
      n->flags |= AIGNode::kAssertedTrue;
      if (n->isEncoded()) addUnit(n->literal);
      if (n->isAnd())
        stack.push_back(n);
      else
        enqueueNode(n);
    }
  } else {
    if (n->flags & AIGNode::kAssertedTrue) {
      contradiction = 1;
    } else if (!(n->flags & AIGNode::kAssertedFalse)) {
      n->flags |= AIGNode::kAssertedFalse;
      if (n->isEncoded())
        addUnit(n->literal ^ 1);
      else
        enqueueNode(n);
    }
  }
}

void AIG::assertTrue(AIGEdge e) {
  ++assertionCount;
  std::vector<AIGNode*> stack;
  assertNode(e.getNode(), !e.isComplemented(), stack);
  while (!stack.empty()) {
    AIGNode* x = stack.back();
    stack.pop_back();
    // x stays alive: e holds its cone.
    assertNode(x->child0.getNode(), !x->child0.isComplemented(), stack);
    assertNode(x->child1.getNode(), !x->child1.isComplemented(), stack);
  }
}

void AIG::enqueue(const AIGEdge& e) { enqueueNode(e.getNode()); }

void AIG::enqueueNode(AIGNode* n) {
  if (n->flags & (AIGNode::kQueued | AIGNode::kEncoded)) return;
  ++n->refCount;
  encodeQueue.push_back(n);
  n->flags |= AIGNode::kQueued;
}

void AIG::addAssumption(const AIGEdge& e) { assumptions.push_back(e); }

void AIG::clearAssumptions() { assumptions.clear(); }

void AIG::encode(AIGNode* node) {
  std::vector<AIGNode*> stack;
  stack.push_back(node);
  while (!stack.empty()) {
    AIGNode* x = stack.back();
    if (x->isEncoded()) {
      stack.pop_back();
      continue;
    }
    if (x->isAnd()) {
      if (!x->child0.getNode()->isEncoded()) {
        stack.push_back(x->child0.getNode());
        continue;
      }
      if (!x->child1.getNode()->isEncoded()) {
        stack.push_back(x->child1.getNode());
        continue;
      }
    }
    const std::uint32_t k = nextSatVar++;
    const int l = static_cast<int>(2 * k + 1);
    x->literal = l;
    satSolver->ensureVars(static_cast<int>(k + 1));
    if (x->isAnd()) {
      const int l0 = x->child0.getLiteral();
      const int l1 = x->child1.getLiteral();
      clauseBuffer.assign({l ^ 1, l0});
      satSolver->addClause(clauseBuffer);
      clauseBuffer.assign({l ^ 1, l1});
      satSolver->addClause(clauseBuffer);
      clauseBuffer.assign({l, l0 ^ 1, l1 ^ 1});
      satSolver->addClause(clauseBuffer);
    }
    if (!x->isAnd() && x->id != 0) {
      inputLiterals.push_back(l);
      // An input that existed when the model was held, but was not encoded,
      // read false in that model.
      if (modelHeld && x->id < heldIdLimit && !x->hasWatchers()) heldLiterals.push_back(l ^ 1);
    }
    x->flags |= AIGNode::kEncoded;
    if (x->hasWatchers()) {
      sat::ModuleCallbackNode* w = x->watchers.prev;  // linked first
      moduleAttach(w);
    }
    if (x->flags & AIGNode::kAssertedTrue)
      addUnit(l);
    else if (x->flags & AIGNode::kAssertedFalse)
      addUnit(l ^ 1);
    stack.pop_back();
  }
}

void AIG::holdModel() {
  modelHeld = true;
  heldInputsTaken = false;
  heldIdLimit = nextNodeId;
  heldLiterals.clear();
}

void AIG::releaseModel() {
  modelHeld = false;
  heldLiterals.clear();
  heldLiterals.shrink_to_fit();
}

int AIG::solve() {
  if (contradiction) return 1;
  if (modelHeld && !heldInputsTaken) {
    // The model is still the one current at holdModel: nothing has been
    // solved since.
    heldInputsTaken = true;
    heldLiterals.reserve(inputLiterals.size());
    for (int l : inputLiterals) heldLiterals.push_back(satSolver->modelValue(l) == 1 ? l : l ^ 1);
  }
  for (const AIGEdge& a : assumptions) enqueue(a);
  while (!encodeQueue.empty()) {
    AIGNode* x = encodeQueue.front();
    if (!x->isEncoded()) {
      ++x->refCount;
      encodedRoots.push_back(x);
    }
    encode(x);
    encodeQueue.pop_front();
    releaseNode(x);
  }
  // Module hook-up: literals first, then registration in list order.
  for (sat::ModuleCallbackNode* w = pendingModules.next; w != &pendingModules; w = w->next) moduleUpdateLiteral(w);
  while (pendingModules.next != &pendingModules) {
    sat::ModuleCallbackNode* w = pendingModules.next;
    w->unlink();
    AIGEdge edge = moduleWatchedEdge(w);
    const int var = edge.getNode()->literal >> 1;
    if (!satSolver->addModuleCallback(var, w)) return 1;
  }
  std::vector<int> literals;
  literals.reserve(assumptions.size() + heldLiterals.size());
  for (const AIGEdge& a : assumptions) literals.push_back(a.getLiteral());
  literals.insert(literals.end(), heldLiterals.begin(), heldLiterals.end());
  ++solveCount;
  return satSolver->solve(literals);
}

void AIG::attachModule(const AIGEdge& outputBit, sat::ModuleCallbackNode* watchNode) {
  AIGNode* n = outputBit.getNode();
  if (n->isEncoded()) {
    moduleAttach(watchNode);
  } else {
    if (watchNode->isLinked()) watchNode->unlink();
    watchNode->linkAfter(&n->watchers);
  }
}

void AIG::queueModule(sat::ModuleCallbackNode* watchNode) {
  if (watchNode->isLinked()) watchNode->unlink();
  watchNode->linkAfter(&pendingModules);
}

bool AIG::isCurrent(const AIGNode* n) const noexcept {
  return n->isEncoded() || n->modelStamp == solveCount;
}

bool AIG::edgeValue(const AIGEdge& e) const {
  const AIGNode* n = e.getNode();
  bool v;
  if (n->isEncoded())
    v = satSolver->modelValue(n->literal) == 1;
  else
    v = (n->flags & AIGNode::kModelValue) != 0;
  return v != e.isComplemented();
}

void AIG::setModelBit(AIGNode* n, bool bit) noexcept {
  n->flags = static_cast<std::uint8_t>((n->flags & ~AIGNode::kModelValue) | (bit ? AIGNode::kModelValue : 0));
  n->modelStamp = solveCount;
}

bool AIG::getModel(const AIGEdge& e) {
  if (isCurrent(e.getNode())) return edgeValue(e);
  std::vector<AIGNode*> stack;
  stack.push_back(e.getNode());
  while (!stack.empty()) {
    AIGNode* n = stack.back();
    if (isCurrent(n)) {
      stack.pop_back();
      continue;
    }
    if (n->isAnd()) {
      AIGNode* c0 = n->child0.getNode();
      if (!isCurrent(c0)) {
        stack.push_back(c0);
        continue;
      }
      AIGNode* c1 = n->child1.getNode();
      if (!isCurrent(c1)) {
        stack.push_back(c1);
        continue;
      }
      setModelBit(n, edgeValue(n->child0) && edgeValue(n->child1));
      stack.pop_back();
      continue;
    }
    if (!n->hasWatchers()) {
      setModelBit(n, false);
      stack.pop_back();
      continue;
    }
    // An unencoded module output: compute the module from its inputs.
    evaluateModule(n->watchers.prev->module, stack);
  }
  return edgeValue(e);
}

}  // namespace varnok
