// The and-inverter-graph encoding of the floating-point operator classes:
// each builds the circuit of its operation for its format and its rounding
// mode, which is fixed per node.
#include <vector>

#include "varnok/aig/aig.h"
#include "varnok/aig/float_circuits.h"
#include "varnok/node/expression.h"
#include "varnok/node/operator_expressions.h"

namespace varnok {

namespace {

inline std::vector<AIGEdge>& edgesOf(const Expression* e) { return *e->getBitEdges(); }

}  // namespace

void UIntToFloatExpression::encode(AIG& aig) {
  blast_uint_to_float(aig, edgesOf(getChild0()), aig.getFalse(), edgesOf(this), getFormat(), getRoundingMode());
}

void SIntToFloatExpression::encode(AIG& aig) {
  blast_sint_to_float(aig, edgesOf(getChild0()), edgesOf(this), getFormat(), getRoundingMode());
}

void FloatToUIntExpression::encode(AIG& aig) {
  blast_float_to_int(aig, edgesOf(getChild0()), getFormat(), edgesOf(this), getWidth(), false, getRoundingMode());
}

void FloatToSIntExpression::encode(AIG& aig) {
  blast_float_to_int(aig, edgesOf(getChild0()), getFormat(), edgesOf(this), getWidth(), true, getRoundingMode());
}

void FloatToFloatExpression::encode(AIG& aig) {
  blast_float_to_float(aig, edgesOf(getChild0()), getSourceFormat(), edgesOf(this), getTargetFormat(),
                       getRoundingMode());
}

void FloatAddExpression::encode(AIG& aig) {
  blast_float_add(aig, edgesOf(getChild0()), edgesOf(getChild1()), edgesOf(this), getFormat(), getRoundingMode());
}

void FloatMulExpression::encode(AIG& aig) {
  blast_float_mul(aig, edgesOf(getChild0()), edgesOf(getChild1()), edgesOf(this), getFormat(), getRoundingMode());
}

void FloatDivExpression::encode(AIG& aig) {
  blast_float_div(aig, edgesOf(getChild0()), edgesOf(getChild1()), edgesOf(this), getFormat(), getRoundingMode());
}

}  // namespace varnok
