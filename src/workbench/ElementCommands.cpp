#include "workbench/ElementCommands.h"

#include <memory>

#include "ep2/ElementClipboard.h"
#include "ep2/MessageElement.h"
#include "ep2/MessageTree.h"

namespace kal {

void CEXCopyItem(TUACEditElement& clipboard, const TXMLTreeNode* selected, bool hasFocus) {
  clipboard.UACClear();
  if (selected == nullptr || !hasFocus) return;
  clipboard.UACAddElement(*selected->GetData());
  const int level = selected->GetLevel();
  for (const TXMLTreeNode* n = selected->GetNext(); n != nullptr && n->GetLevel() > level;
       n = n->GetNext())
    clipboard.UACAddElement(*n->GetData());
}

bool CEXCutItem(TXMLMessageTree& tree, TUACEditElement& clipboard, TXMLTreeNode* selected,
                bool hasFocus) {
  if (selected == nullptr || !hasFocus) return false;
  CEXCopyItem(clipboard, selected, hasFocus);
  tree.Delete(selected);
  return true;
}

bool CEXDeleteItem(TXMLMessageTree& tree, TXMLTreeNode* selected) {
  if (selected == nullptr) return false;
  tree.Delete(selected);
  return true;
}

bool InsertElement(TXMLMessageTree& tree, std::unique_ptr<TUAXxmlElement> element, bool shortText) {
  TXMLTreeNode* parent = nullptr;
  if (element->GetParentID() != 0) {
    for (TXMLTreeNode* n = tree.GetLastNode(); n != nullptr; n = n->GetPrev()) {
      if (n->GetData()->GetID() == element->GetParentID()) {
        parent = n;
        break;
      }
    }
    if (parent == nullptr) return false;
  }
  std::string text = shortText ? element->GetTreeShortString() : element->GetTreeString();
  const int32_t id = element->GetID();
  int32_t nodeID = 0;
  tree.AddChildObject(parent, std::move(text), std::move(element), nodeID);
  // The element came with its id: the one the node took is given back.
  tree.XMLSetActID(id);
  return true;
}

std::string CEXInsertItem(TXMLMessageTree& tree, const TUACEditElement& clipboard,
                          TXMLTreeNode* selected, bool hasFocus, bool asChild,
                          TXMLTreeNode** inserted) {
  if (inserted != nullptr) *inserted = nullptr;
  if (!hasFocus) return CEXcNoFocusForInsert;
  if (clipboard.Count() == 0) return CEXcClipboardEmpty;
  if (selected == nullptr) return CEXcNoInsertPlace;
  if (asChild && selected->GetData()->GetType() != "c") return CEXcContainersOnly;
  if (!asChild && selected == tree.GetFirstNode()) return CEXcInsertAboveRoot;

  CEXClearAllOldIDs(tree);
  std::unique_ptr<TUAXxmlElement> element;
  if (clipboard.UACGetElement(0, element) != 0) return CEXcClipboardEmpty;
  element->SetOldID(element->GetID());
  element->SetParentID(asChild ? selected->GetData()->GetID() : selected->GetData()->GetParentID());
  TUAXxmlElement* first = element.get();
  std::string text = first->GetTreeString();
  int32_t id = 0;
  TXMLTreeNode* node = asChild
                           ? tree.AddChildObject(selected, std::move(text), std::move(element), id)
                           : tree.InsertObject(selected, std::move(text), std::move(element), id);
  first->SetID(id);
  if (inserted != nullptr) *inserted = node;

  for (int i = 1; i < clipboard.Count(); ++i) {
    if (clipboard.UACGetElement(i, element) != 0) break;
    element->SetOldID(element->GetID());
    element->SetID(tree.XMLGetId());
    // The parent is the inserted element that carried the parent's id in
    // the clipboard. A parent the clipboard does not hold (which a copied
    // subtree never has) drops the element rather than hang it under an
    // unrelated one.
    bool found = false;
    for (TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext()) {
      if (n->GetData()->GetOldID() == element->GetParentID()) {
        element->SetParentID(n->GetData()->GetID());
        found = true;
        break;
      }
    }
    if (found) static_cast<void>(InsertElement(tree, std::move(element), false));
  }
  return {};
}

TXMLTreeNode* CEXGotoParent(TXMLTreeNode* selected) {
  if (selected == nullptr) return nullptr;
  const int32_t parentID = selected->GetData()->GetParentID();
  for (TXMLTreeNode* n = selected->GetPrev(); n != nullptr; n = n->GetPrev())
    if (n->GetData()->GetID() == parentID) return n;
  return nullptr;
}

void CEXDragDropEnd(TXMLTreeNode* moved, TXMLTreeNode* target, int32_t mode) {
  if (moved == nullptr || target == nullptr) return;
  moved->GetData()->SetParentID(mode == kXMLDropAsFirstChild ? target->GetData()->GetID()
                                                             : target->GetData()->GetParentID());
}

void CEXClearAllOldIDs(TXMLMessageTree& tree) {
  for (TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext())
    n->GetData()->SetOldID(0);
}

TUAXxmlElement* CEXFindElementID(const TXMLMessageTree& tree, int32_t id) {
  for (TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext())
    if (n->GetData()->GetID() == id) return n->GetData();
  return nullptr;
}

TUAXxmlElement* CEXFindElementName(const TXMLMessageTree& tree, std::string_view name, int count) {
  int seen = 0;
  for (TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext())
    if (n->GetData()->GetName() == name && ++seen >= count) return n->GetData();
  return nullptr;
}

}  // namespace kal
