#pragma once
// The Glucose family: the shared types and containers, bound to this
// family's out-of-memory exception and option list, with its own clause
// record (three header words with the literal block distance) and binary
// clauses watched in lists of their own.
#include <cstdint>

#include "sat/glucose/clause.h"
#include "sat/glucose/options.h"
#include "sat/mtl/names.h"
#include "sat/mtl/vec.h"

namespace Glucose {

using namespace varnok::sat::mtl::names;

struct OptionTag {};

struct Family {
  // Thrown when a vector, the clause arena or a list cannot grow.
  class OutOfMemory {};

  typedef Glucose::Clause Clause;
  typedef Glucose::ClauseAllocator<OutOfMemory> ClauseAllocator;
  template <class T>
  using vec = varnok::sat::mtl::Vec<T, OutOfMemory>;

  static constexpr double kClauseActivityLimit = 1e20;
  static constexpr bool kBinaryWatches = true;
  // Optional proof output and an optional incremental mode with selector
  // variables.
  static constexpr bool kProofLines = true;
  static constexpr bool kSelectorVariables = true;

  typedef varnok::sat::mtl::Option<OptionTag> Option;
  static inline OptionTables<OptionTag> options;
};

typedef Family::OutOfMemory OutOfMemoryException;

// A ring of the last `maxSize` values with their running sum.
template <class OOM>
class BoundedQueue {
  varnok::sat::mtl::Vec<uint32_t, OOM> elements;
  int first = 0;  // next write slot
  int last = 0;   // oldest entry
  uint64_t sum = 0;
  int maxSize = 0;
  int size_ = 0;

 public:
  void initSize(int n) {
    maxSize = n;
    elements.clear();
    elements.growTo(n, 0);
    first = last = size_ = 0;
    sum = 0;
  }
  void push(uint32_t x) {
    if (size_ == maxSize) {
      sum -= elements[last++];
      if (last == maxSize) last = 0;
    } else {
      size_++;
    }
    sum += x;
    elements[first++] = x;
    if (first == maxSize) first = last = 0;
  }
  // Full: the average is over maxSize values.
  bool valid() const { return size_ == maxSize; }
  uint32_t average() const { return (uint32_t)(sum / (uint64_t)size_); }
  void fastClear() {
    first = last = size_ = 0;
    sum = 0;
  }
  int size() const { return size_; }
  uint64_t total() const { return sum; }
};

}  // namespace Glucose
