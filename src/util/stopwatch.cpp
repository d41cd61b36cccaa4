#include "util/stopwatch.h"

#include <sys/time.h>

#include <cstdio>
#include <cstdlib>

namespace varnok {

namespace {
const int64_t NANOS_PER_SECOND = 1000000000;
}

void TimeSpec::normalize() {
  seconds += nanoseconds / NANOS_PER_SECOND;
  nanoseconds %= NANOS_PER_SECOND;
  if (nanoseconds < 0) {
    nanoseconds += NANOS_PER_SECOND;
    seconds -= 1;
  }
}

TimeSpec TimeSpec::operator+(const TimeSpec& other) const {
  TimeSpec result(seconds + other.seconds, nanoseconds + other.nanoseconds);
  result.normalize();
  return result;
}

TimeSpec TimeSpec::operator-(const TimeSpec& other) const {
  TimeSpec result(seconds - other.seconds, nanoseconds - other.nanoseconds);
  result.normalize();
  return result;
}

TimeSpec timeFromMicroseconds(int64_t seconds, int64_t microseconds) {
  TimeSpec result(seconds + microseconds / 1000000, (microseconds % 1000000) * 1000);
  result.normalize();
  return result;
}

TimeSpec getCurrentTime() {
  struct timeval now;
  if (gettimeofday(&now, nullptr) != 0) {
    std::perror("gettimeofday() failed");
    std::exit(1);
  }
  return timeFromMicroseconds(static_cast<int64_t>(now.tv_sec), static_cast<int64_t>(now.tv_usec));
}

void Stopwatch::start() {
  started = getCurrentTime();
  running = true;
  ++startCount;
}

void Stopwatch::stop() {
  // Stopping a stopped stopwatch must not add the time since the epoch.
  if (!running) return;
  total = total + (getCurrentTime() - started);
  running = false;
}

TimeSpec Stopwatch::elapsed() const {
  if (!running) return total;
  return total + (getCurrentTime() - started);
}

void Stopwatch::reset() {
  total = TimeSpec();
  started = running ? getCurrentTime() : TimeSpec();
}

}  // namespace varnok
