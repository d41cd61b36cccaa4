// Constraint propagation engine: records, classes with parity, queues, runs.
#include "varnok/context/constraint_propagation.h"

#include <algorithm>

#include "varnok/aig/aig.h"

namespace varnok {

ConstraintPropagation::ConstraintPropagation(ExpressionManager* manager, AIG* aig)
    : enabled(false),
      manager(manager),
      aig(aig),
      trueClass(nullptr),
      trueLiteral(0),
      falseLiteral(0),
      ok(true),
      pendingHoles(0),
      intervalBitsOf(nullptr) {
  changedHead.next = changedHead.previous = &changedHead;
  trueClass = new EdgeClass();
  trueClass->refCount = 1;
  trueLiteral = makeLiteral(trueClass, false);
  falseLiteral = makeLiteral(trueClass, true);
  manager->addListener(this);
}

ConstraintPropagation::~ConstraintPropagation() {
  // The heaps hold references; dropping them may delete expressions, whose
  // records are unlinked by expressionRemoved while this is still a listener.
  releaseHeap(upHeap, Expression::FLAG_QUEUED_UP);
  releaseHeap(downHeap, Expression::FLAG_QUEUED_DOWN);
  // The changed list is empty between runs; make sure nothing points at its
  // sentinel once this object is gone.
  while (changedHead.next != &changedHead) changedHead.next->unlink();
  manager->removeListener(this);
  pending.clear();
  releaseEdgeClass(trueClass);
}

void ConstraintPropagation::releaseHeap(std::vector<Expression*>& heap, uint8_t flag) {
  std::vector<Expression*> nodes;
  nodes.swap(heap);
  for (Expression* e : nodes) e->clearFlag(flag);
  for (Expression* e : nodes) release(e);
}

// ---- listener ----------------------------------------------------------------

void ConstraintPropagation::expressionAdded(Expression* e) {
  const uint32_t id = e->getId();
  pending.emplace_back(id, e);
  // Registration order is id order except for nodes registered while a node
  // is being attached (they take later ids but are announced first): move the
  // new entry back to its place.
  for (size_t k = pending.size() - 1; k > 0 && pending[k - 1].first > id; --k) std::swap(pending[k - 1], pending[k]);
}

void ConstraintPropagation::expressionRemoved(Expression* e) {
  const uint32_t id = e->getId();
  auto it = std::lower_bound(pending.begin(), pending.end(), id,
                             [](const std::pair<uint32_t, Expression*>& p, uint32_t v) { return p.first < v; });
  if (it != pending.end() && it->first == id && it->second == e) {
    it->second = nullptr;
    ++pendingHoles;
    if (pendingHoles > 64 && pendingHoles * 2 > pending.size()) {
      pending.erase(std::remove_if(pending.begin(), pending.end(),
                                   [](const std::pair<uint32_t, Expression*>& p) { return p.second == nullptr; }),
                    pending.end());
      pendingHoles = 0;
    }
  }
  // The node leaves the store: deleted now, or forwarding to a representative
  // from now on. Either way it takes no further part in the member lists (a
  // forwarding node is deleted later without telling its listeners).
  unlinkRecords(e);
}

void ConstraintPropagation::unlinkRecords(Expression* e) {
  std::vector<PropagationBit>* records = e->getPropagationBits();
  if (!records) return;
  for (PropagationBit& r : *records) r.unlink();
}

// ---- lists --------------------------------------------------------------------

void ConstraintPropagation::linkFront(PropagationBit* list, PropagationBit* record) {
  record->next = list->next;
  record->previous = list;
  list->next->previous = record;
  list->next = record;
}

void ConstraintPropagation::spliceMembersToChanged(EdgeClass* c) {
  PropagationBit* head = &c->members;
  if (head->next == head) return;
  PropagationBit* first = head->next;
  PropagationBit* last = head->previous;
  head->next = head->previous = head;
  last->next = changedHead.next;
  changedHead.next->previous = last;
  changedHead.next = first;
  first->previous = &changedHead;
}

// ---- classes ------------------------------------------------------------------

ConstraintPropagation::Literal ConstraintPropagation::find(EdgeClass* c) {
  if (!c->forwarded) return makeLiteral(c, false);
  bool parity = false;
  EdgeClass* root = c;
  while (root->forwarded) {
    parity ^= root->mergedParity != 0;
    root = root->mergedInto;
  }
  // Second walk: members of every class passed go to the changed list, and
  // every class is pointed straight at the root. A former parent is released
  // only after the walk has moved past it.
  EdgeClass* k = c;
  bool toRoot = parity;  // parity from k to the root
  EdgeClass* held = nullptr;
  while (k != root) {
    spliceMembersToChanged(k);
    EdgeClass* parent = k->mergedInto;
    const bool parentToRoot = toRoot ^ (k->mergedParity != 0);
    if (parent != root) {
      k->mergedInto = addRef(root);
      k->mergedParity = toRoot ? 1 : 0;
      releaseEdgeClass(held);
      held = parent;  // k's old reference, dropped once we are past it
    }
    k = parent;
    toRoot = parentToRoot;
  }
  releaseEdgeClass(held);
  return makeLiteral(root, parity);
}

bool ConstraintPropagation::resolve(Literal& slot, bool counted) {
  EdgeClass* c = classOf(slot);
  if (!c || !c->forwarded) return false;
  const Literal l = find(c) ^ (slot & 1u);
  if (counted) {
    addRef(classOf(l));
    slot = l;
    releaseEdgeClass(c);
  } else {
    slot = l;
  }
  return true;
}

// ---- records ------------------------------------------------------------------

void ConstraintPropagation::createPropagationBits(Expression* e) {
  if (e->getPropagationBits()) return;
  const uint32_t w = e->getWidth();
  auto* records = new std::vector<PropagationBit>(w);
  // A forwarding node is deleted without telling the listeners, so its
  // records must never sit in a list.
  const bool linkable = !e->isForwarding();
  for (uint32_t i = 0; i < w; ++i) {
    PropagationBit& r = (*records)[i];
    EdgeClass* c = new EdgeClass();
    c->refCount = 1;
    r.expression = e;
    r.edgeClass = makeLiteral(c, false);
    if (linkable) linkFront(&c->members, &r);
  }
  e->setPropagationBits(records);
}

ConstraintPropagation::Literal ConstraintPropagation::getBitLiteral(Expression* e, uint32_t i) {
  createPropagationBits(e);
  PropagationBit& r = (*e->getPropagationBits())[i];
  resolve(r.edgeClass, true);
  return r.edgeClass;
}

void ConstraintPropagation::mergeBit(Expression* e, uint32_t i, Literal l) {
  createPropagationBits(e);
  PropagationBit& r = (*e->getPropagationBits())[i];
  resolve(r.edgeClass, true);
  if (!classOf(l)) return;
  resolve(l, false);
  EdgeClass* a = classOf(r.edgeClass);
  EdgeClass* b = classOf(l);
  const bool x = parityOf(r.edgeClass) != parityOf(l);
  if (a == b) {
    if (x) conflict();
    return;
  }
  ++statistics.merges;
  // The TRUE class is never merged into another class; otherwise the lighter
  // class joins the heavier one (the bit's own class on a tie), so that every
  // record changes lists only O(log n) times. Which class survives does not
  // change what is known: the parity of a link is symmetric.
  EdgeClass* from = a;
  EdgeClass* to = b;
  if (a == trueClass || (b != trueClass && a->weight > b->weight)) std::swap(from, to);
  from->mergedInto = addRef(to);
  from->mergedParity = x ? 1 : 0;
  from->forwarded = 1;
  to->weight = to->weight + from->weight < to->weight ? UINT32_MAX : to->weight + from->weight;
  spliceMembersToChanged(from);
  resolve(r.edgeClass, true);
  bitsChanged(e);
}

int ConstraintPropagation::getKnownBit(Expression* e, uint32_t i) {
  std::vector<PropagationBit>* records = e->getPropagationBits();
  if (!records || i >= records->size()) return 0;
  PropagationBit& r = (*records)[i];
  resolve(r.edgeClass, true);
  if (classOf(r.edgeClass) != trueClass) return 0;
  return parityOf(r.edgeClass) ? -1 : 1;
}

int ConstraintPropagation::relateBits(Expression* a, uint32_t i, Expression* b, uint32_t j) {
  std::vector<PropagationBit>* ra = a->getPropagationBits();
  std::vector<PropagationBit>* rb = b->getPropagationBits();
  if (!ra || !rb || i >= ra->size() || j >= rb->size()) return 0;
  PropagationBit& x = (*ra)[i];
  PropagationBit& y = (*rb)[j];
  resolve(x.edgeClass, true);
  resolve(y.edgeClass, true);
  if (classOf(x.edgeClass) != classOf(y.edgeClass)) return 0;
  return parityOf(x.edgeClass) == parityOf(y.edgeClass) ? 1 : -1;
}

// ---- intervals ----------------------------------------------------------------

void ConstraintPropagation::propagateIntervalBits(Expression* e) {
  if (intervalBitsOf == e) return;  // the running loop below covers it
  const uint32_t w = e->getWidth();
  createPropagationBits(e);
  const BitVectorInterval& interval = e->getInterval();
  if (w == 0 || interval.isEmpty() || interval.isFull()) return;
  Expression* outer = intervalBitsOf;
  intervalBitsOf = e;
  // Merges never change an interval, so the bounds can be read in place.
  const BitVector& lo = interval.lower;
  const BitVector& hi = interval.upper;
  const uint32_t msb = w - 1;
  if (!hi.ult(lo)) {
    // Plain: the common leading bits are fixed.
    uint32_t j = msb + 1;
    while (j > 0 && lo.getBit(j - 1) == hi.getBit(j - 1)) {
      --j;
      mergeBit(e, j, lo.getBit(j) ? trueLiteral : falseLiteral);
    }
    if (j > 1) {
      // Bit d = j - 1 is 0 in lo and 1 in hi. A value with bit d = 0 is at
      // least lo, one with bit d = 1 at most hi: below d, wherever lo has 1
      // and hi has 0, the bit is the complement of bit d.
      const uint32_t d = j - 1;
      const Literal bitD = getBitLiteral(e, d);
      for (uint32_t k = d; k > 0 && lo.getBit(k - 1) && !hi.getBit(k - 1); --k) mergeBit(e, k - 1, negate(bitD));
    }
  } else if (lo.getBit(msb) && !hi.getBit(msb)) {
    // Wrapping across the sign boundary: a value with the msb set is at least
    // lo, one without at most hi, so below the msb the positions where lo has
    // 1 and hi has 0 repeat the msb.
    const Literal m = getBitLiteral(e, msb);
    for (uint32_t k = msb; k > 0 && lo.getBit(k - 1) && !hi.getBit(k - 1); --k) mergeBit(e, k - 1, m);
  }
  intervalBitsOf = outer;
}

void ConstraintPropagation::propagateComparison(Expression* e, const BitVectorInterval& bound) {
  const BitVectorInterval copy = e->getInterval();
  BitVectorInterval::intersect(copy, bound, e->getInterval());
  if (e->getInterval().isEmpty()) {
    conflict();
    return;
  }
  if (!(e->getInterval() == copy)) {
    ++statistics.intervalChanges;
    bitsChanged(e);
  }
}

// ---- queues -------------------------------------------------------------------

void ConstraintPropagation::pushHeap(std::vector<Expression*>& heap, Expression* e, bool minHeap) {
  heap.push_back(e);
  size_t k = heap.size() - 1;
  while (k > 0) {
    const size_t parent = (k - 1) / 2;
    const bool before = minHeap ? heap[k]->getDepth() < heap[parent]->getDepth()
                                : heap[k]->getDepth() > heap[parent]->getDepth();
    if (!before) break;
    std::swap(heap[k], heap[parent]);
    k = parent;
  }
}

Expression* ConstraintPropagation::popHeap(std::vector<Expression*>& heap, bool minHeap) {
  Expression* top = heap.front();
  std::swap(heap.front(), heap.back());
  heap.pop_back();
  const size_t n = heap.size();
  size_t k = 0;
  for (;;) {
    const size_t l = 2 * k + 1;
    if (l >= n) break;
    size_t best = l;
    const size_t r = l + 1;
    if (r < n) {
      const bool rightFirst = minHeap ? heap[r]->getDepth() < heap[l]->getDepth()
                                      : heap[r]->getDepth() > heap[l]->getDepth();
      if (rightFirst) best = r;
    }
    const bool childFirst = minHeap ? heap[best]->getDepth() < heap[k]->getDepth()
                                    : heap[best]->getDepth() > heap[k]->getDepth();
    if (!childFirst) break;
    std::swap(heap[k], heap[best]);
    k = best;
  }
  return top;
}

void ConstraintPropagation::queueUp(Expression* e) {
  // A forwarding node no longer owns its operands: no rule may look at it.
  if (e->hasFlag(Expression::FLAG_QUEUED_UP) || e->isForwarding()) return;
  addRef(e);
  pushHeap(upHeap, e, true);
  e->setFlag(Expression::FLAG_QUEUED_UP);
}

void ConstraintPropagation::queueDown(Expression* e) {
  if (e->hasFlag(Expression::FLAG_QUEUED_DOWN) || e->isForwarding()) return;
  addRef(e);
  pushHeap(downHeap, e, false);
  e->setFlag(Expression::FLAG_QUEUED_DOWN);
}

void ConstraintPropagation::bitsChanged(Expression* e) {
  propagateIntervalBits(e);
  for (Expression::UserEntry u = e->getFirstUser(); u; u = Expression::nextUser(u)) queueUp(u.node());
  queueDown(e);
}

bool ConstraintPropagation::drainChanged() {
  if (changedHead.next == &changedHead) return false;
  while (changedHead.next != &changedHead) {
    PropagationBit* r = changedHead.previous;
    r->unlink();
    ++statistics.drainedRecords;
    Expression* e = r->expression;
    bitsChanged(e);
    // The record joins the member list of its root class, its literal made
    // canonical first. (Putting it back into the list of the forwarded class
    // it still named would let every later lookup through that class send all
    // of its members round the changed list again: quadratic work on large
    // classes.) A record of a node that left the store stays out of every
    // list.
    resolve(r->edgeClass, true);
    if (!e->isForwarding() && !r->next) linkFront(&classOf(r->edgeClass)->members, r);
  }
  return true;
}

void ConstraintPropagation::contradictionCleanup() {
  while (changedHead.next != &changedHead) {
    PropagationBit* r = changedHead.previous;
    r->unlink();
    resolve(r->edgeClass, true);
  }
}

// ---- run ----------------------------------------------------------------------

bool ConstraintPropagation::propagate() {
  ++statistics.runs;
  ok = true;
  {
    std::vector<std::pair<uint32_t, Expression*>> fresh;
    fresh.swap(pending);
    pendingHoles = 0;
    for (const auto& p : fresh)
      if (p.second) queueUp(p.second);
  }
  {
    ExpressionRef root = manager->getRoot();
    Expression* r = getRepresentative(root.get());
    ExpressionRef held(r);
    root.reset();
    mergeBit(r, 0, trueLiteral);
  }
  for (;;) {
    if (!ok) break;
    drainChanged();
    if (upHeap.empty()) {
      if (ok) return true;
      break;
    }
    for (;;) {
      drainChanged();
      if (upHeap.empty()) break;
      Expression* e = popHeap(upHeap, true);
      e->clearFlag(Expression::FLAG_QUEUED_UP);
      if (!e->isForwarding()) {
        ++statistics.upCalls;
        propagateUpRule(e, *this);
      }
      release(e);
      if (!ok) break;
    }
    if (!ok) break;
    for (;;) {
      if (!ok) break;
      drainChanged();
      if (downHeap.empty()) break;
      Expression* e = popHeap(downHeap, false);
      e->clearFlag(Expression::FLAG_QUEUED_DOWN);
      if (!e->isForwarding()) {
        ++statistics.downCalls;
        propagateDownRule(e, *this);
      }
      release(e);
    }
  }
  ++statistics.conflicts;
  contradictionCleanup();
  return false;
}

}  // namespace varnok
