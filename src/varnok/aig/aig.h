#pragma once
// And-inverter graph: two-input conjunction nodes and input nodes joined by
// edges that may carry a complement. Structurally equal conjunctions are one
// node (hash table), and makeAnd simplifies two levels deep before it hashes.
// The graph also encodes itself lazily into clauses for a SAT back end and
// reads model values back (including module outputs recomputed from inputs):
// the graph and its hashing are in aig.cpp, encoding, solving and model
// read-back in aig_sat.cpp.
#include <cstdint>
#include <deque>
#include <vector>

#include "sat/module_callback.h"

namespace varnok {

namespace sat {
class Solver;
}

class AIG;
struct AIGNode;

// Counted pointer to an AIG node; bit 0 of the word is the complement. The
// null edge (word 0) stands for no edge. Copying adds a reference, destroying
// or overwriting releases one; moving transfers it.
class AIGEdge {
 public:
  AIGEdge() noexcept : word_(0) {}
  // Takes a new reference on `node`.
  AIGEdge(AIGNode* node, bool complemented) noexcept;
  AIGEdge(const AIGEdge& other) noexcept : word_(other.word_) { addRef(); }
  AIGEdge(AIGEdge&& other) noexcept : word_(other.word_) { other.word_ = 0; }
  ~AIGEdge() { release(); }

  AIGEdge& operator=(const AIGEdge& other) noexcept {
    if (word_ != other.word_) {
      AIGEdge copy(other);
      swap(copy);
    }
    return *this;
  }
  AIGEdge& operator=(AIGEdge&& other) noexcept {
    if (this != &other) {
      std::uintptr_t old = word_;
      word_ = other.word_;
      other.word_ = 0;
      releaseWord(old);
    }
    return *this;
  }
  void swap(AIGEdge& other) noexcept {
    std::uintptr_t t = word_;
    word_ = other.word_;
    other.word_ = t;
  }

  // The complemented edge (same node, one more reference).
  AIGEdge operator~() const { return fromWord(word_ ^ 1u); }
  // Flips the complement bit in place.
  void complement() noexcept { word_ ^= 1u; }

  bool isNull() const noexcept { return word_ == 0; }
  bool isComplemented() const noexcept { return (word_ & 1u) != 0; }
  AIGNode* getNode() const noexcept { return reinterpret_cast<AIGNode*>(word_ & ~std::uintptr_t(3)); }
  std::uintptr_t getWord() const noexcept { return word_; }
  // True when the edge's node is a conjunction.
  inline bool isAnd() const noexcept;
  // The SAT literal of the edge: the node's literal with its sign flipped when
  // the edge is complemented; -1 while the node is not encoded.
  inline int getLiteral() const noexcept;

  // Drops the reference and becomes null.
  void reset() noexcept {
    std::uintptr_t old = word_;
    word_ = 0;
    releaseWord(old);
  }

  // Gives up the reference without releasing it; the edge becomes null. The
  // caller now owns the reference held by the returned word.
  std::uintptr_t detach() noexcept {
    std::uintptr_t w = word_;
    word_ = 0;
    return w;
  }

  bool operator==(const AIGEdge& o) const noexcept { return word_ == o.word_; }
  bool operator!=(const AIGEdge& o) const noexcept { return word_ != o.word_; }

  // An edge from a raw word, taking a new reference.
  static AIGEdge fromWord(std::uintptr_t word) noexcept {
    AIGEdge e;
    e.word_ = word;
    e.addRef();
    return e;
  }

 private:
  inline void addRef() const noexcept;
  inline void release() noexcept;
  static inline void releaseWord(std::uintptr_t word) noexcept;

  std::uintptr_t word_;
};

// A node of the graph. An input node has two null children; the constant node
// (id 0) is an input that stands for TRUE.
struct AIGNode {
  enum : std::uint8_t {
    kAssertedTrue = 1,
    kAssertedFalse = 2,
    kQueued = 4,
    kEncoded = 8,
    kModelValue = 16,
  };

  AIG* aig;
  std::uint32_t id;
  std::int32_t literal;       // 2k+1 for SAT variable k once encoded, else -1
  std::uint64_t modelStamp;   // solveCount when the model bit was computed
  std::uint32_t refCount;
  AIGEdge child0;             // operand on the node with the smaller id
  AIGEdge child1;
  AIGNode* next;              // next node of the same hash bucket
  sat::ModuleCallbackNode watchers;  // list head of module watch nodes
  std::uint8_t flags;

  AIGNode(AIG* owner, std::uint32_t nodeId)
      : aig(owner), id(nodeId), literal(-1), modelStamp(0), refCount(0), next(nullptr), flags(0) {}
  AIGNode(const AIGNode&) = delete;
  AIGNode& operator=(const AIGNode&) = delete;

  bool isAnd() const noexcept { return !child0.isNull(); }
  bool isEncoded() const noexcept { return (flags & kEncoded) != 0; }
  bool hasWatchers() const noexcept { return watchers.next != &watchers; }
};

class AIG {
 public:
  AIG();
  ~AIG();
  AIG(const AIG&) = delete;
  AIG& operator=(const AIG&) = delete;

  const AIGEdge& getTrue() const noexcept { return trueEdge; }
  const AIGEdge& getFalse() const noexcept { return falseEdge; }

  // A fresh input node's positive edge.
  AIGEdge makeInput();
  // The simplified, hash-consed conjunction of `a` and `b` (both non-null).
  AIGEdge makeAnd(AIGEdge a, AIGEdge b);
  AIGEdge makeOr(const AIGEdge& a, const AIGEdge& b);
  AIGEdge makeXor(const AIGEdge& a, const AIGEdge& b);
  AIGEdge makeIte(const AIGEdge& c, const AIGEdge& t, const AIGEdge& e);

  // Drops one reference; the node dies (with what dies along) at zero.
  void releaseNode(AIGNode* node) noexcept {
    if (--node->refCount == 0) deleteNode(node);
  }
  void deleteNode(AIGNode* node) noexcept;

  // ----- encoding and solving -----
  // Stores the back end (not owned) and asserts the TRUE edge.
  void setSatSolver(sat::Solver* solver);
  sat::Solver* getSatSolver() const noexcept { return satSolver; }
  // Makes `e` permanently true (conjunctions are split into their conjuncts).
  void assertTrue(AIGEdge e);
  // How many times assertTrue was called: a change tells that the last model
  // may not satisfy what has been asserted since.
  std::uint64_t getAssertionCount() const noexcept { return assertionCount; }
  // Queues the edge's node for encoding unless it is queued or encoded.
  void enqueue(const AIGEdge& e);
  void addAssumption(const AIGEdge& e);
  void clearAssumptions();
  // 0 satisfiable, 1 unsatisfiable, 2 unknown (the back end's answer).
  int solve();
  // The value of `e` in the last model (encoded or not).
  bool getModel(const AIGEdge& e);
  // Encodes the unencoded cone of `node`.
  void encode(AIGNode* node);

  // ----- holding a model -----
  // While held, every solve also assumes each input bit that exists when
  // holdModel is called at the value it has in the model current then (an
  // input not encoded yet reads false, and is assumed false once a later
  // solve encodes it). Such a solve can only extend that model: what it
  // finds agrees with every value read before. Module outputs are not held;
  // their inputs are.
  void holdModel();
  void releaseModel();
  // Literals the held solves assume besides the assumptions (filled by the
  // first held solve).
  std::size_t getHeldLiteralCount() const noexcept { return heldLiterals.size(); }

  // Module hook-up: see the watch node protocol of module expressions.
  void attachModule(const AIGEdge& outputBit, sat::ModuleCallbackNode* watchNode);
  void queueModule(sat::ModuleCallbackNode* watchNode);

  // ----- statistics -----
  std::uint32_t getNodeCount() const noexcept { return nodeCount; }   // AND nodes
  std::uint32_t getBucketCount() const noexcept;
  std::uint64_t getNextNodeId() const noexcept { return nextNodeId; }
  std::uint32_t getNextSatVar() const noexcept { return nextSatVar; }
  bool hasContradiction() const noexcept { return contradiction != 0; }
  std::size_t getAssumptionCount() const noexcept { return assumptions.size(); }

 private:
  AIGEdge hashLookupOrCreate(AIGEdge a, AIGEdge b);
  std::uint64_t bucketOf(const AIGEdge& c0, const AIGEdge& c1, std::uint64_t bucketCount) const noexcept;
  void growTable();
  void assertNode(AIGNode* node, bool positive, std::vector<AIGNode*>& stack);
  void enqueueNode(AIGNode* node);
  void addUnit(int literal);
  bool isCurrent(const AIGNode* node) const noexcept;
  bool edgeValue(const AIGEdge& e) const;
 public:
  // Used by the module read-back: stores a computed model bit on an
  // unencoded node.
  void setModelBit(AIGNode* node, bool bit) noexcept;

 private:
  // The module side of the graph (defined with the expression encoders in
  // blast/bit_blaster_encode.cpp, as they need the module expression classes):
  // hands the watch node's module to the solver (attachToSolver);
  void moduleAttach(sat::ModuleCallbackNode* watchNode);
  // stores the SAT literal of the watched bit in the module (updateLiteral);
  void moduleUpdateLiteral(sat::ModuleCallbackNode* watchNode);
  // the edge of the bit the watch node stands for (getWatchedEdge);
  AIGEdge moduleWatchedEdge(sat::ModuleCallbackNode* watchNode);
  // model bits of the module's outputs computed from its inputs; when some
  // input bit is not current yet, its node is pushed on `stack` instead.
  void evaluateModule(ModuleCallbacks* module, std::vector<AIGNode*>& stack);

  std::uint64_t nextNodeId;
  std::uint32_t nextSatVar;
  std::uint32_t solveCount;
  std::uint64_t assertionCount;
  AIGEdge trueEdge;
  AIGEdge falseEdge;
  std::deque<AIGNode*> encodeQueue;
  std::deque<AIGNode*> encodedRoots;
  std::deque<AIGEdge> assumptions;
  std::uint8_t contradiction;
  sat::ModuleCallbackNode pendingModules;
  std::uint32_t nodeCount;
  std::uint32_t primeIndex;
  AIGNode** buckets;
  sat::Solver* satSolver;

  std::vector<int> clauseBuffer;
  // The literal of every encoded input node but the constant, in encoding
  // order (the literal outlives its node: the SAT variable stays).
  std::vector<int> inputLiterals;
  bool modelHeld = false;
  bool heldInputsTaken = false;
  std::uint64_t heldIdLimit = 0;  // nodes with smaller ids existed at holdModel
  std::vector<int> heldLiterals;
  std::vector<AIGNode*> deleteStack;
  // Set by the destructor: the bucket array is about to be freed, so dying
  // nodes are not unlinked from their chains (the walk to a node's chain
  // predecessor is most of the cost of freeing a large graph).
  bool tearingDown = false;
};

inline AIGEdge::AIGEdge(AIGNode* node, bool complemented) noexcept
    : word_(reinterpret_cast<std::uintptr_t>(node) | (complemented ? 1u : 0u)) {
  addRef();
}

inline void AIGEdge::addRef() const noexcept {
  if (word_ != 0) ++getNode()->refCount;
}

inline void AIGEdge::releaseWord(std::uintptr_t word) noexcept {
  if (word != 0) {
    AIGNode* n = reinterpret_cast<AIGNode*>(word & ~std::uintptr_t(3));
    n->aig->releaseNode(n);
  }
}

inline void AIGEdge::release() noexcept { releaseWord(word_); }

inline bool AIGEdge::isAnd() const noexcept { return word_ != 0 && getNode()->isAnd(); }

inline int AIGEdge::getLiteral() const noexcept {
  const AIGNode* n = getNode();
  if (n->literal < 0) return -1;
  return n->literal ^ static_cast<int>(word_ & 1u);
}

}  // namespace varnok
