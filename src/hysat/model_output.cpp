// Model output and verification: the value of every symbol at every step
// it was instantiated for, and an independent check of INIT, every TRANS
// step and TARGET on those values with the evaluator.
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "hysat/engine.h"

namespace varnok {
namespace hysat {

namespace {

[[noreturn]] void fail(const std::string& message) {
  std::cerr << message << std::endl;
  std::exit(1);
}

bool isSingle(const Symbol* symbol) {
  if (dynamic_cast<const ConstantInfo*>(symbol) != nullptr) return true;
  const VariableInfo* variable = dynamic_cast<const VariableInfo*>(symbol);
  return variable != nullptr && variable->isStatic;
}

uint32_t wordFromBytes(const uint8_t bytes[4]) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

}  // namespace

// Every handle the caches hold goes into the model, also those of a symbol
// that has none at step 0 (a variable that occurs only primed): the
// verification reads them, and with substitution their values exist only
// once prepared.
void BmcProblem::constructModel() {
  std::vector<VARNOK::Expression> handles;
  for (const Symbol* symbol : *symbols) {
    if (isSingle(symbol)) {
      auto entry = singleHandles.find(symbol);
      if (entry != singleHandles.end() && !entry->second.isNull()) handles.push_back(entry->second);
      continue;
    }
    auto entry = stepHandles.find(symbol);
    if (entry == stepHandles.end()) continue;
    for (const VARNOK::Expression& handle : entry->second) {
      if (!handle.isNull()) handles.push_back(handle);
    }
  }
  if (!solver->prepareModel(handles)) fail("Could not construct model.");
}

// A symbol lists its values from step 0 up to its first step without a
// solver expression.
void BmcProblem::printModel() {
  for (const Symbol* symbol : *symbols) {
    std::cout << std::endl;
    std::cout << "  " << symbol->name << " (" << symbolKindName(symbol->getKind()) << "):" << std::endl;
    if (isSingle(symbol)) {
      auto entry = singleHandles.find(symbol);
      if (entry != singleHandles.end() && !entry->second.isNull()) {
        std::cout << "    ";
        printSolution(entry->second, symbol->getKind());
        std::cout << std::endl;
      }
      continue;
    }
    auto entry = stepHandles.find(symbol);
    if (entry == stepHandles.end()) continue;
    const std::vector<VARNOK::Expression>& handles = entry->second;
    for (size_t k = 0; k < handles.size() && !handles[k].isNull(); ++k) {
      std::cout << "    @" << k << ": ";
      printSolution(handles[k], symbol->getKind());
      std::cout << std::endl;
    }
  }
}

void BmcProblem::printSolution(const VARNOK::Expression& handle, SymbolKind kind) {
  switch (kind) {
    case SYMBOL_INT_CONSTANT:
    case SYMBOL_INT_VARIABLE:
    case SYMBOL_FLOAT_CONSTANT:
    case SYMBOL_FLOAT_VARIABLE: {
      uint8_t bytes[4] = {0, 0, 0, 0};
      if (!solver->getModelValueBytes(handle, bytes, 2)) fail("Cannot get Solution.");
      const uint32_t word = wordFromBytes(bytes);
      if (kind == SYMBOL_INT_CONSTANT || kind == SYMBOL_INT_VARIABLE) {
        std::cout << intOf(Value{word, VALUE_INT});
      } else {
        std::cout << static_cast<double>(floatOf(Value{word, VALUE_FLOAT}));
      }
      break;
    }
    case SYMBOL_BOOL_VARIABLE: {
      char text[2] = {0, 0};
      if (!solver->getModelValueString(handle, text)) fail("Cannot get Solution.");
      std::cout << (text[0] == '1' ? 1 : 0);
      break;
    }
    default:
      fail("Invalid symbol kind.");
  }
  std::vector<bool> bits;
  if (!solver->getModelValue(handle, bits)) fail("Cannot get Solution.");
  std::string text;
  text.reserve(bits.size());
  for (size_t i = bits.size(); i-- > 0;) text.push_back(bits[i] ? '1' : '0');
  std::cout << " (" << text << ")";
}

Value BmcProblem::getModelValue(const std::string& name, uint32_t step) {
  const Symbol* symbol = findSymbol(*symbols, name);
  if (symbol == nullptr) fail("No such symbol '" + name + "'.");
  const VARNOK::Expression handle = variableSlot(symbol, step);
  switch (symbol->getKind()) {
    case SYMBOL_INT_CONSTANT:
      return makeIntValue(static_cast<const IntConstantInfo*>(symbol)->value);
    case SYMBOL_FLOAT_CONSTANT:
      return makeFloatValue(static_cast<const FloatConstantInfo*>(symbol)->value);
    case SYMBOL_BOOL_VARIABLE: {
      char text[2] = {0, 0};
      if (!solver->getModelValueString(handle, text)) fail("Error getting model.");
      return makeBoolValue(text[0] == '1');
    }
    case SYMBOL_INT_VARIABLE:
    case SYMBOL_FLOAT_VARIABLE: {
      uint8_t bytes[4] = {0, 0, 0, 0};
      if (!solver->getModelValueBytes(handle, bytes, 2)) fail("Error getting model.");
      return Value{wordFromBytes(bytes), symbol->getKind() == SYMBOL_INT_VARIABLE ? VALUE_INT : VALUE_FLOAT};
    }
    default:
      fail("Invalid symbol kind.");
  }
}

void BmcProblem::verifyModel(uint32_t k) {
  if (init != nullptr && !isTrue(evaluateExpression(*init, 0))) fail("initial constraint is unsatisfied.");
  if (trans != nullptr) {
    for (uint32_t i = 0; i < k; ++i) {
      if (!isTrue(evaluateExpression(*trans, i))) {
        fail("transition at step " + std::to_string(i) + " is unsatisfied.");
      }
    }
  }
  if (target != nullptr && !isTrue(evaluateExpression(*target, k))) fail("target constraint is unsatisfied.");
  std::cout << std::endl << "model verified." << std::endl;
}

}  // namespace hysat
}  // namespace varnok
