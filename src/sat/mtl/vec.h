#pragma once
// Growable array of the MiniSat solver family.
//
// Elements are moved by reallocation, so T must be relocatable bitwise (the
// solvers store plain values, literals, clause references and vectors of
// those). OOM is the family's out-of-memory exception class: it is thrown
// (default constructed) when the capacity would pass the largest int or the
// reallocation fails.
#include <cassert>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <new>

namespace varnok {
namespace sat {
namespace mtl {

// Throwing is kept out of line so that the growth paths stay small.
template <class OOM>
[[noreturn]] __attribute__((noinline, cold)) void throwOutOfMemory() {
  throw OOM();
}

template <class T, class OOM>
class Vec {
  T* data_;
  int sz;
  int cap;

  // Copying is explicit (copyTo) to keep accidental copies off hot paths.
  Vec<T, OOM>& operator=(Vec<T, OOM>& other) = delete;
  Vec(Vec<T, OOM>& other) = delete;

 public:
  typedef T value_type;

  Vec() : data_(nullptr), sz(0), cap(0) {}
  explicit Vec(int size) : data_(nullptr), sz(0), cap(0) { growTo(size); }
  Vec(int size, const T& pad) : data_(nullptr), sz(0), cap(0) { growTo(size, pad); }
  Vec(Vec<T, OOM>&& other) : data_(other.data_), sz(other.sz), cap(other.cap) {
    other.data_ = nullptr;
    other.sz = other.cap = 0;
  }
  ~Vec() { clear(true); }

  operator T*(void) { return data_; }
  T* data() { return data_; }
  const T* data() const { return data_; }

  int size(void) const { return sz; }
  void shrink(int nelems) {
    assert(nelems <= sz);
    for (int i = 0; i < nelems; i++) sz--, data_[sz].~T();
  }
  int capacity(void) const { return cap; }
  void capacity(int min_cap);
  void growTo(int size);
  void growTo(int size, const T& pad);
  void clear(bool dealloc = false);

  void push(void) {
    if (sz == cap) capacity(sz + 1);
    new (&data_[sz]) T();
    sz++;
  }
  void push(const T& elem) {
    if (sz == cap) capacity(sz + 1);
    data_[sz++] = elem;
  }
  void push_(const T& elem) {
    assert(sz < cap);
    data_[sz++] = elem;
  }
  void pop(void) {
    assert(sz > 0);
    sz--, data_[sz].~T();
  }

  const T& last(void) const { return data_[sz - 1]; }
  T& last(void) { return data_[sz - 1]; }

  const T& operator[](int index) const { return data_[index]; }
  T& operator[](int index) { return data_[index]; }

  void copyTo(Vec<T, OOM>& copy) const {
    copy.clear();
    copy.growTo(sz);
    for (int i = 0; i < sz; i++) copy[i] = data_[i];
  }
  void moveTo(Vec<T, OOM>& dest) {
    dest.clear(true);
    dest.data_ = data_;
    dest.sz = sz;
    dest.cap = cap;
    data_ = nullptr;
    sz = 0;
    cap = 0;
  }
};

// Raises the capacity to at least min_cap: by the larger of half the old
// capacity plus two and what is missing, both rounded down to even.
template <class T, class OOM>
void Vec<T, OOM>::capacity(int min_cap) {
  if (cap >= min_cap) return;
  // Computed in 64 bits: the missing part of a huge request must not wrap.
  long long missing = ((long long)min_cap - cap + 1) & ~1LL;
  long long half = ((cap >> 1) + 2) & ~1;
  long long add = missing > half ? missing : half;
  if (add > (long long)INT_MAX - cap) throwOutOfMemory<OOM>();
  void* grown = ::realloc(static_cast<void*>(data_), (size_t)(cap + add) * sizeof(T));
  if (grown == nullptr) throwOutOfMemory<OOM>();
  data_ = static_cast<T*>(grown);
  cap += (int)add;
}

template <class T, class OOM>
void Vec<T, OOM>::growTo(int size, const T& pad) {
  if (sz >= size) return;
  capacity(size);
  for (int i = sz; i < size; i++) data_[i] = pad;
  sz = size;
}

template <class T, class OOM>
void Vec<T, OOM>::growTo(int size) {
  if (sz >= size) return;
  capacity(size);
  for (int i = sz; i < size; i++) new (&data_[i]) T();
  sz = size;
}

template <class T, class OOM>
void Vec<T, OOM>::clear(bool dealloc) {
  if (data_ != nullptr) {
    for (int i = 0; i < sz; i++) data_[i].~T();
    sz = 0;
    if (dealloc) {
      ::free(data_);
      data_ = nullptr;
      cap = 0;
    }
  }
}

// Removes the first element equal to `t` (which must be present); the rest
// keep their order.
template <class V, class T>
inline void remove(V& ts, const T& t) {
  int j = 0;
  for (; j < ts.size() && ts[j] != t; j++) {
  }
  assert(j < ts.size());
  for (; j < ts.size() - 1; j++) ts[j] = ts[j + 1];
  ts.pop();
}

}  // namespace mtl
}  // namespace sat
}  // namespace varnok
