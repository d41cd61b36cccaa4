#include "varnok/aig/aig.h"

#include <cstring>

#include "util/internal_error.h"

namespace varnok {

namespace {

// Bucket counts: primes, roughly doubling.
const std::uint32_t kPrimes[] = {101,      211,      431,      863,       1733,      3467,
                                 6947,     13901,    27803,    55609,     111227,    222461,
                                 444929,   889871,   1779761,  3559537,   7119103,   14238221,
                                 28476473, 56952947, 113905901, 227811809, 455623621};
const std::uint32_t kPrimeCount = sizeof(kPrimes) / sizeof(kPrimes[0]);

inline std::uintptr_t neg(std::uintptr_t w) { return w ^ 1u; }
inline AIGNode* nodeOf(std::uintptr_t w) { return reinterpret_cast<AIGNode*>(w & ~std::uintptr_t(3)); }
inline bool isComp(std::uintptr_t w) { return (w & 1u) != 0; }

}  // namespace

AIG::AIG()
    : nextNodeId(0),
      nextSatVar(0),
      solveCount(0),
      assertionCount(0),
      contradiction(0),
      nodeCount(0),
      primeIndex(0),
      buckets(nullptr),
      satSolver(nullptr) {
  buckets = new AIGNode*[kPrimes[0]]();
  trueEdge = makeInput();
  falseEdge = ~trueEdge;
}

AIG::~AIG() {
  // Nothing looks anything up from here on; see deleteNode.
  tearingDown = true;
  clearAssumptions();
  while (!encodedRoots.empty()) {
    AIGNode* n = encodedRoots.front();
    encodedRoots.pop_front();
    releaseNode(n);
  }
  while (!encodeQueue.empty()) {
    AIGNode* n = encodeQueue.front();
    encodeQueue.pop_front();
    releaseNode(n);
  }
  trueEdge.reset();
  falseEdge.reset();
  delete[] buckets;
}

std::uint32_t AIG::getBucketCount() const noexcept { return kPrimes[primeIndex]; }

AIGEdge AIG::makeInput() {
  AIGNode* n = new AIGNode(this, static_cast<std::uint32_t>(nextNodeId++));
  return AIGEdge(n, false);
}

AIGEdge AIG::makeOr(const AIGEdge& a, const AIGEdge& b) {
  AIGEdge r = makeAnd(~a, ~b);
  r.complement();
  return r;
}

AIGEdge AIG::makeXor(const AIGEdge& a, const AIGEdge& b) {
  AIGEdge x = makeAnd(a, ~b);
  AIGEdge y = makeAnd(b, ~a);
  return makeOr(x, y);
}

AIGEdge AIG::makeIte(const AIGEdge& c, const AIGEdge& t, const AIGEdge& e) {
  AIGEdge x = makeAnd(c, t);
  AIGEdge y = makeAnd(~c, e);
  return makeOr(x, y);
}

namespace {

// The operands of the AND node behind an edge word, as words; both zero when
// the node is an input. The edge's own complement bit plays no part.
struct AndOperands {
  std::uintptr_t w[2];

  explicit AndOperands(std::uintptr_t edge) {
    const AIGNode* n = nodeOf(edge);
    const bool isAnd = n->isAnd();
    w[0] = isAnd ? n->child0.getWord() : 0;
    w[1] = isAnd ? n->child1.getWord() : 0;
  }
  bool isAnd() const { return w[0] != 0; }
  // The node is an AND and one of its operands is the word x.
  bool has(std::uintptr_t x) const { return isAnd() && (w[0] == x || w[1] == x); }
};

// Both are ANDs and some operand of x is the complement of some operand of y.
inline bool anyComplementary(const AndOperands& x, const AndOperands& y) {
  return x.isAnd() && y.isAnd() &&
         (x.w[0] == neg(y.w[0]) || x.w[0] == neg(y.w[1]) || x.w[1] == neg(y.w[0]) || x.w[1] == neg(y.w[1]));
}

// Substitution: beside p, the negated AND ¬(n0 ∧ n1) with n1 (then n0) equal to
// p is ¬n0 (¬n1). The new operand word, or 0 when neither is p.
inline std::uintptr_t substituted(const AndOperands& n, std::uintptr_t p) {
  if (!n.isAnd()) return 0;
  if (n.w[1] == p) return neg(n.w[0]);
  if (n.w[0] == p) return neg(n.w[1]);
  return 0;
}

// Substitution across: the same with n1 (then n0) an operand of the AND p.
inline std::uintptr_t substitutedAcross(const AndOperands& n, const AndOperands& p) {
  if (!n.isAnd() || !p.isAnd()) return 0;
  if (p.has(n.w[1])) return neg(n.w[0]);
  if (p.has(n.w[0])) return neg(n.w[1]);
  return 0;
}

// Resolution: of ¬(s ∧ t) and ¬(s ∧ ¬t), both ANDs, the shared operand s,
// looked for as (x0, y0), (x0, y1), (x1, y0), (x1, y1); 0 when there is none.
inline std::uintptr_t resolvent(const AndOperands& x, const AndOperands& y) {
  if (!x.isAnd() || !y.isAnd()) return 0;
  if (x.w[0] == y.w[0] && x.w[1] == neg(y.w[1])) return x.w[0];
  if (x.w[0] == y.w[1] && x.w[1] == neg(y.w[0])) return x.w[0];
  if (x.w[1] == y.w[0] && x.w[0] == neg(y.w[1])) return x.w[1];
  if (x.w[1] == y.w[1] && x.w[0] == neg(y.w[0])) return x.w[1];
  return 0;
}

}  // namespace

// The rule cascade works on raw edge words (no reference traffic); only the
// result and the operand replacements take references. Each rule is one
// step; x and y are the two operands in either order (a rule written for x
// tries A as x first, then B), x0 and x1 the operands of x's node when it is
// an AND. The rules that follow the trivial cases depend on which operands
// are complemented.
AIGEdge AIG::makeAnd(AIGEdge A, AIGEdge B) {
  const std::uintptr_t T = trueEdge.getWord();
  const std::uintptr_t F = falseEdge.getWord();
  AIGEdge* const op[2] = {&A, &B};
  // Replaces operand i by the word r unless r is 0; says whether it did.
  auto replaced = [&op](int i, std::uintptr_t r) {
    if (r == 0) return false;
    *op[i] = AIGEdge::fromWord(r);
    return true;
  };
  for (;;) {
    const std::uintptr_t x[2] = {A.getWord(), B.getWord()};
    // x ∧ x → x;  FALSE ∧ y → FALSE;  x ∧ ¬x → FALSE;  TRUE ∧ y → y
    if (x[0] == x[1]) return A;
    if (x[0] == F || x[1] == F) return falseEdge;
    if (x[1] == neg(x[0])) return falseEdge;
    if (x[0] == T) return B;
    if (x[1] == T) return A;

    const AndOperands k[2] = {AndOperands(x[0]), AndOperands(x[1])};
    const bool comp[2] = {isComp(x[0]), isComp(x[1])};

    if (!comp[0] && !comp[1]) {
      // Both positive.
      // Contradiction: (x0 ∧ x1) ∧ ¬xk → FALSE
      if (k[0].has(neg(x[1])) || k[1].has(neg(x[0]))) return falseEdge;
      // Contradiction across: (x0 ∧ x1) ∧ (y0 ∧ y1) with xk = ¬yl → FALSE
      if (anyComplementary(k[0], k[1])) return falseEdge;
      // Idempotence: (x0 ∧ x1) ∧ xk → x
      if (k[0].has(x[1])) return A;
      if (k[1].has(x[0])) return B;
      return hashLookupOrCreate(std::move(A), std::move(B));
    }

    if (comp[0] != comp[1]) {
      // One positive operand p, one complemented operand n.
      const int p = comp[0] ? 1 : 0;
      const int n = 1 - p;
      const std::uintptr_t xp = x[p], xn = x[n];
      const AndOperands kp = k[p], kn = k[n];
      // Contradiction: (p0 ∧ p1) ∧ n with pk = ¬n → FALSE
      if (kp.has(neg(xn))) return falseEdge;
      // Subsumption: p ∧ ¬(n0 ∧ n1) with nk = ¬p → p
      if (kn.has(neg(xp))) return std::move(*op[p]);
      // Subsumption across: (p0 ∧ p1) ∧ ¬(n0 ∧ n1) with pk = ¬nl → p
      if (anyComplementary(kp, kn)) return std::move(*op[p]);
      // Idempotence: (p0 ∧ p1) ∧ n with pk = n → p
      if (kp.has(xn)) return std::move(*op[p]);
      // Substitution: p ∧ ¬(n0 ∧ n1) with n1 (then n0) = p → p ∧ ¬n0 (¬n1)
      if (replaced(n, substituted(kn, xp))) continue;
      // Substitution across: the same with n1 (then n0) an operand of p
      if (replaced(n, substitutedAcross(kn, kp))) continue;
      return hashLookupOrCreate(std::move(A), std::move(B));
    }

    // Both complemented.
    // Subsumption: ¬(x0 ∧ x1) ∧ y with xk = ¬y → y
    if (k[0].has(neg(x[1]))) return B;
    if (k[1].has(neg(x[0]))) return A;
    // Resolution: ¬(s ∧ t) ∧ ¬(s ∧ ¬t) → ¬s, s looked for as (a0, b0), (a0, b1),
    // (a1, b0), (a1, b1)
    if (std::uintptr_t s = resolvent(k[0], k[1])) return AIGEdge::fromWord(neg(s));
    // Substitution: ¬(x0 ∧ x1) ∧ y with x1 (then x0) = y → ¬x0 (¬x1) ∧ y
    if (replaced(0, substituted(k[0], x[1])) || replaced(1, substituted(k[1], x[0]))) continue;
    return hashLookupOrCreate(std::move(A), std::move(B));
  }
}

std::uint64_t AIG::bucketOf(const AIGEdge& c0, const AIGEdge& c1, std::uint64_t bucketCount) const noexcept {
  const std::uint64_t t0 =
      static_cast<std::uint32_t>(2u * c0.getNode()->id) | static_cast<std::uint64_t>(c0.getWord() & 3u);
  const std::uint64_t t1 =
      static_cast<std::uint32_t>(2u * c1.getNode()->id) | static_cast<std::uint64_t>(c1.getWord() & 3u);
  const std::uint64_t v = (t0 + 517081u) ^ 0x1F01u;
  const std::uint64_t h = v ^ (t1 + 7129u + (v << 6) + (v >> 2));
  return h % bucketCount;
}

AIGEdge AIG::hashLookupOrCreate(AIGEdge a, AIGEdge b) {
  if (b.getNode()->id < a.getNode()->id) a.swap(b);
  const std::uintptr_t wa = a.getWord();
  const std::uintptr_t wb = b.getWord();
  std::uint64_t bucket = bucketOf(a, b, kPrimes[primeIndex]);
  for (AIGNode* n = buckets[bucket]; n != nullptr; n = n->next) {
    if (n->child0.getWord() == wa && n->child1.getWord() == wb) return AIGEdge(n, false);
  }
  if (nodeCount >= 2u * static_cast<std::uint64_t>(kPrimes[primeIndex]) && primeIndex + 1 < kPrimeCount) {
    growTable();
    bucket = bucketOf(a, b, kPrimes[primeIndex]);
  }
  AIGNode* n = new AIGNode(this, static_cast<std::uint32_t>(nextNodeId++));
  n->child0 = std::move(a);  // the node takes over the operands' references
  n->child1 = std::move(b);
  n->next = buckets[bucket];
  buckets[bucket] = n;
  ++nodeCount;
  return AIGEdge(n, false);
}

void AIG::growTable() {
  const std::uint32_t oldCount = kPrimes[primeIndex];
  const std::uint32_t newCount = kPrimes[primeIndex + 1];
  AIGNode** fresh = new AIGNode*[newCount]();
  for (std::uint32_t i = 0; i < oldCount; ++i) {
    AIGNode* n = buckets[i];
    while (n != nullptr) {
      AIGNode* next = n->next;
      std::uint64_t b = bucketOf(n->child0, n->child1, newCount);
      n->next = fresh[b];
      fresh[b] = n;
      n = next;
    }
  }
  delete[] buckets;
  buckets = fresh;
  ++primeIndex;
}

void AIG::deleteNode(AIGNode* node) noexcept {
  // Nothing else runs while nodes are deleted, so one scratch stack serves.
  std::vector<AIGNode*>& stack = deleteStack;
  stack.clear();
  stack.push_back(node);
  while (!stack.empty()) {
    AIGNode* n = stack.back();
    stack.pop_back();
    if (n->isAnd()) {
      if (!tearingDown) {
        std::uint64_t b = bucketOf(n->child0, n->child1, kPrimes[primeIndex]);
        AIGNode** link = &buckets[b];
        while (*link != n) link = &(*link)->next;
        *link = n->next;
      }
      --nodeCount;
      AIGNode* c0 = nodeOf(n->child0.detach());
      AIGNode* c1 = nodeOf(n->child1.detach());
      if (--c0->refCount == 0) stack.push_back(c0);
      if (--c1->refCount == 0) stack.push_back(c1);
    }
    delete n;
  }
}

}  // namespace varnok
