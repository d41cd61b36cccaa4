// Graphviz dot export: exact texts of the node and edge statements, the walk
// order, hidden Boolean nodes, model bits, bit classes, forwarding nodes, and
// one file per top-level conjunct.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "varnok.h"
#include "varnok/context/dot_export.h"
#include "varnok/node/expression.h"
#include "varnok/node/propagation_bit.h"
#include "varnok/context/solver_access.h"

namespace {

using VARNOK::Expression;
using VARNOK::Solver;

std::string id(const Expression& e) { return std::to_string(e.getNode()->getId()); }

std::string exportText(Solver& s) {
  std::ostringstream out;
  EXPECT_TRUE(s.exportDot(out));
  return out.str();
}

std::string readFile(const std::string& name) {
  std::ifstream in(name.c_str());
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(DotExport, SingleVariableRoot) {
  Solver s;
  ASSERT_TRUE(s.setSubstitution(false));
  Expression x = s.makeVariable(1, "x");
  ASSERT_TRUE(s.assertFormula(x));
  EXPECT_EQ(exportText(s), "digraph {\n\tn" + id(x) + " [label=\"" + id(x) + ": x[1]\", shape=\"box\"];\n}\n");
}

TEST(DotExport, FreshSolverShowsTheConstantTrue) {
  Solver s;
  Expression t = s.makeBoolConstant(true);
  EXPECT_EQ(exportText(s), "digraph {\n\tn" + id(t) + " [label=\"" + id(t) + ": 1\"];\n}\n");
}

TEST(DotExport, AssertedConjunctionWithTailLabels) {
  Solver s;
  ASSERT_TRUE(s.setSubstitution(false));
  Expression a = s.makeVariable(1, "a"), b = s.makeVariable(1, "b");
  Expression f = s.makeAnd(a, b);
  ASSERT_TRUE(s.assertFormula(f));
  // The operands are ordered by serial id: a is operand 0.
  std::string r = id(f);
  std::string expected = "digraph {\n";
  expected += "\tn" + r + " [label=\"" + r + ": and\", shape=\"box\"];\n";
  expected += "\tn" + r + " -> n" + id(a) + " [taillabel=\"0\"];\n";
  expected += "\tn" + r + " -> n" + id(b) + " [taillabel=\"1\"];\n";
  // The most recently pushed operand is printed first.
  expected += "\tn" + id(b) + " [label=\"" + id(b) + ": b[1]\", shape=\"box\"];\n";
  expected += "\tn" + id(a) + " [label=\"" + id(a) + ": a[1]\", shape=\"box\"];\n";
  expected += "}\n";
  EXPECT_EQ(exportText(s), expected);
}

TEST(DotExport, OneOperandEdgesHaveNoLabelAndAssumptionsArePrinted) {
  Solver s;
  ASSERT_TRUE(s.setSubstitution(false));
  Expression x = s.makeVariable(4, "x"), y = s.makeVariable(4, "y");
  Expression n = s.makeNot(x);
  Expression lt = s.makeULT(n, y);
  ASSERT_TRUE(s.assumeFormula(lt));
  std::string t = exportText(s);
  EXPECT_NE(t.find("\tn" + id(n) + " -> n" + id(x) + ";\n"), std::string::npos) << t;
  EXPECT_NE(t.find("\tn" + id(lt) + " [label=\"" + id(lt) + ": ult\"];\n"), std::string::npos) << t;
  EXPECT_NE(t.find("\tn" + id(n) + " [label=\"" + id(n) + ": not\"];\n"), std::string::npos) << t;
  EXPECT_EQ(t.find("shape"), std::string::npos) << "nothing is asserted";
  // The stack starts with the root (true) and then the assumption, so the
  // assumption's graph comes first.
  EXPECT_LT(t.find(": ult"), t.find(": 1\"];"));
}

TEST(DotExport, HiddenBooleanNodesKeepTheirEdges) {
  Solver s;
  ASSERT_TRUE(s.setSubstitution(false));
  Expression p = s.makeVariable(1, "p"), q = s.makeVariable(1, "q");
  Expression u = s.makeVariable(32, "u"), v = s.makeVariable(32, "v");
  Expression wide = s.makeAnd(u, v);
  Expression narrow = s.makeAnd(p, s.makeEqual(wide, u));
  Expression top = s.makeOr(narrow, q);  // a Not of an And of Nots
  std::ostringstream out;
  varnok::DotWriter writer(out, &varnok::solverContext(s).getManager(), false, true);
  writer.printGraph(top.getNode());
  std::string t = out.str();
  EXPECT_EQ(t.find("\tn" + id(narrow) + " [label"), std::string::npos) << t;
  EXPECT_EQ(t.find("\tn" + id(top) + " [label"), std::string::npos) << t;
  EXPECT_NE(t.find("\tn" + id(narrow) + " -> n" + id(p)), std::string::npos) << t;
  EXPECT_NE(t.find("\tn" + id(wide) + " [label=\"" + id(wide) + ": and\"];"), std::string::npos) << t;
  EXPECT_NE(t.find("\tn" + id(p) + " [label"), std::string::npos) << t;
}

TEST(DotExport, ModelBitsMostSignificantFirst) {
  Solver s;
  ASSERT_TRUE(s.setSubstitution(false));
  Expression x = s.makeVariable(4, "x");
  std::vector<bool> six = {false, true, true, false};
  Expression c = s.makeEqual(x, s.makeConstant(six));
  ASSERT_TRUE(s.assertFormula(c));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  std::ostringstream out;
  varnok::DotWriter writer(out, &varnok::solverContext(s).getManager(), true, false);
  writer.printGraph(c.getNode());
  std::string t = out.str();
  EXPECT_NE(t.find("\tn" + id(x) + " [label=\"" + id(x) + ": x[4]\\n0110\"];"), std::string::npos) << t;
  EXPECT_NE(t.find(": =\\n1\", shape=\"box\"];"), std::string::npos) << t;
  // Constants show no model line.
  EXPECT_NE(t.find(": 0110\"];"), std::string::npos) << t;
}

TEST(DotExport, BitClassesNumberedInOrderWithParity) {
  Solver s;
  Expression x = s.makeVariable(3, "x");
  varnok::EdgeClass a, b;
  auto* records = new std::vector<varnok::PropagationBit>(3);
  // Records without an expression own no class reference.
  (*records)[0].edgeClass = reinterpret_cast<uintptr_t>(&a);
  (*records)[1].edgeClass = reinterpret_cast<uintptr_t>(&a) | 1u;
  (*records)[2].edgeClass = reinterpret_cast<uintptr_t>(&b);
  x.getNode()->setPropagationBits(records);
  std::ostringstream out;
  varnok::DotWriter writer(out, &varnok::solverContext(s).getManager(), false, false);
  writer.printNode(x.getNode());
  EXPECT_EQ(out.str(), "\tn" + id(x) + " [label=\"" + id(x) + ": x[3]\\n+0-1+1\"];\n");
  EXPECT_EQ(writer.classNumber(reinterpret_cast<uintptr_t>(&b) | 1u), 0u);
  varnok::EdgeClass c;
  EXPECT_EQ(writer.classNumber(reinterpret_cast<uintptr_t>(&c)), 2u);
  x.getNode()->setPropagationBits(nullptr);
}

TEST(DotExport, ForwardingNodesShowADashedEdge) {
  Solver s;
  Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y");
  std::vector<bool> one(8, false);
  one[0] = true;
  Expression def = s.makeAdd(y, s.makeConstant(one));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, def)));
  std::ostringstream out;
  // The writer applies the pending substitution first.
  varnok::DotWriter writer(out, &varnok::solverContext(s).getManager(), false, false);
  ASSERT_TRUE(x.getNode()->isForwarding()) << "substitution did not forward the variable";
  writer.printGraph(x.getNode());
  EXPECT_EQ(out.str(), "digraph {\n\tn" + id(x) + " [label=\"" + id(x) + ": x[8]\"];\n\tn" + id(x) + " -> n" +
                           id(def) + " [style=dashed];\n}\n");
}

TEST(DotExport, OneFilePerConjunct) {
  Solver s;
  ASSERT_TRUE(s.setSubstitution(false));
  Expression a = s.makeVariable(1, "a"), b = s.makeVariable(1, "b"), c = s.makeVariable(1, "c");
  Expression inner = s.makeAnd(b, c);
  Expression root = s.makeAnd(a, inner);
  ASSERT_TRUE(s.assertFormula(root));
  Expression d = s.makeVariable(1, "d");
  ASSERT_TRUE(s.assumeFormula(d));
  ASSERT_TRUE(s.assumeFormula(a));  // asserted already: not queued
  std::string base = std::string(VARNOK_TEST_TMPDIR) + "/roots";
  for (int k = 1; k <= 5; ++k) {
    char name[16];
    std::snprintf(name, sizeof name, "%04d.dot", k);
    std::remove((base + name).c_str());
  }
  EXPECT_TRUE(s.exportDotRoots(base.c_str()));
  // Pending: root, d. The last added is taken first: d, then the root's
  // operands, the last pushed (inner) first: c, b; then a.
  std::vector<Expression> order = {d, c, b, a};
  for (int k = 1; k <= 4; ++k) {
    char name[16];
    std::snprintf(name, sizeof name, "%04d.dot", k);
    const Expression& e = order[k - 1];
    std::string box = e == d ? "" : ", shape=\"box\"";
    std::string label = e == d ? "d" : e == c ? "c" : e == b ? "b" : "a";
    EXPECT_EQ(readFile(base + name),
              "digraph {\n\tn" + id(e) + " [label=\"" + id(e) + ": " + label + "[1]\"" + box + "];\n}\n")
        << name;
  }
  std::ifstream fifth((base + "0005.dot").c_str());
  EXPECT_FALSE(fifth.good());
  EXPECT_FALSE(s.exportDotRoots(nullptr));
  // An unwritable base is skipped silently.
  EXPECT_TRUE(s.exportDotRoots("/nonexistent-directory/x"));
}

}  // namespace
