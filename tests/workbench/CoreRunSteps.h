#pragma once

// The sequence run's steps on a main window core, for the load-test tests
// and benchmark (the sequence window's own core does more: the single-thread
// steps the load test leaves alone). Free of test libraries.

#include <string>

#include "config/AlarmList.h"
#include "workbench/MainWindow.h"
#include "workbench/MessageFiles.h"
#include "workbench/SequenceRunner.h"

namespace kal::test {

class CoreRunSteps final : public ISEQRunCore {
 public:
  CoreRunSteps(TCEXMainWindow& core, TCEXMessageFiles& files) : core_(core), messageFiles_(files) {}
  bool SEQClientRole() const override { return true; }
  void SEQTerminateThreads() override { core_.CEXTerminateThreads(); }
  // A file that cannot be read is shown through the dialogs port.
  bool SEQLoadMessage(const std::string& path) override {
    return messageFiles_.CEXReadMessageFile(path);
  }
  bool SEQLoadReference(const std::string& path) override {
    return messageFiles_.CEXReadReferenceFile(path);
  }
  void SEQLoadConfiguration(const std::string& path) override { core_.CEXLoadConfiguration(path); }
  void SEQHangUp() override {}
  void SEQSetMessageVariant(TSEQAddMsgNum addMsgNum, bool macOnly) override {
    core_.CEXSetAddMsgNum(addMsgNum == TSEQAddMsgNum::New         ? 0
                          : addMsgNum == TSEQAddMsgNum::FromInput ? 1
                                                                  : 2);
    core_.RadioGroup1Click(macOnly ? 0 : 1);
  }
  void SEQSetAddressAndPort(const std::string&, const std::string&) override {}
  bool SEQCreateXmlDoc() override {
    core_.CEXBuildRoad().Action_CreateXMLDocExecute();
    return !core_.CEXGetMemo(TCEXMemo::Memo1).empty();
  }
  void SEQDamageXmlText(const TSEQDamage& damage) override {
    std::string text = core_.CEXGetMemo(TCEXMemo::Memo1);
    damage(text);
    core_.CEXSetMemo(TCEXMemo::Memo1, text);
  }
  bool SEQCreateDataStream() override { return true; }
  void SEQDamageStream(const TSEQDamage&) override {}
  bool SEQSendDataStream() override { return false; }
  void SEQTransferInputValues() override {
    core_.CEXBuildRoad().Action_TransferInputValuesExecute();
  }
  void SEQParseMessage() override { core_.CEXReceiveRoad().Action_ParseMessageExecute(); }
  void SEQAnalyseMessage() override { core_.CEXReceiveRoad().Action_AnalyseMessageExecute(); }
  void SEQDecryptSecurity() override { core_.CEXReceiveRoad().Action_DecryptSecurityExecute(); }
  void SEQSetCloseOnResponse(bool) override {}
  void SEQRecordOffline() override {}
  void SEQNewLogItems() override {}
  bool SEQLogHasError() override { return false; }
  void SEQWriteLog(int) override {}
  void SEQResetLogValues() override {}
  TALEAlarmErrorList& SEQErrorAlarms() override { return errorAlarms_; }
  TALTAlarmExecutionTimeList& SEQTimeAlarms() override { return timeAlarms_; }
  int32_t SEQWriteAlarm(const TALMAlarmItem&) override { return 0; }

 private:
  TCEXMainWindow& core_;
  TCEXMessageFiles& messageFiles_;
  TALEAlarmErrorList errorAlarms_;
  TALTAlarmExecutionTimeList timeAlarms_;
};

}  // namespace kal::test
