// Dot export against golden files (golden/NAME.dot, node ids renumbered in order of appearance): statements,
// walk order, hidden Boolean nodes, model bits, forwarding, one file per conjunct; numbering of bit classes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "varnok.h"
#include "varnok/context/dot_export.h"
#include "varnok/context/solver_access.h"
#include "varnok/node/add_module.h"
#include "varnok/node/expression.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/propagation_bit.h"

namespace {

using VARNOK::Expression;
using VARNOK::Solver;

std::string readFile(const std::string& name) {
  std::stringstream text;
  text << std::ifstream(name.c_str()).rdbuf();
  return text.str();
}

// Node ids renumbered 0, 1, ... in order of first appearance.
std::string renumber(const std::string& text) {
  static const std::regex id("(\tn|-> n|\\[label=\")([0-9]+)");
  std::map<std::string, int> number;
  std::string out;
  auto last = text.cbegin();
  for (std::sregex_iterator m(text.begin(), text.end(), id), end; m != end; ++m) {
    out.append(last, (*m)[0].first);
    out += (*m)[1].str() + std::to_string(number.emplace((*m)[2].str(), int(number.size())).first->second);
    last = (*m)[0].second;
  }
  return out.append(last, text.cend());
}

// Compares with golden/NAME.dot (VARNOK_UPDATE_GOLDEN=1 rewrites the file).
void expectGolden(const std::string& name, const std::string& text) {
  const std::string file = std::string(VARNOK_SOURCE_DIR) + "/tests/unit/context/golden/" + name + ".dot";
  if (std::getenv("VARNOK_UPDATE_GOLDEN")) std::ofstream(file.c_str()) << renumber(text);
  EXPECT_EQ(renumber(text), readFile(file)) << name;
}

std::string exportText(Solver& s) {
  std::ostringstream out;
  EXPECT_TRUE(s.exportDot(out));
  return out.str();
}

// The writer on one graph, with model bits and hidden Boolean nodes or not.
std::string writeGraph(Solver& s, const Expression& top, bool model, bool hide) {
  std::ostringstream out;
  varnok::DotWriter writer(out, &varnok::solverContext(s).getManager(), model, hide);
  writer.printGraph(top.getNode());
  return out.str();
}

TEST(DotExport, WholeGraphs) {
  Solver fresh;  // the constant true
  expectGolden("fresh_solver", exportText(fresh));

  Solver s;
  ASSERT_TRUE(s.setSubstitution(false));
  Expression x = s.makeVariable(1, "x");
  ASSERT_TRUE(s.assertFormula(x));
  expectGolden("single_variable_root", exportText(s));

  // Operands ordered by serial id with tail labels; the most recently pushed operand is printed first.
  Solver c;
  ASSERT_TRUE(c.setSubstitution(false));
  Expression a = c.makeVariable(1, "a");
  ASSERT_TRUE(c.assertFormula(c.makeAnd(a, c.makeVariable(1, "b"))));
  expectGolden("conjunction", exportText(c));

  // Nothing asserted (no boxes); the stack starts with the root (true), then the assumption; one-operand edges
  // have no label.
  Solver u;
  ASSERT_TRUE(u.setSubstitution(false));
  ASSERT_TRUE(u.assumeFormula(u.makeULT(u.makeNot(u.makeVariable(4, "x")), u.makeVariable(4, "y"))));
  expectGolden("assumption", exportText(u));
}

TEST(DotExport, WriterOptions) {
  Solver s;
  ASSERT_TRUE(s.setSubstitution(false));
  Expression p = s.makeVariable(1, "p"), q = s.makeVariable(1, "q");
  Expression u = s.makeVariable(32, "u"), v = s.makeVariable(32, "v");
  // or(and(p, and(u, v) = u), q) is a Not of an And of Nots: the one-bit operators are hidden, edges kept.
  Expression top = s.makeOr(s.makeAnd(p, s.makeEqual(s.makeAnd(u, v), u)), q);
  expectGolden("hidden_boolean", writeGraph(s, top, false, true));

  // Model bits, most significant first; constants show no model line.
  Expression x = s.makeVariable(4, "x");
  Expression c = s.makeEqual(x, s.makeConstant({false, true, true, false}));
  ASSERT_TRUE(s.assertFormula(c));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  expectGolden("model_bits", writeGraph(s, c, true, false));

  // A forwarding node shows a dashed edge; the writer applies the pending substitution first.
  Solver t;
  Expression y = t.makeVariable(8, "y"), z = t.makeVariable(8, "z");
  ASSERT_TRUE(t.assertFormula(t.makeEqual(y, t.makeAdd(z, t.makeConstantFromHex("01")))));
  expectGolden("forwarding", writeGraph(t, y, false, false));
  EXPECT_TRUE(y.getNode()->isForwarding());
}

// Each module's operator text: sine, cosine, exp and log of a single and of a
// double (the argument's width shows), the addition module with its operands
// in order.
TEST(DotExport, ModuleOperators) {
  Solver s;
  varnok::ExpressionManager& m = varnok::solverContext(s).getManager();
  typedef varnok::ExpressionRef Ref;
  auto graph = [&](const Ref& top) {
    std::ostringstream out;
    varnok::DotWriter(out, &m, false, false).printGraph(top.get());
    return renumber(out.str());
  };
  typedef Ref& (varnok::ExpressionManager::*Maker)(Ref&, Ref*, const varnok::FloatFormat&);
  const struct { Maker make; const char* text; } functions[] = {
      {&varnok::ExpressionManager::makeSinModule, "sin"}, {&varnok::ExpressionManager::makeCosModule, "cos"},
      {&varnok::ExpressionManager::makeExpModule, "exp"}, {&varnok::ExpressionManager::makeLogModule, "log"}};
  Ref x, y, a, b, module;
  m.makeVariable(x, 32, "x");
  m.makeVariable(y, 64, "y");
  for (const auto& f : functions)
    for (Ref* argument : {&x, &y}) {
      (m.*f.make)(module, argument, argument == &x ? varnok::FloatFormat{8, 23} : varnok::FloatFormat{11, 52});
      EXPECT_EQ(graph(module), "digraph {\n\tn0 [label=\"0: " + std::string(f.text) + "\"];\n\tn0 -> n1;\n" +
                                   "\tn1 [label=\"1: " + (argument == &x ? "x[32]" : "y[64]") + "\"];\n}\n");
    }
  m.makeVariable(a, 8, "a");
  m.makeVariable(b, 8, "b");
  module = m.findOrInsert(new varnok::ADDModuleExpression(b.get(), a.get()));
  ASSERT_NE(varnok::ModuleExpression::asModule(module.get()), nullptr);
  EXPECT_EQ(graph(module), "digraph {\n\tn0 [label=\"0: add\"];\n\tn0 -> n1 [taillabel=\"0\"];\n"
                           "\tn0 -> n2 [taillabel=\"1\"];\n\tn2 [label=\"2: a[8]\"];\n\tn1 [label=\"1: b[8]\"];\n}\n");
}

TEST(DotExport, BitClassesNumberedInOrderWithParity) {
  Solver s;
  Expression x = s.makeVariable(3, "x");
  varnok::EdgeClass a, b, c;
  auto* records = new std::vector<varnok::PropagationBit>(3);
  // Records without an expression own no class reference.
  (*records)[0].edgeClass = reinterpret_cast<uintptr_t>(&a);
  (*records)[1].edgeClass = reinterpret_cast<uintptr_t>(&a) | 1u;
  (*records)[2].edgeClass = reinterpret_cast<uintptr_t>(&b);
  x.getNode()->setPropagationBits(records);
  std::ostringstream out;
  varnok::DotWriter writer(out, &varnok::solverContext(s).getManager(), false, false);
  writer.printNode(x.getNode());
  const std::string id = std::to_string(x.getNode()->getId());
  EXPECT_EQ(out.str(), "\tn" + id + " [label=\"" + id + ": x[3]\\n+0-1+1\"];\n");
  EXPECT_EQ(writer.classNumber(reinterpret_cast<uintptr_t>(&b) | 1u), 0u);
  EXPECT_EQ(writer.classNumber(reinterpret_cast<uintptr_t>(&c)), 2u);
  x.getNode()->setPropagationBits(nullptr);
}

TEST(DotExport, OneFilePerConjunct) {
  Solver s;
  ASSERT_TRUE(s.setSubstitution(false));
  Expression a = s.makeVariable(1, "a"), b = s.makeVariable(1, "b"), c = s.makeVariable(1, "c");
  ASSERT_TRUE(s.assertFormula(s.makeAnd(a, s.makeAnd(b, c))));
  ASSERT_TRUE(s.assumeFormula(s.makeVariable(1, "d")));
  ASSERT_TRUE(s.assumeFormula(a));  // asserted already: not queued
  const std::string base = std::string(VARNOK_TEST_TMPDIR) + "/roots";
  auto name = [&](int k) { return base + std::to_string(10000 + k).substr(1) + ".dot"; };
  for (int k = 1; k <= 5; ++k) std::remove(name(k).c_str());
  EXPECT_TRUE(s.exportDotRoots(base.c_str()));
  // Pending: the root, then d; the last added first: d, then the root's operands, last pushed first: c, b, a.
  std::string all;
  for (int k = 1; k <= 4; ++k) all += readFile(name(k));
  expectGolden("roots", all);
  EXPECT_FALSE(std::ifstream(name(5).c_str()).good());
  EXPECT_FALSE(s.exportDotRoots(nullptr));
  EXPECT_TRUE(s.exportDotRoots("/nonexistent-directory/x"));  // skipped silently
}

}  // namespace
