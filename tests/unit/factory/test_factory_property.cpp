// Random operator trees (every bit-vector, Boolean and array operator, widths
// 1 to 9 and 63 to 65) built through the make functions must agree with the
// reference model under random assignments, keep the shape guarantees later
// code relies on, and free every node when released.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "support/graph_evaluator.h"
#include "support/reference.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"
#include "varnok/node/structural_relations.h"

namespace {

using namespace varnok_test;
using varnok::Expression;
using varnok::ExpressionRef;
using M = varnok::ExpressionManager;
using Ref = ExpressionRef;

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
  // Values on the edges of carries, signs and shifts.
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

// Reference node i built through its make function over copies of its
// operands' built handles.
Ref buildRef(M& m, const std::vector<Node>& nodes, const std::vector<Ref>& built, size_t i) {
  using Un = Ref& (M::*)(Ref&, Ref*);
  using Bin = Ref& (M::*)(Ref&, Ref*, Ref*);
  using Cnt = Ref& (M::*)(Ref&, Ref*, uint32_t);
  using List = Ref& (M::*)(Ref&, const std::vector<Ref>&);
  static const std::unordered_map<int, Un> un = {{NOT, &M::makeNot},     {ISZERO, &M::makeIsZero}, {ISONES, &M::makeIsAllOnes},
                                                 {ISONE, &M::makeIsOne}, {NEG, &M::makeNeg},       {ABS, &M::makeAbs}};
  static const std::unordered_map<int, Bin> bin = {
      {AND, &M::makeAnd},   {OR, &M::makeOr},     {NOR, &M::makeNor},   {NAND, &M::makeNand},
      {XOR, &M::makeXor},   {XNOR, &M::makeXnor}, {IMPLIES, &M::makeImplies}, {IFF, &M::makeIff},
      {EQ, &M::makeEqual},  {AEQ, &M::makeEqual}, {DISTINCT, &M::makeDistinct}, {ADD, &M::makeAdd},
      {SUB, &M::makeSub},   {MUL, &M::makeMul},   {CONCAT, &M::makeConcat}, {SHL, &M::makeShl},
      {LSHR, &M::makeLShr}, {ASHR, &M::makeAShr}, {ULT, &M::makeULT},   {SLT, &M::makeSLT},
      {UGT, &M::makeUGT},   {ULE, &M::makeULE},   {UGE, &M::makeUGE},   {SGT, &M::makeSGT},
      {SLE, &M::makeSLE},   {SGE, &M::makeSGE},   {UDIV, &M::makeUDiv}, {UREM, &M::makeURem},
      {SDIV, &M::makeSDiv}, {SREM, &M::makeSRem}, {SMOD, &M::makeSMod}, {UADDO, &M::makeUAddOverflow},
      {SADDO, &M::makeSAddOverflow}, {USUBO, &M::makeUSubOverflow}, {SSUBO, &M::makeSSubOverflow},
      {UMULO, &M::makeUMulOverflow}, {SMULO, &M::makeSMulOverflow}, {SDIVO, &M::makeSDivOverflow},
      {READ, &M::makeArrayRead}};
  static const std::unordered_map<int, Cnt> cnt = {{ZEXT, &M::makeZeroExtend}, {SEXT, &M::makeSignExtend},
                                                   {REPEAT, &M::makeRepeat},   {ROTL, &M::makeRotateLeft},
                                                   {ROTR, &M::makeRotateRight}};
  static const std::unordered_map<int, List> list = {{ANDN, &M::makeAndN}, {ORN, &M::makeOrN},   {XORN, &M::makeXorN},
                                                     {IFFN, &M::makeIffN}, {EQN, &M::makeEqualN}, {DISTN, &M::makeDistinctN}};
  const Node& n = nodes[i];
  Ref r, k[3];
  for (size_t j = 0; j < n.kids.size() && j < 3; ++j) k[j] = built[n.kids[j]];
  if (n.op == VAR) return m.makeVariable(r, n.w, nullptr);
  if (n.op == AVAR) return m.makeArrayVariable(r, n.iw, n.ew, nullptr);
  if (n.op == CONST) {
    varnok::BitVector v(n.w);
    for (uint32_t bit = 0; bit < n.w; ++bit)
      if ((n.c >> bit) & 1) v.setBit(bit);
    return m.makeConstant(r, v);
  }
  if (n.op == ITE || n.op == AITE) return m.makeIte(r, &k[0], &k[1], &k[2]);
  if (n.op == WRITE) return m.makeArrayWrite(r, &k[0], &k[1], &k[2]);
  if (n.op == EXTRACT) return m.makeExtract(r, &k[0], n.p, n.q);
  if (un.count(n.op)) return (m.*un.at(n.op))(r, &k[0]);
  if (bin.count(n.op)) return (m.*bin.at(n.op))(r, &k[0], &k[1]);
  if (cnt.count(n.op)) return (m.*cnt.at(n.op))(r, &k[0], n.p);
  std::vector<Ref> ops;
  for (int j : n.kids) ops.push_back(built[j]);
  return (m.*list.at(n.op))(r, ops);
}

// Random operator trees, biased towards the shapes the rewrite rules look for.
struct Generator {
  Rng& rng;
  std::vector<Node>& nodes;
  bool wide;  // also widths 63 to 65
  std::unordered_map<uint32_t, std::vector<int>> byWidth, varsByWidth;
  std::unordered_map<uint64_t, std::vector<int>> arraysBySort;
  int varCount = 0;
  std::vector<int> atoms, soup;
  uint32_t atomWidth = 0;

  Generator(Rng& r, std::vector<Node>& n, bool w) : rng(r), nodes(n), wide(w) {}

  uint32_t width() {
    static const uint32_t big[] = {63, 64, 64, 65, 65};
    if (wide && rng.chance(45)) return big[rng.below(5)];
    return rng.chance(30) ? 1 : 1 + rng.below(9);
  }
  int push(Node n) {
    nodes.push_back(std::move(n));
    const int i = int(nodes.size() - 1);
    if (nodes[i].w) byWidth[nodes[i].w].push_back(i);
    return i;
  }
  int mk(int op, uint32_t w, std::vector<int> kids, uint32_t p = 0, uint32_t q = 0) {
    Node n;
    n.op = op, n.w = w, n.kids = std::move(kids), n.p = p, n.q = q;
    return push(std::move(n));
  }
  int var(uint32_t w) {
    std::vector<int>& pool = varsByWidth[w];
    if (pool.size() < 3 && (pool.empty() || rng.chance(40))) {
      Node n;
      n.op = VAR, n.w = w, n.var = varCount++;
      pool.push_back(push(std::move(n)));
      return pool.back();
    }
    return pool[rng.below(uint32_t(pool.size()))];
  }
  int constant(uint32_t w, u128 value) {
    Node n;
    n.op = CONST, n.w = w, n.c = value;
    return push(std::move(n));
  }
  int constant(uint32_t w) { return constant(w, rng.special(w)); }
  int pickFrom(const std::vector<int>& v) { return v[rng.below(uint32_t(v.size()))]; }
  int leaf(uint32_t w) {
    auto it = byWidth.find(w);
    if (it != byWidth.end() && !it->second.empty() && rng.chance(30)) return pickFrom(it->second);
    return rng.chance(65) ? var(w) : constant(w);
  }
  // A node of width w below x (a random walk through x's operands), or -1.
  int descendant(int x, uint32_t w) {
    std::vector<int> found;
    int cur = x;
    for (int step = 0; step < 6 && !nodes[cur].kids.empty(); ++step) {
      for (int k : nodes[cur].kids)
        if (nodes[k].w == w) found.push_back(k);
      cur = pickFrom(nodes[cur].kids);
    }
    return found.empty() ? -1 : pickFrom(found);
  }
  // A term close to x: a part of x, x itself, its complement or negation, x
  // plus a constant, or another term of the same width.
  int relative(int x, int depth) {
    const uint32_t w = nodes[x].w;
    if (rng.chance(45)) {
      const int d = descendant(x, w);
      if (d >= 0) {
        const uint32_t how = rng.below(4);
        return how == 0 ? mk(NOT, w, {d}) : how == 1 ? mk(NEG, w, {d}) : d;
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
  int pair2(int op, uint32_t ow, int depth, uint32_t resultWidth) {
    const int a = bv(ow, depth - 1);
    const int b = rng.chance(35) ? relative(a, depth) : bv(ow, depth - 1);
    return rng.chance(50) ? mk(op, resultWidth, {a, b}) : mk(op, resultWidth, {b, a});
  }
  int list(int op, uint32_t w, uint32_t k, uint32_t repeatChance, bool first, uint32_t kw, int depth) {
    Node n;
    n.op = op, n.w = w;
    for (uint32_t j = 0; j < k; ++j)
      n.kids.push_back(repeatChance && rng.chance(repeatChance) && !n.kids.empty() ? (first ? n.kids[0] : pickFrom(n.kids))
                                                                    : bv(kw, depth - 1));
    if (n.kids.empty()) n.kids.push_back(bv(kw, depth - 1));  // empty lists are tested apart
    return push(std::move(n));
  }
  int array(uint32_t iw, uint32_t ew, int depth) {
    std::vector<int>& pool = arraysBySort[(uint64_t(iw) << 32) | ew];
    if (depth <= 0 || pool.empty() || rng.chance(25)) {
      if (pool.size() >= 2 && !rng.chance(20)) return pickFrom(pool);
      Node n;
      n.op = AVAR, n.iw = iw, n.ew = ew, n.var = varCount++;
      pool.push_back(push(std::move(n)));
      return pool.back();
    }
    Node n;
    n.iw = iw, n.ew = ew;
    if (rng.chance(70)) {
      n.op = WRITE;
      const int base = array(iw, ew, depth - 1);
      n.kids = {base, index(iw, depth), bv(ew, depth - 1)};
    } else {
      n.op = AITE;
      n.kids = {bv(1, depth - 1), array(iw, ew, depth - 1), array(iw, ew, depth - 1)};
    }
    pool.push_back(push(std::move(n)));
    return pool.back();
  }
  // Constant indices make writes provably different; small variable pools
  // make them the same node.
  int index(uint32_t iw, int depth) {
    if (rng.chance(55)) return constant(iw, rng.below(1u << iw));
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
  // One-bit atoms the implication and contradiction tests can relate: bits,
  // comparisons and equalities with constants, over a few recurring variables.
  int atom() {
    if (atomWidth == 0) atomWidth = 2 + rng.below(wide ? 7 : 6);
    if (atoms.size() >= 6 && !rng.chance(15)) return pickFrom(atoms);
    const uint32_t w = atomWidth;
    auto range = [&]() {
      const uint32_t lo = rng.below(w), hi = lo + rng.below(w - lo);
      return rng.chance(30) ? var(w) : mk(EXTRACT, hi - lo + 1, {var(w)}, hi, lo);
    };
    int a;
    switch (rng.below(9)) {
      case 0: a = var(1); break;
      case 1: a = mk(ULT, 1, {var(w), constant(w)}); break;
      case 2: a = mk(ULT, 1, {constant(w), var(w)}); break;
      case 3: a = mk(rng.chance(50) ? SLT : ULT, 1, {var(w), var(w)}); break;
      case 4: a = mk(EQ, 1, {var(w), constant(w)}); break;
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
      default: {
        const uint32_t bit = rng.below(w);
        a = mk(EXTRACT, 1, {var(w)}, bit, bit);
      }
    }
    atoms.push_back(a);
    return a;
  }
  // Connectives over recurring atoms and earlier formulas, so that a formula
  // meets its own parts, their negations and related comparisons.
  int boolean(int depth) {
    if (depth <= 0 || rng.chance(20)) return rng.chance(25) ? mk(NOT, 1, {atom()}) : atom();
    if (!soup.empty() && rng.chance(35)) {
      const int x = pickFrom(soup);
      if (rng.chance(40)) {
        const int d = descendant(x, 1);
        if (d >= 0) return rng.chance(40) ? mk(NOT, 1, {d}) : d;
      }
      return rng.chance(30) ? mk(NOT, 1, {x}) : x;
    }
    const int a = boolean(depth - 1), b = boolean(depth - 1);
    int r;
    switch (rng.below(8)) {
      case 3: r = mk(OR, 1, {a, b}); break;
      case 4: r = mk(NOT, 1, {mk(AND, 1, {a, b})}); break;
      case 5: r = mk(rng.chance(50) ? XOR : IFF, 1, {a, b}); break;
      case 6: r = mk(IMPLIES, 1, {a, b}); break;
      case 7: r = mk(ITE, 1, {boolean(depth - 1), a, b}); break;
      default: r = mk(AND, 1, {a, b}); break;
    }
    soup.push_back(r);
    return r;
  }
  // Comparisons of concatenations with constant high parts of different
  // widths, and of constants with such concatenations.
  int concatComparison(int depth) {
    static const int ops[] = {ULT, SLT, ULE, SGE, UGT, SLE};
    const uint32_t w = 3 + rng.below(wide ? 62 : 7);
    auto side = [&]() {
      if (rng.chance(25)) return constant(w);
      const uint32_t hw = 1 + rng.below(w - 1);
      return mk(CONCAT, w, {constant(hw), bv(w - hw, depth - 1)});
    };
    return mk(ops[rng.below(6)], 1, {side(), side()});
  }
  // The parts [from, to) as one concatenation, cut at a random place.
  int group(const std::vector<int>& parts, size_t from, size_t to) {
    if (to - from == 1) return parts[from];
    const size_t cut = from + 1 + rng.below(uint32_t(to - from - 1));
    const int hi = group(parts, from, cut), lo = group(parts, cut, to);
    return mk(CONCAT, nodes[hi].w + nodes[lo].w, {hi, lo});
  }
  // A concatenation of width w (3 or more) whose neighbouring parts belong
  // together: two adjacent bit ranges of one term between other terms, or
  // three copies of one bit or its complement; grouped in any association.
  int splitConcat(uint32_t w, int depth) {
    std::vector<int> parts;
    if (w == 3 && rng.chance(50)) {
      const int b = bv(1, depth - 1);
      for (int j = 0; j < 3; ++j) parts.push_back(rng.chance(40) ? mk(NOT, 1, {b}) : b);
      return group(parts, 0, 3);
    }
    const uint32_t others = rng.below(std::min(w - 1, 4u)), e = w - others, high = 1 + rng.below(e - 1);
    const uint32_t above = rng.below(others + 1), sw = e + rng.below(3), lo = rng.below(sw - e + 1);
    const int x = rng.chance(60) ? var(sw) : bv(sw, depth - 1);
    if (above) parts.push_back(bv(above, depth - 1));
    parts.push_back(mk(EXTRACT, high, {x}, lo + e - 1, lo + e - high));
    parts.push_back(mk(EXTRACT, e - high, {x}, lo + e - high - 1, lo));
    if (others > above) parts.push_back(bv(others - above, depth - 1));
    return group(parts, 0, parts.size());
  }
  int predicate(int depth) {
    static const int cmp[] = {UGT, ULE, UGE, SGT, SLE, SGE}, tests[] = {ISZERO, ISONES, ISONE},
                     overflows[] = {UADDO, SADDO, USUBO, SSUBO, UMULO, SMULO, SDIVO};
    const uint32_t ow = width();
    if (rng.chance(30)) return boolean(depth + 1);
    if (rng.chance(10)) return concatComparison(depth);
    switch (rng.below(22)) {
      case 0: return pair2(EQ, ow, depth, 1);
      case 1: return pair2(DISTINCT, ow, depth, 1);
      case 2: return pair2(ULT, ow, depth, 1);
      case 3: return pair2(SLT, ow, depth, 1);
      case 4: return pair2(cmp[rng.below(6)], ow, depth, 1);
      case 5: return mk(tests[rng.below(3)], 1, {bv(ow, depth - 1)});
      case 6: {
        const uint32_t w = wide && rng.chance(70) ? ow : 1 + rng.below(9);
        return pair2(overflows[rng.below(7)], w, depth, 1);
      }
      case 7: return pair2(IMPLIES, 1, depth, 1);
      case 8: return pair2(IFF, 1, depth, 1);
      case 9: {
        const int op = rng.chance(50) ? EQN : DISTN;
        return list(op, 1, rng.below(5), 30, true, ow, depth);
      }
      case 10: return list(IFFN, 1, 1 + rng.below(4), 0, true, 1, depth);
      case 11: {
        const uint32_t iw = 1 + rng.below(3), ew = rng.chance(60) ? 1 + rng.below(2) : width();
        return mk(rng.chance(50) ? AEQ : EQ, 1, {array(iw, ew, depth - 1), array(iw, ew, depth - 1)});
      }
      case 12:
      case 13: return adjacentConstraints(depth);
      case 14: {  // not(x < y) and not(y < x)
        const int x = bv(ow, depth - 1), y = bv(ow, depth - 1);
        const int op = rng.chance(50) ? ULT : SLT;
        return mk(AND, 1, {mk(NOT, 1, {mk(op, 1, {x, y})}), mk(NOT, 1, {mk(op, 1, {y, x})})});
      }
      case 15: {  // not(s & u) & not(~s & v), the parts made in a random order
        int s = -1, u = -1, v = -1, ns = -1;
        const bool notEarly = rng.chance(50), firstEarly = rng.chance(50);
        for (uint32_t j = 0, first = rng.below(3); j < 3; ++j) {
          const uint32_t k = (first + j) % 3;
          (k == 0 ? s : k == 1 ? u : v) = atom();
          if (k == 0 && notEarly) ns = mk(NOT, 1, {s});
        }
        if (ns < 0) ns = mk(NOT, 1, {s});
        int p = firstEarly ? mk(NOT, 1, {mk(AND, 1, {s, u})}) : -1;
        const int q = mk(NOT, 1, {mk(AND, 1, {ns, v})});
        if (p < 0) p = mk(NOT, 1, {mk(AND, 1, {s, u})});
        return mk(AND, 1, {p, q});
      }
      default: return pair2(rng.chance(50) ? EQ : ULT, ow, depth, 1);
    }
  }
  int bv(uint32_t w, int depth) {
    static const int logic[] = {OR, NOR, NAND, XOR, XNOR}, shifts[] = {SHL, LSHR, ASHR},
                     divisions[] = {UDIV, UREM, SDIV, SREM, SMOD}, lists[] = {ANDN, ORN, XORN},
                     shared[] = {ADD, MUL, AND, ITE};
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
      case 2: return pair2(AND, w, depth, w);
      case 3: return pair2(logic[rng.below(5)], w, depth, w);
      case 4:
      case 5: {
        const int c = bv(1, depth - 1);
        const int t = bv(w, depth - 1);
        const int e = rng.chance(40) ? relative(t, depth) : bv(w, depth - 1);
        return mk(ITE, w, {rng.chance(20) ? mk(NOT, 1, {c}) : c, t, e});
      }
      case 6:
      case 7: return pair2(ADD, w, depth, w);
      case 8: return pair2(SUB, w, depth, w);
      case 9:
      case 10: return pair2(MUL, w, depth, w);
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
        if (w >= 3 && rng.chance(30)) return splitConcat(w, depth);
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
        const int x = bv(w, depth - 1);
        const int s = rng.chance(45) ? constant(w) : bv(w, depth - 1);
        return mk(shifts[rng.below(3)], w, {x, s});
      }
      case 21:
      case 22: {
        const int op = divisions[rng.below(5)];
        const int a = bv(w, depth - 1);
        const int b = rng.chance(35) ? relative(a, depth) : (rng.chance(40) ? constant(w) : bv(w, depth - 1));
        return mk(op, w, {a, b});
      }
      case 23: return mk(ABS, w, {bv(w, depth - 1)});
      case 24: {
        const int op = lists[rng.below(3)];
        return list(op, w, 1 + rng.below(4), 25, false, w, depth);
      }
      case 25:
      case 26: {
        const uint32_t iw = 1 + rng.below(3);
        const int a = array(iw, w, depth - 1);
        return mk(READ, w, {a, index(iw, depth)});
      }
      default: {  // two-operand terms with a shared operand
        const int x = bv(w, depth - 1), y = bv(w, depth - 1), z = bv(w, depth - 1);
        const int op = shared[rng.below(4)];
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
void printBuilt(std::ostream& out, const Expression* e, int depth) {
  out << (e->getKind() == varnok::KIND_CONSTANT ? "" : "v") << varnok::toString(e) << "#" << e->getId();
  for (uint32_t i = 0; i < e->getArity() && depth > 0; ++i) printBuilt(out << (i ? " " : " ("), e->getChild(i), depth - 1);
  if (e->getArity() && depth > 0) out << ")";
}

bool isConstNode(const Expression* e) { return e->getKind() == varnok::KIND_CONSTANT; }

// The shape guarantees later code relies on; empty when e keeps them.
std::string invariantViolation(const Expression* e) {
  using namespace varnok;
  const uint32_t w = e->getWidth();
  auto c = [&](uint32_t i) { return e->getChild(i); };
  const bool constants = e->getArity() >= 2 && isConstNode(c(0)) && isConstNode(c(1));
  uint32_t k = 0;
  switch (e->getKind()) {
    case KIND_MUL:
    case KIND_ADD:
      if (w < 2) return "one-bit product or sum";
      if (c(0)->getId() > c(1)->getId()) return "operands not in serial-id order";
      return constants ? "unfolded constants" : "";
    case KIND_NEG:
      if (w < 2) return "one-bit negation";
      return isConstNode(c(0)) || c(0)->getKind() == KIND_NEG ? "negation of a constant or negation" : "";
    case KIND_AND:
    case KIND_EQUAL:
      if (c(0)->getId() >= c(1)->getId()) return "operands not in serial-id order";
      return constants ? "unfolded constants" : "";
    case KIND_SHL:
    case KIND_LSHR:
    case KIND_ASHR:
      if (w < 2) return "one-bit shift";
      return isConstNode(c(1)) ? "shift by a constant amount" : "";
    case KIND_EXTRACT: {
      auto* x = static_cast<const ExtractExpression*>(e);
      const Expression* y = c(0);
      if (x->getLo() == 0 && x->getHi() + 1 == y->getWidth()) return "extract of the full range";
      if (isConstNode(y)) return "extract over a constant";
      if (y->getKind() == KIND_EXTRACT) return "extract over an extract";
      const Expression* z = y->getKind() == KIND_NOT ? y->getChild(0) : y;
      if (y->getKind() == KIND_NOT && z->getKind() == KIND_EXTRACT) return "extract over the complement of an extract";
      if (z->getKind() == KIND_CONCAT && (x->getHi() < z->getChild(1)->getWidth() || x->getLo() >= z->getChild(1)->getWidth()))
        return "extract inside one concatenation part";
      return "";
    }
    case KIND_ULT:
    case KIND_SLT:
      if (c(0)->getWidth() < 2) return "one-bit comparison";
      if (c(0) == c(1)) return "comparison of a node with itself";
      return constants ? "unfolded comparison" : "";
    case KIND_DIV:
    case KIND_UREM:
      if (w < 2) return "one-bit division";
      if (c(0) == c(1)) return "division of a node by itself";
      if (c(1)->isZero() || c(1)->isOne() || c(1)->isPowerOfTwo(k)) return "division by 0, 1 or a power of two";
      if (c(0)->isZero()) return "division of zero";
      return constants ? "unfolded division" : "";
    case KIND_NOT:
      return isConstNode(c(0)) || c(0)->getKind() == KIND_NOT ? "not of a constant or a not" : "";
    case KIND_ITE:
    case KIND_ARRAY_ITE:
      if (isConstNode(c(0))) return "constant condition";
      if (c(0)->getKind() == KIND_NOT) return "negated condition";
      return c(1) == c(2) ? "equal branches" : "";
    case KIND_CONCAT:
      return constants ? "unfolded concatenation" : "";
    default:
      return "";
  }
}

// The structural relations over pairs of built nodes: operands of one node,
// a node and its operand, and random pairs of one width. Every "true" answer
// must hold under every assignment; occursIn must be plain reachability.
enum { DISTINCT_R, NEGATION, ARITH_NEGATION, IMPLIES_R, IMPLIES_AND, NEGATION_IMPLIES, CONTRADICTS, CONTRADICTS_AND, NUM_REL };
const char* const kRelation[NUM_REL] = {"areProvablyDistinct", "isNegationOf", "isArithmeticNegationOf", "implies",
                                        "impliesAnd", "negationImplies", "contradicts", "contradictsAnd"};
struct Claim {
  int rel;
  const Expression *a, *b;
};
bool reachable(const Expression* a, const Expression* b) {
  std::vector<const Expression*> stack{b};
  std::unordered_map<const Expression*, bool> seen{{b, true}};
  while (!stack.empty()) {
    const Expression* n = stack.back();
    stack.pop_back();
    if (n == a) return true;
    for (uint32_t k = 0; k < n->getArity(); ++k)
      if (seen.emplace(n->getChild(k), true).second) stack.push_back(n->getChild(k));
  }
  return false;
}
std::vector<Claim> relationClaims(const std::vector<Expression*>& order, Rng& rng, uint64_t claimed[NUM_REL]) {
  std::vector<std::pair<const Expression*, const Expression*>> pairs;
  std::unordered_map<uint32_t, std::vector<const Expression*>> byWidth;
  for (const Expression* e : order) {
    if (e->isArray()) continue;
    byWidth[e->getWidth()].push_back(e);
    for (uint32_t i = 0; i < e->getArity(); ++i) {
      pairs.push_back({e, e->getChild(i)});
      for (uint32_t j = 0; j < e->getArity(); ++j)
        if (i != j) pairs.push_back({e->getChild(i), e->getChild(j)});
    }
  }
  for (const auto& [w, pool] : byWidth)
    for (int k = 0; k < 40; ++k) pairs.push_back({pool[rng.below(uint32_t(pool.size()))], pool[rng.below(uint32_t(pool.size()))]});
  std::vector<Claim> claims;
  for (const auto& [a, b] : pairs) {
    EXPECT_EQ(varnok::occursIn(a, b), reachable(a, b)) << varnok::toString(a) << " in " << varnok::toString(b);
    if (a->isArray() || b->isArray() || a->getWidth() != b->getWidth()) continue;
    const bool one = a->getWidth() == 1;
    const bool says[NUM_REL] = {varnok::areProvablyDistinct(a, b), varnok::isNegationOf(a, b),
                                varnok::isArithmeticNegationOf(a, b), one && varnok::implies(a, b),
                                one && varnok::impliesAnd(a, b), one && varnok::negationImplies(a, b),
                                one && varnok::contradicts(a, b), one && varnok::contradictsAnd(a, b)};
    for (int r = 0; r < NUM_REL; ++r)
      if (says[r]) claims.push_back({r, a, b}), ++claimed[r];
  }
  return claims;
}
bool claimHolds(int rel, u128 x, u128 y, uint32_t w) {
  switch (rel) {
    case DISTINCT_R: return x != y;
    case NEGATION: return (~x & maskOf(w)) == y;
    case ARITH_NEGATION: return ((0 - x) & maskOf(w)) == y;
    case IMPLIES_R:
    case IMPLIES_AND: return !x || y;
    case NEGATION_IMPLIES: return x || y;
    default: return !(x && y);
  }
}

#ifdef VARNOK_SANITIZED
constexpr int kScale = 8;
#else
constexpr int kScale = 1;
#endif

// Rounds: a fresh manager, a random forest of reference trees, all of it
// built, then `assignments` random assignments checked node by node.
void runRounds(uint64_t firstSeed, int rounds, bool wide, int depth, int roots, int assignments, uint64_t minChecks) {
  uint64_t checks = 0, opCount[NUM_OPS] = {}, claimed[NUM_REL] = {};
  for (uint64_t seed = firstSeed; seed < firstSeed + uint64_t(rounds); ++seed) {
    Rng rng(seed);
    M manager;
    std::vector<Node> nodes;
    Generator gen(rng, nodes, wide);
    for (int r = 0; r < roots; ++r) gen.bv(rng.chance(50) ? 1 : gen.width(), depth);
    std::vector<Ref> built(nodes.size());
    std::vector<Expression*> all;
    std::unordered_map<const Expression*, int> varOf;  // variable node -> variable number
    std::vector<int> varNodes;
    for (size_t i = 0; i < nodes.size(); ++i) {
      built[i] = buildRef(manager, nodes, built, i);
      if (!built[i] || built[i]->getWidth() != nodes[i].w) {
        std::ostringstream os;
        print(os, nodes, int(i));
        FAIL() << "seed " << seed << ": null or of another width: " << os.str();
      }
      ++opCount[nodes[i].op];
      all.push_back(built[i].get());
      if (nodes[i].op == VAR || nodes[i].op == AVAR) {
        varOf[built[i].get()] = nodes[i].var;
        varNodes.push_back(int(i));
      }
    }
    GraphEvaluator ev;
    ev.collect(all);
    for (Expression* e : ev.order) {
      const std::string v = invariantViolation(e);
      if (v.empty()) continue;
      std::ostringstream os;
      printBuilt(os, e, 4);
      FAIL() << "seed " << seed << ": invariant broken (" << v << "): " << os.str();
    }
    const std::vector<Claim> claims = relationClaims(ev.order, rng, claimed);
    std::vector<Value> varVals(size_t(gen.varCount)), refVals(nodes.size());
    auto variable = [&](const Expression* e, Value& out) {
      auto it = varOf.find(e);
      return it != varOf.end() && (out = varVals[it->second], true);
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
          continue;
        }
        out.a.assign(size_t(1) << v.iw, 0);
        for (uint32_t x = 0; x < (1u << v.iw); ++x) out.a[x] = rng.chance(50) ? (rng.below(2) & maskOf(v.ew)) : rng.special(v.ew);
      }
      evaluateAll(nodes, varVals, refVals);
      ASSERT_TRUE(ev.run(variable)) << "seed " << seed << ": " << ev.error;
      for (const Claim& k : claims)
        ASSERT_TRUE(claimHolds(k.rel, ev.value(k.a).v, ev.value(k.b).v, k.a->getWidth()))
            << "seed " << seed << ": " << kRelation[k.rel] << " claimed for " << varnok::toString(k.a) << "#"
            << k.a->getId() << " and " << varnok::toString(k.b) << "#" << k.b->getId();
      for (size_t i = 0; i < nodes.size(); ++i) {
        const Node& n = nodes[i];
        const Value& got = ev.value(built[i].get());
        ++checks;
        if (n.isArray() ? got.a == refVals[i].a : got.v == refVals[i].v) continue;
        std::ostringstream os;
        os << "seed " << seed << " assignment " << a << ": " << opName(n.op) << " of width " << n.w << " built wrongly: ";
        print(os, nodes, int(i));
        printBuilt(os << "\n  built: ", built[i].get(), 6);
        os << "\n  reference " << hex(refVals[i].v) << ", built " << hex(got.v);
        FAIL() << os.str();
      }
    }
    // Releasing every handle frees every node but the root: the makers leave
    // no reference behind.
    built.clear();
    ASSERT_EQ(manager.getLiveCount(), 1u) << "seed " << seed << ": nodes left alive";
  }
  std::cout << "[factory] " << rounds << " rounds" << (wide ? " up to width 65: " : ": ") << checks << " value checks\n";
  for (int op = 0; op < NUM_OPS && !wide; ++op) EXPECT_GT(opCount[op], 0u) << opName(op) << " never generated";
  EXPECT_GE(checks, minChecks / kScale);
  for (int r = 0; r < NUM_REL; ++r) EXPECT_GT(claimed[r], 0u) << kRelation[r] << " never answered true";
}

TEST(FactoryProperty, SmallWidthsAgreeWithReferenceSemantics) { runRounds(1000, 6000 / kScale, false, 5, 10, 16, 200000); }
TEST(FactoryProperty, WideWidthsAgreeWithReferenceSemantics) { runRounds(900000, 2000 / kScale, true, 3, 6, 24, 50000); }

}  // namespace
