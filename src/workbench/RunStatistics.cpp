#include "workbench/RunStatistics.h"

#include <algorithm>

#include "support/StringUnit.h"

namespace kal {

void TSSTStatistics::SSTAcceptStatistics(bool sent, bool received, int responseTimeMs, bool error) {
  if (sent) ++SSTiMessagesSend;
  if (received) {
    ++SSTiMessagesReceived;
    if (responseTimeMs > 0) {
      SSTiMaxResponseTime = std::max(SSTiMaxResponseTime, responseTimeMs);
      SSTiMinResponseTime = std::min(SSTiMinResponseTime, responseTimeMs);
      timedSum_ += responseTimeMs;
      ++timedCount_;
    }
  }
  if (error) ++SSTiErrors;
}

void TSSTStatistics::SSTAddStatistics(const TSSTStatistics& other) {
  SSTiMaxResponseTime = std::max(SSTiMaxResponseTime, other.SSTiMaxResponseTime);
  SSTiMinResponseTime = std::min(SSTiMinResponseTime, other.SSTiMinResponseTime);
  timedSum_ += other.timedSum_;
  timedCount_ += other.timedCount_;
  SSTiMessagesSend += other.SSTiMessagesSend;
  SSTiMessagesReceived += other.SSTiMessagesReceived;
  SSTiErrors += other.SSTiErrors;
}

int TSSTStatistics::SSTGetAverageResponseTime() const {
  return timedCount_ > 0 ? static_cast<int>(timedSum_ / timedCount_) : 0;
}

TLSICounter TLSICounter::Steady() {
  return {[] {
            return static_cast<int64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                            std::chrono::steady_clock::now().time_since_epoch())
                                            .count());
          },
          1000000000};
}

TLSILogStatistics::TLSILogStatistics(TLSICounter counter) : counter_(std::move(counter)) {}

void TLSILogStatistics::LSIReset() {
  LSIiExecutionTime = 0;
  LSIsErrorText.clear();
  LSIiErrorID = 0;
  LSIaSendTime = 0;
  LSIlSendPerformanceBase = LSIlSendPerformanceCounter = 0;
  LSIlConnectedCounter = LSIlSendedCounter = 0;
}

void TLSILogStatistics::LSISetErrorText(std::string_view text) {
  if (!STRTrim(LSIsErrorText).empty()) return;
  LSIsErrorText = STRRemoveAllNonAlphaNumeric(text);
}

int64_t TLSILogStatistics::Since(int64_t stamp) const {
  if (counter_.frequency <= 0) return 0;
  // Split to keep (stamp - base) * 1000 from overflowing on long counters.
  const int64_t ticks = stamp - LSIlSendPerformanceBase;
  if (ticks <= 0) return 0;
  return ticks / counter_.frequency * 1000 + ticks % counter_.frequency * 1000 / counter_.frequency;
}

}  // namespace kal
