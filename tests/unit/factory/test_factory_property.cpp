// Differential property test of the factory: random operator trees over every
// bit-vector, Boolean and array operator, at widths 1 to 9 and 63 to 65, are
// built through the make functions; under many random assignments the built
// graph must give the value that the unrewritten operator tree gives in the
// reference model. The same runs check the structural invariants of the
// built graph.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "support/graph_evaluator.h"
#include "support/reference.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"

namespace factory_test {

using namespace varnok_test;
using varnok::Expression;
using varnok::ExpressionManager;
using varnok::ExpressionRef;

// Deterministic generator (xorshift64*).
struct Rng {
  uint64_t s;
  explicit Rng(uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t next() {
    s ^= s >> 12;
    s ^= s << 25;
    s ^= s >> 27;
    return s * 0x2545F4914F6CDD1Dull;
  }
  uint32_t below(uint32_t n) { return n ? uint32_t(next() % n) : 0; }
  bool chance(uint32_t percent) { return below(100) < percent; }
  u128 bits(uint32_t w) { return ((u128(next()) << 64) | next()) & maskOf(w); }
  // Values that sit on the edges of carries, signs and shifts.
  u128 special(uint32_t w) {
    const u128 m = maskOf(w);
    switch (below(12)) {
      case 0: return 0;
      case 1: return 1 & m;
      case 2: return m;
      case 3: return u128(1) << (w - 1);
      case 4: return m >> 1;
      case 5: return u128(below(8)) & m;
      case 6: return (m - below(4)) & m;
      case 7: return (u128(1) << below(w)) & m;
      case 8: return ((u128(1) << (w - 1)) + below(3)) & m;
      default: return bits(w);
    }
  }
};

// Builds reference node i through the make functions over copies of its
// children's built handles.
inline ExpressionRef buildRef(ExpressionManager& m, const std::vector<Node>& nodes,
                              const std::vector<ExpressionRef>& built, size_t i) {
  const Node& n = nodes[i];
  ExpressionRef r;
  auto h = [&](int j) { return ExpressionRef(built[n.kids[j]]); };
  ExpressionRef a, b, c;
  if (n.kids.size() > 0) a = h(0);
  if (n.kids.size() > 1) b = h(1);
  if (n.kids.size() > 2) c = h(2);
  switch (n.op) {
    case VAR: m.makeVariable(r, n.w, nullptr); break;
    case AVAR: m.makeArrayVariable(r, n.iw, n.ew, nullptr); break;
    case CONST: {
      varnok::BitVector v(n.w);
      for (uint32_t bit = 0; bit < n.w; ++bit)
        if ((n.c >> bit) & 1) v.setBit(bit);
      m.makeConstant(r, v);
      break;
    }
    case NOT: m.makeNot(r, &a); break;
    case AND: m.makeAnd(r, &a, &b); break;
    case OR: m.makeOr(r, &a, &b); break;
    case NOR: m.makeNor(r, &a, &b); break;
    case NAND: m.makeNand(r, &a, &b); break;
    case XOR: m.makeXor(r, &a, &b); break;
    case XNOR: m.makeXnor(r, &a, &b); break;
    case IMPLIES: m.makeImplies(r, &a, &b); break;
    case IFF: m.makeIff(r, &a, &b); break;
    case EQ:
    case AEQ: m.makeEqual(r, &a, &b); break;
    case DISTINCT: m.makeDistinct(r, &a, &b); break;
    case ISZERO: m.makeIsZero(r, &a); break;
    case ISONES: m.makeIsAllOnes(r, &a); break;
    case ISONE: m.makeIsOne(r, &a); break;
    case ITE:
    case AITE: m.makeIte(r, &a, &b, &c); break;
    case ADD: m.makeAdd(r, &a, &b); break;
    case SUB: m.makeSub(r, &a, &b); break;
    case MUL: m.makeMul(r, &a, &b); break;
    case NEG: m.makeNeg(r, &a); break;
    case EXTRACT: m.makeExtract(r, &a, n.p, n.q); break;
    case CONCAT: m.makeConcat(r, &a, &b); break;
    case ZEXT: m.makeZeroExtend(r, &a, n.p); break;
    case SEXT: m.makeSignExtend(r, &a, n.p); break;
    case REPEAT: m.makeRepeat(r, &a, n.p); break;
    case ROTL: m.makeRotateLeft(r, &a, n.p); break;
    case ROTR: m.makeRotateRight(r, &a, n.p); break;
    case SHL: m.makeShl(r, &a, &b); break;
    case LSHR: m.makeLShr(r, &a, &b); break;
    case ASHR: m.makeAShr(r, &a, &b); break;
    case ULT: m.makeULT(r, &a, &b); break;
    case SLT: m.makeSLT(r, &a, &b); break;
    case UGT: m.makeUGT(r, &a, &b); break;
    case ULE: m.makeULE(r, &a, &b); break;
    case UGE: m.makeUGE(r, &a, &b); break;
    case SGT: m.makeSGT(r, &a, &b); break;
    case SLE: m.makeSLE(r, &a, &b); break;
    case SGE: m.makeSGE(r, &a, &b); break;
    case UDIV: m.makeUDiv(r, &a, &b); break;
    case UREM: m.makeURem(r, &a, &b); break;
    case SDIV: m.makeSDiv(r, &a, &b); break;
    case SREM: m.makeSRem(r, &a, &b); break;
    case SMOD: m.makeSMod(r, &a, &b); break;
    case UADDO: m.makeUAddOverflow(r, &a, &b); break;
    case SADDO: m.makeSAddOverflow(r, &a, &b); break;
    case USUBO: m.makeUSubOverflow(r, &a, &b); break;
    case SSUBO: m.makeSSubOverflow(r, &a, &b); break;
    case UMULO: m.makeUMulOverflow(r, &a, &b); break;
    case SMULO: m.makeSMulOverflow(r, &a, &b); break;
    case SDIVO: m.makeSDivOverflow(r, &a, &b); break;
    case ABS: m.makeAbs(r, &a); break;
    case ANDN:
    case ORN:
    case XORN:
    case IFFN:
    case EQN:
    case DISTN: {
      std::vector<ExpressionRef> list;
      for (int k : n.kids) list.push_back(built[k]);
      if (n.op == ANDN) m.makeAndN(r, list);
      if (n.op == ORN) m.makeOrN(r, list);
      if (n.op == XORN) m.makeXorN(r, list);
      if (n.op == IFFN) m.makeIffN(r, list);
      if (n.op == EQN) m.makeEqualN(r, list);
      if (n.op == DISTN) m.makeDistinctN(r, list);
      break;
    }
    case READ: m.makeArrayRead(r, &a, &b); break;
    case WRITE: m.makeArrayWrite(r, &a, &b, &c); break;
    default: break;
  }
  return r;
}

// ---------------------------------------------------------------------------
// Random operator trees.

struct Generator {
  Rng& rng;
  std::vector<Node>& nodes;
  bool wide;  // also widths 63 to 65
  int maxDepth;
  std::unordered_map<uint32_t, std::vector<int>> byWidth;
  std::unordered_map<uint32_t, std::vector<int>> varsByWidth;
  std::unordered_map<uint64_t, std::vector<int>> arraysBySort;
  int varCount = 0;

  Generator(Rng& r, std::vector<Node>& n, bool w, int depth) : rng(r), nodes(n), wide(w), maxDepth(depth) {}

  uint32_t width() {
    if (wide && rng.chance(45)) {
      static const uint32_t big[] = {63, 64, 64, 65, 65};
      return big[rng.below(5)];
    }
    if (rng.chance(30)) return 1;
    return 1 + rng.below(9);
  }

  int push(Node n) {
    nodes.push_back(std::move(n));
    const int i = int(nodes.size() - 1);
    if (nodes[i].w) byWidth[nodes[i].w].push_back(i);
    return i;
  }
  int mk(int op, uint32_t w, std::vector<int> kids, uint32_t p = 0, uint32_t q = 0) {
    Node n;
    n.op = op;
    n.w = w;
    n.kids = std::move(kids);
    n.p = p;
    n.q = q;
    return push(std::move(n));
  }

  int var(uint32_t w) {
    std::vector<int>& pool = varsByWidth[w];
    if (pool.size() < 3 && (pool.empty() || rng.chance(40))) {
      Node n;
      n.op = VAR;
      n.w = w;
      n.var = varCount++;
      const int i = push(std::move(n));
      pool.push_back(i);
      return i;
    }
    return pool[rng.below(uint32_t(pool.size()))];
  }
  int constant(uint32_t w) {
    Node n;
    n.op = CONST;
    n.w = w;
    n.c = rng.special(w);
    return push(std::move(n));
  }
  int leaf(uint32_t w) {
    auto it = byWidth.find(w);
    if (it != byWidth.end() && !it->second.empty() && rng.chance(30))
      return it->second[rng.below(uint32_t(it->second.size()))];
    return rng.chance(65) ? var(w) : constant(w);
  }
  // A term close to x: x itself, its complement, its negation, x plus a
  // constant, or another term of the same width.
  // A node of width w below x (a random walk through x's operands), or -1.
  int descendant(int x, uint32_t w) {
    std::vector<int> found;
    int cur = x;
    for (int step = 0; step < 6 && !nodes[cur].kids.empty(); ++step) {
      for (int k : nodes[cur].kids)
        if (nodes[k].w == w) found.push_back(k);
      cur = nodes[cur].kids[rng.below(uint32_t(nodes[cur].kids.size()))];
    }
    return found.empty() ? -1 : found[rng.below(uint32_t(found.size()))];
  }
  int relative(int x, int depth) {
    const uint32_t w = nodes[x].w;
    if (rng.chance(45)) {
      const int d = descendant(x, w);
      if (d >= 0) {
        switch (rng.below(4)) {
          case 0: return mk(NOT, w, {d});
          case 1: return mk(NEG, w, {d});
          default: return d;
        }
      }
    }
    switch (rng.below(6)) {
      case 0: return x;
      case 1: return mk(NOT, w, {x});
      case 2: return mk(NEG, w, {x});
      case 3: return mk(ADD, w, {x, constant(w)});
      case 4: return mk(rng.chance(50) ? AND : ADD, w, {x, bv(w, depth - 1)});
      default: return bv(w, depth - 1);
    }
  }
  int pair2(int op, uint32_t w, uint32_t ow, int depth, uint32_t resultWidth) {
    const int a = bv(ow, depth - 1);
    const int b = rng.chance(35) ? relative(a, depth) : bv(ow, depth - 1);
    return rng.chance(50) ? mk(op, resultWidth, {a, b}) : mk(op, resultWidth, {b, a});
    (void)w;
  }

  int array(uint32_t iw, uint32_t ew, int depth) {
    const uint64_t sort = (uint64_t(iw) << 32) | ew;
    std::vector<int>& pool = arraysBySort[sort];
    if (depth <= 0 || pool.empty() || rng.chance(25)) {
      if (pool.size() < 2 || rng.chance(20)) {
        Node n;
        n.op = AVAR;
        n.iw = iw;
        n.ew = ew;
        n.var = varCount++;
        const int i = push(std::move(n));
        pool.push_back(i);
        return i;
      }
      return pool[rng.below(uint32_t(pool.size()))];
    }
    Node n;
    n.iw = iw;
    n.ew = ew;
    if (rng.chance(70)) {
      n.op = WRITE;
      const int base = array(iw, ew, depth - 1);
      n.kids = {base, index(iw, depth), bv(ew, depth - 1)};
    } else {
      n.op = AITE;
      n.kids = {bv(1, depth - 1), array(iw, ew, depth - 1), array(iw, ew, depth - 1)};
    }
    const int i = push(std::move(n));
    pool.push_back(i);
    return i;
  }
  int index(uint32_t iw, int depth) {
    // Constant indices make writes provably different; small variable pools
    // make them the same node.
    if (rng.chance(55)) {
      Node n;
      n.op = CONST;
      n.w = iw;
      n.c = rng.below(1u << iw);
      return push(std::move(n));
    }
    return rng.chance(70) ? var(iw) : bv(iw, depth - 1);
  }

  // Two equalities (or bare bits) over adjacent bit ranges of one term.
  int adjacentConstraints(int depth) {
    const uint32_t sw = 2 + rng.below(wide ? 10 : 8);
    const int x = rng.chance(70) ? var(sw) : bv(sw, depth - 1);
    const uint32_t lo = rng.below(sw - 1);
    const uint32_t mid = lo + rng.below(sw - 1 - lo);
    const uint32_t hi = mid + 1 + rng.below(sw - mid - 1);
    auto side = [&](uint32_t h, uint32_t l) {
      const int e = mk(EXTRACT, h - l + 1, {x}, h, l);
      if (h == l && rng.chance(40)) return rng.chance(50) ? e : mk(NOT, 1, {e});
      const int t = rng.chance(60) ? constant(h - l + 1) : bv(h - l + 1, depth - 1);
      return rng.chance(50) ? mk(EQ, 1, {e, t}) : mk(EQ, 1, {t, e});
    };
    const int p = side(hi, mid + 1);
    const int q = side(mid, lo);
    return rng.chance(50) ? mk(AND, 1, {p, q}) : mk(AND, 1, {q, p});
  }

  // One-bit atoms that the implication and contradiction tests can relate:
  // bits, comparisons with constants, equalities with constants.
  std::vector<int> atoms;
  uint32_t atomWidth = 0;
  int atom(int depth) {
    if (atomWidth == 0) atomWidth = 2 + rng.below(wide ? 7 : 6);
    if (atoms.size() < 6 || rng.chance(15)) {
      const uint32_t w = atomWidth;
      int a;
      auto range = [&]() {
        const uint32_t lo = rng.below(w), hi = lo + rng.below(w - lo);
        return rng.chance(30) ? var(w) : mk(EXTRACT, hi - lo + 1, {var(w)}, hi, lo);
      };
      switch (rng.below(9)) {
        case 6:
        case 7: {
          const int r = range();
          a = mk(EQ, 1, {r, constant(nodes[r].w)});
          break;
        }
        case 8: {
          const int r = range();
          a = rng.chance(50) ? mk(ULT, 1, {r, constant(nodes[r].w)}) : mk(ULT, 1, {constant(nodes[r].w), r});
          break;
        }
        case 0: a = var(1); break;
        case 1: a = mk(ULT, 1, {var(w), constant(w)}); break;
        case 2: a = mk(ULT, 1, {constant(w), var(w)}); break;
        case 3: a = mk(rng.chance(50) ? SLT : ULT, 1, {var(w), var(w)}); break;
        case 4: a = mk(EQ, 1, {var(w), constant(w)}); break;
        default: {
          const uint32_t bit = rng.below(w);
          a = mk(EXTRACT, 1, {var(w)}, bit, bit);
          (void)depth;
        }
      }
      atoms.push_back(a);
      return a;
    }
    return atoms[rng.below(uint32_t(atoms.size()))];
  }
  // Connectives over a few recurring atoms and earlier formulas, so that a
  // formula meets its own parts, their negations and related comparisons.
  std::vector<int> soup;
  int boolean(int depth) {
    if (depth <= 0 || rng.chance(20)) return rng.chance(25) ? mk(NOT, 1, {atom(depth)}) : atom(depth);
    if (!soup.empty() && rng.chance(35)) {
      const int x = soup[rng.below(uint32_t(soup.size()))];
      if (rng.chance(40)) {
        const int d = descendant(x, 1);
        if (d >= 0) return rng.chance(40) ? mk(NOT, 1, {d}) : d;
      }
      return rng.chance(30) ? mk(NOT, 1, {x}) : x;
    }
    int r;
    const int a = boolean(depth - 1);
    const int b = boolean(depth - 1);
    switch (rng.below(8)) {
      case 0:
      case 1:
      case 2: r = mk(AND, 1, {a, b}); break;
      case 3: r = mk(OR, 1, {a, b}); break;
      case 4: r = mk(NOT, 1, {mk(AND, 1, {a, b})}); break;
      case 5: r = mk(rng.chance(50) ? XOR : IFF, 1, {a, b}); break;
      case 6: r = mk(IMPLIES, 1, {a, b}); break;
      default: r = mk(ITE, 1, {boolean(depth - 1), a, b}); break;
    }
    soup.push_back(r);
    return r;
  }
  // Comparisons of concatenations with constant high parts of different
  // widths, and of constants with such concatenations.
  int concatComparison(int depth) {
    const uint32_t w = 3 + rng.below(wide ? 62 : 7);
    auto side = [&]() {
      if (rng.chance(25)) return constant(w);
      const uint32_t hw = 1 + rng.below(w - 1);
      return mk(CONCAT, w, {constant(hw), bv(w - hw, depth - 1)});
    };
    static const int ops[] = {ULT, SLT, ULE, SGE, UGT, SLE};
    return mk(ops[rng.below(6)], 1, {side(), side()});
  }

  int predicate(int depth) {
    const uint32_t ow = width();
    if (rng.chance(30)) return boolean(depth + 1);
    if (rng.chance(10)) return concatComparison(depth);
    switch (rng.below(22)) {
      case 0: return pair2(EQ, 1, ow, depth, 1);
      case 1: return pair2(DISTINCT, 1, ow, depth, 1);
      case 2: return pair2(ULT, 1, ow, depth, 1);
      case 3: return pair2(SLT, 1, ow, depth, 1);
      case 4: {
        static const int cmp[] = {UGT, ULE, UGE, SGT, SLE, SGE};
        return pair2(cmp[rng.below(6)], 1, ow, depth, 1);
      }
      case 5: {
        static const int z[] = {ISZERO, ISONES, ISONE};
        return mk(z[rng.below(3)], 1, {bv(ow, depth - 1)});
      }
      case 6: {
        static const int o[] = {UADDO, SADDO, USUBO, SSUBO, UMULO, SMULO, SDIVO};
        const uint32_t w = wide && rng.chance(70) ? ow : 1 + rng.below(9);
        return pair2(o[rng.below(7)], 1, w, depth, 1);
      }
      case 7: return pair2(IMPLIES, 1, 1, depth, 1);
      case 8: return pair2(IFF, 1, 1, depth, 1);
      case 9: {
        Node n;
        n.op = rng.chance(50) ? EQN : DISTN;
        n.w = 1;
        const uint32_t k = rng.below(5);
        for (uint32_t j = 0; j < k; ++j) n.kids.push_back(rng.chance(30) && !n.kids.empty() ? n.kids[0] : bv(ow, depth - 1));
        if (n.kids.empty()) n.kids.push_back(bv(ow, depth - 1));  // empty lists are tested apart
        return push(std::move(n));
      }
      case 10: {
        Node n;
        n.op = IFFN;
        n.w = 1;
        const uint32_t k = 1 + rng.below(4);
        for (uint32_t j = 0; j < k; ++j) n.kids.push_back(bv(1, depth - 1));
        return push(std::move(n));
      }
      case 11: {
        const uint32_t iw = 1 + rng.below(3), ew = rng.chance(60) ? 1 + rng.below(2) : width();
        return mk(rng.chance(50) ? AEQ : EQ, 1, {array(iw, ew, depth - 1), array(iw, ew, depth - 1)});
      }
      case 12:
      case 13: return adjacentConstraints(depth);
      case 14: {
        // not(x < y) and not(y < x)
        const int x = bv(ow, depth - 1), y = bv(ow, depth - 1);
        const int op = rng.chance(50) ? ULT : SLT;
        return mk(AND, 1, {mk(NOT, 1, {mk(op, 1, {x, y})}), mk(NOT, 1, {mk(op, 1, {y, x})})});
      }
      default: return pair2(rng.chance(50) ? EQ : ULT, 1, ow, depth, 1);
    }
  }

  int bv(uint32_t w, int depth) {
    if (depth <= 0) return leaf(w);
    auto it = byWidth.find(w);
    if (it != byWidth.end() && !it->second.empty() && rng.chance(25)) {
      const int x = it->second[it->second.size() - 1 - rng.below(uint32_t(std::min<size_t>(it->second.size(), 12)))];
      if (rng.chance(50)) {
        const int d = descendant(x, w);
        if (d >= 0) return rng.chance(25) ? mk(NOT, w, {d}) : d;
      }
      return x;
    }
    if (rng.chance(15)) return leaf(w);
    if (w == 1 && rng.chance(45)) return predicate(depth);
    switch (rng.below(36)) {
      case 0: return mk(NOT, w, {bv(w, depth - 1)});
      case 1:
      case 2: return pair2(AND, w, w, depth, w);
      case 3: {
        static const int ops[] = {OR, NOR, NAND, XOR, XNOR};
        return pair2(ops[rng.below(5)], w, w, depth, w);
      }
      case 4:
      case 5: {
        const int c = bv(1, depth - 1);
        const int t = bv(w, depth - 1);
        const int e = rng.chance(40) ? relative(t, depth) : bv(w, depth - 1);
        return mk(ITE, w, {rng.chance(20) ? mk(NOT, 1, {c}) : c, t, e});
      }
      case 6:
      case 7: return pair2(ADD, w, w, depth, w);
      case 8: return pair2(SUB, w, w, depth, w);
      case 9:
      case 10: return pair2(MUL, w, w, depth, w);
      case 11: return mk(NEG, w, {bv(w, depth - 1)});
      case 12:
      case 13: {
        const uint32_t sw = wide && rng.chance(40) ? 64 + rng.below(2) : w + rng.below(wide ? 8 : 5);
        if (sw < w || sw > 65) return leaf(w);
        const uint32_t lo = rng.below(sw - w + 1);
        return mk(EXTRACT, w, {bv(sw, depth - 1)}, lo + w - 1, lo);
      }
      case 14:
      case 15: {
        if (w < 2) {
          const uint32_t bit = rng.below(2);
          return mk(EXTRACT, 1, {mk(CONCAT, 2, {bv(1, depth - 1), bv(1, depth - 1)})}, bit, bit);
        }
        const uint32_t hw = 1 + rng.below(w - 1);
        const int hi = rng.chance(30) ? constant(hw) : bv(hw, depth - 1);
        const int lo = rng.chance(20) ? constant(w - hw) : bv(w - hw, depth - 1);
        return mk(CONCAT, w, {hi, lo});
      }
      case 16: {
        const uint32_t sw = 1 + rng.below(w);
        return mk(rng.chance(50) ? ZEXT : SEXT, w, {bv(sw, depth - 1)}, w - sw);
      }
      case 17: {
        uint32_t d = 1 + rng.below(w);
        while (w % d) --d;
        return mk(REPEAT, w, {bv(w / d, depth - 1)}, d);
      }
      case 18: return mk(rng.chance(50) ? ROTL : ROTR, w, {bv(w, depth - 1)}, rng.below(2 * w + 2));
      case 19:
      case 20: {
        static const int ops[] = {SHL, LSHR, ASHR};
        const int x = bv(w, depth - 1);
        const int s = rng.chance(45) ? constant(w) : bv(w, depth - 1);
        return mk(ops[rng.below(3)], w, {x, s});
      }
      case 21:
      case 22: {
        static const int ops[] = {UDIV, UREM, SDIV, SREM, SMOD};
        const int op = ops[rng.below(5)];
        const int a = bv(w, depth - 1);
        const int b = rng.chance(35) ? relative(a, depth) : (rng.chance(40) ? constant(w) : bv(w, depth - 1));
        return mk(op, w, {a, b});
      }
      case 23: return mk(ABS, w, {bv(w, depth - 1)});
      case 24: {
        static const int ops[] = {ANDN, ORN, XORN};
        Node n;
        n.op = ops[rng.below(3)];
        n.w = w;
        const uint32_t k = 1 + rng.below(4);
        for (uint32_t j = 0; j < k; ++j)
          n.kids.push_back(rng.chance(25) && !n.kids.empty() ? n.kids[rng.below(uint32_t(n.kids.size()))]
                                                              : bv(w, depth - 1));
        return push(std::move(n));
      }
      case 25:
      case 26: {
        const uint32_t iw = 1 + rng.below(3);
        const int a = array(iw, w, depth - 1);
        return mk(READ, w, {a, index(iw, depth)});
      }
      default: {
        // Two-operand terms with a shared operand, the shapes the rules look for.
        static const int ops[] = {ADD, MUL, AND, ITE};
        const int x = bv(w, depth - 1), y = bv(w, depth - 1), z = bv(w, depth - 1);
        const int op = ops[rng.below(4)];
        if (op == ITE) {
          const int c = bv(1, depth - 1);
          const int inner = rng.below(3);
          const int t = inner == 0 ? mk(ITE, w, {c, x, y}) : mk(rng.chance(50) ? ADD : MUL, w, {x, y});
          const int e = inner == 0 ? z : mk(nodes[t].op, w, {rng.chance(50) ? x : y, z});
          return mk(ITE, w, {c, t, e});
        }
        return mk(op, w, {mk(op, w, {x, y}), mk(op, w, {rng.chance(50) ? x : y, z})});
      }
    }
  }
};

// Short text of a built node, a few levels deep.
inline void printBuilt(std::ostream& out, const Expression* e, int depth = 4) {
  if (!e) {
    out << "null";
    return;
  }
  if (e->getKind() == varnok::KIND_CONSTANT) {
    out << "#b" << static_cast<const varnok::ConstantExpression*>(e)->getValue();
    return;
  }
  if (e->getKind() == varnok::KIND_VARIABLE || e->getKind() == varnok::KIND_ARRAY_VARIABLE) {
    out << "v" << e->getId();
    return;
  }
  out << "(" << varnok::toString(e) << "#" << e->getId() << "/" << e->getWidth();
  if (depth == 0) {
    out << " ...)";
    return;
  }
  for (uint32_t i = 0; i < e->getArity(); ++i) {
    out << " ";
    printBuilt(out, e->getChild(i), depth - 1);
  }
  out << ")";
}

}  // namespace factory_test

namespace {

using namespace factory_test;
using varnok::Expression;

#ifdef VARNOK_SANITIZED
constexpr int kScale = 8;
#else
constexpr int kScale = 1;
#endif

bool isConstNode(const Expression* e) { return e->getKind() == varnok::KIND_CONSTANT; }

// The shape guarantees later code relies on; empty when e keeps them.
std::string invariantViolation(const Expression* e) {
  const uint32_t w = e->getWidth();
  auto c = [&](uint32_t i) { return e->getChild(i); };
  uint32_t k = 0;
  switch (e->getKind()) {
    case varnok::KIND_MUL:
    case varnok::KIND_ADD:
      if (w < 2) return "one-bit product or sum";
      if (c(0)->getId() > c(1)->getId()) return "operands not in serial-id order";
      if (isConstNode(c(0)) && isConstNode(c(1))) return "unfolded constants";
      break;
    case varnok::KIND_NEG:
      if (w < 2) return "one-bit negation";
      if (isConstNode(c(0)) || c(0)->getKind() == varnok::KIND_NEG) return "negation of a constant or negation";
      break;
    case varnok::KIND_AND:
    case varnok::KIND_EQUAL:
      if (c(0)->getId() >= c(1)->getId()) return "operands not in serial-id order";
      if (isConstNode(c(0)) && isConstNode(c(1))) return "unfolded constants";
      break;
    case varnok::KIND_SHL:
    case varnok::KIND_LSHR:
    case varnok::KIND_ASHR:
      if (w < 2) return "one-bit shift";
      if (isConstNode(c(1))) return "shift by a constant amount";
      break;
    case varnok::KIND_EXTRACT: {
      auto* x = static_cast<const varnok::ExtractExpression*>(e);
      const Expression* y = c(0);
      if (x->getLo() == 0 && x->getHi() + 1 == y->getWidth()) return "extract of the full range";
      if (isConstNode(y)) return "extract over a constant";
      if (y->getKind() == varnok::KIND_EXTRACT) return "extract over an extract";
      const Expression* z = y->getKind() == varnok::KIND_NOT ? y->getChild(0) : y;
      if (y->getKind() == varnok::KIND_NOT && z->getKind() == varnok::KIND_EXTRACT)
        return "extract over the complement of an extract";
      if (z->getKind() == varnok::KIND_CONCAT) {
        const uint32_t wm = z->getChild(1)->getWidth();
        if (x->getHi() < wm || x->getLo() >= wm) return "extract inside one concatenation part";
      }
      break;
    }
    case varnok::KIND_ULT:
    case varnok::KIND_SLT:
      if (c(0)->getWidth() < 2) return "one-bit comparison";
      if (c(0) == c(1)) return "comparison of a node with itself";
      if (isConstNode(c(0)) && isConstNode(c(1))) return "unfolded comparison";
      break;
    case varnok::KIND_DIV:
    case varnok::KIND_UREM:
      if (w < 2) return "one-bit division";
      if (c(0) == c(1)) return "division of a node by itself";
      if (c(1)->isZero() || c(1)->isOne() || c(1)->isPowerOfTwo(k)) return "division by 0, 1 or a power of two";
      if (c(0)->isZero()) return "division of zero";
      if (isConstNode(c(0)) && isConstNode(c(1))) return "unfolded division";
      break;
    case varnok::KIND_NOT:
      if (isConstNode(c(0)) || c(0)->getKind() == varnok::KIND_NOT) return "not of a constant or a not";
      break;
    case varnok::KIND_ITE:
    case varnok::KIND_ARRAY_ITE:
      if (isConstNode(c(0))) return "constant condition";
      if (c(0)->getKind() == varnok::KIND_NOT) return "negated condition";
      if (c(1) == c(2)) return "equal branches";
      break;
    case varnok::KIND_CONCAT:
      if (isConstNode(c(0)) && isConstNode(c(1))) return "unfolded concatenation";
      break;
    default:
      break;
  }
  return std::string();
}

struct Totals {
  uint64_t checks = 0;
  uint64_t referenceNodes = 0;
  uint64_t builtNodes = 0;
  uint64_t rounds = 0;
  uint64_t invariantChecks = 0;
  uint64_t opCount[NUM_OPS] = {};
};

// One round: a fresh manager, a random forest of reference trees, all of it
// built, then `assignments` random assignments checked node by node.
void runRound(uint64_t seed, bool wide, int depth, int roots, int assignments, Totals& totals) {
  Rng rng(seed);
  varnok::ExpressionManager manager;
  std::vector<Node> nodes;
  nodes.reserve(4096);
  Generator gen(rng, nodes, wide, depth);
  for (int r = 0; r < roots; ++r) gen.bv(rng.chance(50) ? 1 : gen.width(), depth);

  std::vector<ExpressionRef> built(nodes.size());
  for (size_t i = 0; i < nodes.size(); ++i) {
    built[i] = buildRef(manager, nodes, built, i);
    if (!built[i]) {
      std::ostringstream os;
      print(os, nodes, int(i));
      FAIL() << "seed " << seed << ": make function answered null for " << os.str();
    }
    const uint32_t bw = built[i]->getWidth();
    if (bw != nodes[i].w) {
      std::ostringstream os;
      print(os, nodes, int(i));
      FAIL() << "seed " << seed << ": width " << bw << " instead of " << nodes[i].w << " for " << os.str();
    }
    ++totals.opCount[nodes[i].op];
  }

  GraphEvaluator ev;
  std::unordered_map<const Expression*, int> varOf;  // variable node -> variable number
  std::vector<Expression*> roots_;
  std::vector<int> varNodes;
  for (size_t i = 0; i < nodes.size(); ++i) {
    roots_.push_back(built[i].get());
    if (nodes[i].op == VAR || nodes[i].op == AVAR) {
      varOf[built[i].get()] = nodes[i].var;
      varNodes.push_back(int(i));
    }
  }
  ev.collect(roots_);
  totals.invariantChecks += ev.order.size();
  for (Expression* e : ev.order) {
    const std::string v = invariantViolation(e);
    if (!v.empty()) {
      std::ostringstream os;
      printBuilt(os, e);
      FAIL() << "seed " << seed << ": invariant broken (" << v << "): " << os.str();
    }
  }

  std::vector<Value> varVals(size_t(gen.varCount));
  std::vector<Value> refVals(nodes.size());
  auto variable = [&](const Expression* e, Value& out) {
    auto it = varOf.find(e);
    if (it == varOf.end()) return false;
    out = varVals[it->second];
    return true;
  };
  for (int a = 0; a < assignments; ++a) {
    for (size_t j = 0; j < varNodes.size(); ++j) {
      const Node& v = nodes[varNodes[j]];
      Value& out = varVals[v.var];
      // Sometimes copy another variable of the same sort, so that equal
      // values meet.
      if (j > 0 && rng.chance(20)) {
        const Node& o = nodes[varNodes[rng.below(uint32_t(j))]];
        if (o.w == v.w && o.iw == v.iw && o.ew == v.ew) {
          out = varVals[o.var];
          if (v.op == AVAR && rng.chance(50)) out.a[rng.below(1u << v.iw)] = rng.special(v.ew);
          continue;
        }
      }
      if (v.op == VAR) {
        out.v = rng.special(v.w);
      } else {
        out.a.assign(size_t(1) << v.iw, 0);
        for (uint32_t x = 0; x < (1u << v.iw); ++x) out.a[x] = rng.chance(50) ? (rng.below(2) & maskOf(v.ew)) : rng.special(v.ew);
      }
    }
    evaluateAll(nodes, varVals, refVals);
    ASSERT_TRUE(ev.run(variable)) << "seed " << seed << ": " << ev.error;
    for (size_t i = 0; i < nodes.size(); ++i) {
      const Node& n = nodes[i];
      const Value& got = ev.value(built[i].get());
      const bool same = n.isArray() ? got.a == refVals[i].a : got.v == refVals[i].v;
      ++totals.checks;
      if (!same) {
        std::ostringstream os;
        os << "seed " << seed << " assignment " << a << ": " << opName(n.op) << " of width " << n.w
           << " built wrongly\n  reference: ";
        print(os, nodes, int(i));
        os << "\n  built:     ";
        printBuilt(os, built[i].get(), 6);
        os << "\n  reference value " << hex(refVals[i].v) << ", built value " << hex(got.v) << "\n  children:";
        for (int k : n.kids) os << " " << hex(refVals[k].v);
        os << "\n  variables:";
        for (int vi : varNodes) os << " x" << nodes[vi].var << "=" << hex(varVals[nodes[vi].var].v);
        FAIL() << os.str();
      }
    }
  }
  totals.referenceNodes += nodes.size();
  totals.builtNodes += ev.order.size();
  ++totals.rounds;
  // Releasing every handle frees every node but the asserted root: the makers
  // leave no reference behind.
  const uint32_t baseline = 1;
  built.clear();
  EXPECT_EQ(manager.getLiveCount(), baseline) << "seed " << seed << ": nodes left alive";
}

TEST(FactoryProperty, SmallWidthsAgreeWithReferenceSemantics) {
  Totals totals;
  const int rounds = 6000 / kScale;
  for (int r = 0; r < rounds; ++r) {
    runRound(1000 + r, false, 5, 10, 16, totals);
    if (HasFatalFailure() || HasFailure()) return;
  }
  std::cout << "[factory] small widths: " << totals.rounds << " rounds, " << totals.referenceNodes
            << " reference nodes, " << totals.builtNodes << " built nodes (invariants checked on each), " << totals.checks
            << " value checks\n";
  for (int op = 0; op < NUM_OPS; ++op)
    EXPECT_GT(totals.opCount[op], 0u) << "operator " << opName(op) << " never generated";
  EXPECT_GE(totals.checks, 200000u / kScale);
}

TEST(FactoryProperty, WideWidthsAgreeWithReferenceSemantics) {
  Totals totals;
  const int rounds = 2000 / kScale;
  for (int r = 0; r < rounds; ++r) {
    runRound(900000 + r, true, 3, 6, 24, totals);
    if (HasFatalFailure() || HasFailure()) return;
  }
  std::cout << "[factory] widths up to 65: " << totals.rounds << " rounds, " << totals.referenceNodes
            << " reference nodes, " << totals.builtNodes << " built nodes (invariants checked on each), " << totals.checks
            << " value checks\n";
  EXPECT_GE(totals.checks, 50000u / kScale);
}

}  // namespace
