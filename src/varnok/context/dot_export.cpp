#include "varnok/context/dot_export.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "varnok/aig/aig.h"
#include "varnok/node/expression.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/propagation_bit.h"

namespace varnok {

DotWriter::DotWriter(std::ostream& stream, ExpressionManager* manager, bool showModel, bool hideBooleanNodes)
    : stream(stream), manager(manager), showModel(showModel), hideBooleanNodes(hideBooleanNodes) {
  manager->runSubstitution();
}

uint32_t DotWriter::classNumber(uintptr_t taggedClass) {
  const EdgeClass* c = reinterpret_cast<const EdgeClass*>(taggedClass & ~uintptr_t(1));
  auto found = classNumbers.find(c);
  if (found != classNumbers.end()) return found->second;
  uint32_t n = static_cast<uint32_t>(classNumbers.size());
  classNumbers.emplace(c, n);
  return n;
}

void DotWriter::printNode(Expression* x) {
  stream << "\tn" << x->getId() << " [label=\"" << x->getId() << ": " << toString(x);
  const std::vector<AIGEdge>* bits = x->getBitEdges();
  if (showModel && !x->isArray() && x->getKind() != KIND_CONSTANT && bits) {
    AIG* aig = manager->getAIG();
    stream << "\\n";
    for (size_t i = bits->size(); i-- > 0;) stream << (aig && aig->getModel((*bits)[i]) ? '1' : '0');
  }
  if (const std::vector<PropagationBit>* records = x->getPropagationBits()) {
    stream << "\\n";
    for (size_t i = records->size(); i-- > 0;) {
      const PropagationBit& b = (*records)[i];
      stream << (b.isNegated() ? '-' : '+') << classNumber(b.edgeClass);
    }
  }
  stream << "\"";
  if (x->isAsserted()) stream << ", shape=\"box\"";
  stream << "];" << std::endl;
  printEdges(x);
}

void DotWriter::printEdges(Expression* x) {
  if (Expression* r = x->getRepresentativeLink()) {
    stream << "\tn" << x->getId() << " -> n" << r->getId() << " [style=dashed];" << std::endl;
    return;
  }
  uint32_t arity = x->getArity();
  for (uint32_t i = 0; i < arity; ++i) {
    stream << "\tn" << x->getId() << " -> n" << x->getChild(i)->getId();
    if (arity >= 2) stream << " [taillabel=\"" << i << "\"]";
    stream << ";" << std::endl;
  }
}

void DotWriter::walk(std::unordered_set<Expression*>& visited, std::vector<Expression*>& stack) {
  while (!stack.empty()) {
    Expression* x = stack.back();
    stack.pop_back();
    // The operands of a forwarding node may already be gone: only its
    // statement and the dashed edge are printed.
    if (!x->isForwarding()) {
      for (uint32_t i = 0; i < x->getArity(); ++i)
        if (markVisited(visited, x->getChild(i))) stack.push_back(x->getChild(i));
    }
    bool hidden = hideBooleanNodes && x->getWidth() == 1 &&
                  (x->getKind() == KIND_AND || x->getKind() == KIND_NOT);
    // A hidden node loses its statement only: its edges and the edges of its
    // users to it stay.
    if (hidden)
      printEdges(x);
    else
      printNode(x);
  }
}

void DotWriter::printGraph(Expression* start) {
  stream << "digraph {" << std::endl;
  std::unordered_set<Expression*> visited;
  std::vector<Expression*> stack;
  markVisited(visited, start);
  stack.push_back(start);
  walk(visited, stack);
  stream << "}" << std::endl;
}

void DotWriter::printAll() {
  stream << "digraph {" << std::endl;
  std::unordered_set<Expression*> visited;
  std::vector<Expression*> stack;
  Expression* root = getRepresentative(manager->getRoot().get());
  markVisited(visited, root);
  stack.push_back(root);
  for (const ExpressionRef& a : manager->getAssumptions()) {
    Expression* r = getRepresentative(a.get());
    if (markVisited(visited, r)) stack.push_back(r);
  }
  walk(visited, stack);
  stream << "}" << std::endl;
}

void writeDotFiles(const char* base, ExpressionManager* manager, bool showModel, bool hideBooleanNodes) {
  if (!base) return;
  // Current representatives first (a writer would do this too).
  manager->runSubstitution();
  std::vector<ExpressionRef> pending;
  pending.emplace_back(getRepresentative(manager->getRoot().get()));
  for (const ExpressionRef& a : manager->getAssumptions()) {
    Expression* r = getRepresentative(a.get());
    bool present = false;
    for (const ExpressionRef& p : pending) present = present || p.get() == r;
    if (!present) pending.emplace_back(r);
  }
  uint32_t k = 1;
  while (!pending.empty()) {
    ExpressionRef x(getRepresentative(pending.back().get()));
    pending.pop_back();
    if (x->getKind() == KIND_AND) {
      pending.emplace_back(x->getChild0());
      pending.emplace_back(x->getChild1());
      continue;
    }
    char number[16];
    std::snprintf(number, sizeof number, "%04u", k);
    std::string name = std::string(base) + number + ".dot";
    std::ofstream file(name.c_str(), std::ios::out | std::ios::trunc);
    if (file) {
      DotWriter writer(file, x->getManager(), showModel, hideBooleanNodes);
      writer.printGraph(getRepresentative(x.get()));
    }
    ++k;
  }
}

}  // namespace varnok
