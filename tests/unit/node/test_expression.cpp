// Expression nodes and the manager's store: hash-consing, listeners, user
// lists, representatives, deletion, assumptions, lifetime, operator texts,
// leaf makers, module watch nodes and the two hash sets.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <vector>

#include "varnok/aig/aig.h"
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
  ExpressionRef kept, forwarding, deep, withEdges;
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
  }
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
  EXPECT_FALSE(m.makeConstantFromDecimal(r, "300", 8));
  EXPECT_FALSE(m.makeConstantFromHex(r, ""));
  EXPECT_FALSE(m.makeConstantFromHex(r, "1g"));
  EXPECT_FALSE(m.makeConstantFromBinary(r, "10x1"));
  EXPECT_FALSE(m.makeConstantFromDecimal(r, "", 8));
  EXPECT_FALSE(m.makeVariable(r, 0, "z"));
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
