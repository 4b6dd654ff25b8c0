#include "workbench/Roads.h"

#include "ep2/MessageTree.h"
#include "workbench/SharedObjects.h"

namespace kal {

TCEXRoads::TCEXRoads(TPorts ports)
    : view_(ports.view),
      sourceTree_(ports.shared.CEXSourceTree()),
      sessionKey_(TCEXSessionKey::TPorts{.config = ports.shared.CEXConfiguration(),
                                         .decryption = ports.shared.CEXSecurityDecryption(),
                                         .changed = [this] {
                                           if (receive_) receive_->CEXSessionKeyChanged();
                                         }}) {
  TCEXSharedObjects& shared = ports.shared;
  build_ = std::make_unique<TCEXBuildRoad>(TCEXBuildRoad::TPorts{.main = shared,
                                                                 .counters = ports.counters,
                                                                 .messageFiles = ports.messageFiles,
                                                                 .errorWindow = ports.errorWindow,
                                                                 .recording = ports.recording,
                                                                 .sessionKey = sessionKey_,
                                                                 .plugIn = ports.plugIn});
  receive_ = std::make_unique<TCEXReceiveRoad>(
      TCEXReceiveRoad::TPorts{.view = ports.view,
                              .errors = shared,
                              .errorWindow = ports.errorWindow,
                              .keys = *build_,
                              .recording = ports.recording,
                              .sequence = ports.sequence,
                              .config = shared.CEXConfiguration(),
                              .comm = shared.CEXCommParams(),
                              .byteStream = shared.CEXByteStream(),
                              .security = shared.CEXSecurity(),
                              .decryption = shared.CEXSecurityDecryption(),
                              .referenceTree = shared.CEXReferenceTree(),
                              .aliases = shared.CEXAliasList(),
                              .plugIn = ports.plugIn});
  stream_ = std::make_unique<TCEXStreamRoad>(
      TCEXStreamRoad::TPorts{.view = ports.view,
                             .errors = shared,
                             .errorWindow = ports.errorWindow,
                             .inputs = *build_,
                             .sessionKey = sessionKey_,
                             .recording = ports.recording,
                             .config = shared.CEXConfiguration(),
                             .security = shared.CEXSecurity(),
                             .byteStream = shared.CEXByteStream()});
  link_ = std::make_unique<TCEXLink>(TCEXLink::TPorts{.view = ports.view,
                                                      .errors = shared,
                                                      .errorWindow = ports.errorWindow,
                                                      .dialogs = ports.dialogs,
                                                      .clock = ports.clock,
                                                      .timers = ports.timers,
                                                      .cursor = ports.cursor,
                                                      .sequence = ports.sequence,
                                                      .received = *receive_,
                                                      .outgoing = *stream_,
                                                      .trace = shared.CEXTrace(),
                                                      .config = shared.CEXConfiguration(),
                                                      .comm = shared.CEXCommParams(),
                                                      .client = shared.CEXClientSocket(),
                                                      .server = shared.CEXServer(),
                                                      .synch = shared.CEXThreadSynch(),
                                                      .mailBox = shared.CEXMailBox(),
                                                      .poster = shared.CEXPoster(),
                                                      .receiveView = ports.receiveView,
                                                      .idlePass = std::move(ports.idlePass)});
}

TCEXRoads::~TCEXRoads() = default;

bool TCEXRoads::Action_CreateXMLDocExecute() {
  if (sourceTree_.GetFirstNode() == nullptr) return false;
  build_->Action_CreateXMLDocExecute();
  // A failed build leaves Memo1 empty.
  if (view_.CEXMemo(TCEXMemo::Memo1).find('<') != std::string::npos) return true;
  stream_->CEXDropStream();
  return false;
}

void TCEXRoads::Action_CreateAndSendExecute() {
  if (!Action_CreateXMLDocExecute()) return;
  if (stream_->CEXCreateDataStream(nullptr) != 0) return;
  link_->Action_SendDataStreamExecute();
}

void TCEXRoads::Action_TransferAndSendExecute() {
  if (sourceTree_.GetFirstNode() == nullptr) return;
  build_->Action_TransferInputValuesExecute();
  Action_CreateAndSendExecute();
}

bool TCEXRoads::CEXStepEnabled(TCEXAction action) const {
  switch (action) {
    case TCEXAction::ParseMessage:
    case TCEXAction::ParseAndAnalyse:
      return link_->CEXParseMessageEnabled();
    case TCEXAction::AnalyseMessage:
      return receive_->CEXAnalyseEnabled();
    case TCEXAction::DecryptSecurity:
      return receive_->CEXDecryptEnabled();
    default:
      return true;
  }
}

bool TCEXRoads::CEXSetRoadMemo(TCEXMemo memo, const std::string& text) {
  // Memo5 is the received frame's view: the receive road takes its text.
  if (memo == TCEXMemo::Memo5) receive_->CEXSetReceivedText(text);
  // The stream view was edited: its text is the stream from now on.
  else if (memo == TCEXMemo::Memo6)
    stream_->CEXSetStreamText(text);
  else
    return false;
  return true;
}

void TCEXRoads::CEXClearStreams() {
  receive_->CEXSetReceivedText("");
  stream_->CEXSetStreamText("");
}

void TCEXRoads::CEXSetLogItemsList(ICEXLogColumns* list) {
  build_->CEXSetLogItemsList(list);
  receive_->CEXSetLogItemsList(list);
}

}  // namespace kal
