#pragma once
// Region of 32-bit words (or other plain units) addressed by 32-bit
// references: the clause store of the MiniSat solver family. Allocation
// appends; freeing only counts the words as wasted, and the owner collects
// garbage by copying the live contents into a fresh region.
#include <cassert>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "sat/mtl/vec.h"

namespace varnok {
namespace sat {
namespace mtl {

template <class T, class OOM>
class RegionAllocator {
  T* memory;
  uint32_t sz;
  uint32_t cap;
  uint32_t wasted_;

 public:
  typedef uint32_t Ref;
  enum { Ref_Undef = UINT32_MAX };
  enum { Unit_Size = sizeof(T) };

  explicit RegionAllocator(uint32_t start_cap = 1024 * 1024)
      : memory(nullptr), sz(0), cap(0), wasted_(0) {
    capacity(start_cap);
  }
  ~RegionAllocator() {
    if (memory != nullptr) ::free(memory);
  }
  RegionAllocator(const RegionAllocator&) = delete;
  RegionAllocator& operator=(const RegionAllocator&) = delete;

  uint32_t size() const { return sz; }
  uint32_t wasted() const { return wasted_; }

  Ref alloc(int size);
  void free(int size) { wasted_ += size; }

  // Forgets every allocation but keeps the memory (for scratch regions).
  void reset() {
    sz = 0;
    wasted_ = 0;
  }

  T& operator[](Ref r) {
    assert(r < sz);
    return memory[r];
  }
  const T& operator[](Ref r) const {
    assert(r < sz);
    return memory[r];
  }
  // Unchecked access for the solvers' innermost loops.
  T* unchecked(Ref r) { return &memory[r]; }
  T* lea(Ref r) {
    assert(r < sz);
    return &memory[r];
  }
  const T* lea(Ref r) const {
    assert(r < sz);
    return &memory[r];
  }
  Ref ael(const T* t) {
    assert((void*)t >= (void*)&memory[0] && (void*)t < (void*)&memory[sz - 1]);
    return (Ref)(t - &memory[0]);
  }

  void moveTo(RegionAllocator& to) {
    if (to.memory != nullptr) ::free(to.memory);
    to.memory = memory;
    to.sz = sz;
    to.cap = cap;
    to.wasted_ = wasted_;
    memory = nullptr;
    sz = cap = wasted_ = 0;
  }

  // Grows from the current capacity by (cap/2 + cap/8 + 2) rounded down to
  // even until at least min_cap; no progress (32-bit overflow) or a failed
  // reallocation throws OOM.
  void capacity(uint32_t min_cap);
};

template <class T, class OOM>
void RegionAllocator<T, OOM>::capacity(uint32_t min_cap) {
  if (cap >= min_cap) return;
  uint32_t new_cap = cap;
  while (new_cap < min_cap) {
    uint32_t delta = ((new_cap >> 1) + (new_cap >> 3) + 2) & ~1u;
    uint32_t prev_cap = new_cap;
    new_cap += delta;
    // No progress: the 32-bit capacity wrapped around.
    if (new_cap <= prev_cap) throwOutOfMemory<OOM>();
  }
  void* grown = ::realloc(static_cast<void*>(memory), (size_t)new_cap * sizeof(T));
  if (grown == nullptr) throwOutOfMemory<OOM>();
  memory = static_cast<T*>(grown);
  cap = new_cap;
}

template <class T, class OOM>
typename RegionAllocator<T, OOM>::Ref RegionAllocator<T, OOM>::alloc(int size) {
  assert(size > 0);
  capacity(sz + size);
  uint32_t prev_sz = sz;
  sz += size;
  if (sz < prev_sz) throwOutOfMemory<OOM>();
  return prev_sz;
}

}  // namespace mtl
}  // namespace sat
}  // namespace varnok
