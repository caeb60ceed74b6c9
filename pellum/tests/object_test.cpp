// Counted objects and counted references, including counting from many
// threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "pellum/mxObject.h"

namespace {

std::atomic<int> liveCount{0};

class Counted : public mxObject {
  MX_OBJECT_DECLARE(Counted, mxObject)
 public:
  Counted() { ++liveCount; }
  ~Counted() override { --liveCount; }
};

class Derived : public Counted {
  MX_OBJECT_DECLARE(Derived, Counted)
};

TEST(mxObject, CountingAndDestroy) {
  liveCount = 0;
  auto* a = new Counted;
  EXPECT_EQ(a->getRef(), 0u);
  EXPECT_EQ(a->unref(), 0u);  // at 0: nothing changes
  EXPECT_EQ(a->getRef(), 0u);
  EXPECT_EQ(a->ref(), 1u);
  EXPECT_EQ(a->ref(), 2u);
  EXPECT_EQ(a->unref(), 1u);
  a->destroy();  // gives up the last reference: count 0, still alive
  EXPECT_EQ(a->getRef(), 0u);
  EXPECT_EQ(liveCount, 1);
  a->destroy();  // nobody holds it: deleted
  EXPECT_EQ(liveCount, 0);
}

TEST(mxObject, TypeQueries) {
  auto* d = new Derived;
  mxObject* base = d;
  const bool holds[] = {d->isDerivedFrom(typeid(Derived)),
                        d->isDerivedFrom(typeid(Counted)),
                        d->isDerivedFrom(typeid(mxObject)),
                        !d->isDerivedFrom(typeid(int)),
                        d->isExactType(typeid(Derived)),
                        !d->isExactType(typeid(Counted)),
                        d->getClassType() == Derived::getStaticClassType(),
                        base->getClassType() == typeid(Derived),
                        std::strcmp(d->getClassName(), Derived::getStaticClassName()) == 0,
                        std::strcmp(Counted::getStaticClassName(), Derived::getStaticClassName()) != 0};
  for (size_t i = 0; i < std::size(holds); ++i) EXPECT_TRUE(holds[i]) << "query " << i;
  d->destroy();
}

TEST(mxObjectPtr, OwnershipRules) {
  liveCount = 0;
  {
    mxObjectPtr<Counted> p(new Counted);
    EXPECT_EQ(p->getRef(), 1u);
    mxObjectPtr<Counted> q = p;
    EXPECT_EQ(p->getRef(), 2u);
    q = p.get();  // the same pointer: no change
    EXPECT_EQ(p->getRef(), 2u);
    q = p;
    EXPECT_EQ(p->getRef(), 2u);
    q = nullptr;
    EXPECT_EQ(p->getRef(), 1u);
    EXPECT_TRUE(!q);
    EXPECT_EQ(liveCount, 1);
    mxObjectPtr<mxObject> base = p;  // a reference through the base class
    EXPECT_EQ(p->getRef(), 2u);
  }
  EXPECT_EQ(liveCount, 0);

  // Re-seating a pointer to an object that is only owned through the old one
  // must not free it on the way.
  mxObjectPtr<Counted> p(new Counted);
  mxObjectPtr<Counted> other(new Counted);
  p = other;
  EXPECT_EQ(liveCount, 1);
  EXPECT_EQ(other->getRef(), 2u);
}

TEST(mxObjectPtr, CountingAcrossThreads) {
  liveCount = 0;
  mxObjectPtr<Counted> shared(new Counted);
  constexpr int kThreads = 8, kRounds = 20000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        mxObjectPtr<Counted> local = shared;
        mxObjectPtr<Counted> second(local);
        second = nullptr;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(shared->getRef(), 1u);
  EXPECT_EQ(liveCount, 1);

  // Many owners released from many threads: freed exactly once, at the end.
  std::vector<mxObjectPtr<Counted>> owners(kThreads, shared);
  shared = nullptr;
  threads.clear();
  for (int t = 0; t < kThreads; ++t) threads.emplace_back([&, t] { owners[t] = nullptr; });
  for (auto& t : threads) t.join();
  EXPECT_EQ(liveCount, 0);
}

}  // namespace
