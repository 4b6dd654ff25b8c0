#pragma once

#include <chrono>
#include <cstdint>

namespace kal {

// A millisecond deadline on the monotonic clock (it runs on across midnight
// and ignores changes of the wall clock). Created unarmed; an unarmed
// deadline counts as passed.
// Milliseconds from now until `deadline` on the monotonic clock, 0 when it
// has passed, capped to the int range (for poll-style waits).
int TIMMillisecondsUntil(std::chrono::steady_clock::time_point deadline);

class TTIMTimeout final {
 public:
  using Clock = std::chrono::steady_clock;

  TTIMTimeout() = default;

  // Arms the deadline `milliseconds` from now (0 or less: passed at once).
  void TIMSetTimer(int32_t milliseconds);
  // True when now is at or past the deadline, or it was never armed.
  bool TIMTimeout() const;

  // The deadline, for waits that end at it (a past time when unarmed).
  Clock::time_point TIMDeadline() const { return TIMbIsValid ? TIMaTimeOut : Clock::time_point{}; }

 private:
  Clock::time_point TIMaTimeOut{};
  bool TIMbIsValid = false;
};

}  // namespace kal
