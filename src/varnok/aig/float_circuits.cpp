#include "varnok/aig/float_circuits.h"

#include <utility>

namespace varnok {

namespace {

// Number of significant bits of x (0 for 0).
std::uint32_t bitLength(std::uint64_t x) {
  std::uint32_t n = 0;
  while (x != 0) {
    ++n;
    x >>= 1;
  }
  return n;
}

// Stage count of a shifter over n positions: bit-length(n), at least 1.
std::uint32_t stageCount(std::uint64_t n) {
  const std::uint32_t b = bitLength(n);
  return b == 0 ? 1 : b;
}

// Modes that read a sticky bit when they round (all but nearest-away, which
// reads the round bit alone, and toward zero, which never rounds up).
bool readsSticky(RoundingMode mode) {
  return mode == ROUND_NEAREST_TIES_TO_EVEN || mode == ROUND_TOWARD_POSITIVE || mode == ROUND_TOWARD_NEGATIVE;
}

// The exponent bias 2^(e-1) - 1 in `width` edges (edges 0..e-2 TRUE).
EdgeVector biasConstant(AIG& aig, std::uint32_t e, std::size_t width) {
  EdgeVector b(width, aig.getFalse());
  for (std::size_t i = 0; i + 1 < e && i < width; ++i) b[i] = aig.getTrue();
  return b;
}

// Sign-extends the narrower of a and b to the other's width.
void matchWidths(AIG& aig, EdgeVector& a, EdgeVector& b) {
  if (a.size() < b.size())
    circuits::signExtend(aig, a, static_cast<std::uint32_t>(b.size() - a.size()), a);
  else if (b.size() < a.size())
    circuits::signExtend(aig, b, static_cast<std::uint32_t>(a.size() - b.size()), b);
}

// Patches the exponent field [s, s+e) of a packed result.
void setExponentField(AIG& aig, EdgeVector& r, const FloatFormat& f, const AIGEdge& when, const AIGEdge& value) {
  const std::uint32_t s = f.significandWidth;
  for (std::uint32_t i = 0; i < f.exponentWidth; ++i) r[s + i] = aig.makeIte(when, value, r[s + i]);
}

}  // namespace

namespace circuits {

// ---------------------------------------------------------------------------
// Constants, extensions and field tests

void constant(AIG& aig, std::uint32_t value, std::uint32_t width, EdgeVector& out) {
  out.resize(width);
  for (std::uint32_t i = 0; i < width; ++i)
    out[i] = (i < 32 && ((value >> i) & 1u) != 0) ? aig.getTrue() : aig.getFalse();
}

void signExtend(AIG&, const EdgeVector& in, std::uint32_t n, EdgeVector& out) {
  const AIGEdge top = in.back();  // read before out (maybe in) changes
  if (&out != &in) out = in;
  out.resize(out.size() + n, top);
}

void zeroExtend(AIG& aig, const EdgeVector& in, std::uint32_t n, EdgeVector& out) {
  if (&out != &in) out = in;
  out.resize(out.size() + n, aig.getFalse());
}

AIGEdge exponentIsZero(AIG& aig, const EdgeVector& x, const FloatFormat& f) {
  AIGEdge acc = aig.getTrue();
  for (std::uint32_t i = f.significandWidth; i < f.significandWidth + f.exponentWidth; ++i)
    acc = aig.makeAnd(acc, ~x[i]);
  return acc;
}

AIGEdge fractionIsZero(AIG& aig, const EdgeVector& x, const FloatFormat& f) {
  AIGEdge acc = aig.getTrue();
  for (std::uint32_t i = 0; i < f.significandWidth; ++i) acc = aig.makeAnd(acc, ~x[i]);
  return acc;
}

AIGEdge exponentIsAllOnes(AIG& aig, const EdgeVector& x, const FloatFormat& f) {
  AIGEdge acc = aig.getTrue();
  for (std::uint32_t i = f.significandWidth; i < f.significandWidth + f.exponentWidth; ++i)
    acc = aig.makeAnd(acc, x[i]);
  return acc;
}

AIGEdge floatIsZero(AIG& aig, const EdgeVector& x, const FloatFormat& f) {
  return aig.makeAnd(exponentIsZero(aig, x, f), fractionIsZero(aig, x, f));
}

AIGEdge floatIsInfinity(AIG& aig, const EdgeVector& x, const FloatFormat& f) {
  return aig.makeAnd(exponentIsAllOnes(aig, x, f), fractionIsZero(aig, x, f));
}

AIGEdge floatIsNan(AIG& aig, const EdgeVector& x, const FloatFormat& f) {
  return aig.makeAnd(exponentIsAllOnes(aig, x, f), ~fractionIsZero(aig, x, f));
}

// ---------------------------------------------------------------------------
// Shifts

void shiftLeftOverflow(AIG& aig, const EdgeVector& value, const EdgeVector& amount, EdgeVector& out,
                       AIGEdge& overflow) {
  const AIGEdge f = aig.getFalse();
  EdgeVector v(value);
  const std::size_t n = v.size();
  const std::uint32_t stages = stageCount(n);
  AIGEdge o = f;
  for (std::uint32_t k = 0; k < stages; ++k) {
    const AIGEdge a = k < amount.size() ? amount[k] : f;
    const std::size_t h = std::size_t(1) << k;
    // Set edges this stage moves to position n or beyond.
    for (std::size_t j = n + h; j-- > n;)
      if (j >= h) o = aig.makeOr(o, aig.makeAnd(a, v[j - h]));
    // Descending, so v[i - h] is read before this stage changes it.
    for (std::size_t i = n; i-- > 0;) v[i] = aig.makeIte(a, i >= h ? v[i - h] : f, v[i]);
  }
  for (std::size_t k = stages; k < amount.size(); ++k) o = aig.makeOr(o, amount[k]);
  out = std::move(v);
  overflow = std::move(o);
}

void shiftRightSticky(AIG& aig, const EdgeVector& value, const EdgeVector& amount, std::uint32_t offset,
                      EdgeVector& out, AIGEdge& sticky) {
  const AIGEdge f = aig.getFalse();
  const AIGEdge zero = isAllZero(aig, value);
  EdgeVector o(value);
  const std::size_t n = o.size();
  const std::uint32_t stages = stageCount(n > offset ? n - offset : 0);
  AIGEdge st = sticky;
  for (std::uint32_t k = 0; k < stages; ++k) {
    const AIGEdge a = k < amount.size() ? amount[k] : f;
    const std::size_t h = (std::size_t(1) << k) + offset;
    // Positions 0..h-1 leave at the bottom.
    for (std::size_t j = 0; j < h && j < n; ++j) st = aig.makeOr(st, aig.makeAnd(a, o[j]));
    // Ascending, so o[i + h] is read before this stage changes it.
    for (std::size_t i = 0; i < n; ++i) o[i] = aig.makeIte(a, i + h < n ? o[i + h] : f, o[i]);
  }
  AIGEdge big = f;
  for (std::size_t k = stages; k < amount.size(); ++k) big = aig.makeOr(big, amount[k]);
  const AIGEdge g = aig.makeAnd(big, ~zero);
  for (std::size_t i = 0; i < n; ++i) o[i] = aig.makeIte(g, f, o[i]);
  sticky = aig.makeOr(st, g);
  out = std::move(o);
}

// ---------------------------------------------------------------------------
// Unpacking, rounding and packing

void unpackFloat(AIG& aig, const EdgeVector& x, AIGEdge& sign, EdgeVector& exponent,
                 EdgeVector& significand, const FloatFormat& format) {
  const std::uint32_t e = format.exponentWidth;
  const std::uint32_t s = format.significandWidth;
  const AIGEdge z = exponentIsZero(aig, x, format);
  EdgeVector ex(e), sig(s + 1);
  for (std::uint32_t i = 0; i + 1 < e; ++i) ex[i] = x[s + i];
  ex[e - 1] = ~x[s + e - 1];
  for (std::uint32_t i = 0; i < s; ++i) sig[i] = x[i];
  sig[s] = ~z;
  ex[0] = aig.makeIte(z, aig.getTrue(), ex[0]);  // a zero field reads as 1
  sign = x[e + s];
  exponent = std::move(ex);
  significand = std::move(sig);
}

void roundStep(AIG& aig, const AIGEdge& sign, EdgeVector& exponent, EdgeVector& fraction,
               const AIGEdge& round, const AIGEdge& sticky, EdgeVector& result, const FloatFormat& format,
               RoundingMode mode) {
  const std::uint32_t e = format.exponentWidth;
  const std::uint32_t s = format.significandWidth;
  const AIGEdge t = aig.getTrue();
  const AIGEdge f = aig.getFalse();
  const AIGEdge sg = sign;
  if (mode < ROUND_TOWARD_ZERO) {
    AIGEdge up;
    switch (mode) {
      case ROUND_NEAREST_TIES_TO_EVEN: up = aig.makeAnd(round, aig.makeOr(sticky, fraction[0])); break;
      case ROUND_NEAREST_TIES_TO_AWAY: up = round; break;
      case ROUND_TOWARD_POSITIVE: up = aig.makeAnd(aig.makeOr(round, sticky), ~sg); break;
      default: up = aig.makeAnd(aig.makeOr(round, sticky), sg); break;
    }
    AIGEdge carry = std::move(up);
    AIGEdge carryOut;
    increment(aig, fraction, carry, &carryOut);
    signExtend(aig, exponent, 1, exponent);
    increment(aig, exponent, carryOut);
  }
  EdgeVector r(e + s + 1);
  r[e + s] = sg;
  for (std::uint32_t i = 0; i + 1 < e; ++i) r[s + i] = exponent[i];
  r[s + e - 1] = ~exponent[e - 1];
  for (std::uint32_t i = 0; i < s; ++i) r[i] = fraction[i];

  const EdgeVector max = biasConstant(aig, e, exponent.size());
  const AIGEdge ovf = ~signedLess(aig, exponent, max);
  AIGEdge inf, maxf;
  switch (mode) {
    case ROUND_NEAREST_TIES_TO_EVEN:
    case ROUND_NEAREST_TIES_TO_AWAY: inf = ovf; maxf = f; break;
    case ROUND_TOWARD_POSITIVE: inf = aig.makeAnd(ovf, ~sg); maxf = aig.makeAnd(ovf, sg); break;
    case ROUND_TOWARD_NEGATIVE: inf = aig.makeAnd(ovf, sg); maxf = aig.makeAnd(ovf, ~sg); break;
    default: inf = f; maxf = ovf; break;
  }
  const AIGEdge any = aig.makeOr(maxf, inf);
  for (std::uint32_t i = 1; i < e; ++i) r[s + i] = aig.makeIte(any, t, r[s + i]);
  if (mode < ROUND_TOWARD_ZERO) {
    for (std::uint32_t i = 0; i < s; ++i) r[i] = aig.makeIte(inf, f, r[i]);
    r[s] = aig.makeIte(inf, t, r[s]);
  }
  if (mode != ROUND_NEAREST_TIES_TO_EVEN && mode != ROUND_NEAREST_TIES_TO_AWAY) {
    for (std::uint32_t i = 0; i < s; ++i) r[i] = aig.makeIte(maxf, t, r[i]);
    r[s] = aig.makeIte(maxf, f, r[s]);
  }
  result = std::move(r);
}

void roundAndPack(AIG& aig, const AIGEdge& sign, const EdgeVector& exponent, const EdgeVector& significand,
                  std::uint32_t offset, AIGEdge& sticky, EdgeVector& result, const FloatFormat& format,
                  RoundingMode mode) {
  if (mode > ROUND_TOWARD_ZERO) mode = ROUND_TOWARD_ZERO;
  const std::uint32_t e = format.exponentWidth;
  const std::uint32_t s = format.significandWidth;
  const AIGEdge f = aig.getFalse();
  const bool collect = readsSticky(mode);
  const AIGEdge sg = sign;

  // A significand narrower than s + 2 edges gets FALSE edges below its
  // lowest one (same value), so that moving it into the subnormal range
  // shifts its bits into the fraction and the round position, not past them.
  EdgeVector sig;
  if (significand.size() < s + 2) {
    sig.assign(s + 2 - significand.size(), f);
    sig.insert(sig.end(), significand.begin(), significand.end());
  } else {
    sig = significand;
  }
  const std::size_t n = sig.size();

  EdgeVector ex(exponent);
  if (ex.size() < e) signExtend(aig, ex, static_cast<std::uint32_t>(e - ex.size()), ex);
  EdgeVector lz;
  countLeadingZeros(aig, sig, lz);
  EdgeVector lzc(lz);
  matchWidths(aig, ex, lzc);
  signExtend(aig, ex, 1, ex);
  signExtend(aig, lzc, 1, lzc);
  subtract(aig, ex, lzc, ex);
  EdgeVector k;
  constant(aig, offset, static_cast<std::uint32_t>(ex.size()), k);
  AIGEdge carry = f;
  add(aig, ex, k, carry, ex);

  // Normalised significand: its leading one on top.
  EdgeVector ns;
  shiftLeft(aig, sig, lz, static_cast<std::uint32_t>(n), ns);
  const AIGEdge zero = isAllZero(aig, sig);

  // Below the smallest normal exponent, -2^(e-1) + 1: shift right by the
  // distance and mark the result subnormal (exponent -2^(e-1), field 0).
  const EdgeVector bias = biasConstant(aig, e, ex.size());
  EdgeVector nb;
  bitwiseNot(aig, bias, nb);
  const AIGEdge tiny = ~signedLess(aig, nb, ex);
  EdgeVector dist;
  carry = f;
  add(aig, ex, bias, carry, dist);
  negate(aig, dist, dist);
  EdgeVector den;
  if (collect) {
    AIGEdge lost = f;
    shiftRightSticky(aig, ns, dist, 0, den, lost);
    sticky = aig.makeOr(sticky, aig.makeAnd(tiny, lost));
  } else {
    shiftRight(aig, ns, dist, f, den);
  }
  for (std::size_t i = 0; i < n; ++i) ns[i] = aig.makeIte(tiny, den[i], ns[i]);
  for (std::size_t i = 0; i < ex.size(); ++i) ex[i] = aig.makeIte(tiny, nb[i], ex[i]);

  // Fraction below the leading one, the round bit below it, the sticky below.
  EdgeVector frac(s);
  for (std::uint32_t i = 0; i < s; ++i) {
    const std::int64_t idx = static_cast<std::int64_t>(n) - 1 - s + i;
    frac[i] = idx >= 0 ? ns[static_cast<std::size_t>(idx)] : f;
  }
  const AIGEdge round = n >= std::size_t(s) + 2 ? ns[n - 2 - s] : f;
  if (collect)
    for (std::size_t i = 0; i + 3 + s <= n; ++i) sticky = aig.makeOr(sticky, ns[i]);

  EdgeVector r;
  roundStep(aig, sg, ex, frac, round, sticky, r, format, mode);
  for (std::uint32_t i = 0; i < e + s; ++i) r[i] = aig.makeIte(zero, f, r[i]);
  result = std::move(r);
}

// ---------------------------------------------------------------------------
// Addition

void floatAdd(AIG& aig, const EdgeVector& x, const EdgeVector& y, EdgeVector& result,
              const FloatFormat& format, RoundingMode mode) {
  if (mode > ROUND_TOWARD_ZERO) mode = ROUND_TOWARD_ZERO;
  const std::uint32_t e = format.exponentWidth;
  const std::uint32_t s = format.significandWidth;
  const std::uint32_t m = s + 1;
  const std::uint32_t g = mode == ROUND_TOWARD_ZERO ? 0 : 1;  // guard positions beyond the round bit
  const AIGEdge t = aig.getTrue();
  const AIGEdge f = aig.getFalse();

  AIGEdge sx, sy;
  EdgeVector ex, ey, mx, my;
  unpackFloat(aig, x, sx, ex, mx, format);
  unpackFloat(aig, y, sy, ey, my, format);

  // c: x is the larger operand (by magnitude bits; on a tie, the positive one).
  EdgeVector p(e + s + 1), q(e + s + 1);
  p[0] = ~sx;
  q[0] = f;
  for (std::uint32_t i = 0; i < e + s; ++i) {
    p[i + 1] = x[i];
    q[i + 1] = y[i];
  }
  const AIGEdge c = unsignedLess(aig, q, p);

  EdgeVector el(e), es(e);
  for (std::uint32_t i = 0; i < e; ++i) {
    el[i] = aig.makeIte(c, ex[i], ey[i]);
    es[i] = aig.makeIte(c, ey[i], ex[i]);
  }
  EdgeVector d;
  subtract(aig, el, es, d);  // non-negative, at most 2^e - 2

  EdgeVector large(m + g + 3, f), small(m + g + 2, f);
  for (std::uint32_t i = 0; i < m; ++i) {
    large[g + 2 + i] = aig.makeIte(c, mx[i], my[i]);
    small[g + 1 + i] = aig.makeIte(c, my[i], mx[i]);
  }
  // The shifter has bit-length(m + g + 2) stages; a narrower difference is
  // read zero-extended (it is unsigned).
  const std::uint32_t stages = stageCount(m + g + 2);
  if (d.size() < stages) zeroExtend(aig, d, static_cast<std::uint32_t>(stages - d.size()), d);
  AIGEdge sticky = f;
  shiftRightSticky(aig, small, d, 0, small, sticky);

  const AIGEdge sub = aig.makeXor(sx, sy);
  EdgeVector addend(m + g + 3);
  for (std::uint32_t i = 0; i + 1 < m + g + 3; ++i) addend[i + 1] = aig.makeIte(sub, ~small[i], small[i]);
  addend[0] = aig.makeIte(sub, ~sticky, sticky);
  AIGEdge carry = sub;
  EdgeVector sum;
  add(aig, large, addend, carry, sum);
  sum.erase(sum.begin());

  const AIGEdge sign = aig.makeIte(c, sx, sy);
  EdgeVector r;
  roundAndPack(aig, sign, el, sum, 1, sticky, r, format, mode);

  if (mode == ROUND_TOWARD_NEGATIVE) {
    // An exact zero sum is -0 toward negative unless both operands are +0.
    const AIGEdge tz = aig.makeAnd(floatIsZero(aig, r, format), aig.makeOr(sx, sy));
    r[e + s] = aig.makeIte(tz, t, r[e + s]);
  }

  const AIGEdge nx = floatIsNan(aig, x, format), ny = floatIsNan(aig, y, format);
  const AIGEdge ix = floatIsInfinity(aig, x, format), iy = floatIsInfinity(aig, y, format);
  const AIGEdge zx = floatIsZero(aig, x, format), zy = floatIsZero(aig, y, format);
  const AIGEdge nz = aig.makeAnd(aig.makeAnd(aig.makeAnd(zx, zy), x[e + s]), y[e + s]);
  r[e + s] = aig.makeIte(nz, t, r[e + s]);
  const AIGEdge inf = aig.makeOr(ix, iy);
  for (std::uint32_t i = 0; i < s; ++i) r[i] = aig.makeIte(inf, f, r[i]);
  r[e + s] = aig.makeIte(ix, sx, r[e + s]);
  r[e + s] = aig.makeIte(iy, sy, r[e + s]);
  const AIGEdge nan = aig.makeOr(aig.makeOr(aig.makeAnd(aig.makeAnd(ix, iy), sub), nx), ny);
  for (std::uint32_t i = 0; i + 1 < s; ++i) r[i] = aig.makeIte(nan, f, r[i]);
  r[s - 1] = aig.makeIte(nan, t, r[s - 1]);
  setExponentField(aig, r, format, aig.makeOr(inf, nan), t);
  result = std::move(r);
}

// ---------------------------------------------------------------------------
// Multiplication and division

void floatMultiply(AIG& aig, const EdgeVector& x, const EdgeVector& y, EdgeVector& result,
                   const FloatFormat& format, RoundingMode mode) {
  if (mode > ROUND_TOWARD_ZERO) mode = ROUND_TOWARD_ZERO;
  const std::uint32_t s = format.significandWidth;
  const std::uint32_t m = s + 1;
  const AIGEdge t = aig.getTrue();
  const AIGEdge f = aig.getFalse();

  AIGEdge sx, sy;
  EdgeVector ex, ey, mx, my;
  unpackFloat(aig, x, sx, ex, mx, format);
  unpackFloat(aig, y, sy, ey, my, format);
  zeroExtend(aig, mx, m, mx);
  zeroExtend(aig, my, m, my);
  const AIGEdge sign = aig.makeXor(sx, sy);
  EdgeVector product;
  multiply(aig, mx, my, 2 * m, product);
  signExtend(aig, ex, 2, ex);
  signExtend(aig, ey, 2, ey);
  AIGEdge carry = t;
  EdgeVector exp;
  add(aig, ex, ey, carry, exp);
  AIGEdge sticky = f;
  EdgeVector r;
  roundAndPack(aig, sign, exp, product, 1, sticky, r, format, mode);

  const AIGEdge nx = floatIsNan(aig, x, format), ny = floatIsNan(aig, y, format);
  const AIGEdge ix = floatIsInfinity(aig, x, format), iy = floatIsInfinity(aig, y, format);
  const AIGEdge zx = floatIsZero(aig, x, format), zy = floatIsZero(aig, y, format);
  const AIGEdge nan =
      aig.makeOr(aig.makeOr(aig.makeOr(nx, ny), aig.makeAnd(zx, iy)), aig.makeAnd(zy, ix));
  const AIGEdge inf = aig.makeOr(aig.makeAnd(~zx, iy), aig.makeAnd(~zy, ix));
  const AIGEdge sp = aig.makeOr(nan, inf);
  setExponentField(aig, r, format, sp, t);
  for (std::uint32_t i = 0; i + 1 < s; ++i) r[i] = aig.makeIte(sp, f, r[i]);
  r[s - 1] = aig.makeIte(inf, f, r[s - 1]);
  r[s - 1] = aig.makeIte(nan, t, r[s - 1]);
  result = std::move(r);
}

void floatDivide(AIG& aig, const EdgeVector& x, const EdgeVector& y, EdgeVector& result,
                 const FloatFormat& format, RoundingMode mode) {
  if (mode > ROUND_TOWARD_ZERO) mode = ROUND_TOWARD_ZERO;
  const std::uint32_t e = format.exponentWidth;
  const std::uint32_t s = format.significandWidth;
  const std::uint32_t m = s + 1;
  const std::uint32_t g = mode == ROUND_TOWARD_ZERO ? 0 : 1;  // extra quotient positions
  const AIGEdge t = aig.getTrue();
  const AIGEdge f = aig.getFalse();

  AIGEdge sx, sy;
  EdgeVector ex, ey, mx, my;
  unpackFloat(aig, x, sx, ex, mx, format);
  unpackFloat(aig, y, sy, ey, my, format);

  // Exponent arithmetic in e + 3 edges, or wider when the significand is so
  // wide for its exponent that ex - ey - 2 - lx + ly (|.| < 2^e + s + 3)
  // would not fit.
  std::uint32_t we = e + 3;
  if (e < 60)
    while (we < 64 && (std::uint64_t(1) << (we - 1)) <= (std::uint64_t(1) << e) + s + 3) ++we;
  signExtend(aig, ex, we - e, ex);
  signExtend(aig, ey, we - e, ey);
  const AIGEdge sign = aig.makeXor(sx, sy);
  EdgeVector exp, two;
  subtract(aig, ex, ey, exp);
  constant(aig, 2, we, two);
  subtract(aig, exp, two, exp);

  // Normalise both significands (leading one on top).
  EdgeVector lx, ly;
  countLeadingZeros(aig, mx, lx);
  countLeadingZeros(aig, my, ly);
  shiftLeft(aig, mx, lx, m, mx);
  shiftLeft(aig, my, ly, m, my);
  zeroExtend(aig, lx, static_cast<std::uint32_t>(we - lx.size()), lx);
  zeroExtend(aig, ly, static_cast<std::uint32_t>(we - ly.size()), ly);
  subtract(aig, exp, lx, exp);
  AIGEdge carry = f;
  add(aig, exp, ly, carry, exp);
  // Nonzero operands have their top edge TRUE already; a zero operand's
  // result is replaced below, and the divisor is never zero.
  mx[s] = t;
  my[s] = t;

  // Long division of mx * 2^(m+g) by my, one quotient bit per step from
  // weight 2^(m+g) down: q = floor(mx * 2^(m+g) / my) < 2^(m+g+1) as
  // mx / my < 2, and the remainder (non-zero: the sticky bit) stays below
  // my, so the partial remainder needs m + 1 edges.
  const std::uint32_t qn = m + g + 1;
  EdgeVector quotient(qn);
  EdgeVector rem(mx);
  rem.push_back(f);
  EdgeVector diff(m + 1), kept(m);
  for (std::uint32_t j = qn; j-- > 0;) {
    AIGEdge c = t;  // rem - my = rem + NOT my + 1; the carry out says rem >= my
    for (std::uint32_t i = 0; i <= m; ++i) {
      const AIGEdge b = i < m ? ~my[i] : t;
      fullAdder(aig, rem[i], b, c, i < m ? &diff[i] : nullptr, &c);
    }
    quotient[j] = c;
    // rem := rem - my when it fits; its top edge is then FALSE. The last
    // remainder only serves the sticky bit.
    if (j == 0 && !readsSticky(mode)) break;
    for (std::uint32_t i = 0; i < m; ++i) kept[i] = aig.makeIte(c, diff[i], rem[i]);
    if (j > 0) {
      rem[0] = f;
      for (std::uint32_t i = 0; i < m; ++i) rem[i + 1] = kept[i];
    }
  }
  AIGEdge sticky = readsSticky(mode) ? ~isAllZero(aig, kept) : f;
  kept.clear();
  rem.clear();
  diff.clear();

  EdgeVector r;
  roundAndPack(aig, sign, exp, quotient, 1, sticky, r, format, mode);

  const AIGEdge nx = floatIsNan(aig, x, format), ny = floatIsNan(aig, y, format);
  const AIGEdge ix = floatIsInfinity(aig, x, format), iy = floatIsInfinity(aig, y, format);
  const AIGEdge zx = floatIsZero(aig, x, format), zy = floatIsZero(aig, y, format);
  const AIGEdge nan =
      aig.makeOr(aig.makeOr(aig.makeOr(nx, ny), aig.makeAnd(ix, iy)), aig.makeAnd(zx, zy));
  const AIGEdge inf = aig.makeOr(zy, ix);
  const AIGEdge zero = aig.makeOr(iy, zx);
  const AIGEdge naninf = aig.makeOr(nan, inf);
  setExponentField(aig, r, format, zero, f);
  setExponentField(aig, r, format, naninf, t);
  const AIGEdge clear = aig.makeOr(naninf, zero);
  for (std::uint32_t i = 0; i + 1 < s; ++i) r[i] = aig.makeIte(clear, f, r[i]);
  r[s - 1] = aig.makeIte(aig.makeOr(inf, zero), f, r[s - 1]);
  r[s - 1] = aig.makeIte(nan, t, r[s - 1]);
  result = std::move(r);
}

// ---------------------------------------------------------------------------
// Conversions

void floatToInt(AIG& aig, const EdgeVector& x, const FloatFormat& format, EdgeVector& result,
                std::uint32_t width, bool isSigned, RoundingMode mode) {
  if (mode > ROUND_TOWARD_ZERO) mode = ROUND_TOWARD_ZERO;
  const std::uint32_t e = format.exponentWidth;
  const std::uint32_t s = format.significandWidth;
  const AIGEdge t = aig.getTrue();
  const AIGEdge f = aig.getFalse();
  // Round and sticky bits: never toward zero; toward negative an unsigned
  // result truncates its magnitude.
  const bool rounds = mode != ROUND_TOWARD_ZERO && (mode != ROUND_TOWARD_NEGATIVE || isSigned);
  EdgeVector r(width, f);
  if (width == 0) {
    result = std::move(r);
    return;
  }

  AIGEdge sign;
  EdgeVector ex, sig;
  unpackFloat(aig, x, sign, ex, sig, format);
  EdgeVector lim(e, t);  // -1, or -2 when rounding
  if (rounds) lim[0] = f;
  EdgeVector amount;
  subtract(aig, ex, lim, amount);  // ex + 1 (+ 1), read unsigned
  const std::uint32_t p = s + (rounds ? 1 : 0);
  EdgeVector v(width + p, f);
  for (std::uint32_t i = 0; i <= s; ++i) v[i] = sig[i];
  // The shifter has bit-length(width + p) stages; a narrower amount is read
  // zero-extended (wrapped negative amounts are small values, handled below).
  const std::uint32_t stages = stageCount(width + p);
  if (amount.size() < stages)
    zeroExtend(aig, amount, static_cast<std::uint32_t>(stages - amount.size()), amount);
  AIGEdge ovf;
  shiftLeftOverflow(aig, v, amount, v, ovf);
  for (std::uint32_t i = 0; i < width; ++i) r[i] = v[p + i];

  // Toward positive, a negative value rounds toward zero, unsigned results
  // included (a value in (-1, 0) gives 0).
  if (rounds) {
    const AIGEdge round = v[p - 1];
    AIGEdge sticky = f;
    if (mode != ROUND_NEAREST_TIES_TO_AWAY)
      for (std::uint32_t i = 0; i + 1 < p; ++i) sticky = aig.makeOr(sticky, v[i]);
    AIGEdge up;
    switch (mode) {
      case ROUND_NEAREST_TIES_TO_EVEN: up = aig.makeAnd(round, aig.makeOr(r[0], sticky)); break;
      case ROUND_NEAREST_TIES_TO_AWAY: up = round; break;
      case ROUND_TOWARD_POSITIVE: up = aig.makeAnd(aig.makeOr(sticky, round), ~sign); break;
      default: up = aig.makeAnd(aig.makeOr(sticky, round), sign); break;
    }
    AIGEdge carry = std::move(up);
    AIGEdge carryOut;
    increment(aig, r, carry, &carryOut);
    ovf = aig.makeOr(ovf, carryOut);
  }

  r[width - 1] = aig.makeIte(ovf, (isSigned && width != 8) ? t : f, r[width - 1]);
  for (std::uint32_t i = 0; i + 1 < width; ++i) r[i] = aig.makeIte(ovf, f, r[i]);

  const AIGEdge small = signedLess(aig, ex, lim);  // |x| < 1/2 when rounding, else < 1
  for (std::uint32_t i = 1; i < width; ++i) r[i] = aig.makeIte(small, f, r[i]);
  AIGEdge low;
  if (mode == ROUND_TOWARD_POSITIVE)
    low = ~sign;
  else if (mode == ROUND_TOWARD_NEGATIVE && isSigned)
    low = sign;
  else
    low = f;
  r[0] = aig.makeIte(small, low, r[0]);

  // A zero converts to 0 (the small-value rule above would give 1).
  if (mode == ROUND_TOWARD_POSITIVE || (mode == ROUND_TOWARD_NEGATIVE && isSigned)) {
    const AIGEdge z = floatIsZero(aig, x, format);
    for (std::uint32_t i = 0; i < width; ++i) r[i] = aig.makeIte(z, f, r[i]);
  }

  if (isSigned) {
    EdgeVector nr;
    negate(aig, r, nr);
    for (std::uint32_t i = 0; i < width; ++i) r[i] = aig.makeIte(sign, nr[i], r[i]);
  }
  result = std::move(r);
}

void uintToFloat(AIG& aig, const EdgeVector& x, const AIGEdge& sign, EdgeVector& result,
                 const FloatFormat& format, RoundingMode mode) {
  const std::uint32_t n = static_cast<std::uint32_t>(x.size());
  const std::uint32_t k = bitLength(n);
  // The exponent n - 2 in k + 1 edges: the binary point after the top edge.
  EdgeVector exp, two;
  constant(aig, n, k, exp);
  zeroExtend(aig, exp, 1, exp);
  constant(aig, 2, k + 1, two);
  subtract(aig, exp, two, exp);
  AIGEdge sticky = aig.getFalse();
  roundAndPack(aig, sign, exp, x, 0, sticky, result, format, mode);
}

void sintToFloat(AIG& aig, const EdgeVector& x, EdgeVector& result, const FloatFormat& format,
                 RoundingMode mode) {
  const AIGEdge sign = x.back();
  // Magnitude in one edge more, so the most negative value keeps 2^(n-1).
  EdgeVector mag, neg;
  signExtend(aig, x, 1, mag);
  negate(aig, mag, neg);
  for (std::size_t i = 0; i < mag.size(); ++i) mag[i] = aig.makeIte(sign, neg[i], mag[i]);
  uintToFloat(aig, mag, sign, result, format, mode);
}

void floatToFloat(AIG& aig, const EdgeVector& x, const FloatFormat& from, EdgeVector& result,
                  const FloatFormat& to, RoundingMode mode) {
  const std::uint32_t s = to.significandWidth;
  const AIGEdge t = aig.getTrue();
  const AIGEdge f = aig.getFalse();
  AIGEdge sign;
  EdgeVector ex, sig;
  unpackFloat(aig, x, sign, ex, sig, from);
  AIGEdge sticky = f;
  EdgeVector r;
  roundAndPack(aig, sign, ex, sig, 0, sticky, r, to, mode);
  const AIGEdge nan = floatIsNan(aig, x, from);
  const AIGEdge inf = floatIsInfinity(aig, x, from);
  setExponentField(aig, r, to, aig.makeOr(nan, inf), t);
  r[s - 1] = aig.makeIte(nan, t, r[s - 1]);
  for (std::uint32_t i = 0; i < s; ++i) r[i] = aig.makeIte(inf, f, r[i]);
  result = std::move(r);
}

}  // namespace circuits
}  // namespace varnok
