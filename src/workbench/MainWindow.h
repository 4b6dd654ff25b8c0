#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "workbench/ActionTable.h"
#include "workbench/BuildRoad.h"
#include "workbench/BusyCursor.h"
#include "workbench/ConfigCommands.h"
#include "workbench/Link.h"
#include "workbench/LogPorts.h"
#include "workbench/MainServices.h"
#include "workbench/MainWindowPorts.h"
#include "workbench/PosterGate.h"
#include "workbench/ReceiveRoad.h"
#include "workbench/RunNotice.h"
#include "workbench/SourceSelection.h"
#include "workbench/StreamRoad.h"
#include "workbench/ViewState.h"
#include "workbench/WorkbenchPorts.h"

namespace kal {

class IERRErrorWindow;
class IPLTDialUpService;
class TPLTTcpServer;
class ISDCConfiguration;
class ISDCReportList;
class IPLTConnectionHandler;
class ITHReceiveView;
class TPLTStreamSocket;
class TTHCClientThread;

// The main window's GUI-free core: the frame of the window (its state, the
// shared objects it owns, start, first activation, the idle pass, the
// timers, the configuration-file commands, the login and rights, and the
// close and shutdown) and the hub the other windows reach. The Qt form binds
// its widgets to this state and forwards its events here.
//
// Threads: the GUI thread only. Worker threads reach it only by posting
// through CEXPoster().
class TCEXMainWindow final : public ICEXMainServices {
 public:
  static constexpr const char* CEXcCaption = "Dorva ep2 Interface Tester";
  static constexpr int CEXcStatusPanels = TCEXViewState::CEXcStatusPanels;
  static constexpr std::chrono::milliseconds CEXcTerminateWait{8000};
  static constexpr std::chrono::milliseconds CEXcTerminatePoll{100};
  static constexpr int CEXcErrorServerSocket = TCEXLink::CEXcErrorServerSocket;

  static const TCEXActionInfo& CEXActionInfo(TCEXAction action) {
    return TCEXActionTable::CEXActionInfo(action);
  }
  static const TCEXMenuInfo& CEXMenuInfo(TCEXMenu menu) {
    return TCEXActionTable::CEXMenuInfo(menu);
  }

  // The ports; none is owned. Every reference must outlive the core.
  // `sequenceWindow` may be null (no sequence window).
  struct TPorts {
    ICEXView& view;
    ICEXDialogs& dialogs;
    IERRErrorWindow& errorWindow;
    ICEXTimerFactory& timers;
    ICEXClock& clock;
    IPLTEventPoster& poster;
    IPLTDialUpService* dialUp = nullptr;
    ISECRandomSource* random = nullptr;  // null: the system's generator
    ICEXMessageFiles& messageFiles;
    ICEXCounterLists& counters;
    ICEXLogin& login;
    ICEXSequenceWindow* sequenceWindow = nullptr;
    // The EMV recording list; null: none yet.
    ICEXRecordingList* recording = nullptr;
    // The plug-in call of outgoing documents; null: PLGRunPlugin.
    TCEXPlugInCall plugIn = nullptr;
    // The mouse cursor; null: none shown.
    ICEXCursor* cursor = nullptr;
    // The windows the commands open; null: none (opening does nothing).
    ICEXWindows* windows = nullptr;
  };

  // `programDir` ends with "/". Builds the shared objects; the form calls
  // FormCreate once its widgets exist.
  TCEXMainWindow(std::string programDir, TPorts ports);
  ~TCEXMainWindow() override;
  TCEXMainWindow(const TCEXMainWindow&) = delete;
  TCEXMainWindow& operator=(const TCEXMainWindow&) = delete;

  // The window's events, in the order they come.
  void FormCreate();
  // Geometry, command line (the program arguments without the program
  // name), start files, server start; then the idle timer runs.
  void FormShow(const std::vector<std::string>& args);
  // Every activation; only the first does anything.
  void FormActivate();
  // One pass of the idle work. It runs after every call the worker threads
  // post (through the gate), every command, every timer that is due and a
  // change of the source selection; nothing runs it on a tick.
  void AppOnIdle();
  // The idle passes run so far.
  uint64_t CEXIdlePasses() const { return idlePasses_; }
  // True when the window may close. With `ask` false (the program is
  // terminated) nothing is asked: unsaved changes of the source tree stay
  // unsaved and the window closes.
  bool FormCloseQuery(bool ask = true);
  void FormClose();
  // Stops the link and the receive threads. True when every thread ended in
  // time; otherwise the shared objects are kept for the rest of the process
  // so that no late thread finds them freed.
  bool FormDestroy();

  // Actions.
  void CEXExecute(TCEXAction action);
  void Action_ClearAllExecute();
  void Action_LogoutExecute();
  void Action_ExitExecute();
  // The build road: "Create XML Doc", "Transfer Input Values" and "Import
  // XML Values".
  TCEXBuildRoad& CEXBuildRoad() { return *buildRoad_; }
  // A recent-file entry was chosen.
  void CEXOpenRecentFile(const TCEXRecentEntry& entry);

  // Configuration files. CEXLoadIniFile: false (and a message) when the file
  // does not exist.
  // (ConfigCommands.h)
  bool CEXLoadIniFile(const std::string& fileName) { return config_->CEXLoadIniFile(fileName); }
  void CEXDisplayConfigFileName(const std::string& fileName) {
    config_->CEXDisplayConfigFileName(fileName);
  }
  void CEXLoadSequenceFile(const std::string& fileName);

  // The link: connections, sending, timers, server start and status
  // panels (Link.h).
  TCEXLink& CEXLink() { return *link_; }
  // Thread-safe: runs the idle pass on the GUI thread as soon as possible
  // (the mailbox calls it after a hand-off).
  void CEXPostIdlePass();
  // The poster worker threads use; it drops what is posted after shutdown.
  IPLTEventPoster& CEXPoster();
  TPLTTcpServer& CEXServer();
  TTERThreadSynch& CEXThreadSynch() override;
  TTHXMailBox& CEXMailBox() override;

  // Form state.
  TCEXViewState& CEXViewState() { return viewState_; }
  const std::string& CEXCaption() const { return viewState_.CEXCaption(); }
  const std::string& CEXStatusText(int panel) const { return viewState_.CEXStatus(panel); }
  bool CEXActionEnabled(TCEXAction action) const;
  bool CEXMenuEnabled(TCEXMenu menu) const { return actions_.CEXMenuEnabled(menu); }
  const std::vector<TCEXRecentEntry>& CEXRecentEntries() const {
    return actions_.CEXRecentEntries();
  }
  bool CEXSecurityHeaderVisible() const { return viewState_.CEXSecurityHeaderVisible(); }
  void CEXSetSecurityHeader(int index) { viewState_.CEXSetSecurityHeader(index); }
  void CEXSetAddMsgNum(int index) { viewState_.CEXSetAddMsgNum(index); }
  bool CEXParseMessageEnabled() const { return link_->CEXParseMessageEnabled(); }
  const TCEXGeometry& CEXGeometry() const { return geometry_; }
  // Absolute index of the selected source node in tree order; -1: none.
  // The form reports every change of the selection; the windows that
  // follow it are told.
  void CEXSetSelectedSourceLine(int index);
  int CEXSelectedSourceLine() const { return selection_->CEXSelectedSourceLine(); }
  // The source selection and the element commands (SourceSelection.h).
  TCEXSourceSelection& CEXSourceSelection() { return *selection_; }
  // The caret moved in Memo2 (a click or key release there): Edit5 shows
  // its line, counted from 1 over Memo2's text. `index` is the line's
  // index from 0 in what the memo shows, which starts with that text.
  void CEXSetMemo2CaretLine(int index) { selection_->CEXSetMemo2CaretLine(index); }
  // Whether the source tree has the input focus (the element commands
  // work on it only then).
  void CEXSetSourceTreeFocused(bool focused) { selection_->CEXSetSourceTreeFocused(focused); }
  bool CEXHasChanged() const { return viewState_.CEXHasChanged(); }
  void CEXSetHasChanged(bool changed) { viewState_.CEXSetHasChanged(changed); }
  // Makes `path` the message file of the source tree: the caption, the
  // message directory and the recent message files follow.
  void CEXSetMessageFileName(const std::string& path);
  // Only the file name and the caption follow (a sequence run's message).
  void CEXSetFileName(const std::string& path);
  bool CEXAutoRun() const { return CEXbAutoRun; }
  void CEXClearAutoRun() { CEXbAutoRun = false; }
  const std::string& CEXAutoLoadConfigFile() const { return CEXsAutoLoadConfigFile; }
  const std::string& CEXAutoLoadSequenceFile() const { return CEXsAutoLoadSequenceFile; }

  // ICEXMainServices
  TTDBDebug& CEXTrace() override;
  TCFGConfig& CEXConfiguration() override;
  TTCPCommParams& CEXCommParams() override;
  TCTPClientSocketPPP& CEXClientSocket() override;
  TALUAliasList& CEXAliasList() override { return *aliases_; }
  TUACEditElement& CEXEditElement() override { return *editElement_; }
  TSECep2Security& CEXSecurity() override { return *security_; }
  TIBSaEp2ByteStream& CEXByteStream() override { return *byteStream_; }
  TSDCSecurityDecryption& CEXSecurityDecryption() override { return *securityDecryption_; }
  ISECRandomSource& CEXRandomSource() override { return random_; }
  const std::string& CEXDirName() const override { return CEXsDirName; }
  const std::string& CEXHelpFileName() const override { return CEXsHelpFileName; }
  TXMLMessageTree& CEXSourceTree() override { return *sourceTree_; }
  TXMLMessageTree& CEXReferenceTree() override { return *referenceTree_; }
  const std::string& CEXGetMemo(TCEXMemo memo) const override;
  void CEXSetMemo(TCEXMemo memo, const std::string& text) override;
  const std::string& CEXGetEdit(TCEXEdit edit) const override;
  void CEXSetEdit(TCEXEdit edit, const std::string& text) override;
  int CEXGetSecurityHeader() const override { return viewState_.CEXSecurityHeader(); }
  int CEXGetAddMsgNum() const override { return viewState_.CEXAddMsgNum(); }
  const std::string& CEXGetFileName() const override { return CEXsFileName; }
  void CEXStateChanged(uint32_t parts) override { view_.CEXChanged(parts); }
  TCEXGeometry CEXWindowBounds() override { return view_.CEXGetGeometry(); }
  TXMLTreeNode* CEXSelectedSourceNode() const override {
    return selection_->CEXSelectedSourceNode();
  }
  void CEXSubscribeSourceSelection(ICEXSourceSelectionListener& listener) override {
    selection_->CEXSubscribeSourceSelection(listener);
  }
  void CEXUnsubscribeSourceSelection(ICEXSourceSelectionListener& listener) override {
    selection_->CEXUnsubscribeSourceSelection(listener);
  }
  TCEXCursorState& CEXCursor() override { return cursor_; }
  TCEXModalResult CEXOpenWindow(TCEXWindow window, bool modal) override;
  void SynchMenuItems() override;
  void CEXLoadConfiguration(const std::string& fileName) override {
    config_->CEXLoadConfiguration(fileName);
  }
  bool CEXTerminateThreads() override;
  bool CEXUserIsAdmin() const override { return CEXbIsAdmin; }
  void CEXSetLogItemsList(ICEXLogColumns* list) override {
    buildRoad_->CEXSetLogItemsList(list);
    receiveRoad_->CEXSetLogItemsList(list);
  }

  // ICEXErrorHandOff: an error goes to a visible sequence window; false when
  // there is none, and the caller shows the error itself.
  bool CEXLogError(int errorId, const std::string& errorText, bool groupValue) override;
  void ERRSetErrorMessage(int code, const std::string& text) override;
  // While a run has the notice on, texts go there (and to the trace)
  // instead of a message box.
  void CEXShowMessage(const std::string& text) override;
  TCEXRunNotice& CEXRunNotice() { return runNotice_; }

 private:
  // The objects worker threads may touch. They are freed only when every
  // thread has ended.
  struct TShared;

  // Runs a road, showing what it throws.
  template <class F>
  void Guarded(F&& road);
  void Changed(uint32_t parts) { viewState_.CEXChanged(parts); }
  void SetStatus(int panel, const std::string& text) { viewState_.CEXSetStatus(panel, text); }
  void OpenMessageFile(const std::string& path);
  void ApplyRights();  // the user's rights in the action table

  std::string CEXsDirName;
  std::string CEXsHelpFileName;
  ICEXView& view_;
  TCEXViewState viewState_;
  TCEXActionTable actions_;
  // The busy cursor; every dialog, message box and error window the core
  // shows puts the default cursor back first.
  TCEXCursorState cursor_;
  TCEXCursorDialogs cursorDialogs_;
  TCEXCursorErrorWindow cursorErrorWindow_;
  ICEXDialogs& dialogs_;
  IERRErrorWindow& errorWindow_;
  ICEXWindows* windows_;
  ICEXClock& clock_;
  ICEXMessageFiles& messageFiles_;
  ICEXCounterLists& counters_;
  ICEXLogin& login_;
  ICEXSequenceWindow* sequence_;

  std::shared_ptr<TShared> shared_;
  std::unique_ptr<TALUAliasList> aliases_;
  std::unique_ptr<TUACEditElement> editElement_;
  ISECRandomSource& random_;
  std::unique_ptr<TSECep2Security> security_;
  std::unique_ptr<TIBSaEp2ByteStream> byteStream_;
  std::unique_ptr<ISDCConfiguration> securityConfig_;
  std::unique_ptr<ISDCReportList> securityReport_;
  std::unique_ptr<TSDCSecurityDecryption> securityDecryption_;
  std::unique_ptr<TXMLMessageTree> sourceTree_;
  std::unique_ptr<TXMLMessageTree> referenceTree_;
  std::unique_ptr<TCEXSourceSelection> selection_;
  TCEXNoRecordingList noRecording_;
  TCEXRunNotice runNotice_;
  // Declared after the trees: the road clears the links of the source tree
  // when it goes.
  std::unique_ptr<TCEXBuildRoad> buildRoad_;
  uint64_t idlePasses_ = 0;
  // Posted idle passes run only while the core exists.
  std::shared_ptr<int> aliveToken_ = std::make_shared<int>(0);

  TCEXGeometry geometry_;

  std::string CEXsFileName;
  std::string CEXsAutoLoadConfigFile;
  std::string CEXsAutoLoadSequenceFile;
  bool CEXbAutoRun = false;
  bool CEXbIsAdmin = false;
  bool CEXbLoginDone = false;
  bool CEXbActivationConfigRead = false;
  bool created_ = false;
  bool destroyed_ = false;

  // The receive view the worker threads post to (MainWindow.cpp).
  ITHReceiveView& CEXReceiveView();
  std::unique_ptr<TCEXConfigCommands> config_;
  std::unique_ptr<TCEXLink> link_;

  // ------------------------------------------------------------------
  // The stream road: "Create Data Stream" and the "Security header" choice
  // (StreamRoad.h); the chains "Create + Send" and "Transfer+Send".
 public:
  using TCEXHeaderItems = kal::TCEXHeaderItems;
  static constexpr int CEXcErrorBaseStream = TCEXStreamRoad::CEXcErrorBaseStream;
  static constexpr const char* CEXcDataStreamError = TCEXStreamRoad::CEXcDataStreamError;
  TCEXStreamRoad& CEXStreamRoad() { return *streamRoad_; }
  int CEXCreateDataStream(ICEXDataStreamTaker* taker) {
    return destroyed_ ? 0 : streamRoad_->CEXCreateDataStream(taker);
  }
  void Action_CreateDataStreamExecute(ICEXDataStreamTaker* taker = nullptr) {
    static_cast<void>(CEXCreateDataStream(taker));
  }
  const std::string& CEXDataStreamBytes() const { return streamRoad_->CEXDataStreamBytes(); }
  void RadioGroup1Click(int index) { streamRoad_->RadioGroup1Click(index); }
  // Create XML Doc, Create Data Stream and Send Data Stream in a row; a
  // step that fails ends the chain. "Transfer+Send" transfers first.
  void Action_CreateAndSendExecute();
  void Action_TransferAndSendExecute();

 private:
  ICEXRecordingList* recording_ = nullptr;
  std::unique_ptr<TCEXStreamRoad> streamRoad_;

  // ------------------------------------------------------------------
  // The receive road: "Parse Message", "Analyse Message", "Decrypt
  // Security" (ReceiveRoad.h).
 public:
  TCEXReceiveRoad& CEXReceiveRoad() { return *receiveRoad_; }
  const std::string& CEXReceivedBuffer() const { return receiveRoad_->CEXReceivedBuffer(); }
  const std::string& CEXReceivedRoot() const { return receiveRoad_->CEXReceivedRoot(); }

 private:
  std::unique_ptr<TCEXReceiveRoad> receiveRoad_;
};

}  // namespace kal
