#pragma once
// A small, independent model of bit-vector and array formulas for testing the
// public solver API: random terms are kept here as plain trees, built through
// VARNOK::Solver, and evaluated here on concrete values. Widths are at most 64
// bits on the bit-vector side; arrays are maps with a default element.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "varnok.h"

namespace varnok_test {

inline std::uint64_t maskOf(unsigned w) { return w >= 64 ? ~std::uint64_t(0) : ((std::uint64_t(1) << w) - 1); }
inline std::int64_t toSigned(std::uint64_t v, unsigned w) {
  if (w < 64 && (v >> (w - 1)) & 1) return static_cast<std::int64_t>(v | ~maskOf(w));
  return static_cast<std::int64_t>(v);
}

// An array value: explicit entries and the value of every other index.
struct ArrayValue {
  std::map<std::uint64_t, std::uint64_t> entries;
  std::uint64_t fallback = 0;
  std::uint64_t get(std::uint64_t i) const {
    auto it = entries.find(i);
    return it == entries.end() ? fallback : it->second;
  }
  bool operator==(const ArrayValue& o) const {
    if (fallback != o.fallback) return false;
    for (auto& e : entries)
      if (o.get(e.first) != e.second) return false;
    for (auto& e : o.entries)
      if (get(e.first) != e.second) return false;
    return true;
  }
};

struct Value {
  std::uint64_t bits = 0;
  std::shared_ptr<ArrayValue> array;  // set for array values
};

enum class Op {
  Var, Const, ArrVar,
  Not, And, Or, Xor, Neg, Add, Sub, Mul, UDiv, URem, SDiv, SRem, SMod, Shl, LShr, AShr,
  Concat, Extract, ZeroExt, SignExt, Ite,
  Eq, Distinct, ULT, ULE, SLT, SLE, UGT, SGE, Implies,
  Read, Write, ArrIte, ArrEq,
};

struct Term;
using TermP = std::shared_ptr<Term>;

struct Term {
  Op op;
  unsigned width = 0;           // bit-vector width; element width of an array
  unsigned indexWidth = 0;      // arrays only
  std::vector<TermP> kids;
  unsigned p0 = 0, p1 = 0;      // extract hi/lo, extension count
  std::uint64_t value = 0;      // constants
  int var = -1;                 // variable number (bit-vector or array)
  bool isArray() const { return op == Op::ArrVar || op == Op::Write || op == Op::ArrIte; }
};

// Assignment of every variable of a formula family.
struct Assignment {
  std::vector<std::uint64_t> bv;
  std::vector<ArrayValue> arrays;
};

inline Value evaluate(const TermP& t, const Assignment& a) {
  Value r;
  auto W = t->width;
  auto M = maskOf(W);
  auto k = [&](int i) { return evaluate(t->kids[i], a); };
  switch (t->op) {
    case Op::Var: r.bits = a.bv[t->var]; break;
    case Op::Const: r.bits = t->value; break;
    case Op::ArrVar: r.array = std::make_shared<ArrayValue>(a.arrays[t->var]); break;
    case Op::Not: r.bits = ~k(0).bits & M; break;
    case Op::And: r.bits = k(0).bits & k(1).bits; break;
    case Op::Or: r.bits = k(0).bits | k(1).bits; break;
    case Op::Xor: r.bits = k(0).bits ^ k(1).bits; break;
    case Op::Neg: r.bits = (0 - k(0).bits) & M; break;
    case Op::Add: r.bits = (k(0).bits + k(1).bits) & M; break;
    case Op::Sub: r.bits = (k(0).bits - k(1).bits) & M; break;
    case Op::Mul: r.bits = (k(0).bits * k(1).bits) & M; break;
    case Op::UDiv: {
      auto x = k(0).bits, y = k(1).bits;
      r.bits = y == 0 ? M : x / y;
      break;
    }
    case Op::URem: {
      auto x = k(0).bits, y = k(1).bits;
      r.bits = y == 0 ? x : x % y;
      break;
    }
    case Op::SDiv: case Op::SRem: case Op::SMod: {
      auto x = k(0).bits, y = k(1).bits;
      bool sx = (x >> (W - 1)) & 1, sy = (y >> (W - 1)) & 1;
      std::uint64_t ax = sx ? (0 - x) & M : x, ay = sy ? (0 - y) & M : y;
      if (t->op == Op::SDiv) {
        std::uint64_t q = ay == 0 ? M : ax / ay;
        r.bits = (sx != sy) ? (0 - q) & M : q;
      } else {
        std::uint64_t u = ay == 0 ? ax : ax % ay;
        std::uint64_t v = sx ? (0 - u) & M : u;
        if (t->op == Op::SRem || u == 0 || sx == sy) r.bits = v;
        else r.bits = (v + y) & M;
      }
      break;
    }
    case Op::Shl: { auto s = k(1).bits; r.bits = s >= W ? 0 : (k(0).bits << s) & M; break; }
    case Op::LShr: { auto s = k(1).bits; r.bits = s >= W ? 0 : k(0).bits >> s; break; }
    case Op::AShr: {
      auto x = k(0).bits, s = k(1).bits;
      std::int64_t sv = toSigned(x, W);
      r.bits = (s >= W ? (sv < 0 ? M : 0) : static_cast<std::uint64_t>(sv >> s)) & M;
      break;
    }
    case Op::Concat: r.bits = (k(0).bits << t->kids[1]->width) | k(1).bits; break;
    case Op::Extract: r.bits = (k(0).bits >> t->p1) & M; break;
    case Op::ZeroExt: r.bits = k(0).bits; break;
    case Op::SignExt: r.bits = static_cast<std::uint64_t>(toSigned(k(0).bits, t->kids[0]->width)) & M; break;
    case Op::Ite: case Op::ArrIte: return k(0).bits ? k(1) : k(2);
    case Op::Eq: r.bits = k(0).bits == k(1).bits; break;
    case Op::Distinct: r.bits = k(0).bits != k(1).bits; break;
    case Op::ULT: r.bits = k(0).bits < k(1).bits; break;
    case Op::ULE: r.bits = k(0).bits <= k(1).bits; break;
    case Op::UGT: r.bits = k(0).bits > k(1).bits; break;
    case Op::SLT: r.bits = toSigned(k(0).bits, t->kids[0]->width) < toSigned(k(1).bits, t->kids[0]->width); break;
    case Op::SLE: r.bits = toSigned(k(0).bits, t->kids[0]->width) <= toSigned(k(1).bits, t->kids[0]->width); break;
    case Op::SGE: r.bits = toSigned(k(0).bits, t->kids[0]->width) >= toSigned(k(1).bits, t->kids[0]->width); break;
    case Op::Implies: r.bits = (!k(0).bits) | k(1).bits; break;
    case Op::Read: r.bits = k(0).array->get(k(1).bits); break;
    case Op::Write: {
      Value base = k(0);
      auto copy = std::make_shared<ArrayValue>(*base.array);
      copy->entries[k(1).bits] = k(2).bits;
      r.array = copy;
      break;
    }
    case Op::ArrEq: r.bits = *k(0).array == *k(1).array; break;
  }
  return r;
}

// Builds a term through the public API. `vars` and `arrays` hold the handles
// of the variables by number.
inline VARNOK::Expression build(VARNOK::Solver& s, const TermP& t, const std::vector<VARNOK::Expression>& vars,
                                const std::vector<VARNOK::Expression>& arrays) {
  auto k = [&](int i) { return build(s, t->kids[i], vars, arrays); };
  switch (t->op) {
    case Op::Var: return vars[t->var];
    case Op::ArrVar: return arrays[t->var];
    case Op::Const: {
      std::vector<bool> bits(t->width);
      for (unsigned i = 0; i < t->width; ++i) bits[i] = (t->value >> i) & 1;
      return s.makeConstant(bits);
    }
    case Op::Not: return s.makeNot(k(0));
    case Op::And: return s.makeAnd(k(0), k(1));
    case Op::Or: return s.makeOr(k(0), k(1));
    case Op::Xor: return s.makeXor(k(0), k(1));
    case Op::Neg: return s.makeNeg(k(0));
    case Op::Add: return s.makeAdd(k(0), k(1));
    case Op::Sub: return s.makeSub(k(0), k(1));
    case Op::Mul: return s.makeMul(k(0), k(1));
    case Op::UDiv: return s.makeUDiv(k(0), k(1));
    case Op::URem: return s.makeURem(k(0), k(1));
    case Op::SDiv: return s.makeSDiv(k(0), k(1));
    case Op::SRem: return s.makeSRem(k(0), k(1));
    case Op::SMod: return s.makeSMod(k(0), k(1));
    case Op::Shl: return s.makeShl(k(0), k(1));
    case Op::LShr: return s.makeLShr(k(0), k(1));
    case Op::AShr: return s.makeAShr(k(0), k(1));
    case Op::Concat: return s.makeConcat(k(0), k(1));
    case Op::Extract: return s.makeExtract(k(0), t->p0, t->p1);
    case Op::ZeroExt: return s.makeZeroExtend(k(0), t->p0);
    case Op::SignExt: return s.makeSignExtend(k(0), t->p0);
    case Op::Ite: case Op::ArrIte: return s.makeIte(k(0), k(1), k(2));
    case Op::Eq: case Op::ArrEq: return s.makeEqual(k(0), k(1));
    case Op::Distinct: return s.makeDistinct(k(0), k(1));
    case Op::ULT: return s.makeULT(k(0), k(1));
    case Op::ULE: return s.makeULE(k(0), k(1));
    case Op::UGT: return s.makeUGT(k(0), k(1));
    case Op::SLT: return s.makeSLT(k(0), k(1));
    case Op::SLE: return s.makeSLE(k(0), k(1));
    case Op::SGE: return s.makeSGE(k(0), k(1));
    case Op::Implies: return s.makeImplies(k(0), k(1));
    case Op::Read: return s.makeArrayRead(k(0), k(1));
    case Op::Write: return s.makeArrayWrite(k(0), k(1), k(2));
  }
  return VARNOK::Expression();
}

// The variables of one random problem.
struct Signature {
  std::vector<unsigned> bvWidths;
  struct Arr { unsigned indexWidth, elementWidth; };
  std::vector<Arr> arrays;
  unsigned freeBits() const {
    unsigned n = 0;
    for (unsigned w : bvWidths) n += w;
    for (auto& a : arrays) n += a.elementWidth << a.indexWidth;
    return n;
  }
};

// Random terms over a signature.
class Generator {
 public:
  Generator(std::mt19937_64& rng, const Signature& sig) : rng(rng), sig(sig) {}

  unsigned pick(unsigned n) { return static_cast<unsigned>(rng() % n); }
  bool chance(unsigned percent) { return pick(100) < percent; }

  TermP constant(unsigned w) {
    auto t = std::make_shared<Term>();
    t->op = Op::Const;
    t->width = w;
    std::uint64_t v = rng();
    // Small values and boundary values meet carries and sign changes.
    switch (pick(4)) {
      case 0: v &= 3; break;
      case 1: v = maskOf(w); break;
      case 2: v = std::uint64_t(1) << (w - 1); break;
      default: break;
    }
    t->value = v & maskOf(w);
    return t;
  }

  TermP mk(Op op, unsigned w, std::vector<TermP> kids) {
    auto t = std::make_shared<Term>();
    t->op = op;
    t->width = w;
    t->kids = std::move(kids);
    return t;
  }

  // A variable of width w, or an extract/extension of another variable.
  TermP leaf(unsigned w) {
    std::vector<int> same;
    for (unsigned i = 0; i < sig.bvWidths.size(); ++i)
      if (sig.bvWidths[i] == w) same.push_back(static_cast<int>(i));
    if (!same.empty() && chance(80)) {
      auto t = std::make_shared<Term>();
      t->op = Op::Var;
      t->width = w;
      t->var = same[pick(static_cast<unsigned>(same.size()))];
      return t;
    }
    if (chance(30)) return constant(w);
    unsigned v = pick(static_cast<unsigned>(sig.bvWidths.size()));
    auto x = std::make_shared<Term>();
    x->op = Op::Var;
    x->width = sig.bvWidths[v];
    x->var = static_cast<int>(v);
    return fit(x, w);
  }

  // Adapts a term to width w by extraction or extension.
  TermP fit(TermP x, unsigned w) {
    if (x->width == w) return x;
    if (x->width > w) {
      unsigned lo = pick(x->width - w + 1);
      auto t = mk(Op::Extract, w, {x});
      t->p0 = lo + w - 1;
      t->p1 = lo;
      return t;
    }
    auto t = mk(chance(50) ? Op::ZeroExt : Op::SignExt, w, {x});
    t->p0 = w - x->width;
    return t;
  }

  TermP arrayTerm(unsigned a, int depth) {
    auto& ar = sig.arrays[a];
    auto t = std::make_shared<Term>();
    t->op = Op::ArrVar;
    t->width = ar.elementWidth;
    t->indexWidth = ar.indexWidth;
    t->var = static_cast<int>(a);
    if (depth <= 0) return t;
    unsigned c = pick(10);
    if (c < 4) {
      auto w = mk(Op::Write, ar.elementWidth, {arrayTerm(a, depth - 1), bv(ar.indexWidth, depth - 1),
                                                 bv(ar.elementWidth, depth - 1)});
      w->indexWidth = ar.indexWidth;
      return w;
    }
    if (c < 6) {
      auto other = sameSortArray(a);
      auto w = mk(Op::ArrIte, ar.elementWidth, {boolean(depth - 1), arrayTerm(a, depth - 1), arrayTerm(other, depth - 1)});
      w->indexWidth = ar.indexWidth;
      return w;
    }
    return t;
  }

  unsigned sameSortArray(unsigned a) {
    std::vector<unsigned> c;
    for (unsigned i = 0; i < sig.arrays.size(); ++i)
      if (sig.arrays[i].indexWidth == sig.arrays[a].indexWidth &&
          sig.arrays[i].elementWidth == sig.arrays[a].elementWidth)
        c.push_back(i);
    return c[pick(static_cast<unsigned>(c.size()))];
  }

  TermP bv(unsigned w, int depth) {
    if (depth <= 0 || chance(20)) return leaf(w);
    unsigned c = pick(24);
    switch (c) {
      case 0: return mk(Op::Not, w, {bv(w, depth - 1)});
      case 1: return mk(Op::And, w, {bv(w, depth - 1), bv(w, depth - 1)});
      case 2: return mk(Op::Or, w, {bv(w, depth - 1), bv(w, depth - 1)});
      case 3: return mk(Op::Xor, w, {bv(w, depth - 1), bv(w, depth - 1)});
      case 4: return mk(Op::Neg, w, {bv(w, depth - 1)});
      case 5: case 6: return mk(Op::Add, w, {bv(w, depth - 1), bv(w, depth - 1)});
      case 7: return mk(Op::Sub, w, {bv(w, depth - 1), bv(w, depth - 1)});
      case 8: return mk(Op::Mul, w, {bv(w, depth - 1), bv(w, depth - 1)});
      case 9: return mk(Op::UDiv, w, {bv(w, depth - 1), bv(w, depth - 1)});
      case 10: return mk(Op::URem, w, {bv(w, depth - 1), bv(w, depth - 1)});
      case 11: return mk(pick(3) == 0 ? Op::SDiv : (chance(50) ? Op::SRem : Op::SMod), w,
                         {bv(w, depth - 1), bv(w, depth - 1)});
      case 12: return mk(pick(3) == 0 ? Op::Shl : (chance(50) ? Op::LShr : Op::AShr), w,
                         {bv(w, depth - 1), bv(w, depth - 1)});
      case 13: {
        if (w < 2) return leaf(w);
        unsigned hi = 1 + pick(w - 1);
        return mk(Op::Concat, w, {bv(hi, depth - 1), bv(w - hi, depth - 1)});
      }
      case 14: {
        unsigned ww = w + pick(4);
        if (ww > 16) ww = w;
        return fit(bv(ww, depth - 1), w);
      }
      case 15: case 16: return mk(Op::Ite, w, {boolean(depth - 1), bv(w, depth - 1), bv(w, depth - 1)});
      case 17: case 18: case 19: {
        std::vector<unsigned> c2;
        for (unsigned i = 0; i < sig.arrays.size(); ++i)
          if (sig.arrays[i].elementWidth == w) c2.push_back(i);
        if (c2.empty()) return leaf(w);
        unsigned a = c2[pick(static_cast<unsigned>(c2.size()))];
        return mk(Op::Read, w, {arrayTerm(a, depth - 1), bv(sig.arrays[a].indexWidth, depth - 1)});
      }
      default: return leaf(w);
    }
  }

  TermP boolean(int depth) {
    unsigned w = sig.bvWidths[pick(static_cast<unsigned>(sig.bvWidths.size()))];
    if (depth <= 0) return mk(Op::Eq, 1, {leaf(w), leaf(w)});
    unsigned c = pick(14);
    switch (c) {
      case 0: return mk(Op::Not, 1, {boolean(depth - 1)});
      case 1: return mk(Op::And, 1, {boolean(depth - 1), boolean(depth - 1)});
      case 2: return mk(Op::Or, 1, {boolean(depth - 1), boolean(depth - 1)});
      case 3: return mk(Op::Implies, 1, {boolean(depth - 1), boolean(depth - 1)});
      case 4: case 5: return mk(Op::Eq, 1, {bv(w, depth - 1), bv(w, depth - 1)});
      case 6: return mk(Op::Distinct, 1, {bv(w, depth - 1), bv(w, depth - 1)});
      case 7: {
        static const Op cmp[] = {Op::ULT, Op::ULE, Op::UGT, Op::SLT, Op::SLE, Op::SGE};
        return mk(cmp[pick(6)], 1, {bv(w, depth - 1), bv(w, depth - 1)});
      }
      case 8: case 9: {
        if (sig.arrays.empty()) return mk(Op::Eq, 1, {bv(w, depth - 1), bv(w, depth - 1)});
        unsigned a = pick(static_cast<unsigned>(sig.arrays.size()));
        return mk(Op::ArrEq, 1, {arrayTerm(a, depth - 1), arrayTerm(sameSortArray(a), depth - 1)});
      }
      case 10: return bv(1, depth - 1);
      default: return mk(Op::Eq, 1, {leaf(w), bv(w, depth - 1)});
    }
  }

  // A conjunct that often has the shape of a definition (variable = term),
  // which substitution picks up.
  TermP assertion(int depth) {
    unsigned c = pick(10);
    if (c < 3) {
      unsigned v = pick(static_cast<unsigned>(sig.bvWidths.size()));
      auto x = std::make_shared<Term>();
      x->op = Op::Var;
      x->width = sig.bvWidths[v];
      x->var = static_cast<int>(v);
      auto rhs = bv(x->width, depth);
      return chance(50) ? mk(Op::Eq, 1, {x, rhs}) : mk(Op::Eq, 1, {rhs, x});
    }
    if (c < 4 && !sig.arrays.empty()) {
      unsigned a = pick(static_cast<unsigned>(sig.arrays.size()));
      return mk(Op::ArrEq, 1, {arrayTerm(a, 0), arrayTerm(sameSortArray(a), depth)});
    }
    return boolean(depth);
  }

 private:
  std::mt19937_64& rng;
  const Signature& sig;
};

// Enumerates every assignment of the signature (only for small free-bit
// counts); stops early and answers true when `f` answers true.
inline bool anyAssignment(const Signature& sig, const std::function<bool(const Assignment&)>& f) {
  unsigned n = sig.freeBits();
  Assignment a;
  a.bv.resize(sig.bvWidths.size());
  a.arrays.resize(sig.arrays.size());
  for (std::uint64_t code = 0; code < (std::uint64_t(1) << n); ++code) {
    std::uint64_t c = code;
    for (unsigned i = 0; i < sig.bvWidths.size(); ++i) {
      a.bv[i] = c & maskOf(sig.bvWidths[i]);
      c >>= sig.bvWidths[i];
    }
    for (unsigned i = 0; i < sig.arrays.size(); ++i) {
      a.arrays[i].entries.clear();
      a.arrays[i].fallback = 0;
      unsigned ew = sig.arrays[i].elementWidth;
      for (std::uint64_t j = 0; j < (std::uint64_t(1) << sig.arrays[i].indexWidth); ++j) {
        std::uint64_t v = c & maskOf(ew);
        c >>= ew;
        if (v != 0) a.arrays[i].entries[j] = v;
      }
    }
    if (f(a)) return true;
  }
  return false;
}

}  // namespace varnok_test
