// The hash-consing set of the node store.
#include "varnok/node/expression_store.h"

#include <cstdlib>
#include <new>

#include "varnok/node/expression.h"

namespace varnok {

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

}  // namespace varnok
