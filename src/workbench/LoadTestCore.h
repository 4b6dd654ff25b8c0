#pragma once

// The load test's hand-offs over the main window's roads: each thread's
// request from the stream road, each thread's response to the receive
// road, the build road's identity, the recording list's state, the log
// columns the roads feed, and the sequence log.
//
// Threads: the GUI thread only.

#include <functional>
#include <memory>
#include <string>

#include "workbench/LoadTestList.h"

namespace kal {

class ICEXMainServices;
class ICEXRecordingList;
class TCEXBuildRoad;
class TCEXReceiveRoad;
class TCEXStreamRoad;
class TSEQLogWriter;
struct TSEQLogSettings;

class TSEQLoadCore final : public ISEQLoadCore {
 public:
  // None is owned; every reference must outlive this object. `settings`
  // gives the sequence window's log settings at the time of each entry.
  struct TPorts {
    ICEXMainServices& main;
    TCEXBuildRoad& build;
    TCEXStreamRoad& stream;
    TCEXReceiveRoad& receive;
    ICEXRecordingList& recording;
    TSEQLogWriter& log;
    std::function<TSEQLogSettings()> settings;
  };
  explicit TSEQLoadCore(TPorts ports) : ports_(std::move(ports)) {}

  int SEQCreateDataStream(ICEXDataStreamTaker& taker) override;
  void SEQReceiveFrame(std::string frame) override;
  TSCTIdentity SEQGetIdentity() override;
  // Each non-empty part replaces the build's.
  void SEQSetIdentity(const TSCTIdentity& identity) override;
  std::string SEQBuiltXml() override;
  std::string SEQReceivedXml() override;
  bool SEQLogsXmlTexts() override;
  TRFLRecordingState SEQCopyRecording() override;
  void SEQPutRecording(const TRFLRecordingState& state) override;
  std::unique_ptr<TLUXLogItemsList> SEQNewThreadLog() override;
  void SEQSetLogColumns(TLUXLogItemsList* columns) override;
  void SEQWriteThreadLog(const TSCTSequenceClientThread& thread, int row, int errorCount) override;
  void SEQLogSummary(const TSQSRunStatus& status) override;
  void SEQHoldPanes(bool hold) override;
  void SEQPacePanes(bool paced) override;
  int SEQThreadDelay() override;
  int SEQResponseTimeout() override;
  void SEQConfiguredAddressPort(std::string& host, int& port) override;

 private:
  TPorts ports_;
};

}  // namespace kal
