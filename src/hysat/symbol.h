#pragma once
// Symbols of the bounded-model-checking language: the declared variables
// (boole, int, float; optionally static, int and float optionally ranged)
// and the named constants of define, kept in one process-wide table ordered
// by name.
#include <cstdint>
#include <ostream>
#include <set>
#include <string>

namespace varnok {
namespace hysat {

// What a symbol is; code dispatches on getKind(), not on the class.
enum SymbolKind : uint32_t {
  SYMBOL_INT_CONSTANT = 0,
  SYMBOL_FLOAT_CONSTANT = 1,
  SYMBOL_BOOL_VARIABLE = 2,
  SYMBOL_INT_VARIABLE = 3,
  SYMBOL_FLOAT_VARIABLE = 4,
  SYMBOL_KEY = 5,
};

class Symbol {
 public:
  explicit Symbol(std::string name) : name(std::move(name)) {}
  virtual ~Symbol();
  virtual SymbolKind getKind() const = 0;

  std::string name;
};

// A named constant (define).
class ConstantInfo : public Symbol {
 public:
  using Symbol::Symbol;
};

class IntConstantInfo : public ConstantInfo {
 public:
  IntConstantInfo(std::string name, int32_t value) : ConstantInfo(std::move(name)), value(value) {}
  SymbolKind getKind() const override { return SYMBOL_INT_CONSTANT; }

  int32_t value;
};

class FloatConstantInfo : public ConstantInfo {
 public:
  FloatConstantInfo(std::string name, float value) : ConstantInfo(std::move(name)), value(value) {}
  SymbolKind getKind() const override { return SYMBOL_FLOAT_CONSTANT; }

  float value;
};

// A declared variable; a static one has one value for all steps.
class VariableInfo : public Symbol {
 public:
  VariableInfo(std::string name, uint8_t isStatic) : Symbol(std::move(name)), isStatic(isStatic) {}

  uint8_t isStatic;  // 1 static, 0 not
};

class BoolVariableInfo : public VariableInfo {
 public:
  using VariableInfo::VariableInfo;
  SymbolKind getKind() const override { return SYMBOL_BOOL_VARIABLE; }
};

// The bounds mean something only when hasRange is 1.
class IntVariableInfo : public VariableInfo {
 public:
  using VariableInfo::VariableInfo;
  SymbolKind getKind() const override { return SYMBOL_INT_VARIABLE; }

  uint8_t hasRange = 0;
  int32_t lowerBound = 0;
  int32_t upperBound = 0;
};

class FloatVariableInfo : public VariableInfo {
 public:
  using VariableInfo::VariableInfo;
  SymbolKind getKind() const override { return SYMBOL_FLOAT_VARIABLE; }

  uint8_t hasRange = 0;
  float lowerBound = 0.0f;
  float upperBound = 0.0f;
};

// A name alone: the probe of lookups by name, never stored in the table.
class SymbolKey : public Symbol {
 public:
  using Symbol::Symbol;
  SymbolKind getKind() const override { return SYMBOL_KEY; }
};

// Name order: the common prefix bytewise as unsigned bytes, then the
// shorter name first.
bool symbolNameLess(const std::string& a, const std::string& b);

struct SymbolNameOrder {
  bool operator()(const Symbol* a, const Symbol* b) const { return symbolNameLess(a->name, b->name); }
};

// At most one symbol per name. The table owns its symbols; the parser's
// clean-up deletes them and empties it.
using SymbolTable = std::set<Symbol*, SymbolNameOrder>;

// The process-wide table: empty at start-up; symbols still in it when the
// process exits (after a fatal error) are deleted then.
extern SymbolTable symbolTable;

// The symbol of that name in the table, or null.
Symbol* findSymbol(const SymbolTable& table, const std::string& name);

// "int" (kinds 0, 3), "float" (1, 4), "boole" (2); null for any other kind.
const char* symbolKindName(uint32_t kind);

// The name a symbol bears at an unrolling step: the bare name for a
// constant or a static variable, otherwise name@step (x@0, x@12).
std::ostream& printStepSymbol(std::ostream& out, const Symbol& symbol, uint32_t step);

// The same as a string.
std::string stepSymbolName(const Symbol& symbol, uint32_t step);

}  // namespace hysat
}  // namespace varnok
