#pragma once
// Graphviz dot view of the expression graph, for debugging: one node
// statement per expression with its serial id and operator text (optionally
// its model bits and its constraint-propagation bit classes), a box for
// asserted conjuncts, one edge per operand and a dashed edge from a
// substituted expression to its representative.
#include <cstdint>
#include <map>
#include <ostream>
#include <unordered_set>
#include <vector>

namespace varnok {

class Expression;
class ExpressionManager;
struct EdgeClass;

class DotWriter {
 public:
  // Applies pending substitutions first, so that representatives are current.
  DotWriter(std::ostream& stream, ExpressionManager* manager, bool showModel, bool hideBooleanNodes);

  // The number of a bit class (the tag bit is ignored): classes are numbered
  // 0, 1, 2, ... in the order this writer meets them.
  uint32_t classNumber(uintptr_t taggedClass);
  // The node statement and the edge statements of one expression.
  void printNode(Expression* x);
  // The edge statements only: one per operand, or the dashed edge to the
  // representative of a forwarding node.
  void printEdges(Expression* x);
  // Inserts into the walk's visited set; true when it was not there.
  static bool markVisited(std::unordered_set<Expression*>& visited, Expression* x) {
    return visited.insert(x).second;
  }
  // A whole graph from one start expression.
  void printGraph(Expression* start);
  // A whole graph from the asserted root and the assumptions.
  void printAll();

 private:
  void walk(std::unordered_set<Expression*>& visited, std::vector<Expression*>& stack);

  std::ostream& stream;
  ExpressionManager* manager;
  bool showModel;
  bool hideBooleanNodes;
  std::map<const EdgeClass*, uint32_t> classNumbers;
};

// One file per top-level conjunct of the asserted formula and of the
// assumptions: base, a four-digit number from 0001, ".dot". A file that
// cannot be opened is skipped.
void writeDotFiles(const char* base, ExpressionManager* manager, bool showModel, bool hideBooleanNodes);

}  // namespace varnok
