#pragma once
// Bit-vector circuits over the and-inverter graph. A bit-vector is a vector of
// edges, index 0 the least significant bit. Every circuit is a stateless free
// function taking the graph, then its inputs, then its outputs; an output
// vector is resized by the circuit and may be the same object as an input.
// Every gate goes through AIG::makeAnd, so constant inputs fold to constant
// outputs without creating nodes, and repeated gates are shared.
#include <cstdint>
#include <vector>

#include "varnok/aig/aig.h"

namespace varnok {

typedef std::vector<AIGEdge> EdgeVector;

// r[i] = a[i] AND b[i], |r| = |a| (b needs at least |a| edges).
void blast_and(AIG& aig, const EdgeVector& a, const EdgeVector& b, EdgeVector& r);
// r[i] = NOT a[i].
void blast_not(AIG& aig, const EdgeVector& a, EdgeVector& r);
// One adder position. The carry input is read before any output is written;
// a null output pointer builds nothing for that output.
void blast_full_adder(AIG& aig, const AIGEdge& a, const AIGEdge& b, const AIGEdge& carryIn, AIGEdge* sum,
                      AIGEdge* carryOut);
// r = a + b + carry modulo 2^|a|; carry ends as the carry into the top position.
void blast_add(AIG& aig, const EdgeVector& a, const EdgeVector& b, AIGEdge& carry, EdgeVector& r);
// v = v + carry in place; carryOut (optional) receives the carry out of the top.
void blast_increment(AIG& aig, EdgeVector& v, AIGEdge& carry, AIGEdge* carryOut = nullptr);
// r = -a modulo 2^|a|.
void blast_negate(AIG& aig, const EdgeVector& a, EdgeVector& r);
// r = a - b modulo 2^|a|.
void blast_sub(AIG& aig, const EdgeVector& a, const EdgeVector& b, EdgeVector& r);
// r = a * b modulo 2^width, |r| = width; a true product needs width <= |a|.
void blast_mul(AIG& aig, const EdgeVector& a, const EdgeVector& b, std::uint32_t width, EdgeVector& r);
// Unsigned restoring division: q = a / b, m = a mod b (b = 0: q all ones, m = a).
void blast_udiv_urem(AIG& aig, const EdgeVector& a, const EdgeVector& b, EdgeVector& q, EdgeVector& m);
// r = value << amount modulo 2^width (all FALSE for amount >= width).
void blast_shl(AIG& aig, const EdgeVector& value, const EdgeVector& amount, std::uint32_t width, EdgeVector& r);
// r = value shifted right by amount, vacated positions take `fill`.
void blast_shr(AIG& aig, const EdgeVector& value, const EdgeVector& amount, const AIGEdge& fill, EdgeVector& r);
// a < b unsigned / two's complement, over |a| positions.
AIGEdge blast_ult(AIG& aig, const EdgeVector& a, const EdgeVector& b);
AIGEdge blast_slt(AIG& aig, const EdgeVector& a, const EdgeVector& b);
// a = b (FALSE for different widths, TRUE for two empty vectors).
AIGEdge blast_equal(AIG& aig, const EdgeVector& a, const EdgeVector& b);
// Every edge of a is FALSE (TRUE for an empty vector).
AIGEdge blast_is_all_zero(AIG& aig, const EdgeVector& a);
// Number of FALSE positions above the most significant TRUE one (|a| when
// all are FALSE), in bit-length(|a| - 1) + 1 bits; a needs at least one edge.
void blast_count_leading_zeros(AIG& aig, const EdgeVector& a, EdgeVector& c);

}  // namespace varnok
