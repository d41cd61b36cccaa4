// Expression nodes and the manager's store: hash-consing, listeners, user
// lists, representatives, deletion, assumptions, lifetime, operator texts,
// leaf makers, module watch nodes and the two hash sets.
#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <tuple>
#include <vector>

#include "varnok/aig/aig.h"
#include "varnok/fp/float_module.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/module_expression.h"
#include "varnok/node/operator_expressions.h"
#include "varnok/node/propagation_bit.h"

using namespace varnok;

namespace {

// Counts every notification per node, and reports of a node seen twice.
class CountingListener : public ExpressionAddRemoveListener {
 public:
  void expressionAdded(Expression* e) override { ++added[e], ++totalAdded; }
  void expressionRemoved(Expression* e) override {
    ++totalRemoved;
    if (removedIds.size() <= e->getId()) removedIds.resize(e->getId() + 1, false);
    if (removedIds[e->getId()]) ++repeats;
    removedIds[e->getId()] = true;
  }
  bool removed(const Expression* e) const { return e->getId() < removedIds.size() && removedIds[e->getId()]; }
  std::map<Expression*, int> added;
  std::vector<bool> removedIds;
  long totalAdded = 0, totalRemoved = 0, repeats = 0;
};

ExpressionRef var(ExpressionManager& m, uint32_t width, const char* name = nullptr) {
  ExpressionRef r;
  return m.makeVariable(r, width, name);
}
ExpressionRef constant(ExpressionManager& m, uint64_t value, uint32_t width) {
  ExpressionRef r;
  return m.makeConstantFromUInt64(r, value, width);
}
ExpressionRef notOf(ExpressionManager& m, Expression* x) { return m.findOrInsert(new NotExpression(x)); }
ExpressionRef addOf(ExpressionManager& m, Expression* a, Expression* b) { return m.findOrInsert(new ADDExpression(a, b)); }

}  // namespace

TEST(ExpressionStore, HashConsingSharesEqualNodesOnly) {
  ExpressionManager m;
  CountingListener l;
  m.addListener(&l);
  ExpressionRef x = var(m, 8, "v"), y = var(m, 8, "v"), a = var(m, 32), b = var(m, 32);
  EXPECT_NE(x, y);  // variables are always new
  const FloatFormat f{8, 23};
  auto node = [&](Expression* e) { return m.findOrInsert(e); };
  EXPECT_EQ(node(new FloatAddExpression(a.get(), b.get(), f, 0)), node(new FloatAddExpression(a.get(), b.get(), f, 0)));
  EXPECT_NE(node(new FloatAddExpression(a.get(), b.get(), f, 0)), node(new FloatAddExpression(a.get(), b.get(), f, 1)));
  EXPECT_NE(node(new FloatToSIntExpression(a.get(), f, 8, 0)), node(new FloatToSIntExpression(a.get(), f, 16, 0)));
  EXPECT_NE(node(new FloatToSIntExpression(a.get(), f, 8, 0)), node(new FloatToUIntExpression(a.get(), f, 8, 0)));
  EXPECT_NE(constant(m, 1, 1), constant(m, 1, 2));
  EXPECT_EQ(constant(m, 3, 70), constant(m, 3, 70));
  ExpressionRef n1 = m.findOrInsert(new MULExpression(x.get(), x.get()));
  ExpressionRef n2 = m.findOrInsert(new MULExpression(x.get(), x.get()));
  EXPECT_EQ(n1, n2);
  EXPECT_EQ(n1->getRefCount(), 2u);
  EXPECT_EQ(l.added[n1.get()], 1);  // a destroyed duplicate is never announced
  ExpressionRef s = addOf(m, x.get(), y.get());
  EXPECT_EQ(notOf(m, notOf(m, s.get()).get())->getDepth(), 3u);
  // User lists stand once per slot, in registration order: (n1, 0), (n1, 1), (s, 0).
  EXPECT_EQ(x->countUsers(), 3u);
  EXPECT_EQ(x->getRefCount(), 4u);
  Expression::UserEntry e = x->getFirstUser();
  EXPECT_TRUE(e.node() == n1.get() && e.slot() == 0u);
  e = Expression::nextUser(e);
  EXPECT_TRUE(e.node() == n1.get() && e.slot() == 1u);
  e = Expression::nextUser(e);
  EXPECT_TRUE(e.node() == s.get() && x->getLastUser() == e && Expression::previousUser(e).node() == n1.get());
  n1.reset();
  n2.reset();
  EXPECT_EQ(m.getKindCount(KIND_MUL), 0u);
  EXPECT_EQ(x->countUsers(), 1u);
  EXPECT_EQ(x->getFirstUser().node(), s.get());
  s.reset();
  EXPECT_EQ(x->getRefCount(), 1u);
  EXPECT_EQ(x->getLastUser(), Expression::UserEntry());
  EXPECT_EQ(l.repeats, 0);
  m.removeListener(&l);
  m.addListener(&l);
  m.addListener(&l);  // registered twice: told twice, removed everywhere
  const long before = l.totalAdded;
  ExpressionRef z = var(m, 4);
  EXPECT_EQ(l.totalAdded - before, 2);
  m.removeListener(&l);
  EXPECT_TRUE(m.getListeners().empty());
}

TEST(ExpressionStore, ReleasingAMillionNodeChainIsIterative) {
  // A million in both builds: the sanitizer build checks that nothing leaks
  // and that no deep recursion happens.
  const uint32_t n = 1000000;
  ExpressionManager m;
  CountingListener l;
  m.addListener(&l);
  ExpressionRef top = var(m, 1);
  for (uint32_t i = 0; i < n; ++i) top = notOf(m, top.get());
  EXPECT_EQ(top->getDepth(), n);
  top.reset();
  EXPECT_EQ(l.totalRemoved, long(n + 1));  // the chain and its variable, each once
  EXPECT_EQ(l.repeats, 0);
  EXPECT_EQ(m.getLiveCount(), 1u);  // only the root
  EXPECT_EQ(m.getSetSize(), 1u);
  m.removeListener(&l);
}

TEST(ExpressionStore, RepresentativesForwardReleaseAndCompress) {
  ExpressionManager m;
  CountingListener l;
  m.addListener(&l);
  ExpressionRef x = var(m, 4), y = var(m, 4), c = constant(m, 3, 4), r1 = constant(m, 1, 4), r2 = constant(m, 2, 4);
  // A forwarding node leaves the set once and holds only its representative.
  ExpressionRef s = addOf(m, x.get(), y.get());
  s->setRepresentative(c.get());
  EXPECT_TRUE(l.removed(s.get()));
  EXPECT_EQ(x->getRefCount(), 1u);
  EXPECT_EQ(x->countUsers(), 0u);
  EXPECT_EQ(c->getRefCount(), 2u);
  EXPECT_EQ(s->getChild(0), x.get());  // still prints the same
  EXPECT_NE(addOf(m, x.get(), y.get()), s);  // an equal node can be built again
  s.reset();
  EXPECT_EQ(c->getRefCount(), 1u);
  // A second, different representative moves the link without leaking.
  ExpressionRef n = notOf(m, x.get());
  n->setRepresentative(r1.get());
  n->setRepresentative(r1.get());
  EXPECT_EQ(r1->getRefCount(), 2u);
  n->setRepresentative(r2.get());
  EXPECT_EQ(r1->getRefCount(), 1u);
  EXPECT_EQ(r2->getRefCount(), 2u);
  EXPECT_EQ(getRepresentative(n.get()), r2.get());
  EXPECT_THROW(n->setRepresentative(n.get()), std::logic_error);
  n.reset();
  EXPECT_EQ(r2->getRefCount(), 1u);
  EXPECT_EQ(l.repeats, 0);
  m.removeListener(&l);
  // Path compression: a -> b -> c -> d.
  ExpressionRef a = var(m, 4), b = var(m, 4), cc = var(m, 4), d = var(m, 4);
  a->setRepresentative(b.get());
  b->setRepresentative(cc.get());
  cc->setRepresentative(d.get());
  EXPECT_EQ(getRepresentative(a.get()), d.get());
  EXPECT_TRUE(a->getRepresentativeLink() == d.get() && b->getRepresentativeLink() == d.get());
  EXPECT_TRUE(b->getRefCount() == 1u && cc->getRefCount() == 1u && d->getRefCount() == 4u);
  EXPECT_EQ(getRepresentative(a.get()), d.get());
  EXPECT_EQ(d->getRefCount(), 4u);  // a second lookup changes nothing
  // Middle nodes held only by the chain die as compression passes them.
  ExpressionRef e = var(m, 2), root = var(m, 2);
  {
    std::vector<ExpressionRef> mids;
    for (int i = 0; i < 5; ++i) mids.push_back(var(m, 2));
    e->setRepresentative(mids[0].get());
    for (int i = 0; i + 1 < 5; ++i) mids[i]->setRepresentative(mids[i + 1].get());
    mids[4]->setRepresentative(root.get());
  }
  const uint32_t live = m.getLiveCount();
  EXPECT_EQ(getRepresentative(e.get()), root.get());
  EXPECT_EQ(m.getLiveCount(), live - 5);
  EXPECT_EQ(root->getRefCount(), 2u);
  e.reset();
  EXPECT_EQ(root->getRefCount(), 1u);
}

TEST(ExpressionStore, ArrayWitnessesAndModelTablesAreReleased) {
  ExpressionManager m;
  ExpressionRef A, B, t;
  m.makeArrayVariable(A, 4, 8, "A");
  m.makeArrayVariable(B, 4, 8, "B");
  ExpressionRef eq = m.findOrInsert(new ArrayEqualExpression(A.get(), B.get()));
  auto* ae = static_cast<ArrayEqualExpression*>(eq.get());
  ASSERT_TRUE(ae->getWitnessRead0() && ae->getWitnessRead1());
  Expression* k = ae->getWitnessRead0()->getChild(1);
  std::set<uint32_t> ids = {eq->getId(), k->getId(), ae->getWitnessRead0()->getId(), ae->getWitnessRead1()->getId(),
                            A->getId(), B->getId()};
  EXPECT_EQ(ids.size(), 6u) << "serial ids must be unique";
  EXPECT_TRUE(k->getWidth() == 4u && ae->getWitnessRead0()->getWidth() == 8u && ae->getWitnessRead1()->getChild(1) == k);
  eq->setRepresentative(m.makeTrue(t).get());  // forwarding drops the witnesses
  EXPECT_EQ(ae->getWitnessRead0(), nullptr);
  EXPECT_EQ(m.getKindCount(KIND_ARRAY_READ), 0u);
  eq.reset();
  // The read holds the array, the table holds the read.
  ExpressionRef i = var(m, 4);
  ExpressionRef rd = m.findOrInsert(new ArrayReadExpression(A.get(), i.get()));
  ArrayModelEntry entry;
  entry.access = asArrayAccess(rd.get());
  entry.expression = rd;
  asArray(A.get())->getModelTable().emplace(i.get(), entry);
  entry.expression.reset();
  EXPECT_EQ(rd->getRefCount(), 2u);
  EXPECT_TRUE(asArrayAccess(rd.get())->getExpression() == rd.get() && asArrayAccess(rd.get())->getArray() == A.get());
  rd.reset();
  i.reset();
  const uint32_t live = m.getLiveCount();
  asArray(A.get())->getModelTable().clear();
  EXPECT_EQ(m.getLiveCount(), live - 2);  // the read and its index
  A.reset();
  B.reset();
  t.reset();
  EXPECT_EQ(m.getLiveCount(), 1u);
}

TEST(ExpressionStore, AssumptionsAndAssertions) {
  ExpressionManager m;
  ExpressionRef p = var(m, 1), q = var(m, 1), w = var(m, 2), a = var(m, 1), b = var(m, 1);
  EXPECT_FALSE(m.addAssumption(w));
  EXPECT_FALSE(m.addAssumption(ExpressionRef()));
  EXPECT_TRUE(m.addAssumption(p));
  EXPECT_TRUE(m.addAssumption(p));
  EXPECT_EQ(m.getAssumptions().size(), 1u);
  EXPECT_TRUE(p->isAssumed());
  ExpressionRef qq = q;
  ASSERT_TRUE(m.assertExpression(&qq));
  EXPECT_TRUE(m.addAssumption(q));  // asserted already: not queued
  EXPECT_EQ(m.getAssumptions().size(), 1u);
  EXPECT_EQ(p->getRefCount(), 2u);
  m.clearAssumptions();
  EXPECT_TRUE(m.getAssumptions().empty());
  EXPECT_FALSE(p->isAssumed());
  EXPECT_EQ(p->getRefCount(), 1u);
  ExpressionRef x = a, y = b, ab;
  m.makeAnd(ab, &x, &y);
  ExpressionRef e = ab;
  ASSERT_TRUE(m.assertExpression(&e));
  EXPECT_TRUE(ab->isAsserted() && a->isAsserted() && b->isAsserted());  // conjuncts are marked
  Expression* root = m.getRoot().get();
  ExpressionRef again = a;
  EXPECT_TRUE(m.assertExpression(&again));
  EXPECT_TRUE(m.assertExpression(&e));
  EXPECT_EQ(m.getRoot().get(), root);  // already asserted: nothing changes
  ExpressionRef none;
  EXPECT_FALSE(m.assertExpression(&w));
  EXPECT_FALSE(m.assertExpression(&none));
  EXPECT_FALSE(m.assertExpression(nullptr));
}

TEST(ExpressionLifetime, HandlesOutlivingTheManagerFreeOnlyTheirNodes) {
  AIG aig;
  ExpressionRef kept, forwarding, deep, withEdges, duplicate;
  {
    ExpressionManager m;
    m.setAIG(&aig);
    ExpressionRef x = var(m, 8, "x"), y = var(m, 8, "y");
    kept = addOf(m, x.get(), y.get());
    forwarding = notOf(m, kept.get());
    forwarding->setRepresentative(x.get());
    ExpressionRef t = var(m, 1);
    for (int i = 0; i < 100000; ++i) t = notOf(m, t.get());
    deep = t;
    withEdges = var(m, 2);
    EXPECT_EQ(getAIG(withEdges.get()), &aig);
    withEdges->setBitEdges(new std::vector<AIGEdge>{aig.makeInput(), aig.makeInput()});
    // A node registered beside an equal one (no lookup) is orphaned too.
    duplicate = m.registerExpression(new ADDExpression(x.get(), y.get()));
    EXPECT_TRUE(duplicate != kept && addOf(m, x.get(), y.get()) == kept);
  }
  EXPECT_TRUE(duplicate->isOrphaned());
  duplicate.reset();
  EXPECT_EQ(kept->getManager(), nullptr);
  EXPECT_TRUE(kept->isOrphaned());
  EXPECT_EQ(toString(kept.get()), "add");
  EXPECT_EQ(kept->getChild(0)->getRefCount(), 2u);  // x: held by kept and by forwarding
  forwarding.reset();
  EXPECT_EQ(kept->getChild(0)->getRefCount(), 1u);
  // Orphans drop their graph edges while the graph is alive.
  EXPECT_EQ(withEdges->getBitEdges(), nullptr);
  EXPECT_EQ(getAIG(withEdges.get()), nullptr);
  deep.reset();  // a long orphan chain is freed iteratively too
}

TEST(ExpressionClasses, OperatorTexts) {
  ExpressionManager m;
  ExpressionRef x = var(m, 8), a = var(m, 32), A, B;
  m.makeArrayVariable(A, 4, 8, nullptr);
  m.makeArrayVariable(B, 4, 8, "mem");
  const FloatFormat f{8, 23};
  std::ostringstream address;
  address << static_cast<const void*>(A.get()) << "[8,4]";
  const std::pair<ExpressionRef, std::string> texts[] = {
      {constant(m, 5, 4), "0101"},
      {x, std::to_string(x->getId()) + "[8]"},
      {var(m, 3, "abc"), "abc[3]"},
      {m.findOrInsert(new ExtractExpression(x.get(), 7, 4)), "extract[7:4]"},
      {A, address.str()},
      {B, "mem[8,4]"},
      {m.findOrInsert(new FloatMulExpression(a.get(), a.get(), f, 0)), "FLTMUL"},
      {m.findOrInsert(new UIntToFloatExpression(x.get(), f, 0)), "UINTTOFLT"},
      {addOf(m, x.get(), x.get()), "add"},
  };
  for (const auto& [node, text] : texts) EXPECT_EQ(toString(node.get()), text);
}

TEST(ExpressionClasses, HelpersPredicatesModelAccessAndRebuild) {
  ExpressionManager m;
  ExpressionRef x = var(m, 8), y = var(m, 8), n = notOf(m, x.get());
  EXPECT_TRUE(stripNot(n.get()) == x && stripNot(x.get()) == x);
  EXPECT_EQ(getAIG(x.get()), nullptr);  // no graph set
  ExpressionRef loose(new NotExpression(x.get()));  // never registered: holds no reference
  EXPECT_EQ(getAIG(loose.get()), nullptr);
  EXPECT_EQ(x->getRefCount(), 2u);
  loose.reset();
  EXPECT_EQ(x->getRefCount(), 2u);
  uint32_t k = 99;
  EXPECT_TRUE(constant(m, 8, 8)->isPowerOfTwo(k) && k == 3u);
  EXPECT_FALSE(x->isPowerOfTwo(k) || x->isZero());
  ExpressionRef wide;
  EXPECT_TRUE(m.makeOnes(wide, 130)->isAllOnes());
  // Without a model only constants answer.
  BitVector out(3);
  out.setAllOnes();
  EXPECT_FALSE(x->getModelValue(out));
  EXPECT_TRUE(out.getWidth() == 3u && out.isAllOnes());
  EXPECT_FALSE(x->getModelBit(0));
  EXPECT_TRUE(constant(m, 6, 4)->getModelValue(out));
  EXPECT_EQ(out.getWidth(), 4u);
  EXPECT_TRUE(constant(m, 6, 4)->getModelBit(1) && !constant(m, 6, 4)->getModelBit(0));
  m.makeConstantFromBinary(wide, "1" + std::string(299, '0'));
  EXPECT_TRUE(wide->getModelBit(299) && !wide->getModelBit(43));  // no folding onto the low bits
  // Rebuilding over forwarded children folds.
  ExpressionRef s = addOf(m, x.get(), y.get()), e = m.findOrInsert(new ExtractExpression(s.get(), 3, 0));
  x->setRepresentative(constant(m, 3, 8).get());
  y->setRepresentative(constant(m, 4, 8).get());
  ExpressionRef r = s->rebuild(m);
  ASSERT_TRUE(r);
  EXPECT_EQ(toString(r.get()), "00000111");
  EXPECT_EQ(x->rebuild(m), x);  // leaves answer themselves
  s->setRepresentative(r.get());
  ASSERT_TRUE(r = e->rebuild(m));
  EXPECT_EQ(toString(r.get()), "0111");
}

// Every operator class, one row each: the node built over fresh leaves, its
// kind and operator text; rebuilding it after one child was forwarded to a
// fresh leaf gives the class's own node over that leaf with the same fields
// (so a wrong maker, a dropped field or swapped children fail); rebuilding it
// after every child was forwarded to a constant gives what the class's maker
// folds to. The constants make each operator differ from its neighbours and
// from its swapped operands; the float rows use operands whose result depends
// on the rounding mode. Children of width 0 are arrays (index 4, element 8
// bits); array rows forward their children by their own function instead.
namespace {

using Kids = std::vector<Expression*>;
struct ClassRow {
  uint32_t kind;
  const char* text;
  std::vector<uint32_t> widths;
  Expression* (*make)(const Kids& k);
  uint32_t forwarded;
  std::vector<uint64_t> values;
  uint64_t folded;
  uint32_t foldedWidth;
  // Array rows: forwards the children and answers the expected rebuilt node.
  ExpressionRef (*forward)(ExpressionManager& m, std::vector<ExpressionRef>& kids);
};

ExpressionRef arrayVar(ExpressionManager& m) {
  ExpressionRef r;
  return m.makeArrayVariable(r, 4, 8, nullptr);
}
// write(B, 3, 0x5A) over a fresh array B.
ExpressionRef writeOverFresh(ExpressionManager& m, Expression*& B) {
  ExpressionRef b = arrayVar(m), i = constant(m, 3, 4), v = constant(m, 0x5A, 8), w;
  B = b.get();
  m.makeArrayWrite(w, &b, &i, &v);
  return w;
}

constexpr FloatFormat kSingle{8, 23}, kDouble{11, 52};
constexpr uint64_t kA = 0xB5, kB = 0x06;  // -75 and 6 as signed bytes
constexpr uint64_t kThreeQuarters32 = 0x3f400000, kThreeQuarters64 = 0x3fe8000000000000;

const ClassRow kClassRows[] = {
    {KIND_EQUAL, "=", {8, 8}, [](const Kids& k) -> Expression* { return new EqualExpression(k[0], k[1]); }, 1,
     {kB, kB}, 1, 1, nullptr},
    {KIND_NOT, "not", {8}, [](const Kids& k) -> Expression* { return new NotExpression(k[0]); }, 0, {kA}, 0x4A, 8,
     nullptr},
    {KIND_ITE, "ite", {1, 8, 8}, [](const Kids& k) -> Expression* { return new IteExpression(k[0], k[1], k[2]); }, 1,
     {1, kA, kB}, kA, 8, nullptr},
    {KIND_AND, "and", {8, 8}, [](const Kids& k) -> Expression* { return new AndExpression(k[0], k[1]); }, 1, {kA, kB},
     0x04, 8, nullptr},
    {KIND_CONCAT, "concat", {8, 4}, [](const Kids& k) -> Expression* { return new ConcatExpression(k[0], k[1]); }, 0,
     {kA, kB}, 0xB56, 12, nullptr},
    {KIND_EXTRACT, "extract[5:2]", {8}, [](const Kids& k) -> Expression* { return new ExtractExpression(k[0], 5, 2); },
     0, {kA}, 0xD, 4, nullptr},
    {KIND_NEG, "neg", {8}, [](const Kids& k) -> Expression* { return new NEGExpression(k[0]); }, 0, {kA}, 0x4B, 8,
     nullptr},
    {KIND_ADD, "add", {8, 8}, [](const Kids& k) -> Expression* { return new ADDExpression(k[0], k[1]); }, 1, {kA, kB},
     0xBB, 8, nullptr},
    {KIND_MUL, "mul", {8, 8}, [](const Kids& k) -> Expression* { return new MULExpression(k[0], k[1]); }, 1, {kA, kB},
     0x3E, 8, nullptr},
    {KIND_DIV, "div", {8, 8}, [](const Kids& k) -> Expression* { return new DIVExpression(k[0], k[1]); }, 0, {kA, kB},
     0x1E, 8, nullptr},
    {KIND_UREM, "urem", {8, 8}, [](const Kids& k) -> Expression* { return new UREMExpression(k[0], k[1]); }, 0,
     {kA, kB}, 0x01, 8, nullptr},
    {KIND_SHL, "shl", {8, 8}, [](const Kids& k) -> Expression* { return new SHLExpression(k[0], k[1]); }, 0, {kA, kB},
     0x40, 8, nullptr},
    {KIND_LSHR, "lshr", {8, 8}, [](const Kids& k) -> Expression* { return new LSHRExpression(k[0], k[1]); }, 0,
     {kA, kB}, 0x02, 8, nullptr},
    {KIND_ASHR, "ashr", {8, 8}, [](const Kids& k) -> Expression* { return new ASHRExpression(k[0], k[1]); }, 0,
     {kA, kB}, 0xFE, 8, nullptr},
    {KIND_ULT, "ult", {8, 8}, [](const Kids& k) -> Expression* { return new ULTExpression(k[0], k[1]); }, 0, {kB, kA},
     1, 1, nullptr},
    {KIND_SLT, "slt", {8, 8}, [](const Kids& k) -> Expression* { return new SLTExpression(k[0], k[1]); }, 0, {kA, kB},
     1, 1, nullptr},
    // 2^24 + 1 upward; -(2^24 + 1) downward.
    {KIND_UINT_TO_FLOAT, "UINTTOFLT", {32},
     [](const Kids& k) -> Expression* { return new UIntToFloatExpression(k[0], kSingle, 2); }, 0, {0x01000001},
     0x4b800001, 32, nullptr},
    {KIND_SINT_TO_FLOAT, "SINTTOFLT", {32},
     [](const Kids& k) -> Expression* { return new SIntToFloatExpression(k[0], kSingle, 3); }, 0, {0xFEFFFFFF},
     0xcb800001, 32, nullptr},
    // 2.5 to nearest, ties away; -2.5 downward.
    {KIND_FLOAT_TO_UINT, "FLTTOUINT", {32},
     [](const Kids& k) -> Expression* { return new FloatToUIntExpression(k[0], kSingle, 8, 1); }, 0, {0x40200000}, 3,
     8, nullptr},
    {KIND_FLOAT_TO_SINT, "FLTTOSINT", {32},
     [](const Kids& k) -> Expression* { return new FloatToSIntExpression(k[0], kSingle, 8, 3); }, 0, {0xc0200000},
     0xFD, 8, nullptr},
    // The double 1/3 toward zero.
    {KIND_FLOAT_TO_FLOAT, "FLTTOFLT", {64},
     [](const Kids& k) -> Expression* { return new FloatToFloatExpression(k[0], kDouble, kSingle, 4); }, 0,
     {0x3FD5555555555555}, 0x3eaaaaaa, 32, nullptr},
    // 1 + 2^-24 to nearest, ties away; (1 + 2^-23)^2 upward; 1 / 3 downward.
    {KIND_FLOAT_ADD, "FLTADD", {32, 32},
     [](const Kids& k) -> Expression* { return new FloatAddExpression(k[0], k[1], kSingle, 1); }, 0,
     {0x3f800000, 0x33800000}, 0x3f800001, 32, nullptr},
    {KIND_FLOAT_MUL, "FLTMUL", {32, 32},
     [](const Kids& k) -> Expression* { return new FloatMulExpression(k[0], k[1], kSingle, 2); }, 1,
     {0x3f800001, 0x3f800001}, 0x3f800003, 32, nullptr},
    {KIND_FLOAT_DIV, "FLTDIV", {32, 32},
     [](const Kids& k) -> Expression* { return new FloatDivExpression(k[0], k[1], kSingle, 3); }, 0,
     {0x3f800000, 0x40400000}, 0x3eaaaaaa, 32, nullptr},
    {KIND_ARRAY_READ, "read", {0, 4}, [](const Kids& k) -> Expression* { return new ArrayReadExpression(k[0], k[1]); },
     0, {}, 0, 0,
     [](ExpressionManager& m, std::vector<ExpressionRef>& kids) {  // read(write(B, 3, 0x5A), 3)
       Expression* B;
       kids[0]->setRepresentative(writeOverFresh(m, B).get());
       kids[1]->setRepresentative(constant(m, 3, 4).get());
       return constant(m, 0x5A, 8);
     }},
    {KIND_ARRAY_WRITE, "write", {0, 4, 8},
     [](const Kids& k) -> Expression* { return new ArrayWriteExpression(k[0], k[1], k[2]); }, 0, {}, 0, 0,
     [](ExpressionManager& m, std::vector<ExpressionRef>& kids) {  // the later write at 3 overwrites
       Expression* B;
       kids[0]->setRepresentative(writeOverFresh(m, B).get());
       kids[1]->setRepresentative(constant(m, 3, 4).get());
       kids[2]->setRepresentative(constant(m, 0x77, 8).get());
       return m.findOrInsert(new ArrayWriteExpression(B, constant(m, 3, 4).get(), constant(m, 0x77, 8).get()));
     }},
    {KIND_ARRAY_ITE, "ite", {1, 0, 0},
     [](const Kids& k) -> Expression* { return new ArrayIteExpression(k[0], k[1], k[2]); }, 2, {}, 0, 0,
     [](ExpressionManager& m, std::vector<ExpressionRef>& kids) {  // a true condition picks the then-array
       ExpressionRef t;
       kids[0]->setRepresentative(m.makeTrue(t).get());
       return kids[1];
     }},
    {KIND_ARRAY_EQUAL, "=", {0, 0},
     [](const Kids& k) -> Expression* { return new ArrayEqualExpression(k[0], k[1]); }, 1, {}, 0, 0,
     [](ExpressionManager& m, std::vector<ExpressionRef>& kids) {  // an array equals itself
       ExpressionRef t;
       kids[1]->setRepresentative(kids[0].get());
       return m.makeTrue(t);
     }},
    // The host's functions at 0.75, rounded to the element type.
    {KIND_EXP_MODULE, "exp", {32}, [](const Kids& k) -> Expression* { return new ExpModuleExpression<float>(k[0]); },
     0, {kThreeQuarters32}, 0x40077cee, 32, nullptr},
    {KIND_LOG_MODULE, "log", {32}, [](const Kids& k) -> Expression* { return new LogModuleExpression<float>(k[0]); },
     0, {kThreeQuarters32}, 0xbe934b11, 32, nullptr},
    {KIND_SIN_MODULE, "sin", {32}, [](const Kids& k) -> Expression* { return new SinModuleExpression<float>(k[0]); },
     0, {kThreeQuarters32}, 0x3f2e7fe1, 32, nullptr},
    {KIND_COS_MODULE, "cos", {32}, [](const Kids& k) -> Expression* { return new CosModuleExpression<float>(k[0]); },
     0, {kThreeQuarters32}, 0x3f3b4ff6, 32, nullptr},
    {KIND_EXP_MODULE, "exp", {64}, [](const Kids& k) -> Expression* { return new ExpModuleExpression<double>(k[0]); },
     0, {kThreeQuarters64}, 0x4000ef9db467dcf8, 64, nullptr},
    {KIND_LOG_MODULE, "log", {64}, [](const Kids& k) -> Expression* { return new LogModuleExpression<double>(k[0]); },
     0, {kThreeQuarters64}, 0xbfd269621134db92, 64, nullptr},
    {KIND_SIN_MODULE, "sin", {64}, [](const Kids& k) -> Expression* { return new SinModuleExpression<double>(k[0]); },
     0, {kThreeQuarters64}, 0x3fe5cffc16bf8f0d, 64, nullptr},
    {KIND_COS_MODULE, "cos", {64}, [](const Kids& k) -> Expression* { return new CosModuleExpression<double>(k[0]); },
     0, {kThreeQuarters64}, 0x3fe769fec655211f, 64, nullptr},
};

}  // namespace

TEST(ExpressionClasses, OperatorTextAndRebuildOfEveryClass) {
  std::set<uint32_t> kinds;
  for (const ClassRow& row : kClassRows) {
    SCOPED_TRACE(row.text);
    ExpressionManager m;
    auto leaf = [&](uint32_t w) { return w ? var(m, w) : arrayVar(m); };
    std::vector<ExpressionRef> kids;
    Kids raw;
    for (uint32_t w : row.widths) kids.push_back(leaf(w)), raw.push_back(kids.back().get());
    ExpressionRef node = m.findOrInsert(row.make(raw));
    kinds.insert(node->getKind());
    EXPECT_EQ(node->getKind(), row.kind);
    EXPECT_EQ(toString(node.get()), row.text);
    ExpressionRef fresh = leaf(row.widths[row.forwarded]);
    kids[row.forwarded]->setRepresentative(fresh.get());
    raw[row.forwarded] = fresh.get();
    ExpressionRef rebuilt = node->rebuild(m);
    EXPECT_EQ(rebuilt, m.findOrInsert(row.make(raw)));
    ExpressionRef expected;
    if (row.forward) {
      expected = row.forward(m, kids);
    } else {
      for (size_t k = 0; k < kids.size(); ++k)
        kids[k]->setRepresentative(constant(m, row.values[k], row.widths[k]).get());
      expected = constant(m, row.folded, row.foldedWidth);
    }
    rebuilt = node->rebuild(m);
    EXPECT_EQ(rebuilt, expected) << (rebuilt ? toString(rebuilt.get()) : "null");
  }
  // Leaves answer themselves with a reference added, forwarding or not.
  ExpressionManager m;
  ExpressionRef mem;
  ExpressionRef leaves[] = {var(m, 8, "v"), constant(m, 5, 4), m.makeArrayVariable(mem, 4, 8, "mem")};
  const char* texts[] = {"v[8]", "0101", "mem[8,4]"};
  for (int i = 0; i < 3; ++i) {
    kinds.insert(leaves[i]->getKind());
    EXPECT_EQ(toString(leaves[i].get()), texts[i]);
    if (i != 1) leaves[i]->setRepresentative(i == 0 ? var(m, 8).get() : arrayVar(m).get());
    const uint32_t count = leaves[i]->getRefCount();
    ExpressionRef r = leaves[i]->rebuild(m);
    EXPECT_TRUE(r == leaves[i] && r->getRefCount() == count + 1) << texts[i];
  }
  EXPECT_EQ(kinds.size(), size_t(NUM_EXPRESSION_KINDS));
}

// Equality of the classes with fields of their own compares every field,
// not only the hash: nodes that differ in one field only are never equal.
TEST(ExpressionClasses, EqualityComparesEveryField) {
  ExpressionManager m;
  ExpressionRef x = var(m, 32), d = var(m, 64);
  const FloatFormat g{7, 24};  // as wide as a single
  Expression *X = x.get(), *D = d.get();
  const FloatFormat S = kSingle;
  std::vector<std::unique_ptr<Expression>> hold;
  auto h = [&](Expression* e) { return hold.emplace_back(e).get(); };
  const std::tuple<Expression*, Expression*, bool> pairs[] = {
      {h(new FloatToFloatExpression(D, kDouble, S, 0)), h(new FloatToFloatExpression(D, kDouble, S, 0)), true},
      {h(new FloatToFloatExpression(D, kDouble, kSingle, 0)), h(new FloatToFloatExpression(D, kDouble, g, 0)), false},
      {h(new FloatToFloatExpression(X, kSingle, kDouble, 0)), h(new FloatToFloatExpression(X, g, kDouble, 0)), false},
      {h(new FloatToFloatExpression(D, kDouble, S, 0)), h(new FloatToFloatExpression(D, kDouble, S, 2)), false},
      {h(new UIntToFloatExpression(X, kSingle, 1)), h(new UIntToFloatExpression(X, kSingle, 1)), true},
      {h(new UIntToFloatExpression(X, kSingle, 1)), h(new UIntToFloatExpression(X, g, 1)), false},
      {h(new SIntToFloatExpression(X, kSingle, 1)), h(new SIntToFloatExpression(X, kSingle, 3)), false},
      {h(new FloatToUIntExpression(X, kSingle, 8, 0)), h(new FloatToUIntExpression(X, kSingle, 16, 0)), false},
      {h(new FloatToSIntExpression(X, kSingle, 8, 0)), h(new FloatToSIntExpression(X, g, 8, 0)), false},
      {h(new FloatToSIntExpression(X, kSingle, 8, 0)), h(new FloatToSIntExpression(X, kSingle, 8, 4)), false},
      {h(new FloatAddExpression(X, X, kSingle, 0)), h(new FloatAddExpression(X, X, g, 0)), false},
      {h(new FloatMulExpression(X, X, kSingle, 0)), h(new FloatMulExpression(X, X, kSingle, 1)), false},
      {h(new FloatDivExpression(X, X, kSingle, 2)), h(new FloatDivExpression(X, X, kSingle, 2)), true},
      {h(new FloatDivExpression(X, X, kSingle, 2)), h(new FloatMulExpression(X, X, kSingle, 2)), false},
      {h(new ExtractExpression(X, 7, 4)), h(new ExtractExpression(X, 8, 5)), false},
      {h(new ExtractExpression(X, 7, 4)), h(new ExtractExpression(X, 7, 4)), true},
  };
  for (size_t i = 0; i < std::size(pairs); ++i) {
    const auto& [a, b, equal] = pairs[i];
    EXPECT_EQ(a->isEqual(b), equal) << "pair " << i;
    EXPECT_EQ(b->isEqual(a), equal) << "pair " << i;
  }
}

TEST(ExpressionLeafMakers, ConstantsAreSharedAndBadDigitsRefused) {
  ExpressionManager m;
  ExpressionRef t, r, v, a, b;
  m.makeTrue(t);
  EXPECT_EQ(m.makeBool(r, true), t);
  EXPECT_EQ(m.makeOnes(r, 1), t);
  EXPECT_EQ(m.makeFalse(r), m.makeZero(v, 1));
  EXPECT_EQ(m.makeConstantFromHex(r, "00ff")->getWidth(), 16u);
  EXPECT_EQ(m.makeConstantFromDecimal(r, "255", 8), m.makeOnes(v, 8));
  EXPECT_EQ(m.makeConstantFromBinary(r, "11111111"), v);
  EXPECT_EQ(toString(m.makeConstantFromUInt64(r, 300, 8).get()), "00101100");  // 44
  EXPECT_EQ(m.makeConstantFromBits(r, {true, false, true}), m.makeConstantFromUInt64(v, 5, 3));
  EXPECT_EQ(toString(r.get()), "101");
  BitVector one(70);
  one.setOne();
  EXPECT_EQ(m.makeOne(r, 70), m.makeConstant(v, one));
  // A refusal also empties the result handle.
  EXPECT_FALSE(m.makeConstantFromDecimal(r = t, "300", 8));
  EXPECT_FALSE(m.makeConstantFromHex(r = t, ""));
  EXPECT_FALSE(m.makeConstantFromHex(r = t, "1g"));
  EXPECT_FALSE(m.makeConstantFromBinary(r = t, "10x1"));
  EXPECT_FALSE(m.makeConstantFromBinary(r = t, ""));
  EXPECT_FALSE(m.makeConstantFromDecimal(r = t, "", 8));
  EXPECT_FALSE(m.makeVariable(r = t, 0, "z"));
  // Every lookup that finds the shared constant adds exactly one reference.
  const uint32_t count = t->getRefCount();
  ExpressionRef again[4];
  m.makeTrue(again[0]), m.makeBool(again[1], true), m.makeConstantFromBits(again[2], {true});
  m.makeConstantFromUInt64(again[3], 3, 1);
  for (const ExpressionRef& g : again) EXPECT_EQ(g, t);
  EXPECT_EQ(t->getRefCount(), count + 4);
  m.makeArrayVariable(a, 4, 8, "A");
  EXPECT_NE(m.makeArrayVariable(b, 4, 8, "A"), a);
  EXPECT_TRUE(asArray(a.get())->getIndexWidth() == 4u && asArray(a.get())->getElementWidth() == 8u);
  EXPECT_TRUE(a->isArray() && a->getWidth() == 0u);
}

namespace {

class TestModule : public UnaryModuleExpression {
 public:
  TestModule(uint32_t width, Expression* child) : UnaryModuleExpression(width, child) {}
  uint32_t getKind() const override { return KIND_SIN_MODULE; }
  void printOperator(std::ostream& out) const override { out << "sin"; }
  ExpressionRef rebuild(ExpressionManager&) override { return ExpressionRef(this); }
  int propagate(std::vector<int>&, int&) override { return 0; }
  void compute(const BitVector& in, BitVector& out) override { out = in; }
};

}  // namespace

TEST(ExpressionModules, WatchNodesLiteralsAndRelease) {
  AIG aig;
  ExpressionManager m;
  m.setAIG(&aig);
  ExpressionRef x = var(m, 32);
  ExpressionRef mod = m.findOrInsert(new TestModule(32, x.get()));
  ModuleExpression* me = ModuleExpression::asModule(mod.get());
  ASSERT_NE(me, nullptr);
  EXPECT_TRUE(me->getTrackedBitCount() == 64u && me->getInputBitCount() == 32u && me->getSolver() == nullptr);
  for (uint32_t k = 0; k < 64; ++k) {
    EXPECT_EQ(me->getLiterals()[k], -1);
    EXPECT_FALSE(me->getWatchNode(k)->isLinked());
    EXPECT_EQ(ModuleExpression::fromWatchNode(me->getWatchNode(k)), me);
  }
  uint32_t child = 7, bit = 0;
  EXPECT_FALSE(me->locateBit(me->indexOf(me->getWatchNode(40)), child, bit));
  EXPECT_EQ(bit, 8u);  // watch node 40 stands for output bit 8
  EXPECT_TRUE(me->locateBit(5, child, bit) && child == 0u && bit == 5u);
  auto* um = static_cast<UnaryModuleExpression*>(me);
  EXPECT_EQ(um->getOutputLiterals() - um->getInputLiterals(), 32);
  EXPECT_EQ(m.findOrInsert(new TestModule(32, x.get())), mod);  // same argument: one node
  // A watch node still linked into some list when the module dies is unlinked.
  sat::ModuleCallbackNode head;
  me->getWatchNode(3)->linkAfter(&head);
  mod.reset();
  EXPECT_FALSE(head.isLinked());
  // Chains of merged edge classes go with the node's propagation bits (the
  // sanitizer build checks for leaks); record 1 holds no class.
  EdgeClass* outer = new EdgeClass();
  outer->representative = aig.makeInput();
  EdgeClass* inner = new EdgeClass();
  inner->representative = aig.makeInput();
  inner->mergedInto = addRef(outer);
  auto* bits = new std::vector<PropagationBit>(2);
  (*bits)[0].expression = x.get();
  (*bits)[0].edgeClass = reinterpret_cast<uintptr_t>(addRef(inner)) | 1u;
  x->setPropagationBits(bits);
  EXPECT_TRUE((*bits)[0].isNegated() && (*bits)[0].getEdgeClass() == inner);
  x.reset();
}

// The hash-consing set (hashes from tiny ranges, so probe runs wrap around
// the table and backward-shift deletion is exercised) and the identity set
// keyed by serial id (never-registered nodes all have id 0, so they share one
// probe run), both against a reference set under random insertions and erasures.
template <class Set>
void randomOperationsAgainstReference(Set& set, const std::vector<Expression*>& pool, std::mt19937& rng, size_t cap) {
  std::set<Expression*> reference;
  for (int step = 0; step < 20000 && reference.size() <= cap; ++step) {
    Expression* n = pool[rng() % pool.size()];
    const bool member = reference.count(n) != 0;
    ASSERT_EQ(set.contains(n), member);
    if (!member || rng() % 3 == 0) {
      ASSERT_EQ(set.insert(n), !member);
      reference.insert(n);
    } else {
      ASSERT_TRUE(set.erase(n));
      ASSERT_FALSE(set.erase(n));
      reference.erase(n);
    }
    ASSERT_EQ(set.size(), reference.size());
    if (step % 97 != 0) continue;
    for (Expression* e : pool) ASSERT_EQ(set.contains(e), reference.count(e) != 0);
    size_t seen = 0;
    set.forEach([&](Expression* e) { seen += reference.count(e); });
    ASSERT_EQ(seen, reference.size());
  }
}

struct HashedSet {
  ExpressionSet set;
  std::map<Expression*, uint64_t> hash;
  bool contains(Expression* e) const { return set.find(e, hash.at(e)) == e; }
  bool insert(Expression* e) { return set.insert(e, hash.at(e)); }
  bool erase(Expression* e) { return set.erase(e, hash.at(e)); }
  size_t size() const { return set.size(); }
  template <class F> void forEach(F&& f) const { set.forEach(f); }
};

TEST(ExpressionSets, RandomOperationsAgreeWithAReferenceSet) {
  std::mt19937 rng(7);
  std::vector<std::unique_ptr<VariableExpression>> loose;
  std::vector<Expression*> unregistered, registered;
  for (int i = 0; i < 3000; ++i) {
    loose.emplace_back(new VariableExpression(4, nullptr));
    unregistered.push_back(loose.back().get());
  }
  for (uint64_t range : {1ull, 5ull, 64ull, 1000000ull}) {
    HashedSet set;
    for (Expression* e : unregistered) set.hash[e] = rng() % range;
    randomOperationsAgainstReference(set, unregistered, rng, range == 1 ? 300 : SIZE_MAX);
  }
  ExpressionManager manager;
  std::vector<ExpressionRef> held(2000);
  for (auto& r : held) registered.push_back(manager.makeVariable(r, 4, nullptr).get());
  NodeIdentitySet byId, colliding;
  randomOperationsAgainstReference(byId, registered, rng, SIZE_MAX);
  unregistered.resize(200);
  randomOperationsAgainstReference(colliding, unregistered, rng, SIZE_MAX);
}
