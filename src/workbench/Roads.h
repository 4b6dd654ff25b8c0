#pragma once

// The main window's roads wired to each other and to the shared objects:
// the build road, the receive road, the stream road and the link, and the
// chains that run them in a row. The GUI thread only.

#include <functional>
#include <memory>
#include <string>

#include "workbench/ActionTable.h"
#include "workbench/BuildRoad.h"
#include "workbench/Link.h"
#include "workbench/ReceiveRoad.h"
#include "workbench/SessionKey.h"
#include "workbench/StreamRoad.h"

namespace kal {

class ITHReceiveView;
class TCEXSharedObjects;

class TCEXRoads final {
 public:
  // None is owned; every reference must outlive the roads. `shared` holds
  // the objects the roads work on and is the hub the build road reaches
  // the window through.
  struct TPorts {
    TCEXSharedObjects& shared;
    TCEXViewState& view;
    ICEXDialogs& dialogs;
    IERRErrorWindow& errorWindow;
    TCEXCursorState& cursor;
    ICEXClock& clock;
    ICEXTimerFactory& timers;
    ICEXSequenceWindow* sequence;
    ICEXCounterLists& counters;
    ICEXMessageFiles& messageFiles;
    ICEXRecordingList& recording;
    TCEXPlugInCall plugIn;
    ITHReceiveView& receiveView;
    std::function<void()> idlePass;
  };

  explicit TCEXRoads(TPorts ports);
  ~TCEXRoads();
  TCEXRoads(const TCEXRoads&) = delete;
  TCEXRoads& operator=(const TCEXRoads&) = delete;

  TCEXBuildRoad& CEXBuildRoad() { return *build_; }
  TCEXReceiveRoad& CEXReceiveRoad() { return *receive_; }
  TCEXStreamRoad& CEXStreamRoad() { return *stream_; }
  TCEXLink& CEXLink() { return *link_; }
  const TCEXReceiveRoad& CEXReceiveRoad() const { return *receive_; }
  const TCEXStreamRoad& CEXStreamRoad() const { return *stream_; }
  const TCEXLink& CEXLink() const { return *link_; }

  // "Create XML Doc"; a failed build also drops the stream of the message
  // built before, so that "Send Data Stream" cannot send it in this one's
  // place. True when Memo1 holds the built document.
  bool Action_CreateXMLDocExecute();
  // Create XML Doc, Create Data Stream and Send Data Stream in a row; a
  // step that fails ends the chain, so that no earlier stream goes out in
  // place of this message. "Transfer+Send" transfers first. Nothing runs
  // on an empty source tree.
  void Action_CreateAndSendExecute();
  void Action_TransferAndSendExecute();
  // The receive road's steps wait for the step before; every other action
  // is not the roads' to decide (true).
  bool CEXStepEnabled(TCEXAction action) const;
  // Memo5 and Memo6 keep their bytes in the receive and stream roads: true
  // when `memo` is one of them (the road took the text).
  bool CEXSetRoadMemo(TCEXMemo memo, const std::string& text);
  // "Clear All": the received frame and the built stream.
  void CEXClearStreams();
  // The log columns of the running sequence; null: none.
  void CEXSetLogItemsList(ICEXLogColumns* list);

 private:
  TCEXViewState& view_;
  TXMLMessageTree& sourceTree_;
  TCEXSessionKey sessionKey_;
  std::unique_ptr<TCEXBuildRoad> build_;
  std::unique_ptr<TCEXReceiveRoad> receive_;
  std::unique_ptr<TCEXStreamRoad> stream_;
  std::unique_ptr<TCEXLink> link_;
};

}  // namespace kal
