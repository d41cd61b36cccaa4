#pragma once
// Operator classifier of the SMT-LIB 1 front end.

namespace varnok {
namespace smtlib1 {

// Classes of symbol names: 0 "=", 1 distinct, 2 bit0, 3 bit1, 4 bvN,
// 5 bvbinB, 6 bvhexH, 7 concat, 8 extract, 9 repeat, 10 zero_extend,
// 11 sign_extend, 12 rotate_left, 13 rotate_right, 14 bvnot, 15 bvand,
// 16 bvnand, 17 bvor, 18 bvnor, 19 bvxor, 20 bvxnor, 21 bvneg, 22 bvadd,
// 23 bvsub, 24 bvmul, 25 bvudiv, 26 bvsdiv, 27 bvurem, 28 bvsrem, 29 bvsmod,
// 30 bvshl, 31 bvlshr, 32 bvashr, 33 bvcomp, 34 bvult, 35 bvule, 36 bvugt,
// 37 bvuge, 38 bvslt, 39 bvsle, 40 bvsgt, 41 bvsge, 42 select, 43 store,
// and 44 for every other name.
enum IdentifierClass : int {
  EQUAL_SYMBOL = 0,
  DISTINCT_SYMBOL = 1,
  BIT0_CONSTANT = 2,
  BIT1_CONSTANT = 3,
  DECIMAL_CONSTANT = 4,
  BINARY_CONSTANT = 5,
  HEX_CONSTANT = 6,
  CONCAT = 7,
  EXTRACT = 8,
  REPEAT = 9,
  ZERO_EXTEND = 10,
  SIGN_EXTEND = 11,
  ROTATE_LEFT = 12,
  ROTATE_RIGHT = 13,
  BVNOT = 14,
  BVAND = 15,
  BVXNOR = 20,
  BVNEG = 21,
  BVADD = 22,
  BVSMOD = 29,
  BVSHL = 30,
  BVASHR = 32,
  BVCOMP = 33,
  BVULT = 34,
  BVSGE = 41,
  SELECT = 42,
  STORE = 43,
  OTHER_IDENTIFIER = 44
};

// The class of the whole name (44 when no class matches all of it).
int classifySmtlib1Identifier(const char* name);

}  // namespace smtlib1
}  // namespace varnok
