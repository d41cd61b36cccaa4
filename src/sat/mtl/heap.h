#pragma once
// Binary heap of int keys (variables) with an index per key, ordered by a
// comparator: the smallest element by `lt` is on top. Used for the decision
// order (activity) and the elimination order (occurrence cost).
#include "sat/mtl/vec.h"

namespace varnok {
namespace sat {
namespace mtl {

template <class Comp, class OOM>
class Heap {
  Comp lt;
  Vec<int, OOM> heap;     // heap of keys
  Vec<int, OOM> indices;  // position of each key in the heap, -1 when absent

  static inline int left(int i) { return i * 2 + 1; }
  static inline int right(int i) { return (i + 1) * 2; }
  static inline int parent(int i) { return (i - 1) >> 1; }

  // Moves up while strictly smaller than the parent.
  void percolateUp(int i) {
    int x = heap[i];
    int p = parent(i);
    while (i != 0 && lt(x, heap[p])) {
      heap[i] = heap[p];
      indices[heap[p]] = i;
      i = p;
      p = parent(p);
    }
    heap[i] = x;
    indices[x] = i;
  }

  // Moves down to the smaller child (the right one only when strictly
  // smaller than the left) while that child is strictly smaller.
  void percolateDown(int i) {
    int x = heap[i];
    while (left(i) < heap.size()) {
      int child = right(i) < heap.size() && lt(heap[right(i)], heap[left(i)]) ? right(i) : left(i);
      if (!lt(heap[child], x)) break;
      heap[i] = heap[child];
      indices[heap[i]] = i;
      i = child;
    }
    heap[i] = x;
    indices[x] = i;
  }

 public:
  explicit Heap(const Comp& c) : lt(c) {}

  int size() const { return heap.size(); }
  bool empty() const { return heap.size() == 0; }
  bool inHeap(int n) const { return n < indices.size() && indices[n] >= 0; }
  int operator[](int index) const { return heap[index]; }

  void decrease(int n) { percolateUp(indices[n]); }
  void increase(int n) { percolateDown(indices[n]); }

  // Puts a key that is in the heap at its right place after any change.
  void update(int n) {
    if (!inHeap(n)) {
      insert(n);
    } else {
      percolateUp(indices[n]);
      percolateDown(indices[n]);
    }
  }

  void insert(int n) {
    indices.growTo(n + 1, -1);
    indices[n] = heap.size();
    heap.push(n);
    percolateUp(indices[n]);
  }

  int removeMin() {
    int x = heap[0];
    heap[0] = heap.last();
    indices[heap[0]] = 0;
    indices[x] = -1;
    heap.pop();
    if (heap.size() > 1) percolateDown(0);
    return x;
  }

  // Replaces the contents by the given keys and restores the order.
  void build(const Vec<int, OOM>& ns) {
    for (int i = 0; i < heap.size(); i++) indices[heap[i]] = -1;
    heap.clear();
    for (int i = 0; i < ns.size(); i++) {
      indices.growTo(ns[i] + 1, -1);
      indices[ns[i]] = i;
      heap.push(ns[i]);
    }
    for (int i = heap.size() / 2 - 1; i >= 0; i--) percolateDown(i);
  }

  void clear(bool dealloc = false) {
    for (int i = 0; i < heap.size(); i++) indices[heap[i]] = -1;
    heap.clear(dealloc);
  }
};

}  // namespace mtl
}  // namespace sat
}  // namespace varnok
