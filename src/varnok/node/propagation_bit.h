#pragma once
// Per-bit records of constraint propagation and the edge classes they point
// to. The engine (constraint_propagation.h) gives them their behaviour.
#include <cstdint>

#include "varnok/aig/aig.h"

namespace varnok {

class Expression;
struct EdgeClass;

// One bit of a node, as constraint propagation tracks it.
struct PropagationBit {
  // Links of the circular list the record sits in (the member list of its
  // class, or the engine's changed list); null while in no list.
  PropagationBit* next = nullptr;
  PropagationBit* previous = nullptr;
  // The node the bit belongs to; null until initialised.
  Expression* expression = nullptr;
  // Counted reference to the edge class; the lowest bit marks negation (the
  // bit equals the class's value XOR this bit).
  uintptr_t edgeClass = 0;

  EdgeClass* getEdgeClass() const { return reinterpret_cast<EdgeClass*>(edgeClass & ~uintptr_t(1)); }
  bool isNegated() const { return (edgeClass & 1u) != 0; }
  // Takes the record out of the list it sits in (nothing when in none).
  void unlink() {
    if (next) {
      next->previous = previous;
      previous->next = next;
      next = previous = nullptr;
    }
  }
};

// A class of bits known to be equal (or complementary) to one AIG edge: a
// union-find node with parity. Reference counted (bit records, classes merged
// into it, the engine's TRUE class); a class merged into another holds a
// reference to it.
struct EdgeClass {
  uint32_t refCount = 0;
  // The edge every member is equal to (up to the member's negation); set by
  // the bit-blaster for the first blasted member.
  AIGEdge representative;
  // The class this one was merged into, or null.
  EdgeClass* mergedInto = nullptr;
  // 1 once merged into mergedInto.
  uint8_t forwarded = 0;
  // 1 when this class is the complement of mergedInto.
  uint8_t mergedParity = 0;
  // Number of bits merged into the class so far (1 for a fresh class); the
  // lighter class of a merge joins the heavier one.
  uint32_t weight = 1;
  // Sentinel of the circular list of records that name this class.
  PropagationBit members;

  EdgeClass() { members.next = members.previous = &members; }
  EdgeClass(const EdgeClass&) = delete;
  EdgeClass& operator=(const EdgeClass&) = delete;
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

}  // namespace varnok
