#pragma once
// The reference model that every property test compares the solver with:
// bit-vector operations on unsigned 128-bit integers (widths 1 to 128, plus
// the double-width product and shift of the circuit tests), and terms over
// bit-vector and array variables kept as a plain list of nodes (operands
// before their users) with their evaluation on concrete values. It shares no
// code with the solver's value library.
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace varnok_test {

using u128 = unsigned __int128;
using i128 = __int128;

inline u128 maskOf(uint32_t w) { return w >= 128 ? ~u128(0) : ((u128(1) << w) - 1); }
// The signed value of the low w bits.
inline i128 sext(u128 v, uint32_t w) {
  const u128 sign = u128(1) << (w - 1);
  return i128(((v & maskOf(w)) ^ sign) - sign);
}

namespace ref {

inline u128 neg(u128 a, uint32_t w) { return (~a + 1) & maskOf(w); }
// Division by zero: all ones; remainder by zero: the dividend.
inline u128 udiv(u128 a, u128 b, uint32_t w) { return b == 0 ? maskOf(w) : a / b; }
inline u128 urem(u128 a, u128 b) { return b == 0 ? a : a % b; }
inline bool negative(u128 a, uint32_t w) { return (a >> (w - 1)) & 1; }
inline u128 sdiv(u128 s, u128 t, uint32_t w) {
  const bool ms = negative(s, w), mt = negative(t, w);
  const u128 q = udiv(ms ? neg(s, w) : s, mt ? neg(t, w) : t, w);
  return ms != mt ? neg(q, w) : q;
}
inline u128 srem(u128 s, u128 t, uint32_t w) {
  const bool ms = negative(s, w), mt = negative(t, w);
  const u128 r = urem(ms ? neg(s, w) : s, mt ? neg(t, w) : t);
  return ms ? neg(r, w) : r;
}
inline u128 smod(u128 s, u128 t, uint32_t w) {
  const bool ms = negative(s, w), mt = negative(t, w);
  const u128 u = urem(ms ? neg(s, w) : s, mt ? neg(t, w) : t);
  if (u == 0 || (!ms && !mt)) return u;
  if (ms && !mt) return (neg(u, w) + t) & maskOf(w);
  if (!ms && mt) return (u + t) & maskOf(w);
  return neg(u, w);
}
// Amounts of the width or more shift everything out.
inline u128 shl(u128 a, u128 s, uint32_t w) { return s >= w ? 0 : (a << unsigned(s)) & maskOf(w); }
inline u128 lshr(u128 a, u128 s, uint32_t w) { return s >= w ? 0 : (a & maskOf(w)) >> unsigned(s); }
inline u128 ashr(u128 a, u128 s, uint32_t w) {
  const bool n = negative(a, w);
  if (s >= w) return n ? maskOf(w) : 0;
  u128 r = a >> unsigned(s);
  if (n && s) r |= maskOf(w) & ~(maskOf(w) >> unsigned(s));
  return r;
}
inline u128 rotl(u128 a, uint32_t k, uint32_t w) {
  k %= w;
  return k == 0 ? a : ((a << k) | (a >> (w - k))) & maskOf(w);
}
inline bool slt(u128 a, u128 b, uint32_t w) { return sext(a, w) < sext(b, w); }
inline bool inSignedRange(i128 v, uint32_t w) { return v >= -(i128(1) << (w - 1)) && v <= (i128(1) << (w - 1)) - 1; }
inline bool uaddo(u128 a, u128 b, uint32_t w) { return a + b > maskOf(w); }
inline bool saddo(u128 a, u128 b, uint32_t w) { return !inSignedRange(sext(a, w) + sext(b, w), w); }
inline bool usubo(u128 a, u128 b) { return a < b; }
inline bool ssubo(u128 a, u128 b, uint32_t w) { return !inSignedRange(sext(a, w) - sext(b, w), w); }
inline bool umulo(u128 a, u128 b, uint32_t w) {
  u128 p;
  return __builtin_mul_overflow(a, b, &p) || p > maskOf(w);
}
inline bool smulo(u128 a, u128 b, uint32_t w) {
  i128 p;
  return __builtin_mul_overflow(sext(a, w), sext(b, w), &p) || !inSignedRange(p, w);
}
inline bool sdivo(u128 a, u128 b, uint32_t w) { return a == (u128(1) << (w - 1)) && b == maskOf(w); }
inline uint32_t countLeadingZeros(u128 a, uint32_t w) {
  uint32_t n = 0;
  while (n < w && !((a >> (w - 1 - n)) & 1)) ++n;
  return n;
}

// Values of up to 256 bits, for products and shifts into twice the width.
struct Wide {
  u128 lo = 0, hi = 0;
  bool operator==(const Wide& o) const { return lo == o.lo && hi == o.hi; }
};
// The full product of two values of at most 128 bits.
inline Wide mulFull(u128 a, u128 b) {
  const u128 m = ~uint64_t(0);
  const u128 p0 = (a & m) * (b & m), p1 = (a & m) * (b >> 64), p2 = (a >> 64) * (b & m), p3 = (a >> 64) * (b >> 64);
  const u128 mid = (p0 >> 64) + (p1 & m) + (p2 & m);
  Wide r;
  r.lo = (p0 & m) | (mid << 64);
  r.hi = p3 + (p1 >> 64) + (p2 >> 64) + (mid >> 64);
  return r;
}
// a shifted left by s within w bits (w at most 256).
inline Wide shlWide(Wide a, u128 s, uint32_t w) {
  Wide r;
  if (s < 256) {
    const unsigned k = unsigned(s);
    if (k == 0) r = a;
    else if (k < 128) r = {a.lo << k, (a.hi << k) | (a.lo >> (128 - k))};
    else r = {0, a.lo << (k - 128)};
  }
  if (w < 256) {
    if (w <= 128) r = {r.lo & maskOf(w), 0};
    else r.hi &= maskOf(w - 128);
  }
  return r;
}

}  // namespace ref

// ---------------------------------------------------------------------------
// Terms

enum Op {
  VAR, CONST, NOT, AND, OR, NOR, NAND, XOR, XNOR, IMPLIES, IFF, EQ, DISTINCT, ISZERO, ISONES, ISONE, ITE,
  ADD, SUB, MUL, NEG, EXTRACT, CONCAT, ZEXT, SEXT, REPEAT, ROTL, ROTR, SHL, LSHR, ASHR, ULT, SLT, UGT, ULE,
  UGE, SGT, SLE, SGE, UDIV, UREM, SDIV, SREM, SMOD, UADDO, SADDO, USUBO, SSUBO, UMULO, SMULO, SDIVO, ABS,
  ANDN, ORN, XORN, IFFN, EQN, DISTN, AVAR, READ, WRITE, AITE, AEQ, NUM_OPS
};

inline const char* opName(int op) {
  static const char* names[] = {
      "var", "const", "not", "and", "or", "nor", "nand", "xor", "xnor", "implies", "iff", "eq", "distinct",
      "iszero", "isones", "isone", "ite", "add", "sub", "mul", "neg", "extract", "concat", "zext", "sext",
      "repeat", "rotl", "rotr", "shl", "lshr", "ashr", "ult", "slt", "ugt", "ule", "uge", "sgt", "sle", "sge",
      "udiv", "urem", "sdiv", "srem", "smod", "uaddo", "saddo", "usubo", "ssubo", "umulo", "smulo", "sdivo",
      "abs", "andN", "orN", "xorN", "iffN", "eqN", "distinctN", "avar", "read", "write", "aite", "aeq"};
  return op >= 0 && op < NUM_OPS ? names[op] : "?";
}

// One term: a bit-vector of width w, or (w == 0) an array from iw-bit indices
// to ew-bit elements. Operands are indices of earlier nodes.
struct Node {
  int op = VAR;
  uint32_t w = 0;
  uint32_t iw = 0, ew = 0;
  std::vector<int> kids;
  uint32_t p = 0, q = 0;  // extract high and low bit; extension, repetition or rotation count
  u128 c = 0;             // constant value
  int var = -1;           // variable number (bit-vector and array variables share the numbering)
  bool isArray() const { return w == 0; }
};

// A bit-vector value, or an array value listing the element of every index.
struct Value {
  u128 v = 0;
  std::vector<u128> a;
};

// The value of node i from the values of its operands (and of the variables).
inline Value evaluateNode(const std::vector<Node>& nodes, const std::vector<Value>& values, size_t i,
                          const std::vector<Value>& variables) {
  const Node& n = nodes[i];
  const uint32_t w = n.w;
  const u128 m = maskOf(w);
  auto k = [&](size_t j) -> const Value& { return values[n.kids[j]]; };
  auto kw = [&](size_t j) { return nodes[n.kids[j]].w; };
  Value r;
  switch (n.op) {
    case VAR:
    case AVAR: return variables[n.var];
    case CONST: r.v = n.c; break;
    case NOT: r.v = ~k(0).v & m; break;
    case AND: r.v = k(0).v & k(1).v; break;
    case OR: r.v = k(0).v | k(1).v; break;
    case NOR: r.v = ~(k(0).v | k(1).v) & m; break;
    case NAND: r.v = ~(k(0).v & k(1).v) & m; break;
    case XOR: r.v = k(0).v ^ k(1).v; break;
    case XNOR: r.v = ~(k(0).v ^ k(1).v) & m; break;
    case IMPLIES: r.v = !k(0).v || k(1).v; break;
    case IFF: r.v = k(0).v == k(1).v; break;
    case EQ:
    case DISTINCT:
    case AEQ: {
      const bool eq = nodes[n.kids[0]].isArray() ? k(0).a == k(1).a : k(0).v == k(1).v;
      r.v = n.op == DISTINCT ? !eq : eq;
      break;
    }
    case ISZERO: r.v = k(0).v == 0; break;
    case ISONES: r.v = k(0).v == maskOf(kw(0)); break;
    case ISONE: r.v = k(0).v == 1; break;
    case ITE:
    case AITE: r = (k(0).v & 1) ? k(1) : k(2); break;
    case ADD: r.v = (k(0).v + k(1).v) & m; break;
    case SUB: r.v = (k(0).v - k(1).v) & m; break;
    case MUL: r.v = (k(0).v * k(1).v) & m; break;
    case NEG: r.v = ref::neg(k(0).v, w); break;
    case EXTRACT: r.v = (k(0).v >> n.q) & maskOf(n.p - n.q + 1); break;
    case CONCAT: r.v = (k(0).v << kw(1)) | k(1).v; break;
    case ZEXT: r.v = k(0).v; break;
    case SEXT: r.v = u128(sext(k(0).v, kw(0))) & m; break;
    case REPEAT:
      for (uint32_t j = 0; j < n.p; ++j) r.v = (r.v << kw(0)) | k(0).v;
      break;
    case ROTL: r.v = ref::rotl(k(0).v, n.p, w); break;
    case ROTR: r.v = ref::rotl(k(0).v, (w - n.p % w) % w, w); break;
    case SHL: r.v = ref::shl(k(0).v, k(1).v, w); break;
    case LSHR: r.v = ref::lshr(k(0).v, k(1).v, w); break;
    case ASHR: r.v = ref::ashr(k(0).v, k(1).v, w); break;
    case ULT: r.v = k(0).v < k(1).v; break;
    case UGT: r.v = k(0).v > k(1).v; break;
    case ULE: r.v = k(0).v <= k(1).v; break;
    case UGE: r.v = k(0).v >= k(1).v; break;
    case SLT: r.v = ref::slt(k(0).v, k(1).v, kw(0)); break;
    case SGT: r.v = ref::slt(k(1).v, k(0).v, kw(0)); break;
    case SLE: r.v = !ref::slt(k(1).v, k(0).v, kw(0)); break;
    case SGE: r.v = !ref::slt(k(0).v, k(1).v, kw(0)); break;
    case UDIV: r.v = ref::udiv(k(0).v, k(1).v, w); break;
    case UREM: r.v = ref::urem(k(0).v, k(1).v); break;
    case SDIV: r.v = ref::sdiv(k(0).v, k(1).v, w); break;
    case SREM: r.v = ref::srem(k(0).v, k(1).v, w); break;
    case SMOD: r.v = ref::smod(k(0).v, k(1).v, w); break;
    case UADDO: r.v = ref::uaddo(k(0).v, k(1).v, kw(0)); break;
    case SADDO: r.v = ref::saddo(k(0).v, k(1).v, kw(0)); break;
    case USUBO: r.v = ref::usubo(k(0).v, k(1).v); break;
    case SSUBO: r.v = ref::ssubo(k(0).v, k(1).v, kw(0)); break;
    case UMULO: r.v = ref::umulo(k(0).v, k(1).v, kw(0)); break;
    case SMULO: r.v = ref::smulo(k(0).v, k(1).v, kw(0)); break;
    case SDIVO: r.v = ref::sdivo(k(0).v, k(1).v, kw(0)); break;
    case ABS: r.v = ref::negative(k(0).v, w) ? ref::neg(k(0).v, w) : k(0).v; break;
    case ANDN:
    case ORN:
    case XORN:
      r.v = n.op == ANDN ? m : 0;
      for (size_t j = 0; j < n.kids.size(); ++j) {
        if (n.op == ANDN) r.v &= k(j).v;
        if (n.op == ORN) r.v |= k(j).v;
        if (n.op == XORN) r.v ^= k(j).v;
      }
      break;
    case IFFN:
      r.v = k(0).v;
      for (size_t j = 1; j < n.kids.size(); ++j) r.v = r.v == k(j).v;
      break;
    case EQN:
      r.v = 1;
      for (size_t j = 1; j < n.kids.size(); ++j) r.v = r.v && k(j).v == k(j - 1).v;
      break;
    case DISTN:
      r.v = 1;
      for (size_t x = 0; x < n.kids.size(); ++x)
        for (size_t y = x + 1; y < n.kids.size(); ++y) r.v = r.v && k(x).v != k(y).v;
      break;
    case READ: r.v = k(0).a[size_t(k(1).v)]; break;
    case WRITE:
      r = k(0);
      r.a[size_t(k(1).v)] = k(2).v;
      break;
    default: break;
  }
  return r;
}

// Node i as text, `depth` levels deep (for failure messages).
inline std::string hex(u128 v) {
  if (v == 0) return "0";
  std::string s;
  for (; v; v >>= 4) s.insert(s.begin(), "0123456789abcdef"[unsigned(v & 15)]);
  return "0x" + s;
}
inline void print(std::ostream& out, const std::vector<Node>& nodes, int i, int depth = 6) {
  const Node& n = nodes[i];
  if (n.op == VAR || n.op == AVAR) {
    out << (n.op == VAR ? "x" : "A") << n.var << ":" << n.w;
    return;
  }
  if (n.op == CONST) {
    out << hex(n.c) << ":" << n.w;
    return;
  }
  out << "(" << opName(n.op);
  if (n.op == EXTRACT) out << "[" << n.p << ":" << n.q << "]";
  if (n.op == ZEXT || n.op == SEXT || n.op == REPEAT || n.op == ROTL || n.op == ROTR) out << "[" << n.p << "]";
  if (depth == 0) {
    out << " ...)";
    return;
  }
  for (int k : n.kids) {
    out << " ";
    print(out, nodes, k, depth - 1);
  }
  out << ")";
}

// The values of all nodes, in node order.
inline void evaluateAll(const std::vector<Node>& nodes, const std::vector<Value>& variables,
                        std::vector<Value>& values) {
  values.resize(nodes.size());
  for (size_t i = 0; i < nodes.size(); ++i) values[i] = evaluateNode(nodes, values, i, variables);
}

}  // namespace varnok_test
