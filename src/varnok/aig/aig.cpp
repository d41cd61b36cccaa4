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

// The rule cascade works on raw edge words (no reference traffic); only the
// result and the operand replacements take references.
AIGEdge AIG::makeAnd(AIGEdge A, AIGEdge B) {
  const std::uintptr_t T = trueEdge.getWord();
  const std::uintptr_t F = falseEdge.getWord();
  for (;;) {
    const std::uintptr_t a = A.getWord();
    const std::uintptr_t b = B.getWord();
    // 1-6: trivial cases.
    if (a == b) return A;
    if (a == F || b == F) return falseEdge;
    if (b == neg(a)) return falseEdge;
    if (a == T) return B;
    if (b == T) return A;

    AIGNode* na = nodeOf(a);
    AIGNode* nb = nodeOf(b);
    const bool aAnd = na->isAnd();
    const bool bAnd = nb->isAnd();
    const std::uintptr_t a0 = aAnd ? na->child0.getWord() : 0;
    const std::uintptr_t a1 = aAnd ? na->child1.getWord() : 0;
    const std::uintptr_t b0 = bAnd ? nb->child0.getWord() : 0;
    const std::uintptr_t b1 = bAnd ? nb->child1.getWord() : 0;
    const bool ac = isComp(a);
    const bool bc = isComp(b);

    // 7: contradiction on the first operand.
    if (aAnd && !ac && (a0 == neg(b) || a1 == neg(b))) return falseEdge;

    if (!ac && !bc) {
      // 8
      if (bAnd && (b0 == neg(a) || b1 == neg(a))) return falseEdge;
      // 9
      if (aAnd && bAnd &&
          (a0 == neg(b0) || a0 == neg(b1) || a1 == neg(b0) || a1 == neg(b1)))
        return falseEdge;
      // 10
      if (aAnd && (b == a0 || b == a1)) return A;
      // 11
      if (bAnd && (b0 == a || b1 == a)) return B;
      return hashLookupOrCreate(std::move(A), std::move(B));
    }

    if (!ac && bc) {
      // 8: subsumption on the second operand.
      if (bAnd && (b0 == neg(a) || b1 == neg(a))) return A;
      // 9: subsumption across.
      if (aAnd && bAnd &&
          (a0 == neg(b0) || a1 == neg(b0) || a0 == neg(b1) || a1 == neg(b1)))
        return A;
      // 10: idempotence on the first operand.
      if (aAnd && (b == a0 || b == a1)) return A;
      // 11: substitution on the second operand.
      if (bAnd) {
        if (b1 == a) {
          B = AIGEdge::fromWord(neg(b0));
          continue;
        }
        if (b0 == a) {
          B = AIGEdge::fromWord(neg(b1));
          continue;
        }
      }
      // 12: substitution across.
      if (aAnd && bAnd) {
        if (b1 == a0 || b1 == a1) {
          B = AIGEdge::fromWord(neg(b0));
          continue;
        }
        if (b0 == a0 || b0 == a1) {
          B = AIGEdge::fromWord(neg(b1));
          continue;
        }
      }
      return hashLookupOrCreate(std::move(A), std::move(B));
    }

    if (ac && !bc) {
      // 8: contradiction on the second operand.
      if (bAnd && (b0 == neg(a) || b1 == neg(a))) return falseEdge;
      // 9: subsumption on the first operand.
      if (aAnd && (a0 == neg(b) || a1 == neg(b))) return B;
      // 10: subsumption across.
      if (aAnd && bAnd &&
          (b0 == neg(a0) || b1 == neg(a0) || b0 == neg(a1) || b1 == neg(a1)))
        return B;
      // 11: idempotence on the second operand.
      if (bAnd && (b0 == a || b1 == a)) return B;
      // 12: substitution on the first operand.
      if (aAnd) {
        if (b == a1) {
          A = AIGEdge::fromWord(neg(a0));
          continue;
        }
        if (b == a0) {
          A = AIGEdge::fromWord(neg(a1));
          continue;
        }
      }
      // 13: substitution across.
      if (aAnd && bAnd) {
        if (a1 == b0 || a1 == b1) {
          A = AIGEdge::fromWord(neg(a0));
          continue;
        }
        if (a0 == b0 || a0 == b1) {
          A = AIGEdge::fromWord(neg(a1));
          continue;
        }
      }
      return hashLookupOrCreate(std::move(A), std::move(B));
    }

    // Both complemented.
    // 8: subsumption on the first operand.
    if (aAnd && (a0 == neg(b) || a1 == neg(b))) return B;
    // 9: subsumption on the second operand.
    if (bAnd && (b0 == neg(a) || b1 == neg(a))) return A;
    // 10: resolution.
    if (aAnd && bAnd) {
      if (a0 == b0 && a1 == neg(b1)) return AIGEdge::fromWord(neg(a0));
      if (a0 == b1 && a1 == neg(b0)) return AIGEdge::fromWord(neg(a0));
      if (a1 == b0 && a0 == neg(b1)) return AIGEdge::fromWord(neg(a1));
      if (a1 == b1 && a0 == neg(b0)) return AIGEdge::fromWord(neg(a1));
    }
    // 11: substitution on the first operand.
    if (aAnd) {
      if (b == a1) {
        A = AIGEdge::fromWord(neg(a0));
        continue;
      }
      if (b == a0) {
        A = AIGEdge::fromWord(neg(a1));
        continue;
      }
    }
    // 12: substitution on the second operand.
    if (bAnd) {
      if (b1 == a) {
        B = AIGEdge::fromWord(neg(b0));
        continue;
      }
      if (b0 == a) {
        B = AIGEdge::fromWord(neg(b1));
        continue;
      }
    }
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
