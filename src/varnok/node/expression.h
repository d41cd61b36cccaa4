#pragma once
// Formula nodes.
//
// Every formula is a directed acyclic graph of Expression nodes owned by one
// ExpressionManager. Structurally equal nodes are shared (hash-consing), every
// node is reference counted intrusively, knows its users through doubly linked
// user lists threaded through the users themselves, and may forward to a
// representative once variable substitution has replaced it. Nodes also carry
// the slots later phases fill: the and-inverter-graph edges of their bits, the
// per-bit records of constraint propagation and an interval of possible
// values.
//
// Lifetime rules:
// - A freshly constructed node holds no references and belongs to no manager;
//   it becomes live only through ExpressionManager::findOrInsert or
//   ExpressionManager::registerExpression.
// - A live node is kept alive by counted references (ExpressionRef handles,
//   its users, nodes forwarding to it, the asserted root, the assumption queue)
//   and is deleted iteratively, never recursively, when the count reaches zero.
// - When the manager is destroyed while handles still hold nodes, those nodes
//   are detached from it ("orphaned"): they drop their AIG edges and
//   propagation records at that moment (the AIG outlives the manager) and are
//   freed, together with whatever only they keep alive, when their last handle
//   goes. Releasing such a handle touches neither the manager nor the AIG.
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "varnok/value/bit_vector.h"
#include "varnok/value/bit_vector_interval.h"

namespace varnok {

class Expression;
class ExpressionManager;
class AIG;
class AIGEdge;
struct PropagationBit;

// Kind code of every concrete operator class (the value of getKind).
enum ExpressionKind : uint32_t {
  KIND_VARIABLE = 0,
  KIND_CONSTANT = 1,
  KIND_EQUAL = 2,
  KIND_NOT = 3,
  KIND_ITE = 4,
  KIND_AND = 5,
  KIND_CONCAT = 6,
  KIND_EXTRACT = 7,
  KIND_NEG = 8,
  KIND_ADD = 9,
  KIND_MUL = 10,
  KIND_DIV = 11,
  KIND_UREM = 12,
  KIND_SHL = 13,
  KIND_LSHR = 14,
  KIND_ASHR = 15,
  KIND_ULT = 16,
  KIND_SLT = 17,
  KIND_UINT_TO_FLOAT = 18,
  KIND_SINT_TO_FLOAT = 19,
  KIND_FLOAT_TO_UINT = 20,
  KIND_FLOAT_TO_SINT = 21,
  KIND_FLOAT_TO_FLOAT = 22,
  KIND_FLOAT_ADD = 23,
  KIND_FLOAT_MUL = 24,
  KIND_FLOAT_DIV = 25,
  KIND_ARRAY_VARIABLE = 26,
  KIND_ARRAY_READ = 27,
  KIND_ARRAY_WRITE = 28,
  KIND_ARRAY_ITE = 29,
  KIND_ARRAY_EQUAL = 30,
  KIND_EXP_MODULE = 31,
  KIND_LOG_MODULE = 32,
  KIND_SIN_MODULE = 33,
  KIND_COS_MODULE = 34,
  NUM_EXPRESSION_KINDS = 35
};

// Hash combination shared by every class: h ^= x + (h << 6) + (h >> 2) + 7129.
inline uint64_t hashCombine(uint64_t h, uint64_t x) { return h ^ (x + (h << 6) + (h >> 2) + 7129u); }
// Salt step: h ^= (h << 6) + (h >> 2) + salt.
inline uint64_t hashSalt(uint64_t h, uint64_t salt) { return h ^ ((h << 6) + (h >> 2) + salt); }

// Counted handle to a node. Copying adds a reference, destruction and reset
// release one; assigning another node adds a reference to it before the old
// one is released (assigning the node already held does nothing). Moving
// transfers the reference and leaves the source null. Null reports failure.
class ExpressionRef {
 public:
  ExpressionRef() noexcept : node_(nullptr) {}
  // Takes a new reference on `node` (null-safe).
  explicit ExpressionRef(Expression* node) noexcept;
  ExpressionRef(const ExpressionRef& other) noexcept;
  ExpressionRef(ExpressionRef&& other) noexcept : node_(other.node_) { other.node_ = nullptr; }
  ~ExpressionRef();

  ExpressionRef& operator=(const ExpressionRef& other) noexcept { return *this = other.node_; }
  ExpressionRef& operator=(ExpressionRef&& other) noexcept;
  // Holds `node` (adding a reference) and releases the old node.
  ExpressionRef& operator=(Expression* node) noexcept;

  // A handle that takes over a reference the caller already owns.
  static ExpressionRef adopt(Expression* node) noexcept {
    ExpressionRef r;
    r.node_ = node;
    return r;
  }
  // Gives up the reference without releasing it; the handle becomes null.
  Expression* detach() noexcept {
    Expression* n = node_;
    node_ = nullptr;
    return n;
  }
  // Releases the node and becomes null.
  void reset() noexcept;
  void reset(Expression* node) noexcept { *this = node; }
  void swap(ExpressionRef& other) noexcept {
    Expression* t = node_;
    node_ = other.node_;
    other.node_ = t;
  }

  Expression* get() const noexcept { return node_; }
  Expression* operator->() const noexcept { return node_; }
  Expression& operator*() const noexcept { return *node_; }
  explicit operator bool() const noexcept { return node_ != nullptr; }
  bool isNull() const noexcept { return node_ == nullptr; }

  bool operator==(const ExpressionRef& o) const noexcept { return node_ == o.node_; }
  bool operator!=(const ExpressionRef& o) const noexcept { return node_ != o.node_; }
  bool operator==(const Expression* o) const noexcept { return node_ == o; }
  bool operator!=(const Expression* o) const noexcept { return node_ != o; }

 private:
  Expression* node_;
};

class Expression {
 public:
  // Flag bits. Bits 0-1 hold the arity.
  static constexpr uint8_t ARITY_MASK = 3;
  static constexpr uint8_t FLAG_ASSERTED = 4;
  static constexpr uint8_t FLAG_ASSUMED = 8;
  static constexpr uint8_t FLAG_BIT_BLASTED = 16;
  static constexpr uint8_t FLAG_QUEUED_UP = 32;
  static constexpr uint8_t FLAG_QUEUED_DOWN = 64;
  // Set on nodes that outlived their manager (see the file comment).
  static constexpr uint8_t FLAG_ORPHANED = 128;

  // One entry of a user list: the user node and the operand slot in which it
  // uses the listed node. Packed into one word (the slot lives in the low two
  // bits of the node address).
  class UserEntry {
   public:
    UserEntry() noexcept : word_(0) {}
    UserEntry(Expression* node, uint32_t slot) noexcept
        : word_(reinterpret_cast<uintptr_t>(node) | static_cast<uintptr_t>(slot)) {}
    Expression* node() const noexcept { return reinterpret_cast<Expression*>(word_ & ~uintptr_t(3)); }
    uint32_t slot() const noexcept { return static_cast<uint32_t>(word_ & 3u); }
    bool isNull() const noexcept { return word_ == 0; }
    explicit operator bool() const noexcept { return word_ != 0; }
    bool operator==(const UserEntry& o) const noexcept { return word_ == o.word_; }
    bool operator!=(const UserEntry& o) const noexcept { return word_ != o.word_; }

   private:
    uintptr_t word_;
  };

  Expression(const Expression&) = delete;
  Expression& operator=(const Expression&) = delete;

  // ---- virtual operations -------------------------------------------------
  // Structural equality: same kind, same arity, the same child in every slot;
  // classes with extra fields compare them too.
  virtual bool isEqual(const Expression* other) const;
  // Structural hash: (width + 517081) ^ 0x1F01, then the kind, then the serial
  // id of every child; classes with extra fields continue from there.
  virtual uint64_t hash() const;
  // Releases the owned slots (bit edges, propagation records, interval). It
  // releases neither children nor representative.
  virtual ~Expression();
  virtual uint32_t getKind() const = 0;
  // Makes the node forward to `r` (see the definition for the details).
  virtual void setRepresentative(Expression* r);
  // Run once by registration: stores manager and id, links the node into its
  // children's user lists and references the children.
  virtual void attach(ExpressionManager* manager, uint32_t id);
  // Writes the node's bit edges (the bit-blaster has sized the vector).
  virtual void encode(AIG& aig) = 0;
  // Writes the operator text.
  virtual void printOperator(std::ostream& out) const = 0;
  virtual bool isArray() const { return false; }
  // Constant tests: true only for constant nodes with that value.
  virtual bool isAllOnes() const { return false; }
  virtual bool isZero() const { return false; }
  virtual bool isOne() const { return false; }
  virtual bool isPowerOfTwo(uint32_t& exponent) const {
    (void)exponent;
    return false;
  }
  virtual bool isSignedMin() const { return false; }
  virtual bool isSignedMax() const { return false; }
  // The class's make function applied to the representatives of the children
  // (leaves answer themselves).
  virtual ExpressionRef rebuild(ExpressionManager& manager) = 0;
  // Constraint propagation hooks; nothing by default.
  virtual void propagateUp() {}
  virtual void propagateDown() {}
  // The node's value in the current model; false when it was never
  // bit-blasted (out untouched then).
  virtual bool getModelValue(BitVector& out) const;
  // Bit `bit` of the node's model value; false when it was never bit-blasted.
  virtual bool getModelBit(uint32_t bit) const;

  // ---- fields -------------------------------------------------------------
  uint32_t getRefCount() const { return refCount_; }
  // The representative link itself (null while the node stands for itself);
  // see varnok::getRepresentative for the compressed lookup.
  Expression* getRepresentativeLink() const { return representative_; }
  bool isForwarding() const { return representative_ != nullptr; }
  uint32_t getArity() const { return flags_ & ARITY_MASK; }
  Expression* getChild(uint32_t k) const { return children_[k]; }
  Expression* getChild0() const { return children_[0]; }
  Expression* getChild1() const { return children_[1]; }
  Expression* getChild2() const { return children_[2]; }
  uint32_t getDepth() const { return depth_; }
  ExpressionManager* getManager() const { return manager_; }
  uint32_t getId() const { return id_; }
  uint32_t getWidth() const { return width_; }

  bool hasFlag(uint8_t flag) const { return (flags_ & flag) != 0; }
  void setFlag(uint8_t flag) { flags_ = static_cast<uint8_t>(flags_ | flag); }
  void clearFlag(uint8_t flag) { flags_ = static_cast<uint8_t>(flags_ & ~flag); }
  bool isAsserted() const { return hasFlag(FLAG_ASSERTED); }
  bool isAssumed() const { return hasFlag(FLAG_ASSUMED); }
  bool isBitBlasted() const { return hasFlag(FLAG_BIT_BLASTED); }
  bool isOrphaned() const { return hasFlag(FLAG_ORPHANED); }

  // Bit edges: owned vector, one edge per bit, null until the bit-blaster
  // creates it. setBitEdges takes ownership (the old vector is freed).
  std::vector<AIGEdge>* getBitEdges() const { return bitEdges_; }
  void setBitEdges(std::vector<AIGEdge>* edges);
  // Propagation records: owned vector, null until constraint propagation
  // creates it. setPropagationBits takes ownership (the old vector is freed
  // as the destructor would free it).
  std::vector<PropagationBit>* getPropagationBits() const { return propagationBits_; }
  void setPropagationBits(std::vector<PropagationBit>* bits);

  BitVectorInterval& getInterval() { return interval_; }
  const BitVectorInterval& getInterval() const { return interval_; }

  // ---- user lists ---------------------------------------------------------
  // Head and tail of the list of (user, slot) entries that have this node as
  // an operand.
  UserEntry getFirstUser() const { return firstUser_; }
  UserEntry getLastUser() const { return lastUser_; }
  // The entry after / before `entry` in the list it belongs to.
  static UserEntry nextUser(UserEntry entry) { return entry.node()->nextUser_[entry.slot()]; }
  static UserEntry previousUser(UserEntry entry) { return entry.node()->previousUser_[entry.slot()]; }
  // Number of entries in the user list (walks it).
  uint32_t countUsers() const;

  // Unlinks this node from its children's user lists (no counts change).
  void detachFromChildren();

 protected:
  // Constructors of the concrete classes: width, arity and children, then the
  // common initialisation.
  explicit Expression(uint32_t width);
  Expression(uint32_t width, Expression* child0);
  Expression(uint32_t width, Expression* child0, Expression* child1);
  Expression(uint32_t width, Expression* child0, Expression* child1, Expression* child2);

  // Common initialisation: count 0, no representative, no manager, no user
  // links, no slot vectors, flag bits 2-7 cleared (arity kept), depth from
  // the children, interval resized to the width and full.
  void initialize();

  // Releases bit edges and propagation records now (used when the node
  // outlives its manager, and by the destructor).
  void releaseSlots();

 private:
  friend class ExpressionManager;
  friend class ExpressionRef;
  friend Expression* addRef(Expression* e);
  friend void release(Expression* e);
  friend Expression* getRepresentative(Expression* e);

  uint32_t refCount_;
  Expression* representative_;
  Expression* children_[3];
  uint32_t depth_;
  UserEntry firstUser_;
  UserEntry lastUser_;
  UserEntry nextUser_[3];
  UserEntry previousUser_[3];
  ExpressionManager* manager_;
  uint32_t id_;
  uint32_t width_;
  uint8_t flags_;
  std::vector<AIGEdge>* bitEdges_;
  std::vector<PropagationBit>* propagationBits_;
  BitVectorInterval interval_;
};

// Adds one reference (null-safe) and answers e.
inline Expression* addRef(Expression* e) {
  if (e) ++e->refCount_;
  return e;
}
// Drops one reference (null-safe); at zero the node is deleted (iteratively,
// by its manager; by itself once orphaned).
void release(Expression* e);
// The root of e's representative chain, compressing the path; carries no new
// reference.
Expression* getRepresentative(Expression* e);
// The operand of e when e is a Not node, else e itself.
ExpressionRef stripNot(Expression* e);
// The and-inverter graph of the solver that owns e (null without a manager,
// or when the manager has no graph).
AIG* getAIG(const Expression* e);
// The text printOperator writes.
std::string toString(const Expression* e);

inline ExpressionRef::ExpressionRef(Expression* node) noexcept : node_(addRef(node)) {}
inline ExpressionRef::ExpressionRef(const ExpressionRef& other) noexcept : node_(addRef(other.node_)) {}
inline ExpressionRef::~ExpressionRef() { release(node_); }
inline ExpressionRef& ExpressionRef::operator=(Expression* node) noexcept {
  if (node != node_) {
    addRef(node);
    Expression* old = node_;
    node_ = node;
    release(old);
  }
  return *this;
}
inline ExpressionRef& ExpressionRef::operator=(ExpressionRef&& other) noexcept {
  if (this != &other) {
    Expression* old = node_;
    node_ = other.node_;
    other.node_ = nullptr;
    release(old);
  }
  return *this;
}
inline void ExpressionRef::reset() noexcept {
  Expression* old = node_;
  node_ = nullptr;
  release(old);
}

}  // namespace varnok
