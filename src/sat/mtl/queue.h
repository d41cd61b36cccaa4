#pragma once
// Circular first-in first-out queue. Starts with a one-slot buffer; when an
// insertion fills the buffer, a new one of (3 * size + 1) / 2 slots receives
// the elements in queue order.
#include "sat/mtl/vec.h"

namespace varnok {
namespace sat {
namespace mtl {

template <class T, class OOM>
class Queue {
  Vec<T, OOM> buf;
  int first;
  int end;

 public:
  Queue() : buf(1), first(0), end(0) {}

  void clear(bool dealloc = false) {
    buf.clear(dealloc);
    buf.growTo(1);
    first = end = 0;
  }
  int size() const { return (end >= first) ? end - first : end - first + buf.size(); }

  const T& operator[](int index) const { return buf[(first + index) % buf.size()]; }
  T& operator[](int index) { return buf[(first + index) % buf.size()]; }

  T peek() const { return buf[first]; }
  void pop() {
    first++;
    if (first == buf.size()) first = 0;
  }
  void insert(T elem) {
    buf[end++] = elem;
    if (end == buf.size()) end = 0;
    if (first == end) {  // full: grow
      Vec<T, OOM> tmp((buf.size() * 3 + 1) >> 1);
      int i = 0;
      for (int k = first; k < buf.size(); k++) tmp[i++] = buf[k];
      for (int k = 0; k < end; k++) tmp[i++] = buf[k];
      first = 0;
      end = buf.size();
      tmp.moveTo(buf);
    }
  }
};

}  // namespace mtl
}  // namespace sat
}  // namespace varnok
