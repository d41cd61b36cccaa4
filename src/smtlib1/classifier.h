#pragma once
// Operator classifier of the SMT-LIB 1 front end.

namespace varnok {
namespace smtlib1 {

// Classes of symbol names: one per built-in operator and constant form of
// the SMT-LIB 1 bit-vector and array logics (the value is the class number),
// and OTHER_IDENTIFIER for every other name.
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
  BVNAND = 16,
  BVOR = 17,
  BVNOR = 18,
  BVXOR = 19,
  BVXNOR = 20,
  BVNEG = 21,
  BVADD = 22,
  BVSUB = 23,
  BVMUL = 24,
  BVUDIV = 25,
  BVSDIV = 26,
  BVUREM = 27,
  BVSREM = 28,
  BVSMOD = 29,
  BVSHL = 30,
  BVLSHR = 31,
  BVASHR = 32,
  BVCOMP = 33,
  BVULT = 34,
  BVULE = 35,
  BVUGT = 36,
  BVUGE = 37,
  BVSLT = 38,
  BVSLE = 39,
  BVSGT = 40,
  BVSGE = 41,
  SELECT = 42,
  STORE = 43,
  OTHER_IDENTIFIER = 44
};

// The class of the whole name (OTHER_IDENTIFIER when no class matches all of it).
int classifySmtlib1Identifier(const char* name);

}  // namespace smtlib1
}  // namespace varnok
