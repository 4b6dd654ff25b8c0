#include "workbench/MainWindow.h"

#include <algorithm>
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
constexpr const char* kClientConnected = "TCP/IP Client connected";
constexpr const char* kClientOverModem = "TCP/IP Client connected over modem";
constexpr const char* kClientNotConnected = "TCP/IP Client not connected";
constexpr const char* kServerNotListening = "TCP/IP server not listening";
constexpr const char* kNoConfigFile = "No cofiguration file loaded";
constexpr const char* kConfigFilePrefix = "Config file: ";
constexpr const char* kConfigFilter = "Configuration File|*.ini";

constexpr TCEXActionInfo kActions[] = {
    {"Action_LoadConfiguration", "Load Configuration...", "Load configuration", 1},
    {"Action_SaveConfFile", "Save Configuration File", "Save configuration", 1},
    {"Action_SaveConfiguration", "Save Configuration as...", "", 1},
    {"Action_Logout", "&Logout", "", 0},
    {"Action_Exit", "Exit", "", 0},
    {"Action_LoadMessage", "Load Message...", "", 0},
    {"Action_Save_Message", "Save Message", "", 0},
    {"Action_Save_Message_As", "Save Message as...", "", 0},
    {"Action_LoadReadStructure", "Load Reference Structure...", "", 0},
    {"Action_Load_XMLDoc", "Load XML Document...", "", 0},
    {"Action_ClearRef", "Clear Reference Structure", "", 0},
    {"Action_ClearAll", "Clear All", "", 0},
    {"Action_CutItem", "Cut Item", "", 0},
    {"Action_CopyItem", "Copy Item", "", 0},
    {"Action_InsertItem", "Insert Item", "", 0},
    {"Action_InsertAsChild", "Insert As Child", "", 0},
    {"Action_DeleteItem", "Delete Item", "", 0},
    {"Action_GotoParent", "Goto parent", "", 0},
    {"Action_SendDataStream", "Send Data Stream", "", 1},
    {"Action_HangUp", "Hang Up", "disconnect and hang up phone", 0},
    {"Action_ClearReceived", "Clear Received Windows", "clear received message windows", 1},
    {"Action_CreateXMLDoc", "Create XML Doc", "", 1},
    {"Action_TransferInputValues", "Transfer Input Values",
     "transfer values from received message to source window", 1},
    {"Action_ImportXMLValues", "Import XML Values", "Import Values from XML document windows", 0},
    {"Action_CreateDataStream", "Create Data Stream", "", 1},
    {"Action_CreateAndSend", "Create + Send", "", 1},
    {"Action_TransferAndSend", "Transfer+Send", "", 1},
    {"Action_ParseMessage", "Parse Message", "", 0},
    {"Action_AnalyseMessage", "Analyse Message", "", 0},
    {"Action_DecryptSecurity", "Decrypt Security", "", 0},
    {"Action_ParseAndAnalyse", "Parse + Analyse", "", 0},
    {"Action_EditWindow", "Edit Window...", "", 1},
    {"Action_Communication", "Communication...", "", 1},
    {"Action_Component", "Message Header...", "", 1},
    {"Action_Timeouts", "Timeouts...", "", 1},
    {"Action_PlugIns", "Plug Ins...", "", 1},
    {"Action_DirectoryAliases", "Directory Aliases...", "", 1},
};
static_assert(std::size(kActions) == static_cast<size_t>(TCEXAction::Count));

constexpr TCEXMenuInfo kMenus[] = {
    {"File1", "&File", 0},           {"Edit1", "&Edit", 1},
    {"View1", "&View", 0},           {"Parameters1", "&Parameters", 1},
    {"Sequences1", "&Sequences", 0}, {"Admin1", "&Admin", 1},
    {"Tools1", "&Tools", 0},         {"Help1", "&Help", 0},
};
static_assert(std::size(kMenus) == static_cast<size_t>(TCEXMenu::Count));

// A name from the command line, taken in the current folder when relative.
std::string Absolute(const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

// Drops the first character of a UTF-8 text (a whole multi-byte sequence).
void DropFirstCharacter(std::string& text) {
  size_t n = text.empty() ? 0 : 1;
  while (n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) ++n;
  text.erase(0, n);
}

// The configuration values the received-message security reads.
class TSecurityConfiguration final : public ISDCConfiguration {
 public:
  explicit TSecurityConfiguration(const TCFGConfig& config) : config_(config) {}
  bool CFGVersionAbove520() const override { return config_.CFGVersionAbove520(); }
  bool CFGVersionAbove600() const override { return config_.CFGVersionAbove600(); }
  bool CFGVersionAbove700() const override { return config_.CFGVersionAbove700(); }
  std::string CFGGetPrivateKeyExponent() const override {
    return config_.CFGGetPrivateKeyExponent();
  }
  std::string CFGGetPrivateKeyModulus() const override { return config_.CFGGetPrivateKeyModulus(); }

 private:
  const TCFGConfig& config_;
};

// The security report goes to Memo4, a line at a time.
class TSecurityReport final : public ISDCReportList {
 public:
  explicit TSecurityReport(ICEXMainServices& main) : main_(main) {}
  void SDCAddReportLine(std::string_view line) override {
    std::string text = main_.CEXGetMemo(TCEXMemo::Memo4);
    if (!text.empty()) text += '\n';
    text += line;
    main_.CEXSetMemo(TCEXMemo::Memo4, text);
  }

 private:
  ICEXMainServices& main_;
};

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

void TCEXSystemClock::CEXSleep(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

// The receive threads' calls, run on the GUI thread, go to the core while
// it is there.
class TCEXReceiveView final : public ITHReceiveView {
 public:
  void THShowReceived(const std::string& frame) override {
    if (core != nullptr) core->CEXFrameStored(frame);
  }
  void THSetReceiveTime(const std::string& timeText) override {
    if (core != nullptr) core->CEXSetEdit(TCEXEdit::Edit7, timeText);
  }
  void THSetStatusText(const std::string& text) override {
    if (core != nullptr) core->CEXSetTransientStatus(text);
  }
  void THShowMessage(const std::string& text) override {
    if (core != nullptr) core->CEXShowMessage(text);
  }
  void THStopResponseTimer() override {
    if (core != nullptr) core->CEXStopResponseTimer();
  }
  void THRestartHangUpTimer() override {
    if (core != nullptr) core->CEXRestartHangUpTimer();
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

const TCEXActionInfo& TCEXMainWindow::CEXActionInfo(TCEXAction action) {
  return kActions[static_cast<size_t>(action)];
}

const TCEXMenuInfo& TCEXMainWindow::CEXMenuInfo(TCEXMenu menu) {
  return kMenus[static_cast<size_t>(menu)];
}

TCEXMainWindow::TCEXMainWindow(std::string programDir, TPorts ports)
    : CEXsDirName(std::move(programDir)),
      view_(ports.view),
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
  aliases_ = std::make_unique<TALUAliasList>(CEXsDirName);
  editElement_ = std::make_unique<TUACEditElement>();
  security_ = std::make_unique<TSECep2Security>(4000, random_);
  security_->SECInitRandomgenerator();
  byteStream_ = std::make_unique<TIBSaEp2ByteStream>(1000);
  securityConfig_ = std::make_unique<TSecurityConfiguration>(*shared_->config);
  securityReport_ = std::make_unique<TSecurityReport>(*this);
  securityDecryption_ = std::make_unique<TSDCSecurityDecryption>(5000, *securityConfig_, *security_,
                                                                 securityReport_.get());
  sourceTree_ = std::make_unique<TXMLMessageTree>();
  sourceTree_->OnDragDropEnd = [this](TXMLTreeNode* moved, TXMLTreeNode* target, int32_t mode) {
    CEXDragDropEnd(moved, target, mode);
    CEXbHasChanged = true;
  };
  referenceTree_ = std::make_unique<TXMLMessageTree>();
  recording_ = ports.recording != nullptr ? ports.recording : &noRecording_;
  buildRoad_ = std::make_unique<TCEXBuildRoad>(TCEXBuildRoad::TPorts{.main = *this,
                                                                     .counters = counters_,
                                                                     .messageFiles = messageFiles_,
                                                                     .errorWindow = errorWindow_,
                                                                     .recording = *recording_,
                                                                     .plugIn = ports.plugIn});
  receivePlugIn_ = ports.plugIn;

  const auto handler = [this](void (TCEXMainWindow::*member)()) {
    return [this, member] { Guarded([&] { (this->*member)(); }); };
  };
  Timer1 = ports.timers.CEXCreateTimer(false, handler(&TCEXMainWindow::OnResponseTimeout));
  Timer3 = ports.timers.CEXCreateTimer(false, handler(&TCEXMainWindow::OnStatusClear));
  Timer4 = ports.timers.CEXCreateTimer(false, handler(&TCEXMainWindow::OnHangUpTimeout));
  idleTimer_ = ports.timers.CEXCreateTimer(true, handler(&TCEXMainWindow::AppOnIdle));
  CEXInitConnections(ports.timers);

  actionEnabled_.fill(true);
  menuEnabled_.fill(true);
  status_ = {kClientNotConnected, "", "TCP/IP Server not listening", kNoConfigFile};
  edits_[static_cast<size_t>(TCEXEdit::Edit1) - 1] = "0";
  edits_[static_cast<size_t>(TCEXEdit::Edit3) - 1] = "0";
  caption_ = CEXcCaption;
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
    CEXShowMessage("Can not read configuration file " + ConfigPath("") + ": " +
                   PLTSystemErrorText(rc));
  UpdateSecurityHeader();

  CEXsHelpFileName = CEXsDirName + "kalmore.hmp";
  caption_ = CEXcCaption;
  CEXsFileName.clear();
  CEXbHasChanged = false;

  trace.TDBEnableAllID();
  if (config.CFGGetLogToFile() >= 1) {
    trace.TDBLogToFile(CEXsDirName + "DEBUG.TXT");
    trace.TDBEnableLogToFile(true);
  } else {
    trace.TDBEnableLogToFile(false);
  }

  CEXbNoWaitForDisconnect = true;
  std::vector<TALUAliasRow> rows;
  static_cast<void>(aliases_->ALULoadConfigData(rows));

  SynchMenuItems();
  CEXDisplayConfigFileName(config.CFGGetConfigFileName());
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
    if (CEXsAutoLoadConfigFile.empty() || !CEXLoadIniFile(CEXsAutoLoadConfigFile)) StartServer();

    std::string message;
    if (config.CFGCheckFile(
            *aliases_, config.CFGGetAlarmLogFileName(),
            "Can not create alarm log file (menu [admin], [alarming]): ", message) != 0)
      CEXShowMessage(message);
    if (!CEXsAutoLoadSequenceFile.empty()) CEXLoadSequenceFile(CEXsAutoLoadSequenceFile);
  });
  idleTimer_->CEXStart(CEXcIdleInterval);
}

void TCEXMainWindow::FormActivate() {
  Guarded([&] {
    if (!CEXbActivationConfigRead) {
      CEXbActivationConfigRead = true;
      CEXLoadConfiguration(shared_->config->CFGGetConfigFileName());
    }
    if (!CEXbLoginDone) {
      CEXbLoginDone = true;
      Action_LogoutExecute();
    }
  });
}

void TCEXMainWindow::AppOnIdle() {
  if (destroyed_) return;
  // A road that left the busy cursor on (a box it waits for runs this pass)
  // gives it back here.
  cursor_.CEXRestore();
  Guarded([&] {
    if (selectedSourceLine_ >= 0) {
      std::string line = "line " + std::to_string(selectedSourceLine_ + 1);
      std::string& edit2 = edits_[static_cast<size_t>(TCEXEdit::Edit2) - 1];
      if (edit2 != line) {
        edit2 = std::move(line);
        Changed(CEXpEdits);
      }
    }

    TTHXMailBox& mailBox = shared_->mailBox;
    // Read, then clear the flag before showing, so a pass that runs while
    // the error window is up does not show the same error again.
    if (mailBox.THXGetClientSocketErrorFlag()) {
      const int code = mailBox.THXGetClientSocketErrorId();
      const std::string text = "Last Socket Error" + mailBox.THXGetClientSocketErrorText();
      mailBox.THXSetClientSocketErrorFlag(false);
      if (!CEXLogError(code, text, false)) ERRSetErrorMessage(code, text);
    }

    const TTCPCommParams& comm = *shared_->commParams;
    const TCTPClientSocketPPP& client = *shared_->client;
    if (comm.TCPClientConnectionStatus() == TTCPCommParams::TCPcConnectionOpen && client.Active()) {
      SetStatus(0, client.CTPModemConnectionstate() == TCTPClientSocketPPP::CTPcModemConnected
                       ? kClientOverModem
                       : kClientConnected);
    } else {
      SetStatus(0, kClientNotConnected);
    }

    if (arrival_ == 1) {
      const bool sequenceVisible = sequence_ != nullptr && sequence_->SEQVisible();
      if (!sequenceVisible || CEXbNoWaitForDisconnect) {
        arrival_ = 0;
        if (!parseMessageEnabled_) {
          parseMessageEnabled_ = true;
          Changed(CEXpParseMessage);
        }
        if (sequenceVisible) sequence_->SEQMessageAvailable();
      }
    }

    if (mailBox.THXGetSendState() == TTHXMailBox::THXcStateSended) {
      SetStatus(1, "Data stream sent");
      mailBox.THXSetSendState(TTHXMailBox::THXcStateIdle);
      Timer3->CEXStart(CEXcStatusClearInterval);
    }
    UpdateServerPanel();
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
    if (!current.empty() && ConfigPath(current) != ConfigPath("")) WriteConfiguration(current);
    WriteConfiguration(TCFGConfig::CFGcBaseFileName);
    counters_.CEXWriteCounters();

    if (CEXbHasChanged && !ask) {
      CEXTrace().TDBSimpleAddString("Terminated: changes in source window not saved");
    } else if (CEXbHasChanged) {
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
    idleTimer_->CEXStop();
    // No server is passed, so the server is not started again.
    static_cast<void>(shared_->commParams->TCPDisConnect(shared_->client.get(), nullptr));
  });
}

bool TCEXMainWindow::FormDestroy() {
  if (destroyed_) return true;
  destroyed_ = true;
  idleTimer_->CEXStop();
  Timer1->CEXStop();
  Timer3->CEXStop();
  Timer4->CEXStop();

  TShared& shared = *shared_;
  // Raise the signal first so that every receive loop starts to end while
  // the link is taken down.
  shared.synch.TERSetTerminate();
  shared.client->Close();
  shared.server->PLTDeactivate();
  const bool allEnded = CEXTerminateThreads();
  CEXEndConnections(allEnded);
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
      Action_LoadConfigurationExecute();
      break;
    case TCEXAction::SaveConfFile:
      Action_SaveConfFileExecute();
      break;
    case TCEXAction::SaveConfiguration:
      Action_SaveConfigurationExecute();
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
      Guarded([&] { CEXElementCommand(action); });
      break;
    case TCEXAction::SendDataStream:
      Action_SendDataStreamExecute();
      break;
    case TCEXAction::HangUp:
      Action_HangUpExecute();
      break;
    case TCEXAction::ClearReceived:
      Action_ClearReceivedExecute();
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
      Guarded([&] { Action_ParseMessageExecute(); });
      break;
    case TCEXAction::AnalyseMessage:
      Guarded([&] { Action_AnalyseMessageExecute(); });
      break;
    case TCEXAction::DecryptSecurity:
      Guarded([&] { Action_DecryptSecurityExecute(); });
      break;
    case TCEXAction::ParseAndAnalyse:
      Guarded([&] { Action_ParseAndAnalyseExecute(); });
      break;
    case TCEXAction::EditWindow:
      // The element edit window on the selected node; not modal.
      Guarded([&] { static_cast<void>(CEXOpenWindow(TCEXWindow::EditWindow, false)); });
      break;
    case TCEXAction::Communication:
      // The listener follows the settings once they were stored.
      Guarded([&] {
        if (CEXOpenWindow(TCEXWindow::Communication, true) == TCEXModalResult::OK) StartServer();
      });
      break;
    case TCEXAction::Component:
      Guarded([&] {
        static_cast<void>(CEXOpenWindow(TCEXWindow::MessageHeader, true));
        UpdateSecurityHeader();
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
}

void TCEXMainWindow::Action_ClearAllExecute() {
  for (std::string& memo : memos_) memo.clear();
  CEXsDataStream.clear();
  dataStreamShown_ = false;
  sourceTree_->XMLDeleteAll();
  referenceTree_->XMLDeleteAll();
  selectedSourceLine_ = -1;
  SourceSelectionChanged();
  caption_ = CEXcCaption;
  CEXsFileName.clear();
  // Nothing is left to save.
  CEXbHasChanged = false;
  for (const int edit : {2, 5, 6, 7, 8}) edits_.at(static_cast<size_t>(edit) - 1).clear();
  Changed(CEXpMemos | CEXpSourceTree | CEXpReferenceTree | CEXpCaption | CEXpEdits);
}

void TCEXMainWindow::CEXElementCommand(TCEXAction action) {
  TXMLMessageTree& tree = *sourceTree_;
  TXMLTreeNode* selected = CEXSelectedSourceNode();
  TXMLTreeNode* select = selected;
  bool changed = false;
  switch (action) {
    case TCEXAction::CopyItem:
      CEXCopyItem(*editElement_, selected, sourceTreeFocused_);
      return;
    case TCEXAction::CutItem:
      changed = CEXCutItem(tree, *editElement_, selected, sourceTreeFocused_);
      select = nullptr;
      break;
    case TCEXAction::DeleteItem:
      changed = CEXDeleteItem(tree, selected);
      select = nullptr;
      break;
    case TCEXAction::InsertItem:
    case TCEXAction::InsertAsChild: {
      const std::string refusal = CEXInsertItem(tree, *editElement_, selected, sourceTreeFocused_,
                                                action == TCEXAction::InsertAsChild, &select);
      if (!refusal.empty()) {
        CEXShowMessage(refusal);
        return;
      }
      changed = true;
      break;
    }
    case TCEXAction::GotoParent: {
      if (selected == nullptr) return;
      const TCEXBusyCursor busy(cursor_);
      select = CEXGotoParent(selected);
      if (select == nullptr) return;
      break;
    }
    default:
      return;
  }
  selectedSourceLine_ = -1;
  int index = 0;
  for (TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext(), ++index) {
    if (n == select) {
      selectedSourceLine_ = index;
      break;
    }
  }
  if (changed) CEXbHasChanged = true;
  Changed(CEXpSourceTree);
  SourceSelectionChanged();
}

TXMLTreeNode* TCEXMainWindow::CEXSelectedSourceNode() const {
  if (selectedSourceLine_ < 0) return nullptr;
  TXMLTreeNode* node = sourceTree_->GetFirstNode();
  for (int i = 0; i < selectedSourceLine_ && node != nullptr; ++i) node = node->GetNext();
  return node;
}

void TCEXMainWindow::CEXSetSelectedSourceLine(int index) {
  selectedSourceLine_ = index;
  SourceSelectionChanged();
}

void TCEXMainWindow::CEXSubscribeSourceSelection(ICEXSourceSelectionListener& listener) {
  if (std::find(selectionListeners_.begin(), selectionListeners_.end(), &listener) ==
      selectionListeners_.end())
    selectionListeners_.push_back(&listener);
}

void TCEXMainWindow::CEXUnsubscribeSourceSelection(ICEXSourceSelectionListener& listener) {
  std::erase(selectionListeners_, &listener);
}

void TCEXMainWindow::SourceSelectionChanged() {
  TXMLTreeNode* node = CEXSelectedSourceNode();
  // A listener may unsubscribe itself or another while it is told.
  const std::vector<ICEXSourceSelectionListener*> listeners = selectionListeners_;
  for (ICEXSourceSelectionListener* listener : listeners) {
    if (std::find(selectionListeners_.begin(), selectionListeners_.end(), listener) ==
        selectionListeners_.end())
      continue;
    if (listener->CEXListenerVisible()) listener->CEXSourceSelectionChanged(node);
  }
}

TCEXModalResult TCEXMainWindow::CEXOpenWindow(TCEXWindow window, bool modal) {
  if (windows_ == nullptr) return TCEXModalResult::None;
  // The window opens under the default cursor.
  cursor_.CEXRestore();
  return windows_->CEXOpenWindow(window, modal);
}

void TCEXMainWindow::CEXSetMemo2CaretLine(int index) {
  // The line lies in Memo2's text: an index past its last line (a caret
  // in the memo's own note behind a cut text) takes the last line.
  const std::string& text = memos_[static_cast<size_t>(TCEXMemo::Memo2) - 1];
  int lines = 1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    if (text[i] == '\n' || text[i] == '\r') ++lines;
  }
  const int line = std::clamp(index, 0, lines - 1) + 1;
  CEXSetEdit(TCEXEdit::Edit5, "line " + std::to_string(line));
}

void TCEXMainWindow::Action_LoadConfigurationExecute() {
  Guarded([&] {
    TCFGConfig& config = *shared_->config;
    std::string chosen;
    if (!dialogs_.CEXOpenFile(
            {"Load Configuration File", kConfigFilter, config.CFGGetDirConfig(), "", ""}, chosen))
      return;
    config.CFGSetDirConfig(CEXDirectoryOf(chosen));
    config.CFGSetConfigFileName(chosen);
    CEXLoadConfiguration(chosen);
    CEXDisplayConfigFileName(chosen);
    config.CFGAddPickFileIni(chosen);
    SynchMenuItems();
    StartServer();
  });
}

void TCEXMainWindow::Action_SaveConfigurationExecute() {
  Guarded([&] {
    TCFGConfig& config = *shared_->config;
    std::string chosen;
    if (!dialogs_.CEXSaveFile({"Save Configuration File", kConfigFilter, config.CFGGetDirConfig(),
                               CEXNameOf(config.CFGGetConfigFileName()), "ini"},
                              chosen))
      return;
    config.CFGSetDirConfig(CEXDirectoryOf(chosen));
    config.CFGSetConfigFileName(chosen);
    WriteConfiguration(chosen);
    CEXDisplayConfigFileName(chosen);
    config.CFGAddPickFileIni(chosen);
    SynchMenuItems();
  });
}

void TCEXMainWindow::Action_SaveConfFileExecute() {
  Guarded([&] { WriteConfiguration(shared_->config->CFGGetConfigFileName()); });
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
  for (size_t i = 0; i < actionEnabled_.size(); ++i)
    actionEnabled_[i] = CEXbIsAdmin || kActions[i].tag == 0;
  // "&File" stays enabled; the menus after it follow their tags.
  for (size_t i = 1; i < menuEnabled_.size(); ++i)
    menuEnabled_[i] = CEXbIsAdmin || kMenus[i].tag == 0;
  Changed(CEXpActions);
}

bool TCEXMainWindow::CEXActionEnabled(TCEXAction action) const {
  if (action == TCEXAction::Count || !actionEnabled_[static_cast<size_t>(action)]) return false;
  // The receive road's steps wait for the step before.
  if (action == TCEXAction::ParseMessage || action == TCEXAction::ParseAndAnalyse)
    return parseMessageEnabled_;
  if (action == TCEXAction::AnalyseMessage) return analyseEnabled_;
  if (action == TCEXAction::DecryptSecurity) return decryptEnabled_;
  return true;
}

bool TCEXMainWindow::CEXMenuEnabled(TCEXMenu menu) const {
  return menu != TCEXMenu::Count && menuEnabled_[static_cast<size_t>(menu)];
}

// -------------------------------------------------------------- recent files

void TCEXMainWindow::SynchMenuItems() {
  const TCFGConfig& config = *shared_->config;
  std::vector<TCEXRecentEntry> entries;
  const auto add = [&](TCEXMenu menu, auto pick) {
    bool first = true;
    for (int i = 0; i < TCFGConfig::CFGcMaxPickFiles; ++i) {
      const std::string path = (config.*pick)(i);
      if (!CEXFileExists(path)) continue;
      if (first) entries.push_back({menu, "", "", 1, true});
      first = false;
      entries.push_back({menu, CEXNameOf(path), path, i + 1, false});
    }
  };
  if (sequence_ != nullptr) add(TCEXMenu::Sequences, &TCFGConfig::CFGGetPickFileSeq);
  if (CEXbIsAdmin) {
    add(TCEXMenu::File, &TCFGConfig::CFGGetPickFile);
    add(TCEXMenu::Parameters, &TCFGConfig::CFGGetPickFileIni);
  }
  if (entries != recent_) {
    recent_ = std::move(entries);
    Changed(CEXpRecentFiles);
  }
}

void TCEXMainWindow::CEXOpenRecentFile(const TCEXRecentEntry& entry) {
  Guarded([&] {
    switch (entry.menu) {
      case TCEXMenu::File:
        OpenMessageFile(entry.path);
        break;
      case TCEXMenu::Parameters:
        CEXLoadIniFile(entry.path);
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
  caption_ = std::string(CEXcCaption) + ": " + CEXNameOf(path);
  SynchMenuItems();
  Changed(CEXpCaption);
}

void TCEXMainWindow::CEXLoadSequenceFile(const std::string& fileName) {
  if (sequence_ == nullptr) return;
  if (!CEXFileExists(fileName)) {
    CEXShowMessage("File " + fileName + " not found");
    return;
  }
  sequence_->SEQLoadSequenceFile(fileName);
}

// ------------------------------------------------------- configuration files

std::string TCEXMainWindow::ConfigPath(const std::string& fileName) const {
  if (fileName.find_first_not_of(" \t") == std::string::npos)
    return CEXsDirName + TCFGConfig::CFGcBaseFileName;
  return fileName.front() == '/' ? fileName : CEXsDirName + fileName;
}

bool TCEXMainWindow::CEXLoadIniFile(const std::string& fileName) {
  if (!CEXFileExists(ConfigPath(fileName))) {
    CEXShowMessage("File " + fileName + " not found");
    return false;
  }
  TCFGConfig& config = *shared_->config;
  config.CFGSetDirConfig(CEXDirectoryOf(ConfigPath(fileName)));
  config.CFGSetConfigFileName(fileName);
  CEXLoadConfiguration(fileName);
  CEXDisplayConfigFileName(fileName);
  StartServer();
  return true;
}

void TCEXMainWindow::CEXLoadConfiguration(const std::string& fileName) {
  TCFGConfig& config = *shared_->config;
  const std::string remembered = config.CFGGetFileName();
  // A file that is not there is not read: reading it would empty the alarm
  // rules and the key-generation setting, and the write below would then
  // take them out of "config.ini" as well.
  if (CEXFileExists(ConfigPath(fileName))) {
    config.CFGSetFileName(fileName);
    const int rc = config.CFGReadIniFile(false);
    config.CFGSetFileName(remembered);
    if (rc != 0)
      CEXShowMessage("Can not read configuration file " + ConfigPath(fileName) + ": " +
                     PLTSystemErrorText(rc));
    UpdateSecurityHeader();
  }
  config.CFGSetConfigFileName(fileName);
  WriteConfiguration(remembered);
}

void TCEXMainWindow::WriteConfiguration(const std::string& fileName) {
  int rc;
  {
    const TCEXBusyCursor busy(cursor_);
    rc = shared_->config->CFGWriteIniFile(fileName);
  }
  if (rc != 0)
    CEXShowMessage("Can not write configuration file " + ConfigPath(fileName) + ": " +
                   PLTSystemErrorText(rc));
}

void TCEXMainWindow::CEXDisplayConfigFileName(const std::string& fileName) {
  std::string text = kNoConfigFile;
  if (!fileName.empty()) {
    std::string tail = fileName;
    text = kConfigFilePrefix + tail;
    while (!tail.empty() && !view_.CEXStatusTextFits(3, text)) {
      DropFirstCharacter(tail);
      text = std::string(kConfigFilePrefix) + ".." + tail;
    }
  }
  SetStatus(3, text);
}

void TCEXMainWindow::UpdateSecurityHeader() {
  const TCFGConfig& config = *shared_->config;
  securityHeaderVisible_ = config.CFGGetEncodingInformation() != 0;
  if (securityHeaderVisible_) securityHeader_ = config.CFGGetMacOnly() != 0 ? 0 : 1;
  Changed(CEXpRadioGroups);
}

// ------------------------------------------------------------------- server

void TCEXMainWindow::StartServer() {
  std::string reason;
  const int rc = shared_->commParams->TCPConnectServer(shared_->server.get(), &reason);
  UpdateServerPanel();
  if (rc != 0) ShowServerFailure(rc, reason);
}

void TCEXMainWindow::ShowServerFailure(int code, const std::string& reason) {
  ERRSetErrorMessage(CEXcErrorServerSocket,
                     "Server Socket Error: " + (reason.empty() ? std::to_string(code) : reason));
}

void TCEXMainWindow::UpdateServerPanel() {
  const TPLTTcpServer& server = *shared_->server;
  SetStatus(2, server.PLTActive()
                   ? "Server listening on port " + std::to_string(server.PLTBoundPort())
                   : kServerNotListening);
}

void TCEXMainWindow::SetStatus(int panel, const std::string& text) {
  std::string& current = status_.at(panel);
  if (current == text) return;
  current = text;
  Changed(CEXpStatusBar);
}

// ------------------------------------------------------------ link, timers

void TCEXMainWindow::CEXFrameStored(const std::string& frame) {
  if (destroyed_) return;
  Guarded([&] {
    CEXStopResponseTimer();
    memos_[static_cast<size_t>(TCEXMemo::Memo5) - 1] = UTHStringToHex(frame);
    Changed(CEXpMemos);
    // Raised only once the stream is stored.
    arrival_ = 1;
  });
  AppOnIdle();
}

void TCEXMainWindow::CEXStartResponseTimer() {
  ++sends_;
  const int32_t timeout = shared_->config->CFGGetServerResponseTimeout();
  Timer1->CEXStart(std::chrono::milliseconds(std::max<int32_t>(timeout, 0)));
}

void TCEXMainWindow::CEXStopResponseTimer() {
  answeredSend_ = sends_;
  Timer1->CEXStop();
}

void TCEXMainWindow::CEXSetTransientStatus(const std::string& text) {
  SetStatus(1, text);
}

void TCEXMainWindow::CEXServerError(const std::string& text) {
  Guarded([&] {
    // While errors are not shown this one is dropped; the next one shows.
    TTCPCommParams& comm = *shared_->commParams;
    const bool show = comm.TCPShowErrors();
    comm.TCPSetShowErrors(true);
    if (!show) return;
    const std::string message = "Server Socket Error: " + text;
    if (!CEXLogError(CEXcErrorServerSocket, message, false))
      ERRSetErrorMessage(CEXcErrorServerSocket, message);
  });
}

void TCEXMainWindow::CEXRestartHangUpTimer() {
  const int32_t timeout = shared_->config->CFGGetHangUpTimeout();
  Timer4->CEXStop();
  Timer4->CEXStart(std::chrono::milliseconds(std::max<int32_t>(timeout, 0)));
}

void TCEXMainWindow::CEXPostIdlePass() {
  shared_->gate.PLTPost([this, alive = std::weak_ptr<int>(aliveToken_)] {
    if (!alive.expired()) AppOnIdle();
  });
}

void TCEXMainWindow::OnResponseTimeout() {
  Timer1->CEXStop();
  // The answer to the last send came meanwhile: that row is handled.
  if (answeredSend_ == sends_) return;
  answeredSend_ = sends_;
  std::string reason;
  const int rc =
      shared_->commParams->TCPDisConnect(shared_->client.get(), shared_->server.get(), &reason);
  UpdateServerPanel();
  if (rc != 0) ShowServerFailure(rc, reason);
  const std::string text = "Response message timeout while waiting for answer from server";
  if (CEXLogError(CEXcErrorResponseTimeout, text, false))
    sequence_->SEQRunNextRow();
  else
    CEXShowMessage(text);
}

void TCEXMainWindow::OnStatusClear() {
  Timer3->CEXStop();
  SetStatus(1, "");
}

void TCEXMainWindow::OnHangUpTimeout() {
  shared_->trace->TDBAddString(0, 0, kClassName, "Timer 4 Timeout");
  Timer4->CEXStop();
  std::string reason;
  const int rc = shared_->commParams->TCPDisconnectModem(shared_->client.get(),
                                                         shared_->server.get(), &reason);
  UpdateServerPanel();
  if (rc != 0) ShowServerFailure(rc, reason);
  SetStatus(0, "Modem disconnected");
}

// ------------------------------------------------------------ state, errors

const std::string& TCEXMainWindow::CEXGetMemo(TCEXMemo memo) const {
  return memos_.at(static_cast<size_t>(memo) - 1);
}

void TCEXMainWindow::CEXSetMemo(TCEXMemo memo, const std::string& text) {
  memos_.at(static_cast<size_t>(memo) - 1) = text;
  // The stream view was edited: its text is the stream from now on.
  if (memo == TCEXMemo::Memo6) dataStreamShown_ = false;
  Changed(CEXpMemos);
}

const std::string& TCEXMainWindow::CEXGetEdit(TCEXEdit edit) const {
  return edits_.at(static_cast<size_t>(edit) - 1);
}

void TCEXMainWindow::CEXSetEdit(TCEXEdit edit, const std::string& text) {
  edits_.at(static_cast<size_t>(edit) - 1) = text;
  Changed(CEXpEdits);
}

bool TCEXMainWindow::CEXLogError(int errorId, const std::string& errorText, bool groupValue) {
  if (sequence_ == nullptr || !sequence_->SEQVisible()) return false;
  sequence_->SEQLogError(errorId, errorText, groupValue);
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
