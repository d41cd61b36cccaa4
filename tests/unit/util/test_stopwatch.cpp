// Wall-clock time and the stopwatch.
#include <gtest/gtest.h>

#include <thread>

#include "util/stopwatch.h"

using varnok::Stopwatch;
using varnok::TimeSpec;

TEST(Stopwatch, NormalisationBorrowsAndCarries) {
  EXPECT_EQ(varnok::timeFromMicroseconds(5, 1500000), TimeSpec(6, 500000000));
  EXPECT_EQ(varnok::timeFromMicroseconds(5, -1), TimeSpec(4, 999999000));
  EXPECT_EQ(varnok::timeFromMicroseconds(5, -2500000), TimeSpec(2, 500000000));
  EXPECT_EQ(varnok::timeFromMicroseconds(0, 999999), TimeSpec(0, 999999000));
  EXPECT_EQ(TimeSpec(6, 100000000) - TimeSpec(5, 900000000), TimeSpec(0, 200000000));
  EXPECT_EQ(TimeSpec(0, 900000000) + TimeSpec(0, 300000000), TimeSpec(1, 200000000));
  // A negative duration keeps its nanoseconds in range.
  EXPECT_EQ(TimeSpec(5, 0) - TimeSpec(6, 1), TimeSpec(-2, 999999999));
  TimeSpec t(1, -3000000001LL);
  t.normalize();
  EXPECT_EQ(t, TimeSpec(-3, 999999999));
  EXPECT_DOUBLE_EQ(varnok::toSeconds(TimeSpec(2, 500000000)), 2.5);
  const TimeSpec a = varnok::getCurrentTime(), b = varnok::getCurrentTime();
  EXPECT_GE(a.nanoseconds, 0);
  EXPECT_LT(a.nanoseconds, 1000000000);
  EXPECT_GE(varnok::toSeconds(b - a), 0.0);
  EXPECT_GT(a.seconds, 1500000000);  // after 2017
}

TEST(Stopwatch, AccumulatesRunsAndResets) {
  const auto sleep = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  Stopwatch watch("array check");
  watch.stop();  // without a start: adds nothing
  EXPECT_EQ(watch.elapsed(), TimeSpec());
  EXPECT_FALSE(watch.isRunning());
  watch.start();
  sleep(20);
  watch.stop();
  const TimeSpec first = watch.elapsed();
  EXPECT_GE(varnok::toSeconds(first), 0.015);
  sleep(5);  // stopped: elapsed does not change
  EXPECT_EQ(watch.elapsed(), first);
  watch.start();
  sleep(20);
  EXPECT_GE(varnok::toSeconds(watch.elapsed()), varnok::toSeconds(first) + 0.015);
  watch.stop();
  EXPECT_EQ(watch.getStartCount(), 2u);
  EXPECT_EQ(watch.getName(), "array check");
  watch.reset();
  EXPECT_EQ(watch.elapsed(), TimeSpec());
  // A running stopwatch restarts its run.
  watch.start();
  sleep(30);
  watch.reset();
  EXPECT_LT(varnok::toSeconds(watch.elapsed()), 0.025);
  EXPECT_TRUE(watch.isRunning());
}
