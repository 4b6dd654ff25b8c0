#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "support/HelpPort.h"
#include "workbench/BusyCursor.h"
#include "workbench/MainServices.h"
#include "workbench/MainWindowPorts.h"
#include "workbench/Printouts.h"
#include "workbench/RunNotice.h"
#include "workbench/Searches.h"
#include "workbench/SourceSelection.h"
#include "workbench/ViewState.h"

namespace kal {

class IERRErrorWindow;
class IPLTDialUpService;
class IPLTEventPoster;
class ISDCConfiguration;
class ISDCReportList;
class ITHReceiveView;
class ICEXSequenceWindow;
class TCEXLink;
class TCEXPosterGate;
class TPLTTcpServer;

// The objects the main window owns for the whole run and the locator other
// windows reach them by (ICEXMainServices): the block worker threads may
// touch, the ep2 cryptography, frame converter and received-message
// security, the two trees and the source selection, the view state, the
// busy cursor, and where errors and messages go. The main window derives
// from it and adds the roads, the lifecycle and the dispatch.
//
// Threads: the GUI thread only. Worker threads reach it only by posting
// through CEXPoster().
class TCEXSharedObjects : public ICEXMainServices, public ICEXWindows {
 public:
  static constexpr std::chrono::milliseconds CEXcTerminateWait{8000};
  static constexpr std::chrono::milliseconds CEXcTerminatePoll{100};

  // None is owned; every reference must outlive the objects.
  struct TPorts {
    ICEXView& view;
    ICEXTimerFactory* timers;  // pace the view while a load test runs; null: no pacing
    ICEXDialogs& dialogs;
    IERRErrorWindow& errorWindow;
    ICEXClock& clock;
    IPLTEventPoster& poster;
    IPLTDialUpService* dialUp;
    ISECRandomSource* random;  // null: the system's generator
    ICEXCursor* cursor;        // null: none shown
    ICEXWindows* windows;      // null: opening a window does nothing
    ICEXSequenceWindow* sequence;
    // The windows' help controls; null: Brontel's through the component layer.
    IHPTHelpControlFactory* helpControls = nullptr;
    // The printer and the form's search side; null: those commands do
    // nothing.
    ICEXPrinter* printer = nullptr;
    ICEXSearchView* search = nullptr;
  };

  // `programDir` ends with "/" (added when missing).
  TCEXSharedObjects(std::string programDir, TPorts ports);
  ~TCEXSharedObjects() override;
  TCEXSharedObjects(const TCEXSharedObjects&) = delete;
  TCEXSharedObjects& operator=(const TCEXSharedObjects&) = delete;

  // The poster worker threads use; it drops what is posted after shutdown.
  IPLTEventPoster& CEXPoster();
  TPLTTcpServer& CEXServer();

  // Form state.
  TCEXViewState& CEXViewState() { return viewState_; }
  const std::string& CEXCaption() const { return viewState_.CEXCaption(); }
  const std::string& CEXStatusText(int panel) const { return viewState_.CEXStatus(panel); }
  bool CEXSecurityHeaderVisible() const { return viewState_.CEXSecurityHeaderVisible(); }
  void CEXSetSecurityHeader(int index) { viewState_.CEXSetSecurityHeader(index); }
  void CEXSetAddMsgNum(int index) { viewState_.CEXSetAddMsgNum(index); }
  bool CEXHasChanged() const { return viewState_.CEXHasChanged(); }
  void CEXSetHasChanged(bool changed) { viewState_.CEXSetHasChanged(changed); }
  TCEXRunNotice& CEXRunNotice() { return runNotice_; }

  // The source selection and the element commands (SourceSelection.h).
  TCEXSourceSelection& CEXSourceSelection() { return *selection_; }
  // Absolute index of the selected source node in tree order; -1: none.
  int CEXSelectedSourceLine() const { return selection_->CEXSelectedSourceLine(); }
  // The caret moved in Memo2 (a click or key release there): Edit5 shows
  // its line, counted from 1 over Memo2's text. `index` is the line's
  // index from 0 in what the memo shows, which starts with that text.
  void CEXSetMemo2CaretLine(int index) { selection_->CEXSetMemo2CaretLine(index); }
  // Whether the source tree has the input focus (the element commands
  // work on it only then).
  void CEXSetSourceTreeFocused(bool focused) { selection_->CEXSetSourceTreeFocused(focused); }
  // "Find..." and "Find next" (Searches.h), also for the memo pop-up.
  TCEXSearches& CEXSearches() { return *searches_; }
  // "Print...", "Print Setup..." and "Print to File..." (Printouts.h).
  TCEXPrintouts& CEXPrintouts() { return *printouts_; }

  // ICEXMainServices: the shared objects and the state.
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
  TTERThreadSynch& CEXThreadSynch() override;
  TTHXMailBox& CEXMailBox() override;
  const std::string& CEXDirName() const override { return CEXsDirName; }
  const std::string& CEXHelpFileName() const override { return CEXsHelpFileName; }
  THPTHelpPort& CEXHelp() override { return *help_; }
  TXMLMessageTree& CEXSourceTree() override { return *sourceTree_; }
  TXMLMessageTree& CEXReferenceTree() override { return *referenceTree_; }
  const std::string& CEXGetMemo(TCEXMemo memo) const override { return viewState_.CEXMemo(memo); }
  const std::string& CEXGetEdit(TCEXEdit edit) const override { return viewState_.CEXEdit(edit); }
  void CEXSetEdit(TCEXEdit edit, const std::string& text) override {
    viewState_.CEXSetEdit(edit, text);
  }
  int CEXGetSecurityHeader() const override { return viewState_.CEXSecurityHeader(); }
  int CEXGetAddMsgNum() const override { return viewState_.CEXAddMsgNum(); }
  void CEXStateChanged(uint32_t parts) override { viewState_.CEXChanged(parts); }
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
  // Also the commands' ICEXWindows: the window opens under the default
  // cursor; without a window port nothing opens.
  TCEXModalResult CEXOpenWindow(TCEXWindow window, bool modal) override;
  bool CEXTerminateThreads() override;

  // ICEXErrorHandOff: an error goes to a visible sequence window; false when
  // there is none, and the caller shows the error itself.
  bool CEXLogError(int errorId, const std::string& errorText, bool groupValue) override;
  void ERRSetErrorMessage(int code, const std::string& text) override;
  // While a run has the notice on, texts go there (and to the trace)
  // instead of a message box.
  void CEXShowMessage(const std::string& text) override;

 protected:
  // The calls the receive threads post go to `link` (and to the view state
  // and the message routing above); null: nowhere, from shutdown on.
  void CEXBindReceiveView(TCEXLink* link);
  ITHReceiveView& CEXReceiveView();
  TCEXPosterGate& CEXGate();
  // Every trace id on; the trace goes to "DEBUG.TXT" in the program folder
  // when the configuration asks for it.
  void CEXTraceAsConfigured();
  // Raises the terminate signal, closes the client, deactivates the server
  // and waits for the receive threads; true when every one ended in time.
  bool CEXStopThreads();
  // Nothing posted from now on reaches the GUI thread. When threads are
  // still running the block they may touch is kept for the rest of the
  // process, so that no late thread finds it freed.
  void CEXCloseSharedBlock(bool allEnded);

  std::string CEXsDirName;
  std::string CEXsHelpFileName;
  ICEXView& view_;
  TCEXViewState viewState_;
  // The busy cursor; every dialog, message box and error window the core
  // shows puts the default cursor back first.
  TCEXCursorState cursor_;
  TCEXCursorDialogs cursorDialogs_;
  TCEXCursorErrorWindow cursorErrorWindow_;
  ICEXDialogs& dialogs_;
  IERRErrorWindow& errorWindow_;
  ICEXClock& clock_;
  ICEXSequenceWindow* sequence_;
  std::unique_ptr<IHPTHelpControlFactory> ownHelpControls_;
  std::unique_ptr<THPTHelpPort> help_;

 private:
  // The objects worker threads may touch. They are freed only when every
  // thread has ended.
  struct TShared;

  ICEXWindows* windows_;
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
  std::unique_ptr<TCEXSearches> searches_;
  std::unique_ptr<TCEXPrintouts> printouts_;
  TCEXRunNotice runNotice_;
};

}  // namespace kal
