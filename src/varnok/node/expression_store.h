#pragma once
// The node store's hash-consing set (the store of ExpressionManager).
#include <cstddef>
#include <cstdint>

namespace varnok {

class Expression;

// Open-addressing hash set of node pointers keyed by their structural hash.
// The hash computed at insertion is stored beside the pointer and compared
// before the kind and the structural test. Linear probing; erasure shifts the
// following entries back, so there are no tombstones.
class ExpressionSet {
 public:
  ExpressionSet();
  ~ExpressionSet();
  ExpressionSet(const ExpressionSet&) = delete;
  ExpressionSet& operator=(const ExpressionSet&) = delete;

  // The element equal to `candidate` (stored hash, kind, isEqual), or null.
  Expression* find(const Expression* candidate, uint64_t hash) const;
  // Inserts e unless an equal element is there; true when inserted.
  bool insert(Expression* e, uint64_t hash);
  // Removes exactly e (pointer identity); true when it was there.
  bool erase(const Expression* e, uint64_t hash);

  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  size_t memoryBytes() const { return capacity_ * sizeof(Slot); }
  // Calls f(Expression*) for every element.
  template <typename F>
  void forEach(F&& f) const {
    for (size_t i = 0; i < capacity_; ++i)
      if (slots_[i].node) f(slots_[i].node);
  }
  // Frees the storage (the set becomes empty).
  void clear();

 private:
  struct Slot {
    uint64_t hash;
    Expression* node;
  };
  size_t home(uint64_t hash) const { return static_cast<size_t>((hash * 0x9E3779B97F4A7C15ull) >> shift_); }
  void grow();

  Slot* slots_;
  size_t capacity_;  // power of two
  size_t size_;
  unsigned shift_;  // 64 - log2(capacity)
};

// Set of live nodes by identity: open addressing keyed by serial id (which no
// two live nodes share), linear probing at a load of at most one half,
// backward-shift erasure. One slot of one pointer per member and no heap cell
// per node, so that sets over large parts of the graph stay cheap. Order of
// forEach is unspecified.
class NodeIdentitySet {
 public:
  NodeIdentitySet() : slots_(nullptr), capacity_(0), size_(0) {}
  ~NodeIdentitySet() { clear(); }
  NodeIdentitySet(const NodeIdentitySet&) = delete;
  NodeIdentitySet& operator=(const NodeIdentitySet&) = delete;

  bool contains(const Expression* e) const;
  // True when e was not a member (and is one now).
  bool insert(Expression* e);
  // True when e was a member.
  bool erase(const Expression* e);
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  template <typename F>
  void forEach(F&& f) const {
    for (size_t i = 0; i < capacity_; ++i)
      if (slots_[i]) f(slots_[i]);
  }
  // Frees the storage (the set becomes empty).
  void clear();

 private:
  size_t home(const Expression* e) const;
  void grow();

  Expression** slots_;
  size_t capacity_;  // power of two, or 0 before the first insertion
  size_t size_;
};

}  // namespace varnok
