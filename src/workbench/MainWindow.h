#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "workbench/ActionTable.h"
#include "workbench/ConfigCommands.h"
#include "workbench/FileOpening.h"
#include "workbench/LogPorts.h"
#include "workbench/MainWindowPorts.h"
#include "workbench/PosterGate.h"
#include "workbench/Roads.h"
#include "workbench/SharedObjects.h"
#include "workbench/UserSession.h"
#include "workbench/WindowCommands.h"
#include "workbench/WorkbenchPorts.h"

namespace kal {

class IERRErrorWindow;
class IPLTDialUpService;
class IPLTEventPoster;

// The main window's GUI-free core: the window's lifecycle (start, first
// activation, the idle pass, the close and shutdown), the shared objects it
// owns (its base, SharedObjects.h) and the roads, and the dispatch of the
// actions to them. The Qt form binds its widgets to this state and forwards
// its events here.
//
// Threads: the GUI thread only. Worker threads reach it only by posting
// through CEXPoster().
class TCEXMainWindow final : public TCEXSharedObjects {
 public:
  static constexpr const char* CEXcCaption = TCEXFileOpening::CEXcCaption;
  static constexpr int CEXcStatusPanels = TCEXViewState::CEXcStatusPanels;
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
    // The windows' help controls; null: Brontel's through the component layer.
    IHPTHelpControlFactory* helpControls = nullptr;
    // The printer and the form's search side; null: those commands do
    // nothing.
    ICEXPrinter* printer = nullptr;
    ICEXSearchView* search = nullptr;
  };

  // `programDir` ends with "/". Builds the shared objects; the form calls
  // FormCreate once its widgets exist.
  TCEXMainWindow(std::string programDir, TPorts ports);
  ~TCEXMainWindow() override;

  // The window's events, in the order they come.
  void FormCreate();
  // Geometry, command line (the program arguments without the program
  // name), start files, server start; then the idle timer runs. A step's
  // message box runs an event loop; when the window closes meanwhile (the
  // program is terminated) the start ends with that step.
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
  // Thread-safe: runs the idle pass on the GUI thread as soon as possible
  // (the mailbox calls it after a hand-off).
  void CEXPostIdlePass();

  // Actions. What the user asks for through the window runs only while it
  // is enabled: the user's rights and the road's own conditions allow it.
  void CEXExecute(TCEXAction action);
  // An action of a run the program drives (the sequence run): only the
  // road's own conditions hold it back, whoever is logged in.
  void CEXRunAction(TCEXAction action);
  bool CEXActionEnabled(TCEXAction action) const;
  // The road's own conditions alone, as a run sees them.
  bool CEXStepEnabled(TCEXAction action) const;
  // "Parse Message" of a run on the frame the receive road holds: as
  // CEXRunAction, but also before the link has seen an arrival (a load test
  // hands its threads' answers to the receive road itself).
  void CEXParseRunMessage();
  bool CEXMenuEnabled(TCEXMenu menu) const { return actions_.CEXMenuEnabled(menu); }
  void Action_ClearAllExecute();
  void Action_LogoutExecute();
  void Action_ExitExecute() { view_.CEXCloseMainWindow(); }
  // Create XML Doc, Create Data Stream and Send Data Stream in a row; a
  // step that fails ends the chain. "Transfer+Send" transfers first.
  void Action_CreateAndSendExecute();
  void Action_TransferAndSendExecute();

  // The roads and the commands (their own headers).
  TCEXBuildRoad& CEXBuildRoad() { return roads_->CEXBuildRoad(); }
  TCEXStreamRoad& CEXStreamRoad() { return roads_->CEXStreamRoad(); }
  TCEXReceiveRoad& CEXReceiveRoad() { return roads_->CEXReceiveRoad(); }
  TCEXLink& CEXLink() { return roads_->CEXLink(); }
  TCEXConfigCommands& CEXConfigCommands() { return *config_; }

  // Forwards to the roads that the form and the other windows call.
  int CEXCreateDataStream(ICEXDataStreamTaker* taker) {
    return destroyed_ ? 0 : CEXStreamRoad().CEXCreateDataStream(taker);
  }
  void Action_CreateDataStreamExecute(ICEXDataStreamTaker* taker = nullptr) {
    static_cast<void>(CEXCreateDataStream(taker));
  }
  const std::string& CEXDataStreamBytes() const {
    return roads_->CEXStreamRoad().CEXDataStreamBytes();
  }
  void RadioGroup1Click(int index) { CEXStreamRoad().RadioGroup1Click(index); }
  bool CEXParseMessageEnabled() const { return roads_->CEXLink().CEXParseMessageEnabled(); }
  void CEXOpenRecentFile(const TCEXRecentEntry& entry);
  const std::vector<TCEXRecentEntry>& CEXRecentEntries() const {
    return actions_.CEXRecentEntries();
  }
  void CEXSetMessageFileName(const std::string& path) { files_->CEXSetMessageFileName(path); }
  // Only the file name and the caption follow (a sequence run's message).
  void CEXSetFileName(const std::string& path) { files_->CEXSetFileName(path); }
  void CEXLoadSequenceFile(const std::string& fileName) { files_->CEXLoadSequenceFile(fileName); }
  // The form reports every change of the selection; the windows that
  // follow it are told.
  void CEXSetSelectedSourceLine(int index);

  // Form state.
  const TCEXGeometry& CEXGeometry() const { return geometry_; }
  bool CEXAutoRun() const { return CEXbAutoRun; }
  void CEXClearAutoRun() { CEXbAutoRun = false; }

  // ICEXMainServices: what the roads hold.
  // Memo5 and Memo6 keep their bytes in the receive and stream roads.
  void CEXSetMemo(TCEXMemo memo, const std::string& text) override {
    if (!roads_->CEXSetRoadMemo(memo, text)) viewState_.CEXSetMemo(memo, text);
  }
  void CEXHoldView(bool hold) override { viewState_.CEXHoldView(hold); }
  void CEXPaceView(bool paced) override { viewState_.CEXPaceView(paced); }
  const std::string& CEXGetFileName() const override { return files_->CEXGetFileName(); }
  void SynchMenuItems() override { session_->SynchMenuItems(); }
  void CEXLoadConfiguration(const std::string& fileName) override {
    config_->CEXLoadConfiguration(fileName);
  }
  bool CEXUserIsAdmin() const override { return session_->CEXUserIsAdmin(); }
  void CEXSetLogItemsList(ICEXLogColumns* list) override { roads_->CEXSetLogItemsList(list); }

 private:
  // Runs a road, showing what it throws.
  template <class F>
  void Guarded(F&& road);
  void Run(TCEXAction action);
  void Changed(uint32_t parts) { viewState_.CEXChanged(parts); }

  ICEXMessageFiles& messageFiles_;
  ICEXCounterLists& counters_;
  TCEXActionTable actions_;
  TCEXNoRecordingList noRecording_;
  // After the trees (in the base): the build road clears the links of the
  // source tree when it goes.
  std::unique_ptr<TCEXRoads> roads_;
  std::unique_ptr<TCEXConfigCommands> config_;
  std::unique_ptr<TCEXUserSession> session_;
  std::unique_ptr<TCEXFileOpening> files_;
  std::unique_ptr<TCEXWindowCommands> commands_;
  uint64_t idlePasses_ = 0;
  // Posted idle passes run only while the core exists.
  std::shared_ptr<int> aliveToken_ = std::make_shared<int>(0);

  TCEXGeometry geometry_;
  bool CEXbAutoRun = false;
  bool CEXbActivationConfigRead = false;
  bool created_ = false;
  bool closed_ = false;
  bool destroyed_ = false;
};

}  // namespace kal
