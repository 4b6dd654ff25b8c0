#pragma once

// The selection of the source tree: the selected line, the windows that
// follow it, the element commands on the selected node ("Cut Item", "Copy
// Item", "Insert Item", "Insert As Child", "Delete Item", "Goto parent")
// and the caret line of Memo2 (Edit5). The GUI thread only.

#include <vector>

#include "workbench/ActionTable.h"
#include "workbench/BusyCursor.h"
#include "workbench/MainWindowPorts.h"
#include "workbench/ViewState.h"

namespace kal {

class ICEXErrorHandOff;
class TUACEditElement;
class TXMLMessageTree;
class TXMLTreeNode;

class TCEXSourceSelection final {
 public:
  // None is owned; every reference must outlive the selection.
  struct TPorts {
    TCEXViewState& view;
    ICEXErrorHandOff& errors;
    TCEXCursorState& cursor;
    TXMLMessageTree& tree;
    TUACEditElement& editElement;
  };

  explicit TCEXSourceSelection(TPorts ports) : ports_(ports) {}

  // The element commands on the selected source node.
  void CEXElementCommand(TCEXAction action);
  // Absolute index of the selected source node in tree order; -1: none.
  // The windows that follow the selection are told of every change.
  void CEXSetSelectedSourceLine(int index);
  int CEXSelectedSourceLine() const { return selectedSourceLine_; }
  // Selects a line from the core (a search hit): the form shows it, the
  // followers are told.
  void CEXSelectSourceLine(int index);
  TXMLTreeNode* CEXSelectedSourceNode() const;
  void CEXSubscribeSourceSelection(ICEXSourceSelectionListener& listener);
  void CEXUnsubscribeSourceSelection(ICEXSourceSelectionListener& listener);
  // Whether the source tree has the input focus (the element commands work
  // on it only then).
  void CEXSetSourceTreeFocused(bool focused) { sourceTreeFocused_ = focused; }
  bool CEXSourceTreeFocused() const { return sourceTreeFocused_; }
  // The caret moved in Memo2: Edit5 shows its line, counted from 1 over
  // Memo2's text; `index` is the line's index from 0 in what the memo shows.
  void CEXSetMemo2CaretLine(int index);

 private:
  // Tells the visible windows that follow the source tree's selection.
  void SourceSelectionChanged();

  TPorts ports_;
  std::vector<ICEXSourceSelectionListener*> selectionListeners_;
  int selectedSourceLine_ = -1;
  bool sourceTreeFocused_ = false;
};

}  // namespace kal
