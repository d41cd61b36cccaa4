#include "hysat/expression.h"

#include <sstream>
#include <vector>

namespace varnok {
namespace hysat {

Expression::~Expression() {
  if (hasName()) delete payload.name;
  // Children are detached before they are deleted, so every destructor call
  // below sees a single node and the walk needs no recursion.
  std::vector<Expression*> pending;
  if (left != nullptr) pending.push_back(left);
  if (right != nullptr) pending.push_back(right);
  left = right = nullptr;
  while (!pending.empty()) {
    Expression* node = pending.back();
    pending.pop_back();
    if (node->left != nullptr) pending.push_back(node->left);
    if (node->right != nullptr) pending.push_back(node->right);
    node->left = node->right = nullptr;
    delete node;
  }
}

Expression* Expression::makeBool(bool value) {
  Expression* node = new Expression(EXPR_BOOL_CONSTANT);
  node->payload.boolValue = value ? 1 : 0;
  return node;
}

Expression* Expression::makeInt(int32_t value) {
  Expression* node = new Expression(EXPR_INT_CONSTANT);
  node->payload.intValue = value;
  return node;
}

Expression* Expression::makeFloat(float value) {
  Expression* node = new Expression(EXPR_FLOAT_CONSTANT);
  node->payload.floatValue = value;
  return node;
}

Expression* Expression::makeIdentifier(std::string* name, bool primed) {
  Expression* node = new Expression(primed ? EXPR_PRIMED_IDENTIFIER : EXPR_IDENTIFIER);
  node->payload.name = name;
  return node;
}

const char* binaryOperatorWord(uint32_t kind) {
  switch (kind) {
    case EXPR_AND: return "and";
    case EXPR_OR: return "or";
    case EXPR_NAND: return "nand";
    case EXPR_NOR: return "nor";
    case EXPR_XOR: return "xor";
    case EXPR_IFF: return "<->";
    case EXPR_IMPLIES: return "->";
    case EXPR_ADD: return "+";
    case EXPR_SUB: return "-";
    case EXPR_MUL: return "*";
    case EXPR_DIV: return "/";
    case EXPR_EQUAL: return "=";
    case EXPR_NOT_EQUAL: return "!=";
    case EXPR_LESS: return "<";
    case EXPR_LESS_EQUAL: return "<=";
    case EXPR_GREATER: return ">";
    case EXPR_GREATER_EQUAL: return ">=";
    default: return nullptr;
  }
}

namespace {

// The word written before the parenthesised operand of a unary kind.
const char* prefixWord(uint32_t kind) {
  switch (kind) {
    case EXPR_NOT: return "!(";
    case EXPR_NEG: return "-(";
    case EXPR_EXP: return "exp(";
    case EXPR_LOG: return "log(";
    case EXPR_SIN: return "sin(";
    case EXPR_COS: return "cos(";
    case EXPR_SQUARE: return "(";
    default: return nullptr;
  }
}

// A pending piece of output: a node to print, or a fixed text.
struct PrintItem {
  const Expression* node;
  const char* text;
};

void writeLeaf(std::ostream& out, const Expression& node) {
  switch (node.kind) {
    case EXPR_BOOL_CONSTANT: out << static_cast<bool>(node.payload.boolValue != 0); break;
    case EXPR_INT_CONSTANT: out << node.payload.intValue; break;
    case EXPR_FLOAT_CONSTANT: out << static_cast<double>(node.payload.floatValue); break;
    case EXPR_IDENTIFIER: out << *node.payload.name; break;
    case EXPR_PRIMED_IDENTIFIER: out << *node.payload.name << '\''; break;
    default: break;
  }
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const Expression& root) {
  std::vector<PrintItem> pending;
  pending.push_back({&root, nullptr});
  while (!pending.empty()) {
    const PrintItem item = pending.back();
    pending.pop_back();
    if (item.node == nullptr) {
      if (item.text != nullptr) out << item.text;
      continue;
    }
    const Expression& node = *item.node;
    if (const char* word = binaryOperatorWord(node.kind)) {
      out << '(';
      pending.push_back({nullptr, ")"});
      pending.push_back({node.right, nullptr});
      pending.push_back({nullptr, " "});
      pending.push_back({nullptr, word});
      pending.push_back({nullptr, " "});
      pending.push_back({node.left, nullptr});
    } else if (const char* prefix = prefixWord(node.kind)) {
      out << prefix;
      pending.push_back({nullptr, node.kind == EXPR_SQUARE ? ")^2" : ")"});
      pending.push_back({node.left, nullptr});
    } else {
      writeLeaf(out, node);
    }
  }
  return out;
}

std::ostream& printBinaryExpression(const Expression& lhs, const Expression& rhs, std::ostream& out,
                                    const char* word) {
  return out << '(' << lhs << ' ' << word << ' ' << rhs << ')';
}

std::string toString(const Expression& node) {
  std::ostringstream out;
  out << node;
  return out.str();
}

}  // namespace hysat
}  // namespace varnok
