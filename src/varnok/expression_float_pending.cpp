// The floating-point operation makers that the rebuild operations of the
// floating-point node classes call (the remaining floating-point makers are
// in expression_factory_float.cpp). Floating-point operations are not built
// yet: each maker answers a null handle, which callers report as an
// unsupported operation. The floating-point factory replaces this file.
#include "varnok/expression_manager.h"

namespace varnok {

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
