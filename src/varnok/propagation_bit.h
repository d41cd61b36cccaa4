#pragma once
// Per-bit records of constraint propagation and the edge classes they point
// to. Only the layout the expression nodes need lives here; constraint
// propagation gives them their behaviour.
#include <cstdint>

#include "varnok/aig.h"

namespace varnok {

class Expression;

// A class of bits known to be equal (or complementary) to one AIG edge.
// Reference counted; a class merged into another holds a reference to it.
struct EdgeClass {
  uint32_t refCount = 0;
  // The edge every member is equal to (up to the member's negation).
  AIGEdge representative;
  // The class this one was merged into, or null.
  EdgeClass* mergedInto = nullptr;
};

// Adds one reference (null-safe).
inline EdgeClass* addRef(EdgeClass* c) {
  if (c) ++c->refCount;
  return c;
}
// Drops one reference; a class whose count reaches zero releases its
// representative edge and its reference to the class it was merged into, and
// so on, iteratively.
void releaseEdgeClass(EdgeClass* c);

// One bit of a node, as constraint propagation tracks it.
struct PropagationBit {
  // Links of the member list of its class.
  PropagationBit* next = nullptr;
  PropagationBit* previous = nullptr;
  // The node the bit belongs to; null until initialised.
  Expression* expression = nullptr;
  // Counted reference to the edge class; the lowest bit marks negation.
  uintptr_t edgeClass = 0;

  EdgeClass* getEdgeClass() const { return reinterpret_cast<EdgeClass*>(edgeClass & ~uintptr_t(1)); }
  bool isNegated() const { return (edgeClass & 1u) != 0; }
};

}  // namespace varnok
