#include "workbench/SharedObjects.h"

#include <mutex>
#include <utility>
#include <vector>

#include "comm/ClientSocketPPP.h"
#include "comm/CommParams.h"
#include "comm/MailBox.h"
#include "comm/ReceiveView.h"
#include "comm/ThreadSynch.h"
#include "config/AliasList.h"
#include "config/Config.h"
#include "ep2/ElementClipboard.h"
#include "ep2/Ep2ByteStream.h"
#include "ep2/Ep2Security.h"
#include "ep2/MessageTree.h"
#include "ep2/RandomSource.h"
#include "ep2/SecurityDecryption.h"
#include "platform/TcpServer.h"
#include "support/ComponentHelpControl.h"
#include "support/ErrorWindow.h"
#include "support/TraceLogger.h"
#include "workbench/ConfigCommands.h"
#include "workbench/ElementCommands.h"
#include "workbench/FileOpening.h"
#include "workbench/Link.h"
#include "workbench/PosterGate.h"
#include "workbench/ReceiveRoad.h"
#include "workbench/WorkbenchPorts.h"

namespace kal {

namespace {

// Holds shared objects that a late worker thread may still use, until the
// process ends. Never freed on purpose.
void KeepForTheRestOfTheProcess(std::shared_ptr<void> objects) {
  static std::mutex mutex;
  static auto* kept = new std::vector<std::shared_ptr<void>>;
  std::lock_guard lock(mutex);
  kept->push_back(std::move(objects));
}

// The receive threads' calls, run on the GUI thread, go to the link and the
// core while they are there.
class TCEXReceiveView final : public ITHReceiveView {
 public:
  void THShowReceived(const std::string& frame) override {
    if (link != nullptr) link->CEXFrameStored(frame);
  }
  void THSetReceiveTime(const std::string& timeText) override {
    if (core != nullptr) core->CEXSetEdit(TCEXEdit::Edit7, timeText);
  }
  void THSetStatusText(const std::string& text) override {
    if (link != nullptr) link->CEXSetTransientStatus(text);
  }
  void THShowMessage(const std::string& text) override {
    if (core != nullptr) core->CEXShowMessage(text);
  }
  void THStopResponseTimer() override {
    if (link != nullptr) link->CEXStopResponseTimer();
  }
  void THRestartHangUpTimer() override {
    if (link != nullptr) link->CEXRestartHangUpTimer();
  }
  ICEXMainServices* core = nullptr;
  TCEXLink* link = nullptr;
};

}  // namespace

struct TCEXSharedObjects::TShared {
  TShared(IPLTEventPoster& poster, IPLTDialUpService* dialUp, const std::string& programDir,
          ICEXErrorHandOff* handOff)
      : gate(poster),
        trace(std::make_unique<TTDBDebug>()),
        commParams(std::make_unique<TTCPCommParams>(8000, handOff)),
        config(std::make_unique<TCFGConfig>(programDir, TCFGConfig::CFGcBaseFileName,
                                            commParams.get())),
        client(std::make_unique<TCTPClientSocketPPP>(gate, dialUp)),
        server(std::make_unique<TPLTTcpServer>()) {}

  // Destroyed in reverse: server and client first (they join their own
  // threads), the gate last.
  TCEXPosterGate gate;
  TCEXReceiveView view;
  TTERThreadSynch synch;
  TTHXMailBox mailBox;
  std::unique_ptr<TTDBDebug> trace;
  std::unique_ptr<TTCPCommParams> commParams;
  std::unique_ptr<TCFGConfig> config;
  std::unique_ptr<TCTPClientSocketPPP> client;
  std::unique_ptr<TPLTTcpServer> server;
};

TCEXSharedObjects::TCEXSharedObjects(std::string programDir, TPorts ports)
    : CEXsDirName(std::move(programDir)),
      view_(ports.view),
      viewState_(ports.view, ports.timers),
      cursor_(ports.cursor),
      cursorDialogs_(ports.dialogs, cursor_),
      cursorErrorWindow_(ports.errorWindow, cursor_),
      dialogs_(cursorDialogs_),
      errorWindow_(cursorErrorWindow_),
      clock_(ports.clock),
      sequence_(ports.sequence),
      windows_(ports.windows),
      random_(ports.random != nullptr ? *ports.random : SECSystemRandom()) {
  if (CEXsDirName.empty() || CEXsDirName.back() != '/') CEXsDirName += '/';
  shared_ = std::make_shared<TShared>(ports.poster, ports.dialUp, CEXsDirName, this);
  shared_->view.core = this;
  // A late worker thread may hand off after the core is gone: the hook
  // reaches only the gate, which lives as long as the mailbox.
  shared_->mailBox.THXSetOnHandOff([&gate = shared_->gate] { gate.PLTPost([] {}); });
  if (ports.helpControls == nullptr)
    ownHelpControls_ = std::make_unique<THPTComponentHelpControlFactory>();
  help_ = std::make_unique<THPTHelpPort>(
      ports.helpControls != nullptr ? *ports.helpControls : *ownHelpControls_,
      [this](const std::string& text) { dialogs_.CEXShowMessage(text); });
  aliases_ = std::make_unique<TALUAliasList>(CEXsDirName);
  editElement_ = std::make_unique<TUACEditElement>();
  security_ = std::make_unique<TSECep2Security>(4000, random_);
  security_->SECInitRandomgenerator();
  byteStream_ = std::make_unique<TIBSaEp2ByteStream>(1000);
  securityConfig_ = std::make_unique<TCEXSecurityConfiguration>(*shared_->config);
  securityReport_ = std::make_unique<TCEXMemo4Report>(viewState_);
  securityDecryption_ = std::make_unique<TSDCSecurityDecryption>(5000, *securityConfig_, *security_,
                                                                 securityReport_.get());
  sourceTree_ = std::make_unique<TXMLMessageTree>();
  sourceTree_->OnDragDropEnd = [this](TXMLTreeNode* moved, TXMLTreeNode* target, int32_t mode) {
    CEXDragDropEnd(moved, target, mode);
    viewState_.CEXSetHasChanged(true);
  };
  referenceTree_ = std::make_unique<TXMLMessageTree>();
  selection_ = std::make_unique<TCEXSourceSelection>(
      TCEXSourceSelection::TPorts{.view = viewState_,
                                  .errors = *this,
                                  .cursor = cursor_,
                                  .tree = *sourceTree_,
                                  .editElement = *editElement_});
  searches_ = std::make_unique<TCEXSearches>(TCEXSearches::TPorts{.view = ports.search,
                                                                  .dialogs = cursorDialogs_,
                                                                  .cursor = cursor_,
                                                                  .tree = *sourceTree_,
                                                                  .selection = *selection_});
  printouts_ =
      std::make_unique<TCEXPrintouts>(TCEXPrintouts::TPorts{.sourceTree = *sourceTree_,
                                                            .referenceTree = *referenceTree_,
                                                            .view = viewState_,
                                                            .config = CEXConfiguration(),
                                                            .dialogs = cursorDialogs_,
                                                            .printer = ports.printer});

  viewState_.CEXSetStatus(0, "TCP/IP Client not connected");
  viewState_.CEXSetStatus(2, "TCP/IP Server not listening");
  viewState_.CEXSetStatus(3, TCEXConfigCommands::CEXcNoConfigFile);
  viewState_.CEXSetEdit(TCEXEdit::Edit1, "0");
  viewState_.CEXSetEdit(TCEXEdit::Edit3, "0");
  viewState_.CEXSetCaption(TCEXFileOpening::CEXcCaption);
}

TCEXSharedObjects::~TCEXSharedObjects() = default;

IPLTEventPoster& TCEXSharedObjects::CEXPoster() {
  return shared_->gate;
}
TCEXPosterGate& TCEXSharedObjects::CEXGate() {
  return shared_->gate;
}
TPLTTcpServer& TCEXSharedObjects::CEXServer() {
  return *shared_->server;
}
TTERThreadSynch& TCEXSharedObjects::CEXThreadSynch() {
  return shared_->synch;
}
TTHXMailBox& TCEXSharedObjects::CEXMailBox() {
  return shared_->mailBox;
}
TTDBDebug& TCEXSharedObjects::CEXTrace() {
  return *shared_->trace;
}
TCFGConfig& TCEXSharedObjects::CEXConfiguration() {
  return *shared_->config;
}
TTCPCommParams& TCEXSharedObjects::CEXCommParams() {
  return *shared_->commParams;
}
TCTPClientSocketPPP& TCEXSharedObjects::CEXClientSocket() {
  return *shared_->client;
}
ITHReceiveView& TCEXSharedObjects::CEXReceiveView() {
  return shared_->view;
}

void TCEXSharedObjects::CEXBindReceiveView(TCEXLink* link) {
  shared_->view.link = link;
  if (link == nullptr) shared_->view.core = nullptr;
}

void TCEXSharedObjects::CEXTraceAsConfigured() {
  TTDBDebug& trace = *shared_->trace;
  trace.TDBEnableAllID();
  if (shared_->config->CFGGetLogToFile() >= 1) {
    trace.TDBLogToFile(CEXsDirName + "DEBUG.TXT");
    trace.TDBEnableLogToFile(true);
  } else {
    trace.TDBEnableLogToFile(false);
  }
}

bool TCEXSharedObjects::CEXStopThreads() {
  TShared& shared = *shared_;
  // Raise the signal first so that every receive loop starts to end while
  // the link is taken down.
  shared.synch.TERSetTerminate();
  shared.client->Close();
  shared.server->PLTDeactivate();
  return CEXTerminateThreads();
}

void TCEXSharedObjects::CEXCloseSharedBlock(bool allEnded) {
  shared_->gate.CEXClose();
  CEXBindReceiveView(nullptr);
  if (!allEnded) KeepForTheRestOfTheProcess(shared_);
}

bool TCEXSharedObjects::CEXTerminateThreads() {
  TTERThreadSynch& synch = shared_->synch;
  synch.TERSetTerminate();
  const auto deadline = clock_.CEXNow() + CEXcTerminateWait;
  while (!synch.TERAllTerminated() && clock_.CEXNow() < deadline)
    clock_.CEXSleep(CEXcTerminatePoll);
  const bool allEnded = synch.TERAllTerminated();
  // Only the signal is reset; the count still says who runs.
  synch.TERResetTerminate();
  return allEnded;
}

TCEXModalResult TCEXSharedObjects::CEXOpenWindow(TCEXWindow window, bool modal) {
  if (windows_ == nullptr) return TCEXModalResult::None;
  // The window opens under the default cursor.
  cursor_.CEXRestore();
  return windows_->CEXOpenWindow(window, modal);
}

bool TCEXSharedObjects::CEXLogError(int errorId, const std::string& errorText, bool groupValue) {
  if (sequence_ == nullptr || !sequence_->SEQVisible()) return false;
  static_cast<void>(sequence_->SEQLogError(errorId, errorText, groupValue));
  return true;
}

void TCEXSharedObjects::ERRSetErrorMessage(int code, const std::string& text) {
  errorWindow_.ERRSetErrorMessage(code, text);
}

void TCEXSharedObjects::CEXShowMessage(const std::string& text) {
  switch (runNotice_.CEXNotice(text)) {
    case TCEXRunNotice::TResult::Shown:
      CEXTrace().TDBSimpleAddString(text);
      return;
    case TCEXRunNotice::TResult::Repeated:
      return;
    case TCEXRunNotice::TResult::Off:
      break;
  }
  dialogs_.CEXShowMessage(text);
}

}  // namespace kal
