#include "workbench/MainWindow.h"

#include <exception>
#include <filesystem>
#include <utility>

#include "comm/ClientSocketPPP.h"
#include "comm/CommParams.h"
#include "config/AliasList.h"
#include "config/Config.h"
#include "ep2/MessageTree.h"
#include "platform/AtomicFile.h"
#include "support/CommandLine.h"
#include "support/TraceLogger.h"

namespace kal {

namespace {

constexpr const char* kClassName = "TForm1";

// A name from the command line, taken in the current folder when relative.
std::string Absolute(const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

}  // namespace

TCEXMainWindow::TCEXMainWindow(std::string programDir, TPorts ports)
    : TCEXSharedObjects(std::move(programDir),
                        TCEXSharedObjects::TPorts{.view = ports.view,
                                                  .timers = &ports.timers,
                                                  .dialogs = ports.dialogs,
                                                  .errorWindow = ports.errorWindow,
                                                  .clock = ports.clock,
                                                  .poster = ports.poster,
                                                  .dialUp = ports.dialUp,
                                                  .random = ports.random,
                                                  .cursor = ports.cursor,
                                                  .windows = ports.windows,
                                                  .sequence = ports.sequenceWindow,
                                                  .helpControls = ports.helpControls,
                                                  .printer = ports.printer,
                                                  .search = ports.search}),
      messageFiles_(ports.messageFiles),
      counters_(ports.counters) {
  // Every call the worker threads post is followed by the idle pass.
  CEXGate().CEXSetAfterCall([this, alive = std::weak_ptr<int>(aliveToken_)] {
    if (!alive.expired()) AppOnIdle();
  });
  roads_ = std::make_unique<TCEXRoads>(
      TCEXRoads::TPorts{.shared = *this,
                        .view = viewState_,
                        .dialogs = dialogs_,
                        .errorWindow = errorWindow_,
                        .cursor = cursor_,
                        .clock = clock_,
                        .timers = ports.timers,
                        .sequence = sequence_,
                        .counters = counters_,
                        .messageFiles = messageFiles_,
                        .recording = ports.recording != nullptr ? *ports.recording : noRecording_,
                        .plugIn = ports.plugIn,
                        .receiveView = CEXReceiveView(),
                        .idlePass = [this] { AppOnIdle(); }});
  config_ = std::make_unique<TCEXConfigCommands>(
      TCEXConfigCommands::TPorts{.view = viewState_,
                                 .dialogs = dialogs_,
                                 .errors = *this,
                                 .cursor = cursor_,
                                 .config = CEXConfiguration(),
                                 .dirName = CEXsDirName,
                                 .startServer = [this] { CEXLink().StartServer(); },
                                 .synchMenuItems = [this] { SynchMenuItems(); }});
  CEXBindReceiveView(&CEXLink());
  session_ =
      std::make_unique<TCEXUserSession>(TCEXUserSession::TPorts{.view = view_,
                                                                .viewState = viewState_,
                                                                .dialogs = dialogs_,
                                                                .login = ports.login,
                                                                .config = CEXConfiguration(),
                                                                .actions = actions_,
                                                                .sequences = sequence_ != nullptr});
  files_ = std::make_unique<TCEXFileOpening>(
      TCEXFileOpening::TPorts{.view = viewState_,
                              .errors = *this,
                              .config = CEXConfiguration(),
                              .configCommands = *config_,
                              .messageFiles = messageFiles_,
                              .sequence = sequence_,
                              .synchMenuItems = [this] { SynchMenuItems(); }});
  commands_ = std::make_unique<TCEXWindowCommands>(TCEXWindowCommands::TPorts{
      .windows = *this,
      .help = *help_,
      .printouts = CEXPrintouts(),
      .searches = CEXSearches(),
      .view = viewState_,
      .selection = CEXSourceSelection(),
      .startServer = [this] { CEXLink().StartServer(); },
      .updateSecurityHeader = [this] { config_->UpdateSecurityHeader(); }});
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

// ---------------------------------------------------------------- lifecycle

void TCEXMainWindow::FormCreate() {
  if (created_) return;
  created_ = true;
  TCFGConfig& config = CEXConfiguration();
  TTDBDebug& trace = CEXTrace();

  // Leftovers of whole-file writes a kill interrupted.
  if (const int removed = PLTRemoveTemporaryFiles(CEXsDirName); removed > 0)
    trace.TDBSimpleAddString("Removed " + std::to_string(removed) +
                             " unfinished temporary file(s) from " + CEXsDirName);
  config.CFGSetTrace(&trace);
  config_->CEXReadAtStart(view_.CEXGetGeometry());

  CEXsHelpFileName = CEXsDirName + "kalmore.hmp";
  help_->HPTSetMapFile(CEXsHelpFileName);
  files_->CEXClearFileName();
  viewState_.CEXSetHasChanged(false);

  CEXTraceAsConfigured();

  CEXLink().CEXSetNoWaitForDisconnect(true);
  std::vector<TALUAliasRow> rows;
  static_cast<void>(CEXAliasList().ALULoadConfigData(rows));

  SynchMenuItems();
  config_->CEXDisplayConfigFileName(config.CFGGetConfigFileName());
  CEXbActivationConfigRead = false;
  session_->CEXResetLogin();
  counters_.CEXReadCounters();
  trace.TDBSimpleAddString(kClassName);
  Changed(CEXpCaption | CEXpStatusBar | CEXpMemos | CEXpEdits | CEXpRadioGroups | CEXpActions);
}

void TCEXMainWindow::FormShow(const std::vector<std::string>& args) {
  Guarded([&] {
    TCFGConfig& config = CEXConfiguration();
    geometry_ = config_->CEXStoredGeometry();
    Changed(CEXpGeometry);
    SynchMenuItems();

    const TUPParams params = UPParseParamsString(args);
    const std::string configFile = Absolute(params.configFile);
    const std::string sequenceFile = Absolute(params.sequenceFile);
    CEXbAutoRun = params.run;
    if (!params.messageFile.empty()) files_->OpenMessageFile(Absolute(params.messageFile));
    if (closed_) return;
    // A configuration file that is missing is reported; the server then
    // starts from the configuration in use, as without one.
    if (configFile.empty() || !config_->CEXLoadIniFile(configFile)) {
      if (closed_) return;
      CEXLink().StartServer();
    }
    if (closed_) return;

    std::string message;
    if (config.CFGCheckFile(
            CEXAliasList(), config.CFGGetAlarmLogFileName(),
            "Can not create alarm log file (menu [admin], [alarming]): ", message) != 0)
      CEXShowMessage(message);
    if (!closed_ && !sequenceFile.empty()) CEXLoadSequenceFile(sequenceFile);
  });
  // From now on the idle pass follows what happens; nothing ticks.
  AppOnIdle();
}

void TCEXMainWindow::FormActivate() {
  Guarded([&] {
    if (!CEXbActivationConfigRead) {
      CEXbActivationConfigRead = true;
      config_->CEXLoadConfiguration(CEXConfiguration().CFGGetConfigFileName());
    }
    session_->CEXFirstLogin();
  });
}

void TCEXMainWindow::AppOnIdle() {
  if (destroyed_) return;
  ++idlePasses_;
  // A road that left the busy cursor on (a box it waits for runs this pass)
  // gives it back here.
  cursor_.CEXRestore();
  Guarded([&] {
    if (const int selected = CEXSelectedSourceLine(); selected >= 0) {
      std::string line = "line " + std::to_string(selected + 1);
      if (viewState_.CEXEdit(TCEXEdit::Edit2) != line)
        viewState_.CEXSetEdit(TCEXEdit::Edit2, std::move(line));
    }

    CEXLink().CEXIdlePass();
  });
}

bool TCEXMainWindow::FormCloseQuery(bool ask) {
  bool canClose = true;
  Guarded([&] {
    config_->CEXWriteAtClose(view_.CEXGetGeometry());
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
  closed_ = true;
  Guarded([&] {
    // No server is passed, so the server is not started again.
    static_cast<void>(CEXCommParams().TCPDisConnect(&CEXClientSocket(), nullptr));
  });
}

bool TCEXMainWindow::FormDestroy() {
  if (destroyed_) return true;
  destroyed_ = true;
  CEXLink().CEXStopTimers();
  const bool allEnded = CEXStopThreads();
  CEXLink().CEXEnd(allEnded);
  CEXCloseSharedBlock(allEnded);
  return allEnded;
}

// ------------------------------------------------------------------ actions

void TCEXMainWindow::CEXExecute(TCEXAction action) {
  if (CEXActionEnabled(action)) Run(action);
}

void TCEXMainWindow::CEXRunAction(TCEXAction action) {
  if (CEXStepEnabled(action)) Run(action);
}

bool TCEXMainWindow::CEXStepEnabled(TCEXAction action) const {
  return roads_->CEXStepEnabled(action);
}

void TCEXMainWindow::Run(TCEXAction action) {
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
      CEXReferenceTree().XMLDeleteAll();
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
      Guarded([&] { CEXSourceSelection().CEXElementCommand(action); });
      break;
    case TCEXAction::SendDataStream:
      CEXLink().Action_SendDataStreamExecute();
      break;
    case TCEXAction::HangUp:
      CEXLink().Action_HangUpExecute();
      break;
    case TCEXAction::ClearReceived:
      CEXLink().Action_ClearReceivedExecute();
      break;
    case TCEXAction::CreateXMLDoc:
      Guarded([&] { roads_->Action_CreateXMLDocExecute(); });
      break;
    case TCEXAction::TransferInputValues:
      Guarded([&] { CEXBuildRoad().Action_TransferInputValuesExecute(); });
      break;
    case TCEXAction::ImportXMLValues:
      Guarded([&] { CEXBuildRoad().Action_ImportXMLValuesExecute(); });
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
      Guarded([&] { CEXReceiveRoad().Action_ParseMessageExecute(); });
      break;
    case TCEXAction::AnalyseMessage:
      Guarded([&] { CEXReceiveRoad().Action_AnalyseMessageExecute(); });
      break;
    case TCEXAction::DecryptSecurity:
      Guarded([&] { CEXReceiveRoad().Action_DecryptSecurityExecute(); });
      break;
    case TCEXAction::ParseAndAnalyse:
      Guarded([&] { CEXReceiveRoad().Action_ParseAndAnalyseExecute(); });
      break;
    default:
      // The window, tool, help, print, view and search commands.
      Guarded([&] { static_cast<void>(commands_->CEXRun(action)); });
      break;
  }
  // What the command changed shows at once.
  AppOnIdle();
}

void TCEXMainWindow::Action_ClearAllExecute() {
  for (const TCEXMemo memo :
       {TCEXMemo::Memo1, TCEXMemo::Memo2, TCEXMemo::Memo3, TCEXMemo::Memo4, TCEXMemo::Memo6})
    viewState_.CEXSetMemo(memo, "");
  roads_->CEXClearStreams();
  CEXSourceTree().XMLDeleteAll();
  CEXReferenceTree().XMLDeleteAll();
  CEXSourceSelection().CEXSetSelectedSourceLine(-1);
  files_->CEXClearFileName();
  // Nothing is left to save.
  viewState_.CEXSetHasChanged(false);
  for (const TCEXEdit edit :
       {TCEXEdit::Edit2, TCEXEdit::Edit5, TCEXEdit::Edit6, TCEXEdit::Edit7, TCEXEdit::Edit8})
    viewState_.CEXSetEdit(edit, "");
  Changed(CEXpSourceTree | CEXpReferenceTree);
}

void TCEXMainWindow::Action_CreateAndSendExecute() {
  if (!destroyed_) roads_->Action_CreateAndSendExecute();
}

void TCEXMainWindow::Action_TransferAndSendExecute() {
  if (!destroyed_) roads_->Action_TransferAndSendExecute();
}

void TCEXMainWindow::CEXSetSelectedSourceLine(int index) {
  CEXSourceSelection().CEXSetSelectedSourceLine(index);
  AppOnIdle();
}

void TCEXMainWindow::Action_LogoutExecute() {
  Guarded([&] { session_->Action_LogoutExecute(); });
}

void TCEXMainWindow::CEXParseRunMessage() {
  Guarded([&] { CEXReceiveRoad().Action_ParseMessageExecute(); });
}

bool TCEXMainWindow::CEXActionEnabled(TCEXAction action) const {
  return actions_.CEXActionEnabled(action) && roads_->CEXStepEnabled(action);
}

void TCEXMainWindow::CEXOpenRecentFile(const TCEXRecentEntry& entry) {
  Guarded([&] { files_->CEXOpenRecentFile(entry); });
}

void TCEXMainWindow::CEXPostIdlePass() {
  // The gate runs the idle pass after every call it carries.
  CEXGate().PLTPost([] {});
}

}  // namespace kal
