#include "workbench/LoadTestCore.h"

#include "comm/CommParams.h"
#include "config/Config.h"
#include "workbench/BuildRoad.h"
#include "workbench/MainServices.h"
#include "workbench/ReceiveRoad.h"
#include "workbench/RunStatus.h"
#include "workbench/SequenceLog.h"
#include "workbench/StreamRoad.h"

namespace kal {

int TSEQLoadCore::SEQCreateDataStream(ICEXDataStreamTaker& taker) {
  return ports_.stream.CEXCreateDataStream(&taker);
}

void TSEQLoadCore::SEQReceiveFrame(std::string frame) {
  ports_.receive.CEXClearReceived();
  ports_.receive.CEXFrameArrived(std::move(frame));
}

TSCTIdentity TSEQLoadCore::SEQGetIdentity() {
  return {ports_.build.CEXsSenderID, ports_.build.CEXsPublicKeyOwnerID,
          ports_.build.CEXsComponentSecret};
}

void TSEQLoadCore::SEQSetIdentity(const TSCTIdentity& identity) {
  if (!identity.senderID.empty()) ports_.build.CEXsSenderID = identity.senderID;
  if (!identity.ownerID.empty()) ports_.build.CEXsPublicKeyOwnerID = identity.ownerID;
  if (!identity.componentSecret.empty())
    ports_.build.CEXsComponentSecret = identity.componentSecret;
}

std::string TSEQLoadCore::SEQBuiltXml() {
  return ports_.main.CEXGetMemo(TCEXMemo::Memo1);
}

std::string TSEQLoadCore::SEQReceivedXml() {
  return ports_.main.CEXGetMemo(TCEXMemo::Memo2);
}

bool TSEQLoadCore::SEQLogsXmlTexts() {
  return ports_.settings && ports_.settings().logType == TSEQLogWriter::SEQcTypeDebug;
}

TRFLRecordingState TSEQLoadCore::SEQCopyRecording() {
  return ports_.recording.RFLCopyState();
}

void TSEQLoadCore::SEQPutRecording(const TRFLRecordingState& state) {
  ports_.recording.RFLPutState(state);
}

std::unique_ptr<TLUXLogItemsList> TSEQLoadCore::SEQNewThreadLog() {
  return std::make_unique<TLUXLogItemsList>(ports_.main.CEXDirName());
}

void TSEQLoadCore::SEQSetLogColumns(TLUXLogItemsList* columns) {
  ports_.main.CEXSetLogItemsList(columns);
}

void TSEQLoadCore::SEQWriteThreadLog(const TSCTSequenceClientThread& thread, int row,
                                     int errorCount) {
  const TSEQLogSettings settings = ports_.settings ? ports_.settings() : TSEQLogSettings{};
  const TSCTSequenceClientThread& t = thread;
  TSEQLogEntry entry;
  entry.row = row;
  entry.errorCount = errorCount;
  if (settings.logType == TSEQLogWriter::SEQcTypeDebug) {
    entry.sendXml = t.SCTsSendDataXMLDoc;
    entry.sendStream = t.SCTGetHexSendDataStream();
    entry.receivedXml = t.SCTsReceivedResponseXMLDoc;
  }
  static_cast<void>(ports_.log.SEQLog(settings, t.SCTLogItems(), t.SCTLogStatistics(), entry));
}

void TSEQLoadCore::SEQLogSummary(const TSQSRunStatus& status) {
  const TSEQLogSettings settings = ports_.settings ? ports_.settings() : TSEQLogSettings{};
  TLUXLogItemsList columns(ports_.main.CEXDirName());
  TSEQLogFigures figures{status.SQSMessagesSend(), status.SQSMessagesReceived(),
                         status.SQSErrorsFound(),  status.SQSMinTime(),
                         status.SQSMaxTime(),      status.SQSAverageTime(),
                         status.SQSErrorCount()};
  static_cast<void>(ports_.log.SEQLogSummary(settings, columns, figures));
}

void TSEQLoadCore::SEQHoldPanes(bool hold) {
  ports_.main.CEXHoldView(hold);
}

void TSEQLoadCore::SEQPacePanes(bool paced) {
  ports_.main.CEXPaceView(paced);
}

int TSEQLoadCore::SEQThreadDelay() {
  return ports_.main.CEXConfiguration().CFGGetThreadDelay();
}

int TSEQLoadCore::SEQResponseTimeout() {
  return ports_.main.CEXConfiguration().CFGGetServerResponseTimeout();
}

void TSEQLoadCore::SEQConfiguredAddressPort(std::string& host, int& port) {
  int32_t p = 0;
  ports_.main.CEXCommParams().TCPGetAddressPort(host, p);
  port = p;
}

}  // namespace kal
