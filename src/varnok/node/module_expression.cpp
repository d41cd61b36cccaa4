// Module expression bases: watch nodes, literal slots and bit mapping.
#include "varnok/node/module_expression.h"

namespace varnok {

ModuleExpression::ModuleExpression(uint32_t width, Expression* child0)
    : Expression(width, child0), solver_(nullptr), watchNodes_(nullptr), literals_(nullptr), inputBitCount_(0) {}

ModuleExpression::ModuleExpression(uint32_t width, Expression* child0, Expression* child1)
    : Expression(width, child0, child1),
      solver_(nullptr),
      watchNodes_(nullptr),
      literals_(nullptr),
      inputBitCount_(0) {}

ModuleExpression::~ModuleExpression() {
  unlinkWatchNodes();
  delete[] watchNodes_;
  delete[] literals_;
}

void ModuleExpression::initLiterals() {
  uint32_t inputs = 0;
  const uint32_t arity = getArity();
  for (uint32_t k = 0; k < arity; ++k) inputs += getChild(k)->getWidth();
  inputBitCount_ = inputs;
  const uint32_t n = inputs + getWidth();
  delete[] watchNodes_;
  delete[] literals_;
  watchNodes_ = nullptr;
  literals_ = nullptr;
  watchNodes_ = new sat::ModuleCallbackNode[n];  // each links to itself
  literals_ = new int32_t[n];
  for (uint32_t k = 0; k < n; ++k) {
    watchNodes_[k].module = this;
    literals_[k] = -1;
  }
  solver_ = nullptr;
}

bool ModuleExpression::locateBit(uint32_t k, uint32_t& child, uint32_t& bit) const {
  if (k >= inputBitCount_) {
    bit = k - inputBitCount_;
    return false;
  }
  const uint32_t arity = getArity();
  for (uint32_t c = 0; c < arity; ++c) {
    const uint32_t w = getChild(c)->getWidth();
    if (k < w) {
      child = c;
      bit = k;
      return true;
    }
    k -= w;
  }
  bit = k;  // not reached: k is below the input bit count
  return false;
}

void ModuleExpression::unlinkWatchNodes() {
  if (!watchNodes_) return;
  const uint32_t n = getTrackedBitCount();
  for (uint32_t k = 0; k < n; ++k)
    if (watchNodes_[k].isLinked()) watchNodes_[k].unlink();
}

ModuleExpression* ModuleExpression::asModule(Expression* e) {
  if (!e) return nullptr;
  const uint32_t kind = e->getKind();
  if (kind >= KIND_EXP_MODULE && kind <= KIND_COS_MODULE) return static_cast<ModuleExpression*>(e);
  // An ordinary adder shares the addition module's kind.
  if (kind == KIND_ADD) return dynamic_cast<ModuleExpression*>(e);
  return nullptr;
}

UnaryModuleExpression::UnaryModuleExpression(uint32_t width, Expression* child)
    : ModuleExpression(width, child) {
  initLiterals();
  inputLiterals_ = getLiterals();
  outputLiterals_ = getLiterals() + child->getWidth();
}

BinaryModuleExpression::BinaryModuleExpression(uint32_t width, Expression* child0, Expression* child1)
    : ModuleExpression(width, child0, child1) {
  initLiterals();
  input0Literals_ = getLiterals();
  input1Literals_ = getLiterals() + child0->getWidth();
  outputLiterals_ = input1Literals_ + child1->getWidth();
}

}  // namespace varnok
