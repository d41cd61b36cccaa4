// The node store of the expression manager and the leaf make functions.
#include "varnok/expression_manager.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "varnok/expressions.h"
#include "varnok/module_expression.h"
#include "varnok/substitution.h"

namespace varnok {

// ---- hash-consing set -------------------------------------------------------

namespace {
constexpr size_t kInitialCapacity = 16;  // room for 8 nodes before the first growth
}

ExpressionSet::ExpressionSet() : slots_(nullptr), capacity_(0), size_(0), shift_(64) {
  slots_ = static_cast<Slot*>(std::calloc(kInitialCapacity, sizeof(Slot)));
  if (!slots_) throw std::bad_alloc();
  capacity_ = kInitialCapacity;
  shift_ = 64 - 4;
}

ExpressionSet::~ExpressionSet() { std::free(slots_); }

void ExpressionSet::clear() {
  std::free(slots_);
  slots_ = nullptr;
  capacity_ = 0;
  size_ = 0;
  shift_ = 64;
}

Expression* ExpressionSet::find(const Expression* candidate, uint64_t hash) const {
  if (capacity_ == 0) return nullptr;
  const size_t mask = capacity_ - 1;
  const uint32_t kind = candidate->getKind();
  for (size_t i = home(hash);; i = (i + 1) & mask) {
    const Slot& s = slots_[i];
    if (!s.node) return nullptr;
    if (s.hash == hash && s.node->getKind() == kind && candidate->isEqual(s.node)) return s.node;
  }
}

void ExpressionSet::grow() {
  Slot* old = slots_;
  const size_t oldCapacity = capacity_;
  const size_t capacity = oldCapacity ? oldCapacity * 2 : kInitialCapacity;
  Slot* fresh = static_cast<Slot*>(std::calloc(capacity, sizeof(Slot)));
  if (!fresh) throw std::bad_alloc();
  slots_ = fresh;
  capacity_ = capacity;
  unsigned bits = 0;
  while ((size_t(1) << bits) < capacity) ++bits;
  shift_ = 64 - bits;
  const size_t mask = capacity - 1;
  for (size_t j = 0; j < oldCapacity; ++j) {
    if (!old[j].node) continue;
    size_t i = home(old[j].hash);
    while (slots_[i].node) i = (i + 1) & mask;
    slots_[i] = old[j];
  }
  std::free(old);
}

bool ExpressionSet::insert(Expression* e, uint64_t hash) {
  // Keep the load at or below one half so that probe sequences stay short.
  if ((size_ + 1) * 2 > capacity_) grow();
  const size_t mask = capacity_ - 1;
  const uint32_t kind = e->getKind();
  size_t i = home(hash);
  for (;; i = (i + 1) & mask) {
    Slot& s = slots_[i];
    if (!s.node) break;
    if (s.hash == hash && s.node->getKind() == kind && e->isEqual(s.node)) return false;
  }
  slots_[i].hash = hash;
  slots_[i].node = e;
  ++size_;
  return true;
}

bool ExpressionSet::erase(const Expression* e, uint64_t hash) {
  if (capacity_ == 0) return false;
  const size_t mask = capacity_ - 1;
  size_t i = home(hash);
  for (;; i = (i + 1) & mask) {
    if (!slots_[i].node) return false;
    if (slots_[i].node == e) break;
  }
  // Backward-shift deletion: move later entries of the probe run into the
  // hole when their home position allows it.
  size_t hole = i;
  for (size_t j = (hole + 1) & mask; slots_[j].node; j = (j + 1) & mask) {
    const size_t h = home(slots_[j].hash);
    // The entry at j may move to the hole when its home is not in (hole, j].
    const bool between = hole <= j ? (hole < h && h <= j) : (hole < h || h <= j);
    if (!between) {
      slots_[hole] = slots_[j];
      hole = j;
    }
  }
  slots_[hole].node = nullptr;
  slots_[hole].hash = 0;
  --size_;
  return true;
}

// ---- identity set -------------------------------------------------------------

size_t NodeIdentitySet::home(const Expression* e) const {
  return static_cast<size_t>((e->getId() * 0x9E3779B97F4A7C15ull) >> 32) & (capacity_ - 1);
}

void NodeIdentitySet::clear() {
  std::free(slots_);
  slots_ = nullptr;
  capacity_ = 0;
  size_ = 0;
}

bool NodeIdentitySet::contains(const Expression* e) const {
  if (size_ == 0) return false;
  for (size_t i = home(e);; i = (i + 1) & (capacity_ - 1)) {
    if (!slots_[i]) return false;
    if (slots_[i] == e) return true;
  }
}

void NodeIdentitySet::grow() {
  const size_t oldCapacity = capacity_;
  Expression** old = slots_;
  const size_t capacity = oldCapacity ? oldCapacity * 2 : 64;
  Expression** fresh = static_cast<Expression**>(std::calloc(capacity, sizeof(Expression*)));
  if (!fresh) throw std::bad_alloc();
  slots_ = fresh;
  capacity_ = capacity;
  for (size_t j = 0; j < oldCapacity; ++j) {
    if (!old[j]) continue;
    size_t i = home(old[j]);
    while (slots_[i]) i = (i + 1) & (capacity - 1);
    slots_[i] = old[j];
  }
  std::free(old);
}

bool NodeIdentitySet::insert(Expression* e) {
  if ((size_ + 1) * 2 > capacity_) grow();
  size_t i = home(e);
  for (; slots_[i]; i = (i + 1) & (capacity_ - 1))
    if (slots_[i] == e) return false;
  slots_[i] = e;
  ++size_;
  return true;
}

bool NodeIdentitySet::erase(const Expression* e) {
  if (size_ == 0) return false;
  const size_t mask = capacity_ - 1;
  size_t hole = home(e);
  for (; slots_[hole] != e; hole = (hole + 1) & mask)
    if (!slots_[hole]) return false;
  // Move later entries of the probe run into the hole when their home
  // position allows it (as in ExpressionSet::erase).
  for (size_t j = (hole + 1) & mask; slots_[j]; j = (j + 1) & mask) {
    const size_t h = home(slots_[j]);
    const bool between = hole <= j ? (hole < h && h <= j) : (hole < h || h <= j);
    if (!between) {
      slots_[hole] = slots_[j];
      hole = j;
    }
  }
  slots_[hole] = nullptr;
  --size_;
  return true;
}

// ---- manager ------------------------------------------------------------------

ExpressionManager::ExpressionManager(SolverContext* context)
    : context_(context),
      substitution_(nullptr),
      nextId_(0),
      liveNodes_(0),
      aig_(nullptr),
      deleting_(false) {
  std::fill(kindCounters_, kindCounters_ + NUM_EXPRESSION_KINDS, 0u);
  makeTrue(root_);
  substitution_ = new Substitution(this);
}

ExpressionManager::~ExpressionManager() {
  if (substitution_) {
    substitution_->clear();
    delete substitution_;
    substitution_ = nullptr;
  }
  while (!assumptions_.empty()) assumptions_.pop_back();
  root_.reset();

  // Nodes still held by handles outlive the manager. Detach them now so that
  // releasing those handles later touches neither the manager nor the AIG:
  // they drop their AIG edges and propagation records while the AIG is still
  // there, and module nodes leave the solver's and the AIG's watch lists.
  std::vector<Expression*> survivors;
  survivors.reserve(nodes_.size() + offSetNodes_.size());
  nodes_.forEach([&](Expression* e) { survivors.push_back(e); });
  offSetNodes_.forEach([&](Expression* e) { survivors.push_back(e); });
  for (Expression* e : survivors) {
    e->manager_ = nullptr;
    e->setFlag(Expression::FLAG_ORPHANED);
    e->releaseSlots();
    if (ModuleExpression* m = ModuleExpression::asModule(e)) m->unlinkWatchNodes();
  }
  nodes_.clear();
  offSetNodes_.clear();
}

ExpressionRef ExpressionManager::findOrInsert(Expression* candidate) {
  if (!candidate) return ExpressionRef();
  const uint64_t h = candidate->hash();
  if (Expression* existing = nodes_.find(candidate, h)) {
    delete candidate;
    return ExpressionRef(existing);
  }
  return registerExpression(candidate);
}

ExpressionRef ExpressionManager::registerExpression(Expression* e) {
  if (!e) return ExpressionRef();
  // The serial id is taken before attach: attaching an array equality
  // registers its witness variable and reads, which take the following ids.
  const uint32_t id = nextId_++;
  ++liveNodes_;
  e->attach(this, id);
  if (!nodes_.insert(e, e->hash())) noteOffSet(e);
  ++kindCounters_[e->getKind()];
  for (size_t i = 0; i < listeners_.size(); ++i) listeners_[i]->expressionAdded(e);
  return ExpressionRef(e);
}

void ExpressionManager::unregisterExpression(Expression* e) {
  for (size_t i = 0; i < listeners_.size(); ++i) listeners_[i]->expressionRemoved(e);
  if (!nodes_.erase(e, e->hash())) offSetNodes_.erase(e);
  --kindCounters_[e->getKind()];
}

void ExpressionManager::deleteExpression(Expression* e) {
  deleteStack_.push_back(e);
  if (deleting_) return;  // re-entered from a destructor: the running loop takes it
  deleting_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{deleting_};
  while (!deleteStack_.empty()) {
    Expression* n = deleteStack_.back();
    deleteStack_.pop_back();
    if (n->representative_) {
      // A forwarding node: already unregistered and detached.
      offSetNodes_.erase(n);
      Expression* r = n->representative_;
      if (--r->refCount_ == 0) deleteStack_.push_back(r);
    } else {
      const uint32_t arity = n->getArity();
      for (uint32_t k = 0; k < arity; ++k) {
        Expression* c = n->children_[k];
        if (--c->refCount_ == 0) deleteStack_.push_back(c);
      }
      unregisterExpression(n);
      n->detachFromChildren();
    }
    --liveNodes_;
    delete n;
  }
}

void ExpressionManager::addListener(ExpressionAddRemoveListener* listener) { listeners_.push_back(listener); }

void ExpressionManager::removeListener(ExpressionAddRemoveListener* listener) {
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

bool ExpressionManager::addAssumption(ExpressionRef a) {
  if (!a || a->getWidth() != 1) return false;
  if (a->hasFlag(Expression::FLAG_ASSERTED) || a->hasFlag(Expression::FLAG_ASSUMED)) return true;
  a->setFlag(Expression::FLAG_ASSUMED);
  assumptions_.push_back(std::move(a));
  return true;
}

void ExpressionManager::clearAssumptions() {
  while (!assumptions_.empty()) {
    assumptions_.back()->clearFlag(Expression::FLAG_ASSUMED);
    assumptions_.pop_back();
  }
}

void ExpressionManager::assertFormula(ExpressionRef f) {
  std::vector<ExpressionRef> work;
  if (f) work.push_back(std::move(f));
  while (!work.empty()) {
    ExpressionRef n = std::move(work.back());
    work.pop_back();
    if (n->hasFlag(Expression::FLAG_ASSERTED)) continue;
    n->setFlag(Expression::FLAG_ASSERTED);
    substitution_->collect(n);
    if (n && n->getKind() == KIND_AND) {
      work.emplace_back(n->getChild(0));
      work.emplace_back(n->getChild(1));
    }
  }
}

void ExpressionManager::runSubstitution() { substitution_->run(); }

// ---- leaf makers --------------------------------------------------------------

ExpressionRef& ExpressionManager::insertConstant(ExpressionRef& result, Expression* node) {
  const uint64_t h = node->hash();
  if (Expression* existing = nodes_.find(node, h)) {
    delete node;
    result = existing;
    return result;
  }
  result = registerExpression(node);
  return result;
}

ExpressionRef& ExpressionManager::makeFalse(ExpressionRef& result) { return makeBool(result, false); }

ExpressionRef& ExpressionManager::makeTrue(ExpressionRef& result) { return makeBool(result, true); }

ExpressionRef& ExpressionManager::makeBool(ExpressionRef& result, bool value) {
  BitVector v(1);
  if (value) v.setOne();
  result = findOrInsert(new ConstantExpression(v));
  return result;
}

ExpressionRef& ExpressionManager::makeOnes(ExpressionRef& result, uint32_t width) {
  BitVector v(width);
  v.setAllOnes();
  result = findOrInsert(new ConstantExpression(v));
  return result;
}

ExpressionRef& ExpressionManager::makeOne(ExpressionRef& result, uint32_t width) {
  BitVector v(width);
  v.setOne();
  result = findOrInsert(new ConstantExpression(v));
  return result;
}

ExpressionRef& ExpressionManager::makeZero(ExpressionRef& result, uint32_t width) {
  BitVector v(width);
  v.setZero();
  result = findOrInsert(new ConstantExpression(v));
  return result;
}

ExpressionRef& ExpressionManager::makeConstantFromHex(ExpressionRef& result, const std::string& digits) {
  BitVector v;
  if (!v.fromHexString(digits)) {
    result.reset();
    return result;
  }
  result = findOrInsert(new ConstantExpression(v));
  return result;
}

ExpressionRef& ExpressionManager::makeConstantFromBinary(ExpressionRef& result, const std::string& digits) {
  BitVector v;
  if (!v.fromBinaryString(digits)) {
    result.reset();
    return result;
  }
  result = findOrInsert(new ConstantExpression(v));
  return result;
}

ExpressionRef& ExpressionManager::makeConstantFromDecimal(ExpressionRef& result, const std::string& digits,
                                                          uint32_t width) {
  BitVector v;
  if (!v.fromDecimalString(digits, width)) {
    result.reset();
    return result;
  }
  result = findOrInsert(new ConstantExpression(v));
  return result;
}

ExpressionRef& ExpressionManager::makeConstant(ExpressionRef& result, const BitVector& value) {
  return insertConstant(result, new ConstantExpression(value));
}

ExpressionRef& ExpressionManager::makeConstantFromBits(ExpressionRef& result, const std::vector<bool>& bits) {
  BitVector v;
  v.fromBoolVector(bits);
  return insertConstant(result, new ConstantExpression(v));
}

ExpressionRef& ExpressionManager::makeConstantFromUInt64(ExpressionRef& result, uint64_t value, uint32_t width) {
  BitVector v;
  v.fromUInt64(value, width);  // a value that does not fit is cut to the width
  return insertConstant(result, new ConstantExpression(v));
}

ExpressionRef& ExpressionManager::makeVariable(ExpressionRef& result, uint32_t width, const char* name) {
  if (width == 0) {
    result.reset();
    return result;
  }
  result = registerExpression(new VariableExpression(width, name));
  return result;
}

ExpressionRef& ExpressionManager::makeArrayVariable(ExpressionRef& result, uint32_t indexWidth,
                                                    uint32_t elementWidth, const char* name) {
  result = registerExpression(new ArrayVariableExpression(indexWidth, elementWidth, name));
  return result;
}

}  // namespace varnok
