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
  circuits::uintToFloat(aig, edgesOf(getChild0()), aig.getFalse(), edgesOf(this), getFormat(), getRoundingMode());
}

void SIntToFloatExpression::encode(AIG& aig) {
  circuits::sintToFloat(aig, edgesOf(getChild0()), edgesOf(this), getFormat(), getRoundingMode());
}

void FloatToUIntExpression::encode(AIG& aig) {
  circuits::floatToInt(aig, edgesOf(getChild0()), getFormat(), edgesOf(this), getWidth(), false, getRoundingMode());
}

void FloatToSIntExpression::encode(AIG& aig) {
  circuits::floatToInt(aig, edgesOf(getChild0()), getFormat(), edgesOf(this), getWidth(), true, getRoundingMode());
}

void FloatToFloatExpression::encode(AIG& aig) {
  circuits::floatToFloat(aig, edgesOf(getChild0()), getSourceFormat(), edgesOf(this), getTargetFormat(),
                         getRoundingMode());
}

void FloatAddExpression::encode(AIG& aig) {
  circuits::floatAdd(aig, edgesOf(getChild0()), edgesOf(getChild1()), edgesOf(this), getFormat(), getRoundingMode());
}

void FloatMulExpression::encode(AIG& aig) {
  circuits::floatMultiply(aig, edgesOf(getChild0()), edgesOf(getChild1()), edgesOf(this), getFormat(),
                          getRoundingMode());
}

void FloatDivExpression::encode(AIG& aig) {
  circuits::floatDivide(aig, edgesOf(getChild0()), edgesOf(getChild1()), edgesOf(this), getFormat(), getRoundingMode());
}

}  // namespace varnok
