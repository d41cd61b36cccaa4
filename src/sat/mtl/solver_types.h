#pragma once
// Literals and three-valued truth of the MiniSat solver family.
//
// A literal is 2 * variable + sign (sign 1 negated), the same int the SAT
// interface uses; the undefined literal is -2 and the error literal -1. A
// truth value is one byte: 0 true, 1 false, 2 undefined (any value with bit
// 1 set reads as undefined).
#include <cstdint>

namespace varnok {
namespace sat {
namespace mtl {

typedef int Var;
const Var var_Undef = -1;

struct Lit {
  int x;

  bool operator==(Lit p) const { return x == p.x; }
  bool operator!=(Lit p) const { return x != p.x; }
  bool operator<(Lit p) const { return x < p.x; }
};

inline Lit mkLit(Var var, bool sign = false) {
  Lit p;
  p.x = var + var + (int)sign;
  return p;
}
inline Lit operator~(Lit p) {
  Lit q;
  q.x = p.x ^ 1;
  return q;
}
inline Lit operator^(Lit p, bool b) {
  Lit q;
  q.x = p.x ^ (unsigned int)b;
  return q;
}
inline bool sign(Lit p) { return p.x & 1; }
inline int var(Lit p) { return p.x >> 1; }
inline int toInt(Var v) { return v; }
inline int toInt(Lit p) { return p.x; }
inline Lit toLit(int i) {
  Lit p;
  p.x = i;
  return p;
}

constexpr Lit lit_Undef = {-2};
constexpr Lit lit_Error = {-1};

class lbool {
  uint8_t value;

 public:
  constexpr explicit lbool(uint8_t v) : value(v) {}
  constexpr lbool() : value(0) {}
  constexpr explicit lbool(bool x) : value(!x) {}

  constexpr bool operator==(lbool b) const {
    return ((b.value & 2) & (value & 2)) | (!(b.value & 2) & (value == b.value));
  }
  constexpr bool operator!=(lbool b) const { return !(*this == b); }
  constexpr lbool operator^(bool b) const { return lbool((uint8_t)(value ^ (uint8_t)b)); }

  lbool operator&&(lbool b) const {
    uint8_t sel = (this->value << 1) | (b.value << 3);
    uint8_t v = (0xF7F755F4 >> sel) & 3;
    return lbool(v);
  }
  lbool operator||(lbool b) const {
    uint8_t sel = (this->value << 1) | (b.value << 3);
    uint8_t v = (0xFCFCF400 >> sel) & 3;
    return lbool(v);
  }

  friend int toInt(lbool l);
};
inline int toInt(lbool l) { return l.value; }
inline lbool toLbool(int v) { return lbool((uint8_t)v); }

constexpr lbool l_True((uint8_t)0);
constexpr lbool l_False((uint8_t)1);
constexpr lbool l_Undef((uint8_t)2);

}  // namespace mtl
}  // namespace sat
}  // namespace varnok
