#include "hysat/symbol.h"

#include <cstring>
#include <sstream>

namespace varnok {
namespace hysat {

Symbol::~Symbol() = default;

bool symbolNameLess(const std::string& a, const std::string& b) {
  const size_t common = a.size() < b.size() ? a.size() : b.size();
  const int order = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
  if (order != 0) return order < 0;
  return a.size() < b.size();
}

SymbolTable symbolTable;

namespace {

// A run that ends with a fatal error leaves its symbols in the table; they
// are deleted when the process exits, before the table's own storage goes.
struct SymbolTableRelease {
  ~SymbolTableRelease() {
    for (Symbol* symbol : symbolTable) delete symbol;
    symbolTable.clear();
  }
} symbolTableRelease;

}  // namespace

Symbol* findSymbol(const SymbolTable& table, const std::string& name) {
  SymbolKey key(name);
  auto it = table.find(&key);
  return it == table.end() ? nullptr : *it;
}

const char* symbolKindName(uint32_t kind) {
  switch (kind) {
    case SYMBOL_INT_CONSTANT:
    case SYMBOL_INT_VARIABLE:
      return "int";
    case SYMBOL_FLOAT_CONSTANT:
    case SYMBOL_FLOAT_VARIABLE:
      return "float";
    case SYMBOL_BOOL_VARIABLE:
      return "boole";
    default:
      return nullptr;
  }
}

std::ostream& printStepSymbol(std::ostream& out, const Symbol& symbol, uint32_t step) {
  out << symbol.name;
  if (dynamic_cast<const ConstantInfo*>(&symbol) != nullptr) return out;
  const VariableInfo* variable = dynamic_cast<const VariableInfo*>(&symbol);
  if (variable != nullptr && variable->isStatic) return out;
  return out << '@' << step;
}

std::string stepSymbolName(const Symbol& symbol, uint32_t step) {
  std::ostringstream out;
  printStepSymbol(out, symbol, step);
  return out.str();
}

}  // namespace hysat
}  // namespace varnok
