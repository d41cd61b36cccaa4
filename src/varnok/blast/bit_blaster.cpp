#include "varnok/blast/bit_blaster.h"

#include <utility>
#include <vector>

#include "varnok/aig/aig.h"
#include "varnok/node/expression.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/propagation_bit.h"

namespace varnok {

void BitBlaster::blast(Expression* e) {
  if (e->getBitEdges() != nullptr) return;
  std::vector<std::pair<Expression*, uint32_t>> stack;
  stack.emplace_back(e, 0);
  while (!stack.empty()) {
    Expression* x = stack.back().first;
    const uint32_t i = stack.back().second;
    if (i < x->getArity()) {
      stack.back().second = i + 1;
      Expression* operand = x->getChild(i);
      if (operand->getBitEdges() == nullptr) stack.emplace_back(operand, 0);
      continue;
    }
    // An operand may have been reached twice on the stack (shared below two
    // pending users); the second visit finds it blasted.
    if (x->getBitEdges() == nullptr) {
      x->setBitEdges(new std::vector<AIGEdge>(x->getWidth()));
      x->encode(*aig);
      assertBitEquivalences(x);
      x->setFlag(Expression::FLAG_BIT_BLASTED);
    }
    stack.pop_back();
  }
}

void BitBlaster::assertBitEquivalences(Expression* x) {
  std::vector<PropagationBit>* records = x->getPropagationBits();
  if (records == nullptr || x->getWidth() == 0) return;
  std::vector<AIGEdge>& bits = *x->getBitEdges();
  for (uint32_t i = 0; i < x->getWidth() && i < records->size(); ++i) {
    const PropagationBit& record = (*records)[i];
    EdgeClass* c = record.getEdgeClass();
    if (c == nullptr) continue;
    const bool parity = record.isNegated();
    const AIGEdge& b = bits[i];
    if (c->representative.isNull()) {
      c->representative = parity ? ~b : b;
      continue;
    }
    AIGEdge t = parity ? ~c->representative : c->representative;
    if (t == b) continue;
    AIGEdge x1 = aig->makeAnd(b, ~t);
    AIGEdge x2 = aig->makeAnd(t, ~b);
    aig->assertTrue(aig->makeAnd(~x1, ~x2));
  }
}

void BitBlaster::blastAll() {
  Expression* r;
  {
    ExpressionRef root = manager->getRoot();
    r = getRepresentative(root.get());
  }
  blast(r);
  aig->assertTrue((*r->getBitEdges())[0]);
  for (const ExpressionRef& a : manager->getAssumptions()) blast(getRepresentative(a.get()));
}

}  // namespace varnok
