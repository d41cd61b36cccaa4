#pragma once
// Expression trees of the bounded-model-checking language: a plain binary
// tree of 32-byte nodes with a numeric kind, and their printed form.
#include <cstdint>
#include <ostream>
#include <string>

namespace varnok {
namespace hysat {

enum ExpressionKind : uint32_t {
  EXPR_BOOL_CONSTANT = 0,
  EXPR_INT_CONSTANT = 1,
  EXPR_FLOAT_CONSTANT = 2,
  EXPR_IDENTIFIER = 3,
  EXPR_PRIMED_IDENTIFIER = 4,  // the next step's value of a symbol
  EXPR_AND = 5,
  EXPR_OR = 6,
  EXPR_NAND = 7,
  EXPR_NOR = 8,
  EXPR_XOR = 9,
  EXPR_IFF = 10,
  EXPR_IMPLIES = 11,
  EXPR_NOT = 12,
  EXPR_NEG = 13,
  EXPR_ADD = 14,
  EXPR_SUB = 15,
  EXPR_MUL = 16,
  EXPR_DIV = 17,
  EXPR_EQUAL = 18,
  EXPR_NOT_EQUAL = 19,
  EXPR_LESS = 20,
  EXPR_LESS_EQUAL = 21,
  EXPR_GREATER = 22,
  EXPR_GREATER_EQUAL = 23,
  EXPR_EXP = 24,
  EXPR_LOG = 25,
  EXPR_SIN = 26,
  EXPR_COS = 27,
  EXPR_SQUARE = 28,
};

constexpr uint32_t EXPRESSION_KIND_COUNT = 29;

// One node. It owns its children and, for identifiers (kinds 3 and 4), its
// name string. Nodes are never shared; an identifier holds only the name.
// Destroying a node destroys its whole subtree without recursion, so trees
// of any depth can be freed.
struct Expression {
  uint32_t kind;
  union Payload {
    uint8_t boolValue;    // kind 0: 1 true, 0 false
    int32_t intValue;     // kind 1
    float floatValue;     // kind 2
    std::string* name;    // kinds 3 and 4 (without the prime)
    uint64_t raw;
  } payload;
  Expression* left;
  Expression* right;

  explicit Expression(uint32_t kind, Expression* left = nullptr, Expression* right = nullptr)
      : kind(kind), left(left), right(right) {
    payload.raw = 0;
  }
  ~Expression();
  Expression(const Expression&) = delete;
  Expression& operator=(const Expression&) = delete;

  static Expression* makeBool(bool value);
  static Expression* makeInt(int32_t value);
  static Expression* makeFloat(float value);
  // Takes over the heap string.
  static Expression* makeIdentifier(std::string* name, bool primed);

  bool hasName() const { return kind == EXPR_IDENTIFIER || kind == EXPR_PRIMED_IDENTIFIER; }
};

static_assert(sizeof(void*) != 8 || sizeof(Expression) == 32, "an expression node is 32 bytes");

// The operator word of a binary kind ("and", "<->", "+", ...), or null.
const char* binaryOperatorWord(uint32_t kind);

// Writes the node in its printed form: every binary operation in its own
// parentheses with one blank on each side of the word, "!(" a ")",
// "-(" a ")", "exp(" a ")" ..., "(" a ")^2", constants as the stream
// inserts a bool, an int and a float widened to double. A kind above 28
// writes nothing. Works without recursion at any depth.
std::ostream& operator<<(std::ostream& out, const Expression& node);

// "(" lhs " " word " " rhs ")".
std::ostream& printBinaryExpression(const Expression& lhs, const Expression& rhs, std::ostream& out,
                                    const char* word);

// The text operator<< writes, through a string stream.
std::string toString(const Expression& node);

}  // namespace hysat
}  // namespace varnok
