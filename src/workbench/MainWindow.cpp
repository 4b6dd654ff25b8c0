#include "workbench/MainWindow.h"

#include <algorithm>
#include <ctime>
#include <exception>
#include <filesystem>
#include <mutex>
#include <thread>
#include <utility>

#include "comm/ClientSocketPPP.h"
#include "comm/ClientThread.h"
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
#include "platform/AtomicFile.h"
#include "platform/SocketErrors.h"
#include "platform/TcpServer.h"
#include "support/CommandLine.h"
#include "support/ErrorWindow.h"
#include "support/HexUtilities.h"
#include "support/TraceLogger.h"
#include "workbench/ElementCommands.h"
#include "workbench/FilePaths.h"
#include "xml/XMLDOM.h"
#include "xml/XMLParser.h"

namespace kal {

namespace {

constexpr const char* kClassName = "TForm1";
constexpr const char* kClientNotConnected = "TCP/IP Client not connected";

// A name from the command line, taken in the current folder when relative.
std::string Absolute(const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

// Holds shared objects that a late worker thread may still use, until the
// process ends. Never freed on purpose.
void KeepForTheRestOfTheProcess(std::shared_ptr<void> objects) {
  static std::mutex mutex;
  static auto* kept = new std::vector<std::shared_ptr<void>>;
  std::lock_guard lock(mutex);
  kept->push_back(std::move(objects));
}

}  // namespace

std::chrono::steady_clock::time_point TCEXSystemClock::CEXNow() {
  return std::chrono::steady_clock::now();
}

std::chrono::local_time<std::chrono::milliseconds> ICEXClock::CEXLocalNow() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const time_t t = system_clock::to_time_t(now);
  tm local{};
  localtime_r(&t, &local);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()) % 1000;
  const auto day = local_days{year{local.tm_year + 1900} / (local.tm_mon + 1) / local.tm_mday};
  return day + hours{local.tm_hour} + minutes{local.tm_min} + seconds{local.tm_sec} + ms;
}

void TCEXSystemClock::CEXSleep(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

// The receive threads' calls, run on the GUI thread, go to the core while
// it is there.
class TCEXReceiveView final : public ITHReceiveView {
 public:
  void THShowReceived(const std::string& frame) override {
    if (core != nullptr) core->CEXLink().CEXFrameStored(frame);
  }
  void THSetReceiveTime(const std::string& timeText) override {
    if (core != nullptr) core->CEXSetEdit(TCEXEdit::Edit7, timeText);
  }
  void THSetStatusText(const std::string& text) override {
    if (core != nullptr) core->CEXLink().CEXSetTransientStatus(text);
  }
  void THShowMessage(const std::string& text) override {
    if (core != nullptr) core->CEXShowMessage(text);
  }
  void THStopResponseTimer() override {
    if (core != nullptr) core->CEXLink().CEXStopResponseTimer();
  }
  void THRestartHangUpTimer() override {
    if (core != nullptr) core->CEXLink().CEXRestartHangUpTimer();
  }
  TCEXMainWindow* core = nullptr;
};

struct TCEXMainWindow::TShared {
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

TCEXMainWindow::TCEXMainWindow(std::string programDir, TPorts ports)
    : CEXsDirName(std::move(programDir)),
      view_(ports.view),
      viewState_(ports.view),
      cursor_(ports.cursor),
      cursorDialogs_(ports.dialogs, cursor_),
      cursorErrorWindow_(ports.errorWindow, cursor_),
      dialogs_(cursorDialogs_),
      errorWindow_(cursorErrorWindow_),
      windows_(ports.windows),
      clock_(ports.clock),
      messageFiles_(ports.messageFiles),
      counters_(ports.counters),
      login_(ports.login),
      sequence_(ports.sequenceWindow),
      random_(ports.random != nullptr ? *ports.random : SECSystemRandom()) {
  if (CEXsDirName.empty() || CEXsDirName.back() != '/') CEXsDirName += '/';
  shared_ = std::make_shared<TShared>(ports.poster, ports.dialUp, CEXsDirName, this);
  shared_->view.core = this;
  // Every call the worker threads post is followed by the idle pass.
  shared_->gate.CEXSetAfterCall([this, alive = std::weak_ptr<int>(aliveToken_)] {
    if (!alive.expired()) AppOnIdle();
  });
  // A late worker thread may hand off after the core is gone: the hook
  // reaches only the gate, which lives as long as the mailbox.
  shared_->mailBox.THXSetOnHandOff([&gate = shared_->gate] { gate.PLTPost([] {}); });
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
  recording_ = ports.recording != nullptr ? ports.recording : &noRecording_;
  buildRoad_ = std::make_unique<TCEXBuildRoad>(TCEXBuildRoad::TPorts{.main = *this,
                                                                     .counters = counters_,
                                                                     .messageFiles = messageFiles_,
                                                                     .errorWindow = errorWindow_,
                                                                     .recording = *recording_,
                                                                     .plugIn = ports.plugIn});
  receiveRoad_ =
      std::make_unique<TCEXReceiveRoad>(TCEXReceiveRoad::TPorts{.view = viewState_,
                                                                .errors = *this,
                                                                .errorWindow = errorWindow_,
                                                                .keys = *buildRoad_,
                                                                .recording = *recording_,
                                                                .sequence = sequence_,
                                                                .config = *shared_->config,
                                                                .comm = *shared_->commParams,
                                                                .byteStream = *byteStream_,
                                                                .security = *security_,
                                                                .decryption = *securityDecryption_,
                                                                .referenceTree = *referenceTree_,
                                                                .aliases = *aliases_,
                                                                .plugIn = ports.plugIn});
  streamRoad_ =
      std::make_unique<TCEXStreamRoad>(TCEXStreamRoad::TPorts{.view = viewState_,
                                                              .errors = *this,
                                                              .errorWindow = errorWindow_,
                                                              .inputs = *buildRoad_,
                                                              .keyTaker = *receiveRoad_,
                                                              .recording = *recording_,
                                                              .config = *shared_->config,
                                                              .security = *security_,
                                                              .byteStream = *byteStream_});

  config_ = std::make_unique<TCEXConfigCommands>(
      TCEXConfigCommands::TPorts{.view = viewState_,
                                 .dialogs = dialogs_,
                                 .errors = *this,
                                 .cursor = cursor_,
                                 .config = *shared_->config,
                                 .dirName = CEXsDirName,
                                 .startServer = [this] { link_->StartServer(); },
                                 .synchMenuItems = [this] { SynchMenuItems(); }});
  link_ = std::make_unique<TCEXLink>(TCEXLink::TPorts{.view = viewState_,
                                                      .errors = *this,
                                                      .errorWindow = errorWindow_,
                                                      .dialogs = dialogs_,
                                                      .clock = clock_,
                                                      .timers = ports.timers,
                                                      .cursor = cursor_,
                                                      .sequence = sequence_,
                                                      .received = *receiveRoad_,
                                                      .outgoing = *streamRoad_,
                                                      .trace = *shared_->trace,
                                                      .config = *shared_->config,
                                                      .comm = *shared_->commParams,
                                                      .client = *shared_->client,
                                                      .server = *shared_->server,
                                                      .synch = shared_->synch,
                                                      .mailBox = shared_->mailBox,
                                                      .poster = shared_->gate,
                                                      .receiveView = shared_->view,
                                                      .idlePass = [this] { AppOnIdle(); }});

  viewState_.CEXSetStatus(0, kClientNotConnected);
  viewState_.CEXSetStatus(2, "TCP/IP Server not listening");
  viewState_.CEXSetStatus(3, TCEXConfigCommands::CEXcNoConfigFile);
  viewState_.CEXSetEdit(TCEXEdit::Edit1, "0");
  viewState_.CEXSetEdit(TCEXEdit::Edit3, "0");
  viewState_.CEXSetCaption(CEXcCaption);
}

TCEXMainWindow::~TCEXMainWindow() {
  // A form that never got to its destroy event still stops the link.
  if (!destroyed_) FormDestroy();
}

template <class F>
void TCEXMainWindow::Guarded(F&& road) {
  try {
    road();
  } catch (const std::exception& e) {
    dialogs_.CEXShowMessage(e.what());
  } catch (...) {
    dialogs_.CEXShowMessage("Unknown error");
  }
}

TPLTTcpServer& TCEXMainWindow::CEXServer() {
  return *shared_->server;
}
IPLTEventPoster& TCEXMainWindow::CEXPoster() {
  return shared_->gate;
}
TTERThreadSynch& TCEXMainWindow::CEXThreadSynch() {
  return shared_->synch;
}
TTHXMailBox& TCEXMainWindow::CEXMailBox() {
  return shared_->mailBox;
}
TTDBDebug& TCEXMainWindow::CEXTrace() {
  return *shared_->trace;
}
TCFGConfig& TCEXMainWindow::CEXConfiguration() {
  return *shared_->config;
}
TTCPCommParams& TCEXMainWindow::CEXCommParams() {
  return *shared_->commParams;
}
TCTPClientSocketPPP& TCEXMainWindow::CEXClientSocket() {
  return *shared_->client;
}
ITHReceiveView& TCEXMainWindow::CEXReceiveView() {
  return shared_->view;
}

// ---------------------------------------------------------------- lifecycle

void TCEXMainWindow::FormCreate() {
  if (created_) return;
  created_ = true;
  TCFGConfig& config = *shared_->config;
  TTDBDebug& trace = *shared_->trace;

  // The window's bounds are the defaults of the Window section.
  const TCEXGeometry bounds = view_.CEXGetGeometry();
  config.CFGSetWindowTop(bounds.top);
  config.CFGSetWindowLeft(bounds.left);
  config.CFGSetWindowWidth(bounds.width);
  config.CFGSetWindowHeight(bounds.height);
  // Leftovers of whole-file writes a kill interrupted.
  if (const int removed = PLTRemoveTemporaryFiles(CEXsDirName); removed > 0)
    trace.TDBSimpleAddString("Removed " + std::to_string(removed) +
                             " unfinished temporary file(s) from " + CEXsDirName);
  config.CFGSetTrace(&trace);
  if (const int rc = config.CFGReadIniFile(true); rc != 0)
    CEXShowMessage("Can not read configuration file " + config_->ConfigPath("") + ": " +
                   PLTSystemErrorText(rc));
  config_->UpdateSecurityHeader();

  CEXsHelpFileName = CEXsDirName + "kalmore.hmp";
  viewState_.CEXSetCaption(CEXcCaption);
  CEXsFileName.clear();
  viewState_.CEXSetHasChanged(false);

  trace.TDBEnableAllID();
  if (config.CFGGetLogToFile() >= 1) {
    trace.TDBLogToFile(CEXsDirName + "DEBUG.TXT");
    trace.TDBEnableLogToFile(true);
  } else {
    trace.TDBEnableLogToFile(false);
  }

  link_->CEXSetNoWaitForDisconnect(true);
  std::vector<TALUAliasRow> rows;
  static_cast<void>(aliases_->ALULoadConfigData(rows));

  SynchMenuItems();
  config_->CEXDisplayConfigFileName(config.CFGGetConfigFileName());
  CEXbActivationConfigRead = false;
  CEXbLoginDone = false;
  counters_.CEXReadCounters();
  trace.TDBSimpleAddString(kClassName);
  Changed(CEXpCaption | CEXpStatusBar | CEXpMemos | CEXpEdits | CEXpRadioGroups | CEXpActions);
}

void TCEXMainWindow::FormShow(const std::vector<std::string>& args) {
  Guarded([&] {
    TCFGConfig& config = *shared_->config;
    if (config.CFGGetWindowState() != 2) {
      geometry_.maximised = false;
      geometry_.top = std::max(config.CFGGetWindowTop(), 0);
      geometry_.left = std::max(config.CFGGetWindowLeft(), 0);
      geometry_.width = config.CFGGetWindowWidth();
      geometry_.height = config.CFGGetWindowHeight();
    } else {
      geometry_.maximised = true;
    }
    Changed(CEXpGeometry);
    SynchMenuItems();

    const TUPParams params = UPParseParamsString(args);
    CEXsAutoLoadConfigFile = Absolute(params.configFile);
    CEXsAutoLoadSequenceFile = Absolute(params.sequenceFile);
    CEXbAutoRun = params.run;
    if (!params.messageFile.empty()) OpenMessageFile(Absolute(params.messageFile));
    // A configuration file that is missing is reported; the server then
    // starts from the configuration in use, as without one.
    if (CEXsAutoLoadConfigFile.empty() || !config_->CEXLoadIniFile(CEXsAutoLoadConfigFile))
      link_->StartServer();

    std::string message;
    if (config.CFGCheckFile(
            *aliases_, config.CFGGetAlarmLogFileName(),
            "Can not create alarm log file (menu [admin], [alarming]): ", message) != 0)
      CEXShowMessage(message);
    if (!CEXsAutoLoadSequenceFile.empty()) CEXLoadSequenceFile(CEXsAutoLoadSequenceFile);
  });
  // From now on the idle pass follows what happens; nothing ticks.
  AppOnIdle();
}

void TCEXMainWindow::FormActivate() {
  Guarded([&] {
    if (!CEXbActivationConfigRead) {
      CEXbActivationConfigRead = true;
      config_->CEXLoadConfiguration(shared_->config->CFGGetConfigFileName());
    }
    if (!CEXbLoginDone) {
      CEXbLoginDone = true;
      Action_LogoutExecute();
    }
  });
}

void TCEXMainWindow::AppOnIdle() {
  if (destroyed_) return;
  ++idlePasses_;
  // A road that left the busy cursor on (a box it waits for runs this pass)
  // gives it back here.
  cursor_.CEXRestore();
  Guarded([&] {
    if (const int selected = selection_->CEXSelectedSourceLine(); selected >= 0) {
      std::string line = "line " + std::to_string(selected + 1);
      if (viewState_.CEXEdit(TCEXEdit::Edit2) != line)
        viewState_.CEXSetEdit(TCEXEdit::Edit2, std::move(line));
    }

    link_->CEXIdlePass();
  });
}

bool TCEXMainWindow::FormCloseQuery(bool ask) {
  bool canClose = true;
  Guarded([&] {
    TCFGConfig& config = *shared_->config;
    const TCEXGeometry bounds = view_.CEXGetGeometry();
    config.CFGSetWindowState(bounds.maximised ? 2 : 0);
    config.CFGSetWindowTop(bounds.top);
    config.CFGSetWindowHeight(bounds.height);
    config.CFGSetWindowLeft(bounds.left);
    config.CFGSetWindowWidth(bounds.width);

    // The named configuration in use gets the settings, and "config.ini"
    // always does; a failed write is shown and the close goes on.
    const std::string& current = config.CFGGetConfigFileName();
    if (!current.empty() && config_->ConfigPath(current) != config_->ConfigPath(""))
      config_->WriteConfiguration(current);
    config_->WriteConfiguration(TCFGConfig::CFGcBaseFileName);
    counters_.CEXWriteCounters();

    if (viewState_.CEXHasChanged() && !ask) {
      CEXTrace().TDBSimpleAddString("Terminated: changes in source window not saved");
    } else if (viewState_.CEXHasChanged()) {
      switch (dialogs_.CEXAskYesNoCancel("Changes in source window not saved. Save?")) {
        case TCEXAnswer::Cancel:
          canClose = false;
          break;
        case TCEXAnswer::Yes:
          // A save that did not happen keeps the window (and the changes).
          canClose = messageFiles_.CEXSaveMessage();
          break;
        case TCEXAnswer::No:
          break;
      }
    }
  });
  return canClose;
}

void TCEXMainWindow::FormClose() {
  Guarded([&] {
    // No server is passed, so the server is not started again.
    static_cast<void>(shared_->commParams->TCPDisConnect(shared_->client.get(), nullptr));
  });
}

bool TCEXMainWindow::FormDestroy() {
  if (destroyed_) return true;
  destroyed_ = true;
  link_->CEXStopTimers();

  TShared& shared = *shared_;
  // Raise the signal first so that every receive loop starts to end while
  // the link is taken down.
  shared.synch.TERSetTerminate();
  shared.client->Close();
  shared.server->PLTDeactivate();
  const bool allEnded = CEXTerminateThreads();
  link_->CEXEnd(allEnded);
  // Nothing posted from now on reaches the GUI thread or this core.
  shared.gate.CEXClose();
  shared.view.core = nullptr;
  if (!allEnded) KeepForTheRestOfTheProcess(shared_);
  return allEnded;
}

bool TCEXMainWindow::CEXTerminateThreads() {
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

// ------------------------------------------------------------------ actions

void TCEXMainWindow::CEXExecute(TCEXAction action) {
  if (!CEXActionEnabled(action)) return;
  switch (action) {
    case TCEXAction::LoadConfiguration:
      Guarded([&] { config_->Action_LoadConfigurationExecute(); });
      break;
    case TCEXAction::SaveConfFile:
      Guarded([&] { config_->Action_SaveConfFileExecute(); });
      break;
    case TCEXAction::SaveConfiguration:
      Guarded([&] { config_->Action_SaveConfigurationExecute(); });
      break;
    case TCEXAction::Logout:
      Action_LogoutExecute();
      break;
    case TCEXAction::Exit:
      Action_ExitExecute();
      break;
    case TCEXAction::LoadMessage:
      Guarded([&] { messageFiles_.CEXLoadMessage(); });
      break;
    case TCEXAction::SaveMessage:
      Guarded([&] { messageFiles_.CEXSaveMessage(); });
      break;
    case TCEXAction::SaveMessageAs:
      Guarded([&] { messageFiles_.CEXSaveMessageAs(); });
      break;
    case TCEXAction::LoadReadStructure:
      Guarded([&] { messageFiles_.CEXLoadReferenceStructure(); });
      break;
    case TCEXAction::LoadXMLDoc:
      Guarded([&] { messageFiles_.CEXLoadXMLDocument(); });
      break;
    case TCEXAction::ClearRef:
      referenceTree_->XMLDeleteAll();
      Changed(CEXpReferenceTree);
      break;
    case TCEXAction::ClearAll:
      Action_ClearAllExecute();
      break;
    case TCEXAction::CutItem:
    case TCEXAction::CopyItem:
    case TCEXAction::InsertItem:
    case TCEXAction::InsertAsChild:
    case TCEXAction::DeleteItem:
    case TCEXAction::GotoParent:
      Guarded([&] { selection_->CEXElementCommand(action); });
      break;
    case TCEXAction::SendDataStream:
      link_->Action_SendDataStreamExecute();
      break;
    case TCEXAction::HangUp:
      link_->Action_HangUpExecute();
      break;
    case TCEXAction::ClearReceived:
      link_->Action_ClearReceivedExecute();
      break;
    case TCEXAction::CreateXMLDoc:
      Guarded([&] { buildRoad_->Action_CreateXMLDocExecute(); });
      break;
    case TCEXAction::TransferInputValues:
      Guarded([&] { buildRoad_->Action_TransferInputValuesExecute(); });
      break;
    case TCEXAction::ImportXMLValues:
      Guarded([&] { buildRoad_->Action_ImportXMLValuesExecute(); });
      break;
    case TCEXAction::CreateDataStream:
      Guarded([&] { Action_CreateDataStreamExecute(); });
      break;
    case TCEXAction::CreateAndSend:
      Guarded([&] { Action_CreateAndSendExecute(); });
      break;
    case TCEXAction::TransferAndSend:
      Guarded([&] { Action_TransferAndSendExecute(); });
      break;
    case TCEXAction::ParseMessage:
      Guarded([&] { receiveRoad_->Action_ParseMessageExecute(); });
      break;
    case TCEXAction::AnalyseMessage:
      Guarded([&] { receiveRoad_->Action_AnalyseMessageExecute(); });
      break;
    case TCEXAction::DecryptSecurity:
      Guarded([&] { receiveRoad_->Action_DecryptSecurityExecute(); });
      break;
    case TCEXAction::ParseAndAnalyse:
      Guarded([&] { receiveRoad_->Action_ParseAndAnalyseExecute(); });
      break;
    case TCEXAction::EditWindow:
      // The element edit window on the selected node; not modal.
      Guarded([&] { static_cast<void>(CEXOpenWindow(TCEXWindow::EditWindow, false)); });
      break;
    case TCEXAction::Communication:
      // The listener follows the settings once they were stored.
      Guarded([&] {
        if (CEXOpenWindow(TCEXWindow::Communication, true) == TCEXModalResult::OK)
          link_->StartServer();
      });
      break;
    case TCEXAction::Component:
      Guarded([&] {
        static_cast<void>(CEXOpenWindow(TCEXWindow::MessageHeader, true));
        config_->UpdateSecurityHeader();
      });
      break;
    case TCEXAction::Timeouts:
      Guarded([&] { static_cast<void>(CEXOpenWindow(TCEXWindow::Timeouts, true)); });
      break;
    case TCEXAction::PlugIns:
      Guarded([&] { static_cast<void>(CEXOpenWindow(TCEXWindow::PlugIns, true)); });
      break;
    case TCEXAction::DirectoryAliases:
      Guarded([&] { static_cast<void>(CEXOpenWindow(TCEXWindow::DirectoryAliases, true)); });
      break;
    case TCEXAction::Count:
      break;
  }
  // What the command changed shows at once.
  AppOnIdle();
}

void TCEXMainWindow::Action_ClearAllExecute() {
  for (const TCEXMemo memo :
       {TCEXMemo::Memo1, TCEXMemo::Memo2, TCEXMemo::Memo3, TCEXMemo::Memo4, TCEXMemo::Memo6})
    viewState_.CEXSetMemo(memo, "");
  receiveRoad_->CEXSetReceivedText("");
  streamRoad_->CEXSetStreamText("");
  sourceTree_->XMLDeleteAll();
  referenceTree_->XMLDeleteAll();
  selection_->CEXSetSelectedSourceLine(-1);
  viewState_.CEXSetCaption(CEXcCaption);
  CEXsFileName.clear();
  // Nothing is left to save.
  viewState_.CEXSetHasChanged(false);
  for (const TCEXEdit edit :
       {TCEXEdit::Edit2, TCEXEdit::Edit5, TCEXEdit::Edit6, TCEXEdit::Edit7, TCEXEdit::Edit8})
    viewState_.CEXSetEdit(edit, "");
  Changed(CEXpSourceTree | CEXpReferenceTree);
}

void TCEXMainWindow::Action_CreateAndSendExecute() {
  if (destroyed_ || sourceTree_->GetFirstNode() == nullptr) return;
  buildRoad_->Action_CreateXMLDocExecute();
  // A failed build leaves Memo1 empty; a failed step ends the chain, so
  // that no earlier stream goes out in place of this message.
  if (viewState_.CEXMemo(TCEXMemo::Memo1).find('<') == std::string::npos) return;
  if (CEXCreateDataStream(nullptr) != 0) return;
  link_->Action_SendDataStreamExecute();
}

void TCEXMainWindow::Action_TransferAndSendExecute() {
  if (destroyed_ || sourceTree_->GetFirstNode() == nullptr) return;
  buildRoad_->Action_TransferInputValuesExecute();
  Action_CreateAndSendExecute();
}

void TCEXMainWindow::CEXSetSelectedSourceLine(int index) {
  selection_->CEXSetSelectedSourceLine(index);
  AppOnIdle();
}

TCEXModalResult TCEXMainWindow::CEXOpenWindow(TCEXWindow window, bool modal) {
  if (windows_ == nullptr) return TCEXModalResult::None;
  // The window opens under the default cursor.
  cursor_.CEXRestore();
  return windows_->CEXOpenWindow(window, modal);
}

void TCEXMainWindow::Action_LogoutExecute() {
  Guarded([&] {
    if (shared_->config->CFGGetUseLogin() >= 1) {
      for (;;) {
        std::string user, password;
        if (!login_.CEXShowLoginDialog(user, password)) {
          // Nobody is logged in any more: no rights stay behind should the
          // window not close.
          CEXbIsAdmin = false;
          view_.CEXCloseMainWindow();
          break;
        }
        login_.CEXReloadUsers();
        bool isAdmin = false;
        if (login_.CEXFindUser(user, password, isAdmin)) {
          CEXbIsAdmin = isAdmin;
          break;
        }
        dialogs_.CEXShowMessage("Login information is not valid. Please retry");
      }
    } else {
      CEXbIsAdmin = true;
    }
    ApplyRights();
    SynchMenuItems();
  });
}

void TCEXMainWindow::Action_ExitExecute() {
  view_.CEXCloseMainWindow();
}

void TCEXMainWindow::ApplyRights() {
  actions_.ApplyRights(CEXbIsAdmin);
  Changed(CEXpActions);
}

bool TCEXMainWindow::CEXActionEnabled(TCEXAction action) const {
  if (!actions_.CEXActionEnabled(action)) return false;
  // The receive road's steps wait for the step before.
  if (action == TCEXAction::ParseMessage || action == TCEXAction::ParseAndAnalyse)
    return link_->CEXParseMessageEnabled();
  if (action == TCEXAction::AnalyseMessage) return receiveRoad_->CEXAnalyseEnabled();
  if (action == TCEXAction::DecryptSecurity) return receiveRoad_->CEXDecryptEnabled();
  return true;
}

// -------------------------------------------------------------- recent files

void TCEXMainWindow::SynchMenuItems() {
  if (actions_.SynchMenuItems(*shared_->config, sequence_ != nullptr, CEXbIsAdmin))
    Changed(CEXpRecentFiles);
}

void TCEXMainWindow::CEXOpenRecentFile(const TCEXRecentEntry& entry) {
  Guarded([&] {
    switch (entry.menu) {
      case TCEXMenu::File:
        OpenMessageFile(entry.path);
        break;
      case TCEXMenu::Parameters:
        config_->CEXLoadIniFile(entry.path);
        break;
      case TCEXMenu::Sequences:
        CEXLoadSequenceFile(entry.path);
        break;
      default:
        break;
    }
  });
}

void TCEXMainWindow::OpenMessageFile(const std::string& path) {
  if (!CEXFileExists(path)) {
    CEXShowMessage("File " + path + " not found");
    return;
  }
  CEXSetMessageFileName(path);
  messageFiles_.CEXReadMessageFile(path);
}

void TCEXMainWindow::CEXSetMessageFileName(const std::string& path) {
  TCFGConfig& config = *shared_->config;
  config.CFGSetDirMessage(CEXDirectoryOf(path));
  config.CFGAddPickFile(path);
  CEXsFileName = path;
  viewState_.CEXSetCaption(std::string(CEXcCaption) + ": " + CEXNameOf(path));
  SynchMenuItems();
}

void TCEXMainWindow::CEXSetFileName(const std::string& path) {
  CEXsFileName = path;
  viewState_.CEXSetCaption(std::string(CEXcCaption) + ": " + CEXNameOf(path));
}

void TCEXMainWindow::CEXLoadSequenceFile(const std::string& fileName) {
  if (sequence_ == nullptr) return;
  if (!CEXFileExists(fileName)) {
    CEXShowMessage("File " + fileName + " not found");
    return;
  }
  sequence_->SEQLoadSequenceFile(fileName);
}

void TCEXMainWindow::CEXPostIdlePass() {
  // The gate runs the idle pass after every call it carries.
  shared_->gate.PLTPost([] {});
}

// ------------------------------------------------------------ state, errors

const std::string& TCEXMainWindow::CEXGetMemo(TCEXMemo memo) const {
  return viewState_.CEXMemo(memo);
}

void TCEXMainWindow::CEXSetMemo(TCEXMemo memo, const std::string& text) {
  // Memo5 is the received frame's view: the receive road takes its text.
  if (memo == TCEXMemo::Memo5) return receiveRoad_->CEXSetReceivedText(text);
  // The stream view was edited: its text is the stream from now on.
  if (memo == TCEXMemo::Memo6) return streamRoad_->CEXSetStreamText(text);
  viewState_.CEXSetMemo(memo, text);
}

const std::string& TCEXMainWindow::CEXGetEdit(TCEXEdit edit) const {
  return viewState_.CEXEdit(edit);
}

void TCEXMainWindow::CEXSetEdit(TCEXEdit edit, const std::string& text) {
  viewState_.CEXSetEdit(edit, text);
}

bool TCEXMainWindow::CEXLogError(int errorId, const std::string& errorText, bool groupValue) {
  if (sequence_ == nullptr || !sequence_->SEQVisible()) return false;
  static_cast<void>(sequence_->SEQLogError(errorId, errorText, groupValue));
  return true;
}

void TCEXMainWindow::ERRSetErrorMessage(int code, const std::string& text) {
  errorWindow_.ERRSetErrorMessage(code, text);
}

void TCEXMainWindow::CEXShowMessage(const std::string& text) {
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
