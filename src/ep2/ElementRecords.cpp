#include "ep2/ElementRecords.h"

#include <memory>
#include <unordered_map>

namespace kal {

int32_t UAXSaveElementRecords(const TXMLMessageTree& tree, TTextLineWriter& file,
                              std::string& errorText) {
  errorText.clear();
  for (const TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext()) {
    if (const int32_t rc = n->GetData()->SaveToFile(file, errorText); rc != 0) return rc;
  }
  return 0;
}

int32_t UAXLoadElementRecords(TTextLineReader& file, std::string_view version, int32_t count,
                              TXMLMessageTree& tree, bool shortText,
                              const TUAXElementRead& onRead) {
  tree.XMLDeleteAll();
  // Old id -> node of the element read most recently with that old id; the
  // same answer as searching back from the element read last.
  std::unordered_map<int32_t, TXMLTreeNode*> byOldID;
  for (int32_t i = 0; i < count; ++i) {
    auto element = std::make_unique<TUAXxmlElement>();
    if (const int32_t rc = element->LoadFromFile(version, file); rc != 0) return rc;
    element->SetOldID(element->GetID());
    element->SetID(tree.XMLGetId());
    if (onRead) onRead(*element);
    TXMLTreeNode* parent = nullptr;
    if (element->GetParentID() != 0) {
      const auto it = byOldID.find(element->GetParentID());
      if (it == byOldID.end()) continue;  // no parent: the element is freed
      parent = it->second;
      element->SetParentID(parent->GetData()->GetID());
    }
    std::string text = shortText ? element->GetTreeShortString() : element->GetTreeString();
    const int32_t oldID = element->GetOldID();
    const int32_t newID = element->GetID();
    // The element already has its id: the one the node takes is given back.
    int32_t nodeID = 0;
    TXMLTreeNode* node = tree.AddChildObject(parent, std::move(text), std::move(element), nodeID);
    tree.XMLSetActID(newID);
    byOldID[oldID] = node;
  }
  return 0;
}

}  // namespace kal
