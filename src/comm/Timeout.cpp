#include "comm/Timeout.h"

namespace kal {

void TTIMTimeout::TIMSetTimer(int32_t milliseconds) {
  TIMaTimeOut = Clock::now() + std::chrono::milliseconds(milliseconds);
  TIMbIsValid = true;
}

bool TTIMTimeout::TIMTimeout() const {
  return !TIMbIsValid || Clock::now() >= TIMaTimeOut;
}

}  // namespace kal
