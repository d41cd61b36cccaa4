#pragma once
// Wall-clock time and a stopwatch that accumulates durations.
//
// Time is only measured, never limited: the bounded model checker reports
// the time of each unrolling step and the array consistency check times
// itself.
#include <cstdint>
#include <string>

namespace varnok {

// A point in time or a duration. nanoseconds stays within 0..999,999,999
// after every operation; a negative duration has negative seconds.
struct TimeSpec {
  int64_t seconds = 0;
  int64_t nanoseconds = 0;

  TimeSpec() = default;
  TimeSpec(int64_t seconds, int64_t nanoseconds) : seconds(seconds), nanoseconds(nanoseconds) {}

  // Moves whole seconds out of nanoseconds so that 0 <= nanoseconds < 1e9.
  void normalize();

  TimeSpec operator+(const TimeSpec& other) const;
  TimeSpec operator-(const TimeSpec& other) const;
  bool operator==(const TimeSpec& other) const {
    return seconds == other.seconds && nanoseconds == other.nanoseconds;
  }
};

// A reading of gettimeofday as seconds and microseconds, turned into a
// normalised TimeSpec (exposed for tests of odd readings).
TimeSpec timeFromMicroseconds(int64_t seconds, int64_t microseconds);

// The current wall-clock time. If the clock cannot be read the process ends
// with status 1 after "gettimeofday() failed: <reason>" on standard error.
TimeSpec getCurrentTime();

// A duration in seconds.
inline double toSeconds(const TimeSpec& t) {
  return static_cast<double>(t.seconds) + static_cast<double>(t.nanoseconds) / 1e9;
}

class Stopwatch {
 public:
  Stopwatch() = default;
  explicit Stopwatch(std::string name) : name(std::move(name)) {}

  void start();
  void stop();
  // Accumulated time, including the current run while running; does not
  // change the stopwatch (and does not read the clock when stopped).
  TimeSpec elapsed() const;
  // Forgets the accumulated time; a running stopwatch restarts its run now.
  void reset();

  bool isRunning() const { return running; }
  uint32_t getStartCount() const { return startCount; }
  const std::string& getName() const { return name; }

 private:
  TimeSpec total;
  TimeSpec started;
  bool running = false;
  uint32_t startCount = 0;
  std::string name;
};

}  // namespace varnok
