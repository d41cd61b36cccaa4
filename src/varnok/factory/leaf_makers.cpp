// The leaf make functions of the expression manager: Boolean and bit-vector
// constants and variables.
#include <cstdint>
#include <string>
#include <vector>

#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"

namespace varnok {

ExpressionRef& ExpressionManager::makeFalse(ExpressionRef& result) { return makeBool(result, false); }

ExpressionRef& ExpressionManager::makeTrue(ExpressionRef& result) { return makeBool(result, true); }

ExpressionRef& ExpressionManager::makeBool(ExpressionRef& result, bool value) {
  BitVector v(1);
  if (value) v.setOne();
  result = findOrInsert(new ConstantExpression(v));
  return result;
}

ExpressionRef& ExpressionManager::makeOnes(ExpressionRef& result, uint32_t width) {
  BitVector v(width);
  v.setAllOnes();
  result = findOrInsert(new ConstantExpression(v));
  return result;
}

ExpressionRef& ExpressionManager::makeOne(ExpressionRef& result, uint32_t width) {
  BitVector v(width);
  v.setOne();
  result = findOrInsert(new ConstantExpression(v));
  return result;
}

ExpressionRef& ExpressionManager::makeZero(ExpressionRef& result, uint32_t width) {
  BitVector v(width);
  v.setZero();
  result = findOrInsert(new ConstantExpression(v));
  return result;
}

ExpressionRef& ExpressionManager::makeConstantFromHex(ExpressionRef& result, const std::string& digits) {
  BitVector v;
  if (!v.fromHexString(digits)) {
    result.reset();
    return result;
  }
  result = findOrInsert(new ConstantExpression(v));
  return result;
}

ExpressionRef& ExpressionManager::makeConstantFromBinary(ExpressionRef& result, const std::string& digits) {
  BitVector v;
  if (!v.fromBinaryString(digits)) {
    result.reset();
    return result;
  }
  result = findOrInsert(new ConstantExpression(v));
  return result;
}

ExpressionRef& ExpressionManager::makeConstantFromDecimal(ExpressionRef& result, const std::string& digits,
                                                          uint32_t width) {
  BitVector v;
  if (!v.fromDecimalString(digits, width)) {
    result.reset();
    return result;
  }
  result = findOrInsert(new ConstantExpression(v));
  return result;
}

ExpressionRef& ExpressionManager::makeConstant(ExpressionRef& result, const BitVector& value) {
  return insertConstant(result, new ConstantExpression(value));
}

ExpressionRef& ExpressionManager::makeConstantFromBits(ExpressionRef& result, const std::vector<bool>& bits) {
  BitVector v;
  v.fromBoolVector(bits);
  return insertConstant(result, new ConstantExpression(v));
}

ExpressionRef& ExpressionManager::makeConstantFromUInt64(ExpressionRef& result, uint64_t value, uint32_t width) {
  BitVector v;
  v.fromUInt64(value, width);  // a value that does not fit is cut to the width
  return insertConstant(result, new ConstantExpression(v));
}

ExpressionRef& ExpressionManager::makeVariable(ExpressionRef& result, uint32_t width, const char* name) {
  if (width == 0) {
    result.reset();
    return result;
  }
  result = registerExpression(new VariableExpression(width, name));
  return result;
}

ExpressionRef& ExpressionManager::makeArrayVariable(ExpressionRef& result, uint32_t indexWidth,
                                                    uint32_t elementWidth, const char* name) {
  result = registerExpression(new ArrayVariableExpression(indexWidth, elementWidth, name));
  return result;
}

}  // namespace varnok
