// Expression nodes and the manager's store: hashing, hash-consing, listeners,
// ids, user lists, representatives, deletion, assumptions and lifetime.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <vector>

#include "varnok/aig/aig.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"
#include "varnok/node/module_expression.h"
#include "varnok/node/propagation_bit.h"

using namespace varnok;

namespace {

// Counts every notification per node.
class CountingListener : public ExpressionAddRemoveListener {
 public:
  void expressionAdded(Expression* e) override {
    ++added[e];
    ++totalAdded;
  }
  void expressionRemoved(Expression* e) override {
    ++removed[e];
    ++totalRemoved;
  }
  std::map<Expression*, int> added, removed;
  long totalAdded = 0, totalRemoved = 0;
};

// Counts notifications only (no per-node map), for long chains.
class TallyListener : public ExpressionAddRemoveListener {
 public:
  void expressionAdded(Expression*) override { ++added; }
  void expressionRemoved(Expression* e) override {
    ++removed;
    // Every node is reported before it leaves the set; ids are unique, so a
    // second report of the same node would show up as a repeated id.
    if (e->getId() < seen.size()) {
      if (seen[e->getId()]) ++repeats;
      seen[e->getId()] = true;
    } else {
      ++repeats;
    }
  }
  long added = 0, removed = 0, repeats = 0;
  std::vector<bool> seen;
};

ExpressionRef var(ExpressionManager& m, uint32_t width, const char* name = nullptr) {
  ExpressionRef r;
  m.makeVariable(r, width, name);
  return r;
}

ExpressionRef constant(ExpressionManager& m, uint64_t value, uint32_t width) {
  ExpressionRef r;
  m.makeConstantFromUInt64(r, value, width);
  return r;
}

ExpressionRef notOf(ExpressionManager& m, Expression* x) { return m.findOrInsert(new NotExpression(x)); }
ExpressionRef andOf(ExpressionManager& m, Expression* a, Expression* b) {
  return m.findOrInsert(new AndExpression(a, b));
}
ExpressionRef addOf(ExpressionManager& m, Expression* a, Expression* b) {
  return m.findOrInsert(new ADDExpression(a, b));
}

std::string text(const Expression* e) { return toString(e); }

}  // namespace

// ---------------------------------------------------------------------------
// Hashing and equality: the numbers follow from the hash definition
// (start (width + 517081) ^ 0x1F01, combine kind, child ids, class tails).

TEST(ExpressionHash, ExactValuesOfConstantsAndOperators) {
  ExpressionManager m;
  EXPECT_EQ(m.getRoot()->hash(), 2150343895ull);  // the constant true
  ExpressionRef f;
  m.makeFalse(f);
  EXPECT_EQ(f->hash(), 2150343888ull);
  EXPECT_EQ(constant(m, 5, 8)->hash(), 2150329256ull);
  ExpressionRef zero128;
  m.makeZero(zero128, 128);
  EXPECT_EQ(zero128->hash(), 2174107339ull);  // value hash: two zero words folded from 5197
  ExpressionRef ones65;
  m.makeOnes(ones65, 65);
  EXPECT_EQ(ones65->hash(), 2173944887ull);

  // Operator hashes depend only on width, kind and child ids.
  ExpressionManager m2;          // id 0: true
  ExpressionRef a = var(m2, 8);  // id 1
  ExpressionRef b = var(m2, 8);  // id 2
  ExpressionRef x = var(m2, 8);  // id 3
  ASSERT_EQ(a->getId(), 1u);
  ASSERT_EQ(x->getId(), 3u);
  EXPECT_EQ(andOf(m2, a.get(), b.get())->hash(), 140304643170ull);
  ExpressionRef ex = m2.findOrInsert(new ExtractExpression(x.get(), 7, 4));
  EXPECT_EQ(ex->hash(), 37763447708460370ull);
  FloatFormat single{8, 23}, dbl{11, 52};
  ExpressionManager m3;
  ExpressionRef f1 = var(m3, 32), f2 = var(m3, 32);
  EXPECT_EQ(FloatAddExpression(f1.get(), f2.get(), single, 0).hash(), 37801210137189540ull);
  EXPECT_EQ(hashFloatFormat(single), 873802ull);
  EXPECT_EQ(FloatToUIntExpression(f1.get(), single, 8, 4).hash(), 37765945543821212ull);
  ExpressionManager m4;
  ExpressionRef g = var(m4, 32);
  EXPECT_EQ(FloatToFloatExpression(g.get(), single, dbl, 2).hash(), 37836633477838653ull);
  ExpressionRef arr;
  m4.makeArrayVariable(arr, 4, 8, "A");
  EXPECT_EQ(arr->hash(), 8874657064280ull);
}

TEST(ExpressionHash, EqualityRulesOfLeavesAndFloatFields) {
  ExpressionManager m;
  ExpressionRef v1 = var(m, 8, "v"), v2 = var(m, 8, "v");
  EXPECT_NE(v1, v2);
  EXPECT_NE(v1->getId(), v2->getId());
  EXPECT_FALSE(v1->isEqual(v2.get()));
  ExpressionRef a = var(m, 32), b = var(m, 32);
  FloatFormat f{8, 23};
  ExpressionRef add0 = m.findOrInsert(new FloatAddExpression(a.get(), b.get(), f, 0));
  ExpressionRef add1 = m.findOrInsert(new FloatAddExpression(a.get(), b.get(), f, 1));
  ExpressionRef add0again = m.findOrInsert(new FloatAddExpression(a.get(), b.get(), f, 0));
  EXPECT_NE(add0, add1);
  EXPECT_EQ(add0, add0again);
  ExpressionRef toInt8 = m.findOrInsert(new FloatToSIntExpression(a.get(), f, 8, 0));
  ExpressionRef toInt16 = m.findOrInsert(new FloatToSIntExpression(a.get(), f, 16, 0));
  EXPECT_NE(toInt8, toInt16);
  // Same fields, different kinds: never equal.
  ExpressionRef toUInt8 = m.findOrInsert(new FloatToUIntExpression(a.get(), f, 8, 0));
  EXPECT_NE(toInt8, toUInt8);
  // Constants of equal value but different widths are different nodes.
  EXPECT_NE(constant(m, 1, 1), constant(m, 1, 2));
  EXPECT_EQ(constant(m, 3, 70), constant(m, 3, 70));
}

// ---------------------------------------------------------------------------

TEST(ExpressionStore, FirstNodeIsTrueAndCountersStart) {
  ExpressionManager m;
  EXPECT_EQ(m.getRoot()->getId(), 0u);
  EXPECT_EQ(m.getRoot()->getKind(), static_cast<uint32_t>(KIND_CONSTANT));
  EXPECT_TRUE(m.getRoot()->isOne());
  EXPECT_EQ(m.getKindCount(KIND_CONSTANT), 1u);
  EXPECT_EQ(m.getLiveCount(), 1u);
  EXPECT_EQ(m.getNextId(), 1u);
  for (uint32_t k = 0; k < NUM_EXPRESSION_KINDS; ++k) {
    if (k != KIND_CONSTANT) {
      EXPECT_EQ(m.getKindCount(k), 0u);
    }
  }
}

TEST(ExpressionStore, HashConsingSharesNodesAndNotifiesOnce) {
  ExpressionManager m;
  CountingListener l;
  m.addListener(&l);
  ExpressionRef a = var(m, 8), b = var(m, 8);
  const uint32_t before = m.getLiveCount();
  ExpressionRef n1 = andOf(m, a.get(), b.get());
  EXPECT_EQ(n1->getRefCount(), 1u);
  ExpressionRef n2 = andOf(m, a.get(), b.get());
  EXPECT_EQ(n1, n2);
  EXPECT_EQ(n1->getRefCount(), 2u);
  EXPECT_EQ(l.added[n1.get()], 1);
  EXPECT_EQ(m.getLiveCount(), before + 1);
  EXPECT_EQ(m.getKindCount(KIND_AND), 1u);
  // Children are referenced once per slot by their user.
  EXPECT_EQ(a->getRefCount(), 2u);
  n1.reset();
  n2.reset();
  EXPECT_EQ(l.removed.size(), 1u);
  EXPECT_EQ(m.getKindCount(KIND_AND), 0u);
  EXPECT_EQ(a->getRefCount(), 1u);
  EXPECT_EQ(a->getFirstUser(), Expression::UserEntry());
  m.removeListener(&l);
}

TEST(ExpressionStore, DepthOfLeavesAndOperators) {
  ExpressionManager m;
  ExpressionRef x = var(m, 4), y = var(m, 4);
  EXPECT_EQ(x->getDepth(), 0u);
  ExpressionRef d1 = andOf(m, x.get(), y.get());
  EXPECT_EQ(d1->getDepth(), 1u);
  ExpressionRef d2 = notOf(m, d1.get());
  ExpressionRef d3 = notOf(m, d2.get());
  EXPECT_EQ(d3->getDepth(), 3u);
  EXPECT_EQ(addOf(m, x.get(), d3.get())->getDepth(), 4u);
}

TEST(ExpressionStore, UserListsStandOncePerSlot) {
  ExpressionManager m;
  ExpressionRef x = var(m, 4), y = var(m, 4);
  ExpressionRef sq = m.findOrInsert(new MULExpression(x.get(), x.get()));
  ExpressionRef s = addOf(m, x.get(), y.get());
  EXPECT_EQ(x->countUsers(), 3u);
  EXPECT_EQ(x->getRefCount(), 4u);
  // The list keeps registration order: (sq, 0), (sq, 1), (s, 0).
  Expression::UserEntry e = x->getFirstUser();
  EXPECT_EQ(e.node(), sq.get());
  EXPECT_EQ(e.slot(), 0u);
  e = Expression::nextUser(e);
  EXPECT_EQ(e.node(), sq.get());
  EXPECT_EQ(e.slot(), 1u);
  e = Expression::nextUser(e);
  EXPECT_EQ(e.node(), s.get());
  EXPECT_EQ(x->getLastUser(), e);
  EXPECT_EQ(Expression::previousUser(e).node(), sq.get());
  sq.reset();  // both entries go
  EXPECT_EQ(x->countUsers(), 1u);
  EXPECT_EQ(x->getFirstUser().node(), s.get());
  EXPECT_EQ(x->getRefCount(), 2u);
  s.reset();
  EXPECT_EQ(x->countUsers(), 0u);
  EXPECT_EQ(x->getLastUser(), Expression::UserEntry());
}

TEST(ExpressionStore, ReleasingAMillionNodeChainIsIterative) {
  // A million in both builds: the sanitizer build is the one that checks
  // that nothing leaks and that no deep recursion happens.
  const uint32_t n = 1000000;
  ExpressionManager m;
  TallyListener l;
  l.seen.assign(n + 8, false);
  m.addListener(&l);
  ExpressionRef top = var(m, 1);
  for (uint32_t i = 0; i < n; ++i) top = notOf(m, top.get());
  EXPECT_EQ(top->getDepth(), n);
  EXPECT_EQ(m.getLiveCount(), n + 2);
  top.reset();
  EXPECT_EQ(l.removed, static_cast<long>(n + 1));  // the chain and its variable
  EXPECT_EQ(l.repeats, 0);
  EXPECT_EQ(m.getLiveCount(), 1u);  // only the root
  EXPECT_EQ(m.getSetSize(), 1u);
  EXPECT_EQ(m.getKindCount(KIND_NOT), 0u);
  m.removeListener(&l);
}

TEST(ExpressionStore, ForwardingNodeIsRemovedOnceAndReleasesOnlyItsRepresentative) {
  ExpressionManager m;
  CountingListener l;
  m.addListener(&l);
  ExpressionRef x = var(m, 4), y = var(m, 4), c = constant(m, 3, 4);
  ExpressionRef s = addOf(m, x.get(), y.get());
  s->setRepresentative(c.get());
  EXPECT_EQ(l.removed[s.get()], 1);
  EXPECT_EQ(m.getKindCount(KIND_ADD), 0u);
  EXPECT_EQ(x->getRefCount(), 1u);  // no longer held by s
  EXPECT_EQ(x->countUsers(), 0u);
  EXPECT_EQ(c->getRefCount(), 2u);
  EXPECT_EQ(s->getChild(0), x.get());  // still prints the same
  EXPECT_EQ(text(s.get()), "add");
  // An equal node can be built again: the forwarding node left the set.
  ExpressionRef s2 = addOf(m, x.get(), y.get());
  EXPECT_NE(s2, s);
  const uint32_t live = m.getLiveCount();
  Expression* sp = s.get();
  s.reset();
  EXPECT_EQ(l.removed[sp], 1);  // no second report
  EXPECT_EQ(c->getRefCount(), 1u);
  EXPECT_EQ(m.getLiveCount(), live - 1);
  m.removeListener(&l);
}

TEST(ExpressionStore, SetRepresentativeTwiceMovesTheLinkWithoutLeaking) {
  ExpressionManager m;
  CountingListener l;
  m.addListener(&l);
  ExpressionRef x = var(m, 4), r1 = constant(m, 1, 4), r2 = constant(m, 2, 4);
  ExpressionRef n = notOf(m, x.get());
  n->setRepresentative(r1.get());
  n->setRepresentative(r1.get());  // the current representative: nothing happens
  EXPECT_EQ(r1->getRefCount(), 2u);
  n->setRepresentative(r2.get());  // a second, different representative
  EXPECT_EQ(l.removed[n.get()], 1);
  EXPECT_EQ(m.getKindCount(KIND_NOT), 0u);
  EXPECT_EQ(r1->getRefCount(), 1u);  // the first representative's reference is not leaked
  EXPECT_EQ(r2->getRefCount(), 2u);
  EXPECT_EQ(getRepresentative(n.get()), r2.get());
  EXPECT_THROW(n->setRepresentative(n.get()), std::logic_error);
  n.reset();
  EXPECT_EQ(r2->getRefCount(), 1u);
  m.removeListener(&l);
}

TEST(ExpressionStore, PathCompressionKeepsCountsRight) {
  ExpressionManager m;
  ExpressionRef a = var(m, 4), b = var(m, 4), c = var(m, 4), d = var(m, 4);
  a->setRepresentative(b.get());
  b->setRepresentative(c.get());
  c->setRepresentative(d.get());
  EXPECT_EQ(b->getRefCount(), 2u);
  EXPECT_EQ(c->getRefCount(), 2u);
  EXPECT_EQ(d->getRefCount(), 2u);
  EXPECT_EQ(getRepresentative(a.get()), d.get());
  EXPECT_EQ(a->getRepresentativeLink(), d.get());
  EXPECT_EQ(b->getRepresentativeLink(), d.get());
  EXPECT_EQ(c->getRepresentativeLink(), d.get());
  EXPECT_EQ(b->getRefCount(), 1u);  // a's reference on b is gone
  EXPECT_EQ(c->getRefCount(), 1u);  // b's reference on c is gone
  EXPECT_EQ(d->getRefCount(), 4u);  // a, b, c and the handle
  EXPECT_EQ(getRepresentative(d.get()), d.get());
  EXPECT_EQ(getRepresentative(a.get()), d.get());
  EXPECT_EQ(d->getRefCount(), 4u);  // a second lookup changes nothing

  // A path whose middle nodes are held only by the chain: compression frees
  // them as it goes, without touching freed memory.
  ExpressionManager m2;
  ExpressionRef e = var(m2, 2);
  ExpressionRef root = var(m2, 2);
  {
    ExpressionRef prev = e;
    std::vector<ExpressionRef> mids;
    for (int i = 0; i < 5; ++i) mids.push_back(var(m2, 2));
    e->setRepresentative(mids[0].get());
    for (int i = 0; i + 1 < 5; ++i) mids[i]->setRepresentative(mids[i + 1].get());
    mids[4]->setRepresentative(root.get());
  }
  const uint32_t live = m2.getLiveCount();
  EXPECT_EQ(getRepresentative(e.get()), root.get());
  // Every middle node was held only by its predecessor's link: all five die,
  // each releasing the root reference it had just been given.
  EXPECT_EQ(m2.getLiveCount(), live - 5);
  EXPECT_EQ(root->getRefCount(), 2u);
  e.reset();
  EXPECT_EQ(m2.getLiveCount(), live - 6);
  EXPECT_EQ(root->getRefCount(), 1u);
}

TEST(ExpressionStore, ArrayEqualityWitnessesGetTheirOwnIds) {
  ExpressionManager m;
  CountingListener l;
  m.addListener(&l);
  ExpressionRef A, B;
  m.makeArrayVariable(A, 4, 8, "A");
  m.makeArrayVariable(B, 4, 8, "B");
  ExpressionRef eq = m.findOrInsert(new ArrayEqualExpression(A.get(), B.get()));
  ArrayEqualExpression* ae = static_cast<ArrayEqualExpression*>(eq.get());
  ASSERT_NE(ae->getWitnessRead0(), nullptr);
  ASSERT_NE(ae->getWitnessRead1(), nullptr);
  Expression* k = ae->getWitnessRead0()->getChild(1);
  std::vector<uint32_t> ids = {eq->getId(), k->getId(), ae->getWitnessRead0()->getId(),
                               ae->getWitnessRead1()->getId(), A->getId(), B->getId()};
  std::sort(ids.begin(), ids.end());
  EXPECT_TRUE(std::adjacent_find(ids.begin(), ids.end()) == ids.end()) << "serial ids must be unique";
  EXPECT_LT(eq->getId(), k->getId());
  EXPECT_EQ(k->getWidth(), 4u);
  EXPECT_EQ(ae->getWitnessRead0()->getWidth(), 8u);
  EXPECT_EQ(ae->getWitnessRead1()->getChild(1), k);
  EXPECT_EQ(m.getNextId(), 7u);  // true, A, B, the equality, k, two reads
  EXPECT_EQ(l.added.size(), 6u);  // A, B, k, two reads, the equality
  // Forwarding drops the witnesses.
  ExpressionRef t;
  m.makeTrue(t);
  eq->setRepresentative(t.get());
  EXPECT_EQ(ae->getWitnessRead0(), nullptr);
  EXPECT_EQ(m.getKindCount(KIND_ARRAY_READ), 0u);
  eq.reset();
  m.removeListener(&l);
}

TEST(ExpressionStore, ArrayModelTableEntriesAreReleasedWithTheArray) {
  ExpressionManager m;
  ExpressionRef A;
  m.makeArrayVariable(A, 4, 8, nullptr);
  ExpressionRef i = var(m, 4);
  ExpressionRef rd = m.findOrInsert(new ArrayReadExpression(A.get(), i.get()));
  ArrayExpression* arr = asArray(A.get());
  ASSERT_NE(arr, nullptr);
  ArrayModelEntry entry;
  entry.access = asArrayAccess(rd.get());
  entry.expression = rd;
  arr->getModelTable().emplace(i.get(), entry);
  entry.expression.reset();
  EXPECT_EQ(rd->getRefCount(), 2u);
  Expression* rdp = rd.get();
  EXPECT_EQ(asArrayAccess(rdp)->getExpression(), rdp);
  EXPECT_EQ(asArrayAccess(rdp)->getArray(), A.get());
  rd.reset();
  i.reset();
  const uint32_t live = m.getLiveCount();
  // The read holds the array, the table holds the read: release the handle to
  // the array; the read keeps it alive, so clear the table through the array.
  arr->getModelTable().clear();
  EXPECT_EQ(m.getLiveCount(), live - 2);  // the read and its index
  A.reset();
  EXPECT_EQ(m.getLiveCount(), 1u);
}

TEST(ExpressionStore, AssumptionsQueueOnlyNewOneBitFormulas) {
  ExpressionManager m;
  ExpressionRef p = var(m, 1), q = var(m, 1), w = var(m, 2);
  EXPECT_FALSE(m.addAssumption(w));
  EXPECT_FALSE(m.addAssumption(ExpressionRef()));
  EXPECT_TRUE(m.addAssumption(p));
  EXPECT_TRUE(m.addAssumption(p));
  EXPECT_EQ(m.getAssumptions().size(), 1u);
  EXPECT_TRUE(p->isAssumed());
  ExpressionRef pq = p, qq = q;
  ASSERT_TRUE(m.assertExpression(&qq));
  EXPECT_TRUE(q->isAsserted());
  EXPECT_TRUE(m.addAssumption(q));
  EXPECT_EQ(m.getAssumptions().size(), 1u);
  EXPECT_EQ(p->getRefCount(), 3u);
  m.clearAssumptions();
  EXPECT_TRUE(m.getAssumptions().empty());
  EXPECT_FALSE(p->isAssumed());
  EXPECT_EQ(p->getRefCount(), 2u);
}

TEST(ExpressionStore, AssertMarksConjunctsOnce) {
  ExpressionManager m;
  ExpressionRef a = var(m, 1), b = var(m, 1);
  ExpressionRef x = a, y = b, ab;
  m.makeAnd(ab, &x, &y);
  ExpressionRef e = ab;
  ASSERT_TRUE(m.assertExpression(&e));
  EXPECT_EQ(m.getRoot(), ab);  // the first assertion becomes the root
  EXPECT_TRUE(ab->isAsserted());
  EXPECT_TRUE(a->isAsserted());
  EXPECT_TRUE(b->isAsserted());
  Expression* root = m.getRoot().get();
  ExpressionRef again = a;
  EXPECT_TRUE(m.assertExpression(&again));
  EXPECT_TRUE(m.assertExpression(&e));
  EXPECT_EQ(m.getRoot().get(), root);  // already asserted: nothing changes
  ExpressionRef wide = var(m, 8);
  EXPECT_FALSE(m.assertExpression(&wide));
  ExpressionRef none;
  EXPECT_FALSE(m.assertExpression(&none));
  EXPECT_FALSE(m.assertExpression(nullptr));
}

TEST(ExpressionStore, NoListenerHearsOfADestroyedCandidate) {
  ExpressionManager m;
  CountingListener l;
  ExpressionRef x = var(m, 4);
  ExpressionRef n1 = notOf(m, x.get());
  m.addListener(&l);
  m.addListener(&l);  // registered twice: told twice, removed everywhere
  ExpressionRef n2 = notOf(m, x.get());
  EXPECT_EQ(l.totalAdded, 0);
  ExpressionRef y = var(m, 4);
  EXPECT_EQ(l.added[y.get()], 2);
  m.removeListener(&l);
  EXPECT_TRUE(m.getListeners().empty());
  y.reset();
  EXPECT_EQ(l.totalRemoved, 0);
}

// ---------------------------------------------------------------------------
// Handles that outlive their manager.

TEST(ExpressionLifetime, HandlesOutlivingTheManagerFreeOnlyTheirNodes) {
  ExpressionRef kept, forwarding, deep;
  {
    ExpressionManager m;
    ExpressionRef x = var(m, 8, "x"), y = var(m, 8, "y");
    kept = addOf(m, x.get(), y.get());
    forwarding = notOf(m, kept.get());
    forwarding->setRepresentative(x.get());
    ExpressionRef t = var(m, 1);
    for (int i = 0; i < 100000; ++i) t = notOf(m, t.get());
    deep = t;
  }
  // The manager is gone: the nodes are orphans.
  EXPECT_EQ(kept->getManager(), nullptr);
  EXPECT_TRUE(kept->isOrphaned());
  EXPECT_EQ(text(kept.get()), "add");
  EXPECT_EQ(kept->getChild(0)->getRefCount(), 2u);  // x: held by kept and by forwarding
  forwarding.reset();
  EXPECT_EQ(kept->getChild(0)->getRefCount(), 1u);
  kept.reset();
  deep.reset();  // a long orphan chain is freed iteratively too
}

TEST(ExpressionLifetime, OrphansDropTheirAIGEdgesWhileTheAIGIsAlive) {
  AIG aig;
  ExpressionRef kept;
  {
    ExpressionManager m;
    m.setAIG(&aig);
    kept = var(m, 2);
    EXPECT_EQ(getAIG(kept.get()), &aig);
    auto* edges = new std::vector<AIGEdge>();
    edges->push_back(aig.makeInput());
    edges->push_back(aig.makeInput());
    kept->setBitEdges(edges);
  }
  EXPECT_EQ(kept->getBitEdges(), nullptr);
  EXPECT_EQ(getAIG(kept.get()), nullptr);
  kept.reset();
}

// ---------------------------------------------------------------------------
// Classes: texts, constant tests, model access without a model.

TEST(ExpressionClasses, OperatorTexts) {
  ExpressionManager m;
  EXPECT_EQ(text(constant(m, 5, 4).get()), "0101");
  ExpressionRef x = var(m, 8);
  EXPECT_EQ(text(x.get()), std::to_string(x->getId()) + "[8]");
  EXPECT_EQ(text(var(m, 3, "abc").get()), "abc[3]");
  EXPECT_EQ(text(m.findOrInsert(new ExtractExpression(x.get(), 7, 4)).get()), "extract[7:4]");
  ExpressionRef A;
  m.makeArrayVariable(A, 4, 8, nullptr);
  std::ostringstream addr;
  addr << static_cast<const void*>(A.get()) << "[8,4]";
  EXPECT_EQ(text(A.get()), addr.str());
  ExpressionRef B;
  m.makeArrayVariable(B, 4, 8, "mem");
  EXPECT_EQ(text(B.get()), "mem[8,4]");
  EXPECT_EQ(A->getWidth(), 0u);
  EXPECT_TRUE(A->isArray());
  FloatFormat f{8, 23};
  ExpressionRef a = var(m, 32);
  EXPECT_EQ(text(m.findOrInsert(new FloatMulExpression(a.get(), a.get(), f, 0)).get()), "FLTMUL");
  EXPECT_EQ(text(m.findOrInsert(new UIntToFloatExpression(x.get(), f, 0)).get()), "UINTTOFLT");
}

TEST(ExpressionClasses, StripNotAndAIGLookup) {
  ExpressionManager m;
  ExpressionRef x = var(m, 4);
  ExpressionRef n = notOf(m, x.get());
  EXPECT_EQ(stripNot(n.get()), x);
  EXPECT_EQ(stripNot(x.get()), x);
  EXPECT_EQ(getAIG(x.get()), nullptr);  // no graph set
  ExpressionRef loose = ExpressionRef(new NotExpression(x.get()));  // never registered
  EXPECT_EQ(getAIG(loose.get()), nullptr);
  EXPECT_EQ(x->getRefCount(), 2u);  // an unregistered node holds no reference
  loose.reset();
  EXPECT_EQ(x->getRefCount(), 2u);
}

TEST(ExpressionClasses, ConstantPredicates) {
  // The values' predicates are checked on bit-vector values; here that
  // constants answer them and other nodes do not.
  ExpressionManager m;
  uint32_t k = 99;
  EXPECT_TRUE(constant(m, 8, 8)->isPowerOfTwo(k));
  EXPECT_EQ(k, 3u);
  EXPECT_FALSE(constant(m, 6, 8)->isPowerOfTwo(k));
  EXPECT_TRUE(constant(m, 0x80, 8)->isSignedMin());
  EXPECT_TRUE(constant(m, 0x7f, 8)->isSignedMax());
  EXPECT_TRUE(constant(m, 0xff, 8)->isAllOnes());
  EXPECT_TRUE(constant(m, 1, 8)->isOne());
  ExpressionRef x = var(m, 8);
  EXPECT_FALSE(x->isZero());
  EXPECT_FALSE(x->isPowerOfTwo(k));
  EXPECT_EQ(k, 3u);
  ExpressionRef w;
  m.makeOnes(w, 130);
  EXPECT_TRUE(w->isAllOnes());
  EXPECT_FALSE(w->isSignedMax());
}

TEST(ExpressionClasses, ModelAccessWithoutAModel) {
  ExpressionManager m;
  ExpressionRef x = var(m, 8);
  BitVector out(3);
  out.setAllOnes();
  EXPECT_FALSE(x->getModelValue(out));
  EXPECT_EQ(out.getWidth(), 3u);
  EXPECT_TRUE(out.isAllOnes());
  EXPECT_FALSE(x->getModelBit(0));
  ExpressionRef c = constant(m, 6, 4);
  EXPECT_TRUE(c->getModelValue(out));
  EXPECT_EQ(out.getWidth(), 4u);
  EXPECT_TRUE(c->getModelBit(1));
  EXPECT_FALSE(c->getModelBit(0));
  // Bit positions beyond 255 are not folded onto the low bits.
  ExpressionRef wide;
  m.makeConstantFromBinary(wide, "1" + std::string(299, '0'));
  EXPECT_TRUE(wide->getModelBit(299));
  EXPECT_FALSE(wide->getModelBit(43));
}

TEST(ExpressionClasses, RebuildOverForwardedChildrenFolds) {
  ExpressionManager m;
  ExpressionRef x = var(m, 8), y = var(m, 8);
  ExpressionRef s = addOf(m, x.get(), y.get());
  x->setRepresentative(constant(m, 3, 8).get());
  y->setRepresentative(constant(m, 4, 8).get());
  ExpressionRef r = s->rebuild(m);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->getKind(), static_cast<uint32_t>(KIND_CONSTANT));
  EXPECT_EQ(text(r.get()), "00000111");
  EXPECT_EQ(x->rebuild(m), x);  // leaves answer themselves
  ExpressionRef e = m.findOrInsert(new ExtractExpression(s.get(), 3, 0));
  s->setRepresentative(r.get());
  ExpressionRef re = e->rebuild(m);
  ASSERT_TRUE(re);
  EXPECT_EQ(text(re.get()), "0111");
}

// ---------------------------------------------------------------------------
// Leaf makers.

TEST(ExpressionLeafMakers, ConstantsAreShared) {
  ExpressionManager m;
  ExpressionRef t1, t2, b;
  m.makeTrue(t1);
  const uint32_t count = t1->getRefCount();
  m.makeTrue(t2);
  EXPECT_EQ(t1, t2);
  EXPECT_EQ(t1->getRefCount(), count + 1);
  m.makeBool(b, true);
  EXPECT_EQ(b, t1);
  ExpressionRef o1, f1, z1;
  m.makeOnes(o1, 1);
  EXPECT_EQ(o1, t1);
  m.makeFalse(f1);
  m.makeZero(z1, 1);
  EXPECT_EQ(f1, z1);
  ExpressionRef h, bin;
  m.makeConstantFromHex(h, "00ff");
  EXPECT_EQ(h->getWidth(), 16u);
  m.makeConstantFromBinary(bin, "11111111");
  EXPECT_EQ(bin->getWidth(), 8u);
  EXPECT_NE(h, bin);
  ExpressionRef d, ones8;
  m.makeConstantFromDecimal(d, "300", 8);
  EXPECT_FALSE(d);
  m.makeConstantFromDecimal(d, "255", 8);
  m.makeOnes(ones8, 8);
  EXPECT_EQ(d, ones8);
  EXPECT_EQ(bin, ones8);
  ExpressionRef cut;
  m.makeConstantFromUInt64(cut, 300, 8);
  EXPECT_EQ(text(cut.get()), "00101100");  // 44
  ExpressionRef bad;
  m.makeConstantFromHex(bad, "");
  EXPECT_FALSE(bad);
  m.makeConstantFromHex(bad, "1g");
  EXPECT_FALSE(bad);
  m.makeConstantFromBinary(bad, "10x1");
  EXPECT_FALSE(bad);
  m.makeConstantFromDecimal(bad, "", 8);
  EXPECT_FALSE(bad);
  ExpressionRef bits;
  m.makeConstantFromBits(bits, std::vector<bool>{true, false, true});
  EXPECT_EQ(text(bits.get()), "101");
  ExpressionRef five;
  m.makeConstantFromUInt64(five, 5, 3);
  EXPECT_EQ(bits, five);
  ExpressionRef one, viaValue;
  m.makeOne(one, 70);
  BitVector v(70);
  v.setOne();
  m.makeConstant(viaValue, v);
  EXPECT_EQ(one, viaValue);
}

TEST(ExpressionLeafMakers, VariablesAreAlwaysNew) {
  ExpressionManager m;
  ExpressionRef a, b, z;
  m.makeVariable(a, 8, "v");
  m.makeVariable(b, 8, "v");
  EXPECT_NE(a, b);
  EXPECT_NE(a->getId(), b->getId());
  EXPECT_EQ(m.getKindCount(KIND_VARIABLE), 2u);
  m.makeVariable(z, 0, "z");
  EXPECT_FALSE(z);
  ExpressionRef A1, A2;
  m.makeArrayVariable(A1, 4, 8, "A");
  m.makeArrayVariable(A2, 4, 8, "A");
  EXPECT_NE(A1, A2);
  EXPECT_EQ(asArray(A1.get())->getIndexWidth(), 4u);
  EXPECT_EQ(asArray(A1.get())->getElementWidth(), 8u);
}

// ---------------------------------------------------------------------------
// Module expression base.

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

TEST(ExpressionModules, WatchNodesAndLiteralsPerTrackedBit) {
  ExpressionManager m;
  ExpressionRef x = var(m, 32);
  ExpressionRef mod = m.findOrInsert(new TestModule(32, x.get()));
  ModuleExpression* me = ModuleExpression::asModule(mod.get());
  ASSERT_NE(me, nullptr);
  EXPECT_EQ(me->getTrackedBitCount(), 64u);
  EXPECT_EQ(me->getInputBitCount(), 32u);
  EXPECT_EQ(me->getSolver(), nullptr);
  for (uint32_t k = 0; k < 64; ++k) {
    EXPECT_EQ(me->getLiterals()[k], -1);
    EXPECT_FALSE(me->getWatchNode(k)->isLinked());
    EXPECT_EQ(ModuleExpression::fromWatchNode(me->getWatchNode(k)), me);
  }
  uint32_t child = 7, bit = 0;
  EXPECT_FALSE(me->locateBit(me->indexOf(me->getWatchNode(40)), child, bit));
  EXPECT_EQ(bit, 8u);  // watch node 40 stands for output bit 8
  EXPECT_TRUE(me->locateBit(5, child, bit));
  EXPECT_EQ(child, 0u);
  EXPECT_EQ(bit, 5u);
  auto* um = static_cast<UnaryModuleExpression*>(me);
  EXPECT_EQ(um->getOutputLiterals() - um->getInputLiterals(), 32);
  // Same argument: one node.
  ExpressionRef again = m.findOrInsert(new TestModule(32, x.get()));
  EXPECT_EQ(again, mod);
  // A watch node still linked into some list when the module dies is unlinked.
  sat::ModuleCallbackNode head;
  me->getWatchNode(3)->linkAfter(&head);
  EXPECT_TRUE(head.isLinked());
  mod.reset();
  again.reset();
  EXPECT_FALSE(head.isLinked());
}

TEST(ExpressionPropagation, EdgeClassChainsAreReleasedWithTheNode) {
  AIG aig;
  ExpressionManager m;
  m.setAIG(&aig);
  ExpressionRef x = var(m, 2);
  // Two classes, the first merged into the second.
  EdgeClass* outer = new EdgeClass();
  outer->representative = aig.makeInput();
  EdgeClass* inner = new EdgeClass();
  inner->representative = aig.makeInput();
  inner->mergedInto = addRef(outer);
  auto* bits = new std::vector<PropagationBit>(2);
  (*bits)[0].expression = x.get();
  (*bits)[0].edgeClass = reinterpret_cast<uintptr_t>(addRef(inner)) | 1u;
  // Record 1 is not initialised: it holds no class.
  x->setPropagationBits(bits);
  EXPECT_TRUE((*bits)[0].isNegated());
  EXPECT_EQ((*bits)[0].getEdgeClass(), inner);
  x.reset();  // frees inner, then outer (the sanitizer build checks for leaks)
}

// ---------------------------------------------------------------------------
// The hash-consing set itself: insertions and erasures under heavy collisions
// (synthetic hashes from a tiny range, so probe runs wrap around the table and
// backward-shift deletion is exercised), checked against a reference set.

TEST(ExpressionSetTest, RandomInsertEraseFindAgainstReference) {
  std::mt19937 rng(7);
  std::vector<std::unique_ptr<VariableExpression>> nodes;
  for (int i = 0; i < 3000; ++i) nodes.emplace_back(new VariableExpression(4, nullptr));
  for (uint64_t hashRange : {1ull, 5ull, 64ull, 1000000ull}) {
    ExpressionSet set;
    std::map<Expression*, uint64_t> reference;
    std::uniform_int_distribution<size_t> pickNode(0, nodes.size() - 1);
    for (int step = 0; step < 20000; ++step) {
      Expression* n = nodes[pickNode(rng)].get();
      auto it = reference.find(n);
      if (it == reference.end()) {
        const uint64_t h = rng() % hashRange;
        ASSERT_TRUE(set.insert(n, h));
        reference[n] = h;
      } else if (rng() % 2) {
        ASSERT_TRUE(set.erase(n, it->second));
        reference.erase(it);
      } else {
        ASSERT_FALSE(set.insert(n, it->second));  // equal element already there
      }
      ASSERT_EQ(set.size(), reference.size());
      if (step % 97 == 0) {
        for (auto& kv : reference) ASSERT_EQ(set.find(kv.first, kv.second), kv.first);
        size_t seen = 0;
        set.forEach([&](Expression* e) {
          ++seen;
          ASSERT_TRUE(reference.count(e));
        });
        ASSERT_EQ(seen, reference.size());
      }
      if (hashRange == 1 && reference.size() > 300) break;  // quadratic probing cost otherwise
    }
    for (auto& kv : reference) EXPECT_EQ(set.find(kv.first, kv.second), kv.first);
    // Erasing something absent reports false and changes nothing.
    for (auto& up : nodes)
      if (!reference.count(up.get())) {
        EXPECT_FALSE(set.erase(up.get(), 0));
        break;
      }
    EXPECT_EQ(set.size(), reference.size());
  }
}

// The identity set keyed by serial id, against a reference set: registered
// variables (distinct ids) and never-registered nodes (all id 0, so every one
// of them probes the same run and erasure must shift entries across the
// table's end).
TEST(NodeIdentitySetTest, RandomInsertEraseContainsAgainstReference) {
  ExpressionManager manager;
  std::vector<ExpressionRef> registered(2000);
  for (auto& r : registered) manager.makeVariable(r, 4, nullptr);
  std::vector<std::unique_ptr<VariableExpression>> unregistered;
  for (int i = 0; i < 200; ++i) unregistered.emplace_back(new VariableExpression(4, nullptr));
  std::mt19937 rng(11);
  for (bool colliding : {false, true}) {
    NodeIdentitySet set;
    std::set<Expression*> reference;
    const size_t count = colliding ? unregistered.size() : registered.size();
    auto node = [&](size_t i) -> Expression* { return colliding ? unregistered[i].get() : registered[i].get(); };
    for (int step = 0; step < 20000; ++step) {
      Expression* n = node(rng() % count);
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
      if (step % 101 == 0) {
        for (size_t i = 0; i < count; ++i) ASSERT_EQ(set.contains(node(i)), reference.count(node(i)) != 0);
        size_t seen = 0;
        set.forEach([&](Expression* e) {
          ++seen;
          ASSERT_TRUE(reference.count(e));
        });
        ASSERT_EQ(seen, reference.size());
      }
    }
  }
}
