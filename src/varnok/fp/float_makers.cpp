// Floating-point and non-linear make functions, including the operation
// makers that the rebuild operations of the floating-point node classes call.
//
// These operators are not built yet: every maker answers a null handle, which
// callers report as an unsupported operation. The floating-point factory
// replaces this file.
#include "varnok/node/expression_manager.h"

namespace varnok {

ExpressionRef& ExpressionManager::makeFloatSignBit(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatExponent(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatSignificand(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatMagnitude(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatNaN(ExpressionRef& result, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatInfinity(ExpressionRef& result, bool /*sign*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatZero(ExpressionRef& result, bool /*sign*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatAbs(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatNeg(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatIsZero(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatIsSubnormal(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatIsNormal(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatIsInfinite(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatIsNaN(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatIsNegative(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatIsPositive(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatSame(ExpressionRef& result, ExpressionRef* /*a*/, ExpressionRef* /*b*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatEq(ExpressionRef& result, ExpressionRef* /*a*/, ExpressionRef* /*b*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatNotEq(ExpressionRef& result, ExpressionRef* /*a*/, ExpressionRef* /*b*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatOrderLT(ExpressionRef& result, ExpressionRef* /*a*/, ExpressionRef* /*b*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatOrderGT(ExpressionRef& result, ExpressionRef* /*a*/, ExpressionRef* /*b*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatOrderLE(ExpressionRef& result, ExpressionRef* /*a*/, ExpressionRef* /*b*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatOrderGE(ExpressionRef& result, ExpressionRef* /*a*/, ExpressionRef* /*b*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatLT(ExpressionRef& result, ExpressionRef* /*a*/, ExpressionRef* /*b*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatLEQ(ExpressionRef& result, ExpressionRef* /*a*/, ExpressionRef* /*b*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatMin(ExpressionRef& result, ExpressionRef* /*a*/, ExpressionRef* /*b*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatMax(ExpressionRef& result, ExpressionRef* /*a*/, ExpressionRef* /*b*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeFloatSub(ExpressionRef& result, ExpressionRef* /*a*/, ExpressionRef* /*b*/, const FloatFormat& /*f*/, RoundingMode /*mode*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeExp(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeLog(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeSin(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeCos(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeExpModule(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeLogModule(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeSinModule(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

ExpressionRef& ExpressionManager::makeCosModule(ExpressionRef& result, ExpressionRef* /*x*/, const FloatFormat& /*f*/) {
  result.reset();
  return result;
}

void ExpressionManager::unpackFloat(ExpressionRef* /*x*/, ExpressionRef& sign, ExpressionRef& exponent,
                                    ExpressionRef& significand, const FloatFormat& /*f*/) {
  sign.reset();
  exponent.reset();
  significand.reset();
}

// ---- floating-point arithmetic and conversions --------------------------

ExpressionRef& ExpressionManager::makeFloatAdd(ExpressionRef& result, ExpressionRef*, ExpressionRef*,
                                               const FloatFormat&, RoundingMode) {
  result.reset();
  return result;
}
ExpressionRef& ExpressionManager::makeFloatMul(ExpressionRef& result, ExpressionRef*, ExpressionRef*,
                                               const FloatFormat&, RoundingMode) {
  result.reset();
  return result;
}
ExpressionRef& ExpressionManager::makeFloatDiv(ExpressionRef& result, ExpressionRef*, ExpressionRef*,
                                               const FloatFormat&, RoundingMode) {
  result.reset();
  return result;
}
ExpressionRef& ExpressionManager::makeFloatToUInt(ExpressionRef& result, ExpressionRef*, const FloatFormat&, uint32_t,
                                                  RoundingMode) {
  result.reset();
  return result;
}
ExpressionRef& ExpressionManager::makeFloatToSInt(ExpressionRef& result, ExpressionRef*, const FloatFormat&, uint32_t,
                                                  RoundingMode) {
  result.reset();
  return result;
}
ExpressionRef& ExpressionManager::makeUIntToFloat(ExpressionRef& result, ExpressionRef*, const FloatFormat&,
                                                  RoundingMode) {
  result.reset();
  return result;
}
ExpressionRef& ExpressionManager::makeSIntToFloat(ExpressionRef& result, ExpressionRef*, const FloatFormat&,
                                                  RoundingMode) {
  result.reset();
  return result;
}
ExpressionRef& ExpressionManager::makeFloatToFloat(ExpressionRef& result, ExpressionRef*, const FloatFormat&,
                                                   const FloatFormat&, RoundingMode) {
  result.reset();
  return result;
}

}  // namespace varnok
