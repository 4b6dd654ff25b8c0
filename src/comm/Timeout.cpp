#include "comm/Timeout.h"

#include <algorithm>

namespace kal {

int TIMMillisecondsUntil(std::chrono::steady_clock::time_point deadline) {
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
          .count();
  return left <= 0 ? 0 : static_cast<int>(std::min<int64_t>(left, 0x7fffffff));
}

void TTIMTimeout::TIMSetTimer(int32_t milliseconds) {
  TIMaTimeOut = Clock::now() + std::chrono::milliseconds(milliseconds);
  TIMbIsValid = true;
}

bool TTIMTimeout::TIMTimeout() const {
  return !TIMbIsValid || Clock::now() >= TIMaTimeOut;
}

}  // namespace kal
