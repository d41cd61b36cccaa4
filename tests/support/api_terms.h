#pragma once
// Random terms of the reference model over a signature of bit-vector and
// array variables, built through the public solver API; models read back from
// the solver; enumeration of every assignment (for small signatures) to
// confirm unsatisfiable answers; and small helpers for API tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "support/reference.h"
#include "varnok.h"

namespace varnok_test {

inline std::vector<bool> bitsOf(std::uint64_t v, unsigned w) {
  std::vector<bool> b(w);
  for (unsigned i = 0; i < w; ++i) b[i] = (v >> i) & 1;
  return b;
}

inline VARNOK::Expression constant(VARNOK::Solver& s, std::uint64_t v, unsigned w) {
  return s.makeConstant(bitsOf(v, w));
}

// The low 64 bits as an integer, bit 0 first.
inline std::uint64_t toValue(const std::vector<bool>& bits) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < bits.size() && i < 64; ++i)
    if (bits[i]) v |= std::uint64_t(1) << i;
  return v;
}

// The model value of e, prepared first: e may have been eliminated by
// substitution into a term that no check blasted.
inline std::uint64_t valueOf(VARNOK::Solver& s, const VARNOK::Expression& e) {
  std::vector<bool> bits;
  EXPECT_TRUE(s.prepareModel({e}));
  EXPECT_TRUE(s.getModelValue(e, bits));
  return toValue(bits);
}

// The variables of one random problem: bit-vector variables first, then
// arrays, numbered in that order.
struct Signature {
  std::vector<unsigned> bvWidths;
  struct Arr {
    unsigned indexWidth, elementWidth;
  };
  std::vector<Arr> arrays;
  int arrayVariable(unsigned a) const { return static_cast<int>(bvWidths.size() + a); }
  unsigned freeBits() const {
    unsigned n = 0;
    for (unsigned w : bvWidths) n += w;
    for (auto& a : arrays) n += a.elementWidth << a.indexWidth;
    return n;
  }
};
using Assignment = std::vector<Value>;

// Builds node `root` through the public API; `vars` and `arrays` hold the
// handles of the variables. Operands are built first, without recursion.
inline VARNOK::Expression build(VARNOK::Solver& s, const std::vector<Node>& nodes, int root,
                                const std::vector<VARNOK::Expression>& vars,
                                const std::vector<VARNOK::Expression>& arrays) {
  std::vector<VARNOK::Expression> built(root + 1);
  std::vector<int> stack{root};
  while (!stack.empty()) {
    const int i = stack.back();
    const Node& t = nodes[i];
    bool ready = true;
    for (int kid : t.kids)
      if (built[kid].isNull()) {
        stack.push_back(kid);
        ready = false;
      }
    if (!ready) continue;
    stack.pop_back();
    auto k = [&](int j) { return built[t.kids[j]]; };
    VARNOK::Expression& e = built[i];
    switch (t.op) {
      case VAR: e = vars[t.var]; break;
      case AVAR: e = arrays[t.var - vars.size()]; break;
      case CONST: {
        std::vector<bool> bits(t.w);
        for (unsigned b = 0; b < t.w; ++b) bits[b] = (t.c >> b) & 1;
        e = s.makeConstant(bits);
        break;
      }
      case NOT: e = s.makeNot(k(0)); break;
      case AND: e = s.makeAnd(k(0), k(1)); break;
      case OR: e = s.makeOr(k(0), k(1)); break;
      case XOR: e = s.makeXor(k(0), k(1)); break;
      case NEG: e = s.makeNeg(k(0)); break;
      case ADD: e = s.makeAdd(k(0), k(1)); break;
      case SUB: e = s.makeSub(k(0), k(1)); break;
      case MUL: e = s.makeMul(k(0), k(1)); break;
      case UDIV: e = s.makeUDiv(k(0), k(1)); break;
      case UREM: e = s.makeURem(k(0), k(1)); break;
      case SDIV: e = s.makeSDiv(k(0), k(1)); break;
      case SREM: e = s.makeSRem(k(0), k(1)); break;
      case SMOD: e = s.makeSMod(k(0), k(1)); break;
      case SHL: e = s.makeShl(k(0), k(1)); break;
      case LSHR: e = s.makeLShr(k(0), k(1)); break;
      case ASHR: e = s.makeAShr(k(0), k(1)); break;
      case CONCAT: e = s.makeConcat(k(0), k(1)); break;
      case EXTRACT: e = s.makeExtract(k(0), t.p, t.q); break;
      case ZEXT: e = s.makeZeroExtend(k(0), t.p); break;
      case SEXT: e = s.makeSignExtend(k(0), t.p); break;
      case ITE: case AITE: e = s.makeIte(k(0), k(1), k(2)); break;
      case EQ: case AEQ: e = s.makeEqual(k(0), k(1)); break;
      case DISTINCT: e = s.makeDistinct(k(0), k(1)); break;
      case ULT: e = s.makeULT(k(0), k(1)); break;
      case ULE: e = s.makeULE(k(0), k(1)); break;
      case UGT: e = s.makeUGT(k(0), k(1)); break;
      case SLT: e = s.makeSLT(k(0), k(1)); break;
      case SLE: e = s.makeSLE(k(0), k(1)); break;
      case SGE: e = s.makeSGE(k(0), k(1)); break;
      case IMPLIES: e = s.makeImplies(k(0), k(1)); break;
      case READ: e = s.makeArrayRead(k(0), k(1)); break;
      case WRITE: e = s.makeArrayWrite(k(0), k(1), k(2)); break;
      default: ADD_FAILURE() << "no public maker for " << opName(t.op); return VARNOK::Expression();
    }
    if (e.isNull()) return e;
  }
  return built[root];
}

// Random terms over a signature, added to `nodes`.
class Generator {
 public:
  Generator(std::mt19937_64& rng, const Signature& sig, std::vector<Node>& nodes) : rng(rng), sig(sig), nodes(nodes) {}

  unsigned pick(unsigned n) { return static_cast<unsigned>(rng() % n); }
  bool chance(unsigned percent) { return pick(100) < percent; }

  int add(Node n) {
    nodes.push_back(std::move(n));
    return static_cast<int>(nodes.size() - 1);
  }
  int mk(int op, unsigned w, std::vector<int> kids) {
    Node t;
    t.op = op;
    t.w = w;
    t.kids = std::move(kids);
    return add(std::move(t));
  }

  int constant(unsigned w) {
    std::uint64_t v = rng();
    // Small values and boundary values meet carries and sign changes.
    switch (pick(4)) {
      case 0: v &= 3; break;
      case 1: v = static_cast<std::uint64_t>(maskOf(w)); break;
      case 2: v = std::uint64_t(1) << (w - 1); break;
      default: break;
    }
    Node t;
    t.op = CONST;
    t.w = w;
    t.c = v & maskOf(w);
    return add(std::move(t));
  }

  int variable(unsigned v) {
    Node t;
    t.op = VAR;
    t.w = sig.bvWidths[v];
    t.var = static_cast<int>(v);
    return add(std::move(t));
  }

  // A variable of width w, or an extract/extension of another variable.
  int leaf(unsigned w) {
    std::vector<unsigned> same;
    for (unsigned i = 0; i < sig.bvWidths.size(); ++i)
      if (sig.bvWidths[i] == w) same.push_back(i);
    if (!same.empty() && chance(80)) return variable(same[pick(static_cast<unsigned>(same.size()))]);
    if (chance(30)) return constant(w);
    return fit(variable(pick(static_cast<unsigned>(sig.bvWidths.size()))), w);
  }

  // Adapts a term to width w by extraction or extension.
  int fit(int x, unsigned w) {
    const unsigned xw = nodes[x].w;
    if (xw == w) return x;
    if (xw > w) {
      unsigned lo = pick(xw - w + 1);
      int t = mk(EXTRACT, w, {x});
      nodes[t].p = lo + w - 1;
      nodes[t].q = lo;
      return t;
    }
    int t = mk(chance(50) ? ZEXT : SEXT, w, {x});
    nodes[t].p = w - xw;
    return t;
  }

  int arrayNode(int op, unsigned a, std::vector<int> kids) {
    Node t;
    t.op = op;
    t.iw = sig.arrays[a].indexWidth;
    t.ew = sig.arrays[a].elementWidth;
    t.kids = std::move(kids);
    if (op == AVAR) t.var = sig.arrayVariable(a);
    return add(std::move(t));
  }

  int arrayTerm(unsigned a, int depth) {
    auto& ar = sig.arrays[a];
    if (depth <= 0) return arrayNode(AVAR, a, {});
    unsigned c = pick(10);
    if (c < 4) {
      const int base = arrayTerm(a, depth - 1), index = bv(ar.indexWidth, depth - 1);
      return arrayNode(WRITE, a, {base, index, bv(ar.elementWidth, depth - 1)});
    }
    if (c < 6) {
      auto other = sameSortArray(a);
      const int cond = boolean(depth - 1), first = arrayTerm(a, depth - 1);
      return arrayNode(AITE, a, {cond, first, arrayTerm(other, depth - 1)});
    }
    return arrayNode(AVAR, a, {});
  }

  unsigned sameSortArray(unsigned a) {
    std::vector<unsigned> c;
    for (unsigned i = 0; i < sig.arrays.size(); ++i)
      if (sig.arrays[i].indexWidth == sig.arrays[a].indexWidth &&
          sig.arrays[i].elementWidth == sig.arrays[a].elementWidth)
        c.push_back(i);
    return c[pick(static_cast<unsigned>(c.size()))];
  }

  int bv(unsigned w, int depth) {
    if (depth <= 0 || chance(20)) return leaf(w);
    unsigned c = pick(24);
    switch (c) {
      case 0: return mk(NOT, w, {bv(w, depth - 1)});
      case 1: return mk(AND, w, {bv(w, depth - 1), bv(w, depth - 1)});
      case 2: return mk(OR, w, {bv(w, depth - 1), bv(w, depth - 1)});
      case 3: return mk(XOR, w, {bv(w, depth - 1), bv(w, depth - 1)});
      case 4: return mk(NEG, w, {bv(w, depth - 1)});
      case 5: case 6: return mk(ADD, w, {bv(w, depth - 1), bv(w, depth - 1)});
      case 7: return mk(SUB, w, {bv(w, depth - 1), bv(w, depth - 1)});
      case 8: return mk(MUL, w, {bv(w, depth - 1), bv(w, depth - 1)});
      case 9: return mk(UDIV, w, {bv(w, depth - 1), bv(w, depth - 1)});
      case 10: return mk(UREM, w, {bv(w, depth - 1), bv(w, depth - 1)});
      case 11: return mk(pick(3) == 0 ? SDIV : (chance(50) ? SREM : SMOD), w, {bv(w, depth - 1), bv(w, depth - 1)});
      case 12: return mk(pick(3) == 0 ? SHL : (chance(50) ? LSHR : ASHR), w, {bv(w, depth - 1), bv(w, depth - 1)});
      case 13: {
        if (w < 2) return leaf(w);
        unsigned hi = 1 + pick(w - 1);
        return mk(CONCAT, w, {bv(hi, depth - 1), bv(w - hi, depth - 1)});
      }
      case 14: {
        unsigned ww = w + pick(4);
        if (ww > 16) ww = w;
        return fit(bv(ww, depth - 1), w);
      }
      case 15: case 16: return mk(ITE, w, {boolean(depth - 1), bv(w, depth - 1), bv(w, depth - 1)});
      case 17: case 18: case 19: {
        std::vector<unsigned> c2;
        for (unsigned i = 0; i < sig.arrays.size(); ++i)
          if (sig.arrays[i].elementWidth == w) c2.push_back(i);
        if (c2.empty()) return leaf(w);
        unsigned a = c2[pick(static_cast<unsigned>(c2.size()))];
        return mk(READ, w, {arrayTerm(a, depth - 1), bv(sig.arrays[a].indexWidth, depth - 1)});
      }
      default: return leaf(w);
    }
  }

  int boolean(int depth) {
    unsigned w = sig.bvWidths[pick(static_cast<unsigned>(sig.bvWidths.size()))];
    if (depth <= 0) return mk(EQ, 1, {leaf(w), leaf(w)});
    unsigned c = pick(14);
    switch (c) {
      case 0: return mk(NOT, 1, {boolean(depth - 1)});
      case 1: return mk(AND, 1, {boolean(depth - 1), boolean(depth - 1)});
      case 2: return mk(OR, 1, {boolean(depth - 1), boolean(depth - 1)});
      case 3: return mk(IMPLIES, 1, {boolean(depth - 1), boolean(depth - 1)});
      case 4: case 5: return mk(EQ, 1, {bv(w, depth - 1), bv(w, depth - 1)});
      case 6: return mk(DISTINCT, 1, {bv(w, depth - 1), bv(w, depth - 1)});
      case 7: {
        static const int cmp[] = {ULT, ULE, UGT, SLT, SLE, SGE};
        return mk(cmp[pick(6)], 1, {bv(w, depth - 1), bv(w, depth - 1)});
      }
      case 8: case 9: {
        if (sig.arrays.empty()) return mk(EQ, 1, {bv(w, depth - 1), bv(w, depth - 1)});
        unsigned a = pick(static_cast<unsigned>(sig.arrays.size()));
        const int first = arrayTerm(a, depth - 1);
        return mk(AEQ, 1, {first, arrayTerm(sameSortArray(a), depth - 1)});
      }
      case 10: return bv(1, depth - 1);
      default: return mk(EQ, 1, {leaf(w), bv(w, depth - 1)});
    }
  }

  // A conjunct that often has the shape of a definition (variable = term),
  // which substitution picks up.
  int assertion(int depth) {
    unsigned c = pick(10);
    if (c < 3) {
      const int x = variable(pick(static_cast<unsigned>(sig.bvWidths.size())));
      const int rhs = bv(nodes[x].w, depth);
      return chance(50) ? mk(EQ, 1, {x, rhs}) : mk(EQ, 1, {rhs, x});
    }
    if (c < 4 && !sig.arrays.empty()) {
      unsigned a = pick(static_cast<unsigned>(sig.arrays.size()));
      const int first = arrayTerm(a, 0);
      return mk(AEQ, 1, {first, arrayTerm(sameSortArray(a), depth)});
    }
    return boolean(depth);
  }

 private:
  std::mt19937_64& rng;
  const Signature& sig;
  std::vector<Node>& nodes;
};

// Enumerates every assignment of the signature (only for small free-bit
// counts); stops early and answers true when `f` answers true.
inline bool anyAssignment(const Signature& sig, const std::function<bool(const Assignment&)>& f) {
  const unsigned n = sig.freeBits();
  Assignment a(sig.bvWidths.size() + sig.arrays.size());
  for (std::uint64_t code = 0; code < (std::uint64_t(1) << n); ++code) {
    std::uint64_t c = code;
    for (unsigned i = 0; i < sig.bvWidths.size(); ++i) {
      a[i].v = c & maskOf(sig.bvWidths[i]);
      c >>= sig.bvWidths[i];
    }
    for (unsigned i = 0; i < sig.arrays.size(); ++i) {
      std::vector<u128>& entries = a[sig.arrayVariable(i)].a;
      entries.assign(std::size_t(1) << sig.arrays[i].indexWidth, 0);
      for (u128& e : entries) {
        e = c & maskOf(sig.arrays[i].elementWidth);
        c >>= sig.arrays[i].elementWidth;
      }
    }
    if (f(a)) return true;
  }
  return false;
}

// Whether every formula is true under the assignment.
inline bool allTrue(const std::vector<Node>& nodes, const Assignment& a, const std::vector<int>& formulas) {
  std::vector<Value> values;
  evaluateAll(nodes, a, values);
  for (int f : formulas)
    if (values[f].v != 1) return false;
  return true;
}

// Whether some assignment of the signature makes every formula true.
inline bool someAssignmentSatisfies(const Signature& sig, const std::vector<Node>& nodes,
                                    const std::vector<int>& formulas) {
  return anyAssignment(sig, [&](const Assignment& a) { return allTrue(nodes, a, formulas); });
}

// Reads the solver's model of every variable and array of the signature
// (array indices without an entry read 0); answers false (with a test
// failure) when something cannot be read, has the wrong width or is
// inconsistent.
inline bool readModel(VARNOK::Solver& s, const Signature& sig, const std::vector<VARNOK::Expression>& vars,
                      const std::vector<VARNOK::Expression>& arrays, Assignment& out) {
  std::vector<VARNOK::Expression> all(vars);
  all.insert(all.end(), arrays.begin(), arrays.end());
  if (!s.prepareModel(all)) {
    ADD_FAILURE() << "prepareModel failed after a sat answer";
    return false;
  }
  out.assign(vars.size() + arrays.size(), Value());
  for (std::size_t i = 0; i < vars.size(); ++i) {
    std::vector<bool> bits;
    if (!s.getModelValue(vars[i], bits) || bits.size() != sig.bvWidths[i]) {
      ADD_FAILURE() << "no model value of width " << sig.bvWidths[i] << " for variable " << i;
      return false;
    }
    out[i].v = toValue(bits);
  }
  for (std::size_t i = 0; i < arrays.size(); ++i) {
    std::vector<u128>& entries = out[sig.arrayVariable(static_cast<unsigned>(i))].a;
    entries.assign(std::size_t(1) << sig.arrays[i].indexWidth, 0);
    std::vector<bool> listed(entries.size(), false);
    for (VARNOK::ArrayModelIterator it = s.getArrayModel(arrays[i]); it.isValid(); it.next()) {
      std::vector<bool> ib, vb;
      if (!s.getModelValue(it.getIndex(), ib) || !s.getModelValue(it.getValue(), vb)) {
        ADD_FAILURE() << "array entry without model value";
        return false;
      }
      if (ib.size() != sig.arrays[i].indexWidth || vb.size() != sig.arrays[i].elementWidth) {
        ADD_FAILURE() << "array entry of the wrong width in array " << i;
        return false;
      }
      const std::uint64_t idx = toValue(ib), val = toValue(vb);
      if (listed[idx] && entries[idx] != val) {
        ADD_FAILURE() << "array model lists index " << idx << " twice with different values";
        return false;
      }
      listed[idx] = true;
      entries[idx] = val;
    }
  }
  return true;
}

}  // namespace varnok_test
