#include "workbench/SequenceRunCore.h"

#include <iterator>

#include "comm/ClientSocketPPP.h"
#include "comm/CommParams.h"
#include "config/AlarmList.h"
#include "config/Config.h"
#include "ep2/TreePrintReader.h"
#include "support/SecureWipe.h"
#include "support/StringGrid.h"
#include "support/StringUnit.h"
#include "workbench/LoadTestThread.h"
#include "workbench/LogItemsList.h"
#include "workbench/MainWindow.h"
#include "workbench/RunStatus.h"
#include "workbench/SequenceFile.h"

namespace kal {

TSEQRunCore::TSEQRunCore(TPorts ports)
    : ports_(std::move(ports)),
      main_(ports_.main),
      writer_(main_.CEXDirName(), ports_.wallClock,
              [this](const std::string& text) { main_.CEXShowMessage(text); }) {}

TSEQRunCore::~TSEQRunCore() {
  if (logItems_) main_.CEXSetLogItemsList(nullptr);
}

// ---- the error hand-off

TSEQErrorTaken TSEQRunCore::SEQLogError(TSEQRunner& runner, int errorId,
                                        const std::string& errorText, bool groupFlag) {
  if (!runner.SEQRunning() || !logItems_) return TSEQErrorTaken::NotRunning;
  // In a load test the error belongs to the thread whose answer is being
  // analysed: the runner stores and counts it there, and the thread's log
  // line is written after its analysis.
  if (runner.SEQMultiThreadRunning()) {
    // An error while a thread's request is built is that thread's: it sends
    // nothing, and the row's collection counts and logs it with the code.
    if (TSCTSequenceClientThread* building = runner.SEQThreadInBuild()) {
      if (building->SCTGetThreadStatus() != SCTcError) building->SCTSetError(errorId, errorText);
      return TSEQErrorTaken::Taken;
    }
    return runner.SEQError(errorText, groupFlag);
  }
  TLSILogStatistics& statistics = logItems_->LUXGetLSILogStatistics();
  // Only the first error of a message is the message's.
  if (!STRTrim(statistics.LSIGetErrorText()).empty()) return TSEQErrorTaken::Taken;
  const TSEQErrorTaken taken = runner.SEQError(errorText, groupFlag);
  if (taken != TSEQErrorTaken::Taken) return taken;
  statistics.LSISetErrorText(errorText);
  statistics.LSISetErrorID(errorId);
  Log();
  statistics_.SSTAcceptStatistics(false, false, 0, true);
  return TSEQErrorTaken::Taken;
}

// ---- loading

bool TSEQRunCore::SEQClientRole() const {
  return main_.CEXCommParams().TCPSendAsClient();
}

void TSEQRunCore::SEQTerminateThreads() {
  static_cast<void>(main_.CEXTerminateThreads());
}

bool TSEQRunCore::SEQLoadMessage(const std::string& path) {
  main_.CEXSetFileName(path);
  return Read(path, false);
}

bool TSEQRunCore::SEQLoadReference(const std::string& path) {
  return Read(path, true);
}

bool TSEQRunCore::Read(const std::string& path, bool referenceTree) {
  int code = 0;
  std::string failure;
  if (ports_.files.CEXReadRunFile(path, referenceTree, code, failure)) return true;
  if (failure.empty()) failure = "Can not read message file " + path;
  // A box would stop an unattended run: the text goes to the run's note,
  // and the run counts and logs it as the message's error.
  main_.CEXShowMessage(failure);
  static_cast<void>(main_.CEXLogError(code, failure, false));
  return false;
}

void TSEQRunCore::SEQLoadConfiguration(const std::string& path) {
  main_.CEXLoadConfiguration(path);
}

void TSEQRunCore::SEQHangUp() {
  main_.CEXRunAction(TCEXAction::HangUp);
}

// ---- the message variant and the line

void TSEQRunCore::SEQSetMessageVariant(TSEQAddMsgNum addMsgNum, bool macOnly) {
  // "Add msgnum": 0 "New", 1 "From Input", 2 "None".
  main_.CEXSetAddMsgNum(addMsgNum == TSEQAddMsgNum::New         ? 0
                        : addMsgNum == TSEQAddMsgNum::FromInput ? 1
                                                                : 2);
  // As a click on "Security header": the MAC-only setting follows.
  main_.RadioGroup1Click(macOnly ? 0 : 1);
  main_.CEXStateChanged(CEXpRadioGroups);
}

void TSEQRunCore::SEQSetAddressAndPort(const std::string& address, const std::string& port) {
  TTCPCommParams& comm = main_.CEXCommParams();
  TCTPClientSocketPPP& client = main_.CEXClientSocket();
  const auto close = [&] {
    if (client.Active()) static_cast<void>(comm.TCPDisConnect(&client, nullptr));
  };
  // The row's port and address hold for the row, whatever the socket last
  // connected to: the settings take them, and a connection to another
  // place is closed, so that the send connects anew.
  int32_t number = 0;
  if (!port.empty() && STRWholeNumber(port, number)) {
    if (number != client.Port()) close();
    comm.TCPSetThisComputerIPPortNr(number);
    comm.TCPSetEthernetIPPortNr(number);
    comm.TCPSetModemIPPortNr(number);
  }
  if (!address.empty()) {
    if (address != client.Address()) close();
    comm.TCPSetEthernetIPAddr(address);
    comm.TCPSetModemIPAddr(address);
  }
  // The connect event sends the row's stream.
  main_.CEXLink().CEXSetClientSocketTag(0);
}

// ---- building and sending

bool TSEQRunCore::SEQCreateXmlDoc() {
  // What Memo1 holds after this is this build's document, or nothing.
  main_.CEXSetMemo(TCEXMemo::Memo1, "");
  main_.CEXRunAction(TCEXAction::CreateXMLDoc);
  return main_.CEXGetMemo(TCEXMemo::Memo1).find('<') != std::string::npos;
}

void TSEQRunCore::SEQDamageXmlText(const TSEQDamage& damage) {
  std::string text = main_.CEXGetMemo(TCEXMemo::Memo1);
  if (text.empty()) return;
  damage(text);
  main_.CEXSetMemo(TCEXMemo::Memo1, text);
  main_.CEXStateChanged(CEXpMemos);
}

bool TSEQRunCore::SEQCreateDataStream() {
  // Likewise the stream: this document's, or none.
  main_.CEXStreamRoad().CEXDropStream();
  main_.CEXRunAction(TCEXAction::CreateDataStream);
  return !main_.CEXStreamRoad().CEXDataStreamBytes().empty();
}

void TSEQRunCore::SEQDamageStream(const TSEQDamage& damage) {
  main_.CEXStreamRoad().CEXChangeStream(damage);
  main_.CEXStateChanged(CEXpMemos);
}

bool TSEQRunCore::SEQSendDataStream() {
  // "Send Data Stream" as the action runs it, with what became of it.
  if (!main_.CEXStepEnabled(TCEXAction::SendDataStream)) return false;
  const bool sent = main_.CEXLink().Action_SendDataStreamExecute();
  main_.AppOnIdle();
  return sent;
}

void TSEQRunCore::SEQTransferInputValues() {
  main_.CEXRunAction(TCEXAction::TransferInputValues);
}

void TSEQRunCore::SEQParseMessage() {
  main_.CEXParseRunMessage();
}

void TSEQRunCore::SEQAnalyseMessage() {
  main_.CEXRunAction(TCEXAction::AnalyseMessage);
}

void TSEQRunCore::SEQDecryptSecurity() {
  main_.CEXRunAction(TCEXAction::DecryptSecurity);
}

void TSEQRunCore::SEQSetCloseOnResponse(bool close) {
  main_.CEXConfiguration().CFGSetCloseOnResponseTemp(close ? 1 : 0);
}

void TSEQRunCore::SEQRecordOffline() {
  ports_.recording.RFLSetMessageReceived("ep2:authrsp");
  std::string key;
  static_cast<void>(main_.CEXBuildRoad().CEXGetSessionKey(key));
  ports_.recording.RFLDoRecording(key);
  SecureWipe(key);
}

// ---- the log

void TSEQRunCore::SEQNewLogItems() {
  auto list = std::make_unique<TLUXLogItemsList>(main_.CEXDirName());
  main_.CEXSetLogItemsList(list.get());
  logItems_ = std::move(list);
  statistics_.SSTReset();
  writer_.SEQStartRun();
}

bool TSEQRunCore::SEQLogHasError() {
  return logItems_ && !STRTrim(logItems_->LUXGetLSILogStatistics().LSIGetErrorText()).empty();
}

void TSEQRunCore::SEQWriteLog(int executionTimeMs) {
  if (!logItems_) return;
  logItems_->LUXGetLSILogStatistics().LSISetExecutionTime(executionTimeMs);
  Log();
}

void TSEQRunCore::SEQResetLogValues() {
  if (logItems_) logItems_->LUXReset();
}

TSEQLogSettings TSEQRunCore::SEQLogSettings() const {
  const TSEQRunSettings& s = ports_.settings;
  TSEQLogSettings settings;
  settings.logging = s.logErrors;
  settings.logType = s.logType;
  if (s.delimitor >= 0 && s.delimitor < int(std::size(SEQcDelimiterItems)))
    settings.delimiterItem = SEQcDelimiterItems[s.delimitor];
  settings.fileName = s.logFileName;
  return settings;
}

void TSEQRunCore::Log() {
  const TSEQLogSettings settings = SEQLogSettings();
  const TXMLTreePrintReader source(main_.CEXSourceTree());
  const TXMLTreePrintReader reference(main_.CEXReferenceTree());
  TSEQLogEntry entry;
  entry.row = ports_.currentRow ? ports_.currentRow() : 0;
  entry.errorCount = ports_.status.SQSErrorCount();
  entry.clientMessage = ports_.grid.Cell(SEQcColClient, entry.row);
  entry.serverMessage = ports_.grid.Cell(SEQcColServer, entry.row);
  entry.sourceTree = &source;
  entry.referenceTree = &reference;
  entry.sendXml = main_.CEXGetMemo(TCEXMemo::Memo1);
  entry.sendStream = main_.CEXGetMemo(TCEXMemo::Memo6);
  entry.receivedStream = main_.CEXGetMemo(TCEXMemo::Memo5);
  entry.receivedXml = main_.CEXGetMemo(TCEXMemo::Memo2);
  entry.headerSecurity = main_.CEXGetMemo(TCEXMemo::Memo4);
  entry.messageContent = main_.CEXGetMemo(TCEXMemo::Memo3);
  static_cast<void>(
      writer_.SEQLog(settings, *logItems_, logItems_->LUXGetLSILogStatistics(), entry));
}

// ---- alarms

TALEAlarmErrorList& TSEQRunCore::SEQErrorAlarms() {
  return main_.CEXConfiguration().CFGGetErrorAlarmList();
}

TALTAlarmExecutionTimeList& TSEQRunCore::SEQTimeAlarms() {
  return main_.CEXConfiguration().CFGGetExecutionTimeAlarmList();
}

int32_t TSEQRunCore::SEQWriteAlarm(const TALMAlarmItem& rule) {
  const TCFGConfig& config = main_.CEXConfiguration();
  std::string message;
  const int32_t rc = rule.ALMWriteToAlarmLog(
      config.CFGResolveFileName(main_.CEXAliasList(), config.CFGGetAlarmLogFileName()), message);
  if (rc != 0) main_.CEXShowMessage(message);
  return rc;
}

}  // namespace kal
