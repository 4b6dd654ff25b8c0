#include "workbench/SourceSelection.h"

#include <algorithm>
#include <string>

#include "comm/ErrorHandOff.h"
#include "ep2/ElementClipboard.h"
#include "ep2/MessageTree.h"
#include "workbench/ElementCommands.h"

namespace kal {

void TCEXSourceSelection::CEXElementCommand(TCEXAction action) {
  TXMLMessageTree& tree = ports_.tree;
  TXMLTreeNode* selected = CEXSelectedSourceNode();
  TXMLTreeNode* select = selected;
  bool changed = false;
  switch (action) {
    case TCEXAction::CopyItem:
      CEXCopyItem(ports_.editElement, selected, sourceTreeFocused_);
      return;
    case TCEXAction::CutItem:
      changed = CEXCutItem(tree, ports_.editElement, selected, sourceTreeFocused_);
      select = nullptr;
      break;
    case TCEXAction::DeleteItem:
      changed = CEXDeleteItem(tree, selected);
      select = nullptr;
      break;
    case TCEXAction::InsertItem:
    case TCEXAction::InsertAsChild: {
      const std::string refusal =
          CEXInsertItem(tree, ports_.editElement, selected, sourceTreeFocused_,
                        action == TCEXAction::InsertAsChild, &select);
      if (!refusal.empty()) {
        ports_.errors.CEXShowMessage(refusal);
        return;
      }
      changed = true;
      break;
    }
    case TCEXAction::GotoParent: {
      if (selected == nullptr) return;
      const TCEXBusyCursor busy(ports_.cursor);
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
  if (changed) ports_.view.CEXSetHasChanged(true);
  ports_.view.CEXChanged(CEXpSourceTree);
  SourceSelectionChanged();
}

TXMLTreeNode* TCEXSourceSelection::CEXSelectedSourceNode() const {
  if (selectedSourceLine_ < 0) return nullptr;
  TXMLTreeNode* node = ports_.tree.GetFirstNode();
  for (int i = 0; i < selectedSourceLine_ && node != nullptr; ++i) node = node->GetNext();
  return node;
}

void TCEXSourceSelection::CEXSelectSourceLine(int index) {
  selectedSourceLine_ = index;
  ports_.view.CEXChanged(CEXpSourceTree);
  SourceSelectionChanged();
}

void TCEXSourceSelection::CEXSetSelectedSourceLine(int index) {
  selectedSourceLine_ = index;
  SourceSelectionChanged();
}

void TCEXSourceSelection::CEXSubscribeSourceSelection(ICEXSourceSelectionListener& listener) {
  if (std::find(selectionListeners_.begin(), selectionListeners_.end(), &listener) ==
      selectionListeners_.end())
    selectionListeners_.push_back(&listener);
}

void TCEXSourceSelection::CEXUnsubscribeSourceSelection(ICEXSourceSelectionListener& listener) {
  std::erase(selectionListeners_, &listener);
}

void TCEXSourceSelection::SourceSelectionChanged() {
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

void TCEXSourceSelection::CEXSetMemo2CaretLine(int index) {
  // The line lies in Memo2's text: an index past its last line (a caret
  // in the memo's own note behind a cut text) takes the last line.
  const std::string& text = ports_.view.CEXMemo(TCEXMemo::Memo2);
  int lines = 1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    if (text[i] == '\n' || text[i] == '\r') ++lines;
  }
  const int line = std::clamp(index, 0, lines - 1) + 1;
  ports_.view.CEXSetEdit(TCEXEdit::Edit5, "line " + std::to_string(line));
}

}  // namespace kal
