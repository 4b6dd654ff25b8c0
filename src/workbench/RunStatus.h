#pragma once

// The state of a sequence run as the status window "Sequence Run" shows it:
// the current action, the run number, the counts, the response times and a
// note line. The window holds no run state of its own; it renders this
// model when told that it changed.
//
// Threads: the GUI thread only.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kal {

class TSSTStatistics;

class TSQSRunStatus final {
 public:
  using TNow = std::function<std::chrono::steady_clock::time_point()>;
  static constexpr const char* SQScStoppedByUser = "Sequence completed, stopped by user";

  explicit TSQSRunStatus(TNow now = {});

  // The window is shown: every field back to its start, "Stop" enabled.
  void SQSReset();
  // A message was sent: the send time is noted.
  void SQSMessageSend(const std::string& text);
  // The message last counted as sent never went out (its build failed, or
  // the link refused it): the count is taken back.
  void SQSMessageNotSent();
  // A message arrived: after a send, its response time counts.
  void SQSMessageReceived(const std::string& fileName);
  int SQSGetExecutionTime() const { return SQSiExecutionTime; }
  void SQSWaitingDelay(int seconds);
  void SQSErrorFound();
  int SQSErrorCount() const { return errors_; }
  // The run ended: "Close" enabled (for good), "Stop" disabled.
  void SQSCompleted(const std::string& text);
  // A load test's totals.
  void SQSAcceptStatistics(const TSSTStatistics& statistics);
  void SQSAcceptRuncount(int n);
  void SQSSetNote(const std::string& note);
  // "Stop": the run is told and the window completes.
  void SQSStopPressed();

  // The texts of the fields.
  std::string SQSRunNumber() const { return std::to_string(runNumber_); }
  const std::string& SQSCurrentAction() const { return action_; }
  std::string SQSMessagesSend() const { return std::to_string(sent_); }
  std::string SQSMessagesReceived() const { return std::to_string(received_); }
  std::string SQSErrorsFound() const { return std::to_string(errors_); }
  std::string SQSMinTime() const { return Text(min_); }
  std::string SQSMaxTime() const { return Text(max_); }
  std::string SQSAverageTime() const;
  const std::string& SQSNote() const { return note_; }
  bool SQSStopEnabled() const { return stopEnabled_; }
  bool SQSCloseEnabled() const { return closeEnabled_; }

  // Called by "Stop" (the sequence window stops its run).
  std::function<void()> OnStop;
  // Called after every change.
  std::function<void()> OnChanged;

 private:
  static std::string Text(const std::optional<int64_t>& value) {
    return value ? std::to_string(*value) : std::string();
  }
  void Changed() {
    if (OnChanged) OnChanged();
  }

  TNow now_;
  std::optional<std::chrono::steady_clock::time_point> sendTime_;
  int SQSiExecutionTime = 0;
  int runNumber_ = 1;
  std::string action_;
  int64_t sent_ = 0, received_ = 0;
  int errors_ = 0;
  std::optional<int64_t> min_, max_;
  int64_t timedSum_ = 0, timedCount_ = 0;
  std::string note_;
  bool stopEnabled_ = true;
  bool closeEnabled_ = false;
};

}  // namespace kal
