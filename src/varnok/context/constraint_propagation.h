#pragma once
// Bit-level constraint propagation.
//
// Before bit-blasting, the engine reasons about single bits of the asserted
// formula. Every bit of an expression that takes part gets a record
// (PropagationBit); the records form equivalence classes with parity
// (EdgeClass, a union-find forest whose links carry the parity between a class
// and the class it was merged into). One class is the TRUE class: a bit in it
// with parity 0 is known true, with parity 1 known false. A run puts bit 0 of
// the asserted root into the TRUE class and applies the per-operator rules
// (constraint_propagation_rules.cpp) upward and downward, together with
// interval reasoning, until nothing changes or a contradiction shows that the
// asserted formula is unsatisfiable.
//
// Everything derived is a consequence of the asserted root alone (never of
// assumptions), and the root only grows, so classes, literals and intervals
// persist across checks and only ever get more precise. The bit-blaster gives
// every class one graph edge and ties each freshly blasted bit to the edge of
// the class its record names.
//
// Work lists instead of recursion: an up-heap (least depth first) and a
// down-heap (greatest depth first), each holding a counted reference to every
// queued expression, and the changed list of records whose class was merged
// away. Expressions registered since the last run are kept in order of serial
// id, so runs are reproducible.
#include <cstdint>
#include <utility>
#include <vector>

#include "varnok/value/bit_vector_interval.h"
#include "varnok/node/expression.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/propagation_bit.h"

namespace varnok {

class AIG;

class ConstraintPropagation : public ExpressionAddRemoveListener {
 public:
  // A tagged pointer to an EdgeClass; bit 0 is the negation (the bit equals
  // the class's value XOR this bit). 0 stands for no literal at all.
  using Literal = uintptr_t;

  struct Statistics {
    uint64_t runs = 0;
    uint64_t conflicts = 0;
    uint64_t merges = 0;           // merges that joined two classes
    uint64_t upCalls = 0;          // upward rule applications
    uint64_t downCalls = 0;        // downward rule applications
    uint64_t intervalChanges = 0;  // intervals narrowed
    uint64_t drainedRecords = 0;   // records taken from the changed list
  };

  // Registers with the manager for its whole life. `aig` may be null when no
  // graph is attached (the classes then never get edges).
  ConstraintPropagation(ExpressionManager* manager, AIG* aig);
  ~ConstraintPropagation() override;
  ConstraintPropagation(const ConstraintPropagation&) = delete;
  ConstraintPropagation& operator=(const ConstraintPropagation&) = delete;

  // ---- listener -------------------------------------------------------------
  void expressionAdded(Expression* e) override;
  void expressionRemoved(Expression* e) override;

  // ---- switch and run -------------------------------------------------------
  bool isEnabled() const { return enabled; }
  void setEnabled(bool on) { enabled = on; }
  // One run over everything registered since the last run and the asserted
  // root. False means the asserted formula is unsatisfiable.
  bool propagate();
  void conflict() { ok = false; }
  bool isOk() const { return ok; }

  // ---- queues ---------------------------------------------------------------
  void queueUp(Expression* e);
  void queueDown(Expression* e);
  // Interval bits of e, then every user of e upward, then e downward.
  void bitsChanged(Expression* e);
  // Hands every record of the changed list to bitsChanged of its expression
  // and puts it back into its class; true when the list was not empty.
  bool drainChanged();

  // ---- bits -----------------------------------------------------------------
  // Creates e's records (each bit in a singleton class) unless it has them.
  void createPropagationBits(Expression* e);
  // Bit i of e equals l (nothing when l is no literal; a conflict when bit i
  // is already known to be the complement of l).
  void mergeBit(Expression* e, uint32_t i, Literal l);
  // The canonical literal of bit i of e (records created when missing).
  Literal getBitLiteral(Expression* e, uint32_t i);
  // Bits implied by e's interval.
  void propagateIntervalBits(Expression* e);
  // Narrows e's interval to its intersection with `bound`: an empty result
  // is a conflict, a changed one is handed to bitsChanged.
  void propagateComparison(Expression* e, const BitVectorInterval& bound);

  // ---- classes and literals -------------------------------------------------
  Literal getTrueLiteral() const { return trueLiteral; }
  Literal getFalseLiteral() const { return falseLiteral; }
  EdgeClass* getTrueClass() const { return trueClass; }
  static EdgeClass* classOf(Literal l) { return reinterpret_cast<EdgeClass*>(l & ~Literal(1)); }
  static bool parityOf(Literal l) { return (l & 1u) != 0; }
  static Literal makeLiteral(EdgeClass* c, bool parity) { return reinterpret_cast<Literal>(c) | (parity ? 1u : 0u); }
  static Literal negate(Literal l) { return l ? (l ^ 1u) : 0; }
  // The root of c with the parity of the path; compresses the path and moves
  // the members of every class passed to the changed list.
  Literal find(EdgeClass* c);
  // Replaces the literal in `slot` by its canonical form; false (slot
  // untouched) when it already was. With `counted` the slot's reference moves
  // to the new class.
  bool resolve(Literal& slot, bool counted);

  // Known value of bit i of e: 1 true, -1 false, 0 unknown or no records.
  // Makes the bit's literal canonical; creates nothing.
  int getKnownBit(Expression* e, uint32_t i);
  // Whether bits i of a and j of b are known equal (1), known complementary
  // (-1) or neither (0); creates nothing.
  int relateBits(Expression* a, uint32_t i, Expression* b, uint32_t j);

  const Statistics& getStatistics() const { return statistics; }
  // Number of expressions waiting on the up-heap / the down-heap (for tests).
  size_t getUpHeapSize() const { return upHeap.size(); }
  size_t getDownHeapSize() const { return downHeap.size(); }

 private:
  void linkFront(PropagationBit* list, PropagationBit* record);
  void spliceMembersToChanged(EdgeClass* c);
  void pushHeap(std::vector<Expression*>& heap, Expression* e, bool minHeap);
  Expression* popHeap(std::vector<Expression*>& heap, bool minHeap);
  void releaseHeap(std::vector<Expression*>& heap, uint8_t flag);
  void contradictionCleanup();
  void unlinkRecords(Expression* e);

  bool enabled;
  ExpressionManager* manager;
  AIG* aig;
  // Sentinel of the circular changed list.
  PropagationBit changedHead;
  EdgeClass* trueClass;
  Literal trueLiteral;
  Literal falseLiteral;
  bool ok;
  std::vector<Expression*> upHeap;    // counted; min-heap on depth
  std::vector<Expression*> downHeap;  // counted; max-heap on depth
  // Expressions registered since the last run, ascending serial id; removed
  // ones are nulled (pendingHoles counts them) and squeezed out now and then.
  std::vector<std::pair<uint32_t, Expression*>> pending;
  size_t pendingHoles;
  // The expression whose interval bits are being derived (the merges made
  // there report back through bitsChanged; the loop already covers them).
  Expression* intervalBitsOf;
  Statistics statistics;
};

// The per-operator rules, dispatched by kind (constraint_propagation_rules.cpp).
// Upward: derive the expression's bits from its operands'. Downward: derive
// the operands' bits from the expression's. Kinds without a rule do nothing.
void propagateUpRule(Expression* e, ConstraintPropagation& engine);
void propagateDownRule(Expression* e, ConstraintPropagation& engine);

}  // namespace varnok
