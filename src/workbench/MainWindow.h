#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "workbench/BuildRoad.h"
#include "workbench/BusyCursor.h"
#include "workbench/LogPorts.h"
#include "workbench/MainServices.h"
#include "workbench/MainWindowPorts.h"
#include "workbench/PosterGate.h"
#include "workbench/RunNotice.h"
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

// Whoever asked for a data stream and takes it instead of the stream view
// (the load-test thread list).
class ICEXDataStreamTaker {
 public:
  virtual ~ICEXDataStreamTaker() = default;
  virtual void SCLSetSendDataStream(const std::string& stream) = 0;
};

// The actions of the main window that exist so far.
enum class TCEXAction : int {
  LoadConfiguration,    // Action_LoadConfigurationExecute
  SaveConfFile,         // Action_SaveConfFileExecute
  SaveConfiguration,    // Action_SaveConfigurationExecute
  Logout,               // Action_LogoutExecute
  Exit,                 // Action_ExitExecute
  LoadMessage,          // Action_LoadMessageExecute
  SaveMessage,          // Action_Save_MessageExecute
  SaveMessageAs,        // Action_Save_Message_AsExecute
  LoadReadStructure,    // Action_LoadReadStructureExecute
  LoadXMLDoc,           // Action_Load_XMLDocExecute
  ClearRef,             // Action_ClearRefExecute
  ClearAll,             // Action_ClearAllExecute
  CutItem,              // Action_CutItemExecute
  CopyItem,             // Action_CopyItemExecute
  InsertItem,           // Action_InsertItemExecute
  InsertAsChild,        // Action_InsertAsChildExecute
  DeleteItem,           // Action_DeleteItemExecute
  GotoParent,           // Action_GotoParentExecute
  SendDataStream,       // Action_SendDataStreamExecute
  HangUp,               // Action_HangUpExecute
  ClearReceived,        // Action_ClearReceivedExecute
  CreateXMLDoc,         // Action_CreateXMLDocExecute
  TransferInputValues,  // Action_TransferInputValuesExecute
  ImportXMLValues,      // Action_ImportXMLValuesExecute
  CreateDataStream,     // Action_CreateDataStreamExecute
  CreateAndSend,        // Action_CreateAndSendExecute
  TransferAndSend,      // Action_TransferAndSendExecute
  ParseMessage,         // Action_ParseMessageExecute
  AnalyseMessage,       // Action_AnalyseMessageExecute
  DecryptSecurity,      // Action_DecryptSecurityExecute
  ParseAndAnalyse,      // Action_ParseAndAnalyseExecute
  EditWindow,           // Action_EditWindowExecute
  Communication,        // Action_CommunicationExecute
  Component,            // Action_ComponentExecute ("Message Header...")
  Timeouts,             // Action_TimeoutsExecute
  PlugIns,              // Action_PlugInsExecute
  DirectoryAliases,     // Action_DirectoryAliasesExecute
  Count
};

// The top-level menus, in menu-bar order.
enum class TCEXMenu : int { File, Edit, View, Parameters, Sequences, Admin, Tools, Help, Count };

struct TCEXActionInfo {
  const char* name;     // object name
  const char* caption;  // menu caption
  const char* hint;     // tool-bar hint, empty when not on the tool bar
  int tag;              // 1: administrators only
};

struct TCEXMenuInfo {
  const char* name;
  const char* caption;
  int tag;  // 1: administrators only
};

// One entry of the recent-file menus. A separator has no path.
struct TCEXRecentEntry {
  TCEXMenu menu;
  std::string caption;
  std::string path;
  int tag;
  bool separator;
  bool operator==(const TCEXRecentEntry&) const = default;
};

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
  static constexpr int CEXcStatusPanels = 4;
  static constexpr std::chrono::milliseconds CEXcIdleInterval{20};
  static constexpr std::chrono::milliseconds CEXcStatusClearInterval{2000};
  static constexpr std::chrono::milliseconds CEXcTerminateWait{8000};
  static constexpr std::chrono::milliseconds CEXcTerminatePoll{100};
  static constexpr int CEXcErrorServerSocket = 7002;
  static constexpr int CEXcErrorResponseTimeout = 7007;

  static const TCEXActionInfo& CEXActionInfo(TCEXAction action);
  static const TCEXMenuInfo& CEXMenuInfo(TCEXMenu menu);

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
  // One pass of the idle work.
  void AppOnIdle();
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
  void Action_LoadConfigurationExecute();
  void Action_SaveConfigurationExecute();
  void Action_SaveConfFileExecute();
  // The element commands on the selected source node.
  void CEXElementCommand(TCEXAction action);
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
  bool CEXLoadIniFile(const std::string& fileName);
  void CEXDisplayConfigFileName(const std::string& fileName);
  void CEXLoadSequenceFile(const std::string& fileName);

  // Arrival of a frame, on the GUI thread: Memo5 shows the received stream
  // (length bytes and body) as hex. Cancels the response time-out, raises
  // the arrival flag and runs the idle pass at once.
  void CEXFrameStored(const std::string& frame);
  // Arms the response time-out (after each send), stops it (the answer
  // began to come) and restarts the hang-up time-out (the dial-up link).
  void CEXStartResponseTimer();
  void CEXStopResponseTimer();
  void CEXRestartHangUpTimer();
  // Status panel 1, the transient status.
  void CEXSetTransientStatus(const std::string& text);
  // A server connection ended with an error: code 7002 with the text, when
  // errors are to be shown; the next one is shown in any case.
  void CEXServerError(const std::string& text);
  // Thread-safe: runs the idle pass on the GUI thread as soon as possible
  // (worker threads call it after they set a flag the idle pass reads).
  void CEXPostIdlePass();
  // The poster worker threads use; it drops what is posted after shutdown.
  IPLTEventPoster& CEXPoster();
  TPLTTcpServer& CEXServer();
  TTERThreadSynch& CEXThreadSynch() override;
  TTHXMailBox& CEXMailBox() override;

  // Form state.
  const std::string& CEXCaption() const { return caption_; }
  const std::string& CEXStatusText(int panel) const { return status_.at(panel); }
  bool CEXActionEnabled(TCEXAction action) const;
  bool CEXMenuEnabled(TCEXMenu menu) const;
  const std::vector<TCEXRecentEntry>& CEXRecentEntries() const { return recent_; }
  bool CEXSecurityHeaderVisible() const { return securityHeaderVisible_; }
  void CEXSetSecurityHeader(int index) { securityHeader_ = index; }
  void CEXSetAddMsgNum(int index) { addMsgNum_ = index; }
  bool CEXParseMessageEnabled() const { return parseMessageEnabled_; }
  const TCEXGeometry& CEXGeometry() const { return geometry_; }
  // Absolute index of the selected source node in tree order; -1: none.
  // The form reports every change of the selection; the windows that
  // follow it are told.
  void CEXSetSelectedSourceLine(int index);
  int CEXSelectedSourceLine() const { return selectedSourceLine_; }
  // The caret moved in Memo2 (a click or key release there): Edit5 shows
  // its line, counted from 1 over Memo2's text. `index` is the line's
  // index from 0 in what the memo shows, which starts with that text.
  void CEXSetMemo2CaretLine(int index);
  // Whether the source tree has the input focus (the element commands
  // work on it only then).
  void CEXSetSourceTreeFocused(bool focused) { sourceTreeFocused_ = focused; }
  int CEXArrivalFlag() const { return arrival_; }
  bool CEXHasChanged() const { return CEXbHasChanged; }
  void CEXSetHasChanged(bool changed) { CEXbHasChanged = changed; }
  // Makes `path` the message file of the source tree: the caption, the
  // message directory and the recent message files follow.
  void CEXSetMessageFileName(const std::string& path);
  bool CEXNoWaitForDisconnect() const { return CEXbNoWaitForDisconnect; }
  void CEXSetNoWaitForDisconnect(bool open) { CEXbNoWaitForDisconnect = open; }
  bool CEXAutoRun() const { return CEXbAutoRun; }
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
  int CEXGetSecurityHeader() const override { return securityHeader_; }
  int CEXGetAddMsgNum() const override { return addMsgNum_; }
  const std::string& CEXGetFileName() const override { return CEXsFileName; }
  void CEXStateChanged(uint32_t parts) override { view_.CEXChanged(parts); }
  TCEXGeometry CEXWindowBounds() override { return view_.CEXGetGeometry(); }
  TXMLTreeNode* CEXSelectedSourceNode() const override;
  void CEXSubscribeSourceSelection(ICEXSourceSelectionListener& listener) override;
  void CEXUnsubscribeSourceSelection(ICEXSourceSelectionListener& listener) override;
  TCEXCursorState& CEXCursor() override { return cursor_; }
  TCEXModalResult CEXOpenWindow(TCEXWindow window, bool modal) override;
  void SynchMenuItems() override;
  void CEXLoadConfiguration(const std::string& fileName) override;
  bool CEXTerminateThreads() override;
  bool CEXUserIsAdmin() const override { return CEXbIsAdmin; }
  void CEXSetLogItemsList(ICEXLogColumns* list) override {
    buildRoad_->CEXSetLogItemsList(list);
    receiveLogColumns_ = list;
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
  void Changed(uint32_t parts) { view_.CEXChanged(parts); }
  void SetStatus(int panel, const std::string& text);
  void UpdateServerPanel();
  void UpdateSecurityHeader();
  void StartServer();
  void ShowServerFailure(int code, const std::string& reason);
  void OpenMessageFile(const std::string& path);
  void WriteConfiguration(const std::string& fileName);
  std::string ConfigPath(const std::string& fileName) const;
  void ApplyRights();
  void OnResponseTimeout();
  void OnStatusClear();
  void OnHangUpTimeout();
  // Tells the visible windows that follow the source tree's selection.
  void SourceSelectionChanged();

  std::string CEXsDirName;
  std::string CEXsHelpFileName;
  ICEXView& view_;
  // The busy cursor; every dialog, message box and error window the core
  // shows puts the default cursor back first.
  TCEXCursorState cursor_;
  TCEXCursorDialogs cursorDialogs_;
  TCEXCursorErrorWindow cursorErrorWindow_;
  ICEXDialogs& dialogs_;
  IERRErrorWindow& errorWindow_;
  ICEXWindows* windows_;
  std::vector<ICEXSourceSelectionListener*> selectionListeners_;
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
  TCEXNoRecordingList noRecording_;
  TCEXRunNotice runNotice_;
  // Declared after the trees: the road clears the links of the source tree
  // when it goes.
  std::unique_ptr<TCEXBuildRoad> buildRoad_;
  std::unique_ptr<ICEXTimer> Timer1;  // response time-out
  std::unique_ptr<ICEXTimer> Timer3;  // clears status panel 1
  std::unique_ptr<ICEXTimer> Timer4;  // modem hang-up time-out
  std::unique_ptr<ICEXTimer> idleTimer_;
  // Posted idle passes run only while the core exists.
  std::shared_ptr<int> aliveToken_ = std::make_shared<int>(0);

  std::string caption_;
  std::array<std::string, CEXcStatusPanels> status_;
  std::array<std::string, 6> memos_;
  std::array<std::string, 8> edits_;
  int securityHeader_ = 1;
  int addMsgNum_ = 0;
  bool securityHeaderVisible_ = true;
  bool parseMessageEnabled_ = false;
  TCEXGeometry geometry_;
  std::array<bool, static_cast<size_t>(TCEXAction::Count)> actionEnabled_;
  std::array<bool, static_cast<size_t>(TCEXMenu::Count)> menuEnabled_;
  std::vector<TCEXRecentEntry> recent_;
  int selectedSourceLine_ = -1;
  int arrival_ = 0;  // the arrival flag: 1 when a received frame waits
  // Sends and answers counted, so that a time-out firing after the answer
  // to the last send is ignored.
  uint64_t sends_ = 0;
  uint64_t answeredSend_ = 0;

  std::string CEXsFileName;
  std::string CEXsAutoLoadConfigFile;
  std::string CEXsAutoLoadSequenceFile;
  bool CEXbAutoRun = false;
  bool CEXbNoWaitForDisconnect = true;
  bool sourceTreeFocused_ = false;
  bool CEXbHasChanged = false;
  bool CEXbIsAdmin = false;
  bool CEXbLoginDone = false;
  bool CEXbActivationConfigRead = false;
  bool created_ = false;
  bool destroyed_ = false;

  // ------------------------------------------------------------------
  // Connections: the client socket's events, the client receive thread,
  // the server connections, sending as client or server, Hang Up.
  // (MainWindowConnections.cpp)
 public:
  // The client socket's events; the core binds them to its own socket.
  void CTPClientSocketPPP1Lookup();
  void CTPClientSocketPPP1Connecting();
  // Starts a receive thread on the new connection; unless the socket's tag
  // says that someone else sends, the stream goes out once the connection
  // delay (a one-shot timer) has passed.
  void CTPClientSocketPPP1Connect();
  void CTPClientSocketPPP1Read(const std::string& data);
  void CTPClientSocketPPP1Disconnect();
  void CTPClientSocketPPP1Error(int code);
  void CTPClientSocketPPP1DialError();
  // Stops the client receive thread and frees it once it has ended; a
  // thread that does not end within CEXcClientThreadWait is kept (never
  // freed while it runs) and freed when it has ended.
  void CEXTerminateClient();

  void Action_SendDataStreamExecute();
  void Action_ClearReceivedExecute();
  void Action_HangUpExecute();
  // Sends CEXsSendString through the client connection, or loops it back
  // into Memo5 on the local line.
  void CEXSendBytes();

  // The client socket's tag: 0 lets the connect event send the stream;
  // another value leaves the sending to whoever connected.
  int CEXClientSocketTag() const { return CEXiClientSocketTag; }
  void CEXSetClientSocketTag(int tag) { CEXiClientSocketTag = tag; }
  // The stream last handed to the connection for sending.
  const std::string& CEXSendString() const { return CEXsSendString; }
  // Whether a client receive thread exists (running or not yet freed).
  bool CEXHasClientThread() const { return CEXaClientThread != nullptr; }
  // Whether a send waits for the connection delay.
  bool CEXSendPendingDelay() const;

  // Polls of CEXTerminateClient: 501 times 10 ms.
  static constexpr int CEXcClientThreadPolls = 501;
  static constexpr std::chrono::milliseconds CEXcClientThreadPoll{10};
  // The local loop takes streams from this length on.
  static constexpr size_t CEXcLocalLoopMinimum = 4000;

 private:
  // Binds the client events, makes the connection-delay timer and installs
  // the server's connection handlers (from the constructor).
  void CEXInitConnections(ICEXTimerFactory& timers);
  // At shutdown, after the worker threads were waited for.
  void CEXEndConnections(bool allEnded);
  // The receive view the worker threads post to (MainWindow.cpp).
  ITHReceiveView& CEXReceiveView();
  void OnConnectionDelay();
  void ReapLateClientThreads();

  std::string CEXsSendString;
  int CEXiClientSocketTag = 0;
  std::unique_ptr<TTHCClientThread> CEXaClientThread;
  // Client threads that did not end in time; freed once they have.
  std::vector<std::unique_ptr<TTHCClientThread>> lateClientThreads_;
  std::unique_ptr<ICEXTimer> connectionDelayTimer_;

  // ------------------------------------------------------------------
  // Create Data Stream: the frame of the built document, the chains
  // "Create + Send" and "Transfer+Send", and the "Security header" choice.
  // (MainWindowStream.cpp)
 public:
  // The header items of the stream being made: sender and owner id with
  // their types, and the component secret (hex text).
  struct TCEXHeaderItems {
    std::string senderID;
    int senderIDType = 0;
    std::string ownerID;
    int ownerIDType = 0;
    std::string componentSecret;
  };
  // The ids the last build took from the message, else the configured
  // ones; a sender id equal to the previous message's brings back that
  // message's secret when this one gave none.
  TCEXHeaderItems CEXGetTempHeaderItems();

  // Frames Memo1's document. The stream goes to `taker` when one asked for
  // it, else into the stream view (Memo6, with its bytes kept here). 0, or
  // the code that was reported.
  int CEXCreateDataStream(ICEXDataStreamTaker* taker);
  void Action_CreateDataStreamExecute(ICEXDataStreamTaker* taker = nullptr) {
    static_cast<void>(CEXCreateDataStream(taker));
  }
  // Create XML Doc, Create Data Stream and Send Data Stream in a row; a
  // step that fails ends the chain. "Transfer+Send" transfers first.
  void Action_CreateAndSendExecute();
  void Action_TransferAndSendExecute();
  // "Security header": 0 MAC only, 1 complete security header; stored in
  // the configuration's MAC-only setting at once.
  void RadioGroup1Click(int index);

  // The stream the stream view shows, as bytes: the one made last while
  // the view still shows it, else the view's hex text.
  std::string CEXDataStreamBytes() const;

  static constexpr const char* CEXcDataStreamError = "error during generation of data stream";

 private:
  void ReportStreamError(int code, const std::string& text);

  // The bytes of the stream in Memo6 while Memo6 shows it unchanged.
  std::string CEXsDataStream;
  bool dataStreamShown_ = false;
  ICEXRecordingList* recording_ = nullptr;

  // ------------------------------------------------------------------
  // Receive road: parse, analyse and decrypt the received message.
  // (MainWindowReceive.cpp)
 public:
  static constexpr int CEXcErrorBaseStream = 1000;
  static constexpr int CEXcErrorBaseParse = 3000;
  static constexpr int CEXcErrorMissingElement = 7004;
  static constexpr int CEXcErrorFixedValue = 7005;
  static constexpr int CEXcErrorUnexpectedMessage = 7006;
  static constexpr int CEXcErrorLookup = 7022;
  // AnalyseMessage without a reference structure: no error, Memo3 says so.
  static constexpr int CEXcNoReference = 1;

  // "Parse Message": splits the stream of Memo5 (or, when Memo5 already
  // shows the formatted stream, the stored bytes) into its header items
  // and the XML document, passes the document through the incoming
  // plug-in and parses it. Memo4 gets the header items, Memo5 the
  // formatted stream, Memo2 the document, Edit3 the message number.
  void Action_ParseMessageExecute();
  // "Analyse Message": compares the received message with the reference
  // tree; Memo3 gets one line per reference node ("No reference structure
  // loaded" without one, and "Parse + Analyse" then still verifies the
  // security header and the MAC).
  void Action_AnalyseMessageExecute();
  // "Decrypt Security": the session key (from the cryptogram or the
  // previous message), the MAC, the encrypted items and the certificates.
  void Action_DecryptSecurityExecute();
  // "Parse + Analyse": the three in a row, each after the success of the
  // one before.
  void Action_ParseAndAnalyseExecute();

  // The steps of "Decrypt Security"; 0 or the failing code.
  [[nodiscard]] int AnalyseSecurityHeader();
  [[nodiscard]] int AnalyseSecurityItems();
  [[nodiscard]] int CEXVerifyATC();

  // The received stream as bytes, kept while Memo5 shows it formatted.
  const std::string& CEXReceivedBuffer() const { return CEXaBuf; }
  // The received message's name and root element (null before a parse
  // succeeded); valid while the received document lives.
  const std::string& CEXReceivedRoot() const { return CEXsRoot; }
  TVxXMLElement* CEXReceivedElement() const { return CEXaVxXMLElementParentIn; }

 private:
  [[nodiscard]] int ParseMessage();
  [[nodiscard]] int AnalyseMessage();
  [[nodiscard]] int DecryptSecurity();
  void ReceiveError(int code, const std::string& text);
  // "Decrypt Security" is enabled once a frame was split and a session key
  // or a cryptogram is there to use.
  void RefreshDecryptEnabled();
  void AddMemo4Line(const std::string& line);
  void DisplayElement(const std::string& name, const std::string& value, bool found, bool mandatory,
                      bool fixedDiffers, bool group, const std::string& referenceValue, int level);
  void DisplayContainer(const std::string& name, bool found, bool mandatory, bool group, int level);
  // Memo3 and its lines while an analysis runs (set once at the end).
  std::string memo3_;
  bool analyseEnabled_ = false;
  bool decryptEnabled_ = false;
  bool frameSplit_ = false;  // the last parse split its frame
  bool receiveBusy_ = false;
  ICEXLogColumns* receiveLogColumns_ = nullptr;
  TCEXPlugInCall receivePlugIn_ = nullptr;
  std::string CEXaBuf;
  std::string CEXsRoot;
  // The parser is declared before its document, which points at it.
  std::unique_ptr<TVxXMLParser> CEXaVxXMLParser;
  std::unique_ptr<TVxXMLDocument> CEXaVxXMLDocument;
  TVxXMLElement* CEXaVxXMLElementParentIn = nullptr;
};

}  // namespace kal
