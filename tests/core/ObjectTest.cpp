#include <gtest/gtest.h>

#include "core/Callback.h"
#include "core/Exception.h"
#include "core/Log.h"
#include "core/Object.h"
#include "core/Singleton.h"
#include "math/Vec2.h"

using namespace peckish;

namespace {
struct Tracked : Object {
  explicit Tracked(int* deaths) : deaths_(deaths) {}
  ~Tracked() override { ++*deaths_; }
  int* deaths_;
};

TEST(Ref, OwnershipLifetimeAndReset) {
  int deaths = 0;
  {
    Ref<Tracked> a = make<Tracked>(&deaths);
    EXPECT_EQ(a->retainCount(), 1);
    Ref<Object> b = a;
    EXPECT_EQ(a->retainCount(), 2);
    a.reset(a.get());  // self-reset keeps the object alive
    EXPECT_EQ(deaths, 0);
    a = nullptr;
    EXPECT_EQ(deaths, 0);
  }
  EXPECT_EQ(deaths, 1);
}

struct Receiver : Object {
  int ticks = 0;
  double last = 0;
  void tick(double dt) { ++ticks; last = dt; }
  void other(double) {}
};

TEST(Callback, CallsAndComparesByReceiverAndMethod) {
  Receiver r1, r2;
  Callback<void(double)> a(&r1, &Receiver::tick), b(&r1, &Receiver::tick);
  Callback<void(double)> c(&r2, &Receiver::tick), d(&r1, &Receiver::other);
  a(0.25);
  EXPECT_EQ(r1.ticks, 1);
  EXPECT_DOUBLE_EQ(r1.last, 0.25);
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a == c);
  EXPECT_FALSE(a == d);
  EXPECT_EQ(a.object(), &r1);
  EXPECT_FALSE(Callback<void(double)>());
}

struct Recorded : Object, Singleton<Recorded> {
  Recorded() { seenDuringInit = shared(); }
  Recorded* seenDuringInit = nullptr;
};

TEST(Singleton, InstanceRecordedBeforeConstructorBody) {
  Recorded* r = Recorded::shared();
  EXPECT_EQ(r->seenDuringInit, r);
  EXPECT_EQ(Recorded::shared(), r);
  Recorded::purgeShared();
  EXPECT_FALSE(Recorded::exists());
}

TEST(Exception, CarriesNameAndReason) {
  try {
    raise("SelectorNotScheduled", "Selector not scheduled");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.name(), "SelectorNotScheduled");
    EXPECT_EQ(e.reason(), "Selector not scheduled");
  }
}

TEST(Log, CaptureSeesExactLines) {
  LogCapture cap;
  engineLog("deallocing %s", "<Node = 0x1>");
  EXPECT_TRUE(cap.contains("deallocing <Node = 0x1>"));
  EXPECT_EQ(cap.lines().size(), 1u);
}

TEST(Vec2, NormalizeInSinglePrecision) {
  Vec2 n = vnormalize(Vec2(3, 4));
  EXPECT_FLOAT_EQ(n.x, 0.6f);
  EXPECT_FLOAT_EQ(n.y, 0.8f);
  EXPECT_EQ(vzero, Vec2(0, 0));
}
}  // namespace
