#pragma once

// Counters of a sequence run (or of one load-test thread) and what is known
// about the message in work. Neither has a lock: each thread owns its own.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kal {

// Messages sent and received, errors, and the smallest, largest and average
// response time. The average is the truncated mean of the timed receipts
// (a response time above 0), kept as a 64-bit sum and count, so a receipt
// without a time changes no time figure.
class TSSTStatistics final {
 public:
  static constexpr int SSTcNoMinimum = 9999999;

  void SSTReset() { *this = TSSTStatistics(); }
  // Counts a send, a receipt (with its response time in ms) and an error.
  void SSTAcceptStatistics(bool sent, bool received, int responseTimeMs, bool error);
  // Adds another's counts, sums and extremes (the total of a load test).
  void SSTAddStatistics(const TSSTStatistics& other);

  int SSTGetMessagesSend() const { return SSTiMessagesSend; }
  int SSTGetMessagesReceived() const { return SSTiMessagesReceived; }
  int SSTGetErrors() const { return SSTiErrors; }
  int SSTGetMinResponseTime() const { return SSTiMinResponseTime; }
  int SSTGetMaxResponseTime() const { return SSTiMaxResponseTime; }
  int SSTGetAverageResponseTime() const;
  int64_t SSTGetTimedReceipts() const { return timedCount_; }
  int64_t SSTGetTimedSum() const { return timedSum_; }

 private:
  int SSTiMessagesSend = 0;
  int SSTiMessagesReceived = 0;
  int SSTiErrors = 0;
  int SSTiMinResponseTime = SSTcNoMinimum;
  int SSTiMaxResponseTime = 0;
  int64_t timedSum_ = 0;    // ms over the timed receipts
  int64_t timedCount_ = 0;  // receipts with a response time
};

// The high-resolution counter: ticks and ticks per second.
struct TLSICounter {
  std::function<int64_t()> now;
  int64_t frequency = 0;
  // steady_clock in nanoseconds.
  static TLSICounter Steady();
};

// One message: its response time, its first error and the counter stamps of
// its send.
class TLSILogStatistics final {
 public:
  explicit TLSILogStatistics(TLSICounter counter = TLSICounter::Steady());

  void LSIReset();
  int LSIGetExecutionTime() const { return LSIiExecutionTime; }
  void LSISetExecutionTime(int ms) { LSIiExecutionTime = ms; }
  const std::string& LSIGetErrorText() const { return LSIsErrorText; }
  // Kept only while the stored text is blank: the first error stays. Every
  // character that is not a letter or digit becomes a blank.
  void LSISetErrorText(std::string_view text);
  int LSIGetErrorID() const { return LSIiErrorID; }
  void LSISetErrorID(int code) { LSIiErrorID = code; }
  bool LSIError() const { return LSIiErrorID > 0; }
  double LSIGetSendTime() const { return LSIaSendTime; }
  void LSISetSendTime(double when) { LSIaSendTime = when; }

  // Counter stamps: the base (the work for the message began), the start of
  // sending, the connection, the written message.
  void LSISetSendPerformanceBase() { LSIlSendPerformanceBase = counter_.now(); }
  // A base shared by several messages (the threads of a load-test row).
  void LSISetSendPerformanceBase(int64_t stamp) { LSIlSendPerformanceBase = stamp; }
  void LSISetSendPerformanceCounter() { LSIlSendPerformanceCounter = counter_.now(); }
  void LSISetConnectedCounter() { LSIlConnectedCounter = counter_.now(); }
  void LSISetSendedCounter() { LSIlSendedCounter = counter_.now(); }
  // Milliseconds from the base to each stamp; 0 when negative.
  int64_t LSIComputeSendCounter() const { return Since(LSIlSendPerformanceCounter); }
  int64_t LSIComputeConnectedCounter() const { return Since(LSIlConnectedCounter); }
  int64_t LSIComputeSendedCounter() const { return Since(LSIlSendedCounter); }

 private:
  int64_t Since(int64_t stamp) const;

  TLSICounter counter_;
  int LSIiExecutionTime = 0;
  std::string LSIsErrorText;
  int LSIiErrorID = 0;
  double LSIaSendTime = 0;
  int64_t LSIlSendPerformanceBase = 0;
  int64_t LSIlSendPerformanceCounter = 0;
  int64_t LSIlConnectedCounter = 0;
  int64_t LSIlSendedCounter = 0;
};

}  // namespace kal
