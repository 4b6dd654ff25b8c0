#pragma once

// A load test on the main window's core: the sequence runner with its
// thread list and hand-offs over a real core on the pumped queue, the
// shipped request as every thread's message, and a delimited log. The host
// plays the sequence window: errors the analysis reports go to the run.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "config/AlarmList.h"
#include "config/Config.h"
#include "support/MemoryUtilities.h"
#include "support/StringGrid.h"
#include "workbench/CoreHost.h"
#include "workbench/CoreRunSteps.h"
#include "workbench/LoadTestCore.h"
#include "workbench/LoadTestList.h"
#include "workbench/MessageFiles.h"
#include "workbench/RunStatus.h"
#include "workbench/SequenceFile.h"
#include "workbench/SequenceLog.h"
#include "workbench/SequenceRunner.h"

namespace kal::test {

class LoadHost : public CoreHost {
 public:
  bool SEQVisible() const override { return runner != nullptr; }
  TSEQErrorTaken SEQLogError(int, const std::string& text, bool group) override {
    analysisErrors.push_back(text);
    return runner != nullptr ? runner->SEQError(text, group) : TSEQErrorTaken::NotRunning;
  }
  void CEXChanged(uint32_t parts) override {
    if ((parts & CEXpMemos) == 0) return;
    ++memoNotices;
    if (onMemos) onMemos();
  }
  TSEQRunner* runner = nullptr;
  std::vector<std::string> analysisErrors;
  int memoNotices = 0;            // the form was told of memo changes
  std::function<void()> onMemos;  // reads what the form would show
};

struct LoadRow {
  std::string threads, attrib, address, port, delay;
  std::string client = "AuthorisationRequest.epm";
  std::string server = "AuthorisationRequestReference.epm";
};

// A row of the shipped request with its thread count and attributes.
inline LoadRow Threads(std::string threads, std::string attrib = "") {
  LoadRow row;
  row.threads = std::move(threads);
  row.attrib = std::move(attrib);
  return row;
}

class LoadTestFixture : public CoreOnQueueFixture<LoadHost> {
 protected:
  // The core as a client of 127.0.0.1:`port`, the shipped files in the
  // program folder, a delimited log of every message ("log.csv").
  void StartLoad(int port, int responseTimeoutMs, int threadDelayMs = 0,
                 ICEXRecordingList* recording = nullptr, ICEXCounterLists* counters = nullptr) {
    for (const char* name : {"AuthorisationRequest.epm", "AuthorisationRequestReference.epm",
                             "AuthorisationResponse.epm", "AuthorisationResponseReference.epm"})
      WriteFile(dir_.file(name), ReadFile(SourceDir() + "/share/" + name));
    WriteFile(dir_.file("delimlogfile.ini"),
              "Exec;$EXECTIME;8\r\nError;$ERROR;40\r\nTerminal;ep2:TrmID;10\r\n");
    std::string ini = ReadFile(SourceDir() + "/share/config.ini");
    ini = TcpClientIni(std::to_string(port)) +
          "[Timeout]\r\nServerResponseTimeout=" + std::to_string(responseTimeoutMs) +
          "\r\n[Sequence]\r\nThreadDelay=" + std::to_string(threadDelayMs) + "\r\n" +
          ini.substr(ini.find("[Component]"));
    MakeCore(ini, {.messageFiles = &messageFiles_, .recording = recording, .counters = counters});
    messageFiles_.CEXAttach(*core_);
    ShowCore();
    list_ = std::make_unique<TSCLClientThreadList>(TSCLClientThreadList::TPorts{
        queue_, core_->CEXThreadSynch(), [] { return UMEGetMemoryAvailable(); }, 7});
    logSettings_ = {TSEQLogWriter::SEQcLogAll, TSEQLogWriter::SEQcTypeDelimited, ";", "log.csv"};
    load_ = std::make_unique<TSEQLoadCore>(TSEQLoadCore::TPorts{
        *core_, core_->CEXBuildRoad(), core_->CEXStreamRoad(), core_->CEXReceiveRoad(),
        recording != nullptr ? *recording : noRecording_, log_, [this] { return logSettings_; }});
    steps_ = std::make_unique<CoreRunSteps>(*core_, messageFiles_);
    runner_ = std::make_unique<TSEQRunner>(
        TSEQRunner::TPorts{*steps_, grid_, settings_, status_, core_->CEXRunNotice(), clock_,
                           random_, timers_, list_.get(), load_.get()});
    host_.runner = runner_.get();
  }
  void Rows(const std::vector<LoadRow>& rows) {
    for (size_t i = 0; i < rows.size(); ++i) {
      const int r = int(i) + 1;
      if (grid_.RowCount() <= r + 1) grid_.SetRowCount(r + 2);
      grid_.SetCell(SEQcColClient, r, rows[i].client.empty() ? "" : dir_.file(rows[i].client));
      grid_.SetCell(SEQcColServer, r, rows[i].server.empty() ? "" : dir_.file(rows[i].server));
      grid_.SetCell(SEQcColThreads, r, rows[i].threads);
      grid_.SetCell(SEQcColDelay, r, rows[i].delay);
      grid_.SetCell(SEQcColAddress, r, rows[i].address);
      grid_.SetCell(SEQcColPort, r, rows[i].port);
      grid_.SetCell(SEQcColAttrib, r, rows[i].attrib);
    }
  }
  // Runs the table to its end; false when it hangs.
  bool Run(std::chrono::milliseconds limit = std::chrono::seconds(120)) {
    runner_->SEQRunSequence(1, true);
    return Pump([this] { return !runner_->SEQRunning(); }, limit);
  }
  // The log's records (title lines left out), read by python3's csv module
  // from every log file in order; fields joined by "|".
  std::vector<std::string> LogRecords() {
    return SplitLines(
        RunPython("import csv,glob\n"
                  "files = sorted(glob.glob('" +
                      dir_.file("log.*.csv") +
                      "'),\n"
                      "               key=lambda f: int(f.rsplit('.', 2)[1]))\n"
                      "for f in files:\n"
                      "    for r in list(csv.reader(open(f, newline=''), delimiter=';'))[1:]:\n"
                      "        print('|'.join(x.strip() for x in r))\n",
                  ""));
  }
  void TearDown() override {
    host_.runner = nullptr;
    runner_.reset();
    list_.reset();
    CoreOnQueueFixture<LoadHost>::TearDown();
  }

  TCEXMessageFiles messageFiles_{host_};
  TCEXNoRecordingList noRecording_;
  TStringGrid grid_{SEQcColCount, SEQcMinRows, 1, 1};
  TSEQRunSettings settings_;
  TSQSRunStatus status_;
  TSEQLogSettings logSettings_;
  TSEQLogWriter log_{dir_.path(), {}, [](const std::string& text) { ADD_FAILURE() << text; }};
  std::unique_ptr<TSCLClientThreadList> list_;
  std::unique_ptr<TSEQLoadCore> load_;
  std::unique_ptr<CoreRunSteps> steps_;
  std::unique_ptr<TSEQRunner> runner_;
};

}  // namespace kal::test
