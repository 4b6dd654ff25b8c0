#include "workbench/RunStatus.h"

#include "workbench/RunStatistics.h"

namespace kal {

namespace {

std::string WithoutDirectory(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

TSQSRunStatus::TSQSRunStatus(TNow now) : now_(std::move(now)) {
  if (!now_) now_ = [] { return std::chrono::steady_clock::now(); };
}

void TSQSRunStatus::SQSReset() {
  sendTime_.reset();
  SQSiExecutionTime = 0;
  runNumber_ = 1;
  action_.clear();
  sent_ = received_ = 0;
  errors_ = 0;
  min_.reset();
  max_.reset();
  timedSum_ = timedCount_ = 0;
  note_.clear();
  stopEnabled_ = true;
  Changed();
}

void TSQSRunStatus::SQSMessageSend(const std::string& text) {
  sendTime_ = now_();
  action_ = "Send: " + WithoutDirectory(text);
  ++sent_;
  Changed();
}

void TSQSRunStatus::SQSMessageNotSent() {
  if (sent_ > 0) --sent_;
  Changed();
}

void TSQSRunStatus::SQSMessageReceived(const std::string& fileName) {
  const auto received = now_();
  if (sendTime_) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(received - *sendTime_).count();
    SQSiExecutionTime = static_cast<int>(ms < 0 ? 0 : ms);
    const int64_t time = SQSiExecutionTime;
    if (!min_ || *min_ > time) min_ = time;
    if (!max_ || *max_ < time) max_ = time;
    timedSum_ += time;
    ++timedCount_;
  }
  action_ = "Received: " + WithoutDirectory(fileName);
  ++received_;
  Changed();
}

std::string TSQSRunStatus::SQSAverageTime() const {
  return timedCount_ > 0 ? std::to_string(timedSum_ / timedCount_) : std::string();
}

void TSQSRunStatus::SQSWaitingDelay(int seconds) {
  action_ = "Delay: " + std::to_string(seconds);
  Changed();
}

void TSQSRunStatus::SQSErrorFound() {
  ++errors_;
  Changed();
}

void TSQSRunStatus::SQSCompleted(const std::string& text) {
  closeEnabled_ = true;
  stopEnabled_ = false;
  action_ = text;
  Changed();
}

void TSQSRunStatus::SQSAcceptStatistics(const TSSTStatistics& statistics) {
  sent_ = statistics.SSTGetMessagesSend();
  received_ = statistics.SSTGetMessagesReceived();
  errors_ = statistics.SSTGetErrors();
  timedCount_ = statistics.SSTGetTimedReceipts();
  timedSum_ = statistics.SSTGetTimedSum();
  if (timedCount_ > 0) {
    min_ = statistics.SSTGetMinResponseTime();
    max_ = statistics.SSTGetMaxResponseTime();
  } else {
    min_.reset();
    max_.reset();
  }
  Changed();
}

void TSQSRunStatus::SQSAcceptRuncount(int n) {
  runNumber_ = n;
  Changed();
}

void TSQSRunStatus::SQSSetNote(const std::string& note) {
  note_ = note;
  Changed();
}

void TSQSRunStatus::SQSStopPressed() {
  if (OnStop) OnStop();
  SQSCompleted(SQScStoppedByUser);
}

}  // namespace kal
