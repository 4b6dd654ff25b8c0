#pragma once

#include <cstdint>
#include <string>

#include "comm/ErrorHandOff.h"
#include "workbench/MainWindowPorts.h"
#include "workbench/ViewState.h"

namespace kal {

class ICEXLogColumns;
class TALUAliasList;
class TCEXCursorState;
class THPTHelpPort;
class TCFGConfig;
class TCTPClientSocketPPP;
class TTCPCommParams;
class TIBSaEp2ByteStream;
class TSDCSecurityDecryption;
class TSECep2Security;
class TTERThreadSynch;
class TTHXMailBox;
class ISECRandomSource;
class TTDBDebug;
class TUACEditElement;
class TXMLMessageTree;
class TXMLTreeNode;

// What the main window offers the rest of the program: the shared objects it
// owns for the whole run, its state and the roads that other windows and the
// sequence runner use. Passed to them as this interface; there is no global
// main window.
//
// Threads: the GUI thread only, except the trace logger (thread-safe).
class ICEXMainServices : public ICEXErrorHandOff {
 public:
  // Shared objects.
  virtual TTDBDebug& CEXTrace() = 0;
  virtual TCFGConfig& CEXConfiguration() = 0;
  virtual TTCPCommParams& CEXCommParams() = 0;
  virtual TCTPClientSocketPPP& CEXClientSocket() = 0;
  virtual TALUAliasList& CEXAliasList() = 0;
  virtual TUACEditElement& CEXEditElement() = 0;
  // The ep2 cryptography (error base 4000) and the random source it draws
  // from, which the other parts use as well.
  virtual TSECep2Security& CEXSecurity() = 0;
  virtual ISECRandomSource& CEXRandomSource() = 0;
  // The frame converter (error base 1000) and the received-message security
  // (error base 5000, reporting to Memo4).
  virtual TIBSaEp2ByteStream& CEXByteStream() = 0;
  virtual TSDCSecurityDecryption& CEXSecurityDecryption() = 0;
  // The receive threads' terminate signal and the mailbox to the server
  // connection.
  virtual TTERThreadSynch& CEXThreadSynch() = 0;
  virtual TTHXMailBox& CEXMailBox() = 0;
  // The program folder, ending with "/", and the help map file in it.
  virtual const std::string& CEXDirName() const = 0;
  virtual const std::string& CEXHelpFileName() const = 0;
  // The help port: every window's help control comes from it.
  virtual THPTHelpPort& CEXHelp() = 0;

  // State shown by the main window. After changing a tree or anything else
  // through these, call CEXStateChanged with the parts changed.
  virtual TXMLMessageTree& CEXSourceTree() = 0;     // XMLMessageTree1
  virtual TXMLMessageTree& CEXReferenceTree() = 0;  // XMLMessageTree2
  virtual const std::string& CEXGetMemo(TCEXMemo memo) const = 0;
  virtual void CEXSetMemo(TCEXMemo memo, const std::string& text) = 0;
  // While held, changes reach the form once, when the last hold is
  // released; while paced, at most once per the view state's interval
  // (TCEXViewState::CEXHoldView, CEXPaceView).
  virtual void CEXHoldView(bool hold) = 0;
  virtual void CEXPaceView(bool paced) = 0;
  virtual const std::string& CEXGetEdit(TCEXEdit edit) const = 0;
  virtual void CEXSetEdit(TCEXEdit edit, const std::string& text) = 0;
  // "Security header" (0 "Add MAC Only", 1 "Add Complete Security Header")
  // and "Add msgnum" (0 "New", 1 "From Input", 2 "None").
  virtual int CEXGetSecurityHeader() const = 0;
  virtual int CEXGetAddMsgNum() const = 0;
  // The message file of the source tree.
  virtual const std::string& CEXGetFileName() const = 0;
  virtual void CEXStateChanged(uint32_t parts) = 0;
  // The main window's bounds.
  virtual TCEXGeometry CEXWindowBounds() = 0;
  // The selected source-tree node; null: none.
  virtual TXMLTreeNode* CEXSelectedSourceNode() const = 0;
  // Windows that follow the selection of the source tree. A listener is
  // told of every change while it is visible; it unsubscribes before it
  // goes.
  virtual void CEXSubscribeSourceSelection(ICEXSourceSelectionListener& listener) = 0;
  virtual void CEXUnsubscribeSourceSelection(ICEXSourceSelectionListener& listener) = 0;
  // The busy cursor, which a road shows through a TCEXBusyCursor
  // (BusyCursor.h) while it works.
  virtual TCEXCursorState& CEXCursor() = 0;
  // Opens a window of the program through the form.
  virtual TCEXModalResult CEXOpenWindow(TCEXWindow window, bool modal) = 0;

  // Roads.
  virtual void SynchMenuItems() = 0;
  virtual void CEXLoadConfiguration(const std::string& fileName) = 0;
  // Signals every receive thread to stop and waits for them, at most
  // 8000 ms; true when all have ended.
  virtual bool CEXTerminateThreads() = 0;
  virtual bool CEXUserIsAdmin() const = 0;
  // The log columns of the running sequence, which the build and receive
  // roads feed (null: none); the sequence window sets them at a run's start.
  virtual void CEXSetLogItemsList(ICEXLogColumns* list) = 0;
};

}  // namespace kal
