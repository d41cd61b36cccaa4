#include "varnok/aig/circuits.h"

#include <utility>

namespace varnok {

namespace {

// Number of significant bits of w, at least 1.
std::uint32_t stageCount(std::uint32_t w) {
  std::uint32_t s = 0;
  while (w != 0) {
    ++s;
    w >>= 1;
  }
  return s == 0 ? 1 : s;
}

}  // namespace

namespace circuits {

void bitwiseAnd(AIG& aig, const EdgeVector& a, const EdgeVector& b, EdgeVector& r) {
  EdgeVector out(a.size());
  for (std::size_t i = 0; i < a.size(); ++i) out[i] = aig.makeAnd(a[i], b[i]);
  r = std::move(out);
}

void bitwiseNot(AIG&, const EdgeVector& a, EdgeVector& r) {
  EdgeVector out(a.size());
  for (std::size_t i = 0; i < a.size(); ++i) out[i] = ~a[i];
  r = std::move(out);
}

void fullAdder(AIG& aig, const AIGEdge& a, const AIGEdge& b, const AIGEdge& carryIn, AIGEdge* sum,
               AIGEdge* carryOut) {
  // Copies first: an output may be the same object as an input.
  const AIGEdge x = a;
  const AIGEdge y = b;
  const AIGEdge c = carryIn;
  if (sum != nullptr) {
    AIGEdge t = aig.makeXor(x, y);
    *sum = aig.makeXor(t, c);
  }
  if (carryOut != nullptr) {
    AIGEdge g = aig.makeAnd(x, y);
    AIGEdge p = aig.makeXor(x, y);
    AIGEdge cp = aig.makeAnd(c, p);
    *carryOut = aig.makeOr(g, cp);
  }
}

void add(AIG& aig, const EdgeVector& a, const EdgeVector& b, AIGEdge& carry, EdgeVector& r) {
  const std::size_t n = a.size();
  EdgeVector out(n);
  for (std::size_t i = 0; i < n; ++i)
    fullAdder(aig, a[i], b[i], carry, &out[i], i + 1 < n ? &carry : nullptr);
  r = std::move(out);
}

void increment(AIG& aig, EdgeVector& v, AIGEdge& carry, AIGEdge* carryOut) {
  const std::size_t n = v.size();
  const AIGEdge f = aig.getFalse();
  for (std::size_t i = 0; i < n; ++i) {
    const bool wantCarry = i + 1 < n || carryOut != nullptr;
    fullAdder(aig, v[i], f, carry, &v[i], wantCarry ? &carry : nullptr);
  }
  if (carryOut != nullptr) *carryOut = carry;
}

void negate(AIG& aig, const EdgeVector& a, EdgeVector& r) {
  EdgeVector out;
  bitwiseNot(aig, a, out);
  AIGEdge carry = aig.getTrue();
  increment(aig, out, carry);
  r = std::move(out);
}

void subtract(AIG& aig, const EdgeVector& a, const EdgeVector& b, EdgeVector& r) {
  EdgeVector t;
  bitwiseNot(aig, b, t);
  AIGEdge carry = aig.getTrue();
  add(aig, a, t, carry, r);
}

void multiply(AIG& aig, const EdgeVector& a, const EdgeVector& b, std::uint32_t width, EdgeVector& r) {
  const std::size_t n = a.size();
  EdgeVector out(width, aig.getFalse());
  for (std::size_t j = 0; j < n; ++j) {
    AIGEdge carry = aig.getFalse();
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t k = i + j;
      if (k >= width) break;
      AIGEdge pp = aig.makeAnd(a[i], b[j]);
      const bool wantCarry = i + 1 < n && k + 1 < width;
      fullAdder(aig, out[k], pp, carry, &out[k], wantCarry ? &carry : nullptr);
    }
  }
  r = std::move(out);
}

void unsignedDivide(AIG& aig, const EdgeVector& a, const EdgeVector& b, EdgeVector& q, EdgeVector& m) {
  const std::size_t w = a.size();
  if (w == 0) {
    q.clear();
    m.clear();
    return;
  }
  EdgeVector quot(w);
  EdgeVector rem(w, aig.getFalse());
  EdgeVector t(w);
  for (std::size_t i = w; i-- > 0;) {
    for (std::size_t k = w - 1; k >= 1; --k) rem[k] = std::move(rem[k - 1]);
    rem[0] = a[i];
    AIGEdge lt = unsignedLess(aig, rem, b);
    lt.complement();
    for (std::size_t k = 0; k < w; ++k) t[k] = aig.makeAnd(lt, b[k]);
    quot[i] = std::move(lt);
    subtract(aig, rem, t, rem);
  }
  // Outputs last: q or m may be the same object as a or b.
  q = std::move(quot);
  m = std::move(rem);
}

void shiftLeft(AIG& aig, const EdgeVector& value, const EdgeVector& amount, std::uint32_t width, EdgeVector& r) {
  const AIGEdge f = aig.getFalse();
  EdgeVector out(width, f);
  for (std::size_t i = 0; i < width && i < value.size(); ++i) out[i] = value[i];
  const std::uint32_t stages = stageCount(width);
  for (std::uint32_t k = 0; k < stages && k < amount.size(); ++k) {
    const std::size_t d = std::size_t(1) << k;
    for (std::size_t j = width; j-- > 0;) {
      out[j] = aig.makeIte(amount[k], j >= d ? out[j - d] : f, out[j]);
    }
  }
  AIGEdge big = f;
  for (std::size_t k = stages; k < amount.size(); ++k) big = aig.makeOr(big, amount[k]);
  for (std::size_t j = width; j-- > 0;) out[j] = aig.makeIte(big, f, out[j]);
  r = std::move(out);
}

void shiftRight(AIG& aig, const EdgeVector& value, const EdgeVector& amount, const AIGEdge& fill, EdgeVector& r) {
  const AIGEdge fillEdge = fill;  // fill may be an edge of r
  const std::size_t width = value.size();
  EdgeVector out(value);
  const std::uint32_t stages = stageCount(static_cast<std::uint32_t>(width));
  for (std::uint32_t k = 0; k < stages && k < amount.size(); ++k) {
    const std::size_t d = std::size_t(1) << k;
    for (std::size_t i = 0; i < width; ++i) {
      out[i] = aig.makeIte(amount[k], i + d < width ? out[i + d] : fillEdge, out[i]);
    }
  }
  AIGEdge big = aig.getFalse();
  for (std::size_t k = stages; k < amount.size(); ++k) big = aig.makeOr(big, amount[k]);
  for (std::size_t j = width; j-- > 0;) out[j] = aig.makeIte(big, fillEdge, out[j]);
  r = std::move(out);
}

AIGEdge unsignedLess(AIG& aig, const EdgeVector& a, const EdgeVector& b) {
  AIGEdge lt = aig.getFalse();
  for (std::size_t i = 0; i < a.size(); ++i) {
    AIGEdge x = aig.makeXor(a[i], b[i]);
    lt = aig.makeIte(x, b[i], lt);
  }
  return lt;
}

AIGEdge signedLess(AIG& aig, const EdgeVector& a, const EdgeVector& b) {
  const std::size_t n = a.size() - 1;
  AIGEdge x = aig.makeXor(a[n], b[n]);
  AIGEdge u = unsignedLess(aig, a, b);
  return aig.makeIte(x, a[n], u);
}

AIGEdge isEqual(AIG& aig, const EdgeVector& a, const EdgeVector& b) {
  if (a.size() != b.size()) return aig.getFalse();
  AIGEdge acc = aig.getTrue();
  for (std::size_t i = 0; i < a.size(); ++i) {
    AIGEdge p = aig.makeAnd(a[i], ~b[i]);
    AIGEdge n = aig.makeAnd(b[i], ~a[i]);
    AIGEdge e = aig.makeAnd(~p, ~n);
    acc = aig.makeAnd(std::move(acc), std::move(e));
  }
  return acc;
}

AIGEdge isAllZero(AIG& aig, const EdgeVector& a) {
  AIGEdge acc = aig.getFalse();
  for (const AIGEdge& v : a) acc = aig.makeOr(acc, v);
  acc.complement();
  return acc;
}

void countLeadingZeros(AIG& aig, const EdgeVector& a, EdgeVector& c) {
  const std::size_t n = a.size();
  // Blocks of the current level, lowest first; each holds its count.
  std::vector<EdgeVector> blocks(n);
  for (std::size_t i = 0; i < n; ++i) blocks[i].assign(1, ~a[i]);
  std::size_t k = 1;  // width of the current counts
  for (std::uint64_t span = 2; span < 2 * static_cast<std::uint64_t>(n); span <<= 1, ++k) {
    const std::size_t m = blocks.size();
    std::vector<EdgeVector> merged((m + 1) / 2);
    // Pairs from the most significant end; an odd lowest block pairs with a
    // missing partner that counts as zero.
    std::size_t top = m;
    for (std::size_t out = merged.size(); out-- > 0;) {
      const EdgeVector& h = blocks[top - 1];
      EdgeVector r(k + 1);
      if (top >= 2) {
        const EdgeVector& g = blocks[top - 2];
        r[k] = aig.makeAnd(h[k - 1], g[k - 1]);
        r[k - 1] = aig.makeAnd(h[k - 1], ~g[k - 1]);
        for (std::size_t i = 0; i + 1 < k; ++i) r[i] = aig.makeOr(h[i], aig.makeAnd(h[k - 1], g[i]));
        top -= 2;
      } else {
        r[k] = aig.getFalse();
        r[k - 1] = aig.makeAnd(h[k - 1], aig.getTrue());
        for (std::size_t i = 0; i + 1 < k; ++i) r[i] = aig.makeOr(h[i], aig.makeAnd(h[k - 1], aig.getFalse()));
        top -= 1;
      }
      merged[out] = std::move(r);
    }
    blocks = std::move(merged);
  }
  EdgeVector result = std::move(blocks[0]);
  c = std::move(result);
}

}  // namespace circuits
}  // namespace varnok
