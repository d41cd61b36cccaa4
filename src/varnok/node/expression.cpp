// Formula nodes: construction, hashing, equality, user lists, reference
// counting, representatives and the release of owned slots.
#include "varnok/node/expression.h"

#include <sstream>

#include "varnok/aig/aig.h"
#include "varnok/node/expression_manager.h"
#include "util/internal_error.h"
#include "varnok/node/propagation_bit.h"

namespace varnok {

namespace {

// Deletion of nodes that outlived their manager. Iterative; a destructor that
// releases a counted field while the loop runs only pushes onto the stack.
struct OrphanDeleter {
  std::vector<Expression*> stack;
  bool active = false;
};

OrphanDeleter& orphanDeleter() {
  // Never destroyed: handles with static storage duration may still release
  // orphans while the program exits.
  static OrphanDeleter* deleter = new OrphanDeleter();
  return *deleter;
}

}  // namespace

// ---- construction -----------------------------------------------------------

Expression::Expression(uint32_t width) : width_(width), flags_(0) {
  children_[0] = children_[1] = children_[2] = nullptr;
  initialize();
}

Expression::Expression(uint32_t width, Expression* child0) : width_(width), flags_(1) {
  children_[0] = child0;
  children_[1] = children_[2] = nullptr;
  initialize();
}

Expression::Expression(uint32_t width, Expression* child0, Expression* child1) : width_(width), flags_(2) {
  children_[0] = child0;
  children_[1] = child1;
  children_[2] = nullptr;
  initialize();
}

Expression::Expression(uint32_t width, Expression* child0, Expression* child1, Expression* child2)
    : width_(width), flags_(3) {
  children_[0] = child0;
  children_[1] = child1;
  children_[2] = child2;
  initialize();
}

void Expression::initialize() {
  refCount_ = 0;
  representative_ = nullptr;
  manager_ = nullptr;
  id_ = 0;
  firstUser_ = lastUser_ = UserEntry();
  for (uint32_t k = 0; k < 3; ++k) nextUser_[k] = previousUser_[k] = UserEntry();
  bitEdges_ = nullptr;
  propagationBits_ = nullptr;
  flags_ = static_cast<uint8_t>(flags_ & ARITY_MASK);
  uint32_t depth = 0;
  const uint32_t arity = getArity();
  for (uint32_t k = 0; k < arity; ++k)
    if (children_[k]->depth_ + 1 > depth) depth = children_[k]->depth_ + 1;
  depth_ = depth;
  interval_.resize(width_);
  interval_.setFull();
}

Expression::~Expression() { releaseSlots(); }

void Expression::releaseSlots() {
  if (bitEdges_) {
    std::vector<AIGEdge>* edges = bitEdges_;
    bitEdges_ = nullptr;
    delete edges;  // releases every edge
  }
  if (propagationBits_) {
    std::vector<PropagationBit>* bits = propagationBits_;
    propagationBits_ = nullptr;
    for (PropagationBit& b : *bits) {
      b.unlink();  // out of the member list of a class that may outlive the node
      if (b.expression) releaseEdgeClass(b.getEdgeClass());
    }
    delete bits;
  }
}

void Expression::setBitEdges(std::vector<AIGEdge>* edges) {
  if (edges == bitEdges_) return;
  std::vector<AIGEdge>* old = bitEdges_;
  bitEdges_ = edges;
  delete old;
}

void Expression::setPropagationBits(std::vector<PropagationBit>* bits) {
  if (bits == propagationBits_) return;
  std::vector<PropagationBit>* old = propagationBits_;
  propagationBits_ = bits;
  if (old) {
    for (PropagationBit& b : *old) {
      b.unlink();
      if (b.expression) releaseEdgeClass(b.getEdgeClass());
    }
    delete old;
  }
}

// ---- hashing and equality ---------------------------------------------------

uint64_t Expression::hash() const {
  uint64_t h = (static_cast<uint64_t>(width_) + 517081u) ^ 0x1F01u;
  h = hashCombine(h, getKind());
  const uint32_t arity = getArity();
  for (uint32_t k = 0; k < arity; ++k) h = hashCombine(h, children_[k]->id_);
  return h;
}

bool Expression::isEqual(const Expression* other) const {
  if (getKind() != other->getKind()) return false;
  if (getArity() != other->getArity()) return false;
  const uint32_t arity = getArity();
  for (uint32_t k = 0; k < arity; ++k)
    if (children_[k] != other->children_[k]) return false;
  return true;
}

// ---- user lists -------------------------------------------------------------

void Expression::attach(ExpressionManager* manager, uint32_t id) {
  manager_ = manager;
  id_ = id;
  const uint32_t arity = getArity();
  for (uint32_t k = 0; k < arity; ++k) {
    Expression* child = children_[k];
    const UserEntry entry(this, k);
    previousUser_[k] = child->lastUser_;
    nextUser_[k] = UserEntry();
    if (child->lastUser_) child->lastUser_.node()->nextUser_[child->lastUser_.slot()] = entry;
    child->lastUser_ = entry;
    if (!child->firstUser_) child->firstUser_ = entry;
  }
  for (uint32_t k = 0; k < arity; ++k) addRef(children_[k]);
}

void Expression::detachFromChildren() {
  const uint32_t arity = getArity();
  for (uint32_t k = 0; k < arity; ++k) {
    Expression* child = children_[k];
    const UserEntry entry(this, k);
    const UserEntry prev = previousUser_[k];
    const UserEntry next = nextUser_[k];
    // An entry without links is either the only entry of the child's list or
    // not in the list at all (never attached, or detached before).
    if (!prev && !next && child->firstUser_ != entry) continue;
    if (prev)
      prev.node()->nextUser_[prev.slot()] = next;
    else
      child->firstUser_ = next;
    if (next)
      next.node()->previousUser_[next.slot()] = prev;
    else
      child->lastUser_ = prev;
    nextUser_[k] = previousUser_[k] = UserEntry();
  }
}

uint32_t Expression::countUsers() const {
  uint32_t n = 0;
  for (UserEntry e = firstUser_; e; e = nextUser(e)) ++n;
  return n;
}

// ---- representatives --------------------------------------------------------

void Expression::setRepresentative(Expression* r) {
  if (r == representative_) return;
  if (r == nullptr || r == this)
    throwInternalError("src/varnok/node/expression", 188, "setRepresentative",
                       "A node cannot forward to itself or to nothing.");
  if (representative_) {
    // Already forwarding: the node is out of the store and holds no children,
    // so only the link moves (the old representative's reference is released,
    // not leaked, and the node is not unregistered a second time).
    addRef(r);
    Expression* old = representative_;
    representative_ = r;
    release(old);
    return;
  }
  representative_ = addRef(r);
  if (manager_) {
    manager_->unregisterExpression(this);
    manager_->noteOffSet(this);
  }
  const uint32_t arity = getArity();
  if (arity > 0) {
    detachFromChildren();
    // The child pointers stay (printing and the kind stay the same), but the
    // node no longer keeps its operands alive: they must not be dereferenced
    // through a forwarding node.
    for (uint32_t k = 0; k < arity; ++k) release(children_[k]);
  }
}

Expression* getRepresentative(Expression* e) {
  if (!e || !e->representative_) return e;
  Expression* root = e->representative_;
  while (root->representative_) root = root->representative_;
  // Re-point every node of the path at the root. The reference a node held on
  // its former representative is dropped only once that former representative
  // has been re-pointed itself (or found to point at the root already), so no
  // node on the path dies while it is still to be visited.
  Expression* held = nullptr;
  Expression* n = e;
  while (n->representative_ != root) {
    Expression* former = n->representative_;
    n->representative_ = addRef(root);
    release(held);
    held = former;
    n = former;
  }
  release(held);
  return root;
}

// ---- reference counting -----------------------------------------------------

void release(Expression* e) {
  if (!e) return;
  if (--e->refCount_ != 0) return;
  if (e->manager_) {
    e->manager_->deleteExpression(e);
    return;
  }
  if (!e->isOrphaned()) {
    // Never registered: it holds no references.
    delete e;
    return;
  }
  OrphanDeleter& d = orphanDeleter();
  d.stack.push_back(e);
  if (d.active) return;
  d.active = true;
  while (!d.stack.empty()) {
    Expression* n = d.stack.back();
    d.stack.pop_back();
    if (n->representative_) {
      Expression* r = n->representative_;
      if (--r->refCount_ == 0) d.stack.push_back(r);
    } else {
      const uint32_t arity = n->getArity();
      for (uint32_t k = 0; k < arity; ++k) {
        Expression* c = n->children_[k];
        if (--c->refCount_ == 0) d.stack.push_back(c);
      }
      n->detachFromChildren();
    }
    delete n;
  }
  d.active = false;
}

// ---- free helpers -----------------------------------------------------------

ExpressionRef stripNot(Expression* e) {
  if (e && e->getKind() == KIND_NOT) return ExpressionRef(e->getChild(0));
  return ExpressionRef(e);
}

AIG* getAIG(const Expression* e) {
  if (!e || !e->getManager()) return nullptr;
  return e->getManager()->getAIG();
}

std::string toString(const Expression* e) {
  std::ostringstream out;
  e->printOperator(out);
  return out.str();
}

}  // namespace varnok
