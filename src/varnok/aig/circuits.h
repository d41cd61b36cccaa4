#pragma once
// Bit-vector circuits over the and-inverter graph (namespace circuits). A
// bit-vector is a vector of edges, index 0 the least significant bit. Every
// circuit is a stateless free function taking the graph, then its inputs,
// then its outputs; an output vector is resized by the circuit and may be the
// same object as an input.
// Every gate goes through AIG::makeAnd, so constant inputs fold to constant
// outputs without creating nodes, and repeated gates are shared.
#include <cstdint>
#include <vector>

#include "varnok/aig/aig.h"

namespace varnok {

typedef std::vector<AIGEdge> EdgeVector;

namespace circuits {

// r[i] = a[i] AND b[i], |r| = |a| (b needs at least |a| edges).
void bitwiseAnd(AIG& aig, const EdgeVector& a, const EdgeVector& b, EdgeVector& r);
// r[i] = NOT a[i].
void bitwiseNot(AIG& aig, const EdgeVector& a, EdgeVector& r);
// One adder position. The carry input is read before any output is written;
// a null output pointer builds nothing for that output.
void fullAdder(AIG& aig, const AIGEdge& a, const AIGEdge& b, const AIGEdge& carryIn, AIGEdge* sum,
               AIGEdge* carryOut);
// r = a + b + carry modulo 2^|a|; carry ends as the carry into the top position.
void add(AIG& aig, const EdgeVector& a, const EdgeVector& b, AIGEdge& carry, EdgeVector& r);
// v = v + carry in place; carryOut (optional) receives the carry out of the top.
void increment(AIG& aig, EdgeVector& v, AIGEdge& carry, AIGEdge* carryOut = nullptr);
// r = -a modulo 2^|a|.
void negate(AIG& aig, const EdgeVector& a, EdgeVector& r);
// r = a - b modulo 2^|a|.
void subtract(AIG& aig, const EdgeVector& a, const EdgeVector& b, EdgeVector& r);
// r = a * b modulo 2^width, |r| = width; a true product needs width <= |a|.
void multiply(AIG& aig, const EdgeVector& a, const EdgeVector& b, std::uint32_t width, EdgeVector& r);
// Unsigned restoring division: q = a / b, m = a mod b (b = 0: q all ones, m = a).
void unsignedDivide(AIG& aig, const EdgeVector& a, const EdgeVector& b, EdgeVector& q, EdgeVector& m);
// r = value << amount modulo 2^width (all FALSE for amount >= width).
void shiftLeft(AIG& aig, const EdgeVector& value, const EdgeVector& amount, std::uint32_t width, EdgeVector& r);
// r = value shifted right by amount, vacated positions take `fill`.
void shiftRight(AIG& aig, const EdgeVector& value, const EdgeVector& amount, const AIGEdge& fill, EdgeVector& r);
// a < b unsigned / two's complement, over |a| positions.
AIGEdge unsignedLess(AIG& aig, const EdgeVector& a, const EdgeVector& b);
AIGEdge signedLess(AIG& aig, const EdgeVector& a, const EdgeVector& b);
// a = b (FALSE for different widths, TRUE for two empty vectors).
AIGEdge isEqual(AIG& aig, const EdgeVector& a, const EdgeVector& b);
// Every edge of a is FALSE (TRUE for an empty vector).
AIGEdge isAllZero(AIG& aig, const EdgeVector& a);
// Number of FALSE positions above the most significant TRUE one (|a| when
// all are FALSE), in bit-length(|a| - 1) + 1 bits; a needs at least one edge.
void countLeadingZeros(AIG& aig, const EdgeVector& a, EdgeVector& c);

}  // namespace circuits
}  // namespace varnok
